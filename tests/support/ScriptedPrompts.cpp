#include "support/ScriptedPrompts.h"

namespace tl::test {

MsgResult ScriptedPrompts::Next()
{
    if (answers.empty())
        return MsgResult::Ok;
    MsgResult r = answers.front();
    answers.pop_front();
    return r;
}

MsgResult ScriptedPrompts::Message(const std::string& text, const std::string& caption, MsgKind kind,
                                   MsgButtons buttons)
{
    shown.push_back({text, caption, kind, buttons, {}});
    return Next();
}

MsgResult ScriptedPrompts::ButtonCaptionDialog(const std::string& text, const std::string& caption,
                                               MsgKind kind, const std::vector<std::string>& captions,
                                               MsgButtons buttons)
{
    shown.push_back({text, caption, kind, buttons, captions});
    return Next();
}

void ScriptedPrompts::ShowError(const std::string& text)
{
    errors.push_back(text);
}

} // namespace tl::test
