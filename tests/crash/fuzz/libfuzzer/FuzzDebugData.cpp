// libFuzzer entry point (scripts/fuzz.sh builds and runs it).
#include "../DebugFuzzers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return kvtest::FuzzDebugData(data, size);
}
