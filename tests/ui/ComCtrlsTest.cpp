#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "base/Text.h"
#include "ui/ActnList.h"
#include "ui/Application.h"
#include "ui/ComCtrls.h"
#include "ui/Forms.h"
#include "ui/ImgList.h"
#include "ui/Menus.h"
#include "ui/StdCtrls.h"
#include "ui/TrayIcon.h"

namespace {

TEST(StatusBar, ShowsTheHintOfTheControlUnderTheMouse) {
    kvtest::ShownForm s;
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

TEST(ListView, OwnerDataRowsAreAskedForOneByOne) {
    kvtest::ShownForm s;
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
    kvtest::ShownForm s;
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
    kvtest::ShownForm s;
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

TEST(StatusBar, ShowsTheHintOfTheSelectedMenuItem) {
    kvtest::ShownForm s;
    auto* bar = s.Add<kv::TStatusBar>();
    bar->SetSimplePanel(true);
    bar->SetAutoHint(true);
    auto* menu = kv::Create<kv::TMainMenu>(&s.form);
    auto* file = kv::Create<kv::TMenuItem>(&s.form);
    file->SetCaption(u"ファイル(&F)");
    menu->Items().Add(file);
    auto* item = kv::Create<kv::TMenuItem>(&s.form);
    item->SetCaption(u"新規作成");
    item->SetHint(u"新規に作成します。");
    file->Add(item);
    s.form.SetMenu(menu);
    SendMessageW(s.form.Handle(), WM_MENUSELECT, MAKEWPARAM(item->Command(), MF_STRING),
                 reinterpret_cast<LPARAM>(GetSubMenu(menu->Handle(), 0)));
    EXPECT_EQ(bar->SimpleText(), u"新規に作成します。");
    SendMessageW(s.form.Handle(), WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0); // menu closed
    EXPECT_EQ(bar->SimpleText(), u"");
}

TEST(ImageList, LoadsItsImagesFromABitmapResource) {
    kv::TForm form(kv::Application);
    auto* images = kv::Create<kv::TImageList>(&form);
    images->AddResourceBitmap(u"TESTIMAGES", kv::clFuchsia);
    EXPECT_EQ(images->Count(), 2);
    EXPECT_EQ(images->Width(), 16);
    int changes = 0;
    const int id = images->Subscribe([&] { ++changes; });
    images->SetWidth(8); // reloaded in the new size
    EXPECT_EQ(images->Count(), 4);
    EXPECT_GE(changes, 1);
    images->Unsubscribe(id);
    EXPECT_THROW(images->AddResourceBitmap(u"NOSUCHBITMAP", kv::clFuchsia), kv::Exception);
}

TEST(ToolBar, ButtonsFollowTheirActionsAndShowTheirHints) {
    kvtest::ShownForm s;
    auto* images = kv::Create<kv::TImageList>(&s.form);
    images->AddResourceBitmap(u"TESTIMAGES", kv::clFuchsia);
    auto* action = kv::Create<kv::TAction>(&s.form);
    action->SetHint(u"新規|新規に作成します。");
    action->SetImageIndex(1);
    int runs = 0;
    action->OnExecute = [&](kv::TObject*) { ++runs; };
    auto* bar = s.Add<kv::TToolBar>();
    bar->SetImages(images);
    auto* button = kv::Create<kv::TToolButton>(&s.form);
    button->SetParent(bar);
    button->SetAction(action);
    auto* separator = kv::Create<kv::TToolButton>(&s.form);
    separator->SetParent(bar);
    separator->SetStyle(kv::tbsSeparator);
    EXPECT_EQ(SendMessageW(bar->Handle(), TB_BUTTONCOUNT, 0, 0), 2);
    TBBUTTON tb{};
    SendMessageW(bar->Handle(), TB_GETBUTTON, 0, reinterpret_cast<LPARAM>(&tb));
    EXPECT_EQ(tb.iBitmap, 1);
    EXPECT_EQ(tb.idCommand, static_cast<int>(button->Command()));
    // A click arrives as WM_COMMAND at the tool bar's parent.
    SendMessageW(s.form.Handle(), WM_COMMAND, button->Command(),
                 reinterpret_cast<LPARAM>(bar->Handle()));
    EXPECT_EQ(runs, 1);
    // The tooltip asks for the short hint.
    wchar_t tip[80] = {};
    NMTBGETINFOTIPW info{};
    info.hdr.hwndFrom = bar->Handle();
    info.hdr.code = TBN_GETINFOTIPW;
    info.pszText = tip;
    info.cchTextMax = 80;
    info.iItem = static_cast<int>(button->Command());
    SendMessageW(s.form.Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_STREQ(tip, L"新規");
    action->SetEnabled(false);
    EXPECT_FALSE(SendMessageW(bar->Handle(), TB_ISBUTTONENABLED, button->Command(), 0));
}

} // namespace
