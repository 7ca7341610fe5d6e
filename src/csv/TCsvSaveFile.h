#pragma once
// Writes rows of UTF-16 cells as CSV lines (CR LF ended) into a file in a chosen code page,
// creating it with the code page's BOM or appending to it. Nothing here raises on file errors.
//
// Lines are gathered in batches, so a million rows do not mean a million write calls; Flush
// (and Close) write what is gathered. In Shift_JIS and UTF-8 each cell is encoded straight
// into the batch's bytes (TCodePageEncoder); a line holding a unit that encoder leaves alone,
// and every line in another code page, is built as text and converted whole.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "csv/CodePageEncoder.h"

class TCsvSaveFile {
public:
    TCsvSaveFile(std::u16string fileName, std::u16string lineBreak, unsigned short codePage);
    virtual ~TCsvSaveFile();
    TCsvSaveFile(const TCsvSaveFile&) = delete;
    TCsvSaveFile& operator=(const TCsvSaveFile&) = delete;

    // isNew: create (emptying an existing file) and write the BOM; else append to an existing
    // file (no BOM) or create a missing one (with BOM). False when the file cannot be opened.
    bool Open(bool isNew);
    bool WriteRow(const std::vector<std::u16string>& cells);
    // The same for any row type with size() and operator[] giving text.
    template <class Row> bool WriteRowOf(const Row& cells);
    bool WriteText(std::u16string_view text);
    // One write of all bytes; false when the write fails or writes fewer bytes than asked.
    bool WriteBytes(std::string_view bytes);
    void WriteBom();
    // Writes what is gathered; false when that write failed (or an earlier one did).
    bool Flush();
    void Close();

    std::u16string FileName;
    intptr_t Handle = -1;
    std::u16string LineBreak;
    unsigned short CodePage;
    bool AtStart = true;

private:
    // Ends the line just gathered; writes the batch once it is large enough.
    bool LineAdded();
    // The line in bytes through encoder_; false, with nothing added, when a cell holds a unit
    // only the whole-line conversion encodes.
    template <class Row> bool EncodeLine(const Row& cells);
    bool EncodeCell(std::u16string_view cell);
    // Room for n more bytes in bytes_.
    char* Room(size_t n);

    std::u16string pending_;
    const TCodePageEncoder* encoder_ = nullptr;
    std::string bytes_; // its first used_ bytes are the gathered lines
    size_t used_ = 0;
    std::u16string scratch_; // a quoted or cleaned cell, or a line converted whole
    bool failed_ = false;
};

#include "csv/TCsvUtility.h"

template <class Row> bool TCsvSaveFile::WriteRowOf(const Row& cells) {
    if (failed_ || Handle == -1) return false;
    if (encoder_ != nullptr && EncodeLine(cells)) return LineAdded();
    TCsvUtility::AppendCsvLine(pending_, cells, LineBreak);
    return LineAdded();
}

template <class Row> bool TCsvSaveFile::EncodeLine(const Row& cells) {
    const size_t start = used_;
    const size_t n = cells.size();
    if (n == 1 &&
        std::u16string_view(cells[0]).find_first_not_of(u'\0') == std::u16string_view::npos) {
        char* d = Room(2);
        d[0] = d[1] = '"'; // as TCsvUtility::AppendCsvLine writes a single empty item
        used_ += 2;
        return true;
    }
    bool ok = true;
    bool first = true;
    auto cell = [&](std::u16string_view text) {
        if (!ok) return;
        if (!first) *Room(1) = ',', ++used_;
        first = false;
        ok = EncodeCell(text);
    };
    if constexpr (requires { cells.ForEach(cell); }) {
        cells.ForEach(cell);
    } else {
        for (size_t i = 0; i < n && ok; ++i) cell(std::u16string_view(cells[i]));
    }
    if (!ok) used_ = start;
    return ok;
}
