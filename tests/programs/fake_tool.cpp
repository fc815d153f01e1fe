// A stand-in for a console tool, driven by its arguments, which are actions
// done in order:
//   out TEXT / err TEXT   write TEXT (escapes \n \r \t \0 \\) to stdout / stderr, no line end added
//   sleep MS              wait
//   exit CODE             end with CODE
//   hang                  wait forever
//   spawn-hang FILE       start a child that waits forever (keeping our stdout
//                         and stderr open); its id is written to FILE
//   pid FILE              write our own id to FILE
//   flood MB              write MB megabytes to stdout as fast as possible
//   pwd                   write the working folder and a line end to stdout
//   nice                  write the nice value and a line end to stdout
//   cat                   copy stdin to stdout until its end
//   touch FILE            create FILE
//   ignore-term           ignore SIGTERM from here on
//   end-tools NAME        call EndToolProcesses(NAME), write "result=0|1\n"
//   args                  write every argument as [arg] and a line end, then exit 0
// Without an exit action the tool ends with 0.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include "platform/ProcessList.h"

namespace {

void WriteAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            std::_Exit(3);
        done += static_cast<std::size_t>(n);
    }
}

std::string Unescape(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        switch (c) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case '0': out += '\0'; break;
        default: out += c; break;
        }
    }
    return out;
}

void WriteFileAtomically(const std::string& file, const std::string& text)
{
    const std::string temporary = file + ".part";
    {
        std::ofstream out(temporary, std::ios::binary);
        out << text;
    }
    std::rename(temporary.c_str(), file.c_str());
}

[[noreturn]] void Hang()
{
    for (;;)
        ::pause();
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& action = args[i];
        const std::string value = i + 1 < args.size() ? args[i + 1] : std::string();
        if (action == "out") {
            WriteAll(1, Unescape(value));
            ++i;
        } else if (action == "err") {
            WriteAll(2, Unescape(value));
            ++i;
        } else if (action == "sleep") {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::stol(value)));
            ++i;
        } else if (action == "exit") {
            return std::stoi(value);
        } else if (action == "hang") {
            Hang();
        } else if (action == "spawn-hang") {
            const pid_t child = ::fork();
            if (child == 0)
                Hang();
            WriteFileAtomically(value, std::to_string(child));
            ++i;
        } else if (action == "pid") {
            WriteFileAtomically(value, std::to_string(::getpid()));
            ++i;
        } else if (action == "flood") {
            const std::string block(64 * 1024, 'x');
            const long blocks = std::stol(value) * 16;
            for (long b = 0; b < blocks; ++b)
                WriteAll(1, block);
            ++i;
        } else if (action == "pwd") {
            char buffer[4096];
            WriteAll(1, std::string(::getcwd(buffer, sizeof buffer) != nullptr ? buffer : "?") + "\n");
        } else if (action == "nice") {
            WriteAll(1, std::to_string(::getpriority(PRIO_PROCESS, 0)) + "\n");
        } else if (action == "cat") {
            char buffer[4096];
            ssize_t n;
            while ((n = ::read(0, buffer, sizeof buffer)) > 0)
                WriteAll(1, std::string(buffer, static_cast<std::size_t>(n)));
        } else if (action == "touch") {
            std::ofstream(value, std::ios::binary).put('.');
            ++i;
        } else if (action == "ignore-term") {
            std::signal(SIGTERM, SIG_IGN);
        } else if (action == "end-tools") {
            WriteAll(1, std::string("result=") + (tl::EndToolProcesses(value) ? "1" : "0") + "\n");
            ++i;
        } else if (action == "args") {
            for (const std::string& arg : args)
                WriteAll(1, "[" + arg + "]\n");
            return 0;
        } else {
            WriteAll(2, "fake_tool: unknown action " + action + "\n");
            return 2;
        }
    }
    return 0;
}
