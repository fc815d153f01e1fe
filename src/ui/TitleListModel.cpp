#include "ui/TitleListModel.h"

#include <QPainter>
#include <QPixmap>

#include "ui/QtPrompts.h"

namespace tl::ui {
namespace {

// The one row image of the list (20 x 18): a small film strip.
QIcon MakeRowIcon()
{
    QPixmap pixmap(20, 18);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.fillRect(QRect(2, 2, 16, 14), QColor(68, 68, 62));
    painter.fillRect(QRect(5, 5, 10, 8), QColor(35, 126, 216));
    for (int y = 3; y < 16; y += 3) {
        painter.fillRect(QRect(3, y, 1, 1), Qt::white);
        painter.fillRect(QRect(16, y, 1, 1), Qt::white);
    }
    return QIcon(pixmap);
}

} // namespace

TitleListModel::TitleListModel(tl::TitleList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list), captions_{"File Name", "Format"}, rowIcon_(MakeRowIcon())
{
}

int TitleListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(list_.Count());
}

int TitleListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant TitleListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const auto row = static_cast<std::size_t>(index.row());
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        if (index.column() == 0)
            return Q(list_.Caption(row));
        return Q(list_.Item(row).Format);
    }
    if (role == Qt::DecorationRole && index.column() == 0)
        return rowIcon_;
    return {};
}

QVariant TitleListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 2)
        return captions_[section];
    return {};
}

Qt::ItemFlags TitleListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
}

Qt::DropActions TitleListModel::supportedDropActions() const
{
    return Qt::MoveAction;
}

void TitleListModel::SetColumnCaptions(const QString& first, const QString& second)
{
    captions_[0] = first;
    captions_[1] = second;
    emit headerDataChanged(Qt::Horizontal, 0, 1);
}

void TitleListModel::RowsReset()
{
    beginResetModel();
    endResetModel();
}

} // namespace tl::ui
