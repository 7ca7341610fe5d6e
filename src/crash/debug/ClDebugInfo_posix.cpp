// Native builds hold no 32-bit code to measure or runtime to test.
#include "crash/debug/ClDebugInfo.h"

namespace kv::crash {

uint32_t MeasureFunctionSize(uintptr_t) {
    return 1;
}

bool IsRuntimeWithFrames() {
    return false;
}

} // namespace kv::crash
