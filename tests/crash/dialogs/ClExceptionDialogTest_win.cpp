#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include "DialogTestSupport_win.h"
#include "crash/dialogs/ClExceptionDialog.h"
#include "crash/capture/CrashLogUtils.h"
#include "crash/report/ClReportHalf.h"
#include "crash/debug/ClDebugProcesses.h"
#include "crash/dialogs/ClListView.h"

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
    std::string firstTitle, firstText, thirdTitle, message, details;
    WithDialog(ShowCrashLogDialog, [&](HWND d) {
        const HWND tab = GetDlgItem(d, kTab);
        tabs = TabCtrl_GetItemCount(tab);
        selected = TabCtrl_GetCurSel(tab);
        auto pageItem = [&](int id) {
            const HWND page = FindWindowExA(tab, nullptr, "#32770", nullptr);
            return page ? ItemText(page, id) : std::string();
        };
        auto pageTitle = [&] { return pageItem(102); };
        firstTitle = pageTitle();
        firstText = pageItem(103);
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
    EXPECT_EQ(firstText.substr(0, firstText.find_first_of("\r\n")), "EAX: 00000001");
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

TEST(ExceptionDialog, GeometryOffTheWorkAreaIsCentredAndTheMovedPlaceIsStored) {
    TDialogReport report;
    SetDialogOptions(report.Options(), {edoShowInDetailedMode});
    const std::string ini = TDialogReport::IniFile();
    WriteInteger(ini, "Coordinates", "Width", 600);
    WriteInteger(ini, "Coordinates", "Height", 400);
    WriteInteger(ini, "Coordinates", "Left", -300); // partly off the screen
    WriteInteger(ini, "Coordinates", "Top", 10);
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT window{}, moved{};
    const POINT target{area.left + 20, area.top + 30};
    WithDialog(ShowCrashLogDialog, [&](HWND d) {
        GetWindowRect(d, &window);
        // Where the user moves the window is what the next dialog starts from.
        SetWindowPos(d, nullptr, target.x, target.y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        WaitUntil([&] {
            GetWindowRect(d, &moved);
            return moved.left == target.x && moved.top == target.y;
        });
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
    EXPECT_EQ(moved.left, target.x);
    EXPECT_EQ(moved.top, target.y);
    EXPECT_EQ(ReadInteger(ini, "Coordinates", "Left", 0), target.x);
    EXPECT_EQ(ReadInteger(ini, "Coordinates", "Top", 0), target.y);
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

// Trouble for the next dialog window of the thread that installs it, once; later dialogs are
// shown as usual. Refuse: its creation fails (as on a system short of window resources).
// NeverShow: it is made but never painted nor activated (as on a desktop nobody sees): its
// procedure never gets those messages.
class FirstDialogTrouble {
public:
    enum Kind { Refuse, NeverShow };
    explicit FirstDialogTrouble(Kind kind) {
        kind_ = kind;
        window_ = nullptr;
        hit_ = false;
        hook_ = SetWindowsHookExW(WH_CBT, &Hook, nullptr, GetCurrentThreadId());
    }
    ~FirstDialogTrouble() { UnhookWindowsHookEx(hook_); }
    FirstDialogTrouble(const FirstDialogTrouble&) = delete;
    FirstDialogTrouble& operator=(const FirstDialogTrouble&) = delete;
    bool Installed() const { return hook_ != nullptr; }
    static bool Hit() { return hit_; }
    static HWND Window() { return window_; } // the unseen dialog; null for Refuse

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        const HWND w = reinterpret_cast<HWND>(wParam);
        if (code == HCBT_CREATEWND && !hit_ && ClassOf(w) == "#32770") {
            hit_ = true;
            if (kind_ == Refuse) return 1;
            window_ = w;
            original_ = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Unseen)));
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static LRESULT CALLBACK Unseen(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
        case WM_PAINT:
        case WM_ACTIVATE:
        case WM_NCACTIVATE:
            return DefWindowProcW(w, message, wParam, lParam);
        default:
            return CallWindowProcW(original_, w, message, wParam, lParam);
        }
    }
    static inline Kind kind_ = Refuse;
    static inline HWND window_ = nullptr;
    static inline WNDPROC original_ = nullptr;
    static inline bool hit_ = false;
    HHOOK hook_ = nullptr;
};

TEST(ExceptionDialog, ADialogThatIsNotShownFallsBackToTheSystemsBoxAndSwitchesTheDialogsOff) {
    const struct {
        const char* label;
        TExceptionDialogType type;
        FirstDialogTrouble::Kind trouble;
    } cases[] = {
        {"detailed dialog not created", edtCrashLog, FirstDialogTrouble::Refuse},
        {"classic dialog not created", edtMSClassic, FirstDialogTrouble::Refuse},
        {"detailed dialog never seen", edtCrashLog, FirstDialogTrouble::NeverShow},
        {"classic dialog never seen", edtMSClassic, FirstDialogTrouble::NeverShow},
    };
    for (const auto& c : cases) {
        TDialogReport report;
        SetCustomErrorMessage("Not shown.");
        ClearLastCrashLogError();
        std::string caption, text;
        {
            const FirstDialogTrouble trouble(c.trouble);
            ASSERT_TRUE(trouble.Installed());
            WithDialog(
                [&c] {
                    Report.DialogType = c.type;
                    ShowExceptionDialog(false);
                },
                [&](HWND d) {
                    // Past the unseen dialog (it may still be up) to the box.
                    const HWND box = d == FirstDialogTrouble::Window() ? WaitForDialog({d}) : d;
                    if (!box) return;
                    caption = WindowText(box);
                    const HWND label = GetDlgItem(box, 0xFFFF);
                    text = label ? WindowText(label) : std::string();
                    PostMessageW(box, WM_COMMAND, IDOK, 0);
                });
            EXPECT_TRUE(FirstDialogTrouble::Hit()) << c.label;
        }
        SetCustomErrorMessage("");
        EXPECT_EQ(caption, "Error occurred") << c.label;
        EXPECT_EQ(text, "Not shown.") << c.label;
        EXPECT_EQ(GetLastCrashLogErrorCode(), eeShowError) << c.label;
        EXPECT_EQ(GetLastCrashLogErrorMsg(), "Cannot show the DialogBox window.") << c.label;
        EXPECT_TRUE(Report.DialogsDisabled) << c.label;
        EXPECT_EQ(Report.DialogType, edtNone) << c.label;
        ClearLastCrashLogError();
    }
}

} // namespace

namespace {

std::unique_ptr<TCrashDebugInfo> Frame(uint32_t thread, bool running, bool errorLine,
                                       uintptr_t address, const char* unit, const char* procedure,
                                       uint32_t line, uint32_t offset) {
    auto f = std::make_unique<TCrashDebugInfo>();
    f->DebugDetail = ddSourceCode;
    f->ThreadID = thread;
    f->RunningThread = running;
    f->ErrorLine = errorLine;
    f->Addr = address;
    f->UnitName = unit;
    f->ClassName = "TForm1";
    f->ProcedureName = procedure;
    f->Line = line;
    f->ProcOffsetLine = offset;
    return f;
}

std::vector<std::string> ColumnTexts(HWND list, int column) {
    std::vector<std::string> texts;
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[256] = {};
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(list, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(&item));
        texts.emplace_back(Trim(text));
    }
    return texts;
}

// Activates a row of the page's list as a double click on it does.
void ActivateRow(HWND page, HWND list, int index) {
    RECT r{};
    r.left = LVIR_BOUNDS;
    SendMessageW(list, LVM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
    NMITEMACTIVATE n{};
    n.hdr.hwndFrom = list;
    n.hdr.idFrom = 103;
    n.hdr.code = NM_DBLCLK;
    n.iItem = index;
    n.ptAction = POINT{r.left + 200, (r.top + r.bottom) / 2};
    SendMessageW(page, WM_NOTIFY, 103, reinterpret_cast<LPARAM>(&n));
}

TEST(ExceptionDialog, TheCallStackPageFoldsThreadBlocksAndSendsALineToTheDevelopmentEnvironment) {
    TDialogReport report;
    SetDialogOptions(report.Options(), {edoShowInDetailedMode});
    report.Options().SetForegroundTab(ftCallStack);
    Report.CallStack = std::make_unique<TCrashStackList>();
    Report.CallStack->Add(Frame(7, true, true, 0x401000, "Unit1.cpp", "Button1Click", 42, 3));
    Report.CallStack->Add(Frame(7, true, false, 0x402000, "Unit1.cpp", "Dispatch", 0, 0));
    Report.CallStack->Add(Frame(9, true, false, 0x403000, "Worker.cpp", "Execute", 17, 0));
    // Without a development environment above the program the record goes to the mailslot of
    // process 0.
    const HANDLE slot = CreateMailslotA("\\\\.\\mailslot\\CrashLog0", 0, 0, nullptr);
    ASSERT_NE(slot, INVALID_HANDLE_VALUE);
    std::vector<std::string> addresses, procedures, lines, folded;
    WithDialog(ShowCrashLogDialog, [&](HWND d) {
        const HWND page = FindWindowExA(GetDlgItem(d, kTab), nullptr, "#32770", nullptr);
        const HWND list = page ? GetDlgItem(page, 103) : nullptr;
        if (list) {
            addresses = ColumnTexts(list, 0);
            procedures = ColumnTexts(list, 4);
            lines = ColumnTexts(list, 5);
            ActivateRow(page, list, 0); // the first thread's block row folds it
            folded = ColumnTexts(list, 4);
            ActivateRow(page, list, 0);
            ActivateRow(page, list, 1); // Button1Click, line 42[3]
        }
        Click(d, kOK);
    });
    Report.CallStack.reset();
    // A block row per thread, an empty row before the second running thread's block.
    EXPECT_EQ(addresses,
              (std::vector<std::string>{"", "00401000", "00402000", "", "", "00403000"}));
    EXPECT_EQ(procedures,
              (std::vector<std::string>{"", "Button1Click", "Dispatch", "", "", "Execute"}));
    EXPECT_EQ(lines, (std::vector<std::string>{"", "42[3]", "", "", "", "17[0]"}));
    EXPECT_EQ(folded, (std::vector<std::string>{"", "", "", "Execute"}));
    // The record: four short strings of 90 bytes (empty, unit, class, procedure), line, offset.
    char record[512] = {};
    DWORD read = 0;
    const bool got = ReadFile(slot, record, sizeof record, &read, nullptr) != FALSE;
    CloseHandle(slot);
    ASSERT_TRUE(got);
    ASSERT_EQ(read, 376u);
    EXPECT_EQ(record[0], 0);
    EXPECT_EQ(std::string(record + 91, record[90]), "Unit1.cpp");
    EXPECT_EQ(std::string(record + 181, record[180]), "TForm1");
    EXPECT_EQ(std::string(record + 271, record[270]), "Button1Click");
    EXPECT_EQ(*reinterpret_cast<const int32_t*>(record + 360), 42);
    EXPECT_EQ(*reinterpret_cast<const int32_t*>(record + 364), 3);
    // The columns' widths are kept for the next dialog.
    EXPECT_EQ(ReadInteger(TDialogReport::IniFile(), "Coordinates", "Col4", 0), 200);
}

// The icon of each row of a list: the bitmap index its record carries.
std::vector<int> RowIcons(HWND list) {
    std::vector<int> icons;
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        LVITEMA item{};
        item.mask = LVIF_PARAM;
        item.iItem = i;
        SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        const auto* row = reinterpret_cast<const TListViewItemRec*>(item.lParam);
        icons.push_back(row ? row->Bmp : -2);
    }
    return icons;
}

// Every cell of a list, row by row.
std::vector<std::vector<std::string>> Rows(HWND list, int columns) {
    std::vector<std::vector<std::string>> rows;
    for (int c = 0; c < columns; ++c) {
        const std::vector<std::string> texts = ColumnTexts(list, c);
        rows.resize(texts.size());
        for (size_t r = 0; r < texts.size(); ++r) rows[r].push_back(texts[r]);
    }
    return rows;
}

TEST(ExceptionDialog, TheModulesAndProcessesPagesShowEachRecordsCellsAndIcon) {
    TDialogReport report;
    SetDialogOptions(report.Options(), {edoShowInDetailedMode});
    TLogOptions log = report.Options().LogOptions();
    log.Include(loSaveModulesAndProcessesSections);
    report.Options().SetLogOptions(log);
    report.Options().SetForegroundTab(ftModules);

    TCrashModulesList modules;
    auto module = [&](uintptr_t handle, const char* name, const char* description,
                      const char* version, uint32_t size, TDateTime modified) {
        auto m = std::make_unique<TCrashModuleInfo>();
        m->Handle = handle;
        m->Name = name;
        m->Description = description;
        m->Version = version;
        m->Size = size;
        m->LastModified = modified;
        modules.Add(std::move(m));
    };
    module(0x10000000, "C:\\Program Files\\Kolvane\\Fixture.dll", "Fixture library", "1.2.3.4",
           3000, EncodeDateTime(2026, 12, 11, 9, 12, 3, 0));
    module(0x00400000, "D:\\kolvane.exe", "Kolvane", "2.0.1.77", 1048576, 0);
    module(0x20000000, "C:\\Packages\\rtl.bpl", "", "7", 0, 0);
    Report.Record.ModulesList = &modules;

    // The machine's processes as the report took them.
    const bool created = ProcessesList() == nullptr;
    if (created) CreateProcessesList();
    TCrashProcessesList& processes = *ProcessesList();
    processes.Clear();
    auto process = [&](uint32_t id, const char* name, const char* description, const char* version,
                       uint32_t priority, uint32_t memory, uint32_t threads) {
        auto p = std::make_unique<TCrashProcessInfo>();
        p->ProcessID = id;
        p->Name = name;
        p->Description = description;
        p->Version = version;
        p->Priority = priority;
        p->Memory = memory;
        p->Threads = threads;
        processes.Add(std::move(p));
    };
    process(1234, "C:\\Windows\\notepad.exe", "Notepad", "6.1.7600.16385", 32, 5242880, 3);
    process(8, "System", "", "", 0x8000, 0, 0);

    std::vector<std::vector<std::string>> moduleRows, processRows;
    std::vector<int> moduleIcons, processIcons;
    WithDialog(ShowCrashLogDialog, [&](HWND d) {
        const HWND tab = GetDlgItem(d, kTab);
        auto list = [&] {
            const HWND page = FindWindowExA(tab, nullptr, "#32770", nullptr);
            return page ? GetDlgItem(page, 103) : nullptr;
        };
        if (const HWND l = list()) {
            moduleRows = Rows(l, 7);
            moduleIcons = RowIcons(l);
        }
        TabCtrl_SetCurSel(tab, 3);
        NMHDR change{tab, static_cast<UINT_PTR>(kTab), static_cast<UINT>(TCN_SELCHANGE)};
        SendMessageW(d, WM_NOTIFY, kTab, reinterpret_cast<LPARAM>(&change));
        if (const HWND l = list()) {
            processRows = Rows(l, 8);
            processIcons = RowIcons(l);
        }
        Click(d, kOK);
    });
    Report.Record.ModulesList = nullptr;
    processes.Clear();
    if (created) FreeProcessesList();

    // Handle, name, description, version to its second number, size in rounded kilobytes,
    // date, folder.
    using Cells = std::vector<std::string>;
    EXPECT_EQ(moduleRows,
              (std::vector<Cells>{
                  {"10000000", "Fixture.dll", "Fixture library", "1.2.x", "3 Kb",
                   "2026-12-11 09:12:03", "C:\\Program Files\\Kolvane"},
                  {"00400000", "kolvane.exe", "Kolvane", "2.0.x", "1024 Kb", "", "D:\\"},
                  {"20000000", "rtl.bpl", "", "7", "", "", "C:\\Packages"},
              }));
    // A library, the program, a package.
    EXPECT_EQ(moduleIcons, (std::vector<int>{0, 2, 1}));
    // ID, name, description, version, working set, priority, threads ("??" unknown), folder.
    EXPECT_EQ(processRows, (std::vector<Cells>{
                               {"1234", "notepad.exe", "Notepad", "6.1.x", "5120 Kb", "Normal", "3",
                                "C:\\Windows"},
                               {"8", "System", "", "", "", "Above-Normal", "??", ""},
                           }));
    EXPECT_EQ(processIcons, (std::vector<int>{2, 2}));
}

TEST(ExceptionDialog, TheCheckBoxRowsAndTheSupportLinkSetTheWindowsHeight) {
    // The stored 600 x 400 plus the rows under the buttons: the copy box alone 20; with a
    // support link beside it 34; a support address of blanks shows no link.
    const struct {
        const char* label;
        const char* supportURL;
        int height;
    } cases[] = {
        {"copy box only", "", 420},
        {"blank support address", "   ", 420},
        {"copy box and support link", "http://localhost/support", 434},
    };
    for (const auto& c : cases) {
        TDialogReport report;
        SetDialogOptions(report.Options(), {edoShowInDetailedMode});
        report.Options().SetSupportURL(c.supportURL);
        const std::string ini = TDialogReport::IniFile();
        WriteInteger(ini, "Coordinates", "Width", 600);
        WriteInteger(ini, "Coordinates", "Height", 400);
        RECT window{};
        WithDialog(ShowCrashLogDialog, [&](HWND d) {
            GetWindowRect(d, &window);
            Click(d, kOK);
        });
        EXPECT_EQ(window.bottom - window.top, c.height) << c.label;
    }
}

TEST(ExceptionDialog, ALongMessageMakesTheSimpleDialogAtMost640Wide) {
    TDialogReport report;
    SetCustomErrorMessage(std::string(300, 'W'));
    RECT window{};
    WithDialog(ShowCrashLogDialog, [&](HWND d) {
        GetWindowRect(d, &window);
        Click(d, kOK);
    });
    SetCustomErrorMessage("");
    EXPECT_EQ(window.right - window.left, 640);
}

TEST(ExceptionDialog, TheComponentsOwnCaptionIsPaintedAsAGradient) {
    TDialogReport report;
    SetDialogOptions(report.Options(), {edoUseCrashLogLookAndFeel});
    COLORREF band = 0;
    WithDialog(ShowCrashLogDialog, [&](HWND d) {
        SetForegroundWindow(d);
        RedrawWindow(d, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
        RECT w{};
        GetWindowRect(d, &w);
        RECT c{};
        GetClientRect(d, &c);
        const int frame = (w.right - w.left - c.right) / 2;
        // The first line of the band: the active start colour darkened once by 4 %.
        const HDC screen = GetDC(nullptr);
        WaitUntil(
            [&] {
                band = GetPixel(screen, w.left + frame + 20, w.top + frame + 1);
                return band == RGB(125, 149, 186);
            },
            10000);
        ReleaseDC(nullptr, screen);
        Click(d, kOK);
    });
    EXPECT_EQ(band, RGB(125, 149, 186));
}

} // namespace
