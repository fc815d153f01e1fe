// The main window with real video files: the add command and a shell drop
// probe them into the list. With TESSALINE_SCREENSHOT=<file.png> set, the
// window with its three titles is also saved as a picture (docs/).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTreeView>
#include <QUrl>
#include <cstdlib>

#include "app/Globals.h"
#include "project/SizeBudget.h"
#include "support/ScriptedPrompts.h"
#include "ui/Main.h"
#include "ui/UiTestEnv.h"

namespace {

// A small clip of the given length: a test picture at one frame per second
// with a tone, so that long titles are quick to make.
std::string MakeClip(const tl::test::TempFolder& folder, const std::string& name, int seconds)
{
    const std::string path = folder.Dir() + "clips/" + name;
    std::filesystem::create_directories(folder.Path() / "clips");
    const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i testsrc=size=160x120:rate=1 "
                                "-f lavfi -i sine=frequency=440:sample_rate=8000 -t " +
                                std::to_string(seconds) + " -shortest -c:v mpeg4 -c:a mp2 '" + path + "'";
    if (std::system(command.c_str()) != 0)
        ADD_FAILURE() << "ffmpeg failed: " << command;
    return path;
}

class MainWindowMediaTest : public ::testing::Test {
protected:
    tl::test::InstallFolder install;
    tl::test::ScriptedPrompts prompts;
};

TEST_F(MainWindowMediaTest, AddedAndDroppedFilesBecomeProbedRows)
{
    const std::string first = MakeClip(install.Folder(), "holiday.avi", 25 * 60);
    const std::string second = MakeClip(install.Folder(), "birthday.mkv", 40 * 60);
    const std::string third = MakeClip(install.Folder(), "garden.mp4", 12 * 60);

    tl::ui::TfrmMain window(&prompts);
    window.AddChosenFiles({first, second});
    tl::TitleList& list = window.Titles();
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_EQ(list.Caption(0), first);
    EXPECT_EQ(list.Caption(1), second);
    EXPECT_EQ(list.FirstSelected(), 1);  // the last row is selected
    EXPECT_EQ(tl::Options.LastOpenDir, install.Dir() + "clips/");

    // files dragged from the file manager onto the list go to the window
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(install.Dir() + "clips")),
                  QUrl::fromLocalFile(QString::fromStdString(first)),
                  QUrl::fromLocalFile(QString::fromStdString(third))});
    auto* view = window.findChild<QTreeView*>("lsvFiles");
    const auto dragEnterAccepted = [&] {
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &enter);
        return enter.isAccepted();
    };
    window.LockUserInterface(true);
    EXPECT_FALSE(dragEnterAccepted());  // a running production takes no files
    window.LockUserInterface(false);
    EXPECT_TRUE(dragEnterAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    EXPECT_TRUE(drop.isAccepted());
    // the files are probed once the drag has ended
    EXPECT_EQ(list.Count(), 2u);
    QCoreApplication::processEvents();

    // the folder is skipped, the listed file is not added twice
    ASSERT_EQ(list.Count(), 3u);
    EXPECT_EQ(list.Caption(2), third);
    EXPECT_EQ(list.FirstSelected(), 2);
    EXPECT_TRUE(prompts.shown.empty());

    // the view shows the rows with their formats, the size bar their total
    ASSERT_EQ(view->model()->rowCount(), 3);
    EXPECT_EQ(view->model()->data(view->model()->index(0, 1)).toString().toStdString(), list.Item(0).Format);
    EXPECT_FALSE(list.Item(0).Format.empty());
    EXPECT_TRUE(view->selectionModel()->isRowSelected(2, QModelIndex()));
    const tl::SizeBarState expected = tl::ComputeSizeBar(list, tl::Options.Quality);
    EXPECT_GT(expected.width, 100);
    EXPECT_EQ(window.SizeBarWidth(), expected.width);

    if (const char* shot = std::getenv("TESSALINE_SCREENSHOT")) {
        window.show();
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents();
        EXPECT_TRUE(window.grab().save(shot));
    }
}

} // namespace

int main(int argc, char** argv)
{
    return tl::test::RunUiTests(argc, argv);
}
