// Reads of this process's memory: every range is checked for committed, readable pages first,
// never through ReadProcessMemory on ourselves (far too slow under Wine).
#include "crash/capture/ClMemoryReader.h"

#include <windows.h>

#include <cstring>

namespace kv::crash {

namespace {

// Readable protections: guard pages and no-access fail.
bool ReadableProtection(DWORD protect) {
    if (protect & (PAGE_GUARD | PAGE_NOACCESS)) return false;
    switch (protect & 0xFF) {
    case PAGE_READONLY:
    case PAGE_READWRITE:
    case PAGE_WRITECOPY:
    case PAGE_EXECUTE:
    case PAGE_EXECUTE_READ:
    case PAGE_EXECUTE_READWRITE:
    case PAGE_EXECUTE_WRITECOPY:
        return true;
    default:
        return false;
    }
}

bool RangeReadable(uint32_t addr, uint32_t len) {
    uint64_t cur = addr;
    const uint64_t end = uint64_t(addr) + len;
    while (cur < end) {
        if (cur > 0xFFFFFFFFull) return false;
        MEMORY_BASIC_INFORMATION mbi;
        if (VirtualQuery(reinterpret_cast<void*>(static_cast<uintptr_t>(cur)), &mbi, sizeof(mbi)) !=
            sizeof(mbi))
            return false;
        if (mbi.State != MEM_COMMIT || !ReadableProtection(mbi.Protect)) return false;
        cur = reinterpret_cast<uintptr_t>(mbi.BaseAddress) + mbi.RegionSize;
    }
    return true;
}

class TProcessMemory final : public TMemoryReader {
public:
    bool IsValid(uint32_t addr, uint32_t len) const override { return RangeReadable(addr, len); }
    bool Read(uint32_t addr, void* out, uint32_t len) const override {
        if (!RangeReadable(addr, len)) return false;
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
