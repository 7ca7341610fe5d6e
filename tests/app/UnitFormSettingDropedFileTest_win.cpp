#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "app/UnitFormSettingDropedFile.h"
#include "ui/Application.h"

namespace {

TEST(TFormSettingDropedFile, ShowsThePathAndStartsOnTheLeft) {
    TFormSettingDropedFile f(kv::Application, u"C:\\データ\\顧客&一覧.csv");
    EXPECT_EQ(f.Caption(), u"CSVファイルの読み込み設定");
    EXPECT_EQ(f.BorderStyle(), kv::bsDialog);
    EXPECT_EQ(f.StaticTextFileName->Caption(), u"C:\\データ\\顧客&一覧.csv");
    EXPECT_EQ(f.RadioButtonLeft->Caption(), u"左CSVファイルに設定する(&L)");
    EXPECT_EQ(f.RadioButtonRight->Caption(), u"右CSVファイルに設定する(&R)");
    EXPECT_TRUE(f.BtnOk->Default());
    EXPECT_EQ(f.GetSide(), 0);
}

TEST(TFormSettingDropedFile, SideFollowsTheRadioButtons) {
    TFormSettingDropedFile f(kv::Application, u"a.csv");
    f.RadioButtonRight->SetChecked(true);
    EXPECT_FALSE(f.RadioButtonLeft->Checked());
    EXPECT_EQ(f.GetSide(), 1);
    f.RadioButtonRight->SetChecked(false);
    EXPECT_EQ(f.GetSide(), -1);
}

TEST(TFormSettingDropedFile, OkAndCancelEndTheDialog) {
    for (const bool ok : {true, false}) {
        TFormSettingDropedFile f(kv::Application, u"a.csv");
        const kvtest::ModalWatchdog watchdog;
        const kvtest::AnswerModal<TFormSettingDropedFile> answer([ok](auto& form) {
            form.RadioButtonRight->SetChecked(true);
            (ok ? form.BtnOk : form.BtnCancel)->Click();
        });
        EXPECT_EQ(f.ShowModal(), ok ? kv::mrOk : kv::mrCancel);
        EXPECT_EQ(f.GetSide(), 1);
    }
}

TEST(TFormSettingDropedFile, Picture) {
    TFormSettingDropedFile f(kv::Application, u"C:\\データ\\顧客一覧.csv");
    EXPECT_TRUE(kvtest::SaveFormPicture(f, "dropped-file.png"));
    f.Hide();
}

} // namespace
