// Without WinInet (the native build): every transfer fails as with the library missing.
#include "crash/send/ClWebTools.h"

namespace kv::crash {

namespace detail {

bool AcquireWinInet() {
    return false;
}
void ReleaseWinInet() {}

} // namespace detail

int32_t HTTPUploadFiles(const std::string&, const std::string&, const std::string&,
                        const std::string&, uint16_t, bool, const TStrings&, const TStrings&,
                        const TStrings&, TInternetProgressFunction, std::string&) {
    return kWebResultNoWinInet;
}

int32_t FTPUploadFiles(const std::string&, const std::string&, const std::string&,
                       const std::string&, uint16_t, const TStrings&, const TStrings& Files,
                       TInternetProgressFunction, std::string&) {
    return Files.empty() ? 0 : kWebResultNoWinInet;
}

bool CheckInternetConnection() {
    return false;
}

bool GetHTMLPage(const std::string&, std::string& Page) {
    Page.clear();
    return false;
}

void THTTPConnectionBase::Open() {
    SetSendState(ssConnecting, 0);
    throw EHTTPConnectionError(
        AnsiToUtf16(Format("Cannot create an HTTP connection with the host: %s", {Host})));
}

void THTTPConnectionBase::Close() {
    SetSendState(ssDisconnecting, 0);
    SetSendState(ssDisconnected, 0);
}

void THTTPConnectionBase::CloseHandles() noexcept {}

bool THTTPConnectionBase::SendRequest(THTTPResponse& Response, bool) {
    Response.Clear();
    return false;
}

} // namespace kv::crash
