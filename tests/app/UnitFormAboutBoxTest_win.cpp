#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "app/UnitFormAboutBox.h"
#include "ui/Application.h"

namespace {

// test_app carries the program's version information (TestApp.rc).
TEST(TFormAboutBox, ShowsTheVersionInformationOfTheProgramFile) {
    TFormAboutBox f(kv::Application);
    EXPECT_EQ(f.Caption(), u"バージョン情報");
    EXPECT_EQ(f.BorderStyle(), kv::bsDialog);
    EXPECT_EQ(f.Font().Name(), u"ＭＳ Ｐゴシック");
    EXPECT_EQ(f.Font().Height(), -12);
    EXPECT_EQ(f.ProductName->Caption(), kv::Application->Title());
    EXPECT_EQ(f.Version->Caption(), u"バージョン 1.0.0.0");
    EXPECT_EQ(f.Copyright->Caption(), u"(C) Ostrevin");
    EXPECT_EQ(f.Comments->Caption(), u"2つのCSVファイルをキー列で結合します。");
    EXPECT_TRUE(f.Comments->WordWrap());
    EXPECT_TRUE(f.ProgramIcon->HasPicture());
    EXPECT_TRUE(f.ProgramIcon->Stretch());
    EXPECT_EQ(f.ProgramIcon->Width(), 48);
    EXPECT_EQ(f.LabelUrl->Caption(), TFormAboutBox::kProductUrl);
}

TEST(TFormAboutBox, LinkOpensTheAddressWithTheDefaultVerb) {
    kvtest::TestServices services;
    TFormAboutBox f(kv::Application);
    f.LabelUrl->Click();
    ASSERT_EQ(services.shellCalls.size(), 1u);
    const kv::TShellExecuteRequest& r = services.shellCalls[0];
    EXPECT_EQ(r.parent, nullptr);
    EXPECT_TRUE(r.verb.empty());
    EXPECT_EQ(r.file, TFormAboutBox::kProductUrl);
    EXPECT_TRUE(r.parameters.empty());
    EXPECT_EQ(r.show, SW_SHOWNORMAL);
}

TEST(TFormAboutBox, CloseButtonEndsTheBox) {
    TFormAboutBox f(kv::Application);
    const kvtest::ModalWatchdog watchdog;
    const kvtest::AnswerModal<TFormAboutBox> answer([](auto& form) {
        auto* close = dynamic_cast<kv::TButton*>(form.FindComponent(u"WlFooterBtn1"));
        ASSERT_NE(close, nullptr);
        close->Click();
    });
    f.ShowModal();
    EXPECT_TRUE(answer.Answered());
    EXPECT_FALSE(watchdog.Fired());
    EXPECT_FALSE(f.Visible());
}

TEST(TFormAboutBox, Picture) {
    const std::u16string title = kv::Application->Title();
    kv::Application->SetTitle(u"Kolvane");
    TFormAboutBox f(kv::Application);
    kv::Application->SetTitle(title);
    EXPECT_TRUE(kvtest::SaveFormPicture(f, "about-box.png"));
    f.Hide();
}

} // namespace
