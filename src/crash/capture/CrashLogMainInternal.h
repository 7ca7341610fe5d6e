#pragma once
// Links between the engine's files: the process-wide state that start-up creates and the
// platform pieces the portable part calls. Internal to the capture layer.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "crash/capture/CrashLogMain.h"

namespace kv::crash::detail {

// A re-entrant lock of the system's own (a critical section on Windows): the component's locks
// must work before the C++ runtime's threads library starts and after it has ended.
class TCriticalSection {
public:
    TCriticalSection();
    ~TCriticalSection();
    TCriticalSection(const TCriticalSection&) = delete;
    TCriticalSection& operator=(const TCriticalSection&) = delete;
    void lock();
    void unlock();
    bool try_lock();

private:
    alignas(8) unsigned char storage_[64];
};
using TCriticalSectionGuard = std::lock_guard<TCriticalSection>;

// The handled-by-code cache: one decision per (class, raise address, frames).
struct THandledCacheEntry {
    const void* ExceptionClass = nullptr;
    uintptr_t Address = 0;
    uint32_t FrameChain = 0;
    bool Handled = false;
    int HandlerCount = 0;
    TAsynchronousException Kind = aeNone;
    int FirstKind = 0;
};
constexpr int kHandledCacheSize = 10;
constexpr uint32_t kStackCopySize = 102400;
constexpr uint32_t kOutOfMemoryReserve = 0x500000;

// What start-up makes and shut-down frees.
struct TCrashState {
    TCriticalSection ReportLock;
    TCriticalSection HandledCacheLock;
    TCriticalSection StackCopyLock;
    TCriticalSection ThreadExclusionLock;
    std::vector<uint32_t> ExcludedThreads;
    std::unique_ptr<TCrashThreadsList> Threads;
    std::unique_ptr<TCrashModuleOptionsEx> ReportOptions;

    // The stack copy of the last raising thread.
    std::vector<uint8_t> StackCopy = std::vector<uint8_t>(kStackCopySize);
    uint32_t StackCopyBytes = 0;
    uint32_t StackCopyStart = 0; // the copied range's address in the thread's stack
    uint32_t StackCopyThread = 0;
    uintptr_t StackCopyAddress = 0;

    THandledCacheEntry HandledCache[kHandledCacheSize];
    int HandledCacheCount = 0;
    int HandledCacheHits = 0;

    uintptr_t MainThreadHandle = 0; // duplicated: suspend, context and query access
    uint32_t MainThreadId = 0;
    uint32_t MainStackTop = 0;
    uintptr_t HyperlinkCursor = 0;
    std::string MetadataFilePath;
    uintptr_t MetadataModule = 0;
};
extern TCrashState* State;

// The options of this module while the component is active; null otherwise.
TCrashModuleOptions* CurrentOptionsOrNull();
// Waits (bounded) until no report runs and no thread of the component still works on one.
void WaitForReportsToEnd();
void StartFreezeWatchdog();
void StopFreezeWatchdog();
void CloseThreadHandle(uintptr_t handle);
uint32_t CurrentThreadId();
// The platform's stand-ins of the report half (a message box for the dialog).
void InstallPlatformReportHalf(TCrashReportHalf& half);
// The event exports of the module that raised the report's exception, when that is another
// module of the process carrying the component at a compatible version: each runs that
// module's handlers on a copy of the current record. False when there is no such module.
bool RaisingModuleNotify(const char* exportName, TCrashExceptionRecord* record, bool& flag);
bool RaisingModuleAction(TCrashExceptionRecord* record, TCrashActionType action, bool& flag);
bool RaisingModuleError(TCrashExceptionRecord* record, TCrashLogErrorCode code, bool& flag);
bool RaisingModulePassword(TCrashExceptionRecord* record, std::string& password);
bool RaisingModuleList(const char* exportName, TCrashExceptionRecord* record, const TStrings& list);
// Set while this module's handlers run for another module's report: the exports run no
// exports again (no forwarding loop).
extern thread_local bool t_runningForeignEvent;
// A module record for a file named in a foreign call stack (kept for the life of the process).
TCrashModuleInfo* ForeignModuleInfo(const std::string& fileName);

} // namespace kv::crash::detail
