// Archives made by the component open with Debian's unzip and Python's zipfile.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "../support/CrashTestSupport.h"
#include "crash/core/ClZip.h"

namespace {

using namespace kv::crash;

class ZipInterop : public testing::Test {
protected:
    void SetUp() override {
        std::ofstream(dir_.FsPath() / "report.txt", std::ios::binary) << text_;
        std::ofstream(dir_.FsPath() / "Screenshot.png", std::ios::binary)
            << std::string("\x89PNG\r\n\x1A\n\0\0", 10);
    }
    void Write(const std::string& password) {
        TZipWriter zip(dir_.Ansi("BugReport.zip"), password);
        zip.AddFile(dir_.Ansi("report.txt"), "report.txt");
        zip.AddFile(dir_.Ansi("Screenshot.png"), "Screenshot.png");
    }
    std::string Read(const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    int Run(const std::string& command) {
        return std::system((command + " >/dev/null 2>&1").c_str());
    }

    kvtest::TempDir dir_{"interop"};
    std::string text_ = std::string(5000, 'a') + "\r\nend of report\r\n";
};

TEST_F(ZipInterop, UnzipReadsPlainAndEncryptedArchives) {
    for (const std::string& password : {std::string(), std::string("pa ss")}) {
        Write(password);
        const std::string out =
            (dir_.FsPath() / ("unzip" + std::to_string(password.size()))).string();
        const std::string pass = password.empty() ? "" : " -P '" + password + "'";
        ASSERT_EQ(Run("unzip -t" + pass + " '" + dir_.Ansi("BugReport.zip") + "'"), 0) << password;
        ASSERT_EQ(Run("unzip -o" + pass + " '" + dir_.Ansi("BugReport.zip") + "' -d '" + out + "'"),
                  0);
        EXPECT_EQ(Read(std::filesystem::path(out) / "report.txt"), text_);
    }
    // The wrong password fails.
    EXPECT_NE(Run("unzip -t -P wrong '" + dir_.Ansi("BugReport.zip") + "'"), 0);
}

TEST_F(ZipInterop, PythonZipfileReadsPlainAndEncryptedArchives) {
    for (const std::string& password : {std::string(), std::string("pa ss")}) {
        Write(password);
        // Prints nothing and exits 0 when both entries read back with matching CRCs and the
        // encryption flag is as expected.
        const std::string script = "import sys, zipfile\n"
                                   "z = zipfile.ZipFile(sys.argv[1])\n"
                                   "pw = sys.argv[2].encode() or None\n"
                                   "names = z.namelist()\n"
                                   "assert names == ['report.txt', 'Screenshot.png'], names\n"
                                   "for i in z.infolist():\n"
                                   "    assert bool(i.flag_bits & 1) == (pw is not None)\n"
                                   "    assert i.compress_type == zipfile.ZIP_DEFLATED\n"
                                   "data = z.read('report.txt', pwd=pw)\n"
                                   "assert data.endswith(b'end of report\\r\\n'), data[-20:]\n"
                                   "assert z.testzip() is None if pw is None else True\n";
        std::ofstream(dir_.FsPath() / "check.py") << script;
        EXPECT_EQ(Run("/usr/bin/python3 '" + (dir_.FsPath() / "check.py").string() + "' '" +
                      dir_.Ansi("BugReport.zip") + "' '" + password + "'"),
                  0)
            << password;
    }
}

} // namespace
