#pragma once
// The class registry of the form reader: each class that a form description may name is
// registered with its name, its parent class, a factory and the properties it reads, each a
// setter that takes a parsed value. Names are matched without regard to case. Interface thread.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ui/Component.h"

namespace kv {

class TReader;

// One value of a form description.
struct TValue {
    enum Kind { Int, Float, String, Ident, Set, List, Collection, Binary };
    struct Item; // a collection item: its properties in stored order
    Kind kind = Int;
    int64_t i = 0;
    double f = 0;
    std::u16string s;                  // String, Ident; Binary holds the bytes as 0..255
    std::vector<std::u16string> names; // Set
    std::vector<TValue> list;          // List
    std::vector<Item> items;           // Collection
    int line = 0;

    const char16_t* KindName() const;
};
struct TValue::Item {
    std::vector<std::pair<std::u16string, TValue>> props;
};

using TPropertySetter = std::function<void(TObject& target, const TValue& value, TReader& reader)>;
using TFactory = std::function<TComponent*(TComponent* owner)>;

class TClassInfo {
public:
    TClassInfo(std::u16string name, const TClassInfo* parent, TFactory factory)
        : name_(std::move(name)), parent_(parent), factory_(std::move(factory)) {}
    const std::u16string& Name() const { return name_; }
    const TClassInfo* Parent() const { return parent_; }
    const TFactory& Factory() const { return factory_; }
    // The setter of the property (own or inherited), or null.
    const TPropertySetter* FindProperty(std::u16string_view name) const;
    void AddProperty(std::u16string name, TPropertySetter setter) {
        props_[std::move(name)] = std::move(setter);
    }
    bool InheritsFrom(std::u16string_view name) const;

private:
    std::u16string name_;
    const TClassInfo* parent_;
    TFactory factory_;
    std::map<std::u16string, TPropertySetter, NameLess> props_;
};

// Registers (or returns the already registered) class of that name. parentName must be
// registered already when given.
TClassInfo& RegisterUiClass(std::u16string name, std::u16string_view parentName, TFactory factory);
// The class of that name, or null. The framework's own classes are registered on first use.
const TClassInfo* FindClass(std::u16string_view name);
// Registers every class of the window framework (idempotent).
void RegisterUiClasses();

// The value tables for enumerations and sets.
using TNameTable = std::initializer_list<std::pair<const char16_t*, int>>;

// Typed helpers to fill a class's property table.
template <class C> class TClassBuilder {
public:
    explicit TClassBuilder(TClassInfo& info) : info_(info) {}
    TClassInfo& Info() const { return info_; }

    TClassBuilder& Prop(std::u16string name, std::function<void(C&, const TValue&, TReader&)> f) {
        info_.AddProperty(std::move(name), [f](TObject& t, const TValue& v, TReader& r) {
            f(static_cast<C&>(t), v, r);
        });
        return *this;
    }
    TClassBuilder& Int(std::u16string name, std::function<void(C&, int)> f);
    TClassBuilder& Bool(std::u16string name, std::function<void(C&, bool)> f);
    TClassBuilder& Str(std::u16string name, std::function<void(C&, const std::u16string&)> f);
    TClassBuilder& Color(std::u16string name, std::function<void(C&, TColor)> f);
    TClassBuilder& Enum(std::u16string name, TNameTable table, std::function<void(C&, int)> f);
    TClassBuilder& Set(std::u16string name, TNameTable table, std::function<void(C&, unsigned)> f);
    TClassBuilder& Strings(std::u16string name,
                           std::function<void(C&, const std::vector<std::u16string>&)> f);
    TClassBuilder& ShortCut(std::u16string name, std::function<void(C&, TShortCut)> f);
    // A reference to another component of the form, resolved after the whole form is read.
    template <class T> TClassBuilder& Ref(std::u16string name, std::function<void(C&, T*)> f);
    // An event bound to a handler the root registered under the stored name.
    template <class Sig> TClassBuilder& Event(std::u16string name, std::function<Sig> C::*member);
    // Properties that the class accepts and ignores (values of the original designer).
    TClassBuilder& Ignore(std::initializer_list<const char16_t*> names);

private:
    TClassInfo& info_;
};

} // namespace kv

#include "ui/FormReader.h"

namespace kv {

template <class C>
TClassBuilder<C>& TClassBuilder<C>::Int(std::u16string name, std::function<void(C&, int)> f) {
    return Prop(std::move(name), [f](C& c, const TValue& v, TReader& r) { f(c, r.AsInt(v)); });
}
template <class C>
TClassBuilder<C>& TClassBuilder<C>::Bool(std::u16string name, std::function<void(C&, bool)> f) {
    return Prop(std::move(name), [f](C& c, const TValue& v, TReader& r) { f(c, r.AsBool(v)); });
}
template <class C>
TClassBuilder<C>& TClassBuilder<C>::Str(std::u16string name,
                                        std::function<void(C&, const std::u16string&)> f) {
    return Prop(std::move(name), [f](C& c, const TValue& v, TReader& r) { f(c, r.AsString(v)); });
}
template <class C>
TClassBuilder<C>& TClassBuilder<C>::Color(std::u16string name, std::function<void(C&, TColor)> f) {
    return Prop(std::move(name), [f](C& c, const TValue& v, TReader& r) { f(c, r.AsColor(v)); });
}
template <class C>
TClassBuilder<C>& TClassBuilder<C>::Enum(std::u16string name, TNameTable table,
                                         std::function<void(C&, int)> f) {
    std::vector<std::pair<std::u16string, int>> t;
    for (const auto& e : table) t.emplace_back(e.first, e.second);
    return Prop(std::move(name),
                [f, t](C& c, const TValue& v, TReader& r) { f(c, r.AsEnum(v, t)); });
}
template <class C>
TClassBuilder<C>& TClassBuilder<C>::Set(std::u16string name, TNameTable table,
                                        std::function<void(C&, unsigned)> f) {
    std::vector<std::pair<std::u16string, int>> t;
    for (const auto& e : table) t.emplace_back(e.first, e.second);
    return Prop(std::move(name),
                [f, t](C& c, const TValue& v, TReader& r) { f(c, r.AsSet(v, t)); });
}
template <class C>
TClassBuilder<C>&
TClassBuilder<C>::Strings(std::u16string name,
                          std::function<void(C&, const std::vector<std::u16string>&)> f) {
    return Prop(std::move(name), [f](C& c, const TValue& v, TReader& r) { f(c, r.AsStrings(v)); });
}
template <class C>
TClassBuilder<C>& TClassBuilder<C>::ShortCut(std::u16string name,
                                             std::function<void(C&, TShortCut)> f) {
    // Stored as a number (16467) or as text ('Ctrl+S').
    return Prop(std::move(name), [f](C& c, const TValue& v, TReader& r) {
        if (v.kind == TValue::String) {
            const TShortCut s = TextToShortCut(v.s);
            if (s == scNone && !v.s.empty()) r.Fail(v, u"Invalid short cut: " + v.s);
            f(c, s);
        } else {
            f(c, static_cast<TShortCut>(r.AsInt(v)));
        }
    });
}
template <class C>
template <class T>
TClassBuilder<C>& TClassBuilder<C>::Ref(std::u16string name, std::function<void(C&, T*)> f) {
    return Prop(std::move(name), [f](C& c, const TValue& v, TReader& r) {
        C* target = &c;
        r.AddReference(v, [f, target, &r, v](TComponent* found) {
            T* typed = dynamic_cast<T*>(found);
            if (found && !typed) r.Fail(v, u"Invalid property value: " + v.s);
            f(*target, typed);
        });
    });
}
template <class C>
template <class Sig>
TClassBuilder<C>& TClassBuilder<C>::Event(std::u16string name, std::function<Sig> C::*member) {
    return Prop(std::move(name), [member](C& c, const TValue& v, TReader& r) {
        c.*member = r.template Handler<Sig>(v);
    });
}
template <class C>
TClassBuilder<C>& TClassBuilder<C>::Ignore(std::initializer_list<const char16_t*> names) {
    for (const char16_t* n : names) info_.AddProperty(n, [](TObject&, const TValue&, TReader&) {});
    return *this;
}

// Registers class C (with a factory taking the owner) under its own class name.
template <class C> TClassBuilder<C> RegisterComponentClass(std::u16string_view parentName) {
    return TClassBuilder<C>(
        RegisterUiClass(std::u16string(C::StaticClassName()), parentName,
                        [](TComponent* owner) -> TComponent* { return new C(owner); }));
}
// Registers a class that is no component (collection items, sub-objects): no factory.
template <class C> TClassBuilder<C> RegisterPlainClass(std::u16string name) {
    return TClassBuilder<C>(RegisterUiClass(std::move(name), u"", nullptr));
}

} // namespace kv
