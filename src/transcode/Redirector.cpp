#include "transcode/Redirector.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/Error.h"
#include "app/Globals.h"
#include "platform/CommandLine.h"
#include "platform/UiThread.h"
#include "platform/UniqueFd.h"

namespace tl {

namespace {

// How long the reader waits for the child's end while the child is silent.
constexpr int kEndPollMs = 100;

std::string TrimBlanks(const std::string& text)
{
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= ' ')
        ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ')
        --last;
    return text.substr(first, last - first);
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

[[noreturn]] void Fail(const char* text, int code)
{
    throw Error(std::string(text) + std::to_string(code));
}

using Fd = UniqueFd;

// Makes a pipe whose both ends are closed on exec; the child's end is moved
// onto its standard handle explicitly.
bool MakePipe(Fd& readEnd, Fd& writeEnd)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    readEnd.Reset(fds[0]);
    writeEnd.Reset(fds[1]);
    return true;
}

// Nice value for a priority class; false when the class gives none.
bool NiceForPriority(std::uint8_t priority, int& nice)
{
    switch (priority) {
    case 1: nice = 19; return true;  // idle
    case 2: nice = 0; return true;   // normal
    case 3: nice = -5; return true;  // high: needs rights, best effort
    case 4: nice = -10; return true; // real-time: needs rights, best effort
    default: return false;
    }
}

// Ends the child and everything in its process group at once, the way the
// forced termination of the child does.
void KillGroup(pid_t pid)
{
    if (pid <= 0)
        return;
    if (::kill(-pid, SIGKILL) != 0)
        ::kill(pid, SIGKILL);
}

// What the child reports through the status pipe when it cannot start.
enum ChildStage : int { kStageStdin = 1, kStageStdout, kStageStderr, kStageCreate };

[[noreturn]] void ChildFailed(int statusFd, int stage)
{
    const int report[2] = {stage, errno};
    ssize_t ignored = ::write(statusFd, report, sizeof report);
    (void)ignored;
    ::_exit(127);
}

int WaitForChild(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return status;
}

} // namespace

// The state of one run of a child, shared by the runner and that run's
// reader. The reader holds it for as long as it lives, so a runner can be
// destroyed (or started again) without the reader losing its ground.
struct RedirectorRun {
    RedirectorRun(UiThread& ui_, TRedirector* runner_) : ui(ui_), runner(runner_) {}
    UiThread& ui;
    TRedirector* runner; // only used on the user-interface thread while !aborted
    pid_t pid = 0;
    Fd outRead;
    Fd errRead;
    Fd pidFd;
    std::atomic<bool> ended{false};    // the reader has seen the child end
    std::atomic<bool> stop{false};     // the reader has been told to stop
    std::atomic<bool> finished{false}; // the reader function has returned
    std::mutex mutex;
    std::condition_variable cv;
    bool aborted = false; // guarded by mutex: the runner is gone or going
};

struct TRedirector::Impl {
    Impl(TRedirector& self_, UiThread& ui_) : self(self_), ui(ui_) {}
    TRedirector& self;
    UiThread& ui;
    std::string commandLine;
    bool defaultErrorMode = false;
    std::uint8_t initialPriority = 0;
    pid_t pid = 0; // non-zero exactly while active
    Fd stdinWrite; // kept open and never written, as the child's input
    bool terminated = false;
    int terminateCode = 0;
    int exitCode = 0;
    std::shared_ptr<RedirectorRun> run;
    std::thread reader;
    std::vector<std::pair<std::shared_ptr<RedirectorRun>, std::thread>> retired;

    std::string FullCommandLine() const
    {
        return self.ExeName.empty() ? commandLine : self.ExeName + " " + commandLine;
    }

    void RetireReader();
    void Reap();
    void HandleProcessEnded(RedirectorRun& state);
    void HandleReaderFailed(const std::string& message);
    static void Abort(RedirectorRun& state);

    enum class Pass { NoData, Data, Stopped };
    static bool HandOver(const std::shared_ptr<RedirectorRun>& state, std::function<void(TRedirector&)> fn);
    static Pass ReadPass(const std::shared_ptr<RedirectorRun>& state);
    static void ReaderMain(std::shared_ptr<RedirectorRun> state);
};

namespace {

bool ChildHasEnded(const RedirectorRun& state)
{
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(state.pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
        return errno == ECHILD; // gone already: nothing more will come from it
    return info.si_pid == state.pid;
}

// Waits up to the poll time for the child's end or for new output; true when
// the child has ended. Waking on output too keeps a fast writer from being
// held up by the wait.
bool WaitForEndOrData(RedirectorRun& state, std::array<bool, 2>& atEof)
{
    std::array<pollfd, 3> fds{};
    nfds_t count = 0;
    int streamOf[3] = {-1, -1, -1};
    if (state.pidFd.Valid())
        fds[count++] = pollfd{state.pidFd.Get(), POLLIN, 0};
    for (int stream = 0; stream < 2; ++stream) {
        const Fd& fd = stream == 0 ? state.outRead : state.errRead;
        if (fd.Valid() && !atEof[static_cast<std::size_t>(stream)]) {
            streamOf[count] = stream;
            fds[count++] = pollfd{fd.Get(), POLLIN, 0};
        }
    }
    const int ready = ::poll(fds.data(), count, kEndPollMs);
    if (ready > 0) {
        for (nfds_t i = 0; i < count; ++i) {
            if (streamOf[i] < 0 || (fds[i].revents & (POLLHUP | POLLERR)) == 0)
                continue;
            int available = 0;
            if (::ioctl(fds[i].fd, FIONREAD, &available) != 0 || available == 0)
                atEof[static_cast<std::size_t>(streamOf[i])] = true; // writers gone, nothing left
        }
    }
    return ChildHasEnded(state);
}

} // namespace

// Runs fn on the user-interface thread and waits until it has returned, or
// until the runner is being destroyed. The hand-over is posted rather than
// invoked so that a runner destroyed on the user-interface thread while its
// reader waits here can release the reader instead of waiting for it forever;
// the posted work then finds the run aborted and does nothing.
bool TRedirector::Impl::HandOver(const std::shared_ptr<RedirectorRun>& state, std::function<void(TRedirector&)> fn)
{
    auto done = std::make_shared<bool>(false);
    state->ui.Post([state, done, fn = std::move(fn)] {
        bool aborted;
        {
            std::lock_guard<std::mutex> lock(state->mutex);
            aborted = state->aborted;
        }
        if (!aborted) {
            std::string failure;
            bool failed = false;
            try {
                fn(*state->runner);
            } catch (const std::exception& e) {
                failed = true;
                failure = e.what();
            } catch (...) {
                failed = true;
                failure = "Unknown error";
            }
            if (failed) {
                // An error raised while the reader waits ends the reader.
                state->stop = true;
                bool gone;
                {
                    std::lock_guard<std::mutex> lock(state->mutex);
                    gone = state->aborted; // the handler may have destroyed the runner
                }
                if (!gone)
                    state->runner->d->HandleReaderFailed(failure);
            }
        }
        {
            std::lock_guard<std::mutex> lock(state->mutex);
            *done = true;
        }
        state->cv.notify_all();
    });
    std::unique_lock<std::mutex> lock(state->mutex);
    state->cv.wait(lock, [&] { return *done || state->aborted; });
    return !state->aborted;
}

// One inspection of both pipes (standard output first): whatever a pipe holds
// is read as one chunk and handed over. End of file counts as no data, as
// the end of the child is only taken from the process itself.
TRedirector::Impl::Pass TRedirector::Impl::ReadPass(const std::shared_ptr<RedirectorRun>& state)
{
    bool any = false;
    for (int stream = 0; stream < 2; ++stream) {
        Fd& fd = stream == 0 ? state->outRead : state->errRead;
        if (!fd.Valid())
            continue;
        int available = 0;
        if (::ioctl(fd.Get(), FIONREAD, &available) != 0 || available <= 0)
            continue;
        std::vector<char> buffer(static_cast<std::size_t>(available));
        ssize_t got;
        do {
            got = ::read(fd.Get(), buffer.data(), buffer.size());
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            const std::string message =
                std::string(stream == 0 ? "Error reading STDOUT pipe : " : "Error reading STDERR pipe : ") +
                std::to_string(errno);
            state->stop = true;
            HandOver(state, [message](TRedirector& runner) { runner.d->HandleReaderFailed(message); });
            return Pass::Stopped;
        }
        if (got == 0)
            continue;
        buffer.resize(static_cast<std::size_t>(got));
        const bool isError = stream == 1;
        if (!HandOver(state, [isError, data = std::move(buffer)](TRedirector& runner) {
                // A copy: the handler may replace the event or destroy the runner.
                DataEvent handler = isError ? runner.OnErrorData : runner.OnData;
                if (handler)
                    handler(runner, data.data(), data.size());
            }))
            return Pass::Stopped;
        any = true;
        if (state->stop)
            return Pass::Stopped;
    }
    return any ? Pass::Data : Pass::NoData;
}

void TRedirector::Impl::ReaderMain(std::shared_ptr<RedirectorRun> state)
{
    std::array<bool, 2> atEof{false, false};
    for (;;) {
        Pass pass = ReadPass(state);
        if (pass == Pass::Stopped || state->stop)
            break;
        if (pass == Pass::Data)
            continue; // output keeps flowing: look again at once
        if (!WaitForEndOrData(*state, atEof)) {
            if (state->stop)
                break;
            continue;
        }
        state->ended = true;
        // Drain what the child wrote before it ended; a descendant that still
        // holds the pipe open but stays silent does not keep the run going.
        bool stopped = false;
        for (;;) {
            pass = ReadPass(state);
            if (pass == Pass::Stopped || state->stop) {
                stopped = true;
                break;
            }
            if (pass == Pass::NoData)
                break;
        }
        if (!stopped)
            HandOver(state, [state](TRedirector& runner) { runner.d->HandleProcessEnded(*state); });
        break;
    }
    // The reader owns the read ends; closing them here rather than on the
    // user-interface thread keeps a descriptor from being reused under it.
    state->outRead.Reset();
    state->errRead.Reset();
    state->pidFd.Reset();
    state->finished = true;
}

void TRedirector::Impl::Abort(RedirectorRun& state)
{
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        state.aborted = true;
    }
    state.stop = true;
    state.cv.notify_all();
}

// Moves the previous run's reader aside; readers that have returned are
// joined. A reader that is still handing over its end (Execute called from
// OnTerminated) is joined later.
void TRedirector::Impl::RetireReader()
{
    if (reader.joinable())
        retired.emplace_back(run, std::move(reader));
    for (auto it = retired.begin(); it != retired.end();) {
        if (it->first->finished) {
            it->second.join();
            it = retired.erase(it);
        } else {
            ++it;
        }
    }
}

void TRedirector::Impl::Reap()
{
    const int status = WaitForChild(pid);
    if (status < 0)
        exitCode = -1;
    else if (WIFEXITED(status))
        exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        exitCode = terminated ? terminateCode : 128 + WTERMSIG(status);
    stdinWrite.Reset();
    pid = 0;
}

void TRedirector::Impl::HandleProcessEnded(RedirectorRun& state)
{
    state.stop = true;
    if (&state != run.get() || pid == 0)
        return;
    Reap(); // idle from here on, so the handler may start the runner again
    EndEvent handler = self.OnTerminated;
    if (handler)
        handler(self);
}

void TRedirector::Impl::HandleReaderFailed(const std::string& message)
{
    auto handler = self.OnReaderFailed;
    if (!handler)
        return;
    try {
        handler(self, message);
    } catch (...) {
        // nobody is left to tell
    }
}

TRedirector::TRedirector(UiThread& ui) : d(std::make_unique<Impl>(*this, ui)) {}

TRedirector::~TRedirector()
{
    if (d->pid != 0) {
        if (KillOnDestroy) {
            OnTerminated = nullptr;
            if (d->run)
                Impl::Abort(*d->run);
            KillGroup(d->pid);
            d->Reap();
        } else if (d->run) {
            // The child keeps running on its own; only our reader goes.
            Impl::Abort(*d->run);
        }
    } else if (d->run) {
        Impl::Abort(*d->run);
    }
    for (auto& [state, thread] : d->retired)
        Impl::Abort(*state);
    if (d->reader.joinable())
        d->reader.join();
    for (auto& [state, thread] : d->retired)
        thread.join();
}

const std::string& TRedirector::CommandLine() const
{
    return d->commandLine;
}

void TRedirector::SetCommandLine(const std::string& commandLine)
{
    if (IsActive() && !SameTextIgnoringCase(commandLine, d->FullCommandLine()))
        throw Error("Cannot change Commandline while process is active");
    d->commandLine = commandLine;
}

bool TRedirector::DefaultErrorMode() const
{
    return d->defaultErrorMode;
}

void TRedirector::SetDefaultErrorMode(bool value)
{
    if (IsActive())
        throw Error("Cannot change DefaultErrorMode while process is active");
    d->defaultErrorMode = value; // no error-mode notion here; kept for the owners
}

std::uint8_t TRedirector::InitialPriority() const
{
    return d->initialPriority;
}

void TRedirector::SetInitialPriority(std::uint8_t value)
{
    if (IsActive())
        throw Error("Cannot change InititalPriority while process is active");
    d->initialPriority = value;
}

bool TRedirector::IsActive() const
{
    return d->pid != 0;
}

bool TRedirector::ProcessEnded() const
{
    return d->run && d->run->ended;
}

pid_t TRedirector::ProcessId() const
{
    return d->pid;
}

int TRedirector::ExitCode() const
{
    return d->exitCode;
}

void TRedirector::Execute()
{
    if (IsActive())
        throw Error("Process is already active");
    if (TrimBlanks(d->FullCommandLine()).empty())
        throw Error("No commandline to run");

    d->RetireReader();
    auto state = std::make_shared<RedirectorRun>(d->ui, this);
    d->run = state; // ProcessEnded is false from here on
    d->terminated = false;
    d->terminateCode = 0;

    Fd inRead, inWrite, outRead, outWrite, errRead, errWrite, statusRead, statusWrite;
    if (!MakePipe(inRead, inWrite))
        Fail("Error on STDIN pipe creation : ", errno);
    if (!MakePipe(outRead, outWrite))
        Fail("Error on STDOUT pipe creation : ", errno);
    if (!MakePipe(errRead, errWrite))
        Fail("Error on STDERR pipe creation : ", errno);
    if (!MakePipe(statusRead, statusWrite))
        Fail("Error creating process : ", errno);

    // The program and its arguments, split without any shell: nothing in the
    // command line is expanded or interpreted.
    std::vector<std::string> args = SplitCommandLine(d->commandLine);
    std::string program;
    const std::string exeName = TrimBlanks(ExeName);
    if (!exeName.empty()) {
        program = exeName;
        if (args.empty())
            args.push_back(exeName);
    } else {
        if (args.empty())
            throw Error("No commandline to run");
        program = args.front();
    }
    if (IsBatchFileName(program)) {
        // Batch files go to our own interpreter, never to a shell.
        const std::string interpreter = InstallDir + "tlcmd";
        std::vector<std::string> batchArgs{interpreter, program};
        batchArgs.insert(batchArgs.end(), args.begin() + 1, args.end());
        args = std::move(batchArgs);
        program = interpreter;
    }
    const std::vector<std::string> candidates = ProgramCandidates(program);
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const std::string workDir = TrimBlanks(InitialDirectory);
    int nice = 0;
    const bool setNice = NiceForPriority(d->initialPriority, nice);

    const pid_t pid = ::fork();
    if (pid < 0)
        Fail("Error creating process : ", errno);
    if (pid == 0) {
        // Child: only async-signal-safe calls from here to exec. The status
        // pipe is kept above the standard numbers too, so that moving the
        // pipe ends onto them cannot overwrite it.
        int statusFd = statusWrite.Get();
        if (statusFd < 3)
            statusFd = ::fcntl(statusFd, F_DUPFD_CLOEXEC, 3);
        ::setpgid(0, 0);
        if (setNice)
            ::setpriority(PRIO_PROCESS, 0, nice); // raising may fail: ignored
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int sig = 1; sig < NSIG; ++sig) {
            if (sig != SIGKILL && sig != SIGSTOP)
                ::signal(sig, SIG_DFL);
        }
        // Lift the child ends above the standard numbers first, in case a
        // pipe end itself got one of them.
        const int in = ::fcntl(inRead.Get(), F_DUPFD_CLOEXEC, 3);
        const int out = ::fcntl(outWrite.Get(), F_DUPFD_CLOEXEC, 3);
        const int err = ::fcntl(errWrite.Get(), F_DUPFD_CLOEXEC, 3);
        if (in < 0 || ::dup2(in, 0) < 0)
            ChildFailed(statusFd, kStageStdin);
        if (out < 0 || ::dup2(out, 1) < 0)
            ChildFailed(statusFd, kStageStdout);
        if (err < 0 || ::dup2(err, 2) < 0)
            ChildFailed(statusFd, kStageStderr);
        // Nothing else of ours reaches the child: descriptors opened elsewhere
        // in the program without close-on-exec would otherwise be inherited
        // (and could hold a pipe open). The status pipe closes itself on exec.
        const unsigned status = static_cast<unsigned>(statusFd);
        if (status > 3)
            ::close_range(3, status - 1, 0);
        ::close_range(status + 1, ~0U, 0);
        if (!workDir.empty() && ::chdir(workDir.c_str()) != 0)
            ChildFailed(statusFd, kStageCreate);
        int error = ENOENT;
        bool denied = false;
        for (const std::string& candidate : candidates) {
            ::execv(candidate.c_str(), argv.data());
            error = errno;
            if (error == EACCES)
                denied = true;
            else if (error != ENOENT && error != ENOTDIR)
                break; // a real failure of an existing file: report it
        }
        if (denied && (error == ENOENT || error == ENOTDIR))
            error = EACCES;
        errno = error;
        ChildFailed(statusFd, kStageCreate);
    }

    // Parent.
    ::setpgid(pid, pid); // also done by the child; whichever comes first wins
    inRead.Reset();
    outWrite.Reset();
    errWrite.Reset();
    statusWrite.Reset();
    int report[2] = {0, 0};
    ssize_t got;
    do {
        got = ::read(statusRead.Get(), report, sizeof report);
    } while (got < 0 && errno == EINTR);
    if (got == static_cast<ssize_t>(sizeof report)) {
        WaitForChild(pid);
        switch (report[0]) {
        case kStageStdin: Fail("Error on STDIN pipe duplication : ", report[1]);
        case kStageStdout: Fail("Error on STDOUT pipe duplication : ", report[1]);
        case kStageStderr: Fail("Error on STDERR pipe duplication : ", report[1]);
        default: Fail("Error creating process : ", report[1]);
        }
    }

    state->pid = pid;
    state->outRead = std::move(outRead);
    state->errRead = std::move(errRead);
    const long pidFd = ::syscall(SYS_pidfd_open, pid, 0);
    if (pidFd >= 0)
        state->pidFd.Reset(static_cast<int>(pidFd)); // else the reader falls back to its poll time
    d->pid = pid;
    d->stdinWrite = std::move(inWrite);
    try {
        d->reader = std::thread(Impl::ReaderMain, state);
    } catch (const std::system_error& e) {
        KillGroup(pid);
        d->Reap();
        Fail("Error creating process : ", e.code().value());
    }
}

void TRedirector::Terminate(int exitCode)
{
    if (!IsActive())
        throw Error("Cannot Terminate an inactive process");
    d->terminated = true;
    d->terminateCode = exitCode;
    KillGroup(d->pid);
    if (d->run && d->run->stop) {
        // The reader has already ended (a failed read or a failing handler),
        // so no end will come through it: finish the run here, without an
        // end event.
        d->Reap();
    }
}

} // namespace tl
