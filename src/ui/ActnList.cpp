#include "ui/ActnList.h"

#include <algorithm>

#include "ui/ClassRegistry.h"
#include "ui/ImgList.h"

namespace kv {

TBasicAction::TBasicAction(TComponent* owner) : TComponent(owner) {}

TBasicAction::~TBasicAction() {
    Destroying();
    const auto clients = clients_;
    clients_.clear();
    for (TActionClient* c : clients) c->ActionRemoved();
}

bool TBasicAction::Execute() {
    if (!OnExecute || IsDestroying()) return false;
    OnExecute(this);
    return true;
}

bool TBasicAction::Update() {
    if (!OnUpdate || IsDestroying()) return false;
    OnUpdate(this);
    return true;
}

void TBasicAction::RegisterClient(TActionClient* client) {
    if (std::find(clients_.begin(), clients_.end(), client) == clients_.end())
        clients_.push_back(client);
}

void TBasicAction::UnRegisterClient(TActionClient* client) {
    clients_.erase(std::remove(clients_.begin(), clients_.end(), client), clients_.end());
}

void TBasicAction::Change() {
    const auto clients = clients_;
    for (TActionClient* c : clients)
        if (std::find(clients_.begin(), clients_.end(), c) != clients_.end()) c->ActionChange(this);
}

TCustomAction::TCustomAction(TComponent* owner) : TBasicAction(owner) {}

TCustomAction::~TCustomAction() {
    SetActionList(nullptr);
}

void TCustomAction::SetCaption(const std::u16string& v) {
    if (v == caption_) return;
    caption_ = v;
    Change();
}
void TCustomAction::SetHint(const std::u16string& v) {
    if (v == hint_) return;
    hint_ = v;
    Change();
}
void TCustomAction::SetShortCut(TShortCut v) {
    if (v == shortCut_) return;
    shortCut_ = v;
    Change();
}
void TCustomAction::SetEnabled(bool v) {
    if (v == enabled_) return;
    enabled_ = v;
    Change();
}
void TCustomAction::SetVisible(bool v) {
    if (v == visible_) return;
    visible_ = v;
    Change();
}
void TCustomAction::SetChecked(bool v) {
    if (v == checked_) return;
    checked_ = v;
    Change();
}
void TCustomAction::SetImageIndex(int v) {
    if (v == imageIndex_) return;
    imageIndex_ = v;
    Change();
}
void TCustomAction::SetHelpContext(int v) {
    if (v == helpContext_) return;
    helpContext_ = v;
    Change();
}

void TCustomAction::SetActionList(TActionList* list) {
    if (list == actionList_) return;
    if (actionList_) actionList_->RemoveAction(this);
    actionList_ = list;
    if (list) list->AddAction(this);
}

void TCustomAction::SetParentComponent(TComponent* parent) {
    if (auto* list = dynamic_cast<TActionList*>(parent)) SetActionList(list);
}

bool TCustomAction::Execute() {
    Update();
    if (!enabled_) return false;
    return TBasicAction::Execute();
}

TActionList::TActionList(TComponent* owner) : TComponent(owner) {}

TActionList::~TActionList() {
    Destroying();
    const auto actions = actions_;
    for (TCustomAction* a : actions) a->SetActionList(nullptr);
}

void TActionList::SetImages(TCustomImageList* images) {
    images_ = images;
    if (images) FreeNotification(images);
}

bool TActionList::IsShortCut(TShortCut shortCut) {
    if (shortCut == scNone) return false;
    const auto actions = actions_;
    for (TCustomAction* a : actions) {
        if (a->ShortCut() != shortCut) continue;
        a->Update();
        if (a->Enabled() && a->Visible()) {
            a->Execute();
            return true;
        }
    }
    return false;
}

void TActionList::UpdateActions() {
    const auto actions = actions_;
    for (TCustomAction* a : actions) a->Update();
}

void TActionList::Notification(TComponent* c, TOperation op) {
    TComponent::Notification(c, op);
    if (op == opRemove && c == images_) images_ = nullptr;
}

void TActionList::AddAction(TCustomAction* a) {
    actions_.push_back(a);
}

void TActionList::RemoveAction(TCustomAction* a) {
    actions_.erase(std::remove(actions_.begin(), actions_.end(), a), actions_.end());
}

namespace detail {

void RegisterActionClasses() {
    RegisterComponentClass<TBasicAction>(u"TComponent")
        .Event<void(TObject*)>(u"OnExecute", &TBasicAction::OnExecute)
        .Event<void(TObject*)>(u"OnUpdate", &TBasicAction::OnUpdate);
    RegisterComponentClass<TCustomAction>(u"TBasicAction")
        .Str(u"Caption", [](TCustomAction& a, const std::u16string& v) { a.SetCaption(v); })
        .Str(u"Hint", [](TCustomAction& a, const std::u16string& v) { a.SetHint(v); })
        .ShortCut(u"ShortCut", [](TCustomAction& a, TShortCut v) { a.SetShortCut(v); })
        .Bool(u"Enabled", [](TCustomAction& a, bool v) { a.SetEnabled(v); })
        .Bool(u"Visible", [](TCustomAction& a, bool v) { a.SetVisible(v); })
        .Bool(u"Checked", [](TCustomAction& a, bool v) { a.SetChecked(v); })
        .Int(u"ImageIndex", [](TCustomAction& a, int v) { a.SetImageIndex(v); })
        .Int(u"HelpContext", [](TCustomAction& a, int v) { a.SetHelpContext(v); })
        .Ignore({u"Category"});
    RegisterComponentClass<TAction>(u"TCustomAction");
    RegisterComponentClass<TActionList>(u"TComponent")
        .Ref<TCustomImageList>(u"Images",
                               [](TActionList& l, TCustomImageList* i) { l.SetImages(i); });
    RegisterComponentClass<TActionManager>(u"TActionList")
        .Ignore({u"ActionBars", u"LargeImages", u"StyleName"});
}

} // namespace detail

} // namespace kv
