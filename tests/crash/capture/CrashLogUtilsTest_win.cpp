#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "base/Exception.h"
#include "crash/capture/CrashLogUtils.h"

namespace {

using namespace kv::crash;

struct WindowOwner {
    HWND h = nullptr;
    ~WindowOwner() {
        if (h) DestroyWindow(h);
    }
};

ATOM RegisterTestClass(const wchar_t* name) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = name;
    return RegisterClassW(&wc);
}

HWND Make(const wchar_t* cls, DWORD exStyle, DWORD style, int w, int h, HWND owner = nullptr) {
    return CreateWindowExW(exStyle, cls, L"t", style, 10, 10, w, h, owner, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

TEST(CrashLogUtilsWin, MainWindowSkipsHiddenZeroSizedAndToolWindows) {
    RegisterTestClass(L"KvMainSearch");
    RegisterTestClass(L"TApplication");
    WindowOwner hidden{Make(L"KvMainSearch", 0, WS_OVERLAPPED, 200, 100)};
    WindowOwner empty{Make(L"KvMainSearch", 0, WS_POPUP | WS_VISIBLE, 0, 0)};
    WindowOwner tool{Make(L"KvMainSearch", WS_EX_TOOLWINDOW, WS_POPUP | WS_VISIBLE, 200, 100)};
    WindowOwner app{Make(L"TApplication", 0, WS_POPUP, 0, 0)};
    WindowOwner owned{Make(L"KvMainSearch", 0, WS_POPUP | WS_VISIBLE, 200, 100, hidden.h)};
    WindowOwner form{Make(L"KvMainSearch", 0, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 200, app.h)};
    ASSERT_TRUE(hidden.h && empty.h && tool.h && app.h && owned.h && form.h);

    static constexpr struct {
        const char* name;
        int index;
        bool qualifies;
    } kCases[] = {{"hidden", 0, false},
                  {"zero-sized", 1, false},
                  {"tool window", 2, false},
                  {"owned by a plain window", 4, false},
                  {"owned by TApplication", 5, true}};
    const HWND windows[] = {hidden.h, empty.h, tool.h, app.h, owned.h, form.h};
    for (const auto& c : kCases) {
        EXPECT_EQ(QualifiesAsMainWindow(reinterpret_cast<uintptr_t>(windows[c.index])), c.qualifies)
            << c.name;
    }
    EXPECT_EQ(FindMainWindowOfProcess(GetCurrentProcessId()), reinterpret_cast<uintptr_t>(form.h));
    EXPECT_EQ(FindMainWindowOfProcess(0xFFFFFFF0u), 0u);
    PumpOneMessage();
}

TEST(CrashLogUtilsWin, SharedOptionsTravelThroughTheNamedBlock) {
    const std::string exe = GetLongModuleFileName(0);
    TCrashModuleOptions written(exe);
    ASSERT_NE(written.ModuleHandle(), 0u);
    written.SetSupportURL("http://support.example/");
    written.SetFreezeTimeout(17);
    WriteSharedOptions(written);

    uint8_t* data = nullptr;
    uint32_t stored = 0;
    TSharedOptionsBlock* block = OpenSharedOptionsBlock(written.ModuleHandle(), 0, data, stored);
    ASSERT_NE(block, nullptr);
    EXPECT_GT(stored, 1u);
    EXPECT_EQ(data[0], 1);
    CloseSharedOptionsBlock(block, data);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(data, nullptr);

    TCrashModuleOptions read(exe);
    EXPECT_TRUE(ReadSharedOptions(read));
    EXPECT_EQ(read.SupportURL(), "http://support.example/");
    EXPECT_EQ(read.FreezeTimeout(), 17);

    CloseOwnSharedOptionsBlock();
    TCrashModuleOptions none(exe);
    EXPECT_FALSE(ReadSharedOptions(none));
    EXPECT_EQ(none.FreezeTimeout(), 60);
    EXPECT_EQ(OpenSharedOptionsBlock(written.ModuleHandle(), 0, data, stored), nullptr);
}

TEST(CrashLogUtilsWin, FreedObjectIsNoValidReference) {
    void* page = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    ASSERT_NE(page, nullptr);
    auto* e = new (page) kv::Exception(u"x");
    EXPECT_TRUE(IsValidObjectReference(e));
    e->~Exception();
    VirtualFree(page, 0, MEM_RELEASE);
    FlushValidBlockCache();
    EXPECT_FALSE(IsValidObjectReference(page));
    EXPECT_EQ(GetValidObjectClassName(page), "");
}

struct EWideObject : kv::Exception {
    EWideObject() : kv::Exception(u"wide") {}
    char payload[2000] = {};
};

TEST(CrashLogUtilsWin, ALargeObjectCountsOnlyWhenItsWholeInstanceIsReadable) {
    RegisterInstanceSize<EWideObject>();
    const auto model = std::make_unique<EWideObject>();
    // Two pages, the second unreadable: an object's first word copied near the first page's end.
    auto* pages = static_cast<uint8_t*>(
        VirtualAlloc(nullptr, 8192, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(pages, nullptr);
    DWORD old = 0;
    ASSERT_TRUE(VirtualProtect(pages + 4096, 4096, PAGE_NOACCESS, &old));
    FlushValidBlockCache();
    uint8_t* const whole = pages;
    uint8_t* const cut = pages + 4096 - 1024;
    std::memcpy(whole, model.get(), sizeof(void*));
    std::memcpy(cut, model.get(), sizeof(void*));
    EXPECT_TRUE(IsValidObjectReference(whole));
    EXPECT_FALSE(IsValidObjectReference(cut));
    EXPECT_EQ(GetValidObjectClassName(cut), "");
    VirtualFree(pages, 0, MEM_RELEASE);
    FlushValidBlockCache();
}

DWORD WINAPI WaitForStop(void* stop) {
    return WaitForSingleObject(static_cast<HANDLE>(stop), 10000);
}

TEST(CrashLogUtilsWin, ProcessRoutines) {
    EXPECT_FALSE(DebuggerAttached());
    const std::string exe = GetLongModuleFileName(0);
    EXPECT_NE(UpperCase(exe).find("TEST_CRASH.EXE"), std::string::npos) << exe;
    EXPECT_TRUE(ModuleHasFileName(0));
    EXPECT_EQ(GetOwnModuleFileName(), exe);
    EXPECT_EQ(CurrentProcessHandle(), reinterpret_cast<uintptr_t>(GetCurrentProcess()));

    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_TRUE(IsOpenHandle(reinterpret_cast<uintptr_t>(event)));
    CloseHandle(event);
    EXPECT_FALSE(IsOpenHandle(reinterpret_cast<uintptr_t>(event)));

    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, WaitForStop, stop, 0, nullptr);
    EXPECT_TRUE(IsThreadRunning(reinterpret_cast<uintptr_t>(thread)));
    SetEvent(stop);
    WaitForSingleObject(thread, 10000);
    EXPECT_FALSE(IsThreadRunning(reinterpret_cast<uintptr_t>(thread)));
    EXPECT_FALSE(IsThreadRunning(0));
    CloseHandle(thread);
    CloseHandle(stop);
}

} // namespace
