// Reads of this process's memory: every range passes the component's validity test first, never
// ReadProcessMemory on ourselves (far too slow under Wine).
#include "crash/core/ClMemoryReader.h"

#include <cstring>

#include "crash/core/ClCore.h"

namespace kv::crash {

namespace {

class TProcessMemory final : public TMemoryReader {
public:
    bool IsValid(uint32_t addr, uint32_t len) const override {
        if (len == 0) return true;
        if (uint64_t(addr) + len > 0x100000000ull) return false;
        return IsValidBlockAddr(static_cast<uintptr_t>(addr), len);
    }
    bool Read(uint32_t addr, void* out, uint32_t len) const override {
        if (!IsValid(addr, len)) return false;
        if (len) std::memcpy(out, reinterpret_cast<const void*>(static_cast<uintptr_t>(addr)), len);
        return true;
    }
};

} // namespace

const TMemoryReader& ProcessMemory() {
    static const TProcessMemory memory;
    return memory;
}

} // namespace kv::crash
