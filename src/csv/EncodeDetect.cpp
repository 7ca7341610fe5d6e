#include "csv/EncodeDetect.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace {

constexpr uint8_t kEsc = 0x1B;

bool Ignored(TIgnoreEncodes ignore, TIgnoreEncode e) {
    return (ignore & IgnoreBit(e)) != 0;
}

bool InRange(uint8_t b, uint8_t lo, uint8_t hi) {
    return static_cast<uint8_t>(b - lo) <= hi - lo;
}

// Punctuation that UTF-7 may leave unencoded only optionally, plus backslash and tilde: a
// strict UTF-7 writer never emits them bare, so their presence rules UTF-7 out.
constexpr bool IsUtf7Excluded(uint8_t b) {
    return (b >= 0x21 && b <= 0x26) || b == 0x2A || (b >= 0x3B && b <= 0x3E) || b == 0x40 ||
           (b >= 0x5B && b <= 0x60) || (b >= 0x7B && b <= 0x7E);
}

constexpr bool IsBase64(uint8_t b) {
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '+' ||
           b == '/';
}

// Length of the ISO-2022-JP escape sequence starting at bytes[i] (an ESC), 0 when none.
size_t JisEscapeAt(const uint8_t* bytes, size_t length, size_t i) {
    const size_t after = length - i - 1; // bytes present after the ESC
    const uint8_t* p = bytes + i + 1;
    if (after >= 2) {
        if (p[0] == 0x28 && (p[1] == 0x42 || p[1] == 0x4A || p[1] == 0x49)) return 3;
        if (p[0] == 0x24 && (p[1] == 0x40 || p[1] == 0x42)) return 3;
    }
    if (after >= 3 && p[0] == 0x24 && p[1] == 0x28 && p[2] == 0x44) return 4;
    if (after >= 5 && p[0] == 0x26 && p[1] == 0x40 && p[2] == kEsc && p[3] == 0x24 && p[4] == 0x42)
        return 6;
    return 0;
}

} // namespace

TBOMType BOMCheck(const uint8_t* bytes, size_t length, TIgnoreEncodes ignore) {
    if (Ignored(ignore, ieBOM)) return btNone;
    if (length >= 4) {
        if (bytes[0] == 0xFF && bytes[1] == 0xFE && bytes[2] == 0 && bytes[3] == 0) return bt32LE;
        if (bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 0xFE && bytes[3] == 0xFF) return bt32BE;
    }
    if (length >= 2) {
        if (bytes[0] == 0xFF && bytes[1] == 0xFE) return bt16LE;
        if (bytes[0] == 0xFE && bytes[1] == 0xFF) return bt16BE;
    }
    if (length >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) return btUTF8;
    return btNone;
}

bool IsJIS(const uint8_t* bytes, size_t length, TIgnoreEncodes ignore) {
    if (Ignored(ignore, ieJIS)) return false;
    for (size_t i = 0; i < length; ++i) {
        const uint8_t b = bytes[i];
        if (b >= 0x80) return false;
        if (b == kEsc && JisEscapeAt(bytes, length, i) != 0) return true;
    }
    return false;
}

bool IsSJIS(const uint8_t* bytes, size_t length, int32_t& score, TIgnoreEncodes ignore) {
    if (Ignored(ignore, ieSJIS)) return false;
    int32_t gained = 0;
    bool valid = true;
    size_t i = 0;
    while (i < length) {
        const uint8_t b = bytes[i];
        if (b < 0x80 || InRange(b, 0xA1, 0xDF)) {
            ++i;
        } else if (InRange(b, 0x81, 0x9F) || InRange(b, 0xE0, 0xFC)) {
            if (i + 1 == length) break; // lead byte cut by the end of the sample
            const uint8_t t = bytes[i + 1];
            if (!InRange(t, 0x40, 0x7E) && !InRange(t, 0x80, 0xFC)) {
                valid = false;
                break;
            }
            gained += 2;
            i += 2;
        } else {
            valid = false;
            break;
        }
    }
    score += gained;
    return valid;
}

bool IsEUC(const uint8_t* bytes, size_t length, int32_t& score, TIgnoreEncodes ignore) {
    if (Ignored(ignore, ieEUC)) return false;
    int32_t gained = 0;
    bool valid = true;
    size_t i = 0;
    while (i < length && valid) {
        const uint8_t b = bytes[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        size_t trail;
        uint8_t hi;
        int32_t points;
        if (InRange(b, 0xA1, 0xFE)) {
            trail = 1, hi = 0xFE, points = 2;
        } else if (b == 0x8E) {
            trail = 1, hi = 0xDF, points = 2;
        } else if (b == 0x8F) {
            trail = 2, hi = 0xFE, points = 3;
        } else {
            valid = false;
            break;
        }
        // An incomplete last character: examine what is there, score nothing.
        const size_t present = std::min(trail, length - i - 1);
        for (size_t k = 1; k <= present; ++k) {
            if (!InRange(bytes[i + k], 0xA1, hi)) valid = false;
        }
        if (valid && present == trail) gained += points;
        i += 1 + present;
    }
    score += gained;
    return valid;
}

bool IsUTF8(const uint8_t* bytes, size_t length, int32_t& score, TIgnoreEncodes ignore) {
    if (Ignored(ignore, ieUTF8)) return false;
    int32_t gained = 0;
    bool valid = true;
    size_t i = 0;
    while (i < length && valid) {
        const uint8_t b = bytes[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        size_t trail;
        if (InRange(b, 0xC0, 0xDF)) {
            trail = 1;
        } else if (InRange(b, 0xE0, 0xEF)) {
            trail = 2;
        } else if (InRange(b, 0xF0, 0xF7)) {
            trail = 3;
        } else {
            valid = false;
            break;
        }
        // A sequence cut by the end of the sample adds nothing but does not disqualify.
        const size_t present = std::min(trail, length - i - 1);
        for (size_t k = 1; k <= present; ++k) {
            if (!InRange(bytes[i + k], 0x80, 0xBF)) valid = false;
        }
        if (valid && present == trail) gained += static_cast<int32_t>(trail) + 1;
        i += 1 + present;
    }
    score += gained;
    return valid;
}

bool IsUTF7(const uint8_t* bytes, size_t length, int32_t& score, TIgnoreEncodes ignore) {
    if (Ignored(ignore, ieUTF7)) return false;
    int32_t gained = 0;
    bool valid = true;
    bool inRun = false;
    for (size_t i = 0; i < length; ++i) {
        const uint8_t b = bytes[i];
        if (b >= 0x80 || IsUtf7Excluded(b)) {
            valid = false;
            break;
        }
        if (!inRun) {
            if (b != '+') continue;
            inRun = true;
        } else if (b == '-') {
            inRun = false;
            continue;
        }
        if (!IsBase64(b)) {
            valid = false;
            break;
        }
        gained += 2;
    }
    score += gained;
    return valid;
}

TEncodeType CheckEncoding(const uint8_t* bytes, size_t length, TIgnoreEncodes ignore) {
    if (length == 0) return etNone;
    switch (BOMCheck(bytes, length, ignore)) {
    case bt32LE:
        return etUTF32LE;
    case bt32BE:
        return etUTF32BE;
    case bt16LE:
        return etUTF16LE;
    case bt16BE:
        return etUTF16BE;
    case btUTF8:
        return etUTF8BOM;
    case btNone:
        break;
    }
    if (IsJIS(bytes, length, ignore)) return etJIS;

    struct Candidate {
        TEncodeType type;
        bool valid;
        int32_t score;
    } c[4] = {{etEUC, false, 0}, {etSJIS, false, 0}, {etUTF8, false, 0}, {etUTF7, false, 0}};
    c[0].valid = IsEUC(bytes, length, c[0].score, ignore);
    c[1].valid = IsSJIS(bytes, length, c[1].score, ignore);
    c[2].valid = IsUTF8(bytes, length, c[2].score, ignore);
    c[3].valid = IsUTF7(bytes, length, c[3].score, ignore);

    // The winner must beat every other score outright, invalid candidates' scores included.
    for (int i = 0; i < 4; ++i) {
        if (!c[i].valid) continue;
        bool beatsAll = true;
        for (int j = 0; j < 4; ++j) {
            if (j != i && c[j].score >= c[i].score) beatsAll = false;
        }
        if (beatsAll) return c[i].type;
    }
    return etNone;
}

TEncodeType CheckEncoding(kv::TStream& stream, int64_t n, TIgnoreEncodes ignore) {
    const int64_t size = stream.GetSize();
    if (size == 0) return etNone;
    stream.SetPosition(0);
    if (n <= 0 || n > size) n = size;
    n = std::min<int64_t>(n, INT_MAX);
    // One read of the whole sample; a stream that ends early raises, as a byte-wise read would.
    std::vector<uint8_t> sample(static_cast<size_t>(n));
    stream.ReadBuffer(sample.data(), sample.size());
    return CheckEncoding(sample.data(), sample.size(), ignore);
}
