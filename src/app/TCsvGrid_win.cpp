#include "app/TCsvGrid.h"

#include <algorithm>

#include "base/Text.h"
#include "csv/TCsv.h"
#include "csv/TCsvUtility.h"

using namespace kv;

TCsvGrid::TCsvGrid(TComponent* owner) : TDrawGrid(owner) {
    SetOptions(goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRowSizing |
               goColSizing);
    SetFixedCols(1);
    Clear();
}

TCsvGrid::~TCsvGrid() = default;

void TCsvGrid::Clear() {
    CsvRowCount = 0;
    SetColCount(2);
    KeyCol = 0;
    SetRowCount(FirstLineIsTitle ? 3 : 2);
    // Every size back to the defaults, then the row-number column.
    SetDefaultColWidth(DefaultColWidth());
    SetDefaultRowHeight(DefaultRowHeight());
    SetColWidths(0, kRowNumberWidth);
}

void TCsvGrid::SetCsv(TCsv* csv) {
    Csv = csv;
    Clear();
    if (!Csv) {
        Invalidate();
        return;
    }
    const int fixed = FixedCols();
    SetColCount(std::min(std::max(Csv->GetColCount(), 1) + fixed, fixed + kMaxColumns));
    ColumnLetters = TCsvUtility::MakeColumnNames(ColCount(), u"", u"");
    CsvRowCount = Csv->GetRowCount();
    UpdateRowCount();
    Invalidate();
}

void TCsvGrid::SetFirstLineIsTitle(bool value) {
    FirstLineIsTitle = value;
    UpdateRowCount();
}

void TCsvGrid::UpdateRowCount() {
    const int fixedRows = FirstLineIsTitle ? 2 : 1;
    SetRowCount(std::max(fixedRows + 1, CsvRowCount + 1));
    SetFixedRows(fixedRows);
}

void TCsvGrid::SetKeyCol(int32_t column) {
    KeyCol = column;
    Invalidate();
}

std::vector<std::u16string> TCsvGrid::GetTitleRow() const {
    if (Csv && Csv->GetRowCount() > 0) return Csv->GetRow(0);
    return {};
}

TCsvGrid::TCellLook TCsvGrid::CellLook(int col, int row, TGridDrawState state) const {
    TCellLook look{};
    if (state & gdFixed)
        look.brush = FixedColor();
    else if (state & gdSelected)
        look.brush = clHighlight;
    else if (col == KeyCol + 1)
        look.brush = kKeyColor;
    else
        look.brush = Color();
    look.font = (state & gdSelected) ? clHighlightText : Font().Color();

    if (col == 0) {
        const int number = FirstLineIsTitle ? row - 1 : row;
        look.centred = true;
        if (number >= 1 && row <= CsvRowCount) look.text = IntToStr(number);
    } else if (row == 0) {
        const size_t index = static_cast<size_t>(col - FixedCols());
        look.centred = true;
        if (index < ColumnLetters.size()) look.text = ColumnLetters[index];
    } else if (Csv && row <= CsvRowCount) {
        look.text = Csv->GetCell(row - 1, col - FixedCols());
    }
    return look;
}

void TCsvGrid::DrawCell(int col, int row, const RECT& rect, TGridDrawState state) {
    const TCellLook look = CellLook(col, row, state);
    TCanvas& canvas = Canvas();
    canvas.Brush().SetStyle(bsSolid);
    canvas.Brush().SetColor(look.brush);
    canvas.Font().SetColor(look.font);
    RECT face = rect;
    if ((state & gdFixed) && Ctl3D()) {
        // The raised edge stays; the face inside it is filled.
        canvas.DrawEdge(rect, BDR_RAISEDINNER, BF_RECT);
        InflateRect(&face, -1, -1);
    }
    canvas.FillRect(face);
    if (look.text.empty()) return;
    RECT text = rect;
    InflateRect(&text, -2, -2);
    canvas.DrawText(look.text, text,
                    DT_NOPREFIX | DT_TOP | (look.centred ? DT_CENTER | DT_SINGLELINE : DT_LEFT));
}
