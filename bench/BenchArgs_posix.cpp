#include "BenchArgs.h"

#include "base/Text.h"

std::vector<std::u16string> GetBenchArgs(int argc, char** argv) {
    std::vector<std::u16string> args;
    for (int i = 1; i < argc; ++i) args.push_back(kv::Utf8ToUtf16(argv[i]));
    return args;
}
