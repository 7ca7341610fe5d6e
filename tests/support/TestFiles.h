#pragma once
// Small helpers for tests that touch files: temporary paths, reading and writing bytes.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "base/Text.h"

namespace kvtest {

// A path in the temporary folder, unique to this process and name; removed on destruction.
class TempFile {
public:
    explicit TempFile(const std::string& name)
        : path_(std::filesystem::temp_directory_path() /
                ("kolvane_" + std::to_string(Pid()) + "_" + name)) {
        std::filesystem::remove(path_);
    }
    ~TempFile() {
        std::error_code ec;
        std::filesystem::remove(path_, ec);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    std::u16string Path() const { return kv::Utf8ToUtf16(path_.string()); }
    const std::filesystem::path& FsPath() const { return path_; }

    void Write(const std::string& bytes) const { std::ofstream(path_, std::ios::binary) << bytes; }
    std::string Read() const {
        std::ifstream in(path_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    static long Pid();
    std::filesystem::path path_;
};

// A fresh folder in the temporary folder, unique to this process and name; removed with its
// content on destruction. Path() gives a file inside it as UTF-16 (any characters).
class TempFolder {
public:
    explicit TempFolder(const std::string& name) : file_(name) {
        std::filesystem::remove_all(file_.FsPath());
        std::filesystem::create_directories(file_.FsPath());
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(file_.FsPath(), ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& FsPath() const { return file_.FsPath(); }
    std::u16string Path() const { return file_.FsPath().u16string(); }
    std::u16string Path(std::u16string_view name) const { return (FsPath() / name).u16string(); }

    static void Write(const std::u16string& path, const std::string& bytes) {
        std::ofstream(std::filesystem::path(path), std::ios::binary) << bytes;
    }
    static std::string Read(const std::u16string& path) {
        std::ifstream in(std::filesystem::path(path), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    TempFile file_;
};

} // namespace kvtest
