// The send progress window ("CL_Server"): a status line and a progress bar under a send icon
// while a report is sent.
#include <windows.h>

#include <commctrl.h>

#include <atomic>

#include "crash/capture/CrashLogMain.h"
#include "crash/dialogs/ClAppKind.h"
#include "crash/dialogs/ClDialogWin.h"
#include "crash/dialogs/ClExceptionDialog.h"
#include "crash/dialogs/ClListView.h"

namespace kv::crash {

namespace {

enum : int { kIdStatus = 100, kIdProgress = 101 };
// The sender's request to end the window.
constexpr UINT kEndSendProgress = WM_USER + 1234;
// Bounds of the waits for the window: on Wine a window that cannot be made, or never gets
// the focus, must not hang the report.
constexpr DWORD kReadyWaitMs = 10000;
constexpr DWORD kEndWaitMs = 10000;

struct TSendProgress {
    std::atomic<HWND> Window{nullptr};
    std::atomic<bool> Ready{false};
    std::atomic<bool> Ended{false};
    HANDLE Thread = nullptr;
    bool Modal = false;
    bool OwnLoop = false; // a modal loop of its own (the window's thread), else modeless
    GdiObject<HBITMAP> SendBitmap;
};
TSendProgress g_progress;

void EndWindow(HWND window) {
    if (g_progress.OwnLoop)
        EndDialog(window, 0);
    else
        DestroyWindow(window);
}

INT_PTR CALLBACK SendProgressDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        switch (message) {
        case WM_INITDIALOG: {
            StartDialog(window, !g_progress.Modal);
            CreateDialogFonts(window);
            g_progress.Window = window;
            SetWindowTextA(window, DialogText(mtSendDialog_Caption).c_str());
            SetControlFont(window, kIdStatus, DialogFonts.Message);
            SendDlgItemMessageW(window, kIdProgress, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
            g_progress.SendBitmap.Reset(LoadBitmapA(DialogResourceModule(), "CL_Send"));
            const RECT area = ReportWorkArea();
            if (g_progress.Modal) {
                CenterInRect(window, area);
                StartKeepInFrontTimer(window);
            } else {
                RECT r{};
                GetWindowRect(window, &r);
                SetWindowPos(window, nullptr, area.right - (r.right - r.left),
                             area.bottom - (r.bottom - r.top), 0, 0,
                             SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            }
            // A dialog without focusable controls never gets WM_SETFOCUS on Wine: the window
            // takes the focus here and counts as ready.
            SetFocus(window);
            g_progress.Ready = true;
            return FALSE;
        }
        case WM_SETFOCUS:
            g_progress.Ready = true;
            return FALSE;
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE) Report.DialogShown = true;
            return FALSE;
        case WM_PAINT: {
            Report.DialogShown = true;
            PAINTSTRUCT ps{};
            const HDC dc = BeginPaint(window, &ps);
            DrawBmp(dc, g_progress.SendBitmap.get(), 8, 32, 32, 8);
            EndPaint(window, &ps);
            return TRUE;
        }
        case WM_NCPAINT:
        case WM_NCACTIVATE:
            return AnswerCustomCaption(window, message, wParam, DialogText(mtSendDialog_Caption))
                       ? TRUE
                       : FALSE;
        case WM_TIMER:
            return HandleDialogTimer(window, wParam) ? TRUE : FALSE;
        case kEndSendProgress:
            EndWindow(window);
            return TRUE;
        case WM_DESTROY:
            if (g_progress.Modal) StopKeepInFrontTimer(window);
            FreeDialogFonts();
            g_progress.SendBitmap.Reset();
            g_progress.Window = nullptr;
            g_progress.Ended = true;
            return FALSE;
        default:
            return FALSE;
        }
    } catch (...) {
        EndWindow(window);
        return TRUE;
    }
}

void ShowSendProgressDialog(bool Modal, bool OwnLoop) {
    Report.DialogShown = false;
    g_progress.Modal = Modal;
    g_progress.OwnLoop = OwnLoop;
    if (OwnLoop) {
        DialogBoxParamA(DialogResourceModule(), "CL_Server", nullptr, &SendProgressDialogProc, 0);
    } else {
        const HWND window = CreateDialogParamA(DialogResourceModule(), "CL_Server", nullptr,
                                               &SendProgressDialogProc, 0);
        if (window) ShowWindow(window, SW_SHOWNOACTIVATE);
    }
    Report.DialogShown = false;
}

} // namespace

void ShowSendProgress(bool Modal) {
    if (g_progress.Thread) {
        CloseHandle(g_progress.Thread);
        g_progress.Thread = nullptr;
    }
    g_progress.Window = nullptr;
    g_progress.Ready = false;
    g_progress.Ended = false;
    const TCrashModuleOptions& o = DialogOptions();
    if (!o.CommonSendOptions().Contains(sndShowSendDialog) ||
        (o.EMailSendMode() == esmNoSend && o.WebSendMode() == wsmNoSend) || !IsGUIApplication() ||
        Report.DialogsDisabled) {
        Report.DialogShown = true;
        return;
    }
    if (RunInline) {
        ShowSendProgressDialog(Modal, false);
    } else {
        uint32_t id = 0;
        g_progress.Thread = reinterpret_cast<HANDLE>(StartComponentThread(
            [Modal] {
                SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
                ShowSendProgressDialog(Modal, true);
                g_progress.Ended = true;
            },
            id));
        if (!g_progress.Thread) return;
    }
    const DWORD start = GetTickCount();
    while (!g_progress.Ready && !g_progress.Ended && GetTickCount() - start < kReadyWaitMs)
        Sleep(50);
}

void SetSendProgressText(const std::string& Text) {
    if (const HWND window = g_progress.Window)
        SendDlgItemMessageA(window, kIdStatus, WM_SETTEXT, 0,
                            reinterpret_cast<LPARAM>(Text.c_str()));
}

void SetSendProgressPosition(int Position) {
    if (const HWND window = g_progress.Window)
        SendDlgItemMessageW(window, kIdProgress, PBM_SETPOS, static_cast<WPARAM>(Position), 0);
}

void CloseSendProgress() {
    if (const HWND window = g_progress.Window) {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(window, kEndSendProgress, 0, 0, SMTO_NORMAL, kEndWaitMs, &result);
    }
    if (g_progress.Thread) {
        WaitForSingleObject(g_progress.Thread, kEndWaitMs);
        CloseHandle(g_progress.Thread);
        g_progress.Thread = nullptr;
    }
}

uintptr_t SendProgressWindow() {
    return reinterpret_cast<uintptr_t>(g_progress.Window.load());
}

} // namespace kv::crash
