#include "join/TKolvaneGridModel.h"

#include <algorithm>
#include <utility>

#include "base/Text.h"
#include "csv/TCsvUtility.h"

namespace {

inline bool Passes(int view, const JoinedRow& row) {
    const int32_t l = boost::get<0>(row), r = boost::get<1>(row);
    switch (view) {
    case 1:
        return l != -1 && r != -1;
    case 2:
        return l != -1;
    case 3:
        return r != -1;
    default:
        return true;
    }
}

// The order of LessByLeftRow (side 0) or LessByRightRow (side 1) as one 64-bit key: rows of
// that side by its index, ties by the other side's index, rows without that side last in the
// other side's order. Row indices are -1 or more, so + 1 keeps them unsigned.
inline uint64_t SideKey(const JoinedRow& row, int side) {
    const int32_t mine = side == 0 ? boost::get<0>(row) : boost::get<1>(row);
    const int32_t other = side == 0 ? boost::get<1>(row) : boost::get<0>(row);
    const uint64_t high = mine < 0 ? 0xFFFFFFFFull : static_cast<uint32_t>(mine);
    return (high << 32) | static_cast<uint32_t>(other + 1);
}

} // namespace

TKolvaneGridModel::TKolvaneGridModel(bool titleFlag) : HasTitle(titleFlag) {}

void TKolvaneGridModel::AddRows(const std::vector<JoinedRow>& batch) {
    if (batch.empty()) return;
    const bool first = Rows.empty();
    const size_t base = Rows.size();
    if (first) {
        // A join makes at most one row per row of both tables: room for them all at once
        // spares the copies (and the doubled peak memory) of a growing array.
        const JoinedCells& cells = boost::get<2>(batch.front());
        size_t most = batch.size();
        if (cells.LeftTable()) most += static_cast<size_t>(cells.LeftTable()->GetRowCount());
        if (cells.RightTable()) most += static_cast<size_t>(cells.RightTable()->GetRowCount());
        Rows.reserve(most);
        RowIndex.reserve(most);
    }
    Rows.insert(Rows.end(), batch.begin(), batch.end());
    size_t start = base;
    if (first) {
        const int n = static_cast<int>(boost::get<2>(batch.front()).size());
        SetColumnTitles(n);
        ColCount = std::max(n, 1) + 2;
        if (HasTitle) {
            RowIndex.push_back(0);
            start = 1;
        }
    }
    Filter(Rows, start, 0);
    VisibleCount = static_cast<int32_t>(RowIndex.size());
}

int TKolvaneGridModel::GetRowCount() const {
    return std::max(GetFixedRowCount(), static_cast<int>(VisibleCount)) + 1;
}

void TKolvaneGridModel::SetShowType(int type) {
    ShowType = (type < 0 || type > 3) ? 0 : type;
    UpdateRowIndex();
}

void TKolvaneGridModel::UpdateRowIndex() {
    RowIndex.clear();
    size_t start = 0;
    if (HasTitle && !Rows.empty()) {
        RowIndex.push_back(0);
        start = 1;
    }
    Filter(Rows, start, 0);
    VisibleCount = static_cast<int32_t>(RowIndex.size());
}

void TKolvaneGridModel::Filter(const std::vector<JoinedRow>& rows, size_t start, uint32_t base) {
    const int view = ShowType;
    for (size_t i = start; i < rows.size(); ++i)
        if (Passes(view, rows[i])) RowIndex.push_back(base + static_cast<uint32_t>(i));
}

void TKolvaneGridModel::SetColumnTitles(int count) {
    ColumnTitles = TCsvUtility::MakeColumnNames(count, u"", u"");
}

std::u16string TKolvaneGridModel::GetCellText(uint32_t row, uint32_t col) const {
    if (row == 0) {
        if (col == 0) return u"左";
        if (col == 1) return u"右";
        return col - 2 < ColumnTitles.size() ? ColumnTitles[col - 2] : std::u16string();
    }
    if (row > static_cast<uint32_t>(VisibleCount)) return {};
    const JoinedRow& r = Rows[RowIndex[row - 1]];
    if (col < 2) {
        const int32_t index = col == 0 ? boost::get<0>(r) : boost::get<1>(r);
        return index < 0 ? std::u16string() : kv::IntToStr(static_cast<long long>(index) + 1);
    }
    const JoinedCells& cells = boost::get<2>(r);
    return col - 2 < cells.size() ? std::u16string(cells[col - 2]) : std::u16string();
}

void TKolvaneGridModel::SortBySide(int side) {
    if (side != 0 && side != 1) return;
    // The title row (entry 0 with the title flag) stays first.
    const size_t start = (HasTitle && !RowIndex.empty() && RowIndex.front() == 0) ? 1 : 0;
    // The join emits its rows in left order already: then there is nothing to sort (the keys
    // are unique, so the sorted order is the one there is).
    bool sorted = true;
    for (size_t i = start + 1; i < RowIndex.size() && sorted; ++i)
        sorted = SideKey(Rows[RowIndex[i - 1]], side) < SideKey(Rows[RowIndex[i]], side);
    if (sorted) return;
    std::vector<std::pair<uint64_t, uint32_t>> keyed;
    keyed.reserve(RowIndex.size() - start);
    for (size_t i = start; i < RowIndex.size(); ++i)
        keyed.emplace_back(SideKey(Rows[RowIndex[i]], side), RowIndex[i]);
    std::sort(keyed.begin(), keyed.end());
    for (size_t i = 0; i < keyed.size(); ++i) RowIndex[start + i] = keyed[i].second;
}

void TKolvaneGridModel::SortByInfos(const std::vector<TCsvSorter::TSortInfo>& infos) {
    if (Rows.empty()) return;
    const auto from = Rows.begin() + (HasTitle ? 1 : 0);
    std::sort(from, Rows.end(), [&infos](const JoinedRow& a, const JoinedRow& b) {
        return TCsvSorter::Compare(infos, boost::get<2>(a), boost::get<2>(b));
    });
    UpdateRowIndex();
}
