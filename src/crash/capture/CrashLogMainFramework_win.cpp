// The window framework's exception handling goes through the component first: the application
// object's handle and show slots, and the structured exception frame of every window procedure
// and message-loop turn. The framework's own display runs only when the report answers true.
#include <windows.h>

#include <cxxabi.h>

#include "crash/capture/CrashLogMainWin.h"
#include "ui/Application.h"
#include "ui/Control.h"

namespace kv::crash::detail {

namespace {

thread_local bool t_inHandleException = false;
// The exception HandleException just handed to the component: when the report leaves it to
// the framework, the framework's display of it that follows (of the object itself, or of a
// message copied from a foreign one) is not reported again.
thread_local const void* t_passedOn = nullptr;

// The exception being handled (inside a catch block) and where it was raised.
void CurrentException(const void*& object, uintptr_t& address) {
    ThreadCaptureBlock& b = Capture();
    std::exception_ptr holder;
    void* thrown = CurrentThrownObject(holder);
    if (thrown && thrown == b.RaisedThrown) {
        object = b.RaisedObject;
        address = b.RaisedAddress;
    } else if (thrown) {
        object = ThrownObject(thrown, abi::__cxa_current_exception_type());
        address = LastExceptionAddress.load();
    } else {
        object = LastRaisedObject.load();
        address = LastRaisedAddress.load();
    }
}

bool HookedApplicationHandleException(kv::TObject*) {
    // An exception of a report's own event handler is the framework's to show.
    if (!Hooking() || InCallback()) return true;
    const void* object = nullptr;
    uintptr_t address = 0;
    CurrentException(object, address);
    t_inHandleException = true;
    t_passedOn = nullptr;
    bool own = true;
    try {
        own = ExceptionManagerImpl(object, address, rtLocal, OwnModule());
    } catch (...) {}
    t_inHandleException = false;
    if (own) t_passedOn = object;
    return own;
}

bool HookedApplicationShowException(const kv::Exception& e) {
    if (!Hooking() || InCallback() || t_inHandleException) return true;
    if (t_passedOn) {
        t_passedOn = nullptr;
        return true;
    }
    uintptr_t address = Capture().RaisedAddress;
    if (Capture().RaisedObject != &e) address = LastExceptionAddress.load();
    try {
        return ExceptionManagerImpl(&e, address, rtLocal, OwnModule());
    } catch (...) {
        return true;
    }
}

LONG HookedWindowSystemException(EXCEPTION_POINTERS* pointers) {
    if (!Hooking() || !pointers || !pointers->ExceptionRecord) return EXCEPTION_CONTINUE_SEARCH;
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    const DWORD code = record->ExceptionCode;
    if (code < kCodeSystemFirst || code > kCodeSystemLast || code == kCodeStackOverflow ||
        InCallback() || Capture().ReportRunning || Capture().DispatchGuard)
        return EXCEPTION_CONTINUE_SEARCH;
    CopyRecordAndContext(record, pointers->ContextRecord);
    const std::unique_ptr<kv::Exception> object = ObjectFromRecord(record);
    bool own = true;
    try {
        own = ExceptionManagerImpl(object.get(),
                                   reinterpret_cast<uintptr_t>(record->ExceptionAddress), rtLocal,
                                   OwnModule());
        if (own && kv::Application) {
            // The report left it to the framework: its display is not a second failure.
            t_passedOn = object.get();
            kv::Application->ShowException(*object);
        }
    } catch (...) {}
    t_passedOn = nullptr;
    // Handled as the framework handles exceptions of event handlers: the window procedure
    // ends, the program goes on (unless the report ended it).
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

void HookFrameworkHandlers() {
    kv::TApplication::SetHandleExceptionHook(&HookedApplicationHandleException);
    kv::TApplication::SetShowExceptionHook(&HookedApplicationShowException);
    kv::SetSystemExceptionHook(&HookedWindowSystemException);
}

void UnhookFrameworkHandlers() {
    kv::TApplication::SetHandleExceptionHook(nullptr);
    kv::TApplication::SetShowExceptionHook(nullptr);
    kv::SetSystemExceptionHook(nullptr);
}

} // namespace kv::crash::detail
