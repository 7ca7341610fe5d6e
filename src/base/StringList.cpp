#include "base/StringList.h"

#include <algorithm>

#include "base/Text.h"

namespace kv {
namespace {

inline bool IsBlank(char16_t ch) {
    return ch >= 0x01 && ch <= 0x20;
}
inline bool NeedsQuotes(char16_t ch) {
    return IsBlank(ch) || ch == u'"' || ch == u',';
}

} // namespace

int TStringList::IndexOfText(std::u16string_view s) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (SameText(items_[i], s)) return static_cast<int>(i);
    return -1;
}

std::u16string TStringList::GetCommaText() const {
    if (items_.size() == 1 && items_[0].empty()) return u"\"\"";
    std::u16string out;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (i > 0) out.push_back(u',');
        AppendCommaTextItem(out, items_[i]);
    }
    return out;
}

void TStringList::AppendCommaTextItem(std::u16string& out, std::u16string_view item) {
    if (std::none_of(item.begin(), item.end(), NeedsQuotes)) {
        out += item;
        return;
    }
    out.push_back(u'"');
    for (const char16_t ch : item) {
        if (ch == u'"') out.push_back(u'"');
        out.push_back(ch);
    }
    out.push_back(u'"');
}

std::vector<std::u16string> TStringList::SplitCommaText(std::u16string_view text) {
    if (const size_t nul = text.find(u'\0'); nul != std::u16string_view::npos)
        text = text.substr(0, nul);
    std::vector<std::u16string> items;
    size_t p = 0;
    const size_t n = text.size();
    while (p < n && IsBlank(text[p])) ++p;
    while (p < n) {
        std::u16string item;
        if (text[p] == u'"') {
            ++p;
            while (p < n) {
                if (text[p] == u'"') {
                    if (p + 1 < n && text[p + 1] == u'"') {
                        item.push_back(u'"');
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item.push_back(text[p++]);
            }
        } else {
            const size_t start = p;
            while (p < n && text[p] > u' ' && text[p] != u',') ++p;
            item.assign(text.substr(start, p - start));
        }
        items.push_back(std::move(item));
        while (p < n && IsBlank(text[p])) ++p;
        if (p < n && text[p] == u',') {
            if (p + 1 == n) items.emplace_back();
            do {
                ++p;
            } while (p < n && IsBlank(text[p]));
        }
    }
    return items;
}

} // namespace kv
