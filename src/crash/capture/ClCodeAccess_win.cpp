#include "crash/capture/ClCodeAccess.h"

#include <windows.h>

#include <cstdint>

namespace kv::crash {

namespace {

bool IsReadableRegion(const MEMORY_BASIC_INFORMATION& mbi) {
    if (mbi.State != MEM_COMMIT) return false;
    if (mbi.Protect & (PAGE_GUARD | PAGE_NOCACHE)) return false;
    switch (mbi.Protect & 0xFF) {
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

} // namespace

size_t ValidBytesAt(const void* p, size_t maxBytes) {
    auto at = reinterpret_cast<uintptr_t>(p);
    size_t valid = 0;
    while (valid < maxBytes) {
        MEMORY_BASIC_INFORMATION mbi;
        if (VirtualQuery(reinterpret_cast<const void*>(at), &mbi, sizeof mbi) != sizeof mbi) break;
        if (!IsReadableRegion(mbi)) break;
        const uintptr_t end = reinterpret_cast<uintptr_t>(mbi.BaseAddress) + mbi.RegionSize;
        if (end <= at) break; // wrapped around the top of the address space
        valid += end - at;
        at = end;
    }
    return valid < maxBytes ? valid : maxBytes;
}

} // namespace kv::crash
