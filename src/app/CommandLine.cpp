#include "app/CommandLine.h"

namespace app {

std::vector<std::u16string> SplitCommandLine(std::u16string_view line) {
    std::vector<std::u16string> args;
    size_t p = 0;
    for (;;) {
        while (p < line.size() && line[p] <= u' ') ++p;
        if (p >= line.size()) break;
        std::u16string arg;
        bool quoted = false;
        while (p < line.size() && (quoted || line[p] > u' ')) {
            if (line[p] == u'"')
                quoted = !quoted;
            else
                arg += line[p];
            ++p;
        }
        args.push_back(std::move(arg));
    }
    return args;
}

} // namespace app
