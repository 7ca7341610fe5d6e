#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "base/Text.h"
#include "ui/Application.h"
#include "ui/Forms.h"
#include "ui/ImgList.h"
#include "ui/StdCtrls.h"

namespace {

TEST(ComboBox, AnIndexSetByCodeFiresNoEventAndOutOfRangeLeavesNoSelection) {
    kvtest::ShownForm s;
    auto* combo = s.Add<kv::TComboBox>();
    combo->SetStyle(kv::csDropDownList);
    for (const char16_t* item : {u"A列", u"B列", u"C列"}) combo->Items().Add(item);
    int events = 0;
    combo->OnClick = [&](kv::TObject*) { ++events; };
    combo->OnChange = [&](kv::TObject*) { ++events; };
    combo->SetItemIndex(1);
    EXPECT_EQ(combo->ItemIndex(), 1);
    EXPECT_EQ(combo->Text(), u"B列");
    combo->SetItemIndex(3);
    EXPECT_EQ(combo->ItemIndex(), -1);
    combo->SetItemIndex(-5);
    EXPECT_EQ(combo->ItemIndex(), -1);
    EXPECT_EQ(events, 0);
}

TEST(ComboBox, ASelectionByTheUserFiresClickThenChange) {
    kvtest::ShownForm s;
    auto* combo = s.Add<kv::TComboBox>();
    combo->SetStyle(kv::csDropDownList);
    combo->Items().Assign({u"x", u"y"});
    std::vector<std::string> events;
    combo->OnClick = [&](kv::TObject*) { events.push_back("click"); };
    combo->OnChange = [&](kv::TObject*) { events.push_back("change"); };
    // What the list does when the user picks an item.
    SendMessageW(combo->Handle(), CB_SETCURSEL, 1, 0);
    SendMessageW(s.form.Handle(), WM_COMMAND,
                 MAKEWPARAM(GetDlgCtrlID(combo->Handle()), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo->Handle()));
    EXPECT_EQ(events, (std::vector<std::string>{"click", "change"}));
    EXPECT_EQ(combo->ItemIndex(), 1);
}

TEST(CheckBox, AStateChangeByCodeFiresItsClick) {
    kvtest::ShownForm s;
    auto* box = s.Add<kv::TCheckBox>();
    int clicks = 0;
    box->OnClick = [&](kv::TObject*) { ++clicks; };
    box->SetChecked(true);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(SendMessageW(box->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
    box->SetChecked(true); // unchanged: nothing
    EXPECT_EQ(clicks, 1);
    SendMessageW(box->Handle(), BM_CLICK, 0, 0); // the user
    EXPECT_FALSE(box->Checked());
    EXPECT_EQ(clicks, 2);
}

TEST(RadioButton, CheckingOneUnchecksItsSiblings) {
    kvtest::ShownForm s;
    auto* a = s.Add<kv::TRadioButton>();
    auto* b = s.Add<kv::TRadioButton>();
    a->SetChecked(true);
    SendMessageW(b->Handle(), BM_CLICK, 0, 0);
    EXPECT_TRUE(b->Checked());
    EXPECT_FALSE(a->Checked());
}

TEST(Label, ItsMnemonicFocusesItsControl) {
    kvtest::ShownForm s;
    auto* edit = s.Add<kv::TEdit>();
    auto* label = s.Add<kv::TLabel>();
    label->SetCaption(u"CSVファイル(&F)");
    label->SetFocusControl(edit);
    auto* button = s.Add<kv::TButton>();
    button->SetFocus();
    ASSERT_TRUE(button->Focused());
    PostMessageW(button->Handle(), WM_SYSCHAR, u'f', 0);
    kvtest::PumpPending();
    EXPECT_TRUE(edit->Focused());
}

TEST(ButtonedEdit, TheRightButtonRunsItsEvent) {
    kvtest::ShownForm s;
    auto* edit = s.Add<kv::TButtonedEdit>();
    edit->SetWidth(200);
    edit->SetRightButtonVisible(true);
    int clicks = 0;
    edit->OnRightButtonClick = [&](kv::TObject*) { ++clicks; };
    ASSERT_NE(edit->RightButton(), nullptr);
    HWND b = edit->RightButton()->Handle();
    SendMessageW(b, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageW(b, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(GetParent(b), edit->Handle());
}

TEST(Button, ACommandLinkIsCreatedWithItsStyle) {
    kvtest::ShownForm s;
    auto* link = s.Add<kv::TButton>();
    link->SetStyle(kv::bsCommandLink);
    const LONG_PTR style = GetWindowLongPtrW(link->Handle(), GWL_STYLE) & BS_TYPEMASK;
    EXPECT_EQ(style, BS_COMMANDLINK);
}

TEST(Button, ASpeedButtonIsNeverTheDefaultButton) {
    kvtest::ShownForm s;
    auto* edit = s.Add<kv::TEdit>();
    auto* speed = s.Add<kv::TSpeedButton>();
    int clicks = 0;
    speed->OnClick = [&](kv::TObject*) { ++clicks; };
    EXPECT_FALSE(speed->TabStop());
    MSG msg{edit->Handle(), WM_KEYDOWN, VK_RETURN, 0, 0, {0, 0}};
    EXPECT_FALSE(s.form.PreTranslateKey(msg, edit));
    EXPECT_EQ(clicks, 0);
}

TEST(Controls, ParentFontAndParentColorFollowTheParent) {
    kvtest::ShownForm s;
    auto* group = s.Add<kv::TGroupBox>();
    auto* label = kv::Create<kv::TLabel>(&s.form);
    label->SetParent(group);
    auto* own = kv::Create<kv::TLabel>(&s.form);
    own->SetParent(group);
    own->Font().SetHeight(-20); // its own font from now on
    s.form.Font().SetName(u"MS UI Gothic");
    s.form.Font().SetHeight(-16);
    s.form.SetColor(kv::clWindow);
    EXPECT_EQ(label->Font().Height(), -16);
    EXPECT_EQ(label->Font().Name(), u"MS UI Gothic");
    EXPECT_TRUE(label->ParentFont());
    EXPECT_FALSE(own->ParentFont());
    EXPECT_EQ(own->Font().Height(), -20);
    EXPECT_EQ(label->Color(), kv::clWindow);
    // The window got the font too.
    LOGFONTW lf{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(label->Handle(), WM_GETFONT, 0, 0)), sizeof lf,
               &lf);
    EXPECT_EQ(lf.lfHeight, -16);
}

TEST(Controls, MouseEnterAndLeaveFollowTheControlUnderTheMouse) {
    kvtest::ShownForm s;
    auto* a = s.Add<kv::TButton>();
    auto* b = s.Add<kv::TButton>();
    std::vector<std::string> seen;
    a->OnMouseEnter = [&](kv::TObject*) { seen.push_back("enter a"); };
    a->OnMouseLeave = [&](kv::TObject*) { seen.push_back("leave a"); };
    b->OnMouseEnter = [&](kv::TObject*) { seen.push_back("enter b"); };
    SendMessageW(a->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    SendMessageW(a->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(3, 2)); // still inside
    SendMessageW(b->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    EXPECT_EQ(seen, (std::vector<std::string>{"enter a", "leave a", "enter b"}));
    EXPECT_TRUE(b->MouseInControl());
    EXPECT_FALSE(a->MouseInControl());
    kv::Application->MouseOver(nullptr);
}

TEST(Controls, TabMovesTheFocusInTabOrder) {
    kvtest::ShownForm s;
    auto* first = s.Add<kv::TEdit>();
    auto* second = s.Add<kv::TEdit>();
    auto* third = s.Add<kv::TButton>();
    second->SetTabOrder(0); // second, first, third
    EXPECT_EQ(second->TabOrder(), 0);
    EXPECT_EQ(first->TabOrder(), 1);
    second->SetFocus();
    const auto tab = [&](bool back) { s.form.SelectNext(!back); };
    tab(false);
    EXPECT_TRUE(first->Focused());
    tab(false);
    EXPECT_TRUE(third->Focused());
    tab(false); // around to the start
    EXPECT_TRUE(second->Focused());
    tab(true);
    EXPECT_TRUE(third->Focused());
    // The Tab key itself, as the message loop sees it.
    MSG msg{third->Handle(), WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
    EXPECT_TRUE(s.form.PreTranslateKey(msg, third));
    EXPECT_TRUE(second->Focused());
}

TEST(ComboBox, ADroppedDownListKeepsEnterAndEsc) {
    kvtest::ShownForm s;
    auto* combo = s.Add<kv::TComboBox>();
    combo->SetStyle(kv::csDropDownList);
    combo->Items().Assign({u"x", u"y"});
    auto* cancel = s.Add<kv::TButton>();
    cancel->SetCancel(true);
    int cancels = 0;
    cancel->OnClick = [&](kv::TObject*) { ++cancels; };
    combo->SetFocus();
    MSG msg{combo->Handle(), WM_KEYDOWN, VK_ESCAPE, 0, 0, {0, 0}};
    EXPECT_TRUE(s.form.PreTranslateKey(msg, combo)); // closed: Esc presses Cancel
    EXPECT_EQ(cancels, 1);
    SendMessageW(combo->Handle(), CB_SHOWDROPDOWN, TRUE, 0);
    EXPECT_FALSE(s.form.PreTranslateKey(msg, combo)); // dropped: the list closes itself
    EXPECT_EQ(cancels, 1);
    SendMessageW(combo->Handle(), CB_SHOWDROPDOWN, FALSE, 0);
}

TEST(Controls, ShowHintFollowsTheParentUntilSetOnItsOwn) {
    kvtest::ShownForm s;
    auto* panel = s.Add<kv::TGroupBox>();
    auto* inner = kv::Create<kv::TButton>(&s.form);
    inner->SetParent(panel);
    s.form.SetShowHint(true);
    EXPECT_TRUE(inner->ShowHint());
    inner->SetShowHint(false);
    s.form.SetShowHint(false);
    s.form.SetShowHint(true);
    EXPECT_FALSE(inner->ShowHint());
}

} // namespace
