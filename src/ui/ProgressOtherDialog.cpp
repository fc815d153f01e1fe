#include "ui/ProgressOtherDialog.h"

#include <QCloseEvent>
#include <QShowEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "authoring/AuthoringSteps.h"
#include "lang/Catalogue.h"
#include "ui/GradientBar.h"
#include "ui/Look.h"
#include "ui/QtPrompts.h"

namespace tl::ui {

TfrmProgressOther::TfrmProgressOther(QWidget* parent, tl::UserPrompts* prompts)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    SetPrompts(prompts);
    setObjectName("frmProgressOther");
    setFont(WindowFont());
    setFixedSize(534, 139);
    setWindowTitle("Burn DVD Step - ...");

    lblInfo_ = new QLabel(this);
    lblInfo_->setObjectName("lblInfo");
    QFont bold = font();
    bold.setBold(true);
    lblInfo_->setFont(bold);
    lblInfo_->setGeometry(9, 16, 515, 18);

    prgStatus_ = new GradientBar(this);
    prgStatus_->setObjectName("prgStatus");
    prgStatus_->setGeometry(6, 40, 515, 25);
    prgStatus_->setEndColor(QColor(35, 126, 216));
    prgStatus_->setBorderColor(QColor(68, 68, 62));

    lblPercent_ = new QLabel("0%", this);
    lblPercent_->setObjectName("lblPercent");
    lblPercent_->setAttribute(Qt::WA_TranslucentBackground);
    lblPercent_->setGeometry(249, 46, 40, 14);
    lblPercent_->raise();

    lblTime_ = new QLabel(this);
    lblTime_->setObjectName("lblTime");
    lblTime_->setGeometry(7, 72, 300, 16);

    auto* panel = new QFrame(this);
    panel->setObjectName("pnlBottom");
    panel->setGeometry(0, 90, 534, 49);
    auto* line = new QFrame(panel);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(0, 0, 534, 2);
    btnCancel_ = new QPushButton(Q(Text("STR_Cancel")), panel);
    btnCancel_->setObjectName("btnCancel");
    btnCancel_->setGeometry(404, 12, 119, 25);
    btnCancel_->setDefault(true);
    btnCancel_->setAutoDefault(true);
    connect(btnCancel_, &QPushButton::clicked, this, [this] { btnCancelClick(); });

    timer_ = new QTimer(this);
    timer_->setObjectName("Timer");
    timer_->setInterval(kCreepingIntervalMs);
    connect(timer_, &QTimer::timeout, this, [this] { TimerTick(); });
    tmTime_ = new QTimer(this);
    tmTime_->setObjectName("tmTime");
    tmTime_->setInterval(kElapsedIntervalMs);
    connect(tmTime_, &QTimer::timeout, this, [this] { tmTimeTick(); });

    // The percentage follows the bar only when its value really changes.
    connect(prgStatus_, &GradientBar::valueChanged, this,
            [this](int value) { lblPercent_->setText(Q(PercentText(value))); });

    ResetCounter();
}

TfrmProgressOther::~TfrmProgressOther() = default;

void TfrmProgressOther::SetPrompts(tl::UserPrompts* prompts)
{
    if (prompts) {
        prompts_ = prompts;
        return;
    }
    if (!ownPrompts_)
        ownPrompts_ = std::make_unique<QtPrompts>();
    prompts_ = ownPrompts_.get();
}

void TfrmProgressOther::SetupStep(int step)
{
    const AuthoringStepSetup* setup = FindAuthoringStep(step);
    if (!setup)
        return;
    setWindowTitle(Q(Text(setup->captionKey)));
    lblInfo_->setText(Q(Text(setup->infoKey)));
    btnCancel_->setText(Q(Text(kAuthoringCancelKey)));
    btnCancel_->setEnabled(setup->cancelEnabled);
    if (setup->creepingTimer)
        timer_->start();
    else
        timer_->stop();
}

void TfrmProgressOther::SetCaption(const std::string& caption)
{
    setWindowTitle(Q(caption));
}

void TfrmProgressOther::SetInfo(const std::string& info)
{
    lblInfo_->setText(Q(info));
}

void TfrmProgressOther::SetProgress(int percent)
{
    prgStatus_->setValue(percent);
}

int TfrmProgressOther::Progress() const
{
    return prgStatus_->value();
}

void TfrmProgressOther::StartElapsedTimer()
{
    tmTime_->start();
}

tl::DialogResult TfrmProgressOther::ShowModal()
{
    closingByProgram_ = false;
    exec();
    return tl::DialogResult::Ok;
}

void TfrmProgressOther::ShowModeless()
{
    closingByProgram_ = false;
    show();
}

void TfrmProgressOther::Close()
{
    closingByProgram_ = true;
    if (isModal() && isVisible())
        done(QDialog::Accepted);
    else
        hide();
}

bool TfrmProgressOther::IsShowing() const
{
    return isVisible();
}

void TfrmProgressOther::TimerTick()
{
    SetProgress(CreepingTick(prgStatus_->value()));
}

void TfrmProgressOther::tmTimeTick()
{
    ++counter_;
    lblTime_->setText(Q(ElapsedTimeText(counter_)));
}

void TfrmProgressOther::btnCancelClick()
{
    if (!btnCancel_->isEnabled())
        return;
    if (prompts_->Message(Text("STR_PROCESSOTHER_AbortProc"), Text("STR_Question"), MsgKind::Information,
                          MsgButtons::OkCancel) != MsgResult::Ok)
        return;
    lblInfo_->setText(Q(Text("STR_PROCESSOTHER_Aborting")));
    btnCancel_->setEnabled(false);
    if (onCancelBurn)
        onCancelBurn();
}

bool TfrmProgressOther::CreepingTimerActive() const
{
    return timer_->isActive();
}

bool TfrmProgressOther::ElapsedTimerActive() const
{
    return tmTime_->isActive();
}

void TfrmProgressOther::showEvent(QShowEvent* event)
{
    // Restoring from the task bar is not a new showing.
    if (!event->spontaneous())
        ResetCounter();
    QDialog::showEvent(event);
}

void TfrmProgressOther::closeEvent(QCloseEvent* event)
{
    // No close box: only the program closes this dialog.
    if (closingByProgram_)
        QDialog::closeEvent(event);
    else
        event->ignore();
}

void TfrmProgressOther::reject()
{
    // Esc presses Cancel, which only works while burning.
    if (btnCancel_->isEnabled())
        btnCancelClick();
}

void TfrmProgressOther::ResetCounter()
{
    counter_ = 0;
    lblTime_->setText(QString());
}

} // namespace tl::ui
