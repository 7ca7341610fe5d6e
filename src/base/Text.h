#pragma once
// UTF-16 text helpers shared by every module: conversions to and from UTF-8
// (paths on POSIX, test output) and the Win32 wchar_t view. Pure functions.
#include <string>
#include <string_view>

namespace kv {

// Strict-enough UTF-8 <-> UTF-16 for our own text; invalid input becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view s);
std::string Utf16ToUtf8(std::u16string_view s);

// Decimal text of an integer, as UTF-16.
std::u16string IntToStr(long long v);

// Integer value of a whole decimal text (optional sign, no blanks); false when it is not one
// or does not fit in 32 bits.
bool TryStrToInt(std::u16string_view s, int& value);

} // namespace kv
