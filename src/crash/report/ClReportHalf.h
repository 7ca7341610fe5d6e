#pragma once
// The report half as the engine of a running program uses it: the current report's texts, its
// values gathered from the system, its log file and the names of its files. Win32; runs on the
// report thread under the report lock. A program gets it plugged into the engine, with the
// dialogs, by linking with -Wl,-u,_KvCrashReportHalfAnchor (tests install it themselves).
#include <string>

#include "crash/capture/CrashLogMain.h"
#include "crash/core/ClCore.h"
#include "crash/report/ClLogManager.h"
#include "crash/report/ClReportText.h"

namespace kv::crash {

// The texts of the current report (the dialogs read the general section, the assembler and
// the CPU text; delivery the text to send).
extern TReportTexts ReportTexts;

// ---- Values and text ----

TGeneralValues GatherGeneralValues();
// "kolvane.exe - (description)": the main module's file name with the description of the
// metadata file when one is set and exists, else of the main module.
std::string ApplicationModuleValue();
// The exception's module with its description, and its file version; empty when the address
// lies in no module.
std::string ExceptionModuleValue();
void ExceptionModuleValues(std::string& name, std::string& version);
// The message of an exception object; an access violation's message is rebuilt from its
// record with the module's long file name.
std::string ExceptionMessageFor(const void* object);
// A thread of the current report as its call-stack captions show it.
TThreadCaptionInfo ThreadCaptionOf(uint32_t threadId);
// Builds the current report's texts and its record's log text.
void BuildReportLogText();

// ---- The current report's log file ----

void OpenLogFile();
void CloseLogFile();
TLogFile* CurrentLogFile(); // null outside OpenLogFile .. CloseLogFile
// Sets Report.Duplicate from the log file; with Increment a duplicate's stored count is raised.
void CountDuplicateReport(bool Increment);
// Stores the report unless it is a duplicate; failures become the last error (eeLogError,
// "Log") and the error notification, whose handlers may ask for a retry. Never raises.
void SaveReportToLogFile();
// An item of the newest stored report; empty when there is none.
std::string LastLogItemValue(const std::string& item);

std::string GetScreenshotFileName();
std::string GetScreenshotFileNameIfAttached();
std::string GetLogCopyFileName();
std::string GetBugReportZipFileName();
std::string GetLastHTMLPageFileName();
std::string GetLastHTMLPageFileNameIfAny();
std::string GetXMLCopyFileName();
std::string AddFileNameSuffixes(const std::string& FileName);
void GetAttachedFilesList(bool ForEmail, TStrings& List);
std::string LoadTextFromFile(const std::string& FileName);
void SaveLastHTMLPage(const std::string& Text);
// Writes an XML copy of the log copy (or of the text to send) when the options ask for one.
void SaveXMLCopyOfLog();

// Plugs the report text and the log file into the engine's report half.
void InstallReportHalf(TCrashReportHalf& half);

} // namespace kv::crash
