// Win32 side of ClCore: the ANSI ("A") file, profile, registry and locale functions, the memory
// test over VirtualQuery with a small cache of module-image regions, and the guard that turns a
// system exception inside SafeExec into a failure result.
#include "crash/core/ClCore.h"

#include <windows.h>

#include <shellapi.h>

#include <atomic>
#include <cstring>
#include <exception>
#include <vector>

#include "crash/core/ClCorePlatform.h"

namespace kv::crash {

namespace {

class RegKey { // RegCloseKey; null = empty
public:
    RegKey() = default;
    ~RegKey() {
        if (h_) RegCloseKey(h_);
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    HKEY* Out() { return &h_; }
    HKEY get() const { return h_; }

private:
    HKEY h_ = nullptr;
};

class FindHandle { // FindClose; INVALID_HANDLE_VALUE = empty
public:
    explicit FindHandle(HANDLE h) : h_(h) {}
    ~FindHandle() {
        if (h_ != INVALID_HANDLE_VALUE) FindClose(h_);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    bool Valid() const { return h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

class Library { // FreeLibrary; null = empty
public:
    explicit Library(const char* name) : h_(LoadLibraryA(name)) {}
    ~Library() {
        if (h_) FreeLibrary(h_);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    FARPROC Find(const char* name) const { return h_ ? GetProcAddress(h_, name) : nullptr; }

private:
    HMODULE h_;
};

bool FindFirst(const std::string& pattern, WIN32_FIND_DATAA& data) {
    FindHandle h(FindFirstFileA(pattern.c_str(), &data));
    return h.Valid();
}

TDateTime FromSystemTime(const SYSTEMTIME& st) {
    return EncodeDateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond,
                          st.wMilliseconds);
}

bool ToSystemTime(TDateTime value, SYSTEMTIME& st) {
    int y, m, d, h, n, s, ms;
    if (!DecodeDateTime(value, y, m, d, h, n, s, ms) || y < 1601) return false;
    st = {};
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(m);
    st.wDay = static_cast<WORD>(d);
    st.wHour = static_cast<WORD>(h);
    st.wMinute = static_cast<WORD>(n);
    st.wSecond = static_cast<WORD>(s);
    st.wMilliseconds = static_cast<WORD>(ms);
    return true;
}

std::string SpecialFolder(int csidl) {
    using Fn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
    Library shfolder("shfolder.dll");
    const auto fn =
        reinterpret_cast<Fn>(reinterpret_cast<void*>(shfolder.Find("SHGetFolderPathA")));
    char buf[MAX_PATH] = {};
    if (fn && fn(nullptr, csidl, nullptr, 0, buf) == S_OK) return buf;
    return {};
}

std::string ModuleFileName(HMODULE module) {
    std::vector<char> buf(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameA(module, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) return std::string(buf.data(), n);
        buf.resize(buf.size() * 2);
    }
}

std::string AbsolutePath(const std::string& path) {
    return path.empty() ? path : detail::FullPathName(path);
}

// ---- IsValidBlockAddr ----

constexpr bool IsReadableProtection(DWORD protect) {
    switch (protect) {
    case PAGE_READONLY:
    case PAGE_READWRITE:
    case PAGE_WRITECOPY:
    case PAGE_EXECUTE:
    case PAGE_EXECUTE_READ:
    case PAGE_EXECUTE_READWRITE:
    case PAGE_EXECUTE_WRITECOPY:
        return true;
    default:
        return false; // no access, or guard / no-cache modifiers
    }
}

// Readable regions of module images seen lately. The stack walk asks about the same code
// regions thousands of times; the cache is taken with a try-lock, so a busy cache is skipped,
// never waited for (crash-time safe).
struct CachedRegion {
    uintptr_t base;
    uintptr_t end;
    uint32_t generation;
};
constexpr size_t kCacheSize = 16;
CachedRegion g_regions[kCacheSize];
std::atomic_flag g_regionsBusy = ATOMIC_FLAG_INIT;
std::atomic<uint32_t> g_generation{1};
size_t g_nextRegion = 0;

// crash-time safe
bool LookUpRegion(uintptr_t address, uintptr_t& end) {
    if (g_regionsBusy.test_and_set(std::memory_order_acquire)) return false;
    const uint32_t gen = g_generation.load(std::memory_order_relaxed);
    bool found = false;
    for (const auto& r : g_regions) {
        if (r.generation == gen && r.base <= address && address < r.end) {
            end = r.end;
            found = true;
            break;
        }
    }
    g_regionsBusy.clear(std::memory_order_release);
    return found;
}

// crash-time safe
void RememberRegion(uintptr_t base, uintptr_t end) {
    if (g_regionsBusy.test_and_set(std::memory_order_acquire)) return;
    g_regions[g_nextRegion] = {base, end, g_generation.load(std::memory_order_relaxed)};
    g_nextRegion = (g_nextRegion + 1) % kCacheSize;
    g_regionsBusy.clear(std::memory_order_release);
}

// ---- The SafeExec guard: a hand-made SEH frame ----

struct GuardFrame {
    GuardFrame* prev; // the system's registration record: next frame, handler
    void* handler;
    void* resume[5]; // __builtin_setjmp buffer
    detail::SystemFault* fault;
};

GuardFrame* SehHead() {
    GuardFrame* p;
    asm volatile("movl %%fs:0, %0" : "=r"(p));
    return p;
}

void SetSehHead(GuardFrame* p) {
    asm volatile("movl %0, %%fs:0" : : "r"(p) : "memory");
}

extern "C" EXCEPTION_DISPOSITION __cdecl GuardHandler(EXCEPTION_RECORD* rec, void* establisher,
                                                      CONTEXT*, void*) {
    if (rec->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    auto* frame = static_cast<GuardFrame*>(establisher);
    frame->fault->code = rec->ExceptionCode;
    frame->fault->address = reinterpret_cast<uintptr_t>(rec->ExceptionAddress);
    for (DWORD i = 0; i < 2 && i < rec->NumberParameters; ++i)
        frame->fault->info[i] = rec->ExceptionInformation[i];
    // Unlink and unwind the frames above ours, then resume where RunGuarded set the buffer.
    RtlUnwind(establisher, nullptr, rec, nullptr);
    __builtin_longjmp(frame->resume, 1);
}

// No C++ exception may unwind past the guard frame: catch it here, rethrow once it is off.
__attribute__((noinline)) void CallCatching(void (*proc)(), std::exception_ptr& error) {
    try {
        proc();
    } catch (...) {
        error = std::current_exception();
    }
}

} // namespace

std::string Real_GetMainModuleFileName() {
    return ModuleFileName(nullptr);
}

TDateTime GetModifiedDate(const std::string& fileName) {
    WIN32_FIND_DATAA data;
    if (!FindFirst(fileName, data)) return 0;
    FILETIME local;
    WORD dosDate = 0, dosTime = 0;
    if (!FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) ||
        !FileTimeToDosDateTime(&local, &dosDate, &dosTime))
        return 0;
    return EncodeDateTime((dosDate >> 9) + 1980, (dosDate >> 5) & 15, dosDate & 31, dosTime >> 11,
                          (dosTime >> 5) & 63, (dosTime & 31) * 2);
}

bool SetEnvVariable(const std::string& name, const std::string& value) {
    return SetEnvironmentVariableA(name.c_str(), value.empty() ? nullptr : value.c_str()) != 0;
}

std::string GetUserApplicationsPath() {
    std::string path = SpecialFolder(0x1A); // CSIDL_APPDATA
    if (path.empty()) detail::GetEnvRaw("AppData", path);
    return path.empty() ? std::string(1, kPathDelim) : path;
}

std::string GetLocalUserApplicationsPath() {
    const std::string path = SpecialFolder(0x1C); // CSIDL_LOCAL_APPDATA
    return path.empty() ? GetUserApplicationsPath() : path;
}

std::string GetIniFolder() {
    if (GetVersion() & 0x80000000u) { // the 9x family keeps INI files in the Windows folder
        char buf[256] = {};
        const UINT n = GetWindowsDirectoryA(buf, sizeof buf);
        if (n > 0 && n < sizeof buf) return std::string(buf, n);
    }
    return GetCrashLogDir();
}

bool DirectoryExists(const std::string& folder) {
    const DWORD a = GetFileAttributesA(folder.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileExists(const std::string& fileName) {
    const DWORD a = GetFileAttributesA(fileName.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsWritableFile(const std::string& fileName) {
    const HANDLE h = CreateFileA(fileName.c_str(), GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    CloseHandle(h);
    if (!existed) DeleteFileA(fileName.c_str());
    return true;
}

bool IsReadableFile(const std::string& fileName) {
    const HANDLE h = CreateFileA(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

bool TouchFile(const std::u16string& fileName) {
    const HANDLE h = CreateFileW(reinterpret_cast<const wchar_t*>(fileName.c_str()),
                                 GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const bool ok = SetFileTime(h, &now, nullptr, &now) != 0;
    CloseHandle(h);
    return ok;
}

uint32_t GetFileSizeByName(const std::string& fileName) {
    WIN32_FIND_DATAA data;
    return FindFirst(fileName, data) ? data.nFileSizeLow : 0;
}

bool ForceDeleteFile(const std::string& fileName) {
    const DWORD a = GetFileAttributesA(fileName.c_str());
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(fileName.c_str(), a & ~FILE_ATTRIBUTE_READONLY);
    return DeleteFileA(fileName.c_str()) != 0;
}

std::string ReadKey(uintptr_t rootKey, std::string_view subKey, const std::string& valueName) {
    if (!subKey.empty() && subKey[0] == '\\') subKey.remove_prefix(1);
    RegKey key;
    if (RegOpenKeyExA(reinterpret_cast<HKEY>(rootKey), std::string(subKey).c_str(), 0, KEY_READ,
                      key.Out()) != ERROR_SUCCESS)
        return {};
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), valueName.c_str(), nullptr, nullptr, nullptr, &size) !=
            ERROR_SUCCESS ||
        size == 0)
        return {};
    std::string value(size, '\0');
    if (RegQueryValueExA(key.get(), valueName.c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(value.data()), &size) != ERROR_SUCCESS)
        return {};
    value.resize(size > 0 ? size - 1 : 0); // the terminating NUL
    return value;
}

bool CheckKey(uintptr_t rootKey, std::string_view subKey) {
    if (!subKey.empty() && subKey[0] == '\\') subKey.remove_prefix(1);
    RegKey key;
    return RegOpenKeyExA(reinterpret_cast<HKEY>(rootKey), std::string(subKey).c_str(), 0, KEY_READ,
                         key.Out()) == ERROR_SUCCESS;
}

// crash-time safe
bool IsValidBlockAddr(uintptr_t address, size_t length) {
    if (length == 0) return true;
    const uintptr_t end = address + length;
    if (end < address) return false;
    uintptr_t need = address;
    while (need < end) {
        uintptr_t regionEnd = 0;
        if (!LookUpRegion(need, regionEnd)) {
            MEMORY_BASIC_INFORMATION mbi;
            if (VirtualQuery(reinterpret_cast<const void*>(need), &mbi, sizeof mbi) != sizeof mbi)
                return false;
            if (mbi.State != MEM_COMMIT || !IsReadableProtection(mbi.Protect)) return false;
            const uintptr_t base = reinterpret_cast<uintptr_t>(mbi.BaseAddress);
            regionEnd = base + mbi.RegionSize;
            if (regionEnd <= need) return false; // wrapped at the top of the address space
            if (mbi.Type == MEM_IMAGE) RememberRegion(base, regionEnd);
        }
        need = regionEnd;
    }
    return true;
}

void FlushValidBlockCache() {
    g_generation.fetch_add(1, std::memory_order_relaxed);
}

std::string GetMainModuleVersion() {
    const std::string name = Real_GetMainModuleFileName();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(name.c_str(), &handle);
    if (size == 0) return {};
    std::vector<char> data(size);
    if (!GetFileVersionInfoA(name.c_str(), 0, size, data.data())) return {};
    VS_FIXEDFILEINFO* info = nullptr;
    UINT len = 0;
    if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &len) || !info ||
        len < sizeof *info)
        return {};
    const std::string v = IntToStr(HIWORD(info->dwFileVersionMS)) + "." +
                          IntToStr(LOWORD(info->dwFileVersionMS)) + "." +
                          IntToStr(HIWORD(info->dwFileVersionLS)) + "." +
                          IntToStr(LOWORD(info->dwFileVersionLS));
    return v == "0.0.0.0" ? std::string() : v;
}

bool CopyTextToClipboard(const std::string& text) {
    if (text.empty() || !OpenClipboard(nullptr)) return false;
    bool ok = false;
    if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, text.size() + 1)) {
        if (void* p = GlobalLock(block)) {
            std::memcpy(p, text.c_str(), text.size() + 1);
            GlobalUnlock(block);
            EmptyClipboard();
            ok = SetClipboardData(CF_TEXT, block) != nullptr; // the clipboard owns it now
        }
        if (!ok) GlobalFree(block);
    }
    CloseClipboard();
    return ok;
}

TStrings ParamStrings() {
    TStrings params;
    int count = 0;
    if (LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i)
            params.push_back(Utf16ToAnsi(reinterpret_cast<const char16_t*>(args[i])));
        LocalFree(args);
    }
    return params;
}

void TerminateOrRestart(bool restart) {
    if (restart) {
        std::string commandLine = GetCommandLineA();
        if (CallFromCOMObject) commandLine = DotNetHostedFile(commandLine);
        STARTUPINFOA si;
        GetStartupInfoA(&si);
        PROCESS_INFORMATION pi{};
        if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                           CREATE_NEW_PROCESS_GROUP | NORMAL_PRIORITY_CLASS, nullptr,
                           StartupCurrentDir.empty() ? nullptr : StartupCurrentDir.c_str(), &si,
                           &pi)) {
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
    }
    TerminateProcess(GetCurrentProcess(), 1);
    for (;;) Sleep(INFINITE);
}

namespace detail {

bool IsAnsiLeadByte(unsigned char b) {
    return IsDBCSLeadByte(b) != 0;
}

bool GetEnvRaw(const std::string& name, std::string& value) {
    if (name.empty()) return false;
    std::vector<char> buf(1024);
    DWORD n = GetEnvironmentVariableA(name.c_str(), buf.data(), static_cast<DWORD>(buf.size()));
    if (n >= buf.size()) {
        buf.resize(n);
        n = GetEnvironmentVariableA(name.c_str(), buf.data(), static_cast<DWORD>(buf.size()));
        if (n >= buf.size()) return false;
    }
    if (n == 0) return false;
    value.assign(buf.data(), n);
    return true;
}

TDateTime LocalNow() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return FromSystemTime(st);
}

TDateTime UtcNow() {
    SYSTEMTIME st;
    GetSystemTime(&st);
    return FromSystemTime(st);
}

std::string LocaleShortDate(TDateTime value) {
    SYSTEMTIME st;
    char buf[100];
    if (!ToSystemTime(value, st)) return {};
    const int n = GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buf, 100);
    return n > 0 ? std::string(buf, static_cast<size_t>(n - 1)) : std::string();
}

std::string LocaleTime(TDateTime value) {
    SYSTEMTIME st;
    char buf[100];
    if (!ToSystemTime(value, st)) return {};
    const int n = GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, buf, 100);
    return n > 0 ? std::string(buf, static_cast<size_t>(n - 1)) : std::string();
}

bool LocaleDateTime(TDateTime value, std::string& text) {
    SYSTEMTIME st;
    if (!ToSystemTime(value, st)) return false;
    text = LocaleShortDate(value);
    if (text.empty()) return false;
    if (st.wHour != 0 || st.wMinute != 0 || st.wSecond != 0 || st.wMilliseconds != 0)
        text += " " + LocaleTime(value);
    return true;
}

std::string CurrentDir() {
    char buf[MAX_PATH];
    const DWORD n = GetCurrentDirectoryA(MAX_PATH, buf);
    return n > 0 && n < MAX_PATH ? std::string(buf, n) : std::string();
}

bool CreateDir(const std::string& folder) {
    return CreateDirectoryA(folder.c_str(), nullptr) != 0;
}

std::string FullPathName(const std::string& path) {
    char buf[MAX_PATH];
    char* filePart = nullptr;
    const DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, buf, &filePart);
    return n > 0 && n < MAX_PATH ? std::string(buf, n) : path;
}

bool FindFirstName(const std::string& pattern, std::string& longName) {
    WIN32_FIND_DATAA data;
    if (!FindFirst(pattern, data)) return false;
    longName = data.cFileName;
    return true;
}

// The profile functions look for a relative name in the Windows folder: pass full paths.
std::string ProfileRead(const std::string& fileName, const std::string& section,
                        const std::string& key, const std::string& def) {
    char buf[2048];
    const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), buf,
                                             sizeof buf, AbsolutePath(fileName).c_str());
    return std::string(buf, n);
}

bool ProfileWrite(const std::string& fileName, const std::string& section, const std::string& key,
                  const std::string& value) {
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(),
                                      AbsolutePath(fileName).c_str()) != 0;
}

std::string NativeFileName(const std::string& fileName) {
    return fileName;
}

bool ReadFileDenyWrite(const std::string& fileName, std::string& data) {
    const HANDLE h = CreateFileA(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(h, &size) && size.QuadPart < 0x7FFFFFFF;
    if (ok) {
        data.assign(static_cast<size_t>(size.QuadPart), '\0');
        DWORD got = 0;
        ok = data.empty() ||
             (ReadFile(h, data.data(), static_cast<DWORD>(data.size()), &got, nullptr) &&
              got == data.size());
    }
    CloseHandle(h);
    return ok;
}

__attribute__((noinline)) bool RunGuarded(void (*proc)(), SystemFault& fault) {
    GuardFrame frame{};
    frame.handler = reinterpret_cast<void*>(&GuardHandler);
    frame.fault = &fault;
    std::exception_ptr error;
    frame.prev = SehHead();
    SetSehHead(&frame);
    if (__builtin_setjmp(frame.resume) == 0) {
        CallCatching(proc, error);
        SetSehHead(frame.prev);
        if (error) std::rethrow_exception(error);
        return true;
    }
    SetSehHead(frame.prev);
    return false;
}

std::string ComputerName() {
    char buf[16] = {};
    DWORD size = sizeof buf;
    return GetComputerNameA(buf, &size) ? std::string(buf, size) : std::string();
}

uintptr_t ModuleHandleByName(const std::string& name) {
    return name.empty() ? 0 : reinterpret_cast<uintptr_t>(GetModuleHandleA(name.c_str()));
}

uintptr_t ComponentModuleHandle() {
    HMODULE h = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ComponentModuleHandle), &h);
    return reinterpret_cast<uintptr_t>(h);
}

} // namespace detail

} // namespace kv::crash
