#include "csv/TCsvSaveFile.h"

#include <algorithm>

#include "base/Stream.h"
#include "csv/TCodePage.h"
#include "csv/TStringUtility.h"

namespace {
// Lines are converted and written once this many code units (or bytes) are gathered. Lines
// end with CR LF, so a batch never cuts a character or a shift state.
constexpr size_t kBatchUnits = 64 * 1024;
constexpr size_t kBatchBytes = 256 * 1024;
} // namespace

TCsvSaveFile::TCsvSaveFile(std::u16string fileName, std::u16string lineBreak,
                           unsigned short codePage)
    : FileName(std::move(fileName)), LineBreak(std::move(lineBreak)), CodePage(codePage) {}

TCsvSaveFile::~TCsvSaveFile() {
    if (Handle != -1) Close();
}

bool TCsvSaveFile::Open(bool isNew) {
    AtStart = true;
    failed_ = false;
    pending_.clear();
    used_ = 0;
    encoder_ = TCodePageEncoder::For(CodePage);
    if (!isNew && kv::FileExists(FileName)) {
        Handle = kv::FileOpenWriteOnly(FileName);
        if (Handle == -1) return false;
        const int64_t end = kv::FileSeekEnd(Handle);
        if (end < 0) {
            Close();
            return false;
        }
        if (end != 0) AtStart = false;
        return true;
    }
    Handle = kv::FileCreate(FileName);
    if (Handle == -1) return false;
    WriteBom();
    return true;
}

bool TCsvSaveFile::WriteRow(const std::vector<std::u16string>& cells) {
    return WriteRowOf(cells);
}

bool TCsvSaveFile::LineAdded() {
    if (encoder_ == nullptr) {
        pending_ += u"\r\n";
        return pending_.size() >= kBatchUnits ? Flush() : true;
    }
    if (pending_.empty()) {
        char* d = Room(2);
        d[0] = '\r';
        d[1] = '\n';
        used_ += 2;
    } else {
        // A line the encoder left alone: converted whole, after the bytes gathered before it.
        pending_ += u"\r\n";
        const std::string bytes = TStringUtility::StringToBytes(pending_, CodePage);
        pending_.clear();
        std::copy(bytes.begin(), bytes.end(), Room(bytes.size()));
        used_ += bytes.size();
    }
    return used_ >= kBatchBytes ? Flush() : true;
}

bool TCsvSaveFile::EncodeCell(std::u16string_view cell) {
    const size_t start = used_;
    size_t done = 0;
    used_ = static_cast<size_t>(
        encoder_->Encode(cell, Room(cell.size() * TCodePageEncoder::kMaxBytesPerUnit), true, done) -
        bytes_.data());
    if (done == cell.size()) return true;
    const char16_t stop = cell[done];
    if (stop >= 0x80) return false; // a unit only the whole-line conversion encodes
    // A cell to quote or clean: made as the line would hold it, then encoded.
    used_ = start;
    scratch_.clear();
    TCsvUtility::AppendCell(scratch_, cell, LineBreak);
    used_ = static_cast<size_t>(
        encoder_->Encode(scratch_, Room(scratch_.size() * TCodePageEncoder::kMaxBytesPerUnit),
                         false, done) -
        bytes_.data());
    return done == scratch_.size();
}

char* TCsvSaveFile::Room(size_t n) {
    if (bytes_.size() - used_ < n) bytes_.resize(std::max(kBatchBytes + 4096, (used_ + n) * 2));
    return bytes_.data() + used_;
}

bool TCsvSaveFile::WriteText(std::u16string_view text) {
    return WriteBytes(TStringUtility::StringToBytes(text, CodePage));
}

bool TCsvSaveFile::WriteBytes(std::string_view bytes) {
    if ((!pending_.empty() || used_ != 0) && !Flush()) return false;
    if (failed_ || Handle == -1) return false;
    // A short write (disk full) loses data as surely as a failed one.
    if (kv::FileWrite(Handle, bytes.data(), bytes.size()) != static_cast<long long>(bytes.size()))
        failed_ = true;
    return !failed_;
}

void TCsvSaveFile::WriteBom() {
    const std::string bom = TCodePage::GetBom(CodePage);
    if (bom.empty()) return;
    // Only ever called on a freshly created (empty) file, so the BOM lands at offset 0.
    (void)WriteBytes(bom);
    failed_ = false; // a failed BOM write is ignored; the rows will fail on their own
}

bool TCsvSaveFile::Flush() {
    if (used_ != 0) {
        const size_t n = used_;
        used_ = 0; // the buffer keeps its size for the next batch
        return WriteBytes(std::string_view(bytes_.data(), n));
    }
    if (pending_.empty()) return !failed_;
    const std::string bytes = TStringUtility::StringToBytes(pending_, CodePage);
    pending_.clear(); // keeps its capacity for the next batch
    return WriteBytes(bytes);
}

void TCsvSaveFile::Close() {
    if (Handle == -1) return;
    Flush();
    kv::FileClose(Handle);
    Handle = -1;
}
