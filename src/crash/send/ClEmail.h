#pragma once
// E-mail through the user's own mail program: Simple MAPI of the registered default mail client,
// or the command registered for "mailto:" URLs. Building the URL, the recipients and the
// attachment choice is pure (any thread); the sending is Win32 (ClEmail_win.cpp) and blocks the
// calling thread while the mail program works. Texts are 8-bit in the ANSI code page.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "crash/core/ClCore.h"

namespace kv::crash {

// Files one MAPI message attaches at most; further ones are left out.
constexpr size_t kMaxMAPIAttachments = 32;

// ---- Sending (Win32) ----

// Hands the message to Simple MAPI of the default mail client (HKCU, then HKLM
// "SOFTWARE\Clients\Mail"; "mapi32.dll" when its library does not load), with the compose window
// when the options ask for the send dialog. Recipients: To split at "," and ";". Attachments: the
// existing files of AttachmentsArray, then of AttachmentsList, at most kMaxMAPIAttachments.
// Environment variables are expanded in Subject and Body. True when the client sent the message
// or the user closed its compose window; otherwise false with the last error (eeEmailMAPIError)
// set. The current folder is the same afterwards.
bool SendEmailByMAPI(const std::string& To, const std::string& Subject, const std::string& Body,
                     const TStrings& AttachmentsList, const TStrings& AttachmentsArray);
// SendEmailByMAPI with the attachments given as one text split at "," and ";". Also exported
// from the program under this name (ANSI texts, BOOL result).
bool CrashLogSendEmail(const std::string& To, const std::string& Subject, const std::string& Body,
                       const std::string& Attachments);
// Starts the registered "mailto:" command with the message and the current report's text in the
// URL and waits, without a time limit, until that program ends. False with the system's message
// as last error (eeEmailShellError) when it cannot be started.
bool SendEmailByShell(const std::string& To, const std::string& Subject,
                      const std::string& Message);

// ---- Pure parts ----

// "%XX" (upper-case hex) for every byte below 0x80 except "-", digits and letters; bytes from
// 0x80 up are kept, and so is the second byte of a double-byte character of the ANSI code page
// (encoding it alone would split the character).
std::string EncodeMailtoText(std::string_view Text);
// "mailto:" + encoded To + "?Subject=" + encoded Subject + "&Body=" + encoded Body.
std::string MailtoURL(std::string_view To, std::string_view Subject, std::string_view Body);
// The message followed by two empty lines and the report text.
std::string MailtoBody(std::string_view Message, std::string_view ReportText);
// The registered command with every "%1" replaced by the URL; a command without one unchanged.
std::string MailtoCommandLine(std::string_view Command, std::string_view URL);

// The subject as one line: each run of characters below 32 becomes one blank.
std::string MAPISubjectText(std::string_view Subject);

// One MAPI recipient: the address as name, "SMTP:" + the address as address.
struct TMAPIRecipient {
    std::string Name;
    std::string Address;
};
// To split at "," and ";", items trimmed, empty ones dropped.
std::vector<TMAPIRecipient> MAPIRecipients(std::string_view To);

// Whether a file exists (FileExists in the program; a stand-in in tests).
using TFileExistsProc = std::function<bool(const std::string& FileName)>;
// The files to attach: AttachmentsArray's entries, then AttachmentsList's, without empty names
// and files that do not exist, at most kMaxMAPIAttachments.
TStrings ChooseMAPIAttachments(const TStrings& AttachmentsArray, const TStrings& AttachmentsList,
                               const TFileExistsProc& Exists);

} // namespace kv::crash
