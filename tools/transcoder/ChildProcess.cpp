#include "ChildProcess.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/UniqueFd.h"

namespace tl::transcoder {

namespace {

volatile std::sig_atomic_t g_stopSignal = 0;
volatile std::sig_atomic_t g_childPid = 0;

constexpr std::array<int, 3> kStopSignals{SIGTERM, SIGINT, SIGHUP};

extern "C" void OnStopSignal(int sig)
{
    g_stopSignal = sig;
    const pid_t child = g_childPid;
    if (child > 0)
        kill(child, sig);
}

sigset_t StopSignalSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kStopSignals)
        sigaddset(&set, sig);
    return set;
}

using Fd = UniqueFd;

struct PipePair {
    Fd read;
    Fd write;
};

bool MakePipe(PipePair& pair)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return false;
    pair.read = Fd(fds[0]);
    pair.write = Fd(fds[1]);
    return true;
}

// Splits a byte stream into lines; a trailing CR (from a CR LF) is dropped.
class LineSplitter {
public:
    explicit LineSplitter(const LineSink& sink) : sink_(sink) {}
    void Feed(const char* bytes, std::size_t count)
    {
        carry_.append(bytes, count);
        std::size_t start = 0;
        for (std::size_t nl = carry_.find('\n'); nl != std::string::npos; nl = carry_.find('\n', start)) {
            Emit(std::string_view(carry_).substr(start, nl - start));
            start = nl + 1;
        }
        carry_.erase(0, start);
    }
    void Finish()
    {
        if (!carry_.empty())
            Emit(carry_);
        carry_.clear();
    }

private:
    void Emit(std::string_view line)
    {
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (sink_)
            sink_(line);
    }
    const LineSink& sink_;
    std::string carry_;
};

[[noreturn]] void ChildSide(const std::vector<std::string>& argv, pid_t parent, int outFd, int errFd,
                            int reportFd)
{
    // Back to default dispositions, then let any stop signal that arrived
    // while we were being forked end us right here.
    for (int sig : kStopSignals)
        std::signal(sig, SIG_DFL);
    std::signal(SIGPIPE, SIG_DFL);
    // Dies with the adapter even when the adapter is killed outright.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent)
        _exit(127);
    sigset_t set = StopSignalSet();
    sigprocmask(SIG_UNBLOCK, &set, nullptr);

    const int nullFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (nullFd < 0 || dup2(nullFd, STDIN_FILENO) < 0 || dup2(outFd, STDOUT_FILENO) < 0 ||
        dup2(errFd, STDERR_FILENO) < 0) {
        const int err = errno;
        [[maybe_unused]] auto n = ::write(reportFd, &err, sizeof err);
        _exit(127);
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    const int err = errno;
    [[maybe_unused]] auto n = ::write(reportFd, &err, sizeof err);
    _exit(127);
}

} // namespace

void InstallStopHandlers()
{
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: poll() must wake up
    for (int sig : kStopSignals)
        sigaction(sig, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

int StopSignal()
{
    return g_stopSignal;
}

ChildOutcome RunChild(const std::vector<std::string>& argv, const LineSink& onStdout, const LineSink& onStderr)
{
    ChildOutcome outcome;
    if (argv.empty()) {
        outcome.startError = EINVAL;
        return outcome;
    }
    PipePair out;
    PipePair err;
    PipePair report; // carries errno from a failed exec; closes by itself on success
    if (!MakePipe(out) || !MakePipe(err) || !MakePipe(report)) {
        outcome.startError = errno;
        return outcome;
    }

    // Hold stop signals until the child's pid is known, so none is lost.
    sigset_t stopSet = StopSignalSet();
    sigset_t previous;
    sigprocmask(SIG_BLOCK, &stopSet, &previous);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0)
        ChildSide(argv, parent, out.write.Get(), err.write.Get(), report.write.Get());
    if (pid < 0) {
        outcome.startError = errno;
        sigprocmask(SIG_SETMASK, &previous, nullptr);
        return outcome;
    }
    g_childPid = pid;
    const int pendingStop = g_stopSignal;
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (pendingStop != 0)
        kill(pid, pendingStop);

    out.write.Reset();
    err.write.Reset();
    report.write.Reset();

    int execError = 0;
    ssize_t got;
    do {
        got = ::read(report.read.Get(), &execError, sizeof execError);
    } while (got < 0 && errno == EINTR);
    outcome.started = got != static_cast<ssize_t>(sizeof execError);
    if (!outcome.started)
        outcome.startError = execError;

    LineSplitter outLines(onStdout);
    LineSplitter errLines(onStderr);
    std::array<pollfd, 2> fds{pollfd{out.read.Get(), POLLIN, 0}, pollfd{err.read.Get(), POLLIN, 0}};
    std::array<LineSplitter*, 2> splitters{&outLines, &errLines};
    int open = 2;
    char buffer[16384];
    while (open > 0) {
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue; // a stop signal: it was passed on; keep draining
            break;
        }
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                splitters[i]->Feed(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                fds[i].fd = -1; // poll() skips negative descriptors
                --open;
            }
        }
    }
    outLines.Finish();
    errLines.Finish();

    int status = 0;
    pid_t waited;
    do {
        waited = waitpid(pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    g_childPid = 0;
    if (waited == pid) {
        if (WIFEXITED(status)) {
            outcome.exited = true;
            outcome.exitCode = WEXITSTATUS(status);
        } else if (WIFSIGNALED(status)) {
            outcome.endSignal = WTERMSIG(status);
        }
    }
    return outcome;
}

} // namespace tl::transcoder
