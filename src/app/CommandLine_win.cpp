#include "app/CommandLine.h"

#include <windows.h>

namespace app {

std::vector<std::u16string> ProgramArguments() {
    const auto* line = reinterpret_cast<const char16_t*>(GetCommandLineW());
    std::vector<std::u16string> args = SplitCommandLine(line ? line : u"");
    if (!args.empty()) args.erase(args.begin());
    return args;
}

} // namespace app
