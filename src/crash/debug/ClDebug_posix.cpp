// Native builds load no PE modules: sources find no module file and no image memory.
#include "crash/debug/ClDebug.h"

namespace kv::crash {

namespace {
class TNoModules final : public TModuleAccess {
public:
    const TMemoryReader& Memory() const override { return ProcessMemory(); }
    std::string ModuleFileName(uint32_t) const override { return {}; }
};
} // namespace

const TModuleAccess& ProcessModules() {
    static const TNoModules modules;
    return modules;
}

} // namespace kv::crash
