// A stand-in for dvdauthor, found through PATH by the DVD author adapter's
// tests. It reports what it was given on standard error, the way dvdauthor
// reports, then acts as FAKE_DVDAUTHOR_MODE says:
//   (unset)   end with 0
//   exit N    end with N
//   hang      wait until a signal ends it
// When FAKE_DVDAUTHOR_PID names a file, its own process id is written there
// (after the report), so a test knows it runs.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

int main(int argc, char** argv)
{
    std::string report = "ARGS:";
    for (int i = 1; i < argc; ++i)
        report += " [" + std::string(argv[i]) + "]";
    const char* format = std::getenv("VIDEO_FORMAT");
    report += "\nVIDEO_FORMAT=" + std::string(format ? format : "(unset)") + "\n";
    std::fputs(report.c_str(), stderr);
    std::fflush(stderr);

    if (const char* pidFile = std::getenv("FAKE_DVDAUTHOR_PID")) {
        const std::string temp = std::string(pidFile) + ".part";
        std::ofstream(temp) << ::getpid() << "\n";
        std::rename(temp.c_str(), pidFile);
    }
    const std::string mode = std::getenv("FAKE_DVDAUTHOR_MODE") ? std::getenv("FAKE_DVDAUTHOR_MODE") : "";
    if (mode == "hang") {
        for (;;)
            ::pause();
    }
    if (mode.rfind("exit ", 0) == 0)
        return std::atoi(mode.c_str() + 5);
    return 0;
}
