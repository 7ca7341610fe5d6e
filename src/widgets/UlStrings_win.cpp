#include "widgets/UlStrings.h"

#include <windows.h>

#include <memory>
#include <string>

#include "widgets/UlSysInfo.h"

namespace {

std::unique_ptr<TUlWideCharTables> g_wide;
std::unique_ptr<TUlAnsiCharTables> g_ansi;

template <class T, size_t N>
void Reflect(const uint16_t (&types)[N], const T (&lower)[N], const T (&upper)[N],
             T (&reflect)[N]) {
    for (size_t i = 0; i < N; ++i) {
        if (types[i] & C1_UPPER)
            reflect[i] = lower[i];
        else if (types[i] & C1_LOWER)
            reflect[i] = upper[i];
        else
            reflect[i] = static_cast<T>(i);
    }
}

void BuildWide(TUlWideCharTables& t) {
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    auto* chars = reinterpret_cast<wchar_t*>(t.lower);
    for (unsigned i = 0; i < 65536; ++i) t.lower[i] = t.upper[i] = static_cast<char16_t>(i);
    // Unit 0 would end the strings; its type and case are its own.
    GetStringTypeExW(LOCALE_USER_DEFAULT, CT_CTYPE1, chars + 1, 65535, t.types + 1);
    t.types[0] = C1_CNTRL;
    CharLowerBuffW(reinterpret_cast<wchar_t*>(t.lower) + 1, 65535);
    CharUpperBuffW(reinterpret_cast<wchar_t*>(t.upper) + 1, 65535);
    Reflect(t.types, t.lower, t.upper, t.reflect);
}

void BuildAnsi(TUlAnsiCharTables& t) {
    // One byte at a time: in a double-byte code page (932) a run of bytes would pair each
    // lead byte with its neighbour and give both the pair's answer.
    for (int i = 0; i < 256; ++i) {
        char c = static_cast<char>(i);
        WORD type = 0;
        if (i == 0 || !GetStringTypeExA(LOCALE_USER_DEFAULT, CT_CTYPE1, &c, 1, &type))
            type = i == 0 ? C1_CNTRL : 0;
        t.types[i] = type;
        char lower = c, upper = c;
        if (i != 0) {
            CharLowerBuffA(&lower, 1);
            CharUpperBuffA(&upper, 1);
        }
        t.lower[i] = static_cast<unsigned char>(lower);
        t.upper[i] = static_cast<unsigned char>(upper);
    }
    Reflect(t.types, t.lower, t.upper, t.reflect);
}

} // namespace

const TUlWideCharTables* UlWideCharTables() {
    return g_wide.get();
}
const TUlAnsiCharTables* UlAnsiCharTables() {
    return g_ansi.get();
}

void UlStringsInitialize() {
    if (!g_wide) {
        g_wide = std::make_unique<TUlWideCharTables>();
        BuildWide(*g_wide);
    }
    if (!g_ansi) {
        g_ansi = std::make_unique<TUlAnsiCharTables>();
        BuildAnsi(*g_ansi);
    }
}

void UlStringsFinalize() {
    g_wide.reset();
    g_ansi.reset();
}

int UlCompareText(std::u16string_view a, std::u16string_view b) {
    if (UlSystemInfo().isNT || UlSystemInfo().version == wvUnknown) {
        return CompareStringW(
                   LOCALE_USER_DEFAULT, NORM_IGNORECASE, reinterpret_cast<const wchar_t*>(a.data()),
                   static_cast<int>(a.size()), reinterpret_cast<const wchar_t*>(b.data()),
                   static_cast<int>(b.size())) -
               2;
    }
    // The non-NT line compares in the locale's ANSI code page.
    wchar_t cpText[8] = {};
    UINT codePage = CP_ACP;
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE, cpText, 8) > 0)
        codePage = static_cast<UINT>(_wtoi(cpText));
    auto narrow = [codePage](std::u16string_view s) {
        const auto* w = reinterpret_cast<const wchar_t*>(s.data());
        const int n = WideCharToMultiByte(codePage, 0, w, static_cast<int>(s.size()), nullptr, 0,
                                          nullptr, nullptr);
        std::string out(n > 0 ? n : 0, '\0');
        if (n > 0)
            WideCharToMultiByte(codePage, 0, w, static_cast<int>(s.size()), out.data(), n, nullptr,
                                nullptr);
        return out;
    };
    const std::string x = narrow(a), y = narrow(b);
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, x.data(),
                          static_cast<int>(x.size()), y.data(), static_cast<int>(y.size())) -
           2;
}
