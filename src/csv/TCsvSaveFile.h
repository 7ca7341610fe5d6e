#pragma once
// Writes rows of UTF-16 cells as CSV lines (CR LF ended) into a file in a chosen code page,
// creating it with the code page's BOM or appending to it. Nothing here raises on file errors.
//
// Lines are gathered in batches, so a million rows do not mean a million write calls; Flush
// (and Close) write what is gathered. In Shift_JIS and UTF-8 each cell is encoded straight
// into the batch's bytes (TCodePageEncoder); a line holding a unit that encoder leaves alone,
// and every line in another code page, is built as text and converted whole.
#include <algorithm>
#include <cstdint>
#include <functional>
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

    // Lines are written once this many bytes (or UTF-16 units) are gathered; the rows writer's
    // threads encode this many rows at a time.
    static constexpr size_t kBatchBytes = 256 * 1024;
    static constexpr size_t kBatchUnits = 64 * 1024;
    static constexpr size_t kChunkRows = 1024;

    std::u16string FileName;
    intptr_t Handle = -1;
    std::u16string LineBreak;
    unsigned short CodePage;
    bool AtStart = true;

    // Writes count rows, row k being rowAt(k), as WriteRowOf would one by one. In Shift_JIS
    // and UTF-8 chunks of rows are encoded by several threads at once (rowAt and prefetch are
    // then called on them) and written in order, so the bytes are the same. prefetch(k, stage)
    // hints that row k is read soon (stage 0 a few rows before stage 1). False once a write
    // failed.
    template <class RowAt, class Prefetch>
    bool WriteRowsOf(size_t count, const RowAt& rowAt, const Prefetch& prefetch);

private:
    // Lines in bytes: the first used bytes of bytes.
    struct Gathered {
        std::string bytes;
        size_t used = 0;
        std::u16string scratch; // a quoted or cleaned cell, or a line converted whole
        // Room for n more bytes.
        char* Room(size_t n);
        void Put(std::string_view b);
    };

    // Ends the UTF-16 line just gathered; writes the batch once it is large enough.
    bool LineAdded();
    // One line with its CR LF appended to into: encoded cell by cell where the encoder can,
    // else built as text and converted whole. Any thread.
    template <class Row> void AppendLine(Gathered& into, const Row& cells) const;
    // The line without its end; false, nothing added, when a cell holds a unit only the
    // whole-line conversion encodes.
    template <class Row> bool EncodeLine(Gathered& into, const Row& cells) const;
    bool EncodeCell(Gathered& into, std::u16string_view cell) const;
    // Threads that encode at once (1: no helper threads).
    static unsigned EncodingThreads();
    // Has threads threads run encode(chunk, bytes) for chunks 0..chunks-1, at most two per
    // thread ahead of the one being written, and calls write with each chunk's bytes on the
    // calling thread in chunk order until it returns false. Rethrows what an encode threw.
    static bool RunChunks(size_t chunks, unsigned threads,
                          const std::function<void(size_t, Gathered&)>& encode,
                          const std::function<bool(const Gathered&)>& write);

    std::u16string pending_;
    const TCodePageEncoder* encoder_ = nullptr;
    Gathered gathered_;
    bool failed_ = false;
};

#include "csv/TCsvUtility.h"
#include "csv/TStringUtility.h"

template <class Row> bool TCsvSaveFile::WriteRowOf(const Row& cells) {
    if (failed_ || Handle == -1) return false;
    if (encoder_ == nullptr) {
        TCsvUtility::AppendCsvLine(pending_, cells, LineBreak);
        return LineAdded();
    }
    AppendLine(gathered_, cells);
    return gathered_.used >= kBatchBytes ? Flush() : true;
}

template <class Row> void TCsvSaveFile::AppendLine(Gathered& into, const Row& cells) const {
    if (EncodeLine(into, cells)) {
        into.Put("\r\n");
        return;
    }
    into.scratch.clear();
    TCsvUtility::AppendCsvLine(into.scratch, cells, LineBreak);
    into.scratch += u"\r\n";
    into.Put(TStringUtility::StringToBytes(into.scratch, CodePage));
}

template <class Row> bool TCsvSaveFile::EncodeLine(Gathered& into, const Row& cells) const {
    const size_t start = into.used;
    const size_t n = cells.size();
    if (n == 1 &&
        std::u16string_view(cells[0]).find_first_not_of(u'\0') == std::u16string_view::npos) {
        into.Put("\"\""); // as TCsvUtility::AppendCsvLine writes a single empty item
        return true;
    }
    bool ok = true;
    bool first = true;
    auto cell = [&](std::u16string_view text) {
        if (!ok) return;
        if (!first) into.Put(",");
        first = false;
        ok = EncodeCell(into, text);
    };
    if constexpr (requires { cells.ForEach(cell); }) {
        cells.ForEach(cell);
    } else {
        for (size_t i = 0; i < n && ok; ++i) cell(std::u16string_view(cells[i]));
    }
    if (!ok) into.used = start;
    return ok;
}

template <class RowAt, class Prefetch>
bool TCsvSaveFile::WriteRowsOf(size_t count, const RowAt& rowAt, const Prefetch& prefetch) {
    constexpr size_t kAhead = 16;
    auto writeSome = [&](Gathered& into, size_t from, size_t to) {
        for (size_t k = from; k < to; ++k) {
            if (k + kAhead < count) prefetch(k + kAhead, 0);
            if (k + kAhead / 2 < count) prefetch(k + kAhead / 2, 1);
            AppendLine(into, rowAt(k));
        }
    };
    if (failed_ || Handle == -1) return false;
    const unsigned threads = EncodingThreads();
    if (encoder_ == nullptr || threads < 2 || count < 2 * kChunkRows) {
        for (size_t k = 0; k < count; ++k) {
            if (k + kAhead < count) prefetch(k + kAhead, 0);
            if (k + kAhead / 2 < count) prefetch(k + kAhead / 2, 1);
            if (!WriteRowOf(rowAt(k))) return false;
        }
        return true;
    }
    if (!Flush()) return false;
    const size_t chunks = (count + kChunkRows - 1) / kChunkRows;
    const bool written = RunChunks(
        chunks, threads,
        [&](size_t c, Gathered& into) {
            writeSome(into, c * kChunkRows, std::min(count, (c + 1) * kChunkRows));
        },
        [&](const Gathered& g) { return WriteBytes(std::string_view(g.bytes.data(), g.used)); });
    return written && !failed_;
}
