#pragma once
// Waitable objects, mutexes and critical sections (Windows).
#include <windows.h>

#include <atomic>
#include <string>

#include "widgets/UlWin32.h"

class EUlMutexError : public EUlWin32Error {
public:
    using EUlWin32Error::EUlWin32Error;
};

enum TUlWaitResult { wrAbandoned, wrError, wrIoCompletion, wrSignaled, wrTimeout };

// Maps a WaitFor... result onto TUlWaitResult.
TUlWaitResult MapWaitResult(DWORD result);

class TUlDispatcherObject {
public:
    // Attaches to an existing handle, which it then owns.
    explicit TUlDispatcherObject(HANDLE handle) : Existed(true), Handle(handle) {}
    virtual ~TUlDispatcherObject();
    TUlDispatcherObject(const TUlDispatcherObject&) = delete;
    TUlDispatcherObject& operator=(const TUlDispatcherObject&) = delete;

    TUlWaitResult WaitFor(DWORD milliseconds);
    TUlWaitResult WaitForever() { return WaitFor(INFINITE); }
    TUlWaitResult WaitAlertable(DWORD milliseconds);
    // Signals other and waits for this object.
    TUlWaitResult SignalAndWait(const TUlDispatcherObject& other, DWORD milliseconds,
                                bool alertable);

    bool Existed = false;
    HANDLE Handle = nullptr;
    std::u16string Name;

protected:
    TUlDispatcherObject() = default;
};

class TUlMutex : public TUlDispatcherObject {
public:
    // Creates (or opens, Existed then true) the named mutex; raises EUlMutexError "Failed to
    // create mutex".
    TUlMutex(SECURITY_ATTRIBUTES* security, bool initialOwner, const std::u16string& name);
    // Opens an existing one; raises EUlMutexError "Failed to open mutex".
    TUlMutex(DWORD access, bool inheritable, const std::u16string& name);

    bool Acquire(DWORD milliseconds = INFINITE) { return WaitFor(milliseconds) == wrSignaled; }
    bool Release() { return ReleaseMutex(Handle) != FALSE; }
};

class TUlCriticalSection {
public:
    TUlCriticalSection() { InitializeCriticalSection(&section_); }
    ~TUlCriticalSection() { DeleteCriticalSection(&section_); }
    TUlCriticalSection(const TUlCriticalSection&) = delete;
    TUlCriticalSection& operator=(const TUlCriticalSection&) = delete;

    void Enter() { EnterCriticalSection(&section_); }
    void Leave() { LeaveCriticalSection(&section_); }

    // Installs a new section into shared unless one is there (two racing threads keep exactly
    // one), then enters the installed section. The caller owns what shared holds.
    static void CreateAndEnter(std::atomic<TUlCriticalSection*>& shared);

private:
    CRITICAL_SECTION section_;
};
