#include "join/TKolvane.h"

#include <algorithm>

namespace {

// FNV-1a over the key's code units; ordinal equality decides, the hash only narrows.
inline uint32_t HashKey(std::u16string_view key) {
    uint32_t h = 2166136261u;
    for (const char16_t ch : key) h = (h ^ ch) * 16777619u;
    return h;
}

inline bool Below(int value, int count) {
    return static_cast<uint32_t>(value) < static_cast<uint32_t>(count);
}

} // namespace

TKolvane::TKolvane(const TCsv* left, int leftKey, bool leftTitle, const TCsv* right, int rightKey,
                   bool rightTitle)
    : Left(left), LeftKey(leftKey), LeftTitle(leftTitle), Right(right), RightKey(rightKey),
      RightTitle(rightTitle), LeftCols(left->GetColCount()), RightCols(right->GetColCount()) {}

TKolvane::~TKolvane() = default;

bool TKolvane::HasTitleRow() const {
    return (LeftTitle && Left->GetRowCount() >= 1) || (RightTitle && Right->GetRowCount() >= 1);
}

bool TKolvane::Next() {
    const int leftRows = Left->GetRowCount();
    if (Step == 0) {
        Rows.clear();
        MakeKeyIndex();
        Step = (LeftTitle && leftRows >= 1) ? 2 : 1;
        if (MakeTitleRow()) return true;
    }
    if (static_cast<uint32_t>(leftRows) >= static_cast<uint32_t>(Step)) {
        JoinRow(Step - 1);
        ++Step;
        return true;
    }
    if (leftRows + 1 == Step) {
        MakeRestRows();
        ++Step;
        return true;
    }
    Rows.clear();
    return false;
}

int32_t TKolvane::FindGroup(std::u16string_view key, uint32_t hash) const {
    if (groups_.empty()) return -1;
    for (uint32_t slot = hash & mask_;; slot = (slot + 1) & mask_) {
        const Group& g = groups_[slot];
        if (g.first < 0) return -1;
        if (g.Holds(key, hash)) return static_cast<int32_t>(slot);
    }
}

void TKolvane::MakeKeyIndex() {
    groups_.clear();
    nextInGroup_.clear();
    indexed_.clear();
    if (!Below(RightKey, RightCols)) return;
    const int rightRows = Right->GetRowCount();
    const int first = RightTitle ? 1 : 0;
    if (first >= rightRows) return;
    uint32_t size = 16;
    while (size < static_cast<uint32_t>(rightRows - first) * 2u) size *= 2;
    groups_.assign(size, Group{0, -1, -1, 0, nullptr});
    mask_ = size - 1;
    nextInGroup_.assign(static_cast<size_t>(rightRows), -1);
    indexed_.assign(static_cast<size_t>(rightRows), 0);
    // Rows are indexed in order (a key's rows are chained in ascending order), each slot
    // fetched kAhead rows before its row is inserted.
    std::array<uint32_t, kAhead> hashes{};
    auto hashAhead = [&](int r) {
        if (r >= rightRows) return;
        const uint32_t h = HashKey(Right->CellView(r, RightKey));
        hashes[r % kAhead] = h;
        __builtin_prefetch(&groups_[h & mask_], 1);
    };
    for (int r = first; r < first + kAhead; ++r) hashAhead(r);
    for (int r = first; r < rightRows; ++r) {
        const uint32_t hash = hashes[r % kAhead];
        hashAhead(r + kAhead);
        const std::u16string_view key = Right->CellView(r, RightKey);
        uint32_t slot = hash & mask_;
        for (;; slot = (slot + 1) & mask_) {
            Group& g = groups_[slot];
            if (g.first < 0) {
                g = Group{hash, r, r, static_cast<uint32_t>(key.size()), key.data()};
                break;
            }
            if (g.Holds(key, hash)) {
                nextInGroup_[g.last] = r; // rows arrive in ascending order
                g.last = r;
                break;
            }
        }
        indexed_[r] = 1;
    }
}

bool TKolvane::MakeTitleRow() {
    Rows.clear();
    const int li = (LeftTitle && Left->GetRowCount() >= 1) ? 0 : -1;
    const int ri = (RightTitle && Right->GetRowCount() >= 1) ? 0 : -1;
    if (li < 0 && ri < 0) return false;
    Rows.emplace_back(li, ri, JoinedCells(Left, li, Right, ri));
    return true;
}

void TKolvane::JoinRow(int i) {
    Rows.clear();
    if (Below(LeftKey, LeftCols)) {
        const std::u16string_view key = Left->CellView(i, LeftKey);
        uint32_t hash;
        if (groups_.empty()) {
            hash = 0; // nothing to find
        } else {
            if (i < aheadBegin_ || i >= aheadEnd_) aheadBegin_ = aheadEnd_ = i;
            const int end = std::min(i + kAhead, Left->GetRowCount());
            for (; aheadEnd_ < end; ++aheadEnd_) {
                const uint32_t h = HashKey(Left->CellView(aheadEnd_, LeftKey));
                aheadHashes_[aheadEnd_ % kAhead] = h;
                __builtin_prefetch(&groups_[h & mask_]);
            }
            hash = aheadHashes_[i % kAhead];
            aheadBegin_ = i + 1;
            // Halfway there the slot of a later row is at hand: fetch the key text it points
            // to, which the compare reads next.
            if (i + kAhead / 2 < aheadEnd_) {
                const Group& later = groups_[aheadHashes_[(i + kAhead / 2) % kAhead] & mask_];
                if (later.first >= 0) __builtin_prefetch(later.keyText);
            }
        }
        const int32_t slot = FindGroup(key, hash);
        if (slot >= 0 && groups_[slot].last >= 0) {
            // The key's right rows go to this, the first left row with the key, and no other.
            for (int32_t j = groups_[slot].first; j >= 0; j = nextInGroup_[j]) {
                Rows.emplace_back(i, j, JoinedCells(Left, i, Right, j));
                indexed_[j] = 0;
            }
            groups_[slot].last = -1; // consumed
            return;
        }
    }
    Rows.emplace_back(i, -1, JoinedCells(Left, i, Right, -1));
}

void TKolvane::MakeRestRows() {
    Rows.clear();
    for (size_t j = 0; j < indexed_.size(); ++j)
        if (indexed_[j])
            Rows.emplace_back(-1, static_cast<int32_t>(j),
                              JoinedCells(Left, -1, Right, static_cast<int>(j)));
    // The index has done its work; give its memory back before the rows are ordered and saved.
    std::vector<Group>().swap(groups_);
    std::vector<int32_t>().swap(nextInGroup_);
    std::vector<uint8_t>().swap(indexed_);
}
