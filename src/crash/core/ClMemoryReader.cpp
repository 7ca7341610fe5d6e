#include "crash/core/ClMemoryReader.h"

#include <algorithm>
#include <cstring>

namespace kv::crash {

bool TMemoryReader::ReadU32(uint32_t addr, uint32_t& v) const {
    uint8_t b[4];
    if (!Read(addr, b, 4)) return false;
    v = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
    return true;
}

void TRegionMemory::Add(uint32_t base, std::string bytes) {
    // Clipped at the top of the 32-bit address space.
    const uint64_t room = 0x100000000ull - base;
    if (bytes.size() > room) bytes.resize(static_cast<size_t>(room));
    Region r{base, std::move(bytes)};
    auto at = std::lower_bound(regions_.begin(), regions_.end(), base,
                               [](const Region& x, uint32_t b) { return x.base < b; });
    regions_.insert(at, std::move(r));
}

const TRegionMemory::Region* TRegionMemory::Find(uint32_t addr) const {
    auto at = std::upper_bound(regions_.begin(), regions_.end(), addr,
                               [](uint32_t a, const Region& x) { return a < x.base; });
    if (at == regions_.begin()) return nullptr;
    const Region& r = *(at - 1);
    if (uint64_t(addr) - r.base < r.bytes.size()) return &r;
    return nullptr;
}

bool TRegionMemory::IsValid(uint32_t addr, uint32_t len) const {
    uint64_t cur = addr;
    const uint64_t end = uint64_t(addr) + len;
    while (cur < end) {
        if (cur > 0xFFFFFFFFull) return false;
        const Region* r = Find(static_cast<uint32_t>(cur));
        if (!r) return false;
        cur = uint64_t(r->base) + r->bytes.size();
    }
    return true;
}

bool TRegionMemory::Read(uint32_t addr, void* out, uint32_t len) const {
    if (!IsValid(addr, len)) return false;
    auto* dst = static_cast<char*>(out);
    uint64_t cur = addr;
    const uint64_t end = uint64_t(addr) + len;
    while (cur < end) {
        const Region* r = Find(static_cast<uint32_t>(cur));
        const size_t from = static_cast<size_t>(cur - r->base);
        const size_t n = static_cast<size_t>(std::min<uint64_t>(end - cur, r->bytes.size() - from));
        std::memcpy(dst, r->bytes.data() + from, n);
        dst += n;
        cur += n;
    }
    return true;
}

} // namespace kv::crash
