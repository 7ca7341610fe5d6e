#pragma once
// Small helpers for tests that touch files: temporary paths, reading and writing bytes.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

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

} // namespace kvtest
