#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <thread>

#include "TestFiles.h"
#include "app/TFileUtility.h"
#include "app/TVessant.h"
#include "base/FileSystem.h"
#include "base/Stream.h"
#include "base/Text.h"

namespace {

// Points the stand-in "Vessant.exe" beside the test at a log file of its own: it writes there
// the parameter text it got, a LF and the bytes of the instruction file.
class StandInLog {
public:
    StandInLog() : folder_("vessant_log"), path_(folder_.Path(u"vessant.log")) {
        SetEnvironmentVariableW(L"KOLVANE_VESSANT_LOG",
                                reinterpret_cast<const wchar_t*>(path_.c_str()));
    }
    ~StandInLog() { SetEnvironmentVariableW(L"KOLVANE_VESSANT_LOG", nullptr); }
    bool Exists() const { return kv::FileExists(path_); }
    std::u16string Parameters() const {
        const std::string log = kvtest::TempFolder::Read(path_);
        return kv::Utf8ToUtf16(log.substr(0, log.find('\n')));
    }
    std::string Instructions() const {
        const std::string log = kvtest::TempFolder::Read(path_);
        return log.substr(log.find('\n') + 1);
    }

private:
    kvtest::TempFolder folder_;
    std::u16string path_;
};

// Runs `call` on a thread of its own and waits a minute at most: the program waits for the
// stand-in without a time limit, and a stuck stand-in must fail the test, not hang the run.
bool FinishesInTime(std::function<void()> call) {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    std::thread([call = std::move(call), done] {
        call();
        done->set_value();
    }).detach();
    return finished.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
}

TEST(TVessant, SetLinkHandsTheRegisteringInstructions) {
    const StandInLog log;
    ASSERT_TRUE(FinishesInTime([] {
        TVessant::SetLink(nullptr, u".KVJ", u"\"C:\\k\\kolvane.exe\" \"%1\"",
                          u"Kolvane プロジェクトファイル", u"C:\\k\\kolvane.exe", 0);
    }));
    ASSERT_TRUE(log.Exists());
    const std::u16string file = log.Parameters();
    EXPECT_EQ(kv::ExtractFilePath(file), TFileUtility::GetTempDirectory());
    EXPECT_FALSE(kv::FileExists(file)); // deleted once the program has ended
    EXPECT_EQ(log.Instructions(),
              "[EXT]\r\nEXT=.KVJ\r\nCOMMAND=\"C:\\k\\kolvane.exe\" \"%1\"\r\n"
              "FILE_TYPE=Kolvane \x83\x76\x83\x8D\x83\x57\x83\x46\x83\x4E\x83\x67\x83\x74\x83\x40"
              "\x83\x43\x83\x8B\r\nICON_FILE=C:\\k\\kolvane.exe\r\nICON_INDEX=0\r\n\r\n"
              "[TASK]\r\nCLOSE=1\r\nCOMMAND=1\r\n\r\n");
}

TEST(TVessant, UnsetLinkHandsTheRemovingInstructions) {
    const StandInLog log;
    ASSERT_TRUE(FinishesInTime([] { TVessant::UnsetLink(nullptr, u".KVJ"); }));
    ASSERT_TRUE(log.Exists());
    EXPECT_FALSE(kv::FileExists(log.Parameters()));
    EXPECT_EQ(log.Instructions(),
              "[EXT]\r\nEXT=.KVJ\r\n\r\n[TASK]\r\nCLOSE=1\r\nCOMMAND=2\r\n\r\n");
}

TEST(TVessant, MissingProgramChangesNothingAndReportsNothing) {
    const StandInLog log;
    const kvtest::TempFolder folder("vessant_missing");
    const std::u16string file = folder.Path(u"i.ini");
    kvtest::TempFolder::Write(file, "[TASK]\r\n");
    EXPECT_NO_THROW(TVessant::Run(file, u"NoSuchProgram.exe", nullptr));
    EXPECT_FALSE(log.Exists());
    EXPECT_TRUE(kv::FileExists(file)); // Run leaves the file to its caller
}

} // namespace
