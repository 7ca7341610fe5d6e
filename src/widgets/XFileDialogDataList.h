#pragma once
// The file dialog's rows: one item per listed file and the list that owns them (dropping an
// item frees it). Plain data; interface thread of the dialog.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kv {

class TXFileDialogDataListItem {
public:
    std::u16string FileFullPath;
    std::u16string FileName; // without its extension
    int32_t IconIndex = -1;  // -1 until fetched
    uint32_t FileAttrib = 0;
};

class TXFileDialogDataList {
public:
    TXFileDialogDataList() = default;
    TXFileDialogDataList(const TXFileDialogDataList&) = delete;
    TXFileDialogDataList& operator=(const TXFileDialogDataList&) = delete;

    int Count() const { return static_cast<int>(items_.size()); }
    // Takes the item; returns its index.
    int Add(std::unique_ptr<TXFileDialogDataListItem> item);
    // The item at index (not owned by the caller); null when index is out of range.
    TXFileDialogDataListItem* Get(int index) const;
    // Replaces the item at index, freeing the one there; out of range does nothing.
    void Put(int index, std::unique_ptr<TXFileDialogDataListItem> item);
    int IndexOf(const TXFileDialogDataListItem* item) const;
    // Frees the item at index (out of range does nothing).
    void Delete(int index);
    // Frees the item when it is in the list; returns its former index or -1.
    int Remove(const TXFileDialogDataListItem* item);
    void Clear() { items_.clear(); }
    // Stable sort by a "less" on items.
    void Sort(const std::function<bool(const TXFileDialogDataListItem&,
                                       const TXFileDialogDataListItem&)>& less);

private:
    std::vector<std::unique_ptr<TXFileDialogDataListItem>> items_;
};

} // namespace kv
