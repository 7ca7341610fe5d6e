#include "crash/dialogs/ClListView.h"

#include <algorithm>

namespace kv::crash {

namespace {

constexpr int kMinIndentPixels = 14;
// A font whose space has no width never reaches the indent; the run stops here.
constexpr size_t kMaxIndentSpaces = 64;

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) {
    return r | (g << 8) | (b << 16);
}

} // namespace

bool IsBlankRow(const TStrings& Values) {
    return std::all_of(Values.begin(), Values.end(),
                       [](const std::string& v) { return Trim(v).empty(); });
}

bool IsOnFoldSign(const TListViewItemRec& Row, int X, int Y, int32_t Step) {
    const int s = Row.Parent ? Step : 0;
    return X >= s + 2 && X <= s + 12 && Y >= 2 && Y <= 12;
}

TListViewIndent MeasureIndent(const std::function<int(std::string_view)>& Width) {
    TListViewIndent indent;
    do {
        indent.Spaces += ' ';
        indent.Width = Width(indent.Spaces);
    } while (indent.Width < kMinIndentPixels && indent.Spaces.size() < kMaxIndentSpaces);
    return indent;
}

uint32_t ParentCaptionColour(intptr_t Param) {
    switch (Param) {
    case 1:
        return Rgb(0, 0, 128);
    case 3:
        return Rgb(128, 0, 0);
    default:
        return Rgb(96, 96, 96);
    }
}

TCellTextSpan CellTextSpan(int ColumnLeft, int ColumnRight, int Column) {
    return Column == 0 ? TCellTextSpan{ColumnLeft + 20, ColumnRight - 6 + 4}
                       : TCellTextSpan{ColumnLeft + 6, ColumnRight - 6};
}

// ---- TListViewRows ----

PListViewItemRec TListViewRows::GetItem(int Index) const {
    return Index >= 0 && Index < Count() ? items_[static_cast<size_t>(Index)].get() : nullptr;
}

int TListViewRows::IndexOf(const TListViewItemRec* Item) const {
    const auto it = std::find_if(items_.begin(), items_.end(),
                                 [Item](const auto& owned) { return owned.get() == Item; });
    return it == items_.end() || !Item ? -1 : static_cast<int>(it - items_.begin());
}

void TListViewRows::Delete(int Index) {
    const PListViewItemRec row = GetItem(Index);
    if (!row) return;
    // Parent is only tested for presence, but a freed record must not stay reachable.
    for (const auto& other : items_)
        if (other->Parent == row) other->Parent = nullptr;
    if (FLastParent == row) FLastParent = nullptr;
    items_.erase(items_.begin() + Index);
}

void TListViewRows::Clear() {
    items_.clear();
    FLastParent = nullptr;
    FLevel = 0;
}

void TListViewRows::SetIndent(const TListViewIndent& Indent) {
    FSpaces = Indent.Spaces;
    FStep = Indent.Width;
}

PListViewItemRec TListViewRows::AppendRow(const TStrings& Values, int32_t Bmp, intptr_t Param,
                                          bool IsParent, const std::string& Header) {
    auto row = std::make_unique<TListViewItemRec>();
    row->Cols = Values;
    row->Bmp = Bmp;
    row->IsParent = IsParent;
    row->Param = Param;
    row->Expanded = true;
    row->Visible = true;
    row->Empty = !IsParent && IsBlankRow(Values);

    if (IsParent) ++FLevel;
    if (row->Empty) FLevel = 0;
    if (!row->Empty && FLevel >= 2) {
        row->WidthStep = 1;
        if (!row->Cols.empty()) row->Cols[0].insert(0, FSpaces);
    }

    row->Header = Header;
    row->Parent = FLastParent;
    FLastParent = row->Empty ? nullptr : row.get();

    items_.push_back(std::move(row));
    return items_.back().get();
}

std::vector<TListViewFoldStep> TListViewRows::ToggleFold(PListViewItemRec Row, int ParentAt) {
    std::vector<TListViewFoldStep> steps;
    const int index = IndexOf(Row);
    if (index < 0 || !Row->IsParent) return steps;

    Row->Expanded = !Row->Expanded;
    int at = ParentAt;
    for (int i = index + 1; i < Count(); ++i) {
        TListViewItemRec& r = *items_[static_cast<size_t>(i)];
        if (r.Empty) break;
        if (Row->Expanded) {
            ++at;
            // A row already shown keeps its place; only hidden rows go in.
            if (!r.Visible) {
                r.Visible = true;
                steps.push_back({true, &r, at});
            }
            if (r.IsParent && !r.Expanded) break;
        } else if (r.Visible) {
            // Rows under a folded nested parent are not in the control: only shown rows leave.
            r.Visible = false;
            steps.push_back({false, &r, ParentAt + 1});
        }
    }
    return steps;
}

} // namespace kv::crash
