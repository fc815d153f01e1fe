#pragma once
// The title list: ordered rows, each owning its title record. Row order is
// title order. Selection and focus live here too, so that the list operations
// can be tested without a window; the front end shows the model in a view.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "project/FileItem.h"

namespace tl {

class TitleList {
public:
    std::size_t Count() const;
    bool Empty() const { return Count() == 0; }
    // Caption: the full path exactly as it was added (Folder + FileName).
    const std::string& Caption(std::size_t row) const;
    const TFileItem& Item(std::size_t row) const;

    // Appends a row owning item; its caption is item->Folder + item->FileName.
    void Append(std::unique_ptr<TFileItem> item);
    // Duplicate rule of the probe: true when a row's caption equals path exactly.
    bool ContainsExact(const std::string& path) const;

    // Selection and focus. These setters only record what the view shows
    // (the front end mirrors the user's clicks into them) and notify nobody.
    bool IsSelected(std::size_t row) const;
    void SetSelected(std::size_t row, bool selected);
    void ClearSelection();
    int FirstSelected() const;           // -1 when none
    std::size_t SelectedCount() const;
    int Focused() const;                 // -1 when none
    void SetFocused(int row);

    // List operations (behaviour of the add/remove/up/down/drag commands).
    void SelectTitleRow(std::size_t index);   // index past the end selects the last row
    void RemoveSelected();                    // then selects the lowest deleted index
    void Clear();
    void MoveTitle(bool up);                  // moves the first selected row
    // Drag reorder: moves the focused row to before row `target`, or after it
    // when `belowRows` is set (the drop point lies below the rows).
    void DropFocusedRow(int target, bool belowRows);

    // Observers for the front end, called by the operations above and by
    // Append (after the change; OnReset before OnSelectionChanged before OnScrollTo).
    // OnScrollTo: fully = false means partly visible is enough.
    std::function<void()> OnReset;                 // rows changed in any way
    std::function<void()> OnSelectionChanged;      // selection or focus changed
    std::function<void(std::size_t row, bool fully)> OnScrollTo;

private:
    struct Row {
        std::string caption;
        std::unique_ptr<TFileItem> item;
        bool selected = false;
    };
    std::vector<Row> rows_;
    int focused_ = -1;
    void Reset();
    void SelectionChanged();
};

} // namespace tl
