#pragma once
// The platform's code-page conversions (MultiByteToWideChar / WideCharToMultiByte on Windows,
// iconv on POSIX, where 932 stands in for the ANSI code page). Stateless; any thread.
#include <cstddef>
#include <string>
#include <string_view>

namespace kv {

constexpr unsigned kMbPrecomposed = 0x00000001;    // MB_PRECOMPOSED
constexpr unsigned kWcCompositeCheck = 0x00000200; // WC_COMPOSITECHECK

// The system's ANSI code page (GetACP; 932 on POSIX, as on the users' machines).
unsigned GetAnsiCodePage();

// Appends the UTF-16 form of n bytes in codePage to out. False, with nothing appended, when the
// platform cannot convert that code page (the conversion reports 0 characters).
bool PlatformMultiByteToWide(unsigned codePage, unsigned flags, const char* bytes, size_t n,
                             std::u16string& out);

// Appends the bytes of n UTF-16 units in codePage to out; characters the code page lacks become
// the platform's default character. False, nothing appended, for a code page it cannot convert.
bool PlatformWideToMultiByte(unsigned codePage, unsigned flags, const char16_t* text, size_t n,
                             std::string& out);

// The text in the system's ANSI code page, when that code page holds every character of it: the
// bytes must decode back to the same text, so neither the default character nor a best-fit
// look-alike is accepted. False otherwise (out is then unspecified).
bool TryWideToAnsi(std::u16string_view text, std::string& out);

} // namespace kv
