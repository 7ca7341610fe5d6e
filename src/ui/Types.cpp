#include "ui/Types.h"

#include "base/Text.h"

namespace kv {

namespace {
char16_t Fold(char16_t c) {
    return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
}

struct KeyName {
    WORD key;
    const char16_t* name;
};
constexpr KeyName kKeyNames[] = {
    {VK_BACK, u"BkSp"},   {VK_TAB, u"Tab"},    {VK_RETURN, u"Enter"}, {VK_ESCAPE, u"Esc"},
    {VK_SPACE, u"Space"}, {VK_PRIOR, u"PgUp"}, {VK_NEXT, u"PgDn"},    {VK_END, u"End"},
    {VK_HOME, u"Home"},   {VK_LEFT, u"Left"},  {VK_UP, u"Up"},        {VK_RIGHT, u"Right"},
    {VK_DOWN, u"Down"},   {VK_INSERT, u"Ins"}, {VK_DELETE, u"Del"},
};
} // namespace

bool SameName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i])) return false;
    return true;
}

bool NameLess::operator()(std::u16string_view a, std::u16string_view b) const {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const char16_t x = Fold(a[i]), y = Fold(b[i]);
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

COLORREF ColorToRGB(TColor c) {
    if (c == clNone || c == clDefault) return 0;
    if (static_cast<uint32_t>(c) & 0xFF000000u)
        return GetSysColor(static_cast<int>(static_cast<uint32_t>(c) & 0xFF));
    return static_cast<COLORREF>(c);
}

TShiftState KeyboardShiftState() {
    TShiftState s = 0;
    if (GetKeyState(VK_SHIFT) < 0) s |= ssShift;
    if (GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
    return s;
}

std::u16string ShortCutToText(TShortCut s) {
    const WORD key = s & 0xFF;
    if (key == 0) return {};
    std::u16string name;
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) {
        name = char16_t(key);
    } else if (key >= VK_F1 && key <= VK_F24) {
        name = u"F" + IntToStr(key - VK_F1 + 1);
    } else {
        for (const auto& k : kKeyNames)
            if (k.key == key) name = k.name;
        if (name.empty()) return {};
    }
    std::u16string text;
    if (s & scShift) text += u"Shift+";
    if (s & scCtrl) text += u"Ctrl+";
    if (s & scAlt) text += u"Alt+";
    return text + name;
}

TShortCut TextToShortCut(std::u16string_view text) {
    TShortCut mods = 0;
    for (;;) {
        if (text.size() > 6 && SameName(text.substr(0, 6), u"Shift+")) {
            mods |= scShift;
            text.remove_prefix(6);
        } else if (text.size() > 5 && SameName(text.substr(0, 5), u"Ctrl+")) {
            mods |= scCtrl;
            text.remove_prefix(5);
        } else if (text.size() > 4 && SameName(text.substr(0, 4), u"Alt+")) {
            mods |= scAlt;
            text.remove_prefix(4);
        } else {
            break;
        }
    }
    for (int key = 1; key < 256; ++key) {
        const std::u16string name = ShortCutToText(static_cast<TShortCut>(key));
        if (!name.empty() && SameName(name, text)) return static_cast<TShortCut>(mods | key);
    }
    return scNone;
}

} // namespace kv
