#include "crash/report/ClLogManager.h"

#include <windows.h>

#include <algorithm>

#include "base/Exception.h"
#include "base/Stream.h"
#include "crash/capture/CrashLogMain.h"
#include "crash/report/ClReportHalf.h"
#include "crash/report/ClReportValues.h"

namespace kv::crash::detail {

namespace {

class TWinSharedFile final : public TSharedFile {
public:
    explicit TWinSharedFile(HANDLE h) : h_(h) {}
    ~TWinSharedFile() override { CloseHandle(h_); }
    TWinSharedFile(const TWinSharedFile&) = delete;
    TWinSharedFile& operator=(const TWinSharedFile&) = delete;

    std::string ReadAll() override {
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(h_, &size))
            throw kv::EFileError(u"Cannot read file size", GetLastError());
        Seek(0);
        std::string data(static_cast<size_t>(size.QuadPart), '\0');
        size_t got = 0;
        while (got < data.size()) {
            DWORD n = 0;
            const DWORD ask = static_cast<DWORD>(std::min<size_t>(data.size() - got, 1 << 20));
            if (!ReadFile(h_, data.data() + got, ask, &n, nullptr))
                throw kv::EFileError(u"Read error", GetLastError());
            if (n == 0) break;
            got += n;
        }
        data.resize(got);
        return data;
    }

    void Rewrite(const std::string& data) override {
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(h_, &size))
            throw kv::EFileError(u"Cannot read file size", GetLastError());
        // Grow first: when the disk is full this fails with the old reports untouched.
        if (static_cast<uint64_t>(size.QuadPart) < data.size()) SetEnd(data.size());
        Seek(0);
        size_t done = 0;
        while (done < data.size()) {
            DWORD n = 0;
            const DWORD ask = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1 << 20));
            if (!WriteFile(h_, data.data() + done, ask, &n, nullptr) || n == 0)
                throw kv::EFileError(u"Write error", GetLastError());
            done += n;
        }
        SetEnd(data.size());
    }

private:
    void Seek(uint64_t pos) {
        LARGE_INTEGER li{};
        li.QuadPart = static_cast<LONGLONG>(pos);
        if (!SetFilePointerEx(h_, li, nullptr, FILE_BEGIN))
            throw kv::EFileError(u"Seek error", GetLastError());
    }
    void SetEnd(uint64_t pos) {
        Seek(pos);
        if (!SetEndOfFile(h_)) throw kv::EFileError(u"Write error", GetLastError());
    }
    HANDLE h_;
};

std::unique_ptr<TSharedFile> OpenWith(const std::string& fileName, DWORD access,
                                      DWORD disposition) {
    const std::u16string path = AnsiToUtf16(fileName);
    const HANDLE h = CreateFileW(reinterpret_cast<LPCWSTR>(path.c_str()), access,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD err = GetLastError();
        throw kv::EFileError(
            (disposition == CREATE_NEW ? u"Cannot create file \"" : u"Cannot open file \"") + path +
                u"\"",
            err);
    }
    return std::make_unique<TWinSharedFile>(h);
}

} // namespace

std::unique_ptr<TSharedFile> TSharedFile::Open(const std::string& fileName, bool readOnly) {
    return OpenWith(fileName, readOnly ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE,
                    OPEN_EXISTING);
}

std::unique_ptr<TSharedFile> TSharedFile::Create(const std::string& fileName) {
    return OpenWith(fileName, GENERIC_READ | GENERIC_WRITE, CREATE_NEW);
}

} // namespace kv::crash::detail

// ---- The log file of the current report ----

namespace kv::crash {

namespace {

std::unique_ptr<TLogFile> g_logFile;
std::string g_logFilePath;

TCrashModuleOptions* ReportOptions() {
    if (Report.Options) return Report.Options;
    try {
        return CurrentCrashLogOptions();
    } catch (...) {
        return nullptr; // the component is not active
    }
}

std::string TempFolder() {
    char path[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathA(MAX_PATH, path);
    return n > 0 && n <= MAX_PATH ? IncludeLastBackslash(path) : std::string();
}

std::string ReportTimeStamp() {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    DecodeDateTime(Report.StartTime != 0 ? Report.StartTime : Now(), y, mo, d, h, mi, s, ms);
    char text[32];
    wsprintfA(text, "%04d%02d%02d%02d%02d%02d", y, mo, d, h, mi, s);
    return text;
}

// The current log file from here to the end of the scope.
struct TLogFileScope {
    TLogFileScope() { OpenLogFile(); }
    ~TLogFileScope() { CloseLogFile(); }
    TLogFileScope(const TLogFileScope&) = delete;
    TLogFileScope& operator=(const TLogFileScope&) = delete;
};

bool HasSendOption(TCommonSendOption option) {
    const TCrashModuleOptions* o = ReportOptions();
    return o && o->CommonSendOptions().Contains(option);
}

} // namespace

void OpenLogFile() {
    const std::string path = ReportLogFileName();
    if (g_logFile && g_logFilePath != path) CloseLogFile();
    if (!g_logFile) {
        g_logFile = std::make_unique<TLogFile>(path, false);
        g_logFilePath = path;
    }
}

void CloseLogFile() {
    g_logFile.reset();
    g_logFilePath.clear();
}

TLogFile* CurrentLogFile() {
    return g_logFile.get();
}

void CountDuplicateReport(bool Increment) {
    const TCrashModuleOptions* o = ReportOptions();
    if (!o) return;
    if (!o->LogOptions().Contains(loNoDuplicateErrors)) {
        Report.Duplicate = false;
        return;
    }
    const TLogFileScope scope;
    const int32_t n = g_logFile->FindItem({"2.7"}, {Report.BugID});
    Report.Duplicate = n != -1;
    if (Report.Duplicate && Increment) {
        const int32_t count = StrToIntDef(g_logFile->GetItemValue("2.8", n), 1) + 1;
        g_logFile->SetItemValue("2.8", IntToStr(count), "Count", n);
        g_logFile->Save();
    }
}

void SaveReportToLogFile() {
    TCrashReport& r = Report;
    const TCrashModuleOptions* o = ReportOptions();
    if (!o) return;
    r.ActionFlag = true;
    ClearLastCrashLogError();
    const bool save = o->SaveLogFile();
    if (save) {
        bool flag = r.ActionFlag;
        CallInRaisingThread([&] { DoExceptionActionNotify(atSavingLogFile, flag); });
        r.ActionFlag = flag;
    }
    bool retry = false;
    do {
        ClearLastCrashLogError();
        try {
            // Each attempt appends to the log as the file holds it: an attempt that was not
            // saved (a handler refused it) must not leave its report in the next one's text.
            CloseLogFile();
            OpenLogFile();
            if (!r.Duplicate) {
                g_logFile->Append(r.Record.LogText, o->ErrorsNumberToSave());
                if (o->CommonSendOptions().Contains(sndSendEntireLog))
                    ReportTexts.TextToSend = g_logFile->GetText();
                if (r.ActionFlag && save) g_logFile->Save();
            }
        } catch (...) {
            SetLastCrashLogErrorFromException(eeLogError, "Log");
            r.ActionFlag = false;
        }
        retry = false;
        if (save && !r.ActionFlag) {
            bool flag = retry;
            CallInRaisingThread([&] { DoExceptionErrorNotify(eeLogError, flag); });
            retry = flag;
            if (retry) r.ActionFlag = true;
        }
    } while (retry);
    CloseLogFile();
    if (save) {
        bool flag = true;
        CallInRaisingThread([&] { DoExceptionActionNotify(atSavedLogFile, flag); });
    }
}

std::string LastLogItemValue(const std::string& item) {
    try {
        const TLogFileScope scope;
        const int32_t last = g_logFile->Count() - 1;
        return last >= 0 ? g_logFile->GetItemValue(item, last) : std::string();
    } catch (...) {
        return std::string();
    }
}

// ---- Names of the report files ----

std::string GetScreenshotFileName() {
    return HasSendOption(sndSendScreenshot) ? TempFolder() + "Screenshot.png" : std::string();
}

std::string GetScreenshotFileNameIfAttached() {
    return Report.AttachScreenshotChosen ? GetScreenshotFileName() : std::string();
}

std::string GetLogCopyFileName() {
    const std::string log = ReportLogFileName();
    return log.empty() ? std::string() : TempFolder() + ExtractFileName(log);
}

std::string GetBugReportZipFileName() {
    return TempFolder() + "BugReport.zip";
}

std::string GetLastHTMLPageFileName() {
    return HasSendOption(sndSendLastHTMLPage) ? TempFolder() + "LastHTMLPage.html" : std::string();
}

std::string GetLastHTMLPageFileNameIfAny() {
    return Report.LastHTMLPage.empty() ? std::string() : GetLastHTMLPageFileName();
}

std::string GetXMLCopyFileName() {
    const std::string log = ReportLogFileName();
    if (log.empty() || !HasSendOption(sndSendXMLLogCopy)) return std::string();
    return TempFolder() + ChangeFileExt(ExtractFileName(log), ".xml");
}

std::string AddFileNameSuffixes(const std::string& FileName) {
    std::string name = ExtractFileName(FileName);
    const auto insert = [&](const std::string& suffix) {
        const std::string ext = ExtractFileExt(name);
        name = name.substr(0, name.size() - ext.size()) + "__" + suffix + ext;
    };
    if (HasSendOption(sndAddComputerNameInFileName)) insert(GetComputerNameText());
    if (HasSendOption(sndAddDateInFileName)) insert(ReportTimeStamp());
    return name;
}

void GetAttachedFilesList(bool ForEmail, TStrings& List) {
    List.clear();
    const TCrashModuleOptions* o = ReportOptions();
    if (!o) return;
    ExtractList(o->AttachedFiles(), List, CharSetOf(";"), false, false);
    const std::string log = GetLogCopyFileName();
    if (!(ForEmail && o->AppendLogs()) && !log.empty()) List.push_back(log);
    // The screenshot only when this report wrote it: a file of that name in the temporary
    // folder may be another program's.
    std::string screenshot = GetScreenshotFileNameIfAttached();
    if (screenshot != Report.ScreenshotFile) screenshot.clear();
    for (const std::string& name :
         {screenshot, GetLastHTMLPageFileNameIfAny(), GetXMLCopyFileName()})
        if (!name.empty()) List.push_back(name);
    for (std::string& entry : List) entry = ExpandEnvVars(entry);
}

std::string LoadTextFromFile(const std::string& FileName) {
    if (FileName.empty()) return std::string();
    try {
        return detail::TSharedFile::Open(FileName, true)->ReadAll();
    } catch (...) {
        return std::string();
    }
}

void SaveLastHTMLPage(const std::string& Text) {
    const std::string name = GetLastHTMLPageFileNameIfAny();
    if (name.empty()) return;
    const kv::FileHandle file(kv::FileCreate(AnsiToUtf16(name)));
    if (!file.valid()) return; // the page is a courtesy: errors are ignored
    const std::string lines = Text.empty() || Text.back() == '\n' ? Text : Text + "\r\n";
    kv::FileWrite(file.get(), lines.data(), lines.size());
}

void SaveXMLCopyOfLog() {
    const std::string xmlName = GetXMLCopyFileName();
    if (xmlName.empty()) return;
    const std::string copy = GetLogCopyFileName();
    std::unique_ptr<TLogFile> log;
    if (copy.empty()) {
        log = std::make_unique<TLogFile>("", true);
        log->Append(ReportTexts.TextToSend, 1);
    } else {
        log = std::make_unique<TLogFile>(copy, true);
    }
    log->SetPassword(Report.Password);
    log->SaveXMLCopy(xmlName);
}

} // namespace kv::crash
