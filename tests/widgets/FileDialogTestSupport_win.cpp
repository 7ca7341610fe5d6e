#include "FileDialogTestSupport.h"

#include <gtest/gtest.h>

#include "ui/Application.h"
#include "ui/Forms.h"
#include "widgets/XFileDialog.h"

namespace kvtest {

namespace {

// The application object for the whole run, unless another helper of this test program made
// one already.
class FileDialogEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (!kv::Application) {
            app_ = new kv::TApplication(nullptr);
            app_->SetTitle(u"KolvaneTest");
        }
        kv::RegisterXFileDialogClasses();
    }
    void TearDown() override {
        delete app_;
        app_ = nullptr;
    }

private:
    kv::TApplication* app_ = nullptr;
};
const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new FileDialogEnvironment);

StepDriver* g_driver = nullptr;

BOOL CALLBACK CancelShellDialog(HWND wnd, LPARAM) {
    wchar_t name[16] = {};
    if (IsWindowVisible(wnd) && GetClassNameW(wnd, name, 16) && lstrcmpW(name, L"#32770") == 0)
        PostMessageW(wnd, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}

} // namespace

StepDriver::StepDriver(std::vector<std::function<bool()>> steps, unsigned timeoutMs)
    : steps_(std::move(steps)), start_(GetTickCount()), timeoutMs_(timeoutMs),
      timer_(SetTimer(nullptr, 0, 30, &Tick)) {
    g_driver = this;
}

StepDriver::~StepDriver() {
    KillTimer(nullptr, timer_);
    if (g_driver == this) g_driver = nullptr;
}

void CALLBACK StepDriver::Tick(HWND, UINT, UINT_PTR, DWORD) {
    try {
        if (g_driver) g_driver->Run();
    } catch (...) {
        // Nothing may leave a timer callback.
    }
}

void StepDriver::Run() {
    if (running_) return;
    running_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{running_};
    if (GetTickCount() - start_ > timeoutMs_) {
        timedOut_ = true;
        for (int i = 0; kv::Screen && i < kv::Screen->FormCount(); ++i)
            if (kv::Screen->Forms(i)->Modal()) kv::Screen->Forms(i)->SetModalResult(kv::mrAbort);
        EnumThreadWindows(GetCurrentThreadId(), &CancelShellDialog, 0);
    } else if (next_ < steps_.size() && steps_[next_]()) {
        ++next_;
    }
}

namespace {
struct FindData {
    const wchar_t* className;
    HWND except;
    HWND found;
};
BOOL CALLBACK FindVisible(HWND wnd, LPARAM data) {
    auto* d = reinterpret_cast<FindData*>(data);
    wchar_t name[64] = {};
    if (wnd != d->except && IsWindowVisible(wnd) && GetClassNameW(wnd, name, 64) &&
        lstrcmpW(name, d->className) == 0) {
        d->found = wnd;
        return FALSE;
    }
    return TRUE;
}
} // namespace

HWND FindThreadWindow(const wchar_t* className, HWND except) {
    FindData d{className, except, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), &FindVisible, reinterpret_cast<LPARAM>(&d));
    return d.found;
}

HWND FindChild(HWND parent, const wchar_t* className, const wchar_t* text) {
    return FindWindowExW(parent, nullptr, className, text);
}

std::u16string WindowText(HWND wnd) {
    wchar_t buf[1024] = {};
    GetWindowTextW(wnd, buf, 1024);
    return std::u16string(reinterpret_cast<const char16_t*>(buf));
}

void PostKey(HWND wnd, WORD key) {
    const UINT scan = MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
    PostMessageW(wnd, WM_KEYDOWN, key, 1 | (scan << 16));
    PostMessageW(wnd, WM_KEYUP, key, 1 | (scan << 16) | 0xC0000000u);
}

void PostClick(HWND button) {
    PostMessageW(button, BM_CLICK, 0, 0);
}

void PostMouseClick(HWND wnd) {
    RECT r{};
    GetClientRect(wnd, &r);
    const LPARAM at = MAKELPARAM((r.right - r.left) / 2, (r.bottom - r.top) / 2);
    PostMessageW(wnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(wnd, WM_LBUTTONUP, 0, at);
}

} // namespace kvtest
