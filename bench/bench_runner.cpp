// How much the console runner costs over reading a child's output from a
// plain pipe: both read the same 200 MB that `head` writes.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <string>

#include "app/Globals.h"
#include "platform/UiThread.h"
#include "transcode/Redirector.h"

namespace {

constexpr long long kBytes = 200LL * 1024 * 1024;

// The smallest user-interface thread: the bench's own thread runs the queue.
class Loop : public tl::UiThread {
public:
    void InvokeAndWait(std::function<void()> fn) override
    {
        bool done = false;
        std::exception_ptr error;
        std::unique_lock<std::mutex> lock(mutex_);
        queue_.push_back([&] {
            try {
                fn();
            } catch (...) {
                error = std::current_exception();
            }
            std::lock_guard<std::mutex> inner(mutex_);
            done = true;
            doneCv_.notify_all();
        });
        cv_.notify_all();
        doneCv_.wait(lock, [&] { return done; });
        if (error)
            std::rethrow_exception(error);
    }
    void Post(std::function<void()> fn) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(fn));
        cv_.notify_all();
    }
    void ProcessMessages() override
    {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!queue_.empty()) {
            auto fn = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            fn();
            lock.lock();
        }
    }
    void RunUntil(const std::function<bool()>& pred)
    {
        while (!pred()) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                cv_.wait_for(lock, std::chrono::milliseconds(50), [&] { return !queue_.empty(); });
            }
            ProcessMessages();
        }
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::condition_variable doneCv_;
    std::deque<std::function<void()>> queue_;
};

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
    Loop loop;
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
