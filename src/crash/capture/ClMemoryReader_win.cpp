// Reads of this process's memory: every range is checked for committed, readable pages first,
// never through ReadProcessMemory on ourselves (far too slow under Wine).
#include "crash/capture/ClMemoryReader.h"

#include <cstring>

#include "crash/capture/ClCodeAccess.h"

namespace kv::crash {

namespace {

const void* Pointer(uint32_t addr) {
    return reinterpret_cast<const void*>(static_cast<uintptr_t>(addr));
}

class TProcessMemory final : public TMemoryReader {
public:
    bool IsValid(uint32_t addr, uint32_t len) const override {
        if (len == 0) return true;
        if (uint64_t(addr) + len > 0x100000000ull) return false;
        return ValidBytesAt(Pointer(addr), len) == len;
    }
    bool Read(uint32_t addr, void* out, uint32_t len) const override {
        if (!IsValid(addr, len)) return false;
        if (len) std::memcpy(out, Pointer(addr), len);
        return true;
    }
};

} // namespace

const TMemoryReader& ProcessMemory() {
    static const TProcessMemory memory;
    return memory;
}

} // namespace kv::crash
