#pragma once
// The progress dialog of steps 2 to 6 (menu pages, XML files, menu videos,
// DVD authoring, burning) and of burning an existing VIDEO_TS folder.
#include <QDialog>
#include <functional>

#include "project/PipelineViews.h"

class QLabel;
class QPushButton;
class QTimer;

namespace tl {
class UserPrompts;
}

namespace tl::ui {

class GradientBar;
class QtPrompts;

class TfrmProgressOther : public QDialog, public tl::AuthoringView {
    Q_OBJECT
public:
    // prompts: where the Cancel question goes; nullptr means message boxes.
    explicit TfrmProgressOther(QWidget* parent = nullptr, tl::UserPrompts* prompts = nullptr);
    ~TfrmProgressOther() override;

    void SetPrompts(tl::UserPrompts* prompts);

    // Called after the user confirmed the Cancel question: the burner is to stop.
    std::function<void()> onCancelBurn;

    // tl::AuthoringView
    void SetupStep(int step) override;
    void SetCaption(const std::string& caption) override;
    void SetInfo(const std::string& info) override;
    void SetProgress(int percent) override;
    int Progress() const override;
    void StartElapsedTimer() override;
    tl::DialogResult ShowModal() override;
    void ShowModeless() override;
    void Close() override;
    bool IsShowing() const override;

    // Timer handlers, public so that they can be driven without waiting.
    void TimerTick();
    void tmTimeTick();
    void btnCancelClick();

    bool CreepingTimerActive() const;
    bool ElapsedTimerActive() const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void ResetCounter();

    std::unique_ptr<QtPrompts> ownPrompts_;
    tl::UserPrompts* prompts_ = nullptr;
    QLabel* lblInfo_ = nullptr;
    GradientBar* prgStatus_ = nullptr;
    QLabel* lblPercent_ = nullptr;
    QLabel* lblTime_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
    QTimer* timer_ = nullptr;
    QTimer* tmTime_ = nullptr;
    long long counter_ = 0;
    bool closingByProgram_ = false;
};

} // namespace tl::ui
