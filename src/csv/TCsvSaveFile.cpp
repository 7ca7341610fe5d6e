#include "csv/TCsvSaveFile.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "base/Stream.h"
#include "csv/TCodePage.h"
#include "csv/TStringUtility.h"

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
    gathered_.used = 0;
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
    pending_ += u"\r\n";
    return pending_.size() >= kBatchUnits ? Flush() : true;
}

bool TCsvSaveFile::EncodeCell(Gathered& into, std::u16string_view cell) const {
    const size_t start = into.used;
    size_t done = 0;
    char* end = encoder_->Encode(cell, into.Room(cell.size() * TCodePageEncoder::kMaxBytesPerUnit),
                                 true, done);
    into.used = static_cast<size_t>(end - into.bytes.data());
    if (done == cell.size()) return true;
    if (cell[done] >= 0x80) return false; // a unit only the whole-line conversion encodes
    // A cell to quote or clean: made as the line would hold it, then encoded.
    into.used = start;
    std::u16string& text = into.scratch;
    text.clear();
    TCsvUtility::AppendCell(text, cell, LineBreak);
    end = encoder_->Encode(text, into.Room(text.size() * TCodePageEncoder::kMaxBytesPerUnit), false,
                           done);
    into.used = static_cast<size_t>(end - into.bytes.data());
    return done == text.size();
}

char* TCsvSaveFile::Gathered::Room(size_t n) {
    if (bytes.size() - used < n) bytes.resize(std::max(kBatchBytes + 4096, (used + n) * 2));
    return bytes.data() + used;
}

void TCsvSaveFile::Gathered::Put(std::string_view b) {
    std::copy(b.begin(), b.end(), Room(b.size()));
    used += b.size();
}

bool TCsvSaveFile::RunChunks(size_t chunks, unsigned threads,
                             const std::function<void(size_t, Gathered&)>& encode,
                             const std::function<bool(const Gathered&)>& write) {
    struct Slot {
        Gathered bytes;
        bool ready = false;
    };
    const size_t window = 2 * static_cast<size_t>(threads);
    std::vector<Slot> slots(window); // chunk c goes to slot c % window
    std::mutex lock;
    std::condition_variable changed;
    size_t next = 0;    // the next chunk to encode
    size_t written = 0; // chunks taken by the writer
    bool stop = false;
    std::exception_ptr error;
    auto work = [&] {
        while (true) {
            size_t c;
            {
                std::unique_lock<std::mutex> hold(lock);
                changed.wait(hold,
                             [&] { return stop || next >= chunks || next < written + window; });
                if (stop || next >= chunks) return;
                c = next++;
            }
            Gathered bytes;
            try {
                encode(c, bytes);
            } catch (...) {
                const std::lock_guard<std::mutex> hold(lock);
                if (!error) error = std::current_exception();
                stop = true;
                changed.notify_all();
                return;
            }
            {
                const std::lock_guard<std::mutex> hold(lock);
                slots[c % window].bytes = std::move(bytes);
                slots[c % window].ready = true;
            }
            changed.notify_all();
        }
    };
    std::vector<std::thread> pool;
    auto finish = [&] {
        {
            const std::lock_guard<std::mutex> hold(lock);
            stop = true;
        }
        changed.notify_all();
        for (std::thread& t : pool) t.join();
    };
    try {
        for (unsigned t = 0; t < threads; ++t) pool.emplace_back(work);
    } catch (...) {
        finish();
        throw;
    }
    bool ok = true;
    for (size_t c = 0; c < chunks && ok; ++c) {
        Gathered bytes;
        {
            std::unique_lock<std::mutex> hold(lock);
            Slot& slot = slots[c % window];
            changed.wait(hold, [&] { return slot.ready || stop; });
            if (!slot.ready) break; // an encode failed
            bytes = std::move(slot.bytes);
            slot.ready = false;
            written = c + 1;
        }
        changed.notify_all();
        ok = write(bytes);
    }
    finish();
    if (error) std::rethrow_exception(error);
    return ok;
}

unsigned TCsvSaveFile::EncodingThreads() {
    // A few: past that the file's writing is the bottleneck.
    return std::min(std::thread::hardware_concurrency(), 4u);
}

bool TCsvSaveFile::WriteText(std::u16string_view text) {
    return WriteBytes(TStringUtility::StringToBytes(text, CodePage));
}

bool TCsvSaveFile::WriteBytes(std::string_view bytes) {
    if ((!pending_.empty() || gathered_.used != 0) && !Flush()) return false;
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
    if (gathered_.used != 0) {
        const size_t n = gathered_.used;
        gathered_.used = 0; // the buffer keeps its size for the next batch
        return WriteBytes(std::string_view(gathered_.bytes.data(), n));
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
