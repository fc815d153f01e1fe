// The Qt side of the core's platform interfaces: the user-interface thread,
// the message boxes and the application's last-resort error box.
#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <thread>

#include "app/Error.h"
#include "support/ScriptedPrompts.h"
#include "ui/Application.h"
#include "ui/QtPrompts.h"
#include "ui/QtUiThread.h"

namespace {

// Runs the event loop until done() holds.
template <typename Done>
void SpinUntil(Done done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

TEST(QtUiThread, InvokeAndWaitRunsOnTheGuiThreadAndPassesErrorsBack)
{
    tl::ui::QtUiThread ui;
    const std::thread::id gui = std::this_thread::get_id();
    std::thread::id ranOn;
    std::string caught;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        ui.InvokeAndWait([&] { ranOn = std::this_thread::get_id(); });
        try {
            ui.InvokeAndWait([] { throw tl::Error("Error creating process : 2"); });
        } catch (const tl::Error& error) {
            caught = error.what();
        }
        finished = true;
    });
    SpinUntil([&] { return finished.load(); });
    worker.join();
    EXPECT_EQ(ranOn, gui);
    EXPECT_EQ(caught, "Error creating process : 2");
}

TEST(QtUiThread, InvokeAndWaitOnTheGuiThreadRunsAtOnce)
{
    tl::ui::QtUiThread ui;
    bool ran = false;
    ui.InvokeAndWait([&] { ran = true; });  // would wait for itself if queued
    EXPECT_TRUE(ran);
}

TEST(QtUiThread, PostedWorkRunsLaterInOrder)
{
    tl::ui::QtUiThread ui;
    std::vector<int> order;
    ui.Post([&] { order.push_back(1); });
    std::thread([&] { ui.Post([&] { order.push_back(2); }); }).join();
    EXPECT_TRUE(order.empty());
    ui.ProcessMessages();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST(QtPrompts, ButtonCaptionDialogGivesEveryButtonOneWidth)
{
    tl::ui::QtPrompts prompts;
    std::vector<QString> texts;
    std::vector<int> widths;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), "Do you want to cancel encoding now?");
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        for (QAbstractButton* button : {box->button(QMessageBox::Ok), box->button(QMessageBox::Cancel)}) {
            texts.push_back(button->text());
            widths.push_back(button->width());
        }
        box->button(QMessageBox::Ok)->click();
    });
    const tl::MsgResult result = prompts.ButtonCaptionDialog("Do you want to cancel encoding now?", "Question",
                                                             tl::MsgKind::Confirmation, {"Yes", "Cancel"},
                                                             tl::MsgButtons::OkCancel);
    EXPECT_EQ(result, tl::MsgResult::Ok);
    EXPECT_EQ(texts, (std::vector<QString>{"Yes", "Cancel"}));
    ASSERT_EQ(widths.size(), 2u);
    EXPECT_EQ(widths[0], widths[1]);
    EXPECT_EQ(widths[0], 88);  // short captions: the smallest width
}

TEST(QtPrompts, MessageBoxAnsweredCancel)
{
    tl::ui::QtPrompts prompts;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "Error");
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        box->button(QMessageBox::Cancel)->click();
    });
    EXPECT_EQ(prompts.Message("Conversion error:(a.avi), still continue?", "Error", tl::MsgKind::Error,
                              tl::MsgButtons::OkCancel),
              tl::MsgResult::Cancel);
}

TEST(Application, ErrorsEscapingAHandlerAreShown)
{
    auto* app = qobject_cast<tl::ui::Application*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    tl::test::ScriptedPrompts prompts;
    app->SetPrompts(&prompts);
    bool after = false;
    QTimer::singleShot(0, [] { throw tl::Error("Unable to write to /opt/x/options.ini"); });
    QTimer::singleShot(0, [&] { after = true; });
    SpinUntil([&] { return after; });
    app->SetPrompts(nullptr);
    EXPECT_EQ(prompts.errors, (std::vector<std::string>{"Unable to write to /opt/x/options.ini"}));
}

} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    tl::ui::Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
