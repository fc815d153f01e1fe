#pragma once
// Message boxes, questions and the folder picker of the Qt front end.
#include <QString>
#include <string>

#include "platform/UserPrompts.h"

class QWidget;

namespace tl::ui {

class QtPrompts : public tl::UserPrompts {
public:
    MsgResult Message(const std::string& text, const std::string& caption, MsgKind kind,
                      MsgButtons buttons) override;
    MsgResult ButtonCaptionDialog(const std::string& text, const std::string& caption, MsgKind kind,
                                  const std::vector<std::string>& captions, MsgButtons buttons) override;
    void ShowError(const std::string& text) override;
};

// The shell's folder picker: opens at `folder`; on OK stores the chosen folder
// in `folder` (with a trailing separator) and returns true; on Cancel returns
// false and leaves `folder` as it was.
bool BrowseForFolder(QWidget* owner, std::string& folder, const std::string& title);

// The window that owns a message box shown now: the active modal dialog if
// there is one, else the active window.
QWidget* MessageOwner();

// Texts cross the core boundary as UTF-8 bytes.
inline QString Q(const std::string& text) { return QString::fromStdString(text); }
inline std::string S(const QString& text) { return text.toStdString(); }

// Shows the busy cursor while the core counts busy sections (BusyCursorOn/Off).
void InstallBusyCursorHook();

} // namespace tl::ui
