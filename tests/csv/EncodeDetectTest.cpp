#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "base/Stream.h"
#include "csv/EncodeDetect.h"
#include "csv/TStringUtility.h"

namespace {

using namespace std::literals;

const uint8_t* Bytes(std::string_view s) {
    return reinterpret_cast<const uint8_t*>(s.data());
}

TEST(EncodeDetect, CheckEncodingOnBuffers) {
    static constexpr struct {
        const char* name;
        std::string_view bytes;
        TIgnoreEncodes ignore;
        TEncodeType expected;
    } kCases[] = {
        {"empty", ""sv, 0, etNone},
        {"pure ascii scores nothing", "id,name\r\n1,abc\r\n"sv, 0, etNone},
        {"utf16le bom", "\xFF\xFE\x41\x00"sv, 0, etUTF16LE},
        {"utf32le bom before text", "\xFF\xFE\0\0\x41\0"sv, 0, etUTF32LE},
        {"utf16le bom then U+0000 reads as utf32le", "\xFF\xFE\0\0"sv, 0, etUTF32LE},
        {"utf32be bom", "\0\0\xFE\xFF\0\0\0\x41"sv, 0, etUTF32BE},
        {"utf16be bom alone", "\xFE\xFF"sv, 0, etUTF16BE},
        {"utf8 bom alone", "\xEF\xBB\xBF"sv, 0, etUTF8BOM},
        {"bom ignored: candidates decide", "\xFF\xFE\x41\x00"sv, IgnoreBit(ieBOM), etNone},
        {"jis escape in ascii", "abc\x1B$Bdef"sv, 0, etJIS},
        {"jis roman escape", "\x1B(J"sv, 0, etJIS},
        {"jis katakana escape", "x\x1B(I"sv, 0, etJIS},
        {"jis x0212 escape", "\x1B$(D"sv, 0, etJIS},
        {"jis 1990 revision escape", "\x1B&@\x1B$B"sv, 0, etJIS},
        {"escape cut by the end is no escape", "abc\x1B("sv, 0, etNone},
        {"jis ignored", "abc\x1B$Bdef"sv, IgnoreBit(ieJIS), etNone},
        {"high byte before escape: candidates decide", "\x82\xA0\x1B$B$\"\x1B(B"sv, 0, etSJIS},
        {"sjis two kana", "\x82\xA0\x82\xA2"sv, 0, etSJIS},
        {"utf8 kana beats its sjis reading", "\xE3\x81\x82"sv, 0, etUTF8},
        {"utf8 sample cut after a second byte", "\xE3\x81\x82,\xE3\x81\x84,\xE3\x81"sv, 0, etUTF8},
        {"utf8 ignored leaves sjis", "\xE3\x81\x82"sv, IgnoreBit(ieUTF8), etSJIS},
        {"euc kana pair", "\xA4\xA2\xA4\xA4"sv, 0, etEUC},
        {"euc katakana and x0212 triple", "\x8E\xB1\x8F\xB0\xA1"sv, 0, etEUC},
        {"invalid euc outscores valid sjis", "\xA4\xA2\xA4\xA4\x81\x40"sv, 0, etNone},
        {"top scorer invalid", "\xA4\xA2\xA4\xA4\x80"sv, 0, etNone},
        {"sjis and euc tie", "\xE0\xA1"sv, 0, etNone},
        {"cut utf8 bom: sjis and euc tie", "\xEF\xBB"sv, 0, etNone},
        {"utf7 run", "Hi +MKIwpA-"sv, 0, etUTF7},
        {"plus then space is not utf7", "a + b"sv, 0, etNone},
        {"latin-1 byte at the end", "caf\xE9"sv, 0, etNone},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(CheckEncoding(Bytes(c.bytes), c.bytes.size(), c.ignore), c.expected) << c.name;
    }
}

TEST(EncodeDetect, CandidateScoresAddToTheGivenScore) {
    enum Test { kSJIS, kEUC, kUTF8, kUTF7 };
    static constexpr struct {
        const char* name;
        Test test;
        std::string_view bytes;
        bool valid;
        int32_t gained;
    } kCases[] = {
        {"sjis pairs", kSJIS, "\x82\xA0\x82\xA2"sv, true, 4},
        {"sjis lead at the end scores nothing", kSJIS, "\xE3\x81\x82"sv, true, 2},
        {"sjis trail 0x5C", kSJIS, "\x95\x5C"sv, true, 2},
        {"sjis bad trail keeps score so far", kSJIS, "\x82\xA0\x82\x20"sv, false, 2},
        {"sjis 0xA0 is no character", kSJIS, "\xA0"sv, false, 0},
        {"euc stops at a sjis lead", kEUC, "\x82\xA0"sv, false, 0},
        {"euc incomplete triple", kEUC, "\xA4\xA2\x8F\xB0"sv, true, 2},
        {"euc incomplete triple with bad byte", kEUC, "\x8F\x41"sv, false, 0},
        {"euc katakana beyond 0xDF", kEUC, "\x8E\xE0"sv, false, 0},
        {"utf8 four-byte sequence", kUTF8, "\xF0\x9F\x98\x80"sv, true, 4},
        {"utf8 0xF8 lead", kUTF8, "\xC3\xA9\xF8"sv, false, 2},
        {"utf8 missing continuation", kUTF8, "\xE3\x41\x82"sv, false, 0},
        {"utf7 run closed by minus", kUTF7, "+AGE-x"sv, true, 8},
        {"utf7 open run at the end", kUTF7, "a+AGE"sv, true, 8},
        {"utf7 optional punctuation", kUTF7, "a!b"sv, false, 0},
        {"utf7 space inside a run", kUTF7, "+AG E"sv, false, 6},
    };
    for (const auto& c : kCases) {
        int32_t score = 10;
        const uint8_t* p = Bytes(c.bytes);
        const size_t n = c.bytes.size();
        bool valid = false;
        switch (c.test) {
        case kSJIS:
            valid = IsSJIS(p, n, score);
            break;
        case kEUC:
            valid = IsEUC(p, n, score);
            break;
        case kUTF8:
            valid = IsUTF8(p, n, score);
            break;
        case kUTF7:
            valid = IsUTF7(p, n, score);
            break;
        }
        EXPECT_EQ(valid, c.valid) << c.name;
        EXPECT_EQ(score, 10 + c.gained) << c.name;
    }
    int32_t score = 0;
    EXPECT_FALSE(IsSJIS(Bytes("\x82\xA0"sv), 2, score, IgnoreBit(ieSJIS)));
    EXPECT_EQ(score, 0);
}

TEST(EncodeDetect, EmptyStreamIsNoEncoding) {
    kv::TMemoryStream empty;
    EXPECT_EQ(CheckEncoding(empty, 100), etNone);
    EXPECT_EQ(TStringUtility::DetectCodePage(empty), TStringUtility::kNoCodePage);
}

TEST(EncodeDetect, UndecidedValidShiftJisDecodesAsShiftJis) {
    static constexpr struct {
        const char* name;
        std::string_view bytes;
        unsigned short codePage;
        std::u16string_view text;
    } kCases[] = {
        {"tie of shift_jis and euc-jp scores", "10,10,\xB6\xC5\r\n\x82\x60,\"10\",10"sv, 932,
         u"10,10,\uFF76\uFF85\r\n\uFF21,\"10\",10"},
        {"euc-jp ahead, then invalid after katakana", "\xB1\xB2\xB3\xB4\x82\xA0"sv, 932,
         u"\uFF71\uFF72\uFF73\uFF74\u3042"},
        {"plain ascii stays widened", "a,b\r\n1,2"sv, 0xFFFF, u"a,b\r\n1,2"},
        {"invalid everywhere stays widened", "\xB1\xB2\x80"sv, 0xFFFF, u"\u00B1\u00B2\u0080"},
        {"utf-7 result stays widened", "+AGEAYgBj-"sv, 0xFFFF, u"+AGEAYgBj-"},
    };
    for (const auto& c : kCases) {
        kv::TMemoryStream stream{std::string(c.bytes)};
        EXPECT_EQ(TStringUtility::DetectCodePage(stream), c.codePage) << c.name;
        EXPECT_TRUE(TStringUtility::StreamToString(stream) == c.text) << c.name;
    }
}

TEST(EncodeDetect, OnlyTheFirst100KiBOfAStreamDecide) {
    // Shift_JIS kana up to the sample limit, then bytes that no candidate accepts.
    std::string bytes;
    while (bytes.size() + 3 <= TStringUtility::kDetectLimit) bytes += "\x82\xA0,";
    bytes.resize(TStringUtility::kDetectLimit, 'a');
    bytes += "\xFF\xFF\xFF\n";
    kv::TMemoryStream stream(bytes);

    EXPECT_EQ(TStringUtility::DetectEncodeType(stream, TStringUtility::kDetectLimit), etSJIS);
    EXPECT_EQ(stream.GetPosition(), TStringUtility::kDetectLimit);
    EXPECT_EQ(TStringUtility::DetectCodePage(stream), 932);
    // The whole stream would not have been Shift_JIS.
    EXPECT_EQ(CheckEncoding(stream, 0), etNone);
    EXPECT_EQ(stream.GetPosition(), static_cast<int64_t>(bytes.size()));
}

TEST(EncodeDetect, EncodeTypeToCodePage) {
    static constexpr struct {
        const char* name;
        TEncodeType type;
        unsigned short codePage;
    } kCases[] = {
        {"none", etNone, 0xFFFF},
        {"sjis", etSJIS, 932},
        {"euc", etEUC, 20932},
        {"jis", etJIS, 50220},
        {"utf16le", etUTF16LE, 1200},
        {"utf16be", etUTF16BE, 1201},
        {"utf8", etUTF8, 65001},
        {"utf8 bom", etUTF8BOM, 65001},
        {"utf32le", etUTF32LE, 12000},
        {"utf32be", etUTF32BE, 12001},
        {"utf7 is not decoded", etUTF7, 0xFFFF},
        {"out of range", 10, 0xFFFF},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(TStringUtility::EncodeTypeToCodePage(c.type), c.codePage) << c.name;
    }
}

} // namespace
