// Start-up and shut-down of the crash-report component, its exported functions, and the
// platform pieces the portable part of the engine calls.
#include <windows.h>

#include <cstring>
#include <map>

#include "crash/capture/CrashLogMainWin.h"
#include "crash/core/ClCorePlatform.h"
#include "crash/core/ClEncrypt.h"
#include "crash/core/ClZlib2.h"
#include "crash/debug/ClCallStack.h"
#include "crash/debug/ClDebugInfo.h"
#include "crash/debug/ClDebugModules.h"
#include "crash/debug/ClDebugProcesses.h"
#include "crash/hooks/ClHook.h"

namespace kv::crash {

namespace detail {

TRealKernel32 Real;

namespace {

void* g_outOfMemoryReserve = nullptr;
// Made (and so destroyed) around the start-up object: its shut-down still uses the state.
__attribute__((init_priority(101))) std::unique_ptr<TCrashState> g_state;

std::mutex g_ownThreadsLock;
// Made before the component starts (see the start-up object below).
__attribute__((init_priority(101))) std::vector<DWORD> g_ownThreads;

// What a registered module's options are: the live component's class.
std::unique_ptr<TCrashModuleOptions> MakeModuleOptions(const std::string& fileName) {
    return std::make_unique<TCrashModuleOptionsEx>(fileName);
}

void DecompressBlock(const void* in, size_t inSize, std::string& out) {
    ZDecompress(in, inSize, out);
}

std::string PasswordOfModule(uintptr_t, bool secondAsk) {
    std::string password;
    if (secondAsk) DoPasswordRequest(password);
    return password;
}

std::string CurrentCallStackText() {
    const std::unique_ptr<TCrashStackList> stack = GetCurrentCallStack();
    TStrings lines;
    CallStackToStrings(stack.get(), lines);
    return GetTextStr(lines);
}

void PatchKernel32() {
    const std::vector<std::string> modules{GetLongModuleFileName(OwnModule())};
    struct Patch {
        const char* name;
        void* replacement;
        void** saved;
    } patches[] = {
        {"WriteFile", reinterpret_cast<void*>(&HookedWriteFile),
         reinterpret_cast<void**>(&Real.WriteFile)},
        {"CreateThread", reinterpret_cast<void*>(&HookedCreateThread),
         reinterpret_cast<void**>(&Real.CreateThread)},
        {"ResumeThread", reinterpret_cast<void*>(&HookedResumeThread),
         reinterpret_cast<void**>(&Real.ResumeThread)},
        {"ExitThread", reinterpret_cast<void*>(&HookedExitThread),
         reinterpret_cast<void**>(&Real.ExitThread)},
    };
    for (const Patch& p : patches) {
        void* old = nullptr;
        try {
            TryHookDllProcedureEx(modules, "kernel32.dll", p.name, p.replacement, old, true);
        } catch (const kv::Exception&) {
            // A procedure the module does not import is left alone.
        }
        if (!*p.saved) *p.saved = old;
        if (std::strcmp(p.name, "WriteFile") == 0) {
            try {
                HookExtensionProc();
            } catch (const kv::Exception&) {
                // An extension procedure that cannot be detoured keeps its own way.
            }
        }
    }
    const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    auto lookup = [&](void** slot, const char* name) {
        if (!*slot) *slot = reinterpret_cast<void*>(GetProcAddress(kernel32, name));
    };
    lookup(reinterpret_cast<void**>(&Real.CreateThread), "CreateThread");
    lookup(reinterpret_cast<void**>(&Real.ResumeThread), "ResumeThread");
    lookup(reinterpret_cast<void**>(&Real.ExitThread), "ExitThread");
    lookup(reinterpret_cast<void**>(&Real.RaiseException), "RaiseException");
    lookup(reinterpret_cast<void**>(&Real.UnhandledExceptionFilter), "UnhandledExceptionFilter");
    lookup(reinterpret_cast<void**>(&Real.WriteFile), "WriteFile");
    lookup(&Real.RtlUnwind, "RtlUnwind");
}

} // namespace

TCrashState* State = nullptr;

uintptr_t OwnModule() {
    return ComponentModuleHandle();
}

TCrashModuleOptions* CurrentOptionsOrNull() {
    if (LibraryActive.load() == 0 || !ModulesList()) return nullptr;
    const PCrashModuleInfo info = ModuleInfoByHandle(OwnModule());
    return info ? info->ExtraInformation.Options.get() : nullptr;
}

void CloseThreadHandle(uintptr_t handle) {
    if (handle) CloseHandle(reinterpret_cast<HANDLE>(handle));
}

uint32_t CurrentThreadId() {
    return GetCurrentThreadId();
}

void ReserveOutOfMemoryBlock() {
    if (!g_outOfMemoryReserve)
        g_outOfMemoryReserve =
            VirtualAlloc(nullptr, kOutOfMemoryReserve, MEM_RESERVE, PAGE_NOACCESS);
}

void ReleaseOutOfMemoryBlock() {
    if (g_outOfMemoryReserve) VirtualFree(g_outOfMemoryReserve, 0, MEM_RELEASE);
    g_outOfMemoryReserve = nullptr;
}

HANDLE StartOwnThread(LPTHREAD_START_ROUTINE routine, void* parameter, DWORD& id, bool suspended) {
    const auto create = Real.CreateThread ? Real.CreateThread : &::CreateThread;
    // Made suspended so that the id is known as ours before the thread runs a line.
    const HANDLE h = create(nullptr, 0, routine, parameter, CREATE_SUSPENDED, &id);
    if (!h) return nullptr;
    {
        std::lock_guard<std::mutex> lock(g_ownThreadsLock);
        g_ownThreads.push_back(id);
    }
    if (!suspended) (Real.ResumeThread ? Real.ResumeThread : &::ResumeThread)(h);
    return h;
}

namespace {

// The component's own working threads (a report's send) that have not ended yet.
std::atomic<int> g_runningComponentThreads{0};

DWORD WINAPI ComponentThreadEntry(void* parameter) {
    const std::unique_ptr<std::function<void()>> routine(
        static_cast<std::function<void()>*>(parameter));
    try {
        (*routine)();
    } catch (...) {
        // A thread of the component never takes the process down.
    }
    --g_runningComponentThreads;
    return 0;
}

} // namespace

void WaitForReportsToEnd() {
    // Bounded: a report or send that hangs must not keep the program from ending.
    constexpr DWORD kWaitMs = 120000;
    for (const DWORD start = GetTickCount(); GetTickCount() - start < kWaitMs; Sleep(10)) {
        if (!State || !State->ReportLock.try_lock()) continue;
        State->ReportLock.unlock();
        if (g_runningComponentThreads.load() == 0) return;
    }
}

bool IsOwnThread(DWORD id) {
    std::lock_guard<std::mutex> lock(g_ownThreadsLock);
    for (DWORD own : g_ownThreads)
        if (own == id) return true;
    return false;
}

void InstallPlatformReportHalf(TCrashReportHalf& half) {
    // Until the report dialogs are there: the message in a box of the system's own.
    half.ShowExceptionDialog = [](bool beep) {
        if (beep) MessageBeep(MB_ICONERROR);
        const TCrashModuleOptions* o = Report.Options;
        const std::string caption =
            o ? o->GetCustomizedExpandedTexts(mtErrorMsgCaption) : std::string("Error");
        std::string text = GetDisplayedErrorMessage();
        if (text.empty()) text = ExceptionMessageOf(Report.ExceptionObject);
        Report.DialogShown = true;
        MessageBoxA(nullptr, text.c_str(), caption.c_str(),
                    MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_TOPMOST);
        Report.DialogShown = false;
        Report.DialogType = edtNone;
    };
}

} // namespace detail

using namespace detail;

void RunUnderReportLock(const std::function<void()>& work) {
    if (!State) {
        work();
        return;
    }
    TCriticalSectionGuard lock(State->ReportLock);
    work();
}

uintptr_t StartComponentThread(std::function<void()> routine, uint32_t& id) {
    auto owned = std::make_unique<std::function<void()>>(std::move(routine));
    DWORD threadId = 0;
    ++g_runningComponentThreads;
    const HANDLE h = StartOwnThread(&ComponentThreadEntry, owned.get(), threadId, false);
    if (!h) {
        --g_runningComponentThreads;
        return 0;
    }
    owned.release(); // the thread owns it now
    id = threadId;
    return reinterpret_cast<uintptr_t>(h);
}

bool IsConsoleApplication() {
    const auto base = reinterpret_cast<const uint8_t*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (!IsValidBlockAddr(dos, sizeof *dos) || dos->e_magic != IMAGE_DOS_SIGNATURE) return false;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    if (!IsValidBlockAddr(nt, sizeof *nt)) return false;
    return nt->OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_CUI;
}

TCrashModuleOptions* CurrentCrashLogOptions() {
    TCrashModuleOptions* options = CurrentOptionsOrNull();
    if (!options)
        throw kv::Exception(AnsiToUtf16(
            "\r\nCannot use 'CurrentCrashLogOptions' function in module \"" +
            GetOwnModuleFileName() +
            "\" without activate CrashLog.\r\nTo activate CrashLog use the new IDE \"Project/"
            "CrashLog Options...\" menu."));
    return options;
}

TCrashModuleOptions* DotNetCrashLogOptions() {
    if (Report.CurrentRecord && Report.Options) return Report.Options;
    if (State && State->MetadataModule) {
        if (const PCrashModuleInfo m = ModuleInfoByHandle(State->MetadataModule))
            return m->ExtraInformation.Options.get();
    }
    TCrashModuleOptions* options = CurrentOptionsOrNull();
    if (!options)
        throw kv::Exception(AnsiToUtf16(
            "\r\nCannot use 'CrashLog' on module \"" + GetOwnModuleFileName() +
            "\" without activate CrashLog.\r\nTo activate CrashLog use the new IDE \"CrashLog/"
            "Show CrashLog Options...\" menu."));
    return options;
}

void SetMetadataFilePath(const std::string& path) {
    if (!State) return;
    if (State->MetadataModule) {
        const uintptr_t module = State->MetadataModule;
        State->MetadataModule = 0;
        if (TCrashModulesList* modules = ModulesList()) {
            modules->Lock();
            for (int i = modules->Count() - 1; i >= 0; --i)
                if (modules->GetItem(i)->Handle == module) modules->Delete(i);
            modules->Unlock();
        }
        FreeLibrary(reinterpret_cast<HMODULE>(module));
        if (!State->MetadataFilePath.empty()) ForceDeleteFile(State->MetadataFilePath);
    }
    State->MetadataFilePath = path;
    // The library whose options a report for a hosting program's object runs with.
    if (!path.empty()) {
        const HMODULE module = LoadLibraryExA(path.c_str(), nullptr, 0);
        State->MetadataModule = reinterpret_cast<uintptr_t>(module);
        if (module) ModuleInfoByHandle(State->MetadataModule);
    }
}

std::string MetadataFilePath() {
    return State ? State->MetadataFilePath : std::string();
}

int HandledCacheCount() {
    if (!State) return 0;
    TCriticalSectionGuard lock(State->HandledCacheLock);
    return State->HandledCacheCount;
}

int HandledCacheHits() {
    if (!State) return 0;
    TCriticalSectionGuard lock(State->HandledCacheLock);
    return State->HandledCacheHits;
}

void AdoptLibraryMainInstance(uintptr_t module) {
    if (MainInstance != 0 || !IsModuleLibrary(module) || !ModulesList()) return;
    RefreshModulesList();
    TCrashModulesList* modules = ModulesList();
    modules->Lock();
    for (int i = 0; i < modules->Count() && MainInstance == 0; ++i) {
        const uintptr_t handle = modules->GetItem(i)->Handle;
        if (!IsModuleLibrary(handle) && IsCrashLogModule(handle)) MainInstance = handle;
    }
    modules->Unlock();
}

std::string GetRuntimeModuleFileName() {
    return GetLongModuleFileName(
        FindModuleOfAddr(reinterpret_cast<uintptr_t>(&typeid(std::exception))));
}

std::string GetCompilerRuntimeModuleFileName() {
    const HMODULE runtime = GetModuleHandleW(L"msvcrt.dll");
    return runtime ? GetLongModuleFileName(reinterpret_cast<uintptr_t>(runtime))
                   : std::string("msvcrt.dll");
}

namespace {

// Whether this module leaves its work to the main module's component: the main instance is
// another module that carries the component at a version not older than this one's.
bool MainModuleTakesOver() {
    return MainInstance != 0 && MainInstance != OwnModule() && IsCrashLogModule(MainInstance) &&
           GetCrashLogModuleVersion(MainInstance) >= CrashLogCurrentVersion;
}

} // namespace

void CrashLogMainInit() {
    // The codecs of the stored block and the options class the registry makes; both are needed
    // before this module's own block is read.
    CLDataCodecs.ZDecompress = &DecompressBlock;
    CLDataCodecs.InitKey = &InitKey;
    CLDataCodecs.Decrypt = &Decrypt;
    CreateModuleOptionsProc = &MakeModuleOptions;
    CLDataPasswordRequest = &PasswordOfModule;

    CriticalError = [](const std::string& section) { HandleInternalError(section); };
    const bool library = IsModuleLibrary(OwnModule());
    MainInstance = library ? 0 : OwnModule();
    DeferToMainModule = MainModuleTakesOver();
    // The runtime is linked into this module: its procedures are ours to replace.
    InstallRuntimeHooks = true;
    LibraryActive.store(1);
    RunInline = !UseExceptionThread;
    StartupCurrentDir = detail::CurrentDir();
    ExceptionNotify = nullptr;
    ExceptionActionNotify = nullptr;
    ExceptionErrorNotify = nullptr;
    ThreadCaptureBlock& b = Capture();
    std::memset(b.Context, 0, sizeof b.Context);
    b.ExceptionRecord = TExceptionRecordCopy{};
    g_state = std::make_unique<TCrashState>();
    State = g_state.get();
    State->HyperlinkCursor = reinterpret_cast<uintptr_t>(LoadCursorW(nullptr, IDC_HAND));

    if (!IsCrashLogModule(OwnModule())) {
        // Without its stored data the component stays out of the way.
        LibraryActive.store(0);
        return;
    }
    CreateModulesList();
    CreateProcessesList();
    OpenOwnSharedOptionsBlock(OwnModule());
    State->ReportOptions = std::make_unique<TCrashModuleOptionsEx>("");
    State->MainStackTop = StackTop();
    Report = TCrashReport{};
    ApplicationStartTime = Now();
    ReportCounter = 0;
    State->MainThreadId = GetCurrentThreadId();
    HANDLE main = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &main,
                    THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_QUERY_INFORMATION, FALSE,
                    0);
    State->MainThreadHandle = reinterpret_cast<uintptr_t>(main);
    State->Threads = std::make_unique<TCrashThreadsList>();
    RegisterMainThread();
    ClearLastCrashLogError();
    std::vector<std::string> hidden = HiddenUnitNames();
    SetHiddenUnits(std::move(hidden));
    ActiveState.store(1);
    LastRaisedObject.store(nullptr);
    LastReportedAddress.store(0);
    ResetReportHalf();

    CrashLogUtilsHooks.CurrentExceptionAddress = [] { return GetLastExceptionAddress(); };
    CrashLogUtilsHooks.CurrentCallStackText = &CurrentCallStackText;
    CrashLogUtilsHooks.LastExceptionClassName = [] {
        return GetValidObjectClassName(Report.ExceptionObject);
    };
    CrashLogUtilsHooks.ThrownObjectSize = [](const void* object) -> uint32_t {
        const ThreadCaptureBlock& b = Capture();
        return object && object == b.AllocatedThrown ? b.AllocatedThrownSize : 0;
    };

    if (!IntoIDE() && InstallRuntimeHooks) {
        InstallCaptureHooks();
        HookFrameworkHandlers();
        PatchKernel32();
        StartOverflowReporter();
    }
    if (!IntoIDE()) StartFreezeWatchdog();
    if (library) {
        AdoptLibraryMainInstance(OwnModule());
        DeferToMainModule = MainModuleTakesOver();
    }
}

void CrashLogMainDone() {
    if (State && LibraryActive.load() != 0 && ReportGivenUp()) {
        // A report thread was given up: it may have ended holding any of the component's locks,
        // so nothing here waits for one. The component only switches off; the process ends.
        if (!IntoIDE() && InstallRuntimeHooks) {
            UnhookFrameworkHandlers();
            RemoveCaptureHooks();
        }
        LibraryActive.store(0);
        State = nullptr;
        g_state.release(); // left to the process's end
        return;
    }
    // The last step runs in every case, also when an earlier one fails: the stack copy is freed
    // and the state goes. After a failure, what a thread of the component may still use (its
    // locks) is left to the process's end; only the stack copy is freed.
    bool completed = false;
    struct FinalStep {
        const bool& completed;
        ~FinalStep() {
            LibraryActive.store(0);
            State = nullptr;
            if (!g_state) return;
            if (completed) {
                g_state.reset();
                return;
            }
            std::vector<uint8_t>().swap(g_state->StackCopy);
            g_state.release();
        }
    } finalStep{completed};
    if (State && LibraryActive.load() != 0) {
        // A running report finishes first, then what its send thread still does.
        WaitForReportsToEnd();
        FreeReportCallStack();
        StopFreezeWatchdog();
        StopOverflowReporter();
        if (!IntoIDE() && InstallRuntimeHooks) {
            UnhookFrameworkHandlers();
            RemoveCaptureHooks();
        }
        if (ActiveState.load() != 0)
            ActiveState.store(IsCrashLogActiveInThread(GetCurrentThreadId()) ? 1 : 0);
        State->Threads.reset();
        if (State->MainThreadHandle) CloseHandle(reinterpret_cast<HANDLE>(State->MainThreadHandle));
        State->MainThreadHandle = 0;
        CloseOwnSharedOptionsBlock();
        SetMetadataFilePath("");
        LibraryActive.store(0);
        FreeModulesList();
        FreeProcessesList();
    }
    completed = true;
}

} // namespace kv::crash

namespace kv::crash::detail {

TCriticalSection::TCriticalSection() {
    static_assert(sizeof storage_ >= sizeof(CRITICAL_SECTION));
    InitializeCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_));
}
TCriticalSection::~TCriticalSection() {
    DeleteCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_));
}
void TCriticalSection::lock() {
    EnterCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_));
}
void TCriticalSection::unlock() {
    LeaveCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_));
}
bool TCriticalSection::try_lock() {
    return TryEnterCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_)) != FALSE;
}

} // namespace kv::crash::detail
