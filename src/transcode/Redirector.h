#pragma once
// TRedirector: runs one console program at a time as a child process with its
// standard streams on pipes. A reader thread watches the pipes and the child
// and hands every chunk of output and the end of the child over to the
// user-interface thread, waiting until each has been handled.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>

namespace tl {

class UiThread;

class TRedirector {
public:
    using DataEvent = std::function<void(TRedirector& sender, const char* bytes, std::size_t count)>;
    using EndEvent = std::function<void(TRedirector& sender)>;

    explicit TRedirector(UiThread& ui);
    ~TRedirector();
    TRedirector(const TRedirector&) = delete;
    TRedirector& operator=(const TRedirector&) = delete;

    // Plain fields.
    std::string ExeName;
    bool KillOnDestroy = false;
    std::string InitialDirectory;
    std::uint16_t ShowMode = 0;
    DataEvent OnData;
    DataEvent OnErrorData;
    EndEvent OnTerminated;
    // Called on the user-interface thread when the reader ended without an end
    // event (a failed pipe read, or an error raised by an event handler).
    std::function<void(TRedirector& sender, const std::string& message)> OnReaderFailed;

    // Guarded properties (see the setters' rules).
    const std::string& CommandLine() const;
    void SetCommandLine(const std::string& commandLine);
    bool DefaultErrorMode() const;
    void SetDefaultErrorMode(bool value);
    std::uint8_t InitialPriority() const;
    void SetInitialPriority(std::uint8_t value);

    void Execute();
    void Terminate(int exitCode);
    bool IsActive() const;
    bool ProcessEnded() const;
    pid_t ProcessId() const;
    // Exit code of the last child that ended: its exit status; the code given
    // to Terminate when it was ended that way; 128 + signal for other signals.
    int ExitCode() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace tl
