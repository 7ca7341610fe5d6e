// The freeze watchdog: a thread that asks the main window for an answer and, when none comes
// for the freeze time, reports the main thread where it stands.
#include <windows.h>

#include "crash/capture/CrashLogMainWin.h"

namespace kv::crash::detail {

namespace {

HANDLE g_freezeThread = nullptr;
DWORD g_freezeThreadId = 0;
std::atomic<bool> g_freezeTerminated{false};
std::mutex g_freezeLock;

void SleepUnlessTerminated(DWORD ms) {
    for (DWORD slept = 0; slept < ms && !g_freezeTerminated.load(); slept += 10) Sleep(10);
}

void ReportFrozenMainThread() {
    const HANDLE main = reinterpret_cast<HANDLE>(State->MainThreadHandle);
    if (SuspendThread(main) == static_cast<DWORD>(-1)) return;
    ThreadCaptureBlock& own = Capture();
    own.ReportRunning = 1;
    try {
        alignas(16) CONTEXT context{};
        context.ContextFlags = kContextControlInteger;
        if (GetThreadContext(main, &context) && context.Eip != 0 && context.Esp != 0) {
            const TCrashModuleOptions* options = CurrentOptionsOrNull();
            EFrozenApplication frozen(AnsiToUtf16(
                options ? options->GetCustomizedExpandedTexts(mtException_AntiFreeze) : ""));
            t_reportForThread = State->MainThreadId;
            DispatchExceptionReport(&frozen, context.Eip, false, State->MainStackTop, context.Esp,
                                    reinterpret_cast<uintptr_t>(&context), 0, rtLocal, OwnModule(),
                                    aeNone, false, nullptr);
            t_reportForThread = 0;
        }
    } catch (...) {
        // The main thread runs again whatever happened.
    }
    (Real.ResumeThread ? Real.ResumeThread : &::ResumeThread)(main);
    own.ReportRunning = 0;
}

DWORD WINAPI FreezeExecute(void*) {
    Capture();
    while (!g_freezeTerminated.load()) {
        uint32_t silent = 0;
        for (;;) {
            const TCrashModuleOptions* options = CurrentOptionsOrNull();
            const uint32_t limit =
                options ? static_cast<uint32_t>(options->FreezeTimeout()) * 1000u : 60000u;
            if (g_freezeTerminated.load() || silent >= limit) break;
            HWND window = nullptr;
            while (
                !g_freezeTerminated.load() &&
                !(window = reinterpret_cast<HWND>(FindMainWindowOfProcess(GetCurrentProcessId()))))
                Sleep(50);
            if (g_freezeTerminated.load()) break;
            const DWORD asked = GetTickCount();
            DWORD_PTR answer = 0;
            if (SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 50, &answer)) {
                SleepUnlessTerminated(300);
                silent = 0;
            } else {
                // The time that really passed: the wait may return early or late.
                const DWORD passed = GetTickCount() - asked;
                silent += passed < 50 ? 50 : passed;
            }
        }
        if (g_freezeTerminated.load()) break;
        ReportFrozenMainThread();
    }
    return 0;
}

} // namespace

DWORD FreezeThreadId() {
    return g_freezeThreadId;
}

void StartFreezeWatchdog() {
    std::lock_guard<std::mutex> lock(g_freezeLock);
    if (!State || IntoIDE() || g_freezeThread) return;
    TCrashModuleOptions* options = CurrentOptionsOrNull();
    if (!options || !options->FreezeActivate() || !options->Active()) return;
    if (DeferToMainModule && options->BehaviourOptions().Contains(boUseMainModuleOptions)) return;
    g_freezeTerminated.store(false);
    DWORD id = 0;
    g_freezeThread = StartOwnThread(&FreezeExecute, nullptr, id, true);
    if (!g_freezeThread) return;
    g_freezeThreadId = id;
    SetThreadPriority(g_freezeThread, THREAD_PRIORITY_NORMAL);
    (Real.ResumeThread ? Real.ResumeThread : &::ResumeThread)(g_freezeThread);
}

void StopFreezeWatchdog() {
    HANDLE thread = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_freezeLock);
        if (!g_freezeThread || IntoIDE()) return;
        g_freezeTerminated.store(true);
        if (GetCurrentThreadId() == g_freezeThreadId) return; // it ends by itself
        thread = g_freezeThread;
        g_freezeThread = nullptr;
        g_freezeThreadId = 0;
    }
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

} // namespace kv::crash::detail
