#include <windows.h>

#include <cstring>
#include <memory>

#include "crash/capture/CrashLogUtils.h"

namespace kv::crash {

namespace detail {

int PlatformMessageBox(const std::string& text, const std::string& caption, uint32_t flags) {
    return MessageBoxA(nullptr, text.c_str(), caption.c_str(), flags);
}

void PlatformDebugOutput(const std::string& text) {
    OutputDebugStringA(text.c_str());
}

} // namespace detail

// ---- The shared options block ----

struct TSharedOptionsBlock {
    HANDLE mapping = nullptr;
    void* view = nullptr;
    ~TSharedOptionsBlock() {
        if (view) UnmapViewOfFile(view);
        if (mapping) CloseHandle(mapping);
    }
};

TSharedOptionsBlock* OpenSharedOptionsBlock(uintptr_t module, uint32_t size, uint8_t*& data,
                                            uint32_t& storedSize) {
    data = nullptr;
    storedSize = 0;
    const std::string name = SharedOptionsBlockName(GetCurrentProcessId(), module);
    const std::u16string wide = AnsiToUtf16(name);
    auto block = std::make_unique<TSharedOptionsBlock>();
    block->mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size + 4,
                                        reinterpret_cast<const wchar_t*>(wide.c_str()));
    if (!block->mapping) return nullptr;
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    if (!existed && size == 0) return nullptr;
    // The whole mapping is mapped, so an existing block is seen at the size its creator gave it.
    block->view = MapViewOfFile(block->mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (!block->view) return nullptr;
    MEMORY_BASIC_INFORMATION mbi{};
    if (VirtualQuery(block->view, &mbi, sizeof mbi) == 0 || mbi.RegionSize < 4) return nullptr;
    auto* bytes = static_cast<uint8_t*>(block->view);
    if (existed) {
        std::memcpy(&size, bytes, 4);
        // A stored size beyond the view is never trusted.
        if (size > mbi.RegionSize - 4) size = static_cast<uint32_t>(mbi.RegionSize - 4);
    }
    std::memcpy(bytes, &size, 4);
    storedSize = size;
    data = bytes + 4;
    return block.release();
}

void CloseSharedOptionsBlock(TSharedOptionsBlock*& block, uint8_t*& data) {
    std::unique_ptr<TSharedOptionsBlock> owned(block);
    block = nullptr;
    data = nullptr;
}

// ---- Modules, handles, threads and the stack ----

std::string GetLongModuleFileName(uintptr_t module) {
    char buffer[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(reinterpret_cast<HMODULE>(module), buffer, MAX_PATH);
    std::string name(buffer, n);
    // "\??\C:\..." and the like: keep from the drive letter after the "?".
    const size_t q = name.find('?');
    if (q != std::string::npos) {
        const size_t colon = name.find(':', q);
        if (colon != std::string::npos && colon > 0) name.erase(0, colon - 1);
    }
    return GetLongNameFromShort(name);
}

bool DebuggerAttached() {
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (!kernel) return false;
    using IsDebuggerPresentProc = BOOL(WINAPI*)();
    if (auto proc = reinterpret_cast<IsDebuggerPresentProc>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "IsDebuggerPresent")))) {
        return proc() != FALSE;
    }
    const auto getProc = reinterpret_cast<uintptr_t>(GetProcAddress(kernel, "GetProcAddress"));
    return getProc < reinterpret_cast<uintptr_t>(kernel);
}

bool IsOpenHandle(uintptr_t handle) {
    const HANDLE h = reinterpret_cast<HANDLE>(handle);
    DWORD flags = 0;
    if (GetHandleInformation(h, &flags)) return true;
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &copy, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        return false;
    }
    CloseHandle(copy);
    return true;
}

bool IsThreadRunning(uintptr_t threadHandle) {
    DWORD code = 0;
    return threadHandle != 0 && IsOpenHandle(threadHandle) &&
           GetExitCodeThread(reinterpret_cast<HANDLE>(threadHandle), &code) && code == STILL_ACTIVE;
}

// The thread information block at fs:0 holds the stack base at 4 and its limit at 8.
uintptr_t CurrentStackTop() {
    uintptr_t top = 0;
    __asm__ volatile("movl %%fs:4, %0" : "=r"(top));
    return top;
}

uintptr_t GetStackLimit() {
    uintptr_t limit = 0;
    __asm__ volatile("movl %%fs:8, %0" : "=r"(limit));
    return limit;
}

__attribute__((noinline)) uintptr_t GetStackPosition() {
    return reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
}

std::string GetCommandLineStr() {
    return GetCommandLineA();
}

uintptr_t CurrentProcessHandle() {
    return reinterpret_cast<uintptr_t>(GetCurrentProcess());
}

uint32_t CurrentProcessID() {
    return GetCurrentProcessId();
}

std::string GetOwnModuleFileName() {
    HMODULE own = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&GetOwnModuleFileName), &own);
    return GetLongModuleFileName(reinterpret_cast<uintptr_t>(own));
}

// ---- Windows of a process ----

namespace {

bool IsApplicationWindow(HWND h) {
    char cls[32] = {};
    return GetClassNameA(h, cls, sizeof cls) > 0 && std::strcmp(cls, "TApplication") == 0;
}

// An owner that does not stop a window from being the main one.
bool IsNeutralOwner(HWND owner) {
    return owner == nullptr || owner == GetDesktopWindow() || IsApplicationWindow(owner);
}

struct SearchState {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindMainWindowProc(HWND h, LPARAM param) {
    auto* state = reinterpret_cast<SearchState*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid == state->processId && QualifiesAsMainWindow(reinterpret_cast<uintptr_t>(h))) {
        state->found = h;
        return FALSE;
    }
    return TRUE;
}

} // namespace

bool QualifiesAsMainWindow(uintptr_t window) {
    const HWND h = reinterpret_cast<HWND>(window);
    RECT r{};
    if (!IsWindowVisible(h) || !GetWindowRect(h, &r) || r.right - r.left <= 0 ||
        r.bottom - r.top <= 0) {
        return false;
    }
    HWND owner = reinterpret_cast<HWND>(GetWindowLongPtrW(h, GWLP_HWNDPARENT));
    if (!IsNeutralOwner(owner) && (GetWindowLongW(owner, GWL_EXSTYLE) & WS_EX_TOOLWINDOW)) {
        owner = reinterpret_cast<HWND>(GetWindowLongPtrW(owner, GWLP_HWNDPARENT));
    }
    if (!IsNeutralOwner(owner)) return false;
    const LONG ex = GetWindowLongW(h, GWL_EXSTYLE);
    return !((ex & WS_EX_TOOLWINDOW) && !(ex & WS_EX_APPWINDOW));
}

uintptr_t FindMainWindowOfProcess(uint32_t processId) {
    SearchState state{processId, nullptr};
    EnumWindows(FindMainWindowProc, reinterpret_cast<LPARAM>(&state));
    return reinterpret_cast<uintptr_t>(state.found);
}

void PumpOneMessage() {
    try {
        MSG msg;
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return;
        if (msg.message == WM_QUIT) {
            // Taken out of the queue, it is posted again so that the program's loop still ends.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    } catch (...) {}
}

} // namespace kv::crash
