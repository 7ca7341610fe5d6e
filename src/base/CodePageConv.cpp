#include "base/CodePageConv.h"

namespace kv {

bool TryWideToAnsi(std::u16string_view text, std::string& out) {
    out.clear();
    if (text.empty()) return true;
    if (!PlatformWideToMultiByte(0, 0, text.data(), text.size(), out)) return false;
    // Windows replaces what the code page lacks silently (best fit, else "?"); the round trip
    // is the one test that catches both.
    std::u16string back;
    return PlatformMultiByteToWide(0, 0, out.data(), out.size(), back) && back == text;
}

} // namespace kv
