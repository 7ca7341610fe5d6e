#include "crash/report/ClReportText.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "crash/core/ClCore.h"
#include "crash/debug/ClCallStack.h"
#include "crash/report/ClLogManager.h"

namespace kv::crash {

namespace {

constexpr std::string_view kCrLf = "\r\n";

void Step(const TReportTextInput& input, int32_t marker) {
    if (input.StepMarker) *input.StepMarker = marker;
}

std::string Label(const TCrashModuleOptions& o, TMessageType t) {
    return o.GetCustomizedExpandedTexts(t);
}

// The part of a path after its last folder delimiter ("\", "/" or the drive colon), scanning
// double-byte characters whole.
size_t FileNameStart(std::string_view path) {
    size_t start = 0;
    for (size_t i = 0; i < path.size(); i += AnsiCharSize(path, i))
        if (path[i] == '\\' || path[i] == '/' || path[i] == ':') start = i + 1;
    return start;
}

std::string BaseName(std::string_view path) {
    return std::string(path.substr(FileNameStart(path)));
}

// One table: its column widths grow to the longest cell; rows are written into one buffer that
// is sized for all of them before the first is written.
class TTable {
public:
    explicit TTable(std::vector<std::string> labels)
        : labels_(std::move(labels)), fixed_(labels_.size()) {
        for (const std::string& l : labels_) widths_.push_back(l.size());
    }
    void SetMinWidth(size_t column, size_t width) {
        widths_[column] = std::max(widths_[column], width);
    }
    // The column keeps its width whatever its cells hold (longer cells are cut).
    void KeepWidth(size_t column) { fixed_[column] = true; }
    void Grow(const std::vector<std::string>& cells) {
        for (size_t i = 0; i < cells.size() && i < widths_.size(); ++i)
            if (!fixed_[i]) widths_[i] = std::max(widths_[i], cells[i].size());
    }
    void AddRow(std::vector<std::string> cells) {
        Grow(cells);
        rows_.push_back(std::move(cells));
    }
    const std::vector<size_t>& Widths() const { return widths_; }
    size_t WidthSum() const {
        size_t sum = 0;
        for (size_t w : widths_) sum += w;
        return sum;
    }
    // The size of one row, its CR LF included.
    size_t RowSize() const { return WidthSum() + widths_.size() + 1 + kCrLf.size(); }
    // "|label|label|" without its CR LF.
    std::string HeaderRow() const {
        std::string header(RowSize(), ' ');
        size_t pos = 0;
        WriteTableRow(header, pos, labels_.data(), widths_.data(), widths_.size());
        header.resize(pos - kCrLf.size());
        return header;
    }
    // Title ":" CR LF, rule, header row, rule, rows, rule, CR LF CR LF; the rule is the sum of
    // the widths plus extra.
    std::string Text(const std::string& title, size_t extra) const {
        const std::string rule(WidthSum() + extra, '-');
        std::string rows(RowSize() * rows_.size(), ' ');
        size_t pos = 0;
        for (const std::vector<std::string>& r : rows_)
            WriteTableRow(rows, pos, r.data(), widths_.data(), std::min(r.size(), widths_.size()));
        rows.resize(pos);
        return title + ":\r\n" + rule + "\r\n" + HeaderRow() + "\r\n" + rule + "\r\n" + rows +
               rule + "\r\n\r\n";
    }

private:
    std::vector<std::string> labels_;
    std::vector<size_t> widths_;
    std::vector<bool> fixed_;
    std::vector<std::vector<std::string>> rows_;
};

// The general section's blocks and items in their fixed order.
struct TItemDef {
    TMessageType Label;
    int Option; // -1 for a block title
};
constexpr TItemDef kItems[] = {
    {mtLog_AppHeader, -1},
    {mtLog_AppStartDate, soAppStartDate},
    {mtLog_AppName, soAppName},
    {mtLog_AppVersionNumber, soAppVersionNumber},
    {mtLog_AppParameters, soAppParameters},
    {mtLog_AppCompilationDate, soAppCompilationDate},
    {mtLog_AppUpTime, soAppUpTime},
    {mtLog_ExcHeader, -1},
    {mtLog_ExcDate, soExcDate},
    {mtLog_ExcAddress, soExcAddress},
    {mtLog_ExcModuleName, soExcModuleName},
    {mtLog_ExcModuleVersion, soExcModuleVersion},
    {mtLog_ExcType, soExcType},
    {mtLog_ExcMessage, soExcMessage},
    {mtLog_ExcID, soExcID},
    {mtLog_ExcCount, soExcCount},
    {mtLog_ExcStatus, soExcStatus},
    {mtLog_ExcNote, soExcNote},
    {mtLog_UserHeader, -1},
    {mtLog_UserID, soUserID},
    {mtLog_UserName, soUserName},
    {mtLog_UserEmail, soUserEmail},
    {mtLog_UserCompany, soUserCompany},
    {mtLog_UserPrivileges, soUserPrivileges},
    {mtLog_ActCtrlsHeader, -1},
    {mtLog_ActCtrlsFormClass, soActCtlsFormClass},
    {mtLog_ActCtrlsFormText, soActCtlsFormText},
    {mtLog_ActCtrlsControlClass, soActCtlsControlClass},
    {mtLog_ActCtrlsControlText, soActCtlsControlText},
    {mtLog_CmpHeader, -1},
    {mtLog_CmpName, soCmpName},
    {mtLog_CmpTotalMemory, soCmpTotalMemory},
    {mtLog_CmpFreeMemory, soCmpFreeMemory},
    {mtLog_CmpTotalDisk, soCmpTotalDisk},
    {mtLog_CmpFreeDisk, soCmpFreeDisk},
    {mtLog_CmpSystemUpTime, soCmpSysUpTime},
    {mtLog_CmpProcessor, soCmpProcessor},
    {mtLog_CmpDisplayMode, soCmpDisplayMode},
    {mtLog_CmpDisplayDPI, soCmpDisplayDPI},
    {mtLog_CmpVideoCard, soCmpVideoCard},
    {mtLog_CmpPrinter, soCmpPrinter},
    {mtLog_OSHeader, -1},
    {mtLog_OSType, soOSType},
    {mtLog_OSBuildN, soOSBuildN},
    {mtLog_OSUpdate, soOSUpdate},
    {mtLog_OSLanguage, soOSLanguage},
    {mtLog_OSCharset, soOSCharset},
    {mtLog_NetHeader, -1},
    {mtLog_NetIP, soNetIP},
    {mtLog_NetSubmask, soNetSubmask},
    {mtLog_NetGateway, soNetGateway},
    {mtLog_NetDNS1, soNetDNS1},
    {mtLog_NetDNS2, soNetDNS2},
    {mtLog_NetDHCP, soNetDHCP},
};

bool IsActiveControlItem(int option) {
    return option == soActCtlsFormClass || option == soActCtlsFormText ||
           option == soActCtlsControlClass || option == soActCtlsControlText;
}

} // namespace

std::string BuildThreadCaption(const TCrashModuleOptions& o, const TCrashDebugInfo& frame,
                               const TThreadCaptionLookup& threadInfo, bool ForLog) {
    if (frame.IsALeak) {
        const std::string type =
            frame.LeakType == "Data" ? Label(o, mtCallStack_LeakData) : frame.LeakType;
        return (ForLog ? "+" : "") + Label(o, mtCallStack_LeakCaption) + ": " +
               Label(o, mtCallStack_LeakType) + "=" + type + "; " + Label(o, mtCallStack_LeakSize) +
               "=" + IntToStr(frame.LeakSize) + "; " + Label(o, mtCallStack_LeakCount) + "=" +
               IntToStr(frame.LeakCount);
    }
    std::string caption;
    if (!frame.RunningThread)
        caption = Label(o, mtCallStack_CallingThread);
    else if (frame.ErrorLine)
        caption = (ForLog ? "*" : "") + Label(o, mtCallStack_ExceptionThread);
    else
        caption = Label(o, mtCallStack_RunningThread);
    caption += ": ";
    // A call from a COM object shows no thread details in the dialog.
    if (ForLog || !CallFromCOMObject) {
        const TThreadCaptionInfo info =
            threadInfo ? threadInfo(frame.ThreadID) : TThreadCaptionInfo{};
        const int32_t id = static_cast<int32_t>(frame.ThreadID);
        caption += Label(o, mtCallStack_ThreadID) + "=" + IntToStr(id < 0 ? 0 : id) + "; " +
                   Label(o, mtCallStack_ThreadPriority) + "=" +
                   (info.Registered ? info.Priority : std::string("??"));
        if (ForLog || !info.ClassName.empty())
            caption += "; " + Label(o, mtCallStack_ThreadClass) + "=" + info.ClassName;
        if (info.MainThread) caption += "; [" + Label(o, mtCallStack_MainThread) + "]";
    }
    if (!frame.CustomMsg.empty()) caption += " (" + frame.CustomMsg + ")";
    return caption;
}

// ---- Table helpers ----

std::string PadWithSpaces(std::string_view text, size_t width) {
    std::string s(text);
    if (s.size() < width) s.append(width - s.size(), ' ');
    return s;
}

std::string SanitizeTableCell(std::string_view text) {
    std::string s(text);
    for (size_t i = 0; i < s.size(); i += AnsiCharSize(s, i))
        if (s[i] == '\r' || s[i] == '\n' || s[i] == '|') s[i] = '?';
    return s;
}

void WriteTableRow(std::string& buffer, size_t& pos, const std::string* cells, const size_t* widths,
                   size_t count) {
    size_t need = pos + 1 + kCrLf.size();
    for (size_t i = 0; i < count; ++i) need += widths[i] + 1;
    if (buffer.size() < need) buffer.resize(need, ' ');
    buffer[pos++] = '|';
    for (size_t i = 0; i < count; ++i) {
        const std::string& cell = cells[i];
        size_t n = 0; // whole characters only
        while (n < cell.size() && n + AnsiCharSize(cell, n) <= widths[i])
            n += AnsiCharSize(cell, n);
        std::copy(cell.begin(), cell.begin() + static_cast<std::ptrdiff_t>(n),
                  buffer.begin() + static_cast<std::ptrdiff_t>(pos));
        std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(pos + n),
                  buffer.begin() + static_cast<std::ptrdiff_t>(pos + widths[i]), ' ');
        pos += widths[i];
        buffer[pos++] = '|';
    }
    buffer[pos++] = '\r';
    buffer[pos++] = '\n';
}

std::string MakeSectionTitle(std::string_view title) {
    return std::string(title) + ":\r\n" + std::string(title.size() + 1, '-') + "\r\n\r\n";
}

std::string TableFolderText(std::string_view fileName) {
    std::string_view path = fileName;
    if (path.substr(0, 4) == "\\??\\") path.remove_prefix(4);
    // The folder ends with a real delimiter (FileNameStart skips trail bytes).
    std::string folder(path.substr(0, FileNameStart(path)));
    if (!folder.empty() && folder.back() != ':' &&
        !(folder.size() >= 2 && folder[folder.size() - 2] == ':'))
        folder.pop_back();
    return folder;
}

std::string PriorityClassText(uint32_t priorityClass) {
    switch (priorityClass) {
    case 32:
        return "Normal";
    case 64:
        return "Low";
    case 128:
        return "High";
    case 256:
        return "Real-Time";
    case 0x4000:
        return "Below-Normal";
    case 0x8000:
        return "Above-Normal";
    default:
        return std::string();
    }
}

std::string TableDateText(TDateTime value) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    if (value == 0 || !DecodeDateTime(value, y, mo, d, h, mi, s, ms)) return std::string();
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
    return text;
}

// ---- Sections ----

std::string BuildGeneralSection(const TCrashModuleOptions& options, const TGeneralValues& values,
                                bool showActiveControls) {
    const TShowOptions shown = options.ShowOptions();
    TLogItem item(0);
    for (const TItemDef& d : kItems) {
        if (d.Option < 0) {
            item.AddHeader(Label(options, d.Label));
            continue;
        }
        const auto option = static_cast<TShowOption>(d.Option);
        const bool add =
            shown.Contains(option) && (showActiveControls || !IsActiveControlItem(d.Option));
        item.AddItem(Label(options, d.Label), values[option], add);
    }
    return std::string(kLogTextFirstLine) + "\r\n\r\n" + item.GetString();
}

std::string BuildCallStackSection(const TCrashModuleOptions& o, const TCrashStackList* callStack,
                                  const TThreadCaptionLookup& threadInfo) {
    const TCrashDebugDetails shownDetails = GetShownDebugDetails(o);
    TTable table({Label(o, mtCallStack_Address), Label(o, mtCallStack_Name),
                  Label(o, mtCallStack_Unit), Label(o, mtCallStack_Class),
                  Label(o, mtCallStack_Procedure), Label(o, mtCallStack_Line)});
    table.SetMinWidth(0, 8);
    table.KeepWidth(0);

    std::vector<const TCrashDebugInfo*> frames;
    std::vector<std::vector<std::string>> cells;
    for (int i = 0; callStack && i < callStack->Count(); ++i) {
        const TCrashDebugInfo* f = callStack->GetItem(i);
        if (!f || !shownDetails.Contains(f->DebugDetail)) continue;
        cells.push_back({IntToHex(f->Addr, 8),
                         f->DebugDetail != ddNone && f->ModuleInfo
                             ? SanitizeTableCell(BaseName(f->ModuleInfo->Name))
                             : std::string(),
                         SanitizeTableCell(f->UnitName), SanitizeTableCell(f->ClassName),
                         SanitizeTableCell(f->ProcedureName),
                         f->Line != 0 ? IntToStr(f->Line) + "[" + IntToStr(f->ProcOffsetLine) + "]"
                                      : std::string()});
        table.Grow(cells.back());
        frames.push_back(f);
    }
    const std::string rule(table.WidthSum() + 7, '-');
    const size_t inner = table.WidthSum() + 5; // a one-cell row as wide as the table

    std::string text = Label(o, mtDialog_CallStackHeader) + ":\r\n" + rule + "\r\n" +
                       table.HeaderRow() + "\r\n" + rule;
    if (callStack) {
        // Up to five rows per frame: its own and those of a new thread block.
        std::string rows(table.RowSize() * (frames.size() * 5 + 1), ' ');
        size_t pos = 0;
        const std::string dashes(inner, '-');
        const std::string empty;
        for (size_t i = 0; i < frames.size(); ++i) {
            const TCrashDebugInfo& f = *frames[i];
            const TCrashDebugInfo* prev = i > 0 ? frames[i - 1] : nullptr;
            const bool newBlock = !prev || f.ThreadID != prev->ThreadID ||
                                  f.RunningThread != prev->RunningThread || f.ErrorLine;
            if (newBlock) {
                if (prev) {
                    WriteTableRow(rows, pos, &dashes, &inner, 1);
                    if (f.RunningThread) WriteTableRow(rows, pos, &empty, &inner, 1);
                }
                const std::string caption = BuildThreadCaption(o, f, threadInfo, true);
                WriteTableRow(rows, pos, &caption, &inner, 1);
                WriteTableRow(rows, pos, &dashes, &inner, 1);
            }
            WriteTableRow(rows, pos, cells[i].data(), table.Widths().data(), 6);
        }
        rows.resize(pos);
        text += kCrLf;
        text += rows;
    }
    text += rule;
    text += "\r\n\r\n";
    return text;
}

std::string BuildModulesSection(const TCrashModuleOptions& o, TCrashModulesList* modules) {
    TTable table({Label(o, mtModules_Handle), Label(o, mtModules_Name),
                  Label(o, mtModules_Description), Label(o, mtModules_Version),
                  Label(o, mtModules_Size), Label(o, mtModules_LastModified),
                  Label(o, mtModules_Path)});
    table.SetMinWidth(0, 8);
    if (modules) {
        modules->Lock();
        std::vector<const TCrashModuleInfo*> items;
        for (int i = 0; i < modules->Count(); ++i)
            if (const TCrashModuleInfo* m = modules->GetItem(i)) items.push_back(m);
        // The handle is written with as many digits as its column is wide, so the width is
        // known before the first row.
        size_t handleWidth = table.Widths()[0];
        for (const TCrashModuleInfo* m : items)
            handleWidth = std::max(handleWidth, IntToHex(m->Handle, 1).size());
        for (const TCrashModuleInfo* m : items) {
            table.AddRow({IntToHex(m->Handle, static_cast<int>(handleWidth)),
                          SanitizeTableCell(BaseName(m->Name)), SanitizeTableCell(m->Description),
                          SanitizeTableCell(m->Version), IntToStr(m->Size),
                          TableDateText(m->LastModified),
                          SanitizeTableCell(TableFolderText(m->Name))});
        }
        modules->Unlock();
    }
    return table.Text(Label(o, mtDialog_ModulesHeader), 8);
}

std::string BuildProcessesSection(const TCrashModuleOptions& o, TCrashProcessesList* processes) {
    TTable table({Label(o, mtProcesses_ID), Label(o, mtProcesses_Name),
                  Label(o, mtProcesses_Description), Label(o, mtProcesses_Version),
                  Label(o, mtProcesses_Memory), Label(o, mtProcesses_Priority),
                  Label(o, mtProcesses_Threads), Label(o, mtProcesses_Path)});
    if (processes) {
        processes->Lock();
        for (int i = 0; i < processes->Count(); ++i) {
            const TCrashProcessInfo* p = processes->GetItem(i);
            if (!p) continue;
            table.AddRow({IntToStr(p->ProcessID), SanitizeTableCell(BaseName(p->Name)),
                          SanitizeTableCell(p->Description), SanitizeTableCell(p->Version),
                          IntToStr(p->Memory), PriorityClassText(p->Priority),
                          p->Threads == 0 ? std::string("??") : IntToStr(p->Threads),
                          SanitizeTableCell(TableFolderText(p->Name))});
        }
        processes->Unlock();
    }
    return table.Text(Label(o, mtDialog_ProcessesHeader), 9);
}

// ---- The whole text ----

void BuildLogText(const TReportTextInput& input, TReportTexts& texts) {
    Step(input, 7021);
    const TCrashModuleOptions& o = *input.Options;
    texts = TReportTexts{};
    texts.MessageHeading = Label(o, mtDialog_ErrorMsgCaption) + "\r\n\r\n";

    Step(input, 7022);
    Step(input, 702200);
    texts.GeneralSectionText = BuildGeneralSection(o, input.Values, input.ShowActiveControls);
    Step(input, 702233);

    const std::string asmHeader = Label(o, mtDialog_AsmHeader);
    const std::string plainAsmTitle = asmHeader + ":\r\n" + std::string(asmHeader.size() + 1, '-');
    if (o.LogOptions().Contains(loSaveAssemblerAndCPUSections)) {
        // A listing that could not be made keeps the plain title, so that the sections after
        // it are still found by their titles.
        texts.AssemblerTitle = input.AssemblerTitle.empty() ? plainAsmTitle : input.AssemblerTitle;
        texts.AssemblerText = input.AssemblerText;
        texts.CPUText = input.CPUText;
    } else {
        texts.AssemblerTitle = plainAsmTitle;
        texts.CPUText = MakeSectionTitle(Label(o, mtCPU_Registers));
    }

    Step(input, 7027);
    texts.SectionTexts = BuildCallStackSection(o, input.CallStack, input.ThreadInfo);
    Step(input, 7040);
    if (o.LogOptions().Contains(loSaveModulesAndProcessesSections)) {
        texts.SectionTexts += BuildModulesSection(o, input.Modules);
        texts.SectionTexts += BuildProcessesSection(o, input.Processes);
    } else {
        texts.SectionTexts += MakeSectionTitle(Label(o, mtDialog_ModulesHeader));
        texts.SectionTexts += MakeSectionTitle(Label(o, mtDialog_ProcessesHeader));
    }

    texts.LogText = texts.GeneralSectionText + "\r\n" + texts.SectionTexts + texts.AssemblerTitle +
                    "\r\n" + texts.AssemblerText + "\r\n" + texts.CPUText;
    texts.TextToSend = texts.LogText;
}

} // namespace kv::crash
