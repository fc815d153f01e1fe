#include "ui/Main.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <filesystem>

#include "app/Error.h"
#include "app/Globals.h"
#include "app/Utils.h"
#include "lang/Catalogue.h"
#include "lang/LanguageFile.h"
#include "lang/LanguageSwitch.h"
#include "project/MediaProbe.h"
#include "project/Pipeline.h"
#include "project/SizeBudget.h"
#include "ui/GradientBar.h"
#include "ui/Look.h"
#include "ui/ProgressDialog.h"
#include "ui/ProgressOtherDialog.h"
#include "ui/QtPrompts.h"
#include "ui/QtUiThread.h"
#include "ui/TitleListModel.h"
#include "ui/TitleListView.h"

namespace tl::ui {
namespace {

std::string& StartupLanguageError()
{
    static std::string message;
    return message;
}

QColor ToColor(const Rgb& rgb)
{
    return QColor(rgb.r, rgb.g, rgb.b);
}

// "name|pattern|name|pattern|..." → "name (pattern);;name (pattern)", the
// patterns' ";" separators turned into blanks.
QString ToQtFilter(const std::string& filter)
{
    const QStringList parts = Q(filter).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1];
        pattern.replace(';', ' ');
        out << parts[i] + " (" + pattern.simplified() + ")";
    }
    return out.join(";;");
}

QWidget* MakePanel(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* panel = new QWidget(parent);
    panel->setObjectName(name);
    panel->setGeometry(geometry);
    return panel;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int x, int y, int width = 72)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(x, y, width, 16);
    return label;
}

QCheckBox* MakeCheck(QWidget* parent, const char* name, const QString& text, const QRect& geometry, bool checked)
{
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    box->setChecked(checked);
    return box;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text, const QRect& geometry,
                        QStyle::StandardPixmap icon)
{
    auto* button = new QPushButton(parent->style()->standardIcon(icon), text, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

} // namespace

void TfrmMain::SetStartupLanguageError(const std::string& message)
{
    StartupLanguageError() = message;
}

TfrmMain::TfrmMain(tl::UserPrompts* prompts, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      ui_(std::make_unique<QtUiThread>())
{
    SetPrompts(prompts);
    setObjectName("frmMain");
    setFont(WindowFont());
    BuildCommands();
    BuildMenus();
    BuildControls();
    FormCreate();
}

TfrmMain::~TfrmMain()
{
    // The runners go first: a tool still running is ended with them.
    controller_.reset();
    // The view and the model are deleted after this body; they must not reach
    // the list any more.
    titles_.OnReset = nullptr;
    titles_.OnSelectionChanged = nullptr;
    titles_.OnScrollTo = nullptr;
    lsvFiles_->setModel(nullptr);
    try {
        SaveOptions();
    } catch (const tl::Error& error) {
        // A read-only installation folder was announced once at start-up.
        if (SettingsWritable())
            ShowError(error.what());
    }
}

void TfrmMain::SetPrompts(tl::UserPrompts* prompts)
{
    if (prompts) {
        prompts_ = prompts;
    } else {
        if (!ownPrompts_)
            ownPrompts_ = std::make_unique<QtPrompts>();
        prompts_ = ownPrompts_.get();
    }
    if (frmProgressOther_)
        frmProgressOther_->SetPrompts(prompts_);
}

tl::UiThread& TfrmMain::Ui()
{
    return *ui_;
}

// ---- construction ------------------------------------------------------------

QAction* TfrmMain::MakeCommand(const char* name, const QString& caption, const QKeySequence& shortcut,
                               void (TfrmMain::*handler)())
{
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WindowShortcut);
    }
    if (handler)
        connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    addAction(action);  // shortcuts work without a menu entry
    return action;
}

void TfrmMain::BuildCommands()
{
    actAdd_ = MakeCommand("actAdd", "Add", QKeySequence("Ctrl+O"), &TfrmMain::actAddExecute);
    actRemove_ = MakeCommand("actRemove", "Delete", QKeySequence(Qt::Key_Delete), &TfrmMain::actRemoveExecute);
    actClear_ = MakeCommand("actClear", "Clear", QKeySequence("Shift+Del"), &TfrmMain::actClearExecute);
    actUp_ = MakeCommand("actUp", "Up", QKeySequence("Ctrl+U"), &TfrmMain::actUpExecute);
    actDown_ = MakeCommand("actDown", "Down", QKeySequence("Ctrl+D"), &TfrmMain::actDownExecute);
    actBurn_ = MakeCommand("actBurn", "Burn", QKeySequence(Qt::Key_F9), nullptr);
    actExit_ = MakeCommand("actExit", "Exit", QKeySequence(), nullptr);
    actHelp_ = MakeCommand("actHelp", "Help Contents", QKeySequence(Qt::Key_F1), nullptr);
    actSettings_ = MakeCommand("actSettings", "Settings", QKeySequence(Qt::Key_F2), nullptr);
    actChoosetemplate_ = MakeCommand("actChoosetemplate", "Choose another template", QKeySequence(),
                                     &TfrmMain::actChoosetemplateExecute);
    actAbout_ = MakeCommand("actAbout", "About...", QKeySequence(), nullptr);
    actQuickStart_ = MakeCommand("actQuickStart", "Quick Start...", QKeySequence(), nullptr);
    actOnlineResources_ = MakeCommand("actOnlineResources", "Online Resources...", QKeySequence(), nullptr);
    actContactTechnicalSupport_ =
        MakeCommand("actContactTechnicalSupport", "Contact Technical Support...", QKeySequence(), nullptr);
    actPlaySource_ = MakeCommand("actPlaySource", "Play Source", QKeySequence(), &TfrmMain::actPlaySourceExecute);
    ActErase_ = MakeCommand("ActErase", "Erase", QKeySequence(), nullptr);
    actBurnVideoTS_ = MakeCommand("actBurnVideoTS", "Burn VIDEO_TS", QKeySequence(), nullptr);

    // Commands carried out elsewhere: the hooks decide.
    const std::pair<QAction*, std::function<void()> TfrmMain::*> hooked[] = {
        {actBurn_, &TfrmMain::onBurn},
        {actHelp_, &TfrmMain::onHelp},
        {actSettings_, &TfrmMain::onSettings},
        {actAbout_, &TfrmMain::onAbout},
        {actQuickStart_, &TfrmMain::onQuickStart},
        {actOnlineResources_, &TfrmMain::onOnlineResources},
        {actContactTechnicalSupport_, &TfrmMain::onContactTechnicalSupport},
        {ActErase_, &TfrmMain::onErase},
        {actBurnVideoTS_, &TfrmMain::onBurnVideoTS},
    };
    for (const auto& [action, hook] : hooked)
        connect(action, &QAction::triggered, this, [this, hook = hook] { RunHook(this->*hook); });
    connect(actExit_, &QAction::triggered, this, [this] { close(); });
}

QAction* TfrmMain::AddEntry(QMenu* menu, const char* name, QAction* command)
{
    // A menu entry of its own, so that each menu can carry its own caption,
    // bound to the command for enabling and execution.
    auto* entry = new QAction(menu);
    entry->setObjectName(name);
    entry->setEnabled(command->isEnabled());
    connect(entry, &QAction::triggered, command, [command] { command->trigger(); });
    connect(command, &QAction::changed, entry, [entry, command] {
        entry->setEnabled(command->isEnabled());
        entry->setVisible(command->isVisible());
    });
    menu->addAction(entry);
    entries_.push_back({entry, command});
    SetEntryText(entry, S(command->text()));
    return entry;
}

void TfrmMain::SetEntryText(QAction* entry, const std::string& text)
{
    QString caption = Q(text);
    for (const MenuEntry& e : entries_) {
        if (e.entry == entry && !e.command->shortcut().isEmpty())
            caption += '\t' + e.command->shortcut().toString(QKeySequence::NativeText);
    }
    entry->setText(caption);
}

void TfrmMain::BuildMenus()
{
    QMenuBar* bar = menuBar();
    mnuMain_File_ = bar->addMenu("File");
    mnuMain_File_->setObjectName("mnuMain_File");
    AddEntry(mnuMain_File_, "mniMain_File_Add", actAdd_);
    AddEntry(mnuMain_File_, "mniMain_File_Remove", actRemove_);
    mnuMain_File_->addSeparator();
    AddEntry(mnuMain_File_, "mniMain_File_Up", actUp_);
    AddEntry(mnuMain_File_, "mniMain_File_Down", actDown_);
    mnuMain_File_->addSeparator();
    AddEntry(mnuMain_File_, "mniMain_File_Burn", actBurn_);
    mnuMain_File_->addSeparator();
    AddEntry(mnuMain_File_, "mniMain_File_Exit", actExit_);

    mnuMain_Settings_ = bar->addMenu("Tools");
    mnuMain_Settings_->setObjectName("mnuMain_Settings");
    AddEntry(mnuMain_Settings_, "mniMain_Settings_Settings", actSettings_);
    AddEntry(mnuMain_Settings_, "mniMain_Settings_Erase", ActErase_);
    AddEntry(mnuMain_Settings_, "mniMain_Settings_BurnVideoTS", actBurnVideoTS_);
    QAction* hidden = mnuMain_Settings_->addSeparator();
    hidden->setVisible(false);
    mniMain_Settings_Languages_ = mnuMain_Settings_->addMenu("Language");
    mniMain_Settings_Languages_->setObjectName("mniMain_Settings_Languages");

    mnuMain_Help_ = bar->addMenu("Help");
    mnuMain_Help_->setObjectName("mnuMain_Help");
    AddEntry(mnuMain_Help_, "mniMain_Help_HelpCpntext", actHelp_);
    AddEntry(mnuMain_Help_, "mniMain_Help_QuickStart", actQuickStart_);
    mnuMain_Help_->addSeparator();
    AddEntry(mnuMain_Help_, "mniMain_Help_OnlineResources", actOnlineResources_);
    AddEntry(mnuMain_Help_, "mniMain_Help_ContactTechnicalSupport", actContactTechnicalSupport_);
    mnuMain_Help_->addSeparator();
    AddEntry(mnuMain_Help_, "mniMain_Help_About", actAbout_);

    mnuListView_ = new QMenu(this);
    mnuListView_->setObjectName("mnuListView");
    AddEntry(mnuListView_, "mniListView_Add", actAdd_);
    AddEntry(mnuListView_, "mniListView_Remove", actRemove_);
    mnuListView_->addSeparator();
    AddEntry(mnuListView_, "mniListView_Up", actUp_);
    AddEntry(mnuListView_, "mniListView_Down", actDown_);
    mnuListView_->addSeparator();
    AddEntry(mnuListView_, "mniListView_Clear", actClear_);
}

void TfrmMain::BindButton(QPushButton* button, QAction* command)
{
    connect(button, &QPushButton::clicked, command, [command] { command->trigger(); });
    connect(command, &QAction::changed, button, [button, command] { button->setEnabled(command->isEnabled()); });
    button->setEnabled(command->isEnabled());
}

void TfrmMain::BuildControls()
{
    client_ = new QWidget(this);
    client_->setObjectName("frmMainClient");
    client_->setFixedSize(742, 498);
    client_->setAutoFillBackground(true);
    QPalette white = client_->palette();
    white.setColor(QPalette::Window, Qt::white);
    client_->setPalette(white);
    setCentralWidget(client_);

    PanelTop_ = MakePanel(client_, "PanelTop", QRect(0, 0, 742, 41));
    btnAdd_ = MakeButton(PanelTop_, "btnAdd", "Add", QRect(8, 6, 110, 27), QStyle::SP_DialogOpenButton);
    btnRemove_ = MakeButton(PanelTop_, "btnRemove", "Remove", QRect(125, 6, 110, 27), QStyle::SP_TrashIcon);
    btnUp_ = MakeButton(PanelTop_, "btnUp", "Up", QRect(240, 6, 130, 27), QStyle::SP_ArrowUp);
    btnDown_ = MakeButton(PanelTop_, "btnDown", "Down", QRect(375, 6, 130, 27), QStyle::SP_ArrowDown);
    btnSettings_ =
        MakeButton(PanelTop_, "btnSettings", "Settings", QRect(509, 6, 120, 27), QStyle::SP_FileDialogDetailedView);
    btnHelp_ = MakeButton(PanelTop_, "btnHelp", "Help", QRect(635, 6, 96, 27), QStyle::SP_DialogHelpButton);
    BindButton(btnAdd_, actAdd_);
    BindButton(btnRemove_, actRemove_);
    BindButton(btnUp_, actUp_);
    BindButton(btnDown_, actDown_);
    BindButton(btnSettings_, actSettings_);
    BindButton(btnHelp_, actHelp_);

    model_ = new TitleListModel(titles_, this);
    lsvFiles_ = new TitleListView(client_);
    lsvFiles_->setObjectName("lsvFiles");
    lsvFiles_->setGeometry(2, 41, 436, 236);
    lsvFiles_->Attach(model_);
    connect(lsvFiles_, &TitleListView::customContextMenuRequested, this,
            [this](const QPoint& pos) { mnuListView_->popup(lsvFiles_->viewport()->mapToGlobal(pos)); });
    connect(lsvFiles_, &TitleListView::listDoubleClicked, this, [this] { actPlaySource_->trigger(); });
    connect(lsvFiles_, &TitleListView::listChanged, this, [this] { aclMainUpdate(); });

    // The size bar: the scale image with the gradient bar over it.
    pnlSizebar_ = MakePanel(client_, "pnlSizebar", QRect(2, 281, kSizePanelWidth, kSizePanelHeight));
    imgSizeBar_ = new QLabel(pnlSizebar_);
    imgSizeBar_->setObjectName("imgSizeBar");
    imgSizeBar_->setGeometry(kScaleImageLeft, kScaleImageTop, kScaleImageWidth, kScaleImageHeight);
    scaleImage_ = QPixmap(kScaleImageWidth, kScaleImageHeight);
    scaleImage_.fill(Qt::white);
    imgSizeBar_->setPixmap(scaleImage_);
    prgSize_ = new GradientBar(pnlSizebar_);
    prgSize_->setObjectName("prgSize");
    prgSize_->setGeometry(kBarLeft, kBarTop, 1, kBarHeight);
    prgSize_->setValue(100);
    prgSize_->setBorderColor(ToColor(kScaleInk));
    prgSize_->raise();

    // The burner panel: its behaviour belongs to the burn session.
    pnlBurner_ = MakePanel(client_, "pnlBurner", QRect(1, 326, 440, 174));
    lblWriters_ = MakeLabel(pnlBurner_, "lblWriters", "Writers:", 7, 17);
    cmbDevice_ = new QComboBox(pnlBurner_);
    cmbDevice_->setObjectName("cmbDevice");
    cmbDevice_->setGeometry(79, 14, 282, 21);
    btnRefresh_ = new QPushButton("Refresh", pnlBurner_);
    btnRefresh_->setObjectName("btnRefresh");
    btnRefresh_->setGeometry(368, 12, 66, 25);
    connect(btnRefresh_, &QPushButton::clicked, this, [this] { RunHook(onRefreshWriters); });
    lblBurningMode_ = MakeLabel(pnlBurner_, "lblBurningMode", "Burning Mode:", 7, 44);
    cmbModes_ = new QComboBox(pnlBurner_);
    cmbModes_->setObjectName("cmbModes");
    cmbModes_->setGeometry(79, 41, 282, 21);
    lblSpeed_ = MakeLabel(pnlBurner_, "lblSpeed", "Speed:", 7, 68);
    cmbBurnSpeed_ = new QComboBox(pnlBurner_);
    cmbBurnSpeed_->setObjectName("cmbBurnSpeed");
    cmbBurnSpeed_->setGeometry(79, 65, 282, 21);
    lblDiscLabel_ = MakeLabel(pnlBurner_, "lblDiscLabel", "Disc Label:", 7, 92);
    txtDiscLabel_ = new QLineEdit(pnlBurner_);
    txtDiscLabel_->setObjectName("txtDiscLabel");
    txtDiscLabel_->setGeometry(79, 89, 282, 21);
    chkBufferProtect_ = MakeCheck(pnlBurner_, "chkBufferProtect", "Buffer Protect", QRect(7, 118, 120, 17), true);
    ckbCloseDisc_ = MakeCheck(pnlBurner_, "ckbCloseDisc", "End Disc", QRect(131, 118, 116, 17), true);
    chkEjectAfter_ = MakeCheck(pnlBurner_, "chkEjectAfter", "Eject After Burning", QRect(251, 118, 185, 17), true);
    chkTestMode_ = MakeCheck(pnlBurner_, "chkTestMode", "Test Mode", QRect(7, 145, 120, 17), false);
    ckbCDROMXA_ = MakeCheck(pnlBurner_, "ckbCDROMXA", "CDROM XA", QRect(131, 145, 116, 17), true);
    ckbSOPC_ = MakeCheck(pnlBurner_, "ckbSOPC", "Optimum Power Calibration", QRect(251, 145, 185, 17), true);

    // The template side.
    pnlLeft_ = MakePanel(client_, "pnlLeft", QRect(448, 41, 297, 284));
    lblDVDMenuTemp_ = MakeLabel(pnlLeft_, "lblDVDMenuTemp", "DVD menu template", 3, 8, 269);
    imgViewer_ = new QLabel(pnlLeft_);
    imgViewer_->setObjectName("imgViewer");
    imgViewer_->setGeometry(3, 30, 269, 203);
    imgViewer_->setAlignment(Qt::AlignCenter);
    imgViewer_->setFrameShape(QFrame::Box);
    imgViewer_->setStyleSheet("QLabel#imgViewer { border: 1px solid rgb(200, 200, 200); }");
    pnlChooseButton_ = MakePanel(pnlLeft_, "pnlChooseButton", QRect(3, 232, 293, 49));
    btnChooseAnotherTemplate_ = MakeButton(client_, "btnChooseAnotherTemplate", "Choose another template",
                                           QRect(469, 285, 220, 34), QStyle::SP_DirOpenIcon);
    BindButton(btnChooseAnotherTemplate_, actChoosetemplate_);
    chkCreateNoMenuDVD_ =
        MakeCheck(client_, "chkCreateNoMenuDVD", "Create DVD without template", QRect(469, 328, 159, 15), false);
    connect(chkCreateNoMenuDVD_, &QCheckBox::toggled, this, [this] { chkCreateNoMenuDVDClick(); });
    btnBurn_ = MakeButton(client_, "btnBurn", "Burn", QRect(544, 364, 98, 69), QStyle::SP_DriveCDIcon);
    btnBurn_->setIconSize(QSize(32, 32));
    BindButton(btnBurn_, actBurn_);

    // The status bar: two panels, the first for the pipeline's texts.
    QStatusBar* status = statusBar();
    status->setObjectName("StatusBar");
    status->setSizeGripEnabled(false);
    status->setFixedHeight(22);
    statusPanel0_ = new QLabel(status);
    statusPanel0_->setObjectName("StatusBarPanel0");
    statusPanel0_->setFixedWidth(440);
    statusPanel1_ = new QLabel(status);
    statusPanel1_->setObjectName("StatusBarPanel1");
    statusPanel1_->setFixedWidth(50);
    status->addWidget(statusPanel0_);
    status->addWidget(statusPanel1_);

    // Pressing on the background or a panel moves the window.
    for (QWidget* source : {client_, PanelTop_, pnlBurner_, pnlLeft_, pnlSizebar_, pnlChooseButton_,
                            static_cast<QWidget*>(imgViewer_)})
        source->installEventFilter(this);

    idleTimer_ = new QTimer(this);
    idleTimer_->setInterval(100);
    connect(idleTimer_, &QTimer::timeout, this, [this] { aclMainUpdate(); });
    idleTimer_->start();

    setFixedSize(742, 498 + 22 + menuBar()->sizeHint().height());
}

void TfrmMain::FormCreate()
{
    setAcceptDrops(true);
    openFilter_ = ToQtFilter(BuildOpenFilter());
    DrawSizeScale(true);
    LockUserInterface(false);
    ShowTemplatePreview();
    BuildLanguageMenu();
    try {
        LoadLanguage(LanguageFilePath);
    } catch (const tl::Error& error) {
        // The same failure was most likely reported at start-up already.
        if (error.what() != StartupLanguageError())
            ShowError(error.what());
    }
    ApplyMainWindowTexts();
    txtDiscLabel_->setText(Q(Options.DVDLabel));
    setWindowTitle(Q(ApplicationTitle));
    frmProgressOther_ = new TfrmProgressOther(this, prompts_);
    frmProgress_ = new TfrmProgress(this);
    CreateProductionController();
    chkCreateNoMenuDVD_->setChecked(NoMenuDvd);
    aclMainUpdate();
}

namespace {

// The production run keeps one reference to its message boxes; tests swap
// the window's prompts after creation, so the run asks through this.
class ForwardingPrompts : public tl::UserPrompts {
public:
    explicit ForwardingPrompts(TfrmMain& window) : window_(window) {}
    tl::MsgResult Message(const std::string& text, const std::string& caption, tl::MsgKind kind,
                          tl::MsgButtons buttons) override
    {
        return window_.Prompts().Message(text, caption, kind, buttons);
    }
    tl::MsgResult ButtonCaptionDialog(const std::string& text, const std::string& caption, tl::MsgKind kind,
                                      const std::vector<std::string>& captions, tl::MsgButtons buttons) override
    {
        return window_.Prompts().ButtonCaptionDialog(text, caption, kind, captions, buttons);
    }
    void ShowError(const std::string& text) override { window_.Prompts().ShowError(text); }

private:
    TfrmMain& window_;
};

} // namespace

void TfrmMain::CreateProductionController()
{
    runPrompts_ = std::make_unique<ForwardingPrompts>(*this);
    controller_ = std::make_unique<tl::ProductionController>(Ui(), *runPrompts_, *this, *frmProgress_,
                                                              *frmProgressOther_, titles_);
    onBurn = [this] { controller_->Burn(); };
    onPipelineMessage = [this](tl::PipelineMessage message) { controller_->HandleMessage(message); };
    frmProgress_->onCloseRequest = [this] { return controller_->RequestConversionClose(); };
}

// ---- languages ---------------------------------------------------------------

void TfrmMain::BuildLanguageMenu()
{
    languages_.emplace(MakeLanguageList());
    for (const LanguageMenuItem& item : BuildLanguageMenuItems(*languages_)) {
        // Captions exactly as the files give them: no accelerator characters.
        QString shown = Q(item.caption);
        shown.replace('&', "&&");
        QAction* action = mniMain_Settings_Languages_->addAction(shown);
        action->setCheckable(true);
        action->setChecked(item.checked);
        action->setData(Q(item.caption));
        connect(action, &QAction::triggered, this, [this, action] { LanguageClicked(action); });
    }
}

void TfrmMain::LanguageClicked(QAction* item)
{
    for (QAction* action : mniMain_Settings_Languages_->actions())
        action->setChecked(false);
    item->setChecked(true);
    try {
        SwitchLanguage(*languages_, S(item->data().toString()), [this] { ApplyMainWindowTexts(); });
    } catch (const tl::Error& error) {
        ShowError(error.what());
    }
}

void TfrmMain::ApplyMainWindowTexts()
{
    DrawSizeScale(false);
    UpdateSizeBar();
    openFilter_ = ToQtFilter(BuildOpenFilter());

    const auto set = [](auto* control, const char* key) { control->setText(Q(Text(key))); };
    set(btnAdd_, "STR_MAIN_btnAdd");
    set(btnRemove_, "STR_MAIN_btnRemove");
    set(btnUp_, "STR_MAIN_btnUp");
    set(btnDown_, "STR_MAIN_btnDown");
    set(btnSettings_, "STR_MAIN_btnSettings");
    set(btnHelp_, "STR_MAIN_btnHelp");
    set(btnChooseAnotherTemplate_, "STR_MAIN_btnChooseAnotherTemplate");
    set(btnBurn_, "STR_MAIN_btnBurn");
    set(lblWriters_, "STR_MAIN_lblWriters");
    set(lblSpeed_, "STR_MAIN_lblSpeed");
    set(lblDiscLabel_, "STR_MAIN_lblDiscLabel");
    set(lblDVDMenuTemp_, "STR_MAIN_lblDVDMenuTemplate");
    mnuMain_File_->setTitle(Q(Text("STR_MAIN_mnuFile")));
    mnuMain_Settings_->setTitle(Q(Text("STR_MAIN_mnuSettings")));
    mnuMain_Help_->setTitle(Q(Text("STR_MAIN_mnuHelp")));

    const std::pair<const char*, const char*> entries[] = {
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
        {"mniMain_Help_HelpCpntext", "STR_MAIN_mniHelp_HelpContents"},
        {"mniMain_Help_About", "STR_MAIN_mniHelp_About"},
        {"mniMain_Help_QuickStart", "STR_MAIN_mniHelp_QuickStart"},
        {"mniMain_Help_OnlineResources", "STR_MAIN_mniHelp_OnlineResources"},
        {"mniMain_Help_ContactTechnicalSupport", "STR_MAIN_mniHelp_TechnicalSupport"},
    };
    for (const auto& [name, key] : entries) {
        if (auto* entry = findChild<QAction*>(name))
            SetEntryText(entry, Text(key));
    }
    mniMain_Settings_Languages_->setTitle(Q(Text("STR_MAIN_mniSettings_Lanuage")));
    model_->SetColumnCaptions(Q(Text("STR_MAIN_lsvFiles_Captain")), Q(Text("STR_MAIN_lsvFiles_Item1")));
    set(chkBufferProtect_, "IDS_Main_chk_BufferProtect");
    set(chkTestMode_, "IDS_Main_chk_TestMode");
    set(chkEjectAfter_, "IDS_Main_chk_EjectAfter");
    // A command's caption also goes to the menu entries that show it.
    set(ActErase_, "IDS_Main_act_Erase");
    SetEntryText(findChild<QAction*>("mniMain_Settings_Erase"), Text("IDS_Main_act_Erase"));
    Options.DVDLabel = Text("IDS_Main_DVDLabel");
    set(actAbout_, "STR_ABOUT_Title");
    SetEntryText(findChild<QAction*>("mniMain_Help_About"), Text("STR_ABOUT_Title"));
    set(chkCreateNoMenuDVD_, "IDS_Main_chk_CreateNoMenuDVD");
    chkCreateNoMenuDVD_->setToolTip(Q(Text("IDS_Main_chk_CreateNoMenuDVDHint")));
}

// ---- size bar and preview -------------------------------------------------------

void TfrmMain::DrawSizeScale(bool lines)
{
    const SizeScale scale = SizeScaleGeometry();
    {
        QPainter painter(&scaleImage_);
        QFont font = WindowFont((scale.fontPoints * 96 + 36) / 72);
        if (QFontDatabase::hasFamily(scale.fontName))
            font.setFamily(scale.fontName);
        painter.setFont(font);
        const QColor ink = ToColor(scale.ink);
        if (lines) {
            painter.setPen(QPen(ink, 1));
            for (const ScaleTick& tick : scale.ticks)
                painter.drawLine(tick.x, tick.y0, tick.x, tick.y1);
        }
        painter.setPen(ink);
        const QFontMetrics metrics(font);
        for (const ScaleLabel& label : scale.labels) {
            const QString text = Q(label.text);
            const int width = metrics.horizontalAdvance(text);
            const QRect box(label.centreX - width / 2, label.top, width, metrics.height());
            // Text on the white brush: each label's cell is painted white under
            // it, so a new unit text replaces the old one.
            painter.fillRect(box, Qt::white);
            painter.drawText(box, Qt::AlignLeft | Qt::AlignTop, text);
        }
        if (lines) {
            for (const ScaleMarker& marker : scale.markers) {
                painter.setPen(QPen(ToColor(marker.colour), marker.penWidth, Qt::SolidLine, Qt::FlatCap));
                painter.drawLine(marker.x, marker.y0, marker.x, marker.y1);
            }
        }
    }
    imgSizeBar_->setPixmap(scaleImage_);
    prgSize_->setFixedWidth(1);
    prgSize_->setVisible(true);
}

void TfrmMain::UpdateSizeBar()
{
    const SizeBarState state = tl::UpdateSizeBar(titles_, Options.Quality, *prompts_);
    prgSize_->setEndColor(ToColor(state.endColour));
    prgSize_->setFixedWidth(std::max(state.width, 0));
    prgSize_->setVisible(state.width > 0);
}

int TfrmMain::SizeBarWidth() const
{
    return prgSize_->isVisibleTo(pnlSizebar_) ? prgSize_->width() : 0;
}

QColor TfrmMain::SizeBarColour() const
{
    return prgSize_->endColor();
}

void TfrmMain::ShowTemplatePreview()
{
    const std::string path = InstallDir + "preview/" + std::to_string(Options.TemplateIndex) + ".jpg";
    QPixmap picture;
    if (std::filesystem::exists(path) && picture.load(Q(path)))
        imgViewer_->setPixmap(picture.scaled(imgViewer_->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    else
        imgViewer_->clear();
}

// ---- enable rules and locking -------------------------------------------------------

void TfrmMain::aclMainUpdate()
{
    const int count = static_cast<int>(titles_.Count());
    const int first = titles_.FirstSelected();
    actRemove_->setEnabled(first >= 0);
    actClear_->setEnabled(count > 0);
    actUp_->setEnabled(first > 0);
    actDown_->setEnabled(first >= 0 && first != count - 1);
}

void TfrmMain::LockUserInterface(bool lock)
{
    const bool e = !lock;
    for (QAction* action : {actAdd_, actRemove_, actClear_, actUp_, actDown_, actExit_, actSettings_})
        action->setEnabled(e);
    chkCreateNoMenuDVD_->setEnabled(e);
    for (QAction* action : {actBurnVideoTS_, ActErase_, actBurn_})
        action->setEnabled(e);
    actChoosetemplate_->setEnabled(lock ? false : !chkCreateNoMenuDVD_->isChecked());
    lsvFiles_->setEnabled(e);
}

void TfrmMain::chkCreateNoMenuDVDClick()
{
    actChoosetemplate_->setEnabled(!chkCreateNoMenuDVD_->isChecked());
    NoMenuDvd = chkCreateNoMenuDVD_->isChecked();
}

// ---- list commands -------------------------------------------------------------

void TfrmMain::actAddExecute()
{
    const QStringList files =
        QFileDialog::getOpenFileNames(this, QString(), Q(Options.LastOpenDir), openFilter_);
    std::vector<std::string> paths;
    for (const QString& file : files)
        paths.push_back(S(file));
    AddChosenFiles(paths);
}

void TfrmMain::AddChosenFiles(const std::vector<std::string>& paths)
{
    // The size bar is recomputed in every case: cancelled, done or failed.
    try {
        if (!paths.empty()) {
            AddFileList(titles_, paths, *prompts_, *ui_);
            titles_.SelectTitleRow(titles_.Count());
            Options.LastOpenDir = AddTrailingBackslash(std::filesystem::path(paths.front()).parent_path().string());
        }
    } catch (...) {
        UpdateSizeBar();
        throw;
    }
    UpdateSizeBar();
}

void TfrmMain::DropFiles(const std::vector<std::string>& paths)
{
    BusyCursorOn();
    try {
        for (const std::string& path : paths) {
            std::error_code ec;
            if (std::filesystem::is_directory(path, ec))
                continue;  // folders are not searched
            AddSourceFile(titles_, path, *prompts_, *ui_);
        }
    } catch (...) {
        UpdateSizeBar();
        BusyCursorOff();
        throw;
    }
    UpdateSizeBar();
    BusyCursorOff();
    titles_.SelectTitleRow(titles_.Count());
}

void TfrmMain::actRemoveExecute()
{
    titles_.RemoveSelected();
    UpdateSizeBar();
}

void TfrmMain::actClearExecute()
{
    titles_.Clear();
    UpdateSizeBar();
}

void TfrmMain::actUpExecute()
{
    titles_.MoveTitle(true);
}

void TfrmMain::actDownExecute()
{
    titles_.MoveTitle(false);
}

void TfrmMain::actPlaySourceExecute()
{
    const int row = titles_.FirstSelected();
    if (row < 0)
        return;
    const TFileItem& item = titles_.Item(static_cast<std::size_t>(row));
    QDesktopServices::openUrl(QUrl::fromLocalFile(Q(AddTrailingBackslash(item.Folder) + item.FileName)));
}

void TfrmMain::actChoosetemplateExecute()
{
    RunHook(onChooseTemplate);
}

// ---- status, messages, events -------------------------------------------------------

void TfrmMain::SetStatusText(const std::string& text)
{
    statusPanel0_->setText(Q(text));
}

QString TfrmMain::StatusText(int panel) const
{
    return (panel == 0 ? statusPanel0_ : statusPanel1_)->text();
}

void TfrmMain::PostPipelineMessage(tl::PipelineMessage message)
{
    // Thread-safe: the event is queued and delivered by whichever loop runs.
    QCoreApplication::postEvent(this, new QEvent(static_cast<QEvent::Type>(static_cast<int>(QEvent::User) + static_cast<int>(message))));
}

void TfrmMain::RunHook(const std::function<void()>& hook)
{
    if (hook)
        hook();
}

void TfrmMain::ShowError(const std::string& text)
{
    prompts_->ShowError(text);
}

bool TfrmMain::event(QEvent* event)
{
    const int offset = static_cast<int>(event->type()) - static_cast<int>(QEvent::User);
    if (offset >= WM_CONVERT_NEXT_TITLE && offset <= WM_BUILD_DVD) {
        if (onPipelineMessage)
            onPipelineMessage(static_cast<PipelineMessage>(offset));
        return true;
    }
    if (event->type() == QEvent::WindowActivate && MainWindowShown) {
        ShowTemplatePreview();
        RunHook(onActivate);
    }
    return QMainWindow::event(event);
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == imgViewer_ && event->type() == QEvent::MouseButtonDblClick) {
        // Straight to the handler: works even while the command is disabled.
        actChoosetemplateExecute();
        return true;
    }
    // Dragging the background, a panel or the preview moves the window. The
    // move starts at the first motion, so that a double-click still arrives.
    if (event->type() == QEvent::MouseMove) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->buttons() != Qt::NoButton && windowHandle()) {
            windowHandle()->startSystemMove();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
    MainWindowShown = true;
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    Options.DVDLabel = S(txtDiscLabel_->text());
    try {
        SaveLanguageChoice();
    } catch (const tl::Error& error) {
        if (SettingsWritable())
            ShowError(error.what());
    }
    event->accept();
}

void TfrmMain::dragEnterEvent(QDragEnterEvent* event)
{
    // While a run has the window locked, no files come in by the back door.
    if (event->mimeData()->hasUrls() && actAdd_->isEnabled())
        event->acceptProposedAction();
}

void TfrmMain::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData()->hasUrls() && actAdd_->isEnabled())
        event->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent* event)
{
    if (!actAdd_->isEnabled())
        return;
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths.push_back(S(url.toLocalFile()));
    }
    event->acceptProposedAction();
    // Probing may take long: let the file manager finish its drag first.
    QMetaObject::invokeMethod(
        this,
        [this, paths] {
            try {
                DropFiles(paths);
            } catch (const tl::Error& error) {
                ShowError(error.what());
            }
        },
        Qt::QueuedConnection);
}

} // namespace tl::ui
