#pragma once
// Driving the report dialogs in tests: a report state of the test's own options, a driver
// thread that finds the dialog the test thread shows and acts on it, and reading controls back.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "crash/capture/CrashLogMain.h"
#include "crash/core/ClCore.h"
#include "crash/dialogs/ClDialogWin.h"

namespace kvtest {

using namespace kv::crash;

// Generous: the dialogs run under an emulated machine too.
constexpr DWORD kFindTimeoutMs = 60000;

// A report of the test's own options, counter and texts; everything is put back afterwards
// and the dialogs' INI file starts absent.
class TDialogReport {
public:
    TDialogReport() : options_(std::make_unique<TCrashModuleOptionsEx>(std::string())) {
        Report = TCrashReport{};
        Report.Options = options_.get();
        savedCounter_ = ReportCounter;
        ReportCounter = 1;
        RemoveIni();
    }
    ~TDialogReport() {
        Report = TCrashReport{};
        ReportCounter = savedCounter_;
        ExceptionActionNotify = nullptr;
        CustomButtonClickNotify = nullptr;
        RemoveIni();
    }
    TCrashModuleOptionsEx& Options() { return *options_; }
    static std::string IniFile() { return IncludeLastBackslash(GetIniFolder()) + kDialogIniFile; }
    static void RemoveIni() { DeleteFileA(IniFile().c_str()); }

private:
    std::unique_ptr<TCrashModuleOptionsEx> options_;
    int32_t savedCounter_ = 0;
};

inline std::string ClassOf(HWND w) {
    char name[64] = {};
    GetClassNameA(w, name, sizeof name);
    return name;
}

inline std::string WindowText(HWND w) {
    char text[1024] = {};
    GetWindowTextA(w, text, sizeof text);
    return text;
}

struct TDialogSearch {
    const std::vector<HWND>* Except;
    HWND Found = nullptr;
};

inline BOOL CALLBACK FindOwnDialog(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<TDialogSearch*>(p);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid != GetCurrentProcessId() || !IsWindowVisible(w) || ClassOf(w) != "#32770") return TRUE;
    for (HWND e : *s->Except)
        if (e == w) return TRUE;
    s->Found = w;
    return FALSE;
}

// A visible top-level dialog of this process not in `except`; null when none comes in time.
inline HWND WaitForDialog(const std::vector<HWND>& except = {}, DWORD timeoutMs = kFindTimeoutMs) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        TDialogSearch s{&except};
        EnumWindows(&FindOwnDialog, reinterpret_cast<LPARAM>(&s));
        if (s.Found) {
            // A window shown while its start still runs: this returns once its thread takes
            // messages again, with the start done.
            DWORD_PTR ignored = 0;
            SendMessageTimeoutW(s.Found, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &ignored);
            return s.Found;
        }
        Sleep(20);
    }
    return nullptr;
}

// Waits until the condition holds; false when it did not in time.
inline bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = kFindTimeoutMs) {
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
    return true;
}

// Runs show on this thread (it shows a modal dialog) while drive acts on the dialog found by a
// driver thread. When drive leaves the dialog open, or no dialog comes, the driver closes
// whatever dialog of ours is left so that show returns.
inline void WithDialog(const std::function<void()>& show, const std::function<void(HWND)>& drive) {
    std::atomic<bool> shown{false};
    std::thread driver([&] {
        const HWND dialog = WaitForDialog();
        if (dialog)
            drive(dialog);
        else
            ADD_FAILURE() << "no dialog came";
        const DWORD start = GetTickCount();
        while (!shown && GetTickCount() - start < kFindTimeoutMs) {
            if (const HWND left = WaitForDialog({}, 2000)) PostMessageW(left, WM_CLOSE, 0, 0);
        }
    });
    show();
    shown = true;
    driver.join();
}

inline void Click(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

inline void SetCheck(HWND dialog, int id, bool checked) {
    SendDlgItemMessageW(dialog, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    Click(dialog, id);
}

inline bool Visible(HWND dialog, int id) {
    const HWND c = GetDlgItem(dialog, id);
    return c && (GetWindowLongW(c, GWL_STYLE) & WS_VISIBLE) != 0;
}

inline std::string ItemText(HWND dialog, int id) {
    return WindowText(GetDlgItem(dialog, id));
}

// A control's rectangle in its dialog's client coordinates.
inline RECT ItemRect(HWND dialog, int id) {
    RECT r{};
    GetWindowRect(GetDlgItem(dialog, id), &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

inline SIZE ClientSize(HWND w) {
    RECT r{};
    GetClientRect(w, &r);
    return SIZE{r.right, r.bottom};
}

} // namespace kvtest
