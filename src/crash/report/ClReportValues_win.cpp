#include <windows.h>
#include <iphlpapi.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "crash/capture/ClCore.h"
#include "crash/capture/CrashLogUtils.h"
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

std::string ReadRegistryString(uintptr_t root, const std::string& key, const std::string& name) {
    TRegistryKey k;
    if (!OpenKey(root, key, k)) return {};
    DWORD size = 0, type = 0;
    if (RegQueryValueExA(k.handle, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return {};
    std::string value(size, '\0');
    if (RegQueryValueExA(k.handle, name.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(value.data()), &size) != ERROR_SUCCESS)
        return {};
    value.resize(std::min<size_t>(size, value.size()));
    while (!value.empty() && value.back() == '\0') value.pop_back();
    return value;
}

namespace {

struct TLibrary {
    HMODULE handle = nullptr;
    explicit TLibrary(const char* name) : handle(LoadLibraryA(name)) {}
    ~TLibrary() {
        if (handle) FreeLibrary(handle);
    }
    TLibrary(const TLibrary&) = delete;
    TLibrary& operator=(const TLibrary&) = delete;
    template <class F> F Proc(const char* name) const {
        return handle ? reinterpret_cast<F>(GetProcAddress(handle, name)) : nullptr;
    }
};

struct THandle {
    HANDLE handle = nullptr;
    ~THandle() {
        if (handle) CloseHandle(handle);
    }
};

const auto kLocalMachine = reinterpret_cast<uintptr_t>(HKEY_LOCAL_MACHINE);

std::string RegisteredValue(const char* ntName, const char* acmeName) {
    return ChooseRegisteredName(
        {ReadRegistryString(kLocalMachine, "\\SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION",
                            ntName),
         ReadRegistryString(kLocalMachine, "\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION",
                            ntName),
         ReadRegistryString(kLocalMachine, "\\SOFTWARE\\MICROSOFT\\MS SETUP (ACME)\\USER INFO",
                            acmeName)},
        RunningOnVistaOrLater(GetOSVersion()));
}

bool MemoryValues(uint64_t& total, uint64_t& available) {
    using TGlobalMemoryStatusEx = BOOL(WINAPI*)(LPMEMORYSTATUSEX);
    const auto statusEx = reinterpret_cast<TGlobalMemoryStatusEx>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GlobalMemoryStatusEx"));
    if (statusEx) {
        MEMORYSTATUSEX status{};
        status.dwLength = sizeof status;
        if (!statusEx(&status)) return false;
        total = status.ullTotalPhys;
        available = status.ullAvailPhys;
        return true;
    }
    MEMORYSTATUS status{};
    status.dwLength = sizeof status;
    GlobalMemoryStatus(&status);
    total = status.dwTotalPhys;
    available = status.dwAvailPhys;
    return true;
}

bool DiskValues(uint64_t& total, uint64_t& available) {
    using TGetDiskFreeSpaceExA =
        BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    const auto freeSpace = reinterpret_cast<TGetDiskFreeSpaceExA>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetDiskFreeSpaceExA"));
    const std::string file = GetOwnModuleFileName();
    if (!freeSpace || file.size() < 2) return false;
    const std::string drive = file.substr(0, 2) + "\\";
    ULARGE_INTEGER callerFree{}, all{}, allFree{};
    if (!freeSpace(drive.c_str(), &callerFree, &all, &allFree)) return false;
    total = all.QuadPart;
    available = callerFree.QuadPart;
    return true;
}

} // namespace

std::string GetProductVersionText(const std::string& fileName) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(fileName.c_str(), &ignored);
    if (!size) return {};
    std::vector<uint8_t> block(size);
    if (!GetFileVersionInfoA(fileName.c_str(), 0, size, block.data())) return {};
    void* translation = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &translation, &length) ||
        length < 4)
        return {};
    const auto* ids = static_cast<const WORD*>(translation);
    char path[64];
    std::snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\ProductVersion", ids[0], ids[1]);
    void* text = nullptr;
    if (!VerQueryValueA(block.data(), path, &text, &length) || !text) return {};
    std::string value(static_cast<const char*>(text),
                      strnlen(static_cast<const char*>(text), length));
    return value.size() < 2 ? std::string() : value;
}

std::string GetUserIDText() {
    char name[257] = {};
    DWORD size = 256;
    return GetUserNameA(name, &size) ? std::string(name) : std::string();
}

std::string GetUserNameText() {
    return RegisteredValue("RegisteredOwner", "DefName");
}

std::string GetUserCompanyText() {
    return RegisteredValue("RegisteredOrganization", "DefCompany");
}

std::string GetPrivilegesText() {
    THandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token.handle)) return {};
    DWORD size = 0;
    GetTokenInformation(token.handle, TokenPrivileges, nullptr, 0, &size);
    if (!size) return {};
    std::vector<uint8_t> buffer(size);
    if (!GetTokenInformation(token.handle, TokenPrivileges, buffer.data(), size, &size)) return {};
    const auto* list = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    std::vector<TPrivilege> privileges;
    for (DWORD i = 0; i < list->PrivilegeCount; ++i) {
        LUID luid = list->Privileges[i].Luid;
        char name[256] = {};
        DWORD length = sizeof name;
        if (!LookupPrivilegeNameA(nullptr, &luid, name, &length)) continue;
        privileges.push_back({name, (list->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED) != 0});
    }
    return PrivilegesText(privileges);
}

std::string GetComputerNameText() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    return GetComputerNameA(name, &size) ? std::string(name) : std::string();
}

std::string GetTotalMemoryText() {
    uint64_t total = 0, available = 0;
    return MemoryValues(total, available) ? FormatMegabytes(total) : std::string();
}

std::string GetFreeMemoryText() {
    uint64_t total = 0, available = 0;
    return MemoryValues(total, available) ? FormatMegabytes(available) : std::string();
}

std::string GetTotalDiskText() {
    uint64_t total = 0, available = 0;
    return DiskValues(total, available) ? FormatGigabytes(total) : std::string();
}

std::string GetFreeDiskText() {
    uint64_t total = 0, available = 0;
    return DiskValues(total, available) ? FormatGigabytes(available) : std::string();
}

std::string GetSystemUpTimeText() {
    return FormatDuration(GetTickCount() / 86400000.0);
}

std::string GetProcessorText() {
    const char* key = "\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
    return ProcessorText(ReadRegistryString(kLocalMachine, key, "ProcessorNameString"),
                         ReadRegistryString(kLocalMachine, key, "VendorIdentifier"),
                         ReadRegistryString(kLocalMachine, key, "Identifier"));
}

std::string GetDisplayModeText() {
    const HDC screen = GetDC(nullptr);
    const int bits = screen ? GetDeviceCaps(screen, BITSPIXEL) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    char text[64];
    std::snprintf(text, sizeof text, "%d x %d, %d bit", GetSystemMetrics(SM_CXSCREEN),
                  GetSystemMetrics(SM_CYSCREEN), bits);
    return text;
}

std::string GetDisplayDPIText() {
    const HDC screen = GetDC(nullptr);
    if (!screen) return {};
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return std::to_string(dpi);
}

std::string GetCharsetText() {
    CHARSETINFO info{};
    const UINT codePage = GetACP();
    if (!TranslateCharsetInfo(reinterpret_cast<DWORD*>(static_cast<uintptr_t>(codePage)), &info,
                              TCI_SRCCODEPAGE))
        return std::to_string(DEFAULT_CHARSET);
    return std::to_string(info.ciCharset);
}

std::vector<TNetworkAdapter> GetNetworkAdapters() {
    using TGetAdaptersInfo = DWORD(WINAPI*)(PIP_ADAPTER_INFO, PULONG);
    using TGetPerAdapterInfo = DWORD(WINAPI*)(ULONG, PIP_PER_ADAPTER_INFO, PULONG);
    const TLibrary iphlpapi("iphlpapi.dll");
    const auto adaptersInfo = iphlpapi.Proc<TGetAdaptersInfo>("GetAdaptersInfo");
    const auto perAdapterInfo = iphlpapi.Proc<TGetPerAdapterInfo>("GetPerAdapterInfo");
    std::vector<TNetworkAdapter> adapters;
    if (!adaptersInfo || !perAdapterInfo) return adapters;
    ULONG size = 0;
    if (adaptersInfo(nullptr, &size) != ERROR_BUFFER_OVERFLOW || !size) return adapters;
    std::vector<uint8_t> buffer(size);
    auto* first = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
    if (adaptersInfo(first, &size) != ERROR_SUCCESS) return adapters;
    for (const IP_ADAPTER_INFO* a = first; a; a = a->Next) {
        TNetworkAdapter adapter;
        adapter.Dhcp = a->DhcpEnabled != 0;
        adapter.IPAddress = a->IpAddressList.IpAddress.String;
        adapter.Submask = a->IpAddressList.IpMask.String;
        adapter.Gateway = a->GatewayList.IpAddress.String;
        ULONG perSize = 0;
        perAdapterInfo(a->Index, nullptr, &perSize);
        if (perSize) {
            std::vector<uint8_t> per(perSize);
            auto* info = reinterpret_cast<IP_PER_ADAPTER_INFO*>(per.data());
            if (perAdapterInfo(a->Index, info, &perSize) == ERROR_SUCCESS) {
                adapter.PerAdapterInfo = true;
                for (const IP_ADDR_STRING* dns = &info->DnsServerList; dns; dns = dns->Next)
                    adapter.DnsServers.push_back(dns->IpAddress.String);
            }
        }
        adapters.push_back(std::move(adapter));
    }
    return adapters;
}

} // namespace kv::crash
