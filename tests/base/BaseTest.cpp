#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "base/CodePageConv.h"
#include "base/Exception.h"
#include "base/ReservedBuffer.h"
#include "base/Stream.h"
#include "base/Text.h"

namespace {

std::u16string TempPath(const char* name) {
    return kv::Utf8ToUtf16((std::filesystem::temp_directory_path() / name).string());
}

TEST(CodePage, AnsiCodePageIsJapanese) {
    // The tests run with the users' locale; under Wine this is GetACP().
    EXPECT_EQ(kv::GetAnsiCodePage(), 932u);
}

TEST(CodePage, PlatformConvertsShiftJisBothWays) {
    std::u16string text;
    ASSERT_TRUE(kv::PlatformMultiByteToWide(932, kv::kMbPrecomposed, "\x82\xA0\x41", 3, text));
    EXPECT_EQ(text, u"\u3042A");
    std::string bytes;
    ASSERT_TRUE(
        kv::PlatformWideToMultiByte(932, kv::kWcCompositeCheck, text.data(), text.size(), bytes));
    EXPECT_EQ(bytes, "\x82\xA0\x41");
}

TEST(Text, Utf8RoundTripKeepsSurrogatePairs) {
    const std::u16string s = u"a\u00E9\u3042\U00020B9F";
    EXPECT_EQ(kv::Utf8ToUtf16(kv::Utf16ToUtf8(s)), s);
    EXPECT_EQ(kv::Utf8ToUtf16("\xE3\x81"), u"\uFFFD"); // cut sequence
}

TEST(Text, IntegerText) {
    static constexpr struct {
        const char16_t* in;
        bool ok;
        int value;
    } kCases[] = {
        {u"0", true, 0},
        {u"-12", true, -12},
        {u"+7", true, 7},
        {u"2147483647", true, 2147483647},
        {u"-2147483648", true, -2147483647 - 1},
        {u"2147483648", false, 0},
        {u"", false, 0},
        {u"1a", false, 0},
        {u" 1", false, 0},
        {u"-", false, 0},
    };
    for (const auto& c : kCases) {
        int v = 0;
        EXPECT_EQ(kv::TryStrToInt(c.in, v), c.ok) << kv::Utf16ToUtf8(c.in);
        if (c.ok) {
            EXPECT_EQ(v, c.value);
        }
    }
    EXPECT_EQ(kv::IntToStr(-2147483648LL), u"-2147483648");
}

TEST(ReservedBuffer, GrowsInPlaceUpToItsReservationThenMoves) {
    kv::ReservedBuffer<uint32_t> buf;
    constexpr uint32_t kCount = 3u << 20;
    buf.Reserve(kCount);
    const uint32_t* start = buf.data();
    for (uint32_t i = 0; i < kCount; ++i) buf.push_back(i);
    EXPECT_EQ(buf.data(), start);
    buf.push_back(kCount); // past the reservation: moves, keeps every element
    EXPECT_EQ(buf.size(), kCount + 1);
    EXPECT_GE(buf.capacity(), 2 * kCount);
    for (uint32_t i = 0; i <= kCount; i += 4099) ASSERT_EQ(buf[i], i);
    EXPECT_EQ(buf[kCount], kCount);
}

TEST(Stream, FileIsOpenedWithoutSharing) {
    const std::u16string path = TempPath("kolvane_base_share.txt");
    const intptr_t h = kv::FileCreate(path);
    ASSERT_NE(h, kv::kInvalidFile);
    EXPECT_EQ(kv::FileWrite(h, "abc", 3), 3);
    EXPECT_THROW(kv::TFileStream{path}, kv::EFileError); // held open by us
    kv::FileClose(h);

    kv::TFileStream s(path);
    EXPECT_EQ(s.GetSize(), 3);
    char buf[4] = {};
    s.ReadBuffer(buf, 3);
    EXPECT_STREQ(buf, "abc");
    EXPECT_THROW(s.ReadBuffer(buf, 1), kv::EFileError);
    EXPECT_EQ(kv::FileOpenWriteOnly(path), kv::kInvalidFile); // the stream holds it
}

TEST(Stream, MissingFileRaises) {
    EXPECT_THROW(kv::TFileStream{TempPath("kolvane_no_such_file.csv")}, kv::EFileError);
    EXPECT_FALSE(kv::FileExists(TempPath("kolvane_no_such_file.csv")));
}

} // namespace
