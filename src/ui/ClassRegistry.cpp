#include "ui/ClassRegistry.h"

namespace kv {

namespace detail {
// Each module of the framework registers its classes here (defined beside the classes).
void RegisterControlClasses();
void RegisterActionClasses();
void RegisterImageListClasses();
void RegisterMenuClasses();
void RegisterFormClasses();
void RegisterStdCtrlClasses();
void RegisterExtCtrlClasses();
void RegisterDialogClasses();
void RegisterApplicationClasses();
void RegisterComCtrlClasses();
void RegisterTrayIconClasses();
void RegisterGridClasses();
} // namespace detail

namespace {
std::map<std::u16string, std::unique_ptr<TClassInfo>, NameLess>& Registry() {
    static std::map<std::u16string, std::unique_ptr<TClassInfo>, NameLess> registry;
    return registry;
}
bool g_uiRegistered = false;
} // namespace

const char16_t* TValue::KindName() const {
    static const char16_t* const kNames[] = {u"integer", u"float", u"string",     u"identifier",
                                             u"set",     u"list",  u"collection", u"binary"};
    return kNames[kind];
}

const TPropertySetter* TClassInfo::FindProperty(std::u16string_view name) const {
    for (const TClassInfo* c = this; c; c = c->parent_) {
        const auto it = c->props_.find(name);
        if (it != c->props_.end()) return &it->second;
    }
    return nullptr;
}

bool TClassInfo::InheritsFrom(std::u16string_view name) const {
    for (const TClassInfo* c = this; c; c = c->parent_)
        if (SameName(c->name_, name)) return true;
    return false;
}

TClassInfo& RegisterUiClass(std::u16string name, std::u16string_view parentName, TFactory factory) {
    auto& registry = Registry();
    const auto it = registry.find(name);
    if (it != registry.end()) return *it->second;
    const TClassInfo* parent = nullptr;
    if (!parentName.empty()) {
        const auto p = registry.find(parentName);
        if (p == registry.end())
            throw Exception(u"Class " + std::u16string(parentName) + u" is not registered");
        parent = p->second.get();
    }
    auto info = std::make_unique<TClassInfo>(name, parent, std::move(factory));
    TClassInfo& ref = *info;
    registry.emplace(std::move(name), std::move(info));
    return ref;
}

const TClassInfo* FindClass(std::u16string_view name) {
    RegisterUiClasses();
    const auto& registry = Registry();
    const auto it = registry.find(name);
    return it == registry.end() ? nullptr : it->second.get();
}

void RegisterUiClasses() {
    if (g_uiRegistered) return;
    g_uiRegistered = true;
    // Parents before children.
    detail::RegisterControlClasses();
    detail::RegisterActionClasses();
    detail::RegisterImageListClasses();
    detail::RegisterMenuClasses();
    detail::RegisterFormClasses();
    detail::RegisterStdCtrlClasses();
    detail::RegisterExtCtrlClasses();
    detail::RegisterDialogClasses();
    detail::RegisterApplicationClasses();
    detail::RegisterComCtrlClasses();
    detail::RegisterTrayIconClasses();
    detail::RegisterGridClasses();
}

} // namespace kv
