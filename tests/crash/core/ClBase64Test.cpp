#include <gtest/gtest.h>

#include "crash/core/ClBase64.h"

namespace {

using namespace kv::crash;

TEST(ClBase64, TestVectorsOfRfc4648) {
    static constexpr struct {
        const char* bytes;
        const char* text;
    } kCases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(Base64EncodeString(c.bytes), c.text) << c.bytes;
        EXPECT_EQ(Base64DecodeString(c.text), c.bytes) << c.text;
        EXPECT_EQ(CalcEncodedSize(std::string_view(c.bytes).size()),
                  std::string_view(c.text).size());
    }
}

TEST(ClBase64, AllByteValuesRoundTrip) {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    const std::string text = Base64EncodeToString(bytes.data(), bytes.size());
    EXPECT_EQ(
        text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
        std::string::npos);
    EXPECT_EQ(Base64DecodeString(text), bytes);
}

TEST(ClBase64, DecodedSizes) {
    static constexpr struct {
        const char* name;
        const char* text;
        size_t size;
    } kCases[] = {
        {"two pad characters", "QQ==", 1},
        {"one pad character", "QUI=", 2},
        {"no pad character", "QUJD", 3},
        {"five characters", "QUJDR", 0},
        {"empty", "", 0},
        {"eight characters, one pad", "QUJDREU=", 5},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(CalcDecodedSize(c.text, std::string_view(c.text).size()), c.size) << c.name;
}

TEST(ClBase64, LenientDecoding) {
    EXPECT_EQ(Base64DecodeString("QUJDR"), ""); // length no multiple of 4
    char out[8] = {};
    EXPECT_EQ(Base64Decode("QUJDR", 5, out), 0u);
    // Characters outside the alphabet are not rejected; they count as 0.
    EXPECT_EQ(Base64DecodeString("QU*D").size(), 3u);
    // The last group ends at its first pad character, and never writes past the computed size.
    EXPECT_EQ(Base64DecodeString("Q==="), "");
    EXPECT_EQ(Base64DecodeString("QQ=A"), "A");
}

} // namespace
