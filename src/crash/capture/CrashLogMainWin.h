#pragma once
// Links between the engine's Win32 files: the per-thread capture block, the capture routines,
// the component's own threads and the real kernel32 entry points behind the hooks.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <type_traits>
#include <typeinfo>

#include "crash/capture/CrashLogMainInternal.h"

namespace kv::crash::detail {

// What the capture learns of the last exception of one thread.
struct ThreadCaptureBlock {
    char ExceptionClassName[65] = {}; // of the last exception dispatched as unhandled
    uintptr_t ExceptionAddress = 0;
    uint32_t StackPoint = 0;         // where the next call-stack walk starts; 0 = none
    uint32_t RaiseStackPosition = 0; // stack position of the raiser
    uint32_t RaiseEcx = 0;
    alignas(16) uint8_t Context[kContextCopySize] = {}; // ContextFlags first
    TExceptionRecordCopy ExceptionRecord;
    uint8_t DispatchGuard = 0;
    uint8_t ReportRunning = 0;
    std::atomic<uint8_t> CaptureGuard{0};
    const void* RaisedObject = nullptr; // the object the report names (or its stand-in)
    uintptr_t RaisedAddress = 0;
    const std::type_info* RaisedType = nullptr;
    void* RaisedThrown = nullptr; // what the C++ runtime threw
    const void* LastExceptionPointers = nullptr;
    void* Rethrown = nullptr;       // what a catch block being left by a rethrow handles
    void* ReportedThrown = nullptr; // the thrown object a report was made for at its raise
    // The object that stands in for a thrown value of no polymorphic class. Owned: replaced by
    // the next one, freed when the thread's routine ends (ReleaseCapture). The block itself must
    // stay trivially destructible: the runtime frees a thread's thread-local storage before it
    // runs the destructors of its thread-local objects.
    EForeignException* Substitute = nullptr;
    // The object last made from a system exception record for another module (owned; replaced by
    // the next one, freed when the thread's routine ends).
    kv::Exception* Translated = nullptr;
    // The last object the C++ runtime allocated for a throw of this thread, and its size.
    const void* AllocatedThrown = nullptr;
    uint32_t AllocatedThrownSize = 0;
    bool Touched = false;
};
static_assert(std::is_trivially_destructible_v<ThreadCaptureBlock>);
// The calling thread's block (made at its first use; the start-up and the thread wrappers touch
// it early so that crash time finds it made).
ThreadCaptureBlock& Capture();
// Frees what the calling thread's block owns (its routine has ended).
void ReleaseCapture();

inline CONTEXT& ContextOf(ThreadCaptureBlock& b) {
    return *reinterpret_cast<CONTEXT*>(b.Context);
}
inline uint32_t ContextFlagsOf(const ThreadCaptureBlock& b) {
    return *reinterpret_cast<const uint32_t*>(b.Context);
}

// The object the C++ runtime threw for the exception being handled (null outside a handler);
// holder keeps it alive. The runtime's exception pointer is the thrown object's address.
inline void* CurrentThrownObject(std::exception_ptr& holder) {
    static_assert(sizeof(std::exception_ptr) == sizeof(void*));
    holder = std::current_exception();
    void* thrown = nullptr;
    std::memcpy(&thrown, static_cast<const void*>(&holder), sizeof thrown);
    return thrown;
}

// Capture (exceptions of the program).
void RecordRaise(const void* object, uintptr_t address, bool language);
void RecordUnhandledInThread(const void* object, uintptr_t address);
void CopyRaisingThreadStack(uintptr_t address, bool language);
// The object a C++ throw carries, or its stand-in; type receives the thrown type.
const void* ThrownObject(void* thrown, const std::type_info* type);
// Whether a catch block of the program will take the exception. Only frames whose stack pointer
// is at searchFrom or above are looked at (those below it are the component's own); 0 = every
// frame.
bool IsHandledByCode(const void* object, const std::type_info* type, uintptr_t address,
                     TAsynchronousException& kind, uint32_t searchFrom = 0);
// copyStack: the raising thread's stack is copied for the report (false when the copy of an
// earlier raise of the same exception is still the one to report).
void NotifyRaisedException(const void* object, uintptr_t address, bool language,
                           const std::type_info* type, bool copyStack = true);
bool ExceptionManagerImpl(const void* object, uintptr_t address, TRaiserType raiser,
                          uintptr_t module);
// The object of a system exception record; made and freed by the caller.
std::unique_ptr<kv::Exception> ObjectFromRecord(const EXCEPTION_RECORD* record);
bool Hooking();
// An export of the process's main module when that is another module than this one; else null.
void* MainModuleExport(const char* name);
// Hands a raise to the main module's component (a module that defers to it).
void ForwardRaiseToMainModule(uint32_t code, uint32_t flags, uint32_t count,
                              const ULONG_PTR* arguments);
// A raise that another module's component hands over (the runtime's language raise forms).
void HandleGeneralRaise(uint32_t code, uint32_t flags, uint32_t count, const ULONG_PTR* arguments);
// The object of a system exception record, recorded for the report as a raise of this thread
// (notify: reported off the main thread when nothing takes it). The object stays the calling
// thread's until its next call; null for a null record.
const kv::Exception* CallExceptObject(const EXCEPTION_RECORD* record, const CONTEXT* context,
                                      bool notify);
// A C++ throw (rethrow: a catch block raises what it handles again).
void OnLanguageRaise(void* thrown, const std::type_info* type, uintptr_t address,
                     uint32_t callerEsp, uint32_t callerEbp, bool rethrow);
void UnhandledLanguageException();
void HandleEndCatch();
void* PrepareThreadStart(void* (*routine)(void*), void* parameter, void* (*&start)(void*));
void DiscardThreadStart(void* boot);
void InstallCaptureHooks();
void RemoveCaptureHooks();
void InstallLastChanceFilter();
// Puts the previous filter back (a library whose code goes away with it).
void RemoveLastChanceFilter();
// The thread a report made on the calling thread belongs to (the watchdog reports for the main
// thread, the overflow reporter for the overflowed one); 0 = the calling thread.
extern thread_local uint32_t t_reportForThread;
// Copies the record and context into the calling thread's block.
void CopyRecordAndContext(const EXCEPTION_RECORD* record, const CONTEXT* context);

// The report routine's clean-up for the calling thread; whether a report is being built.
void ClearAfterReport();
bool ReportInProgress();
// How long the raising thread waits for a report thread that makes no progress (no new step,
// no dialog on the screen, no event handler run) before it gives the report up.
extern std::atomic<uint32_t> ReportStallMs;
// Whether a report thread was given up (it may have ended holding locks of the component).
bool ReportGivenUp();
// Whether the thread is the one that dispatches the running report or the one that builds it.
bool IsReportingThread(DWORD id);
// The frames of a copy of a thread's stack (size bytes that lay at base), firstAddress first.
std::unique_ptr<TCrashStackList> WalkStackCopy(uintptr_t firstAddress, uint32_t base,
                                               const uint8_t* bytes, uint32_t size,
                                               uint32_t threadId);
// The address-space reserve that a report made after running out of memory works in.
void ReserveOutOfMemoryBlock();
void ReleaseOutOfMemoryBlock();

// The module that holds the component, and the current thread's stack.
uintptr_t OwnModule();
uint32_t StackTop();
uint32_t StackLimit();
uint32_t StackPosition();

// The real kernel32 routines (what the import patches replaced).
struct TRealKernel32 {
    decltype(&::CreateThread) CreateThread = nullptr;
    decltype(&::ResumeThread) ResumeThread = nullptr;
    decltype(&::ExitThread) ExitThread = nullptr;
    decltype(&::RaiseException) RaiseException = nullptr;
    decltype(&::UnhandledExceptionFilter) UnhandledExceptionFilter = nullptr;
    decltype(&::WriteFile) WriteFile = nullptr;
    void* RtlUnwind = nullptr;
};
extern TRealKernel32 Real;

// Starts a thread of the component itself (never registered or wrapped).
HANDLE StartOwnThread(LPTHREAD_START_ROUTINE routine, void* parameter, DWORD& id,
                      bool suspended = false);
bool IsOwnThread(DWORD id);

// Thread hooks.
HANDLE WINAPI HookedCreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize,
                                 LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                                 LPDWORD threadId);
DWORD WINAPI HookedResumeThread(HANDLE thread);
void WINAPI HookedExitThread(DWORD code);
void RegisterMainThread();

// Framework hooks of the window framework.
void HookFrameworkHandlers();
void UnhookFrameworkHandlers();
bool InCallback(); // an event callback of a report runs on this thread

// The stack-overflow reporter: a thread made at start-up that reports for a thread whose stack
// has no room left.
void StartOverflowReporter();
void StopOverflowReporter();
bool ReportOverflow(EXCEPTION_POINTERS* pointers);

// Web output: the kernel32 WriteFile replacement (a CGI program's page), the detour of this
// module's HttpExtensionProc export (an ISAPI extension's page), and the page kept last.
BOOL WINAPI HookedWriteFile(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written,
                            LPOVERLAPPED overlapped);
void HookExtensionProc();
std::string LastHTMLPage();

// The freeze watchdog's thread id (its reports belong to the main thread).
DWORD FreezeThreadId();

} // namespace kv::crash::detail
