#include "widgets/UlSysInfo.h"

#include <windows.h>

#include <string>

#include "widgets/UlWin32.h"

namespace {
TUlSystemInfo g_info;
} // namespace

const TUlSystemInfo& UlSystemInfo() {
    return g_info;
}

void UlSysInfoInitialize() {
    SYSTEM_INFO si{};
    using NativeInfoFn = void(WINAPI*)(SYSTEM_INFO*);
    const auto native = reinterpret_cast<NativeInfoFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetNativeSystemInfo")));
    if (native) {
        native(&si);
    } else {
        GetSystemInfo(&si);
    }
    g_info.processorCount = si.dwNumberOfProcessors;
    g_info.allocationGranularity = si.dwAllocationGranularity;
    g_info.pageSize = si.dwPageSize;

    OSVERSIONINFOEXW vi{};
    vi.dwOSVersionInfoSize = sizeof(vi);
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&vi))) {
        vi.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
        GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&vi));
    }
    g_info.isNT = vi.dwPlatformId == VER_PLATFORM_WIN32_NT;
    g_info.kernelProductVersion = 0;
    if (!g_info.isNT) {
        VS_FIXEDFILEINFO fixed{};
        if (ReadFixedVersionRecord(u"kernel32.dll", fixed))
            g_info.kernelProductVersion = fixed.dwProductVersionMS;
    }
    const std::u16string sp(reinterpret_cast<const char16_t*>(vi.szCSDVersion));
    TWindowsVersionData d;
    d.nt = g_info.isNT;
    d.major = vi.dwMajorVersion;
    d.minor = vi.dwMinorVersion;
    d.servicePack = sp;
    d.kernelProductVersion = g_info.kernelProductVersion;
    d.serverR2Metric = GetSystemMetrics(89); // SM_SERVERR2
    d.nativeX86 = si.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_INTEL;
    d.workstation = vi.wProductType == VER_NT_WORKSTATION;
    g_info.version = ClassifyWindowsVersion(d);
    SetVersionFlags(g_info);
}
