#include <windows.h>

#include <gtest/gtest.h>

#include "DialogTestSupport_win.h"
#include "crash/dialogs/ClExceptionDialog.h"

namespace {

using namespace kvtest;

RECT WorkArea() {
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

class SendProgress : public ::testing::Test {
protected:
    void SetUp() override {
        report_.Options().SetEMailSendMode(esmSMTPClient);
        savedInline_ = RunInline;
        RunInline = false; // the window lives on a thread of its own
    }
    void TearDown() override {
        CloseSendProgress();
        RunInline = savedInline_;
    }
    TDialogReport report_;
    bool savedInline_ = false;
};

TEST_F(SendProgress, NothingIsShownWithoutTheSendDialogOption) {
    TCommonSendOptions send = report_.Options().CommonSendOptions();
    send.Exclude(sndShowSendDialog);
    report_.Options().SetCommonSendOptions(send);
    ShowSendProgress(false);
    EXPECT_EQ(SendProgressWindow(), 0u);
    EXPECT_TRUE(Report.DialogShown);
}

TEST_F(SendProgress, AWindowThatIsNotModalSitsInTheBottomRightCornerAndShowsTheStatus) {
    ShowSendProgress(false);
    const HWND window = reinterpret_cast<HWND>(SendProgressWindow());
    ASSERT_NE(window, nullptr);
    RECT r{};
    GetWindowRect(window, &r);
    const RECT area = WorkArea();
    EXPECT_EQ(r.right, area.right);
    EXPECT_EQ(r.bottom, area.bottom);
    EXPECT_NE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
    EXPECT_EQ(WindowText(window), "Send.");
    SetSendProgressText("Message 1/2: Sending message...");
    SetSendProgressPosition(40);
    EXPECT_EQ(ItemText(window, 100), "Message 1/2: Sending message...");
    EXPECT_EQ(SendDlgItemMessageW(window, 101, PBM_GETPOS, 0, 0), 40);
    CloseSendProgress();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(SendProgressWindow(), 0u);
}

TEST_F(SendProgress, AModalWindowIsCentredInTheWorkArea) {
    ShowSendProgress(true);
    const HWND window = reinterpret_cast<HWND>(SendProgressWindow());
    ASSERT_NE(window, nullptr);
    RECT r{};
    GetWindowRect(window, &r);
    const RECT area = WorkArea();
    const int w = r.right - r.left, h = r.bottom - r.top;
    EXPECT_EQ(r.left, area.left + (area.right - area.left - w) / 2);
    EXPECT_EQ(r.top, area.top + (area.bottom - area.top - h) / 2);
    CloseSendProgress();
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(SendProgress, AnInlineReportsWindowLivesOnTheSendingThreadAndGoesWithIt) {
    // The report runs on the raising thread: the window is that thread's, modeless, and is
    // served by the sender's own pumping between its steps.
    RunInline = true;
    ShowSendProgress(false);
    const HWND window = reinterpret_cast<HWND>(SendProgressWindow());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetWindowThreadProcessId(window, nullptr), GetCurrentThreadId());
    EXPECT_TRUE(IsWindowVisible(window));
    SetSendProgressText("Message 1/1: Connecting with server...");
    SetSendProgressPosition(15);
    EXPECT_EQ(ItemText(window, 100), "Message 1/1: Connecting with server...");
    EXPECT_EQ(SendDlgItemMessageW(window, 101, PBM_GETPOS, 0, 0), 15);
    CloseSendProgress();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(SendProgressWindow(), 0u);
}

} // namespace
