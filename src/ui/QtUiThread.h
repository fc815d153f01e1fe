#pragma once
// The user-interface thread of the Qt front end: work handed over by reader
// threads and workers runs on the thread that owns the QApplication.
#include <QObject>

#include "platform/UiThread.h"

namespace tl::ui {

class QtUiThread : public QObject, public tl::UiThread {
    Q_OBJECT
public:
    // Create on the GUI thread; the object's thread is the one that runs the work.
    explicit QtUiThread(QObject* parent = nullptr);

    void InvokeAndWait(std::function<void()> fn) override;
    void Post(std::function<void()> fn) override;
    void ProcessMessages() override;
};

} // namespace tl::ui
