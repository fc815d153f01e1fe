#pragma once
// The conversion dialog of step 1: the current title's and the batch's
// progress, times and the file being worked on, with a Cancel button.
#include <QDialog>
#include <functional>

#include "project/PipelineViews.h"

class QLabel;
class QPushButton;

namespace tl::ui {

class GradientBar;

class TfrmProgress : public QDialog, public tl::ConversionView {
    Q_OBJECT
public:
    explicit TfrmProgress(QWidget* parent = nullptr);
    ~TfrmProgress() override;

    // Asked whenever the user wants the dialog closed (Cancel, Esc, close box);
    // true lets it close with result Cancel. Without a hook it always closes.
    std::function<bool()> onCloseRequest;

    // tl::ConversionView
    void SetCaption(const std::string& caption) override;
    void SetLabel(tl::ConvLabel label, const std::string& text) override;
    void SetBar(tl::ConvBar bar, int percent) override;
    tl::DialogResult ShowModal() override;
    // Closes without asking: the program has decided.
    void Close(tl::DialogResult result) override;
    bool IsShowing() const override;

    QString LabelText(tl::ConvLabel label) const;
    int BarValue(tl::ConvBar bar) const;

protected:
    void reject() override;
    void changeEvent(QEvent* event) override;

private:
    QLabel* Label(tl::ConvLabel label) const;

    QLabel* lblSingleRemainingTimeText_ = nullptr;
    QLabel* lblStatus_ = nullptr;
    QLabel* lblBatch_ = nullptr;
    QLabel* lblRemainingTimeText_ = nullptr;
    QLabel* lblElapsedTimeText_ = nullptr;
    QLabel* lblEstimatedTimeText_ = nullptr;
    QLabel* lblWorking_ = nullptr;
    GradientBar* prgStatus_ = nullptr;
    GradientBar* prgBatch_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
    tl::DialogResult result_ = tl::DialogResult::None;
};

} // namespace tl::ui
