#include "base/MemoryInfo.h"

#include <sys/resource.h>

namespace kv {

PeakMemory GetPeakMemory() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    PeakMemory m;
    m.peakPrivateBytes = m.peakWorkingSet = static_cast<uint64_t>(ru.ru_maxrss) * 1024;
    return m;
}

} // namespace kv
