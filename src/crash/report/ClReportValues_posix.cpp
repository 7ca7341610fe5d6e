#include "crash/report/ClReportValues.h"

namespace kv::crash {

// No Windows to ask in the native build.
TOSVersion GetOSVersion() {
    return {};
}
bool IsWow64() {
    return false;
}
bool IsWorkstation() {
    return false;
}
uint32_t ReadRegistryDWord(uintptr_t, const std::string&, const std::string&) {
    return 0;
}
std::string ReadRegistrySubKeyName(uintptr_t, const std::string&, uint32_t) {
    return {};
}

std::string ReadRegistryString(uintptr_t, const std::string&, const std::string&) {
    return {};
}
std::string GetProductVersionText(const std::string&) {
    return {};
}
std::string GetUserIDText() {
    return {};
}
std::string GetUserNameText() {
    return {};
}
std::string GetUserCompanyText() {
    return {};
}
std::string GetPrivilegesText() {
    return {};
}
std::string GetComputerNameText() {
    return {};
}
std::string GetTotalMemoryText() {
    return {};
}
std::string GetFreeMemoryText() {
    return {};
}
std::string GetTotalDiskText() {
    return {};
}
std::string GetFreeDiskText() {
    return {};
}
std::string GetSystemUpTimeText() {
    return {};
}
std::string GetProcessorText() {
    return {};
}
std::string GetDisplayModeText() {
    return {};
}
std::string GetDisplayDPIText() {
    return {};
}
std::string GetCharsetText() {
    return {};
}
std::vector<TNetworkAdapter> GetNetworkAdapters() {
    return {};
}

std::string GetVideoCardText() {
    return {};
}
std::string GetPrinterText() {
    return {};
}
std::string GetLanguageText() {
    return {};
}
std::string GetFormClassText() {
    return {};
}
std::string GetFormText() {
    return {};
}

} // namespace kv::crash
