#pragma once
// Components: an owner that frees what it owns, names unique within the owner, Tag, free
// notifications, the loading and destroying states and the end-of-loading step. A component
// that is the root of a form description also keeps the handler table and the fields that the
// form reader binds by name. Interface thread only.
#include <any>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/Exception.h"
#include "ui/Types.h"

namespace kv {

enum TComponentStateFlag : unsigned { csLoading = 1, csDestroying = 2 };
enum TOperation { opInsert, opRemove };

class TComponent : public TObject {
    KV_CLASS(TComponent)
public:
    // Registers with owner (may be null); the owner frees it unless it is freed first.
    explicit TComponent(TComponent* owner);
    // Frees the owned components (last first), tells everyone who asked for free notification,
    // and leaves the owner.
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    const std::u16string& Name() const { return name_; }
    // Raises kv::Exception when another component of the same owner has the name.
    void SetName(std::u16string name);
    int Tag() const { return tag_; }
    void SetTag(int tag) { tag_ = tag; }

    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent* Components(int index) const { return components_[static_cast<size_t>(index)]; }
    // The owned component of that name (case ignored), or null.
    TComponent* FindComponent(std::u16string_view name) const;

    unsigned ComponentState() const { return state_; }
    bool IsLoading() const { return (state_ & csLoading) != 0; }
    bool IsDestroying() const { return (state_ & csDestroying) != 0; }
    // Marks this component and everything it owns as being destroyed: no more events.
    void Destroying();

    // After FreeNotification(c), this component's Notification hears when c goes away.
    void FreeNotification(TComponent* c);
    void RemoveFreeNotification(TComponent* c);
    // Insert and remove notices; the default passes them on to the owned components.
    virtual void Notification(TComponent* c, TOperation op);

    // The end-of-loading step, run by the form reader after the whole description is read;
    // clears the loading state. Overrides call the inherited step first.
    virtual void Loaded();
    // Where a nested object of a form description goes (a control's parent, an action's list).
    virtual void SetParentComponent(TComponent* parent) {}

    // Handler table of a root component: named methods that event properties may bind to.
    template <class Sig> void RegisterHandler(std::u16string name, std::function<Sig> fn) {
        Bindings().handlers[std::move(name)] = std::move(fn);
    }
    const std::any* FindHandler(std::u16string_view name) const;
    // Field of a root component filled with the component of that name once it is read; the
    // reader raises an error when the component has another class or is missing.
    template <class T> void BindField(std::u16string name, T*& field) {
        Bindings().fields.push_back({std::move(name), [&field](TComponent* c) {
                                         field = dynamic_cast<T*>(c);
                                         return field != nullptr;
                                     }});
    }
    struct FieldBinding {
        std::u16string name;
        std::function<bool(TComponent*)> assign;
    };
    const std::vector<FieldBinding>* FieldBindings() const {
        return bindings_ ? &bindings_->fields : nullptr;
    }

protected:
    friend class TReader;
    void SetLoadingState(bool on);

private:
    struct RootBindings {
        std::map<std::u16string, std::any, NameLess> handlers;
        std::vector<FieldBinding> fields;
    };
    RootBindings& Bindings();
    void Insert(TComponent* c);
    void Remove(TComponent* c);

    TComponent* owner_;
    std::u16string name_;
    int tag_ = 0;
    unsigned state_ = 0;
    std::vector<TComponent*> components_;   // owned
    std::vector<TComponent*> freeNotifies_; // not owned
    std::unique_ptr<RootBindings> bindings_;
};

// Creates a component owned by owner (which frees it). Use std::unique_ptr for ownerless ones.
template <class T, class... Args> T* Create(TComponent* owner, Args&&... args) {
    return new T(owner, std::forward<Args>(args)...);
}

} // namespace kv
