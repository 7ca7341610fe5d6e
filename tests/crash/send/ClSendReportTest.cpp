#include "crash/send/ClSendReport.h"

#include <gtest/gtest.h>

#include <vector>

namespace kv::crash {
namespace {

// What the handlers saw, and what they answer.
struct TStepEvents {
    std::vector<std::string> Seen;
    bool CancelSending = false;
    int RetriesLeft = 0;
};
TStepEvents* g_events = nullptr;

class SendStep : public ::testing::Test {
protected:
    void SetUp() override {
        g_events = &events_;
        ExceptionActionNotify = [](TCrashExceptionRecord*, TCrashActionType action, bool& flag) {
            g_events->Seen.push_back(std::string(action == atSendingEmail ? "sending" : "sent") +
                                     (flag ? " +" : " -"));
            if (action == atSendingEmail && g_events->CancelSending) flag = false;
        };
        ExceptionErrorNotify = [](TCrashExceptionRecord*, TCrashLogErrorCode code, bool& retry) {
            g_events->Seen.push_back("error " + IntToStr(code));
            if (g_events->RetriesLeft > 0) {
                --g_events->RetriesLeft;
                retry = true;
            }
        };
    }
    void TearDown() override {
        ExceptionActionNotify = nullptr;
        ExceptionErrorNotify = nullptr;
        g_events = nullptr;
        ClearLastCrashLogError();
    }
    // An attempt that fails (recording an SMTP error) until its third call.
    bool Attempt() {
        ++attempts_;
        if (attempts_ < 3) {
            SetLastCrashLogError(eeEmailSMTPError, "refused");
            return false;
        }
        return true;
    }
    bool Run() {
        return RunSendStep(atSendingEmail, atSentEmail, [this] { return Attempt(); });
    }
    TStepEvents events_;
    int attempts_ = 0;
};

TEST_F(SendStep, AHandlerAskingForRetriesRepeatsTheStepUntilItSucceeds) {
    events_.RetriesLeft = 100;
    EXPECT_TRUE(Run());
    EXPECT_EQ(attempts_, 3);
    const std::string smtp = "error " + IntToStr(eeEmailSMTPError);
    EXPECT_EQ(events_.Seen, (std::vector<std::string>{"sending +", smtp, smtp, "sent +"}));
}

TEST_F(SendStep, WithoutARetryAFailureEndsTheStep) {
    EXPECT_FALSE(Run());
    EXPECT_EQ(attempts_, 1);
    EXPECT_EQ(events_.Seen, (std::vector<std::string>{
                                "sending +", "error " + IntToStr(eeEmailSMTPError), "sent -"}));
}

TEST_F(SendStep, ACancelledStepFailsWithoutAttemptOrErrorNotification) {
    events_.CancelSending = true;
    EXPECT_FALSE(Run());
    EXPECT_EQ(attempts_, 0);
    EXPECT_EQ(events_.Seen, (std::vector<std::string>{"sending +"}));
}

TEST(ClSendReport, ErrorTexts) {
    EXPECT_EQ(WebSendErrorText("HTTP", 500, "Internal Server Error"),
              "HTTP error code: 500 (Internal Server Error)");
    EXPECT_EQ(WebSendErrorText("FTP", -1, "ignored"),
              "FTP error code: -1 - Cannot find the \"wininet.dll\" library.");
    EXPECT_EQ(WebSendErrorText("HTTPS", 12029, ""), "HTTPS error code: 12029");
    const TCrashModuleOptions options{std::string()};
    EXPECT_EQ(TrackerErrorText(options, 3, 12002, "The request has timed out."),
              "Invalid login request.\r\n\r\nError Code: 12002\r\nError Message: \"The request has "
              "timed out.\"");
    EXPECT_EQ(TrackerErrorText(options, 2, 0, ""),
              "Unknown error.\r\n\r\nError Code: 0\r\nError Message: \"\"");
}

TEST(ClSendReport, PruningKeepsTheTenLastCompressedCopiesAndNoOtherZip) {
    TStrings names = {"Other.zip", "backup.ZIP"};
    for (int day = 10; day <= 21; ++day)
        names.push_back("BugReport__20261" + IntToStr(day) + "0000.zip");
    names.push_back("bugreport__20261000000.zip"); // lower case: first in case-insensitive order
    EXPECT_EQ(CompressedCopiesToPrune(names),
              (TStrings{"bugreport__20261000000.zip", "BugReport__20261100000.zip",
                        "BugReport__20261110000.zip"}));
    EXPECT_TRUE(CompressedCopiesToPrune({"a.zip", "b.zip", "BugReport.zip"}).empty());
}

TEST(ClSendReport, ProgressNeverDividesByAnEmptyTotal) {
    EXPECT_EQ(SentPercent(1024, 2500), 40);
    EXPECT_EQ(SentPercent(2500, 2500), 100);
    EXPECT_EQ(SentPercent(0, 0), 100);
    EXPECT_EQ(UploadPercent(1250, 2500), 50);
    EXPECT_EQ(UploadPercent(1024, 2500), 41); // 40.96
    EXPECT_EQ(UploadPercent(5, 0), 100);
}

} // namespace
} // namespace kv::crash
