#pragma once
// Byte streams in place of the class library's: a file stream opened without sharing and a
// memory stream. Read errors raise kv::EFileError; callers that must not raise catch it.
#include <cstddef>
#include <cstdint>
#include <string>

namespace kv {

class TStream {
public:
    virtual ~TStream() = default;
    virtual int64_t GetSize() const = 0;
    virtual int64_t GetPosition() const = 0;
    virtual void SetPosition(int64_t pos) = 0;
    // Reads up to count bytes; returns how many were read (0 at the end).
    virtual size_t Read(void* buffer, size_t count) = 0;
    // Reads exactly count bytes or raises EFileError.
    void ReadBuffer(void* buffer, size_t count);
    // Writes up to count bytes at the position and returns how many were written; a stream
    // that cannot be written raises EFileError.
    virtual size_t Write(const void* buffer, size_t count);
    // Writes exactly count bytes or raises EFileError.
    void WriteBuffer(const void* buffer, size_t count);
};

class TFileStream final : public TStream {
public:
    // Opens path for reading with no sharing: fails (EFileError) when the file is missing or
    // another process has it open, and keeps other processes out while it is open.
    explicit TFileStream(const std::u16string& path);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    int64_t GetSize() const override;
    int64_t GetPosition() const override { return pos_; }
    void SetPosition(int64_t pos) override;
    size_t Read(void* buffer, size_t count) override;

private:
    intptr_t handle_;
    int64_t pos_ = 0;
    int64_t size_ = 0;
};

class TMemoryStream final : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::string bytes) : data_(std::move(bytes)) {}
    int64_t GetSize() const override { return static_cast<int64_t>(data_.size()); }
    int64_t GetPosition() const override { return pos_; }
    void SetPosition(int64_t pos) override;
    size_t Read(void* buffer, size_t count) override;
    // Overwrites from the position on and grows the stream as needed.
    size_t Write(const void* buffer, size_t count) override;
    const std::string& Data() const { return data_; }

private:
    std::string data_;
    int64_t pos_ = 0;
};

// Plain file handles for writers, like the class library's FileCreate / FileOpen / FileSeek /
// FileWrite / FileClose. Handles are -1 when invalid; nothing here raises.
constexpr intptr_t kInvalidFile = -1;
intptr_t FileCreate(const std::u16string& path);        // read/write, no sharing, truncates
intptr_t FileOpenWriteOnly(const std::u16string& path); // write access, no sharing
int64_t FileSeekEnd(intptr_t handle);                   // new position, -1 on failure
// Bytes written, or -1 when the write call fails.
long long FileWrite(intptr_t handle, const void* data, size_t count);
void FileClose(intptr_t handle);
bool FileExists(const std::u16string& path);

// Owns a handle of the functions above; FileClose on destruction.
class FileHandle {
public:
    explicit FileHandle(intptr_t handle) noexcept : h_(handle) {}
    ~FileHandle() { FileClose(h_); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    intptr_t get() const noexcept { return h_; }
    bool valid() const noexcept { return h_ != kInvalidFile; }

private:
    intptr_t h_;
};

} // namespace kv
