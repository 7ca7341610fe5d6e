#include "app/TKolvaneGrid.h"

TKolvaneGrid::TKolvaneGrid(kv::TComponent* owner, bool titleFlag)
    : TDrawGrid(owner), Model(titleFlag) {
    SetOptions(kv::goFixedVertLine | kv::goFixedHorzLine | kv::goVertLine | kv::goHorzLine |
               kv::goRowSizing | kv::goColSizing);
    SetColCount(3);
    SetFixedCols(2);
    SetRowCount(2);
    SetFixedRows(1);
    SetColWidths(0, 20);
    SetColWidths(1, 20);
    UpdateGrid();
}

TKolvaneGrid::~TKolvaneGrid() = default;

void TKolvaneGrid::UpdateGrid() {
    updatePending_ = false;
    lastUpdate_ = GetTickCount();
    SetRowCount(Model.GetRowCount());
    SetFixedRows(Model.GetFixedRowCount());
    Invalidate();
    const RECT lastRow = CellRect(0, RowCount() - 1);
    lastRowInView_ = !IsRectEmpty(&lastRow);
}

void TKolvaneGrid::AddRows(const std::vector<JoinedRow>& batch) {
    Model.AddRows(batch);
    if (Model.GetColCount() != ColCount()) SetColCount(Model.GetColCount());
    // A new row count redraws the scroll bar at once (not by invalidation), which costs more
    // than a whole join step; while the new rows stay below the view that can wait.
    if (lastRowInView_ || GetTickCount() - lastUpdate_ >= kGatherMs)
        UpdateGrid();
    else
        updatePending_ = true;
}

void TKolvaneGrid::SetShowType(int type) {
    Model.SetShowType(type);
    UpdateGrid();
}

void TKolvaneGrid::SortBySide(int side) {
    Model.SortBySide(side);
    if (updatePending_)
        UpdateGrid();
    else
        Invalidate();
}

void TKolvaneGrid::SortByInfos(const std::vector<TCsvSorter::TSortInfo>& infos) {
    Model.SortByInfos(infos);
    if (updatePending_)
        UpdateGrid();
    else
        Invalidate();
}

std::u16string TKolvaneGrid::GetCellText(int row, int col) const {
    return Model.GetCellText(static_cast<uint32_t>(row), static_cast<uint32_t>(col));
}

TKolvaneGrid::TCellLook TKolvaneGrid::CellLook(int col, int row, kv::TGridDrawState state) const {
    const bool fixed = (state & kv::gdFixed) != 0;
    const bool selected = (state & kv::gdSelected) != 0;
    // Data cells (the title row too) keep their line breaks; the header and the row numbers
    // stand on one centred line.
    const bool dataCell = col >= 2 && row >= 1;
    return {fixed      ? FixedColor()
            : selected ? kv::clHighlight
                       : Color(),
            selected ? kv::clHighlightText : Font().Color(),
            DT_NOPREFIX | (dataCell ? DT_LEFT | DT_TOP : DT_CENTER | DT_VCENTER | DT_SINGLELINE)};
}

void TKolvaneGrid::DrawCell(int col, int row, const RECT& rect, kv::TGridDrawState state) {
    kv::TCanvas& canvas = Canvas();
    const bool fixed = (state & kv::gdFixed) != 0;
    const TCellLook look = CellLook(col, row, state);
    canvas.Brush().SetStyle(kv::bsSolid);
    canvas.Brush().SetColor(look.brush);
    canvas.Font().SetColor(look.font);
    canvas.FillRect(rect);
    if (fixed && Ctl3D()) canvas.DrawEdge(rect, BDR_RAISEDINNER, BF_RECT);
    RECT text = rect;
    InflateRect(&text, -2, -2);
    const std::u16string value = GetCellText(row, col);
    if (value.empty()) return;
    canvas.Brush().SetStyle(kv::bsClear);
    canvas.DrawText(value, text, look.format);
}
