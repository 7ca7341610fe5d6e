#include <gtest/gtest.h>

#include "TestFiles.h"
#include "base/Exception.h"
#include "base/MemIniFile.h"
#include "base/Stream.h"

namespace {

kv::TMemIniFile FromText(std::u16string_view text) {
    kv::TMemIniFile ini(u"");
    ini.SetText(text);
    return ini;
}

TEST(MemIniFile, NamesMatchWithoutRegardToCase) {
    kv::TMemIniFile ini = FromText(u"[Csv]\r\nFileNameLeft=C:\\a.csv\r\n");
    EXPECT_EQ(ini.ReadString(u"CSV", u"filenameleft", u"-"), u"C:\\a.csv");
    ini.WriteString(u"csv", u"FILENAMELEFT", u"C:\\b.csv");
    EXPECT_EQ(ini.GetText(), u"[Csv]\r\nFileNameLeft=C:\\b.csv\r\n\r\n");
}

TEST(MemIniFile, KeepsFileOrderAndAppendsNewNames) {
    kv::TMemIniFile ini = FromText(u"[B]\r\nz=1\r\ny=2\r\n[A]\r\nx=3\r\n");
    ini.WriteString(u"B", u"new", u"4");
    ini.WriteInteger(u"C", u"k", -5);
    ini.WriteBool(u"A", u"t", true);
    ini.WriteBool(u"A", u"f", false);
    EXPECT_EQ(ini.GetText(), u"[B]\r\nz=1\r\ny=2\r\nnew=4\r\n\r\n"
                             u"[A]\r\nx=3\r\nt=1\r\nf=0\r\n\r\n"
                             u"[C]\r\nk=-5\r\n\r\n");
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::u16string>{u"B", u"A", u"C"}));
    EXPECT_EQ(ini.ReadSection(u"b"), (std::vector<std::u16string>{u"z", u"y", u"new"}));
}

TEST(MemIniFile, ParsingRules) {
    static constexpr struct {
        const char* name;
        const char16_t* text;
        const char16_t* section;
        const char16_t* key;
        const char16_t* expected; // nullptr: missing
    } kCases[] = {
        {"blanks around name and value", u"[ S ]\n  k  =  v w  \n", u"S", u"k", u"v w"},
        {"value keeps later equals signs", u"[S]\nk=a=b\n", u"S", u"k", u"a=b"},
        {"empty value", u"[S]\nk=\n", u"S", u"k", u""},
        {"lone CR line ends", u"[S]\rk=v\r", u"S", u"k", u"v"},
        {"comment line", u"[S]\n;k=v\n", u"S", u";k", nullptr},
        {"line without equals", u"[S]\nk\n", u"S", u"k", nullptr},
        {"key before any section", u"k=v\n[S]\n", u"S", u"k", nullptr},
        {"first of repeated keys", u"[S]\nk=1\nK=2\n", u"S", u"k", u"1"},
        {"repeated section continues", u"[S]\na=1\n[T]\n[s]\nb=2\n", u"S", u"b", u"2"},
        {"quotes are kept", u"[S]\nk=\"a b\"\n", u"S", u"k", u"\"a b\""},
    };
    for (const auto& c : kCases) {
        const kv::TMemIniFile ini = FromText(c.text);
        EXPECT_EQ(ini.ValueExists(c.section, c.key), c.expected != nullptr) << c.name;
        if (c.expected) {
            EXPECT_EQ(ini.ReadString(c.section, c.key, u"-"), c.expected) << c.name;
        }
    }
    EXPECT_EQ(FromText(u"[S]\na=1\n[T]\n[s]\nb=2\n").ReadSections(),
              (std::vector<std::u16string>{u"S", u"T"}));
}

TEST(MemIniFile, IntegersAndBooleans) {
    const kv::TMemIniFile ini =
        FromText(u"[S]\nzero=0\none=1\ntwo=2\nminus=-1\nword=abc\nempty=\nbig=99999999999\n");
    static constexpr struct {
        const char16_t* key;
        int integer; // with default 42
        bool whenTrueDefault;
        bool whenFalseDefault;
    } kCases[] = {
        {u"zero", 0, false, false}, {u"one", 1, true, true},       {u"two", 2, true, true},
        {u"minus", -1, true, true}, {u"word", 42, true, false},    {u"empty", 42, true, false},
        {u"big", 42, true, false},  {u"missing", 42, true, false},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(ini.ReadInteger(u"S", c.key, 42), c.integer) << kv::Utf16ToUtf8(c.key);
        EXPECT_EQ(ini.ReadBool(u"S", c.key, true), c.whenTrueDefault) << kv::Utf16ToUtf8(c.key);
        EXPECT_EQ(ini.ReadBool(u"S", c.key, false), c.whenFalseDefault) << kv::Utf16ToUtf8(c.key);
    }
}

TEST(MemIniFile, EraseSectionDeleteKeyAndClear) {
    kv::TMemIniFile ini = FromText(u"[A]\nx=1\ny=2\n[B]\nz=3\n");
    ini.DeleteKey(u"a", u"X");
    ini.EraseSection(u"b");
    EXPECT_EQ(ini.GetText(), u"[A]\r\ny=2\r\n\r\n");
    ini.Clear();
    EXPECT_EQ(ini.GetText(), u"");
    EXPECT_FALSE(ini.SectionExists(u"A"));
}

TEST(MemIniFile, MissingFileReadsAsEmpty) {
    const kvtest::TempFile file("ini_missing.ini");
    const kv::TMemIniFile ini(file.Path());
    EXPECT_TRUE(ini.ReadSections().empty());
    EXPECT_EQ(ini.FileName(), file.Path());
}

TEST(MemIniFile, ByteOrderMarkDecidesDecoding) {
    static constexpr struct {
        const char* name;
        std::string_view bytes;
    } kCases[] = {
        {"ansi", "[S]\r\nk=\x83\x66\x81\x5B\x83\x5E\\\x95\x5C\r\n"},
        {"utf-8 bom",
         "\xEF\xBB\xBF[S]\r\nk=\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF\\\xE8\xA1\xA8\r\n"},
        {"utf-16le bom", std::string_view("\xFF\xFE[\0S\0]\0\n\0k\0=\0\xC7\x30\xFC\x30\xBF\x30\\\0"
                                          "\x68\x88\n\0",
                                          26)},
        {"utf-16be bom", std::string_view("\xFE\xFF\0[\0S\0]\0\n\0k\0=\x30\xC7\x30\xFC\x30\xBF\0\\"
                                          "\x88\x68\0\n",
                                          26)},
    };
    for (const auto& c : kCases) {
        const kvtest::TempFile file("ini_bom.ini");
        file.Write(std::string(c.bytes));
        const kv::TMemIniFile ini(file.Path());
        EXPECT_EQ(ini.ReadString(u"S", u"k", u"-"), u"\u30C7\u30FC\u30BF\\\u8868") << c.name;
    }
}

TEST(MemIniFile, WritesAnsiWhenItHoldsEveryCharacterElseUtf8WithBom) {
    static constexpr struct {
        const char* name;
        const char16_t* value;
        std::string_view bytes;
    } kCases[] = {
        {"ascii", u"C:\\a b.csv", "[S]\r\nk=C:\\a b.csv\r\n\r\n"},
        {"shift_jis, no byte-order mark", u"\u30C7\u30FC\u30BF\\\u8868",
         "[S]\r\nk=\x83\x66\x81\x5B\x83\x5E\\\x95\x5C\r\n\r\n"},
        {"hangul needs utf-8", u"\uD55C\u30C7",
         "\xEF\xBB\xBF[S]\r\nk=\xED\x95\x9C\xE3\x83\x87\r\n\r\n"},
    };
    for (const auto& c : kCases) {
        const kvtest::TempFile file("ini_write.ini");
        file.Write("[Old]\r\nx=1\r\n");
        {
            kv::TMemIniFile ini(file.Path());
            ini.Clear();
            ini.WriteString(u"S", u"k", c.value);
            ini.UpdateFile();
        }
        EXPECT_EQ(file.Read(), c.bytes) << c.name;
        EXPECT_EQ(kv::TMemIniFile(file.Path()).ReadString(u"S", u"k", u"-"), c.value) << c.name;
    }
}

TEST(MemIniFile, ErrorsOfWritingAndReadingRaise) {
    const kvtest::TempFolder folder("ini_errors");
    kv::TMemIniFile ini(folder.Path(u"missing") + u"/x.ini");
    ini.WriteString(u"S", u"k", u"v");
    try {
        ini.UpdateFile();
        ADD_FAILURE() << "no error";
    } catch (const kv::EFileError& e) {
        EXPECT_NE(e.Message().find(u"x.ini"), std::u16string::npos);
    }

    const std::u16string held = folder.Path(u"held.ini");
    const kv::FileHandle writer(kv::FileCreate(held)); // open without sharing
    ASSERT_TRUE(writer.valid());
    EXPECT_THROW(kv::TMemIniFile{held}, kv::EFileError);
}

} // namespace
