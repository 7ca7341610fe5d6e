#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "../support/CrashTestSupport.h"
#include "PngReader.h"
#include "base/Exception.h"
#include "crash/report/ClScreenshot.h"

namespace {

using namespace kv::crash;

// A visible pure-green window of this process, painted before the capture.
class GreenWindow {
public:
    GreenWindow() {
        WNDCLASSA cls{};
        cls.lpfnWndProc = DefWindowProcA;
        cls.hInstance = GetModuleHandleA(nullptr);
        cls.hbrBackground = brush_;
        cls.lpszClassName = "KvScreenshotTestWindow";
        RegisterClassA(&cls);
        window_ = CreateWindowExA(WS_EX_TOPMOST, cls.lpszClassName, "", WS_POPUP | WS_VISIBLE, 40,
                                  30, 120, 90, nullptr, nullptr, cls.hInstance, nullptr);
        UpdateWindow(window_);
        // Shown once the screen holds its green (half a minute at most).
        HDC screen = GetDC(nullptr);
        MSG msg;
        for (const DWORD start = GetTickCount(); GetTickCount() - start < 30000;) {
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            if (GetPixel(screen, 100, 75) == RGB(0, 255, 0)) break;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
        ReleaseDC(nullptr, screen);
    }
    ~GreenWindow() {
        DestroyWindow(window_);
        DeleteObject(brush_);
    }
    HWND Handle() const { return window_; }

private:
    HBRUSH brush_ = CreateSolidBrush(RGB(0, 255, 0));
    HWND window_ = nullptr;
};

struct HookScope {
    ~HookScope() { ScreenshotHooks = {}; }
};

TEST(ClScreenshotWin, CapturesTheMonitorsOfTheProcessWindowsAsPalettePng) {
    GreenWindow green;
    ASSERT_TRUE(green.Handle());
    HookScope scope;
    static HWND focus;
    focus = green.Handle();
    ScreenshotHooks.ReportFocusWindow = [] { return reinterpret_cast<uintptr_t>(focus); };
    ScreenshotHooks.ReportCursor = [](uintptr_t& cursor, int& x, int& y) {
        cursor = 0; // no cursor drawn
        x = y = 0;
        return true;
    };

    kv::TMemoryStream out;
    SaveScreenshotToStream(out);
    const kvtest::PngImage png = kvtest::ReadPng(out.Data());
    ASSERT_EQ(png.Width, static_cast<uint32_t>(GetSystemMetrics(SM_CXSCREEN)));
    ASSERT_EQ(png.Height, static_cast<uint32_t>(GetSystemMetrics(SM_CYSCREEN)));
    auto colorAt = [&](int x, int y) {
        const auto index = static_cast<uint8_t>(png.Pixels[y * (png.Width + 1) + 1 + x]);
        return TPngColor{uint8_t(png.Palette[index * 3]), uint8_t(png.Palette[index * 3 + 1]),
                         uint8_t(png.Palette[index * 3 + 2])};
    };
    // Inside: the window's own green; its two outer rings: the red focus frame.
    EXPECT_EQ(colorAt(100, 70), (TPngColor{0, 255, 0}));
    EXPECT_EQ(colorAt(40, 70), (TPngColor{255, 0, 0}));
    EXPECT_EQ(colorAt(41, 70), (TPngColor{255, 0, 0}));
    EXPECT_EQ(colorAt(42, 70), (TPngColor{0, 255, 0}));
    EXPECT_EQ(colorAt(100, 119), (TPngColor{255, 0, 0}));
}

TEST(ClScreenshotWin, SavesTheFileAndReleases) {
    GreenWindow green;
    kvtest::TempDir dir("shot_file");
    const std::string name = dir.Ansi("Screenshot.png");
    SaveScreenshot(name);
    const std::string bytes = kvtest::TempFolder::Read(dir.Path(u"Screenshot.png"));
    const kvtest::PngImage png = kvtest::ReadPng(bytes);
    EXPECT_GT(png.Width, 0u);
    // Released: a later save has nothing to write.
    std::filesystem::remove(dir.FsPath() / "Screenshot.png");
    SaveCapturedScreenshot(name);
    EXPECT_FALSE(std::filesystem::exists(dir.FsPath() / "Screenshot.png"));
}

// A stream on a full disk: every write raises.
class FullStream : public kv::TStream {
public:
    int64_t GetSize() const override { return 0; }
    int64_t GetPosition() const override { return 0; }
    void SetPosition(int64_t) override {}
    size_t Read(void*, size_t) override { return 0; }
    size_t Write(const void*, size_t) override { throw kv::EFileError(u"The disk is full."); }
};

TEST(ClScreenshotWin, AStreamThatCannotBeWrittenIsAFailureNotAnException) {
    FullStream full;
    bool saved = true;
    EXPECT_NO_THROW(saved = SaveScreenshotToStream(full));
    EXPECT_FALSE(saved);
    kv::TMemoryStream out;
    EXPECT_TRUE(SaveScreenshotToStream(out));
    EXPECT_GT(out.GetSize(), 0);
}

TEST(ClScreenshotWin, ActiveWindowOnlyCapturesTheForegroundWindowOrTheDesktop) {
    HookScope scope;
    static TCrashModuleOptions options("");
    auto sends = options.CommonSendOptions();
    sends.Include(sndUseOnlyActiveWindow);
    options.SetCommonSendOptions(sends);
    ScreenshotHooks.CurrentCrashLogOptions = []() -> const TCrashModuleOptions* {
        return &options;
    };
    HWND window = GetForegroundWindow();
    if (!window) window = GetDesktopWindow();
    RECT r;
    ASSERT_TRUE(GetWindowRect(window, &r));
    kv::TMemoryStream out;
    SaveScreenshotToStream(out);
    const kvtest::PngImage png = kvtest::ReadPng(out.Data());
    EXPECT_EQ(png.Width, static_cast<uint32_t>(std::max<LONG>(1, r.right - r.left)));
    EXPECT_EQ(png.Height, static_cast<uint32_t>(std::max<LONG>(1, r.bottom - r.top)));
}

} // namespace
