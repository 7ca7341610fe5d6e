// libFuzzer entry point of one reader of stored or network input (scripts/fuzz.sh builds and
// runs it); KOLVANE_FUZZ_READER names the target of ReaderFuzzers.h. An input that breaks an
// expectation prints it and aborts, so that libFuzzer keeps the input.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "../ReaderFuzzers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string broken = kvtest::KOLVANE_FUZZ_READER(data, size);
    if (!broken.empty()) {
        std::fprintf(stderr, "broken: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
