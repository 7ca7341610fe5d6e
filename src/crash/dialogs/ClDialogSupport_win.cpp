#include "crash/dialogs/ClDialogWin.h"

#include <tlhelp32.h>

#include <algorithm>
#include <vector>

#include "crash/capture/CrashLogMain.h"
#include "crash/core/ClCore.h"
#include "crash/core/ClLang.h"

namespace kv::crash {

TDialogFonts DialogFonts;
int DialogCaptionMetric = 0;
bool DialogTopMost = false;

namespace {

bool g_captionActive = true;
TAutoCloseCount g_autoClose;
// The dialog whose auto-close count runs, and whether its timer is sending the close request.
HWND g_autoCloseDialog = nullptr;
bool g_autoClosing = false;

// A message hook of one thread; released with its owner.
class ThreadMessageHook {
public:
    ThreadMessageHook() = default;
    ~ThreadMessageHook() { Reset(); }
    ThreadMessageHook(const ThreadMessageHook&) = delete;
    ThreadMessageHook& operator=(const ThreadMessageHook&) = delete;
    void Reset(HHOOK hook = nullptr) {
        if (hook_) UnhookWindowsHookEx(hook_);
        hook_ = hook;
    }
    explicit operator bool() const { return hook_ != nullptr; }

private:
    HHOOK hook_ = nullptr;
};
ThreadMessageHook g_inputHook;

// Keys and clicks go to the control with the focus or under the pointer, not to the dialog:
// every input message the dialog's thread takes for the dialog or one of its controls counts.
LRESULT CALLBACK WatchDialogInput(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        const HWND dialog = g_autoCloseDialog;
        if (dialog && msg->hwnd && IsAutoCloseInput(msg->message, false) &&
            (msg->hwnd == dialog || IsChild(dialog, msg->hwnd)))
            g_autoClose.Restart();
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
HWND g_keepInFrontDialog = nullptr;
std::vector<HWND> g_windowSnapshot;

bool LookAndFeel() {
    return DialogOptions().ExceptionDialogOptions().Contains(edoUseCrashLogLookAndFeel);
}

HFONT MakeFont(const LOGFONTA& lf) {
    return CreateFontIndirectA(&lf);
}

template <class F> BOOL CALLBACK EnumTopLevel(HWND w, LPARAM p) {
    (*reinterpret_cast<F*>(p))(w);
    return TRUE;
}

template <class F> void ForEachTopLevelWindow(F f) {
    EnumWindows(&EnumTopLevel<F>, reinterpret_cast<LPARAM>(&f));
}

DWORD ProcessOf(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

} // namespace

const TCrashModuleOptions& DialogOptions() {
    static const TCrashModuleOptions defaults{std::string()};
    return Report.Options ? *Report.Options : defaults;
}

std::string DialogText(TMessageType Text) {
    return DialogOptions().GetCustomizedExpandedTexts(Text);
}

bool HasDialogOption(TExceptionDialogOption Option) {
    return DialogOptions().ExceptionDialogOptions().Contains(Option);
}

void PlaceControl(HWND Window, int Id, int X, int Y, int Width, int Height) {
    if (const HWND c = GetDlgItem(Window, Id))
        SetWindowPos(c, nullptr, X, Y, Width, Height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void ShowControl(HWND Window, int Id, bool Show) {
    if (const HWND c = GetDlgItem(Window, Id)) ShowWindow(c, Show ? SW_SHOW : SW_HIDE);
}

bool RunCustomButtonEvent() {
    bool close = false;
    CallInRaisingThread([&] { DoCustomButtonClickNotify(close); });
    return close;
}

bool SetLinkCursor(HWND Window, bool Hover, LPARAM LParam) {
    if (!Hover || LOWORD(LParam) != HTCLIENT) return false;
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    SetWindowLongPtrW(Window, DWLP_MSGRESULT, TRUE);
    return true;
}

bool AnswerCustomCaption(HWND Window, UINT Message, WPARAM WParam, const std::string& Caption) {
    if (!PaintCustomCaption(Message, WParam, Caption, Window)) return false;
    SetWindowLongPtrW(Window, DWLP_MSGRESULT, TRUE);
    return true;
}

// ---- Fonts ----

void CreateDialogFonts(HWND Window) {
    FreeDialogFonts();
    const bool western = UserCharSet() == 0;
    const int size = western ? 8 : 10;
    const char* faceA = western ? "Verdana" : "MS Sans Serif";
    const char* faceB = western ? "Lucida Console" : "Courier New";
    const char* faceC = western ? "Tahoma" : "Courier New";

    // The structure grew by the padded border width in version 6.
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = LOBYTE(LOWORD(GetVersion())) >= 6 ? 344 : 340;
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0);

    LOGFONTA caption{};
    caption.lfHeight = metrics.lfCaptionFont.lfHeight;
    caption.lfWeight = FW_BOLD;
    caption.lfCharSet = DEFAULT_CHARSET;
    caption.lfOutPrecision = OUT_TT_PRECIS;
    caption.lfQuality = DEFAULT_QUALITY;
    caption.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    lstrcpynA(caption.lfFaceName, faceA, LF_FACESIZE);
    DialogFonts.Caption = MakeFont(caption);

    LOGFONTA message = metrics.lfMessageFont;
    DialogFonts.Message = MakeFont(message);
    message.lfUnderline = TRUE;
    message.lfWeight = FW_BOLD;
    DialogFonts.MessageUnderlinedBold = MakeFont(message);
    message.lfWeight = metrics.lfMessageFont.lfWeight;
    DialogFonts.MessageUnderlined = MakeFont(message);
    message.lfUnderline = FALSE;
    message.lfWeight = FW_BOLD;
    DialogFonts.MessageBold = MakeFont(message);

    int pixelsPerInch = 96;
    {
        WindowDC dc(Window);
        if (dc.get()) pixelsPerInch = GetDeviceCaps(dc.get(), LOGPIXELSY);
    }
    LOGFONTA fixed{};
    fixed.lfHeight = -MulDiv(size, pixelsPerInch, 72);
    fixed.lfWeight = FW_NORMAL;
    fixed.lfCharSet = DEFAULT_CHARSET;
    fixed.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    lstrcpynA(fixed.lfFaceName, faceB, LF_FACESIZE);
    DialogFonts.Fixed = MakeFont(fixed);
    lstrcpynA(fixed.lfFaceName, faceC, LF_FACESIZE);
    DialogFonts.List = MakeFont(fixed);
}

void FreeDialogFonts() {
    for (HFONT* f : {&DialogFonts.Caption, &DialogFonts.Message, &DialogFonts.MessageUnderlinedBold,
                     &DialogFonts.MessageUnderlined, &DialogFonts.MessageBold, &DialogFonts.Fixed,
                     &DialogFonts.List}) {
        if (*f) DeleteObject(*f);
        *f = nullptr;
    }
}

// ---- The common start and the caption ----

void StartDialog(HWND Window, bool ForceToolWindow) {
    g_captionActive = true;
    if ((LookAndFeel() && Report.DialogType != edtMSClassic) || ForceToolWindow) {
        DialogCaptionMetric = GetSystemMetrics(SM_CYSMCAPTION);
    } else {
        SetWindowLongW(Window, GWL_EXSTYLE,
                       GetWindowLongW(Window, GWL_EXSTYLE) & ~WS_EX_TOOLWINDOW);
        DialogCaptionMetric = GetSystemMetrics(SM_CYCAPTION);
    }
    DialogTopMost = DialogOptions().ExceptionDialogOptions().Contains(edoShowInTopMostMode);
    if (DialogTopMost)
        SetWindowPos(Window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RECT r{};
    GetWindowRect(Window, &r);
    SetWindowPos(Window, nullptr, 0, 0, r.right - r.left,
                 r.bottom - r.top - 18 + DialogCaptionMetric,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

bool PaintCustomCaption(UINT Message, WPARAM WParam, const std::string& Caption, HWND Window) {
    if (!LookAndFeel()) return false;
    if (Message == WM_NCACTIVATE)
        g_captionActive = WParam != 0;
    else if (Message != WM_NCPAINT)
        return false;
    HDC dc = GetWindowDC(Window);
    if (!dc) return false;
    RECT outer{};
    GetWindowRect(Window, &outer);
    OffsetRect(&outer, -outer.left, -outer.top);
    // The frame as the window has it: half the difference of window and client width.
    RECT client{};
    GetClientRect(Window, &client);
    POINT origin{0, 0};
    ClientToScreen(Window, &origin);
    RECT screen{};
    GetWindowRect(Window, &screen);
    OffsetRect(&client, origin.x - screen.left, origin.y - screen.top);
    const int frame = (outer.right - client.right + client.left) / 2;
    const int fx = frame - 1, fy = frame - 1;
    RECT band{fx + 1, fy + 1, outer.right - fx - 1, fy + 1 + DialogCaptionMetric};

    const bool active = g_captionActive;
    const COLORREF frameColour = active ? RGB(64, 64, 64) : RGB(48, 48, 48);
    const COLORREF borderColour = active ? RGB(128, 128, 128) : RGB(96, 96, 96);
    const COLORREF bandStart = active ? RGB(130, 155, 194) : RGB(151, 151, 151);

    const int saved = SaveDC(dc);
    ExcludeClipRect(dc, client.left, client.top, client.right, client.bottom);
    {
        GdiObject<HBRUSH> border(CreateSolidBrush(borderColour));
        RECT inner = outer;
        InflateRect(&inner, -1, -1);
        FillRect(dc, &inner, border.get());
    }
    RECT step = band;
    for (uint32_t colour : CaptionGradient(bandStart, band.bottom - band.top)) {
        GdiObject<HBRUSH> b(CreateSolidBrush(colour));
        FillRect(dc, &step, b.get());
        step.top += 2;
        step.bottom -= 2;
        if (step.bottom <= step.top) break;
    }
    {
        GdiObject<HBRUSH> f(CreateSolidBrush(frameColour));
        FrameRect(dc, &outer, f.get());
        FrameRect(dc, &band, f.get());
    }
    SetBkMode(dc, TRANSPARENT);
    {
        SelectedObject font(dc, DialogFonts.Caption ? DialogFonts.Caption
                                                    : GetStockObject(DEFAULT_GUI_FONT));
        RECT text = band;
        text.left += 4;
        const UINT format = DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
        if (active) {
            RECT shadow = text;
            OffsetRect(&shadow, 1, 0);
            SetTextColor(dc, RGB(34, 34, 34));
            DrawTextA(dc, Caption.c_str(), -1, &shadow, format);
            SetTextColor(dc, RGB(255, 255, 255));
        } else {
            SetTextColor(dc, RGB(224, 224, 224));
        }
        DrawTextA(dc, Caption.c_str(), -1, &text, format);
    }
    RestoreDC(dc, saved);
    ReleaseDC(Window, dc);
    return true;
}

// ---- Timers ----

void StartAutoCloseTimer(HWND Window) {
    if (DialogOptions().AutoCloseDialogSecs() <= 0) return;
    g_autoClose.Restart();
    g_autoCloseDialog = Window;
    if (!g_inputHook)
        g_inputHook.Reset(
            SetWindowsHookExW(WH_GETMESSAGE, &WatchDialogInput, nullptr, GetCurrentThreadId()));
    SetTimer(Window, kAutoCloseTimer, 1000, nullptr);
}

void StopAutoCloseTimer(HWND Window) {
    KillTimer(Window, kAutoCloseTimer);
    if (Window == g_autoCloseDialog) {
        g_autoCloseDialog = nullptr;
        g_inputHook.Reset();
    }
}

bool IsAutoClosing() {
    return g_autoClosing;
}

void RestartAutoCloseCount() {
    g_autoClose.Restart();
}

int32_t AutoCloseCount() {
    return g_autoClose.Count();
}

void StartKeepInFrontTimer(HWND Window) {
    SnapshotProcessWindows();
    g_keepInFrontDialog = Window;
    SetTimer(Window, kKeepInFrontTimer, 10, nullptr);
}

void StopKeepInFrontTimer(HWND Window) {
    KillTimer(Window, kKeepInFrontTimer);
    g_keepInFrontDialog = nullptr;
}

bool HandleDialogTimer(HWND Window, UINT_PTR Id) {
    if (Id == kAutoCloseTimer) {
        const int32_t seconds = DialogOptions().AutoCloseDialogSecs();
        if (seconds > 0 && g_autoClose.Tick(seconds)) {
            KillTimer(Window, kAutoCloseTimer);
            g_autoClosing = true;
            SendMessageW(Window, WM_CLOSE, 0, 0);
            g_autoClosing = false;
        }
        return true;
    }
    if (Id == kKeepInFrontTimer) {
        const HWND dialog = g_keepInFrontDialog;
        const HWND fg = GetForegroundWindow();
        // Windows opened after the dialog (message boxes, the send window) and those of other
        // programs may stay in front.
        if (dialog && !DialogTopMost && fg && fg != dialog && IsOwnProcessWindow(fg) &&
            !IsNewWindow(fg))
            SetForegroundWindow(dialog);
        return true;
    }
    return false;
}

bool IsControlNotification(UINT Message, LPARAM LParam) {
    return Message == WM_COMMAND && LParam != 0;
}

bool IsAutoCloseInput(UINT Message, bool WithCommands) {
    switch (Message) {
    case WM_NOTIFY:
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
    case WM_NCRBUTTONDOWN:
    case WM_NCRBUTTONDBLCLK:
    case WM_NCMBUTTONDOWN:
    case WM_NCMBUTTONDBLCLK:
    case WM_MOUSEWHEEL:
        return true;
    case WM_COMMAND:
        return WithCommands;
    default:
        return false;
    }
}

// ---- The process's windows ----

void SnapshotProcessWindows() {
    g_windowSnapshot.clear();
    const DWORD self = GetCurrentProcessId();
    ForEachTopLevelWindow([&](HWND w) {
        if (ProcessOf(w) == self) g_windowSnapshot.push_back(w);
    });
}

bool IsOwnProcessWindow(HWND Window) {
    return Window && ProcessOf(Window) == GetCurrentProcessId();
}

bool IsNewWindow(HWND Window) {
    return std::find(g_windowSnapshot.begin(), g_windowSnapshot.end(), Window) ==
           g_windowSnapshot.end();
}

// ---- Measuring and texts ----

TTextExtent MeasureText(HWND Window, HFONT Font, const std::string& Text) {
    const std::u16string wide = AnsiToUtf16(Text);
    WindowDC dc(Window);
    SelectedObject font(dc.get(),
                        Font ? static_cast<HGDIOBJ>(Font) : GetStockObject(DEFAULT_GUI_FONT));
    SIZE size{};
    if (wide.empty()) {
        // No width, the line's height.
        GetTextExtentPoint32W(dc.get(), L" ", 1, &size);
        return {0, static_cast<int>(size.cy)};
    }
    GetTextExtentPoint32W(dc.get(), reinterpret_cast<const wchar_t*>(wide.data()),
                          static_cast<int>(wide.size()), &size);
    return {static_cast<int>(size.cx), static_cast<int>(size.cy)};
}

int TextWidth(HWND Window, HFONT Font, const std::string& Text) {
    return MeasureText(Window, Font, Text).Width;
}

int MeasureTextHeight(HWND Window, HFONT Font, const std::string& Text, int Width) {
    WindowDC dc(Window);
    SelectedObject font(dc.get(),
                        Font ? static_cast<HGDIOBJ>(Font) : GetStockObject(DEFAULT_GUI_FONT));
    return WrappedTextHeight(AnsiToUtf16(Text), Width, [&](std::u16string_view word) {
        SIZE size{};
        if (word.empty()) {
            GetTextExtentPoint32W(dc.get(), L" ", 1, &size);
            return TTextExtent{0, static_cast<int>(size.cy)};
        }
        GetTextExtentPoint32W(dc.get(), reinterpret_cast<const wchar_t*>(word.data()),
                              static_cast<int>(word.size()), &size);
        return TTextExtent{static_cast<int>(size.cx), static_cast<int>(size.cy)};
    });
}

std::string GetDialogItemText(HWND Window, int Id) {
    const HWND item = GetDlgItem(Window, Id);
    if (!item) return std::string();
    std::string text(static_cast<size_t>(GetWindowTextLengthA(item)) + 1, '\0');
    text.resize(
        static_cast<size_t>(GetWindowTextA(item, text.data(), static_cast<int>(text.size()))));
    return text;
}

void SetDialogItemText(HWND Window, int Id, const std::string& Text) {
    SetDlgItemTextA(Window, Id, Text.c_str());
}

void SetControlFont(HWND Window, int Id, HFONT Font) {
    if (const HWND item = GetDlgItem(Window, Id))
        SendMessageW(item, WM_SETFONT, reinterpret_cast<WPARAM>(Font), FALSE);
}

// ---- Placement ----

void CenterInRect(HWND Window, const RECT& Rect) {
    RECT r{};
    GetWindowRect(Window, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    SetWindowPos(Window, nullptr, Rect.left + (Rect.right - Rect.left - w) / 2,
                 Rect.top + (Rect.bottom - Rect.top - h) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CentreOnForegroundMonitor(HWND Window, int Width, int Height) {
    const RECT area = GetForegroundMonitorWorkArea();
    SetWindowPos(Window, nullptr, area.left + (area.right - area.left - Width) / 2,
                 area.top + (area.bottom - area.top - Height) / 2, Width, Height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

namespace {

using TMonitorFromWindow = HMONITOR(WINAPI*)(HWND, DWORD);
using TGetMonitorInfo = BOOL(WINAPI*)(HMONITOR, LPMONITORINFO);

template <class F> F User32Function(const char* name) {
    return reinterpret_cast<F>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name));
}

RECT PrimaryWorkArea() {
    RECT r{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
    return r;
}

} // namespace

RECT GetForegroundMonitorWorkArea() {
    HWND fg = GetForegroundWindow();
    if (!fg) fg = GetDesktopWindow();
    return WorkAreaOfWindowMonitor(fg);
}

RECT WorkAreaOfWindowMonitor(HWND Window) {
    const auto fromWindow = User32Function<TMonitorFromWindow>("MonitorFromWindow");
    const auto info = User32Function<TGetMonitorInfo>("GetMonitorInfoA");
    if (!fromWindow || !info) return PrimaryWorkArea();
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    if (!info(fromWindow(Window, MONITOR_DEFAULTTONEAREST), &mi)) return PrimaryWorkArea();
    return mi.rcWork;
}

void MoveWindowBottomEdge(HWND Window, int Delta) {
    RECT r{};
    GetWindowRect(Window, &r);
    SetWindowPos(Window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top + Delta,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT ReportWorkArea() {
    const int* a = Report.WorkArea;
    if (a[2] <= a[0] || a[3] <= a[1]) return GetForegroundMonitorWorkArea();
    return RECT{a[0], a[1], a[2], a[3]};
}

// ---- Other ----

bool IsEscapePressed() {
    BYTE state[256] = {};
    return GetKeyboardState(state) && (state[VK_ESCAPE] & 0x80) != 0;
}

void AddListViewColumn(HWND List, int Index, int Width, const std::string& Text, int Align) {
    LVCOLUMNA column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = Align == 1 ? LVCFMT_RIGHT : LVCFMT_LEFT;
    column.cx = Width;
    column.pszText = const_cast<char*>(Text.c_str());
    column.iSubItem = Index;
    SendMessageA(List, LVM_INSERTCOLUMNA, static_cast<WPARAM>(Index),
                 reinterpret_cast<LPARAM>(&column));
}

bool IsIDEProcess(DWORD ProcessID) {
    bool found = false;
    ForEachTopLevelWindow([&](HWND w) {
        if (found || ProcessOf(w) != ProcessID) return;
        char name[256] = {};
        if (GetClassNameA(w, name, sizeof name) && lstrcmpA(name, "TAppBuilder") == 0) found = true;
    });
    return found;
}

DWORD GetParentProcessID() {
    using TSnapshot = HANDLE(WINAPI*)(DWORD, DWORD);
    using TWalk = BOOL(WINAPI*)(HANDLE, LPPROCESSENTRY32W);
    const HMODULE kernel = GetModuleHandleW(L"Kernel32.dll");
    const auto snapshot =
        reinterpret_cast<TSnapshot>(GetProcAddress(kernel, "CreateToolhelp32Snapshot"));
    const auto first = reinterpret_cast<TWalk>(GetProcAddress(kernel, "Process32FirstW"));
    const auto next = reinterpret_cast<TWalk>(GetProcAddress(kernel, "Process32NextW"));
    if (!snapshot || !first || !next) return 0;
    const HANDLE h = snapshot(TH32CS_SNAPPROCESS, 0);
    if (h == INVALID_HANDLE_VALUE) return 0;
    DWORD parent = 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    const DWORD self = GetCurrentProcessId();
    for (BOOL ok = first(h, &entry); ok; ok = next(h, &entry)) {
        if (entry.th32ProcessID == self) {
            parent = entry.th32ParentProcessID;
            break;
        }
    }
    CloseHandle(h);
    return parent;
}

} // namespace kv::crash
