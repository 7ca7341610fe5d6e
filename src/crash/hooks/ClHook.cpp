// Instruction lengths from the opcode class tables; pure functions over bytes in memory.
#include "crash/hooks/ClHook.h"

#include <array>
#include <cstdint>

#include "crash/core/ClCodeAccess.h"

namespace kv::crash {

namespace {

// What follows the opcode: 0 to 4 bytes, 11 (4, or 2 with the 66 prefix), 13 (6, or 4 with
// the 66 prefix), 14 (a ModRM byte and what it implies), 15 (length undetermined).
struct ClassRange {
    uint8_t first, last, cls;
};

constexpr ClassRange kOneByteClasses[] = {
    {0x00, 0x03, 14}, {0x04, 0x04, 1},  {0x05, 0x05, 11}, {0x06, 0x07, 0},  {0x08, 0x0B, 14},
    {0x0C, 0x0C, 1},  {0x0D, 0x0D, 11}, {0x0E, 0x0E, 0},  {0x0F, 0x0F, 15}, {0x10, 0x13, 14},
    {0x14, 0x14, 1},  {0x15, 0x15, 11}, {0x16, 0x17, 0},  {0x18, 0x1B, 14}, {0x1C, 0x1C, 1},
    {0x1D, 0x1D, 11}, {0x1E, 0x1F, 0},  {0x20, 0x23, 14}, {0x24, 0x24, 1},  {0x25, 0x25, 11},
    {0x26, 0x26, 15}, {0x27, 0x27, 0},  {0x28, 0x2B, 14}, {0x2C, 0x2C, 1},  {0x2D, 0x2D, 11},
    {0x2E, 0x2E, 15}, {0x2F, 0x2F, 0},  {0x30, 0x33, 14}, {0x34, 0x34, 1},  {0x35, 0x35, 11},
    {0x36, 0x36, 15}, {0x37, 0x37, 0},  {0x38, 0x3B, 14}, {0x3C, 0x3C, 1},  {0x3D, 0x3D, 11},
    {0x3E, 0x3E, 15}, {0x3F, 0x61, 0},  {0x62, 0x63, 14}, {0x64, 0x67, 15}, {0x68, 0x68, 11},
    {0x69, 0x69, 14}, {0x6A, 0x6A, 1},  {0x6B, 0x6B, 14}, {0x6C, 0x6F, 0},  {0x70, 0x7F, 1},
    {0x80, 0x8F, 14}, {0x90, 0x99, 0},  {0x9A, 0x9A, 13}, {0x9B, 0x9F, 0},  {0xA0, 0xA3, 4},
    {0xA4, 0xA7, 0},  {0xA8, 0xA8, 1},  {0xA9, 0xA9, 11}, {0xAA, 0xAF, 0},  {0xB0, 0xB7, 1},
    {0xB8, 0xBF, 11}, {0xC0, 0xC1, 14}, {0xC2, 0xC2, 2},  {0xC3, 0xC3, 0},  {0xC4, 0xC7, 14},
    {0xC8, 0xC8, 3},  {0xC9, 0xC9, 0},  {0xCA, 0xCA, 2},  {0xCB, 0xCC, 0},  {0xCD, 0xCD, 1},
    {0xCE, 0xCF, 0},  {0xD0, 0xD3, 14}, {0xD4, 0xD5, 1},  {0xD6, 0xD7, 0},  {0xD8, 0xDF, 14},
    {0xE0, 0xE7, 1},  {0xE8, 0xE9, 11}, {0xEA, 0xEA, 13}, {0xEB, 0xEB, 1},  {0xEC, 0xEF, 0},
    {0xF0, 0xF0, 15}, {0xF1, 0xF1, 0},  {0xF2, 0xF3, 15}, {0xF4, 0xF5, 0},  {0xF6, 0xF7, 14},
    {0xF8, 0xFD, 0},  {0xFE, 0xFF, 14},
};

constexpr ClassRange kTwoByteClasses[] = {
    {0x00, 0x03, 14}, {0x04, 0x04, 15}, {0x05, 0x09, 0},  {0x0A, 0x0C, 15}, {0x0D, 0x0D, 14},
    {0x0E, 0x0E, 0},  {0x0F, 0x0F, 15}, {0x10, 0x18, 14}, {0x19, 0x1F, 15}, {0x20, 0x23, 14},
    {0x24, 0x27, 15}, {0x28, 0x2F, 14}, {0x30, 0x35, 0},  {0x36, 0x3F, 15}, {0x40, 0x6B, 14},
    {0x6C, 0x6D, 15}, {0x6E, 0x76, 14}, {0x77, 0x77, 0},  {0x78, 0x7D, 15}, {0x7E, 0x7F, 14},
    {0x80, 0x8F, 11}, {0x90, 0x9F, 14}, {0xA0, 0xA2, 0},  {0xA3, 0xA7, 14}, {0xA8, 0xAA, 0},
    {0xAB, 0xB7, 14}, {0xB8, 0xB9, 15}, {0xBA, 0xC7, 14}, {0xC8, 0xCF, 0},  {0xD0, 0xD0, 15},
    {0xD1, 0xD5, 14}, {0xD6, 0xD6, 15}, {0xD7, 0xE5, 14}, {0xE6, 0xE6, 15}, {0xE7, 0xEF, 14},
    {0xF0, 0xF0, 15}, {0xF1, 0xFE, 14}, {0xFF, 0xFF, 15},
};

template <size_t N> constexpr std::array<uint8_t, 256> MakeClassTable(const ClassRange (&r)[N]) {
    std::array<uint8_t, 256> t{};
    for (auto& e : t) e = 15;
    for (const auto& range : r)
        for (int b = range.first; b <= range.last; ++b) t[b] = range.cls;
    return t;
}

constexpr auto kOneByte = MakeClassTable(kOneByteClasses);
constexpr auto kTwoByte = MakeClassTable(kTwoByteClasses);

constexpr bool IsPrefix(uint8_t b) {
    switch (b) {
    case 0x26:
    case 0x2E:
    case 0x36:
    case 0x3E:
    case 0x64:
    case 0x65:
    case 0x66:
    case 0x67:
    case 0xF0:
    case 0xF2:
    case 0xF3:
        return true;
    default:
        return false;
    }
}

constexpr bool HasTwoByteImm8(uint8_t op) {
    return (op >= 0x70 && op <= 0x73) || op == 0xA4 || op == 0xAC || op == 0xBA || op == 0xC2 ||
           op == 0xC4 || op == 0xC5 || op == 0xC6;
}

struct TruncatedCode {};

// The CPU refuses instructions longer than this; a longer prefix run has no length.
constexpr int kMaxInstruction = 15;

} // namespace

AsmShape DecodeAsmShape(const uint8_t* p, size_t available) {
    AsmShape s;
    // Every byte is looked at through here, so that a short buffer ends the decoding.
    auto at = [&](int i) -> uint8_t {
        if (static_cast<size_t>(i) >= available) throw TruncatedCode();
        return p[i];
    };
    try {
        bool opSize16 = false;
        bool addr16 = false;
        int pos = 0;
        while (IsPrefix(at(pos))) {
            if (p[pos] == 0x66) opSize16 = true;
            if (p[pos] == 0x67) addr16 = true;
            if (++pos >= kMaxInstruction) return s;
        }
        s.prefixes = static_cast<uint8_t>(pos);
        int opLength = 1;
        uint8_t cls;
        if (p[pos] == 0x0F) {
            s.twoByte = true;
            s.opcode = at(pos + 1);
            opLength = 2;
            cls = kTwoByte[s.opcode];
        } else {
            s.opcode = p[pos];
            cls = kOneByte[s.opcode];
        }
        if (cls == 15) return s;

        int length;
        if (cls == 14) {
            const uint8_t modrm = at(pos + opLength);
            const int mod = modrm >> 6, rm = modrm & 7, reg = (modrm >> 3) & 7;
            int extra = 0;
            if (addr16) {
                if (mod == 0)
                    extra = rm == 6 ? 2 : 0;
                else if (mod == 1)
                    extra = 1;
                else if (mod == 2)
                    extra = 2;
            } else {
                if (mod == 0) {
                    if (rm == 4)
                        extra = (at(pos + opLength + 1) & 7) == 5 ? 5 : 1;
                    else if (rm == 5)
                        extra = 4;
                } else if (mod == 1) {
                    extra = rm == 4 ? 2 : 1;
                } else if (mod == 2) {
                    extra = rm == 4 ? 5 : 4;
                }
            }
            if (!s.twoByte) {
                switch (s.opcode) {
                case 0x6B:
                case 0x80:
                case 0x82:
                case 0x83:
                case 0xC0:
                case 0xC1:
                case 0xC6:
                    extra += 1;
                    break;
                case 0xF6:
                    if (reg == 0) extra += 1;
                    break;
                case 0x69:
                case 0x81:
                case 0xC7:
                    extra += opSize16 ? 2 : 4;
                    break;
                case 0xF7:
                    if (reg == 0) extra += opSize16 ? 2 : 4;
                    break;
                default:
                    break;
                }
            } else if (HasTwoByteImm8(s.opcode)) {
                extra += 1;
            }
            length = opLength + 1 + extra;
        } else {
            length = cls + opLength;
            if (length > opLength + 6) {
                length -= 7;
                if (opSize16) length -= 2;
            }
        }
        s.length = static_cast<uint8_t>(length + pos);
        s.known = true;
    } catch (const TruncatedCode&) {
        s = AsmShape{};
        s.truncated = true;
    }
    return s;
}

bool GetAsmSize(const void* code, uint8_t& length) {
    const AsmShape s = DecodeAsmShape(static_cast<const uint8_t*>(code), kMaxInstruction + 4);
    length = s.known ? s.length : 1;
    return s.known;
}

bool IsFunctionEndOpcode(uint8_t opcode) {
    // Only the return instructions end a function. The neighbouring opcodes C4 to C9 (les, lds,
    // mov with an immediate, enter, leave) occur inside function bodies.
    return opcode == 0xC2 || opcode == 0xC3 || opcode == 0xCA || opcode == 0xCB;
}

uint32_t GetFunctionSize(const void* start, uint32_t maxLength) {
    // Room for the last instruction that starts inside the maximum.
    // Saturated: with no maximum (0xFFFFFFFF) a 32-bit size would wrap to a few bytes.
    const size_t room = kMaxInstruction + 4;
    const size_t want = maxLength > SIZE_MAX - room ? SIZE_MAX : size_t{maxLength} + room;
    return FunctionSizeInBytes(static_cast<const uint8_t*>(start), ValidBytesAt(start, want),
                               maxLength);
}

uint32_t FunctionSizeInBytes(const uint8_t* start, size_t available, uint32_t maxLength) {
    if (maxLength == 0) return 0;
    uint32_t offset = 0;
    while (offset < maxLength) {
        if (offset >= available) return 1;
        const AsmShape s = DecodeAsmShape(start + offset, available - offset);
        if (s.truncated) return 1; // the decoder would have read past valid memory
        if (s.known && !s.twoByte && IsFunctionEndOpcode(s.opcode)) return offset + s.length;
        offset += s.known ? s.length : 1;
    }
    return 1;
}

} // namespace kv::crash
