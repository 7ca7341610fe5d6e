#include "base/Stream.h"

#include <windows.h>

#include "base/Exception.h"

namespace kv {
namespace {

HANDLE H(intptr_t h) {
    return reinterpret_cast<HANDLE>(h);
}
const wchar_t* W(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

intptr_t Open(const std::u16string& path, DWORD access, DWORD disposition) {
    const HANDLE h =
        CreateFileW(W(path), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? kInvalidFile : reinterpret_cast<intptr_t>(h);
}

} // namespace

TFileStream::TFileStream(const std::u16string& path)
    : handle_(Open(path, GENERIC_READ, OPEN_EXISTING)) {
    if (handle_ == kInvalidFile) {
        const DWORD err = GetLastError();
        throw EFileError(u"Cannot open file \"" + path + u"\"", err);
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(H(handle_), &size)) {
        CloseHandle(H(handle_));
        throw EFileError(u"Cannot read file size");
    }
    size_ = size.QuadPart;
}

TFileStream::~TFileStream() {
    CloseHandle(H(handle_));
}

int64_t TFileStream::GetSize() const {
    return size_;
}

void TFileStream::SetPosition(int64_t pos) {
    LARGE_INTEGER li;
    li.QuadPart = pos;
    if (!SetFilePointerEx(H(handle_), li, nullptr, FILE_BEGIN)) throw EFileError(u"Seek error");
    pos_ = pos;
}

size_t TFileStream::Read(void* buffer, size_t count) {
    auto* p = static_cast<char*>(buffer);
    size_t total = 0;
    while (count > 0) {
        const DWORD ask = count > 0x10000000 ? 0x10000000 : static_cast<DWORD>(count);
        DWORD got = 0;
        if (!ReadFile(H(handle_), p, ask, &got, nullptr)) throw EFileError(u"Read error");
        if (got == 0) break;
        p += got;
        total += got;
        count -= got;
    }
    pos_ += static_cast<int64_t>(total);
    return total;
}

intptr_t FileCreate(const std::u16string& path) {
    return Open(path, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
}

intptr_t FileOpenWriteOnly(const std::u16string& path) {
    return Open(path, GENERIC_WRITE, OPEN_EXISTING);
}

int64_t FileSeekEnd(intptr_t handle) {
    LARGE_INTEGER zero{}, pos{};
    if (!SetFilePointerEx(H(handle), zero, &pos, FILE_END)) return -1;
    return pos.QuadPart;
}

long long FileWrite(intptr_t handle, const void* data, size_t count) {
    const auto* p = static_cast<const char*>(data);
    long long total = 0;
    while (count > 0) {
        const DWORD ask = count > 0x10000000 ? 0x10000000 : static_cast<DWORD>(count);
        DWORD put = 0;
        if (!WriteFile(H(handle), p, ask, &put, nullptr)) return -1;
        if (put == 0) break;
        p += put;
        total += put;
        count -= put;
    }
    return total;
}

void FileClose(intptr_t handle) {
    if (handle != kInvalidFile) CloseHandle(H(handle));
}

bool FileExists(const std::u16string& path) {
    const DWORD a = GetFileAttributesW(W(path));
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace kv
