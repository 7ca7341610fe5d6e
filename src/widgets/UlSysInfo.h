#pragma once
// Windows version classification and the system information read once at start.
#include <cstdint>
#include <string_view>

// Values of ClassifyWindowsVersion.
enum TWindowsVersion : int {
    wvUnknown = 0,
    wvWin95 = 1,
    wvWin95OSR2 = 2,
    wvWin98 = 3,
    wvWin98SE = 4,
    wvWinME = 5,
    wvWinNT31 = 6,
    wvWinNT35 = 7,
    wvWinNT351 = 8,
    wvWinNT4 = 9,
    wvWin2000 = 10,
    wvWinXP = 11,
    wvWin2003 = 12,
    wvWinXP64 = 13,
    wvWin2003R2 = 14,
    wvWinVista = 15,
    wvWinServer2008 = 16,
    wvWin7 = 17,
    wvWinServer2008R2 = 18,
};

// What the classification reads, gathered by the caller (or a test) from the system.
struct TWindowsVersionData {
    bool nt = true; // NT platform (else the Windows 9x line)
    uint32_t major = 0, minor = 0;
    std::u16string_view servicePack;   // trimmed before use
    uint32_t kernelProductVersion = 0; // high 32 bits of kernel32's version, non-NT only
    int serverR2Metric = 0;            // system metric 89
    bool nativeX86 = true;             // native processor architecture is x86
    bool workstation = true;           // product type
};

TWindowsVersion ClassifyWindowsVersion(const TWindowsVersionData& d);

struct TUlSystemInfo {
    uint32_t processorCount = 0;
    uint32_t allocationGranularity = 0;
    uint32_t pageSize = 0;
    bool isNT = false;
    uint32_t kernelProductVersion = 0;
    TWindowsVersion version = wvUnknown;
    bool flags[19] = {}; // one per TWindowsVersion value
    bool isWinNT3 = false;
};

// Filled by UlSysInfoInitialize (Windows); zero before.
const TUlSystemInfo& UlSystemInfo();
void UlSysInfoInitialize();
// Sets the per-version flags of info from info.version (NT 3.x also set the common NT-3 flag;
// NT 3.51 also the NT 3.5 flag).
void SetVersionFlags(TUlSystemInfo& info);
