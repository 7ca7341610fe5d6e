#include <gtest/gtest.h>

#include <memory>

#include "TestFiles.h"
#include "base/Stream.h"
#include "join/ResultSave.h"

namespace {

// Runs the whole join into a model, as the join window does.
struct Joined {
    TCsv left, right;
    std::unique_ptr<TKolvaneGridModel> model;
    Joined(std::u16string_view l, bool lt, std::u16string_view r, bool rt, int view = 0) {
        left.SetText(l);
        right.SetText(r);
        TKolvane k(&left, 0, lt, &right, 0, rt);
        model = std::make_unique<TKolvaneGridModel>(k.HasTitleRow());
        model->SetShowType(view);
        while (k.Next()) model->AddRows(k.CurrentRows());
    }
};

TEST(ResultSave, WritesVisibleRowsWithTitleAndBom) {
    const Joined j(u"id,n\n1,a\n2,\"b,c\"", true, u"id,v\n2,x\n3,y", true, 1);
    kvtest::TempFile f("result_new.csv");
    ASSERT_EQ(SaveResultRows(*j.model, f.Path(), true, SaveCodePage(1)), TResultSaveStatus::Saved);
    EXPECT_EQ(f.Read(), "\xEF\xBB\xBFid,n,id,v\r\n2,\"b,c\",2,x\r\n");
}

TEST(ResultSave, AnsiOutputInSideOrder) {
    const Joined j(u"k,名\n2,い\n1,あ", false, u"1,x", false);
    j.model->SortBySide(0);
    kvtest::TempFile f("result_ansi.csv");
    ASSERT_EQ(SaveResultRows(*j.model, f.Path(), true, SaveCodePage(0)), TResultSaveStatus::Saved);
    EXPECT_EQ(f.Read(), "k,\x96\xBC,,\r\n2,\x82\xA2,,\r\n1,\x82\xA0,1,x\r\n");
}

TEST(ResultSave, AppendSkipsTitleOnlyWhenTheFileHeldData) {
    const Joined j(u"id\n1", true, u"id\n1", true);
    kvtest::TempFile f("result_append.csv");
    f.Write("");
    ASSERT_EQ(SaveResultRows(*j.model, f.Path(), false, 0), TResultSaveStatus::Saved);
    EXPECT_EQ(f.Read(), "id,id\r\n1,1\r\n"); // an empty file gets the title
    ASSERT_EQ(SaveResultRows(*j.model, f.Path(), false, 0), TResultSaveStatus::Saved);
    EXPECT_EQ(f.Read(), "id,id\r\n1,1\r\n1,1\r\n");
}

TEST(ResultSave, NoDataRowWritesOnlyTheTitle) {
    const Joined titled(u"id,n", true, u"", false);
    kvtest::TempFile f("result_title_only.csv");
    ASSERT_EQ(SaveResultRows(*titled.model, f.Path(), true, 0), TResultSaveStatus::Saved);
    EXPECT_EQ(f.Read(), "id,n\r\n");

    const Joined nothing(u"", false, u"", false);
    ASSERT_EQ(SaveResultRows(*nothing.model, f.Path(), true, 0), TResultSaveStatus::Saved);
    EXPECT_EQ(f.Read(), "");
}

TEST(ResultSave, TitledSideWithoutRowsTakesNoDataRowAsTitle) {
    // The left side is flagged as titled but empty: the right rows are all data.
    const Joined j(u"", true, u"a\nb", false);
    EXPECT_EQ(j.model->GetFixedRowCount(), 1);
    kvtest::TempFile f("result_no_title.csv");
    f.Write("old\r\n");
    ASSERT_EQ(SaveResultRows(*j.model, f.Path(), false, 0), TResultSaveStatus::Saved);
    EXPECT_EQ(f.Read(), "old\r\na\r\nb\r\n"); // the empty left side has no columns
}

TEST(ResultSave, UnopenableFileIsReported) {
    const Joined j(u"a", false, u"a", false);
    kvtest::TempFile f("result_locked.csv");
    f.Write("x");
    kv::TFileStream holder(f.Path());
    EXPECT_EQ(SaveResultRows(*j.model, f.Path(), true, 0), TResultSaveStatus::OpenFailed);
}

} // namespace
