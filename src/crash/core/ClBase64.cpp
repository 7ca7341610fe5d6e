#include "crash/core/ClBase64.h"

#include <array>
#include <cstdint>

namespace kv::crash {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<uint8_t, 256> MakeDecodeTable() {
    std::array<uint8_t, 256> t{}; // outside the alphabet: 0
    for (uint8_t i = 0; i < 64; ++i) t[static_cast<uint8_t>(kAlphabet[i])] = i;
    return t;
}
constexpr std::array<uint8_t, 256> kDecode = MakeDecodeTable();

} // namespace

size_t CalcEncodedSize(size_t byteCount) {
    return (byteCount + 2) / 3 * 4;
}

size_t CalcDecodedSize(const char* text, size_t length) {
    if (length == 0 || length % 4 != 0) return 0;
    size_t n = length / 4 * 3;
    if (text[length - 2] == '=')
        n -= 2;
    else if (text[length - 1] == '=')
        n -= 1;
    return n;
}

void Base64Encode(const void* in, size_t size, char* out) {
    const auto* p = static_cast<const uint8_t*>(in);
    for (; size >= 3; size -= 3, p += 3) {
        const uint32_t v = static_cast<uint32_t>(p[0]) << 16 | p[1] << 8 | p[2];
        *out++ = kAlphabet[v >> 18];
        *out++ = kAlphabet[(v >> 12) & 63];
        *out++ = kAlphabet[(v >> 6) & 63];
        *out++ = kAlphabet[v & 63];
    }
    if (size > 0) {
        const uint32_t v = static_cast<uint32_t>(p[0]) << 16 | (size > 1 ? p[1] << 8 : 0);
        *out++ = kAlphabet[v >> 18];
        *out++ = kAlphabet[(v >> 12) & 63];
        *out++ = size > 1 ? kAlphabet[(v >> 6) & 63] : '=';
        *out++ = '=';
    }
}

size_t Base64Decode(const char* in, size_t size, void* out) {
    if (size % 4 != 0) return 0;
    auto* o = static_cast<uint8_t*>(out);
    const size_t limit = CalcDecodedSize(in, size);
    size_t written = 0;
    for (size_t g = 0; g < size; g += 4) {
        const bool last = g + 4 == size;
        uint32_t v = 0;
        int chars = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = in[g + k];
            if (last && c == '=') break;
            v |= static_cast<uint32_t>(kDecode[static_cast<uint8_t>(c)]) << (18 - 6 * k);
            ++chars;
        }
        const int bytes = chars == 4 ? 3 : chars == 3 ? 2 : chars == 2 ? 1 : 0;
        for (int k = 0; k < bytes && written < limit; ++k)
            o[written++] = static_cast<uint8_t>(v >> (16 - 8 * k));
    }
    return written;
}

std::string Base64EncodeString(std::string_view bytes) {
    return Base64EncodeToString(bytes.data(), bytes.size());
}

std::string Base64DecodeString(std::string_view text) {
    std::string r(CalcDecodedSize(text.data(), text.size()), '\0');
    if (r.empty()) return r;
    r.resize(Base64Decode(text.data(), text.size(), r.data()));
    return r;
}

std::string Base64EncodeToString(const void* buffer, size_t size) {
    std::string r(CalcEncodedSize(size), '\0');
    if (size > 0) Base64Encode(buffer, size, r.data());
    return r;
}

} // namespace kv::crash
