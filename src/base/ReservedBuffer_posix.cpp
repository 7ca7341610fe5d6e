#include "base/ReservedBuffer.h"

#include <sys/mman.h>

#include <cstdint>

namespace kv::detail {

namespace {

// Tables of hundreds of MiB are filled front to back: with 4 KiB pages the first touch of each
// page (a fault) costs more than the parsing. Large reservations therefore start on a 2 MiB
// boundary and are committed in whole 2 MiB blocks, so the kernel can back them with large
// pages. Every reservation is rounded to whole blocks, so commits may round up too.
constexpr size_t kBlock = 2u << 20;

size_t RoundUp(size_t bytes) {
    return (bytes + kBlock - 1) / kBlock * kBlock;
}

} // namespace

void* ReserveAddressSpace(size_t bytes) {
    if (bytes == 0 || bytes > SIZE_MAX - 2 * kBlock) return nullptr;
    const size_t size = RoundUp(bytes);
    const size_t mapped = size + kBlock;
    void* p = mmap(nullptr, mapped, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) return nullptr;
    auto* const start = static_cast<char*>(p);
    auto* const base = reinterpret_cast<char*>(RoundUp(reinterpret_cast<uintptr_t>(start)));
    if (base != start) munmap(start, static_cast<size_t>(base - start));
    const char* const end = start + mapped;
    if (base + size != end) munmap(base + size, static_cast<size_t>(end - (base + size)));
    if (bytes >= kBlock) madvise(base, size, MADV_HUGEPAGE);
    return base;
}

bool CommitPages(void* base, size_t bytes) {
    return mprotect(base, RoundUp(bytes), PROT_READ | PROT_WRITE) == 0;
}

void ReleaseAddressSpace(void* base, size_t bytes) {
    munmap(base, RoundUp(bytes));
}

} // namespace kv::detail
