// Native builds load no PE modules: the registry stays empty and every lookup finds nothing.
#include "crash/debug/ClDebugModules.h"

namespace kv::crash {

PCrashModuleInfo ModuleInfoByHandle(uintptr_t) {
    return nullptr;
}
PCrashModuleInfo ModuleInfoByAddr(uintptr_t) {
    return nullptr;
}
uintptr_t FindModuleOfAddr(uintptr_t) {
    return 0;
}
bool RegisterModuleInfo(uintptr_t) {
    return false;
}
bool AddModuleInfo(uintptr_t, const std::string&, bool) {
    return false;
}
void RefreshModulesList() {}
TCrashModuleType GetModuleType(uintptr_t) {
    return mtUnknown;
}
bool IsModuleLibrary(uintptr_t) {
    return false;
}
void GetFileVersionInfoText(const std::string&, std::string& description, std::string& version) {
    description.clear();
    version.clear();
}
bool ReadModuleExports(uintptr_t, TCrashFunctionsList*) {
    return false;
}
uintptr_t GetSymbolAddressByID(uint8_t) {
    return 0;
}
bool HasCLDataResource(uintptr_t) {
    return false;
}
bool HasCLDataTrailer(uintptr_t) {
    return false;
}
bool IsCrashLogModule(uintptr_t) {
    return false;
}
uint16_t GetCrashLogModuleVersion(uintptr_t) {
    return 0;
}
bool HasCurrentCLData(uintptr_t) {
    return false;
}
bool LoadModuleCLData(TCrashModuleInfo&) {
    return false;
}
bool ModuleEnumerationActive() {
    return false;
}
void HoldModuleRegistration() {}
void AllowModuleRegistration() {}
bool ModuleRegistrationHeld() {
    return false;
}

} // namespace kv::crash
