#pragma once
// A CSV file held in memory as a rectangular table of UTF-16 cells, filled once (from a file or
// a text) and then only read. Interface thread; the parser pumps window messages inside quoted
// fields through kv::PumpMessages.
//
// Storage: one text arena holding every cell's characters back to back, plus the end offset of
// each cell and, per row, where its cells and its text begin. No heap string per cell, so
// tables of millions of cells fit in a 32-bit process.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/ReservedBuffer.h"

class TCsv {
public:
    TCsv() = default;
    ~TCsv();
    TCsv(const TCsv&) = delete;
    TCsv& operator=(const TCsv&) = delete;

    // Reads, decodes and parses the whole file. False on any failure (missing or locked file,
    // read error, exhausted memory), with no message; the table is then left empty.
    bool LoadFromFile(const std::u16string& path);
    // False, nothing changed, when the table is not empty; else parses text and returns true.
    bool SetText(std::u16string_view text);
    void Clear();
    bool IsEmpty() const { return RowCount == 0 && ColCount == 0 && rows_.size() == 0; }

    int GetRowCount() const { return RowCount; }
    int GetColCount() const { return ColCount; }
    // Row and column compare as unsigned: anything outside the table gives "".
    std::u16string GetCell(int row, int col) const { return std::u16string(CellView(row, col)); }
    // A copy of the row's ColCount cells; row must be valid.
    std::vector<std::u16string> GetRow(int row) const;

    // The cell's text without copying; valid as long as the table is loaded.
    std::u16string_view CellView(int row, int col) const {
        if (static_cast<uint32_t>(row) >= static_cast<uint32_t>(RowCount) ||
            static_cast<uint32_t>(col) >= static_cast<uint32_t>(ColCount))
            return {};
        const RowInfo& r = rows_[row];
        const uint32_t n = rows_[row + 1].firstCell - r.firstCell;
        if (static_cast<uint32_t>(col) >= n) return {}; // squared-out cell
        const uint32_t begin = col == 0 ? r.textStart : cellEnds_[r.firstCell + col - 1];
        const uint32_t end = cellEnds_[r.firstCell + col];
        return std::u16string_view(text_.data() + begin, end - begin);
    }

    // Calls f with each of the row's ColCount cells in order (all empty for a row outside the
    // table); cheaper than CellView per cell when a whole row is walked.
    template <class F> void ForEachCell(int row, F&& f) const {
        uint32_t c = 0;
        if (static_cast<uint32_t>(row) < static_cast<uint32_t>(RowCount)) {
            const RowInfo& r = rows_[row];
            const uint32_t n = rows_[row + 1].firstCell - r.firstCell;
            const uint32_t* ends = cellEnds_.data() + r.firstCell;
            uint32_t begin = r.textStart;
            for (; c < n; ++c) {
                f(std::u16string_view(text_.data() + begin, ends[c] - begin));
                begin = ends[c];
            }
        }
        for (; c < static_cast<uint32_t>(ColCount); ++c) f(std::u16string_view());
    }

    // Hints that the row will be read soon, for walks in an order other than the file's: stage
    // 0 starts fetching the row's entry, stage 1 (some rows later, when the entry is at hand)
    // its cell ends and text. Reads nothing outside the table.
    void PrefetchRow(int row, int stage) const {
        if (static_cast<uint32_t>(row) >= static_cast<uint32_t>(RowCount)) return;
        const RowInfo* r = rows_.data() + row;
        if (stage == 0) {
            __builtin_prefetch(r);
            return;
        }
        __builtin_prefetch(cellEnds_.data() + r->firstCell);
        __builtin_prefetch(text_.data() + r->textStart);
    }

    int32_t RowCount = 0;
    int32_t ColCount = 0;

private:
    struct RowInfo {
        uint32_t firstCell; // index into cellEnds_
        uint32_t textStart; // arena offset of the row's first cell
    };
    class Tokenizer;

    bool Parse(std::u16string_view text);

    kv::ReservedBuffer<char16_t> text_;
    kv::ReservedBuffer<uint32_t> cellEnds_;
    // One entry per row plus a sentinel, so a row's cell count is the next firstCell minus its
    // own. Empty (no sentinel either) while the table is empty.
    kv::ReservedBuffer<RowInfo> rows_;
};
