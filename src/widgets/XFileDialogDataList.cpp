#include "widgets/XFileDialogDataList.h"

#include <algorithm>

namespace kv {

int TXFileDialogDataList::Add(std::unique_ptr<TXFileDialogDataListItem> item) {
    items_.push_back(std::move(item));
    return Count() - 1;
}

TXFileDialogDataListItem* TXFileDialogDataList::Get(int index) const {
    return index >= 0 && index < Count() ? items_[static_cast<size_t>(index)].get() : nullptr;
}

void TXFileDialogDataList::Put(int index, std::unique_ptr<TXFileDialogDataListItem> item) {
    if (index >= 0 && index < Count()) items_[static_cast<size_t>(index)] = std::move(item);
}

int TXFileDialogDataList::IndexOf(const TXFileDialogDataListItem* item) const {
    for (int i = 0; i < Count(); ++i)
        if (items_[static_cast<size_t>(i)].get() == item) return i;
    return -1;
}

void TXFileDialogDataList::Delete(int index) {
    if (index >= 0 && index < Count()) items_.erase(items_.begin() + index);
}

int TXFileDialogDataList::Remove(const TXFileDialogDataListItem* item) {
    const int index = IndexOf(item);
    Delete(index);
    return index;
}

void TXFileDialogDataList::Sort(const std::function<bool(const TXFileDialogDataListItem&,
                                                         const TXFileDialogDataListItem&)>& less) {
    std::stable_sort(items_.begin(), items_.end(),
                     [&less](const auto& a, const auto& b) { return less(*a, *b); });
}

} // namespace kv
