// The report routine: one report at a time under the report lock, built on a thread of its own
// while the raising thread waits (pumping messages when it is the main thread and a report
// dialog is up), with the call stacks of the raising and the other threads, the events, the
// report half's steps and the decision what happens to the program.
#include <windows.h>

#include <cmath>
#include <cstring>

#include "crash/capture/CrashLogMainWin.h"
#include "crash/core/ClHash.h"
#include "crash/debug/ClCallStack.h"
#include "crash/debug/ClDebugInfo.h"
#include "crash/debug/ClDebugModules.h"
#include "crash/debug/ClDebugProcesses.h"

namespace kv::crash {

namespace detail {

namespace {

// ---- Walks over copied stacks ----

// The memory of the process with one stack range served from a copy.
class TCopyMemory final : public TMemoryReader {
public:
    TCopyMemory(uint32_t base, const uint8_t* bytes, uint32_t size)
        : base_(base), bytes_(bytes), size_(size) {}
    bool IsValid(uint32_t addr, uint32_t len) const override {
        if (Inside(addr, len)) return true;
        return ProcessMemory().IsValid(addr, len);
    }
    bool Read(uint32_t addr, void* out, uint32_t len) const override {
        if (Inside(addr, len)) {
            std::memcpy(out, bytes_ + (addr - base_), len);
            return true;
        }
        return ProcessMemory().Read(addr, out, len);
    }

private:
    bool Inside(uint32_t addr, uint32_t len) const {
        return addr >= base_ && len <= size_ && addr - base_ <= size_ - len;
    }
    uint32_t base_;
    const uint8_t* bytes_;
    uint32_t size_;
};

class TCopyEnvironment final : public TStackWalkEnvironment {
public:
    explicit TCopyEnvironment(const TCopyMemory& memory) : memory_(memory) {}
    const TMemoryReader& Memory() const override { return memory_; }
    void GetDebugInfoByAddr(uint32_t address, uint32_t threadId, TCrashDebugInfo& info,
                            bool runningThread, bool errorLine) const override {
        ProcessStackWalkEnvironment().GetDebugInfoByAddr(address, threadId, info, runningThread,
                                                         errorLine);
    }
    void ModuleOfAddr(uint32_t address, uint32_t& handle, std::string& fileName) const override {
        ProcessStackWalkEnvironment().ModuleOfAddr(address, handle, fileName);
    }
    uint32_t ConvertAddress(uint32_t address) const override {
        return ProcessStackWalkEnvironment().ConvertAddress(address);
    }
    bool IntoIDE() const override { return false; }

private:
    const TCopyMemory& memory_;
};

TCrashDebugDetails AllDetails() {
    return TCrashDebugDetails::FirstN(5);
}

// Appends the frames of a stack copy: firstAddress as the error line (0 for none).
void WalkCopy(TCrashStackList& list, uintptr_t firstAddress, uint32_t base, const uint8_t* bytes,
              uint32_t size, uint32_t threadId, bool running) {
    if (!bytes || !size) return;
    const TCopyMemory memory(base, bytes, size);
    const TCopyEnvironment env(memory);
    WalkStack(list, firstAddress, base, base + size, threadId, running, true, false, -1, 0,
              AllDetails(), env);
}

// The return addresses of the frame-pointer chain that starts at ebp, within [low, high).
std::vector<uint32_t> FrameChainReturns(const TMemoryReader& memory, uint32_t ebp, uint32_t low,
                                        uint32_t high) {
    std::vector<uint32_t> returns;
    for (int n = 0; n < 1024 && ebp >= low && ebp + 8 <= high && ebp % 4 == 0; ++n) {
        uint32_t frame[2];
        if (!memory.Read(ebp, frame, sizeof frame) || frame[1] == 0) break;
        returns.push_back(frame[1]);
        if (frame[0] <= ebp) break; // chains only go up the stack
        ebp = frame[0];
    }
    return returns;
}

void AppendList(TCrashStackList& to, std::unique_ptr<TCrashStackList> from) {
    if (!from) return;
    // The frames move over with everything they carry.
    while (from->Count() > 0) {
        auto frame = std::make_unique<TCrashDebugInfo>(*from->GetItem(0));
        from->Delete(0);
        to.Add(std::move(frame));
    }
}

void AppendCallerStack(TCrashStackList& list, const TCrashThreadInfo& info) {
    if (!info.CallerStackDump || info.CallerStackSize == 0) return;
    WalkCopy(list, 0, info.CallerStackStart,
             reinterpret_cast<const uint8_t*>(info.CallerStackDump->data()),
             static_cast<uint32_t>(info.CallerStackDump->size()), info.CallerID, false);
}

// ---- Messages while the raising thread waits ----

void PumpReportMessages(bool& stopped) {
    if (stopped) return;
    MSG msg;
    for (int handled = 0; handled < 11; ++handled) {
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return;
        if (msg.message == WM_QUIT) return;
        const UINT m = msg.message;
        const bool input = (m >= 0x00A1 && m <= 0x00A9) || (m >= 0x0100 && m <= 0x0102) ||
                           (m >= 0x0104 && m <= 0x0106) || (m >= 0x0201 && m <= 0x0209);
        if (input) {
            MessageBeep(0);
            continue;
        }
        try {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        } catch (...) {
            stopped = true;
            return;
        }
    }
}

std::string GetActiveControlText(HWND focus) {
    if (!focus || IsWindowUnicode(focus)) return std::string();
    char cls[256] = {};
    GetClassNameA(focus, cls, sizeof cls);
    const std::string name = UpperCase(Trim(cls));
    const LONG style = GetWindowLongA(focus, GWL_STYLE);
    const bool edit = name.find("EDIT") != std::string::npos;
    const bool memo = name.find("MEMO") != std::string::npos;
    if ((edit || memo) && (style & 0x0004)) return std::string(); // multi-line
    char text[256] = {};
    GetWindowTextA(focus, text, 256);
    std::string result = text;
    if (edit && (style & 0x0020))
        for (char& c : result) c = '*';
    return result;
}

// ---- The callback slot of the waiting thread ----

std::mutex g_callbackLock;
const std::function<void()>* g_postedCallback = nullptr;
bool g_callbackBusy = false;
std::atomic<bool> g_reportInProgress{false};
std::atomic<DWORD> g_dispatchingThread{0}; // holds the report lock for the running report
std::atomic<DWORD> g_reportThread{0};      // builds the running report
std::atomic<bool> g_reportGivenUp{false};

} // namespace

std::atomic<uint32_t> ReportStallMs{300000};

namespace {

// Runs the callback the report thread posted; whether there was one.
bool RunPostedCallback() {
    const std::function<void()>* callback = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_callbackLock);
        callback = g_postedCallback;
    }
    if (!callback) return false;
    g_callbackBusy = true;
    try {
        (*callback)();
    } catch (...) {
        // A handler's exception ends the handler, not the report.
    }
    g_callbackBusy = false;
    std::lock_guard<std::mutex> lock(g_callbackLock);
    g_postedCallback = nullptr;
    return true;
}

// ---- The report thread ----

struct TExceptionThread {
    const void* FObj = nullptr;
    uintptr_t FAddr = 0;
    bool FLanguageException = false;
    TExceptNotifyParams FParams;
    TRaiserType FRaiserType = rtUnknown;
    uintptr_t FModuleHandle = 0;
    TAsynchronousException FAsynchronousException = aeNone;
    DWORD FCaller = 0;
    std::atomic<bool> FExecuting{true};
    bool FResult = true;
};

bool ProcessExceptionReport(const void* object, uintptr_t address, bool language,
                            TExceptNotifyParams& params, TRaiserType raiser, uintptr_t module,
                            TAsynchronousException asynchronous);

DWORD WINAPI ExceptionThreadExecute(void* p) {
    auto* t = static_cast<TExceptionThread*>(p);
    try {
        t->FResult =
            ProcessExceptionReport(t->FObj, t->FAddr, t->FLanguageException, t->FParams,
                                   t->FRaiserType, t->FModuleHandle, t->FAsynchronousException);
    } catch (...) {
        t->FResult = true;
    }
    t->FExecuting.store(false);
    return 0;
}

// ---- Report steps ----

void SetSection(int32_t section) {
    Report.Section = section;
}

void SetReportEnvironment() {
    const std::string mainModule = Real_GetMainModuleFileName();
    std::string description, version;
    GetFileVersionInfoText(mainModule, description, version);
    SetEnvVariable("_MainModuleName", mainModule);
    SetEnvVariable("_MainModuleDesc", description);
    SetEnvVariable("_MainModuleVer", version);
    std::string exceptModule;
    if (const uintptr_t m = FindModuleOfAddr(Report.ExceptionAddress))
        exceptModule = GetLongModuleFileName(m);
    std::string exceptDescription, exceptVersion;
    if (!exceptModule.empty())
        GetFileVersionInfoText(exceptModule, exceptDescription, exceptVersion);
    SetEnvVariable("_ExceptModuleName", exceptModule);
    SetEnvVariable("_ExceptModuleDesc", exceptDescription);
    SetEnvVariable("_ExceptModuleVer", exceptVersion);
    SetEnvVariable("_ExceptMsg", ReportHalf.ExceptionMessageText
                                     ? ReportHalf.ExceptionMessageText(Report.ExceptionObject)
                                     : ExceptionMessageOf(Report.ExceptionObject));
    SetEnvVariable("_BugReport", Report.Record.LogText);
    SetEnvVariable("_LineBreak", "\r\n");
}

bool HasDebugInformation(const TCrashModuleInfo* m) {
    return m && (m->ExtraInformation.DebugInformation || m->OtherDebugData);
}

bool IncludeThreadInReport(const TCrashThreadInfo& info, const TCrashModuleOptions& options) {
    if (info.ID == GetCurrentThreadId()) return false;
    if (InheritsFromNamedClass(Report.ExceptionObject, "EMemoryLeak")) return false;
    return IsRuntimeThread(info) ? options.CallStackOptions().Contains(csoShowBorlandThreads)
                                 : options.CallStackOptions().Contains(csoShowWindowsThreads);
}

bool ShouldPauseThread(const TCrashThreadInfo& info, const TCrashModuleOptions& options) {
    const TBehaviourOptions b = options.BehaviourOptions();
    if (!IsRuntimeThread(info)) return b.Contains(boPauseWindowsThreads);
    if (!b.Contains(boPauseBorlandThreads)) return false;
    return !(info.MainThread && b.Contains(boDoNotPauseMainThread));
}

bool ShouldRestoreMainWindow(TRaiserType raiser) {
    const bool gui = !IsConsoleApplication();
    if (!(raiser == rtLocal || (raiser == rtUnknown && gui))) return false;
    const TCommonSendOptions s = Report.Options->CommonSendOptions();
    return Report.DialogType != edtNone ||
           (ReportIsToBeSent() && (s.Contains(sndShowSendDialog) || s.Contains(sndSendScreenshot)));
}

void RestoreMainWindow() {
    const HWND main = reinterpret_cast<HWND>(FindMainWindowOfProcess(GetCurrentProcessId()));
    if (!main) return;
    if (GetWindowThreadProcessId(main, nullptr) != GetCurrentThreadId()) {
        // Another thread's window (a frozen main thread, or one that waits for this report):
        // asked, not waited for.
        ShowWindowAsync(main, IsIconic(main) ? SW_RESTORE : SW_SHOWNORMAL);
        SetForegroundWindow(main);
        return;
    }
    if (IsIconic(main)) {
        PostMessageW(main, WM_SYSCOMMAND, SC_RESTORE, 0);
        PumpOneMessage();
    }
    ShowWindow(main, SW_SHOWNORMAL);
    SetForegroundWindow(main);
}

// Other threads' stacks: copied while they are suspended (into buffers made before), walked
// after they run again, so that no lock they hold is needed while they stand still.
struct TThreadCopy {
    TCrashThreadInfo info;
    std::vector<uint8_t> stack = std::vector<uint8_t>(kStackCopySize);
    uint32_t base = 0, size = 0;
    uint32_t eip = 0;
    bool suspended = false;
};

void AddOtherThreads(TCrashStackList& list, const TCrashThreadsList& snapshot,
                     const TCrashModuleOptions& options, uint32_t raisingThread) {
    std::vector<std::unique_ptr<TThreadCopy>> copies;
    for (int i = 0; i < snapshot.Count(); ++i) {
        const TCrashThreadInfo* e = snapshot.Item(i);
        if (!e || e->ID == raisingThread || !IncludeThreadInReport(*e, options) || !e->Handle)
            continue;
        auto c = std::make_unique<TThreadCopy>();
        c->info = *e;
        copies.push_back(std::move(c));
    }
    for (auto& c : copies) {
        const HANDLE h = reinterpret_cast<HANDLE>(c->info.Handle);
        c->suspended = SuspendThread(h) != static_cast<DWORD>(-1);
        if (!c->suspended) continue;
        alignas(16) CONTEXT context{};
        context.ContextFlags = kContextControlInteger;
        if (!GetThreadContext(h, &context) || context.Eip == 0 || context.Esp == 0) continue;
        c->eip = context.Eip;
        const uint32_t top = c->info.TopOfStack;
        if (top > context.Esp) {
            uint32_t size = top - context.Esp;
            if (size > kStackCopySize) size = kStackCopySize;
            SIZE_T read = 0;
            // The system's own copy: nothing of ours that the stopped thread may hold is used.
            if (ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<void*>(context.Esp),
                                  c->stack.data(), size, &read)) {
                c->base = context.Esp;
                c->size = static_cast<uint32_t>(read);
            }
        }
    }
    for (auto& c : copies)
        if (c->suspended) Real.ResumeThread(reinterpret_cast<HANDLE>(c->info.Handle));
    for (auto& c : copies) {
        if (!c->eip || !c->size) continue;
        WalkCopy(list, c->eip, c->base, c->stack.data(), c->size, c->info.ID, true);
        // The walk marks its first frame as the error line; another thread's is not.
        for (int i = list.Count() - 1; i >= 0; --i) {
            TCrashDebugInfo* f = list.GetItem(i);
            if (f->ThreadID != c->info.ID) break;
            f->ErrorLine = false;
        }
        AppendCallerStack(list, c->info);
    }
}

bool ProcessExceptionReport(const void* object, uintptr_t address, bool language,
                            TExceptNotifyParams& params, TRaiserType raiser, uintptr_t module,
                            TAsynchronousException asynchronous) {
    bool result = false;
    bool reported = false;     // the report was made (no filter or handler stepped aside)
    bool logTextOnly = false;  // made for GetCrashLogHTML: the log text and nothing after it
    bool sentOnThread = false; // the send thread finishes the report
    std::vector<HANDLE> paused;
    ThreadCaptureBlock& own = Capture();
    own.ReportRunning = 1;
    g_reportThread.store(GetCurrentThreadId());
    g_reportInProgress.store(true);
    TCrashReport& r = Report;
    // The request is for this report alone, whichever way it goes (a filter that takes the
    // exception too): it never carries over to the next report.
    logTextOnly = CallForGetLogText;
    CallForGetLogText = false;
    try {
        r.StartTime = Now();
        r.ExceptionObject = object;
        r.LanguageException = language;
        r.RaiserType = raiser;
        r.Asynchronous = asynchronous;
        SetSection(1);
        r.Threads = std::make_unique<TCrashThreadsList>(ThreadsList());
        if (address) LastReportedAddress.store(address);
        if (language && address) address -= 5;
        r.ExceptionAddress = address;
        if (TCrashModulesList* modules = ModulesList()) {
            modules->Lock();
            for (int i = modules->Count() - 1; i >= 0; --i) {
                const TCrashModuleInfo* m = modules->GetItem(i);
                // Within a millisecond: the dates are whole seconds, but one of the two may
                // come straight from the FPU with more precision than the stored one.
                if (std::abs(GetModifiedDate(m->Name) - m->LastModified) > 1.0 / 86400000)
                    modules->Delete(i);
            }
            modules->Unlock();
        }
        const uintptr_t own_module = OwnModule();
        const uintptr_t fallback = module == own_module
                                       ? reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr))
                                       : own_module;
        r.Record = TCrashExceptionRecord{};
        r.Record.ExceptionAddress = address;
        r.Record.ExceptionObject = object;
        r.Record.ExceptionThreadID = params.ThreadID;
        // Known for every handler type: the end of the routine asks for it.
        r.RaisingThreadID = params.ThreadID;

        // The options of the module the exception belongs to.
        TCrashModuleOptionsEx* options = State->ReportOptions.get();
        r.Options = options;
        // A report for a hosting program's object: the metadata module's options, named after
        // the hosted program.
        const PCrashModuleInfo metadata = CallFromCOMObject && State->MetadataModule
                                              ? ModuleInfoByHandle(State->MetadataModule)
                                              : nullptr;
        SetSection(101);
        PCrashModuleInfo chosen = metadata ? metadata : ModuleInfoByAddr(address);
        if (!metadata && !HasDebugInformation(chosen)) {
            SetSection(102);
            if (PCrashModuleInfo m = ModuleInfoByHandle(module)) chosen = m;
        }
        if (!chosen || (!metadata && !HasDebugInformation(chosen) && fallback)) {
            SetSection(103);
            if (PCrashModuleInfo m = ModuleInfoByHandle(fallback)) chosen = m;
        }
        if (!chosen) throw kv::Exception(u"No module information for the exception.");
        options->Assign(chosen->ExtraInformation.Options.get());
        if (!metadata && options->BehaviourOptions().Contains(boUseMainModuleOptions)) {
            PCrashModuleInfo main = ModuleInfoByHandle(fallback);
            if (HasDebugInformation(main)) {
                options->Assign(main->ExtraInformation.Options.get());
                chosen = main;
            }
        }
        options->SetModuleName(chosen->Name);
        options->SetModuleHandle(chosen->Handle);
        if (metadata) {
            const std::string hosted = DotNetHostedFile(Real_GetMainModuleFileName());
            options->SetModuleName(hosted);
            options->SetModuleHandle(reinterpret_cast<uintptr_t>(GetModuleHandleA(hosted.c_str())));
        }
        r.ModuleHandle = options->ModuleHandle();
        SetSection(104);
        options->SetReproduceText("");

        SetSection(2);
        r.CustomErrorMessage.clear();
        SetReportEnvironment();

        TFilterHandlerType handlerType = fhtCrashLog;
        TFilterActionType action = fatNone;
        r.DialogType = options->ExceptionDialogType();
        r.FilterChoseDialog = false;
        if (asynchronous != aeSynchronize && options->ActivateHandle()) {
            SetSection(201);
            const int i = FindExceptionFilter(*options, object, params.Handled);
            if (i >= 0) {
                const TCrashExceptionFilter& f = *options->ExceptionsFilters().GetItem(i);
                action = f.ActionType;
                handlerType = f.HandlerType;
                switch (f.DialogType) {
                case fdtNone:
                    r.DialogType = edtNone;
                    break;
                case fdtUnchanged:
                    r.DialogType = options->ExceptionDialogType();
                    break;
                case fdtMessageBox:
                    r.DialogType = edtMessageBox;
                    break;
                case fdtMSClassic:
                    r.DialogType = edtMSClassic;
                    break;
                case fdtCrashLog:
                    r.DialogType = edtCrashLog;
                    break;
                }
                r.FilterChoseDialog = true;
                const std::string message = ExpandEnvVars(f.ExceptionMessage);
                if (!message.empty()) r.CustomErrorMessage = message;
            }
        }
        bool sendNow = ReportIsToBeSent();
        SetSection(3);

        if (handlerType == fhtRTL) {
            result = true;
        } else if (handlerType == fhtCrashLog) {
            r.Params = params;
            if (!IsValidBlockAddr(r.Params.Context, kContextCopySize)) r.Params.Context = 0;
            if (!IsValidBlockAddr(r.Params.ExceptionRecord, sizeof(TExceptionRecordCopy)))
                r.Params.ExceptionRecord = 0;
            r.RaisingThreadID = params.ThreadID;
            SetSection(4);

            // The raising thread's stack: from the copy taken when it raised, while that copy
            // belongs to this exception (the frames may have been unwound since), else live.
            std::unique_ptr<TCrashStackList> stack(params.CallStack);
            params.CallStack = nullptr;
            r.Params.CallStack = nullptr;
            std::vector<uint32_t> chain; // for the exception ID
            const uint32_t ebp =
                r.Params.Context ? reinterpret_cast<const CONTEXT*>(r.Params.Context)->Ebp : 0;
            if (!stack) {
                stack = std::make_unique<TCrashStackList>();
                bool fromCopy = false;
                {
                    TCriticalSectionGuard lock(State->StackCopyLock);
                    if (State->StackCopyThread == params.ThreadID &&
                        State->StackCopyAddress == address && State->StackCopyBytes &&
                        params.StackPoint >= State->StackCopyStart &&
                        params.StackPoint < State->StackCopyStart + State->StackCopyBytes) {
                        const uint32_t skip = params.StackPoint - State->StackCopyStart;
                        const uint32_t size = State->StackCopyBytes - skip;
                        WalkCopy(*stack, address, params.StackPoint, State->StackCopy.data() + skip,
                                 size, params.ThreadID, true);
                        const TCopyMemory copy(params.StackPoint, State->StackCopy.data() + skip,
                                               size);
                        chain = FrameChainReturns(copy, ebp, params.StackPoint,
                                                  params.StackPoint + size);
                        fromCopy = true;
                    }
                }
                if (!fromCopy) {
                    AppendList(*stack, GetCallStackByAddresses(address, params.StackPoint,
                                                               params.TopOfStack, params.ThreadID,
                                                               true, false, -1, 0, AllDetails()));
                    chain = FrameChainReturns(ProcessMemory(), ebp, params.StackPoint,
                                              params.TopOfStack);
                }
            }
            r.CallStack = std::move(stack);
            const std::string head =
                (ReportHalf.ApplicationModuleText ? ReportHalf.ApplicationModuleText() : "") +
                (ReportHalf.ExceptionModuleText ? ReportHalf.ExceptionModuleText() : "") +
                (ReportHalf.ExceptionClassText ? ReportHalf.ExceptionClassText(object) : "");
            r.BugID = MakeBugID(head, r.CallStack.get(), chain);
            const int raisingIndex = r.Threads->FindByThreadID(params.ThreadID);
            if (raisingIndex >= 0) AppendCallerStack(*r.CallStack, *r.Threads->Item(raisingIndex));
            AddOtherThreads(*r.CallStack, *r.Threads, *options, params.ThreadID);

            SetSection(5);
            if (asynchronous != aeSynchronize) {
                for (int i = 0; i < r.Threads->Count(); ++i) {
                    const TCrashThreadInfo* e = r.Threads->Item(i);
                    if (!e || !e->Handle || e->ID == GetCurrentThreadId() ||
                        e->ID == params.ThreadID || IsOwnThread(e->ID) ||
                        !ShouldPauseThread(*e, *options))
                        continue;
                    const HANDLE h = reinterpret_cast<HANDLE>(e->Handle);
                    if (SuspendThread(h) != static_cast<DWORD>(-1)) paused.push_back(h);
                }
            }

            SetSection(6);
            r.NotifyHandled = true;
            if (options->LogOptions().Contains(loSaveModulesAndProcessesSections)) {
                RefreshModulesList();
                RefreshProcessesList();
            }
            SetSection(7);
            r.Record.CallStack = r.CallStack.get();
            r.Record.CurrentModuleOptions = options;
            r.Record.Win32ExceptionRecord =
                reinterpret_cast<const TExceptionRecordCopy*>(r.Params.ExceptionRecord);
            r.Record.Win32Context = r.Params.Context;
            SetSection(702);
            if (ReportHalf.BuildLogText) ReportHalf.BuildLogText();

            if (!logTextOnly) {
                SetSection(703);
                SetSection(704);
                r.Record.ModulesList = ModulesList();
                r.CurrentRecord = &r.Record;
                if (ReportHalf.CountDuplicateReport) ReportHalf.CountDuplicateReport(true);
                SetSection(705);
                ClearLastCrashLogError();
                SetSection(706);
                SetReportEnvironment();
                if (ReportHalf.IsCGIApplication && ReportHalf.IsCGIApplication()) {
                    r.LastHTMLPage = LastHTMLPage();
                    if (r.LastHTMLPage.empty() && ReportHalf.LastHTMLPageFromFile)
                        r.LastHTMLPage = ReportHalf.LastHTMLPageFromFile();
                }
                if (ShouldRestoreMainWindow(raiser)) CallInRaisingThread(&RestoreMainWindow);
                CallInRaisingThread([&] {
                    bool handled = r.NotifyHandled;
                    if (params.Handled)
                        DoHandledExceptionNotify(handled);
                    else
                        DoExceptionNotify(handled);
                    r.NotifyHandled = handled;
                });
                SetSection(8);
                reported = r.NotifyHandled;
                if (r.NotifyHandled) {
                    if (ReportHalf.CaptureScreenshot) ReportHalf.CaptureScreenshot();
                    if (options->AutoCrashOperation() != tbNone) {
                        TStrings& list = AutoCrashList();
                        list.push_back(DateTimeToStrFixed(Now()));
                        while (static_cast<int32_t>(list.size()) > options->AutoCrashNumber())
                            list.erase(list.begin());
                    }
                    r.CustomData.clear();
                    CallInRaisingThread([&] { DoCustomDataRequest(r.CustomData); });
                    if (!r.CustomData.empty() && options->ShowOptions().Contains(soCustomData) &&
                        ReportHalf.InsertLogValuesSection)
                        ReportHalf.InsertLogValuesSection(
                            7, options->GetCustomizedExpandedTexts(mtLog_CustInfoHeader),
                            r.CustomData);
                    SetSection(9);
                    ++ReportCounter;
                    SetSection(10);
                    {
                        std::string message = ReportHalf.ExceptionMessageText
                                                  ? ReportHalf.ExceptionMessageText(object)
                                                  : ExceptionMessageOf(object);
                        for (char& c : message)
                            if (static_cast<unsigned char>(c) < 32 && c != '\r' && c != '\n')
                                c = ' ';
                        LastReportMessage = message;
                    }
                    SetSection(11);
                    if (!r.FilterChoseDialog) r.DialogType = options->ExceptionDialogType();
                    if (const HWND fg = GetForegroundWindow()) {
                        MONITORINFO mi{};
                        mi.cbSize = sizeof mi;
                        if (GetMonitorInfoW(MonitorFromWindow(fg, MONITOR_DEFAULTTONEAREST), &mi)) {
                            r.WorkArea[0] = mi.rcWork.left;
                            r.WorkArea[1] = mi.rcWork.top;
                            r.WorkArea[2] = mi.rcWork.right;
                            r.WorkArea[3] = mi.rcWork.bottom;
                        }
                    }
                    const bool sendMode = options->EMailSendMode() != esmNoSend ||
                                          options->WebSendMode() != wsmNoSend;
                    if (r.DialogType != edtNone) {
                        SetSection(12);
                        r.ActionFlag = true;
                        ClearLastCrashLogError();
                        CallInRaisingThread([&] {
                            bool flag = r.ActionFlag;
                            DoExceptionActionNotify(atShowingExceptionInfo, flag);
                            r.ActionFlag = flag;
                        });
                        r.SendChosen = sendMode;
                        r.AttachScreenshotChosen =
                            options->CommonSendOptions().Contains(sndSendScreenshot);
                        r.Cancelled = false;
                        if (r.ActionFlag) {
                            SetSection(13);
                            switch (GetOutputKind(raiser)) {
                            case 1:
                                try {
                                    const std::string text =
                                        (ReportHalf.MessageHeading ? ReportHalf.MessageHeading()
                                                                   : std::string()) +
                                        r.Record.LogText + "\r\n";
                                    DWORD written = 0;
                                    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
                                    if (!WriteFile(out, text.data(),
                                                   static_cast<DWORD>(text.size()), &written,
                                                   nullptr))
                                        throw kv::Exception(u"Cannot write to the console.");
                                    r.ActionFlag = true;
                                } catch (...) {
                                    r.ActionFlag = false;
                                    SetLastCrashLogErrorFromException(eeShowError, "Console");
                                }
                                break;
                            case 2:
                                if (ReportHalf.ShowWebErrorPage)
                                    ReportHalf.ShowWebErrorPage(r.Record.LogText);
                                break;
                            default:
                                try {
                                    r.ReproduceWanted = r.DialogType == edtCrashLog;
                                    r.RepeatFlag = false;
                                    bool beep = true;
                                    // The dialog ends the loop with edtNone or switches the
                                    // type; a bound keeps a faulty one from looping forever.
                                    for (int shown = 0; shown < 16 && r.DialogType != edtNone &&
                                                        ReportHalf.ShowExceptionDialog;
                                         ++shown) {
                                        ReportHalf.ShowExceptionDialog(beep);
                                        beep = false;
                                        if (r.DialogType != edtNone) r.RepeatFlag = true;
                                    }
                                    r.ActionFlag = true;
                                } catch (...) {
                                    r.ActionFlag = false;
                                    SetLastCrashLogErrorFromException(eeShowError, "GUI");
                                }
                                break;
                            }
                        }
                        SetSection(14);
                        CallInRaisingThread([&] {
                            bool flag = r.ActionFlag;
                            DoExceptionActionNotify(atShowedExceptionInfo, flag);
                            r.ActionFlag = flag;
                        });
                    } else {
                        r.SendChosen = sendMode;
                        r.AttachScreenshotChosen =
                            options->CommonSendOptions().Contains(sndSendScreenshot);
                        if (ReportHalf.IsWebApplication && ReportHalf.IsWebApplication() &&
                            ReportHalf.ShowWebErrorPage)
                            ReportHalf.ShowWebErrorPage(GetDisplayedErrorMessage());
                    }
                    if (r.ReproduceWanted && ReportHalf.ShowReproduceRequest)
                        ReportHalf.ShowReproduceRequest();
                    if (options->LogOptions().Contains(loAppendReproduceText) &&
                        ReportHalf.InsertLogSection)
                        ReportHalf.InsertLogSection(
                            7, options->GetCustomizedExpandedTexts(mtReproduceDialog_Caption),
                            options->ReproduceText());
                    if (ReportIsToBeSent() && ReportHalf.SaveCapturedScreenshot &&
                        ReportHalf.ScreenshotFileName)
                        ReportHalf.SaveCapturedScreenshot(ReportHalf.ScreenshotFileName());
                    if (ReportHalf.ReleaseScreenshot) ReportHalf.ReleaseScreenshot();
                    SetSection(15);
                    if (options->LogOptions().Contains(loDeleteLogAtVersionChange) &&
                        ReportHalf.LastLogItemValue) {
                        const std::string stored = ReportHalf.LastLogItemValue("1.3");
                        if (!stored.empty() && stored != GetMainModuleVersion())
                            ForceDeleteFile(ReportLogFileName());
                    }
                    sendNow = ReportIsToBeSent();
                    if (options->SaveLogFile() && ReportHalf.SaveReportToLogFile)
                        ReportHalf.SaveReportToLogFile();
                    if (r.CopyToClipboardChosen) CopyTextToClipboard(r.Record.LogText);
                    SetSection(16);
                    // What follows the report is the send thread's when one took the send.
                    sentOnThread =
                        sendNow && ReportHalf.StartReportSending && ReportHalf.StartReportSending();
                    if (!sentOnThread) CheckAutoCrash();
                }
                if (!r.NotifyHandled) result = true;
            }
            for (HANDLE h : paused) Real.ResumeThread(h);
            paused.clear();
            // A report that only makes the log text ends with it: its caller reads the record.
            if (!logTextOnly) {
                SetSection(17);
                if (!sentOnThread) FreeReportCallStack();
                if (!r.TerminateChosen) {
                    if (action == fatTerminate) ForceApplicationTermination(tbTerminate);
                    if (action == fatRestart) ForceApplicationTermination(tbRestart);
                }
                if (options->BehaviourOptions().Contains(boCallRTLExceptionEvent)) result = true;
            }
        }
        SetSection(18);
        // A console program's main thread ends after a report that was made. Not when a filter
        // or an event handler left the exception to the program's own handling (the program
        // goes on with it), not after an exception that code catches, and not here when the
        // send thread does it.
        if (reported && !params.Handled && asynchronous != aeSynchronize && !sentOnThread)
            TerminateAfterReport();
    } catch (...) {
        HandleInternalError(IntToStr(Report.Section));
    }
    for (HANDLE h : paused) Real.ResumeThread(h);
    r.Threads.reset();
    r.CurrentRecord = nullptr;
    own.ReportRunning = 0;
    g_reportInProgress.store(false);
    g_reportThread.store(0);
    return result;
}

} // namespace

void ClearAfterReport() {
    LastRaisedAddress.store(0);
    LastRaisedObject.store(nullptr);
    LastLanguageException.store(false);
    ThreadCaptureBlock& b = Capture();
    b.StackPoint = 0;
    ContextOf(b).ContextFlags = 0;
    b.ExceptionRecord = TExceptionRecordCopy{};
    Report.CurrentRecord = nullptr;
}

bool ReportInProgress() {
    return g_reportInProgress.load();
}

bool ReportGivenUp() {
    return g_reportGivenUp.load();
}

bool IsReportingThread(DWORD id) {
    return id != 0 && (id == g_dispatchingThread.load() || id == g_reportThread.load());
}

std::unique_ptr<TCrashStackList> WalkStackCopy(uintptr_t firstAddress, uint32_t base,
                                               const uint8_t* bytes, uint32_t size,
                                               uint32_t threadId) {
    auto list = std::make_unique<TCrashStackList>();
    WalkCopy(*list, firstAddress, base, bytes, size, threadId, true);
    return list;
}

} // namespace detail

using namespace detail;

bool DispatchExceptionReport(const void* exceptionObject, uintptr_t address, bool language,
                             uint32_t topOfStack, uint32_t stackPoint, uintptr_t context,
                             uintptr_t exceptionRecord, TRaiserType raiserType, uintptr_t module,
                             TAsynchronousException asynchronous, bool handled,
                             TCrashStackList* callStack) {
    std::unique_ptr<TCrashStackList> given(callStack);
    if (LibraryActive.load() == 0 || !State) return true;
    if (InheritsFromNamedClass(exceptionObject, "EAbort")) return true;
    // The threads of the component (report, send, dialogs) are what a running report waits
    // for: a report asked for on one of them would wait for the lock of the report that waits
    // for it. The exception is left to the code that raised it.
    if (ReportInProgress() && IsOwnThread(GetCurrentThreadId())) return true;
    const TCrashModuleOptions* current = CurrentOptionsOrNull();
    const TBehaviourOptions behaviour = current ? current->BehaviourOptions() : TBehaviourOptions{};
    const bool mayPump =
        !InheritsFromNamedClass(exceptionObject, "EStackOverflow") &&
        !(behaviour.Contains(boPauseBorlandThreads) && !behaviour.Contains(boDoNotPauseMainThread));

    TCriticalSectionGuard lock(State->ReportLock);
    ReleaseOutOfMemoryBlock();
    struct Reserve {
        ~Reserve() { ReserveOutOfMemoryBlock(); }
    } reserve;

    ThreadCaptureBlock& b = Capture();
    if (b.DispatchGuard) return false;
    b.DispatchGuard = 1;
    const DWORD outerDispatcher = g_dispatchingThread.exchange(GetCurrentThreadId());
    struct Guard {
        ThreadCaptureBlock& block;
        DWORD outer;
        ~Guard() {
            g_dispatchingThread.store(outer);
            block.DispatchGuard = 0;
        }
    } guard{b, outerDispatcher};

    if (current && !behaviour.Contains(boHandleSafeCallExceptions)) {
        if (const kv::Exception* e = AsException(exceptionObject))
            if (e->Message().rfind(u"[SafeCall Exception]: ", 0) == 0) return false;
    }
    bool result = true;
    if (!current || !current->Active()) return result;

    TExceptNotifyParams params;
    params.Handled = handled;
    params.Context = context;
    params.ExceptionRecord = exceptionRecord;
    params.CallStack = given.release();
    params.TopOfStack = topOfStack ? topOfStack : StackTop();
    params.StackPoint =
        stackPoint ? stackPoint : (ContextFlagsOf(b) ? ContextOf(b).Esp : b.StackPoint);
    params.ThreadID = t_reportForThread ? t_reportForThread : GetCurrentThreadId();
    if (params.ThreadID != GetCurrentThreadId() && !context) {
        // A report for another thread carries its own context (the watchdog's).
    } else if (!params.Context && ContextFlagsOf(b)) {
        params.Context = reinterpret_cast<uintptr_t>(b.Context);
    }
    if (!params.ExceptionRecord && b.ExceptionRecord.ExceptionCode)
        params.ExceptionRecord = reinterpret_cast<uintptr_t>(&b.ExceptionRecord);
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    HWND focus = GetFocus();
    if (!focus && GetGUIThreadInfo(0, &gui)) focus = gui.hwndFocus;
    Report.FocusWindow = reinterpret_cast<uintptr_t>(focus);
    CURSORINFO cursor{};
    cursor.cbSize = sizeof cursor;
    Report.CursorKnown = GetCursorInfo(&cursor) != FALSE;
    Report.Cursor = reinterpret_cast<uintptr_t>(cursor.hCursor);
    Report.CursorX = cursor.ptScreenPos.x;
    Report.CursorY = cursor.ptScreenPos.y;
    if (focus) {
        char cls[256] = {};
        GetClassNameA(focus, cls, sizeof cls);
        params.ActiveControlClass = cls;
        params.ActiveControlText = GetActiveControlText(focus);
    }
    if (!handled) RecordUnhandledInThread(exceptionObject, address);
    RunInline = !UseExceptionThread;

    if (RunInline) {
        result = ProcessExceptionReport(exceptionObject, address, language, params, raiserType,
                                        module, asynchronous);
        ClearAfterReport();
        return result;
    }
    TExceptionThread thread;
    thread.FObj = exceptionObject;
    thread.FAddr = address;
    thread.FLanguageException = language;
    thread.FParams = params;
    thread.FRaiserType = raiserType;
    thread.FModuleHandle = module;
    thread.FAsynchronousException = asynchronous;
    thread.FCaller = GetCurrentThreadId();
    DWORD id = 0;
    const HANDLE h = StartOwnThread(&ExceptionThreadExecute, &thread, id, true);
    if (!h) {
        // No thread to spare: the report runs here.
        result = ProcessExceptionReport(exceptionObject, address, language, params, raiserType,
                                        module, asynchronous);
        ClearAfterReport();
        return result;
    }
    SetThreadPriority(h, THREAD_PRIORITY_HIGHEST);
    (Real.ResumeThread ? Real.ResumeThread : &::ResumeThread)(h);
    const bool mainThread = GetCurrentThreadId() == State->MainThreadId;
    bool pumpStopped = false;
    bool abandoned = false;
    // The report thread is waited for as long as it gets on: a new step, a dialog on the screen
    // (the person reads it), an event handler that ran. A thread that does not get on for
    // ReportStallMs is stuck (on a lock that a broken thread holds) and is given up.
    int32_t section = Report.Section;
    DWORD progressAt = GetTickCount();
    try {
        while (thread.FExecuting.load()) {
            if (mainThread && mayPump && Report.DialogShown) PumpReportMessages(pumpStopped);
            const bool ran = RunPostedCallback();
            const DWORD now = GetTickCount();
            if (ran || Report.DialogShown || Report.Section != section) {
                section = Report.Section;
                progressAt = now;
            } else if (now - progressAt > ReportStallMs.load()) {
                abandoned = true;
                break;
            }
            Sleep(10);
        }
    } catch (...) {
        abandoned = true;
    }
    if (abandoned) {
        g_reportGivenUp.store(true);
        TerminateThread(h, 1);
        g_reportInProgress.store(false);
        g_reportThread.store(0);
        thread.FResult = true; // the caller's own handling runs
    }
    WaitForSingleObject(h, INFINITE);
    CloseHandle(h);
    result = thread.FResult;
    ClearAfterReport();
    return result;
}

void CallInRaisingThread(const std::function<void()>& callback) {
    const TCrashExceptionRecord* record = Report.CurrentRecord;
    const uint32_t raising = Report.RaisingThreadID;
    bool posted = false;
    if (record && raising && raising != GetCurrentThreadId() && !RunInline) {
        {
            std::lock_guard<std::mutex> lock(g_callbackLock);
            if (!g_postedCallback) {
                g_postedCallback = &callback;
                posted = true;
            }
        }
        if (posted) {
            for (;;) {
                {
                    std::lock_guard<std::mutex> lock(g_callbackLock);
                    if (!g_postedCallback) break;
                }
                Sleep(10);
            }
        }
    }
    if (!posted) {
        g_callbackBusy = true;
        try {
            callback();
        } catch (...) {
            // A handler's exception ends the handler, not the report.
        }
        g_callbackBusy = false;
    }
    if (ReportHalf.CountDuplicateReport && Report.CurrentRecord)
        ReportHalf.CountDuplicateReport(false);
    if (Report.Options) Report.Options->LoadSharedData();
}

namespace detail {
bool InCallback() {
    return g_callbackBusy;
}
} // namespace detail

void TerminateAfterReport() {
    const TCrashModuleOptions* o = Report.Options;
    if (Report.TerminateChosen) TerminateOrRestart(o && o->TerminateBtnOperation() == tbRestart);
    if (IsConsoleApplication() && State && Report.RaisingThreadID == State->MainThreadId)
        TerminateProcess(GetCurrentProcess(), 1);
}

// ---- Public functions built on the report routine ----

bool StandardCrashNotify(const void* exceptionObject, uintptr_t address) {
    if (LibraryActive.load() != 1) return false;
    ThreadCaptureBlock& b = Capture();
    if (b.StackPoint == 0) {
        b.StackPoint = StackPosition();
        ContextOf(b).ContextFlags = 0;
        b.ExceptionRecord = TExceptionRecordCopy{};
    }
    DispatchExceptionReport(exceptionObject, address, IsLanguageException(exceptionObject), 0, 0, 0,
                            0, rtUnknown, OwnModule(), aeNone, false, nullptr);
    return true;
}

bool StandardCrashError(const std::string& message) {
    ECrashLogGeneralError error(AnsiToUtf16(message));
    if (LibraryActive.load() != 1) return false;
    ThreadCaptureBlock& b = Capture();
    if (b.StackPoint == 0) b.StackPoint = StackPosition();
    return DispatchExceptionReport(&error, 0, true, 0, 0, 0, 0, rtUnknown, OwnModule(), aeNone,
                                   false, nullptr);
}

__attribute__((noinline)) void ShowLastExceptionData() {
    Capture().StackPoint = StackPosition();
    StandardCrashNotify(GetLastExceptionObject(), GetLastExceptionAddress());
}

uintptr_t GetLastExceptionAddress() {
    if (const uintptr_t a = LastExceptionAddress.load()) return a;
    return Capture().RaisedAddress;
}

const void* GetLastExceptionObject() {
    const void* o = LastExceptionObject.load();
    if (IsValidObjectReference(o)) return o;
    return Capture().RaisedObject;
}

__attribute__((noinline)) std::unique_ptr<TCrashStackList> GetCurrentCallStack() {
    return GetCallStackByAddresses(0, StackPosition(), StackTop(), GetCurrentThreadId(), true,
                                   false, -1, 0, AllDetails());
}

std::unique_ptr<TCrashStackList> GetLastExceptionCallStack() {
    if (!State) return nullptr;
    TCriticalSectionGuard lock(State->StackCopyLock);
    if (State->StackCopyBytes == 0) return nullptr;
    auto list = std::make_unique<TCrashStackList>();
    WalkCopy(*list, State->StackCopyAddress, State->StackCopyStart, State->StackCopy.data(),
             State->StackCopyBytes, State->StackCopyThread, true);
    return list;
}

__attribute__((noinline)) std::unique_ptr<TCrashStackList> GetCallStackByLevels(int firstLevel,
                                                                                int levels) {
    const TCrashModuleOptions* options = CurrentOptionsOrNull();
    if (!options) return nullptr;
    return GetCallStackByAddresses(0, StackPosition(), StackTop(), GetCurrentThreadId(), true,
                                   false, firstLevel, levels, GetShownDebugDetails(*options));
}

void GetCrashLogHTML(const std::string& typeText, const std::string& message,
                     const std::string& callStackText, std::string& html) {
    std::unique_ptr<TCrashStackList> stack = ParseCallStackText(callStackText);
    const uintptr_t first = stack->Count() > 0 ? stack->GetItem(0)->Addr : 0;
    TActiveXException error(typeText, message);
    TCrashModuleOptions* options = CurrentOptionsOrNull();
    TLogOptions saved;
    if (options) {
        saved = options->LogOptions();
        TLogOptions without = saved;
        without.Exclude(loSaveAssemblerAndCPUSections);
        options->SetLogOptions(without);
    }
    CallForGetLogText = true;
    DispatchExceptionReport(&error, first, false, 0, 0, 0, 0, rtWeb, 0, aeNone, false,
                            stack.release());
    CallForGetLogText = false;
    if (options) options->SetLogOptions(saved);
    html = ReportHalf.GenerateHTML ? ReportHalf.GenerateHTML(Report.Record.LogText, true)
                                   : Report.Record.LogText;
}

std::string ReportLogFileName() {
    const TCrashModuleOptions* o =
        Report.Options && Report.CurrentRecord ? Report.Options : CurrentOptionsOrNull();
    return o ? ExpandEnvVars(o->OutputLogFile("")) : std::string();
}

} // namespace kv::crash
