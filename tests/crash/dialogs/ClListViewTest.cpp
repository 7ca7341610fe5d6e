#include "crash/dialogs/ClListView.h"

#include <gtest/gtest.h>

namespace kv::crash {
namespace {

// The rows of a call stack page: a thread block with a nested block, an empty row, a second block.
//   0  parent "Main"        1  a1        2  parent "Nested"   3  b1
//   4  (empty)              5  parent "Other"                  6  c1
struct CallStackRows {
    TListViewRows rows;
    CallStackRows() {
        rows.SetIndent({"    ", 16});
        rows.AppendRow({"A"}, -1, 1, true, "Main");
        rows.AppendRow({"a1", "10"}, 0, 0, false, "");
        rows.AppendRow({"B"}, -1, 0, true, "Nested");
        rows.AppendRow({"b1", "20"}, 3, 0, false, "");
        rows.AppendRow({"", " ", "\t"}, -1, 0, false, "");
        rows.AppendRow({"C"}, -1, 3, true, "Other");
        rows.AppendRow({"c1", "30"}, 2, 0, false, "");
    }
    PListViewItemRec operator[](int i) const { return rows.GetItem(i); }
};

TEST(ClListViewRows, BlankRows) {
    static constexpr struct {
        const char* label;
        std::initializer_list<const char*> values;
        bool blank;
    } kCases[] = {
        {"no cells", {}, true},
        {"empty cells", {"", ""}, true},
        {"blanks and controls", {" ", "\t\r\n"}, true},
        {"one text", {"", "x"}, false},
        {"text behind blanks", {"  x"}, false},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(IsBlankRow(TStrings(c.values.begin(), c.values.end())), c.blank) << c.label;
}

TEST(ClListViewRows, AddingRows) {
    const CallStackRows list;
    static constexpr struct {
        const char* label;
        int row;
        const char* firstCell;
        int widthStep;
        bool empty;
        int parentRow; // -1: none
    } kCases[] = {
        {"first parent", 0, "A", 0, false, -1},
        {"row of the first block", 1, "a1", 0, false, 0},
        {"nested parent is indented", 2, "    B", 1, false, 1},
        {"row of the nested block is indented", 3, "    b1", 1, false, 2},
        {"blank row is empty and stays as it is", 4, "", 0, true, 3},
        {"parent after an empty row has none", 5, "C", 0, false, -1},
        {"level restarts after the empty row", 6, "c1", 0, false, 5},
    };
    for (const auto& c : kCases) {
        const PListViewItemRec r = list[c.row];
        EXPECT_EQ(r->Cols[0], c.firstCell) << c.label;
        EXPECT_EQ(r->WidthStep, c.widthStep) << c.label;
        EXPECT_EQ(r->Empty, c.empty) << c.label;
        EXPECT_EQ(r->Parent, list.rows.GetItem(c.parentRow)) << c.label;
        EXPECT_TRUE(r->Expanded && r->Visible) << c.label;
    }
    EXPECT_EQ(list[1]->Bmp, 0);
    EXPECT_EQ(list[5]->Param, 3);
    EXPECT_EQ(list[2]->Header, "Nested");
    EXPECT_EQ(list.rows.Level(), 1);
}

TEST(ClListViewRows, ParentRowsAreNeverEmpty) {
    TListViewRows rows;
    const PListViewItemRec parent = rows.AppendRow({"", ""}, -1, 0, true, "Block");
    EXPECT_FALSE(parent->Empty);
    EXPECT_EQ(rows.AppendRow({"x"}, -1, 0, false, "")->Parent, parent);
}

TEST(ClListViewRows, FoldingAndUnfolding) {
    CallStackRows list;
    const auto r = [&](int i) { return list[i]; };
    // Each click in turn on the rows as they stand; the control shows rows 0-6 at the start.
    const struct {
        const char* label;
        int row, shownAt;
        std::vector<TListViewFoldStep> steps;
    } kClicks[] = {
        {"fold nested: its row leaves", 2, 2, {{false, r(3), 3}}},
        {"fold outer: shown rows leave, the empty row stays",
         0,
         0,
         {{false, r(1), 1}, {false, r(2), 1}}},
        {"unfold outer: the folded nested parent ends the walk",
         0,
         0,
         {{true, r(1), 1}, {true, r(2), 2}}},
        {"unfold nested", 2, 2, {{true, r(3), 3}}},
        {"fold the last block up to the list's end", 5, 5, {{false, r(6), 6}}},
        {"unfold it again", 5, 5, {{true, r(6), 6}}},
        {"a row that is no parent", 1, 1, {}},
        {"the empty row", 4, 4, {}},
    };
    for (const auto& c : kClicks)
        EXPECT_EQ(list.rows.ToggleFold(r(c.row), c.shownAt), c.steps) << c.label;

    // After the sequence everything is shown and unfolded again.
    for (int i = 0; i < list.rows.Count(); ++i) EXPECT_TRUE(r(i)->Visible) << i;
    EXPECT_TRUE(r(0)->Expanded && r(2)->Expanded && r(5)->Expanded);
}

TEST(ClListViewRows, FoldStateOfTheRows) {
    CallStackRows list;
    list.rows.ToggleFold(list[2], 2);
    list.rows.ToggleFold(list[0], 0);
    EXPECT_FALSE(list[0]->Expanded);
    EXPECT_FALSE(list[2]->Expanded);
    EXPECT_FALSE(list[1]->Visible || list[2]->Visible || list[3]->Visible);
    EXPECT_TRUE(list[4]->Visible && list[5]->Visible && list[6]->Visible);
    list.rows.ToggleFold(list[0], 0);
    EXPECT_TRUE(list[1]->Visible && list[2]->Visible);
    EXPECT_FALSE(list[3]->Visible) << "the nested parent keeps its rows folded";
}

TEST(ClListViewRows, ForeignRowsDoNotFold) {
    CallStackRows list;
    TListViewItemRec stranger;
    stranger.IsParent = true;
    EXPECT_TRUE(list.rows.ToggleFold(&stranger, 0).empty());
    EXPECT_FALSE(stranger.Expanded);
    EXPECT_EQ(list.rows.IndexOf(&stranger), -1);
    EXPECT_EQ(list.rows.IndexOf(nullptr), -1);
    EXPECT_EQ(list.rows.GetItem(7), nullptr);
    EXPECT_EQ(list.rows.GetItem(-1), nullptr);
}

TEST(ClListViewRows, FoldSign) {
    TListViewItemRec top, nested, above;
    top.IsParent = nested.IsParent = true;
    nested.Parent = &above;
    static constexpr struct {
        const char* label;
        bool nested;
        int x, y;
        bool on;
    } kCases[] = {
        {"top: top-left corner", false, 2, 2, true},
        {"top: bottom-right corner", false, 12, 12, true},
        {"top: left of it", false, 1, 7, false},
        {"top: right of it", false, 13, 7, false},
        {"top: above it", false, 7, 1, false},
        {"top: below it", false, 7, 13, false},
        {"nested: moved by the step", true, 16 + 2, 2, true},
        {"nested: right end", true, 16 + 12, 12, true},
        {"nested: where the top sign is", true, 7, 7, false},
        {"nested: right of it", true, 16 + 13, 7, false},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(IsOnFoldSign(c.nested ? nested : top, c.x, c.y, 16), c.on) << c.label;
}

TEST(ClListViewRows, IndentSpaces) {
    static constexpr struct {
        const char* label;
        int spaceWidth;
        const char* spaces;
        int width;
    } kCases[] = {
        {"exactly 14", 7, "  ", 14},
        {"first run past 14", 3, "     ", 15},
        {"one space is enough", 20, " ", 20},
        {"spaces without width stop at 64", 0,
         "                                                                ", 0},
    };
    for (const auto& c : kCases) {
        const TListViewIndent indent = MeasureIndent(
            [&](std::string_view s) { return static_cast<int>(s.size()) * c.spaceWidth; });
        EXPECT_EQ(indent.Spaces, c.spaces) << c.label;
        EXPECT_EQ(indent.Width, c.width) << c.label;
    }
}

TEST(ClListViewRows, CaptionColoursAndCellSpans) {
    static constexpr struct {
        const char* label;
        intptr_t param;
        uint32_t colour;
    } kColours[] = {
        {"running thread: navy", 1, 0x800000},
        {"running thread with the error line: maroon", 3, 0x000080},
        {"other thread: grey", 0, 0x606060},
        {"error line only: grey", 2, 0x606060},
    };
    for (const auto& c : kColours) EXPECT_EQ(ParentCaptionColour(c.param), c.colour) << c.label;

    static constexpr struct {
        const char* label;
        int left, right, column;
        TCellTextSpan span;
    } kSpans[] = {
        {"column 0 leaves room for the icon", 0, 100, 0, {20, 98}},
        {"other columns", 100, 180, 1, {106, 174}},
        {"scrolled", -30, 50, 0, {-10, 48}},
    };
    for (const auto& c : kSpans)
        EXPECT_EQ(CellTextSpan(c.left, c.right, c.column), c.span) << c.label;
}

TEST(ClListViewRows, DeleteAndClear) {
    CallStackRows list;
    list.rows.Delete(1); // a1 was the Parent of "Nested"
    EXPECT_EQ(list.rows.Count(), 6);
    EXPECT_EQ(list[1]->Header, "Nested");
    EXPECT_EQ(list[1]->Parent, nullptr);
    list.rows.Delete(5); // c1, the last row added
    list.rows.Delete(99);
    EXPECT_EQ(list.rows.Count(), 5);
    EXPECT_EQ(list.rows.AppendRow({"d1"}, -1, 0, false, "")->Parent, nullptr)
        << "the last row was deleted";

    list.rows.AppendRow({"P"}, -1, 0, true, "");
    list.rows.Clear();
    EXPECT_EQ(list.rows.Count(), 0);
    const PListViewItemRec first = list.rows.AppendRow({"P"}, -1, 0, true, "");
    EXPECT_EQ(first->Parent, nullptr);
    EXPECT_EQ(first->WidthStep, 0) << "the level starts again at 0";
    EXPECT_EQ(list.rows.Level(), 1);
}

} // namespace
} // namespace kv::crash
