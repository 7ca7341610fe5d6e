#include "ui/Component.h"

#include <algorithm>

namespace kv {

TComponent::TComponent(TComponent* owner) : owner_(nullptr) {
    if (owner) owner->Insert(this);
}

TComponent::~TComponent() {
    Destroying();
    while (!components_.empty()) delete components_.back();
    // Everyone who holds a reference hears of the removal: the owner's family and the
    // components that asked for free notification.
    std::vector<TComponent*> notify;
    notify.swap(freeNotifies_);
    for (TComponent* c : notify) {
        auto& back = c->freeNotifies_;
        back.erase(std::remove(back.begin(), back.end(), this), back.end());
        c->Notification(this, opRemove);
    }
    if (owner_) {
        TComponent* owner = owner_;
        owner->Remove(this);
        owner->Notification(this, opRemove);
    }
}

void TComponent::SetName(std::u16string name) {
    if (name == name_) return;
    if (owner_ && !name.empty()) {
        const TComponent* other = owner_->FindComponent(name);
        if (other && other != this)
            throw Exception(u"A component named " + name + u" already exists");
    }
    name_ = std::move(name);
}

TComponent* TComponent::FindComponent(std::u16string_view name) const {
    if (name.empty()) return nullptr;
    for (TComponent* c : components_)
        if (SameName(c->name_, name)) return c;
    return nullptr;
}

void TComponent::Destroying() {
    if (state_ & csDestroying) return;
    state_ |= csDestroying;
    for (TComponent* c : components_) c->Destroying();
}

void TComponent::FreeNotification(TComponent* c) {
    if (!c || c == this) return;
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), c) == freeNotifies_.end()) {
        freeNotifies_.push_back(c);
        c->freeNotifies_.push_back(this);
    }
}

void TComponent::RemoveFreeNotification(TComponent* c) {
    if (!c) return;
    freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), c),
                        freeNotifies_.end());
    c->freeNotifies_.erase(std::remove(c->freeNotifies_.begin(), c->freeNotifies_.end(), this),
                           c->freeNotifies_.end());
}

void TComponent::Notification(TComponent* c, TOperation op) {
    if (op == opRemove && c) RemoveFreeNotification(c);
    // Iterate over a copy: a handler may free a component of this owner.
    const std::vector<TComponent*> children = components_;
    for (TComponent* child : children)
        if (std::find(components_.begin(), components_.end(), child) != components_.end())
            child->Notification(c, op);
}

void TComponent::Loaded() {
    state_ &= ~csLoading;
}

void TComponent::SetLoadingState(bool on) {
    if (on)
        state_ |= csLoading;
    else
        state_ &= ~csLoading;
}

const std::any* TComponent::FindHandler(std::u16string_view name) const {
    if (!bindings_) return nullptr;
    const auto it = bindings_->handlers.find(name);
    return it == bindings_->handlers.end() ? nullptr : &it->second;
}

TComponent::RootBindings& TComponent::Bindings() {
    if (!bindings_) bindings_ = std::make_unique<RootBindings>();
    return *bindings_;
}

void TComponent::Insert(TComponent* c) {
    components_.push_back(c);
    c->owner_ = this;
    Notification(c, opInsert);
}

void TComponent::Remove(TComponent* c) {
    components_.erase(std::remove(components_.begin(), components_.end(), c), components_.end());
    c->owner_ = nullptr;
}

} // namespace kv
