#include "ui/ProgressDialog.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QWindow>

#include "lang/Catalogue.h"
#include "ui/GradientBar.h"
#include "ui/Look.h"
#include "ui/QtPrompts.h"

namespace tl::ui {
namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry,
                  Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setAlignment(align);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

TfrmProgress::TfrmProgress(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName("frmProgress");
    setFont(WindowFont());
    setFixedSize(534, 257);
    setWindowTitle(Q(Text("STR_PROCESS_BurnDVDStep1")));

    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    MakeLabel(this, "lblSingleRemainingTime", Q(Text("STR_PROCESS_RemainingTime")), QRect(12, 12, 110, 16));
    lblSingleRemainingTimeText_ =
        MakeLabel(this, "lblSingleRemainingTimeText", "0:00:00", QRect(124, 12, 120, 16));
    lblStatus_ = MakeLabel(this, "lblStatus", Q(Text("STR_PROCESS_lblStatus")) + " 0%",
                           QRect(300, 12, 222, 16), right);

    prgStatus_ = new GradientBar(this);
    prgStatus_->setObjectName("prgStatus");
    prgStatus_->setGeometry(12, 32, 510, 22);
    prgBatch_ = new GradientBar(this);
    prgBatch_->setObjectName("prgBatch");
    prgBatch_->setGeometry(12, 60, 510, 22);

    lblBatch_ = MakeLabel(this, "lblBatch", Q(Text("STR_PROCESS_lblBatch")) + " 0%", QRect(300, 86, 222, 16),
                          right);
    MakeLabel(this, "lblRemainingTime", Q(Text("STR_PROCESS_RemainingTime")), QRect(12, 106, 110, 16));
    lblRemainingTimeText_ = MakeLabel(this, "lblRemainingTimeText", "0:00:00", QRect(124, 106, 120, 16));
    MakeLabel(this, "lblElapsedTime", Q(Text("STR_PROCESS_ElapsedTime")), QRect(12, 126, 110, 16));
    lblElapsedTimeText_ = MakeLabel(this, "lblElapsedTimeText", "0:00:00", QRect(124, 126, 120, 16));
    MakeLabel(this, "lblEstimatedTime", Q(Text("STR_PROCESS_EstimatedTime")), QRect(12, 146, 110, 16));
    lblEstimatedTimeText_ = MakeLabel(this, "lblEstimatedTimeText", "0:00:00", QRect(124, 146, 120, 16));
    lblWorking_ = MakeLabel(this, "lblWorking", Q(Text("STR_PROCESS_PleaseWait")), QRect(12, 172, 510, 16));

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(0, 204, 534, 2);
    btnCancel_ = new QPushButton(Q(Text("STR_Cancel")), this);
    btnCancel_->setObjectName("btnCancel");
    btnCancel_->setGeometry(404, 220, 119, 25);
    btnCancel_->setDefault(true);
    btnCancel_->setAutoDefault(true);
    connect(btnCancel_, &QPushButton::clicked, this, [this] { reject(); });
}

TfrmProgress::~TfrmProgress() = default;

void TfrmProgress::SetCaption(const std::string& caption)
{
    setWindowTitle(Q(caption));
}

QLabel* TfrmProgress::Label(tl::ConvLabel label) const
{
    switch (label) {
    case ConvLabel::SingleRemainingTime: return lblSingleRemainingTimeText_;
    case ConvLabel::Status: return lblStatus_;
    case ConvLabel::Batch: return lblBatch_;
    case ConvLabel::RemainingTime: return lblRemainingTimeText_;
    case ConvLabel::ElapsedTime: return lblElapsedTimeText_;
    case ConvLabel::EstimatedTime: return lblEstimatedTimeText_;
    case ConvLabel::Working: return lblWorking_;
    }
    return lblWorking_;
}

void TfrmProgress::SetLabel(tl::ConvLabel label, const std::string& text)
{
    Label(label)->setText(Q(text));
}

QString TfrmProgress::LabelText(tl::ConvLabel label) const
{
    return Label(label)->text();
}

void TfrmProgress::SetBar(tl::ConvBar bar, int percent)
{
    (bar == ConvBar::Status ? prgStatus_ : prgBatch_)->setValue(percent);
}

int TfrmProgress::BarValue(tl::ConvBar bar) const
{
    return (bar == ConvBar::Status ? prgStatus_ : prgBatch_)->value();
}

tl::DialogResult TfrmProgress::ShowModal()
{
    result_ = DialogResult::None;
    exec();
    return result_;
}

void TfrmProgress::Close(tl::DialogResult result)
{
    result_ = result;
    if (isVisible())
        done(result == DialogResult::Ok ? QDialog::Accepted : QDialog::Rejected);
}

bool TfrmProgress::IsShowing() const
{
    return isVisible();
}

void TfrmProgress::reject()
{
    // Cancel, Esc and the close box all end here.
    if (onCloseRequest && !onCloseRequest())
        return;
    result_ = DialogResult::Cancel;
    QDialog::reject();
}

void TfrmProgress::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    // Minimising the dialog minimises the whole application.
    if (event->type() == QEvent::WindowStateChange && isMinimized()) {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window != this && window->isVisible() && !window->isMinimized())
                window->showMinimized();
        }
    }
}

} // namespace tl::ui
