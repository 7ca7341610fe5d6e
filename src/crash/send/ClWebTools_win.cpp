// The WinInet half of the web transport. The library is loaded by name and every entry point
// is called through the table resolved from it (never through the import library), so the
// program starts on systems without it.
#include "crash/send/ClWebTools.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <mutex>
#include <utility>

#include "crash/core/ClBase64.h"
#include "crash/core/ClCorePlatform.h"

namespace kv::crash {

namespace {

struct WinInetApi {
    decltype(&::InternetOpenA) InternetOpenA;
    decltype(&::InternetConnectA) InternetConnectA;
    decltype(&::HttpOpenRequestA) HttpOpenRequestA;
    decltype(&::HttpAddRequestHeadersA) HttpAddRequestHeadersA;
    decltype(&::HttpSendRequestA) HttpSendRequestA;
    decltype(&::HttpSendRequestExA) HttpSendRequestExA;
    decltype(&::InternetWriteFile) InternetWriteFile;
    decltype(&::HttpEndRequestA) HttpEndRequestA;
    decltype(&::HttpQueryInfoA) HttpQueryInfoA;
    decltype(&::InternetCloseHandle) InternetCloseHandle;
    decltype(&::InternetQueryOptionA) InternetQueryOptionA;
    decltype(&::InternetSetOptionA) InternetSetOptionA;
    decltype(&::FtpOpenFileA) FtpOpenFileA;
    decltype(&::InternetGetLastResponseInfoA) InternetGetLastResponseInfoA;
    decltype(&::InternetOpenUrlA) InternetOpenUrlA;
    decltype(&::InternetReadFile) InternetReadFile;
    decltype(&::InternetGetConnectedState) InternetGetConnectedState;
};

std::mutex g_winInetLock;
int g_winInetRefs = 0;
HMODULE g_winInetModule = nullptr;
WinInetApi g_api{};

template <class F> bool Resolve(HMODULE module, const char* name, F& entry) {
    entry = reinterpret_cast<F>(GetProcAddress(module, name));
    return entry != nullptr;
}

bool ResolveAll(HMODULE m, WinInetApi& a) {
    return Resolve(m, "InternetOpenA", a.InternetOpenA) &&
           Resolve(m, "InternetConnectA", a.InternetConnectA) &&
           Resolve(m, "HttpOpenRequestA", a.HttpOpenRequestA) &&
           Resolve(m, "HttpAddRequestHeadersA", a.HttpAddRequestHeadersA) &&
           Resolve(m, "HttpSendRequestA", a.HttpSendRequestA) &&
           Resolve(m, "HttpSendRequestExA", a.HttpSendRequestExA) &&
           Resolve(m, "InternetWriteFile", a.InternetWriteFile) &&
           Resolve(m, "HttpEndRequestA", a.HttpEndRequestA) &&
           Resolve(m, "HttpQueryInfoA", a.HttpQueryInfoA) &&
           Resolve(m, "InternetCloseHandle", a.InternetCloseHandle) &&
           Resolve(m, "InternetQueryOptionA", a.InternetQueryOptionA) &&
           Resolve(m, "InternetSetOptionA", a.InternetSetOptionA) &&
           Resolve(m, "FtpOpenFileA", a.FtpOpenFileA) &&
           Resolve(m, "InternetGetLastResponseInfoA", a.InternetGetLastResponseInfoA) &&
           Resolve(m, "InternetOpenUrlA", a.InternetOpenUrlA) &&
           Resolve(m, "InternetReadFile", a.InternetReadFile) &&
           Resolve(m, "InternetGetConnectedState", a.InternetGetConnectedState);
}

// A reference on the loaded library for one operation.
class WinInetLease {
public:
    WinInetLease() : held_(detail::AcquireWinInet()) {}
    ~WinInetLease() {
        if (held_) detail::ReleaseWinInet();
    }
    WinInetLease(const WinInetLease&) = delete;
    WinInetLease& operator=(const WinInetLease&) = delete;
    explicit operator bool() const { return held_; }

private:
    bool held_;
};

// InternetCloseHandle; null = empty. Declared after the lease it depends on.
class InternetHandle {
public:
    explicit InternetHandle(HINTERNET h = nullptr) noexcept : h_(h) {}
    ~InternetHandle() {
        if (h_) g_api.InternetCloseHandle(h_);
    }
    InternetHandle(InternetHandle&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    HINTERNET get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != nullptr; }
    // Closes now; false when WinInet refused.
    bool Close() noexcept { return !h_ || g_api.InternetCloseHandle(std::exchange(h_, nullptr)); }

private:
    HINTERNET h_;
};

constexpr DWORD kUploadFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                               INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_COOKIES |
                               INTERNET_FLAG_NO_AUTO_REDIRECT |
                               INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP |
                               INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS | INTERNET_FLAG_NO_UI;
constexpr DWORD kRequestFlags = kUploadFlags & ~static_cast<DWORD>(INTERNET_FLAG_NO_COOKIES);
constexpr DWORD kSecureFlags = INTERNET_FLAG_SECURE | INTERNET_FLAG_IGNORE_CERT_CN_INVALID |
                               INTERNET_FLAG_IGNORE_CERT_DATE_INVALID;
constexpr DWORD kConnectionFlags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION;
static_assert(kUploadFlags == 0x8468C200 && (kUploadFlags | kSecureFlags) == 0x84E8F200);
static_assert(kRequestFlags == 0x8460C200 && (kRequestFlags | kSecureFlags) == 0x84E0F200);
static_assert(kConnectionFlags == 0x4400000);

constexpr const char* kAgent = "CrashLog";
constexpr DWORD kFirstResponseInfoSize = 3000;
// Bounds on what a server can make us hold: a reply text, one header, a page.
constexpr DWORD kMaxResponseInfoSize = 64 * 1024;
constexpr DWORD kMaxHeaderSize = 256 * 1024;
constexpr size_t kMaxPageSize = 16 * 1024 * 1024;

const char* NullIfEmpty(const std::string& s) {
    return s.empty() ? nullptr : s.c_str();
}

// The error of the call that just failed. A failure without a code comes from a reply WinInet
// could not make sense of (its FTP code sees no reply code in it and sets none).
DWORD FailureCode() {
    const DWORD code = GetLastError();
    return code != 0 ? code : ERROR_HTTP_INVALID_SERVER_RESPONSE;
}

HINTERNET OpenSession(const std::string& proxy) {
    if (proxy.empty())
        return g_api.InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    return g_api.InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PROXY, proxy.c_str(), "<local>", 0);
}

// The proxy of the uploads: empty for none.
std::string UploadProxy() {
    return detail::HasProxy() ? detail::ProxyText() : std::string();
}

bool SetTextOption(HINTERNET h, DWORD option, const std::string& value) {
    // The length counts the terminating zero.
    return g_api.InternetSetOptionA(h, option, const_cast<char*>(value.c_str()),
                                    static_cast<DWORD>(value.size() + 1));
}

bool SetProxyCredentials(HINTERNET request, const std::string& user, const std::string& password) {
    if (user.empty() && password.empty()) return true;
    return SetTextOption(request, INTERNET_OPTION_PROXY_USERNAME, user) &&
           SetTextOption(request, INTERNET_OPTION_PROXY_PASSWORD, password);
}

// Accepts the self-signed certificates of small in-house servers.
bool AllowUnknownCA(HINTERNET request) {
    DWORD flags = 0;
    DWORD size = sizeof flags;
    g_api.InternetQueryOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, &size);
    flags |= SECURITY_FLAG_IGNORE_UNKNOWN_CA;
    return g_api.InternetSetOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, sizeof flags);
}

bool AddHeader(HINTERNET request, const std::string& header) {
    return g_api.HttpAddRequestHeadersA(request, header.c_str(), static_cast<DWORD>(header.size()),
                                        HTTP_ADDREQ_FLAG_ADD);
}

bool AddBasicAuthorization(HINTERNET request, const std::string& user,
                           const std::string& password) {
    if (user.empty() && password.empty()) return true;
    return AddHeader(request, "Authorization: Basic " + Base64EncodeString(user + ":" + password));
}

// One piece of the response as text, at most limit bytes; false when missing or longer.
// customName names the header for HTTP_QUERY_CUSTOM.
bool QueryInfoText(HINTERNET request, DWORD level, DWORD limit, std::string& text,
                   const char* customName = nullptr) {
    text.clear();
    std::string buffer(256, '\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (customName) {
            const size_t n = strlen(customName);
            if (buffer.size() <= n) buffer.resize(n + 1);
            std::copy(customName, customName + n + 1, buffer.begin());
        }
        DWORD size = static_cast<DWORD>(buffer.size() - 1);
        if (g_api.HttpQueryInfoA(request, level, buffer.data(), &size, nullptr)) {
            text.assign(buffer.data(), std::min<size_t>(size, buffer.size() - 1));
            text.resize(strnlen(text.c_str(), text.size()));
            return true;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size > limit) return false;
        buffer.assign(size + 1, '\0');
    }
    return false;
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find_first_of("\r\n"));
}

// The status line as WinInet kept it, for the message about a malformed one: its raw headers
// need not start with it (Wine files a status line without a number elsewhere).
std::string StatusLine(HINTERNET request, const std::string& rawHeaders,
                       const std::string& status) {
    const std::string first = FirstLine(rawHeaders);
    if (first.rfind("HTTP/", 0) == 0) return first;
    std::string version, text;
    QueryInfoText(request, HTTP_QUERY_VERSION, 64, version);
    QueryInfoText(request, HTTP_QUERY_STATUS_TEXT, kMaxHeaderSize, text);
    return Trim(version + " " + status + " " + text);
}

// The server's last reply on this thread (what an extended error refers to), bounded.
std::string LastResponseInfo() {
    std::string buffer(kFirstResponseInfoSize, '\0');
    DWORD error = 0;
    DWORD size = kFirstResponseInfoSize;
    if (!g_api.InternetGetLastResponseInfoA(&error, buffer.data(), &size)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size > kMaxResponseInfoSize) return {};
        buffer.assign(size + 100, '\0');
        size = static_cast<DWORD>(buffer.size());
        if (!g_api.InternetGetLastResponseInfoA(&error, buffer.data(), &size)) return {};
    }
    buffer.resize(std::min<size_t>(size, buffer.size()));
    buffer.resize(strnlen(buffer.c_str(), buffer.size()));
    while (!buffer.empty() &&
           (buffer.back() == '\r' || buffer.back() == '\n' || buffer.back() == ' '))
        buffer.pop_back();
    return buffer;
}

std::string SystemErrorText(DWORD code) {
    char* text = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = n && text ? std::string(text, n) : std::string();
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == '\r' || message.back() == '\n' ||
                                message.back() == ' ' || message.back() == '.'))
        message.pop_back();
    return message.empty() ? "System error " + IntToStr(code) : message;
}

// The text of a WinInet error. The thread's last server reply is used only for the extended
// error it belongs to: WinInet keeps it past later failures, where it would name a stale reply.
std::string WinInetErrorText(DWORD code, bool ftpReply) {
    if (code == ERROR_INTERNET_EXTENDED_ERROR) {
        const std::string info = LastResponseInfo();
        if (!info.empty())
            return ftpReply && !IsWellFormedFTPReply(info) ? MalformedReplyMessage(info) : info;
    }
    std::string text = WinInetErrorTableText(code);
    return text.empty() ? SystemErrorText(code) : text;
}

void Progress(TInternetProgressFunction callback, TConnectionType type, size_t total, size_t sent) {
    if (callback) callback(type, static_cast<uint32_t>(total), static_cast<uint32_t>(sent));
}

// Writes data in chunks of chunkSize, calling after(written) after each; false (with the
// failure code) when a write fails.
template <class After>
bool WriteChunks(HINTERNET h, const std::string& data, size_t chunkSize, After after,
                 DWORD& failure) {
    size_t written = 0;
    while (written < data.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min(chunkSize, data.size() - written));
        DWORD done = 0;
        if (!g_api.InternetWriteFile(h, data.data() + written, chunk, &done)) {
            failure = FailureCode();
            return false;
        }
        if (done == 0) { // a stalled write would loop for ever
            failure = ERROR_INTERNET_CONNECTION_ABORTED;
            return false;
        }
        written += done;
        after(written);
    }
    return true;
}

std::string AbsoluteDocument(const std::string& document) {
    return !document.empty() && document[0] == '/' ? document : "/" + document;
}

} // namespace

namespace detail {

bool AcquireWinInet() {
    const std::lock_guard<std::mutex> guard(g_winInetLock);
    if (g_winInetRefs == 0) {
        HMODULE module = LoadLibraryA("wininet.dll");
        if (!module) return false;
        WinInetApi api{};
        if (!ResolveAll(module, api)) {
            FreeLibrary(module);
            return false;
        }
        g_winInetModule = module;
        g_api = api;
    }
    ++g_winInetRefs;
    return true;
}

void ReleaseWinInet() {
    const std::lock_guard<std::mutex> guard(g_winInetLock);
    if (g_winInetRefs == 0 || --g_winInetRefs > 0) return;
    FreeLibrary(g_winInetModule);
    g_winInetModule = nullptr;
    g_api = WinInetApi{};
}

} // namespace detail

// ---- Uploads ----

int32_t HTTPUploadFiles(const std::string& Host, const std::string& Document,
                        const std::string& UserID, const std::string& Password, uint16_t Port,
                        bool UseHTTPS, const TStrings& Files, const TStrings& FileNames,
                        const TStrings& CustomFields, TInternetProgressFunction Callback,
                        std::string& Reply) {
    Reply.clear();
    const WinInetLease lease;
    if (!lease) return kWebResultNoWinInet;
    const std::string boundary = MakeMultipartBoundary();
    const std::string contentType = "Content-Type: multipart/form-data; boundary=" + boundary;
    const std::string body = BuildUploadBody(boundary, Files, FileNames, CustomFields);
    const size_t length = body.size();

    const auto send = [&]() -> DWORD {
        Progress(Callback, ctConnection, length, 0);
        const InternetHandle session(OpenSession(UploadProxy()));
        if (!session) return FailureCode();
        const INTERNET_PORT port = Port != 0  ? Port
                                   : UseHTTPS ? INTERNET_DEFAULT_HTTPS_PORT
                                              : INTERNET_DEFAULT_HTTP_PORT;
        const InternetHandle connection(g_api.InternetConnectA(
            session.get(), Host.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
        if (!connection) return FailureCode();
        Progress(Callback, ctConnected, length, 0);
        const InternetHandle request(g_api.HttpOpenRequestA(
            connection.get(), "POST", AbsoluteDocument(Document).c_str(), nullptr, nullptr, nullptr,
            UseHTTPS ? kUploadFlags | kSecureFlags : kUploadFlags, 0));
        if (!request) return FailureCode();
        if (UseHTTPS && !AllowUnknownCA(request.get())) return FailureCode();
        if (!AddHeader(request.get(), contentType) ||
            !AddBasicAuthorization(request.get(), UserID, Password) ||
            !SetProxyCredentials(request.get(), detail::ProxyUserName(), detail::ProxyPassword()))
            return FailureCode();

        INTERNET_BUFFERSA buffers{};
        buffers.dwStructSize = sizeof buffers;
        buffers.dwBufferTotal = static_cast<DWORD>(length);
        if (!g_api.HttpSendRequestExA(request.get(), &buffers, nullptr, 0, 0)) return FailureCode();
        DWORD failure = 0;
        if (!WriteChunks(
                request.get(), body, kUploadChunkSize,
                [&](size_t written) {
                    Progress(Callback, ctSending, length, std::min(length, written));
                },
                failure))
            return failure;
        if (!g_api.HttpEndRequestA(request.get(), nullptr, 0, 0)) return FailureCode();

        std::string status;
        int32_t code = 0;
        if (!QueryInfoText(request.get(), HTTP_QUERY_STATUS_CODE, 32, status) ||
            !ParseHTTPStatusCode(status, code)) {
            std::string headers;
            QueryInfoText(request.get(), HTTP_QUERY_RAW_HEADERS_CRLF, kMaxHeaderSize, headers);
            Reply = MalformedReplyMessage(StatusLine(request.get(), headers, status));
            return static_cast<DWORD>(kWebResultBadStatus);
        }
        if (code == 200) return 0;
        QueryInfoText(request.get(), HTTP_QUERY_STATUS_TEXT, kMaxHeaderSize, Reply);
        if (Reply.empty()) Reply = "HTTP status " + IntToStr(code);
        return static_cast<DWORD>(code);
    };
    const auto result = static_cast<int32_t>(send());
    if (result != 0 && Reply.empty()) Reply = WinInetErrorText(static_cast<DWORD>(result), false);
    return result;
}

int32_t FTPUploadFiles(const std::string& Host, const std::string& Path, const std::string& UserID,
                       const std::string& Password, uint16_t Port, const TStrings& FileNames,
                       const TStrings& Files, TInternetProgressFunction Callback,
                       std::string& Reply) {
    Reply.clear();
    if (Files.empty()) return 0;
    const WinInetLease lease;
    if (!lease) return kWebResultNoWinInet;
    size_t total = 0;
    for (const std::string& file : Files)
        if (!file.empty() && FileExists(file)) total += GetFileSizeByName(file);

    const auto send = [&]() -> DWORD {
        Progress(Callback, ctConnection, total, 0);
        const InternetHandle session(OpenSession(UploadProxy()));
        if (!session) return FailureCode();
        const InternetHandle connection(g_api.InternetConnectA(
            session.get(), Host.c_str(), Port, NullIfEmpty(UserID), NullIfEmpty(Password),
            INTERNET_SERVICE_FTP, detail::FTPConnectionFlags(), 0));
        if (!connection) return FailureCode();
        Progress(Callback, ctConnected, total, 0);
        std::string data;
        for (size_t i = 0; i < Files.size(); ++i) {
            // A file that cannot be read is left out, as a missing one.
            if (Files[i].empty() || !FileExists(Files[i]) ||
                !detail::ReadFileDenyWrite(Files[i], data))
                continue;
            const std::string remote =
                FTPRemoteName(Path, i < FileNames.size() ? FileNames[i] : Files[i]);
            InternetHandle file(g_api.FtpOpenFileA(connection.get(), remote.c_str(), GENERIC_WRITE,
                                                   FTP_TRANSFER_TYPE_BINARY, 0));
            if (!file) return FailureCode();
            DWORD failure = 0;
            if (!WriteChunks(
                    file.get(), data, kUploadChunkSize,
                    [&](size_t written) { Progress(Callback, ctSending, total, written); },
                    failure))
                return failure;
            // Closing ends the transfer; the server's verdict comes with it.
            if (!file.Close()) return FailureCode();
        }
        return 0;
    };
    const auto result = static_cast<int32_t>(send());
    if (result != 0 && Reply.empty()) Reply = WinInetErrorText(static_cast<DWORD>(result), true);
    return result;
}

bool CheckInternetConnection() {
    const WinInetLease lease;
    if (!lease) return false;
    DWORD flags = 0;
    g_api.InternetGetConnectedState(&flags, 0);
    return (flags &
            (INTERNET_CONNECTION_MODEM | INTERNET_CONNECTION_LAN | INTERNET_CONNECTION_PROXY)) != 0;
}

bool GetHTMLPage(const std::string& URL, std::string& Page) {
    Page.clear();
    const WinInetLease lease;
    if (!lease) return false;
    const InternetHandle session(OpenSession(UploadProxy()));
    if (!session) return false;
    const InternetHandle url(g_api.InternetOpenUrlA(
        session.get(), URL.c_str(), nullptr, 0,
        INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI, 0));
    if (!url) return false;
    char block[1024];
    DWORD read = 0;
    while (Page.size() < kMaxPageSize &&
           g_api.InternetReadFile(url.get(), block, sizeof block, &read) && read > 0)
        Page.append(block, read);
    return true;
}

// ---- The connection ----

void THTTPConnectionBase::CloseHandles() noexcept {
    if (!winInet_) return;
    if (hConnect) g_api.InternetCloseHandle(std::exchange(hConnect, nullptr));
    if (hInternet) g_api.InternetCloseHandle(std::exchange(hInternet, nullptr));
}

void THTTPConnectionBase::Open() {
    SetSendState(ssConnecting, 0);
    CloseHandles();
    const auto fail = [this] {
        throw EHTTPConnectionError(
            AnsiToUtf16(Format("Cannot create an HTTP connection with the host: %s", {Host})));
    };
    if (!winInet_) fail();
    hInternet = OpenSession(UseProxy ? ProxySetting.Server + ":" + IntToStr(ProxySetting.Port)
                                     : std::string());
    if (!hInternet) fail();
    hConnect =
        g_api.InternetConnectA(hInternet, Host.c_str(), Port, NullIfEmpty(UserName),
                               NullIfEmpty(Password), INTERNET_SERVICE_HTTP, kConnectionFlags, 0);
    if (!hConnect) {
        CloseHandles();
        fail();
    }
    SetSendState(ssConnected, 0);
}

void THTTPConnectionBase::Close() {
    SetSendState(ssDisconnecting, 0);
    bool closed = true;
    if (hConnect) closed = g_api.InternetCloseHandle(std::exchange(hConnect, nullptr)) && closed;
    if (hInternet) closed = g_api.InternetCloseHandle(std::exchange(hInternet, nullptr)) && closed;
    if (!closed)
        throw EHTTPConnectionError(
            AnsiToUtf16(Format("Cannot close the HTTP connection with the host: %s", {Host})));
    SetSendState(ssDisconnected, 0);
}

namespace {

bool Fail(THTTPResponse& response, DWORD code, std::string message = {}) {
    response.ErrorCode = code;
    response.ErrorMessage = message.empty() ? WinInetErrorText(code, false) : std::move(message);
    return false;
}

// One request of a chain: its status, headers and body go into response; location is set when
// the answer sends the client elsewhere.
bool SendOne(THTTPConnectionBase& c, const TRequestTarget& target, THTTPResponse& response,
             bool updateStatus, std::string& location) {
    location.clear();
    std::string verb = "GET", header, body, query = target.Query;
    switch (c.RequestMethod) {
    case rmGET:
        query = AddQueryFields(query, c.Fields);
        break;
    case rmPOST:
        verb = "POST";
        header = "Content-Type: application/x-www-form-urlencoded";
        body = BuildFormBody(c.Fields);
        break;
    case rmBinaryPOST: {
        verb = "POST";
        const std::string boundary = MakeMultipartBoundary();
        header = "Content-Type: multipart/form-data; boundary=" + boundary;
        body = BuildMultipartBody(boundary, c.Fields, c.Files);
        break;
    }
    }
    const std::string object = target.Folder + target.Document + query;
    const InternetHandle request(
        g_api.HttpOpenRequestA(c.hConnect, verb.c_str(), object.c_str(), nullptr, nullptr, nullptr,
                               c.UseHTTPS ? kRequestFlags | kSecureFlags : kRequestFlags, 0));
    if (!request) return Fail(response, FailureCode());
    if (c.UseHTTPS && !AllowUnknownCA(request.get())) return Fail(response, FailureCode());
    if ((!header.empty() && !AddHeader(request.get(), header)) ||
        !AddBasicAuthorization(request.get(), c.UserName, c.Password) ||
        (c.UseProxy &&
         !SetProxyCredentials(request.get(), c.ProxySetting.UserName, c.ProxySetting.Password)))
        return Fail(response, FailureCode());

    INTERNET_BUFFERSA buffers{};
    buffers.dwStructSize = sizeof buffers;
    buffers.dwBufferTotal = static_cast<DWORD>(body.size());
    if (!g_api.HttpSendRequestExA(request.get(), &buffers, nullptr, 0, 0))
        return Fail(response, FailureCode());
    DWORD failure = 0;
    const size_t length = body.size();
    if (!WriteChunks(
            request.get(), body, kRequestChunkSize,
            [&](size_t written) {
                if (updateStatus)
                    c.SetSendState(ssSending, std::min(50, ProgressPercent(written, length, 100)));
            },
            failure))
        return Fail(response, failure);
    if (!g_api.HttpEndRequestA(request.get(), nullptr, 0, 0)) return Fail(response, FailureCode());
    if (updateStatus) c.SetSendState(ssSending, 50);

    std::string status;
    int32_t code = 0;
    QueryInfoText(request.get(), HTTP_QUERY_RAW_HEADERS_CRLF, kMaxHeaderSize, response.Header);
    if (!QueryInfoText(request.get(), HTTP_QUERY_STATUS_CODE, 32, status) ||
        !ParseHTTPStatusCode(status, code))
        return Fail(response, ERROR_HTTP_INVALID_SERVER_RESPONSE,
                    MalformedReplyMessage(StatusLine(request.get(), response.Header, status)));
    response.StatusCode = code;
    QueryInfoText(request.get(), HTTP_QUERY_STATUS_TEXT, kMaxHeaderSize, response.StatusText);
    DWORD contentLength = 0;
    DWORD size = sizeof contentLength;
    if (!g_api.HttpQueryInfoA(request.get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER,
                              &contentLength, &size, nullptr) ||
        contentLength == 0)
        contentLength = 1;

    char block[kRequestChunkSize];
    size_t read = 0;
    for (;;) {
        DWORD got = 0;
        if (!g_api.InternetReadFile(request.get(), block, sizeof block, &got))
            return Fail(response, FailureCode());
        if (got == 0) break;
        if (response.HTML.size() + got > kMaxPageSize)
            return Fail(response, ERROR_HTTP_INVALID_SERVER_RESPONSE);
        response.HTML.append(block, got);
        read += got;
        if (updateStatus) c.SetSendState(ssSending, 50 + ProgressPercent(read, contentLength, 50));
    }

    if (code == 301 || code == 302 || code == 303) {
        QueryInfoText(request.get(), HTTP_QUERY_LOCATION, kMaxHeaderSize, location);
    } else if (code == 200) {
        std::string refresh;
        if (QueryInfoText(request.get(), HTTP_QUERY_CUSTOM, kMaxHeaderSize, refresh, "Refresh")) {
            location = RefreshURL(refresh);
            if (!location.empty()) response.StatusCode = 302;
        }
    }
    return true;
}

} // namespace

bool THTTPConnectionBase::SendRequest(THTTPResponse& Response, bool UpdateStatus) {
    Response.Clear();
    const WinInetLease lease;
    if (!lease || !winInet_) return false;
    if (!hConnect) return Fail(Response, ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    TRequestTarget target = SplitRequestPath(Path);
    if (target.Folder.empty()) target.Folder = "/";
    Response.ReplayPage = target.Document;
    for (int redirects = 0;; ++redirects) {
        std::string location;
        if (!SendOne(*this, target, Response, UpdateStatus, location)) return false;
        if (location.empty()) break;
        if (redirects == kMaxRedirects) return Fail(Response, ERROR_HTTP_REDIRECT_FAILED);
        Path = location;
        const TRequestTarget next = SplitRequestPath(location);
        if (!next.Folder.empty()) target.Folder = next.Folder;
        target.Document = next.Document;
        target.Query = next.Query;
        Response.ReplayPage = next.Document;
        RequestMethod = rmGET;
        Fields.clear();
        Files.clear();
    }
    if (UpdateStatus) SetSendState(ssSent, 0);
    Response.HTML = ControlCharsToBlanks(std::move(Response.HTML));
    FResponse->Assign(&Response);
    return true;
}

} // namespace kv::crash
