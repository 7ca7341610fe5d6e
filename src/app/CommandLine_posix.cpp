#include "app/CommandLine.h"

namespace app {

// The native build has no process command line of its own to read; its tests use
// SplitCommandLine.
std::vector<std::u16string> ProgramArguments() {
    return {};
}

} // namespace app
