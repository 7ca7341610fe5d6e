// The reproduce request ("CL_Request"): asks the user how the error came about after the
// detailed dialog; the answer becomes the options' ReproduceText.
#include <windows.h>

#include "crash/capture/CrashLogMain.h"
#include "crash/core/ClCore.h"
#include "crash/dialogs/ClAppKind.h"
#include "crash/dialogs/ClDialogWin.h"
#include "crash/dialogs/ClExceptionDialog.h"

namespace kv::crash {

namespace {

enum : int { kIdPrompt = 100, kIdText = 101, kIdOK = IDCANCEL };

void InitRequest(HWND window) {
    StartDialog(window, false);
    CreateDialogFonts(window);
    const std::string caption = DialogText(mtReproduceDialog_Caption);
    SetWindowTextA(window, caption.c_str());
    const std::string prompt = DialogText(mtReproduceDialog_Request);
    SetDialogItemText(window, kIdPrompt, prompt);
    SetDialogItemText(window, kIdOK, DialogText(mtReproduceDialog_OKButtonCaption));
    SetControlFont(window, kIdPrompt, DialogFonts.Message);
    SetControlFont(window, kIdOK, DialogFonts.Message);
    SetControlFont(window, kIdText, DialogFonts.Fixed);
    SetDialogItemText(window, kIdText, DialogOptions().ReproduceText());

    RECT r{};
    GetWindowRect(window, &r);
    const int a = r.right - r.left - 27;
    const int c = MeasureTextHeight(window, DialogFonts.Message, prompt, a);
    const int e = r.bottom - r.top - c - 83;
    MoveWindowBottomEdge(window, c - 10);
    auto place = [&](int id, int x, int y, int w, int h) {
        SetWindowPos(GetDlgItem(window, id), nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    };
    place(kIdPrompt, 10, 10, a, c);
    place(kIdText, 10, c + 14, a, e);
    place(kIdOK, a - 65, c + e + 20, 75, 23);

    StartAutoCloseTimer(window);
    CenterInRect(window, ReportWorkArea());
    StartKeepInFrontTimer(window);
}

INT_PTR CALLBACK ReproduceDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        if (IsAutoCloseInput(message, false) || IsControlNotification(message, lParam))
            RestartAutoCloseCount();
        switch (message) {
        case WM_INITDIALOG:
            InitRequest(window);
            return TRUE;
        case WM_COMMAND:
            // The button, or Escape, which sends the same command.
            if (LOWORD(wParam) == kIdOK || LOWORD(wParam) == IDOK) {
                if (Report.Options)
                    Report.Options->SetReproduceText(Trim(GetDialogItemText(window, kIdText)));
                EndDialog(window, 0);
                return TRUE;
            }
            return FALSE;
        case WM_CLOSE:
            // The auto-close timer's request keeps what was typed too.
            SendMessageW(window, WM_COMMAND, MAKEWPARAM(kIdOK, BN_CLICKED), 0);
            return TRUE;
        case WM_TIMER:
            return HandleDialogTimer(window, wParam) ? TRUE : FALSE;
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE) Report.DialogShown = true;
            return FALSE;
        case WM_PAINT:
            Report.DialogShown = true;
            return FALSE;
        case WM_NCPAINT:
        case WM_NCACTIVATE:
            return AnswerCustomCaption(window, message, wParam,
                                       DialogText(mtReproduceDialog_Caption))
                       ? TRUE
                       : FALSE;
        case WM_DESTROY:
            StopAutoCloseTimer(window);
            StopKeepInFrontTimer(window);
            FreeDialogFonts();
            return FALSE;
        default:
            return FALSE;
        }
    } catch (...) {
        EndDialog(window, 0);
        return TRUE;
    }
}

} // namespace

void ShowReproduceRequest() {
    const TCrashModuleOptions& o = DialogOptions();
    if (!o.LogOptions().Contains(loAppendReproduceText) || !IsGUIApplication() ||
        Report.Duplicate || !(Report.SendChosen || o.SaveLogFile()) || Report.DialogsDisabled)
        return;
    Report.DialogShown = false;
    DialogBoxParamA(DialogResourceModule(), "CL_Request", nullptr, &ReproduceDialogProc, 0);
    Report.DialogShown = false;
}

} // namespace kv::crash
