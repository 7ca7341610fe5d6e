#pragma once
// The form reader: builds a form (or any root component) from its text form description, a
// resource of type RCDATA in the executable. Format: nested blocks
//   object Name: TClass
//     Property = value        (integers, 'strings' with #nnn code units and +, identifiers,
//     Font.Name = 'x'          [sets], ('string' 'lists'), <item ... end> collections, {hex})
//     object Child: TClass ... end
//   end
// The root block names the root's own class and applies to the existing root. Each nested
// block creates its class through the class registry (owner: the root), gives it its name,
// sets its parent component (the enclosing block's) before any other property, then applies
// its properties in stored order. Component references are resolved after the whole form is
// read, so they may point forward; event properties bind to handlers the root registered.
// Then the root's bound fields are filled and every component's end-of-loading step runs, root
// first, then in the order the components were read. Failures raise EReadError naming what
// was wrong (unknown class, unknown property, bad value, unresolved reference or handler).
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Exception.h"
#include "ui/Component.h"

namespace kv {

struct TValue;
class TClassInfo;

class EReadError : public Exception {
public:
    using Exception::Exception;
};

class TReader {
public:
    // Reads the form description text into root.
    static void ReadComponent(TComponent& root, std::u16string_view text);
    // Reads the RCDATA resource of that name (UTF-8 text, with or without byte-order mark)
    // from the executable into root; a missing resource raises EReadError.
    static void ReadComponentResource(TComponent& root, std::u16string_view resourceName);

    // Value conversions for property setters; a value of another kind fails with the
    // component and property named.
    int AsInt(const TValue& v);
    bool AsBool(const TValue& v);
    double AsFloat(const TValue& v);
    std::u16string AsString(const TValue& v);
    TColor AsColor(const TValue& v);
    int AsEnum(const TValue& v, const std::vector<std::pair<std::u16string, int>>& table);
    unsigned AsSet(const TValue& v, const std::vector<std::pair<std::u16string, int>>& table);
    std::vector<std::u16string> AsStrings(const TValue& v);
    // The handler the root registered under the value's name with this signature.
    template <class Sig> std::function<Sig> Handler(const TValue& v);
    // Calls apply with the component the value names once the whole form is read.
    void AddReference(const TValue& v, std::function<void(TComponent*)> apply);
    // Applies stored properties to a sub-object or collection item of the given class.
    void ApplyProperties(TObject& target, const TClassInfo& info,
                         const std::vector<std::pair<std::u16string, TValue>>& props);
    [[noreturn]] void Fail(const TValue& v, const std::u16string& message);
    TComponent& Root() const { return *root_; }
    // One object block of a parsed description.
    struct Node;

private:
    explicit TReader(TComponent& root) : root_(&root) {}
    void Build(const Node& node, TComponent* parent, bool isRoot);
    void SetProperty(TObject& target, const TClassInfo& info, const std::u16string& name,
                     const TValue& value);
    const std::any* FindHandlerOrFail(const TValue& v);
    void Finish();

    struct Fixup {
        std::u16string component, property, name;
        int line;
        std::function<void(TComponent*)> apply;
    };
    TComponent* root_;
    std::vector<TComponent*> loaded_;
    std::vector<Fixup> fixups_;
    std::u16string component_, property_; // what is being read, for messages
};

template <class Sig> std::function<Sig> TReader::Handler(const TValue& v) {
    const std::any* any = FindHandlerOrFail(v);
    const auto* fn = std::any_cast<std::function<Sig>>(any);
    if (!fn) Fail(v, u"Handler has the wrong type");
    return *fn;
}

} // namespace kv
