#include "crash/debug/ClDebugInfo.h"

#include <cstdlib>

#include "crash/hooks/ClHook.h"

namespace kv::crash {

uint32_t MeasureFunctionSize(uintptr_t address) {
    return GetFunctionSize(reinterpret_cast<const void*>(address), 0xFFFFFFFF);
}

bool IsRuntimeWithFrames() {
    // malloc is reached through an import thunk (jmp [pointer]); the routine is its target.
    uint32_t address = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&std::malloc));
    uint8_t jump[2];
    uint32_t cell, target;
    const TMemoryReader& memory = ProcessMemory();
    if (memory.Read(address, jump, 2) && jump[0] == 0xFF && jump[1] == 0x25 &&
        memory.ReadU32(address + 2, cell) && memory.ReadU32(cell, target))
        address = target;
    return IsFramePrologue(address, memory);
}

} // namespace kv::crash
