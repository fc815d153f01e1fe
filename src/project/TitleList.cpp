#include "project/TitleList.h"

#include <utility>

namespace tl {

std::size_t TitleList::Count() const
{
    return rows_.size();
}

const std::string& TitleList::Caption(std::size_t row) const
{
    return rows_.at(row).caption;
}

const TFileItem& TitleList::Item(std::size_t row) const
{
    return *rows_.at(row).item;
}

void TitleList::Append(std::unique_ptr<TFileItem> item)
{
    if (!item)
        return;
    Row row;
    row.caption = item->Folder + item->FileName;
    row.item = std::move(item);
    rows_.push_back(std::move(row));
    Reset();
}

bool TitleList::ContainsExact(const std::string& path) const
{
    for (const Row& row : rows_)
        if (row.caption == path)
            return true;
    return false;
}

bool TitleList::IsSelected(std::size_t row) const
{
    return row < rows_.size() && rows_[row].selected;
}

void TitleList::SetSelected(std::size_t row, bool selected)
{
    if (row < rows_.size())
        rows_[row].selected = selected;
}

void TitleList::ClearSelection()
{
    for (Row& row : rows_)
        row.selected = false;
}

int TitleList::FirstSelected() const
{
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].selected)
            return static_cast<int>(i);
    return -1;
}

std::size_t TitleList::SelectedCount() const
{
    std::size_t n = 0;
    for (const Row& row : rows_)
        if (row.selected)
            ++n;
    return n;
}

int TitleList::Focused() const
{
    return focused_;
}

void TitleList::SetFocused(int row)
{
    focused_ = (row >= 0 && static_cast<std::size_t>(row) < rows_.size()) ? row : -1;
}

void TitleList::SelectTitleRow(std::size_t index)
{
    if (rows_.empty())
        return;
    ClearSelection();
    std::size_t row = index < rows_.size() ? index : rows_.size() - 1;
    rows_[row].selected = true;
    focused_ = static_cast<int>(row);
    SelectionChanged();
    if (OnScrollTo)
        OnScrollTo(row, false);  // partly visible is enough
}

void TitleList::RemoveSelected()
{
    if (SelectedCount() == 0)
        return;
    // From the last row to the first, so the indexes still to visit stay valid;
    // the last deletion made is the lowest deleted index.
    std::size_t lowest = rows_.size();
    for (std::size_t i = rows_.size(); i-- > 0;) {
        if (!rows_[i].selected)
            continue;
        rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(i));
        lowest = i;
        if (focused_ == static_cast<int>(i))
            focused_ = -1;
        else if (focused_ > static_cast<int>(i))
            --focused_;
    }
    Reset();
    SelectTitleRow(lowest);
    if (rows_.empty())
        SelectionChanged();
}

void TitleList::Clear()
{
    rows_.clear();
    focused_ = -1;
    Reset();
    SelectionChanged();
}

void TitleList::MoveTitle(bool up)
{
    int first = FirstSelected();
    if (first < 0)
        return;
    std::size_t from = static_cast<std::size_t>(first);
    if (up && from == 0)
        return;
    if (!up && from + 1 >= rows_.size())
        return;
    // The row trades places with its neighbour and carries its record, its
    // selection and its focus with it.
    std::size_t to = up ? from - 1 : from + 1;
    std::swap(rows_[from], rows_[to]);
    if (focused_ == static_cast<int>(from))
        focused_ = static_cast<int>(to);
    else if (focused_ == static_cast<int>(to))
        focused_ = static_cast<int>(from);
    rows_[to].selected = true;
    Reset();
    SelectionChanged();
    if (OnScrollTo)
        OnScrollTo(to, true);
}

void TitleList::DropFocusedRow(int target, bool belowRows)
{
    if (focused_ < 0 || target < 0 || static_cast<std::size_t>(target) >= rows_.size())
        return;
    std::size_t from = static_cast<std::size_t>(focused_);
    // Position of the new row in the list as it is before the focused row goes.
    std::size_t insertAt = static_cast<std::size_t>(target) + (belowRows ? 1 : 0);
    std::size_t to = insertAt <= from ? insertAt : insertAt - 1;
    if (to == from)
        return;
    Row moving = std::move(rows_[from]);
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(from));
    rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(to), std::move(moving));
    focused_ = static_cast<int>(to);
    Reset();
    SelectionChanged();
}

void TitleList::Reset()
{
    if (OnReset)
        OnReset();
}

void TitleList::SelectionChanged()
{
    if (OnSelectionChanged)
        OnSelectionChanged();
}

} // namespace tl
