#pragma once
// Helpers of the crash component's tests: 8-bit (ANSI) paths in a private temporary folder, the
// report fixtures.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "TestFiles.h"
#include "crash/core/ClCore.h"

namespace kvtest {

// The ANSI form of a path.
inline std::string AnsiPath(const std::filesystem::path& p) {
    return kv::crash::Utf16ToAnsi(p.u16string());
}

// A TempFolder whose paths the crash component takes as ANSI text.
class TempDir : public TempFolder {
public:
    explicit TempDir(const std::string& name) : TempFolder("crash_" + name) {}

    // The folder, or a name inside it.
    std::string Ansi() const { return AnsiPath(FsPath()); }
    std::string Ansi(const std::string& name) const {
        return Ansi() + kv::crash::kPathDelim + name;
    }
};

// Writes a file of these bytes into the folder; returns its ANSI path.
inline std::string WriteFile(const TempDir& dir, const std::string& name,
                             const std::string& bytes) {
    std::ofstream out(dir.FsPath() / name, std::ios::binary);
    out << bytes;
    return dir.Ansi(name);
}

// The bytes of a fixture of the report tests (tests/data/crash/report); empty when it is missing.
inline std::string ReportFixture(const std::string& name) {
    std::ifstream in(std::string(KOLVANE_TEST_DATA) + "/crash/report/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace kvtest
