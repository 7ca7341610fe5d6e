#include <gtest/gtest.h>

#include "TestFiles.h"
#include "base/Stream.h"
#include "base/Text.h"
#include "csv/TCodePage.h"
#include "csv/TCsvSaveFile.h"
#include "csv/TCsvUtility.h"
#include "csv/TStringUtility.h"

namespace {

using Cells = std::vector<std::u16string>;

TEST(MakeCsvLine, QuotingAndLineBreaks) {
    static const struct {
        const char* name;
        Cells cells;
        std::u16string_view lineBreak;
        std::u16string_view line;
    } kCases[] = {
        {"mixed row",
         {u"a", u"b,c", u"x\"y", u"", u"line1\nline2"},
         u"\n",
         u"a,\"b,c\",\"x\"\"y\",,\"line1\nline2\""},
        {"one empty cell", {u""}, u"\n", u"\"\""},
        {"one cell of NULs", {std::u16string(2, u'\0')}, u"\n", u"\"\""},
        {"two empty cells", {u"", u""}, u"\n", u","},
        {"no cells", {}, u"\n", u""},
        {"spaces and tab quote", {u" a", u"b ", u"c\td"}, u"\n", u"\" a\",\"b \",\"c\td\""},
        {"wide spaces do not quote", {u"\u3000", u"\u00A0", u"\x7f"}, u"\n", u"\u3000,\u00A0,\x7f"},
        {"cr lf and cr become lf", {u"a\r\nb\rc"}, u"\n", u"\"a\nb\nc\""},
        {"nul removed, quoted by the rest",
         {std::u16string(u"a\0b", 3), std::u16string(u"c\0 ", 3)},
         u"\n",
         u"ab,\"c \""},
        {"other line-break text", {u"a\r\nb"}, u"<br>", u"a<br>b"},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(TCsvUtility::MakeCsvLine(c.cells, c.lineBreak), c.line) << c.name;
}

TEST(TCodePageBom, BomsOfTheOutputCodePages) {
    EXPECT_EQ(TCodePage::GetBom(65001), "\xEF\xBB\xBF");
    EXPECT_EQ(TCodePage::GetBom(1200), "\xFF\xFE");
    EXPECT_EQ(TCodePage::GetBom(1201), "\xFE\xFF");
    for (unsigned short cp : {0, 932, 20932, 50220, 12000, 65000})
        EXPECT_EQ(TCodePage::GetBom(cp), "") << cp;
}

// What one row makes of the file: a new one (emptied, with the code page's BOM) or an append.
TEST(TCsvSaveFile, OpeningModesAndCodePages) {
    static const struct {
        const char* name;
        const char* before; // null: no file
        bool isNew;
        unsigned short codePage;
        Cells row;
        std::string after;
        bool atStart;
    } kCases[] = {
        {"new UTF-8 file: BOM, lines end in CR LF",
         nullptr,
         true,
         65001,
         {u"名", u"a\nb"},
         "\xEF\xBB\xBF\xE5\x90\x8D,\"a\nb\"\r\n",
         true},
        {"ANSI: Shift_JIS without BOM",
         nullptr,
         true,
         0,
         {u"\u3042", u"x"},
         "\x82\xA0,x\r\n",
         true},
        {"ANSI: minus and dash as their Shift_JIS look-alikes",
         nullptr,
         true,
         0,
         {u"\u2212", u"\u2014\"", u"\U00020B9F"},
         "\x81\x7C,\"\x81\x5C\"\"\",\x8E\xB6\r\n",
         true},
        {"new empties the file",
         "a\r\nb\r\n",
         true,
         65001,
         {u"c"},
         "\xEF\xBB\xBF"
         "c\r\n",
         true},
        {"appending to an empty file: no BOM either", "", false, 65001, {u"a"}, "a\r\n", true},
        {"appending after data", "a\r\n", false, 65001, {u"b"}, "a\r\nb\r\n", false},
        {"appending to a missing file creates it with BOM",
         nullptr,
         false,
         65001,
         {u"a"},
         "\xEF\xBB\xBF"
         "a\r\n",
         true},
    };
    for (const auto& c : kCases) {
        kvtest::TempFile f("save_modes.csv");
        if (c.before) f.Write(c.before);
        TCsvSaveFile w(f.Path(), u"\n", c.codePage);
        ASSERT_TRUE(w.Open(c.isNew)) << c.name;
        EXPECT_EQ(w.AtStart, c.atStart) << c.name;
        EXPECT_TRUE(w.WriteRow(c.row)) << c.name;
        w.Close();
        EXPECT_EQ(f.Read(), c.after) << c.name;
    }
}

TEST(TCsvSaveFile, FileHeldOpenElsewhereCannotBeOpened) {
    kvtest::TempFile f("save_locked.csv");
    f.Write("x\r\n");
    kv::TFileStream holder(f.Path());
    TCsvSaveFile append(f.Path(), u"\n", 0);
    EXPECT_FALSE(append.Open(false));
    TCsvSaveFile create(f.Path(), u"\n", 0);
    EXPECT_FALSE(create.Open(true));
}

TEST(TCsvSaveFile, ManyRowsAreWrittenInOrder) {
    kvtest::TempFile f("save_many.csv");
    std::string expected;
    {
        TCsvSaveFile w(f.Path(), u"\n", 0);
        ASSERT_TRUE(w.Open(true));
        for (int i = 0; i < 30000; ++i) {
            ASSERT_TRUE(w.WriteRow({kv::IntToStr(i), u"x"}));
            expected += std::to_string(i) + ",x\r\n";
        }
    } // the destructor writes what is gathered
    EXPECT_EQ(f.Read(), expected);
}

// Whatever way a line takes to its bytes (encoded cell by cell, or converted whole where a cell
// holds a surrogate or a composing mark), the file holds what converting the text of all lines
// at once gives (under 64 Ki units: one batch of a writer that converted batches of lines):
// mapping fixes, quoting, cleaning and the platform's choices, composite check included.
TEST(TCsvSaveFile, RowsGiveTheBytesOfTheirLinesConvertedWhole) {
    std::vector<Cells> rows = {
        {u"plain", u"\u3042\u6f22\u5b57", u"\uff76\uff85", u"\u00a5\u00e9\u00a7"},
        {u"\u2212\u2014\u203e\u2011\ufe58\ufe63", u"\u525d\u5861\u9830\u301c\uff5e"},
        {u"\u3042,\u3044", u"\"\u5f15\"", u"\u6539\r\n\u884c", u" \u3000", u"\u03b1\u0416"},
        {std::u16string(u"\u3042\0\u3044", 3), u"\U00020b9f", u"x\U0001f600y"},
        {u"\u304b\u3099", u"e\u0301", std::u16string(1, char16_t(0xD800)),
         u"a" + std::u16string(1, char16_t(0xDC00)) + u"b"},
        {std::u16string(1, u'\0')},
        {},
        {u"\ufffd\uffff\ue000\uf8f0", u""},
    };
    // Every other unit, in long cells, so each block of the encoder's table is met.
    for (unsigned from = 0x80; from < 0x10000; from += 0x1000) {
        std::u16string cell;
        for (unsigned u = from; u < from + 0x1000 && u < 0x10000; ++u)
            if (u % 2 == 0 && (u < 0xD800 || u > 0xDFFF)) cell.push_back(static_cast<char16_t>(u));
        rows.push_back({cell, u"\u3042"});
    }
    for (const unsigned short codePage : {0, 932, 65001, 20932, 1200}) {
        for (const std::u16string lineBreak : {u"\n", u"<br>"}) {
            kvtest::TempFile f("save_encoded.csv");
            std::u16string text;
            {
                TCsvSaveFile w(f.Path(), lineBreak, codePage);
                ASSERT_TRUE(w.Open(true));
                for (const Cells& row : rows) {
                    ASSERT_TRUE(w.WriteRow(row));
                    text += TCsvUtility::MakeCsvLine(row, lineBreak) + u"\r\n";
                }
            }
            ASSERT_LT(text.size(), 64u * 1024);
            const std::string expected =
                TCodePage::GetBom(codePage) + TStringUtility::StringToBytes(text, codePage);
            EXPECT_TRUE(f.Read() == expected)
                << "code page " << codePage << ", line break " << kv::Utf16ToUtf8(lineBreak);
        }
    }
}

// Many rows at once are encoded by several threads in chunks: the file holds the same lines in
// the same order as row by row, whichever way each line takes to its bytes.
TEST(TCsvSaveFile, RowsWrittenAtOnceAreTheLinesInOrder) {
    const std::u16string pair = u"\U00020b9f", mark = u"\u304b\u3099";
    std::vector<Cells> rows;
    for (int i = 0; i < 3 * static_cast<int>(TCsvSaveFile::kChunkRows) + 77; ++i) {
        const std::u16string n = kv::IntToStr(i);
        rows.push_back({n, u"\u540d\u524d" + n, i % 7 == 0 ? u"a,\"" + n : u"\u2212" + n,
                        i % 97 == 0    ? pair
                        : i % 101 == 0 ? mark
                                       : u"x"});
    }
    for (const unsigned short codePage : {0, 65001, 1200}) {
        kvtest::TempFile f("save_at_once.csv");
        std::string expected = TCodePage::GetBom(codePage);
        for (const Cells& row : rows)
            expected += TStringUtility::StringToBytes(
                TCsvUtility::MakeCsvLine(row, u"\n") + u"\r\n", codePage);
        {
            TCsvSaveFile w(f.Path(), u"\n", codePage);
            ASSERT_TRUE(w.Open(true));
            ASSERT_TRUE(w.WriteRow({u"first"}));
            expected.insert(TCodePage::GetBom(codePage).size(),
                            TStringUtility::StringToBytes(u"first\r\n", codePage));
            EXPECT_TRUE(w.WriteRowsOf(
                rows.size(), [&](size_t k) -> const Cells& { return rows[k]; },
                [](size_t, int) {}));
        }
        EXPECT_TRUE(f.Read() == expected) << "code page " << codePage;
    }
}

#ifndef _WIN32
TEST(TCsvSaveFile, FailedWriteIsReported) {
    // /dev/full takes the open and refuses every write, like a full disk.
    TCsvSaveFile w(u"/dev/full", u"\n", 0);
    ASSERT_TRUE(w.Open(false));
    bool ok = true;
    for (int i = 0; i < 10000 && ok; ++i) ok = w.WriteRow({u"some text", u"more"});
    EXPECT_FALSE(ok && w.Flush());
    w.Close();
    const Cells row = {u"some text", u"more"};
    TCsvSaveFile many(u"/dev/full", u"\n", 0);
    ASSERT_TRUE(many.Open(false));
    EXPECT_FALSE(many.WriteRowsOf(
        10 * TCsvSaveFile::kChunkRows, [&](size_t) -> const Cells& { return row; },
        [](size_t, int) {}));
}
#endif

} // namespace
