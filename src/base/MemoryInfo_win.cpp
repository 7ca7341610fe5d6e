#include "base/MemoryInfo.h"

#include <windows.h>
#include <psapi.h>

namespace kv {

PeakMemory GetPeakMemory() {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof(pmc);
    PeakMemory m;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc))) {
        m.peakPrivateBytes = pmc.PeakPagefileUsage;
        m.peakWorkingSet = pmc.PeakWorkingSetSize;
    }
    return m;
}

} // namespace kv
