#include "crash/debug/ClDisAsm.h"

#include <cstring>

#include "crash/core/ClCodeAccess.h"

namespace kv::crash {

std::string TDisAsm::GetInstruction(uint32_t address, uint32_t& size) const {
    // An instruction is at most 15 bytes; copy what is readable so no read can fault.
    uint8_t bytes[15];
    const void* at = reinterpret_cast<const void*>(static_cast<uintptr_t>(address));
    const size_t n = ValidBytesAt(at, sizeof bytes);
    if (n > 0) std::memcpy(bytes, at, n);
    return GetInstruction(bytes, n, address, size);
}

} // namespace kv::crash
