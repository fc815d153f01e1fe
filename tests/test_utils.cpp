// Path texts, trimming, folder deletion, the busy-cursor counter and the
// per-user application-data folder.
#include "app/Utils.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using tl::test::TempFolder;

namespace {

// Sets or unsets an environment variable for one test and restores it after.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

bool ReadOnlyFoldersEnforced()
{
    TempFolder probe("tl-utils-probe");
    fs::permissions(probe.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    std::ofstream out(probe.Path() / "x");
    const bool refused = !out.is_open();
    fs::permissions(probe.Path(), fs::perms::owner_all);
    return refused;
}

struct TextCase {
    std::string input;
    std::string expected;
};

TEST(FileBaseName, DropsFolderAndLastExtension)
{
    const std::vector<TextCase> cases{
        {"/opt/app/langs/English.ini", "English"},
        {"Deutsch.ini", "Deutsch"},
        {"Deutsch", "Deutsch"},
        {"my.lang.ini", "my.lang"},
        {"/folder.with.dots/name", "name"},
        {"/folder/", ""},
        {"", ""},
        {"trailing.", "trailing"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tl::FileBaseName(c.input), c.expected) << c.input;
}

TEST(TrailingSeparator, AddedOnceAndRemovedOnce)
{
    const std::vector<TextCase> add{{"/a/", "/a/"}, {"/a", "/a/"}, {"", "/"}, {"a b", "a b/"}};
    for (const auto& c : add)
        EXPECT_EQ(tl::AddTrailingBackslash(c.input), c.expected) << c.input;
    const std::vector<TextCase> remove{{"/a/", "/a"}, {"/a", "/a"}, {"/", ""}, {"", ""}, {"/a//", "/a/"}};
    for (const auto& c : remove)
        EXPECT_EQ(tl::RemoveTrailingBackslash(c.input), c.expected) << c.input;
}

TEST(Trim, RemovesControlCharactersAndBlanksOnly)
{
    const std::vector<TextCase> cases{
        {"  x  ", "x"},
        {"\t\r\n x y \x01", "x y"},
        {"", ""},
        {" \t ", ""},
        // bytes of other code pages are text, not blanks
        {"\xE4" "bc\xE4", "\xE4" "bc\xE4"},
        {std::string("\0a\0", 3), "a"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tl::Trim(c.input), c.expected) << c.input;
}

TEST(DeleteFolderTree, RemovesNestedFilesAndFolders)
{
    TempFolder tmp;
    tmp.Write("run/VIDEO_TS/VTS_01_1.VOB", "v");
    tmp.Write("run/VIDEO_TS/deeper/more/x.bin", "x");
    tmp.Write("run/.hidden", "h");
    fs::create_directories(tmp.Path() / "run/empty");
    EXPECT_TRUE(tl::DeleteFolderTree(tmp.Dir() + "run/"));  // trailing separator as callers pass it
    EXPECT_FALSE(fs::exists(tmp.Path() / "run"));
}

TEST(DeleteFolderTree, SymbolicLinksAreRemovedNotFollowed)
{
    TempFolder tmp;
    const std::string keep = tmp.Write("outside/precious.txt", "keep me");
    tmp.Write("run/a.txt", "a");
    fs::create_directory_symlink(tmp.Path() / "outside", tmp.Path() / "run/linkdir");
    fs::create_symlink(keep, tmp.Path() / "run/linkfile");
    fs::create_symlink(tmp.Path() / "nowhere", tmp.Path() / "run/dangling");
    EXPECT_TRUE(tl::DeleteFolderTree(tmp.Dir() + "run"));
    EXPECT_FALSE(fs::exists(tmp.Path() / "run"));
    EXPECT_EQ(TempFolder::Read(keep), "keep me");
}

TEST(DeleteFolderTree, LinkGivenAsTheFolderIsRemovedAlone)
{
    TempFolder tmp;
    const std::string keep = tmp.Write("real/VIDEO_TS.IFO", "ifo");
    fs::create_directory_symlink(tmp.Path() / "real", tmp.Path() / "VIDEO_TS");
    EXPECT_TRUE(tl::DeleteFolderTree(tmp.Dir() + "VIDEO_TS/"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(tmp.Path() / "VIDEO_TS")));
    EXPECT_EQ(TempFolder::Read(keep), "ifo");
}

TEST(DeleteFolderTree, MissingFolderIsGoneAndFileIsNoFolder)
{
    TempFolder tmp;
    EXPECT_TRUE(tl::DeleteFolderTree(tmp.Dir() + "never"));
    const std::string file = tmp.Write("plain.txt", "p");
    EXPECT_FALSE(tl::DeleteFolderTree(file));
    EXPECT_TRUE(fs::exists(file));
    EXPECT_FALSE(tl::DeleteFolderTree(""));
}

TEST(DeleteFolderTree, UndeletableEntryLeavesFolderAndReportsFalse)
{
    if (!ReadOnlyFoldersEnforced())
        GTEST_SKIP() << "folder permissions are not enforced for this user (root?)";
    TempFolder tmp;
    tmp.Write("run/locked/file.bin", "x");
    fs::permissions(tmp.Path() / "run/locked", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(tl::DeleteFolderTree(tmp.Dir() + "run"));
    EXPECT_TRUE(fs::exists(tmp.Path() / "run/locked/file.bin"));
}

TEST(BusyCursor, NestsAndCallsHookOnlyAtTheOuterLevel)
{
    std::vector<bool> calls;
    tl::SetBusyCursorHook([&calls](bool busy) { calls.push_back(busy); });
    ASSERT_EQ(tl::BusyCursorDepth(), 0);
    tl::BusyCursorOn();
    tl::BusyCursorOn();
    EXPECT_EQ(tl::BusyCursorDepth(), 2);
    tl::BusyCursorOff();
    EXPECT_EQ(calls, std::vector<bool>{true});
    tl::BusyCursorOff();
    tl::BusyCursorOff();  // one Off too many: the depth stays at 0
    EXPECT_EQ(tl::BusyCursorDepth(), 0);
    tl::BusyCursorOn();
    tl::BusyCursorOff();
    EXPECT_EQ(calls, (std::vector<bool>{true, false, true, false}));
    tl::SetBusyCursorHook({});
    tl::BusyCursorOn();  // no hook: only the counter moves
    EXPECT_EQ(tl::BusyCursorDepth(), 1);
    tl::BusyCursorOff();
}

TEST(WindowsVersion, IsZeroSoNotWin9x)
{
    EXPECT_EQ(tl::WindowsVersion(), 0);
}

TEST(SpecialFolderPath, AppDataFromXdgDataHome)
{
    TempFolder tmp;
    const std::string wanted = tmp.Dir() + "data/home";
    ScopedEnv xdg("XDG_DATA_HOME", (wanted + "/").c_str());
    EXPECT_EQ(tl::SpecialFolderPath(26, false), wanted);
    EXPECT_FALSE(fs::exists(wanted));
    EXPECT_EQ(tl::SpecialFolderPath(26, true), wanted);
    EXPECT_TRUE(fs::is_directory(wanted));
}

TEST(SpecialFolderPath, FallsBackToHomeWhenXdgUnsetOrRelative)
{
    TempFolder tmp;
    ScopedEnv home("HOME", tmp.Path().c_str());
    const std::string expected = tmp.Dir() + ".local/share";
    {
        ScopedEnv xdg("XDG_DATA_HOME", nullptr);
        EXPECT_EQ(tl::SpecialFolderPath(26, true), expected);
        EXPECT_TRUE(fs::is_directory(expected));
    }
    {
        ScopedEnv xdg("XDG_DATA_HOME", "relative/path");
        EXPECT_EQ(tl::SpecialFolderPath(26, false), expected);
    }
}

TEST(SpecialFolderPath, EmptyWhenFolderCannotBeMadeOrIdUnknown)
{
    TempFolder tmp;
    const std::string file = tmp.Write("file", "not a folder");
    ScopedEnv xdg("XDG_DATA_HOME", (file + "/sub").c_str());
    EXPECT_EQ(tl::SpecialFolderPath(26, true), "");
    for (int id : {0, 5, 28, 35, -1})
        EXPECT_EQ(tl::SpecialFolderPath(id, true), "") << id;
}

} // namespace
