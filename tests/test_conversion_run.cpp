// Step 1 of the production run driven end to end: a fake transcoder (and once
// the real adapter) behind the real runner, a fake dialog and main window that
// record what they were told, and scripted answers to every question.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/Error.h"
#include "app/Globals.h"
#include "lang/Catalogue.h"
#include "platform/ProcessList.h"
#include "project/PipelineViews.h"
#include "project/TitleList.h"
#include "support/ScriptedPrompts.h"
#include "support/TempFolder.h"
#include "support/TestLoop.h"
#include "transcode/ConversionRun.h"
#include "transcode/Redirector.h"

using namespace tl;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class FakeMainView : public MainView {
public:
    std::vector<bool> locks;
    std::vector<std::string> statusTexts;
    std::vector<PipelineMessage> posted;
    std::function<void(PipelineMessage)> onPost;

    void LockUserInterface(bool lock) override { locks.push_back(lock); }
    void SetStatusText(const std::string& text) override { statusTexts.push_back(text); }
    void PostPipelineMessage(PipelineMessage message) override
    {
        posted.push_back(message);
        if (onPost)
            onPost(message);
    }
    int Count(PipelineMessage message) const
    {
        return static_cast<int>(std::count(posted.begin(), posted.end(), message));
    }
};

class FakeDialog : public ConversionView {
public:
    explicit FakeDialog(test::TestLoop& loop) : loop_(loop) {}

    std::map<ConvLabel, std::vector<std::string>> labels;
    std::map<ConvBar, std::vector<int>> bars;
    std::vector<std::string> captions;
    std::vector<DialogResult> closes;
    int shown = 0;
    bool timedOut = false;
    // Runs inside the modal loop between events: the user's actions.
    std::function<void()> whileShown;

    void SetCaption(const std::string& caption) override { captions.push_back(caption); }
    void SetLabel(ConvLabel label, const std::string& text) override { labels[label].push_back(text); }
    void SetBar(ConvBar bar, int percent) override { bars[bar].push_back(percent); }
    DialogResult ShowModal() override
    {
        ++shown;
        showing_ = true;
        closed_ = false;
        const bool ok = loop_.RunUntil([this] {
            if (!closed_ && whileShown)
                whileShown();
            return closed_;
        }, 180s);
        showing_ = false;
        timedOut = !ok;
        return ok ? result_ : DialogResult::None;
    }
    void Close(DialogResult result) override
    {
        closes.push_back(result);
        result_ = result;
        closed_ = true;
        showing_ = false;
    }
    bool IsShowing() const override { return showing_; }

    std::string Last(ConvLabel label) const
    {
        auto it = labels.find(label);
        return it == labels.end() || it->second.empty() ? std::string() : it->second.back();
    }
    bool Saw(ConvLabel label, const std::string& text) const
    {
        auto it = labels.find(label);
        return it != labels.end() && std::find(it->second.begin(), it->second.end(), text) != it->second.end();
    }

private:
    test::TestLoop& loop_;
    bool showing_ = false;
    bool closed_ = false;
    DialogResult result_ = DialogResult::None;
};

// Scripted answers for the questions only (a box with just OK takes none of
// them), and a close question that lets the conversion run on while it is
// open, as a real modal box's message loop would.
class LoopingPrompts : public test::ScriptedPrompts {
public:
    std::function<void()> whileAsking;
    MsgResult Message(const std::string& text, const std::string& caption, MsgKind kind,
                      MsgButtons buttons) override
    {
        if (buttons == MsgButtons::Ok) {
            shown.push_back({text, caption, kind, buttons, {}});
            return MsgResult::Ok;
        }
        return ScriptedPrompts::Message(text, caption, kind, buttons);
    }
    MsgResult ButtonCaptionDialog(const std::string& text, const std::string& caption, MsgKind kind,
                                  const std::vector<std::string>& captions, MsgButtons buttons) override
    {
        if (whileAsking)
            whileAsking();
        return ScriptedPrompts::ButtonCaptionDialog(text, caption, kind, captions, buttons);
    }
};

class ConversionRunTest : public ::testing::Test {
protected:
    // Runs action once, as soon as the transcoder has reported a position.
    void OnceConverting(bool& done, std::function<void()> action)
    {
        dialog_.whileShown = [this, &done, action = std::move(action)] {
            if (!done && Options.FilePositionMs > 0) {
                done = true;
                action();
            }
        };
    }
    // The user presses Cancel in the dialog once the conversion runs.
    void CancelOnceConverting(bool& asked)
    {
        OnceConverting(asked, [this] {
            if (run_.RequestClose())
                dialog_.Close(DialogResult::Cancel);
        });
    }

    void SetUp() override
    {
        saved_ = Options;
        InitPaths(TESSALINE_DIST_DIR "/");
        ResetCatalogue();
        savedExts_ = AviSynthExtList;
        savedProfile_ = ProfileDir;
        Options.TempDir = temp_.Dir() + "work/";
        fs::create_directories(Options.TempDir);
        Options.TranscoderPath = TESSALINE_TEST_BIN_DIR "/fake_transcoder";
        Options.VideoFormat = 0;
        Options.VideoAspect = 0;
        Options.Quality = 6400;
        Options.UseDirectShow = false;
        Options.ProcessPriority = 1;
        AviSynthExtList = {".avs2"};
        ProfileDir = temp_.Dir() + "profile/";  // holds no script template
        main_.onPost = [this](PipelineMessage message) {
            if (message == WM_CONVERT_NEXT_TITLE)
                loop_.Post([this] { run_.StartNextTitle(); });
        };
    }
    void TearDown() override
    {
        InstallDir = TESSALINE_DIST_DIR "/";
        if (runner_->IsActive()) {
            runner_->Terminate(0);
            loop_.RunUntil([this] { return !runner_->IsActive(); }, 10s);
        }
        Options = saved_;
        AviSynthExtList = savedExts_;
        ProfileDir = savedProfile_;
    }

    // A source file of the given size, added as a title row.
    std::string AddTitle(const std::string& name, std::size_t bytes)
    {
        const std::string path = temp_.Write("src/" + name, std::string(bytes, 'x'));
        AddExistingTitle(path);
        return path;
    }
    void AddExistingTitle(const std::string& path)
    {
        auto item = std::make_unique<TFileItem>();
        item->Folder = fs::path(path).parent_path().string() + "/";
        item->FileName = fs::path(path).filename().string();
        item->FileSize = std::to_string(fs::file_size(path));
        titles_.Append(std::move(item));
    }
    std::string Out(const std::string& name) const { return Options.TempDir + name; }
    bool ExistsOut(const std::string& name) const { return fs::exists(Out(name)); }
    std::vector<test::ShownMessage> Shown(MsgKind kind) const
    {
        std::vector<test::ShownMessage> r;
        for (const auto& m : prompts_.shown)
            if (m.kind == kind)
                r.push_back(m);
        return r;
    }
    // The boxes showing an error line of the transcoder.
    std::vector<test::ShownMessage> ErrorBoxes() const { return Shown(MsgKind::Information); }
    // The "still continue?" questions after a failed title.
    std::vector<test::ShownMessage> ContinueQuestions() const { return Shown(MsgKind::Error); }
    // The "cancel encoding?" questions of a close request.
    std::vector<test::ShownMessage> CloseQuestions() const { return Shown(MsgKind::Confirmation); }
    // Waits until the runner's end of the last title has been handled.
    void SettleRunner()
    {
        EXPECT_TRUE(loop_.RunUntil([this] { return !runner_->IsActive(); }, 30s));
    }

    TOptions saved_;
    std::vector<std::string> savedExts_;
    std::string savedProfile_;
    test::TempFolder temp_{"tl-conv"};
    test::TestLoop loop_;
    LoopingPrompts prompts_;
    FakeMainView main_;
    FakeDialog dialog_{loop_};
    TitleList titles_;
    std::unique_ptr<TRedirector> runner_ = std::make_unique<TRedirector>(loop_);
    bool cancelled_ = false;
    std::vector<std::string> pending_;
    ConversionRun run_{loop_, prompts_, main_, dialog_, titles_, *runner_, cancelled_, pending_};
};

// ---- the parser on its own: lines and chunks fed by hand -------------------------

TEST_F(ConversionRunTest, ReportLinesMoveTheTitleAndBatchProgress)
{
    Options.TitleCount = 3;
    Options.DoneCount = 0;
    Options.FailedCount = 0;
    Options.TotalSourceBytes = 1000;
    Options.FinishedSourceBytes = 0;
    Options.CurrentSourceBytes = 400;
    Options.FileDurationMs = 0;
    Options.FilePositionMs = 0;
    Options.BatchStartTime = Now();
    Options.FileStartTime = Now();
    Options.CurrentSource = "/v/clip.avi";

    run_.HandleLine(" Duration: 00:01:30.50, start: 0.000000, bitrate: 1200 kb/s", "");
    EXPECT_EQ(Options.FileDurationMs, 0);
    run_.HandleLine("  Duration: 00:01:30.50, start: 0.000000, bitrate: 1200 kb/s", "");
    EXPECT_EQ(Options.FileDurationMs, 90500);
    EXPECT_TRUE(dialog_.labels[ConvLabel::Status].empty());  // no position yet

    run_.HandleLine("frame= 10 q=2.0 size= 10kB time=10000000000.0 bitrate= 1.0kbits/s", "");
    EXPECT_EQ(Options.FilePositionMs, 0);
    EXPECT_TRUE(dialog_.labels[ConvLabel::Status].empty());
    EXPECT_FALSE(dialog_.Last(ConvLabel::ElapsedTime).empty());

    run_.HandleLine("frame= 10 q=2.0 size= 10kB time=45.25 bitrate= 1.0kbits/s", "");
    EXPECT_EQ(Options.FilePositionMs, 45250);
    EXPECT_EQ(Options.FilePercent, 50);
    EXPECT_EQ(dialog_.Last(ConvLabel::Status), "Status =50%");
    EXPECT_EQ(dialog_.bars[ConvBar::Status].back(), 50);
    EXPECT_EQ(Options.EstimatedDoneBytes, 200);
    EXPECT_EQ(Options.BatchPercent, 20);
    EXPECT_EQ(dialog_.Last(ConvLabel::Batch), "Batch =20%");
    EXPECT_EQ(dialog_.bars[ConvBar::Batch].back(), 20);
    EXPECT_FALSE(dialog_.Last(ConvLabel::EstimatedTime).empty());

    // The script route reports the script; the dialog names the source.
    run_.HandleLine("Input #0, avs, from '/tmp/work/DirectShow.avs':", "");
    EXPECT_EQ(Options.InputName, "/v/clip.avi");
    run_.HandleLine("Input #0, avi, from 'N/A':", "");
    EXPECT_EQ(Options.InputName, "/v/clip.avi");
    run_.HandleLine("Input #0, avi, from '/v/other.avi':", "");
    EXPECT_EQ(Options.InputName, "/v/other.avi");
    EXPECT_EQ(dialog_.Last(ConvLabel::Working), "Working on file 1 of 3: other.avi");
    EXPECT_TRUE(prompts_.shown.empty());
}

TEST_F(ConversionRunTest, ErrorLinesAreJudgedWithThePreviousLineOfTheSameChunk)
{
    Options.FileFailed = false;
    Options.OutputCarry.clear();
    const std::string notes = "  Stream #0.0 -> #0.0\r\n[mpeg2video @ 0x1] note\r\nframe= 1 size= 1kB time=0.04 \r\n";
    run_.HandleOutput(notes.data(), notes.size(), false);
    EXPECT_FALSE(Options.FileFailed);

    // The mapping line ends one chunk; the next chunk's first line has no previous line.
    const std::string a = "  Stream #0.0 -> #0.0\r\n";
    const std::string b = "Press [q] to stop\r\n";
    run_.HandleOutput(a.data(), a.size(), false);
    run_.HandleOutput(b.data(), b.size(), false);
    EXPECT_FALSE(Options.FileFailed);

    // A line split over two chunks is one line, judged once, when it is whole:
    // it is then the first line of its chunk.
    const std::string c = "  Stream #0.0 -> #0.0\nsomething went ";
    const std::string d = "wrong\n";
    run_.HandleOutput(c.data(), c.size(), false);
    run_.HandleOutput(d.data(), d.size(), false);
    EXPECT_FALSE(Options.FileFailed);

    const std::string e = "  Stream #0.0 -> #0.0\rsomething went wrong\r";
    run_.HandleOutput(e.data(), e.size(), false);
    EXPECT_TRUE(Options.FileFailed);
    ASSERT_EQ(prompts_.shown.size(), 1u);
    EXPECT_EQ(prompts_.shown[0].text, "something went wrong");
    EXPECT_EQ(prompts_.shown[0].caption, Text("STR_Error"));
    EXPECT_EQ(prompts_.shown[0].kind, MsgKind::Information);
    EXPECT_EQ(prompts_.shown[0].buttons, MsgButtons::Ok);
}

// ---- whole runs with the fake transcoder ------------------------------------------

TEST_F(ConversionRunTest, FailedTitleAnsweredOkGoesOnAndKeepsTheNumbering)
{
    AddTitle("a.avi", 100);
    const std::string broken = AddTitle("broken.avi", 200);
    const std::string c = AddTitle("c.avi", 300);
    prompts_.answers = {MsgResult::Ok /* go on */};
    std::vector<std::vector<std::string>> pendingAtStart;
    main_.onPost = [&](PipelineMessage message) {
        if (message == WM_CONVERT_NEXT_TITLE)
            loop_.Post([&] {
                pendingAtStart.push_back(pending_);
                run_.StartNextTitle();
            });
    };

    EXPECT_EQ(run_.Start(), DialogResult::Ok);
    ASSERT_FALSE(dialog_.timedOut);
    SettleRunner();

    EXPECT_TRUE(ExistsOut("0.mpg"));
    EXPECT_TRUE(ExistsOut("0.jpg"));
    EXPECT_FALSE(ExistsOut("1.mpg"));
    EXPECT_TRUE(ExistsOut("2.mpg"));  // the third title keeps its number after a failure
    EXPECT_TRUE(ExistsOut("2.jpg"));
    EXPECT_FALSE(ExistsOut("~convert.bat"));
    EXPECT_EQ(Options.TitleCount, 3);
    EXPECT_EQ(Options.DoneCount, 2);
    EXPECT_EQ(Options.FailedCount, 1);
    EXPECT_TRUE(Options.BatchHadError);
    EXPECT_TRUE(run_.Finished());
    EXPECT_TRUE(pending_.empty());
    ASSERT_EQ(pendingAtStart.size(), 2u);
    EXPECT_EQ(pendingAtStart[0], (std::vector<std::string>{broken, c}));
    EXPECT_EQ(pendingAtStart[1], (std::vector<std::string>{c}));

    // Batch bar from the end-of-title handler: 100 of 600 bytes, then 300 of 600.
    EXPECT_TRUE(dialog_.Saw(ConvLabel::Batch, "Batch =16%"));
    EXPECT_TRUE(dialog_.Saw(ConvLabel::Batch, "Batch =50%"));
    EXPECT_NE(dialog_.captions.back(), Text("STR_MAIN_EncodingFinished"));  // not every title was done

    // One box per error line: the conversion and the thumbnail command each report one.
    const auto errors = ErrorBoxes();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].text, broken + ": I/O error occured");
    EXPECT_EQ(errors[0].caption, Text("STR_Error"));
    const auto questions = ContinueQuestions();
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].text, "Conversion error:(" + broken + "), still continue?");
    EXPECT_EQ(questions[0].caption, Text("IDS_main_MSG_Error"));
    EXPECT_EQ(questions[0].buttons, MsgButtons::OkCancel);

    EXPECT_EQ(main_.Count(WM_CONVERT_NEXT_TITLE), 2);
    EXPECT_EQ(main_.Count(WM_BUILD_MENU_IMAGES), 1);
    EXPECT_EQ(dialog_.closes, (std::vector<DialogResult>{DialogResult::Ok}));
    EXPECT_TRUE(main_.locks.empty());  // stays locked for the steps that follow
    EXPECT_EQ(main_.statusTexts, (std::vector<std::string>{Text("STR_PROCESS_BurnDVDStep1")}));
    EXPECT_EQ(dialog_.labels[ConvLabel::Working].front(), Text("STR_PROCESS_PleaseWait"));
    EXPECT_EQ(dialog_.labels[ConvLabel::Status].front(), "Status = 0%");
    EXPECT_TRUE(run_.RequestClose());  // finished: closes without asking
    EXPECT_EQ(CloseQuestions().size(), 0u);
}

TEST_F(ConversionRunTest, AllTitlesDoneShowsTheFinishedBatch)
{
    AddTitle("a.avi", 100);
    AddTitle("b.avi", 100);
    EXPECT_EQ(run_.Start(), DialogResult::Ok);
    SettleRunner();
    EXPECT_EQ(Options.DoneCount, 2);
    EXPECT_EQ(Options.FailedCount, 0);
    EXPECT_FALSE(Options.BatchHadError);
    EXPECT_EQ(dialog_.Last(ConvLabel::Batch), "Batch =100%");
    EXPECT_EQ(dialog_.captions.back(), Text("STR_MAIN_EncodingFinished"));
    EXPECT_EQ(Options.OutputIndex, 1);
    EXPECT_TRUE(ExistsOut("1.mpg"));
    EXPECT_TRUE(prompts_.shown.empty());
}

TEST_F(ConversionRunTest, FailedTitleAnsweredCancelStopsAndUnlocks)
{
    const std::string broken = AddTitle("broken.avi", 100);
    AddTitle("b.avi", 100);
    prompts_.answers = {MsgResult::Cancel /* stop */, MsgResult::Ok /* yes, cancel */};
    bool closeAsked = false;
    dialog_.whileShown = [&] {
        // The user closes the dialog once the run has stopped.
        if (run_.Stopped() && !closeAsked) {
            closeAsked = true;
            EXPECT_TRUE(dialog_.IsShowing());  // the stop leaves the dialog open
            if (run_.RequestClose())
                dialog_.Close(DialogResult::Cancel);
        }
    };

    EXPECT_EQ(run_.Start(), DialogResult::Cancel);
    SettleRunner();
    EXPECT_TRUE(pending_.empty());
    EXPECT_EQ(main_.locks, (std::vector<bool>{false, false}));  // the stop, then the confirmed cancel
    EXPECT_TRUE(cancelled_);
    EXPECT_FALSE(ExistsOut("0.mpg"));
    EXPECT_FALSE(ExistsOut("1.mpg"));  // no further title started
    EXPECT_EQ(Options.FailedCount, 1);
    EXPECT_EQ(Options.DoneCount, 0);
    EXPECT_TRUE(Options.BatchHadError);
    EXPECT_EQ(main_.Count(WM_CONVERT_NEXT_TITLE), 0);
    EXPECT_EQ(main_.Count(WM_BUILD_MENU_IMAGES), 0);
    EXPECT_FALSE(run_.Finished());
}

TEST_F(ConversionRunTest, CloseQuestionAnsweredCancelKeepsConverting)
{
    AddTitle("slow.avi", 100);
    prompts_.answers = {MsgResult::Cancel /* don't cancel */};
    bool asked = false;
    OnceConverting(asked, [this] { EXPECT_FALSE(run_.RequestClose()); });
    EXPECT_EQ(run_.Start(), DialogResult::Ok);
    SettleRunner();
    const auto questions = CloseQuestions();
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].text, "Do you want to cancel encoding now?");
    EXPECT_EQ(questions[0].caption, Text("STR_Question"));
    EXPECT_EQ(questions[0].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(questions[0].captions, (std::vector<std::string>{Text("STR_Yes"), Text("STR_Cancel")}));
    EXPECT_FALSE(cancelled_);
    EXPECT_EQ(Options.DoneCount, 1);
    EXPECT_TRUE(ExistsOut("0.mpg"));
}

TEST_F(ConversionRunTest, ConfirmedCancelStopsEverythingAfterIt)
{
    AddTitle("slow.avi", 100);
    AddTitle("b.avi", 100);
    prompts_.answers = {MsgResult::Ok /* yes, cancel */};
    bool asked = false;
    CancelOnceConverting(asked);
    EXPECT_EQ(run_.Start(), DialogResult::Cancel);
    EXPECT_TRUE(cancelled_);
    EXPECT_EQ(main_.locks, (std::vector<bool>{false}));
    // What the controller does once the dialog has closed.
    ASSERT_TRUE(runner_->IsActive());
    runner_->Terminate(0);
    SettleRunner();
    loop_.ProcessMessages();
    EXPECT_FALSE(ExistsOut("~convert.bat"));
    EXPECT_FALSE(ExistsOut("1.mpg"));
    EXPECT_EQ(main_.Count(WM_CONVERT_NEXT_TITLE), 0);
    EXPECT_EQ(main_.Count(WM_BUILD_MENU_IMAGES), 0);
    EXPECT_EQ(ContinueQuestions().size(), 0u);  // no question after a cancel
    // A late next-title message does nothing either.
    run_.StartNextTitle();
    EXPECT_FALSE(runner_->IsActive());
}

TEST_F(ConversionRunTest, LastTitleEndingWhileTheCloseQuestionIsOpenCloses)
{
    AddTitle("slow.avi", 100);
    prompts_.answers = {MsgResult::Cancel /* "don't cancel", too late */};
    prompts_.whileAsking = [&] { loop_.RunUntil([&] { return run_.Finished(); }, 60s); };
    bool asked = false;
    bool granted = false;
    OnceConverting(asked, [&] { granted = run_.RequestClose(); });
    run_.Start();
    EXPECT_TRUE(asked);
    EXPECT_TRUE(granted);
    EXPECT_FALSE(cancelled_);
    EXPECT_TRUE(main_.locks.empty());
    EXPECT_EQ(main_.Count(WM_BUILD_MENU_IMAGES), 1);  // the run goes on
}

TEST_F(ConversionRunTest, ScriptThatCannotBeWrittenFailsOnlyItsTitle)
{
    AddTitle("a.avi", 100);
    const std::string viaScript = AddTitle("b.avs2", 100);  // AviSynth route, no template installed
    AddTitle("c.avi", 100);
    prompts_.answers = {MsgResult::Ok /* go on */};
    EXPECT_EQ(run_.Start(), DialogResult::Ok);
    SettleRunner();
    ASSERT_EQ(prompts_.errors.size(), 1u);
    EXPECT_NE(prompts_.errors[0].find(ProfileDir + "DirectShow.avs"), std::string::npos) << prompts_.errors[0];
    const auto questions = ContinueQuestions();
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].text, "Conversion error:(" + viaScript + "), still continue?");
    EXPECT_TRUE(ExistsOut("0.mpg"));
    EXPECT_FALSE(ExistsOut("1.mpg"));
    EXPECT_TRUE(ExistsOut("2.mpg"));
    EXPECT_EQ(Options.DoneCount, 2);
    EXPECT_EQ(Options.FailedCount, 1);
}

TEST_F(ConversionRunTest, FirstAndOnlyTitleThatCannotStartNeverShowsAnEmptyDialog)
{
    AddTitle("a.avs2", 100);
    prompts_.answers = {MsgResult::Ok};
    EXPECT_EQ(run_.Start(), DialogResult::Ok);
    EXPECT_EQ(dialog_.shown, 0);
    EXPECT_EQ(prompts_.errors.size(), 1u);
    EXPECT_EQ(Options.FailedCount, 1);
    EXPECT_TRUE(run_.Finished());
    EXPECT_EQ(main_.Count(WM_BUILD_MENU_IMAGES), 1);
}

TEST_F(ConversionRunTest, FirstTitleThatCannotStartAndAStopNeverShowAnEmptyDialog)
{
    AddTitle("a.avs2", 100);
    AddTitle("b.avi", 100);
    prompts_.answers = {MsgResult::Cancel /* stop */};
    EXPECT_EQ(run_.Start(), DialogResult::Cancel);
    EXPECT_EQ(dialog_.shown, 0);
    EXPECT_TRUE(run_.Stopped());
    EXPECT_EQ(main_.locks, (std::vector<bool>{false}));
    EXPECT_FALSE(runner_->IsActive());
    loop_.ProcessMessages();
    EXPECT_FALSE(ExistsOut("~convert.bat"));
}

TEST_F(ConversionRunTest, RunnerThatCannotStartIsReportedNotHung)
{
    InstallDir = temp_.Dir() + "no-install/";  // the batch interpreter is not found
    AddTitle("a.avi", 100);
    AddTitle("b.avi", 100);
    prompts_.answers = {MsgResult::Ok, MsgResult::Ok};
    EXPECT_EQ(run_.Start(), DialogResult::Ok);
    ASSERT_FALSE(dialog_.timedOut);
    SettleRunner();
    EXPECT_EQ(Options.FailedCount, 2);
    EXPECT_EQ(Options.DoneCount, 0);
    EXPECT_EQ(prompts_.errors.size(), 2u);
    EXPECT_EQ(ContinueQuestions().size(), 2u);
    EXPECT_TRUE(run_.Finished());
}

TEST_F(ConversionRunTest, UnfinishedLastLineIsHandledBeforeTheTitleEnds)
{
    const std::string source = AddTitle("nolf.avi", 100);
    prompts_.answers = {MsgResult::Ok};
    EXPECT_EQ(run_.Start(), DialogResult::Ok);
    SettleRunner();
    EXPECT_TRUE(Options.OutputCarry.empty());
    const auto errors = ErrorBoxes();
    ASSERT_GE(errors.size(), 1u);
    EXPECT_EQ(errors[0].text, "Error writing trailer of " + Options.TempDir + "0.jpg");
    EXPECT_EQ(Options.FailedCount, 1);
    EXPECT_EQ(ContinueQuestions().at(0).text, "Conversion error:(" + source + "), still continue?");
}

TEST_F(ConversionRunTest, CarryLeftAtTheEndIsTheTitlesLastLine)
{
    // The end was reported while the last words still waited for a line break.
    pending_ = {"/v/a.avi"};
    Options.TitleCount = 1;
    Options.DoneCount = 0;
    Options.FailedCount = 0;
    Options.FileFailed = false;
    Options.OutputCarry = "Error writing trailer";
    prompts_.answers = {MsgResult::Ok};
    run_.TitleEnded();
    EXPECT_TRUE(Options.OutputCarry.empty());
    ASSERT_EQ(ErrorBoxes().size(), 1u);
    EXPECT_EQ(ErrorBoxes()[0].text, "Error writing trailer");
    EXPECT_EQ(Options.FailedCount, 1);
    EXPECT_EQ(ContinueQuestions().size(), 1u);
    EXPECT_TRUE(run_.Finished());
}

TEST_F(ConversionRunTest, SecondRunAsksAgainBeforeCancelling)
{
    AddTitle("a.avi", 100);
    EXPECT_EQ(run_.Start(), DialogResult::Ok);
    SettleRunner();
    EXPECT_TRUE(run_.RequestClose());  // finished: no question
    EXPECT_TRUE(CloseQuestions().empty());

    titles_.Clear();
    AddTitle("slow.avi", 100);
    prompts_.answers = {MsgResult::Cancel /* don't cancel */};
    bool asked = false;
    dialog_.whileShown = [&] {
        if (!asked && !run_.Finished()) {
            asked = true;
            EXPECT_FALSE(run_.RequestClose());
        }
    };
    EXPECT_EQ(run_.Start(), DialogResult::Ok);
    SettleRunner();
    EXPECT_EQ(CloseQuestions().size(), 1u);
    EXPECT_EQ(Options.DoneCount, 1);
}

TEST_F(ConversionRunTest, ReaderFailureStopsTheRunWithTheErrorShown)
{
    AddTitle("slow.avi", 100);
    AddTitle("b.avi", 100);
    bool failed = false;
    dialog_.whileShown = [&] {
        if (!failed && Options.FilePositionMs > 0) {
            failed = true;
            run_.ReaderFailed("Error reading STDOUT pipe : 5");
            runner_->Terminate(0);
        }
        if (run_.Stopped() && !runner_->IsActive())
            dialog_.Close(DialogResult::Cancel);
    };
    run_.Start();
    EXPECT_EQ(prompts_.errors, (std::vector<std::string>{"Error reading STDOUT pipe : 5"}));
    EXPECT_TRUE(run_.Stopped());
    EXPECT_EQ(main_.locks, (std::vector<bool>{false}));
    EXPECT_TRUE(pending_.empty());
    EXPECT_EQ(Options.FailedCount, 1);
    EXPECT_FALSE(ExistsOut("1.mpg"));
}

// ---- the real transcoder adapter ----------------------------------------------------

bool HaveTool(const char* name)
{
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Capture(const std::string& command)
{
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        std::array<char, 512> buffer{};
        while (std::fgets(buffer.data(), static_cast<int>(buffer.size()), pipe))
            out += buffer.data();
        ::pclose(pipe);
    }
    return out;
}

bool MakeClip(const std::string& path, int seconds)
{
    fs::create_directories(fs::path(path).parent_path());
    const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i testsrc=size=320x240:rate=25 "
                                "-f lavfi -i sine=frequency=440:sample_rate=44100 -t " + std::to_string(seconds) +
                                " -c:v mpeg4 -c:a mp2 '" + path + "'";
    return std::system(command.c_str()) == 0;
}

// Processes whose command line mentions `marker`.
std::vector<std::string> ProcessesMentioning(const std::string& marker)
{
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream in(entry.path() / "cmdline", std::ios::binary);
        std::string cmdline((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::replace(cmdline.begin(), cmdline.end(), '\0', ' ');
        if (cmdline.find(marker) != std::string::npos && pid != std::to_string(::getpid()))
            found.push_back(pid + ": " + cmdline);
    }
    return found;
}

class RealTranscoder : public ConversionRunTest {
protected:
    void SetUp() override
    {
        ConversionRunTest::SetUp();
        Options.TranscoderPath = TESSALINE_DIST_DIR "/transcoder.dll";
        if (!fs::exists(Options.TranscoderPath) || !HaveTool("ffmpeg") || !HaveTool("ffprobe"))
            GTEST_SKIP() << "needs the transcoder adapter, ffmpeg and ffprobe";
    }
};

TEST_F(RealTranscoder, ConvertsClipsToDvdAndReportsTheBrokenOne)
{
    const std::string a = temp_.Dir() + "src/clip a.avi";
    const std::string broken = temp_.Write("src/broken.avi", std::string(4096, 'z'));
    const std::string c = temp_.Dir() + "src/clip c.avi";
    ASSERT_TRUE(MakeClip(a, 2));
    ASSERT_TRUE(MakeClip(c, 2));
    AddExistingTitle(a);
    AddExistingTitle(broken);
    AddExistingTitle(c);
    // Every error box and the continue question are answered OK.

    EXPECT_EQ(run_.Start(), DialogResult::Ok);
    ASSERT_FALSE(dialog_.timedOut);
    SettleRunner();

    EXPECT_EQ(Options.DoneCount, 2);
    EXPECT_EQ(Options.FailedCount, 1);
    const auto questions = ContinueQuestions();
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].text, "Conversion error:(" + broken + "), still continue?");
    EXPECT_FALSE(ErrorBoxes().empty());
    for (const char* name : {"0.jpg", "2.jpg"})
        EXPECT_TRUE(ExistsOut(name)) << name;
    EXPECT_FALSE(ExistsOut("1.mpg"));
    for (const char* name : {"0.mpg", "2.mpg"}) {
        ASSERT_TRUE(ExistsOut(name)) << name;
        const std::string video = Capture("ffprobe -v error -select_streams v:0 -show_entries "
                                          "stream=codec_name,width,height,r_frame_rate -of csv=p=0 '" + Out(name) + "'");
        EXPECT_EQ(video.rfind("mpeg2video,720,576,25/1", 0), 0u) << name << ": " << video;
        const std::string audio = Capture("ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate "
                                          "-of csv=p=0 '" + Out(name) + "'");
        EXPECT_EQ(audio.rfind("48000", 0), 0u) << name << ": " << audio;
    }
    EXPECT_EQ(dialog_.bars[ConvBar::Status].empty(), false);
}

TEST_F(RealTranscoder, CancelInTheMiddleLeavesNoToolRunning)
{
    // A private copy of the adapter: ending it by its full path then cannot
    // touch the adapters that other tests run at the same time.
    const std::string tool = temp_.Dir() + "tool/transcoder.dll";
    fs::create_directories(temp_.Path() / "tool");
    fs::copy_file(Options.TranscoderPath, tool);
    Options.TranscoderPath = tool;
    const std::string clip = temp_.Dir() + "src/long.avi";
    ASSERT_TRUE(MakeClip(clip, 60));
    AddExistingTitle(clip);
    prompts_.answers = {MsgResult::Ok /* yes, cancel */};
    bool asked = false;
    CancelOnceConverting(asked);
    EXPECT_EQ(run_.Start(), DialogResult::Cancel);
    ASSERT_TRUE(asked);
    EXPECT_TRUE(cancelled_);
    EXPECT_FALSE(ProcessesMentioning(temp_.Dir()).empty());  // the conversion was running

    // The controller's part after the dialog closed.
    if (runner_->IsActive())
        runner_->Terminate(0);
    EndToolProcesses(tool);
    SettleRunner();
    const bool gone = loop_.RunUntil([&] { return ProcessesMentioning(temp_.Dir()).empty(); }, 10s);
    EXPECT_TRUE(gone) << ::testing::PrintToString(ProcessesMentioning(temp_.Dir()));
    EXPECT_FALSE(ExistsOut("~convert.bat"));
}

} // namespace
