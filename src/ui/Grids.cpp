#include "ui/Grids.h"

#include <algorithm>
#include <cstdlib>

#include "ui/ClassRegistry.h"
#include "ui/Internal.h"

namespace kv {

namespace {
constexpr int kSizingSlack = 2; // pixels either side of a border that start a resize
}

TCustomGrid::TCustomGrid(TComponent* owner) : TCustomControl(owner) {
    SetTabStop(true);
    SetColor(clWindow);
    SetBounds(0, 0, 320, 120);
}

void TCustomGrid::CreateParams(TCreateParams& p) {
    TCustomControl::CreateParams(p);
    p.style |= WS_HSCROLL | WS_VSCROLL;
    p.exStyle |= WS_EX_CLIENTEDGE;
    p.classStyle = CS_DBLCLKS;
}

void TCustomGrid::CreateWindowHandleDone() {
    UpdateScrollBars();
}

// ---- sizes ------------------------------------------------------------------------------------

void TCustomGrid::SetColCount(int v) {
    if (v < 1) v = 1;
    if (v == colCount_) return;
    colCount_ = v;
    if (fixedCols_ >= colCount_) fixedCols_ = colCount_ - 1;
    colWidths_.erase(colWidths_.lower_bound(colCount_), colWidths_.end());
    MoveCurrent(col_, row_, false);
    ClampTopLeft();
    UpdateScrollBars();
    Invalidate();
}

void TCustomGrid::SetRowCount(int v) {
    if (v < 1) v = 1;
    if (v == rowCount_) return;
    rowCount_ = v;
    if (fixedRows_ >= rowCount_) fixedRows_ = rowCount_ - 1;
    rowHeights_.erase(rowHeights_.lower_bound(rowCount_), rowHeights_.end());
    MoveCurrent(col_, row_, false);
    ClampTopLeft();
    UpdateScrollBars();
    Invalidate();
}

void TCustomGrid::SetFixedCols(int v) {
    if (v < 0) v = 0;
    if (v >= colCount_) throw Exception(u"Fixed column count must be less than column count");
    if (v == fixedCols_) return;
    fixedCols_ = v;
    leftCol_ = std::max(leftCol_, fixedCols_);
    MoveCurrent(col_, row_, false);
    ClampTopLeft();
    UpdateScrollBars();
    Invalidate();
}

void TCustomGrid::SetFixedRows(int v) {
    if (v < 0) v = 0;
    if (v >= rowCount_) throw Exception(u"Fixed row count must be less than row count");
    if (v == fixedRows_) return;
    fixedRows_ = v;
    topRow_ = std::max(topRow_, fixedRows_);
    MoveCurrent(col_, row_, false);
    ClampTopLeft();
    UpdateScrollBars();
    Invalidate();
}

void TCustomGrid::SetDefaultColWidth(int v) {
    if (v < 0) v = 0;
    defaultColWidth_ = v;
    colWidths_.clear();
    ClampTopLeft();
    UpdateScrollBars();
    Invalidate();
}

void TCustomGrid::SetDefaultRowHeight(int v) {
    if (v < 0) v = 0;
    defaultRowHeight_ = v;
    rowHeights_.clear();
    ClampTopLeft();
    UpdateScrollBars();
    Invalidate();
}

int TCustomGrid::ColWidths(int col) const {
    const auto it = colWidths_.find(col);
    return it == colWidths_.end() ? defaultColWidth_ : it->second;
}

void TCustomGrid::SetColWidths(int col, int width) {
    if (col < 0 || col >= colCount_) return;
    if (width < 0) width = 0;
    if (width == defaultColWidth_)
        colWidths_.erase(col);
    else
        colWidths_[col] = width;
    UpdateScrollBars();
    Invalidate();
}

int TCustomGrid::RowHeights(int row) const {
    const auto it = rowHeights_.find(row);
    return it == rowHeights_.end() ? defaultRowHeight_ : it->second;
}

void TCustomGrid::SetRowHeights(int row, int height) {
    if (row < 0 || row >= rowCount_) return;
    if (height < 0) height = 0;
    if (height == defaultRowHeight_)
        rowHeights_.erase(row);
    else
        rowHeights_[row] = height;
    UpdateScrollBars();
    Invalidate();
}

void TCustomGrid::SetGridLineWidth(int v) {
    gridLineWidth_ = std::max(0, v);
    Invalidate();
}

void TCustomGrid::SetOptions(TGridOptions v) {
    options_ = v;
    Invalidate();
}

void TCustomGrid::SetFixedColor(TColor c) {
    fixedColor_ = c;
    Invalidate();
}

void TCustomGrid::SetCtl3D(bool v) {
    ctl3D_ = v;
    Invalidate();
}

// ---- geometry ---------------------------------------------------------------------------------

// Columns and rows in view order: the fixed ones, then the scrollable ones from LeftCol/TopRow.
int TCustomGrid::FirstCol() const {
    return fixedCols_ > 0 ? 0 : leftCol_;
}
int TCustomGrid::NextCol(int c) const {
    return c + 1 == fixedCols_ ? std::max(c + 1, leftCol_) : c + 1;
}
int TCustomGrid::FirstRow() const {
    return fixedRows_ > 0 ? 0 : topRow_;
}
int TCustomGrid::NextRow(int r) const {
    return r + 1 == fixedRows_ ? std::max(r + 1, topRow_) : r + 1;
}

int TCustomGrid::FixedWidth() const {
    int x = 0;
    for (int c = 0; c < fixedCols_; ++c) x += ColWidths(c) + gridLineWidth_;
    return x;
}

int TCustomGrid::FixedHeight() const {
    int y = 0;
    for (int r = 0; r < fixedRows_; ++r) y += RowHeights(r) + gridLineWidth_;
    return y;
}

int TCustomGrid::VisibleRowCount() const {
    const int height = ClientHeight();
    int y = FixedHeight(), n = 0;
    for (int r = topRow_; r < rowCount_; ++r) {
        y += RowHeights(r);
        if (y > height) break;
        y += gridLineWidth_;
        ++n;
    }
    return n;
}

int TCustomGrid::VisibleColCount() const {
    const int width = ClientWidth();
    int x = FixedWidth(), n = 0;
    for (int c = leftCol_; c < colCount_; ++c) {
        x += ColWidths(c);
        if (x > width) break;
        x += gridLineWidth_;
        ++n;
    }
    return n;
}

int TCustomGrid::MaxTopRow() const {
    const int room = ClientHeight() - FixedHeight();
    int used = 0, top = rowCount_ - 1;
    for (int r = rowCount_ - 1; r >= fixedRows_; --r) {
        used += RowHeights(r) + (r == rowCount_ - 1 ? 0 : gridLineWidth_);
        if (used > room) break;
        top = r;
    }
    return std::max(top, fixedRows_);
}

int TCustomGrid::MaxLeftCol() const {
    const int room = ClientWidth() - FixedWidth();
    int used = 0, left = colCount_ - 1;
    for (int c = colCount_ - 1; c >= fixedCols_; --c) {
        used += ColWidths(c) + (c == colCount_ - 1 ? 0 : gridLineWidth_);
        if (used > room) break;
        left = c;
    }
    return std::max(left, fixedCols_);
}

RECT TCustomGrid::CellRect(int col, int row) const {
    RECT r{0, 0, 0, 0};
    if (col < 0 || col >= colCount_ || row < 0 || row >= rowCount_) return r;
    const int width = ClientWidth(), height = ClientHeight();
    int x = 0;
    if (col < fixedCols_) {
        for (int c = 0; c < col; ++c) x += ColWidths(c) + gridLineWidth_;
    } else {
        if (col < leftCol_) return r;
        x = FixedWidth();
        for (int c = leftCol_; c < col && x < width; ++c) x += ColWidths(c) + gridLineWidth_;
        if (x >= width) return r;
    }
    int y = 0;
    if (row < fixedRows_) {
        for (int k = 0; k < row; ++k) y += RowHeights(k) + gridLineWidth_;
    } else {
        if (row < topRow_) return r;
        y = FixedHeight();
        for (int k = topRow_; k < row && y < height; ++k) y += RowHeights(k) + gridLineWidth_;
        if (y >= height) return r;
    }
    return {x, y, x + ColWidths(col), y + RowHeights(row)};
}

bool TCustomGrid::MouseToCell(int x, int y, int& col, int& row) const {
    col = row = -1;
    if (x < 0 || y < 0) return false;
    for (int c = FirstCol(), cx = 0; c < colCount_ && cx <= x; c = NextCol(c)) {
        cx += ColWidths(c) + gridLineWidth_;
        if (x < cx) {
            col = c;
            break;
        }
    }
    for (int r = FirstRow(), cy = 0; r < rowCount_ && cy <= y; r = NextRow(r)) {
        cy += RowHeights(r) + gridLineWidth_;
        if (y < cy) {
            row = r;
            break;
        }
    }
    return col >= 0 && row >= 0;
}

// ---- current cell and scrolling ---------------------------------------------------------------

bool TCustomGrid::SelectCell(int col, int row) {
    bool can = true;
    if (OnSelectCell && !IsDestroying()) OnSelectCell(this, col, row, can);
    return can;
}

void TCustomGrid::MoveCurrent(int col, int row, bool show) {
    col = std::clamp(col, std::min(fixedCols_, colCount_ - 1), colCount_ - 1);
    row = std::clamp(row, std::min(fixedRows_, rowCount_ - 1), rowCount_ - 1);
    if (col != col_ || row != row_) {
        if (show && !SelectCell(col, row)) return;
        if (options_ & goRowSelect)
            InvalidateRow(row_);
        else
            InvalidateCell(col_, row_);
        col_ = col;
        row_ = row;
        if (options_ & goRowSelect)
            InvalidateRow(row_);
        else
            InvalidateCell(col_, row_);
    }
    if (show) ScrollInView(col_, row_);
}

void TCustomGrid::ScrollInView(int col, int row) {
    const int oldTop = topRow_, oldLeft = leftCol_;
    if (row >= fixedRows_) {
        if (row < topRow_) {
            topRow_ = row;
        } else {
            const int room = ClientHeight() - FixedHeight();
            int used = 0, top = row;
            for (int r = row; r >= fixedRows_; --r) {
                used += RowHeights(r) + (r == row ? 0 : gridLineWidth_);
                if (used > room) break;
                top = r;
            }
            if (top > topRow_) topRow_ = top;
        }
    }
    if (col >= fixedCols_ && !(options_ & goRowSelect)) {
        if (col < leftCol_) {
            leftCol_ = col;
        } else {
            const int room = ClientWidth() - FixedWidth();
            int used = 0, left = col;
            for (int c = col; c >= fixedCols_; --c) {
                used += ColWidths(c) + (c == col ? 0 : gridLineWidth_);
                if (used > room) break;
                left = c;
            }
            if (left > leftCol_) leftCol_ = left;
        }
    }
    Scrolled(oldTop, oldLeft);
}

void TCustomGrid::ClampTopLeft() {
    topRow_ =
        std::clamp(topRow_, std::min(fixedRows_, rowCount_ - 1), std::max(fixedRows_, MaxTopRow()));
    leftCol_ = std::clamp(leftCol_, std::min(fixedCols_, colCount_ - 1),
                          std::max(fixedCols_, MaxLeftCol()));
}

void TCustomGrid::SetTopRow(int v) {
    const int oldTop = topRow_, oldLeft = leftCol_;
    topRow_ = v;
    ClampTopLeft();
    Scrolled(oldTop, oldLeft);
}

void TCustomGrid::SetLeftCol(int v) {
    const int oldTop = topRow_, oldLeft = leftCol_;
    leftCol_ = v;
    ClampTopLeft();
    Scrolled(oldTop, oldLeft);
}

void TCustomGrid::Scrolled(int oldTop, int oldLeft) {
    if (topRow_ == oldTop && leftCol_ == oldLeft) return;
    UpdateScrollBars();
    Invalidate();
    if (OnTopLeftChanged && !IsDestroying()) OnTopLeftChanged(this);
}

void TCustomGrid::UpdateScrollBars() {
    if (!HandleAllocated()) return;
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = std::max(0, rowCount_ - fixedRows_ - 1);
    si.nPage = static_cast<UINT>(std::max(1, VisibleRowCount()));
    si.nPos = topRow_ - fixedRows_;
    SetScrollInfo(Handle(), SB_VERT, &si, TRUE);
    si.nMax = std::max(0, colCount_ - fixedCols_ - 1);
    si.nPage = static_cast<UINT>(std::max(1, VisibleColCount()));
    si.nPos = leftCol_ - fixedCols_;
    SetScrollInfo(Handle(), SB_HORZ, &si, TRUE);
}

void TCustomGrid::BoundsChanged(bool moved, bool sized) {
    TCustomControl::BoundsChanged(moved, sized);
    if (sized) {
        ClampTopLeft();
        UpdateScrollBars();
    }
}

void TCustomGrid::InvalidateCell(int col, int row) {
    if (!HandleAllocated()) return;
    RECT r = CellRect(col, row);
    if (IsRectEmpty(&r)) return;
    r.right += gridLineWidth_;
    r.bottom += gridLineWidth_;
    InvalidateRect(Handle(), &r, FALSE);
}

void TCustomGrid::InvalidateRow(int row) {
    if (!HandleAllocated()) return;
    const RECT cell = CellRect(std::min(fixedCols_, colCount_ - 1), row);
    if (IsRectEmpty(&cell)) return;
    RECT r{0, cell.top, ClientWidth(), cell.bottom + gridLineWidth_};
    InvalidateRect(Handle(), &r, FALSE);
}

void TCustomGrid::InvalidateCol(int col) {
    if (!HandleAllocated()) return;
    const RECT cell = CellRect(col, std::min(fixedRows_, rowCount_ - 1));
    if (IsRectEmpty(&cell)) return;
    RECT r{cell.left, 0, cell.right + gridLineWidth_, ClientHeight()};
    InvalidateRect(Handle(), &r, FALSE);
}

// ---- painting ---------------------------------------------------------------------------------

void TCustomGrid::DrawCell(int col, int row, const RECT& rect, TGridDrawState state) {
    if (OnDrawCell && !IsDestroying()) OnDrawCell(this, col, row, rect, state);
}

void TCustomGrid::Paint() {
    TCanvas& canvas = Canvas();
    RECT clip;
    if (GetClipBox(canvas.Handle(), &clip) == ERROR) clip = ClientRect();
    const int width = ClientWidth(), height = ClientHeight();
    const bool focused = Focused();
    const TColor fixedLine = clBtnShadow, line = clSilver;
    const auto fill = [&](const RECT& r, TColor c) {
        canvas.Brush().SetStyle(bsSolid);
        canvas.Brush().SetColor(c);
        canvas.FillRect(r);
    };
    int y = 0;
    int lastX = 0;
    for (int row = FirstRow(); row < rowCount_ && y < height; row = NextRow(row)) {
        const int h = RowHeights(row);
        const bool fixedRow = row < fixedRows_;
        if (y + h + gridLineWidth_ > clip.top && y < clip.bottom) {
            int x = 0;
            for (int col = FirstCol(); col < colCount_ && x < width; col = NextCol(col)) {
                const int w = ColWidths(col);
                const bool fixed = fixedRow || col < fixedCols_;
                if (x + w + gridLineWidth_ > clip.left && x < clip.right) {
                    const RECT where{x, y, x + w, y + h};
                    TGridDrawState state = fixed ? gdFixed : 0;
                    if (!fixed) {
                        const bool current =
                            row == row_ && (col == col_ || (options_ & goRowSelect));
                        if (current) state |= gdSelected;
                        if (focused && row == row_ && col == col_) state |= gdFocused;
                    }
                    canvas.Font().Assign(Font());
                    if (defaultDrawing_) {
                        TColor back = Color();
                        if (fixed) {
                            back = fixedColor_;
                        } else if ((state & gdSelected) &&
                                   (!(state & gdFocused) ||
                                    (options_ & (goDrawFocusSelected | goRowSelect)))) {
                            back = clHighlight;
                            canvas.Font().SetColor(clHighlightText);
                        }
                        fill(where, back);
                    }
                    canvas.Brush().SetColor(fixed ? fixedColor_ : Color());
                    DrawCell(col, row, where, state);
                    if (defaultDrawing_ && (state & gdFocused) && !(options_ & goRowSelect))
                        canvas.DrawFocusRect(where);
                    if (gridLineWidth_ > 0) {
                        const bool vert =
                            fixed ? (options_ & goFixedVertLine) : (options_ & goVertLine);
                        const bool horz =
                            fixed ? (options_ & goFixedHorzLine) : (options_ & goHorzLine);
                        fill({x + w, y, x + w + gridLineWidth_, y + h + gridLineWidth_},
                             vert ? (fixed ? fixedLine : line) : (fixed ? fixedColor_ : Color()));
                        fill({x, y + h, x + w, y + h + gridLineWidth_},
                             horz ? (fixed ? fixedLine : line) : (fixed ? fixedColor_ : Color()));
                    }
                }
                x += w + gridLineWidth_;
            }
            lastX = x;
        }
        y += h + gridLineWidth_;
    }
    // The area beyond the last row and column.
    if (lastX < width) fill({lastX, 0, width, height}, Color());
    if (y < height) fill({0, y, width, height}, Color());
}

// ---- input ------------------------------------------------------------------------------------

int TCustomGrid::SizingColAt(int x, int y) const {
    if (!(options_ & goColSizing) || y >= FixedHeight()) return -1;
    int cx = 0;
    for (int c = FirstCol(); c < colCount_ && cx <= x + kSizingSlack; c = NextCol(c)) {
        cx += ColWidths(c);
        if (std::abs(x - cx) <= kSizingSlack) return c;
        cx += gridLineWidth_;
    }
    return -1;
}

int TCustomGrid::SizingRowAt(int x, int y) const {
    if (!(options_ & goRowSizing) || x >= FixedWidth()) return -1;
    int cy = 0;
    for (int r = FirstRow(); r < rowCount_ && cy <= y + kSizingSlack; r = NextRow(r)) {
        cy += RowHeights(r);
        if (std::abs(y - cy) <= kSizingSlack) return r;
        cy += gridLineWidth_;
    }
    return -1;
}

void TCustomGrid::KeyDown(WORD key) {
    const bool ctrl = (KeyboardShiftState() & ssCtrl) != 0;
    const int page = std::max(1, VisibleRowCount());
    switch (key) {
    case VK_UP:
        MoveCurrent(col_, row_ - 1, true);
        break;
    case VK_DOWN:
        MoveCurrent(col_, row_ + 1, true);
        break;
    case VK_LEFT:
        if (options_ & goRowSelect)
            SetLeftCol(leftCol_ - 1);
        else
            MoveCurrent(col_ - 1, row_, true);
        break;
    case VK_RIGHT:
        if (options_ & goRowSelect)
            SetLeftCol(leftCol_ + 1);
        else
            MoveCurrent(col_ + 1, row_, true);
        break;
    case VK_PRIOR:
        SetTopRow(topRow_ - page);
        MoveCurrent(col_, row_ - page, true);
        break;
    case VK_NEXT:
        SetTopRow(topRow_ + page);
        MoveCurrent(col_, row_ + page, true);
        break;
    case VK_HOME:
        if (ctrl)
            MoveCurrent(fixedCols_, fixedRows_, true);
        else
            MoveCurrent(fixedCols_, row_, true);
        break;
    case VK_END:
        if (ctrl)
            MoveCurrent(colCount_ - 1, rowCount_ - 1, true);
        else
            MoveCurrent(colCount_ - 1, row_, true);
        break;
    case VK_TAB:
        if (options_ & goTabs) {
            if (col_ + 1 < colCount_)
                MoveCurrent(col_ + 1, row_, true);
            else
                MoveCurrent(fixedCols_, row_ + 1, true);
        }
        break;
    default:
        break;
    }
}

LRESULT TCustomGrid::WndProc(UINT msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | ((options_ & goTabs) ? DLGC_WANTTAB : 0);
    case WM_KEYDOWN: {
        const LRESULT r = TCustomControl::WndProc(msg, w, l); // OnKeyDown first
        KeyDown(static_cast<WORD>(w));
        return r;
    }
    case WM_SIZE:
        ClampTopLeft();
        UpdateScrollBars();
        Invalidate();
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        if (options_ & goRowSelect)
            InvalidateRow(row_);
        else
            InvalidateCell(col_, row_);
        break;
    case WM_VSCROLL:
    case WM_HSCROLL: {
        const bool vert = msg == WM_VSCROLL;
        const int page = std::max(1, vert ? VisibleRowCount() : VisibleColCount());
        const int base = vert ? fixedRows_ : fixedCols_;
        int pos = vert ? topRow_ : leftCol_;
        switch (LOWORD(w)) {
        case SB_LINEUP:
            --pos;
            break;
        case SB_LINEDOWN:
            ++pos;
            break;
        case SB_PAGEUP:
            pos -= page;
            break;
        case SB_PAGEDOWN:
            pos += page;
            break;
        case SB_TOP:
            pos = base;
            break;
        case SB_BOTTOM:
            pos = vert ? rowCount_ : colCount_;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            // The 32-bit position: the message itself carries only 16 bits.
            SCROLLINFO si{};
            si.cbSize = sizeof si;
            si.fMask = SIF_TRACKPOS | SIF_POS;
            GetScrollInfo(Handle(), vert ? SB_VERT : SB_HORZ, &si);
            pos = base + (LOWORD(w) == SB_THUMBTRACK ? si.nTrackPos : si.nPos);
            if (LOWORD(w) == SB_THUMBTRACK && !(options_ & goThumbTracking)) return 0;
            break;
        }
        default:
            return 0;
        }
        if (vert)
            SetTopRow(pos);
        else
            SetLeftCol(pos);
        return 0;
    }
    case WM_MOUSEWHEEL: {
        const int delta = GET_WHEEL_DELTA_WPARAM(w);
        SetTopRow(topRow_ - delta / WHEEL_DELTA * 3);
        return 0;
    }
    case WM_SETCURSOR:
        if (LOWORD(l) == HTCLIENT) {
            POINT pt;
            GetCursorPos(&pt);
            ScreenToClient(Handle(), &pt);
            if (sizing_ == Sizing::Col || SizingColAt(pt.x, pt.y) >= 0) {
                ::SetCursor(LoadCursorW(nullptr, IDC_SIZEWE));
                return TRUE;
            }
            if (sizing_ == Sizing::Row || SizingRowAt(pt.x, pt.y) >= 0) {
                ::SetCursor(LoadCursorW(nullptr, IDC_SIZENS));
                return TRUE;
            }
        }
        break;
    case WM_LBUTTONDOWN: {
        const int x = static_cast<short>(LOWORD(l)), y = static_cast<short>(HIWORD(l));
        if (CanFocus() && !Focused()) SetFocus();
        if (int c = SizingColAt(x, y); c >= 0) {
            sizing_ = Sizing::Col;
            sizingIndex_ = c;
            sizingStart_ = ColWidths(c);
            sizingOrigin_ = x;
            SetCapture(Handle());
        } else if (int r = SizingRowAt(x, y); r >= 0) {
            sizing_ = Sizing::Row;
            sizingIndex_ = r;
            sizingStart_ = RowHeights(r);
            sizingOrigin_ = y;
            SetCapture(Handle());
        } else {
            int col, row;
            if (MouseToCell(x, y, col, row) && col >= fixedCols_ && row >= fixedRows_)
                MoveCurrent(col, row, true);
        }
        break;
    }
    case WM_MOUSEMOVE:
        if (sizing_ != Sizing::None) {
            const int x = static_cast<short>(LOWORD(l)), y = static_cast<short>(HIWORD(l));
            if (sizing_ == Sizing::Col)
                SetColWidths(sizingIndex_, std::max(0, sizingStart_ + x - sizingOrigin_));
            else
                SetRowHeights(sizingIndex_, std::max(0, sizingStart_ + y - sizingOrigin_));
        }
        break;
    case WM_LBUTTONUP:
        if (sizing_ != Sizing::None) {
            sizing_ = Sizing::None;
            ReleaseCapture();
        }
        break;
    case WM_CAPTURECHANGED:
        sizing_ = Sizing::None;
        break;
    default:
        break;
    }
    return TCustomControl::WndProc(msg, w, l);
}

namespace detail {
void RegisterGridClasses() {
    static const TNameTable kOptions = {{u"goFixedVertLine", goFixedVertLine},
                                        {u"goFixedHorzLine", goFixedHorzLine},
                                        {u"goVertLine", goVertLine},
                                        {u"goHorzLine", goHorzLine},
                                        {u"goRangeSelect", goRangeSelect},
                                        {u"goDrawFocusSelected", goDrawFocusSelected},
                                        {u"goRowSizing", goRowSizing},
                                        {u"goColSizing", goColSizing},
                                        {u"goRowMoving", goRowMoving},
                                        {u"goColMoving", goColMoving},
                                        {u"goEditing", goEditing},
                                        {u"goTabs", goTabs},
                                        {u"goRowSelect", goRowSelect},
                                        {u"goAlwaysShowEditor", goAlwaysShowEditor},
                                        {u"goThumbTracking", goThumbTracking}};
    RegisterComponentClass<TCustomGrid>(u"TCustomControl")
        .Int(u"ColCount", [](TCustomGrid& g, int v) { g.SetColCount(v); })
        .Int(u"RowCount", [](TCustomGrid& g, int v) { g.SetRowCount(v); })
        .Int(u"FixedCols", [](TCustomGrid& g, int v) { g.SetFixedCols(v); })
        .Int(u"FixedRows", [](TCustomGrid& g, int v) { g.SetFixedRows(v); })
        .Int(u"DefaultColWidth", [](TCustomGrid& g, int v) { g.SetDefaultColWidth(v); })
        .Int(u"DefaultRowHeight", [](TCustomGrid& g, int v) { g.SetDefaultRowHeight(v); })
        .Int(u"GridLineWidth", [](TCustomGrid& g, int v) { g.SetGridLineWidth(v); })
        .Set(u"Options", kOptions, [](TCustomGrid& g, unsigned v) { g.SetOptions(v); })
        .Color(u"FixedColor", [](TCustomGrid& g, TColor v) { g.SetFixedColor(v); })
        .Bool(u"Ctl3D", [](TCustomGrid& g, bool v) { g.SetCtl3D(v); })
        .Bool(u"DefaultDrawing", [](TCustomGrid& g, bool v) { g.SetDefaultDrawing(v); })
        .Event<void(TObject*, int, int, const RECT&, TGridDrawState)>(u"OnDrawCell",
                                                                      &TCustomGrid::OnDrawCell)
        .Event<void(TObject*, int, int, bool&)>(u"OnSelectCell", &TCustomGrid::OnSelectCell)
        .Event<void(TObject*)>(u"OnTopLeftChanged", &TCustomGrid::OnTopLeftChanged)
        .Ignore({u"ScrollBars", u"DrawingStyle", u"BorderStyle"});
    RegisterComponentClass<TDrawGrid>(u"TCustomGrid");
}
} // namespace detail

} // namespace kv
