#include <windows.h>

#include "crash/report/ClReportValues.h"

namespace kv::crash {

namespace {

struct TRegistryKey {
    HKEY handle = nullptr;
    ~TRegistryKey() {
        if (handle) RegCloseKey(handle);
    }
};

bool OpenKey(uintptr_t root, const std::string& key, TRegistryKey& out) {
    const std::string path = !key.empty() && key[0] == '\\' ? key.substr(1) : key;
    return RegOpenKeyExA(reinterpret_cast<HKEY>(root), path.c_str(), 0, KEY_READ, &out.handle) ==
           ERROR_SUCCESS;
}

} // namespace

TOSVersion GetOSVersion() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    TOSVersion v;
    if (!GetVersionExA(&info)) return v;
    v.Platform = info.dwPlatformId == VER_PLATFORM_WIN32_NT ? osWinNT : osWin9x;
    v.Major = info.dwMajorVersion;
    v.Minor = info.dwMinorVersion;
    v.Build = info.dwBuildNumber;
    v.ServicePack = info.szCSDVersion;
    return v;
}

bool IsWow64() {
    using TIsWow64Process = BOOL(WINAPI*)(HANDLE, PBOOL);
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    const auto isWow64Process =
        kernel ? reinterpret_cast<TIsWow64Process>(GetProcAddress(kernel, "IsWow64Process"))
               : nullptr;
    BOOL wow64 = FALSE;
    return isWow64Process && isWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

bool IsWorkstation() {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
    return GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info)) &&
           info.wProductType == VER_NT_WORKSTATION;
}

uint32_t ReadRegistryDWord(uintptr_t root, const std::string& key, const std::string& name) {
    TRegistryKey k;
    if (!OpenKey(root, key, k)) return 0;
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegQueryValueExA(k.handle, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value),
                         &size) != ERROR_SUCCESS ||
        size != 4)
        return 0;
    return value;
}

std::string ReadRegistrySubKeyName(uintptr_t root, const std::string& key, uint32_t index) {
    TRegistryKey k;
    if (!OpenKey(root, key, k)) return {};
    char name[1025] = {};
    DWORD size = sizeof name;
    if (RegEnumKeyExA(k.handle, index, name, &size, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
        return {};
    return std::string(name, size);
}

} // namespace kv::crash
