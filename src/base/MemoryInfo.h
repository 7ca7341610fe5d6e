#pragma once
// Peak memory of this process, for benchmarks: peak commit and peak working set on Windows,
// peak resident size on POSIX (both fields then hold it).
#include <cstdint>

namespace kv {

struct PeakMemory {
    uint64_t peakPrivateBytes = 0;
    uint64_t peakWorkingSet = 0;
};

PeakMemory GetPeakMemory();

} // namespace kv
