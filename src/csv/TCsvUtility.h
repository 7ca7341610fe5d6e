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
    // The same line appended to out.
    template <class Row>
    static void AppendCsvLine(std::u16string& out, const Row& cells, std::u16string_view lineBreak);

    // Appends one cell of a line: cleaned (NULs, CR) and quoted as MakeCsvLine does.
    static void AppendCell(std::u16string& out, std::u16string_view cell,
                           std::u16string_view lineBreak) {
        // Most cells hold nothing to clean up or quote; one compare per unit finds out.
        for (const char16_t ch : cell) {
            if (ch <= u',' && (ch <= 0x20 || ch == u'"' || ch == u',')) {
                AppendSpecialCell(out, cell, lineBreak);
                return;
            }
        }
        out.append(cell.data(), cell.size());
    }

private:
    static void AppendSpecialCell(std::u16string& out, std::u16string_view cell,
                                  std::u16string_view lineBreak);
};

template <class Row>
std::u16string TCsvUtility::MakeCsvLineOf(const Row& cells, std::u16string_view lineBreak) {
    std::u16string out;
    AppendCsvLine(out, cells, lineBreak);
    return out;
}

template <class Row>
void TCsvUtility::AppendCsvLine(std::u16string& out, const Row& cells,
                                std::u16string_view lineBreak) {
    const size_t n = cells.size();
    if (n == 1 &&
        std::u16string_view(cells[0]).find_first_not_of(u'\0') == std::u16string_view::npos) {
        out += u"\"\""; // one item that ends up empty: the text of one empty quoted field
        return;
    }
    // Rows that can hand out their cells in one walk do so: cheaper than indexing each cell.
    if constexpr (requires { cells.ForEach([](std::u16string_view) {}); }) {
        bool first = true;
        cells.ForEach([&](std::u16string_view cell) {
            if (!first) out.push_back(u',');
            first = false;
            AppendCell(out, cell, lineBreak);
        });
    } else {
        for (size_t i = 0; i < n; ++i) {
            if (i > 0) out.push_back(u',');
            AppendCell(out, std::u16string_view(cells[i]), lineBreak);
        }
    }
}
