#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DialogTestSupport.h"
#include "app/UnitFormCsvSortFieldSelect.h"
#include "base/Text.h"
#include "ui/Application.h"

namespace {

struct Row {
    std::u16string no, letters, caption;
    bool operator==(const Row&) const = default;
};

Row RowOf(TFormCsvSortFieldSelect& f, int index) {
    const kv::TListItem item = f.ListViewKey->GetItem(index);
    EXPECT_EQ(item.subItems.size(), 2u);
    return {item.caption, item.subItems.at(0), item.subItems.at(1)};
}

TEST(TFormCsvSortFieldSelect, FormAndColumns) {
    TFormCsvSortFieldSelect f(kv::Application, {});
    EXPECT_EQ(f.Caption(), u"並び替え条件の列の選択");
    EXPECT_EQ(f.BorderStyle(), kv::bsDialog);
    EXPECT_EQ(f.Label1->Caption(), u"CSVデータを並び替えるキーとなる列を選択してください。");
    kv::TListView& l = *f.ListViewKey;
    EXPECT_TRUE(l.OwnerData());
    EXPECT_TRUE(l.ReadOnly());
    EXPECT_TRUE(l.RowSelect());
    EXPECT_FALSE(l.HideSelection());
    EXPECT_FALSE(l.ColumnClick());
    ASSERT_EQ(l.ColumnCount(), 3);
    EXPECT_EQ(l.Column(0).caption, u"No.");
    EXPECT_EQ(l.Column(0).width, 35);
    EXPECT_EQ(l.Column(1).caption, u"CSVファイルの列");
    EXPECT_EQ(l.Column(1).width, 95);
    EXPECT_EQ(l.Column(1).alignment, kv::taCenter);
    EXPECT_EQ(l.Column(2).caption, u"フィールド名");
    EXPECT_EQ(l.Column(2).width, 170);
}

TEST(TFormCsvSortFieldSelect, WithoutCaptionsEveryLetteredColumnIsListed) {
    TFormCsvSortFieldSelect f(kv::Application, {});
    EXPECT_EQ(f.ListViewKey->ItemCount(), 16385);
    EXPECT_EQ(RowOf(f, 0), (Row{u"", u"(なし)", u""}));
    EXPECT_EQ(RowOf(f, 1), (Row{u"1", u"A列", u""}));
    EXPECT_EQ(RowOf(f, 27), (Row{u"27", u"AA列", u""}));
    EXPECT_EQ(RowOf(f, 16384), (Row{u"16384", u"XFD列", u""}));
}

TEST(TFormCsvSortFieldSelect, CaptionsNameTheirColumns) {
    TFormCsvSortFieldSelect f(kv::Application, {u"id", u"氏名"});
    EXPECT_EQ(f.NameCount, 2);
    EXPECT_EQ(f.ListViewKey->ItemCount(), 3);
    EXPECT_EQ(RowOf(f, 1), (Row{u"1", u"A列", u"id"}));
    EXPECT_EQ(RowOf(f, 2), (Row{u"2", u"B列", u"氏名"}));
}

TEST(TFormCsvSortFieldSelect, PreselectionRules) {
    const std::vector<std::u16string> ten(10, u"x");
    static const struct {
        const char* name;
        bool captions;
        int column, item, selected;
    } kCases[] = {
        {"a captioned column", true, 3, 4, 3},
        {"none", true, -1, 0, -1},
        {"past the captions", true, 9999, 0, -1},
        {"below none", true, -5, 0, -1},
        {"the last lettered column", false, 16383, 16384, 16383},
        {"past the letters", false, 16384, 0, -1},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        TFormCsvSortFieldSelect f(kv::Application,
                                  c.captions ? ten : std::vector<std::u16string>{});
        f.Show();
        f.SelectColumn(c.column);
        EXPECT_EQ(f.ListViewKey->ItemIndex(), c.item);
        EXPECT_EQ(f.GetSelectedColumn(), c.selected);
        if (c.item > 100) EXPECT_GT(f.ListViewKey->TopIndex(), 100); // scrolled into view
        f.Hide();
    }
    TFormCsvSortFieldSelect f(kv::Application, ten);
    f.ListViewKey->SetItemIndex(-1);
    EXPECT_EQ(f.GetSelectedColumn(), -1); // nothing selected
}

TEST(TFormCsvSortFieldSelect, OkAndCancelEndTheDialog) {
    for (const bool ok : {true, false}) {
        TFormCsvSortFieldSelect f(kv::Application, {u"a", u"b"});
        f.SelectColumn(0);
        const kvtest::ModalWatchdog watchdog;
        const kvtest::AnswerModal<TFormCsvSortFieldSelect> answer([ok](auto& form) {
            form.ListViewKey->SetItemIndex(2);
            auto* button = dynamic_cast<kv::TButton*>(
                form.FindComponent(ok ? u"WlFooterBtn2" : u"WlFooterBtn3"));
            ASSERT_NE(button, nullptr);
            button->Click();
        });
        EXPECT_EQ(f.ShowModal(), ok ? kv::mrOk : kv::mrCancel);
        EXPECT_TRUE(answer.Answered());
        EXPECT_EQ(f.GetSelectedColumn(), 1);
    }
}

TEST(TFormCsvSortFieldSelect, Picture) {
    TFormCsvSortFieldSelect f(kv::Application,
                              {u"顧客番号", u"氏名", u"住所", u"顧客番号", u"電話"});
    f.SelectColumn(1);
    EXPECT_TRUE(kvtest::SaveFormPicture(f, "sort-column-select.png"));
    f.Hide();
}

} // namespace
