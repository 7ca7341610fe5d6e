#include "widgets/WlProperties.h"

#include "base/Text.h"

namespace kv {

void TWlPropertyWriter::Text(const char16_t* name, std::u16string value) {
    for (auto& line : lines_)
        if (SameName(line.name, name)) {
            line.value = std::move(value);
            return;
        }
    lines_.push_back({name, std::move(value)});
}

void TWlPropertyWriter::Remove(std::u16string_view name) {
    std::erase_if(lines_,
                  [name](const TWlStoredProperty& line) { return SameName(line.name, name); });
}

void TWlPropertyWriter::Int(const char16_t* name, int value, std::optional<int> def) {
    if (def && *def == value) return;
    Text(name, IntToStr(value));
}

void TWlPropertyWriter::Bool(const char16_t* name, bool value, bool def) {
    if (value == def) return;
    Text(name, value ? u"True" : u"False");
}

void TWlPropertyWriter::Enum(const char16_t* name, int value, int def, TNames names) {
    if (value == def) return;
    for (const auto& [v, text] : names)
        if (v == value) {
            Text(name, text);
            return;
        }
    Text(name, IntToStr(value));
}

void TWlPropertyWriter::Set(const char16_t* name, unsigned value, unsigned def, TNames names) {
    if (value == def) return;
    std::u16string text = u"[";
    for (const auto& [bit, member] : names) {
        if (!(value & (1u << bit))) continue;
        if (text.size() > 1) text += u", ";
        text += member;
    }
    Text(name, text + u"]");
}

void TWlPropertyWriter::Color(const char16_t* name, TColor value, TColor def) {
    if (value == def) return;
    Text(name, WlColorText(value));
}

std::optional<std::u16string> TWlPropertyWriter::Find(std::u16string_view name) const {
    for (const auto& line : lines_)
        if (SameName(line.name, name)) return line.value;
    return std::nullopt;
}

std::u16string WlColorText(TColor c) {
    static const std::pair<TColor, const char16_t*> kNames[] = {
        {clBlack, u"clBlack"},
        {clMaroon, u"clMaroon"},
        {clGreen, u"clGreen"},
        {clOlive, u"clOlive"},
        {clNavy, u"clNavy"},
        {clPurple, u"clPurple"},
        {clTeal, u"clTeal"},
        {clGray, u"clGray"},
        {clSilver, u"clSilver"},
        {clRed, u"clRed"},
        {clLime, u"clLime"},
        {clYellow, u"clYellow"},
        {clBlue, u"clBlue"},
        {clFuchsia, u"clFuchsia"},
        {clAqua, u"clAqua"},
        {clWhite, u"clWhite"},
        {clNone, u"clNone"},
        {clDefault, u"clDefault"},
        {clBtnFace, u"clBtnFace"},
        {clBtnShadow, u"clBtnShadow"},
        {clBtnHighlight, u"clBtnHighlight"},
        {clBtnText, u"clBtnText"},
        {clWindow, u"clWindow"},
        {clWindowText, u"clWindowText"},
        {clWindowFrame, u"clWindowFrame"},
        {clInfoBk, u"clInfoBk"},
        {clInfoText, u"clInfoText"},
        {clHighlight, u"clHighlight"},
        {clHighlightText, u"clHighlightText"},
        {clInactiveCaption, u"clInactiveCaption"},
        {clGrayText, u"clGrayText"},
    };
    for (const auto& [color, text] : kNames)
        if (color == c) return text;
    return IntToStr(c);
}

} // namespace kv
