// The component's exported functions: what other modules of the process call to hand over
// exceptions, threads and events, and the public functions by their names.
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "crash/capture/CrashLogMainWin.h"
#include "crash/debug/ClDebugInfo.h"
#include "crash/debug/ClDebugModules.h"

using namespace kv::crash;
using namespace kv::crash::detail;

namespace {

// Copies text into a caller's buffer of size bytes (zero-terminated, cut between characters
// when longer).
void CopyOut(const std::string& text, char* buffer, int size) {
    if (!buffer || size <= 0) return;
    const size_t n = AnsiPrefixLength(text, static_cast<size_t>(size) - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

// Whether the class of a valid object lies in this module (objects of other modules' classes
// are no objects this module's handlers can use).
bool ClassOfThisModule(const void* object) {
    const std::type_info* cls = GetValidObjectClass(object);
    return cls && FindModuleOfAddr(reinterpret_cast<uintptr_t>(cls)) == OwnModule();
}

// Runs an event on this module's handlers for a record of another module: a copy of the record
// becomes the current one for the time of the handlers, with an object of this module's (the
// caller's own, or one made from the system record) and this module's options of the module
// the caller reports for; those options go to the shared block afterwards, where the caller
// reads them back.
template <class F> void WithForeignRecord(TCrashExceptionRecord* record, F run) {
    Report.SavedRecord = Report.Record;
    std::unique_ptr<kv::Exception> made;
    if (record) {
        Report.Record = *record;
        const void* object = record->ExceptionObject;
        if (!ClassOfThisModule(object)) {
            object = nullptr;
            const TExceptionRecordCopy* system = record->Win32ExceptionRecord;
            if (system && IsValidBlockAddr(system, sizeof *system)) {
                EXCEPTION_RECORD copy{};
                std::memcpy(&copy, system, std::min(sizeof copy, sizeof *system));
                made = ObjectFromRecord(&copy);
                object = made.get();
                LastExceptionObject.store(object);
            }
        }
        Report.Record.ExceptionObject = object;
        Report.Record.ModulesList = ModulesList();
        const TCrashModuleOptions* callerOptions = record->CurrentModuleOptions;
        uintptr_t module = 0;
        if (callerOptions && IsValidBlockAddr(callerOptions, sizeof *callerOptions))
            module = callerOptions->ModuleHandle();
        const PCrashModuleInfo info = module ? ModuleInfoByHandle(module) : nullptr;
        Report.Record.CurrentModuleOptions = info ? info->ExtraInformation.Options.get() : nullptr;
    }
    TCrashExceptionRecord* previous = Report.CurrentRecord;
    Report.CurrentRecord = &Report.Record;
    const bool outer = t_runningForeignEvent;
    t_runningForeignEvent = true;
    try {
        run();
    } catch (...) {}
    t_runningForeignEvent = outer;
    Report.CurrentRecord = previous;
    if (made) {
        made.reset();
        LastExceptionObject.store(nullptr);
    }
    try {
        if (Report.Record.CurrentModuleOptions)
            WriteSharedOptions(*Report.Record.CurrentModuleOptions);
    } catch (...) {}
    Report.Record = Report.SavedRecord;
}

// The creator of a thread another module reports, with a copy of its stack bytes.
void CopyCallerStack(TCrashThreadInfo& entry, const TCrashThreadRecord& record) {
    entry.CallerID = record.CallerID;
    entry.CallerStackDump.reset();
    entry.CallerStackSize = 0;
    entry.CallerStackStart = record.CallerStackStart;
    const uint32_t size = std::min<uint32_t>(record.CallerStackSize, kStackCopySize);
    if (record.CallerStack && size && IsValidBlockAddr(record.CallerStack, size)) {
        entry.CallerStackDump =
            std::make_shared<const std::string>(static_cast<const char*>(record.CallerStack), size);
        entry.CallerStackSize = size;
    }
}

void ListEvent(TCrashExceptionRecord* record, const char* in, char* out, int outSize,
               void (*fire)(TStrings&)) {
    TStrings list;
    if (in) SetTextStr(list, in);
    WithForeignRecord(record, [&] { fire(list); });
    CopyOut(GetTextStr(list), out, outSize);
}

} // namespace

namespace kv::crash::detail {

thread_local bool t_runningForeignEvent = false;

namespace {

// The module that raised the report's exception, when it is another module of the process that
// carries the component at a version within this one's hundred.
HMODULE RaisingModule(const TCrashExceptionRecord* record) {
    if (!record) return nullptr;
    const uintptr_t module = FindModuleOfAddr(record->ExceptionAddress);
    if (!module || module == OwnModule() || !IsCrashLogModule(module) ||
        !VersionWithinHundred(GetCrashLogModuleVersion(module)))
        return nullptr;
    return reinterpret_cast<HMODULE>(module);
}

template <class T> T RaisingExport(const TCrashExceptionRecord* record, const char* name) {
    const HMODULE module = RaisingModule(record);
    return module ? reinterpret_cast<T>(GetProcAddress(module, name)) : nullptr;
}

} // namespace

bool RaisingModuleNotify(const char* exportName, TCrashExceptionRecord* record, bool& flag) {
    using TNotify = void(__stdcall*)(TCrashExceptionRecord*, BOOL*);
    const auto notify = RaisingExport<TNotify>(record, exportName);
    if (!notify) return false;
    BOOL value = flag ? TRUE : FALSE;
    notify(record, &value);
    flag = value != FALSE;
    return true;
}

bool RaisingModuleAction(TCrashExceptionRecord* record, TCrashActionType action, bool& flag) {
    using TAction = void(__stdcall*)(TCrashExceptionRecord*, int, BOOL*);
    const auto notify = RaisingExport<TAction>(record, "CrashLog_ExceptionActionNotifyEvent");
    if (!notify) return false;
    BOOL value = flag ? TRUE : FALSE;
    notify(record, static_cast<int>(action), &value);
    flag = value != FALSE;
    return true;
}

bool RaisingModuleError(TCrashExceptionRecord* record, TCrashLogErrorCode code, bool& flag) {
    using TError = void(__stdcall*)(TCrashExceptionRecord*, int, BOOL*);
    const auto notify = RaisingExport<TError>(record, "CrashLog_ExceptionErrorNotifyEvent");
    if (!notify) return false;
    BOOL value = flag ? TRUE : FALSE;
    notify(record, static_cast<int>(code), &value);
    flag = value != FALSE;
    return true;
}

bool RaisingModulePassword(TCrashExceptionRecord* record, std::string& password) {
    constexpr int kMaxPassword = 255;
    char text[kMaxPassword + 1] = {};
    CopyOut(password, text, sizeof text);
    using TPasswordEx = void(__stdcall*)(TCrashExceptionRecord*, char*, int);
    using TPassword = void(__stdcall*)(char*, int);
    if (const auto ask = RaisingExport<TPasswordEx>(record, "CrashLog_PasswordRequestEventEx")) {
        ask(record, text, kMaxPassword);
    } else if (const auto old = RaisingExport<TPassword>(record, "CrashLog_PasswordRequestEvent")) {
        old(text, kMaxPassword);
    } else {
        return false;
    }
    password = text;
    return true;
}

bool RaisingModuleList(const char* exportName, TCrashExceptionRecord* record,
                       const TStrings& list) {
    using TList = void(__stdcall*)(TCrashExceptionRecord*, const char*, char*, int);
    const auto request = RaisingExport<TList>(record, exportName);
    if (!request) return false;
    // The raising module's handlers fill a list of its own; nothing comes back.
    request(record, GetTextStr(list).c_str(), nullptr, 0);
    return true;
}

} // namespace kv::crash::detail

extern "C" {

// ---- Capture ----

__declspec(dllexport) BOOL
    __stdcall ExceptionManager(const void* object, void* address, int raiserType, HMODULE module) {
    return ExceptionManagerImpl(object, reinterpret_cast<uintptr_t>(address),
                                static_cast<TRaiserType>(raiserType),
                                reinterpret_cast<uintptr_t>(module))
               ? TRUE
               : FALSE;
}

__declspec(dllexport) void __stdcall CrashLog_CallGeneralRaise(DWORD code, DWORD flags, DWORD count,
                                                               DWORD raiseStackPosition,
                                                               const ULONG_PTR* arguments) {
    if (LibraryActive.load() == 0) return;
    try {
        Capture().RaiseStackPosition = raiseStackPosition;
        HandleGeneralRaise(code, flags, count, arguments);
    } catch (...) {
        // The raise goes on in the calling module whatever happens here.
    }
}

__declspec(dllexport) void* __stdcall CrashLog_CallExceptObject(EXCEPTION_RECORD* record,
                                                                CONTEXT* context, BOOL notify) {
    return const_cast<kv::Exception*>(CallExceptObject(record, context, notify != FALSE));
}

__declspec(dllexport) BOOL __stdcall CrashLog_LastLanguageException() {
    return LastLanguageException.load() ? TRUE : FALSE;
}

// ---- Threads of a deferring module ----

__declspec(dllexport) void __stdcall CrashLog_CallCreateThread(const TCrashThreadRecord* record) {
    TCrashThreadsList* threads = ThreadsList();
    if (LibraryActive.load() == 0 || !threads || !record) return;
    auto entry = std::make_unique<TCrashThreadInfo>();
    entry->ID = record->ID;
    HANDLE own = nullptr;
    if (record->Handle)
        DuplicateHandle(GetCurrentProcess(), reinterpret_cast<HANDLE>(record->Handle),
                        GetCurrentProcess(), &own, 0, FALSE, DUPLICATE_SAME_ACCESS);
    entry->Handle = reinterpret_cast<uintptr_t>(own);
    entry->TopOfStack = record->TopOfStack;
    entry->BeginThreadFunction = record->BeginThreadFunction;
    entry->CreateThreadFunction = record->CreateThreadFunction;
    entry->Parameter = record->Parameter;
    CopyCallerStack(*entry, *record);
    threads->PurgeList();
    threads->Add(std::move(entry));
}

__declspec(dllexport) void __stdcall CrashLog_CallResumeThread(HANDLE thread,
                                                               const TCrashThreadRecord* record) {
    TCrashThreadsList* threads = ThreadsList();
    if (LibraryActive.load() != 1 || Capture().ReportRunning || !threads || !record) return;
    // Only who resumed it and from where: the entry keeps its id and the registry's handle.
    std::shared_ptr<const std::string> old;
    threads->Update(GetThreadId(thread), [&](TCrashThreadInfo& e) {
        old = std::move(e.CallerStackDump);
        CopyCallerStack(e, *record);
    });
}

__declspec(dllexport) void __stdcall CrashLog_CallExitThread() {
    if (LibraryActive.load() != 0 && ThreadsList()) ThreadsList()->RemoveCurrentThread();
}

// ---- Events asked of this module by another one ----

__declspec(dllexport) void __stdcall CrashLog_ExceptionNotifyEvent(TCrashExceptionRecord* record,
                                                                   BOOL* handled) {
    bool h = handled ? *handled != FALSE : true;
    WithForeignRecord(record, [&] { DoExceptionNotify(h); });
    if (handled) *handled = h;
}

__declspec(dllexport) void __stdcall CrashLog_HandledExceptionNotifyEvent(
    TCrashExceptionRecord* record, BOOL* handled) {
    bool h = handled ? *handled != FALSE : true;
    WithForeignRecord(record, [&] { DoHandledExceptionNotify(h); });
    if (handled) *handled = h;
}

__declspec(dllexport) void __stdcall CrashLog_ExceptionActionNotifyEvent(
    TCrashExceptionRecord* record, int action, BOOL* flag) {
    bool f = flag ? *flag != FALSE : true;
    WithForeignRecord(record,
                      [&] { DoExceptionActionNotify(static_cast<TCrashActionType>(action), f); });
    if (flag) *flag = f;
}

__declspec(dllexport) void __stdcall CrashLog_ExceptionErrorNotifyEvent(
    TCrashExceptionRecord* record, int code, BOOL* flag) {
    bool f = flag ? *flag != FALSE : false;
    WithForeignRecord(record,
                      [&] { DoExceptionErrorNotify(static_cast<TCrashLogErrorCode>(code), f); });
    if (flag) *flag = f;
}

__declspec(dllexport) void __stdcall CrashLog_PasswordRequestEventEx(TCrashExceptionRecord* record,
                                                                     char* password,
                                                                     int maxLength) {
    std::string p = password ? password : "";
    WithForeignRecord(record, [&] { DoPasswordRequest(p); });
    CopyOut(p, password, maxLength + 1);
}

__declspec(dllexport) void __stdcall CrashLog_PasswordRequestEvent(char* password, int maxLength) {
    CrashLog_PasswordRequestEventEx(nullptr, password, maxLength);
}

__declspec(dllexport) void __stdcall CrashLog_CustomDataRequestEventEx(
    TCrashExceptionRecord* record, const char* in, char* out, int outSize) {
    ListEvent(record, in, out, outSize, [](TStrings& l) { DoCustomDataRequest(l); });
}

__declspec(dllexport) void __stdcall CrashLog_AttachedFilesRequestEvent(
    TCrashExceptionRecord* record, const char* in, char* out, int outSize) {
    ListEvent(record, in, out, outSize, [](TStrings& l) { DoAttachedFilesRequest(l); });
}

__declspec(dllexport) void __stdcall CrashLog_CustomWebFieldsRequestEvent(
    TCrashExceptionRecord* record, const char* in, char* out, int outSize) {
    ListEvent(record, in, out, outSize, [](TStrings& l) { DoCustomWebFieldsRequest(l); });
}

__declspec(dllexport) void __stdcall CrashLog_CustomButtonClickEvent(TCrashExceptionRecord* record,
                                                                     BOOL* flag) {
    bool f = flag ? *flag != FALSE : false;
    WithForeignRecord(record, [&] { DoCustomButtonClickNotify(f); });
    if (flag) *flag = f;
}

// ---- Public functions by name ----

__declspec(dllexport) BOOL __stdcall IsCrashLogInstalled() {
    return kv::crash::IsCrashLogInstalled() ? TRUE : FALSE;
}
__declspec(dllexport) BOOL __stdcall IsCrashLogActive() {
    return kv::crash::IsCrashLogActive() ? TRUE : FALSE;
}
__declspec(dllexport) void __stdcall SetCrashLogState(BOOL state) {
    kv::crash::SetCrashLogState(state != FALSE);
}
__declspec(dllexport) BOOL __stdcall IsCrashLogActiveInThread(DWORD threadId) {
    return kv::crash::IsCrashLogActiveInThread(threadId) ? TRUE : FALSE;
}
__declspec(dllexport) void __stdcall SetCrashLogInThread(DWORD threadId, BOOL active) {
    kv::crash::SetCrashLogInThread(threadId, active != FALSE);
}
__declspec(dllexport) TCrashModuleOptions* __stdcall CurrentCrashLogOptions() {
    return CurrentOptionsOrNull();
}
__declspec(dllexport) BOOL __stdcall StandardCrashNotify(const void* object, void* address) {
    return kv::crash::StandardCrashNotify(object, reinterpret_cast<uintptr_t>(address)) ? TRUE
                                                                                        : FALSE;
}
__declspec(dllexport) BOOL __stdcall StandardCrashError(const char* message) {
    return kv::crash::StandardCrashError(message ? message : "") ? TRUE : FALSE;
}
__declspec(dllexport) void __stdcall ShowLastExceptionData() {
    kv::crash::ShowLastExceptionData();
}
__declspec(dllexport) void* __stdcall GetLastExceptionAddress() {
    return reinterpret_cast<void*>(kv::crash::GetLastExceptionAddress());
}
__declspec(dllexport) const void* __stdcall GetLastExceptionObject() {
    return kv::crash::GetLastExceptionObject();
}
__declspec(dllexport) void __stdcall SetCustomErrorMessage(const char* text) {
    kv::crash::SetCustomErrorMessage(text ? text : "");
}
__declspec(dllexport) BOOL __stdcall ForceApplicationTermination(int operation) {
    return kv::crash::ForceApplicationTermination(static_cast<TTerminateBtnOperation>(operation))
               ? TRUE
               : FALSE;
}
__declspec(dllexport) int __stdcall GetLastCrashLogErrorCode() {
    return kv::crash::GetLastCrashLogErrorCode();
}
__declspec(dllexport) void __stdcall GetLastCrashLogErrorMsg(char* buffer, int size) {
    CopyOut(kv::crash::GetLastCrashLogErrorMsg(), buffer, size);
}
__declspec(dllexport) BOOL __stdcall GetCompilationDate(HMODULE module, BOOL utc, double* date) {
    TDateTime d = 0;
    const bool ok =
        kv::crash::GetCompilationDate(reinterpret_cast<uintptr_t>(module), utc != FALSE, d);
    if (date) *date = d;
    return ok ? TRUE : FALSE;
}
__declspec(dllexport) void __stdcall SetMetadataFilePath(const char* path) {
    kv::crash::SetMetadataFilePath(path ? path : "");
}
__declspec(dllexport) void __stdcall GetCrashLogHTML(const char* typeText, const char* message,
                                                     const char* callStack, char* html, int size) {
    std::string text;
    kv::crash::GetCrashLogHTML(typeText ? typeText : "", message ? message : "",
                               callStack ? callStack : "", text);
    CopyOut(text, html, size);
}
__declspec(dllexport) char* __stdcall FastMM_LogStackTrace(const uintptr_t* addresses, int count,
                                                           char* buffer, int size, BOOL procedures,
                                                           BOOL units, BOOL offsets) {
    return kv::crash::FastMM_LogStackTrace(addresses, count, buffer,
                                           size > 0 ? static_cast<size_t>(size) : 0,
                                           procedures != FALSE, units != FALSE, offsets != FALSE);
}
__declspec(dllexport) void __stdcall GenerateHTML(const char* text, BOOL okButton, char* html,
                                                  int size) {
    const std::string page = ReportHalf.GenerateHTML
                                 ? ReportHalf.GenerateHTML(text ? text : "", okButton != FALSE)
                                 : std::string(text ? text : "");
    CopyOut(page, html, size);
}

} // extern "C"

// The linker keeps this unit (and so the exports above) in every program linked with
// -Wl,-u,_KvCrashLogExportsAnchor.
extern "C" void KvCrashLogExportsAnchor() {}
