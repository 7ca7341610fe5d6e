#include "app/WarningBox.h"

#include <windows.h>

namespace app::detail {

void PlatformWarningBox(const std::u16string& text) {
    MessageBoxW(GetActiveWindow(), reinterpret_cast<const wchar_t*>(text.c_str()), L"Kolvane",
                MB_OK | MB_ICONWARNING);
}

} // namespace app::detail
