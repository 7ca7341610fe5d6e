#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "ui/ActnList.h"
#include "ui/Application.h"
#include "ui/Forms.h"
#include "ui/Menus.h"
#include "ui/StdCtrls.h"

namespace {

TEST(Actions, ControlsAndMenuItemsFollowTheirAction) {
    kvtest::ShownForm s;
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
    kvtest::ShownForm s;
    auto* action = kv::Create<kv::TAction>(&s.form);
    auto* button = s.Add<kv::TButton>();
    button->SetAction(action);
    delete action;
    EXPECT_EQ(button->Action(), nullptr);
    SendMessageW(button->Handle(), BM_CLICK, 0, 0); // nothing left to run, no crash
}

} // namespace
