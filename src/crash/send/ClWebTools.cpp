#include "crash/send/ClWebTools.h"

#include <algorithm>
#include <iterator>
#include <mutex>
#include <random>

#include "crash/core/ClCorePlatform.h"

namespace kv::crash {

namespace {

constexpr const char* kCRLF = "\r\n";
// WinInet's INTERNET_FLAG_PASSIVE (kept here so the settings need no Windows header).
constexpr uint32_t kFlagPassive = 0x08000000;

std::string g_proxyText;
std::string g_proxyUserName;
std::string g_proxyPassword;
uint32_t g_ftpFlags = 0;

bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsNameChar(char c) {
    return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '-' || c == '.';
}

bool AllNameChars(std::string_view s) {
    return std::all_of(s.begin(), s.end(), IsNameChar);
}
bool AllDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), IsAsciiDigit);
}

// A decimal port; false for more than 5 digits or a value above 65535.
bool ParsePort(std::string_view digits, uint16_t& port) {
    if (!AllDigits(digits) || digits.size() > 5) return false;
    uint32_t value = 0;
    for (const char c : digits) value = value * 10 + static_cast<uint32_t>(c - '0');
    if (value > 0xFFFF) return false;
    port = static_cast<uint16_t>(value);
    return true;
}

// Position after "scheme://" when the text starts with a scheme of name characters; else 0.
size_t SchemeEnd(std::string_view s) {
    const size_t at = s.find("://");
    if (at == std::string_view::npos || !AllNameChars(s.substr(0, at))) return 0;
    return at + 3;
}

// The whole file; false when it does not exist or cannot be read.
bool ReadExistingFile(const std::string& fileName, std::string& data) {
    if (fileName.empty() || !FileExists(fileName)) return false;
    return detail::ReadFileDenyWrite(fileName, data);
}

std::string FieldPart(const std::string& boundary, const std::string& name,
                      const std::string& value) {
    return "--" + boundary + kCRLF + "Content-Disposition: form-data; name=\"" + name + "\";" +
           kCRLF + kCRLF + value + kCRLF;
}

std::string FilePart(const std::string& boundary, const std::string& name,
                     const std::string& fileName, const std::string& data) {
    return "--" + boundary + kCRLF + "Content-Disposition: form-data; name=\"" + name +
           "\"; filename=\"" + fileName + "\";" + kCRLF + "Content-Type: application/octet-stream" +
           kCRLF + kCRLF + data + kCRLF;
}

std::string FieldParts(const std::string& boundary, const TStrings& fields) {
    std::string parts;
    std::string name, value;
    for (const std::string& line : fields)
        if (SplitNameValue(line, name, value)) parts += FieldPart(boundary, name, value);
    return parts;
}

struct TErrorRow {
    uint32_t code;
    const char* text;
};

// Worded after Microsoft's descriptions of the WinInet error codes.
constexpr TErrorRow kWinInetErrors[] = {
    {12001, "No more Internet handles can be created now."},
    {12002, "The request has timed out."},
    {12003, "The server returned an extended error."},
    {12004, "An internal error has occurred."},
    {12005, "The URL is not valid."},
    {12006, "The URL scheme is not recognized or not supported."},
    {12007, "The server name cannot be resolved."},
    {12008, "The requested protocol cannot be found."},
    {12009, "A request gave an option value that is not valid."},
    {12010, "The option length does not fit the type of the option."},
    {12011, "The option can only be queried, not set."},
    {12012, "Internet support is being shut down or unloaded."},
    {12013, "The FTP logon failed because the user name is incorrect."},
    {12014, "The FTP logon failed because the password is incorrect."},
    {12015, "The logon to the FTP server failed."},
    {12016, "The requested operation is not valid."},
    {12017, "The operation was canceled, usually because its handle was closed first."},
    {12018, "The handle is of the wrong type for this operation."},
    {12019, "The handle is not in the right state for this operation."},
    {12020, "The request cannot be made through a proxy."},
    {12021, "A required registry value cannot be found."},
    {12022, "A required registry value has the wrong type or an invalid value."},
    {12023, "Direct network access is not possible now."},
    {12024, "An asynchronous request was given a zero context value."},
    {12025, "An asynchronous request was made without a callback function."},
    {12026, "The operation cannot be completed while requests are pending."},
    {12027, "The format of the request is not valid."},
    {12028, "The requested item cannot be found."},
    {12029, "The attempt to connect to the server failed."},
    {12030, "The connection with the server was terminated."},
    {12031, "The connection with the server was reset."},
    {12032, "The request has to be sent again."},
    {12033, "The request to the proxy is not valid."},
    {12036, "The handle already exists."},
    {12037, "The date of the SSL certificate is wrong or the certificate has expired."},
    {12038, "The host name in the SSL certificate does not match."},
    {12039, "A redirect leads from a non-SSL to an SSL connection."},
    {12040, "A redirect leads from an SSL to a non-SSL connection."},
    {12041, "Some of the content comes from servers that are not secure."},
    {12042, "Several lines of text are being posted to a server that is not secure."},
    {12043, "Data is being posted to a server that is not secure."},
    {12044, "The server asks for client authentication."},
    {12045, "The certificate authority is unknown or not trusted."},
    {12052, "Data submitted over SSL is being redirected to a non-SSL connection."},
    {12055, "The SSL certificate has errors."},
    {12110, "Another operation is already in progress on the FTP session."},
    {12111, "The FTP operation did not complete because the session was aborted."},
    {12112, "The server does not offer passive mode."},
    {12130, "The data from the Gopher server could not be parsed."},
    {12131, "The request has to be made for a file locator."},
    {12132, "An error occurred while receiving data from the Gopher server."},
    {12133, "The end of the data has been reached."},
    {12134, "The locator is not valid."},
    {12135, "The locator type does not fit this operation."},
    {12136, "The operation needs a Gopher+ server or a Gopher+ locator."},
    {12137, "The requested attribute cannot be found."},
    {12138, "The locator type is unknown."},
    {12150, "The requested header cannot be found."},
    {12151, "The server returned no headers."},
    {12152, "The server response could not be parsed."},
    {12153, "The header is not valid."},
    {12154, "The header query is not valid."},
    {12155, "The header already exists and cannot be added."},
    {12156, "The redirection failed: the scheme changed or there were too many redirects."},
    {12160, "The HTTP request was not redirected."},
    {12161, "The HTTP cookie needs confirmation."},
    {12162, "The server declined the HTTP cookie."},
    {12163, "The Internet connection has been lost."},
    {12164, "The web site or server cannot be reached."},
    {12165, "The proxy server cannot be reached."},
    {12166, "The automatic proxy configuration script has an error."},
    {12167, "The automatic proxy configuration script could not be downloaded."},
    {12168, "The redirection needs confirmation by the user."},
    {12169, "The SSL certificate is not valid."},
    {12170, "The SSL certificate has been revoked."},
    {12171, "The operation failed because of a security check."},
};
static_assert(std::size(kWinInetErrors) == 76);

} // namespace

// ---- Settings ----

void SetProxyServer(const std::string& Server, uint16_t Port) {
    g_proxyText = Server + ":" + IntToStr(Port);
}

void SetProxyAuthenticationData(const std::string& UserID, const std::string& Password) {
    g_proxyUserName = UserID;
    g_proxyPassword = Password;
}

void SetFTPPassiveMode(bool Passive) {
    g_ftpFlags = Passive ? kFlagPassive : 0;
}

namespace detail {

const std::string& ProxyText() {
    return g_proxyText;
}
bool HasProxy() {
    return !g_proxyText.empty() && g_proxyText[0] != ':';
}
const std::string& ProxyUserName() {
    return g_proxyUserName;
}
const std::string& ProxyPassword() {
    return g_proxyPassword;
}
uint32_t FTPConnectionFlags() {
    return g_ftpFlags;
}

} // namespace detail

// ---- URLs ----

bool ElaborateURL(std::string_view URL, std::string& Protocol, std::string& UserID,
                  std::string& Password, std::string& Host, std::string& Path, uint16_t& Port) {
    Protocol.clear();
    UserID.clear();
    Password.clear();
    Host.clear();
    Path.clear();
    Port = 0;
    std::string s = Trim(URL);
    if (s.empty()) return true;
    if (s.back() != '/') s += '/';

    // A port at the very end, before the final "/".
    uint16_t endPort = 0;
    const size_t last = s.size() - 1;
    size_t digits = last;
    while (digits > 0 && IsAsciiDigit(s[digits - 1])) --digits;
    if (digits < last && digits > 0 && s[digits - 1] == ':') {
        if (!ParsePort(std::string_view(s).substr(digits, last - digits), endPort)) return false;
        s.erase(digits - 1, last - digits + 1);
    }

    const size_t schemeEnd = SchemeEnd(s);
    if (schemeEnd > 0) {
        Protocol = s.substr(0, schemeEnd - 3);
        s.erase(0, schemeEnd);
    }

    // Credentials only before an "@" of the host part: a colon there is a port, not a user.
    const size_t hostEnd = s.find('/');
    std::string authority = s.substr(0, hostEnd);
    std::string rest = s.substr(hostEnd + 1);
    const size_t at = authority.rfind('@');
    if (at != std::string::npos) {
        const std::string userInfo = authority.substr(0, at);
        const size_t colon = userInfo.find(':');
        UserID = userInfo.substr(0, colon);
        if (colon != std::string::npos) Password = userInfo.substr(colon + 1);
        authority.erase(0, at + 1);
    }
    uint16_t hostPort = 0;
    const size_t colon = authority.rfind(':');
    std::string hostName = authority;
    if (colon != std::string::npos && AllDigits(std::string_view(authority).substr(colon + 1))) {
        if (!ParsePort(std::string_view(authority).substr(colon + 1), hostPort)) return false;
        hostName = authority.substr(0, colon);
    }
    if (!hostName.empty() && AllNameChars(hostName)) {
        Host = hostName;
    } else {
        rest = authority + "/" + rest; // no host: everything is path
    }
    Port = endPort != 0 ? endPort : hostPort;
    if (!rest.empty() && rest.back() == '/') rest.pop_back();
    Path = rest;
    return true;
}

void AddAuthenticationToURL(std::string& URL, const std::string& UserID,
                            const std::string& Password, uint16_t Port) {
    if (Port != 0) URL += ":" + IntToStr(Port);
    if (UserID.empty() && Password.empty()) return;
    const std::string credentials = UserID + ":" + Password + "@";
    const size_t at = URL.find("://");
    if (at == std::string::npos) {
        URL.insert(0, credentials);
    } else {
        URL.insert(at + 3, credentials);
    }
}

std::string URLEncode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (const char c : text) {
        if (IsAsciiLetter(c) || IsAsciiDigit(c)) {
            out += c;
        } else {
            const auto b = static_cast<unsigned char>(c);
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 15];
        }
    }
    return out;
}

TRequestTarget SplitRequestPath(std::string_view path) {
    std::string p(path);
    const size_t schemeEnd = SchemeEnd(p);
    if (schemeEnd > 0) {
        const size_t slash = p.find('/', schemeEnd);
        p = slash == std::string::npos ? "/" : p.substr(slash);
    }
    TRequestTarget target;
    const size_t q = p.find('?');
    if (q != std::string::npos) {
        target.Query = p.substr(q);
        p.erase(q);
    }
    const size_t slash = p.rfind('/');
    if (slash != std::string::npos) {
        target.Folder = p.substr(0, slash + 1);
        if (target.Folder[0] != '/') target.Folder.insert(0, "/");
    }
    target.Document = slash == std::string::npos ? p : p.substr(slash + 1);
    return target;
}

std::string RefreshURL(std::string_view header) {
    const std::string lower = LowerCase(header);
    const size_t at = lower.find("url=");
    if (at == std::string::npos) return {};
    std::string url = Trim(header.substr(at + 4));
    if (url.size() >= 2 && (url[0] == '"' || url[0] == '\'') && url.back() == url[0])
        url = url.substr(1, url.size() - 2);
    return url;
}

std::string BareFileName(std::string_view fileName) {
    const size_t at = AnsiFindLastOf(fileName, "\\/");
    return std::string(at == std::string_view::npos ? fileName : fileName.substr(at + 1));
}

std::string FTPRemoteName(const std::string& Path, const std::string& FileName) {
    std::string remote = Path;
    if (!remote.empty() && remote.back() != '/') remote += '/';
    return remote + BareFileName(FileName);
}

// ---- Bodies ----

std::string MakeMultipartBoundary() {
    static std::mutex lock;
    static std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<uint32_t> random(0, 0xFFFE);
    std::string boundary(27, '-');
    const std::lock_guard<std::mutex> guard(lock);
    for (int i = 0; i < 3; ++i) boundary += IntToHex(random(generator), 4);
    return boundary;
}

bool SplitNameValue(std::string_view line, std::string& name, std::string& value) {
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    name = line.substr(0, eq);
    value = line.substr(eq + 1);
    return true;
}

std::string BuildUploadBody(const std::string& boundary, const TStrings& Files,
                            const TStrings& FileNames, const TStrings& CustomFields) {
    std::string body = FieldParts(boundary, CustomFields);
    std::string data;
    for (size_t i = 0; i < Files.size(); ++i) {
        if (!ReadExistingFile(Files[i], data)) continue;
        // A name list shorter than the file list sends the rest under their own names.
        const std::string name = i < FileNames.size() ? FileNames[i] : BareFileName(Files[i]);
        body +=
            FilePart(boundary, "cl_upload_file_" + IntToStr(static_cast<long long>(i)), name, data);
    }
    return body + "--" + boundary + "--" + kCRLF;
}

std::string BuildMultipartBody(const std::string& boundary, const TStrings& Fields,
                               const TStrings& Files) {
    std::string body = FieldParts(boundary, Fields);
    std::string name, fileName, data;
    for (const std::string& line : Files) {
        if (!SplitNameValue(line, name, fileName)) continue;
        if (ReadExistingFile(fileName, data)) {
            body += FilePart(boundary, name, BareFileName(fileName), data);
        } else {
            body += FilePart(boundary, name, "", "");
        }
    }
    return body + "--" + boundary + "--" + kCRLF;
}

std::string BuildFormBody(const TStrings& Fields) {
    std::string body;
    std::string name, value;
    for (const std::string& line : Fields) {
        if (!SplitNameValue(line, name, value)) continue;
        if (!body.empty()) body += '&';
        body += name + "=" + URLEncode(value);
    }
    return body;
}

std::string AddQueryFields(const std::string& query, const TStrings& Fields) {
    std::string out = query;
    std::string name, value;
    for (const std::string& line : Fields) {
        if (!SplitNameValue(line, name, value)) continue;
        out += out.empty() ? '?' : '&';
        out += URLEncode(name) + "=" + URLEncode(value);
    }
    return out;
}

// ---- Replies ----

std::string WinInetErrorTableText(uint32_t code) {
    for (const TErrorRow& row : kWinInetErrors)
        if (row.code == code) return IntToStr(code) + " " + row.text;
    return {};
}

bool ParseHTTPStatusCode(std::string_view text, int32_t& code) {
    const std::string t = Trim(text);
    if (t.size() != 3 || !AllDigits(t)) return false;
    const int32_t value = (t[0] - '0') * 100 + (t[1] - '0') * 10 + (t[2] - '0');
    if (value < 100 || value > 599) return false;
    code = value;
    return true;
}

bool IsWellFormedFTPReply(std::string_view text) {
    if (text.size() < 3 || !AllDigits(text.substr(0, 3)) || text[0] < '1' || text[0] > '5')
        return false;
    return text.size() == 3 || text[3] == ' ' || text[3] == '-';
}

std::string MalformedReplyMessage(std::string_view reply) {
    const std::string single = Trim(OneString(reply));
    // Cut between characters, never inside a double-byte one.
    size_t end = 0;
    while (end < single.size()) {
        const size_t next = end + AnsiCharSize(single, end);
        if (next > kMaxQuotedReply) break;
        end = next;
    }
    std::string quoted = single.substr(0, end);
    if (end < single.size()) quoted += "...";
    return "The server sent a malformed reply: \"" + quoted + "\"";
}

int ProgressPercent(uint64_t done, uint64_t total, int scale) {
    if (total == 0 || scale <= 0) return scale > 0 ? scale : 0;
    done = std::min(done, total);
    const uint64_t s = static_cast<uint64_t>(scale);
    return static_cast<int>((done * s * 2 + total) / (total * 2));
}

std::string ControlCharsToBlanks(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 32) c = ' ';
    return text;
}

// ---- Response and connection ----

void THTTPResponse::Assign(const THTTPResponse* Source) {
    if (Source == nullptr)
        throw EAssertionFailed(u"Cannot assign a THTTPResponse class to a NIL value.");
    StatusCode = Source->StatusCode;
    StatusText = Source->StatusText;
    Header = Source->Header;
    HTML = Source->HTML;
    ReplayPage = Source->ReplayPage;
    ErrorCode = Source->ErrorCode;
    ErrorMessage = Source->ErrorMessage;
}

void THTTPResponse::Clear() {
    StatusCode = 0;
    StatusText.clear();
    Header.clear();
    HTML.clear();
    ReplayPage.clear();
    ErrorCode = 0;
    ErrorMessage.clear();
}

void THTTPConnectionDeleter::operator()(THTTPConnectionBase* connection) const noexcept {
    if (connection == nullptr) return;
    try {
        connection->Close();
    } catch (...) {
        // Deleting must go on; the handles are released by the destructor anyway.
    }
    delete connection;
}

THTTPConnectionBase::THTTPConnectionBase(const std::string& URL, const std::string& Proxy)
    : FResponse(std::make_unique<THTTPResponse>()) {
    winInet_ = detail::AcquireWinInet();
    std::string protocol, path;
    ElaborateURL(URL, protocol, UserName, Password, Host, path, Port);
    BasePath = path.substr(0, path.find('?'));
    if (BasePath.empty() || BasePath.back() != '/') BasePath += '/';
    UseHTTPS = LowerCase(protocol) == "https";
    if (Port == 0) Port = UseHTTPS ? 443 : 80;
    if (!Proxy.empty() && Proxy[0] != ':') {
        std::string proxyPath;
        ElaborateURL(Proxy, protocol, ProxySetting.UserName, ProxySetting.Password,
                     ProxySetting.Server, proxyPath, ProxySetting.Port);
        if (ProxySetting.Port == 0) ProxySetting.Port = 8080;
        UseProxy = true;
    }
}

THTTPConnectionBase::~THTTPConnectionBase() {
    CloseHandles();
    if (winInet_) detail::ReleaseWinInet();
}

void THTTPConnectionBase::SetRequest(const std::string& WebPage, TRequestMethod Method) {
    Path = BasePath + WebPage;
    RequestMethod = Method;
    Fields.clear();
    Files.clear();
}

} // namespace kv::crash
