// The detailed exception dialog ("CL_Dialog") and its pages, and the entry that shows the
// dialog of the report's dialog type.
#include "crash/dialogs/ClExceptionDialog.h"

#include <windows.h>

#include <commctrl.h>
#include <richedit.h>
#include <shellapi.h>

#include <algorithm>
#include <memory>

#include "crash/capture/CrashLogMain.h"
#include "crash/capture/CrashLogUtils.h"
#include "crash/core/ClCore.h"
#include "crash/debug/ClCallStack.h"
#include "crash/debug/ClDebugModules.h"
#include "crash/debug/ClDebugProcesses.h"
#include "crash/dialogs/ClDialogWin.h"
#include "crash/dialogs/ClListView.h"
#include "crash/report/ClLogManager.h"
#include "crash/report/ClReportHalf.h"
#include "crash/report/ClReportRender.h"
#include "crash/report/ClReportText.h"

namespace kv::crash {

namespace {

// The client size the template is laid out for, the tab control's and the message's base size.
constexpr int kBaseWidth = 466, kBaseHeight = 252;
constexpr int kTabWidth = 451, kTabHeight = 131, kMessageWidth = 410;

enum : int {
    kIdMessage = 101,
    kIdOK = 102,
    kIdTerminate = 103,
    kIdDetails = 104,
    kIdCustom = 105,
    kIdTab = 1000,
    kIdSeparator = 2000,
    kIdSend = 3000,
    kIdScreenshot = 4000,
    kIdCopy = 5000,
    kIdPageTitle = 102,
    kIdPageContent = 103,
};

enum TPage { pgGeneral, pgCallStack, pgModules, pgProcesses, pgAssembler, pgCPU };

struct TPageDef {
    const char* Template;
    TMessageType Header;
};
constexpr TPageDef kPages[6] = {
    {"CL_TAB_GENERAL", mtDialog_GeneralHeader},
    {"CL_TAB_CALLSTACK", mtDialog_CallStackHeader},
    {"CL_TAB_MODULESLIST", mtDialog_ModulesHeader},
    {"CL_TAB_PROCESSESLIST", mtDialog_ProcessesHeader},
    {"CL_TAB_ASSEMBLER", mtDialog_AsmHeader},
    {"CL_TAB_CPU", mtDialog_CPUHeader},
};

bool ModulesSectionOn() {
    return DialogOptions().LogOptions().Contains(loSaveModulesAndProcessesSections);
}

bool AssemblerSectionOn() {
    return DialogOptions().LogOptions().Contains(loSaveAssemblerAndCPUSections);
}

bool IsChecked(HWND window, int id) {
    return IsDlgButtonChecked(window, id) == BST_CHECKED;
}

// The dialog on screen (one report dialog at a time).
struct TExceptionDialog {
    HWND Window = nullptr;
    HWND Page = nullptr;
    int PageIndex = -1;
    bool Detailed = false;
    bool Started = false; // resizes lay the dialog out from here on
    int Extra = 0;        // the check-box rows' height below the buttons
    bool ShowSend = false, ShowScreenshot = false, ShowCopy = false, ShowSupport = false;
    bool Hover = false;
    RECT SupportRect{};
    GdiObject<HBITMAP> ErrorBitmap;
    GdiObject<HBRUSH> Background, White;
    TDialogGeometry Geometry;
    bool SizeRecorded = false;
    std::unique_ptr<TListViewItems> List; // of the list page on screen
};
TExceptionDialog* g_dialog = nullptr;

// ---- Geometry ----

int ReadCoordinate(const char* key, int def) {
    return ReadInteger(kDialogIniFile, "Coordinates", key, def);
}

void SaveGeometry(const TExceptionDialog& d) {
    if (!d.SizeRecorded) return;
    const TDialogGeometry& g = d.Geometry;
    if (g.WindowsState == 1) {
        WriteInteger(kDialogIniFile, "Coordinates", "Width", g.Width);
        WriteInteger(kDialogIniFile, "Coordinates", "Height", g.Height - d.Extra);
        WriteInteger(kDialogIniFile, "Coordinates", "Left", g.Left);
        WriteInteger(kDialogIniFile, "Coordinates", "Top", g.Top);
    }
    WriteInteger(kDialogIniFile, "Coordinates", "WindowsState", g.WindowsState);
}

void SetNormalRect(HWND window, int left, int top, int width, int height) {
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    GetWindowPlacement(window, &wp);
    wp.rcNormalPosition = RECT{left, top, left + width, top + height};
    if (wp.showCmd != SW_SHOWMAXIMIZED && wp.showCmd != SW_SHOWMINIMIZED)
        wp.showCmd = IsWindowVisible(window) ? SW_SHOWNORMAL : SW_HIDE;
    SetWindowPlacement(window, &wp);
}

// ---- Layout ----

int ButtonWidth(HWND window) {
    int widest = 75;
    for (TMessageType t :
         {mtDialog_OKButtonCaption, mtDialog_TerminateButtonCaption, mtDialog_RestartButtonCaption,
          mtDialog_DetailsButtonCaption, mtDialog_CustomButtonCaption})
        widest = std::max(widest, TextWidth(window, DialogFonts.Message, DialogText(t) + "O"));
    return widest;
}

bool TerminateButtonShown() {
    const TCrashModuleOptions& o = DialogOptions();
    return o.TerminateBtnOperation() != tbNone &&
           o.ErrorsNumberToShowTerminateBtn() < ReportCounter;
}

void FitPage(TExceptionDialog& d) {
    if (!d.Page) return;
    const HWND tab = GetDlgItem(d.Window, kIdTab);
    RECT area{};
    GetClientRect(tab, &area);
    TabCtrl_AdjustRect(tab, FALSE, &area);
    OffsetRect(&area, -3, -1);
    const int w = area.right - area.left, h = area.bottom - area.top;
    SetWindowPos(d.Page, nullptr, area.left, area.top, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    PlaceControl(d.Page, kIdPageContent, 3, 20, w - 8, h - 24);
}

void Layout(TExceptionDialog& d, int W, int H) {
    const HWND window = d.Window;
    const int dx = W - kBaseWidth, dy = H - kBaseHeight, E = d.Extra;
    PlaceControl(window, kIdTab, 4, 52, kTabWidth + dx + 7, kTabHeight + dy - E + 31);
    {
        // Everything but the page area is repainted.
        const HRGN all = CreateRectRgn(0, 0, W, H);
        const HRGN keep = CreateRectRgn(6, 80, kTabWidth + dx + 5, kTabHeight + dy - E + 69);
        CombineRgn(all, all, keep, RGN_DIFF);
        InvalidateRgn(window, all, TRUE);
        DeleteObject(keep);
        DeleteObject(all);
    }
    if (d.Detailed) PlaceControl(window, kIdMessage, 48, 8, kMessageWidth + dx, 42);

    const int B = ButtonWidth(window);
    const int y = H - E - 32;
    int X = (W - B) / 2;
    const bool terminate = TerminateButtonShown();
    PlaceControl(window, kIdTerminate, 5, y, B, 25);
    ShowControl(window, kIdTerminate, terminate);
    const int x = terminate ? B + 13 : 5;
    PlaceControl(window, kIdCustom, x, y, B, 25);
    if (HasDialogOption(edoShowCustomButton) && x + B >= X) X = x + B + 8;
    PlaceControl(window, kIdOK, X, y, B, 25);

    const int half = (W - 8) / 2;
    PlaceControl(window, kIdSend, 4, y + 34, half, 16);
    PlaceControl(window, kIdCopy, W - half - 4, y + 34, half, 16);
    PlaceControl(window, kIdScreenshot, 23, y + 50, W / 2, 16);

    const int linkWidth =
        TextWidth(window, DialogFonts.MessageUnderlinedBold, DialogText(mtDialog_SupportMessage));
    const int linkTop = y + 34 + (d.ShowCopy ? 16 : 0);
    d.SupportRect = RECT{W - 4 - linkWidth, linkTop, W - 4, linkTop + 13};

    const bool details = HasDialogOption(edoShowDetailsButton) && !Report.RepeatFlag;
    PlaceControl(window, kIdDetails, W - B - 5, y, B, 25);
    ShowControl(window, kIdDetails, details);

    if (IsZoomed(window)) {
        d.Geometry.WindowsState = 3;
    } else if (IsIconic(window)) {
        d.Geometry.WindowsState = 6;
    } else if (d.Detailed) {
        d.Geometry.WindowsState = 1;
        RECT r{};
        GetWindowRect(window, &r);
        d.Geometry.Width = r.right - r.left;
        d.Geometry.Height = r.bottom - r.top;
        d.SizeRecorded = true;
    }
    FitPage(d);
}

void SetDetailedMode(TExceptionDialog& d, bool Detailed) {
    const HWND window = d.Window;
    d.Detailed = Detailed;
    // Out of a maximised or minimised detailed window (a hidden one stays hidden until its
    // start is done).
    if (!Detailed && (IsZoomed(window) || IsIconic(window))) ShowWindow(window, SW_SHOWNORMAL);
    LONG style = GetWindowLongW(window, GWL_STYLE);
    LONG toggled = WS_THICKFRAME | WS_MAXIMIZEBOX;
    if (!HasDialogOption(edoUseCrashLogLookAndFeel)) toggled |= WS_SYSMENU;
    style = Detailed ? (style | toggled) : (style & ~toggled);
    SetWindowLongW(window, GWL_STYLE, style);
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);

    const std::string details = DialogText(mtDialog_DetailsButtonCaption);
    SetDialogItemText(window, kIdDetails, Detailed ? "<< " + details : details + " >>");

    const RECT area = ReportWorkArea();
    if (Detailed) {
        SetDialogItemText(window, kIdMessage, DialogText(mtDialog_ErrorMsgCaption));
        d.Geometry = LoadDialogGeometry(area, d.Extra);
        ShowControl(window, kIdTab, true);
        SetNormalRect(window, d.Geometry.Left, d.Geometry.Top, d.Geometry.Width,
                      d.Geometry.Height + d.Extra);
        if (d.Geometry.WindowsState == 3)
            ShowWindow(window, SW_MAXIMIZE);
        else if (d.Geometry.WindowsState == 6)
            ShowWindow(window, SW_MINIMIZE);
        return;
    }
    const std::string message = GetDisplayedErrorMessage();
    SetDialogItemText(window, kIdMessage, message);
    TStrings lines;
    for (std::string_view line : SplitLogLines(message)) lines.emplace_back(line);
    lines.push_back(DialogText(mtDialog_SendMessage) + "    " + DialogText(mtDialog_CopyMessage));
    const int frameW = GetSystemMetrics(SM_CXFIXEDFRAME);
    const int frameH = GetSystemMetrics(SM_CYFIXEDFRAME);
    const int M = 2 * frameW + 58;
    const int A = 640 - M;
    int widest = 0, height = 0;
    for (const std::string& line : lines) {
        const TTextExtent e = MeasureText(window, DialogFonts.Message, line.empty() ? " " : line);
        if (e.Width > widest) widest = e.Width + 16;
        if (e.Width + 16 > A) {
            widest = A;
            height += ((e.Width - A + 16) / A + 1) * e.Height;
        }
        height += e.Height;
    }
    const int width = std::max(widest + M, 340);
    PlaceControl(window, kIdMessage, 48, 8, width - M, height);
    const int windowHeight =
        std::max(height - 39, 0) + 2 * frameH + DialogCaptionMetric + 86 + d.Extra;
    const int left = area.left + (area.right - area.left - width) / 2;
    const int top = area.top + (area.bottom - area.top - windowHeight) / 2;
    ShowControl(window, kIdTab, false);
    SetNormalRect(window, left, top, width, windowHeight);
}

// ---- Pages ----

void AddCallStackRows(TListViewItems& list) {
    const TCrashStackList* stack = Report.CallStack.get();
    if (!stack) stack = Report.Record.CallStack;
    if (!stack) return;
    const TCrashModuleOptions& o = DialogOptions();
    const TCrashDebugDetails shown = GetShownDebugDetails(o);
    const TCrashDebugInfo* prev = nullptr;
    for (int i = 0; i < stack->Count(); ++i) {
        const TCrashDebugInfo* f = stack->GetItem(i);
        if (!f || !shown.Contains(f->DebugDetail)) continue;
        const TCrashModuleInfo* module = f->ModuleInfo;
        if (module && module->ModuleType == mtMainModule && f->DebugDetail == ddUnitAndProcedure)
            continue;
        const bool newBlock = !prev || f->ThreadID != prev->ThreadID ||
                              f->RunningThread != prev->RunningThread || f->ErrorLine;
        if (newBlock) {
            if (prev && f->RunningThread) list.AddRow(TStrings(6), -1, 0, false, std::string());
            list.AddRow(TStrings(6), -1,
                        static_cast<intptr_t>(f->RunningThread) +
                            2 * static_cast<intptr_t>(f->ErrorLine),
                        true, BuildThreadCaption(o, *f, &ThreadCaptionOf, false));
        }
        const int32_t bmp = f->DebugDetail == ddSourceCode                     ? 3
                            : module && module->ModuleType == mtMainModule     ? 2
                            : module && module->ModuleType == mtBorlandPackage ? 1
                                                                               : 0;
        list.AddRow({IntToHex(f->Addr, 8), module ? ExtractFileName(module->Name) : std::string(),
                     f->UnitName, f->ClassName, f->ProcedureName,
                     f->Line != 0 ? IntToStr(f->Line) + "[" + IntToStr(f->ProcOffsetLine) + "]"
                                  : std::string()},
                    bmp, 0, false, std::string());
        prev = f;
    }
}

void AddModuleRows(TListViewItems& list) {
    TCrashModulesList* modules =
        Report.Record.ModulesList ? Report.Record.ModulesList : ModulesList();
    if (!modules) return;
    modules->Lock();
    for (int i = 0; i < modules->Count(); ++i) {
        const TCrashModuleInfo* m = modules->GetItem(i);
        if (!m) continue;
        const std::string ext = UpperCase(ExtractFileExt(m->Name));
        const int32_t bmp = ext == ".BPL" || ext == ".DPL" ? 1 : ext == ".EXE" ? 2 : 0;
        list.AddRow({IntToHex(m->Handle, 8), ExtractFileName(m->Name), m->Description,
                     MaskVersionBuild(m->Version), SizeToKbText(m->Size),
                     TableDateText(m->LastModified), ExtractDisplayPath(m->Name)},
                    bmp, 0, false, std::string());
    }
    modules->Unlock();
}

void AddProcessRows(TListViewItems& list) {
    TCrashProcessesList* processes = ProcessesList();
    if (!processes) return;
    processes->Lock();
    for (int i = 0; i < processes->Count(); ++i) {
        const TCrashProcessInfo* p = processes->GetItem(i);
        if (!p) continue;
        list.AddRow({IntToStr(p->ProcessID), ExtractFileName(p->Name), p->Description,
                     MaskVersionBuild(p->Version), SizeToKbText(p->Memory),
                     PriorityClassToText(p->Priority),
                     CountToText(static_cast<int32_t>(p->Threads)), ExtractDisplayPath(p->Name)},
                    2, 0, false, std::string());
    }
    processes->Unlock();
}

struct TColumnDef {
    TMessageType Caption;
    int Width;
    int Align;
};
constexpr TColumnDef kCallStackColumns[] = {
    {mtCallStack_Address, 89, 0}, {mtCallStack_Name, 92, 0},       {mtCallStack_Unit, 126, 0},
    {mtCallStack_Class, 126, 0},  {mtCallStack_Procedure, 200, 0}, {mtCallStack_Line, 61, 1}};
constexpr TColumnDef kModuleColumns[] = {
    {mtModules_Handle, 80, 0},  {mtModules_Name, 96, 0}, {mtModules_Description, 175, 0},
    {mtModules_Version, 50, 1}, {mtModules_Size, 54, 1}, {mtModules_LastModified, 712, 0},
    {mtModules_Path, 80, 0}};
constexpr TColumnDef kProcessColumns[] = {
    {mtProcesses_ID, 48, 0},      {mtProcesses_Name, 134, 0},  {mtProcesses_Description, 232, 0},
    {mtProcesses_Version, 56, 1}, {mtProcesses_Memory, 57, 1}, {mtProcesses_Priority, 47, 1},
    {mtProcesses_Threads, 52, 1}, {mtProcesses_Path, 330, 0}};

struct TListPageDef {
    const TColumnDef* Columns;
    int Count;
    const char* KeyPrefix;
};
TListPageDef ListPageOf(int page) {
    switch (page) {
    case pgCallStack:
        return {kCallStackColumns, 6, "Col"};
    case pgModules:
        return {kModuleColumns, 7, "ColMod"};
    default:
        return {kProcessColumns, 8, "ColPro"};
    }
}

void SaveColumnWidths(HWND list, int page) {
    const TListPageDef def = ListPageOf(page);
    for (int i = 0; i < def.Count; ++i) {
        const int width = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, i, 0));
        WriteInteger(kDialogIniFile, "Coordinates", std::string(def.KeyPrefix) + IntToStr(i),
                     width);
    }
}

void FillListPage(HWND page, int index) {
    const HWND list = GetDlgItem(page, kIdPageContent);
    SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFonts.List), FALSE);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
    ListView_SetBkColor(list, RGB(255, 255, 255));
    ListView_SetTextBkColor(list, RGB(255, 255, 255));
    ListView_SetTextColor(list, RGB(0, 0, 0));
    const TListPageDef def = ListPageOf(index);
    for (int i = 0; i < def.Count; ++i) {
        const TColumnDef& c = def.Columns[i];
        AddListViewColumn(list, i,
                          ReadInteger(kDialogIniFile, "Coordinates",
                                      std::string(def.KeyPrefix) + IntToStr(i), c.Width),
                          DialogText(c.Caption), c.Align);
    }
    g_dialog->List = std::make_unique<TListViewItems>(list);
    TListViewItems& items = *g_dialog->List;
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    if (index == pgCallStack) {
        AddCallStackRows(items);
    } else if (index == pgModules) {
        AddModuleRows(items);
    } else {
        AddProcessRows(items);
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
}

void FillTextPage(HWND page, int index) {
    const HWND edit = GetDlgItem(page, kIdPageContent);
    SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFonts.Fixed), FALSE);
    LOGFONTA lf{};
    GetObjectA(DialogFonts.Fixed, sizeof lf, &lf);
    int points = 10;
    {
        WindowDC dc(page);
        if (lf.lfHeight != 0 && dc.get())
            points = MulDiv(-lf.lfHeight, 72, GetDeviceCaps(dc.get(), LOGPIXELSY));
    }
    std::string rtf;
    if (index == pgGeneral) {
        rtf = RenderGeneralRTF(ReportTexts.GeneralSectionText, UserRTFFont(lf.lfFaceName, points));
    } else if (index == pgAssembler) {
        rtf = RenderAssemblerRTF(ReportTexts.AssemblerText, UserRTFFont(lf.lfFaceName, points));
    } else {
        rtf = RenderCPURTF(
            ReportTexts.CPUText,
            UserRTFFont(lf.lfFaceName, points,
                        MeasureCPUTabTwips(reinterpret_cast<uintptr_t>(DialogFonts.Fixed))));
    }
    SetRichEditBackground(reinterpret_cast<uintptr_t>(edit),
                          static_cast<int32_t>(RGB(255, 255, 255)));
    StreamRTFIntoRichEdit(reinterpret_cast<uintptr_t>(edit), rtf);
}

// The row activated on the call-stack page goes to the development environment.
void SendSourceLocationToIDE(const TListViewItemRec& row) {
    if (row.Cols.size() < 6 || Trim(row.Cols[5]).empty()) return;
    const std::string address = Trim(row.Cols[0]);
    uint32_t value = 0;
    for (char c : address) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                 : -1;
        if (digit < 0) break;
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    int32_t line = 0, offset = -1;
    ParseLineCell(row.Cols[5], line, offset);
    TDateTime date = 0;
    if (const TCrashModuleInfo* m = ModuleInfoByAddr(value)) {
        if (!GetCompilationDate(m->Handle, false, date)) date = 0;
    }
    const DWORD parent = GetParentProcessID();
    DWORD ide = 0;
    if (parent && IsIDEProcess(parent)) {
        AllowSetForegroundWindow(parent);
        ide = parent;
    }
    WriteSourceLocationToMailslot(ide,
                                  MakeSourceLocationRecord(Trim(row.Cols[2]), Trim(row.Cols[3]),
                                                           Trim(row.Cols[4]), line, offset, date));
}

void ActivateListRow(int index, POINT point, bool onSign) {
    TListViewItems* list = g_dialog ? g_dialog->List.get() : nullptr;
    if (!list) return;
    const PListViewItemRec row = list->GetItemParam(index);
    if (!row) return;
    if (row->IsParent) {
        list->ClickOnItem(index, point, onSign);
    } else if (!onSign && g_dialog->PageIndex == pgCallStack) {
        SendSourceLocationToIDE(*row);
    }
}

INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        if (IsAutoCloseInput(message, true)) RestartAutoCloseCount();
        switch (message) {
        case WM_INITDIALOG: {
            const int index = static_cast<int>(lParam);
            SetWindowLongPtrW(page, GWLP_USERDATA, index);
            SetDialogItemText(page, kIdPageTitle, DialogText(kPages[index].Header));
            SetControlFont(page, kIdPageTitle, DialogFonts.MessageBold);
            if (index == pgGeneral || index == pgAssembler || index == pgCPU)
                FillTextPage(page, index);
            else
                FillListPage(page, index);
            return FALSE;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORDLG: {
            const HDC dc = reinterpret_cast<HDC>(wParam);
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, RGB(0, 0, 0));
            return reinterpret_cast<INT_PTR>(g_dialog ? g_dialog->Background.get()
                                                      : GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_DRAWITEM:
            if (g_dialog && g_dialog->List) {
                g_dialog->List->DrawList(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
                SetWindowLongPtrW(page, DWLP_MSGRESULT, TRUE);
                return TRUE;
            }
            return FALSE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->idFrom != kIdPageContent) return FALSE;
            if (header->code == NM_CLICK || header->code == NM_DBLCLK) {
                const auto* item = reinterpret_cast<const NMITEMACTIVATE*>(lParam);
                LVHITTESTINFO hit{};
                hit.pt = item->ptAction;
                const int index = ListView_SubItemHitTest(header->hwndFrom, &hit);
                if (index >= 0) ActivateListRow(index, item->ptAction, header->code == NM_CLICK);
            } else if (header->code == NM_RETURN) {
                const int index = ListView_GetNextItem(header->hwndFrom, -1, LVNI_FOCUSED);
                if (index >= 0) ActivateListRow(index, POINT{0, 0}, false);
            }
            return FALSE;
        }
        case WM_DESTROY: {
            const int index = static_cast<int>(GetWindowLongPtrW(page, GWLP_USERDATA));
            if (index == pgCallStack || index == pgModules || index == pgProcesses)
                SaveColumnWidths(GetDlgItem(page, kIdPageContent), index);
            return FALSE;
        }
        default:
            return FALSE;
        }
    } catch (...) {
        return FALSE;
    }
}

void ActivatePage(TExceptionDialog& d, int tabIndex) {
    int page = tabIndex;
    if (tabIndex > 1 && !ModulesSectionOn()) page = tabIndex + 2;
    if (page < 0 || page > 5) page = 0;
    if (d.Page) {
        DestroyWindow(d.Page);
        d.Page = nullptr;
    }
    d.List.reset();
    d.PageIndex = page;
    d.Page = CreateDialogParamA(DialogResourceModule(), kPages[page].Template,
                                GetDlgItem(d.Window, kIdTab), &PageProc, page);
    FitPage(d);
    if (d.Page) ShowWindow(d.Page, SW_SHOW);
    RestartAutoCloseCount();
}

// ---- The dialog ----

void EndExceptionDialog(HWND window) {
    EndDialog(window, 0);
}

void InitDialog(TExceptionDialog& d) {
    const HWND window = d.Window;
    SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOREDRAW | SWP_NOZORDER);
    StartDialog(window, false);
    const TCrashModuleOptions& o = DialogOptions();
    const bool sendMode = o.EMailSendMode() != esmNoSend || o.WebSendMode() != wsmNoSend;
    d.ShowSend = sendMode && !Report.Duplicate && HasDialogOption(edoShowSendErrorReportOption);
    d.ShowScreenshot = o.CommonSendOptions().Contains(sndSendScreenshot) && d.ShowSend &&
                       HasDialogOption(edoShowAttachScreenshotOption);
    Report.CopyToClipboardChosen = true;
    Report.SendChosen = true;
    d.ShowCopy = HasDialogOption(edoShowCopyToClipOption);
    d.ShowSupport = !Trim(o.SupportURL()).empty();
    const bool any = d.ShowSend || d.ShowScreenshot || d.ShowCopy || d.ShowSupport;
    d.Extra = !any                                                                ? 0
              : (d.ShowSend && d.ShowScreenshot) || (d.ShowCopy && d.ShowSupport) ? 34
                                                                                  : 20;

    SetForegroundWindow(window);
    const bool detailed = Report.RepeatFlag || HasDialogOption(edoShowInDetailedMode);

    d.ErrorBitmap.Reset(LoadBitmapA(DialogResourceModule(), "CL_Error"));
    d.Background.Reset(CreateSolidBrush(HasDialogOption(edoUseCrashLogLookAndFeel)
                                            ? RGB(212, 208, 200)
                                            : GetSysColor(COLOR_BTNFACE)));
    d.White.Reset(CreateSolidBrush(RGB(255, 255, 255)));
    CreateDialogFonts(window);
    d.Started = true;

    SetDialogItemText(window, kIdOK, DialogText(mtDialog_OKButtonCaption));
    SetDialogItemText(window, kIdTerminate,
                      DialogText(o.TerminateBtnOperation() == tbTerminate
                                     ? mtDialog_TerminateButtonCaption
                                     : mtDialog_RestartButtonCaption));
    if (HasDialogOption(edoShowCustomButton))
        SetDialogItemText(window, kIdCustom, DialogText(mtDialog_CustomButtonCaption));
    else
        ShowControl(window, kIdCustom, false);
    SetWindowTextA(window, DialogText(mtDialog_Caption).c_str());
    for (int id :
         {kIdOK, kIdTerminate, kIdCustom, kIdDetails, kIdMessage, kIdSend, kIdScreenshot, kIdCopy})
        SetControlFont(window, id, DialogFonts.Message);
    if (!HasDialogOption(edoUseCrashLogLookAndFeel)) {
        // The template's buttons are flat; the system's look has them raised.
        for (int id : {kIdOK, kIdTerminate, kIdDetails, kIdCustom, kIdSend, kIdScreenshot, kIdCopy})
            if (const HWND c = GetDlgItem(window, id))
                SetWindowLongW(c, GWL_STYLE, GetWindowLongW(c, GWL_STYLE) & ~BS_FLAT);
    }
    ShowControl(window, kIdSeparator, false);

    SetDialogItemText(window, kIdSend, DialogText(mtDialog_SendMessage));
    SetDialogItemText(window, kIdScreenshot, DialogText(mtDialog_ScreenshotMessage));
    SetDialogItemText(window, kIdCopy, DialogText(mtDialog_CopyMessage));
    CheckDlgButton(window, kIdSend,
                   Report.SendChosen && HasDialogOption(edoSendErrorReportChecked) ? BST_CHECKED
                                                                                   : BST_UNCHECKED);
    EnableWindow(GetDlgItem(window, kIdScreenshot), IsChecked(window, kIdSend));
    ShowControl(window, kIdSend, d.ShowSend);
    ShowControl(window, kIdScreenshot, d.ShowSend && d.ShowScreenshot);
    CheckDlgButton(window, kIdScreenshot,
                   Report.AttachScreenshotChosen && HasDialogOption(edoAttachScreenshotChecked)
                       ? BST_CHECKED
                       : BST_UNCHECKED);
    CheckDlgButton(window, kIdCopy, BST_UNCHECKED);
    ShowControl(window, kIdCopy, d.ShowCopy);

    const HWND tab = GetDlgItem(window, kIdTab);
    std::vector<TMessageType> tabs = {mtDialog_GeneralCaption, mtDialog_CallStackCaption};
    if (ModulesSectionOn())
        tabs.insert(tabs.end(), {mtDialog_ModulesCaption, mtDialog_ProcessesCaption});
    if (AssemblerSectionOn()) tabs.insert(tabs.end(), {mtDialog_AsmCaption, mtDialog_CPUCaption});
    SendMessageW(tab, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFonts.Message), FALSE);
    for (size_t i = 0; i < tabs.size(); ++i) {
        std::string caption = DialogText(tabs[i]);
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = caption.data();
        SendMessageA(tab, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
    }

    // The first page: the one the options name, when its section is on.
    int first = static_cast<int>(o.ForegroundTab());
    if ((first == pgModules || first == pgProcesses) && !ModulesSectionOn()) first = pgGeneral;
    if ((first == pgAssembler || first == pgCPU) && !AssemblerSectionOn()) first = pgGeneral;
    if (first < 0 || first > 5) first = pgGeneral;
    const int firstTab = first >= pgAssembler && !ModulesSectionOn() ? first - 2 : first;
    ActivatePage(d, firstTab);
    TabCtrl_SetCurSel(tab, firstTab);
    SetFocus(GetDlgItem(window, kIdOK));
    SetDetailedMode(d, detailed);
    {
        RECT client{};
        GetClientRect(window, &client);
        Layout(d, client.right, client.bottom);
    }

    SetTimer(window, kVisibilityTimer, 1, nullptr);
    StartAutoCloseTimer(window);
    StartKeepInFrontTimer(window);
}

void DestroyDialog(TExceptionDialog& d) {
    const HWND window = d.Window;
    StopAutoCloseTimer(window);
    StopKeepInFrontTimer(window);
    KillTimer(window, kVisibilityTimer);
    Report.SendChosen = Report.SendChosen && IsChecked(window, kIdSend);
    Report.AttachScreenshotChosen = IsChecked(window, kIdScreenshot);
    Report.CopyToClipboardChosen = Report.CopyToClipboardChosen && IsChecked(window, kIdCopy);
    if (Report.Options) {
        // The boxes start this way for the next report.
        TExceptionDialogOptions options = Report.Options->ExceptionDialogOptions();
        options.Set(edoSendErrorReportChecked, Report.SendChosen);
        options.Set(edoAttachScreenshotChecked, Report.AttachScreenshotChosen);
        Report.Options->SetExceptionDialogOptions(options);
    }
    if (d.Page) {
        DestroyWindow(d.Page);
        d.Page = nullptr;
    }
    d.List.reset();
    if (d.Detailed) SaveGeometry(d);
    FreeDialogFonts();
    d.ErrorBitmap.Reset();
    d.Background.Reset();
    d.White.Reset();
}

void PaintDialog(TExceptionDialog& d) {
    PAINTSTRUCT ps{};
    const HDC dc = BeginPaint(d.Window, &ps);
    Report.DialogShown = true;
    BITMAP bm{};
    if (d.ErrorBitmap.get() && GetObjectW(d.ErrorBitmap.get(), sizeof bm, &bm))
        DrawBmp(dc, d.ErrorBitmap.get(), 8, bm.bmHeight, bm.bmWidth, 8);
    if (d.ShowSupport) {
        SelectedObject font(dc, DialogFonts.MessageUnderlinedBold);
        FillRect(dc, &d.SupportRect, d.Background.get());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 0, 128));
        const std::string link = DialogText(mtDialog_SupportMessage);
        RECT r = d.SupportRect;
        DrawTextA(dc, link.c_str(), -1, &r, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    }
    EndPaint(d.Window, &ps);
}

INT_PTR CALLBACK ExceptionDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    TExceptionDialog* d = g_dialog;
    if (!d) return FALSE;
    try {
        if (IsAutoCloseInput(message, false) || IsControlNotification(message, lParam))
            RestartAutoCloseCount();
        switch (message) {
        case WM_INITDIALOG:
            d->Window = window;
            InitDialog(*d);
            return FALSE; // the focus is set
        case WM_SIZE:
            if (d->Started && d->Window) Layout(*d, LOWORD(lParam), HIWORD(lParam));
            return FALSE;
        case WM_MOVE:
            if (d->Started && d->Detailed && !IsZoomed(window) && !IsIconic(window)) {
                RECT r{};
                GetWindowRect(window, &r);
                d->Geometry.Left = r.left;
                d->Geometry.Top = r.top;
            }
            return FALSE;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (HIWORD(wParam) != BN_CLICKED) return FALSE;
            switch (id) {
            case kIdOK:
                Report.DialogType = edtNone;
                EndExceptionDialog(window);
                return TRUE;
            case kIdTerminate:
                Report.DialogType = edtNone;
                Report.TerminateChosen = true;
                EndExceptionDialog(window);
                return TRUE;
            case IDCANCEL:
                Report.SendChosen = false;
                Report.Cancelled = true;
                Report.CopyToClipboardChosen = false;
                Report.DialogType = edtNone;
                EndExceptionDialog(window);
                return TRUE;
            case kIdDetails:
                if (d->Detailed) SaveGeometry(*d);
                InvalidateRect(window, nullptr, TRUE);
                SetDetailedMode(*d, !d->Detailed);
                {
                    RECT client{};
                    GetClientRect(window, &client);
                    Layout(*d, client.right, client.bottom);
                }
                return TRUE;
            case kIdCustom:
                if (RunCustomButtonEvent()) {
                    Report.DialogType = edtNone;
                    EndExceptionDialog(window);
                }
                return TRUE;
            case kIdSend:
                EnableWindow(GetDlgItem(window, kIdScreenshot), IsChecked(window, kIdSend));
                return TRUE;
            default:
                return FALSE;
            }
        }
        case WM_CLOSE:
            Report.DialogType = edtNone;
            EndExceptionDialog(window);
            return TRUE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->idFrom == kIdTab && header->code == TCN_SELCHANGE)
                ActivatePage(*d, TabCtrl_GetCurSel(header->hwndFrom));
            return FALSE;
        }
        case WM_MOUSEMOVE: {
            const POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            const bool hover = d->ShowSupport && PtInRect(&d->SupportRect, p);
            if (hover != d->Hover) {
                d->Hover = hover;
                InvalidateRect(window, &d->SupportRect, TRUE);
            }
            return FALSE;
        }
        case WM_SETCURSOR:
            return SetLinkCursor(window, d->Hover, lParam) ? TRUE : FALSE;
        case WM_LBUTTONUP:
            if (d->Hover) {
                DialogTopMost = false;
                SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
                ShellExecuteA(nullptr, "open", DialogOptions().SupportURL().c_str(), nullptr,
                              nullptr, SW_SHOWMAXIMIZED);
            }
            return FALSE;
        case WM_PAINT:
            PaintDialog(*d);
            return TRUE;
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE) Report.DialogShown = true;
            return FALSE;
        case WM_NCPAINT:
        case WM_NCACTIVATE:
            if (message == WM_NCACTIVATE && wParam) Report.DialogShown = true;
            return AnswerCustomCaption(window, message, wParam, DialogText(mtDialog_Caption))
                       ? TRUE
                       : FALSE;
        case WM_CTLCOLORDLG:
            return reinterpret_cast<INT_PTR>(d->Background.get());
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            const HDC dc = reinterpret_cast<HDC>(wParam);
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, RGB(0, 0, 0));
            return reinterpret_cast<INT_PTR>(d->Background.get());
        }
        case WM_TIMER:
            if (wParam == kVisibilityTimer) {
                KillTimer(window, kVisibilityTimer);
                if (!Report.DialogShown) {
                    Report.DialogType = edtNone;
                    EndExceptionDialog(window);
                }
                return TRUE;
            }
            return HandleDialogTimer(window, wParam) ? TRUE : FALSE;
        case WM_DESTROY:
            DestroyDialog(*d);
            return FALSE;
        default:
            return FALSE;
        }
    } catch (...) {
        // Nothing may leave a dialog procedure; the report goes on without the dialog.
        Report.DialogType = edtNone;
        EndDialog(window, 0);
        return TRUE;
    }
}

void ShowErrorMessageBox() {
    MessageBoxA(nullptr, GetDisplayedErrorMessage().c_str(), DialogText(mtDialog_Caption).c_str(),
                MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_TOPMOST | MB_SERVICE_NOTIFICATION);
}

// Owns a loaded library: FreeLibrary.
class TLoadedLibrary {
public:
    explicit TLoadedLibrary(const wchar_t* name) : h_(LoadLibraryW(name)) {}
    ~TLoadedLibrary() {
        if (h_) FreeLibrary(h_);
    }
    TLoadedLibrary(const TLoadedLibrary&) = delete;
    TLoadedLibrary& operator=(const TLoadedLibrary&) = delete;

private:
    HMODULE h_;
};

} // namespace

HMODULE DialogResourceModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&DialogResourceModule), &module);
    return module;
}

TDialogGeometry LoadDialogGeometry(const RECT& Area, int Extra) {
    const int L = Area.left, T = Area.top, R = Area.right, Bt = Area.bottom;
    TDialogGeometry g;
    g.Width = ReadCoordinate("Width", 745);
    g.Height = ReadCoordinate("Height", 468);
    g.Left = ReadCoordinate("Left", L + (R - L - g.Width) / 2);
    g.Top = ReadCoordinate("Top", T + (Bt - T - g.Height - Extra) / 2);
    g.WindowsState = ReadCoordinate("WindowsState", 1);
    if (g.Top < T || g.Top + g.Height > Bt || g.Left < L || g.Left + g.Width > R) {
        g.Left = L + (R - L - g.Width) / 2;
        g.Top = T + (Bt - T - g.Height) / 2;
    }
    return g;
}

bool WriteSourceLocationToMailslot(DWORD ProcessID, const std::string& Record) {
    const std::string name = "\\\\.\\mailslot\\CrashLog" + IntToStr(ProcessID);
    const HANDLE slot = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (slot == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(slot, Record.data(), static_cast<DWORD>(Record.size()), &written, nullptr) &&
        written == Record.size();
    CloseHandle(slot);
    return ok;
}

HWND ExceptionDialogWindow() {
    return g_dialog ? g_dialog->Window : nullptr;
}

void ShowExceptionDialog(bool Beep) {
    Report.DialogsDisabled = false;
    const TLoadedLibrary richEdit(L"RICHED20.DLL");
    INITCOMMONCONTROLSEX icc{sizeof icc,
                             ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    const HWND foreground = GetForegroundWindow();
    StopKeepInFrontTimer(nullptr);
    if (Beep && Report.DialogType != edtMessageBox) MessageBeep(MB_ICONHAND);
    for (;;) {
        Report.DialogShown = false;
        switch (Report.DialogType) {
        case edtCrashLog: {
            TExceptionDialog dialog;
            g_dialog = &dialog;
            DialogBoxParamA(DialogResourceModule(), "CL_Dialog", nullptr, &ExceptionDialogProc, 0);
            g_dialog = nullptr;
            if (Report.DialogType == edtCrashLog) Report.DialogType = edtNone;
            break;
        }
        case edtMSClassic:
            ShowClassicDialog();
            if (Report.DialogType == edtMSClassic) Report.DialogType = edtNone;
            break;
        case edtMessageBox:
            Report.DialogType = edtNone;
            Report.DialogShown = true;
            ShowErrorMessageBox();
            break;
        default:
            Report.DialogShown = true;
            break;
        }
        // Windows 9x had no such fallback: every system this runs on is of the NT family.
        if (!Report.DialogShown) ShowErrorMessageBox();
        bool terminating = false;
        if (Report.TerminateChosen) {
            terminating = true;
            ClearLastCrashLogError();
            CallInRaisingThread([] {
                bool flag = Report.TerminateChosen;
                DoExceptionActionNotify(atTerminating, flag);
                Report.TerminateChosen = flag;
            });
        }
        if (!Report.DialogShown) {
            SetLastCrashLogError(eeShowError, "Cannot show the DialogBox window.");
            Report.DialogType = edtNone;
            Report.DialogsDisabled = true;
        }
        if (terminating && !Report.TerminateChosen) continue;
        break;
    }
    Report.DialogShown = false;
    if (foreground) SetForegroundWindow(foreground);
}

} // namespace kv::crash
