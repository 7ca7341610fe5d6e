#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>

#include "../support/CrashTestSupport.h"
#include "crash/core/ClZip.h"

namespace {

using namespace kv::crash;

TEST(ClZlib2Win, AFileOpenForWritingIsLeftOutAndTheArchiveStaysValid) {
    kvtest::TempDir dir("zipshare");
    std::ofstream(dir.FsPath() / "busy.log", std::ios::binary) << "being written";
    std::ofstream(dir.FsPath() / "done.txt", std::ios::binary) << "finished";
    // Another writer that lets readers in: our reader denies write access, so it cannot open.
    const HANDLE writer =
        CreateFileA(dir.Ansi("busy.log").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    TZipHandle zip = CreateZipFile(dir.Ansi("BugReport.zip"));
    ASSERT_NE(zip, nullptr);
    EXPECT_FALSE(AddZipFile(zip, dir.Ansi("busy.log"), "busy.log", "pw"));
    EXPECT_TRUE(AddZipFile(zip, dir.Ansi("done.txt"), "done.txt", "pw"));
    EXPECT_TRUE(CloseZipFile(zip));
    CloseHandle(writer);

    CreateDirectoryA(dir.Ansi("out").c_str(), nullptr);
    EXPECT_TRUE(ExtractZipFiles(dir.Ansi("BugReport.zip"), dir.Ansi("out"), "pw"));
    EXPECT_TRUE(FileExists(dir.Ansi("out\\done.txt")));
    EXPECT_FALSE(FileExists(dir.Ansi("out\\busy.log")));
}

} // namespace
