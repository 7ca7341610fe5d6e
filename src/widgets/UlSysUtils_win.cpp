#include "widgets/UlSysUtils.h"

#include <windows.h>

#include <atomic>
#include <memory>

#include "base/Text.h"
#include "widgets/UlSynch.h"
#include "widgets/UlWin32.h"

namespace {

struct SharedBlock {
    std::u16string name;
    HANDLE handle;
    void* memory;
    int references;
    std::unique_ptr<SharedBlock> next;
};

std::unique_ptr<SharedBlock> g_blocks; // newest first
std::atomic<TUlCriticalSection*> g_lock{nullptr};
std::atomic<bool> g_ended{false};

// Holds the list lock for its lifetime; the lock is made on first use (never after the end).
class ListLock {
public:
    ListLock() {
        if (g_ended.load()) return;
        TUlCriticalSection::CreateAndEnter(g_lock);
        held_ = g_lock.load();
    }
    ~ListLock() {
        if (held_) held_->Leave();
    }
    ListLock(const ListLock&) = delete;
    ListLock& operator=(const ListLock&) = delete;

private:
    TUlCriticalSection* held_ = nullptr;
};

bool SameText(const std::u16string& a, const std::u16string& b) {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE,
                          reinterpret_cast<LPCWSTR>(a.c_str()), static_cast<int>(a.size()),
                          reinterpret_cast<LPCWSTR>(b.c_str()),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

[[noreturn]] void RaiseLastError() {
    throw EUlWin32Error(u"");
}

} // namespace

uint32_t MapSharedBlock(void*& memory, const std::u16string& name, uint32_t size, uint32_t access) {
    memory = nullptr;
    if (SharedBlockNameRejected(UlSystemInfo().version, name))
        throw ESharedMemError(u"Invalid MMF name \"" + name + u"\"");
    ListLock lock;
    for (SharedBlock* b = g_blocks.get(); b; b = b->next.get()) {
        if (SameText(b->name, name)) {
            ++b->references;
            memory = b->memory;
            return kSharedBlockExisted;
        }
    }
    const wchar_t* wname = reinterpret_cast<const wchar_t*>(name.c_str());
    uint32_t result = kSharedBlockExisted;
    HANDLE handle = OpenFileMappingW(access, FALSE, wname);
    if (!handle) {
        if (size == 0)
            throw ESharedMemError(u"The MMF named \"" + name + u"\" cannot be created empty");
        handle = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, wname);
        if (!handle) RaiseLastError();
        result = GetLastError() == ERROR_ALREADY_EXISTS ? kSharedBlockExisted : kSharedBlockCreated;
    }
    void* view = MapViewOfFile(handle, access, 0, 0, size);
    if (!view) {
        const DWORD err = GetLastError();
        CloseHandle(handle);
        SetLastError(err);
        RaiseLastError();
    }
    g_blocks = std::make_unique<SharedBlock>(name, handle, view, 1, std::move(g_blocks));
    memory = view;
    return result;
}

bool UnmapSharedBlock(void*& memory) {
    if (!memory) return true;
    ListLock lock;
    for (std::unique_ptr<SharedBlock>* link = &g_blocks; *link; link = &(*link)->next) {
        SharedBlock* b = link->get();
        if (b->memory != memory) continue;
        if (--b->references < 1) {
            UnmapViewOfFile(b->memory);
            CloseHandle(b->handle);
            *link = std::move(b->next); // frees b
        }
        memory = nullptr;
        return true;
    }
    return false;
}

void UlSysUtilsFinalize() {
    g_ended.store(true);
    std::unique_ptr<TUlCriticalSection>(g_lock.exchange(nullptr));
}
