#include <gtest/gtest.h>

#include <string>

#include "base/Text.h"
#include "join/TKolvane.h"

namespace {

// Every batch as "(l,r)(l,r)" between slashes, with the cells of each row after a colon,
// e.g. "/(0,0):a|x/(1,-1):b|/".
std::string RunAll(TKolvane& k, bool withCells = false) {
    std::string out = "/";
    int guard = 0;
    while (k.Next()) {
        for (const JoinedRow& row : k.GetRows()) {
            out += "(" + std::to_string(boost::get<0>(row)) + "," +
                   std::to_string(boost::get<1>(row)) + ")";
            if (withCells) {
                const JoinedCells& cells = boost::get<2>(row);
                out += ":";
                for (size_t i = 0; i < cells.size(); ++i) {
                    if (i > 0) out += "|";
                    out += kv::Utf16ToUtf8(cells[i]);
                }
            }
        }
        out += "/";
        if (++guard > 1000) break;
    }
    EXPECT_FALSE(k.Next()); // finished stays finished
    return out;
}

// Left and right tables of a case.
struct Tables {
    TCsv left, right;
    Tables(std::u16string_view l, std::u16string_view r) {
        left.SetText(l);
        right.SetText(r);
    }
};

struct JoinCase {
    const char* name;
    std::u16string_view left;
    int leftKey;
    bool leftTitle;
    std::u16string_view right;
    int rightKey;
    bool rightTitle;
    const char* batches;
};

const JoinCase kJoinCases[] = {
    {"first left row takes a key's right rows", u"k1\nk2\nk1", 0, false, u"k1\nk1\nk3", 0, false,
     "/(0,0)(0,1)/(1,-1)/(2,-1)/(-1,2)/"},
    {"both empty", u"", 0, false, u"", 0, false, "//"},
    {"left empty: right rows as leftovers", u"", 0, false, u"a\nb\nc", 0, false,
     "/(-1,0)(-1,1)(-1,2)/"},
    {"left empty but titled: no title row", u"", 0, true, u"a\nb", 0, false, "/(-1,0)(-1,1)/"},
    {"right empty", u"a\nb", 0, false, u"", 0, false, "/(0,-1)/(1,-1)//"},
    {"both titled", u"t\na\nb", 0, true, u"T\nb\nz", 0, true, "/(0,0)/(1,-1)/(2,1)/(-1,2)/"},
    {"only right titled", u"a", 0, false, u"T\na", 0, true, "/(-1,0)/(0,1)//"},
    {"case and trailing blanks differ", u"Key\nkey \n", 0, false, u"key\nkey", 0, false,
     "/(0,-1)/(1,-1)/(-1,0)(-1,1)/"},
    {"empty keys match", u"x,\ny,a", 1, false, u",1\nb,2", 0, false, "/(0,0)/(1,-1)/(-1,1)/"},
    {"left key -1: all unmatched, right rows left over", u"a\nb", -1, false, u"a\nb", 0, false,
     "/(0,-1)/(1,-1)/(-1,0)(-1,1)/"},
    {"left key beyond the columns", u"a\nb", 1, false, u"a", 0, false, "/(0,-1)/(1,-1)/(-1,0)/"},
    {"right key beyond the columns: no right rows", u"a\nb", 0, false, u"a\nb", 3, false,
     "/(0,-1)/(1,-1)//"},
    {"leftovers in file order whatever the key", u"m", 0, false, u"z\nm\na\nz", 0, false,
     "/(0,1)/(-1,0)(-1,2)(-1,3)/"},
};

TEST(TKolvaneJoin, BatchSequences) {
    for (const auto& c : kJoinCases) {
        const Tables t(c.left, c.right);
        TKolvane k(&t.left, c.leftKey, c.leftTitle, &t.right, c.rightKey, c.rightTitle);
        EXPECT_EQ(RunAll(k), c.batches) << c.name;
    }
}

TEST(TKolvaneJoin, CellsAreLeftThenRightWithEmptyMissingSide) {
    const Tables t(u"id,name\n1,a\n2,b", u"id,v\n2,x\n3,y");
    TKolvane k(&t.left, 0, true, &t.right, 0, true);
    EXPECT_EQ(k.GetMax(), 4);
    EXPECT_TRUE(k.HasTitleRow());
    EXPECT_EQ(RunAll(k, true), "/(0,0):id|name|id|v/(1,-1):1|a||/(2,1):2|b|2|x/(-1,2):||3|y/");
    EXPECT_EQ(k.GetPosition(), 5);
}

TEST(TKolvaneJoin, TitleRowOnlyWhenATitledSideHasRows) {
    const Tables t(u"", u"a");
    EXPECT_FALSE(TKolvane(&t.left, 0, true, &t.right, 0, false).HasTitleRow());
    EXPECT_TRUE(TKolvane(&t.left, 0, true, &t.right, 0, true).HasTitleRow());
    EXPECT_FALSE(TKolvane(&t.right, 0, false, &t.right, 0, false).HasTitleRow());
}

TEST(TKolvaneJoin, ManyDuplicateKeysStayInFileOrder) {
    std::u16string l, r;
    for (int i = 0; i < 2000; ++i) {
        l += kv::IntToStr(i % 500) + u"\n";
        r += kv::IntToStr(i % 700) + u"\n";
    }
    const Tables t(l, r);
    const TCsv& left = t.left;
    const TCsv& right = t.right;
    TKolvane k(&left, 0, false, &right, 0, false);
    std::vector<int> seenRight(2000, 0);
    int lastLeft = -1, leftovers = 0, prevLeftover = -1;
    while (k.Next()) {
        int prevRight = -1;
        for (const JoinedRow& row : k.CurrentRows()) {
            const int li = boost::get<0>(row), ri = boost::get<1>(row);
            if (ri >= 0) ++seenRight[ri];
            if (li >= 0) {
                EXPECT_GE(li, lastLeft);
                lastLeft = li;
                if (ri >= 0) {
                    EXPECT_GT(ri, prevRight); // a key's right rows ascend
                    prevRight = ri;
                    EXPECT_EQ(left.GetCell(li, 0), right.GetCell(ri, 0));
                    EXPECT_LT(li, 500); // only the first left row with a key is matched
                }
            } else {
                EXPECT_GT(ri, prevLeftover);
                prevLeftover = ri;
                ++leftovers;
            }
        }
    }
    EXPECT_EQ(lastLeft, 1999);
    for (int j = 0; j < 2000; ++j) ASSERT_EQ(seenRight[j], 1) << j; // every right row once
    EXPECT_GT(leftovers, 0);
}

} // namespace
