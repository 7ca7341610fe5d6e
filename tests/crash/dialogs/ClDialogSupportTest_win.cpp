#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "DialogTestSupport_win.h"

namespace {

using namespace kvtest;

// A plain top-level window of a class of the test's choosing; destroyed with the object.
class TPlainWindow {
public:
    TPlainWindow(const wchar_t* className, RECT r, bool visible) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = className;
        RegisterClassW(&wc);
        window_ = CreateWindowExW(0, className, L"", WS_POPUP | (visible ? WS_VISIBLE : 0), r.left,
                                  r.top, r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                                  wc.hInstance, nullptr);
    }
    ~TPlainWindow() { DestroyWindow(window_); }
    HWND get() const { return window_; }

private:
    HWND window_ = nullptr;
};

TEST(ClDialogSupportWin, TheProcesssWindowsAndTheDevelopmentEnvironmentsWindow) {
    const TPlainWindow first(L"KvPlain", RECT{100, 100, 200, 150}, true);
    const TPlainWindow second(L"KvPlain", RECT{150, 120, 300, 400}, true);
    const TPlainWindow hidden(L"KvPlain", RECT{0, 0, 900, 900}, false);
    SnapshotProcessWindows();
    const TPlainWindow later(L"KvPlain", RECT{10, 10, 20, 20}, false);
    EXPECT_FALSE(IsNewWindow(first.get()));
    EXPECT_FALSE(IsNewWindow(hidden.get())); // hidden windows are in the snapshot too
    EXPECT_TRUE(IsNewWindow(later.get()));
    EXPECT_TRUE(IsOwnProcessWindow(first.get()));
    EXPECT_FALSE(IsOwnProcessWindow(GetDesktopWindow()));

    // The union of the visible windows only (the test program has no other visible window).
    const RECT all = GetProcessWindowsRect(GetCurrentProcessId());
    EXPECT_EQ(all.left, 100);
    EXPECT_EQ(all.top, 100);
    EXPECT_EQ(all.right, 300);
    EXPECT_EQ(all.bottom, 400);
    const RECT none = GetProcessWindowsRect(0xFFFFFFF0u);
    EXPECT_EQ(none.left, -1);
    EXPECT_EQ(none.bottom, -1);

    EXPECT_FALSE(IsIDEProcess(GetCurrentProcessId()));
    const TPlainWindow ide(L"TAppBuilder", RECT{0, 0, 10, 10}, false);
    EXPECT_TRUE(IsIDEProcess(GetCurrentProcessId()));
}

// The child's half of the test below: set when the test program runs itself.
constexpr char kExpectedParent[] = "KOLVANE_EXPECTED_PARENT";

TEST(ClDialogSupportWin, TheParentProcessIsTheProgramThatStartedIt) {
    char expected[32] = {};
    if (GetEnvironmentVariableA(kExpectedParent, expected, sizeof expected)) {
        EXPECT_EQ(GetParentProcessID(), std::stoul(expected));
        return;
    }
    // The test program runs this test again as a child, which compares its parent with the
    // process ID it is given.
    char self[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameA(nullptr, self, MAX_PATH), 0u);
    std::string command =
        std::string("\"") + self +
        "\" --gtest_filter=ClDialogSupportWin.TheParentProcessIsTheProgramThatStartedIt";
    SetEnvironmentVariableA(kExpectedParent, std::to_string(GetCurrentProcessId()).c_str());
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const bool started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0,
                                        nullptr, nullptr, &si, &pi) != FALSE;
    SetEnvironmentVariableA(kExpectedParent, nullptr);
    ASSERT_TRUE(started);
    const bool ended = WaitForSingleObject(pi.hProcess, kFindTimeoutMs) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(pi.hProcess, 99);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    ASSERT_TRUE(ended) << "the child test program did not end";
    EXPECT_EQ(code, 0u) << "the child found another parent";
}

TEST(ClDialogSupportWin, CentringTruncatesHalvesTowardZero) {
    const TPlainWindow w(L"KvPlain", RECT{0, 0, 101, 51}, false);
    CenterInRect(w.get(), RECT{10, 20, 310, 220});
    RECT r{};
    GetWindowRect(w.get(), &r);
    EXPECT_EQ(r.left, 10 + (300 - 101) / 2); // 109
    EXPECT_EQ(r.top, 20 + (200 - 51) / 2);   // 94
    MoveWindowBottomEdge(w.get(), 9);
    GetWindowRect(w.get(), &r);
    EXPECT_EQ(r.bottom - r.top, 60);
}

TEST(ClDialogSupportWin, FontsFollowTheUsersCharacterSet) {
    const TPlainWindow w(L"KvPlain", RECT{0, 0, 10, 10}, false);
    CreateDialogFonts(w.get());
    LOGFONTA fixed{}, caption{};
    GetObjectA(DialogFonts.Fixed, sizeof fixed, &fixed);
    GetObjectA(DialogFonts.Caption, sizeof caption, &caption);
    // The Japanese code page is not the Western one: 10 points, Courier New, MS Sans Serif.
    EXPECT_STREQ(fixed.lfFaceName, "Courier New");
    const HDC dc = GetDC(w.get());
    EXPECT_EQ(fixed.lfHeight, -MulDiv(10, GetDeviceCaps(dc, LOGPIXELSY), 72));
    ReleaseDC(w.get(), dc);
    EXPECT_STREQ(caption.lfFaceName, "MS Sans Serif");
    EXPECT_EQ(caption.lfWeight, FW_BOLD);
    FreeDialogFonts();
    EXPECT_EQ(DialogFonts.Fixed, nullptr);
}

} // namespace
