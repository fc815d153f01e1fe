#pragma once
// Runs a helper program (ffprobe, ffmpeg) as a direct child: no shell, the
// arguments go to exec as they are. The child stays in our process group and
// dies with us, so ending the adapter in any way also ends the encoder.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tl::transcoder {

struct ChildOutcome {
    bool started = false;   // false: exec failed, startError holds errno
    int startError = 0;
    bool exited = false;    // ended normally; exitCode is valid
    int exitCode = -1;
    int endSignal = 0;      // ended by this signal
};

using LineSink = std::function<void(std::string_view line)>;

// Installs SIGTERM/SIGINT/SIGHUP handlers that remember the signal and pass it
// on to the running child, and ignores SIGPIPE (a closed console must not kill
// us half-way through a clean-up).
void InstallStopHandlers();

// The signal that asked us to stop, or 0.
int StopSignal();

// Runs argv[0] (searched on PATH) with stdin from /dev/null; every line the
// child writes to stdout or stderr goes to the matching sink, without its line
// break. Returns when the child has ended and both streams are drained.
ChildOutcome RunChild(const std::vector<std::string>& argv, const LineSink& onStdout,
                      const LineSink& onStderr);

} // namespace tl::transcoder
