#pragma once
// Table-driven x86 (32-bit) disassembler for the report's assembler section: one call turns the
// instruction at an address into Intel-syntax text. Callbacks may replace the text of jump and
// call targets, addresses, memory references and immediates. Portable; the in-process form that
// reads this process's memory is Windows only.
#include <cstddef>
#include <cstdint>
#include <string>

namespace kv::crash {

// A memory operand: base and index register (0 to 7 in eax, ecx, edx, ebx, esp, ebp, esi, edi
// order, -1 for none) with their scale factors (0 for none), and the displacement.
struct TdaRef {
    int MultiplyReg1 = 0;
    int ARegister1 = -1;
    int MultiplyReg2 = 0;
    int ARegister2 = -1;
    uint32_t Immidiate = 0;
};

// ValueAddress is where the operand's bytes lie in memory; Result holds the text to show, which
// the callback may replace.
using TJumpInstrProc = void (*)(void* Param, uint32_t ValueAddress, uint32_t JumpAddress,
                                std::string& Result);
using TCallInstrProc = void (*)(void* Param, uint32_t ValueAddress, uint32_t CallAddress,
                                std::string& Result);
using TAddressRefProc = void (*)(void* Param, uint32_t ValueAddress, uint32_t RefAddress,
                                 std::string& Result);
using TRefProc = void (*)(void* Param, const TdaRef& Ref, uint32_t RefSize, std::string& Result);
using TImmidiateDataProc = void (*)(void* Param, uint32_t ValueAddress, uint32_t OperandSize,
                                    bool Sigend, std::string& Result);

struct TDisAsm {
    TJumpInstrProc OnJumpInstr = nullptr;
    TCallInstrProc OnCallInstr = nullptr;
    TAddressRefProc OnAddressRef = nullptr;
    TRefProc OnRef = nullptr;
    TImmidiateDataProc OnImmidiateData = nullptr;
    void* Param = nullptr; // passed to every callback

    // Text of the instruction whose bytes start at code (only the first `available` bytes are
    // read) and which lies at `address`; size receives the number of bytes it takes. An
    // instruction cut off by the end of the bytes (or longer than 15 bytes) is shown as data.
    std::string GetInstruction(const uint8_t* code, size_t available, uint32_t address,
                               uint32_t& size) const;

    // The instruction at an address of this process; only readable memory is read. Text "??"
    // and size 1 when the first byte cannot be read (always in native builds).
    std::string GetInstruction(uint32_t address, uint32_t& size) const;
};

} // namespace kv::crash
