#include "app/WarningBox.h"

namespace app {
namespace {

WarningBoxFn g_warningBox = nullptr;

} // namespace

void ShowWarning(const std::u16string& text) {
    (g_warningBox ? g_warningBox : detail::PlatformWarningBox)(text);
}

WarningBoxFn SetWarningBox(WarningBoxFn fn) {
    const WarningBoxFn previous = g_warningBox;
    g_warningBox = fn;
    return previous;
}

} // namespace app
