#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>

#include "DialogTestSupport_win.h"
#include "crash/dialogs/ClExceptionDialog.h"
#include "crash/report/ClReportHalf.h"
#include "crash/report/ClReportValues.h"

namespace {

using namespace kvtest;

enum : int {
    kBanner = 102,
    kMessage = 103,
    kRestart = 104,
    kSeeDetails = 107,
    kReproduce = 109,
    kEmail = 111,
    kSend = 1000,
    kNoSend = 1001,
};

void ShowClassic() {
    Report.DialogType = edtMSClassic;
    ShowExceptionDialog(false);
}

void SetEmailText(HWND d, const char* text) {
    SendDlgItemMessageA(d, kEmail, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

TEST(ClassicDialog, WithoutSendModesOnlyOKShowsAndNoAddressIsAsked) {
    TDialogReport report;
    bool send = true, email = true;
    std::string noSend, banner;
    WithDialog(ShowClassic, [&](HWND d) {
        send = Visible(d, kSend);
        email = Visible(d, kEmail);
        noSend = ItemText(d, kNoSend);
        banner = ItemText(d, kBanner);
        Click(d, kNoSend);
    });
    EXPECT_FALSE(send);
    EXPECT_FALSE(email);
    EXPECT_EQ(noSend, "&OK");
    EXPECT_FALSE(banner.empty());
    EXPECT_EQ(Report.DialogType, edtNone);
    EXPECT_FALSE(Report.SendChosen);
}

TEST(ClassicDialog, OnlyTheMailClientAsksForNoAddress) {
    TDialogReport report;
    report.Options().SetEMailSendMode(esmEmailClient);
    Report.SendChosen = true;
    bool send = false, email = true;
    std::string noSend;
    WithDialog(ShowClassic, [&](HWND d) {
        send = Visible(d, kSend);
        email = Visible(d, kEmail);
        noSend = ItemText(d, kNoSend);
        Click(d, kSend);
    });
    EXPECT_TRUE(send);
    EXPECT_FALSE(email);
    EXPECT_EQ(noSend, "&Don't Send");
    EXPECT_TRUE(Report.SendChosen);
}

TEST(ClassicDialog, AnInvalidAddressKeepsTheDialogAndAValidOneGoesIntoTheReport) {
    TDialogReport report;
    report.Options().SetEMailSendMode(esmSMTPClient);
    Report.SendChosen = true;
    ReportTexts.GeneralSectionText = "General:\r\n  3.2 Name      : x\r\n  3.3 Email     : \r\n";
    ReportTexts.LogText = ReportTexts.GeneralSectionText + "rest";
    std::string complaint;
    bool stayed = false;
    WithDialog(ShowClassic, [&](HWND d) {
        SetEmailText(d, "user@example"); // an at sign but no dot
        Click(d, kSend);
        const HWND box = WaitForDialog({d});
        complaint = box ? WindowText(GetDlgItem(box, 0xFFFF)) : std::string();
        if (box) PostMessageW(box, WM_COMMAND, IDOK, 0);
        WaitUntil([&] { return !box || !IsWindow(box); });
        stayed = IsWindow(d) != FALSE;
        SetEmailText(d, " first.last@host "); // trimmed
        Click(d, kSend);
        WaitUntil([&] { return !IsWindow(d); });
    });
    EXPECT_EQ(complaint, "Invalid email.");
    EXPECT_TRUE(stayed);
    EXPECT_EQ(ReportUserEmail, "first.last@host");
    EXPECT_EQ(ReportTexts.LogText,
              "General:\r\n  3.2 Name      : x\r\n  3.3 Email     : first.last@host\r\nrest");
    EXPECT_EQ(ReportTexts.TextToSend, ReportTexts.LogText);
    EXPECT_EQ(report.Options().SMTPFrom(), "first.last@host");
    EXPECT_EQ(ReadString(TDialogReport::IniFile(), "User", "Email", ""), "first.last@host");
    ReportTexts = TReportTexts{};
    ReportUserEmail.clear();
}

TEST(ClassicDialog, TheRowsFollowEachOtherAndTheStoredAddressIsFilledIn) {
    TDialogReport report;
    report.Options().SetEMailSendMode(esmSMTPClient);
    Report.SendChosen = true;
    WriteString(TDialogReport::IniFile(), "User", "Email", "saved@host.jp");
    SetCustomErrorMessage("The file cannot be opened.");
    RECT banner{}, message{}, please{}, description{}, details{}, label{}, email{}, send{},
        noSend{}, window{};
    std::string address;
    bool restartShown = true, howToShown = true;
    WithDialog(ShowClassic, [&](HWND d) {
        address = ItemText(d, kEmail);
        banner = ItemRect(d, kBanner);
        message = ItemRect(d, kMessage);
        please = ItemRect(d, 105);
        description = ItemRect(d, 106);
        details = ItemRect(d, kSeeDetails);
        label = ItemRect(d, 110);
        email = ItemRect(d, kEmail);
        send = ItemRect(d, kSend);
        noSend = ItemRect(d, kNoSend);
        GetWindowRect(d, &window);
        restartShown = Visible(d, kRestart);
        howToShown = Visible(d, 108);
        PostMessageW(d, WM_COMMAND, IDCANCEL, 0);
    });
    SetCustomErrorMessage("");
    EXPECT_EQ(address, "saved@host.jp");
    const int border = GetSystemMetrics(SM_CYBORDER);
    // The banner centred in the white band of 51 pixels; the rows in the column from x 8,
    // 397 wide, each text as high as its wrapped text and one pixel more, the next one after
    // its gap (10 before the request to send, 2 inside it, 12 before the details line, the
    // address and the buttons).
    EXPECT_EQ(banner.left, 8);
    EXPECT_EQ(banner.right - banner.left, 356);
    EXPECT_EQ(banner.top, (51 - (banner.bottom - banner.top - 1)) / 2);
    EXPECT_EQ(message.left, 8);
    EXPECT_EQ(message.top, 59);
    EXPECT_EQ(message.right - message.left, 397);
    EXPECT_FALSE(restartShown);
    EXPECT_EQ(please.top, message.bottom - 1 + 10);
    EXPECT_EQ(description.top, please.bottom - 1 + 2);
    EXPECT_EQ(details.left, 8);
    EXPECT_EQ(details.top, description.bottom - 1 + 12);
    EXPECT_FALSE(howToShown);
    // The address field after its label, to the column's right edge, the label four borders
    // lower.
    EXPECT_EQ(email.top, details.bottom + 12);
    EXPECT_EQ(label.left, 8);
    EXPECT_EQ(email.left, label.right);
    EXPECT_EQ(email.right, 405);
    EXPECT_EQ(label.top, email.top + 4 * border);
    // The buttons on one row, Don't Send ending at 405 and Send 8 pixels before it.
    EXPECT_EQ(send.top, label.bottom - 1 + 12);
    EXPECT_EQ(noSend.top, send.top);
    EXPECT_EQ(noSend.right, 405);
    EXPECT_EQ(send.right, noSend.left - 8);
    EXPECT_GE(send.right - send.left, 75);
    EXPECT_EQ(window.right - window.left, 419);
    // 10 pixels under the buttons, then the frame and the (classic, full-height) caption.
    EXPECT_EQ(window.bottom - window.top, send.bottom + 10 + GetSystemMetrics(SM_CYFIXEDFRAME) +
                                              GetSystemMetrics(SM_CYCAPTION));
}

// A window of the program from before the report: it brings itself to the front when asked
// (on its own thread, as a click on it would) and counts its activations.
constexpr UINT kComeToFront = WM_APP + 7;
std::atomic<int> g_olderActivated{0}, g_olderDeactivated{0};

LRESULT CALLBACK OlderWindowProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kComeToFront) {
        SetForegroundWindow(w);
        return 0;
    }
    if (message == WM_ACTIVATE) {
        if (LOWORD(wParam) != WA_INACTIVE)
            ++g_olderActivated;
        else if (g_olderActivated > 0)
            ++g_olderDeactivated;
    }
    return DefWindowProcW(w, message, wParam, lParam);
}

TEST(ClassicDialog, AnOlderWindowOfTheProgramDoesNotStayInFrontOfTheDialog) {
    TDialogReport report;
    TExceptionDialogOptions options = report.Options().ExceptionDialogOptions();
    options.Exclude(edoShowInTopMostMode);
    report.Options().SetExceptionDialogOptions(options);
    WNDCLASSW wc{};
    wc.lpfnWndProc = OlderWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KvOlderWindow";
    RegisterClassW(&wc);
    const HWND older = CreateWindowExW(0, wc.lpszClassName, L"older", WS_POPUP | WS_VISIBLE, 20, 20,
                                       200, 150, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(older, nullptr);
    g_olderActivated = 0;
    g_olderDeactivated = 0;
    bool backInFront = false;
    WithDialog(ShowClassic, [&](HWND d) {
        PostMessageW(older, kComeToFront, 0, 0);
        // The older window came to the front, and the dialog took it back.
        backInFront = WaitUntil(
            [&] {
                return g_olderActivated > 0 && g_olderDeactivated > 0 && GetForegroundWindow() == d;
            },
            20000);
        Click(d, kNoSend);
    });
    DestroyWindow(older);
    EXPECT_GT(g_olderActivated, 0) << "the older window never came to the front";
    EXPECT_TRUE(backInFront);
}

TEST(ClassicDialog, TheRestartBoxAppliesUnlessEscapeCancelsIt) {
    struct Case {
        const char* label;
        bool escape;
        TTerminateBtnOperation forced;
        bool wantTerminate;
    };
    const Case cases[] = {
        {"ticked and sent", false, tbNone, true},
        {"ticked then Escape", true, tbNone, false},
        {"a forced operation survives Escape", true, tbRestart, true},
    };
    for (const Case& c : cases) {
        TDialogReport report;
        ReportCounter = 4;
        // (Setting the forced operation sets the button's operation too.)
        if (c.forced != tbNone) report.Options().SetForcedTerminateBtnOperation(c.forced);
        std::string restart;
        WithDialog(ShowClassic, [&](HWND d) {
            restart = ItemText(d, kRestart);
            SendDlgItemMessageW(d, kRestart, BM_SETCHECK, BST_CHECKED, 0);
            if (c.escape)
                PostMessageW(d, WM_COMMAND, IDCANCEL, 0);
            else
                Click(d, kNoSend);
        });
        EXPECT_EQ(restart, "Restart application.") << c.label;
        EXPECT_EQ(Report.TerminateChosen, c.wantTerminate) << c.label;
        EXPECT_EQ(Report.Cancelled, c.escape) << c.label;
    }
}

TEST(ClassicDialog, TheDetailsLinkSwitchesToTheDetailedDialog) {
    TDialogReport report;
    std::string see;
    WithDialog(ShowClassic, [&](HWND d) {
        see = ItemText(d, kSeeDetails);
        // The link follows the label on its line.
        const RECT label = ItemRect(d, kSeeDetails);
        const int x = label.right + 4, y = label.top + 4;
        PostMessageW(d, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
        PostMessageW(d, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
        WaitUntil([&] { return !IsWindow(d); });
    });
    EXPECT_EQ(see, "To see what data the error report contains, ");
    EXPECT_EQ(Report.DialogType, edtCrashLog);
}

TEST(ClassicDialog, AutoCloseEndsTheDialogWithoutInput) {
    TDialogReport report;
    report.Options().SetAutoCloseDialogSecs(1);
    Report.DialogType = edtMSClassic;
    ShowExceptionDialog(false); // nobody touches it: the timer's close request ends it
    EXPECT_EQ(Report.DialogType, edtNone);
    EXPECT_FALSE(Report.Cancelled);
}

// Puts one character into an edit as the keyboard would.
void Type(HWND dialog, int id, char c) {
    PostMessageW(GetDlgItem(dialog, id), WM_CHAR, static_cast<unsigned char>(c), 1);
}

// A dialog of ours other than `except`; null when none is up.
HWND OtherDialog(HWND except) {
    const std::vector<HWND> known{except};
    TDialogSearch s{&known};
    EnumWindows(&FindOwnDialog, reinterpret_cast<LPARAM>(&s));
    return s.Found;
}

// Acts `times` times, each after two ticks of the auto-close timer (of a limit of 4): the
// dialog outlives them only when every act restarts the count. False when it closed.
bool ActEveryTwoTicks(HWND d, int times, const std::function<void(int)>& act) {
    for (int i = 0; i < times; ++i) {
        if (!WaitUntil([&] { return AutoCloseCount() >= 2 || !IsWindow(d); }) || !IsWindow(d))
            return false;
        act(i);
        if (!WaitUntil([&] { return AutoCloseCount() < 2 || !IsWindow(d); }) || !IsWindow(d))
            return false;
    }
    return true;
}

TEST(ClassicDialog, TypingAndClickingInItsControlsRestartTheAutoCloseCount) {
    TDialogReport report;
    ReportCounter = 4; // the restart box shows
    TLogOptions log = report.Options().LogOptions();
    log.Include(loAppendReproduceText); // and so does the steps edit
    report.Options().SetLogOptions(log);
    report.Options().SetAutoCloseDialogSecs(4);
    bool stayed = false;
    WithDialog(ShowClassic, [&](HWND d) {
        const std::string steps = "step";
        stayed = ActEveryTwoTicks(d, 6, [&](int i) {
            if (i < 4)
                Type(d, kReproduce, steps[i]);
            else
                SendDlgItemMessageW(d, kRestart, BM_CLICK, 0, 0);
        });
        Click(d, kNoSend);
        WaitUntil([&] { return !IsWindow(d); });
    });
    EXPECT_TRUE(stayed);
    EXPECT_EQ(report.Options().ReproduceText(), "step");
}

TEST(ClassicDialog, TheTimersCloseWithAHalfTypedAddressAsksNothing) {
    TDialogReport report;
    report.Options().SetEMailSendMode(esmSMTPClient);
    report.Options().SetAutoCloseDialogSecs(1);
    bool closed = false, asked = false;
    WithDialog(ShowClassic, [&](HWND d) {
        SetEmailText(d, "user@exam");
        HWND box = nullptr;
        WaitUntil([&] {
            box = OtherDialog(d);
            return box || !IsWindow(d);
        });
        closed = !IsWindow(d);
        asked = box != nullptr;
        if (box) { // the dialog waits for nobody: let it go
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            WaitUntil([&] { return !IsWindow(box); });
            SetEmailText(d, "");
            PostMessageW(d, WM_CLOSE, 0, 0);
        }
    });
    EXPECT_TRUE(closed);
    EXPECT_FALSE(asked);
    EXPECT_EQ(Report.DialogType, edtNone);
    ReportTexts = TReportTexts{};
    ReportUserEmail.clear();
}

TEST(ReproduceRequest, TypingRestartsTheAutoCloseCount) {
    TDialogReport report;
    TLogOptions log = report.Options().LogOptions();
    log.Include(loAppendReproduceText);
    report.Options().SetLogOptions(log);
    report.Options().SetAutoCloseDialogSecs(4);
    bool stayed = false;
    WithDialog(ShowReproduceRequest, [&](HWND d) {
        stayed = ActEveryTwoTicks(d, 6, [&](int) { Type(d, 101, 'x'); });
        PostMessageW(d, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_TRUE(stayed);
    EXPECT_EQ(report.Options().ReproduceText(), "xxxxxx");
}

TEST(ReproduceRequest, IsAskedOnlyWhenWantedAndKeepsWhatWasTyped) {
    TDialogReport report;
    TLogOptions log = report.Options().LogOptions();
    log.Include(loAppendReproduceText);
    report.Options().SetLogOptions(log);
    report.Options().SetReproduceText("old");

    // A duplicate report, or one neither sent nor logged, asks nothing.
    Report.Duplicate = true;
    ShowReproduceRequest();
    Report.Duplicate = false;
    report.Options().SetSaveLogFile(false);
    Report.SendChosen = false;
    ShowReproduceRequest();
    EXPECT_EQ(report.Options().ReproduceText(), "old");

    report.Options().SetSaveLogFile(true);
    std::string prompt, text;
    WithDialog(ShowReproduceRequest, [&](HWND d) {
        prompt = ItemText(d, 100);
        text = ItemText(d, 101);
        SendDlgItemMessageA(d, 101, WM_SETTEXT, 0,
                            reinterpret_cast<LPARAM>("  1. open\r\n2. crash  "));
        PostMessageW(d, WM_COMMAND, IDCANCEL, 0); // Escape keeps the text too
    });
    EXPECT_EQ(prompt, "Please describe the steps to reproduce the error:");
    EXPECT_EQ(text, "old");
    EXPECT_EQ(report.Options().ReproduceText(), "1. open\r\n2. crash");
}

} // namespace
