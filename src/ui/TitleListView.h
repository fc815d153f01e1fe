#pragma once
// The report view of the title list: full-row multi-selection, no editing,
// rows reordered by dragging them within the list. Files dragged in from the
// file manager are left to the main window.
#include <QTreeView>

namespace tl::ui {

class TitleListModel;

class TitleListView : public QTreeView {
    Q_OBJECT
public:
    explicit TitleListView(QWidget* parent = nullptr);
    // Shows the model and keeps the view's selection and the core list's in step.
    void Attach(TitleListModel* model);
    // Copies the core list's selection and focus into the view.
    void PullSelection();
    // The row-drag steps, apart from the toolkit's drag machinery: a row
    // dragged over the point (viewport coordinates) is highlighted; the focused
    // row dropped at a point goes before the row there, or after the last
    // highlighted row when the point lies below the rows.
    void DragOverRowsAt(const QPoint& point);
    void DropFocusedRowAt(const QPoint& point);

signals:
    // Rows, selection or focus changed (from the list or from the user).
    void listChanged();
    // A double-click anywhere on the list, on a row or not.
    void listDoubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void PushSelection();
    TitleListModel* model_ = nullptr;
    bool syncing_ = false;
    int dropTarget_ = -1;  // the last row highlighted under the drag
};

} // namespace tl::ui
