#include "platform/BatchInterpreter.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/CommandLine.h"
#include "platform/UniqueFd.h"

namespace tl {

namespace {

// The exit code of a command that cannot start. The system's code for it
// (9009) does not fit into an exit status here, so the usual 127 is used.
constexpr int kNotRecognized = 127;

// Commands running now, for the termination handler. Fixed storage: the
// handler may only touch plain memory.
constexpr int kMaxRunning = 16;
volatile pid_t g_running[kMaxRunning] = {};
volatile sig_atomic_t g_terminating = 0;

void OnTerminate(int)
{
    g_terminating = 1;
    for (int i = 0; i < kMaxRunning; ++i) {
        const pid_t pid = g_running[i];
        if (pid > 0)
            ::kill(pid, SIGTERM);
    }
}

void Track(pid_t pid)
{
    for (int i = 0; i < kMaxRunning; ++i) {
        if (g_running[i] == 0) {
            g_running[i] = pid;
            break;
        }
    }
    if (g_terminating)
        ::kill(pid, SIGTERM); // the request came while it was being started
}

void Untrack(pid_t pid)
{
    for (int i = 0; i < kMaxRunning; ++i) {
        if (g_running[i] == pid)
            g_running[i] = 0;
    }
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

void Report(const std::string& message)
{
    const std::string text = message + "\r\n";
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

using Fd = UniqueFd;

// Opens a redirection target; reports and returns false on failure.
bool OpenRedirection(const std::string& file, int flags, Fd& fd)
{
    const int opened = ::open(file.c_str(), flags | O_CLOEXEC, 0666);
    if (opened < 0) {
        Report(errno == ENOENT ? "The system cannot find the file specified."
               : errno == EACCES ? "Access is denied."
                                 : "The system cannot find the path specified.");
        return false;
    }
    fd.Reset(opened);
    return true;
}

// Starts one command with the given standard handles (-1: inherited).
// Returns the child's id, or -1 when it could not start (already reported).
pid_t Start(const BatchCommand& command, int in, int out, int err)
{
    std::vector<std::string> args = command.args;
    const std::vector<std::string> candidates = ProgramCandidates(args.front());
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    int status[2];
    if (::pipe2(status, O_CLOEXEC) != 0) {
        Report("'" + command.args.front() + "' is not recognized as an internal or external command,\r\n"
               "operable program or batch file.");
        return -1;
    }
    Fd statusRead(status[0]);
    Fd statusWrite(status[1]);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // The command goes when the interpreter goes, however it ends.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(128 + SIGKILL);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGTERM, SIG_DFL);
        ::signal(SIGPIPE, SIG_DFL);
        const int handles[3] = {in, out, err};
        int lifted[3] = {-1, -1, -1};
        for (int i = 0; i < 3; ++i) {
            if (handles[i] >= 0)
                lifted[i] = ::fcntl(handles[i], F_DUPFD_CLOEXEC, 3);
        }
        for (int i = 0; i < 3; ++i) {
            if (lifted[i] >= 0)
                ::dup2(lifted[i], i);
        }
        int error = ENOENT;
        for (const std::string& candidate : candidates) {
            ::execv(candidate.c_str(), argv.data());
            error = errno;
            if (error != ENOENT && error != ENOTDIR && error != EACCES)
                break;
        }
        ssize_t ignored = ::write(statusWrite.Get(), &error, sizeof error);
        (void)ignored;
        ::_exit(127);
    }
    statusWrite.Reset();
    if (pid < 0) {
        Report("'" + command.args.front() + "' is not recognized as an internal or external command,\r\n"
               "operable program or batch file.");
        return -1;
    }
    int error = 0;
    ssize_t got;
    do {
        got = ::read(statusRead.Get(), &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    if (got == static_cast<ssize_t>(sizeof error)) {
        int ignored = 0;
        while (::waitpid(pid, &ignored, 0) < 0 && errno == EINTR) {
        }
        Report("'" + command.args.front() + "' is not recognized as an internal or external command,\r\n"
               "operable program or batch file.");
        return -1;
    }
    Track(pid);
    return pid;
}

int WaitFor(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            Untrack(pid);
            return 1;
        }
    }
    Untrack(pid);
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return 1;
}

} // namespace

std::vector<std::string> SplitBatchLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return lines;
}

BatchLine ParseBatchLine(const std::string& line)
{
    BatchLine result;
    std::size_t i = 0;
    while (i < line.size() && IsBlank(line[i]))
        ++i;
    if (i < line.size() && line[i] == '@') { // '@' only hides the echo
        ++i;
        while (i < line.size() && IsBlank(line[i]))
            ++i;
    }
    const std::string rest = line.substr(i);
    std::string trimmed = rest;
    while (!trimmed.empty() && (IsBlank(trimmed.back()) || trimmed.back() == '\r'))
        trimmed.pop_back();
    const std::string lower = Lower(trimmed);
    if (trimmed.empty() || trimmed.rfind("::", 0) == 0 || lower == "rem" || lower.rfind("rem ", 0) == 0 ||
        lower.rfind("rem\t", 0) == 0 || lower == "echo off" || lower == "echo on") {
        result.skip = true;
        return result;
    }

    enum class Target { None, In, Out, Err };
    BatchCommand command;
    std::string word;
    bool haveWord = false;
    bool wordQuoted = false;
    bool quoted = false;
    Target pending = Target::None;
    bool pendingAppend = false;
    const char* syntax = "The syntax of the command is incorrect.";

    auto flush = [&] {
        if (!haveWord)
            return;
        switch (pending) {
        case Target::None: command.args.push_back(word); break;
        case Target::In: command.input = word; break;
        case Target::Out:
            command.output = word;
            command.appendOutput = pendingAppend;
            break;
        case Target::Err:
            command.errorOutput = word;
            command.appendError = pendingAppend;
            break;
        }
        pending = Target::None;
        word.clear();
        haveWord = false;
        wordQuoted = false;
    };

    for (std::size_t k = 0; k < rest.size(); ++k) {
        const char c = rest[k];
        // Backslashes before a quote follow the command-line rules, so an
        // argument written with a quote inside it comes back whole.
        if (c == '\\') {
            std::size_t count = 0;
            while (k < rest.size() && rest[k] == '\\') {
                ++count;
                ++k;
            }
            if (k < rest.size() && rest[k] == '"') {
                word.append(count / 2, '\\');
                if (count % 2 == 1) {
                    word += '"';
                    haveWord = true;
                    continue;
                }
            } else {
                word.append(count, '\\');
            }
            haveWord = true;
            --k;  // the character after the backslashes is handled by the next round
            continue;
        }
        if (quoted) {
            if (c == '"' && k + 1 < rest.size() && rest[k + 1] == '"') {
                word += '"';
                ++k;
            } else if (c == '"') {
                quoted = false;
            } else {
                word += c;
            }
            continue;
        }
        if (c == '"') {
            quoted = true;
            haveWord = true;
            wordQuoted = true;
        } else if (IsBlank(c) || c == '\r') {
            flush();
        } else if (c == '|') {
            flush();
            if (pending != Target::None) {
                result.error = syntax;
                return result;
            }
            if (command.args.empty()) {
                result.error = "| was unexpected at this time.";
                return result;
            }
            result.commands.push_back(std::move(command));
            command = BatchCommand{};
        } else if (c == '<' || c == '>') {
            Target target = c == '<' ? Target::In : Target::Out;
            // "2>" right at the start of a word sends standard error.
            if (c == '>' && haveWord && !wordQuoted && (word == "1" || word == "2") && k > 0 && rest[k - 1] == word[0]) {
                target = word == "2" ? Target::Err : Target::Out;
                word.clear();
                haveWord = false;
            } else {
                flush();
            }
            if (pending != Target::None) {
                result.error = syntax;
                return result;
            }
            pendingAppend = false;
            if (c == '>' && k + 1 < rest.size() && rest[k + 1] == '>') {
                pendingAppend = true;
                ++k;
            }
            pending = target;
        } else {
            word += c;
            haveWord = true;
        }
    }
    flush();
    if (pending != Target::None) {
        result.error = syntax;
        return result;
    }
    if (command.args.empty()) {
        if (!result.commands.empty()) {
            result.error = "| was unexpected at this time.";
            return result;
        }
        if (command.input.empty() && command.output.empty() && command.errorOutput.empty()) {
            result.skip = true;
            return result;
        }
    }
    result.commands.push_back(std::move(command));
    return result;
}

int RunBatchLine(const BatchLine& line)
{
    if (line.skip)
        return 0;
    if (!line.error.empty()) {
        Report(line.error);
        return 1;
    }
    const std::size_t count = line.commands.size();
    // Redirection targets first: a target that cannot be opened stops the line.
    std::vector<Fd> inputs(count), outputs(count), errors(count);
    for (std::size_t k = 0; k < count; ++k) {
        const BatchCommand& command = line.commands[k];
        if (!command.input.empty() && !OpenRedirection(command.input, O_RDONLY, inputs[k]))
            return 1;
        if (!command.output.empty() &&
            !OpenRedirection(command.output, O_WRONLY | O_CREAT | (command.appendOutput ? O_APPEND : O_TRUNC), outputs[k]))
            return 1;
        if (!command.errorOutput.empty() &&
            !OpenRedirection(command.errorOutput, O_WRONLY | O_CREAT | (command.appendError ? O_APPEND : O_TRUNC), errors[k]))
            return 1;
    }
    if (count == 1 && line.commands[0].args.empty())
        return 0; // redirections alone: the files are made, nothing runs

    std::vector<pid_t> pids(count, -1);
    Fd previousRead;
    for (std::size_t k = 0; k < count; ++k) {
        Fd pipeRead, pipeWrite;
        if (k + 1 < count) {
            int fds[2];
            if (::pipe2(fds, O_CLOEXEC) != 0) {
                Report("The system cannot find the path specified.");
                break;
            }
            pipeRead.Reset(fds[0]);
            pipeWrite.Reset(fds[1]);
        }
        const int in = inputs[k].Get() >= 0 ? inputs[k].Get() : previousRead.Get();
        const int out = outputs[k].Get() >= 0 ? outputs[k].Get() : pipeWrite.Get();
        const int err = errors[k].Get();
        if (g_terminating)
            break;
        pids[k] = Start(line.commands[k], in, out, err);
        previousRead = std::move(pipeRead); // our copies close as we go
    }
    previousRead.Reset();
    int code = kNotRecognized;
    for (std::size_t k = 0; k < count; ++k) {
        const int result = pids[k] > 0 ? WaitFor(pids[k]) : kNotRecognized;
        if (k + 1 == count)
            code = result;
    }
    return code;
}

int RunBatchFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        Report("The system cannot find the file specified.");
        return 1;
    }
    std::ostringstream content;
    content << file.rdbuf();
    int code = 0;
    for (const std::string& text : SplitBatchLines(content.str())) {
        if (g_terminating)
            return 128 + SIGTERM;
        const BatchLine line = ParseBatchLine(text);
        if (line.skip)
            continue;
        code = RunBatchLine(line);
    }
    return g_terminating ? 128 + SIGTERM : code;
}

void InstallBatchSignalForwarding()
{
    struct sigaction action {};
    action.sa_handler = OnTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
}

} // namespace tl
