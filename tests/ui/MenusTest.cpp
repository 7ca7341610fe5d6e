#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "UiTestSupport.h"
#include "ui/Application.h"
#include "ui/ExtCtrls.h"
#include "ui/Forms.h"
#include "ui/Menus.h"
#include "ui/StdCtrls.h"

namespace {

std::u16string MenuText(HMENU menu, int position) {
    wchar_t text[256] = {};
    GetMenuStringW(menu, static_cast<UINT>(position), text, 256, MF_BYPOSITION);
    return kv::FromW(text);
}

TEST(MainMenu, ItemsShowTheirShortCutTextAndSeparators) {
    kvtest::ShownForm s;
    auto* menu = kv::Create<kv::TMainMenu>(&s.form);
    auto* file = kv::Create<kv::TMenuItem>(&s.form);
    file->SetCaption(u"ファイル(&F)");
    menu->Items().Add(file);
    for (const char16_t* caption : {u"上書き保存", u"-", u"閉じる(&X)"}) {
        auto* item = kv::Create<kv::TMenuItem>(&s.form);
        item->SetCaption(caption);
        file->Add(item);
    }
    file->Items(0)->SetShortCut(kv::scCtrl | 'S');
    s.form.SetMenu(menu);
    HMENU bar = GetMenu(s.form.Handle());
    ASSERT_EQ(bar, menu->Handle());
    EXPECT_EQ(MenuText(bar, 0), u"ファイル(&F)");
    HMENU sub = GetSubMenu(bar, 0);
    EXPECT_EQ(MenuText(sub, 0), u"上書き保存\tCtrl+S");
    EXPECT_EQ(GetMenuState(sub, 1, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
    // A change is shown at once.
    file->Items(2)->SetEnabled(false);
    EXPECT_EQ(GetMenuState(GetSubMenu(bar, 0), 2, MF_BYPOSITION) & MF_GRAYED,
              static_cast<UINT>(MF_GRAYED));
    // Choosing an item arrives as WM_COMMAND with its command.
    int clicks = 0;
    file->Items(0)->OnClick = [&](kv::TObject*) { ++clicks; };
    SendMessageW(s.form.Handle(), WM_COMMAND, file->Items(0)->Command(), 0);
    EXPECT_EQ(clicks, 1);
}

TEST(PopupMenu, AContextMenuRequestShowsItThroughTheServiceAndRunsTheChoice) {
    kvtest::TestServices services;
    kvtest::ShownForm s;
    auto* popup = kv::Create<kv::TPopupMenu>(&s.form);
    auto* item = kv::Create<kv::TMenuItem>(&s.form);
    item->SetCaption(u"選択されている列をキー列にする");
    item->SetTag(1);
    popup->Items().Add(item);
    kv::TObject* sender = nullptr;
    item->OnClick = [&](kv::TObject* s) { sender = s; };
    auto* edit = s.Add<kv::TEdit>();
    edit->SetPopupMenu(popup);
    services.popupAnswer = [](const std::vector<std::pair<UINT, std::u16string>>& items) {
        return items.empty() ? 0u : items[0].first;
    };
    SendMessageW(edit->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(edit->Handle()),
                 MAKELPARAM(100, 120));
    ASSERT_EQ(services.popups.size(), 1u);
    EXPECT_EQ(services.popups[0].x, 100);
    EXPECT_EQ(services.popups[0].y, 120);
    EXPECT_EQ(sender, item);
    EXPECT_EQ(popup->PopupComponent(), edit);
}

TEST(PopupMenu, AControlForgetsAMenuThatGoesAway) {
    kvtest::ShownForm s;
    auto* popup = kv::Create<kv::TPopupMenu>(&s.form);
    auto* panel = s.Add<kv::TPanel>();
    panel->SetPopupMenu(popup);
    delete popup;
    EXPECT_EQ(panel->PopupMenu(), nullptr);
    // Nothing to show (an edit box would open its own menu here).
    SendMessageW(panel->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(panel->Handle()),
                 MAKELPARAM(1, 1));
}

} // namespace
