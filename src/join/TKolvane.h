#pragma once
// The join engine: a full outer join of two loaded tables on one key column each, one left row
// per step, where a key's right rows go to the first left row with that key only and the right
// rows no left row took come last, in file order. Interface thread; borrows both tables.
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include <boost/tuple/tuple.hpp>

#include "csv/TCsv.h"

// The cells of a joined row: the left row's cells, then the right row's, empty for a missing
// side. They are read from the tables on demand rather than copied (the tables outlive the
// engine, the model and every window that shows the rows).
class JoinedCells {
public:
    JoinedCells() = default;
    JoinedCells(const TCsv* left, int leftRow, const TCsv* right, int rightRow)
        : left_(left), right_(right), leftRow_(leftRow), rightRow_(rightRow) {}

    size_t size() const {
        return static_cast<size_t>(left_ ? left_->GetColCount() : 0) +
               static_cast<size_t>(right_ ? right_->GetColCount() : 0);
    }
    std::u16string_view operator[](size_t k) const {
        const int leftCols = left_ ? left_->GetColCount() : 0;
        if (k < static_cast<size_t>(leftCols))
            return left_->CellView(leftRow_, static_cast<int>(k));
        return right_ ? right_->CellView(rightRow_, static_cast<int>(k - leftCols))
                      : std::u16string_view();
    }

    // The tables the cells come from (not owned; null for a side the row has no table for).
    const TCsv* LeftTable() const { return left_; }
    const TCsv* RightTable() const { return right_; }

    // TCsv::PrefetchRow for both rows.
    void Prefetch(int stage) const {
        if (left_) left_->PrefetchRow(leftRow_, stage);
        if (right_) right_->PrefetchRow(rightRow_, stage);
    }

    // Calls f with every cell in order.
    template <class F> void ForEach(F&& f) const {
        if (left_) left_->ForEachCell(leftRow_, f);
        if (right_) right_->ForEachCell(rightRow_, f);
    }

private:
    const TCsv* left_ = nullptr;  // not owned
    const TCsv* right_ = nullptr; // not owned
    int32_t leftRow_ = -1;        // -1: no left part (CellView then gives "")
    int32_t rightRow_ = -1;
};

// (left row index, right row index, cells); -1 where that side has no row.
using JoinedRow = boost::tuple<int32_t, int32_t, JoinedCells>;

class TKolvane {
public:
    TKolvane(const TCsv* left, int leftKey, bool leftTitle, const TCsv* right, int rightKey,
             bool rightTitle);
    ~TKolvane();
    TKolvane(const TKolvane&) = delete;
    TKolvane& operator=(const TKolvane&) = delete;

    int GetMax() const { return Left->GetRowCount() + 1; }
    int GetPosition() const { return Step; }
    // One step: true with a batch in Rows (possibly empty), false once finished.
    bool Next();
    std::vector<JoinedRow> GetRows() const { return Rows; }
    // The current batch without copying it.
    const std::vector<JoinedRow>& CurrentRows() const { return Rows; }
    // Whether the run starts with a title row (a titled side that has rows); known from the
    // start, so the result model can be told before the first batch arrives.
    bool HasTitleRow() const;

    std::vector<JoinedRow> Rows;
    const TCsv* Left; // not owned
    int32_t LeftKey;
    bool LeftTitle;
    const TCsv* Right; // not owned
    int32_t RightKey;
    bool RightTitle;
    int32_t LeftCols;
    int32_t RightCols;
    int32_t Step = 0;

private:
    // The key index: right rows grouped by key text (ordinal equality) in an open-addressing
    // table; a group is consumed by the first left row with its key.
    struct Group {
        uint32_t hash;
        int32_t first; // first right row of the key, -1 for a free slot
        int32_t last;  // last right row while the index is filled; -1 once consumed
        uint32_t keyLength;
        // The key cell's text in the right table: a probe then reads the table's text only.
        const char16_t* keyText;
        bool Holds(std::u16string_view key, uint32_t h) const {
            return hash == h && keyLength == key.size() &&
                   std::u16string_view(keyText, keyLength) == key;
        }
    };
    void MakeKeyIndex();
    bool MakeTitleRow();
    void JoinRow(int i);
    void MakeRestRows();
    int32_t FindGroup(std::u16string_view key, uint32_t hash) const;

    std::vector<Group> groups_;
    std::vector<int32_t> nextInGroup_; // right row -> next right row of the same key
    std::vector<uint8_t> indexed_;     // right row -> 1 while indexed and not yet consumed
    uint32_t mask_ = 0;
    // The index is far larger than the caches, so the slots of the next left rows' keys are
    // fetched while the rows before them are joined: the key hashes of left rows
    // [aheadBegin_, aheadEnd_) are in aheadHashes_[row % kAhead].
    static constexpr int kAhead = 8;
    std::array<uint32_t, kAhead> aheadHashes_{};
    int32_t aheadBegin_ = 0;
    int32_t aheadEnd_ = 0;
};
