#include "base/CodePageConv.h"

#include <windows.h>

#include <climits>

namespace kv {

unsigned GetAnsiCodePage() {
    return GetACP();
}

bool PlatformMultiByteToWide(unsigned codePage, unsigned flags, const char* bytes, size_t n,
                             std::u16string& out) {
    if (n == 0) return true;
    if (n > INT_MAX) return false;
    const int len = MultiByteToWideChar(codePage, flags, bytes, static_cast<int>(n), nullptr, 0);
    if (len <= 0) return false;
    const size_t base = out.size();
    out.resize(base + len);
    const int got = MultiByteToWideChar(codePage, flags, bytes, static_cast<int>(n),
                                        reinterpret_cast<wchar_t*>(&out[base]), len);
    out.resize(base + (got > 0 ? got : 0));
    return got > 0;
}

bool PlatformWideToMultiByte(unsigned codePage, unsigned flags, const char16_t* text, size_t n,
                             std::string& out) {
    if (n == 0) return true;
    if (n > INT_MAX) return false;
    const auto* w = reinterpret_cast<const wchar_t*>(text);
    const int len =
        WideCharToMultiByte(codePage, flags, w, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    if (len <= 0) return false;
    const size_t base = out.size();
    out.resize(base + len);
    const int got = WideCharToMultiByte(codePage, flags, w, static_cast<int>(n), &out[base], len,
                                        nullptr, nullptr);
    out.resize(base + (got > 0 ? got : 0));
    return got > 0;
}

} // namespace kv
