#include "ui/QtUiThread.h"

#include <QCoreApplication>
#include <QThread>
#include <exception>

namespace tl::ui {

QtUiThread::QtUiThread(QObject* parent) : QObject(parent) {}

void QtUiThread::InvokeAndWait(std::function<void()> fn)
{
    // Called on the GUI thread itself (a handler that waits for a helper that
    // happens to run inline): a blocking queued call would wait for itself.
    if (QThread::currentThread() == thread()) {
        fn();
        return;
    }
    std::exception_ptr error;
    QMetaObject::invokeMethod(
        this,
        [&fn, &error] {
            try {
                fn();
            } catch (...) {
                error = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (error)
        std::rethrow_exception(error);
}

void QtUiThread::Post(std::function<void()> fn)
{
    QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void QtUiThread::ProcessMessages()
{
    QCoreApplication::processEvents();
}

} // namespace tl::ui
