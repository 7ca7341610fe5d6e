#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crash/debug/ClDisAsm.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kAt = 0x00401000;

std::string Dis(const kv::crash::TDisAsm& da, const Bytes& code, uint32_t& size) {
    return da.GetInstruction(code.data(), code.size(), kAt, size);
}

TEST(TDisAsm, Instructions) {
    static const struct {
        const char* name;
        Bytes code;
        const char* text;
        uint32_t size;
    } kCases[] = {
        {"register from frame slot: no size word", {0x8B, 0x45, 0xFC}, "mov     eax, [ebp-$04]", 3},
        {"immediate to frame slot: size word",
         {0xC7, 0x45, 0xFC, 0x01, 0x00, 0x00, 0x00},
         "mov     dword ptr [ebp-$04], $00000001",
         7},
        {"operand-size prefix reads a 16-bit immediate",
         {0x66, 0xB8, 0x34, 0x12},
         "mov     ax, $1234",
         4},
        {"32-bit immediate", {0xB8, 0x78, 0x56, 0x34, 0x12}, "mov     eax, $12345678", 5},
        {"invalid opcode as data", {0xD6}, "DB      $D6  //", 1},
        {"invalid two-byte opcode", {0x0F, 0x04}, "DB      $0F, $04  //", 2},
        {"byte operands", {0x00, 0x00}, "add     [eax], al", 2},
        {"group with immediate", {0x80, 0x00, 0x05}, "add     byte ptr [eax], $05", 3},
        {"sign-extended group immediate", {0x83, 0xEC, 0x10}, "sub     esp, $10", 3},
        {"lea shows no size", {0x8D, 0x44, 0x24, 0x08}, "lea     eax, [esp+$08]", 4},
        {"scaled index with absolute base",
         {0x8B, 0x04, 0x8D, 0x00, 0x10, 0x40, 0x00},
         "mov     eax, [ecx*4+$401000]",
         7},
        {"base, index and displacement",
         {0x8B, 0x44, 0x8B, 0x10},
         "mov     eax, [ebx+ecx*4+$10]",
         4},
        {"32-bit displacement",
         {0x8B, 0x85, 0x00, 0xFF, 0xFF, 0xFF},
         "mov     eax, [ebp+$FFFFFF00]",
         6},
        {"absolute address", {0xA1, 0x00, 0x10, 0x40, 0x00}, "mov     eax, dword ptr [$401000]", 5},
        {"segment override on an offset keeps fs",
         {0x64, 0xA1, 0x18, 0x00, 0x00, 0x00},
         "mov     eax, dword ptr fs:[$0018]",
         6},
        {"segment override on a memory operand", {0x26, 0x8B, 0x00}, "mov     eax, es:[eax]", 3},
        {"16-bit addressing", {0x67, 0x8B, 0x46, 0x02}, "mov     eax, [bp+$02]", 4},
        {"16-bit addressing, 16-bit displacement",
         {0x67, 0x8B, 0x87, 0x34, 0x12},
         "mov     eax, [bx+$1234]",
         5},
        {"short jump shows its displacement", {0x70, 0x05}, "jo      +$05", 2},
        {"backward short jump", {0xEB, 0xFE}, "jmp     -$02", 2},
        {"near conditional jump", {0x0F, 0x84, 0x00, 0x01, 0x00, 0x00}, "jz      +$00000100", 6},
        {"direct call shows its displacement",
         {0xE8, 0x10, 0x00, 0x00, 0x00},
         "call    +$00000010",
         5},
        {"indirect call through the import table",
         {0xFF, 0x15, 0x00, 0x20, 0x40, 0x00},
         "call    dword ptr [$402000]",
         6},
        {"test with an immediate tail", {0xF6, 0x00, 0x07}, "test    byte ptr [eax], $07", 3},
        {"group without a tail", {0xF6, 0x10}, "not     byte ptr [eax]", 2},
        {"dword test tail", {0xF7, 0xC1, 0x00, 0x01, 0x00, 0x00}, "test    ecx, $00000100", 6},
        {"movzx keeps its size word",
         {0x0F, 0xB6, 0x45, 0x08},
         "movzx   eax, byte ptr [ebp+$08]",
         4},
        {"register name by operand size", {0x66, 0x40}, "inc     ax", 2},
        {"size suffix", {0xAB}, "stosd", 1},
        {"size suffix with 16-bit operands", {0x66, 0xAB}, "stosw", 2},
        {"floating-point memory form", {0xD8, 0x00}, "fadd    dword ptr [eax]", 2},
        {"floating-point register form", {0xD8, 0xC1}, "fadd    st(1)", 2},
        {"floating-point qword", {0xDD, 0x45, 0xF8}, "fld     qword ptr [ebp-$08]", 3},
        {"no-operand floating point", {0xD9, 0xEE}, "fldz", 2},
        {"enter reads a word and a byte", {0xC8, 0x10, 0x00, 0x00}, "enter   $0010, $00", 4},
        {"far call reads offset and selector",
         {0x9A, 0x00, 0x10, 0x40, 0x00, 0x1B, 0x00},
         "call    $001B:$401000",
         7},
        {"ret with immediate", {0xC2, 0x08, 0x00}, "ret     $0008", 3},
        {"multi-byte nop", {0x0F, 0x1F, 0x44, 0x00, 0x00}, "nop     dword ptr [eax+eax+$00]", 5},
        {"invalid group entry keeps its operand",
         {0xFE, 0x38},
         "DB      $FE, $38  //byte ptr [eax]",
         2},
        {"cut off by the end of the bytes", {0x8B}, "DB      $8B  //", 1},
        {"prefix run beyond 15 bytes", Bytes(16, 0x26),
         "DB      $26, $26, $26, $26, $26, $26, $26, $26, $26, $26, $26, $26, $26, $26, $26  //",
         15},
    };
    const kv::crash::TDisAsm da{};
    for (const auto& c : kCases) {
        uint32_t size = 0;
        EXPECT_EQ(Dis(da, c.code, size), c.text) << c.name;
        EXPECT_EQ(size, c.size) << c.name;
    }
}

struct Calls {
    std::vector<std::string> log;
};

TEST(TDisAsm, CallbacksReplaceOperandTexts) {
    kv::crash::TDisAsm da{};
    Calls calls;
    da.Param = &calls;
    da.OnCallInstr = [](void* p, uint32_t valueAt, uint32_t target, std::string& r) {
        static_cast<Calls*>(p)->log.push_back("call " + std::to_string(valueAt) + " " +
                                              std::to_string(target) + " " + r);
        r = "Target";
    };
    da.OnJumpInstr = [](void* p, uint32_t, uint32_t target, std::string& r) {
        static_cast<Calls*>(p)->log.push_back("jump " + std::to_string(target));
        r = "Label";
    };
    da.OnAddressRef = [](void* p, uint32_t valueAt, uint32_t ref, std::string& r) {
        static_cast<Calls*>(p)->log.push_back("addr " + std::to_string(valueAt) + " " +
                                              std::to_string(ref));
        r = "Global";
    };
    da.OnRef = [](void* p, const kv::crash::TdaRef& ref, uint32_t size, std::string& r) {
        static_cast<Calls*>(p)->log.push_back(
            "ref " + std::to_string(ref.ARegister1) + "*" + std::to_string(ref.MultiplyReg1) + " " +
            std::to_string(ref.ARegister2) + "*" + std::to_string(ref.MultiplyReg2) + " " +
            std::to_string(static_cast<int32_t>(ref.Immidiate)) + " " + std::to_string(size) + " " +
            r);
    };
    da.OnImmidiateData = [](void* p, uint32_t valueAt, uint32_t size, bool isSigned,
                            std::string& r) {
        static_cast<Calls*>(p)->log.push_back("imm " + std::to_string(valueAt) + " " +
                                              std::to_string(size) + " " +
                                              (isSigned ? "signed " : "unsigned ") + r);
        r = "Value";
    };
    uint32_t size = 0;
    EXPECT_EQ(Dis(da, {0xE8, 0x10, 0x00, 0x00, 0x00}, size), "call    Target");
    EXPECT_EQ(Dis(da, {0x74, 0xFE}, size), "jz      Label");
    EXPECT_EQ(Dis(da, {0xA1, 0x00, 0x10, 0x40, 0x00}, size), "mov     eax, dword ptr [Global]");
    EXPECT_EQ(Dis(da, {0xC7, 0x44, 0x8B, 0xFC, 0x05, 0x00, 0x00, 0x00}, size),
              "mov     dword ptr [ebx+ecx*4-$04], Value");
    const std::vector<std::string> expected = {
        "call 4198401 4198421 +$00000010",  // value at kAt+1, target kAt+5+0x10
        "jump 4198400",                     // jz -2 jumps to itself
        "addr 4198401 4198400",             // the address field and its value
        "ref -1*0 -1*0 4198400 4 [Global]", // the whole memory operand
        "ref 3*1 1*4 -4 4 [ebx+ecx*4-$04]",
        "imm 4198404 4 unsigned $00000005",
    };
    EXPECT_EQ(calls.log, expected);
}

} // namespace
