#include "app/WarningBox.h"

#include "ui/Dialogs.h"

namespace app::detail {

// The window framework's warning box: over the active window, with the application's title,
// through its replaceable message-box service.
void PlatformWarningBox(const std::u16string& text) {
    kv::ShowWarning(text);
}

} // namespace app::detail
