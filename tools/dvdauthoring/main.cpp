// dvdauthoring.dll: the DVD author tool of step 5. Accepts
//   dvdauthoring.dll -o <disc output folder> -x <structure file>
// prints its own command line first (the progress parser recognises the
// start by the tool path in it), then runs dvdauthor with the same output
// folder and structure file. dvdauthor's report goes straight to our standard
// output and error, so its "STAT: Processing <file>..." lines reach the
// parser. A failure shows as an "Error..." line (or dvdauthor's "ERR:" lines)
// and as a non-zero exit code.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/prctl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/CommandLine.h"

namespace {

constexpr int kExitBadArguments = 2;
constexpr int kExitCannotRun = 127;

volatile sig_atomic_t childPid = 0;

// Our end must take dvdauthor with it: the runner stops us with a signal.
void ForwardSignal(int sig)
{
    if (childPid > 0)
        ::kill(childPid, sig);
}

void ErrorLine(const std::string& text)
{
    std::fflush(stdout);
    const std::string line = "Error: " + text + "\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

std::string Quoted(const std::string& value)
{
    return "\"" + value + "\"";
}

} // namespace

int main(int argc, char** argv)
{
    const std::string self = argc > 0 ? argv[0] : "dvdauthoring.dll";
    if (argc != 5 || std::strcmp(argv[1], "-o") != 0 || std::strcmp(argv[3], "-x") != 0 || !*argv[2] ||
        !*argv[4]) {
        ErrorLine("bad arguments; usage: " + self + " -o \"<output folder>\" -x \"<structure file>\"");
        return kExitBadArguments;
    }
    const std::string outputFolder = argv[2];
    const std::string structureFile = argv[4];

    std::printf("%s -o %s -x %s\n", Quoted(self).c_str(), Quoted(outputFolder).c_str(), Quoted(structureFile).c_str());
    std::fflush(stdout);

    // dvdauthor wants a default TV system; the titles carry their own anyway.
    ::setenv("VIDEO_FORMAT", "PAL", 0);

    // The stop signals wait while the child is made, so none arrives before
    // there is a child to forward it to.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&stopSignals, sig);
    sigset_t previousMask;
    ::sigprocmask(SIG_BLOCK, &stopSignals, &previousMask);
    struct sigaction forward {};
    forward.sa_handler = ForwardSignal;
    sigemptyset(&forward.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &forward, nullptr);

    // Looked up along PATH here, never through a shell (execvp would hand a
    // file it cannot execute to /bin/sh).
    const std::vector<std::string> candidates = tl::ProgramCandidates("dvdauthor");
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        const int error = errno;
        ::sigprocmask(SIG_SETMASK, &previousMask, nullptr);
        ErrorLine(std::string("cannot start dvdauthor: ") + std::strerror(error));
        return kExitCannotRun;
    }
    if (pid == 0) {
        // Stays in our process group; dies with us even if we are killed hard.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(kExitCannotRun);
        struct sigaction dflt {};
        dflt.sa_handler = SIG_DFL;
        sigemptyset(&dflt.sa_mask);
        for (int sig : {SIGTERM, SIGINT, SIGHUP})
            ::sigaction(sig, &dflt, nullptr);
        ::sigprocmask(SIG_SETMASK, &previousMask, nullptr);
        char* const args[] = {const_cast<char*>("dvdauthor"), const_cast<char*>("-o"),
                              const_cast<char*>(outputFolder.c_str()), const_cast<char*>("-x"),
                              const_cast<char*>(structureFile.c_str()), nullptr};
        int error = ENOENT;
        for (const std::string& candidate : candidates) {
            ::execv(candidate.c_str(), args);
            if (errno != ENOENT && errno != ENOTDIR && errno != EACCES) {
                error = errno;
                break;
            }
            if (errno == EACCES)
                error = EACCES;
        }
        const char* const head = "Error: cannot run dvdauthor: ";
        const char* const reason = std::strerror(error);
        (void)!::write(STDERR_FILENO, head, std::strlen(head));
        (void)!::write(STDERR_FILENO, reason, std::strlen(reason));
        (void)!::write(STDERR_FILENO, "\n", 1);
        ::_exit(kExitCannotRun);
    }
    childPid = pid;
    ::sigprocmask(SIG_SETMASK, &previousMask, nullptr);

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            ErrorLine(std::string("lost dvdauthor: ") + std::strerror(errno));
            return kExitCannotRun;
        }
    }
    childPid = 0;
    if (WIFEXITED(status)) {
        const int code = WEXITSTATUS(status);
        if (code != 0)
            ErrorLine("dvdauthor failed with exit code " + std::to_string(code));
        return code;
    }
    const int sig = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    ErrorLine("dvdauthor was stopped by signal " + std::to_string(sig));
    return 128 + sig;
}
