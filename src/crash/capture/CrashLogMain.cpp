#include "crash/capture/CrashLogMain.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "crash/capture/CrashLogMainInternal.h"
#include "crash/core/ClHash.h"
#include "crash/debug/ClCallStack.h"
#include "crash/debug/ClDebugInfo.h"
#include "crash/debug/ClDebugModules.h"

namespace kv::crash {

// ---- State ----

std::atomic<uint8_t> LibraryActive{0};
std::atomic<uint8_t> ActiveState{0};
bool DeferToMainModule = false;
uintptr_t MainInstance = 0;
bool InstallRuntimeHooks = false;
bool RunInline = false;
bool CallForGetLogText = false;
bool UseExceptionThread = true;
// Objects the start-up (priority 102) fills are made before it: the library's strings and
// containers are not constant-initialised on this runtime.
__attribute__((init_priority(101))) std::string CustomSmtpHeloCommand;

std::atomic<uintptr_t> LastExceptionAddress{0};
std::atomic<const void*> LastExceptionObject{nullptr};
std::atomic<uintptr_t> LastRaisedAddress{0};
std::atomic<const void*> LastRaisedObject{nullptr};
std::atomic<bool> LastLanguageException{false};
std::atomic<uintptr_t> LastReportedAddress{0};
__attribute__((init_priority(101))) std::string LastReportMessage;

TDateTime ApplicationStartTime = 0;
int32_t ReportCounter = 0;

__attribute__((init_priority(101))) TCrashReport Report;
__attribute__((init_priority(101))) TCrashReportHalf ReportHalf;

TExceptionNotifyProc ExceptionNotify = nullptr;
TExceptionNotifyProc HandledExceptionNotify = nullptr;
TExceptionActionProc ExceptionActionNotify = nullptr;
TExceptionErrorProc ExceptionErrorNotify = nullptr;
TPasswordRequestProc PasswordRequest = nullptr;
TCustomDataRequestProc CustomDataRequest = nullptr;
TAttachedFilesRequestProc AttachedFilesRequest = nullptr;
TCustomWebFieldsRequestProc CustomWebFieldsRequest = nullptr;
TCustomButtonClickProc CustomButtonClickNotify = nullptr;

TCrashThreadsList* ThreadsList() {
    return detail::State ? detail::State->Threads.get() : nullptr;
}

// ---- Thread registry ----

TCrashThreadsList::TCrashThreadsList() : FLock(std::make_unique<std::recursive_mutex>()) {}

TCrashThreadsList::TCrashThreadsList(const TCrashThreadsList* source) : FSimpleCopy(true) {
    if (!source) return;
    source->BeginRead();
    for (const auto& item : source->items_)
        items_.push_back(std::make_unique<TCrashThreadInfo>(*item));
    source->EndRead();
}

TCrashThreadsList::~TCrashThreadsList() {
    Clear();
}

void TCrashThreadsList::BeginRead() const {
    if (FLock) FLock->lock();
}
void TCrashThreadsList::EndRead() const {
    if (FLock) FLock->unlock();
}
void TCrashThreadsList::BeginWrite() const {
    if (FLock) FLock->lock();
}
void TCrashThreadsList::EndWrite() const {
    if (FLock) FLock->unlock();
}

int TCrashThreadsList::Count() const {
    BeginRead();
    const int n = static_cast<int>(items_.size());
    EndRead();
    return n;
}

bool TCrashThreadsList::GetItem(int index, TCrashThreadInfo& info) const {
    BeginRead();
    const bool ok = index >= 0 && index < static_cast<int>(items_.size());
    if (ok) info = *items_[static_cast<size_t>(index)];
    EndRead();
    return ok;
}

PCrashThreadInfo TCrashThreadsList::Item(int index) const {
    return index >= 0 && index < static_cast<int>(items_.size())
               ? items_[static_cast<size_t>(index)].get()
               : nullptr;
}

void TCrashThreadsList::Clear() {
    for (int n = static_cast<int>(items_.size()); n > 0; --n) Delete(0);
}

void TCrashThreadsList::Delete(int index) {
    std::unique_ptr<TCrashThreadInfo> taken;
    BeginWrite();
    if (index >= 0 && index < static_cast<int>(items_.size())) {
        taken = std::move(items_[static_cast<size_t>(index)]);
        items_.erase(items_.begin() + index);
    }
    EndWrite();
    // The handle is the registry's own; a snapshot's copies share it and close nothing.
    if (taken && !FSimpleCopy && taken->Handle && !taken->IsACopy && !taken->MainThread)
        detail::CloseThreadHandle(taken->Handle);
}

void TCrashThreadsList::RemoveCurrentThread() {
    BeginWrite();
    const int i = FindByThreadID(detail::CurrentThreadId());
    if (i >= 0) Delete(i);
    EndWrite();
}

int TCrashThreadsList::FindByThreadHandle(uintptr_t handle) const {
    BeginRead();
    int found = -1;
    for (int i = static_cast<int>(items_.size()) - 1; i >= 0 && found < 0; --i)
        if (items_[static_cast<size_t>(i)]->Handle == handle) found = i;
    EndRead();
    return found;
}

int TCrashThreadsList::FindByThreadID(uint32_t id) const {
    BeginRead();
    int found = -1;
    for (int i = static_cast<int>(items_.size()) - 1; i >= 0 && found < 0; --i)
        if (items_[static_cast<size_t>(i)]->ID == id) found = i;
    EndRead();
    return found;
}

int TCrashThreadsList::Add(std::unique_ptr<TCrashThreadInfo> info) {
    BeginWrite();
    items_.push_back(std::move(info));
    const int index = static_cast<int>(items_.size()) - 1;
    EndWrite();
    return index;
}

void TCrashThreadsList::PurgeList() {
    BeginWrite();
    for (int i = static_cast<int>(items_.size()) - 1; i >= 0; --i) {
        const TCrashThreadInfo& e = *items_[static_cast<size_t>(i)];
        if (e.MainThread) continue;
        if (!e.Handle || !IsThreadRunning(e.Handle)) Delete(i);
    }
    EndWrite();
}

bool TCrashThreadsList::Update(uint32_t id, const std::function<void(TCrashThreadInfo&)>& f) {
    BeginWrite();
    const int i = FindByThreadID(id);
    if (i >= 0) f(*items_[static_cast<size_t>(i)]);
    EndWrite();
    return i >= 0;
}

bool TCrashThreadsList::UpdateByHandle(uintptr_t handle,
                                       const std::function<void(TCrashThreadInfo&)>& f) {
    BeginWrite();
    const int i = FindByThreadHandle(handle);
    if (i >= 0) f(*items_[static_cast<size_t>(i)]);
    EndWrite();
    return i >= 0;
}

bool IsRuntimeThread(const TCrashThreadInfo& info) {
    return info.MainThread || info.Thread != nullptr || info.BeginThreadFunction != 0;
}

// ---- Options of a live process ----

void TCrashModuleOptionsEx::SetActive(bool value) {
    const bool changed = FActive != value;
    TCrashModuleOptions::SetActive(value);
    if (changed) FreezeSwitchChanged();
}

void TCrashModuleOptionsEx::SetFreezeActivate(bool value) {
    const bool changed = FFreezeActivate != value;
    TCrashModuleOptions::SetFreezeActivate(value);
    if (changed) FreezeSwitchChanged();
}

void TCrashModuleOptionsEx::FreezeSwitchChanged() {
    if (assigning_ || this != detail::CurrentOptionsOrNull()) return;
    if (FActive && FFreezeActivate)
        detail::StartFreezeWatchdog();
    else
        detail::StopFreezeWatchdog();
}

void TCrashModuleOptionsEx::Assign(const TCrashModuleOptions* source) {
    // Reading options (a stream, another module's copy) sets values; it starts nothing.
    assigning_ = true;
    try {
        TCrashModuleOptionsShared::Assign(source);
    } catch (...) {
        assigning_ = false;
        throw;
    }
    assigning_ = false;
}

// ---- Filters and the exception ID ----

int FindExceptionFilter(const TCrashModuleOptions& options, const void* exceptionObject,
                        bool handled) {
    const TCrashExceptionsFilters& filters = options.ExceptionsFilters();
    const bool isActiveX =
        IsValidObjectReference(exceptionObject) &&
        ClassInheritsFromName(GetValidObjectClass(exceptionObject), "TActiveXException");
    for (int i = 0; i < filters.Count(); ++i) {
        const TCrashExceptionFilter* f = filters.GetItem(i);
        if (!f || !f->Active) continue;
        if (isActiveX) {
            const auto* e = static_cast<const TActiveXException*>(exceptionObject);
            if (e->HasParent(f->ExceptionClassName)) return i;
            continue;
        }
        if (f->ExceptionType == fetHandled && !handled) continue;
        if (f->ExceptionType == fetUnhandled && handled) continue;
        if (IsValidObjectReference(exceptionObject) &&
            ClassInheritsFromName(GetValidObjectClass(exceptionObject), f->ExceptionClassName))
            return i;
    }
    return -1;
}

std::string MakeBugID(const std::string& head, const TCrashStackList* stack,
                      const std::vector<uint32_t>& chainReturns) {
    // A frame's address is its call instruction, which ends at most 7 bytes before the return.
    auto onChain = [&](uintptr_t call) {
        for (const uint32_t r : chainReturns)
            if (r > call && r <= call + 7) return true;
        return false;
    };
    std::string text = head;
    if (stack && stack->Count() > 0) {
        const uint32_t thread = stack->GetItem(0)->ThreadID;
        for (int i = 0; i < stack->Count(); ++i) {
            const TCrashDebugInfo& f = *stack->GetItem(i);
            if (f.DebugDetail != ddSourceCode || f.ThreadID != thread) continue;
            if (i > 0 && !chainReturns.empty() && !onChain(f.Addr)) continue;
            text += f.UnitName + f.ClassName + f.ProcedureName + IntToStr(f.Line);
        }
    }
    return IntToHex(GetCRC16(text), 4);
}

// ---- Call stacks as text ----

namespace {

std::string Pad(const std::string& text, size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

} // namespace

void CallStackToStrings(const TCrashStackList* stack, TStrings& strings) {
    if (!stack) return;
    const TCrashModuleOptions* options = detail::CurrentOptionsOrNull();
    if (!options) return;
    struct Row {
        std::string cells[6];
    };
    std::vector<Row> rows;
    for (int i = 0; i < stack->Count(); ++i) {
        const TCrashDebugInfo& f = *stack->GetItem(i);
        if (f.DebugDetail != ddProcedure && f.DebugDetail != ddUnitAndProcedure &&
            f.DebugDetail != ddSourceCode)
            continue;
        Row r;
        r.cells[0] = IntToHex(f.Addr, 8);
        r.cells[1] = f.ModuleInfo ? ExtractFileName(f.ModuleInfo->Name) : std::string();
        r.cells[2] = f.UnitName;
        r.cells[3] = f.ClassName;
        r.cells[4] = f.ProcedureName;
        r.cells[5] = f.Line ? IntToStr(f.Line) + "[" + IntToStr(f.ProcOffsetLine) + "]" : "";
        rows.push_back(std::move(r));
    }
    if (rows.empty()) return;
    Row header;
    for (int c = 0; c < 6; ++c)
        header.cells[c] = options->GetCustomizedExpandedTexts(mtCallStack_Address + c);
    size_t widths[6];
    for (int c = 0; c < 6; ++c) widths[c] = header.cells[c].size();
    widths[0] = std::max<size_t>(widths[0], 8);
    for (const Row& r : rows)
        for (int c = 0; c < 6; ++c) widths[c] = std::max(widths[c], r.cells[c].size());
    size_t total = 7;
    for (size_t w : widths) total += w;
    const std::string rule(total, '-');
    auto line = [&](const Row& r) {
        std::string s = "|";
        for (int c = 0; c < 6; ++c) s += Pad(r.cells[c], widths[c]) + "|";
        return s;
    };
    strings.push_back(rule);
    strings.push_back(line(header));
    strings.push_back(rule);
    for (const Row& r : rows) strings.push_back(line(r));
    strings.push_back(rule);
}

std::unique_ptr<TCrashStackList> ParseCallStackText(const std::string& callStackText) {
    auto list = std::make_unique<TCrashStackList>();
    TStrings lines;
    SetTextStr(lines, callStackText);
    int32_t thread = 0;
    std::string previousCustom;
    bool first = true;
    for (const std::string& line : lines) {
        TStrings fields;
        ExtractList(line, fields, CharSetOf("|"), true, false);
        if (fields.size() != 8) continue;
        auto f = std::make_unique<TCrashDebugInfo>();
        f->Addr = static_cast<uintptr_t>(static_cast<uint32_t>(StrToIntDef(fields[0], 0)));
        f->ModuleInfo = detail::ForeignModuleInfo(DotNetHostedFile(fields[1]));
        f->UnitName = fields[2];
        f->ClassName = fields[3];
        f->ProcedureName = fields[4];
        f->Line = static_cast<uint32_t>(StrToIntDef(fields[5], 0));
        f->ProcOffsetLine = static_cast<uint32_t>(StrToIntDef(fields[6], 0));
        f->CustomMsg = fields[7];
        f->DebugDetail = f->Line != 0 ? ddSourceCode : ddUnitAndProcedure;
        f->RunningThread = true;
        f->ErrorLine = first;
        if (f->CustomMsg != previousCustom) {
            if (!first) --thread;
            f->ErrorLine = true;
        }
        previousCustom = f->CustomMsg;
        f->ThreadID = static_cast<uint32_t>(thread);
        if (f->ClassName.empty()) {
            const size_t dot = f->ProcedureName.rfind('.');
            if (dot != std::string::npos) {
                f->ClassName = f->ProcedureName.substr(0, dot);
                f->ProcedureName = f->ProcedureName.substr(dot + 1);
            }
        }
        first = false;
        list->Add(std::move(f));
    }
    return list;
}

// ---- The memory manager's leak log ----

char* FastMM_LogStackTrace(const uintptr_t* addresses, int count, char* buffer, size_t size,
                           bool procedures, bool units, bool offsets) {
    if (!buffer || size == 0) return buffer;
    std::string out;
    if (LibraryActive.load() == 0) {
        out = "\r\nYou must activate CrashLog in the \"" + GetOwnModuleFileName() + "\" module.";
    } else if (addresses && count > 0) {
        int written = 0;
        int start = 0;
        for (;;) {
            int last = -1;
            for (int i = start; i < count && written < count; ++i) {
                const uintptr_t a = addresses[i];
                if (!IsValidBlockAddr(&addresses[i], sizeof addresses[i])) break;
                TCrashDebugInfo info;
                GetDebugInfoByAddr(a - 1, 0, info, false, false);
                const TCrashDebugDetail d = info.DebugDetail;
                const bool take = d == ddSourceCode ||
                                  (units && (d == ddUnitAndProcedure || d == ddSourceCode)) ||
                                  (procedures && (d == ddProcedure || d == ddUnitAndProcedure)) ||
                                  (units && procedures && d != ddNone);
                if (!take) continue;
                std::string line = " " + IntToHex(a, 8) + " ";
                if (info.ModuleInfo) line += "[" + ExtractFileName(info.ModuleInfo->Name) + "] ";
                if (!info.UnitName.empty()) line += info.UnitName + " ";
                if (!info.ProcedureName.empty())
                    line += "- " + (info.ClassName.empty() ? "" : info.ClassName + ".") +
                            info.ProcedureName + " ";
                if (info.Line != 0) {
                    line += "(Line: " + IntToStr(info.Line);
                    if (offsets) line += "[" + IntToStr(info.ProcOffsetLine) + "]";
                    line += ")";
                }
                line.resize(AnsiPrefixLength(line, 255));
                out += "\r\n" + line;
                ++written;
                last = i;
            }
            if (written >= count) break;
            // Widen the filter and go on after the last frame taken.
            if (units && procedures) break;
            if (!units)
                units = true;
            else
                procedures = true;
            start = last + 1;
        }
    }
    const size_t n = AnsiPrefixLength(out, size - 1);
    std::memcpy(buffer, out.data(), n);
    buffer[n] = '\0';
    return buffer + n;
}

// ---- Sending and output kinds ----

bool ReportIsToBeSent() {
    const TCrashModuleOptions* o = Report.Options;
    if (!o) return false;
    if (o->EMailSendMode() == esmNoSend && o->WebSendMode() == wsmNoSend) return false;
    if (Report.Duplicate) return false;
    if (o->ExceptionDialogType() != edtNone && !Report.SendChosen) return false;
    return true;
}

int GetOutputKind(TRaiserType raiserType) {
    const bool web = ReportHalf.IsWebApplication && ReportHalf.IsWebApplication();
    if (raiserType == rtWeb || (raiserType == rtUnknown && web)) return 2;
    return IsConsoleApplication() ? 1 : 0;
}

// ---- After the report ----

TStrings& AutoCrashList() {
    static TStrings list;
    return list;
}

void CheckAutoCrash() {
    // Only the file this report wrote: one of that name may belong to another program.
    if (!Report.ScreenshotFile.empty()) {
        ForceDeleteFile(Report.ScreenshotFile);
        Report.ScreenshotFile.clear();
    }
    const TCrashModuleOptions* o = Report.Options;
    if (!o || IntoIDE() || o->AutoCrashOperation() == tbNone) return;
    TStrings& list = AutoCrashList();
    if (static_cast<int32_t>(list.size()) != o->AutoCrashNumber() || list.empty()) return;
    try {
        const TDateTime first = StrToDateTimeFixed(list.front());
        const TDateTime last = StrToDateTimeFixed(list.back());
        if (last - first <= o->AutoCrashMinutes() / 1440.0)
            ForceApplicationTermination(o->AutoCrashOperation());
    } catch (const kv::Exception&) {
        // A damaged entry: no series.
    }
}

void FreeReportCallStack() {
    Report.CallStack.reset();
}

// ---- Events ----

namespace {

std::vector<TCrashLogEvents*>& Components() {
    static std::vector<TCrashLogEvents*> list;
    return list;
}

TCrashExceptionRecord* EventRecord() {
    return Report.CurrentRecord ? Report.CurrentRecord : &Report.Record;
}

// Components from the last created to the first, then the global variable.
template <class Member, class Global, class... Args>
void Fire(Member member, Global global, Args&&... args) {
    const auto list = Components();
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        if (const auto& handler = (*it)->*member) handler(EventRecord(), args...);
    if (global) global(EventRecord(), args...);
}

} // namespace

void RegisterCrashLogEvents(TCrashLogEvents* events) {
    Components().push_back(events);
}

void UnregisterCrashLogEvents(TCrashLogEvents* events) {
    auto& list = Components();
    list.erase(std::remove(list.begin(), list.end(), events), list.end());
}

int CrashLogListCount() {
    return static_cast<int>(Components().size());
}

// Each event runs the raising module's export first (not while this module runs handlers for
// another module's report), then this module's components and the global variable.
void DoExceptionNotify(bool& handled) {
    if (!detail::t_runningForeignEvent)
        detail::RaisingModuleNotify("CrashLog_ExceptionNotifyEvent", EventRecord(), handled);
    Fire(&TCrashLogEvents::OnExceptionNotify, ExceptionNotify, handled);
}
void DoHandledExceptionNotify(bool& handled) {
    if (!detail::t_runningForeignEvent)
        detail::RaisingModuleNotify("CrashLog_HandledExceptionNotifyEvent", EventRecord(), handled);
    Fire(&TCrashLogEvents::OnHandledExceptionNotify, HandledExceptionNotify, handled);
}
void DoExceptionActionNotify(TCrashActionType action, bool& flag) {
    if (!detail::t_runningForeignEvent) detail::RaisingModuleAction(EventRecord(), action, flag);
    Fire(&TCrashLogEvents::OnExceptionActionNotify, ExceptionActionNotify, action, flag);
}
void DoExceptionErrorNotify(TCrashLogErrorCode code, bool& flag) {
    if (!detail::t_runningForeignEvent) detail::RaisingModuleError(EventRecord(), code, flag);
    Fire(&TCrashLogEvents::OnExceptionErrorNotify, ExceptionErrorNotify, code, flag);
}
void DoPasswordRequest(std::string& password) {
    // The raising module answers for itself; this module's handlers answer through the
    // password exports only.
    if (detail::t_runningForeignEvent) {
        Fire(&TCrashLogEvents::OnPasswordRequest, PasswordRequest, password);
        return;
    }
    if (!detail::RaisingModulePassword(EventRecord(), password))
        Fire(&TCrashLogEvents::OnPasswordRequest, PasswordRequest, password);
}
void DoCustomDataRequest(TStrings& data) {
    if (!detail::t_runningForeignEvent)
        detail::RaisingModuleList("CrashLog_CustomDataRequestEventEx", EventRecord(), data);
    Fire(&TCrashLogEvents::OnCustomDataRequest, CustomDataRequest, data);
}
void DoAttachedFilesRequest(TStrings& files) {
    if (!detail::t_runningForeignEvent)
        detail::RaisingModuleList("CrashLog_AttachedFilesRequestEvent", EventRecord(), files);
    Fire(&TCrashLogEvents::OnAttachedFilesRequest, AttachedFilesRequest, files);
}
void DoCustomWebFieldsRequest(TStrings& fields) {
    if (!detail::t_runningForeignEvent)
        detail::RaisingModuleList("CrashLog_CustomWebFieldsRequestEvent", EventRecord(), fields);
    Fire(&TCrashLogEvents::OnCustomWebFieldsRequest, CustomWebFieldsRequest, fields);
}
void DoCustomButtonClickNotify(bool& flag) {
    if (!detail::t_runningForeignEvent)
        detail::RaisingModuleNotify("CrashLog_CustomButtonClickEvent", EventRecord(), flag);
    Fire(&TCrashLogEvents::OnCustomButtonClickNotify, CustomButtonClickNotify, flag);
}

// ---- Public functions that need no platform ----

bool IsCrashLogInstalled() {
    return LibraryActive.load() != 0;
}

bool IsCrashLogActive() {
    return ActiveState.load() != 0;
}

void SetCrashLogState(bool state) {
    ActiveState.store(state ? 1 : 0);
}

bool IsCrashLogActiveInThread(uint32_t threadId) {
    if (!detail::State) return true;
    detail::TCriticalSectionGuard lock(detail::State->ThreadExclusionLock);
    const auto& ids = detail::State->ExcludedThreads;
    return std::find(ids.begin(), ids.end(), threadId) == ids.end();
}

void SetCrashLogInThread(uint32_t threadId, bool active) {
    if (!detail::State) return;
    detail::TCriticalSectionGuard lock(detail::State->ThreadExclusionLock);
    auto& ids = detail::State->ExcludedThreads;
    const auto it = std::find(ids.begin(), ids.end(), threadId);
    if (active) {
        if (it != ids.end()) ids.erase(it);
    } else if (it == ids.end()) {
        ids.push_back(threadId);
    }
}

void SetCustomErrorMessage(const std::string& text) {
    Report.CustomErrorMessage = text;
}

std::string GetDisplayedErrorMessage() {
    return Report.CustomErrorMessage.empty() ? LastReportMessage : Report.CustomErrorMessage;
}

bool ForceApplicationTermination(TTerminateBtnOperation operation) {
    if (LibraryActive.load() == 0) return false;
    Report.TerminateChosen = true;
    TCrashModuleOptions* options = Report.CurrentRecord && Report.Options
                                       ? static_cast<TCrashModuleOptions*>(Report.Options)
                                       : detail::CurrentOptionsOrNull();
    if (options) options->SetForcedTerminateBtnOperation(operation);
    return true;
}

bool GetCompilationDate(uintptr_t module, bool utc, TDateTime& date) {
    const PCrashModuleInfo info = ModuleInfoByHandle(module);
    if (!info) return false;
    date = info->ExtraInformation.CompilationDate;
    if (utc) date += GetGMT() / 24.0;
    return true;
}

std::vector<std::string> HiddenUnitNames() {
    // The component's own sources: frames in them say nothing about the program's fault.
    return {"CrashLogMain.cpp",
            "CrashLogMainCapture_win.cpp",
            "CrashLogMainReport_win.cpp",
            "CrashLogMainThreads_win.cpp",
            "CrashLogMainEvents_win.cpp",
            "CrashLogMainFreeze_win.cpp",
            "CrashLogMainFramework_win.cpp",
            "CrashLogMainStartup_win.cpp",
            "CrashLogMainUnit_win.cpp",
            "CrashLogMainWebOutput_win.cpp",
            "CrashLogMainWraps_win.cpp",
            "CrashLogExceptions.cpp",
            "CrashLogUtils.cpp",
            "CrashLogUtils_win.cpp",
            "TCrashLog_win.cpp",
            "ClCore.cpp",
            "ClCore_win.cpp",
            "ClLang_win.cpp",
            "ClConsts.cpp",
            "ClTypes.cpp",
            "ClCodeAccess.cpp",
            "ClMemoryReader.cpp",
            "ClMemoryReader_win.cpp",
            "TCrashModuleOptions.cpp",
            "TCrashModuleOptionsStream.cpp",
            "CrashRecordLists.cpp",
            "ClHook.cpp",
            "ClHook_win.cpp",
            "ClHandlerTables.cpp",
            "ClCallStack.cpp",
            "ClDebug.cpp",
            "ClDebug_win.cpp",
            "ClDebugData.cpp",
            "ClDebugInfo.cpp",
            "ClDebugInfo_win.cpp",
            "ClDebugInfoLookup.cpp",
            "ClDebugModules.cpp",
            "ClDebugModules_win.cpp",
            "ClDebugProcesses.cpp",
            "ClDebugProcesses_win.cpp",
            "ClDisAsm.cpp"};
}

namespace detail {

TCrashModuleInfo* ForeignModuleInfo(const std::string& fileName) {
    static std::mutex lock;
    static std::map<std::string, std::unique_ptr<TCrashModuleInfo>> modules;
    std::lock_guard<std::mutex> guard(lock);
    auto& slot = modules[fileName];
    if (!slot) {
        slot = std::make_unique<TCrashModuleInfo>();
        slot->Name = fileName;
    }
    return slot.get();
}

} // namespace detail

} // namespace kv::crash

namespace kv::crash {

// ---- Objects as exceptions ----

namespace {

const void* Upcast(const void* object, const std::type_info& target) {
    const std::type_info* dynamic = GetValidObjectClass(object);
    if (!dynamic) return nullptr;
    void* p = const_cast<void*>(object);
    // The matching a catch clause does, with its pointer adjustment.
    return target.__do_catch(dynamic, &p, 1) ? p : nullptr;
}

} // namespace

const kv::Exception* AsException(const void* object) {
    return static_cast<const kv::Exception*>(Upcast(object, typeid(kv::Exception)));
}

const std::exception* AsStdException(const void* object) {
    return static_cast<const std::exception*>(Upcast(object, typeid(std::exception)));
}

std::string ExceptionMessageOf(const void* object) {
    if (const kv::Exception* e = AsException(object)) return Utf16ToAnsi(e->Message());
    if (const std::exception* e = AsStdException(object)) return e->what();
    return std::string();
}

// ---- The stand-ins of the report half ----

namespace {

std::string DefaultLogText() {
    const TCrashReport& r = Report;
    std::string text = "CrashLog 6.1.04\r\n\r\n";
    text += "Exception:\r\n----------\r\n";
    text += "  Address : " + (r.ExceptionAddress ? IntToHex(r.ExceptionAddress, 8) : "") + "\r\n";
    text += "  Type    : " + GetValidObjectClassName(r.ExceptionObject) + "\r\n";
    text += "  Message : " + ExceptionMessageOf(r.ExceptionObject) + "\r\n";
    text += "  ID      : " + r.BugID + "\r\n\r\n";
    TStrings lines;
    CallStackToStrings(r.CallStack.get(), lines);
    text += "Call Stack Information:\r\n";
    for (const std::string& line : lines) text += line + "\r\n";
    text += "\r\nModules Information:\r\n";
    if (TCrashModulesList* modules = ModulesList()) {
        modules->Lock();
        for (int i = 0; i < modules->Count(); ++i) {
            const TCrashModuleInfo* m = modules->GetItem(i);
            text += "  " + IntToHex(m->Handle, 8) + " " + ExtractFileName(m->Name) + " " +
                    m->Version + "\r\n";
        }
        modules->Unlock();
    }
    return text;
}

} // namespace

namespace {
TReportHalfInstaller g_reportHalfInstaller = nullptr;
} // namespace

void SetReportHalfInstaller(TReportHalfInstaller installer) {
    g_reportHalfInstaller = installer;
}

void ResetReportHalf() {
    ReportHalf = TCrashReportHalf{};
    ReportHalf.BuildLogText = [] { Report.Record.LogText = DefaultLogText(); };
    ReportHalf.MessageHeading = [] {
        const TCrashModuleOptions* o = Report.Options;
        return (o ? o->GetCustomizedExpandedTexts(mtDialog_ErrorMsgCaption) : std::string()) +
               "\r\n\r\n";
    };
    ReportHalf.ExceptionClassText = [](const void* object) {
        const std::string name = GetValidObjectClassName(object);
        return name.empty() ? std::string("Unknown exception type") : name;
    };
    ReportHalf.ExceptionMessageText = [](const void* object) { return ExceptionMessageOf(object); };
    ReportHalf.ApplicationModuleText = [] { return ExtractFileName(Real_GetMainModuleFileName()); };
    ReportHalf.ExceptionModuleText = [] {
        const PCrashModuleInfo m = ModuleInfoByAddr(Report.ExceptionAddress);
        return m ? ExtractFileName(m->Name) : std::string();
    };
    detail::InstallPlatformReportHalf(ReportHalf);
    if (g_reportHalfInstaller) g_reportHalfInstaller(ReportHalf);
}

} // namespace kv::crash
