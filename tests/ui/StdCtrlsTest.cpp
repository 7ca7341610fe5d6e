#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "base/Text.h"
#include "ui/ActnList.h"
#include "ui/Application.h"
#include "ui/ComCtrls.h"
#include "ui/Dialogs.h"
#include "ui/Forms.h"
#include "ui/Menus.h"
#include "ui/StdCtrls.h"
#include "ui/TrayIcon.h"

namespace {

struct Shown {
    Shown() : form(kv::Application) { form.Show(); }
    ~Shown() { form.Hide(); }
    template <class T> T* Add() {
        T* c = kv::Create<T>(&form);
        c->SetParent(&form);
        return c;
    }
    kv::TForm form;
};

TEST(ComboBox, AnIndexSetByCodeFiresNoEventAndOutOfRangeLeavesNoSelection) {
    Shown s;
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
    Shown s;
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
    Shown s;
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
    Shown s;
    auto* a = s.Add<kv::TRadioButton>();
    auto* b = s.Add<kv::TRadioButton>();
    a->SetChecked(true);
    SendMessageW(b->Handle(), BM_CLICK, 0, 0);
    EXPECT_TRUE(b->Checked());
    EXPECT_FALSE(a->Checked());
}

TEST(Label, ItsMnemonicFocusesItsControl) {
    Shown s;
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

TEST(Actions, ControlsAndMenuItemsFollowTheirAction) {
    Shown s;
    auto* list = kv::Create<kv::TActionList>(&s.form);
    auto* action = kv::Create<kv::TAction>(&s.form);
    action->SetActionList(list);
    action->SetCaption(u"上書き保存");
    action->SetHint(u"設定を上書き保存します。");
    action->SetShortCut(kv::scCtrl | 'S');
    int runs = 0;
    action->OnExecute = [&](kv::TObject* sender) {
        EXPECT_EQ(sender, action);
        ++runs;
    };
    auto* button = s.Add<kv::TButton>();
    button->SetAction(action);
    auto* menu = kv::Create<kv::TMainMenu>(&s.form);
    auto* item = kv::Create<kv::TMenuItem>(&s.form);
    menu->Items().Add(item);
    item->SetAction(action);
    s.form.SetMenu(menu);

    EXPECT_EQ(button->Caption(), u"上書き保存");
    EXPECT_EQ(item->Caption(), u"上書き保存");
    EXPECT_EQ(item->ShortCut(), kv::scCtrl | 'S');
    action->SetEnabled(false);
    EXPECT_FALSE(button->Enabled());
    EXPECT_FALSE(IsWindowEnabled(button->Handle()));
    EXPECT_FALSE(item->Enabled());
    EXPECT_FALSE(s.form.IsShortCut(kv::scCtrl | 'S')); // disabled: the short cut does nothing
    action->SetEnabled(true);
    EXPECT_TRUE(s.form.IsShortCut(kv::scCtrl | 'S'));
    SendMessageW(button->Handle(), BM_CLICK, 0, 0);
    item->Click();
    EXPECT_EQ(runs, 3);
    EXPECT_EQ(kv::ShortCutToText(item->ShortCut()), u"Ctrl+S");
}

TEST(Actions, FreeingTheActionUnlinksItsClients) {
    Shown s;
    auto* action = kv::Create<kv::TAction>(&s.form);
    auto* button = s.Add<kv::TButton>();
    button->SetAction(action);
    delete action;
    EXPECT_EQ(button->Action(), nullptr);
    SendMessageW(button->Handle(), BM_CLICK, 0, 0); // nothing left to run, no crash
}

TEST(StatusBar, ShowsTheHintOfTheControlUnderTheMouse) {
    Shown s;
    auto* bar = s.Add<kv::TStatusBar>();
    bar->SetSimplePanel(true);
    bar->SetAutoHint(true);
    auto* button = s.Add<kv::TButton>();
    button->SetHint(u"短い|CSVファイルを結合します。");
    kv::Application->MouseOver(button);
    EXPECT_EQ(bar->SimpleText(), u"CSVファイルを結合します。");
    kv::Application->MouseOver(nullptr);
    EXPECT_EQ(bar->SimpleText(), u"");
}

TEST(Dialogs, FileDialogsGoThroughTheService) {
    kvtest::TestServices services;
    kv::TForm form(kv::Application);
    auto* save = kv::Create<kv::TSaveTextFileDialog>(&form);
    save->Filter = u"CSVファイル(*.CSV)|*.CSV|すべてのファイル(*.*)|*.*";
    save->DefaultExt = u".CSV";
    save->Options |= kv::ofOverwritePrompt;
    save->Encodings = {u"ANSI", u"UTF-8"};
    save->FileName = u"old.csv";
    services.fileChosen = u"Z:\\tmp\\new.csv";
    services.encodingChosen = 1;
    ASSERT_TRUE(save->Execute());
    EXPECT_EQ(save->FileName, u"Z:\\tmp\\new.csv");
    EXPECT_EQ(save->EncodingIndex, 1);
    ASSERT_EQ(services.fileRequests.size(), 1u);
    const auto& r = services.fileRequests[0];
    EXPECT_TRUE(r.save);
    EXPECT_TRUE(r.overwritePrompt);
    EXPECT_EQ(r.fileName, u"old.csv");
    EXPECT_EQ(r.encodings.size(), 2u);
    services.fileAnswer = false;
    EXPECT_FALSE(save->Execute());
    EXPECT_EQ(save->FileName, u"Z:\\tmp\\new.csv"); // unchanged when cancelled
}

TEST(Dialogs, WarningBoxesHaveTheWarningIconAndOneOkButton) {
    kvtest::TestServices services;
    kv::ShowWarning(u"左CSVファイルが選択されていません。");
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].text, u"左CSVファイルが選択されていません。");
    EXPECT_EQ(services.boxes[0].flags, static_cast<UINT>(MB_OK | MB_ICONWARNING));
}

TEST(ButtonedEdit, TheRightButtonRunsItsEvent) {
    Shown s;
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

TEST(ListView, OwnerDataRowsAreAskedForOneByOne) {
    Shown s;
    auto* list = s.Add<kv::TListView>();
    list->SetViewStyle(kv::vsReport);
    list->SetOwnerData(true);
    list->AddColumn({u"No.", 35, kv::taLeftJustify});
    list->AddColumn({u"CSVファイルの列", 95, kv::taCenter});
    std::vector<int> asked;
    list->OnData = [&](kv::TObject*, kv::TListItem& item) {
        asked.push_back(item.index);
        item.caption = item.index == 0 ? u"" : kv::IntToStr(item.index);
        item.subItems = {item.index == 0 ? u"(なし)" : u"列"};
    };
    list->SetItemCount(16385);
    EXPECT_EQ(list->ItemCount(), 16385);
    EXPECT_EQ(ListView_GetItemCount(list->Handle()), 16385);
    list->SetItemIndex(16384);
    list->MakeVisible(16384);
    EXPECT_EQ(list->ItemIndex(), 16384);
    wchar_t text[32] = {};
    ListView_GetItemText(list->Handle(), 16384, 0, text, 32);
    EXPECT_STREQ(text, L"16384");
    EXPECT_LT(asked.size(), 1000u); // only rows that were needed
}

TEST(ProgressBar, TakesA32BitRange) {
    Shown s;
    auto* bar = s.Add<kv::TProgressBar>();
    bar->SetMax(3000001);
    bar->SetPosition(2500000);
    EXPECT_EQ(SendMessageW(bar->Handle(), PBM_GETRANGE, FALSE, 0), 3000001);
    EXPECT_EQ(SendMessageW(bar->Handle(), PBM_GETPOS, 0, 0), 2500000);
    bar->SetPosition(5000000);
    EXPECT_EQ(bar->Position(), 3000001);
}

TEST(TrayIcon, AClickOnTheIconRunsOnClick) {
    kv::TForm form(kv::Application);
    auto* tray = kv::Create<kv::TTrayIcon>(&form);
    int clicks = 0;
    tray->OnClick = [&](kv::TObject*) { ++clicks; };
    tray->SetHint(u"Kolvane");
    tray->SetVisible(true);
    SendMessageW(tray->Handle(), kv::TTrayIcon::kCallbackMessage, 1, WM_LBUTTONUP);
    EXPECT_EQ(clicks, 1);
    tray->SetVisible(false);
}

TEST(PageControl, ShowsOnlyTheActivePage) {
    Shown s;
    auto* pages = s.Add<kv::TPageControl>();
    pages->SetBounds(0, 0, 300, 200);
    auto* one = kv::Create<kv::TTabSheet>(&s.form);
    one->SetCaption(u"起動時(&1)");
    one->SetPageControl(pages);
    auto* two = kv::Create<kv::TTabSheet>(&s.form);
    two->SetCaption(u"関連づけ(&2)");
    two->SetPageControl(pages);
    EXPECT_EQ(pages->ActivePage(), one);
    EXPECT_TRUE(one->Visible());
    EXPECT_FALSE(two->Visible());
    pages->SetActivePageIndex(1);
    EXPECT_FALSE(one->Visible());
    EXPECT_TRUE(two->Visible());
    EXPECT_EQ(TabCtrl_GetCurSel(pages->Handle()), 1);
}

} // namespace
