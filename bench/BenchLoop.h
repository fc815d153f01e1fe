#pragma once
// A user-interface thread for the benchmarks: the bench's own thread runs the queue.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>

#include "platform/UiThread.h"

namespace tl::bench {

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

} // namespace tl::bench
