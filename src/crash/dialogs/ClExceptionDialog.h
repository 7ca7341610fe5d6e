#pragma once
// The exception dialogs of a report: the detailed dialog with its six pages, the classic dialog,
// the message box, the reproduce request and the send progress window, shown without owner
// and without the widget library from the templates of ClDialogs.rc. The entry points run on
// the report's thread under the report lock; the record helpers here are pure.
#include <cstdint>
#include <string>

#include "crash/capture/CrashLogMain.h"

namespace kv::crash {

// ---- Entry points of the report half (Win32) ----

// Shows the dialog of Report.DialogType once and returns when it has closed; the dialog leaves
// the type at edtNone or switches it to another dialog.
void ShowExceptionDialog(bool Beep);
// Asks how to reproduce the error when the report wants it; the answer becomes ReproduceText.
void ShowReproduceRequest();
// Opens the send progress window when it is wanted and waits (bounded) until it is up: on this
// thread when the report runs inline, else on a thread of its own that keeps it painting while
// the sender blocks. Modal: centred and kept in front; else in the work area's bottom-right
// corner.
void ShowSendProgress(bool Modal);
// The sender's messages to it (nothing while there is no window): a status line, the position
// of the progress bar (0-100), and the end of the window (waits, bounded, until it is gone).
void SetSendProgressText(const std::string& Text);
void SetSendProgressPosition(int Position);
void CloseSendProgress();
// The window (an HWND) while it is up; 0 otherwise.
uintptr_t SendProgressWindow();

// Plugs the report half and the dialogs into the engine's report half.
void InstallDialogHalf(TCrashReportHalf& half);

// ---- The call-stack page's message to the development environment ----

// The 376-byte mailslot record of a source location: four strings of one length byte and up
// to 89 characters (empty, unit, class, procedure), then line, offset and the low and high
// halves of the module's compilation date (an 8-byte date-time), little-endian.
std::string MakeSourceLocationRecord(const std::string& Unit, const std::string& ClassName,
                                     const std::string& Procedure, int32_t Line, int32_t Offset,
                                     double CompilationDate);
// The line and offset of a call-stack Line cell ("123[4]"): the leading digits, and the digits
// after "[" up to the first other character (-1 without "[").
void ParseLineCell(const std::string& Cell, int32_t& Line, int32_t& Offset);

// ---- The classic dialog's e-mail field ----

// Contains "@" and ".".
bool IsValidEmail(const std::string& Text);
// Replaces the value of item "3.3" (the user's e-mail in the general section) by Email;
// unchanged when the item or its ": " is missing.
std::string ReplaceUserEmailItem(const std::string& Text, const std::string& Email);

} // namespace kv::crash
