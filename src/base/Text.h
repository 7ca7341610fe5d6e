#pragma once
// UTF-16 text helpers shared by every module: conversions to and from UTF-8
// (paths on POSIX, test output), integer and boolean text, letter-case-blind equality.
// Pure functions (StrToBool raises kv::EConvertError).
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

// The decimal value of the text, or def when it is not a whole 32-bit decimal integer.
int StrToIntDef(std::u16string_view s, int def);

// Text to boolean: a decimal integer (optional sign, any length) is true unless it is 0, and
// "true" / "false" are accepted in any letter case. Anything else raises kv::EConvertError.
bool StrToBool(std::u16string_view s);

// Equality without regard to letter case, for names and paths: ASCII, Latin-1, Latin
// Extended-A, Greek, Cyrillic and the full-width Latin letters fold to upper case; every other
// code unit compares as it is. The same on every platform.
bool SameText(std::u16string_view a, std::u16string_view b);

} // namespace kv
