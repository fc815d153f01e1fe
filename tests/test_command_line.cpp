#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/CommandLine.h"

namespace {

using Args = std::vector<std::string>;

struct SplitCase {
    const char* line;
    Args expected;
};

TEST(SplitCommandLine, SplitsAsTheWindowsCommandLineWithoutExpandingAnything)
{
    const std::vector<SplitCase> cases = {
        {"", {}},
        {"   \t ", {}},
        {"prog a b", {"prog", "a", "b"}},
        {"  prog \t a   b  ", {"prog", "a", "b"}},
        {R"("/opt/my tools/x.dll" -i "/v/a b.avi" -y)", {"/opt/my tools/x.dll", "-i", "/v/a b.avi", "-y"}},
        {R"(p "")", {"p", ""}},
        {R"(p a"b c"d)", {"p", "ab cd"}},
        {R"(p "unterminated arg)", {"p", "unterminated arg"}},
        {R"(p "a""b")", {"p", "a\"b"}},
        // backslashes count only before a quote
        {R"(p a\b a\\b c:\dir\)", {"p", R"(a\b)", R"(a\\b)", R"(c:\dir\)"}},
        {R"(p \"a)", {"p", "\"a"}},
        {R"(p \\"a b")", {"p", R"(\a b)"}},
        {R"(p \\\"a)", {"p", R"(\"a)"}},
        // the program name follows the same rules
        {R"("/x/a \"q\" tool" arg)", {R"(/x/a "q" tool)", "arg"}},
        // shell characters are plain text
        {"p $(touch pwned) `id` a;b a&b a|b * ~ %PATH% >out <in",
         {"p", "$(touch", "pwned)", "`id`", "a;b", "a&b", "a|b", "*", "~", "%PATH%", ">out", "<in"}},
        {"p \"$HOME\" 'single quoted'", {"p", "$HOME", "'single", "quoted'"}},
        {"p -dash --x=1 \xc3\xa9t\xc3\xa9", {"p", "-dash", "--x=1", "\xc3\xa9t\xc3\xa9"}},
    };
    for (const SplitCase& c : cases)
        EXPECT_EQ(tl::SplitCommandLine(c.line), c.expected) << "line: " << c.line;
}

TEST(QuoteArgument, EveryTextSplitsBackIntoItself)
{
    const std::vector<std::string> texts = {
        "", "plain", "/tmp/a b/~convert.bat", R"(a "quoted" word)", R"(ends in backslash\)", R"(\"odd\\)",
        "-dash", "$(touch pwned) `id` ;&|<>", "\xc3\xa9t\xc3\xa9 \"", R"(\\server\share)",
    };
    for (const std::string& t : texts) {
        EXPECT_EQ(tl::SplitCommandLine(tl::QuoteArgument(t) + " " + tl::QuoteArgument(t)), (Args{t, t})) << t;
    }
    // ordinary paths are simply put between quotes
    EXPECT_EQ(tl::QuoteArgument("/tmp/a b/0.mpg"), "\"/tmp/a b/0.mpg\"");
}

TEST(ProgramCandidates, NameWithFolderIsTakenAsItIsOtherwiseEveryPathFolder)
{
    EXPECT_EQ(tl::ProgramCandidates("/bin/x"), Args{"/bin/x"});
    EXPECT_EQ(tl::ProgramCandidates("./x"), Args{"./x"});
    EXPECT_TRUE(tl::ProgramCandidates("").empty());

    const char* saved = std::getenv("PATH");
    const std::string keep = saved != nullptr ? saved : "";
    ::setenv("PATH", "/a:/b/::/c", 1);
    EXPECT_EQ(tl::ProgramCandidates("tool"), (Args{"/a/tool", "/b/tool", "./tool", "/c/tool"}));
    ::setenv("PATH", keep.c_str(), 1);
}

TEST(IsBatchFileName, AnyLetterCaseOfTheExtension)
{
    EXPECT_TRUE(tl::IsBatchFileName("/t/~convert.bat"));
    EXPECT_TRUE(tl::IsBatchFileName("/t/MENU.BAT"));
    EXPECT_TRUE(tl::IsBatchFileName("x.Bat"));
    EXPECT_FALSE(tl::IsBatchFileName("/t/bat"));
    EXPECT_FALSE(tl::IsBatchFileName("/t/x.bat.txt"));
    EXPECT_FALSE(tl::IsBatchFileName("/t/xbat"));
    EXPECT_FALSE(tl::IsBatchFileName(""));
}

} // namespace
