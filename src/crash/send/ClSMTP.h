#pragma once
// The crash component's own SMTP client: the report handed to the configured relay (client
// mode, optionally with AUTH LOGIN) or delivered to each recipient's mail exchanger on port 25
// (server mode, with an MX query of its own). The DNS wire format, the command dialogue and the
// recipient and server lists are pure; the conversations are Win32 (ClSMTP_win.cpp) and run on
// the sending thread, which they keep pumping messages for the sending window.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "crash/core/ClCore.h"
#include "crash/core/ClTypes.h"
#include "crash/send/ClSockets.h"

namespace kv::crash {

constexpr uint16_t kSMTPServerPort = 25; // server mode's port, whatever the options say
constexpr uint16_t kDNSPort = 53;
constexpr uint32_t kSMTPTimeoutMs = 30000; // each SMTP reply
constexpr uint32_t kMXTimeoutMs = 30000;   // one MX lookup, split over the tries of a server
constexpr int kMXTriesPerServer = 3;
// The DNS server asked after the system's own. Tests point it elsewhere (SetPublicDNSServer).
constexpr const char* kDefaultPublicDNSServer = "8.8.8.8";

// ---- Hooks of the report sender (Win32 defaults in ClSMTP_win.cpp) ----

// What the report's sender plugs in; ResetSMTPSendHooks puts back the defaults: no status or
// progress, this thread's messages pumped, the sent-bytes counter routed only while the sending
// window is up, nothing done after the transfer and at the end.
struct TSMTPSendHooks {
    // A status line: the text's type, the recipient's number (1-based) and the count.
    std::function<void(TMessageType Text, int32_t Number, int32_t Count)> Status;
    // A progress position (0 at each recipient: no effect once the bar has moved).
    std::function<void(int32_t Position)> Progress;
    // Keeps the sending window responsive; runs before and after every command.
    std::function<void()> PumpMessages;
    // Whether the sending window exists: the counter below is attached only then.
    std::function<bool()> SendWindowExists;
    // The sent-bytes counter of the message transfer: bytes of the message sent so far, its size.
    std::function<void(int32_t BytesSent, int32_t TotalBytes)> OnSent;
    // After the transfer (the inline report destroys its modeless sending window here).
    std::function<void()> AfterTransfer;
    // The end of the e-mail attempt (the sending window closes).
    std::function<void()> CloseSendWindow;
};
extern TSMTPSendHooks SMTPSendHooks;
void ResetSMTPSendHooks();

// ---- Sending (Win32) ----

// Sends Body (environment variables expanded, like Subject) with the attachments (the list's
// files, then the array's) to every recipient of To (split at "," and ";"), one conversation
// each. Server mode: port 25, the recipient's mail exchanger as host, no credentials. True when
// any recipient was served; a failed MX lookup ends the attempt (false, error recorded). Ends
// with SMTPSendHooks.CloseSendWindow.
bool SendEmailBySMTP(bool ServerMode, const std::string& From, const std::string& Host,
                     const TStrings& AttachmentsList, const TStrings& AttachmentsArray,
                     const std::string& Body, const std::string& Subject, const std::string& To,
                     const std::string& UserID, const std::string& Password, uint16_t Port);
// One conversation with one recipient (To). False on any failure; a raised failure is recorded
// as the last error (context "SMTP", eeEmailSMTPError), a stop at an empty credential is not.
bool SendSMTPMessage(bool ServerMode, const std::string& From, const std::string& Host,
                     const TStrings& AttachmentsList, const TStrings& AttachmentsArray,
                     const std::string& Body, const std::string& Subject, const std::string& To,
                     const std::string& UserID, const std::string& Password, uint16_t Port);
// The client's SendCommand between two rounds of message pumping.
bool SendSMTPCommand(TCrashClientSMTP& Client, const std::string& Command, const TSMTPCodes& Codes,
                     bool Secret = false);
// Verb + " " + GetHostNameForHello(), expecting 250.
bool SendSMTPHello(TCrashClientSMTP& Client, const std::string& Verb);
// CustomSmtpHeloCommand when set, else the local host name.
std::string GetHostNameForHello();
// The mail exchanger of the address's domain from the system's DNS servers, then the public
// one, kMXTriesPerServer tries each (MXTryTimeout). Raises ECrashSocketError "Cannot resolve
// the "<domain>" MX record." when none gives a name.
void GetMXServerFromEmail(const std::string& Email, uint32_t Timeout, std::string& Server);
// Routes the client's sent-bytes events to SMTPSendHooks.OnSent while the sending window exists
// / clears them and runs SMTPSendHooks.AfterTransfer.
void AttachSendCounter(TCrashClientSMTP& Client);
void DetachSendCounter(TCrashClientSMTP& Client);
// The system's DNS servers (GetNetworkParams of IPHLPAPI.DLL, loaded by name); empty when the
// library or the function is missing.
TStrings SystemDNSServers();

// The DNS server tried after the system's; kDefaultPublicDNSServer until set.
std::string GetPublicDNSServer();
void SetPublicDNSServer(const std::string& Server);

// ---- Pure parts ----

// The recipients of To: split at "," and ";", trimmed, empty ones dropped.
TStrings SMTPRecipients(std::string_view To);

// One command of the dialogue before RCPT TO, with the reply codes that let it go on.
struct TSMTPCommandStep {
    std::string Command;
    TSMTPCodes Codes;
    bool Secret = false; // credentials: kept out of the conversation log
};
// With a UserID or Password: EHLO, RSET, AUTH LOGIN and the two base64 lines (500 and 502
// accepted, as from a server without AUTH), MAIL FROM. Otherwise HELO, RSET, MAIL FROM. An
// empty credential gives an empty command (the dialogue stops there).
std::vector<TSMTPCommandStep> SMTPLoginSteps(const std::string& HelloName,
                                             const std::string& EnvelopeAddress,
                                             const std::string& UserID,
                                             const std::string& Password);

// The text after the first "@" (the whole text without one).
std::string EmailDomain(std::string_view Email);
// The wait of try Try (0-based) of one server: (Timeout + 150) div 3 + 100 * Try.
uint32_t MXTryTimeout(uint32_t Timeout, int Try);
// The servers to ask: the system's (trimmed, without "0.0.0.0" and empty entries), then Public.
TStrings DNSServersToAsk(const TStrings& System, const std::string& Public);

// An MX query (RFC 1035): ID "AA", recursion desired, one question for Domain, type MX, class
// IN. Empty when the domain cannot be a DNS name (an empty label inside, a label over 63 bytes,
// more than 255 bytes in all).
std::string BuildDNSQuery(std::string_view Domain);
// Reads the name at Offset (labels and compression pointers; at most kMaxDNSPointers jumps)
// without the final "."; Offset moves behind the first pointer met, else behind the terminating
// zero. False, Offset unchanged, for a name that runs past the reply, loops or grows past 255
// characters.
bool ReadDNSName(std::string_view Reply, size_t& Offset, std::string& Name);
constexpr int kMaxDNSPointers = 64;
// The mail exchanger a reply names: the first answer that yields a name (an MX record's
// exchange; any other record's data read as a name, as for a CNAME). Empty when none does.
// Every read is checked against the reply's length.
std::string ReadMXServerFromDNSReply(std::string_view Reply);

} // namespace kv::crash
