#pragma once
// Guesses the character encoding of a byte sample: byte-order marks, ISO-2022-JP escapes, then
// a scored contest of Shift_JIS, EUC-JP, UTF-8 and UTF-7. Pure; never fails on a buffer.
#include <cstddef>
#include <cstdint>

#include "base/Stream.h"

using TEncodeType = int32_t; // -1 none, 0..9 as below

enum : TEncodeType {
    etNone = -1,
    etSJIS = 0,
    etEUC = 1,
    etJIS = 2,
    etUTF16LE = 3,
    etUTF16BE = 4,
    etUTF8 = 5,
    etUTF8BOM = 6,
    etUTF32LE = 7,
    etUTF32BE = 8,
    etUTF7 = 9,
};

enum TBOMType { btNone, btUTF8, bt16LE, bt16BE, bt32LE, bt32BE };

enum TIgnoreEncode { ieSJIS, ieEUC, ieUTF8, ieJIS, ieBOM, ieUTF7 };
using TIgnoreEncodes = uint32_t; // bit i set = member of ordinal i
constexpr TIgnoreEncodes IgnoreBit(TIgnoreEncode e) {
    return 1u << e;
}

TEncodeType CheckEncoding(const uint8_t* bytes, size_t length, TIgnoreEncodes ignore = 0);
// Stream forms: n <= 0 or beyond the size means the whole stream; reads from position 0 and
// leaves the position after the bytes read. A read error propagates (kv::EFileError).
TEncodeType CheckEncoding(kv::TStream& stream, int64_t n, TIgnoreEncodes ignore = 0);

TBOMType BOMCheck(const uint8_t* bytes, size_t length, TIgnoreEncodes ignore = 0);
bool IsJIS(const uint8_t* bytes, size_t length, TIgnoreEncodes ignore = 0);
// Each candidate adds to score and tells whether the bytes are valid for it.
bool IsSJIS(const uint8_t* bytes, size_t length, int32_t& score, TIgnoreEncodes ignore = 0);
bool IsEUC(const uint8_t* bytes, size_t length, int32_t& score, TIgnoreEncodes ignore = 0);
bool IsUTF8(const uint8_t* bytes, size_t length, int32_t& score, TIgnoreEncodes ignore = 0);
bool IsUTF7(const uint8_t* bytes, size_t length, int32_t& score, TIgnoreEncodes ignore = 0);
inline bool IsASCII(uint8_t b) {
    return b < 0x80;
}
