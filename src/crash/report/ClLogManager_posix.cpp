#include "crash/report/ClLogManager.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/Exception.h"

namespace kv::crash::detail {

namespace {

class TPosixSharedFile final : public TSharedFile {
public:
    explicit TPosixSharedFile(int fd) : fd_(fd) {}
    ~TPosixSharedFile() override { close(fd_); }
    TPosixSharedFile(const TPosixSharedFile&) = delete;
    TPosixSharedFile& operator=(const TPosixSharedFile&) = delete;

    std::string ReadAll() override {
        struct stat st {};
        if (fstat(fd_, &st) != 0) throw kv::EFileError(u"Cannot read file size", errno);
        std::string data(static_cast<size_t>(st.st_size), '\0');
        size_t got = 0;
        while (got < data.size()) {
            const ssize_t n =
                pread(fd_, data.data() + got, data.size() - got, static_cast<off_t>(got));
            if (n < 0) throw kv::EFileError(u"Read error", errno);
            if (n == 0) break;
            got += static_cast<size_t>(n);
        }
        data.resize(got);
        return data;
    }

    void Rewrite(const std::string& data) override {
        struct stat st {};
        if (fstat(fd_, &st) != 0) throw kv::EFileError(u"Cannot read file size", errno);
        // Reserve the room first: a full disk fails here with the old reports untouched.
        if (static_cast<size_t>(st.st_size) < data.size() &&
            posix_fallocate(fd_, 0, static_cast<off_t>(data.size())) != 0)
            throw kv::EFileError(u"Write error", ENOSPC);
        size_t done = 0;
        while (done < data.size()) {
            const ssize_t n =
                pwrite(fd_, data.data() + done, data.size() - done, static_cast<off_t>(done));
            if (n <= 0) throw kv::EFileError(u"Write error", errno);
            done += static_cast<size_t>(n);
        }
        if (ftruncate(fd_, static_cast<off_t>(data.size())) != 0)
            throw kv::EFileError(u"Write error", errno);
    }

private:
    int fd_;
};

std::unique_ptr<TSharedFile> OpenWith(const std::string& fileName, int flags) {
    const int fd = open(fileName.c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0)
        throw kv::EFileError(u"Cannot open file \"" + AnsiToUtf16(fileName) + u"\"",
                             static_cast<unsigned long>(errno));
    return std::make_unique<TPosixSharedFile>(fd);
}

} // namespace

std::unique_ptr<TSharedFile> TSharedFile::Open(const std::string& fileName, bool readOnly) {
    return OpenWith(fileName, readOnly ? O_RDONLY : O_RDWR);
}

std::unique_ptr<TSharedFile> TSharedFile::Create(const std::string& fileName) {
    return OpenWith(fileName, O_RDWR | O_CREAT | O_EXCL);
}

} // namespace kv::crash::detail
