#include "crash/dialogs/ClAppKind.h"

#include <windows.h>

#include <httpext.h>

#include <algorithm>
#include <atomic>
#include <utility>

#include "crash/capture/CrashLogUtils.h"
#include "crash/core/ClCorePlatform.h"
#include "crash/debug/ClDebugModules.h"
#include "crash/report/ClReportHalf.h"
#include "crash/report/ClReportRender.h"

namespace kv::crash {

namespace {

std::atomic<bool> g_writingOwnPage{false};

class FileHandle { // CloseHandle; INVALID_HANDLE_VALUE = empty
public:
    explicit FileHandle(HANDLE h) noexcept : h_(h) {}
    ~FileHandle() {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const noexcept { return h_; }
    bool valid() const noexcept { return h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

// Sets the own-page flag for its lifetime, whatever way the write ends.
class OwnPageScope {
public:
    OwnPageScope() noexcept { g_writingOwnPage = true; }
    ~OwnPageScope() { g_writingOwnPage = false; }
    OwnPageScope(const OwnPageScope&) = delete;
    OwnPageScope& operator=(const OwnPageScope&) = delete;
};

// The component error an exception of that context would give ("[context] message").
void RecordError(const char* context, const std::string& message) {
    SetLastCrashLogError(eeShowError, Format("[%s] %s", {context, message}));
}

// Pipes and files may take less than asked for in one call.
bool WriteAll(HANDLE h, std::string_view data) {
    while (!data.empty()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size(), 1u << 30));
        if (!WriteFile(h, data.data(), chunk, &written, nullptr) || written == 0) return false;
        data.remove_prefix(written);
    }
    return true;
}

bool WriteISAPIResponse(const std::string& header, const std::string& page) {
    auto* ecb = static_cast<EXTENSION_CONTROL_BLOCK*>(ISAPIServerECB());
    if (!ecb) {
        SetLastCrashLogError(eeShowError, "ISAPI: ServerECB = nil");
        return false;
    }
    const OwnPageScope own;
    try {
        ecb->dwHttpStatusCode = 200;
        std::string status = "200 Error";
        std::string extra = header;
        DWORD statusSize = static_cast<DWORD>(status.size());
        const BOOL sent =
            ecb->ServerSupportFunction(ecb->ConnID, HSE_REQ_SEND_RESPONSE_HEADER, status.data(),
                                       &statusSize, reinterpret_cast<LPDWORD>(extra.data()));
        std::string body = page;
        DWORD bytes = static_cast<DWORD>(body.size());
        const BOOL written =
            sent && ecb->WriteClient(ecb->ConnID, body.data(), &bytes, HSE_IO_SYNC);
        // A server that refused the response has not shown the page: say so.
        if (!written || bytes != body.size()) {
            SetLastCrashLogError(eeShowError, "ISAPI: Cannot write the response.");
            return false;
        }
    } catch (...) {
        SetLastCrashLogErrorFromException(eeShowError, "ISAPI");
        return false;
    }
    return true;
}

bool WriteCGIResponse(const std::string& header, const std::string& page) {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    // A lost page is as bad as a lost header: both fail the response.
    if (out == nullptr || out == INVALID_HANDLE_VALUE || !WriteAll(out, header) ||
        !WriteAll(out, page)) {
        SetLastCrashLogError(eeShowError, "CGI: Cannot write in the ouput file.");
        return false;
    }
    return true;
}

bool WriteWinCGIResponse(const std::string& header, const std::string& page) {
    try {
        const std::string name = WinCGIOutputFile();
        // The server may hold the file open; an existing file is written from its start and
        // keeps what lies beyond the response.
        const FileHandle file(CreateFileA(name.c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) {
            RecordError("WinCGI", "Cannot open file \"" + name + "\".");
            return false;
        }
        if (!WriteAll(file.get(), header) || !WriteAll(file.get(), page)) {
            RecordError("WinCGI", "Cannot write to file \"" + name + "\".");
            return false;
        }
    } catch (...) {
        SetLastCrashLogErrorFromException(eeShowError, "WinCGI");
        return false;
    }
    return true;
}

std::string SystemTempFolder() {
    char path[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathA(MAX_PATH, path);
    return n > 0 && n <= MAX_PATH ? IncludeLastBackslash(path) : std::string();
}

// The folder names of a path after its drive; both delimiters count, trail bytes do not.
TStrings FolderNames(std::string_view path) {
    TStrings names;
    std::string name;
    for (size_t i = 0; i < path.size();) {
        const size_t size = AnsiCharSize(path, i);
        if (size == 1 && (path[i] == '\\' || path[i] == '/')) {
            if (!name.empty()) names.push_back(std::move(name));
            name.clear();
        } else {
            name.append(path.substr(i, size));
        }
        i += size;
    }
    if (!name.empty()) names.push_back(std::move(name));
    return names;
}

// FileName relative to Folder ("..\" for each level of Folder it does not share); FileName
// itself on another drive. Names compare regardless of case, as the file system does.
std::string PathRelativeTo(const std::string& Folder, const std::string& FileName) {
    const std::string drive = ExtractFileDrive(Folder);
    const std::string fileDrive = ExtractFileDrive(FileName);
    if (LowerCase(drive) != LowerCase(fileDrive)) return FileName;
    const TStrings base = FolderNames(std::string_view(Folder).substr(drive.size()));
    const TStrings target =
        FolderNames(std::string_view(ExtractFilePath(FileName)).substr(fileDrive.size()));
    size_t common = 0;
    while (common < base.size() && common < target.size() &&
           LowerCase(base[common]) == LowerCase(target[common]))
        ++common;
    std::string relative;
    for (size_t i = common; i < base.size(); ++i) relative += "..\\";
    for (size_t i = common; i < target.size(); ++i) relative += target[i] + "\\";
    return relative + ExtractFileName(FileName);
}

} // namespace

bool IsWritingOwnWebPage() {
    return g_writingOwnPage;
}

// ---- Application kinds ----

bool IsISAPIApplication() {
    const uintptr_t module = detail::ComponentModuleHandle();
    return IsModuleLibrary(module) &&
           GetProcAddress(reinterpret_cast<HMODULE>(module), "HttpExtensionProc") != nullptr;
}

TWebApplicationKind WebApplicationKind() {
    if (IsISAPIApplication()) return wkISAPI;
    if (IsCGIApplication()) return wkCGI;
    if (IsWinCGIApplication()) return wkWinCGI;
    if (IsIntraWebApplication()) return wkIntraWeb;
    return wkNone;
}

bool IsWebApplication() {
    return WebApplicationKind() != wkNone;
}

bool IsGUIApplication() {
    return !IsWebApplication() && !IsConsoleApplication();
}

// ---- Responses ----

bool WriteWebResponse(const std::string& Page) {
    return WriteWebResponseAs(WebApplicationKind(), Page);
}

bool WriteWebResponseAs(TWebApplicationKind Kind, const std::string& Page) {
    const std::string header = WebResponseHeader(Page.size(), Kind == wkCGI || Kind == wkWinCGI);
    switch (Kind) {
    case wkISAPI:
        return WriteISAPIResponse(header, Page);
    case wkCGI:
        return WriteCGIResponse(header, Page);
    case wkWinCGI:
        return WriteWinCGIResponse(header, Page);
    default:
        return true;
    }
}

void ShowWebErrorPage(const std::string& Text) {
    const std::string message = ReportTexts.MessageHeading + Text;
    if (IsIntraWebApplication()) {
        IntraWebMessage = message;
        bool shown = false;
        // IntraWeb answers the request of the thread that raised.
        CallInRaisingThread([&shown] { shown = ShowIntraWebErrorPage(); });
        Report.ActionFlag = shown;
    } else if (IsWebApplication()) {
        std::string page = GenerateHTML(message, true);
        if (LowerCase(page).find(LowerCase(kHTMLOkButton)) == std::string::npos)
            page += kHTMLOkButton;
        Report.ActionFlag = WriteWebResponse(page);
    }
}

bool ShowIntraWebErrorPage() {
    try {
        const TIntraWebSlots& slots = IntraWebSlots;
        if (!slots.Application || !slots.ServerController) {
            SetLastCrashLogError(
                eeShowError,
                "IntraWeb: IntraWebApplication e/o IntraWebServerController are set to nil.");
            return false;
        }
        IntraWebMessage = EscapeHTML(IntraWebMessage);
        std::string page =
            ApplyHTMLLayout(IntraWebMessage + "<br>" + std::string(kIntraWebOkButtonTag));
        if (LowerCase(page).find(LowerCase(kIntraWebOkButtonTag)) == std::string::npos)
            page += kIntraWebOkButtonTag;

        if (!slots.TemplateDir) {
            RecordError("IntraWeb", "The server controller has no TemplateDir property.");
            return false;
        }
        const std::string templateDir = Trim(slots.TemplateDir(slots.ServerController));
        const std::string drive = ExtractFileDrive(templateDir);
        TStrings folders;
        const std::string temp = SystemTempFolder();
        if (!temp.empty() && LowerCase(ExtractFileDrive(temp)) == LowerCase(drive))
            folders.push_back(temp);
        // Without a drive "\Temp\" would lie on whatever drive is current, and an empty
        // folder would mean that drive's root.
        if (!drive.empty()) folders.push_back(drive + "\\Temp\\");
        if (!templateDir.empty()) folders.push_back(templateDir);

        std::string tried, saved;
        for (const std::string& folder : folders) {
            tried = IncludeLastBackslash(folder) + std::string(kIntraWebTemplateFileName);
            if (SaveTextToFile(page, tried)) {
                saved = tried;
                break;
            }
        }
        const std::string relative = saved.empty()
                                         ? std::string()
                                         : PathRelativeTo(IncludeLastBackslash(templateDir), saved);
        bool asked = false;
        if (slots.ShowMessage) {
            try {
                slots.ShowMessage(slots.Application, IntraWebMessage, 2, relative);
                asked = true;
            } catch (...) {
                // recorded below
            }
        }
        if (!asked) SetLastCrashLogError(eeShowError, "IntraWeb: Cannot show the error page.");
        if (saved.empty())
            SetLastCrashLogError(eeShowError,
                                 Format("IntraWeb: Cannot create the \"%s\" template.", {tried}));
        return true;
    } catch (...) {
        SetLastCrashLogErrorFromException(eeShowError, "IntraWeb");
        return false;
    }
}

} // namespace kv::crash
