#include "ui/QtPrompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontMetrics>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>

#include "app/Globals.h"
#include "app/Utils.h"

namespace tl::ui {
namespace {

QMessageBox::Icon IconOf(MsgKind kind)
{
    switch (kind) {
    case MsgKind::Information: return QMessageBox::Information;
    case MsgKind::Warning: return QMessageBox::Warning;
    case MsgKind::Error: return QMessageBox::Critical;
    case MsgKind::Confirmation: return QMessageBox::Question;
    case MsgKind::None: break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ButtonsOf(MsgButtons buttons)
{
    return buttons == MsgButtons::OkCancel ? (QMessageBox::Ok | QMessageBox::Cancel)
                                           : QMessageBox::StandardButtons(QMessageBox::Ok);
}

} // namespace

QWidget* MessageOwner()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

MsgResult QtPrompts::Message(const std::string& text, const std::string& caption, MsgKind kind,
                             MsgButtons buttons)
{
    QMessageBox box(IconOf(kind), Q(caption), Q(text), ButtonsOf(buttons), MessageOwner());
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok ? MsgResult::Ok : MsgResult::Cancel;
}

MsgResult QtPrompts::ButtonCaptionDialog(const std::string& text, const std::string& caption, MsgKind kind,
                                         const std::vector<std::string>& captions, MsgButtons buttons)
{
    QMessageBox box(IconOf(kind), Q(caption), Q(text), ButtonsOf(buttons), MessageOwner());
    box.setDefaultButton(QMessageBox::Ok);
    // The standard buttons in their order, each with the caller's caption.
    std::vector<QAbstractButton*> order{box.button(QMessageBox::Ok)};
    if (buttons == MsgButtons::OkCancel)
        order.push_back(box.button(QMessageBox::Cancel));
    const QFontMetrics metrics(box.font());
    int width = 0;
    for (std::size_t i = 0; i < order.size() && i < captions.size(); ++i) {
        order[i]->setText(Q(captions[i]));
        width = std::max(width, metrics.horizontalAdvance(Q(captions[i])));
    }
    // One width for every button: the widest caption plus 16 pixels, at least 88.
    width = std::max(width + 16, 88);
    for (QAbstractButton* button : order)
        button->setFixedWidth(width);
    const int count = static_cast<int>(order.size());
    box.setMinimumWidth((width + 12) * count + 32);
    // Every kind sounds; the platform offers one sound only.
    QApplication::beep();
    return box.exec() == QMessageBox::Ok ? MsgResult::Ok : MsgResult::Cancel;
}

void QtPrompts::ShowError(const std::string& text)
{
    QMessageBox::critical(MessageOwner(), Q(ApplicationTitle.empty() ? kDefaultAppTitle : ApplicationTitle),
                          Q(text));
}

bool BrowseForFolder(QWidget* owner, std::string& folder, const std::string& title)
{
    const QString chosen = QFileDialog::getExistingDirectory(owner, Q(title), Q(folder));
    if (chosen.isEmpty())
        return false;
    folder = AddTrailingBackslash(S(chosen));
    return true;
}

void InstallBusyCursorHook()
{
    SetBusyCursorHook([](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    });
}

} // namespace tl::ui
