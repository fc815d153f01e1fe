// The VIDEO_TS check, the disc output folder, the removals of the run's files
// and the question burning asks about a broken VIDEO_TS folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "authoring/DvdBuild.h"
#include "authoring/VideoTsQuestion.h"
#include "lang/Catalogue.h"
#include "project/PipelineViews.h"
#include "support/ScriptedPrompts.h"
#include "support/TempFolder.h"

using namespace tl;
using tl::test::ScriptedPrompts;
using tl::test::TempFolder;
namespace fs = std::filesystem;

namespace {

std::set<std::string> Names(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

} // namespace

TEST(CheckVideoTs, Table)
{
    const std::vector<std::string> noMenu = {"VIDEO_TS.VOB", "VIDEO_TS.IFO", "VIDEO_TS.BUP", "VTS_01_0.IFO",
                                             "VTS_01_0.BUP", "VTS_01_1.VOB"};
    const std::vector<std::string> withMenu = {"VIDEO_TS.VOB", "VIDEO_TS.IFO", "VIDEO_TS.BUP", "VTS_01_0.VOB",
                                               "VTS_01_0.IFO", "VTS_01_0.BUP", "VTS_01_1.VOB"};
    struct Case {
        const char* name;
        std::vector<std::string> files;
        bool expected;
    };
    auto without = [](std::vector<std::string> files, const std::string& name) {
        std::erase(files, name);
        return files;
    };
    auto with = [](std::vector<std::string> files, std::initializer_list<std::string> more) {
        files.insert(files.end(), more);
        return files;
    };
    const Case cases[] = {
        {"disc without menus", noMenu, true},
        {"disc without menus, no VIDEO_TS.BUP", without(noMenu, "VIDEO_TS.BUP"), false},
        {"disc without menus, no VIDEO_TS.IFO", without(noMenu, "VIDEO_TS.IFO"), false},
        {"disc with menus", withMenu, true},
        {"VTS_01_0.VOB without VTS_01_1.VOB", without(withMenu, "VTS_01_1.VOB"), false},
        {"VTS_01_0.VOB without its .BUP", without(withMenu, "VTS_01_0.BUP"), false},
        {"VTS_01_0.VOB without its .IFO", without(withMenu, "VTS_01_0.IFO"), false},
        {"title set only, no VIDEO_TS.VOB", {"VTS_01_0.VOB", "VTS_01_0.IFO", "VTS_01_0.BUP", "VTS_01_1.VOB"}, false},
        {"second title set incomplete", with(withMenu, {"VTS_02_0.VOB", "VTS_02_0.IFO"}), false},
        {"title set 99 incomplete", with(noMenu, {"VTS_99_0.VOB"}), false},
        {"title set 100 is not inspected", with(noMenu, {"VTS_100_0.VOB"}), true},
        {"lower-case names do not count", {"video_ts.vob", "video_ts.ifo", "video_ts.bup"}, false},
        {"empty folder", {}, false},
    };
    for (const auto& c : cases) {
        TempFolder dir;
        for (const auto& file : c.files)
            dir.Write("VIDEO_TS/" + file, "x");
        fs::create_directories(dir.Path() / "VIDEO_TS");
        EXPECT_EQ(CheckVideoTs(dir.Dir() + "VIDEO_TS"), c.expected) << c.name;
        EXPECT_EQ(CheckVideoTs(dir.Dir() + "VIDEO_TS/"), c.expected) << c.name << " (trailing separator)";
    }
}

TEST(DiscOutputFolder, TakesTheSmallestFreeNumber)
{
    struct Case {
        std::vector<std::string> present;
        std::string expected;
    };
    const Case cases[] = {
        {{}, "DVD_DISC1"},
        {{"DVD_DISC1", "DVD_DISC2"}, "DVD_DISC3"},
        {{"DVD_DISC2"}, "DVD_DISC1"},
        {{"DVD_DISC1", "DVD_DISC3"}, "DVD_DISC2"},
        {{"DVD_DISC01"}, "DVD_DISC1"},
    };
    for (const auto& c : cases) {
        TempFolder dir;
        for (const auto& name : c.present)
            fs::create_directory(dir.Path() / name);
        const std::string chosen = ChooseDiscOutputFolder(dir.Dir());
        EXPECT_EQ(chosen, dir.Dir() + c.expected);
        EXPECT_TRUE(fs::is_directory(chosen)) << chosen;
    }
}

TEST(DiscOutputFolder, CreatesMissingParentsAndSkipsAFileOfThatName)
{
    TempFolder dir;
    EXPECT_EQ(ChooseDiscOutputFolder(dir.Dir() + "a/b"), dir.Dir() + "a/b/DVD_DISC1");
    EXPECT_TRUE(fs::is_directory(dir.Path() / "a/b/DVD_DISC1"));

    dir.Write("c/DVD_DISC1", "a file, not a folder");
    EXPECT_EQ(ChooseDiscOutputFolder(dir.Dir() + "c/"), dir.Dir() + "c/DVD_DISC2");
}

TEST(RemoveDiscFolder, RemovesTheTreeButNeverFollowsLinks)
{
    TempFolder dir;
    const std::string outside = dir.Write("outside/keep.txt", "precious");
    dir.Write("outside/sub/keep2.txt", "precious");
    dir.Write("DVD_DISC1/VIDEO_TS/VIDEO_TS.VOB", "v");
    dir.Write("DVD_DISC1/VIDEO_TS/deep/x.bin", "x");
    dir.Write("DVD_DISC1/.hidden", "h");
    fs::create_directories(dir.Path() / "DVD_DISC1/AUDIO_TS");
    fs::create_directory_symlink(dir.Path() / "outside", dir.Path() / "DVD_DISC1/VIDEO_TS/link_to_outside");
    fs::create_symlink(outside, dir.Path() / "DVD_DISC1/file_link");
    // a read-only file is removed too: only the folder's permissions count here
    fs::permissions(dir.Path() / "DVD_DISC1/.hidden", fs::perms::owner_read);

    RemoveDiscFolder(dir.Dir() + "DVD_DISC1");

    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.Path() / "DVD_DISC1")));
    EXPECT_EQ(TempFolder::Read(outside), "precious");
    EXPECT_EQ(TempFolder::Read(dir.Path() / "outside/sub/keep2.txt"), "precious");
}

TEST(RemoveDiscFolder, LinkItselfEmptyTextAndMissingFolderAreLeftAlone)
{
    TempFolder dir;
    dir.Write("real/keep.txt", "k");
    fs::create_directory_symlink(dir.Path() / "real", dir.Path() / "DVD_DISC1");
    RemoveDiscFolder(dir.Dir() + "DVD_DISC1");
    EXPECT_TRUE(fs::exists(dir.Path() / "real/keep.txt"));

    RemoveDiscFolder("");
    RemoveDiscFolder(dir.Dir() + "missing");
    EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{"DVD_DISC1", "real"}));
}

TEST(RemoveDiscFolder, WhatCannotBeRemovedStaysAndTheRestGoes)
{
    TempFolder dir;
    dir.Write("DVD_DISC1/locked/inside.txt", "i");
    dir.Write("DVD_DISC1/free.txt", "f");
    fs::permissions(dir.Path() / "DVD_DISC1/locked", fs::perms::owner_read | fs::perms::owner_exec);
    RemoveDiscFolder(dir.Dir() + "DVD_DISC1");
    if (fs::exists(dir.Path() / "DVD_DISC1/locked/inside.txt")) {  // not when running as root
        EXPECT_FALSE(fs::exists(dir.Path() / "DVD_DISC1/free.txt"));
        EXPECT_TRUE(fs::exists(dir.Path() / "DVD_DISC1"));
    } else {
        EXPECT_FALSE(fs::exists(dir.Path() / "DVD_DISC1"));
    }
}

TEST(RunFiles, TitleAndMenuGroupsRemoveOnlyTheirOwnFiles)
{
    // Three titles: menu pages 0 and 1.
    const std::vector<std::string> titleGroup = {"0.mpg", "1.mpg", "2.mpg", "menu_final_0.mpg", "menu_final_1.mpg",
                                                 "dvd.xml"};
    const std::vector<std::string> menuGroup = {
        "menu_0.jpg",     "menu_0_mask_blue.png", "menu_0_mask_red.png", "menu_0.mpg", "menu_back_0.m2v", "0.xml",
        "menu_1.jpg",     "menu_1_mask_blue.png", "menu_1_mask_red.png", "menu_1.mpg", "menu_back_1.m2v", "1.xml",
        "menu.bat"};
    const std::set<std::string> others = {"0.jpg", "3.mpg", "menu_final_2.mpg", "2.xml", "~convert.bat"};

    for (bool titles : {true, false}) {
        TempFolder dir;
        for (const auto& name : titleGroup)
            dir.Write(name, "x");
        for (const auto& name : menuGroup)
            dir.Write(name, "x");
        for (const auto& name : others)
            dir.Write(name, "x");
        std::set<std::string> expected = others;
        if (titles) {
            AuthoringCleanup(dir.Dir(), 3);
            expected.insert(menuGroup.begin(), menuGroup.end());
        } else {
            RemoveMenuFileGroup(dir.Dir(), 3);
            expected.insert(titleGroup.begin(), titleGroup.end());
        }
        EXPECT_EQ(Names(dir.Path()), expected) << (titles ? "title group" : "menu group");
    }
}

TEST(RunFiles, GroupsSkipMissingFiles)
{
    TempFolder dir;
    dir.Write("1.mpg", "x");
    AuthoringCleanup(dir.Dir(), 2);
    RemoveMenuFileGroup(dir.Dir(), 2);
    EXPECT_TRUE(Names(dir.Path()).empty());
}

TEST(RunFiles, EndOfRunRemovesOnlyTheFoldersDirectlyInTemp)
{
    TempFolder dir;
    dir.Write("VIDEO_TS/a/VIDEO_TS.VOB", "x");
    dir.Write("AUDIO_TS/b.txt", "x");
    dir.Write("DVD_DISC1/VIDEO_TS/VIDEO_TS.VOB", "x");
    dir.Write("DVD_DISC1/AUDIO_TS/keep", "x");
    EndOfRunFolderCleanup(dir.Path().string());
    EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{"DVD_DISC1"}));
    EXPECT_EQ(Names(dir.Path() / "DVD_DISC1"), (std::set<std::string>{"AUDIO_TS", "VIDEO_TS"}));
}

// ---- the question before burning --------------------------------------------------

namespace {

struct FakeMain : MainView {
    std::vector<bool> locks;
    void LockUserInterface(bool lock) override { locks.push_back(lock); }
    void SetStatusText(const std::string&) override {}
    void PostPipelineMessage(PipelineMessage) override {}
};

struct FakeDialog : AuthoringView {
    int closed = 0;
    void SetupStep(int) override {}
    void SetCaption(const std::string&) override {}
    void SetInfo(const std::string&) override {}
    void SetProgress(int) override {}
    int Progress() const override { return 0; }
    void StartElapsedTimer() override {}
    DialogResult ShowModal() override { return DialogResult::None; }
    void ShowModeless() override {}
    void Close() override { ++closed; }
    bool IsShowing() const override { return closed == 0; }
};

} // namespace

TEST(VideoTsQuestion, Table)
{
    struct Case {
        const char* name;
        bool complete;
        bool created;
        MsgResult answer;
        bool goOn;
        bool asked;
        bool folderKept;
    };
    const Case cases[] = {
        {"complete folder: no question", true, true, MsgResult::Cancel, true, false, true},
        {"broken, OK burns anyway", false, true, MsgResult::Ok, true, true, true},
        {"broken, Cancel removes the folder step 5 made", false, true, MsgResult::Cancel, false, true, false},
        {"broken, Cancel keeps a folder the user picked", false, false, MsgResult::Cancel, false, true, true},
    };
    for (const auto& c : cases) {
        TempFolder dir;
        const std::string disc = dir.Dir() + "DVD_DISC1";
        dir.Write("DVD_DISC1/VIDEO_TS/VIDEO_TS.VOB", "v");
        dir.Write("DVD_DISC1/VIDEO_TS/VIDEO_TS.IFO", "i");
        if (c.complete)
            dir.Write("DVD_DISC1/VIDEO_TS/VIDEO_TS.BUP", "b");
        ScriptedPrompts prompts;
        prompts.answers.push_back(c.answer);
        FakeMain main;
        FakeDialog dialog;

        EXPECT_EQ(ConfirmAuthoredVideoTs(disc, c.created, prompts, main, &dialog), c.goOn) << c.name;
        ASSERT_EQ(prompts.shown.size(), c.asked ? 1u : 0u) << c.name;
        if (c.asked) {
            EXPECT_EQ(prompts.shown[0].text, Text("IDS_main_MSG_DVDFile"));
            EXPECT_EQ(prompts.shown[0].caption, Text("IDS_main_MSG_Hint"));
            EXPECT_EQ(prompts.shown[0].kind, MsgKind::Information);
            EXPECT_EQ(prompts.shown[0].buttons, MsgButtons::OkCancel);
        }
        EXPECT_EQ(main.locks, c.goOn ? std::vector<bool>{} : std::vector<bool>{false}) << c.name;
        EXPECT_EQ(dialog.closed, c.goOn ? 0 : 1) << c.name;
        EXPECT_EQ(fs::exists(disc), c.folderKept) << c.name;
    }
}

TEST(VideoTsQuestion, WithoutADialogStillUnlocks)
{
    TempFolder dir;
    fs::create_directories(dir.Path() / "DVD_DISC1");
    ScriptedPrompts prompts;
    prompts.answers.push_back(MsgResult::Cancel);
    FakeMain main;
    EXPECT_FALSE(ConfirmAuthoredVideoTs(dir.Dir() + "DVD_DISC1", true, prompts, main, nullptr));
    EXPECT_EQ(main.locks, std::vector<bool>{false});
    EXPECT_FALSE(fs::exists(dir.Path() / "DVD_DISC1"));
}
