#pragma once
// A lock shared by every test program of the session (a named mutex). Tests that change state
// of the whole Wine session, such as the registry's mail client, hold it, so that test programs
// run side by side (the shards of one executable) never change that state under each other.
#include <windows.h>

#include <gtest/gtest.h>

namespace kvtest {

class SessionLock {
public:
    explicit SessionLock(const wchar_t* name) : mutex_(CreateMutexW(nullptr, FALSE, name)) {
        // Bounded: a holder that hangs fails this test with its own message, not the whole run.
        constexpr DWORD kWaitMs = 300000;
        const DWORD r = mutex_ ? WaitForSingleObject(mutex_, kWaitMs) : WAIT_FAILED;
        owned_ = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
        if (!owned_) ADD_FAILURE() << "the session lock was not free within " << kWaitMs << " ms";
    }
    ~SessionLock() {
        if (owned_) ReleaseMutex(mutex_);
        if (mutex_) CloseHandle(mutex_);
    }
    SessionLock(const SessionLock&) = delete;
    SessionLock& operator=(const SessionLock&) = delete;

private:
    HANDLE mutex_;
    bool owned_ = false;
};

} // namespace kvtest
