#pragma once
// The user-interface thread as the core sees it. The Qt front end supplies the
// real one; tests supply a small loop of their own.
#include <functional>

namespace tl {

class UiThread {
public:
    virtual ~UiThread() = default;
    // From a worker thread: run fn on the user-interface thread and wait until
    // it has returned. An exception thrown by fn is passed back to the caller.
    virtual void InvokeAndWait(std::function<void()> fn) = 0;
    // From any thread: queue fn to run later on the user-interface thread
    // (the equivalent of posting a window message).
    virtual void Post(std::function<void()> fn) = 0;
    // On the user-interface thread: handle what is pending once, then return.
    virtual void ProcessMessages() = 0;
};

} // namespace tl
