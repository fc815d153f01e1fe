// Title list operations: removal and the selection after it, moving a title up
// or down, drag reordering, and that each record travels with its row.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "project/TitleList.h"

namespace {

using tl::TFileItem;
using tl::TitleList;

// A list of n rows with captions "/v/t0.avi" .. and a record per row whose
// Format names the row, so records can be told apart after moves.
void Fill(TitleList& list, int n)
{
    for (int i = 0; i < n; ++i) {
        auto item = std::make_unique<TFileItem>();
        item->Folder = "/v/";
        item->FileName = "t" + std::to_string(i) + ".avi";
        item->Format = "F" + std::to_string(i);
        list.Append(std::move(item));
    }
}

// Row order as original row numbers, taken from the captions.
std::vector<int> Order(const TitleList& list)
{
    std::vector<int> order;
    for (std::size_t r = 0; r < list.Count(); ++r) {
        const std::string& c = list.Caption(r);
        order.push_back(std::stoi(c.substr(4, c.size() - 8)));
        // the record still belongs to the same row
        EXPECT_EQ(list.Item(r).Format, "F" + std::to_string(order.back()));
    }
    return order;
}

std::set<int> Selected(const TitleList& list)
{
    std::set<int> s;
    for (std::size_t r = 0; r < list.Count(); ++r)
        if (list.IsSelected(r))
            s.insert(static_cast<int>(r));
    return s;
}

void Select(TitleList& list, const std::set<int>& rows)
{
    list.ClearSelection();
    for (int r : rows)
        list.SetSelected(static_cast<std::size_t>(r), true);
}

struct Events {
    int resets = 0;
    int selections = 0;
    std::vector<std::pair<std::size_t, bool>> scrolls;
    void Attach(TitleList& list)
    {
        list.OnReset = [this] { ++resets; };
        list.OnSelectionChanged = [this] { ++selections; };
        list.OnScrollTo = [this](std::size_t row, bool fully) { scrolls.emplace_back(row, fully); };
    }
};

TEST(TitleList, AppendTakesCaptionFromFolderAndName)
{
    TitleList list;
    Fill(list, 2);
    EXPECT_EQ(list.Count(), 2u);
    EXPECT_EQ(list.Caption(1), "/v/t1.avi");
    EXPECT_TRUE(list.ContainsExact("/v/t1.avi"));
    EXPECT_FALSE(list.ContainsExact("/v/T1.avi"));  // case counts
    EXPECT_FALSE(list.ContainsExact("/v/t1.av"));
    EXPECT_EQ(list.FirstSelected(), -1);
    EXPECT_EQ(list.Focused(), -1);
}

struct RemoveCase {
    const char* name;
    int rows;
    std::set<int> selected;
    int focused;
    std::vector<int> remaining;
    int selectedAfter;  // -1: nothing selected (empty list)
};

TEST(TitleList, RemoveSelectedSelectsTheLowestDeletedIndex)
{
    const RemoveCase cases[] = {
        {"rows 2 and 4 of six", 6, {1, 3}, 3, {0, 2, 4, 5}, 1},
        {"last two of five", 5, {3, 4}, 4, {0, 1, 2}, 2},
        {"first row", 3, {0}, 0, {1, 2}, 0},
        {"every row", 3, {0, 1, 2}, 1, {}, -1},
        {"focus elsewhere", 5, {0, 2}, 4, {1, 3, 4}, 0},
    };
    for (const RemoveCase& c : cases) {
        SCOPED_TRACE(c.name);
        TitleList list;
        Fill(list, c.rows);
        Select(list, c.selected);
        list.SetFocused(c.focused);
        Events ev;
        ev.Attach(list);
        list.RemoveSelected();
        EXPECT_EQ(Order(list), c.remaining);
        if (c.selectedAfter < 0) {
            EXPECT_TRUE(Selected(list).empty());
            EXPECT_EQ(list.Focused(), -1);
        } else {
            EXPECT_EQ(Selected(list), std::set<int>{c.selectedAfter});
            EXPECT_EQ(list.Focused(), c.selectedAfter);
            ASSERT_FALSE(ev.scrolls.empty());
            EXPECT_EQ(ev.scrolls.back(), std::make_pair(static_cast<std::size_t>(c.selectedAfter), false));
        }
        EXPECT_GE(ev.resets, 1);
        EXPECT_GE(ev.selections, 1);
    }
}

TEST(TitleList, RemoveWithoutSelectionChangesNothing)
{
    TitleList list;
    Fill(list, 3);
    list.SetFocused(1);
    Events ev;
    ev.Attach(list);
    list.RemoveSelected();
    EXPECT_EQ(Order(list), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(list.Focused(), 1);
    EXPECT_EQ(ev.resets, 0);
}

TEST(TitleList, SelectTitleRow)
{
    TitleList empty;
    empty.SelectTitleRow(0);  // nothing to select, no crash
    EXPECT_EQ(empty.Focused(), -1);

    TitleList list;
    Fill(list, 4);
    Select(list, {0, 2});
    list.SelectTitleRow(1);
    EXPECT_EQ(Selected(list), std::set<int>{1});
    EXPECT_EQ(list.Focused(), 1);

    // The add command passes the row count: the last row is selected.
    list.SelectTitleRow(list.Count());
    EXPECT_EQ(Selected(list), std::set<int>{3});
    EXPECT_EQ(list.Focused(), 3);
    list.SelectTitleRow(1000);
    EXPECT_EQ(Selected(list), std::set<int>{3});
}

TEST(TitleList, ClearReleasesEveryRow)
{
    TitleList list;
    Fill(list, 3);
    list.SelectTitleRow(2);
    Events ev;
    ev.Attach(list);
    list.Clear();
    EXPECT_TRUE(list.Empty());
    EXPECT_EQ(list.Focused(), -1);
    EXPECT_EQ(list.FirstSelected(), -1);
    EXPECT_EQ(ev.resets, 1);
    // Adding the same path again gives a fresh row.
    Fill(list, 1);
    EXPECT_EQ(list.Caption(0), "/v/t0.avi");
}

struct MoveCase {
    const char* name;
    std::set<int> selected;
    int focused;
    bool up;
    std::vector<int> order;
    std::set<int> selectedAfter;
    int focusedAfter;
    bool moved;
};

TEST(TitleList, MoveTitleMovesTheFirstSelectedRowOnly)
{
    const MoveCase cases[] = {
        {"up on the first row", {0}, 0, true, {0, 1, 2, 3}, {0}, 0, false},
        {"down on the last row", {3}, 3, false, {0, 1, 2, 3}, {3}, 3, false},
        {"nothing selected", {}, 2, true, {0, 1, 2, 3}, {}, 2, false},
        {"second row up", {1}, 1, true, {1, 0, 2, 3}, {0}, 0, true},
        {"second row down", {1}, 1, false, {0, 2, 1, 3}, {2}, 2, true},
        {"rows 1 and 3 selected, down", {0, 2}, 0, false, {1, 0, 2, 3}, {1, 2}, 1, true},
        {"rows 2 and 4 selected, up", {1, 3}, 3, true, {1, 0, 2, 3}, {0, 3}, 3, true},
        {"focus on the neighbour follows it", {2}, 1, true, {0, 2, 1, 3}, {1}, 2, true},
    };
    for (const MoveCase& c : cases) {
        SCOPED_TRACE(c.name);
        TitleList list;
        Fill(list, 4);
        Select(list, c.selected);
        list.SetFocused(c.focused);
        Events ev;
        ev.Attach(list);
        list.MoveTitle(c.up);
        EXPECT_EQ(Order(list), c.order);
        EXPECT_EQ(Selected(list), c.selectedAfter);
        EXPECT_EQ(list.Focused(), c.focusedAfter);
        if (c.moved) {
            // the moved row is scrolled fully into view
            ASSERT_EQ(ev.scrolls.size(), 1u);
            EXPECT_EQ(ev.scrolls[0].first, static_cast<std::size_t>(*c.selectedAfter.begin()));
            EXPECT_TRUE(ev.scrolls[0].second);
            EXPECT_EQ(ev.resets, 1);
        } else {
            EXPECT_TRUE(ev.scrolls.empty());
            EXPECT_EQ(ev.resets, 0);
        }
    }
}

TEST(TitleList, MovedRowKeepsItsRecord)
{
    TitleList list;
    Fill(list, 3);
    const TFileItem* second = &list.Item(1);
    list.SelectTitleRow(1);
    list.MoveTitle(true);
    // The former second row is now title 0, with the very same record.
    EXPECT_EQ(&list.Item(0), second);
    EXPECT_EQ(list.Caption(0), "/v/t1.avi");
    EXPECT_EQ(list.Item(0).Format, "F1");
}

struct DropCase {
    const char* name;
    int focused;
    int target;
    bool below;
    std::vector<int> order;
};

TEST(TitleList, DropFocusedRowReorders)
{
    const DropCase cases[] = {
        {"last row dropped on row 2", 4, 1, false, {0, 4, 1, 2, 3}},
        {"first row dropped on row 4: placed before it", 0, 3, false, {1, 2, 0, 3, 4}},
        {"first row dropped on the last row", 0, 4, false, {1, 2, 3, 0, 4}},
        {"below the rows, last highlighted is the last row", 1, 4, true, {0, 2, 3, 4, 1}},
        {"below the rows, last highlighted is row 3", 0, 2, true, {1, 2, 0, 3, 4}},
        {"dropped on itself", 2, 2, false, {0, 1, 2, 3, 4}},
        {"dropped below itself", 2, 2, true, {0, 1, 2, 3, 4}},
        {"dropped on the next row", 2, 3, false, {0, 1, 2, 3, 4}},
        {"no focused row", -1, 0, false, {0, 1, 2, 3, 4}},
        {"target outside the list", 1, 9, false, {0, 1, 2, 3, 4}},
    };
    for (const DropCase& c : cases) {
        SCOPED_TRACE(c.name);
        TitleList list;
        Fill(list, 5);
        list.SetFocused(c.focused);
        const TFileItem* dragged = c.focused >= 0 ? &list.Item(static_cast<std::size_t>(c.focused)) : nullptr;
        list.DropFocusedRow(c.target, c.below);
        EXPECT_EQ(Order(list), c.order);
        if (dragged) {
            // Focus and record follow the dragged row.
            ASSERT_GE(list.Focused(), 0);
            EXPECT_EQ(&list.Item(static_cast<std::size_t>(list.Focused())), dragged);
        }
    }
}

TEST(TitleList, DroppedRowKeepsItsSelection)
{
    TitleList list;
    Fill(list, 4);
    Select(list, {3});
    list.SetFocused(3);
    list.DropFocusedRow(0, false);
    EXPECT_EQ(Order(list), (std::vector<int>{3, 0, 1, 2}));
    EXPECT_EQ(Selected(list), std::set<int>{0});
    EXPECT_EQ(list.Focused(), 0);
}

} // namespace
