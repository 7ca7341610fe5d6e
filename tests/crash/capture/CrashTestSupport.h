#pragma once
// Helpers of the crash component's tests: 8-bit (ANSI) paths in a private temporary folder.
#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>

#include "TestFiles.h"
#include "crash/capture/ClCore.h"

namespace kvtest {

// The ANSI form of a path.
inline std::string AnsiPath(const std::filesystem::path& p) {
    return kv::crash::Utf16ToAnsi(p.u16string());
}

// A fresh folder in the temporary folder, removed with everything in it on destruction.
class TempDir {
public:
    explicit TempDir(const std::string& name)
        : path_(std::filesystem::temp_directory_path() /
                ("kolvane_crash_" + Stamp() + "_" + name)) {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // The folder, or a name inside it, as ANSI text.
    std::string Ansi() const { return AnsiPath(path_); }
    std::string Ansi(const std::string& name) const {
        return Ansi() + kv::crash::kPathDelim + name;
    }

private:
    static std::string Stamp() {
        return std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    }
    std::filesystem::path path_;
};

} // namespace kvtest
