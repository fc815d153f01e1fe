#include "support/TestLoop.h"

namespace tl::test {

TestLoop::TestLoop() : owner_(std::this_thread::get_id()) {}

void TestLoop::InvokeAndWait(std::function<void()> fn)
{
    if (std::this_thread::get_id() == owner_) {
        fn();
        return;
    }
    bool done = false;
    std::exception_ptr error;
    std::unique_lock<std::mutex> lock(mutex_);
    queue_.push_back(Task{std::move(fn), &done, &error});
    cv_.notify_all();
    doneCv_.wait(lock, [&] { return done; });
    if (error)
        std::rethrow_exception(error);
}

void TestLoop::Post(std::function<void()> fn)
{
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(Task{std::move(fn), nullptr, nullptr});
    cv_.notify_all();
}

bool TestLoop::RunOne(std::unique_lock<std::mutex>& lock)
{
    if (queue_.empty())
        return false;
    Task task = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    std::exception_ptr error;
    try {
        task.fn();
    } catch (...) {
        error = std::current_exception();
    }
    lock.lock();
    if (task.done) {
        *task.error = error;
        *task.done = true;
        doneCv_.notify_all();
    } else if (error) {
        lock.unlock();
        std::rethrow_exception(error);
    }
    return true;
}

void TestLoop::ProcessMessages()
{
    std::unique_lock<std::mutex> lock(mutex_);
    std::size_t n = queue_.size();
    while (n-- > 0 && RunOne(lock)) {
    }
}

bool TestLoop::RunUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        while (RunOne(lock)) {
            lock.unlock();
            bool ok = pred();
            lock.lock();
            if (ok)
                return true;
        }
        lock.unlock();
        bool ok = pred();
        lock.lock();
        if (ok)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        cv_.wait_until(lock, std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(20)));
    }
}

void TestLoop::RunFor(std::chrono::milliseconds duration)
{
    RunUntil([] { return false; }, duration);
}

} // namespace tl::test
