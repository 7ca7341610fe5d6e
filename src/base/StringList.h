#pragma once
// An ordered list of UTF-16 strings with the class library's comma-text rules, used for
// projects, settings, sort conditions and CSV output lines, and a letter-case-blind find for
// the settings history. Pure; any thread.
#include <string>
#include <string_view>
#include <vector>

namespace kv {

class TStringList {
public:
    TStringList() = default;
    explicit TStringList(std::vector<std::u16string> items) : items_(std::move(items)) {}

    int Count() const { return static_cast<int>(items_.size()); }
    const std::u16string& operator[](int i) const { return items_[static_cast<size_t>(i)]; }
    void Add(std::u16string s) { items_.push_back(std::move(s)); }
    void Insert(int index, std::u16string s) {
        items_.insert(items_.begin() + index, std::move(s));
    }
    void Delete(int index) { items_.erase(items_.begin() + index); }
    void Clear() { items_.clear(); }
    const std::vector<std::u16string>& Items() const { return items_; }

    // Index of the first item equal to s without regard to letter case (kv::SameText), or -1.
    int IndexOfText(std::u16string_view s) const;

    // Items joined by commas, each quoted when it holds U+0001..U+0020, a quote or a comma
    // (quotes doubled); a list of one empty item gives "\"\"".
    std::u16string GetCommaText() const;
    // Replaces the items by those read from comma text (see SplitCommaText).
    void SetCommaText(std::u16string_view text) { items_ = SplitCommaText(text); }

    // Appends one item by the writing rules above.
    static void AppendCommaTextItem(std::u16string& out, std::u16string_view item);
    // The reading rules: blanks (U+0001..U+0020) before an item are skipped; an item ends at a
    // comma or, outside quotes, at a blank; a quoted item runs to its closing quote, doubled
    // quotes giving one; a comma at the very end adds an empty item; U+0000 ends the text.
    static std::vector<std::u16string> SplitCommaText(std::u16string_view text);

private:
    std::vector<std::u16string> items_;
};

} // namespace kv
