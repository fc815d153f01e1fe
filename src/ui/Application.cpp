#include "ui/Application.h"

#include <exception>

#include "ui/QtPrompts.h"

namespace tl::ui {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        Report(error.what());
    } catch (...) {
        Report("Unknown error");
    }
    return false;
}

void Application::Report(const char* text)
{
    if (prompts_) {
        prompts_->ShowError(text);
        return;
    }
    QtPrompts prompts;
    prompts.ShowError(text);
}

} // namespace tl::ui
