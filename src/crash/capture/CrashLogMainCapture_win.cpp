// Capture of the program's exceptions: C++ throws through link-time wraps of the runtime's throw
// routines (our own handler search decides whether code will catch them), system exceptions
// through a first-chance vectored handler that only records them, and the last-chance filter.
#include <windows.h>

#include <cxxabi.h>
#include <unwind.h>

#include <cstdlib>
#include <cstring>
#include <exception>

#include "crash/capture/CrashLogMainWin.h"
#include "crash/debug/ClCallStack.h"
#include "crash/debug/ClDebugModules.h"
#include "crash/hooks/ClHandlerTables.h"

namespace kv::crash::detail {

namespace {

thread_local ThreadCaptureBlock t_capture;

constexpr uint32_t kLanguageRaiseCode = 0x0EEDFADE;
// The flags of the runtime's second raise form.
constexpr uint32_t kCodeRaiseSecondFlags = 0xC0000025;

bool IsSystemCode(uint32_t code) {
    return code >= kCodeSystemFirst && code <= kCodeSystemLast;
}

// Holds the calling thread's last system error code across a notification.
class LastErrorKeeper {
public:
    LastErrorKeeper() : code_(GetLastError()) {}
    ~LastErrorKeeper() { SetLastError(code_); }

private:
    DWORD code_;
};

} // namespace

thread_local uint32_t t_reportForThread = 0;

bool Hooking() {
    return LibraryActive.load(std::memory_order_relaxed) != 0 && InstallRuntimeHooks;
}

ThreadCaptureBlock& Capture() {
    ThreadCaptureBlock& b = t_capture;
    b.Touched = true;
    return b;
}

void ReleaseCapture() {
    ThreadCaptureBlock& b = t_capture;
    const std::unique_ptr<EForeignException> owned(b.Substitute);
    b.Substitute = nullptr;
    const std::unique_ptr<kv::Exception> translated(b.Translated);
    b.Translated = nullptr;
}

uint32_t StackTop() {
    uint32_t top; // the thread information block's stack base
    asm volatile("movl %%fs:4, %0" : "=r"(top));
    return top;
}

uint32_t StackLimit() {
    uint32_t limit;
    asm volatile("movl %%fs:8, %0" : "=r"(limit));
    return limit;
}

__attribute__((noinline)) uint32_t StackPosition() {
    // The caller's position: just above this routine's return address.
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(__builtin_frame_address(0))) + 8;
}

void RecordRaise(const void* object, uintptr_t address, bool language) {
    if (address) LastExceptionAddress.store(address);
    if (object) LastExceptionObject.store(object);
    LastRaisedAddress.store(address);
    LastRaisedObject.store(object);
    LastLanguageException.store(language);
}

void RecordUnhandledInThread(const void* object, uintptr_t address) {
    ThreadCaptureBlock& b = Capture();
    const std::string name = GetValidObjectClassName(object);
    const size_t n = std::min<size_t>(name.size(), sizeof b.ExceptionClassName - 1);
    std::memcpy(b.ExceptionClassName, name.data(), n);
    b.ExceptionClassName[n] = '\0';
    b.ExceptionAddress = address;
}

void CopyRaisingThreadStack(uintptr_t address, bool language) {
    if (!State) return;
    ThreadCaptureBlock& b = Capture();
    TCriticalSectionGuard lock(State->StackCopyLock);
    const uint32_t top = StackTop();
    const uint32_t limit = StackLimit();
    uint32_t start = ContextFlagsOf(b) ? ContextOf(b).Esp : 0;
    if (start < limit || start > top) start = StackPosition();
    uint32_t size = top > start ? top - start : 0;
    if (size > kStackCopySize) size = kStackCopySize;
    State->StackCopyBytes = 0;
    State->StackCopyThread = GetCurrentThreadId();
    State->StackCopyAddress = language && address ? address - 5 : address;
    State->StackCopyStart = start;
    if (size && IsValidBlockAddr(start, size)) {
        std::memcpy(State->StackCopy.data(), reinterpret_cast<const void*>(start), size);
        State->StackCopyBytes = size;
    }
}

void CopyRecordAndContext(const EXCEPTION_RECORD* record, const CONTEXT* context) {
    ThreadCaptureBlock& b = Capture();
    b.ExceptionRecord = TExceptionRecordCopy{};
    if (record && IsValidBlockAddr(record, sizeof(TExceptionRecordCopy)))
        std::memcpy(static_cast<void*>(&b.ExceptionRecord), record, sizeof b.ExceptionRecord);
    if (context && IsValidBlockAddr(context, kContextCopySize)) {
        std::memcpy(b.Context, context, kContextCopySize);
        ContextOf(b).ContextFlags = kContextControlInteger;
        b.StackPoint = context->Esp;
    } else {
        std::memset(b.Context, 0, sizeof b.Context);
        b.StackPoint = 0;
    }
}

std::unique_ptr<kv::Exception> ObjectFromRecord(const EXCEPTION_RECORD* record) {
    TExceptionRecordCopy copy;
    if (record && IsValidBlockAddr(record, sizeof copy))
        std::memcpy(static_cast<void*>(&copy), record, sizeof copy);
    std::string module;
    if (copy.ExceptionCode == kCodeAccessViolation) {
        // The runtime names the module only when the address lies in one.
        if (const uintptr_t m = FindModuleOfAddr(copy.ExceptionAddress))
            module = ExtractFileName(GetLongModuleFileName(m));
    }
    return NewExceptionFromRecord(copy, module);
}

const void* ThrownObject(void* thrown, const std::type_info* type) {
    // An object of a polymorphic class starts with its virtual-table pointer, whose slot -1
    // holds the class's type_info.
    if (thrown && type && IsValidBlockAddr(thrown, sizeof(void*))) {
        void* const* vptr = *static_cast<void* const* const*>(thrown);
        if (vptr && IsValidBlockAddr(vptr - 1, sizeof(void*)) && vptr[-1] == type) return thrown;
    }
    ThreadCaptureBlock& b = Capture();
    std::string name = type ? type->name() : "?";
    int status = 0;
    if (char* demangled = abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status)) {
        name = demangled;
        std::free(demangled);
    }
    auto substitute = std::make_unique<EForeignException>(name);
    const std::unique_ptr<EForeignException> previous(b.Substitute);
    b.Substitute = substitute.release();
    return b.Substitute;
}

void* MainModuleExport(const char* name) {
    const HMODULE main = GetModuleHandleW(nullptr);
    if (!main || reinterpret_cast<uintptr_t>(main) == OwnModule()) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(main, name));
}

const kv::Exception* CallExceptObject(const EXCEPTION_RECORD* record, const CONTEXT* context,
                                      bool notify) {
    if (!record) return nullptr;
    ThreadCaptureBlock& b = Capture();
    std::unique_ptr<kv::Exception> made = ObjectFromRecord(record);
    const std::unique_ptr<kv::Exception> previous(b.Translated);
    b.Translated = made.release();
    const kv::Exception* object = b.Translated;
    try {
        if (record->ExceptionCode == kCodeThreadNaming) return object;
        CopyRecordAndContext(record, context);
        const auto address = reinterpret_cast<uintptr_t>(record->ExceptionAddress);
        if (State && GetCurrentThreadId() == State->MainThreadId) {
            // The main thread reports when the framework or the unhandled path sees it.
            RecordRaise(object, address, false);
        } else if (notify) {
            NotifyRaisedException(object, address, false, nullptr);
        }
        if (DeferToMainModule) {
            using TCallExceptObject =
                void*(__stdcall*)(const EXCEPTION_RECORD*, const CONTEXT*, BOOL);
            if (const auto forward = reinterpret_cast<TCallExceptObject>(
                    MainModuleExport("CrashLog_CallExceptObject")))
                forward(record, context, FALSE);
        }
    } catch (...) {
        // The object is what the caller asked for, whatever went wrong in recording it.
    }
    return object;
}

// ---- The handled-by-code test ----

namespace {

uint32_t FrameChainHash(const std::vector<TCodeFrame>& frames) {
    uint32_t h = 2166136261u;
    for (const TCodeFrame& f : frames) {
        h ^= static_cast<uint32_t>(f.Ip);
        h *= 16777619u;
    }
    return h;
}

} // namespace

bool IsHandledByCode(const void* object, const std::type_info* type, uintptr_t address,
                     TAsynchronousException& kind, uint32_t searchFrom) {
    kind = aeNone;
    if (InheritsFromNamedClass(object, "EStackOverflow")) return false;
    std::vector<TCodeFrame> frames = CurrentCodeFrames();
    // The component's own frames (the throw wrapper and what it called) lie below the raiser's
    // stack position; their catch blocks guard the component, not the program.
    if (searchFrom) {
        size_t first = 0;
        while (first < frames.size() && frames[first].Sp < searchFrom) ++first;
        frames.erase(frames.begin(), frames.begin() + static_cast<ptrdiff_t>(first));
    }
    const uint32_t chain = FrameChainHash(frames);
    if (State) {
        TCriticalSectionGuard lock(State->HandledCacheLock);
        for (int i = 0; i < State->HandledCacheCount; ++i) {
            const THandledCacheEntry& e = State->HandledCache[i];
            if (e.ExceptionClass == type && e.Address == address && e.FrameChain == chain) {
                ++State->HandledCacheHits;
                kind = e.Kind;
                return e.Handled;
            }
        }
    }
    bool handled = false;
    int count = 0, firstKind = 0;
    // The thrown object itself (not its stand-in) is what the catch clauses look at.
    void* thrown = Capture().RaisedType == type && Capture().RaisedThrown
                       ? Capture().RaisedThrown
                       : const_cast<void*>(object);
    for (const TCodeFrame& frame : frames) {
        const THandlerKind k = GetHandlerKind(frame);
        if (k == hkNoExceptBoundary) break; // the program would end here
        if (k == hkCatchAll) {
            if (!firstKind) firstKind = 1;
            handled = true;
            ++count;
            break;
        }
        if (k == hkOnClauses) {
            uintptr_t handler = 0;
            bool terminates = false;
            if (MatchOnClauses(type, thrown, frame, handler, &terminates)) {
                if (!firstKind) firstKind = 2;
                handled = true;
                ++count;
                break;
            }
            if (terminates) break;
        }
    }
    if (State) {
        TCriticalSectionGuard lock(State->HandledCacheLock);
        THandledCacheEntry entry{type, address, chain, handled, count, kind, firstKind};
        if (State->HandledCacheCount == kHandledCacheSize) {
            for (int i = 1; i < kHandledCacheSize; ++i)
                State->HandledCache[i - 1] = State->HandledCache[i];
            State->HandledCache[kHandledCacheSize - 1] = entry;
        } else {
            State->HandledCache[State->HandledCacheCount++] = entry;
        }
    }
    return handled;
}

void NotifyRaisedException(const void* object, uintptr_t address, bool language,
                           const std::type_info* type, bool copyStack) {
    ThreadCaptureBlock& b = Capture();
    uint8_t expected = 0;
    if (!b.CaptureGuard.compare_exchange_strong(expected, 1)) return;
    struct Release {
        ThreadCaptureBlock& block;
        ~Release() { block.CaptureGuard.store(0); }
    } release{b};
    const LastErrorKeeper keeper;
    RecordRaise(object, address, language);
    if (!IsCrashLogActive() || !IsCrashLogActiveInThread(GetCurrentThreadId()) ||
        !IsReportableObject(object))
        return;
    if (copyStack) CopyRaisingThreadStack(address, language);
    TAsynchronousException kind = aeNone;
    if (IsHandledByCode(object, type, address, kind, language ? b.RaiseStackPosition : 0)) return;
    if (b.StackPoint == 0) b.StackPoint = b.RaiseStackPosition;
    if (language) b.ReportedThrown = b.RaisedThrown;
    DispatchExceptionReport(object, address, language, 0, 0, 0, 0, rtUnknown, OwnModule(), kind,
                            false, nullptr);
}

bool ExceptionManagerImpl(const void* object, uintptr_t address, TRaiserType raiser,
                          uintptr_t module) {
    if (!State) return true;
    TCriticalSectionGuard lock(State->ReportLock);
    if (DeferToMainModule) {
        // The main module's component makes the report.
        using TExceptionManager = BOOL(__stdcall*)(const void*, void*, int, HMODULE);
        if (const auto forward =
                reinterpret_cast<TExceptionManager>(MainModuleExport("ExceptionManager")))
            return forward(object, reinterpret_cast<void*>(address), raiser,
                           reinterpret_cast<HMODULE>(OwnModule())) != FALSE;
    }
    const void* last = LastRaisedObject.load();
    if (!IsCrashLogActive() || !IsCrashLogActiveInThread(GetCurrentThreadId()) ||
        !(IsReportableObject(object) || IsReportableObject(last)))
        return true;
    if (!IsValidObjectReference(object)) {
        object = last;
        address = LastExceptionAddress.load();
    }
    ThreadCaptureBlock& b = Capture();
    if (b.StackPoint == 0) b.StackPoint = StackPosition();
    const bool language = IsLanguageException(object);
    LastLanguageException.store(language);
    return DispatchExceptionReport(object, address, language, 0, 0, 0, 0, raiser, module, aeNone,
                                   false, nullptr);
}

// ---- C++ throws ----

namespace {

// The register state of a throw as the report's context shows it.
void MakeRaiseContext(ThreadCaptureBlock& b, const void* object, uintptr_t address,
                      uint32_t callerEsp, uint32_t callerEbp) {
    std::memset(b.Context, 0, sizeof b.Context);
    CONTEXT& c = ContextOf(b);
    c.ContextFlags = kContextControlInteger;
    c.Eax = static_cast<DWORD>(reinterpret_cast<uintptr_t>(object));
    c.Ecx = b.RaiseEcx;
    c.Edx = static_cast<DWORD>(address);
    c.Ebp = callerEbp;
    c.Esp = callerEsp;
    c.Eip = static_cast<DWORD>(address - 5);
    uint32_t ebx, esi, edi, flags;
    uint16_t cs, ss;
    asm volatile("movl %%ebx, %0\n\tmovl %%esi, %1\n\tmovl %%edi, %2"
                 : "=m"(ebx), "=m"(esi), "=m"(edi));
    asm volatile("movw %%cs, %0\n\tmovw %%ss, %1\n\tpushfl\n\tpopl %2"
                 : "=r"(cs), "=r"(ss), "=r"(flags));
    c.Ebx = ebx;
    c.Esi = esi;
    c.Edi = edi;
    c.SegCs = cs;
    c.SegSs = ss;
    c.EFlags = flags;
    b.ExceptionRecord = TExceptionRecordCopy{};
    b.ExceptionRecord.ExceptionCode = kLanguageRaiseCode;
    b.ExceptionRecord.ExceptionFlags = 1;
    b.ExceptionRecord.ExceptionAddress = static_cast<uint32_t>(address);
    b.ExceptionRecord.NumberParameters = 7;
    const uint32_t params[7] = {static_cast<uint32_t>(address),
                                static_cast<uint32_t>(reinterpret_cast<uintptr_t>(object)),
                                ebx,
                                esi,
                                edi,
                                callerEbp,
                                callerEsp};
    std::memcpy(b.ExceptionRecord.ExceptionInformation, params, sizeof params);
}

// The context and record of a forwarded raise: registers from the raiser's arguments (EBX,
// ESI, EDI, EBP, ESP at 2 to 6), the instruction 5 bytes before the raise.
void MakeForwardedContext(ThreadCaptureBlock& b, const ULONG_PTR* arguments, uintptr_t raise,
                          const void* object, uintptr_t recordAddress, uint32_t flags,
                          uint32_t parameters) {
    std::memset(b.Context, 0, sizeof b.Context);
    CONTEXT& c = ContextOf(b);
    c.ContextFlags = kContextControlInteger;
    c.Eax = static_cast<DWORD>(reinterpret_cast<uintptr_t>(object));
    c.Ebx = static_cast<DWORD>(arguments[2]);
    c.Esi = static_cast<DWORD>(arguments[3]);
    c.Edi = static_cast<DWORD>(arguments[4]);
    c.Ebp = static_cast<DWORD>(arguments[5]);
    c.Ecx = b.RaiseEcx;
    c.Edx = static_cast<DWORD>(recordAddress);
    c.Esp = b.RaiseStackPosition;
    c.Eip = static_cast<DWORD>(raise - 5);
    b.ExceptionRecord = TExceptionRecordCopy{};
    b.ExceptionRecord.ExceptionCode = kLanguageRaiseCode;
    b.ExceptionRecord.ExceptionFlags = flags;
    b.ExceptionRecord.ExceptionAddress = static_cast<uint32_t>(recordAddress);
    b.ExceptionRecord.NumberParameters = parameters;
    for (uint32_t i = 0; i < parameters; ++i)
        b.ExceptionRecord.ExceptionInformation[i] = static_cast<uint32_t>(arguments[i]);
}

} // namespace

void OnLanguageRaise(void* thrown, const std::type_info* type, uintptr_t address,
                     uint32_t callerEsp, uint32_t callerEbp, bool rethrow) {
    try {
        ThreadCaptureBlock& b = Capture();
        if (b.CaptureGuard.load() || b.DispatchGuard) return; // the component's own throws
        if (rethrow) b.Rethrown = thrown;
        if (rethrow && thrown == b.RaisedThrown && thrown != b.ReportedThrown) {
            // The same exception on its way on: it keeps the place, registers and stack copy of
            // its raise; only whether code takes it is asked again, from the rethrowing frame.
            b.RaiseStackPosition = callerEsp;
            NotifyRaisedException(b.RaisedObject, b.RaisedAddress, true, type, false);
            return;
        }
        const void* object = ThrownObject(thrown, type);
        b.RaiseStackPosition = callerEsp;
        b.StackPoint = callerEsp;
        MakeRaiseContext(b, object, address, callerEsp, callerEbp);
        b.RaisedThrown = thrown;
        b.RaisedObject = object;
        b.RaisedAddress = address;
        b.RaisedType = type;
        b.ReportedThrown = nullptr;
        if (DeferToMainModule) {
            // The main module's component learns of the raise as its own runtime's.
            ULONG_PTR arguments[7];
            for (int i = 0; i < 7; ++i) arguments[i] = b.ExceptionRecord.ExceptionInformation[i];
            ForwardRaiseToMainModule(kLanguageRaiseCode, 1, 7, arguments);
        }
        NotifyRaisedException(object, address, true, type); // records the raise first
    } catch (...) {
        // Nothing of the component's own work may change where the throw goes.
    }
}

// A raise another module's component hands over: the language raise forms of the runtime's
// raise routine. Any other code is not this runtime's and is left to the system's handling.
void ForwardRaiseToMainModule(uint32_t code, uint32_t flags, uint32_t count,
                              const ULONG_PTR* arguments) {
    using TCallGeneralRaise = void(__stdcall*)(DWORD, DWORD, DWORD, DWORD, const ULONG_PTR*);
    if (const auto forward =
            reinterpret_cast<TCallGeneralRaise>(MainModuleExport("CrashLog_CallGeneralRaise")))
        forward(code, flags, count, Capture().RaiseStackPosition, arguments);
}

void HandleGeneralRaise(uint32_t code, uint32_t flags, uint32_t count, const ULONG_PTR* arguments) {
    ThreadCaptureBlock& b = Capture();
    if (DeferToMainModule) ForwardRaiseToMainModule(code, flags, count, arguments);
    if (code != kLanguageRaiseCode || !arguments) return;
    if (b.CaptureGuard.load() || b.DispatchGuard) return; // the component's own raises
    if (flags == 1 && count == 7 && IsValidBlockAddr(arguments, 7 * sizeof(ULONG_PTR))) {
        // address, object, then EBX, ESI, EDI, EBP and ESP of the raiser.
        const uintptr_t address = arguments[0];
        const void* object = reinterpret_cast<const void*>(arguments[1]);
        b.StackPoint = b.RaiseStackPosition;
        MakeForwardedContext(b, arguments, address, object, address, flags, 7);
        RecordRaise(object, address, true);
        CopyRaisingThreadStack(address, true);
        b.RaisedObject = object;
        b.RaisedAddress = address;
        b.RaisedThrown = nullptr;
        b.RaisedType = nullptr;
        return;
    }
    if (flags == kCodeRaiseSecondFlags && count == 8 &&
        IsValidBlockAddr(arguments, 8 * sizeof(ULONG_PTR))) {
        // The runtime's second raise form: the raise address lies 4 bytes after argument 0.
        const void* object = reinterpret_cast<const void*>(arguments[1]);
        const uintptr_t address = arguments[0] + 4;
        b.RaisedObject = object;
        b.RaisedAddress = address;
        b.RaisedThrown = nullptr;
        b.RaisedType = nullptr;
        MakeForwardedContext(b, arguments, arguments[0], object, address, flags, 7);
        if (!State || GetCurrentThreadId() != State->MainThreadId || IsConsoleApplication()) {
            NotifyRaisedException(object, address, true, nullptr);
        } else {
            RecordRaise(object, address, true);
            CopyRaisingThreadStack(address, true);
        }
    }
}

namespace {

[[noreturn]] void EndThreadAfterReport() {
    if (State && GetCurrentThreadId() == State->MainThreadId)
        TerminateProcess(GetCurrentProcess(), 1);
    ExitThread(1);
}

} // namespace

// The runtime found no handler: report (once: not when its raise was reported already) and
// end the thread or the program.
void UnhandledLanguageException() {
    ThreadCaptureBlock& b = Capture();
    if (!b.RaisedThrown || b.RaisedThrown != b.ReportedThrown)
        NotifyRaisedException(b.RaisedObject, b.RaisedAddress, true, b.RaisedType, false);
    EndThreadAfterReport();
}

// The end of a catch block: with boCatchHandledExceptions, the exception it handled is
// reported as handled (once; not the one this thread reported as unhandled). Not reported: a
// catch block left by a rethrow (the exception goes on), and the catches of the component's own
// threads and of the thread that is reporting (such a report would wait for the report that
// waits for it).
void HandleEndCatch() {
    ThreadCaptureBlock& b = Capture();
    std::exception_ptr holder;
    void* current = CurrentThrownObject(holder);
    if (current && current == b.Rethrown) {
        b.Rethrown = nullptr;
        return;
    }
    if (State && IsCrashLogActive() && !b.DispatchGuard && !b.ReportRunning && !InCallback() &&
        !IsOwnThread(GetCurrentThreadId())) {
        const TCrashModuleOptions* options = CurrentOptionsOrNull();
        if (options && options->BehaviourOptions().Contains(boCatchHandledExceptions) &&
            IsCrashLogActiveInThread(GetCurrentThreadId())) {
            if (current) {
                const void* object = ThrownObject(current, abi::__cxa_current_exception_type());
                const uintptr_t address = b.RaisedAddress;
                const std::string name = GetValidObjectClassName(object);
                const bool lastUnhandled =
                    name == b.ExceptionClassName && address == b.ExceptionAddress;
                if (!lastUnhandled && IsReportableObject(object)) {
                    uint32_t start = 0, top = 0;
                    {
                        TCriticalSectionGuard lock(State->StackCopyLock);
                        start = State->StackCopyStart;
                        top = start + State->StackCopyBytes - 1;
                    }
                    DispatchExceptionReport(object, address, IsLanguageException(object), top,
                                            start, 0, 0, rtUnknown, OwnModule(), aeNone, true,
                                            nullptr);
                }
            }
        }
    }
}

namespace {

std::terminate_handler g_previousTerminate = nullptr;

// noexcept boundaries, failed rethrows and explicit calls: report what is in flight, once.
void OnTerminate() {
    if (Hooking()) {
        ThreadCaptureBlock& b = Capture();
        std::exception_ptr holder;
        void* current = CurrentThrownObject(holder);
        const bool reported = current && current == b.ReportedThrown;
        if (current && !reported) {
            const std::type_info* type = abi::__cxa_current_exception_type();
            const void* object = ThrownObject(current, type);
            DispatchExceptionReport(object, b.RaisedAddress, true, 0, 0, 0, 0, rtUnknown,
                                    OwnModule(), aeNone, false, nullptr);
        }
        EndThreadAfterReport();
    }
    if (g_previousTerminate) g_previousTerminate();
    TerminateProcess(GetCurrentProcess(), 1);
}

} // namespace

} // namespace kv::crash::detail

namespace kv::crash::detail {

namespace {

PVOID g_vectoredHandler = nullptr;

// First chance: record only. Wine raises access violations of its own internally and handles
// them, so nothing is reported from here.
LONG CALLBACK FirstChanceHandler(EXCEPTION_POINTERS* pointers) {
    if (!Hooking() || !pointers || !pointers->ExceptionRecord) return EXCEPTION_CONTINUE_SEARCH;
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    if (!IsSystemCode(record->ExceptionCode)) return EXCEPTION_CONTINUE_SEARCH;
    ThreadCaptureBlock& b = Capture();
    if (b.CaptureGuard.load() || b.ReportRunning) return EXCEPTION_CONTINUE_SEARCH;
    CopyRecordAndContext(record, pointers->ContextRecord);
    b.RaiseStackPosition = b.StackPoint;
    const auto address = reinterpret_cast<uintptr_t>(record->ExceptionAddress);
    LastExceptionAddress.store(address);
    LastRaisedAddress.store(address);
    LastLanguageException.store(false);
    if (record->ExceptionCode != kCodeStackOverflow) CopyRaisingThreadStack(address, false);
    return EXCEPTION_CONTINUE_SEARCH;
}

LPTOP_LEVEL_EXCEPTION_FILTER g_previousFilter = nullptr;

LONG WINAPI LastChanceExceptionFilter(EXCEPTION_POINTERS* pointers) {
    // A library that leaves its reports to the main module's component leaves this one too.
    if (!DeferToMainModule && IsCrashLogActive() && IsCrashLogInstalled() && pointers &&
        pointers->ExceptionRecord) {
        const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
        if (record->ExceptionCode == kCodeStackOverflow) {
            // No stack is left for the report: another thread makes it.
            ReportOverflow(pointers);
        } else {
            RunInline = true;
            CopyRecordAndContext(record, pointers->ContextRecord);
            const std::unique_ptr<kv::Exception> object = ObjectFromRecord(record);
            std::string message = Utf16ToAnsi(object->Message());
            for (char& c : message)
                if (static_cast<unsigned char>(c) < 32 && c != '\r' && c != '\n') c = ' ';
            if (message != LastReportMessage)
                StandardCrashNotify(object.get(),
                                    reinterpret_cast<uintptr_t>(record->ExceptionAddress));
        }
        TerminateProcess(GetCurrentProcess(), record->ExceptionCode);
    }
    // Nothing earlier to ask: let the system go on searching.
    return g_previousFilter ? g_previousFilter(pointers) : EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

void InstallCaptureHooks() {
    g_previousTerminate = std::set_terminate(&OnTerminate);
    g_vectoredHandler = AddVectoredExceptionHandler(1, &FirstChanceHandler);
}

void RemoveCaptureHooks() {
    if (g_vectoredHandler) RemoveVectoredExceptionHandler(g_vectoredHandler);
    g_vectoredHandler = nullptr;
    std::set_terminate(g_previousTerminate);
}

void InstallLastChanceFilter() {
    g_previousFilter = SetUnhandledExceptionFilter(&LastChanceExceptionFilter);
}

void RemoveLastChanceFilter() {
    // Only while it is still the process's filter: a later one keeps its place.
    const LPTOP_LEVEL_EXCEPTION_FILTER current = SetUnhandledExceptionFilter(g_previousFilter);
    if (current != &LastChanceExceptionFilter) SetUnhandledExceptionFilter(current);
}

// ---- The stack-overflow reporter ----

namespace {

HANDLE g_overflowRequest = nullptr;
HANDLE g_overflowStarted = nullptr; // the reporter holds the report lock and the heap answers
HANDLE g_overflowDone = nullptr;
HANDLE g_overflowThread = nullptr;
EXCEPTION_POINTERS* g_overflowPointers = nullptr;
DWORD g_overflowThreadId = 0;
std::atomic<bool> g_overflowStop{false};

// How long the overflowed thread waits for the reporter to get going. The report itself may
// take as long as its dialog is read; getting going takes no time unless something the
// reporter needs is held by a thread that will never let it go (the overflowed thread itself,
// suspended in a lock, or waiting for the report that overflowed).
constexpr DWORD kOverflowStartMs = 30000;

void ReportOverflowNow(EXCEPTION_POINTERS* p) {
    // The overflow happened inside a report (an event handler of it, or the report itself):
    // that report holds what this one needs and waits for the overflowed thread.
    if (IsReportingThread(g_overflowThreadId)) return;
    // The overflowed thread may have stopped holding a lock the report needs: the heap, the
    // component's own. Each is taken once here, before the overflowed thread is told that the
    // report is under way; one that is never free keeps that word from coming.
    TCriticalSectionGuard lock(State->ReportLock);
    if (void* probe = HeapAlloc(GetProcessHeap(), 0, 64)) HeapFree(GetProcessHeap(), 0, probe);
    std::free(std::malloc(64));
    { const TCriticalSectionGuard copyLock(State->StackCopyLock); }
    { const TCriticalSectionGuard cacheLock(State->HandledCacheLock); }
    if (TCrashModulesList* modules = ModulesList()) {
        modules->Lock();
        modules->Unlock();
    }
    uint32_t top = 0;
    if (const TCrashThreadsList* threads = ThreadsList()) {
        TCrashThreadInfo info;
        const int i = threads->FindByThreadID(g_overflowThreadId);
        if (i >= 0 && threads->GetItem(i, info)) top = info.TopOfStack;
    }
    SetEvent(g_overflowStarted);
    RunInline = true;
    t_reportForThread = g_overflowThreadId;
    const std::unique_ptr<kv::Exception> object = ObjectFromRecord(p->ExceptionRecord);
    const CONTEXT* c = p->ContextRecord;
    alignas(16) static uint8_t context[kContextCopySize];
    static TExceptionRecordCopy record;
    std::memcpy(static_cast<void*>(&record), p->ExceptionRecord, sizeof record);
    uint32_t esp = 0;
    if (c) {
        std::memcpy(context, c, kContextCopySize);
        reinterpret_cast<CONTEXT*>(context)->ContextFlags = kContextControlInteger;
        esp = c->Esp;
    }
    DispatchExceptionReport(
        object.get(), reinterpret_cast<uintptr_t>(p->ExceptionRecord->ExceptionAddress), false, top,
        esp, c ? reinterpret_cast<uintptr_t>(context) : 0, reinterpret_cast<uintptr_t>(&record),
        rtUnknown, OwnModule(), aeNone, false, nullptr);
}

DWORD WINAPI OverflowReporter(void*) {
    for (;;) {
        WaitForSingleObject(g_overflowRequest, INFINITE);
        if (g_overflowStop.load()) return 0;
        EXCEPTION_POINTERS* p = g_overflowPointers;
        if (p && p->ExceptionRecord) {
            try {
                ReportOverflowNow(p);
            } catch (...) {
                // The overflowed thread ends the process either way.
            }
        }
        SetEvent(g_overflowDone);
    }
}

} // namespace

void StartOverflowReporter() {
    g_overflowRequest = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    g_overflowStarted = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_overflowDone = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    DWORD id = 0;
    g_overflowThread = StartOwnThread(&OverflowReporter, nullptr, id);
}

void StopOverflowReporter() {
    if (!g_overflowThread) return;
    g_overflowStop.store(true);
    SetEvent(g_overflowRequest);
    WaitForSingleObject(g_overflowThread, 5000);
    CloseHandle(g_overflowThread);
    CloseHandle(g_overflowRequest);
    CloseHandle(g_overflowStarted);
    CloseHandle(g_overflowDone);
    g_overflowThread = g_overflowRequest = g_overflowStarted = g_overflowDone = nullptr;
}

// crash-time safe
bool ReportOverflow(EXCEPTION_POINTERS* pointers) {
    // Lean: no heap, no locks, hardly any stack on this thread.
    if (!g_overflowThread) return false;
    g_overflowPointers = pointers;
    g_overflowThreadId = GetCurrentThreadId();
    SetEvent(g_overflowRequest);
    const HANDLE started[2] = {g_overflowStarted, g_overflowDone};
    const DWORD got = WaitForMultipleObjects(2, started, FALSE, kOverflowStartMs);
    // Not started in time: the reporter waits for something that will not come; the caller
    // ends the process with the overflow's own code.
    if (got == WAIT_OBJECT_0) WaitForSingleObject(g_overflowDone, INFINITE);
    return got == WAIT_OBJECT_0 || got == WAIT_OBJECT_0 + 1;
}

} // namespace kv::crash::detail
