#include "base/ReservedBuffer.h"

#include <sys/mman.h>

namespace kv::detail {

void* ReserveAddressSpace(size_t bytes) {
    void* p = mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
}

bool CommitPages(void* base, size_t bytes) {
    return mprotect(base, bytes, PROT_READ | PROT_WRITE) == 0;
}

void ReleaseAddressSpace(void* base, size_t bytes) {
    munmap(base, bytes);
}

} // namespace kv::detail
