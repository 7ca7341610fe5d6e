// The loaded modules of this process: their images in memory and their file names.
#include "crash/debug/ClDebug.h"

#include <windows.h>

namespace kv::crash {

namespace {
class TProcessModules final : public TModuleAccess {
public:
    const TMemoryReader& Memory() const override { return ProcessMemory(); }
    std::string ModuleFileName(uint32_t module) const override {
        if (module == 0) return {};
        char name[MAX_PATH + 1];
        const DWORD n = GetModuleFileNameA(
            reinterpret_cast<HMODULE>(static_cast<uintptr_t>(module)), name, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return {};
        return std::string(name, n);
    }
};
} // namespace

const TModuleAccess& ProcessModules() {
    static const TProcessModules modules;
    return modules;
}

} // namespace kv::crash
