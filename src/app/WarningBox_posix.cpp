#include "app/WarningBox.h"

#include <cstdio>

#include "base/Text.h"

namespace app::detail {

// The native build has no message boxes; the text goes to stderr so it is not lost.
void PlatformWarningBox(const std::u16string& text) {
    std::fprintf(stderr, "warning: %s\n", kv::Utf16ToUtf8(text).c_str());
}

} // namespace app::detail
