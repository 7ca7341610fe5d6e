#include "crash/send/ClSockets.h"

#include "crash/send/ClWinSockWin.h"

#include <cstddef>

namespace kv::crash {

static_assert(sizeof(TSockAddrIn) == sizeof(sockaddr_in) &&
                  offsetof(TSockAddrIn, sin_port) == offsetof(sockaddr_in, sin_port) &&
                  offsetof(TSockAddrIn, sin_addr) == offsetof(sockaddr_in, sin_addr),
              "TSockAddrIn must have the layout of sockaddr_in");

namespace {

bool g_winSockStarted = false;

void StartWinSock() {
    if (g_winSockStarted) return;
    WSADATA data;
    g_winSockStarted = winsock::WSAStartup(MAKEWORD(1, 1), &data) == 0;
}

void SocketsInit() {
    StartWinSock();
}

void SocketsDone() {
    if (!g_winSockStarted) return;
    g_winSockStarted = false;
    winsock::WSACleanup();
}

__attribute__((init_priority(101))) TUnitBodies g_unitBodies{"ClSockets", SocketsInit, SocketsDone};

std::string SysErrorMessage(int code) {
    char* buffer = nullptr;
    const DWORD n = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = n && buffer ? std::string(buffer, n) : std::string();
    if (buffer) LocalFree(buffer);
    text = Trim(text);
    return text.empty() ? "System error " + IntToStr(code) : text;
}

int LastSocketError() {
    return winsock::WSAGetLastError();
}

SOCKET AsSocket(intptr_t handle) {
    return static_cast<SOCKET>(handle);
}

// Waits up to timeoutMs for a non-blocking connect; the socket error, 0 when connected.
int FinishConnect(SOCKET s, uint32_t timeoutMs) {
    winsock::TFDSet writable, failed;
    (winsock::FD_ZERO)(writable);
    (winsock::FD_ZERO)(failed);
    (winsock::FD_SET)(s, writable);
    (winsock::FD_SET)(s, failed);
    timeval wait{static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
    const int n = winsock::select(0, nullptr, reinterpret_cast<fd_set*>(&writable),
                                  reinterpret_cast<fd_set*>(&failed), &wait);
    if (n == 0) return WSAETIMEDOUT;
    if (n == SOCKET_ERROR) return LastSocketError();
    if (!(winsock::FD_ISSET)(s, failed)) return 0;
    // A refused or unreachable peer shows in the exception set; its reason is SO_ERROR.
    int error = 0;
    int size = sizeof error;
    winsock::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
    return error ? error : WSAECONNREFUSED;
}

// Ends the sending side and reads (and drops) what the peer still sends until it closes too, at
// most kCloseDrainMs: a socket closed with unread input, or before the peer has taken what was
// sent, may be reset, and the last message sent is lost on the way.
void EndSending(SOCKET s) {
    constexpr ULONGLONG kCloseDrainMs = 5000;
    if (winsock::shutdown(s, SD_SEND) == SOCKET_ERROR) return;
    const ULONGLONG start = GetTickCount64();
    char buffer[1024];
    for (ULONGLONG passed = 0; passed < kCloseDrainMs; passed = GetTickCount64() - start) {
        winsock::TFDSet readable;
        (winsock::FD_ZERO)(readable);
        (winsock::FD_SET)(s, readable);
        const ULONGLONG left = kCloseDrainMs - passed;
        timeval wait{static_cast<long>(left / 1000), static_cast<long>(left % 1000) * 1000};
        if (winsock::select(0, reinterpret_cast<fd_set*>(&readable), nullptr, nullptr, &wait) <= 0)
            return;
        if (winsock::recv(s, buffer, sizeof buffer, 0) <= 0) return; // closed, or reset
    }
}

} // namespace

// ---- TCrashClientSocket ----

TCrashClientSocket::TCrashClientSocket(const std::string& Host, uint16_t Port, bool TCP,
                                       uint32_t Timeout)
    : FHost(Host), FPort(Port), FType(TCP ? SOCK_STREAM : SOCK_DGRAM), FTimeout(Timeout) {}

TCrashClientSocket::~TCrashClientSocket() {
    if (!FConnected) return;
    try {
        Close();
    } catch (...) {
        // A destructor cannot report it; the handle is gone with the process at worst.
    }
}

uint32_t TCrashClientSocket::LookupName(const std::string& Host) {
    if (Trim(Host).empty()) return 0;
    StartWinSock();
    const hostent* host = winsock::gethostbyname(Host.c_str());
    if (!host || host->h_addrtype != AF_INET || host->h_length != 4 || !host->h_addr_list ||
        !host->h_addr_list[0])
        return 0;
    uint32_t address = 0;
    memcpy(&address, host->h_addr_list[0], sizeof address);
    return address;
}

void TCrashClientSocket::Open() {
    if (FConnected) return;
    StartWinSock();
    const SOCKET s = winsock::socket(AF_INET, FType, 0);
    if (s == INVALID_SOCKET) Error("Invalid socket: \"%s\".", {SysErrorMessage(LastSocketError())});
    // Until the connection stands the handle is this function's: a failure closes it.
    struct Pending {
        SOCKET s;
        ~Pending() {
            if (s != INVALID_SOCKET) winsock::closesocket(s);
        }
    } pending{s};

    FAddr = TSockAddrIn();
    FAddr.sin_addr = LookupName(FHost);
    if (FAddr.sin_addr == 0) throw ECrashSocketError("Unable to resolve host \"" + FHost + "\".");
    FAddr.sin_port = winsock::htons(FPort);

    winsock::WSAAsyncSelect(s, nullptr, 0, 0);
    // Connect without blocking so that an unreachable host costs at most the timeout, then
    // make the socket blocking.
    u_long mode = 1;
    winsock::ioctlsocket(s, FIONBIO, &mode);
    int error = 0;
    if (winsock::connect(s, reinterpret_cast<const sockaddr*>(&FAddr), sizeof FAddr) ==
        SOCKET_ERROR) {
        error = LastSocketError();
        if (error == WSAEWOULDBLOCK) error = FinishConnect(s, FTimeout);
    }
    mode = 0;
    winsock::ioctlsocket(s, FIONBIO, &mode);
    if (error) Error("Connection error: \"%s\"", {SysErrorMessage(error)});
    if (FTimeout) {
        // A peer that stops reading must not hold a send for ever.
        const DWORD sendTimeout = FTimeout;
        winsock::setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&sendTimeout),
                            sizeof sendTimeout);
    }

    pending.s = INVALID_SOCKET;
    FSocket = static_cast<intptr_t>(s);
    FConnected = true;
    FLog = ConnectedLogLine(FAddr.sin_addr, FPort);
    FErrorLog.clear();
}

void TCrashClientSocket::Close() {
    if (FSocket != -1 && FConnected && FType == SOCK_STREAM) EndSending(AsSocket(FSocket));
    if (FSocket != -1 && winsock::closesocket(AsSocket(FSocket)) == SOCKET_ERROR)
        Error("Cannot close the socket: \"%s\"", {SysErrorMessage(LastSocketError())});
    FSocket = -1;
    FAddr = TSockAddrIn();
    FConnected = false;
    FLog.clear();
    FErrorLog.clear();
}

int32_t TCrashClientSocket::TransferFailed(const char* Call) {
    const int code = LastSocketError();
    if (code == WSAEWOULDBLOCK) return -1;
    const std::string log = FLog, errorLog = FErrorLog;
    try {
        Close();
    } catch (const ECrashSocketError&) {
        FSocket = -1;
        FConnected = false;
    }
    if (code != 0)
        RaiseError(Format("Error into \"%s\": \"%s\"", {Call, SysErrorMessage(code)}), log,
                   errorLog);
    return -1;
}

int32_t TCrashClientSocket::SendBuf(const void* Buffer, int32_t Count) {
    if (!FConnected) return 0;
    int32_t sent = winsock::send(AsSocket(FSocket), static_cast<const char*>(Buffer), Count, 0);
    if (sent == SOCKET_ERROR) sent = TransferFailed("send");
    FErrorLog.clear();
    return sent;
}

int32_t TCrashClientSocket::SendText(const std::string& Text) {
    const int32_t total = static_cast<int32_t>(Text.size());
    int32_t done = 0;
    while (done < total) {
        const int32_t chunk = std::min<int32_t>(total - done, kSendChunkSize);
        const int32_t sent = SendBuf(Text.data() + done, chunk);
        if (sent <= 0) break;
        done += sent;
        if (FOnSent) FOnSent(this, done, total);
    }
    return done;
}

int32_t TCrashClientSocket::ReceiveBuf(void* Buffer, int32_t Count) {
    if (!FConnected) return 0;
    if (Count == -1) {
        u_long waiting = 0;
        if (winsock::ioctlsocket(AsSocket(FSocket), FIONREAD, &waiting) == SOCKET_ERROR)
            return TransferFailed("recv");
        return static_cast<int32_t>(std::min<u_long>(waiting, 0x7FFFFFFF));
    }
    const int32_t got = winsock::recv(AsSocket(FSocket), static_cast<char*>(Buffer), Count, 0);
    return got == SOCKET_ERROR ? TransferFailed("recv") : got;
}

void TCrashClientSocket::ReceiveText(std::string& Text) {
    TReceivePort port;
    port.Waiting = [this] { return ReceiveBuf(nullptr, -1); };
    port.Read = [this](char* buffer, int32_t count) {
        const int32_t got = ReceiveBuf(buffer, count);
        if (got > 0) {
            FLog.append(buffer, static_cast<size_t>(got));
            FErrorLog.append(buffer, static_cast<size_t>(got));
        }
        return got;
    };
    port.Sleep = [] { Sleep(1); };
    port.Clock = [] { return static_cast<uint64_t>(GetTickCount64()); };
    Text += ReceivePausedText(port, FTimeout);
}

void TCrashClientSocket::GetFullText(std::string& Text) {
    Text.clear();
    const ULONGLONG start = GetTickCount64();
    while (true) {
        ReceiveText(Text);
        if (!Text.empty() || GetTickCount64() - start >= FTimeout) return;
        Sleep(1);
    }
}

void TCrashClientSocket::ReceiveFullText(std::string& Text) {
    GetFullText(Text);
    if (Text.empty()) Error("Socket timeout.", {});
}

void TCrashClientSocket::Error(std::string_view Pattern,
                               std::initializer_list<std::string_view> Args) {
    RaiseError(Format(Pattern, Args), FLog, FErrorLog);
}

void TCrashClientSocket::RaiseError(const std::string& Message, const std::string& Log,
                                    const std::string& ErrorLog) {
    std::string text = SocketErrorText(Message, Log, ErrorLog, FHost, FPort);
    if (FOnError) FOnError(this, -1, text);
    if (FQuietErrors) throw kv::EAbort();
    throw ECrashSocketError(LimitSocketErrorText(text));
}

// ---- TCrashClientSMTP ----

void TCrashClientSMTP::Open() {
    TCrashClientSocket::Open();
    if (!GetText({220})) Error("%s", {FLog});
}

bool TCrashClientSMTP::GetText(const TSMTPCodes& Codes) {
    std::string reply;
    ReceiveFullText(reply);
    return SMTPReplyAccepted(reply, Codes);
}

bool TCrashClientSMTP::SendCommand(const std::string& Command, const TSMTPCodes& Codes,
                                   bool Secret) {
    if (Command.empty()) return false;
    std::string line = Command;
    if (line.size() < 2 || line.compare(line.size() - 2, 2, "\r\n") != 0) line += "\r\n";
    bool accepted = false;
    if (SendText(line) == static_cast<int32_t>(line.size())) {
        FLog += Secret ? std::string(kSecretLogLine) : line;
        FErrorLog.clear();
        accepted = GetText(Codes);
    }
    if (!accepted) Error("%s", {FLog});
    return true;
}

} // namespace kv::crash
