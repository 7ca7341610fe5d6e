#pragma once
// The complete log text of one crash report: the general section of numbered items, the
// call-stack table, the modules and processes tables, and the assembler and CPU sections, as
// the options show them. Pure text assembly over the values and lists it is handed (the values
// are gathered from the system in ClReportText_win.cpp); runs on the reporting thread, keeps no
// state. 8-bit text in the ANSI code page, CR LF line breaks.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "crash/core/CrashRecordLists.h"
#include "crash/core/TCrashModuleOptions.h"
#include "crash/report/ClLogManager.h"

namespace kv::crash {

// The values of the general section, one per item, kept at the item's show option.
struct TGeneralValues {
    std::array<std::string, kShowOptionCount> Items;
    std::string& operator[](TShowOption o) { return Items[o]; }
    const std::string& operator[](TShowOption o) const { return Items[o]; }
};

// What a thread caption of the call-stack table tells about a thread.
struct TThreadCaptionInfo {
    bool Registered = false; // in the threads list; otherwise the priority shows "??"
    std::string Priority;    // as shown
    std::string ClassName;   // class of the thread object; empty for none
    bool MainThread = false;
};
using TThreadCaptionLookup = std::function<TThreadCaptionInfo(uint32_t threadId)>;
// The caption of a thread block of a call stack: for the log text (ForLog: the exception
// thread marked "*", a leak "+", the class item always) or for the dialog's call-stack page.
std::string BuildThreadCaption(const TCrashModuleOptions& options, const TCrashDebugInfo& frame,
                               const TThreadCaptionLookup& threadInfo, bool ForLog);

// Everything one log text is made of.
struct TReportTextInput {
    const TCrashModuleOptions* Options = nullptr; // not owned; required
    TGeneralValues Values;
    // The four active-control items are written only in a windowed program (neither a web nor
    // a console application).
    bool ShowActiveControls = true;
    const TCrashStackList* CallStack = nullptr; // not owned; null for none
    TCrashModulesList* Modules = nullptr;       // not owned; read under its lock
    TCrashProcessesList* Processes = nullptr;   // not owned; read under its lock
    TThreadCaptionLookup ThreadInfo;            // null: every thread unregistered
    // The assembler listing and the CPU text, made by the caller when the options save them.
    // An empty assembler title stands for the section's plain title.
    std::string AssemblerTitle, AssemblerText, CPUText;
    int32_t* StepMarker = nullptr; // progress of the build, for internal-error reports
};

// The report-wide texts: those an inserted block changes (the general section, "CrashLog
// 6.1.04", an empty line and blocks 1 to 7; the log text; the text to send) and the parts.
struct TReportTexts : TLogTexts {
    std::string MessageHeading; // the error caption, CR LF CR LF
    std::string SectionTexts;   // call stack, modules, processes
    std::string AssemblerTitle, AssemblerText, CPUText;
};

// Fills every text of texts from input.
void BuildLogText(const TReportTextInput& input, TReportTexts& texts);

// "CrashLog 6.1.04", an empty line and the numbered blocks 1 to 7.
std::string BuildGeneralSection(const TCrashModuleOptions& options, const TGeneralValues& values,
                                bool showActiveControls);
// The call-stack table with its title and a closing rule, CR LF CR LF.
std::string BuildCallStackSection(const TCrashModuleOptions& options,
                                  const TCrashStackList* callStack,
                                  const TThreadCaptionLookup& threadInfo);
// The modules and processes tables with their titles, CR LF CR LF after each.
std::string BuildModulesSection(const TCrashModuleOptions& options, TCrashModulesList* modules);
std::string BuildProcessesSection(const TCrashModuleOptions& options,
                                  TCrashProcessesList* processes);

// Text followed by blanks up to width characters; a longer text unchanged.
std::string PadWithSpaces(std::string_view text, size_t width);
// CR, LF and "|" become "?"; the trail bytes of double-byte characters are left alone (in code
// page 932 the byte of "|" is also a trail byte).
std::string SanitizeTableCell(std::string_view text);
// Writes "|", each cell left-aligned in its width, "|" between cells and after the last, CR LF,
// into buffer (pre-filled with blanks) at pos, and advances pos. A cell longer than its width
// is cut there, never inside a double-byte character.
void WriteTableRow(std::string& buffer, size_t& pos, const std::string* cells, const size_t* widths,
                   size_t count);
// Title, ":", CR LF, a rule one longer than the title, CR LF CR LF: a switched-off section.
std::string MakeSectionTitle(std::string_view title);
// The folder of a module file as the tables show it: without its final backslash (kept after a
// drive letter) and without a leading "\??\".
std::string TableFolderText(std::string_view fileName);
// The process priority class as the processes table shows it; empty for unknown classes.
std::string PriorityClassText(uint32_t priorityClass);
// "yyyy-mm-dd hh:nn:ss"; empty for 0 or a time outside the calendar.
std::string TableDateText(TDateTime value);

} // namespace kv::crash
