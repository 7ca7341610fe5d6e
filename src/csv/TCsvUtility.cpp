#include "csv/TCsvUtility.h"

#include <algorithm>
#include <map>

#include "base/StringList.h"

namespace {

// Names are computed once per index; the caches only grow (at most 16384 entries each, plus
// one empty entry per distinct out-of-range index asked of ColumnName).
std::map<int, std::u16string>& LettersCache() {
    static std::map<int, std::u16string> cache;
    return cache;
}
std::map<int, std::u16string>& NameCache() {
    static std::map<int, std::u16string> cache;
    return cache;
}

} // namespace

std::u16string TCsvUtility::ColumnLetters(int index) {
    if (index < 0 || index >= MaxColumnCount) return {};
    auto& cache = LettersCache();
    if (const auto it = cache.find(index); it != cache.end()) return it->second;
    std::u16string s;
    for (int n = index; n >= 0; n = n / 26 - 1)
        s.insert(s.begin(), static_cast<char16_t>(u'A' + n % 26));
    cache.emplace(index, s);
    return s;
}

std::u16string TCsvUtility::ColumnName(int index) {
    auto& cache = NameCache();
    if (const auto it = cache.find(index); it != cache.end()) return it->second;
    std::u16string s = ColumnLetters(index);
    cache.emplace(index, s);
    return s;
}

std::vector<std::u16string> TCsvUtility::MakeColumnNames(int count, std::u16string_view prefix,
                                                         std::u16string_view suffix) {
    const int n = std::clamp(count, 0, MaxColumnCount);
    std::vector<std::u16string> names;
    names.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        std::u16string s(prefix);
        s += ColumnLetters(i);
        s += suffix;
        names.push_back(std::move(s));
    }
    return names;
}

std::u16string TCsvUtility::MakeCsvLine(const std::vector<std::u16string>& cells,
                                        std::u16string_view lineBreak) {
    return MakeCsvLineOf(cells, lineBreak);
}

void TCsvUtility::AppendSpecialCell(std::u16string& out, std::u16string_view cell,
                                    std::u16string_view lineBreak) {
    const bool singleLf = lineBreak == u"\n";
    if (singleLf) {
        // One pass straight into the line. Removing NULs and turning CR into LF never changes
        // whether the cell needs quotes, so that is decided on the cell as it stands.
        const bool quoted = std::any_of(cell.begin(), cell.end(), [](char16_t ch) {
            return ch != 0 && (ch <= 0x20 || ch == u'"' || ch == u',');
        });
        if (quoted) out.push_back(u'"');
        for (size_t i = 0; i < cell.size(); ++i) {
            const char16_t ch = cell[i];
            if (ch == 0) continue;
            if (ch == u'\r') {
                // CR LF and lone CR become LF (a NUL between CR and LF does not separate them).
                size_t j = i + 1;
                while (j < cell.size() && cell[j] == 0) ++j;
                if (j < cell.size() && cell[j] == u'\n') i = j;
                out.push_back(u'\n');
                continue;
            }
            if (ch == u'"') out.push_back(u'"');
            out.push_back(ch);
        }
        if (quoted) out.push_back(u'"');
        return;
    }
    std::u16string clean;
    clean.reserve(cell.size());
    for (size_t i = 0; i < cell.size(); ++i) {
        const char16_t ch = cell[i];
        if (ch == 0) continue;
        if (ch == u'\r' || ch == u'\n') {
            if (ch == u'\r') {
                size_t j = i + 1;
                while (j < cell.size() && cell[j] == 0) ++j;
                if (j < cell.size() && cell[j] == u'\n') i = j;
            }
            clean += lineBreak;
            continue;
        }
        clean.push_back(ch);
    }
    kv::TStringList::AppendCommaTextItem(out, clean);
}
