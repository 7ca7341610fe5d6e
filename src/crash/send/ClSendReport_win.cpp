// Sending one report on Windows: the temporary files, the zip, the two steps over their
// transports, the sending window's status and progress, the final message and the clean-up.
#include "crash/send/ClSendReport.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cmath>

#include "crash/core/ClZip.h"
#include "crash/dialogs/ClAppKind.h"
#include "crash/dialogs/ClDialogSupport.h"
#include "crash/dialogs/ClDialogWin.h"
#include "crash/dialogs/ClExceptionDialog.h"
#include "crash/report/ClReportHalf.h"
#include "crash/report/ClReportValues.h"
#include "crash/send/ClEmail.h"
#include "crash/send/ClSMTP.h"
#include "crash/send/ClWebTools.h"
#include "crash/send/ClWebTrackers.h"

namespace kv::crash {

namespace {

// The files sent with the report; after zipping, the zip alone.
TStrings g_attachments;
TStrings g_customWebFields;
// The last position given to the window's progress bar.
int32_t g_progress = 0;
// The tracker step showed its own bug-closed box: no success box after it.
bool g_messageShown = false;

HWND SendWindow() {
    return reinterpret_cast<HWND>(SendProgressWindow());
}

} // namespace

// ---- The sending window ----

void PumpSendMessages() {
    if (!RunInline) return;
    try {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // The quit request belongs to the program's own loop, which ends on it.
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    } catch (...) {}
}

void SetSendStatus(const std::string& Text) {
    if (!SendWindow()) return;
    PumpSendMessages();
    SetSendProgressText(Text);
    PumpSendMessages();
}

void SetSendStatusWithCount(const std::string& Text, int32_t Number, int32_t Count) {
    SetSendStatus(DialogOptions().GetCustomizedExpandedTexts(mtSendDialog_Message) + " " +
                  IntToStr(Number) + "/" + IntToStr(Count) + ": " + Text);
}

void SetSendProgress(int32_t Percent) {
    if (!SendWindow() || Percent < g_progress) return;
    g_progress = Percent;
    PumpSendMessages();
    SetSendProgressPosition(Percent);
    PumpSendMessages();
}

void ResetSendProgress() {
    g_progress = 0;
}

void AdvanceSendProgress(int32_t Step) {
    SetSendProgress(g_progress + Step);
}

void CloseSendWindow() {
    if (!SendWindow()) return;
    PumpSendMessages();
    CloseSendProgress();
    PumpSendMessages();
}

void ShowSendWindow() {
    ShowSendProgress(!DialogOptions().CommonSendOptions().Contains(sndSendInSeparatedThread));
}

void OnSendProgress(uint64_t BytesSent, uint64_t TotalBytes) {
    SetSendProgress(SentPercent(BytesSent, TotalBytes));
}

void UploadProgressCallback(TConnectionType ConnectionType, uint32_t TotalSize,
                            uint32_t BytesSent) {
    switch (ConnectionType) {
    case ctConnection:
        SetSendProgress(0);
        SetSendStatus(DialogText(mtSendDialog_Connecting));
        break;
    case ctConnected:
        SetSendStatus(DialogText(mtSendDialog_Connected));
        break;
    case ctSending:
        SetSendStatus(DialogText(mtSendDialog_Sending));
        SetSendProgress(UploadPercent(BytesSent, TotalSize));
        break;
    }
}

// The tracker clients' connection: its states drive the sending window.
class THTTPConnection final : public THTTPConnectionBase {
public:
    using THTTPConnectionBase::THTTPConnectionBase;
    void SetSendState(TSendState State, int Percent) override {
        static const TMessageType kTexts[] = {
            mtSendDialog_Connecting,    mtSendDialog_Connected, mtSendDialog_Login,
            mtSendDialog_SelectProject, mtSendDialog_Searching, mtSendDialog_Modifying,
            mtSendDialog_Sending,       mtSendDialog_Sent,      mtSendDialog_Disconnecting,
            mtSendDialog_Disconnected};
        SetSendStatus(DialogText(kTexts[State]));
        switch (State) {
        case ssConnecting:
            ResetSendProgress();
            SetSendProgress(5);
            break;
        case ssSending:
            SetSendProgress(
                static_cast<int32_t>(std::nearbyint(std::clamp(Percent, 0, 100) * 0.65 + 35)));
            break;
        case ssSent:
        case ssDisconnecting:
        case ssDisconnected:
            SetSendProgress(100);
            break;
        default:
            AdvanceSendProgress(5);
            break;
        }
    }
};

// ---- Files ----

void WriteSendLogCopy() {
    std::string text = ReportTexts.TextToSend;
    if (text.size() < 6 || text.compare(text.size() - 6, 6, "\r\n\r\n\r\n") != 0)
        text += "\r\n\r\n\r\n";
    const HANDLE f = CreateFileA(GetLogCopyFileName().c_str(), GENERIC_WRITE, 0, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(f);
}

void ZipFilesToArchive(const std::string& ZipName, const std::string& Password,
                       const TStrings& Files) {
    if (Files.empty()) return;
    TZipWriter zip(ZipName, Password);
    for (const std::string& f : Files) zip.AddFile(f, ExtractFileName(f));
}

void BuildBugReportZip(bool ForEmail) {
    g_attachments.clear();
    GetAttachedFilesList(ForEmail, g_attachments);
    CallInRaisingThread([] { DoAttachedFilesRequest(g_attachments); });
    g_attachments.erase(std::remove_if(g_attachments.begin(), g_attachments.end(),
                                       [](const std::string& f) { return !FileExists(f); }),
                        g_attachments.end());
    const std::string zip = GetBugReportZipFileName();
    try {
        ZipFilesToArchive(zip, DialogOptions().ZipPassword(), g_attachments);
    } catch (...) {
        SetLastCrashLogErrorFromException(eeLogError, "Zip");
    }
    g_attachments.assign(1, zip);
}

std::string GetCompressedCopyFileName() {
    // The suffixed name is a bare name: the folder goes in front of it.
    return ExtractFilePath(DialogOptions().OutputFile(Real_GetMainModuleFileName())) +
           AddFileNameSuffixes("BugReport.zip");
}

void PruneCompressedCopies(const std::string& Folder) {
    TStrings names;
    WIN32_FIND_DATAA found{};
    const HANDLE h = FindFirstFileA((IncludeLastBackslash(Folder) + "*.zip").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileA(h, &found));
    FindClose(h);
    for (const std::string& name : CompressedCopiesToPrune(names))
        ForceDeleteFile(IncludeLastBackslash(Folder) + name);
}

// ---- The steps ----

bool SendEmailReport() {
    return RunSendStep(atSendingEmail, atSentEmail, [] {
        const TCrashModuleOptions& o = DialogOptions();
        std::string body = o.EMailMessage();
        if (o.AppendLogs()) body += "\r\n\r\n\r\n" + ReportTexts.TextToSend;
        if (o.EMailSendMode() == esmSMTPClient || o.EMailSendMode() == esmSMTPServer) {
            ShowSendWindow();
            return SendEmailBySMTP(o.EMailSendMode() == esmSMTPServer, o.SMTPFrom(), o.SMTPHost(),
                                   g_attachments, TStrings(), body, o.EMailSubject(),
                                   o.EMailAddresses(), o.SMTPUserID(), o.SMTPPassword(),
                                   static_cast<uint16_t>(o.SMTPPort()));
        }
        if (SendEmailByMAPI(o.EMailAddresses(), o.EMailSubject(), body, g_attachments, TStrings()))
            return true;
        return SendEmailByShell(o.EMailAddresses(), o.EMailSubject(), o.EMailMessage());
    });
}

// The step's outcome: a failure's text goes to the last error with its code.
bool RecordWebSendError(TCrashLogErrorCode Code, const std::string& Label, int32_t Result,
                        const std::string& Reply) {
    if (Result == 0) return true;
    SetLastCrashLogError(Code, WebSendErrorText(Label, Result, Reply));
    return false;
}

bool RecordTrackerError(TSendResult Result, const THTTPResponse& Response) {
    if (Result == srOK || Result == srBugClosed) return true;
    SetLastCrashLogError(eeWebTrakerError,
                         TrackerErrorText(DialogOptions(), Result,
                                          static_cast<int32_t>(Response.ErrorCode),
                                          Response.ErrorMessage));
    return false;
}

struct TWebTarget {
    std::string Protocol, User, Password, Host, Path;
    uint16_t Port = 0;
};

TStrings UploadNames() {
    TStrings names;
    for (const std::string& f : g_attachments)
        names.push_back(AddFileNameSuffixes(ExtractFileName(f)));
    return names;
}

void SetProxy() {
    const TCrashModuleOptions& o = DialogOptions();
    SetProxyServer(o.ProxyURL(), o.ProxyPort());
    SetProxyAuthenticationData(o.ProxyUserID(), o.ProxyPassword());
}

bool SendHTTPReport(const TWebTarget& t, bool https) {
    CallInRaisingThread([] { DoCustomWebFieldsRequest(g_customWebFields); });
    SetProxy();
    std::string reply;
    int32_t result = 0;
    if (!g_attachments.empty())
        result = HTTPUploadFiles(t.Host, t.Path, t.User, t.Password, t.Port, https, g_attachments,
                                 UploadNames(), g_customWebFields, &UploadProgressCallback, reply);
    CloseSendWindow();
    return RecordWebSendError(https ? eeWebHTTPSError : eeWebHTTPError, https ? "HTTPS" : "HTTP",
                              result, reply);
}

bool SendFTPReport(const TWebTarget& t) {
    SetProxy();
    std::string reply;
    const int32_t result = FTPUploadFiles(t.Host, t.Path, t.User, t.Password, t.Port, UploadNames(),
                                          g_attachments, &UploadProgressCallback, reply);
    CloseSendWindow();
    return RecordWebSendError(eeWebFTPError, "FTP", result, reply);
}

bool SendTrackerReport() {
    const TCrashModuleOptions& o = DialogOptions();
    const std::string file = g_attachments.empty() ? std::string() : g_attachments.front();
    std::string url = o.WebURL();
    AddAuthenticationToURL(url, o.WebUserID(), o.WebPassword(), static_cast<uint16_t>(o.WebPort()));
    std::string proxy = o.ProxyURL();
    AddAuthenticationToURL(proxy, o.ProxyUserID(), o.ProxyPassword(), o.ProxyPort());
    THTTPSendReportClass tracker =
        o.WebSendMode() == wsmBugZilla  ? &CreateSendReport<THTTPBugzillaSendReport>
        : o.WebSendMode() == wsmFogBugz ? &CreateSendReport<THTTPFogBugzSendReport>
                                        : &CreateSendReport<THTTPMantisSendReport>;
    CallInRaisingThread([] { DoCustomWebFieldsRequest(g_customWebFields); });
    TStrings fields = g_customWebFields;
    const TOSVersion os = GetOSVersion();
    fields.push_back("FogBugzTrialID=" + o.TrakerTrialID());
    fields.push_back("CL_OSType=" + GetWindowsVersionName(os, IsWorkstation(), IsWow64()));
    fields.push_back("CL_OSBuild=" + OSBuildText(os));
    fields.push_back("CL_ReproduceText=" + o.ReproduceText());
    THTTPResponse response;
    const bool windowShown = SendWindow() != nullptr;
    const TSendResult result =
        SendWebTrakerReport(&CreateHTTPConnection<THTTPConnection>, tracker, GetMainModuleVersion(),
                            GetExceptionClassText(Report.Record.ExceptionObject),
                            ExceptionMessageFor(Report.Record.ExceptionObject), Report.BugID, url,
                            proxy, o.TrakerUserID(), o.TrakerPassword(),
                            ExpandEnvVars(o.TrakerProject()), ExpandEnvVars(o.TrakerCategory()),
                            ExpandEnvVars(o.TrakerAssignTo()), file, fields, response);
    CloseSendWindow();
    if (result == srBugClosed && windowShown) {
        MessageBoxA(nullptr, DialogText(mtSend_BugClosedMsg).c_str(),
                    DialogText(mtInformationMsgCaption).c_str(),
                    MB_ICONINFORMATION | MB_TASKMODAL | MB_TOPMOST | MB_SERVICE_NOTIFICATION);
        g_messageShown = true;
    }
    return RecordTrackerError(result, response);
}

bool SendWebReport() {
    return RunSendStep(atSendingWebMessage, atSentWebMessage, [] {
        const TCrashModuleOptions& o = DialogOptions();
        ShowSendWindow();
        TWebTarget t;
        ElaborateURL(o.WebURL(), t.Protocol, t.User, t.Password, t.Host, t.Path, t.Port);
        t.Port = static_cast<uint16_t>(o.WebPort());
        t.User = o.WebUserID();
        t.Password = o.WebPassword();
        try {
            switch (o.WebSendMode()) {
            case wsmHTTP:
            case wsmHTTPS:
                return SendHTTPReport(t, o.WebSendMode() == wsmHTTPS);
            case wsmFTP:
                return SendFTPReport(t);
            case wsmBugZilla:
            case wsmFogBugz:
            case wsmMantis:
                return SendTrackerReport();
            default:
                return true;
            }
        } catch (...) {
            CloseSendWindow();
            SetLastCrashLogErrorFromException(
                o.WebSendMode() >= wsmBugZilla ? eeWebTrakerError : eeWebHTTPError, "Web");
            return false;
        }
    });
}

void PlugSMTPHooks() {
    SMTPSendHooks.Status = [](TMessageType text, int32_t number, int32_t count) {
        SetSendStatusWithCount(DialogOptions().GetCustomizedExpandedTexts(text), number, count);
    };
    SMTPSendHooks.Progress = [](int32_t position) { SetSendProgress(position); };
    SMTPSendHooks.PumpMessages = &PumpSendMessages;
    SMTPSendHooks.SendWindowExists = [] { return SendWindow() != nullptr; };
    SMTPSendHooks.OnSent = [](int32_t sent, int32_t total) {
        OnSendProgress(static_cast<uint64_t>(std::max(sent, 0)),
                       static_cast<uint64_t>(std::max(total, 0)));
    };
    // The inline report's modeless window goes with each conversation.
    SMTPSendHooks.AfterTransfer = [] {
        if (RunInline) CloseSendWindow();
    };
    SMTPSendHooks.CloseSendWindow = &CloseSendWindow;
}

void SendErrorReport() {
    PlugSMTPHooks();
    g_attachments.clear();
    g_customWebFields.clear();
    g_messageShown = false;
    ResetSendProgress();
    ClearLastCrashLogError();
    const std::string logCopy = GetLogCopyFileName();
    const std::string xmlCopy = GetXMLCopyFileName();
    const std::string zip = GetBugReportZipFileName();
    try {
        WriteSendLogCopy();
        SaveLastHTMLPage(Report.LastHTMLPage);
        SaveXMLCopyOfLog();

        bool success = true;
        if (DialogOptions().EMailSendMode() != esmNoSend) {
            BuildBugReportZip(true);
            if (DialogOptions().EMailSendMode() != esmNoSend) success = SendEmailReport();
        }
        if (DialogOptions().WebSendMode() != wsmNoSend) {
            if (DialogOptions().EMailSendMode() == esmNoSend || DialogOptions().AppendLogs())
                BuildBugReportZip(false);
            success = SendWebReport() && success;
        }
        if (!success && DialogOptions().BehaviourOptions().Contains(boCopyLogInCaseOfError))
            CopyTextToClipboard(ReportTexts.LogText);
        if (DialogOptions().CommonSendOptions().Contains(sndShowSuccessFailureMsg) &&
            !g_messageShown)
            MessageBoxA(nullptr,
                        DialogText(success ? mtSend_SuccessMsg : mtSend_FailureMsg).c_str(),
                        DialogText(mtInformationMsgCaption).c_str(),
                        (success ? MB_ICONINFORMATION : MB_ICONERROR) | MB_TASKMODAL | MB_TOPMOST |
                            MB_SERVICE_NOTIFICATION);
        if (!success &&
            DialogOptions().BehaviourOptions().Contains(boSaveCompressedCopyInCaseOfError)) {
            const std::string copy = GetCompressedCopyFileName();
            MoveFileExA(zip.c_str(), copy.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
            const std::string folder = ExtractFilePath(copy);
            if (!folder.empty()) PruneCompressedCopies(folder);
        }
        ForceDeleteFile(zip);
    } catch (...) {
        // The clean-up below still runs; the send itself failed.
        ForceDeleteFile(zip);
        ForceDeleteFile(xmlCopy);
        if (!IsCGIApplication()) ForceDeleteFile(GetLastHTMLPageFileName());
        ForceDeleteFile(logCopy);
        throw;
    }
    ForceDeleteFile(xmlCopy);
    if (!IsCGIApplication()) ForceDeleteFile(GetLastHTMLPageFileName());
    ForceDeleteFile(logCopy);
}

bool StartReportSending() {
    if (!RunInline && DialogOptions().CommonSendOptions().Contains(sndSendInSeparatedThread)) {
        // The raising thread goes on and may free its exception object: the thread keeps a copy.
        const void* const original = Report.Record.ExceptionObject;
        Report.Record.ExceptionObject = CopyObjectInstance(original).release();
        uint32_t id = 0;
        const uintptr_t thread = StartComponentThread(
            [] {
                SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
                RunUnderReportLock([] {
                    try {
                        SendErrorReport();
                    } catch (...) {}
                    CheckAutoCrash();
                    FreeReportCallStack();
                    TerminateAfterReport();
                    FreeExceptionObjectCopy(Report.Record);
                });
            },
            id);
        if (thread) {
            CloseHandle(reinterpret_cast<HANDLE>(thread));
            return true;
        }
        // No thread: sent here, with the object the raising thread still holds.
        FreeExceptionObjectCopy(Report.Record);
        Report.Record.ExceptionObject = original;
    }
    SendErrorReport();
    return false;
}

} // namespace kv::crash
