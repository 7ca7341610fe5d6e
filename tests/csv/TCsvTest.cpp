#include <gtest/gtest.h>

#include "TestFiles.h"
#include "base/MessagePump.h"
#include "base/Stream.h"
#include "base/Text.h"
#include "csv/TCsv.h"

namespace {

// Rows in brackets, cells separated by a middle dot; "" for an empty table.
std::string Render(const TCsv& t) {
    std::u16string s;
    for (int r = 0; r < t.GetRowCount(); ++r) {
        s += u"[";
        for (int c = 0; c < t.GetColCount(); ++c) {
            if (c > 0) s += u"·";
            s += t.GetCell(r, c);
        }
        s += u"]";
    }
    return kv::Utf16ToUtf8(s);
}

struct ParseCase {
    const char* name;
    std::u16string_view text;
    const char* rows;
    int cols;
};

// Q stands for the quote character in the names.
const ParseCase kParseCases[] = {
    {"crlf line end, short row squared", u"a,b\r\nc", "[a·b][c·]", 2},
    {"empty line is a row of one empty cell", u"a\n\nb", "[a][][b]", 1},
    {"trailing commas make no column", u"a,b,\nc,d,\n", "[a·b][c·d]", 2},
    {"doubled quote", u"\"a\"\"b\",c", "[a\"b·c]", 2},
    {"text after closing quote", u"\"x\"y", "[xy]", 1},
    {"quote after closing reopens", u"\"x\"z\"y\"", "[xz\"y]", 1},
    {"empty quoted field alone", u"\"\"", "", 0},
    {"empty quoted field then x", u"\"\",x", "[·x]", 2},
    {"crlf inside quotes keeps lf", u"\"line1\r\nline2\",z", "[line1\nline2·z]", 2},
    {"vertical tab ends the row", u"a\vb", "[a][b]", 1},
    {"vertical tab inside quotes is lf", u"\"a\vb\"", "[a\nb]", 1},
    {"quote inside unquoted field", u"ab\"c", "[ab\"c]", 1},
    {"unclosed quote runs to the end", u"\"abc\nd,e", "[abc\nd,e]", 1},
    {"empty text", u"", "", 0},
    {"line ends only", u"\r\n\n\r\n", "", 0},
    {"nul before comma", std::u16string_view(u"\0,x", 3), "[·x]", 2},
    {"controls and U+0080 removed",
     u"\f\x7f\x80"
     u"a\x01",
     "[a]", 1},
    {"nbsp and ideographic space kept", u"\u00A0,\u3000", "[\u00A0·\u3000]", 2},
    {"skipped unit keeps the field start", u"\x01\"a,b\"", "[a,b]", 1},
    {"tab is data", u"a\tb,c", "[a\tb·c]", 2},
    {"rows of separators before data", u",,\n\"\"\nx", "[][][x]", 1},
    {"wide row pads others", u"a\nb,c,d\ne", "[a··][b·c·d][e··]", 3},
};

TEST(TCsvParse, TokenizerCases) {
    for (const auto& c : kParseCases) {
        TCsv t;
        ASSERT_TRUE(t.SetText(c.text)) << c.name;
        EXPECT_EQ(Render(t), c.rows) << c.name;
        EXPECT_EQ(t.GetColCount(), c.cols) << c.name;
        EXPECT_EQ(t.IsEmpty(), c.cols == 0) << c.name;
    }
}

TEST(TCsvParse, SecondSetTextIsRefused) {
    TCsv t;
    ASSERT_TRUE(t.SetText(u"a,b"));
    EXPECT_FALSE(t.SetText(u"x,y,z"));
    EXPECT_EQ(Render(t), "[a·b]");
}

TEST(TCsvParse, CellsOutsideTheTableAreEmpty) {
    TCsv t;
    ASSERT_TRUE(t.SetText(u"a,b\nc"));
    EXPECT_EQ(t.GetCell(-1, 0), u"");
    EXPECT_EQ(t.GetCell(0, -1), u"");
    EXPECT_EQ(t.GetCell(0, t.GetColCount()), u"");
    EXPECT_EQ(t.GetCell(t.GetRowCount(), 0), u"");
    EXPECT_EQ(t.GetRow(1), (std::vector<std::u16string>{u"c", u""}));
}

TEST(TCsvParse, PumpsOncePerUnitOfAQuotedField) {
    static int pumps;
    pumps = 0;
    kv::SetMessagePump([](void*) { ++pumps; }, nullptr);
    TCsv t;
    // Quoted: opening quote, b, c, CR skipped (no pump), d, closing quote, the ending comma.
    ASSERT_TRUE(t.SetText(u"a,\"bc\rd\",e\nf"));
    kv::SetMessagePump(nullptr, nullptr);
    EXPECT_EQ(pumps, 6);
    EXPECT_EQ(Render(t), "[a·bcd·e][f··]");
}

TEST(TCsvParse, ManyCellsPerUnitOutgrowTheFirstReservation) {
    std::u16string text;
    for (int r = 0; r < 50000; ++r) text += u"a,b,,d\n";
    TCsv t;
    ASSERT_TRUE(t.SetText(text));
    EXPECT_EQ(t.GetRowCount(), 50000);
    EXPECT_EQ(t.GetColCount(), 4);
    EXPECT_EQ(t.GetCell(49999, 3), u"d");
    EXPECT_EQ(t.GetCell(25000, 2), u"");
    t.Clear();
    EXPECT_TRUE(t.IsEmpty());
}

TEST(TCsvLoad, LoadsUtf8FileWithBom) {
    kvtest::TempFile f("load_utf8.csv");
    f.Write("\xEF\xBB\xBFkey,\xE5\x90\x8D\xE5\x89\x8D\r\n1,\"a,b\"\r\n");
    TCsv t;
    ASSERT_TRUE(t.LoadFromFile(f.Path()));
    EXPECT_EQ(Render(t), "[key·名前][1·a,b]");
}

TEST(TCsvLoad, EmptyFileLoadsAsEmptyTable) {
    kvtest::TempFile f("load_empty.csv");
    f.Write("");
    TCsv t;
    EXPECT_TRUE(t.LoadFromFile(f.Path()));
    EXPECT_TRUE(t.IsEmpty());
}

TEST(TCsvLoad, MissingOrLockedFileGivesFalse) {
    kvtest::TempFile f("load_locked.csv");
    TCsv missing;
    EXPECT_FALSE(missing.LoadFromFile(f.Path()));
    EXPECT_TRUE(missing.IsEmpty());

    f.Write("a,b\n");
    {
        kv::TFileStream holder(f.Path()); // another open handle, as another process would hold
        TCsv locked;
        EXPECT_FALSE(locked.LoadFromFile(f.Path()));
        EXPECT_TRUE(locked.IsEmpty());
    }
    TCsv free;
    EXPECT_TRUE(free.LoadFromFile(f.Path()));
    EXPECT_EQ(Render(free), "[a·b]");
}

} // namespace
