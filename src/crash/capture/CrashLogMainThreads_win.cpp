// The thread registry's hooks: threads the runtime starts (pthread_create, wrapped at link time)
// and threads made by plain CreateThread (the program's import patched at start-up) are
// registered and run inside a wrapper that knows their stack and reports a system exception
// that nothing in the thread handles; the thread that resumes another leaves a copy of its stack.
#include <windows.h>

#include <pthread.h>

#include <cstring>

#include "crash/capture/CrashLogMainWin.h"

namespace kv::crash::detail {

namespace {

bool Active() {
    return LibraryActive.load() != 0 && ThreadsList() != nullptr;
}

// A copy of the calling thread's stack from here to its top; null when it cannot be read.
std::shared_ptr<const std::string> CopyOwnStack(uint32_t& start) {
    start = StackPosition();
    const uint32_t top = StackTop();
    if (top <= start) return nullptr;
    uint32_t size = top - start;
    if (size > kStackCopySize) size = kStackCopySize;
    if (!IsValidBlockAddr(start, size)) return nullptr;
    return std::make_shared<const std::string>(reinterpret_cast<const char*>(start), size);
}

uintptr_t OwnHandleOfCurrentThread() {
    HANDLE h = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &h, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    return reinterpret_cast<uintptr_t>(h);
}

// ---- The frame at the base of a registered thread ----

struct ThreadSehRecord {
    ThreadSehRecord* next;
    void* handler;
};

extern "C" EXCEPTION_DISPOSITION __cdecl KvThreadSehHandler(EXCEPTION_RECORD* rec, void*,
                                                            CONTEXT* ctx, void*) {
    constexpr DWORD kUnwinding = 0x2 | 0x4;
    if (rec->ExceptionFlags & kUnwinding) return ExceptionContinueSearch;
    const DWORD code = rec->ExceptionCode;
    // Nothing in the thread took it: the report, then the thread ends. A stack overflow goes on
    // to the last-chance filter, which reports it from another thread.
    if (LibraryActive.load() == 0 || code < kCodeSystemFirst || code > kCodeSystemLast ||
        code == kCodeStackOverflow || !IsCrashLogActive())
        return ExceptionContinueSearch;
    CopyRecordAndContext(rec, ctx);
    const std::unique_ptr<kv::Exception> object = ObjectFromRecord(rec);
    ExceptionManagerImpl(object.get(), reinterpret_cast<uintptr_t>(rec->ExceptionAddress),
                         rtUnknown, OwnModule());
    ExitThread(1);
}

class ThreadSehFrame {
public:
    ThreadSehFrame() {
        record_.handler = reinterpret_cast<void*>(&KvThreadSehHandler);
        asm volatile("movl %%fs:0, %0" : "=r"(record_.next));
        asm volatile("movl %0, %%fs:0" : : "r"(&record_) : "memory");
    }
    ~ThreadSehFrame() { asm volatile("movl %0, %%fs:0" : : "r"(record_.next) : "memory"); }
    ThreadSehFrame(const ThreadSehFrame&) = delete;
    ThreadSehFrame& operator=(const ThreadSehFrame&) = delete;

private:
    ThreadSehRecord record_;
};

// ---- Threads the runtime starts ----

struct TBootRecord {
    void* (*routine)(void*) = nullptr;
    void* parameter = nullptr;
    uint32_t creator = 0;
    std::shared_ptr<const std::string> creatorStack;
    uint32_t creatorStackStart = 0;
};

void* BeginThreadWrapper(void* p) {
    const std::unique_ptr<TBootRecord> boot(static_cast<TBootRecord*>(p));
    Capture(); // made now, while the thread has all its stack
    if (TCrashThreadsList* threads = ThreadsList(); threads && LibraryActive.load() != 0) {
        auto entry = std::make_unique<TCrashThreadInfo>();
        entry->ID = GetCurrentThreadId();
        entry->Handle = OwnHandleOfCurrentThread();
        entry->CallerID = boot->creator;
        entry->TopOfStack = StackTop();
        entry->BeginThreadFunction = reinterpret_cast<uintptr_t>(boot->routine);
        entry->Parameter = reinterpret_cast<uintptr_t>(boot->parameter);
        entry->CallerStackDump = boot->creatorStack;
        entry->CallerStackStart = boot->creatorStackStart;
        entry->CallerStackSize =
            boot->creatorStack ? static_cast<uint32_t>(boot->creatorStack->size()) : 0;
        threads->Add(std::move(entry));
    }
    // The routine runs also when the registry could not take the thread.
    void* result = nullptr;
    {
        ThreadSehFrame frame;
        result = boot->routine(boot->parameter);
    }
    // Its entry (a handle and a copy of the creator's stack) goes with it; threads that end
    // otherwise are purged when the next one starts.
    if (TCrashThreadsList* threads = ThreadsList(); threads && LibraryActive.load() != 0)
        threads->RemoveCurrentThread();
    ReleaseCapture();
    return result;
}

} // namespace

void RegisterMainThread() {
    auto entry = std::make_unique<TCrashThreadInfo>();
    entry->ID = State->MainThreadId;
    entry->Handle = State->MainThreadHandle;
    entry->TopOfStack = State->MainStackTop;
    entry->MainThread = true;
    State->Threads->Add(std::move(entry));
}

// ---- Plain CreateThread ----

namespace {

DWORD WINAPI CreateThreadWrapper(void* parameter) {
    Capture();
    LPTHREAD_START_ROUTINE routine = nullptr;
    void* routineParameter = parameter;
    if (TCrashThreadsList* threads = ThreadsList()) {
        threads->Update(GetCurrentThreadId(), [&](TCrashThreadInfo& e) {
            e.TopOfStack = StackTop();
            routine = reinterpret_cast<LPTHREAD_START_ROUTINE>(e.CreateThreadFunction);
            routineParameter = reinterpret_cast<void*>(e.Parameter);
        });
    }
    if (!routine) return static_cast<DWORD>(-1);
    DWORD result = 0;
    {
        ThreadSehFrame frame;
        result = routine(routineParameter);
    }
    if (TCrashThreadsList* threads = ThreadsList(); threads && LibraryActive.load() != 0)
        threads->RemoveCurrentThread();
    ReleaseCapture();
    return result;
}

} // namespace

HANDLE WINAPI HookedCreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize,
                                 LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                                 LPDWORD threadId) {
    if (!Real.CreateThread)
        Real.CreateThread = reinterpret_cast<decltype(Real.CreateThread)>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "CreateThread"));
    if (!Active()) return Real.CreateThread(security, stackSize, start, parameter, flags, threadId);
    TCrashThreadsList* threads = ThreadsList();
    threads->PurgeList();
    auto entry = std::make_unique<TCrashThreadInfo>();
    entry->Parameter = reinterpret_cast<uintptr_t>(parameter);
    entry->CreateThreadFunction = reinterpret_cast<uintptr_t>(start);
    DWORD id = 0;
    // Made suspended, so the entry is there before the thread looks for it; the caller's other
    // creation flags (a stack reservation) are kept.
    const HANDLE h = Real.CreateThread(security, stackSize, &CreateThreadWrapper, parameter,
                                       flags | CREATE_SUSPENDED, &id);
    if (threadId) *threadId = id;
    if (!h) return nullptr;
    HANDLE own = nullptr;
    DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &own, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    entry->ID = id;
    entry->Handle = reinterpret_cast<uintptr_t>(own);
    threads->Add(std::move(entry));
    if (!(flags & CREATE_SUSPENDED)) Real.ResumeThread(h);
    return h;
}

DWORD WINAPI HookedResumeThread(HANDLE thread) {
    if (!Real.ResumeThread)
        Real.ResumeThread = reinterpret_cast<decltype(Real.ResumeThread)>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "ResumeThread"));
    if (Active() && Capture().ReportRunning == 0) {
        uint32_t start = 0;
        std::shared_ptr<const std::string> copy = CopyOwnStack(start);
        const DWORD caller = GetCurrentThreadId();
        // By the thread's id: the caller's handle value may name another object by now.
        const DWORD id = GetThreadId(thread);
        std::shared_ptr<const std::string> old;
        if (id)
            ThreadsList()->Update(id, [&](TCrashThreadInfo& e) {
                e.CallerID = caller;
                e.CallerStackSize = copy ? static_cast<uint32_t>(copy->size()) : 0;
                old = std::move(e.CallerStackDump);
                e.CallerStackDump = copy;
                e.CallerStackStart = start;
            });
        // The former copy goes outside the lock.
        old.reset();
    }
    return Real.ResumeThread(thread);
}

void WINAPI HookedExitThread(DWORD code) {
    if (!Real.ExitThread)
        Real.ExitThread = reinterpret_cast<decltype(Real.ExitThread)>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "ExitThread"));
    if (Active()) ThreadsList()->RemoveCurrentThread();
    Real.ExitThread(code);
}

// A new runtime thread's start: the boot record the wrapper runs the routine from; null when the
// thread is not to be wrapped.
void* PrepareThreadStart(void* (*routine)(void*), void* parameter, void* (*&start)(void*)) {
    if (!Active() || !routine) return nullptr;
    ThreadsList()->PurgeList();
    auto boot = std::make_unique<TBootRecord>();
    boot->routine = routine;
    boot->parameter = parameter;
    boot->creator = GetCurrentThreadId();
    boot->creatorStack = CopyOwnStack(boot->creatorStackStart);
    start = &BeginThreadWrapper;
    return boot.release();
}

void DiscardThreadStart(void* boot) {
    const std::unique_ptr<TBootRecord> owned(static_cast<TBootRecord*>(boot));
}

} // namespace kv::crash::detail
