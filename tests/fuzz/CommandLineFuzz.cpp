// libFuzzer target over the command line: splitting the whole line into arguments and reading
// the unattended join's options from them. Input: UTF-16LE text. The only error the options may
// raise is the conversion error of a bad boolean.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "app/CommandLine.h"
#include "app/TAutoFile.h"
#include "base/Exception.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::u16string line = fuzz::AsUtf16(data, size);
    const std::vector<std::u16string> args = app::SplitCommandLine(line);

    TAutoFile options;
    for (auto it = args.rbegin(); it != args.rend(); ++it) {
        try {
            options.ParseParam(*it);
        } catch (const kv::EConvertError&) {}
    }
    return 0;
}
