// Started once before the Windows tests: makes Wine start its desktop process and load the
// display driver while nothing else runs, then stays as a user process so the desktop stays.
// A process that creates its first window while the desktop process is still starting (many
// test programs at once on a loaded machine) is left without a display driver for its whole
// life; started here first, none of them has to wait for it.
#include <windows.h>

#include <cstdio>

int main() {
    const HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                        GetModuleHandleW(nullptr), nullptr);
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    const bool driver = window && EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode);
    if (window) DestroyWindow(window);
    std::puts(driver ? "ready" : "no display driver");
    std::fflush(stdout);
    if (!driver) return 1;
    Sleep(INFINITE); // ended with the Wine server
    return 0;
}
