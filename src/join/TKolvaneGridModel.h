#pragma once
// The rows of one join as the result grid shows them: a header row, an optional title row,
// then the rows of the chosen view (all, matched, left, right) in side order or sorted by sort
// conditions, behind two row-number columns. Interface thread.
#include <cstdint>
#include <string>
#include <vector>

#include "csv/TCsvSorter.h"
#include "join/TKolvane.h"

class TKolvaneGridModel {
public:
    // titleFlag: the first row that arrives is the title row. Pass TKolvane::HasTitleRow, so a
    // titled side without rows does not turn a data row into the title.
    explicit TKolvaneGridModel(bool titleFlag);

    void AddRows(const std::vector<JoinedRow>& batch);
    int GetRowCount() const;
    int GetFixedRowCount() const { return HasTitle ? 2 : 1; }
    int GetColCount() const { return ColCount; }
    void SetShowType(int type);
    int GetShowType() const { return ShowType; }
    std::u16string GetCellText(uint32_t row, uint32_t col) const;
    void SortBySide(int side);
    void SortByInfos(const std::vector<TCsvSorter::TSortInfo>& infos);

    // Grid rows 1..VisibleCount hold rows; this is the row behind grid row r (1-based).
    int GetVisibleCount() const { return VisibleCount; }
    const JoinedRow& VisibleRow(int gridRow) const { return Rows[RowIndex[gridRow - 1]]; }

    int32_t ColCount = 3;
    bool HasTitle;
    std::vector<std::u16string> ColumnTitles;
    std::vector<uint32_t> RowIndex;
    int32_t VisibleCount = 0;
    int32_t ShowType = 0;
    std::vector<JoinedRow> Rows;

private:
    void UpdateRowIndex();
    void SetColumnTitles(int count);
    void Filter(const std::vector<JoinedRow>& rows, size_t start, uint32_t base);
};
