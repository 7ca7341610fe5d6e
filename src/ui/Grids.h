#pragma once
// The owner-drawn grid: fixed rows and columns, default sizes with per-row and per-column
// sizes (kept sparse, so millions of rows cost nothing until resized), sizing with the mouse,
// a current cell moved by mouse and keyboard, scrolling by whole cells, and painting that asks
// DrawCell only for the cells in view. Changes repaint by invalidation. Interface thread only.
#include <windows.h>

#include <functional>
#include <map>

#include "ui/Control.h"

namespace kv {

using TGridOptions = unsigned;
constexpr TGridOptions goFixedVertLine = 1, goFixedHorzLine = 2, goVertLine = 4, goHorzLine = 8,
                       goRangeSelect = 16, goDrawFocusSelected = 32, goRowSizing = 64,
                       goColSizing = 128, goRowMoving = 256, goColMoving = 512, goEditing = 1024,
                       goTabs = 2048, goRowSelect = 4096, goAlwaysShowEditor = 8192,
                       goThumbTracking = 16384;
using TGridDrawState = unsigned;
constexpr TGridDrawState gdSelected = 1, gdFocused = 2, gdFixed = 4;

using TDrawCellEvent =
    std::function<void(TObject* sender, int col, int row, const RECT& rect, TGridDrawState state)>;
using TSelectCellEvent = std::function<void(TObject* sender, int col, int row, bool& canSelect)>;

class TCustomGrid : public TCustomControl {
    KV_CLASS(TCustomGrid)
public:
    explicit TCustomGrid(TComponent* owner);

    int ColCount() const { return colCount_; }
    void SetColCount(int v);
    int RowCount() const { return rowCount_; }
    void SetRowCount(int v);
    int FixedCols() const { return fixedCols_; }
    // Raises kv::Exception when not less than the column count.
    void SetFixedCols(int v);
    int FixedRows() const { return fixedRows_; }
    // Raises kv::Exception when not less than the row count.
    void SetFixedRows(int v);
    int DefaultColWidth() const { return defaultColWidth_; }
    // Also resets every column to the new width.
    void SetDefaultColWidth(int v);
    int DefaultRowHeight() const { return defaultRowHeight_; }
    // Also resets every row to the new height.
    void SetDefaultRowHeight(int v);
    int ColWidths(int col) const;
    void SetColWidths(int col, int width);
    int RowHeights(int row) const;
    void SetRowHeights(int row, int height);
    int GridLineWidth() const { return gridLineWidth_; }
    void SetGridLineWidth(int v);
    TGridOptions Options() const { return options_; }
    void SetOptions(TGridOptions v);
    TColor FixedColor() const { return fixedColor_; }
    void SetFixedColor(TColor c);
    // The three-dimensional look of fixed cells.
    bool Ctl3D() const { return ctl3D_; }
    void SetCtl3D(bool v);
    bool DefaultDrawing() const { return defaultDrawing_; }
    void SetDefaultDrawing(bool v) { defaultDrawing_ = v; }

    // The current cell.
    int Col() const { return col_; }
    int Row() const { return row_; }
    void SetCol(int v) { MoveCurrent(v, row_, true); }
    void SetRow(int v) { MoveCurrent(col_, v, true); }
    // The first scrollable row and column in view.
    int TopRow() const { return topRow_; }
    void SetTopRow(int v);
    int LeftCol() const { return leftCol_; }
    void SetLeftCol(int v);
    // Scrollable rows and columns wholly in view.
    int VisibleRowCount() const;
    int VisibleColCount() const;

    // The cell's rectangle in client coordinates (empty when out of view).
    RECT CellRect(int col, int row) const;
    // The cell under a client point; false outside the cells.
    bool MouseToCell(int x, int y, int& col, int& row) const;
    void InvalidateCell(int col, int row);
    void InvalidateRow(int row);
    void InvalidateCol(int col);

    TDrawCellEvent OnDrawCell;
    TSelectCellEvent OnSelectCell;
    TNotifyEvent OnTopLeftChanged;

protected:
    // Draws one cell on Canvas(); the default fires OnDrawCell. With DefaultDrawing the cell
    // is filled with its colour (fixed, selected or normal) first.
    virtual void DrawCell(int col, int row, const RECT& rect, TGridDrawState state);
    // Whether the current cell may move there.
    virtual bool SelectCell(int col, int row);
    void CreateParams(TCreateParams& p) override;
    void CreateWindowHandleDone() override;
    void Paint() override;
    void BoundsChanged(bool moved, bool sized) override;
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;

private:
    // Moves the current cell (clamped to the scrollable cells) and scrolls it into view.
    void MoveCurrent(int col, int row, bool show);
    void ScrollInView(int col, int row);
    void ClampTopLeft();
    int MaxTopRow() const;
    int MaxLeftCol() const;
    int FirstCol() const;
    int NextCol(int c) const;
    int FirstRow() const;
    int NextRow(int r) const;
    int FixedWidth() const;
    int FixedHeight() const;
    void UpdateScrollBars();
    void Scrolled(int oldTop, int oldLeft);
    void KeyDown(WORD key);
    // The column or row whose right/bottom border lies under x/y in the fixed area, or -1.
    int SizingColAt(int x, int y) const;
    int SizingRowAt(int x, int y) const;

    int colCount_ = 5, rowCount_ = 5, fixedCols_ = 1, fixedRows_ = 1;
    int defaultColWidth_ = 64, defaultRowHeight_ = 24;
    std::map<int, int> colWidths_, rowHeights_; // sizes that differ from the defaults
    int gridLineWidth_ = 1;
    TGridOptions options_ =
        goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect;
    TColor fixedColor_ = clBtnFace;
    bool ctl3D_ = true;
    bool defaultDrawing_ = true;
    int col_ = 1, row_ = 1, topRow_ = 1, leftCol_ = 1;
    enum class Sizing { None, Col, Row } sizing_ = Sizing::None;
    int sizingIndex_ = -1, sizingStart_ = 0, sizingOrigin_ = 0;
};

class TDrawGrid : public TCustomGrid {
    KV_CLASS(TDrawGrid)
public:
    explicit TDrawGrid(TComponent* owner) : TCustomGrid(owner) {}
};

} // namespace kv
