#include "crash/report/ClLogManager.h"

#include <windows.h>

#include <algorithm>

#include "base/Exception.h"

namespace kv::crash::detail {

namespace {

class TWinSharedFile final : public TSharedFile {
public:
    explicit TWinSharedFile(HANDLE h) : h_(h) {}
    ~TWinSharedFile() override { CloseHandle(h_); }
    TWinSharedFile(const TWinSharedFile&) = delete;
    TWinSharedFile& operator=(const TWinSharedFile&) = delete;

    std::string ReadAll() override {
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(h_, &size))
            throw kv::EFileError(u"Cannot read file size", GetLastError());
        Seek(0);
        std::string data(static_cast<size_t>(size.QuadPart), '\0');
        size_t got = 0;
        while (got < data.size()) {
            DWORD n = 0;
            const DWORD ask = static_cast<DWORD>(std::min<size_t>(data.size() - got, 1 << 20));
            if (!ReadFile(h_, data.data() + got, ask, &n, nullptr))
                throw kv::EFileError(u"Read error", GetLastError());
            if (n == 0) break;
            got += n;
        }
        data.resize(got);
        return data;
    }

    void Rewrite(const std::string& data) override {
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(h_, &size))
            throw kv::EFileError(u"Cannot read file size", GetLastError());
        // Grow first: when the disk is full this fails with the old reports untouched.
        if (static_cast<uint64_t>(size.QuadPart) < data.size()) SetEnd(data.size());
        Seek(0);
        size_t done = 0;
        while (done < data.size()) {
            DWORD n = 0;
            const DWORD ask = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1 << 20));
            if (!WriteFile(h_, data.data() + done, ask, &n, nullptr) || n == 0)
                throw kv::EFileError(u"Write error", GetLastError());
            done += n;
        }
        SetEnd(data.size());
    }

private:
    void Seek(uint64_t pos) {
        LARGE_INTEGER li{};
        li.QuadPart = static_cast<LONGLONG>(pos);
        if (!SetFilePointerEx(h_, li, nullptr, FILE_BEGIN))
            throw kv::EFileError(u"Seek error", GetLastError());
    }
    void SetEnd(uint64_t pos) {
        Seek(pos);
        if (!SetEndOfFile(h_)) throw kv::EFileError(u"Write error", GetLastError());
    }
    HANDLE h_;
};

std::unique_ptr<TSharedFile> OpenWith(const std::string& fileName, DWORD access,
                                      DWORD disposition) {
    const std::u16string path = AnsiToUtf16(fileName);
    const HANDLE h = CreateFileW(reinterpret_cast<LPCWSTR>(path.c_str()), access,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD err = GetLastError();
        throw kv::EFileError(
            (disposition == CREATE_NEW ? u"Cannot create file \"" : u"Cannot open file \"") + path +
                u"\"",
            err);
    }
    return std::make_unique<TWinSharedFile>(h);
}

} // namespace

std::unique_ptr<TSharedFile> TSharedFile::Open(const std::string& fileName, bool readOnly) {
    return OpenWith(fileName, readOnly ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE,
                    OPEN_EXISTING);
}

std::unique_ptr<TSharedFile> TSharedFile::Create(const std::string& fileName) {
    return OpenWith(fileName, GENERIC_READ | GENERIC_WRITE, CREATE_NEW);
}

} // namespace kv::crash::detail
