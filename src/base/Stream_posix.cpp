#include "base/Stream.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/Exception.h"
#include "base/Text.h"

// POSIX has no share modes; an exclusive advisory lock keeps our own processes apart, which is
// all the native tests rely on.

namespace kv {
namespace {

intptr_t Open(const std::u16string& path, int flags) {
    const int fd = ::open(Utf16ToUtf8(path).c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) return kInvalidFile;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return kInvalidFile;
    }
    return fd;
}

} // namespace

TFileStream::TFileStream(const std::u16string& path) : handle_(Open(path, O_RDONLY)) {
    if (handle_ == kInvalidFile)
        throw EFileError(u"Cannot open file \"" + path + u"\"", static_cast<unsigned long>(errno));
    struct stat st {};
    if (fstat(static_cast<int>(handle_), &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(static_cast<int>(handle_));
        throw EFileError(u"Cannot open file \"" + path + u"\"");
    }
    size_ = st.st_size;
}

TFileStream::~TFileStream() {
    ::close(static_cast<int>(handle_));
}

int64_t TFileStream::GetSize() const {
    return size_;
}

void TFileStream::SetPosition(int64_t pos) {
    if (lseek(static_cast<int>(handle_), pos, SEEK_SET) < 0) throw EFileError(u"Seek error");
    pos_ = pos;
}

size_t TFileStream::Read(void* buffer, size_t count) {
    auto* p = static_cast<char*>(buffer);
    size_t total = 0;
    while (count > 0) {
        const ssize_t got = ::read(static_cast<int>(handle_), p, count);
        if (got < 0) {
            if (errno == EINTR) continue;
            throw EFileError(u"Read error");
        }
        if (got == 0) break;
        p += got;
        total += static_cast<size_t>(got);
        count -= static_cast<size_t>(got);
    }
    pos_ += static_cast<int64_t>(total);
    return total;
}

intptr_t FileCreate(const std::u16string& path) {
    return Open(path, O_RDWR | O_CREAT | O_TRUNC);
}

intptr_t FileOpenWriteOnly(const std::u16string& path) {
    return Open(path, O_WRONLY);
}

int64_t FileSeekEnd(intptr_t handle) {
    const off_t pos = lseek(static_cast<int>(handle), 0, SEEK_END);
    return pos < 0 ? -1 : pos;
}

long long FileWrite(intptr_t handle, const void* data, size_t count) {
    const auto* p = static_cast<const char*>(data);
    long long total = 0;
    while (count > 0) {
        const ssize_t put = ::write(static_cast<int>(handle), p, count);
        if (put < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (put == 0) break;
        p += put;
        total += put;
        count -= static_cast<size_t>(put);
    }
    return total;
}

void FileClose(intptr_t handle) {
    if (handle != kInvalidFile) ::close(static_cast<int>(handle));
}

bool FileExists(const std::u16string& path) {
    struct stat st {};
    return ::stat(Utf16ToUtf8(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

} // namespace kv
