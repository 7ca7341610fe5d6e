// Native builds load no PE modules: the registry stays empty and every lookup finds nothing.
#include "crash/capture/ClDebugModules.h"

namespace kv::crash {

PCrashModuleInfo ModuleInfoByHandle(uint32_t) {
    return nullptr;
}
PCrashModuleInfo ModuleInfoByAddr(uint32_t) {
    return nullptr;
}
uint32_t FindModuleOfAddr(uint32_t) {
    return 0;
}
bool RegisterModuleInfo(uint32_t) {
    return false;
}
void RefreshModulesList() {}
TCrashModuleType GetModuleType(uint32_t) {
    return mtUnknown;
}
bool IsModuleLibrary(uint32_t) {
    return false;
}
void GetFileVersionInfoText(const std::string&, std::string& description, std::string& version) {
    description.clear();
    version.clear();
}
bool ReadModuleExports(uint32_t, TCrashFunctionsList*) {
    return false;
}
uint32_t GetSymbolAddressByID(uint8_t) {
    return 0;
}
bool HasCLDataResource(uint32_t) {
    return false;
}
bool HasCLDataTrailer(uint32_t) {
    return false;
}
bool IsCrashLogModule(uint32_t) {
    return false;
}
uint16_t GetCrashLogModuleVersion(uint32_t) {
    return 0;
}
bool HasCurrentCLData(uint32_t) {
    return false;
}
bool LoadModuleCLData(TCrashModuleInfo&) {
    return false;
}
bool ModuleEnumerationActive() {
    return false;
}

} // namespace kv::crash
