#include "ui/TitleListView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QItemSelection>
#include <QMimeData>

#include "ui/TitleListModel.h"

namespace tl::ui {

TitleListView::TitleListView(QWidget* parent) : QTreeView(parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(20, 18));
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    setContextMenuPolicy(Qt::CustomContextMenu);
    header()->setSectionsClickable(false);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    // The selection stays visible when the list loses the focus.
    QPalette pal = palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(pal);
}

void TitleListView::Attach(TitleListModel* model)
{
    model_ = model;
    setModel(model);
    setColumnWidth(0, 300);
    setColumnWidth(1, 100);
    tl::TitleList& list = model->List();
    list.OnReset = [this] {
        model_->RowsReset();
        PullSelection();
        emit listChanged();
    };
    list.OnSelectionChanged = [this] {
        PullSelection();
        emit listChanged();
    };
    list.OnScrollTo = [this](std::size_t row, bool fully) {
        const QModelIndex index = model_->index(static_cast<int>(row), 0);
        (void)fully;  // partly visible is enough either way
        scrollTo(index);
    };
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { PushSelection(); });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { PushSelection(); });
}

void TitleListView::PullSelection()
{
    if (syncing_ || !model_)
        return;
    syncing_ = true;
    const tl::TitleList& list = model_->List();
    QItemSelection selection;
    for (std::size_t row = 0; row < list.Count(); ++row) {
        if (list.IsSelected(row)) {
            const int r = static_cast<int>(row);
            selection.select(model_->index(r, 0), model_->index(r, 1));
        }
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    const int focused = list.Focused();
    selectionModel()->setCurrentIndex(focused >= 0 ? model_->index(focused, 0) : QModelIndex(),
                                      QItemSelectionModel::NoUpdate);
    syncing_ = false;
}

void TitleListView::PushSelection()
{
    if (syncing_ || !model_)
        return;
    syncing_ = true;
    tl::TitleList& list = model_->List();
    for (std::size_t row = 0; row < list.Count(); ++row) {
        const bool selected = selectionModel()->isRowSelected(static_cast<int>(row), QModelIndex());
        if (list.IsSelected(row) != selected)
            list.SetSelected(row, selected);
    }
    const QModelIndex current = selectionModel()->currentIndex();
    const int focused = current.isValid() ? current.row() : -1;
    if (list.Focused() != focused)
        list.SetFocused(focused);
    syncing_ = false;
    emit listChanged();
}

void TitleListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTreeView::mouseDoubleClickEvent(event);
    emit listDoubleClicked();
}

void TitleListView::DragOverRowsAt(const QPoint& point)
{
    const QModelIndex under = indexAt(point);
    if (under.isValid())
        dropTarget_ = under.row();
}

void TitleListView::DropFocusedRowAt(const QPoint& point)
{
    if (!model_)
        return;
    const QModelIndex under = indexAt(point);
    // A row dropped on another row goes before it; dropped below the rows, it
    // goes after the last row highlighted.
    if (under.isValid())
        model_->List().DropFocusedRow(under.row(), false);
    else if (dropTarget_ >= 0)
        model_->List().DropFocusedRow(dropTarget_, true);
    dropTarget_ = -1;
}

void TitleListView::dragEnterEvent(QDragEnterEvent* event)
{
    // Only rows of this list are dragged here; files from outside go to the window.
    if (event->source() != this) {
        event->ignore();
        return;
    }
    dropTarget_ = -1;
    QTreeView::dragEnterEvent(event);
}

void TitleListView::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->source() != this) {
        event->ignore();
        return;
    }
    QTreeView::dragMoveEvent(event);
    DragOverRowsAt(event->position().toPoint());
    event->acceptProposedAction();
}

void TitleListView::dragLeaveEvent(QDragLeaveEvent* event)
{
    QTreeView::dragLeaveEvent(event);
}

void TitleListView::dropEvent(QDropEvent* event)
{
    if (event->source() != this || !model_) {
        event->ignore();
        return;
    }
    DropFocusedRowAt(event->position().toPoint());
    // Copy, not move: the rows are already in place, the view must not remove any.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    stopAutoScroll();
    setState(QAbstractItemView::NoState);
    viewport()->update();
}

} // namespace tl::ui
