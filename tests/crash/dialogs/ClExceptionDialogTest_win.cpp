#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include "DialogTestSupport_win.h"
#include "crash/dialogs/ClExceptionDialog.h"
#include "crash/report/ClReportHalf.h"

namespace {

using namespace kvtest;

enum : int {
    kMessage = 101,
    kOK = 102,
    kTerminate = 103,
    kDetails = 104,
    kCustom = 105,
    kTab = 1000,
    kSend = 3000,
    kScreenshot = 4000,
    kCopy = 5000,
};

void SetDialogOptions(TCrashModuleOptions& o, std::initializer_list<TExceptionDialogOption> add,
                      std::initializer_list<TExceptionDialogOption> remove = {}) {
    TExceptionDialogOptions options = o.ExceptionDialogOptions();
    for (auto a : add) options.Include(a);
    for (auto r : remove) options.Exclude(r);
    o.SetExceptionDialogOptions(options);
}

void ShowCrashLogDialog() {
    Report.DialogType = edtCrashLog;
    ShowExceptionDialog(false);
}

int ButtonWidth(HWND dialog) {
    // The widest button caption in the message font with one "O" more, at least 75.
    int widest = 75;
    for (const char* caption : {"&OK", "&Terminate", "&Restart", "&Details", "&Help"})
        widest =
            std::max(widest, TextWidth(dialog, DialogFonts.Message, std::string(caption) + "O"));
    return widest;
}

TEST(ExceptionDialog, EscapeClearsTheChoicesAndTheDefaultsHideWhatIsNotConfigured) {
    TDialogReport report;
    SetCustomErrorMessage("Something went wrong.");
    bool sendVisible = true, screenshotVisible = true, copyVisible = false, terminateVisible = true,
         detailsVisible = false;
    std::string details, caption, message;
    WithDialog(ShowCrashLogDialog, [&](HWND d) {
        sendVisible = Visible(d, kSend); // no send mode is configured
        screenshotVisible = Visible(d, kScreenshot);
        copyVisible = Visible(d, kCopy);
        terminateVisible = Visible(d, kTerminate); // shown from the fourth report on
        detailsVisible = Visible(d, kDetails);
        details = ItemText(d, kDetails);
        caption = WindowText(d);
        message = ItemText(d, kMessage);
        SetCheck(d, kCopy, true);
        PostMessageW(d, WM_COMMAND, IDCANCEL, 0);
    });
    SetCustomErrorMessage("");
    EXPECT_FALSE(sendVisible);
    EXPECT_FALSE(screenshotVisible);
    EXPECT_TRUE(copyVisible);
    EXPECT_FALSE(terminateVisible);
    EXPECT_TRUE(detailsVisible);
    EXPECT_EQ(details, "&Details >>");
    EXPECT_EQ(caption, "Error occurred");
    EXPECT_EQ(message, "Something went wrong.");
    EXPECT_EQ(Report.DialogType, edtNone);
    EXPECT_TRUE(Report.Cancelled);
    EXPECT_FALSE(Report.SendChosen);
    EXPECT_FALSE(Report.CopyToClipboardChosen);
    EXPECT_FALSE(Report.TerminateChosen);
}

TEST(ExceptionDialog, OKKeepsTheTickedChoicesAndTheButtonsSitWhereTheLayoutPutsThem) {
    TDialogReport report;
    report.Options().SetEMailSendMode(esmSMTPClient);
    ReportCounter = 4; // above ErrorsNumberToShowTerminateBtn (3): the restart button shows
    bool terminateVisible = false, sendChecked = false, screenshotEnabled = false;
    RECT ok{}, terminate{}, details{}, send{}, copy{};
    SIZE client{};
    int B = 0;
    WithDialog(ShowCrashLogDialog, [&](HWND d) {
        terminateVisible = Visible(d, kTerminate);
        sendChecked = IsDlgButtonChecked(d, kSend) == BST_CHECKED;
        ok = ItemRect(d, kOK);
        terminate = ItemRect(d, kTerminate);
        details = ItemRect(d, kDetails);
        send = ItemRect(d, kSend);
        copy = ItemRect(d, kCopy);
        client = ClientSize(d);
        B = ButtonWidth(d);
        // Unticking "send" disables the screenshot box.
        SetCheck(d, kSend, false);
        WaitUntil([&] { return !IsWindowEnabled(GetDlgItem(d, kScreenshot)); }, 5000);
        screenshotEnabled = IsWindowEnabled(GetDlgItem(d, kScreenshot));
        SetCheck(d, kSend, true);
        SetCheck(d, kCopy, true);
        Click(d, kOK);
    });
    EXPECT_TRUE(terminateVisible);
    EXPECT_TRUE(sendChecked);
    EXPECT_FALSE(screenshotEnabled);
    EXPECT_EQ(Report.DialogType, edtNone);
    EXPECT_FALSE(Report.Cancelled);
    EXPECT_TRUE(Report.SendChosen);
    EXPECT_TRUE(Report.CopyToClipboardChosen);
    EXPECT_FALSE(Report.TerminateChosen);
    // Send and screenshot boxes both shown: 34 pixels of check boxes under the buttons.
    const int W = client.cx, H = client.cy, E = 34, y = H - E - 32;
    EXPECT_EQ(terminate.left, 5);
    EXPECT_EQ(terminate.top, y);
    EXPECT_EQ(terminate.right - terminate.left, B);
    EXPECT_EQ(ok.left, (W - B) / 2);
    EXPECT_EQ(ok.top, y);
    EXPECT_EQ(ok.bottom - ok.top, 25);
    EXPECT_EQ(details.left, W - B - 5);
    EXPECT_EQ(send.left, 4);
    EXPECT_EQ(send.top, y + 34);
    EXPECT_EQ(copy.right, W - 4);
    // The boxes start the way they were left for the next report.
    EXPECT_TRUE(report.Options().ExceptionDialogOptions().Contains(edoSendErrorReportChecked));
}

TEST(ExceptionDialog, TerminateAsksTheHandlersWhoMayVetoIt) {
    TDialogReport report;
    ReportCounter = 4;
    report.Options().SetTerminateBtnOperation(tbTerminate);
    static int asked = 0;
    asked = 0;
    ExceptionActionNotify = [](TCrashExceptionRecord*, TCrashActionType action, bool& flag) {
        if (action == atTerminating) {
            ++asked;
            flag = false;
        }
    };
    std::string caption;
    WithDialog(ShowCrashLogDialog, [&](HWND d) {
        caption = ItemText(d, kTerminate);
        Click(d, kTerminate);
    });
    EXPECT_EQ(caption, "&Terminate");
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(Report.TerminateChosen);
    EXPECT_EQ(Report.DialogType, edtNone);
}

TEST(ExceptionDialog, TheCustomButtonClosesWhenItsHandlerSaysSo) {
    TDialogReport report;
    SetDialogOptions(report.Options(), {edoShowCustomButton});
    CustomButtonClickNotify = [](TCrashExceptionRecord*, bool& close) { close = true; };
    bool visible = false;
    WithDialog(ShowCrashLogDialog, [&](HWND d) {
        visible = Visible(d, kCustom);
        Click(d, kCustom);
        WaitUntil([&] { return !IsWindow(d); });
    });
    EXPECT_TRUE(visible);
    EXPECT_EQ(Report.DialogType, edtNone);
    EXPECT_FALSE(Report.Cancelled);
}

TEST(ExceptionDialog, DetailedModeShowsThePagesTheSectionsAllow) {
    TDialogReport report;
    SetDialogOptions(report.Options(), {edoShowInDetailedMode});
    TLogOptions log = report.Options().LogOptions();
    log.Exclude(loSaveModulesAndProcessesSections);
    log.Include(loSaveAssemblerAndCPUSections);
    report.Options().SetLogOptions(log);
    report.Options().SetForegroundTab(ftCPU);
    ReportTexts.CPUText = "EAX: 00000001";
    int tabs = 0, selected = -1, third = -1;
    std::string firstTitle, thirdTitle, message, details;
    WithDialog(ShowCrashLogDialog, [&](HWND d) {
        const HWND tab = GetDlgItem(d, kTab);
        tabs = TabCtrl_GetItemCount(tab);
        selected = TabCtrl_GetCurSel(tab);
        auto pageTitle = [&] {
            const HWND page = FindWindowExA(tab, nullptr, "#32770", nullptr);
            return page ? ItemText(page, 102) : std::string();
        };
        firstTitle = pageTitle();
        message = ItemText(d, kMessage);
        details = ItemText(d, kDetails);
        // The third tab shows the assembler page when modules and processes are off.
        TabCtrl_SetCurSel(tab, 2);
        NMHDR change{tab, static_cast<UINT_PTR>(kTab), static_cast<UINT>(TCN_SELCHANGE)};
        SendMessageW(d, WM_NOTIFY, kTab, reinterpret_cast<LPARAM>(&change));
        third = TabCtrl_GetCurSel(tab);
        thirdTitle = pageTitle();
        Click(d, kOK);
    });
    ReportTexts = TReportTexts{};
    EXPECT_EQ(tabs, 4);
    EXPECT_EQ(selected, 3); // the CPU page is the fourth tab
    EXPECT_EQ(firstTitle, "CPU Information");
    EXPECT_EQ(third, 2);
    EXPECT_EQ(thirdTitle, "Assembler Information");
    EXPECT_EQ(message, "An error has occurred during program execution.\r\n"
                       "Please read the following information for further details.");
    EXPECT_EQ(details, "<< &Details");
}

TEST(ExceptionDialog, AForegroundPageWhoseSectionIsOffOpensTheGeneralPage) {
    TDialogReport report;
    SetDialogOptions(report.Options(), {edoShowInDetailedMode});
    TLogOptions log = report.Options().LogOptions();
    log.Exclude(loSaveAssemblerAndCPUSections);
    report.Options().SetLogOptions(log);
    report.Options().SetForegroundTab(ftCPU);
    int selected = -1;
    WithDialog(ShowCrashLogDialog, [&](HWND d) {
        selected = TabCtrl_GetCurSel(GetDlgItem(d, kTab));
        Click(d, kOK);
    });
    EXPECT_EQ(selected, 0);
}

TEST(ExceptionDialog, GeometryOffTheWorkAreaIsCentredAndTheStateIsStored) {
    TDialogReport report;
    SetDialogOptions(report.Options(), {edoShowInDetailedMode});
    const std::string ini = TDialogReport::IniFile();
    WriteInteger(ini, "Coordinates", "Width", 600);
    WriteInteger(ini, "Coordinates", "Height", 400);
    WriteInteger(ini, "Coordinates", "Left", -300); // partly off the screen
    WriteInteger(ini, "Coordinates", "Top", 10);
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT window{};
    WithDialog(ShowCrashLogDialog, [&](HWND d) {
        GetWindowRect(d, &window);
        Click(d, kOK);
    });
    // Centred: Left = L + (R - L - 600) div 2, Top = T + (B - T - 400) div 2; the window is the
    // stored size plus the check-box rows (the copy box alone: 20).
    EXPECT_EQ(window.left, area.left + (area.right - area.left - 600) / 2);
    EXPECT_EQ(window.top, area.top + (area.bottom - area.top - 400) / 2);
    EXPECT_EQ(window.right - window.left, 600);
    EXPECT_EQ(window.bottom - window.top, 420);
    EXPECT_EQ(ReadInteger(ini, "Coordinates", "WindowsState", 0), 1);
    EXPECT_EQ(ReadInteger(ini, "Coordinates", "Width", 0), 600);
    EXPECT_EQ(ReadInteger(ini, "Coordinates", "Height", 0), 400);
    EXPECT_EQ(ReadInteger(ini, "Coordinates", "Left", 0), window.left);
}

TEST(ExceptionDialog, ARepeatedDialogOpensDetailedWithoutADetailsButton) {
    TDialogReport report;
    Report.RepeatFlag = true;
    bool tabVisible = false, detailsVisible = true;
    WithDialog(ShowCrashLogDialog, [&](HWND d) {
        tabVisible = Visible(d, kTab);
        detailsVisible = Visible(d, kDetails);
        Click(d, kOK);
    });
    EXPECT_TRUE(tabVisible);
    EXPECT_FALSE(detailsVisible);
}

TEST(ExceptionDialog, TheMessageBoxTypeShowsTheSystemsBox) {
    TDialogReport report;
    SetCustomErrorMessage("Boxed.");
    std::string caption, text;
    WithDialog(
        [] {
            Report.DialogType = edtMessageBox;
            ShowExceptionDialog(true);
        },
        [&](HWND d) {
            caption = WindowText(d);
            const HWND label = GetDlgItem(d, 0xFFFF);
            text = label ? WindowText(label) : std::string();
            PostMessageW(d, WM_COMMAND, IDOK, 0);
        });
    SetCustomErrorMessage("");
    EXPECT_EQ(caption, "Error occurred");
    EXPECT_EQ(text, "Boxed.");
    EXPECT_EQ(Report.DialogType, edtNone);
}

} // namespace
