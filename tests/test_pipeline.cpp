// The production run from Burn to the authored VIDEO_TS folder, with the real
// adapters and tools, and the preconditions that keep a run from starting.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/Globals.h"
#include "authoring/DvdBuild.h"
#include "lang/Catalogue.h"
#include "lang/LanguageFile.h"
#include "project/MediaProbe.h"
#include "project/Pipeline.h"
#include "project/TitleList.h"
#include "support/ScriptedPrompts.h"
#include "support/TempFolder.h"
#include "support/TestLoop.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace tl {
namespace {

struct FakeMain : MainView {
    test::TestLoop& loop;
    ProductionController* controller = nullptr;
    std::vector<bool> locks;
    std::vector<std::string> status;
    std::vector<PipelineMessage> handled;
    explicit FakeMain(test::TestLoop& l) : loop(l) {}
    void LockUserInterface(bool lock) override { locks.push_back(lock); }
    void SetStatusText(const std::string& text) override { status.push_back(text); }
    void PostPipelineMessage(PipelineMessage m) override
    {
        loop.Post([this, m] {
            if (m != WM_CONVERT_NEXT_TITLE)
                handled.push_back(m);
            controller->HandleMessage(m);
        });
    }
};

struct FakeConversionDialog : ConversionView {
    test::TestLoop& loop;
    bool showing = false;
    DialogResult result = DialogResult::None;
    explicit FakeConversionDialog(test::TestLoop& l) : loop(l) {}
    void SetCaption(const std::string&) override {}
    void SetLabel(ConvLabel, const std::string&) override {}
    void SetBar(ConvBar, int) override {}
    DialogResult ShowModal() override
    {
        showing = true;
        result = DialogResult::None;
        loop.RunUntil([this] { return !showing; }, 10min);
        return result;
    }
    void Close(DialogResult r) override
    {
        showing = false;
        result = r;
    }
    bool IsShowing() const override { return showing; }
};

struct FakeAuthoringDialog : AuthoringView {
    test::TestLoop& loop;
    bool showing = false;
    int shownCount = 0;
    int progress = 0;
    std::vector<int> steps;
    explicit FakeAuthoringDialog(test::TestLoop& l) : loop(l) {}
    void SetupStep(int step) override { steps.push_back(step); }
    void SetCaption(const std::string&) override {}
    void SetInfo(const std::string&) override {}
    void SetProgress(int percent) override { progress = percent; }
    int Progress() const override { return progress; }
    void StartElapsedTimer() override {}
    DialogResult ShowModal() override
    {
        showing = true;
        ++shownCount;
        loop.RunUntil([this] { return !showing; }, 10min);
        return DialogResult::Ok;
    }
    void ShowModeless() override { showing = true; }
    void Close() override { showing = false; }
    bool IsShowing() const override { return showing; }
};

void MakeClip(const fs::path& file, double seconds)
{
    std::string cmd = "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i testsrc=size=320x240:rate=25 "
                      "-f lavfi -i sine=frequency=440:sample_rate=48000 -t " +
                      std::to_string(seconds) + " -pix_fmt yuv420p '" + file.string() + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

class PipelineTest : public ::testing::Test {
protected:
    test::TempFolder install{"tl-pipe-install"};
    test::TempFolder work{"tl-pipe-work"};
    test::TempFolder sources{"tl-pipe-src"};
    test::TestLoop loop;
    test::ScriptedPrompts prompts;
    TitleList titles;
    FakeMain main{loop};
    FakeConversionDialog conversion{loop};
    FakeAuthoringDialog authoring{loop};
    std::unique_ptr<ProductionController> controller;

    void SetUp() override
    {
        ResetCatalogue();
        setenv("XDG_DATA_HOME", (work.Path() / "xdg").c_str(), 1);
        // The real installation folder holds the tools; paths come from there.
        InitPaths(std::string(TESSALINE_DIST_DIR) + "/");
        LoadOptions();
        OpenFilterList = {"Video=*.avi;*.mpg;*.mp4;*.mkv"};
        Options.TempDir = work.Dir() + "temp dir & \"more\" é/";
        NoMenuDvd = true;
        controller = std::make_unique<ProductionController>(loop, prompts, main, conversion, authoring, titles);
        main.controller = controller.get();
    }

    void Add(const std::string& path) { AddSourceFile(titles, path, prompts, loop); }

    // Burn, then let the posted steps run until the run has ended.
    void RunBurn()
    {
        controller->Burn();
        ASSERT_TRUE(loop.RunUntil([this] { return authoring.shownCount > 0 && !authoring.showing &&
                                                  !main.locks.empty() && !main.locks.back(); },
                                  10min));
    }
};

struct PreconditionCase {
    const char* name;
    bool transcoderMissing;
    bool withTitle;
    const char* tempDir;  // "<file>/sub" puts the folder below a regular file
    const char* expectedKey;
};

class PreconditionTest : public PipelineTest, public ::testing::WithParamInterface<PreconditionCase> {};

TEST_P(PreconditionTest, FailedCheckShowsOneMessageAndUnlocks)
{
    const auto& c = GetParam();
    if (c.withTitle) {
        MakeClip(sources.Path() / "a.mp4", 1);
        Add((sources.Path() / "a.mp4").string());
        ASSERT_EQ(titles.Count(), 1u);
    }
    if (c.transcoderMissing)
        Options.TranscoderPath = install.Dir() + "transcoder.dll";
    std::string temp = c.tempDir;
    if (temp == "<file>/sub")
        temp = sources.Write("plain-file", "x") + "/sub/";
    Options.TempDir = temp;

    controller->Burn();

    ASSERT_EQ(prompts.shown.size(), 1u);
    std::string expected = Text(c.expectedKey);
    if (std::string(c.expectedKey) == "STR_MAIN_NoEncoder")
        expected = "The file \"" + Options.TranscoderPath + "\" couldn't be found.";
    EXPECT_EQ(prompts.shown[0].text, expected);
    EXPECT_EQ(prompts.shown[0].caption, "Hint");
    ASSERT_FALSE(main.locks.empty());
    EXPECT_TRUE(main.locks.front());
    EXPECT_FALSE(main.locks.back());
    EXPECT_FALSE(conversion.showing);
}

INSTANTIATE_TEST_SUITE_P(
    Burn, PreconditionTest,
    ::testing::Values(PreconditionCase{"TranscoderFirst", true, false, "/tmp/", "STR_MAIN_NoEncoder"},
                      PreconditionCase{"NoTitles", false, false, "/tmp/", "STR_MAIN_NoFilesToEncode"},
                      PreconditionCase{"BlankTempDir", false, true, "   ", "STR_MAIN_DirEmpty"},
                      PreconditionCase{"TempDirCannotBeMade", false, true, "<file>/sub", "STR_MAIN_FailToCreate"}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST_F(PipelineTest, TwoTitlesWithoutMenusBecomeAnAuthoredDisc)
{
    MakeClip(sources.Path() / "first clip.mp4", 2);
    MakeClip(sources.Path() / "second.mkv", 3);
    Add((sources.Path() / "first clip.mp4").string());
    Add((sources.Path() / "second.mkv").string());
    ASSERT_EQ(titles.Count(), 2u);

    RunBurn();

    EXPECT_TRUE(prompts.shown.empty()) << prompts.shown.front().text;
    EXPECT_TRUE(prompts.errors.empty()) << prompts.errors.front();
    EXPECT_EQ(main.handled,
              (std::vector<PipelineMessage>{WM_BUILD_MENU_IMAGES, WM_BUILD_XML, WM_BUILD_DVD, WM_BURN_DISC}));
    const fs::path disc = fs::path(Options.TempDir) / "DVD_DISC1";
    EXPECT_TRUE(CheckVideoTs((disc / "VIDEO_TS").string()));
    EXPECT_TRUE(fs::exists(disc / "VIDEO_TS" / "VTS_01_1.VOB"));
    // intermediate files are gone, no menu files were ever written
    for (const char* name : {"0.mpg", "1.mpg", "dvd.xml", "~convert.bat", "menu.bat", "0.xml"})
        EXPECT_FALSE(fs::exists(fs::path(Options.TempDir) / name)) << name;
    EXPECT_EQ(authoring.steps, (std::vector<int>{3, 5, 6}));
    EXPECT_EQ(main.status.back(), (disc / "VIDEO_TS").string());

    // A second run while the program keeps running takes the next folder.
    main.handled.clear();
    RunBurn();
    EXPECT_TRUE(CheckVideoTs((fs::path(Options.TempDir) / "DVD_DISC2" / "VIDEO_TS").string()));
}

TEST_F(PipelineTest, KeptFailedTitleIsReportedAsAbnormalDisc)
{
    MakeClip(sources.Path() / "good.mp4", 2);
    Add((sources.Path() / "good.mp4").string());
    // A file the probe accepts and the transcoder then fails on: a copy of
    // the good clip that vanishes before its turn.
    fs::copy_file(sources.Path() / "good.mp4", sources.Path() / "vanishing.mp4");
    Add((sources.Path() / "vanishing.mp4").string());
    ASSERT_EQ(titles.Count(), 2u);
    fs::remove(sources.Path() / "vanishing.mp4");

    // Every box is answered Ok: the error lines, "go on", and "burn what is there".
    RunBurn();

    bool askedToGoOn = false;
    bool askedAbnormal = false;
    for (const auto& m : prompts.shown) {
        if (m.text.find("still continue?") != std::string::npos && m.text.find("vanishing.mp4") != std::string::npos)
            askedToGoOn = true;
        if (m.text == "The converting DVD file is abnormal, still continue?")
            askedAbnormal = true;
    }
    EXPECT_TRUE(askedToGoOn);
    EXPECT_TRUE(askedAbnormal);
    EXPECT_FALSE(main.locks.back());
}

TEST_F(PipelineTest, AuthorToolThatCannotStartShowsItsErrorAndFreesTheWindow)
{
    MakeClip(sources.Path() / "a.mp4", 1);
    Add((sources.Path() / "a.mp4").string());
    Options.DvdAuthorPath = install.Dir() + "missing-author-tool";

    RunBurn();

    ASSERT_EQ(prompts.errors.size(), 1u);
    EXPECT_NE(prompts.errors[0].find("Error creating process : "), std::string::npos) << prompts.errors[0];
    EXPECT_FALSE(authoring.showing);
    EXPECT_FALSE(main.locks.back());
}

} // namespace
} // namespace tl
