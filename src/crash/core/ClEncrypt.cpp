#include "crash/core/ClEncrypt.h"

#include <cstring>

#include "crash/core/ClHash.h"

namespace kv::crash {

namespace {

constexpr uint32_t kDelta = 0x9E3779B9;
constexpr uint32_t kSumAfterRounds = 0xC6EF3720; // 32 * kDelta modulo 2^32

uint32_t g_key[4];

uint32_t LoadBE(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

void StoreBE(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

void EncryptBlock(uint8_t block[8]) {
    uint32_t l = LoadBE(block), r = LoadBE(block + 4), sum = 0;
    for (int i = 0; i < 32; ++i) {
        sum += kDelta;
        l += (r << 4) + (r ^ g_key[0]) + ((r >> 5) ^ sum) + g_key[1];
        r += (l << 4) + (l ^ g_key[2]) + ((l >> 5) ^ sum) + g_key[3];
    }
    StoreBE(block, l);
    StoreBE(block + 4, r);
}

void DecryptBlock(uint8_t block[8]) {
    uint32_t l = LoadBE(block), r = LoadBE(block + 4), sum = kSumAfterRounds;
    for (int i = 0; i < 32; ++i) {
        r -= (l << 4) + (l ^ g_key[2]) + ((l >> 5) ^ sum) + g_key[3];
        l -= (r << 4) + (r ^ g_key[0]) + ((r >> 5) ^ sum) + g_key[1];
        sum -= kDelta;
    }
    StoreBE(block, l);
    StoreBE(block + 4, r);
}

// The tail of fewer than 8 bytes: XORed with E(chain), in both directions.
void CryptTail(const uint8_t* in, uint8_t* out, size_t n, uint8_t chain[8]) {
    EncryptBlock(chain);
    for (size_t k = 0; k < n; ++k) out[k] = static_cast<uint8_t>(in[k] ^ chain[k]);
}

} // namespace

void InitKey(std::string_view passPhrase) {
    uint8_t digest[16];
    GetMD5(digest, passPhrase.data(), passPhrase.size());
    for (int i = 0; i < 4; ++i) g_key[i] = LoadBE(digest + 4 * i);
}

void Encrypt(const void* in, void* out, size_t size) {
    const auto* src = static_cast<const uint8_t*>(in);
    auto* dst = static_cast<uint8_t*>(out);
    uint8_t chain[8];
    std::memset(chain, 0xFF, sizeof chain);
    for (; size >= 8; size -= 8, src += 8, dst += 8) {
        uint8_t block[8];
        for (int k = 0; k < 8; ++k) block[k] = static_cast<uint8_t>(src[k] ^ chain[k]);
        EncryptBlock(block);
        std::memcpy(chain, block, 8);
        std::memcpy(dst, block, 8);
    }
    if (size > 0) CryptTail(src, dst, size, chain);
}

void Decrypt(const void* in, void* out, size_t size) {
    const auto* src = static_cast<const uint8_t*>(in);
    auto* dst = static_cast<uint8_t*>(out);
    uint8_t chain[8];
    std::memset(chain, 0xFF, sizeof chain);
    for (; size >= 8; size -= 8, src += 8, dst += 8) {
        uint8_t cipher[8], block[8];
        std::memcpy(cipher, src, 8); // src may be dst
        std::memcpy(block, cipher, 8);
        DecryptBlock(block);
        for (int k = 0; k < 8; ++k) dst[k] = static_cast<uint8_t>(block[k] ^ chain[k]);
        std::memcpy(chain, cipher, 8);
    }
    if (size > 0) CryptTail(src, dst, size, chain);
}

} // namespace kv::crash
