// Crash scenarios for the capture engine's tests: a program linked with the component's
// start-up that fails in the way its argument names. Its reports, events and message boxes go
// to the file KOLVANE_CRASH_OUT names, one line per event, each report between "REPORT BEGIN"
// and "REPORT END"; "END" when the program reached its end.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

#include "crash/capture/CrashLogMain.h"
#include "crash/capture/CrashLogMainWin.h"
#include "crash/capture/CrashLogUtils.h"
#include "crash/capture/TCrashLog.h"
#include "ui/Application.h"
#include "ui/Forms.h"
#include "ui/Services.h"
#include "ui/StdCtrls.h"

using namespace kv::crash;

namespace {

std::mutex g_outLock;

void Out(const std::string& line) {
    std::lock_guard<std::mutex> lock(g_outLock);
    char path[MAX_PATH] = {};
    if (!GetEnvironmentVariableA("KOLVANE_CRASH_OUT", path, MAX_PATH)) return;
    const HANDLE f = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    const std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(f);
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

__attribute__((noinline)) void FreezeSleeper() {
    Sleep(3000);
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
    } else if (scenario.rfind("send-", 0) == 0) {
        // The report goes out by mail to the test's SMTP peer (scripts/net-run.sh); "send-fail"
        // finds no server and keeps a compressed copy in the working folder, "send-retry" has a
        // handler that asks for one more attempt after a failure.
        ResetReportHalf();
        char cwd[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, cwd);
        options.SetOutputPath(cwd);
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
        if (scenario == "send-http" || scenario == "send-ftp" || scenario == "send-mantis") {
            // The web step alone, to the HTTP, FTP or Mantis peer.
            options.SetEMailSendMode(esmNoSend);
            if (scenario == "send-http") {
                options.SetWebSendMode(wsmHTTP);
                options.SetWebURL("http://127.0.0.1/upload-" + scenario);
                options.SetWebPort(8080);
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
    } else if (scenario == "log-file") {
        // The program's own report half writes the log file into the working folder: two
        // threads' failures twice each from the same places (each stored once and counted;
        // they alternate, as the same raise site in a row is one report), then the fatal one.
        ResetReportHalf();
        char cwd[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, cwd);
        options.SetOutputPath(cwd);
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
        options.SetFreezeActivate(true);
        FreezeSleeper();
        options.SetFreezeActivate(false);
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
    } else {
        Out("UNKNOWN " + scenario);
        return 2;
    }
    return 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    kv::TApplication application(nullptr);
    RecordingServices services;
    kv::TServices* previous = kv::SetServices(&services);
    std::string scenario = __argc > 1 ? __argv[1] : "";
    Out("START " + scenario + (IsCrashLogInstalled() ? " installed" : " inactive"));
    int result = 2;
    if (IsCrashLogInstalled()) {
        Configure(*CurrentCrashLogOptions());
        result = Run(scenario);
    }
    Out("END");
    kv::SetServices(previous);
    return result;
}
