#include "crash/send/ClSMTP.h"

#include "crash/send/ClWinSockWin.h"

#include <iphlpapi.h>

#include <memory>

#include "crash/capture/CrashLogMain.h"
#include "crash/capture/CrashLogUtils.h"
#include "crash/dialogs/ClExceptionDialog.h"
#include "crash/report/ClReportHalf.h"
#include "crash/send/ClMIMEMessage.h"

namespace kv::crash {

namespace {

// The recipient shown in the status line: its number (1-based) and the count of the send.
int32_t g_recipientNumber = 1;
int32_t g_recipientCount = 1;

void PumpThreadMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

TSMTPSendHooks DefaultSMTPSendHooks() {
    TSMTPSendHooks hooks;
    hooks.Status = [](TMessageType, int32_t, int32_t) {};
    hooks.Progress = [](int32_t) {};
    hooks.PumpMessages = PumpThreadMessages;
    hooks.SendWindowExists = [] { return SendProgressWindow() != 0; };
    hooks.AfterTransfer = [] {};
    hooks.CloseSendWindow = [] {};
    return hooks;
}

void ShowStatus(TMessageType text) {
    if (SMTPSendHooks.Status) SMTPSendHooks.Status(text, g_recipientNumber, g_recipientCount);
}

void Pump() {
    if (SMTPSendHooks.PumpMessages) SMTPSendHooks.PumpMessages();
}

std::string& PublicDNSServer() {
    static std::string server = kDefaultPublicDNSServer;
    return server;
}

class Library { // FreeLibrary; null = empty
public:
    explicit Library(const char* name) noexcept : h_(LoadLibraryA(name)) {}
    ~Library() {
        if (h_) FreeLibrary(h_);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    FARPROC Proc(const char* name) const { return h_ ? GetProcAddress(h_, name) : nullptr; }

private:
    HMODULE h_;
};

// Detaches the counter when the transfer ends, also by an exception.
class SendCounterScope {
public:
    explicit SendCounterScope(TCrashClientSMTP& client) : client_(client) {
        AttachSendCounter(client_);
    }
    ~SendCounterScope() {
        try {
            DetachSendCounter(client_);
        } catch (...) {
            // The sender's clean-up must not replace the failure being handled.
        }
    }
    SendCounterScope(const SendCounterScope&) = delete;
    SendCounterScope& operator=(const SendCounterScope&) = delete;

private:
    TCrashClientSMTP& client_; // not owned
};

} // namespace

TSMTPSendHooks SMTPSendHooks = DefaultSMTPSendHooks();

void ResetSMTPSendHooks() {
    SMTPSendHooks = DefaultSMTPSendHooks();
}

std::string GetPublicDNSServer() {
    return PublicDNSServer();
}
void SetPublicDNSServer(const std::string& Server) {
    PublicDNSServer() = Server;
}

bool SendEmailBySMTP(bool ServerMode, const std::string& From, const std::string& Host,
                     const TStrings& AttachmentsList, const TStrings& AttachmentsArray,
                     const std::string& Body, const std::string& Subject, const std::string& To,
                     const std::string& UserID, const std::string& Password, uint16_t Port) {
    if (ServerMode) Port = kSMTPServerPort;
    const std::string subject = ExpandEnvVars(Subject);
    const std::string body = ExpandEnvVars(Body);
    const TStrings recipients = SMTPRecipients(To);
    g_recipientCount = static_cast<int32_t>(recipients.size());
    bool served = false;
    try {
        for (size_t i = 0; i < recipients.size(); ++i) {
            if (SMTPSendHooks.Progress) SMTPSendHooks.Progress(0);
            g_recipientNumber = static_cast<int32_t>(i + 1);
            std::string host = Host, userID = UserID, password = Password;
            if (ServerMode) {
                ShowStatus(mtSendDialog_Resolving);
                GetMXServerFromEmail(recipients[i], kMXTimeoutMs, host);
                userID.clear();
                password.clear();
            }
            if (SendSMTPMessage(ServerMode, From, host, AttachmentsList, AttachmentsArray, body,
                                subject, recipients[i], userID, password, Port))
                served = true;
        }
    } catch (...) {
        // A failed MX lookup ends the attempt; recipients served before it stay served.
        SetLastCrashLogErrorFromException(eeEmailSMTPError, "SMTP");
    }
    if (SMTPSendHooks.CloseSendWindow) SMTPSendHooks.CloseSendWindow();
    return served;
}

bool SendSMTPMessage(bool ServerMode, const std::string& From, const std::string& Host,
                     const TStrings& AttachmentsList, const TStrings& AttachmentsArray,
                     const std::string& Body, const std::string& Subject, const std::string& To,
                     const std::string& UserID, const std::string& Password, uint16_t Port) {
    ShowStatus(mtSendDialog_Connecting);
    try {
        TCrashClientSMTP client(Host, Port, true, kSMTPTimeoutMs);
        client.Open();
        ShowStatus(mtSendDialog_Connected);

        const TSMTPSender sender = GetSMTPSender(From, GetMailUserName());
        TMIMEMessage message;
        message.FromValue = sender.FromValue;
        message.Subject = Subject;
        message.Recipient = To;
        message.Body = Body;
        message.Attachments =
            BuildMIMEAttachmentParts(AttachmentsList, AttachmentsArray, AddFileNameSuffixes);

        bool ok = true;
        // In server mode the recipient's own exchanger gets no credentials of the relay.
        for (const TSMTPCommandStep& step : SMTPLoginSteps(
                 GetHostNameForHello(), sender.EnvelopeAddress, ServerMode ? std::string() : UserID,
                 ServerMode ? std::string() : Password)) {
            if (!SendSMTPCommand(client, step.Command, step.Codes, step.Secret)) {
                ok = false;
                break;
            }
        }

        ShowStatus(mtSendDialog_Sending);
        message.Date = DateTimeToRFC822(Now());
        message.TickCount = GetTickCount();
        const std::string text = BuildMIMEMessageText(message);
        if (ok)
            ok = SendSMTPCommand(client, "RCPT TO:<" + OneString(To) + ">", {250, 251}) &&
                 SendSMTPCommand(client, "DATA", {354});
        {
            const SendCounterScope counter(client);
            if (ok) ok = SendSMTPCommand(client, text, {250});
        }
        return ok;
    } catch (...) {
        SetLastCrashLogErrorFromException(eeEmailSMTPError, "SMTP");
        return false;
    }
}

bool SendSMTPCommand(TCrashClientSMTP& Client, const std::string& Command, const TSMTPCodes& Codes,
                     bool Secret) {
    Pump();
    const bool accepted = Client.SendCommand(Command, Codes, Secret);
    Pump();
    return accepted;
}

bool SendSMTPHello(TCrashClientSMTP& Client, const std::string& Verb) {
    return SendSMTPCommand(Client, Verb + " " + GetHostNameForHello(), {250});
}

std::string GetHostNameForHello() {
    if (!CustomSmtpHeloCommand.empty()) return CustomSmtpHeloCommand;
    char name[251] = {};
    if (winsock::gethostname(name, 250) != 0) return {};
    return name;
}

void AttachSendCounter(TCrashClientSMTP& Client) {
    if (!SMTPSendHooks.OnSent || !SMTPSendHooks.SendWindowExists ||
        !SMTPSendHooks.SendWindowExists())
        return;
    Client.SetOnSent([](TCrashClientSocket*, int32_t sent, int32_t total) {
        if (SMTPSendHooks.OnSent) SMTPSendHooks.OnSent(sent, total);
    });
}

void DetachSendCounter(TCrashClientSMTP& Client) {
    Client.SetOnSent(nullptr);
    if (SMTPSendHooks.AfterTransfer) SMTPSendHooks.AfterTransfer();
}

TStrings SystemDNSServers() {
    const Library iphlpapi("IPHLPAPI.DLL");
    using GetNetworkParamsProc = DWORD(WINAPI*)(PFIXED_INFO, PULONG);
    const auto getNetworkParams =
        reinterpret_cast<GetNetworkParamsProc>(iphlpapi.Proc("GetNetworkParams"));
    if (!getNetworkParams) return {};
    ULONG size = 0;
    if (getNetworkParams(nullptr, &size) != ERROR_BUFFER_OVERFLOW || size == 0) return {};
    // operator new's alignment suits FIXED_INFO.
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[size]);
    auto* info = reinterpret_cast<FIXED_INFO*>(buffer.get());
    if (getNetworkParams(info, &size) != ERROR_SUCCESS) return {};
    TStrings servers;
    for (const IP_ADDR_STRING* entry = &info->DnsServerList; entry; entry = entry->Next) {
        const char* text = entry->IpAddress.String;
        servers.emplace_back(text, strnlen(text, sizeof entry->IpAddress.String));
    }
    return servers;
}

void GetMXServerFromEmail(const std::string& Email, uint32_t Timeout, std::string& Server) {
    Server.clear();
    const std::string domain = EmailDomain(Email);
    const std::string query = BuildDNSQuery(domain);
    if (!query.empty()) {
        for (const std::string& dns : DNSServersToAsk(SystemDNSServers(), GetPublicDNSServer())) {
            for (int t = 0; t < kMXTriesPerServer && Server.empty(); ++t) {
                try {
                    TCrashClientSocket socket(dns, kDNSPort, false, MXTryTimeout(Timeout, t));
                    socket.Open();
                    if (socket.SendText(query) == static_cast<int32_t>(query.size())) {
                        std::string reply;
                        socket.GetFullText(reply);
                        if (!reply.empty()) Server = ReadMXServerFromDNSReply(reply);
                    }
                } catch (const ECrashSocketError&) {
                    // A server that cannot be reached is a failed try; the next one may answer.
                }
            }
            if (!Server.empty()) return;
        }
    }
    throw ECrashSocketError(Format("Cannot resolve the \"%s\" MX record.", {domain}));
}

} // namespace kv::crash
