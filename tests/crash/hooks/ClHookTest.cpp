#include <gtest/gtest.h>

#include <vector>

#include "crash/hooks/ClHook.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Pads the code so that the decoder may look ahead as far as it likes.
Bytes Padded(Bytes code) {
    code.resize(code.size() + 32, 0x90);
    return code;
}

TEST(GetAsmSize, Lengths) {
    static const struct {
        const char* name;
        Bytes code;
        bool known;
        uint8_t length;
    } kCases[] = {
        {"16-bit immediate after 66", {0x66, 0xB8, 0x34, 0x12}, true, 4},
        {"32-bit immediate", {0xB8, 1, 2, 3, 4}, true, 5},
        {"near conditional jump", {0x0F, 0x84, 0, 0, 0, 0}, true, 6},
        {"SIB with 8-bit displacement", {0x8B, 0x44, 0x24, 0x08}, true, 4},
        {"16-bit addressing", {0x67, 0x8B, 0x46, 0x10}, true, 4},
        {"16-bit addressing, direct", {0x67, 0xA1, 0x00, 0x10}, true, 6},
        {"push ebp", {0x55}, true, 1},
        {"short jump", {0xEB, 0x10}, true, 2},
        {"ret n", {0xC2, 0x08, 0x00}, true, 3},
        {"enter", {0xC8, 0x10, 0x00, 0x00}, true, 4},
        {"moffs", {0xA1, 0, 0x10, 0x40, 0}, true, 5},
        {"far call", {0x9A, 1, 2, 3, 4, 5, 6}, true, 7},
        {"far call with 66", {0x66, 0x9A, 1, 2, 3, 4}, true, 6},
        {"near jump with 66", {0x66, 0x0F, 0x84, 0, 0}, true, 5},
        {"SIB without base", {0x8B, 0x04, 0x8D, 0, 0x10, 0x40, 0}, true, 7},
        {"disp32 only", {0xFF, 0x25, 0, 0x20, 0x40, 0}, true, 6},
        {"mod 2 with SIB", {0x8D, 0xB4, 0x26, 0, 0, 0, 0}, true, 7},
        {"imm8 group", {0x83, 0xEC, 0x10}, true, 3},
        {"imm32 group", {0x81, 0xEC, 0, 1, 0, 0}, true, 6},
        {"imm16 group with 66", {0x66, 0x81, 0xC1, 0, 1}, true, 5},
        {"mov to memory with imm32", {0xC7, 0x44, 0x24, 0x04, 1, 0, 0, 0}, true, 8},
        {"test with imm8", {0xF6, 0xC1, 0x01}, true, 3},
        {"not has no immediate", {0xF6, 0xD1}, true, 2},
        {"test with imm32", {0xF7, 0xC1, 0, 1, 0, 0}, true, 6},
        {"neg has no immediate", {0xF7, 0xD8}, true, 2},
        {"imul with imm8", {0x6B, 0xC0, 0x0C}, true, 3},
        {"two-byte with imm8", {0x0F, 0xBA, 0xE0, 0x03}, true, 4},
        {"two-byte movzx", {0x0F, 0xB6, 0x45, 0x08}, true, 4},
        {"prefixes counted", {0xF3, 0xA5}, true, 2},
        {"lock cmpxchg", {0xF0, 0x0F, 0xB1, 0x0A}, true, 4},
        {"x87", {0xDD, 0x05, 0, 0x10, 0x40, 0}, true, 6},
        {"two-byte undetermined", {0x0F, 0x1F, 0x44, 0, 0}, false, 1},
        {"three-byte escape undetermined", {0x0F, 0x38, 0x00, 0xC1}, false, 1},
        {"prefix run beyond the longest instruction", Bytes(15, 0x66), false, 1},
    };
    for (const auto& c : kCases) {
        const Bytes code = Padded(c.code);
        uint8_t length = 0;
        EXPECT_EQ(kv::crash::GetAsmSize(code.data(), length), c.known) << c.name;
        EXPECT_EQ(length, c.length) << c.name;
    }
}

TEST(GetFunctionSize, StopsAfterTheFirstReturn) {
    static const struct {
        const char* name;
        Bytes code;
        uint32_t maxLength;
        uint32_t size;
    } kCases[] = {
        {"plain function includes its ret", {0x55, 0x89, 0xE5, 0x5D, 0xC3}, 10, 5},
        {"ret n", {0x31, 0xC0, 0xC2, 0x04, 0x00}, 10, 5},
        {"mov with immediate is not an end", {0xC7, 0x45, 0xFC, 0, 0, 0, 0, 0xC9, 0xC3}, 20, 9},
        {"no return within the maximum", {0x90, 0x90, 0x90, 0x90, 0xC3}, 3, 1},
        {"return starting at the last byte within the maximum", {0x90, 0x90, 0xC3}, 3, 3},
        {"maximum 0", {0xC3}, 0, 0},
        {"unknown length counts one byte", {0x0F, 0x37, 0xC3}, 10, 3},
    };
    for (const auto& c : kCases) {
        const Bytes code = Padded(c.code);
        EXPECT_EQ(kv::crash::GetFunctionSize(code.data(), c.maxLength), c.size) << c.name;
    }
}

TEST(GetFunctionSize, FaultsGiveOne) {
    const Bytes code = {0x90, 0x90, 0x8B};
    EXPECT_EQ(kv::crash::FunctionSizeInBytes(code.data(), code.size(), 100), 1u);
}

} // namespace
