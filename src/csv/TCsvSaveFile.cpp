#include "csv/TCsvSaveFile.h"

#include "base/Stream.h"
#include "csv/TCodePage.h"
#include "csv/TStringUtility.h"

namespace {
// Lines are converted and written once this many code units are gathered. Lines end with
// CR LF, so a batch never cuts a character or a shift state.
constexpr size_t kBatchUnits = 64 * 1024;
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
    pending_ += u"\r\n";
    if (pending_.size() >= kBatchUnits) return Flush();
    return true;
}

bool TCsvSaveFile::WriteText(std::u16string_view text) {
    return WriteBytes(TStringUtility::StringToBytes(text, CodePage));
}

bool TCsvSaveFile::WriteBytes(std::string_view bytes) {
    if (!pending_.empty() && !Flush()) return false;
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
