#include <windows.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "crash/report/ClScreenshot.h"
#include "crash/report/ClScreenshotWin.h"

namespace kv::crash {

namespace {

struct TGdiObject {
    HGDIOBJ handle = nullptr;
    ~TGdiObject() {
        if (handle) DeleteObject(handle);
    }
};

struct TMemoryDC {
    HDC handle = nullptr;
    ~TMemoryDC() {
        if (handle) DeleteDC(handle); // also lets go of the selected bitmap and palette
    }
};

struct TWindowDC {
    HWND window = nullptr;
    HDC handle = nullptr;
    ~TWindowDC() {
        if (handle) ReleaseDC(window, handle);
    }
};

// The captured screenshot. Members are destroyed memory context first, then what was selected
// into it, then the window's context.
struct TScreenshot {
    TWindowDC windowDC;
    TGdiObject bitmap;
    TGdiObject palette; // only on palette displays
    TMemoryDC memoryDC;
    HGDIOBJ oldBitmap = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0; // width rounded up to 4: the bitmap's width
};

std::recursive_mutex& ScreenshotLock() {
    static std::recursive_mutex lock;
    return lock;
}
__attribute__((init_priority(101))) std::unique_ptr<TScreenshot> Screenshot; // outlives reports

struct TProcessWindowsSearch {
    DWORD ProcessID;
    RECT Area{-1, -1, -1, -1};
    bool Any = false;
};

BOOL CALLBACK AddProcessWindow(HWND window, LPARAM param) {
    auto& search = *reinterpret_cast<TProcessWindowsSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    RECT r{};
    if (pid != search.ProcessID || !IsWindowVisible(window) || !GetWindowRect(window, &r) ||
        r.right - r.left <= 0)
        return TRUE;
    if (search.Any)
        UnionRect(&search.Area, &search.Area, &r);
    else
        search.Area = r;
    search.Any = true;
    return TRUE;
}

const TCrashModuleOptions* CaptureOptions() {
    const TCrashModuleOptions* options = nullptr;
    if (ScreenshotHooks.CurrentReportOptions) options = ScreenshotHooks.CurrentReportOptions();
    if (!options && ScreenshotHooks.CurrentCrashLogOptions)
        options = ScreenshotHooks.CurrentCrashLogOptions();
    return options;
}

void DrawFocusFrame(HDC dc, const RECT& area) {
    if (!ScreenshotHooks.ReportFocusWindow) return;
    const HWND focus = reinterpret_cast<HWND>(ScreenshotHooks.ReportFocusWindow());
    RECT r;
    if (!focus || !GetWindowRect(focus, &r)) return;
    OffsetRect(&r, -area.left, -area.top);
    const TGdiObject red{CreateSolidBrush(RGB(255, 0, 0))};
    if (!red.handle) return;
    FrameRect(dc, &r, static_cast<HBRUSH>(red.handle));
    InflateRect(&r, -1, -1);
    FrameRect(dc, &r, static_cast<HBRUSH>(red.handle));
}

void DrawCursor(HDC dc, const RECT& area) {
    uintptr_t cursor = 0;
    int x = 0, y = 0;
    if (!ScreenshotHooks.ReportCursor || !ScreenshotHooks.ReportCursor(cursor, x, y)) {
        CURSORINFO info{};
        info.cbSize = sizeof info;
        if (!GetCursorInfo(&info) || !(info.flags & CURSOR_SHOWING)) return;
        cursor = reinterpret_cast<uintptr_t>(info.hCursor);
        x = info.ptScreenPos.x;
        y = info.ptScreenPos.y;
    }
    const HICON icon = reinterpret_cast<HICON>(cursor);
    ICONINFO iconInfo{};
    if (!icon || !GetIconInfo(icon, &iconInfo)) return;
    const TGdiObject mask{iconInfo.hbmMask}, color{iconInfo.hbmColor};
    DrawIconEx(dc, x - area.left - static_cast<int>(iconInfo.xHotspot),
               y - area.top - static_cast<int>(iconInfo.yHotspot), icon, 32, 32, 0, nullptr,
               DI_NORMAL);
}

} // namespace

RECT GetProcessWindowsRect(DWORD ProcessID) {
    TProcessWindowsSearch search{ProcessID};
    EnumWindows(&AddProcessWindow, reinterpret_cast<LPARAM>(&search));
    return search.Area;
}

bool GetMonitorsSpanRect(RECT& Rect) {
    // Looked up by name: systems before the monitor functions lack them.
    using TMonitorFromPoint = HMONITOR(WINAPI*)(POINT, DWORD);
    using TGetMonitorInfoA = BOOL(WINAPI*)(HMONITOR, LPMONITORINFO);
    const HMODULE user32 = GetModuleHandleA("user32.dll");
    if (!user32) return false;
    const auto fromPoint =
        reinterpret_cast<TMonitorFromPoint>(GetProcAddress(user32, "MonitorFromPoint"));
    const auto info = reinterpret_cast<TGetMonitorInfoA>(GetProcAddress(user32, "GetMonitorInfoA"));
    if (!fromPoint || !info) return false;
    MONITORINFO first{}, last{};
    first.cbSize = last.cbSize = sizeof(MONITORINFO);
    if (!info(fromPoint(POINT{Rect.left, Rect.top}, MONITOR_DEFAULTTONEAREST), &first) ||
        !info(fromPoint(POINT{Rect.right, Rect.bottom}, MONITOR_DEFAULTTONEAREST), &last))
        return false;
    Rect = RECT{first.rcMonitor.left, first.rcMonitor.top, last.rcMonitor.right,
                last.rcMonitor.bottom};
    return true;
}

bool CaptureScreenshot() {
    const std::lock_guard<std::recursive_mutex> guard(ScreenshotLock());
    Screenshot.reset();
    const TCrashModuleOptions* options = CaptureOptions();
    auto shot = std::make_unique<TScreenshot>();
    RECT area{};
    POINT start{0, 0};
    if (options && options->CommonSendOptions().Contains(sndUseOnlyActiveWindow)) {
        HWND window = GetForegroundWindow();
        if (!window) window = GetDesktopWindow();
        shot->windowDC.window = window;
        GetWindowRect(window, &area);
    } else {
        shot->windowDC.window = GetDesktopWindow();
        area = GetProcessWindowsRect(GetCurrentProcessId());
        if (area.right <= area.left || !GetMonitorsSpanRect(area))
            GetWindowRect(shot->windowDC.window, &area);
        start = {area.left, area.top};
    }
    shot->windowDC.handle = GetWindowDC(shot->windowDC.window);
    if (!shot->windowDC.handle) return false;
    shot->width = std::max<int>(1, area.right - area.left);
    shot->height = std::max<int>(1, area.bottom - area.top);
    shot->stride = (shot->width + 3) & ~3;

    const HDC source = shot->windowDC.handle;
    shot->memoryDC.handle = CreateCompatibleDC(source);
    if (!shot->memoryDC.handle) return false;
    shot->bitmap.handle = CreateCompatibleBitmap(source, shot->stride, shot->height);
    if (!shot->bitmap.handle) return false;
    shot->oldBitmap = SelectObject(shot->memoryDC.handle, shot->bitmap.handle);
    if (GetDeviceCaps(source, RASTERCAPS) & RC_PALETTE) {
        std::vector<uint8_t> block(sizeof(LOGPALETTE) + 256 * sizeof(PALETTEENTRY));
        auto* logPalette = reinterpret_cast<LOGPALETTE*>(block.data());
        logPalette->palVersion = 0x300;
        logPalette->palNumEntries =
            static_cast<WORD>(GetSystemPaletteEntries(source, 0, 256, logPalette->palPalEntry));
        if (logPalette->palNumEntries) {
            shot->palette.handle = CreatePalette(logPalette);
            if (shot->palette.handle)
                SelectPalette(shot->memoryDC.handle, static_cast<HPALETTE>(shot->palette.handle),
                              FALSE);
        }
    }
    const HDC dc = shot->memoryDC.handle;
    BitBlt(dc, 0, 0, shot->width, shot->height, source, start.x, start.y, SRCCOPY);
    DrawFocusFrame(dc, area);
    DrawCursor(dc, area);
    Screenshot = std::move(shot);
    return true;
}

bool WritePNGImage(kv::TStream& stream) {
    const std::lock_guard<std::recursive_mutex> guard(ScreenshotLock());
    if (!Screenshot) return false;
    TScreenshot& shot = *Screenshot;
    // The picture is read in bands of rows, never whole: on a large desktop a full 24-bit copy
    // would take tens of megabytes at the moment memory may be short.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = shot.stride;
    info.bmiHeader.biHeight = shot.height; // bottom-up: scan line 0 is the bottom row
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    const size_t rowBytes = (static_cast<size_t>(shot.stride) * 3 + 3) & ~size_t{3};
    constexpr size_t kBandBytes = 256 * 1024;
    const int bandRows =
        std::clamp(static_cast<int>(kBandBytes / rowBytes), 1, std::max(shot.height, 1));
    std::vector<uint8_t> band(rowBytes * static_cast<size_t>(bandRows));
    int bandTop = -1; // the top row of the band held, -1 for none
    int bandCount = 0;
    // The bitmap is read while not selected, as the system asks.
    struct TDeselected {
        TScreenshot& shot;
        explicit TDeselected(TScreenshot& s) : shot(s) {
            SelectObject(shot.memoryDC.handle, shot.oldBitmap);
        }
        ~TDeselected() { SelectObject(shot.memoryDC.handle, shot.bitmap.handle); }
    } deselected(shot);
    const TRowSource rows = [&](int y) -> const uint8_t* {
        if (bandTop < 0 || y < bandTop || y >= bandTop + bandCount) {
            bandTop = y;
            bandCount = std::min(bandRows, shot.height - y);
            const int firstScan = shot.height - (y + bandCount);
            if (GetDIBits(shot.memoryDC.handle, static_cast<HBITMAP>(shot.bitmap.handle),
                          static_cast<UINT>(firstScan), static_cast<UINT>(bandCount), band.data(),
                          &info, DIB_RGB_COLORS) != bandCount) {
                bandTop = -1;
                return nullptr;
            }
        }
        // Bottom-up in the band: its last row is the band's top.
        return band.data() + rowBytes * static_cast<size_t>(bandCount - 1 - (y - bandTop));
    };
    if (!rows(0)) return false;
    WriteRgbRowsPng(stream, shot.width, shot.height, rows);
    return true;
}

void ReleaseScreenshot() {
    const std::lock_guard<std::recursive_mutex> guard(ScreenshotLock());
    Screenshot.reset();
}

} // namespace kv::crash
