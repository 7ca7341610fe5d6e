#include <gtest/gtest.h>

#include <string>

#include "crash/core/ClBase64.h"
#include "crash/core/ClEncrypt.h"

namespace {

using namespace kv::crash;

TEST(ClEncrypt, RoundTripsForEverySizeThatMatters) {
    InitKey("pass phrase");
    const std::string plain = "0123456789abcdefXYZ";
    for (size_t size : {0u, 1u, 7u, 8u, 9u, 16u, 19u}) {
        std::string cipher(size, '\0');
        Encrypt(plain.data(), cipher.data(), size);
        if (size >= 8) {
            EXPECT_NE(cipher, plain.substr(0, size)) << size;
        }
        std::string back(size, '\0');
        Decrypt(cipher.data(), back.data(), size);
        EXPECT_EQ(back, plain.substr(0, size)) << size;
    }
}

TEST(ClEncrypt, NothingWrittenForSizeZero) {
    InitKey("x");
    char out[4] = {'k', 'e', 'e', 'p'};
    Encrypt("abcd", out, 0);
    Decrypt("abcd", out, 0);
    EXPECT_EQ(std::string(out, 4), "keep");
}

TEST(ClEncrypt, InPlace) {
    InitKey("in place");
    std::string data = "seventeen bytes!!";
    const std::string original = data;
    Encrypt(data.data(), data.data(), data.size());
    EXPECT_NE(data, original);
    Decrypt(data.data(), data.data(), data.size());
    EXPECT_EQ(data, original);
}

// Vectors computed apart from this code, from the cipher's description: key = MD5 of the
// phrase as big-endian words, 32 rounds, CBC from eight 0xFF bytes, the tail XORed with
// E(last cipher block).
TEST(ClEncrypt, IndependentVectors) {
    InitKey("Kolvane");
    const std::string plain = "The quick brown fox jumps";
    std::string cipher(plain.size(), '\0');
    Encrypt(plain.data(), cipher.data(), plain.size());
    EXPECT_EQ(cipher, "\x2E\x49\x13\x20\xCB\xDF\xE1\x83\xA6\x42\xCF\xD3\x71\xD3\xD0\xF0\xD2\x4E"
                      "\xAB\x66\x67\x88\x02\x89\xF8");
    EXPECT_EQ(Base64EncodeString(cipher), "LkkTIMvf4YOmQs/TcdPQ8NJOq2ZniAKJ+A==");

    InitKey(""); // an empty pass phrase is a key too
    char tail[3];
    Encrypt("abc", tail, 3);
    EXPECT_EQ(std::string(tail, 3), "\x51\xDC\x1C");
}

TEST(ClEncrypt, TheKeyIsProcessWide) {
    InitKey("one");
    char a[8], b[8];
    Encrypt("12345678", a, 8);
    InitKey("two");
    Encrypt("12345678", b, 8);
    EXPECT_NE(std::string(a, 8), std::string(b, 8));
}

} // namespace
