#include "crash/capture/ClDebugCipher.h"

#include <cstring>

namespace kv::crash::detail {

namespace {

uint32_t Rol(uint32_t x, int c) {
    return (x << c) | (x >> (32 - c));
}

// MD5 (RFC 1321): the digest as 16 bytes.
void Md5(std::string_view msg, uint8_t digest[16]) {
    static constexpr uint32_t kT[64] = {
        0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613,
        0xfd469501, 0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193,
        0xa679438e, 0x49b40821, 0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d,
        0x02441453, 0xd8a1e681, 0xe7d3fbc8, 0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
        0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a, 0xfffa3942, 0x8771f681, 0x6d9d6122,
        0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70, 0x289b7ec6, 0xeaa127fa,
        0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665, 0xf4292244,
        0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
        0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb,
        0xeb86d391};
    static constexpr int kS[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                   5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                   4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                   6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
    uint32_t h[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    std::string m(msg);
    const uint64_t bits = uint64_t(msg.size()) * 8;
    m.push_back(static_cast<char>(0x80));
    while (m.size() % 64 != 56) m.push_back('\0');
    for (int i = 0; i < 8; ++i) m.push_back(static_cast<char>(bits >> (8 * i)));
    for (size_t off = 0; off < m.size(); off += 64) {
        uint32_t w[16];
        for (int i = 0; i < 16; ++i) {
            const auto* p = reinterpret_cast<const uint8_t*>(m.data() + off + 4 * i);
            w[i] = p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
        }
        uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
        for (int i = 0; i < 64; ++i) {
            uint32_t f;
            int g;
            if (i < 16) {
                f = (b & c) | (~b & d);
                g = i;
            } else if (i < 32) {
                f = (d & b) | (~d & c);
                g = (5 * i + 1) % 16;
            } else if (i < 48) {
                f = b ^ c ^ d;
                g = (3 * i + 5) % 16;
            } else {
                f = c ^ (b | ~d);
                g = (7 * i) % 16;
            }
            const uint32_t t = d;
            d = c;
            c = b;
            b = b + Rol(a + f + kT[i] + w[g], kS[i]);
            a = t;
        }
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
    }
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<uint8_t>(h[i] >> (8 * j));
}

uint32_t Big(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}
void PutBig(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

constexpr uint32_t kDelta = 0x9E3779B9;

} // namespace

TDebugCipher::TDebugCipher(std::string_view password) : password_(password) {
    uint8_t digest[16];
    Md5(password, digest);
    for (int i = 0; i < 4; ++i) k_[i] = Big(digest + 4 * i);
}

void TDebugCipher::E(uint8_t block[8]) const {
    uint32_t l = Big(block), r = Big(block + 4), sum = 0;
    for (int i = 0; i < 32; ++i) {
        sum += kDelta;
        l += ((r << 4) + (r ^ k_[0]) + ((r >> 5) ^ sum) + k_[1]);
        r += ((l << 4) + (l ^ k_[2]) + ((l >> 5) ^ sum) + k_[3]);
    }
    PutBig(block, l);
    PutBig(block + 4, r);
}

void TDebugCipher::D(uint8_t block[8]) const {
    uint32_t l = Big(block), r = Big(block + 4), sum = kDelta * 32;
    for (int i = 0; i < 32; ++i) {
        r -= ((l << 4) + (l ^ k_[2]) + ((l >> 5) ^ sum) + k_[3]);
        l -= ((r << 4) + (r ^ k_[0]) + ((r >> 5) ^ sum) + k_[1]);
        sum -= kDelta;
    }
    PutBig(block, l);
    PutBig(block + 4, r);
}

void TDebugCipher::Encrypt(char* data, size_t size) const {
    uint8_t chain[8];
    std::memset(chain, 0xFF, 8);
    size_t off = 0;
    for (; size - off >= 8; off += 8) {
        uint8_t b[8];
        for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(data[off + i]) ^ chain[i];
        E(b);
        std::memcpy(chain, b, 8);
        std::memcpy(data + off, b, 8);
    }
    if (off < size) {
        E(chain);
        for (size_t i = 0; off + i < size; ++i) data[off + i] ^= static_cast<char>(chain[i]);
    }
}

void TDebugCipher::Decrypt(char* data, size_t size) const {
    uint8_t chain[8];
    std::memset(chain, 0xFF, 8);
    size_t off = 0;
    for (; size - off >= 8; off += 8) {
        uint8_t c[8], b[8];
        std::memcpy(c, data + off, 8);
        std::memcpy(b, c, 8);
        D(b);
        for (int i = 0; i < 8; ++i) data[off + i] = static_cast<char>(b[i] ^ chain[i]);
        std::memcpy(chain, c, 8);
    }
    if (off < size) {
        E(chain);
        for (size_t i = 0; off + i < size; ++i) data[off + i] ^= static_cast<char>(chain[i]);
    }
}

std::string DebugBase64(std::string_view bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
        uint32_t v = uint32_t(static_cast<uint8_t>(bytes[i])) << 16;
        if (n > 1) v |= uint32_t(static_cast<uint8_t>(bytes[i + 1])) << 8;
        if (n > 2) v |= static_cast<uint8_t>(bytes[i + 2]);
        out.push_back(kAlphabet[(v >> 18) & 63]);
        out.push_back(kAlphabet[(v >> 12) & 63]);
        out.push_back(n > 1 ? kAlphabet[(v >> 6) & 63] : '=');
        out.push_back(n > 2 ? kAlphabet[v & 63] : '=');
    }
    return out;
}

} // namespace kv::crash::detail
