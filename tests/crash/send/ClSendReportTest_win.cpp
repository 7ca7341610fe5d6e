#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "../support/CrashTestSupport.h"
#include "crash/capture/CrashLogMain.h"
#include "crash/capture/CrashLogUtils.h"
#include "crash/report/ClReportHalf.h"
#include "crash/send/ClSendReport.h"

namespace {

using namespace kv::crash;

std::string CurrentDir() {
    char dir[MAX_PATH + 1] = {};
    GetCurrentDirectoryA(sizeof dir, dir);
    return dir;
}

// A report under way with the test's options; all put back afterwards.
class SendReport : public ::testing::Test {
protected:
    void SetUp() override {
        Report = TCrashReport{};
        Report.Options = options_.get();
        Report.CurrentRecord = &Report.Record;
        Report.StartTime = EncodeDateTime(2024, 3, 5, 9, 7, 5);
        ClearLastCrashLogError();
    }
    void TearDown() override {
        Report = TCrashReport{};
        ExceptionActionNotify = nullptr;
        ClearLastCrashLogError();
    }

    std::unique_ptr<TCrashModuleOptionsEx> options_ =
        std::make_unique<TCrashModuleOptionsEx>(std::string());
    kvtest::TempDir dir_{"send_report"};
};

TEST_F(SendReport, AFailedSendKeepsItsCopyInTheOutputFolderAndPrunesOldCopies) {
    // The output folder is not the working folder; it already holds eleven older copies and a
    // zip of someone else's.
    const std::string output = dir_.Ansi("reports");
    CreateDirectoryA(output.c_str(), nullptr);
    for (int day = 1; day <= 11; ++day) {
        char name[40];
        wsprintfA(name, "BugReport__202402%02d000000.zip", day);
        kvtest::WriteFile(dir_, std::string("reports\\") + name, "old");
    }
    kvtest::WriteFile(dir_, "reports\\Other.zip", "other");
    options_->SetOutputPath(output);
    options_->SetAttachedFiles(kvtest::WriteFile(dir_, "notes.txt", "notes"));
    options_->SetEMailSendMode(esmSMTPClient);
    options_->SetCommonSendOptions(TCommonSendOptions{sndAddDateInFileName});
    TBehaviourOptions b = options_->BehaviourOptions();
    b.Include(boSaveCompressedCopyInCaseOfError);
    b.Exclude(boCopyLogInCaseOfError);
    options_->SetBehaviourOptions(b);
    // A handler cancels the mail: the send fails without any transport.
    ExceptionActionNotify = [](TCrashExceptionRecord*, TCrashActionType action, bool& flag) {
        if (action == atSendingEmail) flag = false;
    };

    SendErrorReport();

    const std::string copy = "BugReport__20240305090705.zip";
    const std::filesystem::path strayCopy = std::filesystem::path(CurrentDir()) / copy;
    const bool inWorkingFolder = std::filesystem::exists(strayCopy);
    std::filesystem::remove(strayCopy);
    EXPECT_FALSE(inWorkingFolder);
    const std::filesystem::path folder = dir_.FsPath() / "reports";
    EXPECT_TRUE(std::filesystem::exists(folder / copy));
    // Twelve copies: the two oldest go, the other zip stays.
    EXPECT_FALSE(std::filesystem::exists(folder / "BugReport__20240201000000.zip"));
    EXPECT_FALSE(std::filesystem::exists(folder / "BugReport__20240202000000.zip"));
    EXPECT_TRUE(std::filesystem::exists(folder / "BugReport__20240203000000.zip"));
    EXPECT_TRUE(std::filesystem::exists(folder / "Other.zip"));
}

TEST(ClSendReportPump, AQuitMetWhilePumpingStaysForTheProgramsLoop) {
    const bool wasInline = RunInline;
    RunInline = true;
    PostQuitMessage(7);
    PumpSendMessages();
    RunInline = wasInline;
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

} // namespace
