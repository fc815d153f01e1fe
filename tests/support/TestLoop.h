#pragma once
// A user-interface thread for tests: the test's own thread runs the loop.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/UiThread.h"

namespace tl::test {

class TestLoop : public UiThread {
public:
    TestLoop();
    void InvokeAndWait(std::function<void()> fn) override;
    void Post(std::function<void()> fn) override;
    void ProcessMessages() override;

    // Runs queued work until pred() holds or the time-out passes; true when pred() held.
    bool RunUntil(const std::function<bool()>& pred,
                  std::chrono::milliseconds timeout = std::chrono::seconds(60));
    // Runs queued work for the given time.
    void RunFor(std::chrono::milliseconds duration);

private:
    struct Task {
        std::function<void()> fn;
        // set for InvokeAndWait: the caller waits on it
        bool* done = nullptr;
        std::exception_ptr* error = nullptr;
    };
    bool RunOne(std::unique_lock<std::mutex>& lock);
    std::mutex mutex_;
    std::condition_variable cv_;
    std::condition_variable doneCv_;
    std::deque<Task> queue_;
    std::thread::id owner_;
};

} // namespace tl::test
