#include "base/ReservedBuffer.h"

#include <windows.h>

namespace kv::detail {

void* ReserveAddressSpace(size_t bytes) {
    return VirtualAlloc(nullptr, bytes, MEM_RESERVE, PAGE_NOACCESS);
}

bool CommitPages(void* base, size_t bytes) {
    return VirtualAlloc(base, bytes, MEM_COMMIT, PAGE_READWRITE) != nullptr;
}

void ReleaseAddressSpace(void* base, size_t) {
    VirtualFree(base, 0, MEM_RELEASE);
}

} // namespace kv::detail
