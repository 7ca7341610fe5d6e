#include <gtest/gtest.h>

#include "base/Text.h"
#include "csv/TCsvSorter.h"
#include "csv/TCsvUtility.h"

namespace {

using Info = TCsvSorter::TSortInfo;
using Row = std::vector<std::u16string>;

TEST(TCsvSorterCompare, Conditions) {
    static const struct {
        const char* name;
        std::vector<Info> infos;
        Row a, b;
        bool less;
    } kCases[] = {
        {"second column decides", {{1, 0}}, {u"x", u"b"}, {u"y", u"a"}, false},
        {"swapped", {{1, 0}}, {u"y", u"a"}, {u"x", u"b"}, true},
        {"descending", {{1, 1}}, {u"x", u"b"}, {u"y", u"a"}, true},
        {"order 2 is inert", {{1, 2}}, {u"y", u"a"}, {u"x", u"b"}, false},
        {"order -1 is inert", {{1, -1}, {0, 0}}, {u"x", u"b"}, {u"y", u"a"}, true},
        {"column beyond both rows", {{5, 0}, {0, 1}}, {u"a", u"", u""}, {u"b", u"", u""}, false},
        {"negative column", {{-1, 0}}, {u"a"}, {u"b"}, false},
        {"only a has the column", {{1, 0}}, {u"a", u"z"}, {u"a"}, true},
        {"only b has the column", {{1, 0}}, {u"a"}, {u"a", u"z"}, false},
        {"code unit order, case-sensitive", {{0, 0}}, {u"B"}, {u"a"}, true},
        {"text order, not numeric", {{0, 0}}, {u"10"}, {u"9"}, true},
        {"prefix first", {{0, 0}}, {u"ab"}, {u"abc"}, true},
        {"equal cells fall through", {{0, 0}, {1, 1}}, {u"k", u"1"}, {u"k", u"2"}, false},
        {"no conditions", {}, {u"a"}, {u"b"}, false},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(TCsvSorter::Compare(c.infos, c.a, c.b), c.less) << c.name;
}

TEST(TCsvSorterCommaText, Reading) {
    static const struct {
        const char* name;
        std::u16string_view text;
        std::vector<Info> infos;
    } kCases[] = {
        {"odd item ignored", u"3,0,1", {{3, 0}}},
        {"bad number reads 0", u"a,1", {{0, 1}}},
        {"empty", u"", {}},
        {"blank separates", u"3 1", {{3, 1}}},
        {"blanks around items", u"  2 , 1 ,4,0", {{2, 1}, {4, 0}}},
        {"quoted items", u"\"7\",\"1\"", {{7, 1}}},
        {"comma at the end adds an empty item", u"5,", {{5, 0}}},
        {"negative", u"-1,1", {{-1, 1}}},
    };
    for (const auto& c : kCases) EXPECT_EQ(TCsvSorter::FromCommaText(c.text), c.infos) << c.name;
}

TEST(TCsvSorterCommaText, WritingRoundTrips) {
    EXPECT_EQ(TCsvSorter::ToCommaText({}), u"");
    const std::vector<Info> infos{{3, 0}, {0, 1}, {12, 2}};
    EXPECT_EQ(TCsvSorter::ToCommaText({{3, 0}, {0, 1}}), u"3,0,0,1");
    EXPECT_EQ(TCsvSorter::FromCommaText(TCsvSorter::ToCommaText(infos)), infos);
}

TEST(TCsvUtilityColumns, Letters) {
    static constexpr struct {
        int index;
        std::u16string_view letters;
    } kCases[] = {{0, u"A"},       {25, u"Z"},  {26, u"AA"},  {27, u"AB"},
                  {51, u"AZ"},     {52, u"BA"}, {701, u"ZZ"}, {702, u"AAA"},
                  {16383, u"XFD"}, {-1, u""},   {16384, u""}};
    for (const auto& c : kCases) {
        EXPECT_EQ(TCsvUtility::ColumnLetters(c.index), c.letters) << c.index;
        EXPECT_EQ(TCsvUtility::ColumnName(c.index), c.letters) << c.index;
    }
}

TEST(TCsvUtilityColumns, NameLists) {
    EXPECT_EQ(TCsvUtility::MakeColumnNames(3, u"", u"列"),
              (std::vector<std::u16string>{u"A列", u"B列", u"C列"}));
    const auto many = TCsvUtility::MakeColumnNames(20000, u"", u"");
    ASSERT_EQ(many.size(), 16384u);
    EXPECT_EQ(many.back(), u"XFD");
    EXPECT_TRUE(TCsvUtility::MakeColumnNames(0, u"", u"").empty());
    EXPECT_TRUE(TCsvUtility::MakeColumnNames(-5, u"p", u"s").empty());
    EXPECT_EQ(TCsvUtility::MakeColumnNames(2, u"<", u">")[1], u"<B>");
}

} // namespace
