#pragma once
// The MIME form of a report e-mail that the SMTP client sends: the sender values, the headers,
// the fixed boundary, the text part and one base64 part per attachment, with CR LF line ends and
// the SMTP dot transparency. 8-bit text throughout; pure except for reading attachment files and
// the user names; any thread.
#include <cstdint>
#include <string>
#include <string_view>

#include "crash/core/ClCore.h"

namespace kv::crash {

// The same boundary for every message.
constexpr const char* kMIMEBoundary = "=_xcjvnxkbhvfkxzhfdbvzldjhfv";
// The domain part of every Message-ID.
constexpr const char* kMessageIDDomain = "crashlog.kolvane.invalid";
// Characters of one base64 line.
constexpr size_t kBase64LineLength = 80;

// The system's registered owner name; when that is empty, the logged-on user's name.
std::string GetMailUserName();

// What the SMTP conversation says about the sender.
struct TSMTPSender {
    std::string FromValue;       // the "From:" header value
    std::string EnvelopeAddress; // the MAIL FROM address
};
// From made single-line; a bare address gets the display name in quotes and angle brackets
// around itself, a value with a quote or "<" stays as it is and gives the address between its
// angle brackets as envelope address.
TSMTPSender GetSMTPSender(std::string_view from, std::string_view displayName);

// The file's bytes as base64 lines of kBase64LineLength characters, each full line followed by
// CR LF. Empty for a blank name or a file that cannot be read.
std::string EncodeFileBase64Lines(const std::string& fileName);

// The name a file is sent under; null sends it under its bare name.
using TAttachmentNameProc = std::string (*)(const std::string& fileName);

// One attachment part (starting with CR LF and the boundary line); empty for a blank name and a
// file that does not exist or cannot be read.
std::string BuildMIMEAttachmentPart(const std::string& fileName,
                                    TAttachmentNameProc attachmentName = nullptr);
// The parts of list's files, then of more's, concatenated.
std::string BuildMIMEAttachmentParts(const TStrings& list, const TStrings& more,
                                     TAttachmentNameProc attachmentName = nullptr);

// Everything one message needs besides its attachments' parts.
struct TMIMEMessage {
    std::string FromValue;   // from GetSMTPSender
    std::string Subject;     // made single-line here
    std::string Recipient;   // made single-line here
    std::string Body;        // sent as it is (8bit), in the charset of CodePage
    std::string Attachments; // from BuildMIMEAttachmentParts
    std::string Date;        // DateTimeToRFC822 of the local time
    uint32_t TickCount = 0;  // the Message-ID's number
    unsigned CodePage = 0;   // the body's ANSI code page; 0: the system's (GetACP)
};

// The MIME charset name of an ANSI code page ("shift_jis" for 932, "windows-1252" for 1252);
// "windows-1252" for a code page the table does not know.
std::string MIMECharsetName(unsigned codePage);

// The text sent after DATA: headers, parts and closing boundary with every line that begins with
// "." given one more, then the lone "." that ends the data (without its CR LF, which the command
// layer adds).
std::string BuildMIMEMessageText(const TMIMEMessage& message);

// Doubles the "." at the start of every line (after any LF and at the start of the text).
std::string SMTPDotTransparency(std::string_view text);

} // namespace kv::crash
