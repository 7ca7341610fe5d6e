#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "base/CodePageConv.h"
#include "base/Exception.h"
#include "base/ReservedBuffer.h"
#include "base/StringList.h"
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

TEST(Text, IntegerWithDefault) {
    EXPECT_EQ(kv::StrToIntDef(u"-7", 3), -7);
    EXPECT_EQ(kv::StrToIntDef(u"abc", 3), 3);
    EXPECT_EQ(kv::StrToIntDef(u"", -1), -1);
    EXPECT_EQ(kv::StrToIntDef(u"99999999999", 0), 0);
}

TEST(Text, BooleanText) {
    static constexpr struct {
        const char16_t* in;
        bool value;
    } kCases[] = {
        {u"1", true},
        {u"-1", true},
        {u"0", false},
        {u"-0", false},
        {u"00", false},
        {u"7", true},
        {u"12345678901234567890", true},
        {u"true", true},
        {u"TRUE", true},
        {u"False", false},
        {u"fAlSe", false},
    };
    for (const auto& c : kCases) EXPECT_EQ(kv::StrToBool(c.in), c.value) << kv::Utf16ToUtf8(c.in);
    for (const char16_t* bad : {u"", u"yes", u"-", u"1.5x", u" 1", u"truee"}) {
        try {
            kv::StrToBool(bad);
            ADD_FAILURE() << "no error for '" << kv::Utf16ToUtf8(bad) << "'";
        } catch (const kv::EConvertError& e) {
            EXPECT_EQ(e.Message(), u"'" + std::u16string(bad) + u"' is not a valid boolean value");
        }
    }
}

TEST(Text, SameTextFoldsLetterCaseOnly) {
    static constexpr struct {
        const char* name;
        const char16_t* a;
        const char16_t* b;
        bool same;
    } kCases[] = {
        {"ascii", u"C:\\Data\\A.kvj", u"c:\\data\\a.KVJ", true},
        {"latin-1", u"\u00C9t\u00E9", u"\u00E9T\u00C9", true},
        {"latin extended", u"\u0141\u00F3d\u017A", u"\u0142\u00D3D\u0179", true},
        {"cyrillic", u"\u0424\u0430\u0439\u043B", u"\u0444\u0410\u0419\u041B", true},
        {"full-width", u"\uFF21\uFF42", u"\uFF41\uFF22", true},
        {"kana untouched", u"\u30A2", u"\u3042", false},
        {"different length", u"ab", u"abc", false},
        {"different letter", u"abc", u"abd", false},
        {"division sign is no letter", u"\u00F7", u"\u00D7", false},
    };
    for (const auto& c : kCases) EXPECT_EQ(kv::SameText(c.a, c.b), c.same) << c.name;
}

TEST(StringList, IndexOfTextIgnoresLetterCase) {
    const kv::TStringList list({u"C:\\a.kvj", u"C:\\B.kvj", u"c:\\b.KVJ"});
    EXPECT_EQ(list.IndexOfText(u"c:\\B.KVJ"), 1);
    EXPECT_EQ(list.IndexOfText(u"C:\\a.kvj"), 0);
    EXPECT_EQ(list.IndexOfText(u"C:\\c.kvj"), -1);
}

TEST(CodePage, AnsiHoldsOnlyWhatRoundTrips) {
    static constexpr struct {
        const char* name;
        const char16_t* text;
        bool fits;
        const char* bytes;
    } kCases[] = {
        {"ascii", u"C:\\a b.csv", true, "C:\\a b.csv"},
        {"shift_jis", u"\u30C7\u30FC\u30BF\\\u8868.csv", true,
         "\x83\x66\x81\x5B\x83\x5E\\\x95\x5C.csv"},
        {"empty", u"", true, ""},
        {"e acute has no code in 932", u"caf\u00E9", false, nullptr},
        {"hangul", u"\uD55C", false, nullptr},
        {"yen sign is only a look-alike", u"\u00A5", false, nullptr},
        {"emoji", u"\U0001F600", false, nullptr},
    };
    for (const auto& c : kCases) {
        std::string out;
        EXPECT_EQ(kv::TryWideToAnsi(c.text, out), c.fits) << c.name;
        if (c.fits) {
            EXPECT_EQ(out, c.bytes) << c.name;
        }
    }
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

TEST(Stream, MemoryStreamWritesOverAndGrows) {
    kv::TMemoryStream s(std::string("abcdef"));
    s.SetPosition(4);
    s.WriteBuffer("XYZ", 3);
    EXPECT_EQ(s.Data(), "abcdXYZ");
    EXPECT_EQ(s.GetPosition(), 7);
    s.SetPosition(1);
    EXPECT_EQ(s.Write("-", 1), 1u);
    EXPECT_EQ(s.Data(), "a-cdXYZ");
}

TEST(Stream, FileStreamCannotBeWritten) {
    const std::u16string path = TempPath("kv_stream_write.bin");
    const intptr_t h = kv::FileCreate(path);
    ASSERT_NE(h, kv::kInvalidFile);
    kv::FileClose(h);
    {
        kv::TFileStream s(path);
        EXPECT_THROW(s.WriteBuffer("x", 1), kv::EFileError);
    }
    std::filesystem::remove(std::filesystem::path(path));
}

} // namespace
