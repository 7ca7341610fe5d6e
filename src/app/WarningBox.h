#pragma once
// The warning message box of the application (warning icon, one OK button), behind a hook so
// that the window layer can route it through its own message-box service and tests can watch
// it. Interface thread.
#include <string>

namespace app {

using WarningBoxFn = void (*)(const std::u16string& text);

// Shows the text in a warning box and returns when the user has closed it.
void ShowWarning(const std::u16string& text);

// Installs fn in place of the platform's box (nullptr puts the platform's back); returns the
// hook that was installed before.
WarningBoxFn SetWarningBox(WarningBoxFn fn);

namespace detail {
// The platform's box: the window framework's warning box (message-box service) on Windows, a
// line on stderr elsewhere.
void PlatformWarningBox(const std::u16string& text);
} // namespace detail

} // namespace app
