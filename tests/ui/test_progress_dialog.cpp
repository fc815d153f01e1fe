// The conversion dialog: its texts, and who decides when it closes.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>

#include "ui/ProgressDialog.h"
#include "ui/UiTestEnv.h"

namespace {

class ProgressDialogTest : public ::testing::Test {
protected:
    QString Text(const char* name) { return dialog.findChild<QLabel*>(name)->text(); }

    tl::test::InstallFolder install;
    tl::ui::TfrmProgress dialog;
};

TEST_F(ProgressDialogTest, StartsWithTheCatalogueTexts)
{
    EXPECT_EQ(dialog.windowTitle(), "Burn DVD Step 1 - Converting files ...");
    EXPECT_EQ(Text("lblSingleRemainingTime"), "Remaining time:");
    EXPECT_EQ(Text("lblRemainingTime"), "Remaining time:");
    EXPECT_EQ(Text("lblElapsedTime"), "Elapsed time:");
    EXPECT_EQ(Text("lblEstimatedTime"), "Estimated time:");
    EXPECT_EQ(dialog.findChild<QPushButton*>("btnCancel")->text(), "Cancel");
    EXPECT_EQ(dialog.size(), QSize(534, 257));
}

TEST_F(ProgressDialogTest, LabelsAndBarsReachTheirControls)
{
    const std::pair<tl::ConvLabel, const char*> labels[] = {
        {tl::ConvLabel::SingleRemainingTime, "lblSingleRemainingTimeText"},
        {tl::ConvLabel::Status, "lblStatus"},
        {tl::ConvLabel::Batch, "lblBatch"},
        {tl::ConvLabel::RemainingTime, "lblRemainingTimeText"},
        {tl::ConvLabel::ElapsedTime, "lblElapsedTimeText"},
        {tl::ConvLabel::EstimatedTime, "lblEstimatedTimeText"},
        {tl::ConvLabel::Working, "lblWorking"},
    };
    for (const auto& [label, name] : labels) {
        dialog.SetLabel(label, std::string("text of ") + name);
        EXPECT_EQ(Text(name), QString("text of ") + name);
    }
    dialog.SetBar(tl::ConvBar::Status, 50);
    dialog.SetBar(tl::ConvBar::Batch, 20);
    EXPECT_EQ(dialog.BarValue(tl::ConvBar::Status), 50);
    EXPECT_EQ(dialog.BarValue(tl::ConvBar::Batch), 20);
    // "&" is shown as it is, not as an accelerator
    dialog.SetLabel(tl::ConvLabel::Working, "Working on file 1 of 2: Tom & Jerry.avi");
    EXPECT_EQ(dialog.findChild<QLabel*>("lblWorking")->textFormat(), Qt::PlainText);
    if (const char* shot = std::getenv("TESSALINE_SCREENSHOT_PROGRESS")) {
        dialog.SetLabel(tl::ConvLabel::Status, "Status =50%");
        dialog.SetLabel(tl::ConvLabel::Batch, "Batch =20%");
        dialog.SetLabel(tl::ConvLabel::SingleRemainingTime, "0:00:45");
        dialog.SetLabel(tl::ConvLabel::RemainingTime, "0:04:10");
        dialog.SetLabel(tl::ConvLabel::ElapsedTime, "0:01:02");
        dialog.SetLabel(tl::ConvLabel::EstimatedTime, "0:05:12");
        dialog.show();
        QCoreApplication::processEvents();
        EXPECT_TRUE(dialog.grab().save(shot));
        dialog.hide();
    }
}

TEST_F(ProgressDialogTest, RefusedCloseRequestKeepsTheDialogOpen)
{
    int asked = 0;
    dialog.onCloseRequest = [&] {
        ++asked;
        return asked >= 3;  // the third request is granted
    };
    QTimer::singleShot(0, &dialog, [this] {
        dialog.findChild<QPushButton*>("btnCancel")->click();
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &escape);
        EXPECT_TRUE(dialog.IsShowing());
        dialog.close();  // the close box
    });
    EXPECT_EQ(dialog.ShowModal(), tl::DialogResult::Cancel);
    EXPECT_EQ(asked, 3);
    EXPECT_FALSE(dialog.IsShowing());
}

TEST_F(ProgressDialogTest, ProgramCloseNeedsNoPermission)
{
    bool asked = false;
    dialog.onCloseRequest = [&] {
        asked = true;
        return false;
    };
    QTimer::singleShot(0, &dialog, [this] { dialog.Close(tl::DialogResult::Ok); });
    EXPECT_EQ(dialog.ShowModal(), tl::DialogResult::Ok);
    EXPECT_FALSE(asked);
}

} // namespace

int main(int argc, char** argv)
{
    return tl::test::RunUiTests(argc, argv);
}
