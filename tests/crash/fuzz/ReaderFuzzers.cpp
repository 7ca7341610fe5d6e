#include "ReaderFuzzers.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "../support/CrashTestSupport.h"
#include "base/Stream.h"
#include "crash/core/ClCore.h"
#include "crash/core/ClZlib2.h"
#include "crash/dialogs/ClAppKind.h"
#include "crash/report/ClLogManager.h"
#include "crash/report/ClLogXML.h"
#include "crash/send/ClWebForms.h"
#include "crash/send/ClWebTools.h"
#include "crash/send/ClWebTrackers.h"

namespace kvtest {

namespace {

using namespace kv::crash;

std::string Bytes(const uint8_t* data, size_t size) {
    return size ? std::string(reinterpret_cast<const char*>(data), size) : std::string();
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

std::string Lowered(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), Lower);
    return out;
}

bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

std::string Quoted(std::string_view s) {
    return "\"" + std::string(s.substr(0, 80)) + (s.size() > 80 ? "...\"" : "\"");
}

// The folder the file readers work in, one per process.
const TempDir& Scratch() {
    static const TempDir dir("reader_fuzz");
    return dir;
}

// ---- Log file ----

constexpr const char* kItemIDs[] = {"1.1", "1.10", "2.2", "2.5", "2.6", "2.7", "3.1", "9.19"};

// afterChanges: items were set, and in a damaged report an item's value may have run over a
// table (the lines that follow an item line up to an empty one are its value).
std::string CheckLogFile(TLogFile& log, bool afterChanges = false) {
    for (int32_t i = 0; i < log.GetCount(); ++i) {
        const std::string report = log.GetItem(i);
        if (report.size() < 8 || report.compare(report.size() - 8, 8, "\r\n\r\n\r\n\r\n") != 0)
            return "report " + std::to_string(i) + " does not end with its break and end mark";
        if (!afterChanges && report.find("-\r\n|") == std::string::npos)
            return "report " + std::to_string(i) + " without a table";
        (void)log.GetLogVersion(i);
        (void)log.GetCorruptedLog(i);
        for (const char* id : kItemIDs) {
            const std::string value = log.GetItemValue(id, i);
            if (!value.empty() &&
                (IsBlankOrControl(value.front()) || IsBlankOrControl(value.back())))
                return std::string("item ") + id + " read untrimmed: " + Quoted(value);
        }
    }
    // Looked for in every report: once for each item of the last one.
    for (const char* id : kItemIDs)
        (void)log.FindItem({id}, {log.GetItemValue(id, log.GetCount() - 1)});
    if (!log.GetItem(log.GetCount()).empty() || !log.GetItem(-1).empty())
        return "a report out of range";
    return {};
}

} // namespace

std::string FuzzLogFile(const uint8_t* data, size_t size) {
    TLogFile log("", false);
    kv::TMemoryStream in(Bytes(data, size));
    log.LoadFromStream(in);
    if (std::string broken = CheckLogFile(log); !broken.empty()) return broken;

    // What is saved loads back as the same reports.
    kv::TMemoryStream saved;
    log.SaveToStream(saved);
    TLogFile again("", false);
    saved.SetPosition(0);
    again.LoadFromStream(saved);
    if (again.GetCount() != log.GetCount()) return "saved and loaded again: another count";
    for (int32_t i = 0; i < log.GetCount(); ++i)
        if (again.GetItem(i) != log.GetItem(i))
            return "saved and loaded again: report " + std::to_string(i) + " differs";

    // A changed item reads back starting with what was written (an item line without ": "
    // keeps no value; in a damaged report, lines after it may count as its continuation).
    for (int32_t i = 0; i < log.GetCount(); ++i) {
        for (const char* id : {"2.7", "1.10"}) {
            log.SetItemValue(id, "New value", "Caption", i);
            const std::string value = log.GetItemValue(id, i);
            if (!value.empty() && value.rfind("New value", 0) != 0)
                return std::string("item ") + id + " set, read " + Quoted(value);
        }
    }
    if (std::string broken = CheckLogFile(log, true); !broken.empty())
        return "after changes: " + broken;
    const int32_t count = log.GetCount();
    log.Append("CrashLog 6.1.04\r\n\r\n-\r\n|\r\n", 3);
    if (log.GetCount() != std::min(count + 1, 3)) return "appended with a limit of 3";
    log.DeleteItem(0);
    return {};
}

// ---- XML of stored reports ----

namespace {

// Pure printable ASCII in CR LF lines, and every element closed in order.
std::string CheckXML(const std::string& xml) {
    std::vector<std::string> open;
    for (size_t i = 0; i < xml.size(); ++i) {
        const char c = xml[i];
        if (c == '\r') {
            if (i + 1 >= xml.size() || xml[i + 1] != '\n') return "a CR without LF";
            ++i;
            continue;
        }
        if (c == '\n') return "an LF without CR";
        if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126)
            return "byte " + std::to_string(static_cast<unsigned char>(c)) + " in the XML";
        if (c == '>') return "a '>' outside a tag";
        if (c != '<') continue;
        const size_t end = xml.find('>', i);
        if (end == std::string::npos) return "a tag never closed";
        const std::string_view tag(xml.data() + i + 1, end - i - 1);
        // Attribute values hold no quote, "<" or ">": they are written as references.
        if (std::count(tag.begin(), tag.end(), '"') % 2 != 0 || tag.find('<') != tag.npos)
            return "a tag with a stray quote or '<': " + Quoted(tag);
        if (!tag.empty() && tag.front() == '/') {
            if (open.empty() || open.back() != tag.substr(1))
                return "closing " + Quoted(tag) + " out of order";
            open.pop_back();
        } else if (tag.empty() || tag.back() != '/') {
            open.emplace_back(tag.substr(0, tag.find(' ')));
        }
        i = end;
    }
    return open.empty() ? std::string() : "element " + open.back() + " never closed";
}

} // namespace

std::string FuzzLogXML(const uint8_t* data, size_t size) {
    const std::string report = Bytes(data, size);
    for (const std::string& password : {std::string(), std::string("secret")}) {
        const std::string xml = GetLogXML(report, password);
        if (xml.rfind("<Log Version=\"", 0) != 0 || xml.size() < 8 ||
            xml.compare(xml.size() - 8, 8, "</Log>\r\n") != 0)
            return "not one Log element: " + Quoted(xml);
        if (std::string broken = CheckXML(xml); !broken.empty()) return broken;
    }
    const std::string doc = GetXML({report, report}, "");
    if (std::string broken = CheckXML(doc); !broken.empty()) return "document: " + broken;
    for (const std::string& table :
         {GetCallStackSection(report), GetModulesSection(report), GetProcessesSection(report)})
        for (const TStrings& row : GetTableRows(table))
            for (const std::string& cell : row)
                if (cell.find("\r\n") != std::string::npos) return "a cell across lines";
    return {};
}

// ---- HTTP and FTP replies, redirects ----

std::string FuzzWebReplies(const uint8_t* data, size_t size) {
    const std::string text = Bytes(data, size);
    std::string_view trimmed = text;
    while (!trimmed.empty() && IsBlankOrControl(trimmed.front())) trimmed.remove_prefix(1);
    while (!trimmed.empty() && IsBlankOrControl(trimmed.back())) trimmed.remove_suffix(1);

    int32_t code = -1;
    if (ParseHTTPStatusCode(text, code) &&
        (code < 100 || code > 599 || std::to_string(code) != trimmed))
        return "status code " + std::to_string(code) + " from " + Quoted(text);

    if (IsWellFormedFTPReply(text) &&
        !(text.size() >= 3 &&
          std::all_of(text.begin(), text.begin() + 3, [](char c) { return c >= '0' && c <= '9'; })))
        return "an FTP reply without its code: " + Quoted(text);

    // The malformed reply's message: one line, the reply cut between characters.
    const std::string message = MalformedReplyMessage(text);
    const std::string_view prefix = "The server sent a malformed reply: \"";
    if (message.rfind(prefix, 0) != 0 || message.back() != '"')
        return "malformed-reply message " + Quoted(message);
    std::string_view quoted(message);
    quoted = quoted.substr(prefix.size(), quoted.size() - prefix.size() - 1);
    if (quoted.find_first_of("\r\n") != quoted.npos) return "malformed-reply message of two lines";
    if (quoted.size() > 3 && quoted.substr(quoted.size() - 3) == "..." &&
        quoted.size() - 3 <= kMaxQuotedReply && trimmed.size() > kMaxQuotedReply)
        quoted.remove_suffix(3);
    if (quoted.size() > kMaxQuotedReply) return "malformed-reply message too long";
    size_t at = 0;
    while (at < quoted.size()) at += AnsiCharSize(quoted, at);
    if (at != quoted.size()) return "malformed-reply message cut inside a character";

    const std::string refresh = RefreshURL(text);
    if (!refresh.empty() && Lowered(text).find("url=") == std::string::npos)
        return "refresh target " + Quoted(refresh);

    const TRequestTarget target = SplitRequestPath(text);
    if (!target.Folder.empty() && (target.Folder.front() != '/' || target.Folder.back() != '/'))
        return "request folder " + Quoted(target.Folder);
    if (target.Document.find_first_of("/?") != std::string::npos)
        return "request document " + Quoted(target.Document);
    if (!target.Query.empty() && target.Query.front() != '?')
        return "request query " + Quoted(target.Query);

    std::string protocol, user, password, host, path;
    uint16_t port = 0;
    if (ElaborateURL(text, protocol, user, password, host, path, port)) {
        if (!std::all_of(host.begin(), host.end(), [](char c) {
                return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.';
            }))
            return "host " + Quoted(host);
    }
    return {};
}

// ---- Tracker pages ----

namespace {

// The names the tracker clients look for, and the line the fuzzer chose.
constexpr const char* kFieldNames[] = {"summary",     "status",   "component", "bug_id",
                                       "description", "severity", "sTitle",    "handler_id"};

bool Inside(std::string_view part, std::string_view whole) {
    return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

std::string CheckName(std::string_view page, const std::string& lowPage, std::string_view name) {
    const std::string input = FindInputValue(page, name);
    const std::optional<std::string> first = FindFirstInputValue(page, name);
    if (!input.empty() && !first) return "a value of an input that is not there";
    (void)FindTextAreaText(page, name);
    if (const auto body = FindSelectBody(page, name)) {
        if (!Inside(*body, page)) return "a select body outside the page";
        const std::string selected = SelectedOptionValue(*body);
        if (!selected.empty() && Lowered(*body).find("selected") == std::string::npos)
            return "a selected option without the word";
        (void)OptionValueByTitle(*body, name);
        (void)OptionValueByTitle(*body, "Crash");
    }
    const std::string after = ValueAfterMarker(page, name);
    if (after.find_first_of(" \"&'<>\\") != std::string::npos || after != Lowered(after))
        return "value after a marker " + Quoted(after);
    if (ContainsText(page, name) != (lowPage.find(Lowered(name)) != std::string::npos))
        return "contains " + Quoted(name) + " answered wrongly";

    TStrings fields;
    TWebForm form(page, "page.php", fields);
    form.AddFieldValue(name);
    form.AddFieldByTextArea(name);
    form.AddFieldByDefaultList(name);
    form.AddFieldByDefaultList2(name);
    form.AddFieldByListTitle(name, "Crash");
    form.GetBugCountField(name);
    (void)form.IsSuccessfulSend("page.php", name, "error");
    const std::string prefix = std::string(name) + "=";
    for (const std::string& line : fields)
        if (line.compare(0, prefix.size(), prefix) != 0) return "field line " + Quoted(line);
    return {};
}

} // namespace

std::string FuzzWebForms(const uint8_t* data, size_t size) {
    const std::string bytes = Bytes(data, size);
    const size_t eol = std::min(bytes.find('\n'), bytes.size());
    const std::string name = bytes.substr(0, std::min<size_t>(eol, 64));
    const std::string_view page = std::string_view(bytes).substr(std::min(eol + 1, bytes.size()));

    if (DecodeHTMLReferences(page).size() > page.size()) return "decoding made the text longer";
    (void)GetHTMLAttribute(page.substr(0, 4096), name);
    const std::string lowPage = Lowered(page);
    if (!name.empty())
        if (std::string broken = CheckName(page, lowPage, name); !broken.empty()) return broken;
    for (const char* field : kFieldNames)
        if (std::string broken = CheckName(page, lowPage, field); !broken.empty())
            return std::string(field) + ": " + broken;
    return {};
}

// ---- Tracker clients ----

namespace {

// Answers each request with the next scripted reply; no reply left is a transport failure.
class TScriptedTracker final : public TTrackerConnection {
public:
    explicit TScriptedTracker(std::vector<std::string_view> replies)
        : replies_(std::move(replies)) {}

    void SetRequest(const std::string& webPage, TRequestMethod) override {
        fields_.clear();
        files_.clear();
        if (webPage.empty()) broken_ = "a request without a page";
    }
    TStrings& Fields() override { return fields_; }
    TStrings& Files() override { return files_; }
    bool SendRequest(bool) override {
        for (const TStrings* list : {&fields_, &files_})
            for (const std::string& line : *list)
                if (line.find('=') == std::string::npos) broken_ = "request line " + Quoted(line);
        response_.Clear();
        ++sent_;
        if (next_ >= replies_.size()) {
            response_.ErrorCode = 12029;
            return false;
        }
        const std::string_view reply = replies_[next_++];
        const size_t eol = std::min(reply.find('\n'), reply.size());
        response_.StatusCode = 200;
        response_.ReplayPage = reply.substr(0, eol);
        response_.HTML = reply.substr(std::min(eol + 1, reply.size()));
        return true;
    }
    const THTTPResponse& LastResponse() const override { return response_; }
    void SetSendState(TSendState, int) override {}

    std::string broken_;
    size_t sent_ = 0;

private:
    std::vector<std::string_view> replies_;
    size_t next_ = 0;
    TStrings fields_, files_;
    THTTPResponse response_;
};

} // namespace

std::string FuzzTrackerPages(const uint8_t* data, size_t size) {
    if (size == 0) return {};
    const std::string bytes = Bytes(data + 1, size - 1);
    std::vector<std::string_view> replies;
    for (size_t at = 0; at <= bytes.size();) {
        const size_t end = std::min(bytes.find('\x1E', at), bytes.size());
        replies.push_back(std::string_view(bytes).substr(at, end - at));
        at = end + 1;
    }
    TTrackerBug bug;
    bug.Version = "1.0";
    bug.BugType = "EAccessViolation";
    bug.BugText = "Access violation";
    bug.BugID = "OPEN41";
    bug.UserName = "kolvane";
    bug.Password = "secret";
    bug.ProjectName = "Kolvane";
    bug.Category = "Crash";
    bug.AssignTo = "Dev One";
    bug.AttachedFile = "BugReport.zip";
    bug.CustomFields = {"FogBugzTrialID=", "CL_OSType=Windows", "CL_OSBuild=7601",
                        "CL_ReproduceText=steps"};
    TScriptedTracker tracker(std::move(replies));
    const TSendResult result = data[0] % 3 == 0   ? PostMantisBug(tracker, bug)
                               : data[0] % 3 == 1 ? PostBugzillaBug(tracker, bug)
                                                  : PostFogBugzBug(tracker, bug);
    if (!tracker.broken_.empty()) return tracker.broken_;
    if (result > srInvalidModify) return "result " + std::to_string(result);
    if (tracker.sent_ > 16) return std::to_string(tracker.sent_) + " requests for one report";
    return {};
}

// ---- WinCGI request file ----

std::string FuzzWinCGIRequest(const uint8_t* data, size_t size) {
    const TempDir& dir = Scratch();
    const std::string request = WriteFile(dir, "request.ini", Bytes(data, size));
    const std::string output = WriteFile(dir, "output.htm", "");
    const bool methodNamed = Lowered(Bytes(data, size)).find("request method") != std::string::npos;

    // The output file named by the third parameter: the request method alone decides.
    const bool named = CheckWinCGIParams({request, "", output});
    if (named && !methodNamed) return "a WinCGI request without a request method";
    if (named && WinCGIOutputFile() != output) return "the third parameter's output file lost";

    const bool fromFile = CheckWinCGIParams({request});
    if (fromFile && (!named || WinCGIOutputFile().empty() || !FileExists(WinCGIOutputFile())))
        return "a WinCGI request whose output file is not there";
    return {};
}

// ---- Zip extraction ----

std::string FuzzZipExtraction(const uint8_t* data, size_t size) {
    // Fuzzed archives may claim more than this; the extraction must stop there.
    constexpr uint64_t kBound = 1 << 20;
    const TempDir& dir = Scratch();
    const std::string archive = WriteFile(dir, "archive.zip", Bytes(data, size));
    const std::filesystem::path out = dir.FsPath() / "out";
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out);

    (void)ExtractZipFiles(archive, AnsiPath(out), "pw", kBound);

    uintmax_t written = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(out))
        if (e.is_regular_file()) written += e.file_size();
    if (written > kBound) return "extracted " + std::to_string(written) + " bytes";
    for (const auto& e : std::filesystem::directory_iterator(dir.FsPath())) {
        const std::string name = e.path().filename().string();
        if (name != "out" && name != "archive.zip" && name != "request.ini" && name != "output.htm")
            return "an entry written outside the folder: " + name;
    }
    return {};
}

} // namespace kvtest
