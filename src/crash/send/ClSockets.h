#pragma once
// The crash component's socket client: a blocking IPv4 TCP or UDP client over the WinSock entry
// points of ClWinSock, with a text log of the conversation (TCrashClientSocket), and its SMTP
// form that checks reply codes (TCrashClientSMTP). The classes are Win32 (ClSockets_win.cpp);
// the texts of their errors and the receive rule are pure (ClSockets.cpp). One thread uses an
// object at a time; every wait is bounded by the object's timeout.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "crash/send/ClWinSock.h"

namespace kv::crash {

class TCrashClientSocket;

// Called with (Sender, -1, the full message) before an error is raised.
using TSocketErrorEvent =
    std::function<void(TCrashClientSocket* Sender, int32_t ErrorCode, const std::string& ErrorMsg)>;
// Called after each chunk of SendText with the bytes sent so far and the text's length.
using TSocketSendEvent =
    std::function<void(TCrashClientSocket* Sender, int32_t BytesSent, int32_t TotalBytes)>;

// The layout of WinSock's sockaddr_in (ClSockets_win.cpp checks it); port and address in network
// order.
struct TSockAddrIn {
    uint16_t sin_family = 2; // AF_INET
    uint16_t sin_port = 0;
    uint32_t sin_addr = 0;
    char sin_zero[8] = {};
};

// Bytes one SendBuf call of SendText sends at most.
constexpr size_t kSendChunkSize = 1024;
// A reply is complete when nothing more has arrived for this long.
constexpr uint32_t kReplyPauseMs = 1001;
// What the log shows for a command that carries credentials: the log ends up in error messages.
constexpr const char* kSecretLogLine = "****\r\n";
// Characters an error message keeps before "..." is added.
constexpr size_t kMaxSocketErrorLength = 1024;

// ---- Pure parts ----

// The message of a socket error (before FOnError and the length limit): Message with the
// "Error log:" and "Socket log:" sections as the log's place in it asks (the log appended when
// the message does not hold it, the sections put in front when the message begins with it, only
// the error log appended when it occurs later), then "\r\n\r\nDestination: host:port".
std::string SocketErrorText(const std::string& Message, const std::string& Log,
                            const std::string& ErrorLog, const std::string& Host, uint16_t Port);
// The first kMaxSocketErrorLength characters and "..." for a longer text; else the text.
std::string LimitSocketErrorText(const std::string& Text);
// "Connected to a.b.c.d port n\r\n" for an address in network order.
std::string ConnectedLogLine(uint32_t NetAddress, uint16_t Port);

// The reply code of an SMTP reply: its leading decimal digits; false when it does not start
// with a digit or the number does not fit 16 bits (no code of a list can match it then).
bool ReadSMTPReplyCode(std::string_view Reply, uint16_t& Code);
// Whether the reply's code is one of Codes.
bool SMTPReplyAccepted(std::string_view Reply, const std::vector<uint16_t>& Codes);

// What ReceiveText reads through: bytes waiting (<= 0: none), a read of up to Count bytes (the
// bytes read, <= 0 for none), a pause of about a millisecond and a millisecond clock.
struct TReceivePort {
    std::function<int32_t()> Waiting;
    std::function<int32_t(char* Buffer, int32_t Count)> Read;
    std::function<void()> Sleep;
    std::function<uint64_t()> Clock;
};
// Collects one reply: reads what is waiting and goes on while more arrives within
// kReplyPauseMs of the last read. Returns at the latest LimitMs after its start (a peer that
// never pauses cannot hold it), with what arrived so far.
std::string ReceivePausedText(const TReceivePort& Port, uint32_t LimitMs);

// ---- Sockets (Win32) ----

class TCrashClientSocket {
public:
    // Stores the values; nothing is opened. Timeout: milliseconds to wait for the first byte of
    // a reply (and for the connection and a send).
    TCrashClientSocket(const std::string& Host, uint16_t Port, bool TCP, uint32_t Timeout);
    // Closes when connected; a failing close is ignored here.
    virtual ~TCrashClientSocket();
    TCrashClientSocket(const TCrashClientSocket&) = delete;
    TCrashClientSocket& operator=(const TCrashClientSocket&) = delete;

    // Connects (nothing when connected): an unresolved host raises ECrashSocketError "Unable to
    // resolve host "<host>"." before any connection attempt; other failures go through Error.
    virtual void Open();
    // Closes the socket and clears both logs. A connected TCP socket first ends its sending side
    // and waits (at most 5 s) for the peer to close, so that what was sent is never lost to a
    // reset. A failing closesocket raises through Error.
    virtual void Close();

    // The host's first IPv4 address (network order); 0 when the name does not resolve.
    static uint32_t LookupName(const std::string& Host);

    // Bytes sent; 0 when not connected, -1 when the call would block. Other failures close the
    // socket and raise. The error log is cleared.
    int32_t SendBuf(const void* Buffer, int32_t Count);
    // Sends in chunks of kSendChunkSize, calling OnSent after each; the total sent.
    int32_t SendText(const std::string& Text);
    // Count -1: the bytes waiting; else bytes received (0 when not connected, -1 when the call
    // would block). Failures close the socket and raise.
    int32_t ReceiveBuf(void* Buffer, int32_t Count);
    // Appends one reply (ReceivePausedText) to Text, the log and the error log.
    void ReceiveText(std::string& Text);
    // Waits up to the timeout for a reply; Text empty when none came.
    void GetFullText(std::string& Text);
    // GetFullText; no reply raises "Socket timeout." through Error.
    void ReceiveFullText(std::string& Text);
    // Raises ECrashSocketError (kv::EAbort with QuietErrors) with Format(Pattern, Args)
    // and the log sections (SocketErrorText), at most kMaxSocketErrorLength characters and
    // "..."; OnError sees the full text first.
    [[noreturn]] void Error(std::string_view Pattern, std::initializer_list<std::string_view> Args);

    bool Connected() const { return FConnected; }
    const std::string& Host() const { return FHost; }
    uint16_t Port() const { return FPort; }
    uint32_t Timeout() const { return FTimeout; }
    const std::string& Log() const { return FLog; }
    const std::string& ErrorLog() const { return FErrorLog; }
    void SetOnError(TSocketErrorEvent Handler) { FOnError = std::move(Handler); }
    void SetOnSent(TSocketSendEvent Handler) { FOnSent = std::move(Handler); }
    bool HasOnSent() const { return static_cast<bool>(FOnSent); }
    void SetQuietErrors(bool Value) { FQuietErrors = Value; }

protected:
    // Error with log texts of the caller's choice (a failed call closes the socket, which clears
    // the logs: the message still shows the conversation up to the failure).
    [[noreturn]] void RaiseError(const std::string& Message, const std::string& Log,
                                 const std::string& ErrorLog);
    // The failure of a send or receive call: closes and raises; -1 for WSAEWOULDBLOCK.
    int32_t TransferFailed(const char* Call);

    TSockAddrIn FAddr;
    std::string FHost;
    uint16_t FPort = 0;
    int32_t FType = 1; // 1 SOCK_STREAM, 2 SOCK_DGRAM
    uint32_t FTimeout = 0;
    bool FConnected = false;
    intptr_t FSocket = -1;
    std::string FLog;
    std::string FErrorLog;
    TSocketErrorEvent FOnError;
    TSocketSendEvent FOnSent;
    bool FQuietErrors = false;
};

// A reply code list.
using TSMTPCodes = std::vector<uint16_t>;

class TCrashClientSMTP : public TCrashClientSocket {
public:
    using TCrashClientSocket::TCrashClientSocket;
    // Connects and expects the greeting 220.
    void Open() override;
    // Reads one reply (ReceiveFullText); true when its code is one of Codes.
    bool GetText(const TSMTPCodes& Codes);
    // Sends the command (CR LF added when missing) and reads the reply: true when accepted. An
    // empty command returns false and sends nothing; a rejected reply or a short send raises
    // with the conversation. A Secret command (credentials) is logged as kSecretLogLine.
    bool SendCommand(const std::string& Command, const TSMTPCodes& Codes, bool Secret = false);
};

} // namespace kv::crash
