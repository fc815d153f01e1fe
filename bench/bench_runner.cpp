// How much the console runner costs over reading a child's output from a
// plain pipe: both read the same 200 MB that `head` writes.
#include <chrono>
#include <cstdio>
#include <string>

#include "BenchLoop.h"
#include "app/Globals.h"
#include "transcode/Redirector.h"

namespace {

constexpr long long kBytes = 200LL * 1024 * 1024;

double Seconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

} // namespace

int main()
{
    tl::InstallDir = TESSALINE_DIST_DIR "/";
    const std::string command = "head -c " + std::to_string(kBytes) + " /dev/zero";

    // Through the runner: every chunk handed over to the loop's thread.
    tl::bench::Loop loop;
    long long runnerBytes = 0;
    bool ended = false;
    tl::TRedirector runner(loop);
    runner.OnData = [&](tl::TRedirector&, const char*, std::size_t count) { runnerBytes += static_cast<long long>(count); };
    runner.OnTerminated = [&](tl::TRedirector&) { ended = true; };
    runner.SetCommandLine(command);
    auto start = std::chrono::steady_clock::now();
    runner.Execute();
    loop.RunUntil([&] { return ended; });
    const double runnerSeconds = Seconds(std::chrono::steady_clock::now() - start);

    // Through a plain pipe, read in the same thread.
    long long pipeBytes = 0;
    start = std::chrono::steady_clock::now();
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        std::perror("popen");
        return 1;
    }
    static char buffer[64 * 1024];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        pipeBytes += static_cast<long long>(n);
    ::pclose(pipe);
    const double pipeSeconds = Seconds(std::chrono::steady_clock::now() - start);

    if (runnerBytes != kBytes || pipeBytes != kBytes) {
        std::fprintf(stderr, "short read: runner %lld, pipe %lld of %lld bytes\n", runnerBytes, pipeBytes, kBytes);
        return 1;
    }
    std::printf("runner_seconds=%.3f\n", runnerSeconds);
    std::printf("pipe_seconds=%.3f\n", pipeSeconds);
    std::printf("runner_vs_pipe_ratio=%.2f\n", pipeSeconds > 0 ? runnerSeconds / pipeSeconds : 0.0);
    return 0;
}
