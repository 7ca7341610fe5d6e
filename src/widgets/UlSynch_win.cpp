#include "widgets/UlSynch.h"

#include <memory>

namespace {
const wchar_t* W(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}
} // namespace

TUlWaitResult MapWaitResult(DWORD result) {
    switch (result) {
    case WAIT_OBJECT_0:
        return wrSignaled;
    case WAIT_ABANDONED:
        return wrAbandoned;
    case WAIT_IO_COMPLETION:
        return wrIoCompletion;
    case WAIT_TIMEOUT:
        return wrTimeout;
    default:
        return wrError;
    }
}

TUlDispatcherObject::~TUlDispatcherObject() {
    if (Handle) CloseHandle(Handle);
}

TUlWaitResult TUlDispatcherObject::WaitFor(DWORD milliseconds) {
    return MapWaitResult(WaitForSingleObject(Handle, milliseconds));
}

TUlWaitResult TUlDispatcherObject::WaitAlertable(DWORD milliseconds) {
    return MapWaitResult(WaitForSingleObjectEx(Handle, milliseconds, TRUE));
}

TUlWaitResult TUlDispatcherObject::SignalAndWait(const TUlDispatcherObject& other,
                                                 DWORD milliseconds, bool alertable) {
    return MapWaitResult(SignalObjectAndWait(other.Handle, Handle, milliseconds, alertable));
}

TUlMutex::TUlMutex(SECURITY_ATTRIBUTES* security, bool initialOwner, const std::u16string& name) {
    Name = name;
    Handle = CreateMutexW(security, initialOwner, name.empty() ? nullptr : W(name));
    if (!Handle) throw EUlMutexError(u"Failed to create mutex");
    Existed = GetLastError() == ERROR_ALREADY_EXISTS;
}

TUlMutex::TUlMutex(DWORD access, bool inheritable, const std::u16string& name) {
    Name = name;
    Existed = true;
    Handle = OpenMutexW(access, inheritable, W(name));
    if (!Handle) throw EUlMutexError(u"Failed to open mutex");
}

void TUlCriticalSection::CreateAndEnter(std::atomic<TUlCriticalSection*>& shared) {
    if (!shared.load()) {
        auto fresh = std::make_unique<TUlCriticalSection>();
        TUlCriticalSection* expected = nullptr;
        if (shared.compare_exchange_strong(expected, fresh.get())) fresh.release();
    }
    shared.load()->Enter();
}
