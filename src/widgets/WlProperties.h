#pragma once
// The stored side of the widgets' property model: each published property has a declared
// default, and a form description stores only the values that differ from it (properties
// without a default are always stored). A widget lists its own published properties as the
// "Name = value" lines a form description would hold. Win32; interface thread only.
#include <windows.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ui/Types.h"

namespace kv {

struct TWlStoredProperty {
    std::u16string name;
    std::u16string value;
    bool operator==(const TWlStoredProperty&) const = default;
};

class TWlPropertyWriter {
public:
    using TNames = std::initializer_list<std::pair<int, const char16_t*>>;

    // Each writes name = value unless the value equals the default (no default: always).
    void Int(const char16_t* name, int value, std::optional<int> def);
    void Bool(const char16_t* name, bool value, bool def);
    void Enum(const char16_t* name, int value, int def, TNames names);
    void Set(const char16_t* name, unsigned value, unsigned def, TNames names);
    void Color(const char16_t* name, TColor value, TColor def);
    // A value written by another rule (replaces an earlier line of the same name).
    void Text(const char16_t* name, std::u16string value);
    // Drops the line of a property that a derived class hides.
    void Remove(std::u16string_view name);

    const std::vector<TWlStoredProperty>& Lines() const { return lines_; }
    // The value stored for a name, or none.
    std::optional<std::u16string> Find(std::u16string_view name) const;

private:
    std::vector<TWlStoredProperty> lines_;
};

// The form-description text of a colour: its cl name when it has one, else the number.
std::u16string WlColorText(TColor c);

} // namespace kv
