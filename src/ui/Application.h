#pragma once
// The application object: an error that escapes an event handler is shown in
// the standard error box instead of ending the program.
#include <QApplication>

namespace tl {
class UserPrompts;
}

namespace tl::ui {

class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
    // Where uncaught errors are shown; nullptr means the standard error box.
    void SetPrompts(tl::UserPrompts* prompts) { prompts_ = prompts; }

private:
    void Report(const char* text);
    tl::UserPrompts* prompts_ = nullptr;
};

} // namespace tl::ui
