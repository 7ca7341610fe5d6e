#pragma once
// CSV output lines and spreadsheet-style column names (A..Z, AA.., up to XFD).
// Interface thread: the name caches are not locked.
#include <string>
#include <string_view>
#include <vector>

class TCsvUtility {
public:
    static constexpr int MaxColumnCount = 0x4000;

    // Letters of 0 <= index < 16384; "" otherwise.
    static std::u16string ColumnLetters(int index);
    static std::u16string ColumnName(int index);
    // prefix + letters + suffix for the first count (clamped to 0..16384) columns.
    static std::vector<std::u16string> MakeColumnNames(int count, std::u16string_view prefix,
                                                       std::u16string_view suffix);

    // One CSV line without line end: NULs removed, CR LF and CR made LF, LF replaced by
    // lineBreak unless that is a single LF, then joined by the string list's comma-text rules.
    static std::u16string MakeCsvLine(const std::vector<std::u16string>& cells,
                                      std::u16string_view lineBreak);
    template <class Row>
    static std::u16string MakeCsvLineOf(const Row& cells, std::u16string_view lineBreak);

private:
    static void AppendCell(std::u16string& out, std::u16string_view cell,
                           std::u16string_view lineBreak);
};

template <class Row>
std::u16string TCsvUtility::MakeCsvLineOf(const Row& cells, std::u16string_view lineBreak) {
    std::u16string out;
    const size_t n = cells.size();
    if (n == 1 &&
        std::u16string_view(cells[0]).find_first_not_of(u'\0') == std::u16string_view::npos) {
        // One item that ends up empty: the text of one empty quoted field.
        return u"\"\"";
    }
    for (size_t i = 0; i < n; ++i) {
        if (i > 0) out.push_back(u',');
        AppendCell(out, std::u16string_view(cells[i]), lineBreak);
    }
    return out;
}
