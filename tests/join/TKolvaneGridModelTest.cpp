#include <gtest/gtest.h>

#include <string>

#include "base/Text.h"
#include "join/TKolvaneGridModel.h"

namespace {

// Tables whose rows are addressed by index only: the model cares about indices and cells.
struct Sides {
    TCsv left, right;
    Sides(std::u16string_view l, std::u16string_view r) {
        left.SetText(l);
        right.SetText(r);
    }
    JoinedRow Row(int li, int ri) const {
        return JoinedRow(li, ri, JoinedCells(&left, li, &right, ri));
    }
};

// The visible rows as "(l,r)" from the two row-number columns (1-based, blank for none).
std::string Visible(const TKolvaneGridModel& m) {
    std::string out;
    for (int r = 1; r <= m.GetVisibleCount(); ++r)
        out += "(" + kv::Utf16ToUtf8(m.GetCellText(r, 0)) + "," +
               kv::Utf16ToUtf8(m.GetCellText(r, 1)) + ")";
    return out;
}

TEST(TKolvaneGridModel, NoBatchAtAll) {
    TKolvaneGridModel plain(false), titled(true);
    EXPECT_EQ(plain.GetRowCount(), 2);
    EXPECT_EQ(titled.GetRowCount(), 3);
    EXPECT_EQ(plain.GetColCount(), 3);
    EXPECT_EQ(plain.GetCellText(0, 0), u"左");
    EXPECT_EQ(plain.GetCellText(0, 1), u"右");
    EXPECT_EQ(plain.GetCellText(0, 2), u"");
    EXPECT_EQ(plain.GetCellText(1, 2), u"");
}

TEST(TKolvaneGridModel, Views) {
    const Sides s(u"a\nb\nc", u"x\ny\nz");
    static const struct {
        int view;
        const char* rows;
    } kCases[] = {{0, "(1,1)(2,)(,3)"}, {1, "(1,1)"},         {2, "(1,1)(2,)"},
                  {3, "(1,1)(,3)"},     {7, "(1,1)(2,)(,3)"}, {-1, "(1,1)(2,)(,3)"}};
    for (const auto& c : kCases) {
        TKolvaneGridModel m(false);
        m.SetShowType(c.view); // set before the rows arrive, as the join window does
        m.AddRows({s.Row(0, 0)});
        m.AddRows({});
        m.AddRows({s.Row(1, -1), s.Row(-1, 2)});
        EXPECT_EQ(Visible(m), c.rows) << c.view;
        // Changing the view afterwards filters the same rows.
        TKolvaneGridModel later(false);
        later.AddRows({s.Row(0, 0), s.Row(1, -1), s.Row(-1, 2)});
        later.SetShowType(c.view);
        EXPECT_EQ(Visible(later), c.rows) << c.view;
    }
}

TEST(TKolvaneGridModel, HeaderAndCells) {
    const Sides s(u"a,b\nc,d", u"x\ny");
    TKolvaneGridModel m(false);
    m.AddRows({s.Row(0, 1), s.Row(1, -1)});
    EXPECT_EQ(m.GetColCount(), 5);
    EXPECT_EQ(m.GetCellText(0, 2), u"A");
    EXPECT_EQ(m.GetCellText(0, 4), u"C");
    EXPECT_EQ(m.GetCellText(1, 2), u"a");
    EXPECT_EQ(m.GetCellText(1, 4), u"y");
    EXPECT_EQ(m.GetCellText(2, 4), u"");
    EXPECT_EQ(m.GetCellText(3, 2), u""); // beyond the visible rows
    EXPECT_EQ(m.GetRowCount(), 3);
}

TEST(TKolvaneGridModel, SortBySide) {
    const Sides s(u"a\nb\nc", u"x\ny\nz");
    TKolvaneGridModel m(false);
    m.AddRows({s.Row(0, 1), s.Row(1, 0), s.Row(2, -1), s.Row(-1, 2)});
    m.SortBySide(1);
    EXPECT_EQ(Visible(m), "(2,1)(1,2)(,3)(3,)");
    m.SortBySide(0);
    EXPECT_EQ(Visible(m), "(1,2)(2,1)(3,)(,3)");
    m.SortBySide(5); // nothing
    EXPECT_EQ(Visible(m), "(1,2)(2,1)(3,)(,3)");
    m.SetShowType(0); // a rebuild brings back the arrival order
    EXPECT_EQ(Visible(m), "(1,2)(2,1)(3,)(,3)");
    m.SortBySide(1);
    m.SetShowType(0);
    EXPECT_EQ(Visible(m), "(1,2)(2,1)(3,)(,3)");
}

TEST(TKolvaneGridModel, TitleRowStaysFirst) {
    const Sides s(u"T\nb\na", u"U\nq");
    TKolvaneGridModel m(true);
    m.AddRows({s.Row(0, 0)});
    m.AddRows({s.Row(1, -1)});
    m.AddRows({s.Row(2, 1)});
    EXPECT_EQ(m.GetFixedRowCount(), 2);
    EXPECT_EQ(Visible(m), "(1,1)(2,)(3,2)");
    m.SortByInfos({{0, 0}});
    EXPECT_EQ(m.GetCellText(1, 2), u"T");
    EXPECT_EQ(Visible(m), "(1,1)(3,2)(2,)");
    m.SortBySide(1);
    EXPECT_EQ(Visible(m), "(1,1)(3,2)(2,)");
    m.SetShowType(1); // the title row is never filtered
    EXPECT_EQ(Visible(m), "(1,1)(3,2)");
}

TEST(TKolvaneGridModel, SortByInfosThenView) {
    const Sides s(u"3\n1\n2\n0", u"1\n2\n9");
    TKolvaneGridModel m(false);
    m.AddRows({s.Row(0, -1), s.Row(1, 0), s.Row(2, 1), s.Row(3, -1), s.Row(-1, 2)});
    m.SortByInfos({{0, 1}}); // left cell descending; the row without a left part has ""
    EXPECT_EQ(Visible(m), "(1,)(3,2)(2,1)(4,)(,3)");
    m.SetShowType(1);
    EXPECT_EQ(Visible(m), "(3,2)(2,1)");
    TKolvaneGridModel empty(false);
    empty.SortByInfos({{0, 0}});
    EXPECT_EQ(empty.GetRowCount(), 2);
}

TEST(TKolvaneGridModel, HeadersStopAt16384Columns) {
    std::u16string wide;
    for (int i = 0; i < 16386; ++i) wide += u"v,";
    wide += u"last";
    const Sides s(wide, u"");
    TKolvaneGridModel m(false);
    m.AddRows({s.Row(0, -1)});
    EXPECT_EQ(m.GetColCount(), 16387 + 2);
    EXPECT_EQ(m.GetCellText(0, 16383 + 2), u"XFD");
    EXPECT_EQ(m.GetCellText(0, 16384 + 2), u"");
    EXPECT_EQ(m.GetCellText(1, 16386 + 2), u"last");
}

} // namespace
