#pragma once
// Writes rows of UTF-16 cells as CSV lines (CR LF ended) into a file in a chosen code page,
// creating it with the code page's BOM or appending to it. Nothing here raises on file errors.
//
// Lines are gathered and converted in batches of about 64 Ki code units, so a million rows do
// not mean a million conversions and write calls; Flush (and Close) write what is gathered.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

    std::u16string pending_;
    bool failed_ = false;
};

#include "csv/TCsvUtility.h"

template <class Row> bool TCsvSaveFile::WriteRowOf(const Row& cells) {
    if (failed_ || Handle == -1) return false;
    TCsvUtility::AppendCsvLine(pending_, cells, LineBreak);
    return LineAdded();
}
