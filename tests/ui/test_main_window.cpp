// The main window: enable rules, locking, the no-menu check box, the
// language switch, the disc label, the size bar, menus and step messages.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeView>
#include <thread>

#include "app/Globals.h"
#include "app/Utils.h"
#include "lang/Catalogue.h"
#include "platform/IniFile.h"
#include "support/ScriptedPrompts.h"
#include "ui/Main.h"
#include "ui/TitleListView.h"
#include "ui/UiTestEnv.h"

using tl::test::AppendTitle;

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { window = std::make_unique<tl::ui::TfrmMain>(&prompts); }

    QAction* Act(const char* name) const
    {
        QAction* action = window->findChild<QAction*>(name);
        EXPECT_NE(action, nullptr) << name;
        return action;
    }
    template <typename T>
    T* Child(const char* name) const
    {
        T* child = window->findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    void AddRows(int count)
    {
        for (int i = 0; i < count; ++i)
            AppendTitle(window->Titles(), "clip" + std::to_string(i) + ".avi", "00:01:00.000");
    }
    void Select(std::initializer_list<int> rows)
    {
        tl::TitleList& list = window->Titles();
        list.ClearSelection();
        for (int row : rows)
            list.SetSelected(static_cast<std::size_t>(row), true);
        window->aclMainUpdate();
    }

    tl::test::InstallFolder install;
    tl::test::ScriptedPrompts prompts;
    std::unique_ptr<tl::ui::TfrmMain> window;
};

// Caption of a menu entry without the shortcut shown after the tab.
QString EntryCaption(const QAction* entry)
{
    return entry->text().section('\t', 0, 0);
}

struct EnableCase {
    const char* name;
    int rows;
    std::vector<int> selected;
    bool remove, clear, up, down;
};

TEST_F(MainWindowTest, ListCommandsFollowRowsAndSelection)
{
    const EnableCase cases[] = {
        {"empty list", 0, {}, false, false, false, false},
        {"rows, nothing selected", 3, {}, false, true, false, false},
        {"top row selected", 3, {0}, true, true, false, true},
        {"last row selected", 3, {2}, true, true, true, false},
        {"middle row selected", 3, {1}, true, true, true, true},
        {"only row selected", 1, {0}, true, true, false, false},
        {"first selected row decides", 3, {1, 2}, true, true, true, true},
    };
    for (const EnableCase& c : cases) {
        SCOPED_TRACE(c.name);
        window->Titles().Clear();
        AddRows(c.rows);
        window->Titles().ClearSelection();
        for (int row : c.selected)
            window->Titles().SetSelected(static_cast<std::size_t>(row), true);
        window->aclMainUpdate();
        EXPECT_TRUE(Act("actAdd")->isEnabled());
        EXPECT_EQ(Act("actRemove")->isEnabled(), c.remove);
        EXPECT_EQ(Act("actClear")->isEnabled(), c.clear);
        EXPECT_EQ(Act("actUp")->isEnabled(), c.up);
        EXPECT_EQ(Act("actDown")->isEnabled(), c.down);
        // buttons and menu entries follow their commands
        EXPECT_EQ(Child<QPushButton>("btnRemove")->isEnabled(), c.remove);
        EXPECT_EQ(Child<QPushButton>("btnUp")->isEnabled(), c.up);
        EXPECT_EQ(Child<QPushButton>("btnDown")->isEnabled(), c.down);
        EXPECT_EQ(Act("mniMain_File_Down")->isEnabled(), c.down);
        EXPECT_EQ(Act("mniListView_Clear")->isEnabled(), c.clear);
    }
}

TEST_F(MainWindowTest, SelectionTravelsBetweenViewAndList)
{
    AddRows(3);
    auto* view = Child<QTreeView>("lsvFiles");
    // the user selects the last row in the view
    view->selectionModel()->setCurrentIndex(view->model()->index(2, 0),
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(window->Titles().FirstSelected(), 2);
    EXPECT_EQ(window->Titles().Focused(), 2);
    EXPECT_FALSE(Act("actDown")->isEnabled());
    EXPECT_TRUE(Act("actUp")->isEnabled());

    // a list operation selects a row: the view shows it
    Act("actUp")->trigger();
    EXPECT_EQ(window->Titles().Caption(1), "/videos/clip2.avi");
    EXPECT_TRUE(view->selectionModel()->isRowSelected(1, QModelIndex()));
    EXPECT_FALSE(view->selectionModel()->isRowSelected(2, QModelIndex()));
    EXPECT_EQ(view->model()->data(view->model()->index(1, 0)).toString(), "/videos/clip2.avi");
    EXPECT_EQ(view->model()->data(view->model()->index(1, 1)).toString(), "AVI");
}

TEST_F(MainWindowTest, DraggedRowLandsBeforeTheDropRowOrAfterTheLastHighlighted)
{
    AddRows(4);
    window->show();
    auto* view = window->findChild<tl::ui::TitleListView*>("lsvFiles");
    ASSERT_NE(view, nullptr);
    const auto rowCentre = [&](int row) { return view->visualRect(view->model()->index(row, 0)).center(); };
    const auto order = [&] {
        std::string out;
        for (std::size_t row = 0; row < window->Titles().Count(); ++row)
            out += window->Titles().Caption(row).substr(std::string("/videos/clip").size(), 1);
        return out;
    };
    // the user presses on row 3 and drags it over row 1, dropping it on row 0
    view->selectionModel()->setCurrentIndex(view->model()->index(3, 0),
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view->DragOverRowsAt(rowCentre(1));
    view->DropFocusedRowAt(rowCentre(0));
    EXPECT_EQ(order(), "3012");
    EXPECT_EQ(window->Titles().Focused(), 0);

    // row 0 dragged over the last row and dropped in the empty space below
    view->selectionModel()->setCurrentIndex(view->model()->index(0, 0),
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view->DragOverRowsAt(rowCentre(3));
    view->DropFocusedRowAt(QPoint(10, view->viewport()->height() - 5));
    EXPECT_EQ(order(), "0123");
}

TEST_F(MainWindowTest, RemoveAndClearRecomputeTheSizeBar)
{
    AddRows(3);
    window->UpdateSizeBar();
    const int threeMinutes = window->SizeBarWidth();
    EXPECT_GT(threeMinutes, 1);
    Select({0, 2});
    Act("actRemove")->trigger();
    ASSERT_EQ(window->Titles().Count(), 1u);
    EXPECT_EQ(window->Titles().Caption(0), "/videos/clip1.avi");
    EXPECT_LT(window->SizeBarWidth(), threeMinutes);
    Act("actClear")->trigger();
    EXPECT_TRUE(window->Titles().Empty());
    EXPECT_EQ(window->SizeBarWidth(), 0);
}

TEST_F(MainWindowTest, SizeBarWidthColourAndWarning)
{
    struct Case {
        const char* playTime;
        int width;
        QColor colour;
        bool warns;
    };
    const Case cases[] = {
        {"01:00:00.000", 175, QColor(35, 126, 216), false},   // 2304
        {"01:51:00.000", 323, QColor(255, 128, 0), false},    // 4262
        {"01:57:00.000", 341, QColor(218, 17, 5), true},      // 4493
        {"02:40:00.000", 380, QColor(218, 17, 5), true},      // over 5000: full bar
    };
    tl::Options.Quality = 6400;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.playTime);
        window->Titles().Clear();
        prompts.shown.clear();
        AppendTitle(window->Titles(), "long.avi", c.playTime);
        window->UpdateSizeBar();
        EXPECT_EQ(window->SizeBarWidth(), c.width);
        EXPECT_EQ(window->SizeBarColour(), c.colour);
        ASSERT_EQ(prompts.shown.size(), c.warns ? 1u : 0u);
        if (c.warns) {
            EXPECT_EQ(prompts.shown[0].text, tl::Text("IDS_main_MSG_NotEnoughSpace"));
            EXPECT_EQ(prompts.shown[0].caption, "Warning");
            EXPECT_EQ(prompts.shown[0].kind, tl::MsgKind::Warning);
        }
    }
}

TEST_F(MainWindowTest, LockingDisablesCommandsAndUnlockingHonoursTheNoMenuBox)
{
    const char* locked[] = {"actAdd", "actRemove", "actClear", "actUp", "actDown", "actExit",
                            "actSettings", "actBurnVideoTS", "ActErase", "actBurn", "actChoosetemplate"};
    auto* noMenu = Child<QCheckBox>("chkCreateNoMenuDVD");
    auto* list = Child<QTreeView>("lsvFiles");

    window->LockUserInterface(true);
    for (const char* name : locked)
        EXPECT_FALSE(Act(name)->isEnabled()) << name;
    EXPECT_FALSE(noMenu->isEnabled());
    EXPECT_FALSE(list->isEnabled());
    EXPECT_FALSE(Child<QPushButton>("btnBurn")->isEnabled());

    window->LockUserInterface(false);
    for (const char* name : locked)
        EXPECT_TRUE(Act(name)->isEnabled()) << name;
    EXPECT_TRUE(noMenu->isEnabled());
    EXPECT_TRUE(list->isEnabled());

    noMenu->setChecked(true);
    window->LockUserInterface(true);
    window->LockUserInterface(false);
    EXPECT_TRUE(Act("actBurn")->isEnabled());
    EXPECT_FALSE(Act("actChoosetemplate")->isEnabled());
}

TEST_F(MainWindowTest, NoMenuBoxDisablesTemplateCommandButNotThePreviewDoubleClick)
{
    int chooserOpened = 0;
    window->onChooseTemplate = [&] { ++chooserOpened; };
    auto* noMenu = Child<QCheckBox>("chkCreateNoMenuDVD");
    EXPECT_FALSE(noMenu->isChecked());
    EXPECT_FALSE(tl::NoMenuDvd);

    noMenu->click();
    EXPECT_TRUE(tl::NoMenuDvd);
    EXPECT_FALSE(Act("actChoosetemplate")->isEnabled());
    EXPECT_FALSE(Child<QPushButton>("btnChooseAnotherTemplate")->isEnabled());
    Act("actChoosetemplate")->trigger();
    EXPECT_EQ(chooserOpened, 0);

    auto* preview = Child<QLabel>("imgViewer");
    QMouseEvent doubleClick(QEvent::MouseButtonDblClick, QPointF(10, 10), preview->mapToGlobal(QPointF(10, 10)),
                            Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(preview, &doubleClick);
    EXPECT_EQ(chooserOpened, 1);

    noMenu->click();
    EXPECT_FALSE(tl::NoMenuDvd);
    EXPECT_TRUE(Act("actChoosetemplate")->isEnabled());
    Child<QPushButton>("btnChooseAnotherTemplate")->click();
    EXPECT_EQ(chooserOpened, 2);
}

// Every text the language switch re-applies, with the control that shows it.
struct TextCheck {
    const char* object;
    const char* key;
};

QString ShownText(const tl::ui::TfrmMain& window, const char* object)
{
    if (auto* button = window.findChild<QPushButton*>(object))
        return button->text();
    if (auto* box = window.findChild<QCheckBox*>(object))
        return box->text();
    if (auto* label = window.findChild<QLabel*>(object))
        return label->text();
    if (auto* menu = window.findChild<QMenu*>(object))
        return menu->title();
    if (auto* action = window.findChild<QAction*>(object))
        return EntryCaption(action);
    return "<missing " + QString(object) + ">";
}

TEST_F(MainWindowTest, LanguageSwitchReappliesTheWindowTexts)
{
    const TextCheck checks[] = {
        {"btnAdd", "STR_MAIN_btnAdd"},
        {"btnRemove", "STR_MAIN_btnRemove"},
        {"btnUp", "STR_MAIN_btnUp"},
        {"btnDown", "STR_MAIN_btnDown"},
        {"btnSettings", "STR_MAIN_btnSettings"},
        {"btnHelp", "STR_MAIN_btnHelp"},
        {"btnChooseAnotherTemplate", "STR_MAIN_btnChooseAnotherTemplate"},
        {"btnBurn", "STR_MAIN_btnBurn"},
        {"lblWriters", "STR_MAIN_lblWriters"},
        {"lblSpeed", "STR_MAIN_lblSpeed"},
        {"lblDiscLabel", "STR_MAIN_lblDiscLabel"},
        {"lblDVDMenuTemp", "STR_MAIN_lblDVDMenuTemplate"},
        {"mnuMain_File", "STR_MAIN_mnuFile"},
        {"mnuMain_Settings", "STR_MAIN_mnuSettings"},
        {"mnuMain_Help", "STR_MAIN_mnuHelp"},
        {"mniListView_Add", "STR_MAIN_mniAdd"},
        {"mniListView_Remove", "STR_MAIN_mniDelete"},
        {"mniListView_Up", "STR_MAIN_mniUp"},
        {"mniListView_Down", "STR_MAIN_mniDown"},
        {"mniListView_Clear", "STR_MAIN_mniClear"},
        {"mniMain_File_Add", "STR_MAIN_mniFile_Add"},
        {"mniMain_File_Remove", "STR_MAIN_mniFile_Delete"},
        {"mniMain_File_Up", "STR_MAIN_mniFile_Up"},
        {"mniMain_File_Down", "STR_MAIN_mniFile_Down"},
        {"mniMain_File_Burn", "STR_MAIN_mniFile_Burn"},
        {"mniMain_File_Exit", "STR_MAIN_mniFile_Exit"},
        {"mniMain_Settings_Settings", "STR_MAIN_mniSettings_Settings"},
        {"mniMain_Settings_Languages", "STR_MAIN_mniSettings_Lanuage"},
        {"mniMain_Help_HelpCpntext", "STR_MAIN_mniHelp_HelpContents"},
        {"mniMain_Help_QuickStart", "STR_MAIN_mniHelp_QuickStart"},
        {"mniMain_Help_OnlineResources", "STR_MAIN_mniHelp_OnlineResources"},
        {"mniMain_Help_ContactTechnicalSupport", "STR_MAIN_mniHelp_TechnicalSupport"},
        {"chkBufferProtect", "IDS_Main_chk_BufferProtect"},
        {"chkTestMode", "IDS_Main_chk_TestMode"},
        {"chkEjectAfter", "IDS_Main_chk_EjectAfter"},
        {"ActErase", "IDS_Main_act_Erase"},
        {"mniMain_Settings_Erase", "IDS_Main_act_Erase"},
        {"actAbout", "STR_ABOUT_Title"},
        {"mniMain_Help_About", "STR_ABOUT_Title"},
        {"chkCreateNoMenuDVD", "IDS_Main_chk_CreateNoMenuDVD"},
    };
    auto* view = Child<QTreeView>("lsvFiles");
    const auto expectCurrentTexts = [&] {
        for (const TextCheck& check : checks)
            EXPECT_EQ(ShownText(*window, check.object).toStdString(), tl::Text(check.key)) << check.object;
        EXPECT_EQ(view->model()->headerData(0, Qt::Horizontal).toString().toStdString(),
                  tl::Text("STR_MAIN_lsvFiles_Captain"));
        EXPECT_EQ(view->model()->headerData(1, Qt::Horizontal).toString().toStdString(),
                  tl::Text("STR_MAIN_lsvFiles_Item1"));
        EXPECT_EQ(Child<QCheckBox>("chkCreateNoMenuDVD")->toolTip().toStdString(),
                  tl::Text("IDS_Main_chk_CreateNoMenuDVDHint"));
        EXPECT_EQ(tl::Options.DVDLabel, tl::Text("IDS_Main_DVDLabel"));
    };
    expectCurrentTexts();
    EXPECT_EQ(ShownText(*window, "btnAdd"), "Add");

    QMenu* languages = window->LanguagesMenu();
    QAction* deutsch = nullptr;
    QAction* english = nullptr;
    for (QAction* item : languages->actions()) {
        if (item->text() == "Deutsch")
            deutsch = item;
        if (item->text() == "English")
            english = item;
    }
    ASSERT_NE(deutsch, nullptr);
    ASSERT_NE(english, nullptr);
    EXPECT_TRUE(english->isChecked());
    EXPECT_FALSE(deutsch->isChecked());

    deutsch->trigger();
    EXPECT_TRUE(deutsch->isChecked());
    EXPECT_FALSE(english->isChecked());
    EXPECT_EQ(ShownText(*window, "btnAdd"), QString::fromUtf8("Hinzufügen"));
    EXPECT_EQ(ShownText(*window, "mnuMain_File"), "Datei");
    EXPECT_EQ(tl::Options.DVDLabel, "Meine DVD");
    // the box keeps what it shows; closing or burning copies it back
    EXPECT_EQ(Child<QLineEdit>("txtDiscLabel")->text(), "My DVD");
    expectCurrentTexts();
    EXPECT_EQ(tl::IniReadString(tl::ConfigIniPath, "VideoAPP_Form", "LanguageFile", ""), "Deutsch.ini");
    EXPECT_TRUE(prompts.errors.empty());

    english->trigger();
    EXPECT_EQ(ShownText(*window, "btnAdd"), "Add");
    EXPECT_EQ(ShownText(*window, "mniMain_Help_About"), "About...");
    expectCurrentTexts();
}

TEST_F(MainWindowTest, MenuEntriesShowTheCommandShortcuts)
{
    EXPECT_EQ(Act("mniMain_File_Add")->text(), "Add\t" + QKeySequence("Ctrl+O").toString(QKeySequence::NativeText));
    EXPECT_EQ(Act("actClear")->shortcut(), QKeySequence("Shift+Del"));
    EXPECT_EQ(Act("actBurn")->shortcut(), QKeySequence(Qt::Key_F9));
    EXPECT_EQ(Act("actHelp")->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(Act("actSettings")->shortcut(), QKeySequence(Qt::Key_F2));
    EXPECT_EQ(Act("actUp")->shortcut(), QKeySequence("Ctrl+U"));
    EXPECT_EQ(Act("actDown")->shortcut(), QKeySequence("Ctrl+D"));
    EXPECT_EQ(Act("actRemove")->shortcut(), QKeySequence(Qt::Key_Delete));
}

// The visible entries of a menu: object names, "-" for a separator, the
// submenu's name for a submenu.
std::vector<std::string> MenuLayout(const QMenu* menu)
{
    std::vector<std::string> out;
    for (const QAction* action : menu->actions()) {
        if (!action->isVisible())
            continue;
        if (action->isSeparator())
            out.push_back("-");
        else if (action->menu())
            out.push_back(action->menu()->objectName().toStdString());
        else
            out.push_back(action->objectName().toStdString());
    }
    return out;
}

TEST_F(MainWindowTest, MenusHoldTheirEntriesInOrder)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(MenuLayout(Child<QMenu>("mnuMain_File")),
              (V{"mniMain_File_Add", "mniMain_File_Remove", "-", "mniMain_File_Up", "mniMain_File_Down", "-",
                 "mniMain_File_Burn", "-", "mniMain_File_Exit"}));
    EXPECT_EQ(MenuLayout(Child<QMenu>("mnuMain_Settings")),
              (V{"mniMain_Settings_Settings", "mniMain_Settings_Erase", "mniMain_Settings_BurnVideoTS",
                 "mniMain_Settings_Languages"}));
    EXPECT_EQ(MenuLayout(Child<QMenu>("mnuMain_Help")),
              (V{"mniMain_Help_HelpCpntext", "mniMain_Help_QuickStart", "-", "mniMain_Help_OnlineResources",
                 "mniMain_Help_ContactTechnicalSupport", "-", "mniMain_Help_About"}));
    EXPECT_EQ(MenuLayout(Child<QMenu>("mnuListView")),
              (V{"mniListView_Add", "mniListView_Remove", "-", "mniListView_Up", "mniListView_Down", "-",
                 "mniListView_Clear"}));
    // the entries run their commands
    int burns = 0;
    window->onBurn = [&] { ++burns; };
    Act("mniMain_File_Burn")->trigger();
    Child<QPushButton>("btnBurn")->click();
    EXPECT_EQ(burns, 2);
}

TEST_F(MainWindowTest, LayoutKeepsTheFixedPositions)
{
    EXPECT_EQ(window->centralWidget()->size(), QSize(742, 498));
    EXPECT_EQ(window->statusBar()->height(), 22);
    EXPECT_EQ(Child<QWidget>("lsvFiles")->geometry(), QRect(2, 41, 436, 236));
    EXPECT_EQ(Child<QWidget>("pnlSizebar")->geometry(), QRect(2, 281, 438, 42));
    EXPECT_EQ(Child<QWidget>("imgSizeBar")->geometry(), QRect(4, 6, 421, 33));
    EXPECT_EQ(Child<QWidget>("pnlBurner")->geometry(), QRect(1, 326, 440, 174));
    EXPECT_EQ(Child<QWidget>("pnlLeft")->geometry(), QRect(448, 41, 297, 284));
    EXPECT_EQ(Child<QWidget>("imgViewer")->geometry(), QRect(3, 30, 269, 203));
    EXPECT_EQ(Child<QWidget>("btnChooseAnotherTemplate")->geometry(), QRect(469, 285, 220, 34));
    EXPECT_EQ(Child<QWidget>("chkCreateNoMenuDVD")->geometry(), QRect(469, 328, 159, 15));
    EXPECT_EQ(Child<QWidget>("btnBurn")->geometry(), QRect(544, 364, 98, 69));
    auto* view = Child<QTreeView>("lsvFiles");
    EXPECT_EQ(view->columnWidth(0), 300);
    EXPECT_EQ(view->columnWidth(1), 100);
    EXPECT_EQ(view->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(view->editTriggers(), QAbstractItemView::NoEditTriggers);
    // check boxes of the burner panel start as the burn defaults
    EXPECT_TRUE(Child<QCheckBox>("chkBufferProtect")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>("ckbCloseDisc")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>("chkEjectAfter")->isChecked());
    EXPECT_FALSE(Child<QCheckBox>("chkTestMode")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>("ckbCDROMXA")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>("ckbSOPC")->isChecked());
}

TEST_F(MainWindowTest, SizeScaleCarriesTicksAndMarkers)
{
    const QImage scale = window->SizeScaleImage().toImage();
    ASSERT_EQ(scale.size(), QSize(421, 33));
    EXPECT_EQ(QColor(scale.pixel(10, 4)), QColor(68, 68, 62));     // tick at i = 0
    EXPECT_EQ(QColor(scale.pixel(29, 4)), QColor(68, 68, 62));     // short tick at i = 1
    EXPECT_EQ(QColor(scale.pixel(29, 15)), QColor(Qt::white));     // short ticks end at 8
    EXPECT_EQ(QColor(scale.pixel(86, 15)), QColor(68, 68, 62));    // long tick at i = 4
    EXPECT_EQ(QColor(scale.pixel(348, 10)), QColor(218, 17, 5));   // red marker
    EXPECT_EQ(QColor(scale.pixel(333, 10)), QColor(247, 200, 10)); // yellow marker
}

TEST_F(MainWindowTest, DiscLabelStartsWithTheCatalogueLabelAndCloseStoresTheBox)
{
    // a stored label does not survive the start: the language's label wins
    window.reset();
    tl::IniWriteString(tl::OptionsIniPath, "TLOptions", "DVDLabel", "Holiday");
    tl::LoadOptions();
    EXPECT_EQ(tl::Options.DVDLabel, "Holiday");
    window = std::make_unique<tl::ui::TfrmMain>(&prompts);
    auto* label = Child<QLineEdit>("txtDiscLabel");
    EXPECT_EQ(label->text(), "My DVD");
    EXPECT_EQ(tl::Options.DVDLabel, "My DVD");

    label->setText("Trip 2026");
    window->close();
    EXPECT_EQ(tl::Options.DVDLabel, "Trip 2026");
    EXPECT_EQ(tl::IniReadString(tl::ConfigIniPath, "VideoAPP_Form", "LanguageFile", ""), "English.ini");
    // destruction writes options.ini
    window.reset();
    EXPECT_EQ(tl::IniReadString(tl::OptionsIniPath, "TLOptions", "DVDLabel", ""), "Trip 2026");
    EXPECT_TRUE(prompts.errors.empty());
}

TEST_F(MainWindowTest, PreviewShowsTheChosenTemplateFittedOrNothing)
{
    std::filesystem::create_directories(install.Folder().Path() / "preview");
    QImage picture(720, 576, QImage::Format_RGB32);
    picture.fill(QColor(10, 120, 30));
    ASSERT_TRUE(picture.save(QString::fromStdString(install.Dir() + "preview/1.jpg")));
    auto* viewer = Child<QLabel>("imgViewer");

    tl::Options.TemplateIndex = 1;
    window->ShowTemplatePreview();
    const QPixmap shown = viewer->pixmap();
    ASSERT_FALSE(shown.isNull());
    EXPECT_LE(shown.width(), 269);
    EXPECT_LE(shown.height(), 203);
    EXPECT_TRUE(shown.width() == 269 || shown.height() == 203);  // fitted, proportions kept

    tl::Options.TemplateIndex = 2;  // no preview for it
    window->ShowTemplatePreview();
    EXPECT_TRUE(viewer->pixmap().isNull());
}

TEST_F(MainWindowTest, StatusTextAndCaption)
{
    window->SetStatusText("Burn DVD Step 1 - Converting files ...");
    EXPECT_EQ(window->StatusText(0), "Burn DVD Step 1 - Converting files ...");
    EXPECT_EQ(window->windowTitle().toStdString(), tl::ApplicationTitle);
}

TEST_F(MainWindowTest, PipelineMessagesArriveThroughTheEventLoop)
{
    std::vector<tl::PipelineMessage> seen;
    window->onPipelineMessage = [&](tl::PipelineMessage message) { seen.push_back(message); };
    window->PostPipelineMessage(tl::WM_BUILD_MENU_IMAGES);
    std::thread worker([&] { window->PostPipelineMessage(tl::WM_BUILD_DVD); });
    worker.join();
    EXPECT_TRUE(seen.empty());  // posted, not sent
    QCoreApplication::processEvents();
    EXPECT_EQ(seen, (std::vector<tl::PipelineMessage>{tl::WM_BUILD_MENU_IMAGES, tl::WM_BUILD_DVD}));
}

TEST_F(MainWindowTest, DroppedFoldersAndMissingFilesAddNothing)
{
    install.Folder().Write("clips/readme.txt", "x");
    window->DropFiles({install.Dir() + "clips", install.Dir() + "missing.avi", install.Dir() + "clips/readme.txt"});
    EXPECT_TRUE(window->Titles().Empty());
    EXPECT_EQ(tl::BusyCursorDepth(), 0);
    EXPECT_TRUE(prompts.shown.empty());
}

} // namespace

int main(int argc, char** argv)
{
    return tl::test::RunUiTests(argc, argv);
}
