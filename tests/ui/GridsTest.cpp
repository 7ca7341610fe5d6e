#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <utility>

#include "UiTestSupport.h"
#include "ui/Application.h"
#include "ui/Forms.h"
#include "ui/Grids.h"

namespace {

// Counts and remembers what it was asked to draw.
class TCountingGrid : public kv::TDrawGrid {
    KV_CLASS(TCountingGrid)
public:
    explicit TCountingGrid(kv::TComponent* owner) : TDrawGrid(owner) {}
    int draws = 0;
    int maxRow = 0;
    std::map<std::pair<int, int>, kv::TGridDrawState> states;

protected:
    void DrawCell(int col, int row, const RECT& rect, kv::TGridDrawState state) override {
        ++draws;
        maxRow = std::max(maxRow, row);
        states[{col, row}] = state;
        Canvas().FillRect(rect);
    }
};

struct GridForm {
    GridForm() : form(kv::Application), grid(kv::Create<TCountingGrid>(&form)) {
        form.SetClientSize(400, 300);
        grid->SetParent(&form);
        grid->SetAlign(kv::alClient);
        grid->SetColCount(20);
        grid->SetRowCount(1000000);
        grid->SetOptions(grid->Options() | kv::goColSizing | kv::goRowSizing);
        form.Show();
        grid->SetFocus();
        kvtest::PumpPending();
    }
    ~GridForm() { form.Hide(); }
    // Repaints the whole grid now and returns how many cells were drawn.
    int Repaint() {
        grid->draws = 0;
        InvalidateRect(grid->Handle(), nullptr, FALSE);
        UpdateWindow(grid->Handle());
        return grid->draws;
    }
    void Key(WORD key) { SendMessageW(grid->Handle(), WM_KEYDOWN, key, 0); }
    kv::TForm form;
    TCountingGrid* grid;
};

int CeilDiv(int a, int b) {
    return (a + b - 1) / b;
}

TEST(Grid, DrawsOnlyTheVisibleCellsOfAMillionRows) {
    GridForm f;
    const int cols = CeilDiv(f.grid->ClientWidth(), f.grid->DefaultColWidth() + 1);
    const int rows = CeilDiv(f.grid->ClientHeight(), f.grid->DefaultRowHeight() + 1);
    ASSERT_GT(cols, 3);
    ASSERT_GT(rows, 3);
    EXPECT_EQ(f.Repaint(), cols * rows);
    f.grid->SetTopRow(999990);
    EXPECT_EQ(f.grid->TopRow(), f.grid->RowCount() - f.grid->VisibleRowCount());
    EXPECT_LE(f.Repaint(), cols * rows);
    EXPECT_EQ(f.grid->maxRow, 999999);
}

TEST(Grid, TellsDrawCellWhichCellsAreFixedAndSelected) {
    GridForm f;
    f.Repaint();
    const auto state = [&](int col, int row) { return f.grid->states[std::make_pair(col, row)]; };
    EXPECT_EQ(state(0, 0), kv::gdFixed);
    EXPECT_EQ(state(0, 3), kv::gdFixed);
    EXPECT_EQ(state(1, 1), kv::gdSelected | kv::gdFocused);
    EXPECT_EQ(state(2, 2), 0u);
}

TEST(Grid, KeyboardMovesTheCurrentCellAndScrollsByCells) {
    GridForm f;
    EXPECT_EQ(f.grid->Col(), 1);
    EXPECT_EQ(f.grid->Row(), 1);
    f.Key(VK_DOWN);
    f.Key(VK_RIGHT);
    EXPECT_EQ(f.grid->Row(), 2);
    EXPECT_EQ(f.grid->Col(), 2);
    f.Key(VK_UP);
    f.Key(VK_UP); // stays on the first scrollable row
    EXPECT_EQ(f.grid->Row(), 1);
    const int page = f.grid->VisibleRowCount();
    f.Key(VK_NEXT);
    EXPECT_EQ(f.grid->Row(), 1 + page);
    EXPECT_EQ(f.grid->TopRow(), 1 + page);
    f.Key(VK_END);
    EXPECT_EQ(f.grid->Col(), 19);
    EXPECT_EQ(f.grid->LeftCol() + f.grid->VisibleColCount() - 1, 19); // scrolled into view
    f.Key(VK_HOME);
    EXPECT_EQ(f.grid->Col(), 1);
    EXPECT_EQ(f.grid->LeftCol(), 1);
    // Moving below the view scrolls one row at a time.
    f.grid->SetRow(f.grid->TopRow() + page - 1);
    const int top = f.grid->TopRow();
    f.Key(VK_DOWN);
    EXPECT_EQ(f.grid->TopRow(), top + 1);
}

TEST(Grid, ScrollBarsScrollWithoutMovingTheCurrentCell) {
    GridForm f;
    SendMessageW(f.grid->Handle(), WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(f.grid->TopRow(), 2);
    SendMessageW(f.grid->Handle(), WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_EQ(f.grid->TopRow(), 2 + f.grid->VisibleRowCount());
    SendMessageW(f.grid->Handle(), WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(f.grid->TopRow() + f.grid->VisibleRowCount(), f.grid->RowCount());
    SendMessageW(f.grid->Handle(), WM_HSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(f.grid->LeftCol(), 2);
    EXPECT_EQ(f.grid->Row(), 1);
    EXPECT_EQ(f.grid->Col(), 1);
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    GetScrollInfo(f.grid->Handle(), SB_VERT, &si);
    EXPECT_EQ(si.nMax, f.grid->RowCount() - 2);
    EXPECT_EQ(si.nPos, f.grid->TopRow() - 1);
}

TEST(Grid, ColumnsAndRowsAreResizedWithTheMouse) {
    GridForm f;
    const RECT header = f.grid->CellRect(1, 0);
    SendMessageW(f.grid->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(header.right, 5));
    SendMessageW(f.grid->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(header.right + 30, 5));
    SendMessageW(f.grid->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(header.right + 30, 5));
    EXPECT_EQ(f.grid->ColWidths(1), 64 + 30);
    EXPECT_EQ(f.grid->ColWidths(2), 64);
    const RECT number = f.grid->CellRect(0, 2);
    SendMessageW(f.grid->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, number.bottom));
    SendMessageW(f.grid->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, number.bottom + 10));
    SendMessageW(f.grid->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, number.bottom + 10));
    EXPECT_EQ(f.grid->RowHeights(2), 24 + 10);
    const RECT moved = f.grid->CellRect(2, 3);
    EXPECT_EQ(moved.left, 64 + 1 + 94 + 1);
    EXPECT_EQ(moved.top, 2 * 25 + 34 + 1);
}

TEST(Grid, AClickSelectsTheCellAndADoubleClickIsReported) {
    GridForm f;
    int doubleClicks = 0;
    f.grid->OnDblClick = [&](kv::TObject*) { ++doubleClicks; };
    const RECT cell = f.grid->CellRect(3, 4);
    const LPARAM at = MAKELPARAM(cell.left + 5, cell.top + 5);
    SendMessageW(f.grid->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(f.grid->Handle(), WM_LBUTTONUP, 0, at);
    EXPECT_EQ(f.grid->Col(), 3);
    EXPECT_EQ(f.grid->Row(), 4);
    SendMessageW(f.grid->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    EXPECT_EQ(doubleClicks, 1);
}

TEST(Grid, FixedCountsMustStayBelowTheCounts) {
    kv::TForm form(kv::Application);
    auto* grid = kv::Create<kv::TDrawGrid>(&form);
    grid->SetColCount(3);
    EXPECT_THROW(grid->SetFixedCols(3), kv::Exception);
    grid->SetFixedCols(2);
    grid->SetRowCount(2);
    grid->SetFixedRows(1);
    EXPECT_EQ(grid->Col(), 2);
    EXPECT_EQ(grid->Row(), 1);
}

} // namespace
