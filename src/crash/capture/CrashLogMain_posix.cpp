// The native build keeps the engine's data parts for tests; nothing is captured there.
#include <map>

#include "crash/capture/CrashLogMain.h"
#include "crash/capture/CrashLogMainInternal.h"

namespace kv::crash {

namespace detail {

TCrashState* State = nullptr;

TCrashModuleOptions* CurrentOptionsOrNull() {
    // The options this module's registry record would hold.
    static TCrashModuleOptionsEx options("");
    return &options;
}

void StartFreezeWatchdog() {}
void StopFreezeWatchdog() {}
void CloseThreadHandle(uintptr_t) {}
uint32_t CurrentThreadId() {
    return 1;
}
void InstallPlatformReportHalf(TCrashReportHalf&) {}
thread_local bool t_runningForeignEvent = false;
bool RaisingModuleNotify(const char*, TCrashExceptionRecord*, bool&) {
    return false;
}
bool RaisingModuleAction(TCrashExceptionRecord*, TCrashActionType, bool&) {
    return false;
}
bool RaisingModuleError(TCrashExceptionRecord*, TCrashLogErrorCode, bool&) {
    return false;
}
bool RaisingModulePassword(TCrashExceptionRecord*, std::string&) {
    return false;
}
bool RaisingModuleList(const char*, TCrashExceptionRecord*, const TStrings&) {
    return false;
}

} // namespace detail

bool IsConsoleApplication() {
    return true;
}

TCrashModuleOptions* CurrentCrashLogOptions() {
    return detail::CurrentOptionsOrNull();
}

TCrashModuleOptions* DotNetCrashLogOptions() {
    return detail::CurrentOptionsOrNull();
}

bool DispatchExceptionReport(const void*, uintptr_t, bool, uint32_t, uint32_t, uintptr_t, uintptr_t,
                             TRaiserType, uintptr_t, TAsynchronousException, bool,
                             TCrashStackList* callStack) {
    const std::unique_ptr<TCrashStackList> owned(callStack);
    return true;
}

void RunUnderReportLock(const std::function<void()>& work) {
    work();
}

void CallInRaisingThread(const std::function<void()>& callback) {
    try {
        callback();
    } catch (...) {}
}

bool StandardCrashNotify(const void*, uintptr_t) {
    return false;
}
bool StandardCrashError(const std::string&) {
    return false;
}
void ShowLastExceptionData() {}
uintptr_t GetLastExceptionAddress() {
    return LastExceptionAddress.load();
}
const void* GetLastExceptionObject() {
    return LastExceptionObject.load();
}
std::unique_ptr<TCrashStackList> GetCurrentCallStack() {
    return nullptr;
}
std::unique_ptr<TCrashStackList> GetLastExceptionCallStack() {
    return nullptr;
}
std::unique_ptr<TCrashStackList> GetCallStackByLevels(int, int) {
    return nullptr;
}
void SetMetadataFilePath(const std::string&) {}
std::string MetadataFilePath() {
    return std::string();
}
void GetCrashLogHTML(const std::string&, const std::string&, const std::string&,
                     std::string& html) {
    html.clear();
}
void TerminateAfterReport() {}
void CrashLogMainInit() {}
void CrashLogMainDone() {}
int HandledCacheCount() {
    return 0;
}
int HandledCacheHits() {
    return 0;
}

} // namespace kv::crash

namespace kv::crash::detail {

TCriticalSection::TCriticalSection() {
    static_assert(sizeof storage_ >= sizeof(std::recursive_mutex));
    new (storage_) std::recursive_mutex;
}
TCriticalSection::~TCriticalSection() {
    reinterpret_cast<std::recursive_mutex*>(storage_)->~recursive_mutex();
}
void TCriticalSection::lock() {
    reinterpret_cast<std::recursive_mutex*>(storage_)->lock();
}
void TCriticalSection::unlock() {
    reinterpret_cast<std::recursive_mutex*>(storage_)->unlock();
}

} // namespace kv::crash::detail
