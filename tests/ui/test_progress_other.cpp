// The progress dialog of steps 2 to 6: step set-ups, the creeping bar, the
// percentage label, the elapsed time and the Cancel question.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <cstdlib>

#include "lang/Catalogue.h"
#include "support/ScriptedPrompts.h"
#include "ui/ProgressOtherDialog.h"
#include "ui/UiTestEnv.h"

namespace {

class ProgressOtherTest : public ::testing::Test {
protected:
    QLabel* Label(const char* name) { return dialog.findChild<QLabel*>(name); }
    QPushButton* Cancel() { return dialog.findChild<QPushButton*>("btnCancel"); }
    void PressEscape()
    {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &press);
    }

    tl::test::InstallFolder install;
    tl::test::ScriptedPrompts prompts;
    tl::ui::TfrmProgressOther dialog{nullptr, &prompts};
};

TEST_F(ProgressOtherTest, EachStepSetsCaptionInfoCancelAndTimer)
{
    struct Case {
        int step;
        const char* caption;
        const char* info;
        bool cancel;
        bool creeping;
    };
    const Case cases[] = {
        {2, "Burn DVD Step 2 - Buliding menu images...", "Buliding menu images, please wait...", false, false},
        {3, "Burn DVD Step 3 - Buliding menu style XML files...", "Buliding menu style XML files..., please wait...",
         false, false},
        {4, "Burn DVD Step 4 - Buliding menu video files...", "Buliding menu video files..., please wait...", false,
         true},
        {5, "Burn DVD Step 5 - Buliding DVD, please wait...", "Burning DVD disc...", false, false},
        {6, "Burn DVD Step 6 - Burning DVD disc...", "Burning DVD disc...", true, false},
    };
    EXPECT_EQ(dialog.windowTitle(), "Burn DVD Step - ...");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        dialog.SetProgress(37);
        dialog.SetupStep(c.step);
        EXPECT_EQ(dialog.windowTitle(), c.caption);
        EXPECT_EQ(Label("lblInfo")->text(), c.info);
        EXPECT_EQ(Cancel()->text(), "Cancel");
        EXPECT_EQ(Cancel()->isEnabled(), c.cancel);
        EXPECT_EQ(dialog.CreepingTimerActive(), c.creeping);
        EXPECT_EQ(dialog.Progress(), 37);  // the set-up leaves the bar alone
    }
}

TEST_F(ProgressOtherTest, CreepingBarStopsAtOneHundred)
{
    dialog.SetupStep(4);
    dialog.SetProgress(0);
    for (int tick = 0; tick < 99; ++tick)
        dialog.TimerTick();
    EXPECT_EQ(dialog.Progress(), 99);
    EXPECT_EQ(Label("lblPercent")->text(), "99%");
    for (int tick = 0; tick < 10; ++tick)
        dialog.TimerTick();
    EXPECT_EQ(dialog.Progress(), 100);
    EXPECT_EQ(Label("lblPercent")->text(), "100%");
    dialog.SetupStep(5);
    EXPECT_FALSE(dialog.CreepingTimerActive());
}

TEST_F(ProgressOtherTest, PercentLabelChangesOnlyWithTheValue)
{
    dialog.SetProgress(5);
    EXPECT_EQ(Label("lblPercent")->text(), "5%");
    Label("lblPercent")->setText("untouched");
    dialog.SetProgress(5);
    EXPECT_EQ(Label("lblPercent")->text(), "untouched");
    dialog.SetProgress(42);
    EXPECT_EQ(Label("lblPercent")->text(), "42%");
}

TEST_F(ProgressOtherTest, ElapsedTimeCountsTicksAndRestartsWhenShown)
{
    EXPECT_TRUE(Label("lblTime")->text().isEmpty());
    for (int tick = 0; tick < 75; ++tick)
        dialog.tmTimeTick();
    EXPECT_EQ(Label("lblTime")->text(), "0:01:15.000 s");
    for (int tick = 75; tick < 3600; ++tick)
        dialog.tmTimeTick();
    EXPECT_EQ(Label("lblTime")->text(), "1:00:00.000 s");

    dialog.StartElapsedTimer();
    EXPECT_TRUE(dialog.ElapsedTimerActive());
    dialog.ShowModeless();
    EXPECT_TRUE(Label("lblTime")->text().isEmpty());
    dialog.tmTimeTick();
    EXPECT_EQ(Label("lblTime")->text(), "0:00:01.000 s");
    dialog.Close();
}

TEST_F(ProgressOtherTest, CancelAskedAndRefusedKeepsBurning)
{
    int cancels = 0;
    dialog.onCancelBurn = [&] { ++cancels; };
    dialog.SetupStep(6);
    prompts.answers.push_back(tl::MsgResult::Cancel);
    Cancel()->click();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Do you really want to stop burning now?");
    EXPECT_EQ(prompts.shown[0].caption, "Question");
    EXPECT_EQ(prompts.shown[0].kind, tl::MsgKind::Information);
    EXPECT_EQ(prompts.shown[0].buttons, tl::MsgButtons::OkCancel);
    EXPECT_TRUE(Cancel()->isEnabled());
    EXPECT_EQ(Label("lblInfo")->text(), "Burning DVD disc...");
    EXPECT_EQ(cancels, 0);
}

TEST_F(ProgressOtherTest, CancelConfirmedStopsTheBurner)
{
    int cancels = 0;
    dialog.onCancelBurn = [&] { ++cancels; };
    dialog.SetupStep(6);
    if (const char* shot = std::getenv("TESSALINE_SCREENSHOT_OTHER")) {
        dialog.ShowModeless();
        dialog.SetProgress(42);
        for (int tick = 0; tick < 75; ++tick)
            dialog.tmTimeTick();
        QCoreApplication::processEvents();
        EXPECT_TRUE(dialog.grab().save(shot));
        dialog.Close();
    }
    prompts.answers.push_back(tl::MsgResult::Ok);
    Cancel()->click();
    EXPECT_FALSE(Cancel()->isEnabled());
    EXPECT_EQ(Label("lblInfo")->text(), "Aborting, please wait...");
    EXPECT_EQ(cancels, 1);
    // a second press is impossible now
    Cancel()->click();
    EXPECT_EQ(prompts.shown.size(), 1u);
}

TEST_F(ProgressOtherTest, EscapeWorksOnlyWhileCancelIsEnabled)
{
    dialog.ShowModeless();
    dialog.SetupStep(5);
    PressEscape();
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_TRUE(dialog.IsShowing());

    dialog.SetupStep(6);
    prompts.answers.push_back(tl::MsgResult::Cancel);
    PressEscape();
    EXPECT_EQ(prompts.shown.size(), 1u);
    EXPECT_TRUE(dialog.IsShowing());
    dialog.Close();
}

TEST_F(ProgressOtherTest, OnlyTheProgramClosesTheDialog)
{
    dialog.ShowModeless();
    dialog.close();  // the window manager's close request
    EXPECT_TRUE(dialog.IsShowing());
    dialog.Close();
    EXPECT_FALSE(dialog.IsShowing());
}

TEST_F(ProgressOtherTest, ModalShowReturnsWhenTheProgramCloses)
{
    dialog.SetupStep(3);
    QMetaObject::invokeMethod(&dialog, [this] { dialog.Close(); }, Qt::QueuedConnection);
    EXPECT_EQ(dialog.ShowModal(), tl::DialogResult::Ok);
    EXPECT_FALSE(dialog.IsShowing());
}

} // namespace

int main(int argc, char** argv)
{
    return tl::test::RunUiTests(argc, argv);
}
