// The link-time wraps (-Wl,--wrap=...) through which the C++ runtime's throws and the threads
// it starts reach the component. Only programs linked with the wraps pull this unit in.
#include <windows.h>

#include <cxxabi.h>
#include <pthread.h>
#include <unwind.h>

#include "crash/capture/CrashLogMainWin.h"

extern "C" {
// The runtime's routines behind the wraps.
void* __real___cxa_allocate_exception(size_t size);
[[noreturn]] void __real___cxa_throw(void* thrown, std::type_info* type, void (*dest)(void*));
[[noreturn]] void __real___cxa_rethrow();
_Unwind_Reason_Code __real__Unwind_RaiseException(_Unwind_Exception* exception);
void __real___cxa_end_catch();
int __real_pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*routine)(void*),
                          void* parameter);
[[noreturn]] void __real_exit(int code);
}

using namespace kv::crash;
using namespace kv::crash::detail;

extern "C" {

// The runtime's class records carry no instance size: the size a throw allocates is kept.
void* __wrap___cxa_allocate_exception(size_t size) {
    void* thrown = __real___cxa_allocate_exception(size);
    if (LibraryActive.load(std::memory_order_relaxed) != 0) {
        ThreadCaptureBlock& b = Capture();
        b.AllocatedThrown = thrown;
        b.AllocatedThrownSize = static_cast<uint32_t>(size);
    }
    return thrown;
}

[[noreturn]] __attribute__((noinline)) void __wrap___cxa_throw(void* thrown, std::type_info* type,
                                                               void (*dest)(void*)) {
    if (Hooking()) {
        const auto address = reinterpret_cast<uintptr_t>(__builtin_return_address(0));
        void* const* frame = static_cast<void* const*>(__builtin_frame_address(0));
        const auto callerEsp = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(frame)) + 8;
        const auto callerEbp = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(frame[0]));
        OnLanguageRaise(thrown, type, address, callerEsp, callerEbp, false);
    }
    __real___cxa_throw(thrown, type, dest);
}

[[noreturn]] __attribute__((noinline)) void __wrap___cxa_rethrow() {
    if (Hooking()) {
        std::exception_ptr holder;
        void* current = CurrentThrownObject(holder);
        if (current) {
            const auto address = reinterpret_cast<uintptr_t>(__builtin_return_address(0));
            void* const* frame = static_cast<void* const*>(__builtin_frame_address(0));
            const auto callerEsp = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(frame)) + 8;
            const auto callerEbp = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(frame[0]));
            OnLanguageRaise(current, abi::__cxa_current_exception_type(), address, callerEsp,
                            callerEbp, true);
        }
    }
    __real___cxa_rethrow();
}

_Unwind_Reason_Code __wrap__Unwind_RaiseException(_Unwind_Exception* exception) {
    const _Unwind_Reason_Code result = __real__Unwind_RaiseException(exception);
    // It returns only when no handler was found; the stack is still whole here.
    if (result == _URC_END_OF_STACK && Hooking()) UnhandledLanguageException();
    return result;
}

void __wrap___cxa_end_catch() {
    if (Hooking()) HandleEndCatch();
    __real___cxa_end_catch();
}

} // extern "C"

extern "C" int __wrap_pthread_create(pthread_t* thread, const pthread_attr_t* attr,
                                     void* (*routine)(void*), void* parameter) {
    void* (*start)(void*) = routine;
    void* boot = PrepareThreadStart(routine, parameter, start);
    if (!boot) return __real_pthread_create(thread, attr, routine, parameter);
    const int result = __real_pthread_create(thread, attr, start, boot);
    if (result != 0) DiscardThreadStart(boot); // else the new thread owns it
    return result;
}

// The program ends: a report that still runs, and the send of one on the component's own thread,
// finish first. Here, before the runtime's exit takes its lock and runs the destructors: the
// send uses what they destroy, and may need that lock itself.
extern "C" [[noreturn]] void __wrap_exit(int code) {
    if (LibraryActive.load() != 0) WaitForReportsToEnd();
    __real_exit(code);
}
