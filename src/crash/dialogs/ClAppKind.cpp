#include "crash/dialogs/ClAppKind.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <random>

#include "crash/core/ClConsts.h"
#include "crash/core/ClCorePlatform.h"
#include "crash/core/TCrashModuleOptions.h"
#include "crash/report/ClReportRender.h"

namespace kv::crash {

namespace {

// Guards the WinCGI output file name and the page ID (pages are also made for the exported
// GenerateHTML, on any thread).
std::mutex g_stateLock;
std::string g_winCGIOutputFile;
std::string g_pageIDComment;
std::atomic<void*> g_serverECB{nullptr};

// The report's options; a fresh options object's outside a report when the component is not
// active.
const TCrashModuleOptions& PageOptions() {
    static const TCrashModuleOptions defaults{std::string()};
    if (Report.Options) return *Report.Options;
    try {
        return *CurrentCrashLogOptions();
    } catch (...) {
        return defaults; // the component is not active
    }
}

uint32_t RandomPageID() {
    // Seeded once from the system's entropy and the clock: MinGW's random_device has been
    // deterministic in older runtimes.
    static std::mt19937 generator(
        std::random_device{}() ^
        static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    return static_cast<uint32_t>(generator());
}

bool HasWildcard(std::string_view name) {
    return name.find_first_of("*?") != std::string_view::npos;
}

} // namespace

TIntraWebSlots IntraWebSlots;
std::string IntraWebMessage;

// ---- State ----

std::string WinCGIOutputFile() {
    const std::lock_guard<std::mutex> lock(g_stateLock);
    return g_winCGIOutputFile;
}

std::string LastPageIDComment() {
    const std::lock_guard<std::mutex> lock(g_stateLock);
    return g_pageIDComment;
}

void SetISAPIServerECB(void* ECB) {
    g_serverECB = ECB;
}

void* ISAPIServerECB() {
    return g_serverECB;
}

// ---- Application kinds ----

bool IsCGIApplication() {
    std::string value;
    return IsConsoleApplication() && detail::GetEnvRaw("REQUEST_METHOD", value);
}

bool IsWinCGIApplication() {
    return !IsConsoleApplication() && CheckWinCGIParams(ParamStrings());
}

bool CheckWinCGIParams(const TStrings& Params) {
    if (Params.empty() || Params[0].empty() || HasWildcard(Params[0])) return false;
    // A full name: the profile routines would look for a bare name in their own folder.
    const std::string ini = detail::FullPathName(Params[0]);
    // FileExists first: the size is read through a directory search.
    if (!FileExists(ini) || !IsReadableFile(ini) || GetFileSizeByName(ini) > kMaxWinCGIIniSize)
        return false;
    // Read in place: ReadString wants a writable file and would move a read-only request
    // file to the component's own folder.
    if (detail::ProfileRead(ini, "CGI", "Request Method", "").empty()) return false;
    std::string output = Params.size() > 2 ? Params[2] : std::string();
    if (output.empty()) output = detail::ProfileRead(ini, "System", "Output File", "");
    {
        const std::lock_guard<std::mutex> lock(g_stateLock);
        g_winCGIOutputFile = output;
    }
    return !output.empty() && FileExists(output);
}

bool IsIntraWebApplication() {
    return IntraWebSlots.ServerController != nullptr;
}

// ---- The error page ----

std::string GenerateHTML(std::string_view Text, bool OkButton) {
    std::string body = EscapeHTML(Text);
    if (OkButton) body += kHTMLOkButton;
    return ApplyHTMLLayout(body);
}

std::string ApplyHTMLLayout(std::string_view Body) {
    const TCrashModuleOptions& options = PageOptions();
    std::string layout = options.HTMLLayout();
    if (Trim(layout).empty()) layout = kDefaultHTMLLayout;

    // Any case of the placeholder counts, but only its first occurrence.
    const std::string lower = LowerCase(layout);
    const size_t tag = lower.find(LowerCase(kHTMLTag));
    if (tag != std::string::npos) layout.replace(tag, kHTMLTag.size(), kHTMLTag);

    const size_t open = lower.find("<title>");
    const size_t close = lower.find("</title>");
    if (open == std::string::npos || close == std::string::npos || close < open)
        layout = Format(kHTMLTitleFormat, {options.GetCustomizedExpandedTexts(mtDialog_Caption)}) +
                 layout;

    std::string comment;
    {
        const std::lock_guard<std::mutex> lock(g_stateLock);
        g_pageIDComment = Format(kHTMLIDCommentFormat, {IntToHex(RandomPageID(), 8)});
        comment = g_pageIDComment;
    }
    return QuickStringReplace(layout, kHTMLTag, Body) + comment;
}

std::string WebResponseHeader(size_t PageBytes, bool WithStatus) {
    std::string header;
    if (WithStatus) header = "Status: 200 Error\r\n";
    header += "Content-Type: text/html\r\nContent-Length: " +
              IntToStr(static_cast<long long>(PageBytes)) + "\r\nContent:\r\n\r\n";
    return header;
}

bool SaveTextToFile(std::string_view Text, const std::string& FileName) {
    const std::string folder = ExcludeLastBackslash(ExtractFilePath(FileName));
    if (!folder.empty() && !DirectoryExists(folder)) detail::CreateDir(folder);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
        std::fopen(detail::NativeFileName(FileName).c_str(), "wb"), &std::fclose);
    if (!file) return false;
    const size_t written = Text.empty() ? 0 : std::fwrite(Text.data(), 1, Text.size(), file.get());
    // Buffered bytes that cannot be written show up only when the file is closed.
    return std::fclose(file.release()) == 0 && written == Text.size();
}

} // namespace kv::crash
