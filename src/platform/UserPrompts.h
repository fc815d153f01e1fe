#pragma once
// Message boxes and questions. Jobs never create windows: they ask through
// this interface, which the front end implements with dialogs and tests
// answer from a script.
#include <string>
#include <vector>

namespace tl {

enum class MsgKind { None, Information, Warning, Error, Confirmation };
enum class MsgButtons { Ok, OkCancel };
enum class MsgResult { Ok, Cancel };

class UserPrompts {
public:
    virtual ~UserPrompts() = default;
    // A modal message box; returns the button pressed (closing it is Cancel).
    virtual MsgResult Message(const std::string& text, const std::string& caption,
                              MsgKind kind, MsgButtons buttons) = 0;
    // A message box whose buttons carry the given captions, in order.
    virtual MsgResult ButtonCaptionDialog(const std::string& text, const std::string& caption,
                                          MsgKind kind, const std::vector<std::string>& captions,
                                          MsgButtons buttons) = 0;
    // The application's standard error box for an error nobody caught.
    virtual void ShowError(const std::string& text) = 0;
};

} // namespace tl
