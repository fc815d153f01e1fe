#pragma once
// Message boxes answered from a script, and a record of what was shown.
#include <deque>
#include <string>
#include <vector>

#include "platform/UserPrompts.h"

namespace tl::test {

struct ShownMessage {
    std::string text;
    std::string caption;
    MsgKind kind;
    MsgButtons buttons;
    std::vector<std::string> captions;  // custom button captions, if any
};

class ScriptedPrompts : public UserPrompts {
public:
    // Answers used in order; when they run out, every box is answered Ok.
    std::deque<MsgResult> answers;
    std::vector<ShownMessage> shown;
    std::vector<std::string> errors;

    MsgResult Message(const std::string& text, const std::string& caption, MsgKind kind,
                      MsgButtons buttons) override;
    MsgResult ButtonCaptionDialog(const std::string& text, const std::string& caption, MsgKind kind,
                                  const std::vector<std::string>& captions, MsgButtons buttons) override;
    void ShowError(const std::string& text) override;

private:
    MsgResult Next();
};

} // namespace tl::test
