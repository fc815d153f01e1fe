#pragma once
// The main window: the title list, the template preview, the size bar and the
// burner panel, the commands of the menus and buttons, and the target of the
// production run's step messages.
#include <QMainWindow>
#include <QPixmap>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lang/LanguageList.h"
#include "project/PipelineViews.h"
#include "project/TitleList.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;

namespace tl {
class ProductionController;
class UiThread;
class UserPrompts;
}

namespace tl::ui {

class GradientBar;
class QtPrompts;
class QtUiThread;
class TfrmProgress;
class TfrmProgressOther;
class TitleListModel;
class TitleListView;

class TfrmMain : public QMainWindow, public tl::MainView {
    Q_OBJECT
public:
    // prompts: where message boxes go; nullptr means real message boxes.
    explicit TfrmMain(tl::UserPrompts* prompts = nullptr, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // tl::MainView
    void LockUserInterface(bool lock) override;
    void SetStatusText(const std::string& text) override;
    void PostPipelineMessage(tl::PipelineMessage message) override;

    // ---- hooks the production controller and the other windows connect ----
    // A pipeline message posted to this window arrives here.
    std::function<void(tl::PipelineMessage)> onPipelineMessage;
    // Commands whose behaviour lives outside this window; unset: nothing happens.
    std::function<void()> onBurn;
    std::function<void()> onSettings;
    std::function<void()> onHelp;
    std::function<void()> onChooseTemplate;
    std::function<void()> onAbout;
    std::function<void()> onQuickStart;
    std::function<void()> onOnlineResources;
    std::function<void()> onContactTechnicalSupport;
    std::function<void()> onErase;
    std::function<void()> onBurnVideoTS;
    std::function<void()> onRefreshWriters;
    // Called when the window becomes active after it was first shown, after the
    // template preview has been shown again.
    std::function<void()> onActivate;

    void SetPrompts(tl::UserPrompts* prompts);
    tl::UserPrompts& Prompts() { return *prompts_; }
    tl::UiThread& Ui();
    tl::TitleList& Titles() { return titles_; }
    TfrmProgress& ProgressDialog() { return *frmProgress_; }
    TfrmProgressOther& ProgressOtherDialog() { return *frmProgressOther_; }
    // The production run of the Burn command (owns the console runners).
    tl::ProductionController& Controller() { return *controller_; }

    // Enable rules of the list commands (run on idle).
    void aclMainUpdate();
    // The current catalogue texts into the window (start-up and language switch).
    void ApplyMainWindowTexts();
    void DrawSizeScale(bool lines);
    void UpdateSizeBar();
    // Preview of template TemplateIndex, fitted to imgViewer; empty when missing.
    void ShowTemplatePreview();
    void chkCreateNoMenuDVDClick();

    // The list commands.
    void actAddExecute();
    // What the add command does with the files the open dialog returned.
    void AddChosenFiles(const std::vector<std::string>& paths);
    // Files dropped from the file manager (folders are skipped).
    void DropFiles(const std::vector<std::string>& paths);
    void actRemoveExecute();
    void actClearExecute();
    void actUpExecute();
    void actDownExecute();
    void actPlaySourceExecute();
    void actChoosetemplateExecute();

    // The open dialog's filter in the toolkit's syntax.
    QString OpenFilter() const { return openFilter_; }
    QString StatusText(int panel) const;
    // The scale image under the size bar.
    const QPixmap& SizeScaleImage() const { return scaleImage_; }
    // Width and end colour of the size bar (width 0: hidden).
    int SizeBarWidth() const;
    QColor SizeBarColour() const;
    QMenu* LanguagesMenu() const { return mniMain_Settings_Languages_; }

    // A language error already shown at start-up is not shown again when the
    // window loads the language once more.
    static void SetStartupLanguageError(const std::string& message);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    struct MenuEntry {
        QAction* entry;
        QAction* command;
    };

    void BuildCommands();
    void BuildMenus();
    void BuildControls();
    void FormCreate();
    void CreateProductionController();
    void BuildLanguageMenu();
    void LanguageClicked(QAction* item);
    QAction* MakeCommand(const char* name, const QString& caption, const QKeySequence& shortcut,
                         void (TfrmMain::*handler)());
    QAction* AddEntry(QMenu* menu, const char* name, QAction* command);
    void SetEntryText(QAction* entry, const std::string& text);
    void BindButton(QPushButton* button, QAction* command);
    void RunHook(const std::function<void()>& hook);
    void ShowError(const std::string& text);

    std::unique_ptr<QtPrompts> ownPrompts_;
    tl::UserPrompts* prompts_ = nullptr;
    // Hands every box of the production run to whatever prompts_ is now.
    std::unique_ptr<tl::UserPrompts> runPrompts_;
    std::unique_ptr<tl::ProductionController> controller_;
    std::unique_ptr<QtUiThread> ui_;
    tl::TitleList titles_;
    std::optional<tl::TKelMultiLanguages> languages_;
    QString openFilter_;
    QPixmap scaleImage_;
    std::vector<MenuEntry> entries_;
    bool shownOnce_ = false;

    // commands
    QAction* actAdd_ = nullptr;
    QAction* actRemove_ = nullptr;
    QAction* actClear_ = nullptr;
    QAction* actUp_ = nullptr;
    QAction* actDown_ = nullptr;
    QAction* actBurn_ = nullptr;
    QAction* actExit_ = nullptr;
    QAction* actHelp_ = nullptr;
    QAction* actSettings_ = nullptr;
    QAction* actChoosetemplate_ = nullptr;
    QAction* actAbout_ = nullptr;
    QAction* actQuickStart_ = nullptr;
    QAction* actOnlineResources_ = nullptr;
    QAction* actContactTechnicalSupport_ = nullptr;
    QAction* actPlaySource_ = nullptr;
    QAction* ActErase_ = nullptr;
    QAction* actBurnVideoTS_ = nullptr;

    // menus
    QMenu* mnuMain_File_ = nullptr;
    QMenu* mnuMain_Settings_ = nullptr;
    QMenu* mnuMain_Help_ = nullptr;
    QMenu* mniMain_Settings_Languages_ = nullptr;
    QMenu* mnuListView_ = nullptr;

    // controls
    QWidget* client_ = nullptr;
    QWidget* PanelTop_ = nullptr;
    QPushButton* btnAdd_ = nullptr;
    QPushButton* btnRemove_ = nullptr;
    QPushButton* btnUp_ = nullptr;
    QPushButton* btnDown_ = nullptr;
    QPushButton* btnSettings_ = nullptr;
    QPushButton* btnHelp_ = nullptr;
    TitleListView* lsvFiles_ = nullptr;
    TitleListModel* model_ = nullptr;
    QWidget* pnlSizebar_ = nullptr;
    QLabel* imgSizeBar_ = nullptr;
    GradientBar* prgSize_ = nullptr;
    QWidget* pnlBurner_ = nullptr;
    QLabel* lblWriters_ = nullptr;
    QComboBox* cmbDevice_ = nullptr;
    QPushButton* btnRefresh_ = nullptr;
    QLabel* lblBurningMode_ = nullptr;
    QComboBox* cmbModes_ = nullptr;
    QLabel* lblSpeed_ = nullptr;
    QComboBox* cmbBurnSpeed_ = nullptr;
    QLabel* lblDiscLabel_ = nullptr;
    QLineEdit* txtDiscLabel_ = nullptr;
    QCheckBox* chkBufferProtect_ = nullptr;
    QCheckBox* ckbCloseDisc_ = nullptr;
    QCheckBox* chkEjectAfter_ = nullptr;
    QCheckBox* chkTestMode_ = nullptr;
    QCheckBox* ckbCDROMXA_ = nullptr;
    QCheckBox* ckbSOPC_ = nullptr;
    QWidget* pnlLeft_ = nullptr;
    QLabel* lblDVDMenuTemp_ = nullptr;
    QLabel* imgViewer_ = nullptr;
    QWidget* pnlChooseButton_ = nullptr;
    QPushButton* btnChooseAnotherTemplate_ = nullptr;
    QCheckBox* chkCreateNoMenuDVD_ = nullptr;
    QPushButton* btnBurn_ = nullptr;
    QLabel* statusPanel0_ = nullptr;
    QLabel* statusPanel1_ = nullptr;
    QTimer* idleTimer_ = nullptr;

    // dialogs
    TfrmProgressOther* frmProgressOther_ = nullptr;
    TfrmProgress* frmProgress_ = nullptr;
};

} // namespace tl::ui
