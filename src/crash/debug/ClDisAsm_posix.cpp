// Native builds have no 32-bit code of their own to read: every address is unreadable.
#include "crash/debug/ClDisAsm.h"

namespace kv::crash {

std::string TDisAsm::GetInstruction(uint32_t, uint32_t& size) const {
    size = 1;
    return "??";
}

} // namespace kv::crash
