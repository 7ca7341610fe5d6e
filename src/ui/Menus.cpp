#include "ui/Menus.h"

#include <algorithm>
#include <map>

#include "ui/ActnList.h"
#include "ui/Application.h"
#include "ui/ClassRegistry.h"
#include "ui/Forms.h"
#include "ui/ImgList.h"
#include "ui/Internal.h"
#include "ui/Services.h"

namespace kv {

namespace {
std::map<UINT, TMenuItem*>& Commands() {
    static std::map<UINT, TMenuItem*> commands;
    return commands;
}
UINT g_nextCommand = 0x8000;
} // namespace

// ---- TMenuItem --------------------------------------------------------------------------------

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner), command_(g_nextCommand++) {
    Commands()[command_] = this;
}

TMenuItem::~TMenuItem() {
    Destroying();
    Commands().erase(command_);
    if (action_) action_->UnRegisterClient(this);
    while (!items_.empty()) delete items_.back();
    if (parent_) parent_->Remove(this);
}

TMenu* TMenuItem::Menu() const {
    const TMenuItem* i = this;
    while (i->parent_) i = i->parent_;
    return i->menu_;
}

void TMenuItem::Changed() {
    if (TMenu* m = Menu()) m->Changed();
}

void TMenuItem::SetCaption(const std::u16string& v) {
    if (v == caption_) return;
    caption_ = v;
    Changed();
}
void TMenuItem::SetShortCut(TShortCut v) {
    if (v == shortCut_) return;
    shortCut_ = v;
    Changed();
}
void TMenuItem::SetEnabled(bool v) {
    if (v == enabled_) return;
    enabled_ = v;
    Changed();
}
void TMenuItem::SetVisible(bool v) {
    if (v == visible_) return;
    visible_ = v;
    Changed();
}
void TMenuItem::SetChecked(bool v) {
    if (v == checked_) return;
    checked_ = v;
    Changed();
}

void TMenuItem::SetAction(TBasicAction* a) {
    if (a == action_) return;
    if (action_) action_->UnRegisterClient(this);
    action_ = a;
    if (a) {
        a->RegisterClient(this);
        ActionChange(a);
    }
}

void TMenuItem::ActionChange(TBasicAction* action) {
    auto* a = dynamic_cast<TCustomAction*>(action);
    if (!a) return;
    caption_ = a->Caption();
    hint_ = a->Hint();
    shortCut_ = a->ShortCut();
    enabled_ = a->Enabled();
    visible_ = a->Visible();
    checked_ = a->Checked();
    imageIndex_ = a->ImageIndex();
    Changed();
}

void TMenuItem::ActionRemoved() {
    action_ = nullptr;
}

void TMenuItem::Add(TMenuItem* item) {
    if (item->parent_) item->parent_->Remove(item);
    items_.push_back(item);
    item->parent_ = this;
    Changed();
}

void TMenuItem::Remove(TMenuItem* item) {
    items_.erase(std::remove(items_.begin(), items_.end(), item), items_.end());
    item->parent_ = nullptr;
    if (!IsDestroying()) Changed();
}

void TMenuItem::SetParentComponent(TComponent* parent) {
    if (auto* item = dynamic_cast<TMenuItem*>(parent))
        item->Add(this);
    else if (auto* menu = dynamic_cast<TMenu*>(parent))
        menu->Items().Add(this);
}

void TMenuItem::Click() {
    if (IsDestroying()) return;
    if (OnClick)
        OnClick(this);
    else if (action_)
        action_->Execute();
}

void TMenuItem::BuildInto(HMENU menu) {
    for (TMenuItem* item : items_) {
        if (!item->visible_) continue;
        if (item->IsLine()) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        std::u16string text = item->caption_;
        if (item->shortCut_ != scNone) text += u"\t" + ShortCutToText(item->shortCut_);
        UINT flags = MF_STRING | (item->enabled_ ? MF_ENABLED : MF_GRAYED) |
                     (item->checked_ ? MF_CHECKED : MF_UNCHECKED);
        if (!item->items_.empty()) {
            HMENU sub = CreatePopupMenu();
            item->BuildInto(sub);
            AppendMenuW(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), W(text));
        } else {
            AppendMenuW(menu, flags, item->command_, W(text));
        }
    }
}

TMenuItem* TMenuItem::FindShortCut(TShortCut shortCut) {
    for (TMenuItem* item : items_) {
        if (item->shortCut_ == shortCut && item->items_.empty()) return item;
        if (TMenuItem* found = item->FindShortCut(shortCut)) return found;
    }
    return nullptr;
}

TMenuItem* TMenuItem::FindCommand(UINT command) {
    const auto it = Commands().find(command);
    return it == Commands().end() ? nullptr : it->second;
}

// ---- TMenu ------------------------------------------------------------------------------------

TMenu::TMenu(TComponent* owner) : TComponent(owner), root_(new TMenuItem(nullptr)) {
    root_->menu_ = this;
}

TMenu::~TMenu() {
    Destroying();
    delete root_;
}

void TMenu::SetImages(TCustomImageList* images) {
    images_ = images;
    if (images) FreeNotification(images);
}

void TMenu::Notification(TComponent* c, TOperation op) {
    TComponent::Notification(c, op);
    if (op == opRemove && c == images_) images_ = nullptr;
}

bool TMenu::IsShortCut(TShortCut shortCut) {
    if (shortCut == scNone) return false;
    TMenuItem* item = root_->FindShortCut(shortCut);
    if (!item) return false;
    if (item->Action()) item->Action()->Update();
    for (TMenuItem* p = item; p && p != root_; p = p->Parent())
        if (!p->Enabled() || !p->Visible()) return false;
    item->Click();
    return true;
}

void TMenu::InitPopup(HMENU) {
    // Actions state the enabled and checked look of their items.
    std::vector<TMenuItem*> stack{root_};
    while (!stack.empty()) {
        TMenuItem* i = stack.back();
        stack.pop_back();
        if (i->Action()) i->Action()->Update();
        for (int k = 0; k < i->Count(); ++k) stack.push_back(i->Items(k));
    }
}

// ---- TMainMenu --------------------------------------------------------------------------------

TMainMenu::TMainMenu(TComponent* owner) : TMenu(owner) {}

TMainMenu::~TMainMenu() {
    Destroying();
    // A form that still shows the bar lets go of it before it is destroyed.
    if (handle_) {
        for (int i = 0; Screen && i < Screen->FormCount(); ++i) {
            TCustomForm* f = Screen->Forms(i);
            if (f->HandleAllocated() && GetMenu(f->Handle()) == handle_)
                ::SetMenu(f->Handle(), nullptr);
        }
        DestroyMenu(handle_);
    }
}

HMENU TMainMenu::Handle() {
    if (!handle_) {
        handle_ = CreateMenu();
        Items().BuildInto(handle_);
    }
    return handle_;
}

void TMainMenu::Changed() {
    if (!handle_ || IsDestroying()) return;
    while (GetMenuItemCount(handle_) > 0) DeleteMenu(handle_, 0, MF_BYPOSITION);
    Items().BuildInto(handle_);
    for (int i = 0; Screen && i < Screen->FormCount(); ++i) {
        TCustomForm* f = Screen->Forms(i);
        if (f->HandleAllocated() && GetMenu(f->Handle()) == handle_) DrawMenuBar(f->Handle());
    }
}

// ---- TPopupMenu -------------------------------------------------------------------------------

TPopupMenu::TPopupMenu(TComponent* owner) : TMenu(owner) {}

void TPopupMenu::Notification(TComponent* c, TOperation op) {
    TMenu::Notification(c, op);
    if (op == opRemove && c == popupComponent_) popupComponent_ = nullptr;
}

void TPopupMenu::Popup(int x, int y) {
    if (OnPopup) OnPopup(this);
    InitPopup(nullptr);
    HMENU menu = CreatePopupMenu();
    Items().BuildInto(menu);
    HWND owner = Application ? Application->Handle() : nullptr;
    if (auto* c = dynamic_cast<TWinControl*>(popupComponent_); c && c->HandleAllocated())
        owner = c->Handle();
    const UINT cmd = Services().TrackPopupMenu(menu,
                                               TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_TOPALIGN |
                                                   (alignment_ == paRight    ? TPM_RIGHTALIGN
                                                    : alignment_ == paCenter ? TPM_CENTERALIGN
                                                                             : TPM_LEFTALIGN),
                                               x, y, owner);
    DestroyMenu(menu);
    if (cmd)
        if (TMenuItem* item = TMenuItem::FindCommand(cmd)) item->Click();
}

// ---- links from controls and forms ------------------------------------------------------------

namespace detail {

bool PopupContextMenu(TControl* control, POINT screen) {
    TPopupMenu* menu = control->PopupMenu();
    if (!menu || !menu->AutoPopup()) return false;
    menu->SetPopupComponent(control);
    menu->FreeNotification(control);
    menu->Popup(screen.x, screen.y);
    return true;
}

bool DispatchMenuCommand(UINT id) {
    TMenuItem* item = TMenuItem::FindCommand(id);
    if (!item) return false;
    item->Click();
    return true;
}

void MenuSelected(TCustomForm* form, HMENU menu, UINT item, UINT flags) {
    if (!Application) return;
    if (flags == 0xFFFF && !menu) {
        Application->SetHint(u"", form);
        return;
    }
    std::u16string hint;
    if (!(flags & MF_POPUP) && !(flags & MF_SEPARATOR))
        if (TMenuItem* i = TMenuItem::FindCommand(item)) hint = GetLongHint(i->Hint());
    Application->SetHint(hint, form);
}

void RegisterMenuClasses() {
    RegisterComponentClass<TMenuItem>(u"TComponent")
        .Str(u"Caption", [](TMenuItem& m, const std::u16string& v) { m.SetCaption(v); })
        .ShortCut(u"ShortCut", [](TMenuItem& m, TShortCut v) { m.SetShortCut(v); })
        .Bool(u"Enabled", [](TMenuItem& m, bool v) { m.SetEnabled(v); })
        .Bool(u"Visible", [](TMenuItem& m, bool v) { m.SetVisible(v); })
        .Bool(u"Checked", [](TMenuItem& m, bool v) { m.SetChecked(v); })
        .Str(u"Hint", [](TMenuItem& m, const std::u16string& v) { m.SetHint(v); })
        .Int(u"ImageIndex", [](TMenuItem& m, int v) { m.SetImageIndex(v); })
        .Ref<TBasicAction>(u"Action", [](TMenuItem& m, TBasicAction* a) { m.SetAction(a); })
        .Event<void(TObject*)>(u"OnClick", &TMenuItem::OnClick)
        .Ignore({u"GroupIndex", u"RadioItem", u"AutoCheck", u"Default"});
    RegisterComponentClass<TMenu>(u"TComponent")
        .Ref<TCustomImageList>(u"Images", [](TMenu& m, TCustomImageList* i) { m.SetImages(i); })
        .Ignore({u"AutoHotkeys", u"AutoLineReduction"});
    RegisterComponentClass<TMainMenu>(u"TMenu");
    RegisterComponentClass<TPopupMenu>(u"TMenu")
        .Bool(u"AutoPopup", [](TPopupMenu& m, bool v) { m.SetAutoPopup(v); })
        .Enum(u"Alignment", {{u"paLeft", paLeft}, {u"paRight", paRight}, {u"paCenter", paCenter}},
              [](TPopupMenu& m, int v) { m.SetAlignment(static_cast<TPopupAlignment>(v)); })
        .Event<void(TObject*)>(u"OnPopup", &TPopupMenu::OnPopup);
}

} // namespace detail

} // namespace kv
