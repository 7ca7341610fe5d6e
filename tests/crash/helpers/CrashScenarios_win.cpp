// Crash scenarios for the capture engine's tests: a program linked with the component's
// start-up that fails in the way its argument names. Its reports, events and message boxes go
// to the file KOLVANE_CRASH_OUT names, one line per event, each report between "REPORT BEGIN"
// and "REPORT END"; "END" when the program reached its end.
#include <windows.h>

#include <httpext.h>

#include <atomic>
#include <cstring>
#include <vector>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

#include "ScenarioOut_win.h"
#include "crash/capture/CrashLogMain.h"
#include "crash/capture/CrashLogMainWin.h"
#include "crash/capture/CrashLogUtils.h"
#include "crash/capture/TCrashLog.h"
#include "crash/debug/ClDebugModules.h"
#include "crash/report/ClReportHalf.h"
#include "ui/Application.h"
#include "ui/Forms.h"
#include "ui/Services.h"
#include "ui/StdCtrls.h"

using namespace kv::crash;

namespace {

void Out(const std::string& line) {
    kvtest::ScenarioOut(line);
}

// Message boxes of the window framework are written down, never shown.
class RecordingServices : public kv::TServices {
public:
    int MessageBox(HWND, const std::u16string& text, const std::u16string&, UINT) override {
        Out("MESSAGEBOX " + Utf16ToAnsi(text));
        return IDOK;
    }
};

void Configure(TCrashModuleOptions& o) {
    o.SetExceptionDialogType(edtNone);
    TCallStackOptions cs = o.CallStackOptions();
    cs.Include(csoShowBorlandThreads);
    cs.Include(csoShowWindowsThreads);
    o.SetCallStackOptions(cs);
    ReportHalf.SaveReportToLogFile = [] {
        Out("REPORT BEGIN");
        Out("CLASS " + GetValidObjectClassName(Report.ExceptionObject));
        Out("THREAD " + std::to_string(Report.RaisingThreadID));
        Out(Report.Record.LogText);
        Out("REPORT END");
    };
}

// The program's own report half, with its log file in the working folder.
std::string LogIntoWorkingFolder(TCrashModuleOptions& o) {
    ResetReportHalf();
    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, cwd);
    o.SetOutputPath(cwd);
    return cwd;
}

// ---- The scenarios ----

__attribute__((noinline)) void CrashNullDereference() {
    volatile int* volatile p = nullptr;
    *p = 42; // the faulting line
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winfinite-recursion"
__attribute__((noinline)) int Recurse(int depth) {
    volatile char room[512];
    room[0] = static_cast<char>(depth);
    return Recurse(depth + 1) + room[0];
}
#pragma GCC diagnostic pop

__attribute__((noinline)) void ThrowInThread() {
    throw std::runtime_error("thread failed");
}

__attribute__((noinline)) void ThrowInOtherThread() {
    throw std::runtime_error("other thread failed");
}

__attribute__((noinline)) void RunThreadScenario() {
    std::thread worker([] { ThrowInThread(); });
    worker.join();
    Out("JOINED");
}

__attribute__((noinline)) void ThrowThroughNoexcept() noexcept {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wterminate"
    throw std::logic_error("through noexcept"); // the throw site
#pragma GCC diagnostic pop
}

__attribute__((noinline)) void ThrowAndCatch() {
    try {
        throw kv::Exception(u"caught");
    } catch (const kv::Exception&) {}
}

// Stands frozen (pumps no messages) until the freeze has been reported and that report is over,
// a minute at most. A fixed sleep would give a second freeze report whenever the first one is
// over before the sleep, which depends on the machine's speed.
__attribute__((noinline)) bool FreezeSleeper(HANDLE reported) {
    if (WaitForSingleObject(reported, 60000) != WAIT_OBJECT_0) return false;
    while (detail::ReportInProgress()) Sleep(10);
    return true;
}

// A form whose window procedure fails while SetWindowPos moves it.
class FaultingForm : public kv::TForm {
public:
    FaultingForm() : TForm(nullptr) {}
    bool armed = false;

protected:
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override {
        if (msg == WM_WINDOWPOSCHANGING && armed) {
            armed = false;
            CrashNullDereference();
        }
        return TForm::WndProc(msg, w, l);
    }
};

void PumpFor(DWORD ms) {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < ms;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// Clicks a button through its window procedure, as the user would.
void ClickThroughWindow(std::function<void()> onClick) {
    kv::TForm form(nullptr);
    form.SetBounds(10, 10, 200, 100);
    auto* button = kv::Create<kv::TButton>(&form);
    button->SetParent(&form);
    button->OnClick = [onClick](kv::TObject*) { onClick(); };
    form.Show();
    SendMessageW(button->Handle(), BM_CLICK, 0, 0);
    form.Hide();
}

// ---- The engine under the conditions where a reporter is needed most ----

void Include(TCrashModuleOptions& o, TBehaviourOption option) {
    TBehaviourOptions b = o.BehaviourOptions();
    b.Include(option);
    o.SetBehaviourOptions(b);
}

// Every report written down by its event: "NOTIFY <message>" and "HANDLED <message>".
void CountNotifications() {
    ExceptionNotify = [](TCrashExceptionRecord* record, bool&) {
        Out("NOTIFY " + ExceptionMessageOf(record->ExceptionObject));
    };
    HandledExceptionNotify = [](TCrashExceptionRecord* record, bool&) {
        Out("HANDLED " + ExceptionMessageOf(record->ExceptionObject));
    };
}

// A report that goes out by mail and fails inside the sender (a host that resolves to nothing:
// no packet leaves the machine), on the report thread or, with inSeparateThread, on a thread of
// the sender's own.
void SendThatFailsInTheSender(TCrashModuleOptions& o, bool inSeparateThread) {
    LogIntoWorkingFolder(o);
    o.SetEMailSendMode(esmSMTPClient);
    o.SetSMTPHost("");
    o.SetSMTPFrom("crash@example.test");
    o.SetEMailAddresses("dev@example.test");
    TCommonSendOptions send;
    if (inSeparateThread) send.Include(sndSendInSeparatedThread);
    o.SetCommonSendOptions(send);
    TBehaviourOptions b = o.BehaviourOptions();
    b.Exclude(boCopyLogInCaseOfError);
    o.SetBehaviourOptions(b);
    ExceptionErrorNotify = [](TCrashExceptionRecord*, TCrashLogErrorCode code, bool&) {
        Out("SEND ERROR " + std::to_string(code));
    };
    CountNotifications();
}

__attribute__((noinline)) void ThrowForTheSearch() {
    throw std::runtime_error("searched"); // the searched throw
}

struct Guard {
    ~Guard() { Out("DESTRUCTOR"); }
};

__attribute__((noinline)) void ThrowPastAGuard() {
    Guard guard;
    ThrowForTheSearch();
}

__attribute__((noinline)) void NoexceptBoundary() noexcept {
    ThrowPastAGuard();
}

// The newest decision of the handler search: whether code takes the exception, and the kind of
// the frame that does (1 catch (...), 2 a typed catch).
void OutSearch(const char* label) {
    using detail::State;
    const int n = State->HandledCacheCount;
    const detail::THandledCacheEntry& e = State->HandledCache[n > 0 ? n - 1 : 0];
    Out(std::string("SEARCH ") + label + " " + (e.Handled ? "handled" : "not-handled") + " " +
        std::to_string(e.FirstKind));
}

__attribute__((noinline)) void RethrowFromACatch() {
    try {
        ThrowForTheSearch();
    } catch (...) {
        Out("RETHROW");
        throw;
    }
}

__attribute__((noinline)) void ThrowAtOneSite() {
    throw std::runtime_error("one site"); // the one site
}

// A main thread overflowing its stack while another thread holds the process heap's lock and
// never gives it back.
[[noreturn]] void OverflowWhileTheHeapIsLocked() {
    const HANDLE locked = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread([locked] {
        HeapLock(GetProcessHeap());
        SetEvent(locked);
        for (;;) Sleep(INFINITE);
    }).detach();
    WaitForSingleObject(locked, INFINITE);
    Recurse(0); // nothing in between may use the heap
    ExitProcess(3);
}

// Every address of the process taken, but for what the component keeps for its report.
std::vector<void*> TakeTheAddressSpace() {
    std::vector<void*> taken;
    taken.reserve(65536);
    for (SIZE_T size = 256u << 20; size >= 64u << 10; size /= 2)
        while (void* p = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS)) {
            if (taken.size() == taken.capacity()) break;
            taken.push_back(p);
        }
    return taken;
}

// A visible top-most window of one colour at a place of the screen, shown once the screen holds
// its colour (half a minute at most).
class ColouredWindow {
public:
    ColouredWindow(const RECT& place, COLORREF colour) : brush_(CreateSolidBrush(colour)) {
        WNDCLASSA cls{};
        cls.lpfnWndProc = DefWindowProcA;
        cls.hInstance = GetModuleHandleA(nullptr);
        cls.hbrBackground = brush_;
        cls.lpszClassName = "KvColouredWindow";
        RegisterClassA(&cls);
        window_ =
            CreateWindowExA(WS_EX_TOPMOST, cls.lpszClassName, "", WS_POPUP | WS_VISIBLE, place.left,
                            place.top, place.right - place.left, place.bottom - place.top, nullptr,
                            nullptr, cls.hInstance, nullptr);
        UpdateWindow(window_);
        SetForegroundWindow(window_);
        SetFocus(window_);
        const HDC screen = GetDC(nullptr);
        for (const DWORD start = GetTickCount(); GetTickCount() - start < 30000;) {
            PumpFor(10);
            if (GetPixel(screen, (place.left + place.right) / 2, (place.top + place.bottom) / 2) ==
                colour)
                break;
        }
        ReleaseDC(nullptr, screen);
    }
    ~ColouredWindow() {
        DestroyWindow(window_);
        DeleteObject(brush_);
    }
    ColouredWindow(const ColouredWindow&) = delete;
    ColouredWindow& operator=(const ColouredWindow&) = delete;

private:
    HBRUSH brush_;
    HWND window_ = nullptr;
};

// A report with a screenshot that goes nowhere: a handler cancels the mail step, so the report
// keeps its compressed copy (the zip it would have sent) in the working folder and no socket is
// opened.
void KeepTheZipInsteadOfSending(TCrashModuleOptions& o) {
    LogIntoWorkingFolder(o);
    o.SetEMailSendMode(esmSMTPClient);
    o.SetSMTPHost("127.0.0.1");
    o.SetEMailAddresses("dev@example.test");
    TCommonSendOptions send;
    send.Include(sndSendScreenshot);
    o.SetCommonSendOptions(send);
    TBehaviourOptions b = o.BehaviourOptions();
    b.Include(boSaveCompressedCopyInCaseOfError);
    b.Exclude(boCopyLogInCaseOfError);
    o.SetBehaviourOptions(b);
    ExceptionActionNotify = [](TCrashExceptionRecord*, TCrashActionType action, bool& go) {
        if (action == atSendingEmail) go = false;
    };
}

// A thrown class that no size record names.
struct EUnrecordedWide : std::runtime_error {
    EUnrecordedWide() : std::runtime_error("wide") {}
    char payload[1500] = {};
};

template <class T> T OwnExport(const char* name) {
    return reinterpret_cast<T>(GetProcAddress(GetModuleHandleW(nullptr), name));
}

std::string Hex(uintptr_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
    return text;
}

__attribute__((noinline)) void ForwardedRaiseSite() {
    Out("RAISE SITE");
}

// Raises as another module's component hands them over through this program's exports.
void ForwardRaises() {
    using TCallGeneralRaise = void(__stdcall*)(DWORD, DWORD, DWORD, DWORD, const ULONG_PTR*);
    const auto raise = OwnExport<TCallGeneralRaise>("CrashLog_CallGeneralRaise");
    const kv::Exception object(u"forwarded");
    const auto site = reinterpret_cast<ULONG_PTR>(&ForwardedRaiseSite) + 16;
    const auto position = static_cast<ULONG_PTR>(detail::StackPosition());
    const ULONG_PTR args[8] = {
        site, reinterpret_cast<ULONG_PTR>(&object), 0x11, 0x22, 0x33, 0x44, position, 0};
    raise(0xE06D7363, 1, 7, position, args); // another runtime's raise
    Out(std::string("OTHER CODE ") +
        (GetLastExceptionObject() == &object ? "recorded" : "ignored"));
    raise(0x0EEDFADE, 1, 7, position, args);
    const detail::ThreadCaptureBlock& b = detail::Capture();
    const CONTEXT& c = *reinterpret_cast<const CONTEXT*>(b.Context);
    Out(std::string("LANGUAGE RAISE ") +
        (GetLastExceptionObject() == &object && GetLastExceptionAddress() == site ? "recorded"
                                                                                  : "ignored"));
    Out("CONTEXT " + Hex(c.Eip + 5 - site) + " " + Hex(c.Ebx) + " " + Hex(c.Edi) + " " +
        Hex(c.Esp - position) + " " + Hex(b.ExceptionRecord.ExceptionCode));
    const auto stack = GetLastExceptionCallStack();
    Out(std::string("STACK COPY ") + (stack && stack->Count() > 0 ? "made" : "none"));
    raise(0x0EEDFADE, 0xC0000025, 8, position, args); // the second form, on the main thread
    Out("SECOND FORM " + Hex(b.RaisedAddress - site));

    using TCallExceptObject = void*(__stdcall*)(EXCEPTION_RECORD*, CONTEXT*, BOOL);
    const auto translate = OwnExport<TCallExceptObject>("CrashLog_CallExceptObject");
    EXCEPTION_RECORD record{};
    record.ExceptionCode = 0xC0000005;
    record.ExceptionAddress = reinterpret_cast<void*>(site);
    record.NumberParameters = 2;
    record.ExceptionInformation[0] = 1;
    record.ExceptionInformation[1] = 0x10;
    CONTEXT context{};
    context.Esp = position;
    const void* made = translate(&record, &context, TRUE);
    Out("EXCEPT OBJECT " + GetValidObjectClassName(made) + " " +
        (GetLastExceptionObject() == made ? "recorded" : "not recorded"));
    Out("EXCEPT MESSAGE " + ExceptionMessageOf(made));
    Out(std::string("NULL RECORD ") + (translate(nullptr, &context, TRUE) ? "object" : "null"));
    record.ExceptionCode = 0x406D1388;
    const void* naming = translate(&record, &context, TRUE);
    Out("NAMING " + GetValidObjectClassName(naming) + " " +
        (GetLastExceptionObject() == naming ? "recorded" : "not recorded"));
}

// A metadata library (a copy of the module fixture) whose options a hosting program's report
// takes, and what is left of it once it is let go.
void MetadataReports() {
    char fixture[MAX_PATH] = {};
    GetEnvironmentVariableA("KOLVANE_MODULE_FIXTURE", fixture, MAX_PATH);
    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, cwd);
    const std::string copy = std::string(cwd) + "\\Metadata.dll";
    CopyFileA(fixture, copy.c_str(), FALSE);
    SetMetadataFilePath(copy);
    Out(std::string("LOADED ") + (GetModuleHandleA(copy.c_str()) ? "yes" : "no"));
    TCrashModuleOptions* metadata = DotNetCrashLogOptions();
    Out("OPTIONS OF " + ExtractFileName(metadata->ModuleName()));
    metadata->SetExceptionDialogType(edtNone);
    metadata->SetSaveLogFile(true);
    metadata->SetAutoCrashNumber(77);
    ReportHalf.SaveReportToLogFile = [] {
        const TCrashModuleOptions* o = Report.Options;
        Out("REPORTED WITH " + std::to_string(o->AutoCrashNumber()) + " " +
            ExtractFileName(o->ModuleName()) + " " +
            (o->ModuleHandle() == reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr))
                 ? "program"
                 : "other"));
    };
    CallFromCOMObject = true;
    StandardCrashError("hosted");
    CallFromCOMObject = false;
    StandardCrashError("own");
    SetMetadataFilePath("");
    Out(std::string("UNLOADED ") + (GetModuleHandleA(copy.c_str()) ? "no" : "yes") + " FILE " +
        (GetFileAttributesA(copy.c_str()) == INVALID_FILE_ATTRIBUTES ? "deleted" : "kept"));
    SetMetadataFilePath(copy); // no such file now
    Out(std::string("MISSING ") +
        (DotNetCrashLogOptions() == CurrentCrashLogOptions() ? "own options" : "other options"));
    SetMetadataFilePath("");
}

// Reports asked for their log text only, with and without filters that take them.
void LogTextOnly(TCrashModuleOptions& options) {
    auto state = [](const char* label, const char* part) {
        const std::string& text = Report.Record.LogText;
        Out(std::string(label) +
            (text.find(part) != std::string::npos ? " text"
             : text.empty()                       ? " empty"
                                                  : " other text") +
            (CallForGetLogText ? " flag set" : " flag cleared"));
    };
    CallForGetLogText = true;
    StandardCrashError("text only");
    state("FIRST", "text only");
    options.SetActivateHandle(true);
    TCrashExceptionFilter filter;
    filter.Active = true;
    filter.ExceptionClassName = "ECrashLogGeneralError";
    filter.HandlerType = fhtCrashLog;
    filter.ActionType = fatTerminate;
    options.ExceptionsFilters().Add(filter);
    CallForGetLogText = true;
    StandardCrashError("terminating filter");
    state("TERMINATING FILTER", "terminating filter");
    options.ExceptionsFilters().Clear();
    filter.HandlerType = fhtNone;
    filter.ActionType = fatNone;
    options.ExceptionsFilters().Add(filter);
    CallForGetLogText = true;
    StandardCrashError("silent filter");
    state("SILENT FILTER", "silent filter");
    options.ExceptionsFilters().Clear();
    StandardCrashError("normal report");
}

std::string g_served;

BOOL WINAPI ServerWriteClient(HCONN, LPVOID buffer, LPDWORD bytes, DWORD) {
    g_served.assign(static_cast<const char*>(buffer), *bytes);
    return TRUE;
}

class EProgramFailure : public kv::Exception {
public:
    using Exception::Exception;
};

std::string ProgramClassHome(const void* object) {
    const std::type_info* cls = GetValidObjectClass(object);
    if (!cls) return "no object";
    return FindModuleOfAddr(reinterpret_cast<uintptr_t>(cls)) ==
                   reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr))
               ? "program class"
               : "foreign class";
}

void OnProgramNotify(TCrashExceptionRecord* record, bool&) {
    Out("PROGRAM HANDLER " + ExceptionMessageOf(record->ExceptionObject) + " | " +
        GetValidObjectClassName(record->ExceptionObject) + " | " +
        ProgramClassHome(record->ExceptionObject));
}

// Exceptions between this program and a library that carries the component too.
void EventsBetweenModules(TCrashModuleOptions& options) {
    char fixture[MAX_PATH] = {};
    GetEnvironmentVariableA("KOLVANE_EVENT_FIXTURE", fixture, MAX_PATH);
    // The reports take this program's options (the library's as well): no log file.
    options.SetSaveLogFile(false);
    ExceptionNotify = &OnProgramNotify;
    // Asked after the notification: the options the library's handler changed are read back.
    CustomDataRequest = [](TCrashExceptionRecord* record, TStrings&) {
        Out("PROGRAM DATA REQUEST autocrash " +
            std::to_string(record->CurrentModuleOptions->AutoCrashNumber()));
    };
    const HMODULE library = LoadLibraryA(fixture);
    if (!library) {
        Out("NOT LOADED " + std::to_string(GetLastError()));
        return;
    }
    using TProc = void (*)();
    using TRaise = BOOL (*)();
    using TNotify = BOOL(__stdcall*)(const void*, void*);
    using TTranslate = void*(__stdcall*)(EXCEPTION_RECORD*, CONTEXT*, BOOL);
    reinterpret_cast<TProc>(GetProcAddress(library, "FixtureSetUp"))();

    // The library's exception: this program's component reports it.
    const BOOL left =
        reinterpret_cast<TRaise>(GetProcAddress(library, "FixtureRaiseIntoProgram"))();
    Out(std::string("RAISED INTO PROGRAM ") + (left ? "left to the library" : "reported") + " | " +
        (FindModuleOfAddr(GetLastExceptionAddress()) == reinterpret_cast<uintptr_t>(library)
             ? "raise recorded here"
             : "raise unknown here"));
    Out("END OF LIBRARY REPORT");

    // This program's exception, reported by the library's component.
    const auto notify = reinterpret_cast<TNotify>(GetProcAddress(library, "StandardCrashNotify"));
    const auto site = reinterpret_cast<uintptr_t>(&ForwardedRaiseSite) + 16;
    const EProgramFailure failure(u"program failure");
    notify(&failure, reinterpret_cast<void*>(site));
    Out("END OF PROGRAM REPORT");

    // A system exception whose object the library made: the program makes its own from the
    // record.
    const auto translate =
        reinterpret_cast<TTranslate>(GetProcAddress(library, "CrashLog_CallExceptObject"));
    EXCEPTION_RECORD record{};
    record.ExceptionCode = 0xC0000005;
    record.ExceptionAddress = reinterpret_cast<void*>(site);
    record.NumberParameters = 2;
    record.ExceptionInformation[1] = 0x20;
    CONTEXT context{};
    context.Esp = detail::StackPosition();
    const void* object = translate(&record, &context, FALSE);
    Out("LIBRARY OBJECT " + GetValidObjectClassName(object) + " | " + ProgramClassHome(object));
    notify(object, reinterpret_cast<void*>(site));
    Out("END OF SYSTEM REPORT");

    // The library as an ISAPI extension: the page it writes to the server is kept.
    using TExtension = DWORD(WINAPI*)(EXTENSION_CONTROL_BLOCK*);
    using TLastPage = void (*)(char*, int);
    EXTENSION_CONTROL_BLOCK ecb{};
    ecb.cbSize = sizeof ecb;
    ecb.WriteClient = &ServerWriteClient;
    reinterpret_cast<TExtension>(GetProcAddress(library, "HttpExtensionProc"))(&ecb);
    Out("SERVER GOT " + g_served);
    char kept[256] = {};
    reinterpret_cast<TLastPage>(GetProcAddress(library, "FixtureLastPage"))(kept, sizeof kept);
    Out(std::string("LIBRARY KEPT ") + kept);
}

// A CGI program's page, written to its standard output through WriteFile.
void CGIPage() {
    SetEnvironmentVariableA("REQUEST_METHOD", "GET");
    const HANDLE page = CreateFileA("page.out", GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    SetStdHandle(STD_OUTPUT_HANDLE, page);
    const std::string html =
        "Content-Type: text/html\r\n\r\n<html><body>the CGI page</body></html>";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), html.data(), static_cast<DWORD>(html.size()),
              &written, nullptr);
    // Another file is no page.
    const HANDLE other = CreateFileA("other.out", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
    WriteFile(other, "not a page", 10, &written, nullptr);
    CloseHandle(other);
    ReportHalf.SaveReportToLogFile = [] { Out("LAST PAGE " + Report.LastHTMLPage); };
    StandardCrashError("cgi failure");
}

// A thrown object of a class no size record names, and one that was never thrown.
void InstanceSizes() {
    try {
        throw EUnrecordedWide();
    } catch (const EUnrecordedWide& e) {
        Out("THROWN SIZE " + std::to_string(GetObjectInstanceSize(&e)));
    }
    const EUnrecordedWide local;
    Out("LOCAL SIZE " + std::to_string(GetObjectInstanceSize(&local)));
}

// Runs the scenario when it is one of the engine's operations; false when it is not.
bool RunOperationScenario(const std::string& scenario, TCrashModuleOptions& options) {
    if (scenario == "instance-size") {
        InstanceSizes();
    } else if (scenario == "forwarded-raises") {
        ForwardRaises();
    } else if (scenario == "metadata") {
        MetadataReports();
    } else if (scenario == "log-text-only") {
        LogTextOnly(options);
    } else if (scenario == "modules") {
        EventsBetweenModules(options);
    } else if (scenario == "cgi-page") {
        CGIPage();
    } else {
        return false;
    }
    return true;
}

// Runs the scenario when it is one of this group; false when it is not.
bool RunCaptureScenario(const std::string& scenario, TCrashModuleOptions& options) {
    if (scenario == "catch-on-report-thread") {
        // The sender catches its own failure on the report thread.
        Include(options, boCatchHandledExceptions);
        SendThatFailsInTheSender(options, false);
        StandardCrashError("handled on the report thread");
        Out("RETURNED");
    } else if (scenario == "rethrow") {
        Include(options, boCatchHandledExceptions);
        CountNotifications();
        try {
            RethrowFromACatch();
        } catch (const std::exception&) {
            Out("CAUGHT OUTSIDE");
        }
    } else if (scenario == "handler-search") {
        try {
            ThrowForTheSearch();
        } catch (const std::runtime_error&) {}
        OutSearch("typed");
        try {
            ThrowForTheSearch();
        } catch (...) {}
        OutSearch("catch-all");
        std::thread([] {
            try {
                ThrowForTheSearch();
            } catch (const std::bad_alloc&) {}
        }).join();
        OutSearch("other-type");
        std::thread([] { NoexceptBoundary(); }).join();
        OutSearch("noexcept");
    } else if (scenario == "freeze-during-report") {
        kv::TForm form(nullptr);
        form.SetBounds(30, 30, 240, 140);
        form.Show();
        PumpFor(200);
        options.SetFreezeTimeout(1);
        options.SetFreezeActivate(true);
        ExceptionNotify = [](TCrashExceptionRecord*, bool&) {
            Out("HANDLER START");
            Sleep(3000);
            Out("HANDLER END");
        };
        StandardCrashError("slow handler");
        ExceptionNotify = nullptr;
        options.SetFreezeActivate(false);
        form.Hide();
    } else if (scenario == "freeze-restart") {
        // The freeze report's handler switches the watchdog off (on the watchdog's own thread);
        // switched on again, it reports the next freeze.
        kv::TForm form(nullptr);
        form.SetBounds(30, 30, 240, 140);
        form.Show();
        PumpFor(200);
        options.SetFreezeTimeout(1);
        static HANDLE frozen = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        ExceptionNotify = [](TCrashExceptionRecord*, bool&) {
            Out("FROZEN");
            CurrentCrashLogOptions()->SetFreezeActivate(false);
            SetEvent(frozen);
        };
        for (int i = 0; i < 2; ++i) {
            options.SetFreezeActivate(true);
            // The next round starts once this one's report is over.
            if (!FreezeSleeper(frozen)) break;
            PumpFor(200);
        }
        ExceptionNotify = nullptr;
        options.SetFreezeActivate(false);
        form.Hide();
    } else if (scenario == "freeze-without-window" || scenario == "freeze-answering-window") {
        std::unique_ptr<kv::TForm> form;
        if (scenario == "freeze-answering-window") {
            form = std::make_unique<kv::TForm>(nullptr);
            form->SetBounds(30, 30, 240, 140);
            form->Show();
        }
        options.SetFreezeTimeout(1);
        options.SetFreezeActivate(true);
        if (form)
            PumpFor(3000);
        else
            Sleep(3000);
        options.SetFreezeActivate(false);
        Out("WATCHED");
    } else if (scenario == "overflow-heap-locked") {
        OverflowWhileTheHeapIsLocked();
    } else if (scenario == "overflow-in-handler") {
        ExceptionNotify = [](TCrashExceptionRecord*, bool&) {
            Out("HANDLER START");
            Recurse(0);
        };
        StandardCrashError("overflowing handler");
    } else if (scenario == "option-in-handler") {
        // A handler moves the log file: the report in progress goes there.
        const std::string moved = LogIntoWorkingFolder(options) + "\\moved";
        CreateDirectoryA(moved.c_str(), nullptr);
        static std::string target;
        target = moved;
        ExceptionNotify = [](TCrashExceptionRecord*, bool&) {
            CurrentCrashLogOptions()->SetOutputPath(target);
        };
        StandardCrashError("moved log");
        ExceptionNotify = nullptr;
    } else if (scenario == "setwindowpos-rtl") {
        Include(options, boCallRTLExceptionEvent);
        CountNotifications();
        FaultingForm form;
        form.SetBounds(20, 20, 200, 120);
        form.Show();
        form.armed = true;
        SetWindowPos(form.Handle(), nullptr, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        form.Hide();
    } else if (scenario == "inline-separate-send") {
        // The report runs on the raising thread: the separate-thread option cannot apply.
        UseExceptionThread = false;
        SendThatFailsInTheSender(options, true);
        StandardCrashError("inline with a send thread asked for");
    } else if (scenario == "separate-send-no-thread") {
        // The program ends while its report is still being sent.
        SendThatFailsInTheSender(options, true);
        ExceptionErrorNotify = [](TCrashExceptionRecord*, TCrashLogErrorCode code, bool&) {
            Out("SEND ERROR " + std::to_string(code));
            Sleep(2000);
            Out("SEND DONE");
        };
        StandardCrashError("sent on a thread of its own");
        Out("RETURNED");
    } else if (scenario == "filter-rtl" || scenario == "filter-none") {
        TCrashExceptionFilter f;
        f.Active = true;
        f.ExceptionClassName = "ECrashLogGeneralError";
        f.HandlerType = scenario == "filter-rtl" ? fhtRTL : fhtNone;
        options.ExceptionsFilters().Add(f);
        options.SetActivateHandle(true);
        Out(std::string("RESULT ") + (StandardCrashError("filtered") ? "true" : "false"));
    } else if (scenario == "web-error-page") {
        // Started as a CGI program (the test sets REQUEST_METHOD) or a WinCGI one (with a
        // request file): the report answers the request.
        options.SetExceptionDialogType(edtCrashLog);
        ExceptionActionNotify = [](TCrashExceptionRecord*, TCrashActionType action, bool& flag) {
            if (action == atShowedExceptionInfo)
                Out(std::string("SHOWED ") + (flag ? "true" : "false"));
        };
        StandardCrashError("web <failure>");
        ExceptionActionNotify = nullptr;
    } else if (scenario == "report") {
        CountNotifications();
        StandardCrashError("reported");
    } else if (scenario == "handler-cleared") {
        ExceptionNotify = [](TCrashExceptionRecord*, bool& handled) { handled = false; };
        StandardCrashError("cleared");
        ExceptionNotify = nullptr;
    } else if (scenario == "handled-exception") {
        Include(options, boCatchHandledExceptions);
        CountNotifications();
        try {
            ThrowForTheSearch();
        } catch (const std::exception&) {
            Out("CAUGHT");
        }
    } else if (scenario == "one-site-twice") {
        // Two separate failures from one place, one after the other, each its own report; the
        // second is the same failure as the first, so the log counts it.
        LogIntoWorkingFolder(options);
        TLogOptions log = options.LogOptions();
        log.Include(loNoDuplicateErrors);
        options.SetLogOptions(log);
        ExceptionNotify = [](TCrashExceptionRecord*, bool&) { Out("REPORT " + Report.BugID); };
        for (int i = 0; i < 2; ++i) std::thread([] { ThrowAtOneSite(); }).join();
        ExceptionNotify = nullptr;
    } else if (scenario == "thread-churn") {
        // Threads that come and go all day leave the registry as it was.
        const int before = ThreadsList()->Count();
        for (int round = 0; round < 125; ++round) {
            std::vector<std::thread> batch;
            for (int i = 0; i < 16; ++i) batch.emplace_back([] {});
            for (std::thread& t : batch) t.join();
        }
        Out("THREADS " + std::to_string(before) + " " + std::to_string(ThreadsList()->Count()));
    } else if (scenario == "log-retry") {
        // A handler keeps the first save from happening and asks for a retry: one report in the
        // file.
        LogIntoWorkingFolder(options);
        static int refusals = 1;
        ExceptionActionNotify = [](TCrashExceptionRecord*, TCrashActionType action, bool& go) {
            if (action == atSavingLogFile && refusals-- > 0) go = false;
        };
        ExceptionErrorNotify = [](TCrashExceptionRecord*, TCrashLogErrorCode code, bool& retry) {
            Out("ERROR " + std::to_string(code));
            retry = code == eeLogError;
        };
        StandardCrashError("saved once");
        ExceptionActionNotify = nullptr;
        ExceptionErrorNotify = nullptr;
    } else if (scenario == "auto-crash-spread") {
        // Three reports, but the first two minutes before the third: no series.
        options.SetAutoCrashOperation(tbTerminate);
        options.SetAutoCrashNumber(3);
        options.SetAutoCrashMinutes(1);
        StandardCrashError("series 1");
        StandardCrashError("series 2");
        TStrings& times = AutoCrashList();
        for (std::string& t : times) t = DateTimeToStrFixed(Now() - 2.0 / 1440);
        StandardCrashError("series 3");
    } else if (scenario == "out-of-memory") {
        // No address left but the component's reserve: the report is still made.
        std::vector<void*> taken = TakeTheAddressSpace();
        Out("TAKEN " + std::to_string(taken.size()));
        StandardCrashError("out of addresses");
        for (void* p : taken) VirtualFree(p, 0, MEM_RELEASE);
    } else if (scenario == "stalled-report") {
        // The report thread gets stuck: the raising thread gives it up and goes on. The bound
        // is made short only once it is stuck, so that a slow machine's slow steps before it
        // are not taken for being stuck.
        ReportHalf.BuildLogText = [] {
            Out("STUCK");
            detail::ReportStallMs = 3000;
            for (;;) Sleep(1000);
        };
        Out(std::string("RESULT ") + (StandardCrashError("stuck") ? "true" : "false"));
    } else if (scenario == "report-at-exit") {
        // The program ends while another thread's report is in its handler: the component's
        // shut-down waits for that report.
        static HANDLE inHandler = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ExceptionNotify = [](TCrashExceptionRecord*, bool&) {
            Out("HANDLER START");
            SetEvent(inHandler);
            Sleep(2000);
            Out("HANDLER END");
        };
        std::thread([] { StandardCrashError("at exit"); }).detach();
        WaitForSingleObject(inHandler, INFINITE);
    } else {
        return false;
    }
    return true;
}

int Run(const std::string& scenario) {
    TCrashModuleOptions& options = *CurrentCrashLogOptions();
    if (scenario == "null-dereference") {
        CrashNullDereference();
    } else if (scenario == "dialog") {
        // The detailed dialog, opened on its call-stack page, shows the report to the person.
        options.SetExceptionDialogType(edtCrashLog);
        options.SetForegroundTab(ftCallStack);
        TExceptionDialogOptions d = options.ExceptionDialogOptions();
        d.Include(edoShowInDetailedMode);
        options.SetExceptionDialogOptions(d);
        CrashNullDereference();
    } else if (scenario == "send-mapi") {
        // The report goes to the mail client the test registered (a fixture that writes down
        // what it gets).
        LogIntoWorkingFolder(options);
        options.SetSaveLogFile(false);
        options.SetEMailSendMode(esmEmailClient);
        options.SetEMailAddresses("dev@example.test");
        options.SetEMailSubject("Crash report send-mapi");
        options.SetEMailMessage("The zip holds the log.");
        ExceptionActionNotify = [](TCrashExceptionRecord*, TCrashActionType action, bool& go) {
            if (action == atSentEmail) Out(std::string("SENT ") + (go ? "true" : "false"));
        };
        StandardCrashError("send me");
        ExceptionActionNotify = nullptr;
    } else if (scenario.rfind("send-", 0) == 0) {
        // The report goes out by mail to the test's SMTP peer (scripts/net-run.sh); "send-fail"
        // finds no server and keeps a compressed copy in the working folder, "send-retry" has a
        // handler that asks for one more attempt after a failure.
        LogIntoWorkingFolder(options);
        options.SetSaveLogFile(false);
        options.SetEMailSendMode(esmSMTPClient);
        options.SetSMTPHost("127.0.0.1");
        options.SetSMTPPort(scenario == "send-fail" ? 2599 : 2525);
        options.SetSMTPFrom("crash@example.test");
        options.SetEMailAddresses("dev@example.test");
        options.SetEMailSubject("Crash report " + scenario);
        TBehaviourOptions b = options.BehaviourOptions();
        b.Include(boSaveCompressedCopyInCaseOfError);
        b.Exclude(boCopyLogInCaseOfError);
        options.SetBehaviourOptions(b);
        if (scenario == "send-http" || scenario == "send-https" || scenario == "send-ftp" ||
            scenario == "send-mantis" || scenario == "send-bugzilla" ||
            scenario == "send-fogbugz") {
            // The web step alone, to the HTTP, HTTPS, FTP or a tracker's peer.
            options.SetEMailSendMode(esmNoSend);
            if (scenario == "send-http") {
                options.SetWebSendMode(wsmHTTP);
                options.SetWebURL("http://127.0.0.1/upload-" + scenario);
                options.SetWebPort(8080);
            } else if (scenario == "send-https") {
                options.SetWebSendMode(wsmHTTPS);
                options.SetWebURL("https://127.0.0.1/upload-" + scenario);
                options.SetWebPort(8443);
            } else if (scenario == "send-bugzilla" || scenario == "send-fogbugz") {
                const bool bugzilla = scenario == "send-bugzilla";
                options.SetWebSendMode(bugzilla ? wsmBugZilla : wsmFogBugz);
                options.SetWebURL(bugzilla ? "http://127.0.0.1/bugzilla/"
                                           : "http://127.0.0.1/fogbugz/");
                options.SetWebPort(bugzilla ? 8182 : 8183);
                options.SetTrakerUserID("kolvane");
                options.SetTrakerPassword("secret");
                options.SetTrakerProject("Kolvane");
                options.SetTrakerCategory("Crash");
                options.SetTrakerAssignTo("Dev One");
            } else if (scenario == "send-ftp") {
                options.SetWebSendMode(wsmFTP);
                options.SetWebURL("ftp://127.0.0.1/incoming");
                options.SetWebPort(2121);
                options.SetWebUserID("kolvane");
                options.SetWebPassword("secret");
            } else {
                options.SetWebSendMode(wsmMantis);
                options.SetWebURL("http://127.0.0.1/mantis/");
                options.SetWebPort(8181);
                options.SetTrakerUserID("kolvane");
                options.SetTrakerPassword("secret");
                options.SetTrakerProject("Kolvane");
                options.SetTrakerCategory("General");
            }
        }
        if (scenario == "send-zips") {
            // Mail and upload of one report, the log in the mail's text: each step's zip is
            // kept as it was sent ("sent-<step>.zip" in the working folder).
            options.SetEMailSubject("Crash report send-zips");
            options.SetAppendLogs(true);
            options.SetWebSendMode(wsmHTTP);
            options.SetWebURL("http://127.0.0.1/upload-send-zips");
            options.SetWebPort(8080);
            char cwd[MAX_PATH] = {};
            GetCurrentDirectoryA(MAX_PATH, cwd);
            const std::string folder = std::string(cwd) + "\\";
            const HANDLE asked =
                CreateFileA((folder + "asked.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            DWORD written = 0;
            WriteFile(asked, "asked for", 9, &written, nullptr);
            CloseHandle(asked);
            options.SetAttachedFiles(folder + "asked.txt;" + folder + "missing.txt");
            ExceptionActionNotify = [](TCrashExceptionRecord*, TCrashActionType action, bool&) {
                if (action != atSendingEmail && action != atSendingWebMessage) return;
                const std::string kept =
                    action == atSendingEmail ? "sent-email.zip" : "sent-web.zip";
                CopyFileA(GetBugReportZipFileName().c_str(), kept.c_str(), FALSE);
            };
        } else if (scenario == "send-thread") {
            // Sent on the component's own thread: the failing thread goes on meanwhile, and the
            // step waits (bounded) until it has.
            TCommonSendOptions send = options.CommonSendOptions();
            send.Include(sndSendInSeparatedThread);
            options.SetCommonSendOptions(send);
            static HANDLE returned = CreateEventW(nullptr, TRUE, FALSE, nullptr);
            static const DWORD failing = GetCurrentThreadId();
            ExceptionActionNotify = [](TCrashExceptionRecord*, TCrashActionType action, bool&) {
                if (action != atSendingEmail) return;
                const bool after = WaitForSingleObject(returned, 120000) == WAIT_OBJECT_0;
                Out(std::string("SENDING ") + (after ? "after" : "before") + " the return, " +
                    (GetCurrentThreadId() == failing ? "on the failing thread" : "elsewhere"));
            };
            StandardCrashError("send me");
            Out("RETURNED");
            SetEvent(returned);
            return 0;
        }
        if (scenario == "send-retry") {
            static int retries = 1;
            ExceptionErrorNotify = [](TCrashExceptionRecord*, TCrashLogErrorCode code,
                                      bool& retry) {
                Out("SEND ERROR " + std::to_string(code));
                // One retry, this time to the server that answers.
                if (retries-- > 0) {
                    DotNetCrashLogOptions()->SetSMTPPort(2525);
                    retry = true;
                }
            };
            options.SetSMTPPort(2599);
        }
        StandardCrashError("send me");
        ExceptionErrorNotify = nullptr;
    } else if (scenario == "screenshot-zip") {
        // The program fails while a magenta window is open (the cursor kept away from it).
        KeepTheZipInsteadOfSending(options);
        SetCursorPos(0, 0);
        const ColouredWindow window(RECT{200, 150, 360, 270}, RGB(255, 0, 255));
        StandardCrashError("with a window open");
        ExceptionActionNotify = nullptr;
    } else if (scenario == "log-file") {
        // The program's own report half writes the log file into the working folder: two
        // threads' failures twice each from the same places (each stored once and counted), then
        // the fatal one.
        LogIntoWorkingFolder(options);
        TLogOptions log = options.LogOptions();
        log.Include(loNoDuplicateErrors);
        options.SetLogOptions(log);
        for (int i = 0; i < 2; ++i) {
            RunThreadScenario();
            std::thread([] { ThrowInOtherThread(); }).join();
        }
        CrashNullDereference();
    } else if (scenario == "setwindowpos") {
        FaultingForm form;
        form.SetBounds(20, 20, 200, 120);
        form.Show();
        form.armed = true;
        SetWindowPos(form.Handle(), nullptr, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        form.Hide();
    } else if (scenario == "event-handler" || scenario == "event-handler-rtl") {
        if (scenario == "event-handler-rtl") {
            TBehaviourOptions b = options.BehaviourOptions();
            b.Include(boCallRTLExceptionEvent);
            options.SetBehaviourOptions(b);
        }
        ClickThroughWindow([] { throw kv::Exception(u"click failed"); });
    } else if (scenario == "abort") {
        ClickThroughWindow([] { throw kv::EAbort(); });
    } else if (scenario == "try-catch") {
        // One call site, so both throws pass the same frames (a volatile count keeps the
        // compiler from unrolling the loop into two).
        for (volatile int i = 0; i < 2;) {
            ThrowAndCatch();
            i = i + 1;
        }
        Out("CACHE " + std::to_string(HandledCacheCount()) + " " +
            std::to_string(HandledCacheHits()));
    } else if (scenario == "noexcept") {
        ThrowThroughNoexcept();
    } else if (scenario == "thread") {
        RunThreadScenario();
    } else if (scenario == "stack-overflow") {
        Out("DEPTH " + std::to_string(Recurse(0)));
    } else if (scenario == "freeze") {
        kv::TForm form(nullptr);
        form.SetBounds(30, 30, 240, 140);
        form.SetCaption(u"frozen");
        form.Show();
        PumpFor(200);
        options.SetFreezeTimeout(1);
        static HANDLE reported = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ExceptionNotify = [](TCrashExceptionRecord*, bool&) { SetEvent(reported); };
        options.SetFreezeActivate(true);
        FreezeSleeper(reported);
        options.SetFreezeActivate(false);
        ExceptionNotify = nullptr;
        form.Hide();
    } else if (scenario == "events") {
        kv::crash::TCrashLog first(nullptr), second(nullptr);
        first.OnExceptionNotify = [](TCrashExceptionRecord*, bool&) { Out("EVENT first"); };
        second.OnExceptionNotify = [](TCrashExceptionRecord*, bool&) { Out("EVENT second"); };
        ExceptionNotify = [](TCrashExceptionRecord* record, bool&) {
            Out("EVENT global " + Utf16ToAnsi(AsException(record->ExceptionObject)->Message()));
        };
        StandardCrashError("event order");
        ExceptionNotify = nullptr;
    } else if (scenario == "notify-handled-off") {
        ExceptionNotify = [](TCrashExceptionRecord*, bool& handled) { handled = false; };
        StandardCrashError("silenced");
        ExceptionNotify = nullptr;
    } else if (scenario == "auto-crash") {
        options.SetAutoCrashOperation(tbTerminate);
        options.SetAutoCrashNumber(3);
        options.SetAutoCrashMinutes(1);
        for (int i = 1; i <= 4; ++i) {
            Out("RAISE " + std::to_string(i));
            StandardCrashError("series " + std::to_string(i));
        }
    } else if (scenario == "restart") {
        char started[MAX_PATH] = {};
        if (GetEnvironmentVariableA("KOLVANE_CRASH_RESTARTED", started, MAX_PATH)) {
            char cwd[MAX_PATH] = {};
            GetCurrentDirectoryA(MAX_PATH, cwd);
            Out(std::string("RESTARTED IN ") + cwd);
            return 0;
        }
        SetEnvironmentVariableA("KOLVANE_CRASH_RESTARTED", "1");
        char elsewhere[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, elsewhere);
        SetCurrentDirectoryA(elsewhere);
        ForceApplicationTermination(tbRestart);
        StandardCrashError("restart now");
    } else if (scenario == "options") {
        // The registry's options of this program are the live kind.
        Out(std::string("OPTIONS ") +
            (dynamic_cast<TCrashModuleOptionsEx*>(&options) ? "live" : "plain"));
        // Copying options in starts no watchdog; switching it on does.
        TCrashModuleOptions source("copy");
        source.SetActive(true);
        source.SetFreezeActivate(true);
        options.SetFreezeActivate(false);
        options.Assign(&source);
        Out(std::string("AFTER ASSIGN ") + (detail::FreezeThreadId() ? "watching" : "idle"));
        options.SetFreezeActivate(false);
        options.SetFreezeActivate(true);
        Out(std::string("AFTER SWITCH ") + (detail::FreezeThreadId() ? "watching" : "idle"));
        options.SetFreezeActivate(false);
        // Internal errors carry the call stack of where they happened.
        const std::string stack = CrashLogUtilsHooks.CurrentCallStackText
                                      ? CrashLogUtilsHooks.CurrentCallStackText()
                                      : std::string();
        Out(std::string("STACK TEXT ") +
            (stack.find("Run") != std::string::npos ? "names Run" : stack));
    } else if (!RunCaptureScenario(scenario, options) && !RunOperationScenario(scenario, options)) {
        Out("UNKNOWN " + scenario);
        return 2;
    }
    return 0;
}

// A program without its stored data: the component stays out of the way.
int RunInactive(const std::string& scenario) {
    if (scenario == "inactive-probe") {
        Out(std::string("HOOKS ") + (detail::Real.CreateThread ? "patched" : "none"));
        Out(std::string("REPORT ") + (StandardCrashError("not reported") ? "made" : "refused"));
        std::thread([] { Out("THREAD RAN"); }).join();
    } else if (scenario == "inactive-throw") {
        Out("THROWING");
        throw std::runtime_error("left to the runtime");
    } else {
        return 2;
    }
    return 0;
}

} // namespace

// The same scenarios as a GUI program (crash_scenarios.exe) and as a console program
// (crash_scenarios_console.exe, built with KOLVANE_CONSOLE_SCENARIOS).
int ScenarioMain() {
    kv::TApplication application(nullptr);
    RecordingServices services;
    kv::TServices* previous = kv::SetServices(&services);
    std::string scenario = __argc > 1 ? __argv[1] : "";
    // Started by a WinCGI server: the first argument is the request file.
    if (scenario.size() > 4 && scenario.compare(scenario.size() - 4, 4, ".ini") == 0)
        scenario = "web-error-page";
    Out("START " + scenario + (IsCrashLogInstalled() ? " installed" : " inactive"));
    int result = 2;
    if (IsCrashLogInstalled()) {
        Configure(*CurrentCrashLogOptions());
        result = Run(scenario);
    } else {
        result = RunInactive(scenario);
    }
    Out("END");
    kv::SetServices(previous);
    return result;
}

#ifdef KOLVANE_CONSOLE_SCENARIOS
int main() {
    return ScenarioMain();
}
#else
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return ScenarioMain();
}
#endif
