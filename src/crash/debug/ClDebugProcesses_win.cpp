// The process list through PSAPI and the tool-help snapshots, each function looked up by name.
#include "crash/debug/ClDebugProcesses.h"

#include <windows.h>
#include <tlhelp32.h>

#include "crash/core/ClCore.h"
#include "crash/debug/ClDebugModules.h"

namespace kv::crash {

namespace {

// The ANSI forms of the snapshot records (the headers map the plain names to the wide ones).
using ProcessEntry = tagPROCESSENTRY32;
using ModuleEntry = tagMODULEENTRY32;

struct MemoryCounters { // PROCESS_MEMORY_COUNTERS, 40 bytes
    DWORD cb;
    DWORD PageFaultCount;
    SIZE_T PeakWorkingSetSize;
    SIZE_T WorkingSetSize;
    SIZE_T QuotaPeakPagedPoolUsage;
    SIZE_T QuotaPagedPoolUsage;
    SIZE_T QuotaPeakNonPagedPoolUsage;
    SIZE_T QuotaNonPagedPoolUsage;
    SIZE_T PagefileUsage;
    SIZE_T PeakPagefileUsage;
};
static_assert(sizeof(MemoryCounters) == 40);

struct Api {
    BOOL(WINAPI* GetProcessMemoryInfo)(HANDLE, MemoryCounters*, DWORD) = nullptr;
    DWORD(WINAPI* GetModuleFileNameExA)(HANDLE, HMODULE, LPSTR, DWORD) = nullptr;
    BOOL(WINAPI* EnumProcesses)(DWORD*, DWORD, DWORD*) = nullptr;
    HANDLE(WINAPI* CreateToolhelp32Snapshot)(DWORD, DWORD) = nullptr;
    BOOL(WINAPI* Thread32First)(HANDLE, THREADENTRY32*) = nullptr;
    BOOL(WINAPI* Thread32Next)(HANDLE, THREADENTRY32*) = nullptr;
    BOOL(WINAPI* Process32First)(HANDLE, ProcessEntry*) = nullptr;
    BOOL(WINAPI* Process32Next)(HANDLE, ProcessEntry*) = nullptr;
    BOOL(WINAPI* Module32First)(HANDLE, ModuleEntry*) = nullptr;
    BOOL(WINAPI* Module32Next)(HANDLE, ModuleEntry*) = nullptr;
    bool Snapshots() const {
        return CreateToolhelp32Snapshot && Thread32First && Thread32Next && Process32First &&
               Process32Next;
    }
};

template <class F> void Look(HMODULE module, const char* name, F& fn) {
    fn = module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                : nullptr;
}

Api LoadApi() {
    // PSAPI stays loaded for the rest of the run once it has been asked for.
    static HMODULE psapi = LoadLibraryA("PSAPI.dll");
    HMODULE kernel = GetModuleHandleA("Kernel32.dll");
    Api api;
    Look(psapi, "GetProcessMemoryInfo", api.GetProcessMemoryInfo);
    Look(psapi, "GetModuleFileNameExA", api.GetModuleFileNameExA);
    Look(psapi, "EnumProcesses", api.EnumProcesses);
    Look(kernel, "CreateToolhelp32Snapshot", api.CreateToolhelp32Snapshot);
    Look(kernel, "Thread32First", api.Thread32First);
    Look(kernel, "Thread32Next", api.Thread32Next);
    Look(kernel, "Process32First", api.Process32First);
    Look(kernel, "Process32Next", api.Process32Next);
    Look(kernel, "Module32First", api.Module32First);
    Look(kernel, "Module32Next", api.Module32Next);
    return api;
}

class KernelHandle { // CloseHandle; null or INVALID_HANDLE_VALUE = empty
public:
    explicit KernelHandle(HANDLE h) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
    ~KernelHandle() {
        if (h_) CloseHandle(h_);
    }
    KernelHandle(const KernelHandle&) = delete;
    KernelHandle& operator=(const KernelHandle&) = delete;
    HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    HANDLE h_;
};

bool HasExtension(const std::string& name) {
    const size_t dot = AnsiFindLastOf(name, ".");
    const size_t slash = AnsiFindLastOf(name, "\\/:");
    return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

void AddByHandle(const Api& api, TCrashProcessesList& list, uint32_t pid,
                 const std::string& fallbackName) {
    KernelHandle process(OpenProcess(0x410, FALSE, pid));
    if (!process) return;
    std::string name;
    if (api.GetModuleFileNameExA) {
        char path[261] = {};
        if (api.GetModuleFileNameExA(process.get(), nullptr, path, 260) > 0) name = path;
    }
    if (name.empty()) name = fallbackName;
    name = Trim(name);
    if (name.empty()) return;
    auto info = std::make_unique<TCrashProcessInfo>();
    info->Name = name;
    GetFileVersionInfoText(name, info->Description, info->Version);
    info->ProcessID = pid;
    info->Priority = GetPriorityClass(process.get());
    MemoryCounters counters{};
    counters.cb = sizeof counters;
    if (api.GetProcessMemoryInfo &&
        api.GetProcessMemoryInfo(process.get(), &counters, sizeof counters))
        info->Memory = static_cast<uint32_t>(counters.WorkingSetSize);
    info->Threads = 0;
    list.Add(std::move(info));
}

void AddFromEntry(const Api& api, TCrashProcessesList& list, const ProcessEntry& entry) {
    std::string name = entry.szExeFile;
    const bool extension = HasExtension(name);
    if (extension && api.Module32First && api.Module32Next) {
        KernelHandle modules(api.CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, entry.th32ProcessID));
        ModuleEntry m{};
        m.dwSize = sizeof m;
        if (modules) {
            for (bool ok = api.Module32First(modules.get(), &m); ok;
                 ok = api.Module32Next(modules.get(), &m)) {
                if (lstrcmpiA(m.szModule, entry.szExeFile) == 0) {
                    name = Trim(m.szExePath);
                    break;
                }
            }
        }
    }
    if (name.empty()) return;
    auto info = std::make_unique<TCrashProcessInfo>();
    info->Name = name;
    if (extension) GetFileVersionInfoText(name, info->Description, info->Version);
    info->ProcessID = entry.th32ProcessID;
    info->Priority = BasePriorityToClass(entry.pcPriClassBase);
    info->Memory = 0;
    info->Threads = entry.cntThreads;
    list.Add(std::move(info));
}

void ByProcessIds(const Api& api, TCrashProcessesList& list) {
    if (!api.EnumProcesses) return;
    DWORD ids[1025];
    DWORD bytes = 0;
    if (!api.EnumProcesses(ids, sizeof ids, &bytes)) return;
    for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) AddByHandle(api, list, ids[i], "");
}

void BySnapshot(const Api& api, TCrashProcessesList& list, bool fromEntries) {
    if (!api.Snapshots()) return;
    KernelHandle snapshot(api.CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return;
    ProcessEntry entry{};
    entry.dwSize = sizeof entry;
    for (bool ok = api.Process32First(snapshot.get(), &entry); ok;
         ok = api.Process32Next(snapshot.get(), &entry)) {
        if (fromEntries)
            AddFromEntry(api, list, entry);
        else
            AddByHandle(api, list, entry.th32ProcessID, entry.szExeFile);
    }
}

void CountThreads(const Api& api, TCrashProcessesList& list) {
    if (!api.Snapshots() || list.Count() == 0) return;
    KernelHandle snapshot(api.CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot) return;
    THREADENTRY32 thread{};
    thread.dwSize = sizeof thread;
    PCrashProcessInfo owner = nullptr;
    for (bool ok = api.Thread32First(snapshot.get(), &thread); ok;
         ok = api.Thread32Next(snapshot.get(), &thread)) {
        if (!owner || owner->ProcessID != thread.th32OwnerProcessID) {
            const int index = FindProcessIndex(thread.th32OwnerProcessID);
            owner = index >= 0 ? list.GetItem(index) : nullptr;
        }
        if (owner) ++owner->Threads;
    }
}

} // namespace

TProcessListMethod DefaultProcessListMethod() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version)) return TProcessListMethod::BySnapshot;
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion < 5)
        return TProcessListMethod::ByProcessIds;
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion > 5)
        return TProcessListMethod::BySnapshot;
    return TProcessListMethod::BySnapshotOpening;
}

void RefreshProcessesList(TProcessListMethod method) {
    TCrashProcessesList* list = ProcessesList();
    if (!list) return;
    list->Lock();
    list->Clear();
    const Api api = LoadApi();
    switch (method) {
    case TProcessListMethod::ByProcessIds:
        ByProcessIds(api, *list);
        break;
    case TProcessListMethod::BySnapshotOpening:
        BySnapshot(api, *list, false);
        break;
    case TProcessListMethod::BySnapshot:
        BySnapshot(api, *list, true);
        break;
    }
    list->Sort([](const TCrashProcessInfo& a, const TCrashProcessInfo& b) {
        return a.ProcessID < b.ProcessID;
    });
    if (method != TProcessListMethod::BySnapshot) CountThreads(api, *list);
    list->Unlock();
}

void RefreshProcessesList() {
    RefreshProcessesList(DefaultProcessListMethod());
}

} // namespace kv::crash
