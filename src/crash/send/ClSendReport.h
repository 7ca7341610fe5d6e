#pragma once
// Sending one report: the temporary files that go with it, the e-mail step and the web step as
// the options say, each announced to the handlers (who may cancel it or ask for a retry), the
// sending window's status and progress, the final message, a compressed copy when sending
// failed, and the clean-up. The step logic and texts here are pure; the files, windows and
// transports are Win32 (ClSendReport_win.cpp). Runs on the thread that sends, under the
// report lock.
#include <cstdint>
#include <functional>
#include <string>

#include "crash/capture/CrashLogMain.h"
#include "crash/capture/CrashLogUtils.h"
#include "crash/core/ClCore.h"
#include "crash/core/TCrashModuleOptions.h"

namespace kv::crash {

// ---- Entry points (Win32) ----

// Sends the current report: on a thread of its own when the options ask for it and the report
// does not run inline (the thread then finishes the report: true), else on this thread (false).
bool StartReportSending();
// One complete send; the outcome shows in the message box, the last error and the events.
void SendErrorReport();
// Only when the report runs inline: dispatches this thread's waiting messages, so that the
// modeless sending window answers. A quit request met there stays for the program's own loop.
void PumpSendMessages();

// ---- Steps ----

// One delivery step: the sending notification (a handler that clears its flag cancels the
// step: false without an error notification), attempts until no handler asks for a retry
// after a failure (the error notification gets the code the failed attempt recorded), then the
// sent notification. True when the last attempt succeeded.
bool RunSendStep(TCrashActionType Sending, TCrashActionType Sent,
                 const std::function<bool()>& Attempt);

// "%s error code: %d%s" with " - Cannot find the \"wininet.dll\" library." for -1, the reply in
// parentheses when there is one.
std::string WebSendErrorText(const std::string& Label, int32_t Result, const std::string& Reply);
// The tracker's failure text for its result, followed by the response's error code and
// message.
std::string TrackerErrorText(const TCrashModuleOptions& Options, int32_t Result, int32_t ErrorCode,
                             const std::string& ErrorMessage);

// ---- Compressed copies ----

// The names of a folder's compressed copies to delete so that the 10 last in case-insensitive
// name order remain (with the date suffix, the newest). Only the component's own copies
// ("BugReport*.zip") count: other zip files of the folder are never touched.
TStrings CompressedCopiesToPrune(const TStrings& FileNames);

// ---- Progress ----

// Bytes sent as a percentage of the total (integer division); 100 for an empty total.
int32_t SentPercent(uint64_t BytesSent, uint64_t TotalBytes);
// round(BytesSent / TotalSize * 100) (a half to the even one); 100 for an empty total.
int32_t UploadPercent(uint64_t BytesSent, uint64_t TotalSize);

} // namespace kv::crash
