// The freeze watchdog: a thread that asks the main window for an answer and, when none comes
// for the freeze time, reports the main thread where it stands.
#include <windows.h>

#include "crash/capture/CrashLogMainWin.h"
#include "crash/debug/ClDebugModules.h"
#include "crash/debug/ClCallStack.h"

namespace kv::crash::detail {

namespace {

// One running watchdog. Its stop flag is its own, so that a watchdog stopped from its own
// thread (an event handler of its report) ends by itself while a new one may already run.
struct TFreezeWatch {
    std::atomic<bool> terminated{false};
};

HANDLE g_freezeThread = nullptr;
DWORD g_freezeThreadId = 0;
std::shared_ptr<TFreezeWatch> g_freezeWatch;
std::mutex g_freezeLock;

void SleepUnlessTerminated(const TFreezeWatch& watch, DWORD ms) {
    for (DWORD slept = 0; slept < ms && !watch.terminated.load(); slept += 10) Sleep(10);
}

// The main thread is stopped only while its registers and stack are copied (into memory made
// before): a thread stopped inside the heap or any other lock would hold that lock for the
// whole report, and the report needs the heap. The report is then made from the copy.
void ReportFrozenMainThread(std::vector<uint8_t>& stack) {
    const HANDLE main = reinterpret_cast<HANDLE>(State->MainThreadHandle);
    ThreadCaptureBlock& own = Capture();
    alignas(16) CONTEXT context{};
    uint32_t copied = 0;
    own.ReportRunning = 1;
    if (SuspendThread(main) == static_cast<DWORD>(-1)) {
        own.ReportRunning = 0;
        return;
    }
    context.ContextFlags = kContextControlInteger;
    const bool readable = GetThreadContext(main, &context) && context.Eip != 0 && context.Esp != 0;
    if (readable && State->MainStackTop > context.Esp) {
        const uint32_t size = std::min<uint32_t>(State->MainStackTop - context.Esp,
                                                 static_cast<uint32_t>(stack.size()));
        SIZE_T read = 0;
        if (ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<void*>(context.Esp),
                              stack.data(), size, &read))
            copied = static_cast<uint32_t>(read);
    }
    (Real.ResumeThread ? Real.ResumeThread : &::ResumeThread)(main);
    own.ReportRunning = 0;
    if (!readable) return;
    try {
        const TCrashModuleOptions* options = CurrentOptionsOrNull();
        EFrozenApplication frozen(AnsiToUtf16(
            options ? options->GetCustomizedExpandedTexts(mtException_AntiFreeze) : ""));
        std::unique_ptr<TCrashStackList> frames =
            copied
                ? WalkStackCopy(context.Eip, context.Esp, stack.data(), copied, State->MainThreadId)
                : nullptr;
        t_reportForThread = State->MainThreadId;
        DispatchExceptionReport(&frozen, context.Eip, false, State->MainStackTop, context.Esp,
                                reinterpret_cast<uintptr_t>(&context), 0, rtLocal, OwnModule(),
                                aeNone, false, frames.release());
    } catch (...) {
        // The watchdog goes on whatever the report did.
    }
    t_reportForThread = 0;
}

DWORD WINAPI FreezeExecute(void* parameter) {
    const std::shared_ptr<TFreezeWatch> watch = *std::unique_ptr<std::shared_ptr<TFreezeWatch>>(
        static_cast<std::shared_ptr<TFreezeWatch>*>(parameter));
    Capture();
    std::vector<uint8_t> stack(kStackCopySize);
    while (!watch->terminated.load()) {
        uint32_t silent = 0;
        for (;;) {
            const TCrashModuleOptions* options = CurrentOptionsOrNull();
            const uint32_t limit =
                options ? static_cast<uint32_t>(options->FreezeTimeout()) * 1000u : 60000u;
            if (watch->terminated.load() || silent >= limit) break;
            // A report on the main thread keeps it from answering (a dialog of its own answers
            // for it): that is no freeze, and its lock is not to be waited for.
            if (ReportInProgress()) {
                silent = 0;
                SleepUnlessTerminated(*watch, 50);
                continue;
            }
            HWND window = nullptr;
            while (
                !watch->terminated.load() &&
                !(window = reinterpret_cast<HWND>(FindMainWindowOfProcess(GetCurrentProcessId()))))
                Sleep(50);
            if (watch->terminated.load()) break;
            const DWORD asked = GetTickCount();
            DWORD_PTR answer = 0;
            if (SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 50, &answer)) {
                SleepUnlessTerminated(*watch, 300);
                silent = 0;
            } else {
                // The time that really passed: the wait may return early or late.
                const DWORD passed = GetTickCount() - asked;
                silent += passed < 50 ? 50 : passed;
            }
        }
        if (watch->terminated.load()) break;
        if (!ReportInProgress()) ReportFrozenMainThread(stack);
    }
    return 0;
}

} // namespace

DWORD FreezeThreadId() {
    return g_freezeThreadId;
}

void StartFreezeWatchdog() {
    // Modules met while the watchdog starts (its thread's start reaches the thread registry) are
    // not read in full now: that may ask the program for a password, on the starting thread.
    struct Hold {
        Hold() { HoldModuleRegistration(); }
        ~Hold() { AllowModuleRegistration(); }
    } hold;
    std::lock_guard<std::mutex> lock(g_freezeLock);
    if (!State || IntoIDE() || g_freezeThread) return;
    TCrashModuleOptions* options = CurrentOptionsOrNull();
    if (!options || !options->FreezeActivate() || !options->Active()) return;
    if (DeferToMainModule && options->BehaviourOptions().Contains(boUseMainModuleOptions)) return;
    auto watch = std::make_shared<TFreezeWatch>();
    auto parameter = std::make_unique<std::shared_ptr<TFreezeWatch>>(watch);
    DWORD id = 0;
    g_freezeThread = StartOwnThread(&FreezeExecute, parameter.get(), id, true);
    if (!g_freezeThread) return;
    parameter.release(); // the thread owns it now
    g_freezeThreadId = id;
    g_freezeWatch = std::move(watch);
    SetThreadPriority(g_freezeThread, THREAD_PRIORITY_NORMAL);
    (Real.ResumeThread ? Real.ResumeThread : &::ResumeThread)(g_freezeThread);
}

void StopFreezeWatchdog() {
    HANDLE thread = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_freezeLock);
        if (!g_freezeThread || IntoIDE()) return;
        g_freezeWatch->terminated.store(true);
        g_freezeWatch.reset();
        thread = g_freezeThread;
        const bool ownThread = GetCurrentThreadId() == g_freezeThreadId;
        g_freezeThread = nullptr;
        g_freezeThreadId = 0;
        if (ownThread) {
            // Stopped from its own report: it ends by itself once the report returns.
            CloseHandle(thread);
            return;
        }
    }
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

} // namespace kv::crash::detail
