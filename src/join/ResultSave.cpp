#include "join/ResultSave.h"

#include "csv/TCsvSaveFile.h"

namespace {

// The data columns of one grid row (grid columns 2 and on), as the grid would show them.
class GridRowCells {
public:
    GridRowCells(const JoinedCells& cells, size_t count) : cells_(cells), count_(count) {}
    size_t size() const { return count_; }
    std::u16string_view operator[](size_t k) const {
        return k < cells_.size() ? cells_[k] : std::u16string_view();
    }
    template <class F> void ForEach(F&& f) const {
        cells_.ForEach(f);
        for (size_t k = cells_.size(); k < count_; ++k) f(std::u16string_view());
    }

private:
    const JoinedCells& cells_;
    size_t count_;
};

} // namespace

TResultSaveStatus SaveResultRows(const TKolvaneGridModel& model, const std::u16string& path,
                                 bool isNew, unsigned short codePage) {
    TCsvSaveFile file(path, u"\n", codePage);
    if (!file.Open(isNew)) return TResultSaveStatus::OpenFailed;
    // The title row goes into an existing file only when that file held no data yet.
    const bool skipTitle = !isNew && !file.AtStart && model.GetFixedRowCount() == 2;
    const size_t columns = static_cast<size_t>(model.GetColCount() - 2);
    // Only rows the grid shows: no line of empty cells when the join produced no data row.
    const int first = skipTitle ? 2 : 1;
    const int last = model.GetVisibleCount();
    const size_t count = last >= first ? static_cast<size_t>(last - first + 1) : 0;
    const auto rowAt = [&](size_t k) {
        return GridRowCells(boost::get<2>(model.VisibleRow(first + static_cast<int>(k))), columns);
    };
    // Right rows come in key order, not file order: fetching rows a few lines ahead overlaps
    // their memory latency with the writing of the lines before them.
    const auto prefetch = [&](size_t k, int stage) {
        boost::get<2>(model.VisibleRow(first + static_cast<int>(k))).Prefetch(stage);
    };
    if (!file.WriteRowsOf(count, rowAt, prefetch)) {
        file.Close();
        return TResultSaveStatus::WriteFailed;
    }
    const bool flushed = file.Flush();
    file.Close();
    return flushed ? TResultSaveStatus::Saved : TResultSaveStatus::WriteFailed;
}
