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

} // namespace kv::crash
