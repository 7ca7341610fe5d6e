#include <gtest/gtest.h>

#include <string>

#include "crash/core/ClHash.h"

namespace {

using namespace kv::crash;

TEST(ClHash, Crc16Xmodem) {
    EXPECT_EQ(GetCRC16("123456789"), 0x31C3); // the standard's check value
    EXPECT_EQ(GetCRC16(""), 0);
    EXPECT_EQ(GetCRC16("A"), 0x58E5);
    EXPECT_EQ(GetCRC16("\x82\xA0"), 0xC810); // bytes above 127
}

std::string Hex(const uint8_t* p, size_t n) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string r;
    for (size_t i = 0; i < n; ++i) {
        r += kHex[p[i] >> 4];
        r += kHex[p[i] & 15];
    }
    return r;
}

TEST(ClHash, Md5TestSuiteOfRfc1321) {
    static constexpr struct {
        const char* in;
        const char* digest;
    } kCases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
         "0",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : kCases) {
        uint8_t digest[16];
        GetMD5(digest, c.in, std::char_traits<char>::length(c.in));
        EXPECT_EQ(Hex(digest, 16), c.digest) << '"' << c.in << '"';
    }
}

TEST(ClHash, Md5AroundTheBlockPadding) {
    // 55, 56 and 64 bytes: the length still fits the last block, then needs one more.
    static constexpr struct {
        size_t size;
        const char* digest;
    } kCases[] = {
        {55, "ef1772b6dff9a122358552954ad0df65"},
        {56, "3b0c8ac703f828b04c6c197006d17218"},
        {64, "014842d480b571495a4a0363793f7367"},
    };
    for (const auto& c : kCases) {
        const std::string data(c.size, 'a');
        uint8_t digest[16];
        GetMD5(digest, data.data(), data.size());
        EXPECT_EQ(Hex(digest, 16), c.digest) << c.size;
    }
}

} // namespace
