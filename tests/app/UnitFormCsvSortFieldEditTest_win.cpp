#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DialogTestSupport.h"
#include "app/MainFormDialogs.h"
#include "app/UnitFormCsvSortFieldEdit.h"
#include "app/UnitFormCsvSortFieldSelect.h"
#include "ui/Application.h"

namespace {

using Infos = std::vector<TCsvSorter::TSortInfo>;

std::vector<std::u16string> KeyTexts(const TFormCsvSortFieldEdit& f) {
    std::vector<std::u16string> texts;
    for (const auto* t : f.KeyTexts) texts.push_back(t->Caption());
    return texts;
}

TEST(TFormCsvSortFieldEdit, FormAndRows) {
    TFormCsvSortFieldEdit f(kv::Application, {}, {});
    EXPECT_EQ(f.Caption(), u"並び替え設定");
    EXPECT_EQ(f.BorderStyle(), kv::bsDialog);
    EXPECT_EQ(f.CheckBoxSort->Caption(), u"CSVを並び替える");
    EXPECT_FALSE(f.CheckBoxSort->Checked());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(f.KeyButtons[i]->Tag(), i);
        EXPECT_EQ(f.KeyButtons[i]->Caption(), u"...");
        EXPECT_FALSE(f.KeyButtons[i]->Enabled());
        EXPECT_FALSE(f.OrderBoxes[i]->Enabled());
        EXPECT_EQ(f.OrderBoxes[i]->Items().Strings(),
                  (std::vector<std::u16string>{u"昇順", u"降順"}));
        EXPECT_EQ(f.OrderBoxes[i]->ItemIndex(), 0);
    }
    EXPECT_EQ(f.KeyButtons[1]->Hint(), u"並べ替えの2番目のキーとなる列を選択します。");
    EXPECT_TRUE(f.StatusBar1->AutoHint());
    EXPECT_TRUE(f.BtnOk->Default());
    EXPECT_TRUE(f.BtnCancel->Cancel());
    EXPECT_EQ(f.BtnHelp->HelpContext(), 28);
    EXPECT_EQ(KeyTexts(f), (std::vector<std::u16string>{u"(なし)", u"(なし)", u"(なし)"}));
    EXPECT_TRUE(f.GetSortInfos().empty());
}

TEST(TFormCsvSortFieldEdit, ConditionsGoBackAsTheyCame) {
    static const struct {
        const char* name;
        Infos in, out;
        std::vector<std::u16string> texts;
    } kCases[] = {
        {"one descending", {{4, 1}}, {{4, 1}}, {u"E列", u"(なし)", u"(なし)"}},
        {"three", {{0, 0}, {27, 1}, {2, 0}}, {{0, 0}, {27, 1}, {2, 0}}, {u"A列", u"AB列", u"C列"}},
        {"an inert direction has no selection",
         {{1, 5}},
         {{1, -1}},
         {u"B列", u"(なし)", u"(なし)"}},
        {"a row without key is skipped",
         {{-1, 0}, {5, 1}},
         {{5, 1}},
         {u"(なし)", u"F列", u"(なし)"}},
        {"conditions after the third are kept",
         {{0, 0}, {1, 1}, {2, 0}, {3, 1}, {9, 0}},
         {{0, 0}, {1, 1}, {2, 0}, {3, 1}, {9, 0}},
         {u"A列", u"B列", u"C列"}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        TFormCsvSortFieldEdit f(kv::Application, c.in, {});
        EXPECT_TRUE(f.CheckBoxSort->Checked());
        EXPECT_TRUE(f.KeyButtons[0]->Enabled());
        EXPECT_TRUE(f.OrderBoxes[2]->Enabled());
        EXPECT_EQ(KeyTexts(f), c.texts);
        EXPECT_EQ(f.GetSortInfos(), c.out);
    }
}

TEST(TFormCsvSortFieldEdit, UncheckingGivesNoConditionsWhateverTheRowsShow) {
    TFormCsvSortFieldEdit f(kv::Application, {{4, 1}, {0, 0}, {1, 0}, {2, 1}}, {});
    f.CheckBoxSort->SetChecked(false); // fires the click handler
    EXPECT_FALSE(f.KeyButtons[0]->Enabled());
    EXPECT_FALSE(f.OrderBoxes[0]->Enabled());
    EXPECT_EQ(KeyTexts(f)[0], u"E列");
    EXPECT_TRUE(f.GetSortInfos().empty());
}

TEST(TFormCsvSortFieldEdit, KeyButtonPicksTheRowsColumnFromTheList) {
    const std::vector<std::u16string> captions{u"id", u"name", u"id", u"tel"};
    TFormCsvSortFieldEdit f(kv::Application, {{0, 0}, {1, 1}, {2, 0}, {7, 1}}, captions);
    const kvtest::ModalWatchdog watchdog;
    int preselected = -2;
    std::vector<std::u16string> listed;
    {
        const kvtest::AnswerModal<TFormCsvSortFieldSelect> answer([&](auto& select) {
            preselected = select.GetSelectedColumn();
            listed = select.ColumnNames;
            select.ListViewKey->SetItemIndex(4); // column D
            select.SetModalResult(kv::mrOk);
        });
        f.KeyButtons[1]->Click();
        EXPECT_TRUE(answer.Answered());
    }
    EXPECT_EQ(preselected, 1);
    EXPECT_EQ(listed, captions);
    EXPECT_EQ(KeyTexts(f)[1], u"D列");
    EXPECT_EQ(f.GetSortInfos(), (Infos{{0, 0}, {3, 1}, {2, 0}, {7, 1}}));
    {
        const kvtest::AnswerModal<TFormCsvSortFieldSelect> answer([](auto& select) {
            select.ListViewKey->SetItemIndex(0);
            select.SetModalResult(kv::mrCancel);
        });
        f.KeyButtons[1]->Click();
    }
    EXPECT_EQ(KeyTexts(f)[1], u"D列"); // cancelled: unchanged
    {
        const kvtest::AnswerModal<TFormCsvSortFieldSelect> answer([](auto& select) {
            select.ListViewKey->SetItemIndex(0); // "(なし)"
            select.SetModalResult(kv::mrOk);
        });
        f.KeyButtons[0]->Click();
    }
    EXPECT_EQ(KeyTexts(f)[0], u"(なし)");
    EXPECT_EQ(f.GetSortInfos(), (Infos{{3, 1}, {2, 0}, {7, 1}}));
    EXPECT_FALSE(watchdog.Fired());
    f.BtnSortKeySelect1Click(nullptr); // a sender that is no control does nothing
}

TEST(TFormCsvSortFieldEdit, HelpContextOfTheDialogAndItsButton) {
    kvtest::TestServices services;
    TFormCsvSortFieldEdit f(kv::Application, {}, {});
    f.BtnHelp->Click();
    f.SetDialogHelpContext(15);
    EXPECT_EQ(f.HelpContext(), 15);
    EXPECT_EQ(f.BtnHelp->HelpContext(), 15);
    f.BtnHelp->Click();
    ASSERT_EQ(services.helpCalls.size(), 2u);
    EXPECT_EQ(services.helpCalls[0].context, 28);
    EXPECT_EQ(services.helpCalls[1].context, 15);
    EXPECT_EQ(f.ModalResult(), kv::mrNone); // Help does not end the dialog
}

// The program's sort-condition dialog: OK hands back the edited conditions, Cancel leaves them.
TEST(TFormCsvSortFieldEdit, OkKeepsAndCancelDiscardsTheConditions) {
    for (const bool ok : {true, false}) {
        Infos infos{{4, 1}};
        const kvtest::ModalWatchdog watchdog;
        const kvtest::AnswerModal<TFormCsvSortFieldEdit> answer([ok](auto& form) {
            form.OrderBoxes[0]->SetItemIndex(0); // descending becomes ascending
            (ok ? form.BtnOk : form.BtnCancel)->Click();
        });
        EXPECT_EQ(DefaultMainFormDialogs().EditSortInfos(kv::Application, infos, {}, 28), ok);
        EXPECT_TRUE(answer.Answered()) << ok;
        EXPECT_FALSE(watchdog.Fired()) << ok;
        EXPECT_EQ(infos, ok ? (Infos{{4, 0}}) : (Infos{{4, 1}})) << ok;
    }
}

TEST(TFormCsvSortFieldEdit, Picture) {
    TFormCsvSortFieldEdit f(kv::Application, {{1, 0}, {4, 1}}, {});
    EXPECT_TRUE(kvtest::SaveFormPicture(f, "sort-conditions.png"));
    f.Hide();
}

} // namespace
