#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "base/Stream.h"
#include "base/Text.h"
#include "csv/MBCSUtils.h"
#include "csv/TStringUtility.h"

namespace {

using namespace std::literals;

// The text every fixture in tests/data/encoding holds, as decoding gives it: wave dash, minus
// and horizontal bar in the forms Shift_JIS (932) decoding yields.
constexpr std::u16string_view kFixtureText =
    u"\u540D\u524D,\u5024\r\n\u8868\u793A,\uFF5E\uFF0D\u2015\r\nABC,123\r\n";

std::string FixturePath(std::string_view name) {
    return std::string(KOLVANE_TEST_DATA) + "/encoding/" + std::string(name);
}

std::string ReadFixture(std::string_view name) {
    std::ifstream in(FixturePath(name), std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Hex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        if (!out.empty()) out += ' ';
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

std::string Show(std::u16string_view text) {
    std::string out;
    char buf[8];
    for (char16_t c : text) {
        std::snprintf(buf, sizeof buf, out.empty() ? "%04X" : " %04X", unsigned(c));
        out += buf;
    }
    return out;
}

struct Fixture {
    const char* name;
    unsigned short codePage; // what detection gives
    size_t bomBytes;
};
constexpr Fixture kFixtures[] = {
    {"sjis_trail_5c.csv", 932, 0},       {"eucjp_wave_dash.csv", 20932, 0},
    {"iso2022jp_escapes.csv", 50220, 0}, {"utf8_no_bom.csv", 65001, 0},
    {"utf8_bom.csv", 65001, 3},          {"utf16le_bom.csv", 1200, 2},
    {"utf16be_bom.csv", 1201, 2},        {"utf32le_bom.csv", 12000, 4},
    {"utf32be_bom.csv", 12001, 4},
};

TEST(TStringUtility, FixtureFilesDetectAndDecodeToTheSameText) {
    for (const Fixture& f : kFixtures) {
        kv::TFileStream stream(kv::Utf8ToUtf16(FixturePath(f.name)));
        EXPECT_EQ(TStringUtility::DetectCodePage(stream), f.codePage) << f.name;
        const std::u16string text = TStringUtility::StreamToString(stream);
        EXPECT_EQ(text, kFixtureText) << f.name << ": " << Show(text);
    }
}

TEST(TStringUtility, TextEncodesToTheFixtureBytes) {
    for (const Fixture& f : kFixtures) {
        if (f.codePage == 65001 && f.bomBytes != 0) continue; // the writer adds the BOM
        const std::string expected = ReadFixture(f.name).substr(f.bomBytes);
        const std::string bytes = TStringUtility::StringToBytes(kFixtureText, f.codePage);
        EXPECT_EQ(Hex(bytes), Hex(expected)) << f.name;
    }
}

TEST(TStringUtility, BytesToString) {
    static constexpr struct {
        const char* name;
        std::string_view bytes;
        unsigned short codePage;
        std::u16string_view expected;
    } kCases[] = {
        {"no code page widens each byte", "\x41\xE9"sv, 0xFFFF, u"A\u00E9"},
        {"widening keeps NUL and 0xFF", "\0\xFF"sv, 0xFFFF, u"\u0000\u00FF"sv},
        {"empty bytes", ""sv, 932, u""},
        {"euc wave dash", "\xA1\xC1"sv, 20932, u"\uFF5E"},
        {"51932 decodes as euc", "\xA1\xC1\xA1\xDD"sv, 51932, u"\uFF5E\uFF0D"},
        {"sjis mapping unchanged", "\x81\x60\x81\x7C"sv, 932, u"\uFF5E\uFF0D"},
        {"ansi code page is sjis", "\x82\xA0"sv, 0, u"\u3042"},
        {"utf8 bom only", "\xEF\xBB\xBF"sv, 65001, u""},
        {"utf8 bom removed once",
         "\xEF\xBB\xBF\xEF\xBB\xBF"
         "A"sv,
         65001, u"\uFEFFA"},
        {"utf16le odd last byte dropped", "\xFF\xFE\x41\x00\x42"sv, 1200, u"A"},
        {"utf16le lone surrogate kept", "\x00\xD8\x41\x00"sv, 1200,
         u"\xD800"
         u"A"},
        {"utf16be bom removed", "\xFE\xFF\x30\x42"sv, 1201, u"\u3042"},
        {"utf32le without bom", "\x42\x0B\x02\x00"sv, 12000, u"\U00020B42"},
        {"utf32be bom removed", "\0\0\xFE\xFF\0\0\x30\x42"sv, 12001, u"\u3042"},
        {"iso-2022-jp kana", "\x1B$B$\"\x1B(B"sv, 50220, u"\u3042"},
        {"iso-2022-jp minus fixed", "\x1B$B!]\x1B(B"sv, 50221, u"\uFF0D"},
        {"unknown code page gives nothing", "abc"sv, 1234, u""},
    };
    for (const auto& c : kCases) {
        const std::u16string text = TStringUtility::BytesToString(c.bytes, c.codePage);
        EXPECT_EQ(text, c.expected) << c.name << ": " << Show(text);
    }
}

TEST(TStringUtility, StringToBytes) {
    static constexpr struct {
        const char* name;
        std::u16string_view text;
        unsigned short codePage;
        std::string_view expected;
    } kCases[] = {
        {"minus becomes full-width hyphen-minus", u"\u2212", 932, "\x81\x7C"sv},
        {"em dash becomes horizontal bar", u"\u2014", 932, "\x81\x5C"sv},
        {"en dash becomes hyphen-minus", u"\u2013", 932, "-"sv},
        {"code page 0 takes the sjis row", u"\u2212", 0, "\x81\x7C"sv},
        {"jisx0213 kanji in sjis", u"\u525D\u5861\u9830\U00020B9F", 932,
         "\x94\x8D\x93\x55\x96\x6A\x8E\xB6"sv},
        {"lone surrogate dropped for sjis",
         u"A\xD800"
         u"B",
         932, "AB"sv},
        {"wave dash back to euc", u"\uFF5E", 20932, "\xA1\xC1"sv},
        {"full-width signs back to euc", u"\uFFE0\uFFE1\uFFE2\uFF0D\u2225", 20932,
         "\xA1\xF1\xA1\xF2\xA2\xCC\xA1\xDD\xA1\xC2"sv},
        {"51932 encodes as euc", u"\uFF5E", 51932, "\xA1\xC1"sv},
        {"jisx0213 kanji in euc", u"\U00020B9F", 20932, "\xBC\xB8"sv},
        {"iso-2022-jp returns to ascii at the end", u"A\u3042", 50220, "A\x1B$B$\"\x1B(B"sv},
        {"iso-2022-jp half-width katakana", u"\uFF71\u3042", 50221, "\x1B(I1\x1B$B$\"\x1B(B"sv},
        {"utf8 has no bom", u"A\u3042", 65001, "A\xE3\x81\x82"sv},
        {"utf16le has no bom", u"A", 1200, "A\0"sv},
        {"utf16be has no bom", u"A", 1201, "\0A"sv},
        {"utf32le pair", u"\U00020B9F", 12000, "\x9F\x0B\x02\x00"sv},
        {"utf32be lone surrogate", u"\xDC00", 12001, "\0\0\xFF\xFD"sv},
        {"empty text", u"", 932, ""sv},
        {"unknown code page gives nothing", u"abc", 1234, ""sv},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(Hex(TStringUtility::StringToBytes(c.text, c.codePage)), Hex(c.expected))
            << c.name;
    }
}

#ifdef _WIN32
// The platform composes a base and a combining mark into one Shift_JIS character; the check is
// kept wherever a text holds such a mark, also amid long plain Japanese text.
TEST(TStringUtility, ShiftJisComposesCombiningMarks) {
    EXPECT_EQ(Hex(TStringUtility::StringToBytes(u"\u304B\u3099", 932)), Hex("\x82\xAA"sv));
    std::u16string text(5000, u'\u3042');
    text += u"\u304B\u3099";
    const std::string bytes = TStringUtility::StringToBytes(text, 0);
    EXPECT_EQ(Hex(bytes.substr(bytes.size() - 2)), Hex("\x82\xAA"sv));
    EXPECT_EQ(bytes.size(), 10002u);
}
#endif

TEST(TStringUtility, NulCharsAndBoms) {
    EXPECT_EQ(TStringUtility::RemoveNulChars(u"\0a\0\0b\0"sv), u"ab");
    EXPECT_EQ(TStringUtility::RemoveNulChars(u""), u"");

    static constexpr struct {
        const char* name;
        std::string_view bytes;
        bool utf8, le, be;
    } kCases[] = {
        {"utf8 bom", "\xEF\xBB\xBF"sv, true, false, false},
        {"cut utf8 bom", "\xEF\xBB"sv, false, false, false},
        {"utf16le bom", "\xFF\xFE"sv, false, true, false},
        {"utf16be bom", "\xFE\xFF"sv, false, false, true},
        {"one byte", "\xFF"sv, false, false, false},
        {"empty", ""sv, false, false, false},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(TStringUtility::HasUtf8Bom(c.bytes), c.utf8) << c.name;
        EXPECT_EQ(TStringUtility::HasUtf16LeBom(c.bytes), c.le) << c.name;
        EXPECT_EQ(TStringUtility::HasUtf16BeBom(c.bytes), c.be) << c.name;
    }
}

TEST(MBCSUtils, MappingFixes) {
    using Fix = std::u16string (*)(std::u16string);
    static constexpr struct {
        const char* name;
        Fix fix;
        std::u16string_view in, out;
    } kCases[] = {
        {"cp932 to unicode changes nothing", MbcsMappingFix_CP932ToUnicode, u"\u2014\u301C\xD800",
         u"\u2014\u301C\xD800"},
        {"jisx0208 to unicode", MbcsMappingFix_JISX0208ToUnicode,
         u"\u00A2\u00A3\u00AC\u2014\u2016\u203E\u2212\u301Ca",
         u"\uFFE0\uFFE1\uFFE2\u2015\u2225\uFFE3\uFF0D\uFF5Ea"},
        {"jisx0208 to unicode keeps surrogates", MbcsMappingFix_JISX0208ToUnicode, u"\xDC00",
         u"\xDC00"},
        {"unicode to cp932", MbcsMappingFix_UnicodeToCP932,
         u"\u2011\u2012\u2013\u2014\u203E\u2212\uFE58\uFE63\u301C",
         u"---\u2015\uFFE3\uFF0D\uFF0D"
         u"\uFF0D\u301C"},
        {"unicode to jisx0208", MbcsMappingFix_UnicodeToJISX0208,
         u"\u2011\u2012\u2013\u2014\u203E\u2225\uFE58\uFE63\uFF0D\uFF5E\uFFE0\uFFE1\uFFE2",
         u"---\u2015\uFFE3\u2016\u2212\u2212\u2212\u301C\u00A2\u00A3\u00AC"},
        {"unicode to jisx0208 includes jisx0213", MbcsMappingFix_UnicodeToJISX0208,
         u"\u525D\U00020B9F", u"\u5265\u53F1"},
        {"jisx0213 on code points", MbcsMappingFix_JISX0213ToJISX0208,
         u"\u525D\u5861\u9830\U00020B9F\U00020B9E", u"\u5265\u586B\u982C\u53F1\U00020B9E"},
        {"jisx0213 drops lone surrogates", MbcsMappingFix_JISX0213ToJISX0208,
         u"\xDC00"
         u"a\xD800\xD800\xDC00\xD800",
         u"a\U00010000"},
    };
    for (const auto& c : kCases) {
        const std::u16string out = c.fix(std::u16string(c.in));
        EXPECT_EQ(out, c.out) << c.name << ": " << Show(out);
    }
}

TEST(MBCSUtils, CodePointsAndWidening) {
    const std::vector<char32_t> points = UTF16ToUTF32(u"a\xD800\U00020B9F\xDC00z");
    EXPECT_EQ(points, (std::vector<char32_t>{U'a', 0x20B9F, U'z'}));
    EXPECT_EQ(UTF32ToUTF16(points), u"a\U00020B9Fz");
    EXPECT_EQ(MbcsStretchElement("\x80\xFF"sv), u"\u0080\u00FF");
}

TEST(MBCSUtils, Iso2022JpToEucJp) {
    static constexpr struct {
        const char* name;
        std::string_view in, out;
    } kCases[] = {
        {"jis x0208 1983", "\x1B$B$\"\x1B(BA"sv,
         "\xA4\xA2"
         "A"sv},
        {"jis x0208 1978", "\x1B$@$\"\x1B(J\\"sv, "\xA4\xA2\\"sv},
        {"1990 revision prefix", "\x1B&@\x1B$B$\""sv, "\xA4\xA2"sv},
        {"katakana escape", "\x1B(I1^\x1B(Ba"sv,
         "\x8E\xB1\x8E\xDE"
         "a"sv},
        {"shift out and in",
         "\x0E"
         "1\x0F"
         "1"sv,
         "\x8E\xB1"
         "1"sv},
        {"shift out over jis x0208",
         "\x1B$B\x0E"
         "1\x0F$\""sv,
         "\x8E\xB1\xA4\xA2"sv},
        {"jis x0212", "\x1B$(D0!\x1B(B"sv, "\x8F\xB0\xA1"sv},
        {"line end inside jis x0208", "\x1B$B$\"\r\n$\""sv, "\xA4\xA2\r\n\xA4\xA2"sv},
        {"cut pair", "\x1B$B$"sv, "\xA1\xA6"sv},
        {"eight-bit katakana", "\xB1"sv, "\x8E\xB1"sv},
        {"stray high byte", "\x80"sv, "\xA1\xA6"sv},
        {"unknown escape passes", "\x1B(Z"sv, "\x1B(Z"sv},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(Hex(Iso2022JpToEucJp(c.in)), Hex(c.out)) << c.name;
    }
    // Through the EUC-JP conversion: half-width katakana by escape and by SO/SI.
    EXPECT_EQ(AnsiToUTF16("\x1B(I1\x1B(B\x0E"
                          "2\x0F"sv,
                          50222),
              u"\uFF71\uFF72");
}

TEST(MBCSUtils, Utf32Bytes) {
    static constexpr struct {
        const char* name;
        std::string_view bytes;
        bool bigEndian;
        std::u16string_view expected;
    } kCases[] = {
        {"le pair", "\x9F\x0B\x02\0A\0\0\0"sv, false, u"\U00020B9FA"},
        {"be nul kept", "\0\0\0\0\0\0\0A"sv, true, u"\u0000A"sv},
        {"surrogate code point", "\0\xD8\0\0"sv, false, u"\uFFFD"},
        {"beyond U+10FFFF", "\0\0\x11\0"sv, false, u"\uFFFD"},
        {"cut last unit dropped", "A\0\0\0B\0"sv, false, u"A"},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(Utf32BytesToUTF16(c.bytes, c.bigEndian), c.expected) << c.name;
    }
}

// DecodeStream's pieces, joined, and how many there were.
std::u16string DecodeInPieces(const std::string& bytes, unsigned short codePage, int& pieces) {
    kv::TMemoryStream stream(bytes);
    std::u16string text;
    pieces = 0;
    TStringUtility::DecodeStream(stream, codePage, [&](const char16_t* p, size_t n) {
        text.append(p, n);
        ++pieces;
    });
    return text;
}

TEST(TStringUtility, DecodeStreamMatchesWholeDecoding) {
    // Shift_JIS rows with 0x5C trail bytes, then one line longer than a piece (read on to its
    // end), then rows again; the file ends in a cut character.
    std::string sjis;
    const std::string row = "\x95\x5C\x8E\xA6,\x83\x5C\x83\x74\x83\x67,12345,abc\r\n";
    while (sjis.size() < (1u << 20)) sjis += row;
    while (sjis.size() < (6u << 20)) sjis += "\x88\x9F\x82\xA2,";
    sjis += "\r\n";
    while (sjis.size() < (10u << 20)) sjis += row;
    sjis += "\x82";

    // UTF-16LE with BOM; surrogate pairs fall across piece ends.
    std::u16string wide;
    while (wide.size() < (5u << 20)) wide += u"\u3042\U00020B9F,x\r\n";
    std::string utf16 =
        "\xFF\xFE" + std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);

    // UTF-8 whose second piece begins with the bytes of a BOM: text, not a mark.
    std::string utf8 = "\xEF\xBB\xBF" + std::string((4u << 20) - 4, 'a') + "\n";
    utf8 += "\xEF\xBB\xBF"
            "b\n";

    static constexpr struct {
        const char* name;
        int input;
        unsigned short codePage;
    } kCases[] = {
        {"shift_jis long lines", 0, 932},
        {"utf-16le", 1, 1200},
        {"utf-8 inner bom bytes", 2, 65001},
        {"utf-16le as bytes", 1, 0xFFFF},
    };
    const std::string* inputs[] = {&sjis, &utf16, &utf8};
    for (const auto& c : kCases) {
        const std::string& bytes = *inputs[c.input];
        int pieces = 0;
        const std::u16string joined = DecodeInPieces(bytes, c.codePage, pieces);
        const std::u16string whole = TStringUtility::BytesToString(bytes, c.codePage);
        EXPECT_GT(pieces, 1) << c.name;
        EXPECT_EQ(joined.size(), whole.size()) << c.name;
        EXPECT_TRUE(joined == whole) << c.name;
        EXPECT_LE(whole.size(), TStringUtility::MaxTextLength(c.codePage, bytes.size())) << c.name;
    }
    int pieces = 0;
    const std::u16string utf8Text = DecodeInPieces(utf8, 65001, pieces);
    EXPECT_EQ(pieces, 2);
    EXPECT_EQ(utf8Text.substr(0, 1), u"a");
    EXPECT_EQ(utf8Text.substr(utf8Text.size() - 5), u"a\n\uFEFFb\n");
}

TEST(TStringUtility, DecodeStreamSmallOrStatefulInOnePiece) {
    static constexpr struct {
        const char* name;
        std::string_view bytes;
        unsigned short codePage;
        int pieces;
    } kCases[] = {
        {"small utf-8 with bom",
         "\xEF\xBB\xBF"
         "a\nb\n"sv,
         65001, 1},
        {"iso-2022-jp", "\x1B$B$\"\x1B(B\n"sv, 50220, 1},
        {"empty", ""sv, 932, 0},
    };
    for (const auto& c : kCases) {
        int pieces = -1;
        const std::string bytes(c.bytes);
        EXPECT_EQ(DecodeInPieces(bytes, c.codePage, pieces),
                  TStringUtility::BytesToString(bytes, c.codePage))
            << c.name;
        EXPECT_EQ(pieces, c.pieces) << c.name;
    }
}

TEST(TStringUtility, MaxTextLength) {
    static constexpr struct {
        const char* name;
        unsigned short codePage;
        uint64_t bytes, units;
    } kCases[] = {
        {"sjis", 932, 10, 10},      {"no code page", 0xFFFF, 7, 7},
        {"utf-16 odd", 1200, 5, 3}, {"utf-16be", 1201, 4, 2},
        {"utf-32", 12000, 8, 4},    {"utf-8 large", 65001, 130u << 20, 130u << 20},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(TStringUtility::MaxTextLength(c.codePage, c.bytes), c.units) << c.name;
    }
    for (const Fixture& f : kFixtures) {
        const std::string bytes = ReadFixture(f.name);
        EXPECT_LE(TStringUtility::BytesToString(bytes, f.codePage).size(),
                  TStringUtility::MaxTextLength(f.codePage, bytes.size()))
            << f.name;
    }
}

TEST(TStringUtility, UndetectedBytesAreWidened) {
    kv::TMemoryStream stream("caf\xE9,1\r\n");
    EXPECT_EQ(TStringUtility::StreamToString(stream), u"caf\u00E9,1\r\n");
}

} // namespace
