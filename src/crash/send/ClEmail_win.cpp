#include "crash/send/ClEmail.h"

#include <windows.h>

#include <mapi.h>

#include <utility>

#include "crash/capture/CrashLogMain.h"
#include "crash/capture/CrashLogUtils.h"
#include "crash/report/ClReportHalf.h"
#include "crash/report/ClScreenshot.h"

namespace kv::crash {

namespace {

class Library { // FreeLibrary; null = empty
public:
    explicit Library(HMODULE h) noexcept : h_(h) {}
    ~Library() {
        if (h_) FreeLibrary(h_);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    HMODULE get() const noexcept { return h_; }
    template <class F> F Proc(const char* name) const {
        return reinterpret_cast<F>(GetProcAddress(h_, name));
    }

private:
    HMODULE h_;
};

class KernelHandle { // CloseHandle; null = empty
public:
    explicit KernelHandle(HANDLE h = nullptr) noexcept : h_(h) {}
    ~KernelHandle() {
        if (h_) CloseHandle(h_);
    }
    KernelHandle(const KernelHandle&) = delete;
    KernelHandle& operator=(const KernelHandle&) = delete;
    HANDLE get() const noexcept { return h_; }

private:
    HANDLE h_;
};

// Mail clients change the current folder while they compose; the program's relative paths
// must not follow them.
class CurrentDirScope {
public:
    CurrentDirScope() {
        const DWORD n = GetCurrentDirectoryA(0, nullptr);
        if (n == 0) return;
        dir_.resize(n);
        const DWORD got = GetCurrentDirectoryA(n, dir_.data());
        dir_.resize(got < n ? got : 0);
    }
    ~CurrentDirScope() {
        if (!dir_.empty()) SetCurrentDirectoryA(dir_.c_str());
    }
    CurrentDirScope(const CurrentDirScope&) = delete;
    CurrentDirScope& operator=(const CurrentDirScope&) = delete;

private:
    std::string dir_;
};

constexpr const char* kMailClientsKey = "SOFTWARE\\Clients\\Mail";

bool FailMAPI(const char* message) {
    ReportMAPIError(message);
    return false;
}

// The report's options while one is sent, else the calling module's; null when the component is
// not active (the exported entry may be called then).
const TCrashModuleOptions* SendingOptions() {
    try {
        return DotNetCrashLogOptions();
    } catch (...) {
        return nullptr;
    }
}

// The default client's library: its user setting first, then the machine's.
HMODULE LoadMailClientLibrary() {
    for (const uintptr_t root : {kHKeyCurrentUser, kHKeyLocalMachine}) {
        const std::string client = ReadKey(root, kMailClientsKey, "");
        if (client.empty()) continue;
        const std::string path =
            ReadKey(root, std::string(kMailClientsKey) + "\\" + client, "DLLPath");
        if (path.empty()) continue;
        if (const HMODULE h = LoadLibraryA(ExpandEnvVars(path).c_str())) return h;
        break;
    }
    return LoadLibraryA("mapi32.dll");
}

// The main window when called on its thread. A window of another thread as parent would make
// the client's modal window wait on that thread, which may be the one that is blocked.
ULONG_PTR MAPIParentWindow() {
    const HWND main = reinterpret_cast<HWND>(FindMainWindowOfProcess(GetCurrentProcessId()));
    if (main && GetWindowThreadProcessId(main, nullptr) == GetCurrentThreadId())
        return reinterpret_cast<ULONG_PTR>(main);
    return 0;
}

std::string FullPathName(const std::string& fileName) {
    char buffer[MAX_PATH * 2] = {};
    const DWORD n = GetFullPathNameA(fileName.c_str(), sizeof buffer, buffer, nullptr);
    return n > 0 && n < sizeof buffer ? std::string(buffer, n) : fileName;
}

std::string SysErrorMessage(DWORD code) {
    char* buffer = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text;
    if (n > 0 && buffer) text.assign(buffer, n);
    if (buffer) LocalFree(buffer);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.pop_back();
    return text.empty() ? "System error " + IntToStr(code) + "." : text;
}

// What a MapiMessage points into; the MAPI structures take non-const texts.
struct TMAPIMessageData {
    std::string Subject, NoteText;
    std::vector<TMAPIRecipient> Recipients;
    std::vector<std::pair<std::string, std::string>> Files; // path, name
    std::vector<MapiRecipDesc> RecipDescs;
    std::vector<MapiFileDesc> FileDescs;
    MapiMessage Message{};
};

void BuildMAPIMessage(TMAPIMessageData& d, const std::string& To, const std::string& Body,
                      const TStrings& AttachmentsList, const TStrings& AttachmentsArray) {
    d.NoteText = Body;
    d.Recipients = MAPIRecipients(To);
    for (const std::string& name : ChooseMAPIAttachments(
             AttachmentsArray, AttachmentsList, [](const std::string& f) { return FileExists(f); }))
        d.Files.emplace_back(FullPathName(name), AddFileNameSuffixes(name));
    for (TMAPIRecipient& r : d.Recipients) {
        MapiRecipDesc desc{};
        desc.ulRecipClass = MAPI_TO;
        desc.lpszName = r.Name.data();
        desc.lpszAddress = r.Address.data();
        d.RecipDescs.push_back(desc);
    }
    for (auto& [path, name] : d.Files) {
        MapiFileDesc desc{};
        desc.flFlags = 0;
        desc.nPosition = 0xFFFFFFFFu; // no place in the note text
        desc.lpszPathName = path.data();
        desc.lpszFileName = name.data();
        d.FileDescs.push_back(desc);
    }
    MapiMessage& m = d.Message;
    m.lpszSubject = d.Subject.data();
    m.lpszNoteText = d.NoteText.data();
    m.lpOriginator = nullptr;
    m.nRecipCount = static_cast<ULONG>(d.RecipDescs.size());
    m.lpRecips = d.RecipDescs.empty() ? nullptr : d.RecipDescs.data();
    m.nFileCount = static_cast<ULONG>(d.FileDescs.size());
    m.lpFiles = d.FileDescs.empty() ? nullptr : d.FileDescs.data();
}

} // namespace

bool SendEmailByMAPI(const std::string& To, const std::string& Subject, const std::string& Body,
                     const TStrings& AttachmentsList, const TStrings& AttachmentsArray) {
    const CurrentDirScope keepDir;
    const TCrashModuleOptions* options = SendingOptions();
    const bool dialog = options && options->CommonSendOptions().Contains(sndShowSendDialog);

    // Everything that may raise is built before the session opens, so that a session is
    // always closed again.
    TMAPIMessageData data;
    data.Subject = MAPISubjectText(ExpandEnvVars(Subject));
    BuildMAPIMessage(data, To, ExpandEnvVars(Body), AttachmentsList, AttachmentsArray);

    const Library mapi(LoadMailClientLibrary());
    if (!mapi.get()) return FailMAPI("Cannot open the MAPI dll.");
    const auto logon = mapi.Proc<LPMAPILOGON>("MAPILogon");
    const auto logoff = mapi.Proc<LPMAPILOGOFF>("MAPILogoff");
    const auto sendMail = mapi.Proc<LPMAPISENDMAIL>("MAPISendMail");
    if (!logon || !logoff || !sendMail) return FailMAPI("Cannot found the MAPI functions.");

    const ULONG_PTR parent = MAPIParentWindow();
    LHANDLE session = 0;
    if (logon(parent, nullptr, nullptr, MAPI_LOGON_UI, 0, &session) != SUCCESS_SUCCESS)
        return FailMAPI("Cannot LogOn into the MAPI service.");
    const ULONG result =
        sendMail(session, parent, &data.Message, MAPI_LOGON_UI | (dialog ? MAPI_DIALOG : 0), 0);
    logoff(session, parent, 0, 0);
    // A user who closes the compose window has seen the report: that counts as sent.
    if (result != SUCCESS_SUCCESS && result != MAPI_USER_ABORT)
        return FailMAPI("Cannot send the MAPI message.");
    return true;
}

bool CrashLogSendEmail(const std::string& To, const std::string& Subject, const std::string& Body,
                       const std::string& Attachments) {
    TStrings list;
    ExtractList(Attachments, list, CharSetOf(",;"), false, false);
    return SendEmailByMAPI(To, Subject, Body, list, TStrings{std::string()});
}

bool SendEmailByShell(const std::string& To, const std::string& Subject,
                      const std::string& Message) {
    const std::string subject = ExpandEnvVars(Subject);
    const std::string message = ExpandEnvVars(Message);
    const std::string command =
        ExpandEnvVars(ReadKey(kHKeyClassesRoot, "\\mailto\\shell\\open\\command", ""));
    // The current report only: the text to send may be the whole log file.
    std::string commandLine = MailtoCommandLine(
        command, MailtoURL(To, subject, MailtoBody(message, ReportTexts.LogText)));

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMAXIMIZED;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                        &startup, &info)) {
        SetLastCrashLogError(eeEmailShellError, SysErrorMessage(GetLastError()));
        return false;
    }
    const KernelHandle process(info.hProcess);
    const KernelHandle thread(info.hThread);
    // The mail program's window shows late and often behind the report's windows.
    WaitForInputIdle(process.get(), 10000);
    Sleep(2000);
    if (const HWND window = reinterpret_cast<HWND>(FindMainWindowOfProcess(info.dwProcessId)))
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    DWORD exitCode = 0;
    return WaitForSingleObject(process.get(), INFINITE) == WAIT_OBJECT_0 &&
           GetExitCodeProcess(process.get(), &exitCode);
}

} // namespace kv::crash

extern "C" {

// Other modules of the process send through the same MAPI path; nothing may unwind into them.
__declspec(dllexport) BOOL __stdcall CrashLogSendEmail(const char* to, const char* subject,
                                                       const char* body, const char* attachments) {
    try {
        return kv::crash::CrashLogSendEmail(to ? to : "", subject ? subject : "", body ? body : "",
                                            attachments ? attachments : "")
                   ? TRUE
                   : FALSE;
    } catch (...) {
        kv::crash::SetLastCrashLogErrorFromException(kv::crash::eeEmailMAPIError, "MAPI");
        return FALSE;
    }
}

} // extern "C"
