#pragma once
// What the report dialogs share on the window side: their fonts, the common start of every
// dialog, the component's own caption, the auto-close and keep-in-front timers, text
// measuring, placement on monitors and the snapshot of the process's windows. Runs on the
// thread that shows the dialog; the state is process-wide (one report dialog at a time).
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "crash/core/TCrashModuleOptions.h"
#include "crash/dialogs/ClDialogSupport.h"
#include "crash/report/ClScreenshotWin.h"
#include "ui/Graphics.h"

namespace kv::crash {

// The options of the report on screen (a fresh options object outside a report).
const TCrashModuleOptions& DialogOptions();

// A text of the report's options (customised, variables expanded).
std::string DialogText(TMessageType Text);
bool HasDialogOption(TExceptionDialogOption Option);
// Places, shows or hides a control of a dialog (nothing when there is no such control).
void PlaceControl(HWND Window, int Id, int X, int Y, int Width, int Height);
void ShowControl(HWND Window, int Id, bool Show);
// Runs the custom-button event on the raising thread; true when a handler asks to close.
bool RunCustomButtonEvent();
// The hyperlink cursor over a link of the client area while Hover (WM_SETCURSOR); true when
// the message was answered.
bool SetLinkCursor(HWND Window, bool Hover, LPARAM LParam);
// The custom caption for WM_NCPAINT / WM_NCACTIVATE with the dialog result set; true when
// the message was answered.
bool AnswerCustomCaption(HWND Window, UINT Message, WPARAM WParam, const std::string& Caption);

// ---- Fonts ----

struct TDialogFonts {
    HFONT Caption = nullptr;
    HFONT Message = nullptr;
    HFONT MessageUnderlinedBold = nullptr;
    HFONT MessageUnderlined = nullptr;
    HFONT MessageBold = nullptr;
    HFONT Fixed = nullptr;
    HFONT List = nullptr;
};
extern TDialogFonts DialogFonts;
// Makes the fonts for a dialog (its DC gives the pixels per inch); FreeDialogFonts deletes
// them. A second call frees the fonts of the first.
void CreateDialogFonts(HWND Window);
void FreeDialogFonts();

// ---- The common start and the caption ----

// The caption height the common start chose (small or normal caption).
extern int DialogCaptionMetric;
// The dialog's top-most flag (edoShowInTopMostMode; cleared before opening the support link).
extern bool DialogTopMost;
// The common start of every dialog: caption style, top-most mode and height.
void StartDialog(HWND Window, bool ForceToolWindow);
// Paints the non-client area in the component's look for WM_NCPAINT and WM_NCACTIVATE (the
// latter's WParam is the active flag); true when painted. Only with edoUseCrashLogLookAndFeel.
bool PaintCustomCaption(UINT Message, WPARAM WParam, const std::string& Caption, HWND Window);

// ---- Timers ----

constexpr UINT_PTR kVisibilityTimer = 1;
constexpr UINT_PTR kAutoCloseTimer = 2;
constexpr UINT_PTR kKeepInFrontTimer = 3;
// Every 1,000 ms while AutoCloseDialogSecs is above 0; sends WM_CLOSE once the count reaches it.
// Until it stops, input to the window or any of its controls restarts the count.
void StartAutoCloseTimer(HWND Window);
void StopAutoCloseTimer(HWND Window);
void RestartAutoCloseCount();
int32_t AutoCloseCount();
// True while the close request comes from the auto-close timer: nobody is there to answer.
bool IsAutoClosing();
// Keeps the dialog in front of the process's own windows that existed when it started.
void StartKeepInFrontTimer(HWND Window);
void StopKeepInFrontTimer(HWND Window);
// Runs a tick of the auto-close or keep-in-front timer; false for other timers.
bool HandleDialogTimer(HWND Window, UINT_PTR Id);
// Whether a message restarts the auto-close count (notifications, keys, button presses and
// double clicks in client and non-client area, the wheel; commands too when WithCommands).
bool IsAutoCloseInput(UINT Message, bool WithCommands);
// A control's notification to its dialog (typing into an edit, clicking a check box): input too.
bool IsControlNotification(UINT Message, LPARAM LParam);

// ---- The process's windows ----

void SnapshotProcessWindows();
bool IsOwnProcessWindow(HWND Window);
// Not in the last snapshot.
bool IsNewWindow(HWND Window);
// GetProcessWindowsRect: crash/report/ClScreenshotWin.h (the screenshot uses it too).

// ---- Measuring and texts ----

// A text's extent in a font (measured on the window's DC); ANSI text of the system code page.
TTextExtent MeasureText(HWND Window, HFONT Font, const std::string& Text);
int TextWidth(HWND Window, HFONT Font, const std::string& Text);
int MeasureTextHeight(HWND Window, HFONT Font, const std::string& Text, int Width);
std::string GetDialogItemText(HWND Window, int Id);
void SetDialogItemText(HWND Window, int Id, const std::string& Text);
void SetControlFont(HWND Window, int Id, HFONT Font);

// ---- Placement ----

void CenterInRect(HWND Window, const RECT& Rect);
void CentreOnForegroundMonitor(HWND Window, int Width, int Height);
RECT GetForegroundMonitorWorkArea();
RECT WorkAreaOfWindowMonitor(HWND Window);
// GetMonitorsSpanRect: crash/report/ClScreenshotWin.h.
void MoveWindowBottomEdge(HWND Window, int Delta);
// The work area the report stored (Report.WorkArea); the foreground monitor's when none was.
RECT ReportWorkArea();

// ---- Other ----

// The owner types of ui/Graphics.h serve the dialogs too (GdiObject, WindowDC, SelectedObject).

bool IsEscapePressed();
void AddListViewColumn(HWND List, int Index, int Width, const std::string& Text, int Align);
// A process with a top-level window of class "TAppBuilder" (the development environment).
bool IsIDEProcess(DWORD ProcessID);
DWORD GetParentProcessID();

// ---- The dialogs' own ----

// The INI file of the dialogs' geometry and the user's e-mail address (in the INI folder).
constexpr const char* kDialogIniFile = "CrashLog.ini";
// The module whose resources hold the dialog templates and bitmaps.
HMODULE DialogResourceModule();

// The detailed dialog's window geometry ("Coordinates" of the INI file): the stored values or
// the defaults (745 x 468, centred in the work area), centred again when the window would not
// lie inside the work area.
struct TDialogGeometry {
    int Width = 745, Height = 468, Left = 0, Top = 0;
    int WindowsState = 1; // 1 normal, 3 maximised, 6 minimised
};
TDialogGeometry LoadDialogGeometry(const RECT& Area, int Extra);
// Writes a record to the mailslot of the development environment with that process ID; false
// when there is no such mailslot.
bool WriteSourceLocationToMailslot(DWORD ProcessID, const std::string& Record);
// The detailed dialog's window while it is on screen.
HWND ExceptionDialogWindow();
// Shows the classic dialog ("CL_MS_Dialog") modally without owner.
void ShowClassicDialog();

} // namespace kv::crash
