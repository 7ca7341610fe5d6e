#include <windows.h>
#include <iphlpapi.h>
#include <winspool.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "crash/core/ClCore.h"
#include "crash/capture/CrashLogUtils.h"
#include "crash/report/ClReportValues.h"

#include "crash/core/ClLang.h"

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
    return std::to_string(UserCharSet());
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

std::string GetVideoCardText() {
    const TOSVersion os = GetOSVersion();
    std::string adapter, version;
    uint32_t memory = 0;
    const std::string deviceMap = DeviceMapSystemPart(
        ReadRegistryString(kLocalMachine, "Hardware\\Devicemap\\Video\\", "\\Device\\Video0"));
    using TEnumDisplayDevicesA = BOOL(WINAPI*)(LPCSTR, DWORD, PDISPLAY_DEVICEA, DWORD);
    const TLibrary user32("user32.dll");
    const auto enumDevices = user32.Proc<TEnumDisplayDevicesA>("EnumDisplayDevicesA");
    DISPLAY_DEVICEA device{};
    device.cb = sizeof device;
    if (enumDevices && OSSupportsDisplayDevices(os)) {
        if (!enumDevices(nullptr, 0, &device, 0)) return {};
        adapter = device.DeviceString;
        if (os.Platform == osWinNT) {
            const std::string base =
                std::string("System\\CurrentControlSet\\Enum\\") + device.DeviceID;
            const std::string enumKey =
                base + "\\" + ReadRegistrySubKeyName(kLocalMachine, base, 0);
            const std::string videoId =
                ReadRegistryString(kLocalMachine, enumKey + "\\Device Parameters", "VideoID");
            const std::string memoryKey =
                videoId.empty()
                    ? deviceMap
                    : "System\\CurrentControlSet\\Control\\Video\\" + videoId + "\\0000";
            memory = ReadRegistryDWord(kLocalMachine, memoryKey, "HardwareInformation.MemorySize");
            version = ReadRegistryString(kLocalMachine,
                                         "System\\CurrentControlSet\\Control\\Class\\" +
                                             ReadRegistryString(kLocalMachine, enumKey, "Driver"),
                                         "DriverVersion");
        } else {
            version = ReadRegistryString(kLocalMachine, device.DeviceKey, "Ver");
            memory = ReadRegistryDWord(kLocalMachine, std::string(device.DeviceKey) + "\\INFO",
                                       "VideoMemory");
        }
    } else if (os.Platform == osWinNT) {
        memory = ReadRegistryDWord(kLocalMachine, deviceMap, "HardwareInformation.MemorySize");
        adapter = ReadRegistryString(kLocalMachine, deviceMap, "HardwareInformation.AdapterString");
        adapter.erase(std::remove(adapter.begin(), adapter.end(), '\0'), adapter.end());
        const size_t parent = deviceMap.find_last_of('\\');
        if (parent != std::string::npos)
            version = GetProductVersionText(
                ReadRegistryString(kLocalMachine, deviceMap.substr(0, parent), "ImagePath"));
    } else {
        const std::string classKey = "System\\CurrentControlSet\\Services\\Class\\Display\\";
        std::string last = "0000";
        for (uint32_t i = 0;; ++i) {
            const std::string name = ReadRegistrySubKeyName(kLocalMachine, classKey, i);
            if (name.empty()) break;
            last = name;
        }
        adapter = ReadRegistryString(kLocalMachine, classKey + last, "DriverDesc");
        version = ReadRegistryString(kLocalMachine, classKey + last, "Ver");
        memory = ReadRegistryDWord(kLocalMachine, classKey + last + "\\INFO", "VideoMemory");
    }
    return VideoCardText(adapter, version, memory);
}

std::string GetPrinterText() {
    const TOSVersion os = GetOSVersion();
    const TLibrary spool("winspool.drv");
    std::string printer;
    if (os.Platform == osWin9x || RunningOnWindowsNT4(os)) {
        char device[1024] = {};
        GetProfileStringA("windows", "device", "", device, sizeof device);
        printer = device;
        printer = printer.substr(0, printer.find(','));
    } else {
        using TGetDefaultPrinterA = BOOL(WINAPI*)(LPSTR, LPDWORD);
        const auto getDefault = spool.Proc<TGetDefaultPrinterA>("GetDefaultPrinterA");
        char name[1024] = {};
        DWORD size = sizeof name;
        if (getDefault && getDefault(name, &size)) printer = name;
    }
    using TOpenPrinterA = BOOL(WINAPI*)(LPSTR, LPHANDLE, LPVOID);
    using TClosePrinter = BOOL(WINAPI*)(HANDLE);
    using TGetPrinterDriverA = BOOL(WINAPI*)(HANDLE, LPSTR, DWORD, LPBYTE, DWORD, LPDWORD);
    const auto openPrinter = spool.Proc<TOpenPrinterA>("OpenPrinterA");
    const auto closePrinter = spool.Proc<TClosePrinter>("ClosePrinter");
    const auto getDriver = spool.Proc<TGetPrinterDriverA>("GetPrinterDriverA");
    if (printer.empty() || !openPrinter || !closePrinter || !getDriver) return {};
    HANDLE handle = nullptr;
    if (!openPrinter(printer.data(), &handle, nullptr) || !handle) return {};
    std::string text;
    DWORD needed = 0;
    getDriver(handle, nullptr, 2, nullptr, 0, &needed);
    if (needed) {
        std::vector<uint8_t> buffer(needed);
        if (getDriver(handle, nullptr, 2, buffer.data(), needed, &needed)) {
            const auto* info = reinterpret_cast<const DRIVER_INFO_2A*>(buffer.data());
            std::string version = info->pDriverPath ? GetProductVersionText(info->pDriverPath) : "";
            version.erase(std::remove(version.begin(), version.end(), ' '), version.end());
            if (info->pName) text = std::string(info->pName) + " (driver " + version + ")";
        }
    }
    closePrinter(handle);
    return text;
}

namespace {

thread_local std::string FoundLanguage;

BOOL CALLBACK CheckLocale(LPWSTR text) {
    const std::u16string locale(reinterpret_cast<const char16_t*>(text));
    if (locale.size() < 8) return TRUE;
    const LCID id = static_cast<LCID>(std::stoul(Utf16ToAnsi(locale.substr(4, 4)), nullptr, 16));
    wchar_t name[256] = {};
    if (!GetLocaleInfoW(id, LOCALE_SABBREVLANGNAME, name, 256) || !name[0]) return TRUE;
    if (!GetLocaleInfoW(id, LOCALE_SENGLANGUAGE, name, 256)) return TRUE;
    if (id != GetSystemDefaultLangID()) return TRUE;
    FoundLanguage = Utf16ToAnsi(reinterpret_cast<const char16_t*>(name));
    return FALSE;
}

} // namespace

std::string GetLanguageText() {
    FoundLanguage.clear();
    EnumSystemLocalesW(CheckLocale, LCID_INSTALLED);
    return FoundLanguage;
}

std::string GetFormClassText() {
    const HWND window = GetForegroundWindow();
    char name[257] = {};
    return window && GetClassNameA(window, name, 256) ? std::string(name) : std::string();
}

std::string GetFormText() {
    const HWND window = GetForegroundWindow();
    if (!window) return {};
    char text[257] = {};
    DefWindowProcA(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
    return BlankControlRuns(text);
}

} // namespace kv::crash
