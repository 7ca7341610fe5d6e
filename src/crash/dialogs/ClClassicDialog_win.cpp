// The classic error dialog ("CL_MS_Dialog"): an apology banner, the message, the restart or
// terminate box, the request to send, the link to the details, the steps to reproduce, the
// user's e-mail address and the Send / Don't Send buttons. Laid out in pixels from its texts.
#include <windows.h>

#include <algorithm>

#include "crash/capture/CrashLogMain.h"
#include "crash/core/ClCore.h"
#include "crash/dialogs/ClDialogWin.h"
#include "crash/dialogs/ClExceptionDialog.h"
#include "crash/dialogs/ClListView.h"
#include "crash/report/ClReportHalf.h"
#include "crash/report/ClReportValues.h"

namespace kv::crash {

namespace {

enum : int {
    kIdBanner = 102,
    kIdMessage = 103,
    kIdTerminate = 104,
    kIdPlease = 105,
    kIdDescription = 106,
    kIdSeeDetails = 107,
    kIdHowTo = 108,
    kIdReproduce = 109,
    kIdEmailLabel = 110,
    kIdEmail = 111,
    kIdSend = 1000,
    kIdNoSend = 1001,
    kIdCustom = 1002,
};

constexpr int kContentLeft = 8, kContentWidth = 397, kWindowWidth = 419;

void Hide(HWND window, int id) {
    ShowControl(window, id, false);
}

std::string WithoutAmpersands(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '&'), text.end());
    return text;
}

struct TClassicDialog {
    HWND Window = nullptr;
    bool ShowSend = false;
    bool Hover = false;
    RECT LinkRect{};
    GdiObject<HBITMAP> ErrorBitmap;
    GdiObject<HBRUSH> White;
};
TClassicDialog* g_classic = nullptr;

// Places a text control of the content column at y, as high as its text wrapped to the width,
// and returns that height.
int PlaceText(HWND window, int id, const std::string& text, HFONT font, int y,
              int width = kContentWidth) {
    SetDialogItemText(window, id, text);
    const int height = MeasureTextHeight(window, font, text, width);
    PlaceControl(window, id, kContentLeft, y, width, height + 1);
    return height;
}

void InitClassicDialog(TClassicDialog& d) {
    const HWND window = d.Window;
    const TCrashModuleOptions& o = DialogOptions();
    StartDialog(window, false);
    d.ErrorBitmap.Reset(LoadBitmapA(DialogResourceModule(), "CL_Error"));
    d.White.Reset(CreateSolidBrush(RGB(255, 255, 255)));
    CreateDialogFonts(window);
    for (int id : {kIdMessage, kIdTerminate, kIdDescription, kIdSeeDetails, kIdHowTo, kIdEmailLabel,
                   kIdEmail, kIdSend, kIdNoSend, kIdCustom})
        SetControlFont(window, id, DialogFonts.Message);
    SetControlFont(window, kIdBanner, DialogFonts.MessageBold);
    SetControlFont(window, kIdPlease, DialogFonts.MessageBold);
    SetControlFont(window, kIdReproduce, DialogFonts.Fixed);

    SetDialogItemText(window, kIdReproduce, o.ReproduceText());
    SetDialogItemText(window, kIdEmail, ReadString(kDialogIniFile, "User", "Email", std::string()));
    SetWindowTextA(window, DialogText(mtDialog_Caption).c_str());

    const bool sendMode = o.EMailSendMode() != esmNoSend || o.WebSendMode() != wsmNoSend;
    d.ShowSend = sendMode && !Report.Duplicate && HasDialogOption(edoShowSendErrorReportOption);
    if (!d.ShowSend) {
        Hide(window, kIdSend);
        EnableWindow(GetDlgItem(window, kIdSend), FALSE);
        SendMessageW(window, DM_SETDEFID, kIdNoSend, 0);
        SetFocus(GetDlgItem(window, kIdNoSend));
    } else {
        SetFocus(GetDlgItem(window, kIdSend));
    }

    const std::string banner = DialogText(mtMSDialog_ErrorMsgCaption);
    SetDialogItemText(window, kIdBanner, banner);
    const int G = MeasureTextHeight(window, DialogFonts.MessageBold, banner, 356);
    PlaceControl(window, kIdBanner, kContentLeft, (51 - G) / 2, 356, G + 1);

    int y = 59;
    y += PlaceText(window, kIdMessage, GetDisplayedErrorMessage(), DialogFonts.Message, y);

    if (o.TerminateBtnOperation() != tbNone && o.ErrorsNumberToShowTerminateBtn() < ReportCounter) {
        y += 10;
        y += PlaceText(window, kIdTerminate,
                       DialogText(o.TerminateBtnOperation() == tbTerminate
                                      ? mtMSDialog_TerminateCaption
                                      : mtMSDialog_RestartCaption),
                       DialogFonts.Message, y);
    } else {
        Hide(window, kIdTerminate);
    }

    if (d.ShowSend) {
        y += 10;
        y += PlaceText(window, kIdPlease, DialogText(mtMSDialog_PleaseCaption),
                       DialogFonts.MessageBold, y) +
             2;
        y += PlaceText(window, kIdDescription, DialogText(mtMSDialog_DescriptionCaption),
                       DialogFonts.Message, y);
    } else {
        Hide(window, kIdPlease);
        Hide(window, kIdDescription);
    }

    if (HasDialogOption(edoShowDetailsButton)) {
        y += 12;
        const std::string see = Trim(DialogText(mtMSDialog_SeeDetailsCaption)) + " ";
        const TTextExtent e = MeasureText(window, DialogFonts.Message, see);
        SetDialogItemText(window, kIdSeeDetails, see);
        PlaceControl(window, kIdSeeDetails, kContentLeft, y, e.Width, e.Height);
        const std::string click = DialogText(mtMSDialog_SeeClickCaption);
        const int linkWidth = TextWidth(window, DialogFonts.MessageUnderlined, click);
        const int linkHeight =
            MeasureTextHeight(window, DialogFonts.MessageUnderlined, click, kContentWidth);
        d.LinkRect = RECT{e.Width + 8, y, e.Width + 8 + linkWidth, y + linkHeight};
        y += std::max(e.Height, linkHeight);
    } else {
        Hide(window, kIdSeeDetails);
    }

    const int border = GetSystemMetrics(SM_CYBORDER);
    int h = MeasureText(window, DialogFonts.Message, "O").Height;
    if (o.LogOptions().Contains(loAppendReproduceText)) {
        y += 12;
        y += PlaceText(window, kIdHowTo, DialogText(mtMSDialog_HowToReproduceCaption),
                       DialogFonts.Message, y) +
             2;
        TEXTMETRICW tm{};
        {
            WindowDC dc(window);
            SelectedObject font(dc.get(), DialogFonts.Fixed);
            GetTextMetricsW(dc.get(), &tm);
        }
        h = tm.tmHeight;
        const int editHeight = 8 * border + 4 * h;
        PlaceControl(window, kIdReproduce, kContentLeft, y, kContentWidth, editHeight);
        y += editHeight - 4;
    } else {
        Hide(window, kIdHowTo);
        Hide(window, kIdReproduce);
    }

    // With only the mail client there is no address to ask for: the client knows its user.
    if (d.ShowSend && (o.EMailSendMode() != esmEmailClient || o.WebSendMode() != wsmNoSend)) {
        y += 12;
        const std::string label = DialogText(mtMSDialog_EmailCaption) + " ";
        const int n = TextWidth(window, DialogFonts.Message, label);
        h = MeasureText(window, DialogFonts.Message, "O").Height;
        PlaceControl(window, kIdEmail, n + 8, y, kContentWidth - n, h + 8 * border);
        y += 4 * border;
        SetDialogItemText(window, kIdEmailLabel, label);
        const int labelHeight = MeasureTextHeight(window, DialogFonts.Message, label, n);
        PlaceControl(window, kIdEmailLabel, kContentLeft, y, n, labelHeight + 1);
        y += labelHeight;
    } else {
        Hide(window, kIdEmailLabel);
        Hide(window, kIdEmail);
    }

    y += 12;
    const int bh = 4 * border + h + 6;
    auto buttonWidth = [&](const std::string& caption) {
        return std::max(TextWidth(window, DialogFonts.Message, WithoutAmpersands(caption)) +
                            4 * border + 16,
                        75);
    };
    const std::string custom = DialogText(mtDialog_CustomButtonCaption);
    SetDialogItemText(window, kIdCustom, custom);
    PlaceControl(window, kIdCustom, kContentLeft, y, buttonWidth(custom), bh);
    if (!HasDialogOption(edoShowCustomButton)) Hide(window, kIdCustom);
    const std::string noSend = DialogText(mtMSDialog_NoSendButtonCaption);
    const int P = buttonWidth(noSend);
    SetDialogItemText(window, kIdNoSend,
                      Report.SendChosen && d.ShowSend ? noSend
                                                      : DialogText(mtDialog_OKButtonCaption));
    PlaceControl(window, kIdNoSend, 405 - P, y, P, bh);
    const std::string send = DialogText(mtMSDialog_SendButtonCaption);
    const int Q = buttonWidth(send);
    SetDialogItemText(window, kIdSend, send);
    PlaceControl(window, kIdSend, 397 - P - Q, y, Q, bh);

    CentreOnForegroundMonitor(window, kWindowWidth,
                              y + bh + 10 + GetSystemMetrics(SM_CYFIXEDFRAME) +
                                  DialogCaptionMetric);
    d.Hover = false;
    SetTimer(window, kVisibilityTimer, 1, nullptr);
    StartAutoCloseTimer(window);
    StartKeepInFrontTimer(window);
}

void CloseClassicDialog(TClassicDialog& d) {
    const HWND window = d.Window;
    const std::string email = Trim(GetDialogItemText(window, kIdEmail));
    ReportUserEmail = email;
    if (IsValidEmail(email)) {
        if (Report.Options) Report.Options->SetSMTPFrom(email);
        ReportTexts.GeneralSectionText =
            ReplaceUserEmailItem(ReportTexts.GeneralSectionText, email);
        ReportTexts.LogText = ReplaceUserEmailItem(ReportTexts.LogText, email);
        Report.Record.LogText = ReplaceUserEmailItem(Report.Record.LogText, email);
        if (ReportTexts.RecordLogText && ReportTexts.RecordLogText != &Report.Record.LogText)
            *ReportTexts.RecordLogText = ReplaceUserEmailItem(*ReportTexts.RecordLogText, email);
        ReportTexts.TextToSend = ReportTexts.LogText;
        WriteString(kDialogIniFile, "User", "Email", email);
    } else if (!email.empty() && !IsAutoClosing()) {
        // Asked only of a person: the timer's close leaves the unfinished address out.
        MessageBoxA(window, DialogText(mtInvalidEmailMsg).c_str(),
                    DialogText(mtErrorMsgCaption).c_str(),
                    MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_TOPMOST);
        return;
    }
    if (Report.Options)
        Report.Options->SetReproduceText(Trim(GetDialogItemText(window, kIdReproduce)));
    if (!Report.TerminateChosen && IsDlgButtonChecked(window, kIdTerminate) != BST_CHECKED)
        Report.TerminateChosen = false;
    else
        Report.TerminateChosen =
            !Report.Cancelled || DialogOptions().ForcedTerminateBtnOperation() != tbNone;
    EndDialog(window, 0);
}

void Cancel(TClassicDialog& d) {
    Report.SendChosen = false;
    Report.Cancelled = true;
    Report.DialogType = edtNone;
    PostMessageW(d.Window, WM_CLOSE, 0, 0);
}

void PaintClassicDialog(TClassicDialog& d) {
    PAINTSTRUCT ps{};
    const HDC dc = BeginPaint(d.Window, &ps);
    Report.DialogShown = true;
    RECT band{0, 0, 413, 51};
    FillRect(dc, &band, d.White.get());
    FrameRect(dc, &band, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    DrawBmp(dc, d.ErrorBitmap.get(), 372, 32, 32, 9);
    if (HasDialogOption(edoShowDetailsButton)) {
        SelectedObject font(dc, DialogFonts.MessageUnderlined);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 0, 255));
        const std::string click = DialogText(mtMSDialog_SeeClickCaption);
        RECT r = d.LinkRect;
        DrawTextA(dc, click.c_str(), -1, &r, DT_LEFT | DT_TOP | DT_NOPREFIX | DT_WORDBREAK);
    }
    EndPaint(d.Window, &ps);
}

INT_PTR CALLBACK MSClassicDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    TClassicDialog* d = g_classic;
    if (!d) return FALSE;
    try {
        if (IsAutoCloseInput(message, false) || IsControlNotification(message, lParam))
            RestartAutoCloseCount();
        switch (message) {
        case WM_INITDIALOG:
            d->Window = window;
            InitClassicDialog(*d);
            return FALSE;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            const int code = HIWORD(wParam);
            if (code == EN_KILLFOCUS && (id == kIdMessage || id == kIdReproduce)) {
                // A multi-line edit keeps Escape for itself; it is seen as the focus leaves.
                if (IsEscapePressed()) Cancel(*d);
                return TRUE;
            }
            if (code != BN_CLICKED) return FALSE;
            switch (id) {
            case kIdSend:
                Report.SendChosen = true;
                Report.DialogType = edtNone;
                CloseClassicDialog(*d);
                return TRUE;
            case kIdNoSend:
                Report.SendChosen = Report.SendChosen && !d->ShowSend;
                Report.DialogType = edtNone;
                CloseClassicDialog(*d);
                return TRUE;
            case IDCANCEL:
                Cancel(*d);
                return TRUE;
            case kIdCustom:
                if (RunCustomButtonEvent()) {
                    Report.DialogType = edtNone;
                    CloseClassicDialog(*d);
                }
                return TRUE;
            default:
                return FALSE;
            }
        }
        case WM_CLOSE:
            Report.DialogType = edtNone;
            CloseClassicDialog(*d);
            return TRUE;
        case WM_TIMER:
            if (wParam == kVisibilityTimer) {
                KillTimer(window, kVisibilityTimer);
                if (!Report.DialogShown) {
                    Report.DialogType = edtNone;
                    CloseClassicDialog(*d);
                }
                return TRUE;
            }
            return HandleDialogTimer(window, wParam) ? TRUE : FALSE;
        case WM_MOUSEMOVE: {
            const POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            d->Hover = HasDialogOption(edoShowDetailsButton) && PtInRect(&d->LinkRect, p);
            return FALSE;
        }
        case WM_SETCURSOR:
            return SetLinkCursor(window, d->Hover, lParam) ? TRUE : FALSE;
        case WM_LBUTTONUP: {
            const POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            if (HasDialogOption(edoShowDetailsButton) && PtInRect(&d->LinkRect, p)) {
                Report.DialogType = edtCrashLog;
                CloseClassicDialog(*d);
            }
            return FALSE;
        }
        case WM_PAINT:
            PaintClassicDialog(*d);
            return TRUE;
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE) Report.DialogShown = true;
            return FALSE;
        case WM_CTLCOLORSTATIC: {
            const HDC dc = reinterpret_cast<HDC>(wParam);
            if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == kIdBanner) {
                SetBkMode(dc, TRANSPARENT);
                return reinterpret_cast<INT_PTR>(d->White.get());
            }
            return FALSE;
        }
        case WM_DESTROY:
            StopAutoCloseTimer(window);
            StopKeepInFrontTimer(window);
            KillTimer(window, kVisibilityTimer);
            FreeDialogFonts();
            d->ErrorBitmap.Reset();
            d->White.Reset();
            return FALSE;
        default:
            return FALSE;
        }
    } catch (...) {
        Report.DialogType = edtNone;
        EndDialog(window, 0);
        return TRUE;
    }
}

} // namespace

void ShowClassicDialog() {
    TClassicDialog dialog;
    g_classic = &dialog;
    DialogBoxParamA(DialogResourceModule(), "CL_MS_Dialog", nullptr, &MSClassicDialogProc, 0);
    g_classic = nullptr;
}

} // namespace kv::crash
