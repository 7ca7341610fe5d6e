// The bug-tracker clients end to end against the bench's stand-ins of Mantis, Bugzilla and
// FogBugz (scripts/net-peers.d/trackers.py), which record every request they get into
// trackers-<port>.log in KOLVANE_NET_PEERS_WIN.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../support/CrashTestSupport.h"
#include "crash/send/ClWebTrackers.h"

#include "NetTestSupport.h"

namespace {

using namespace kv::crash;

using kvtest::PeersFolder;
using kvtest::ReadAll;

std::filesystem::path TrackerLog(uint16_t port) {
    return PeersFolder() / ("trackers-" + std::to_string(port) + ".log");
}

// The progress notifications of the last connection.
std::vector<TSendState> g_states;

class TRecordingConnection : public THTTPConnectionBase {
public:
    using THTTPConnectionBase::THTTPConnectionBase;
    void SetSendState(TSendState State, int) override { g_states.push_back(State); }
};

struct TCase {
    const char* label;
    THTTPSendReportClass client;
    uint16_t port;
    const char* url;
    const char* bugID;
    const char* password;
    TSendResult expected;
    std::vector<const char*> present; // log lines (or line starts) of this run
    std::vector<const char*> absent;
};

// The line of text starting with start; empty when there is none.
std::string LineStarting(const std::string& text, const std::string& start) {
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(start, 0) == 0) return line;
    return {};
}

TEST(ClWebTrackers, EndToEnd) {
    ASSERT_FALSE(PeersFolder().empty()) << "run through scripts/net-run.sh";
    kvtest::TempDir dir("trackers");
    std::string zip;
    for (int i = 0; i < 2500; ++i) zip += static_cast<char>(i * 13 + 5);
    {
        std::ofstream out(dir.FsPath() / "report.zip", std::ios::binary);
        out << zip;
    }
    const std::string zipPath = dir.Ansi("report.zip");
    const TStrings custom = {"severity=80", "FogBugzTrialID=", "CL_OSType=Windows 7",
                             "CL_OSBuild=7601", "CL_ReproduceText=Click"};

    const TCase kCases[] = {
        {"Mantis new issue",
         &CreateSendReport<THTTPMantisSendReport>,
         8181,
         "http://127.0.0.1:8181/mantis/",
         "NEW1",
         "secret",
         srOK,
         {"== POST /mantis/bug_report.php cookie=1",
          "field summary=[v1.0 - 1]: EAccessViolation (NEW1)", "field handler_id=3",
          "field category_id=2", "field project_id=5", "field bug_report_token=20240101abc",
          "field severity=80", "field os=Windows 7", "field steps_to_reproduce=Click",
          "file file=report.zip 2500 "},
         {}},
        {"Mantis count 41 to 42",
         &CreateSendReport<THTTPMantisSendReport>,
         8181,
         "http://127.0.0.1:8181/mantis/",
         "OPEN41",
         "secret",
         srOK,
         {"== POST /mantis/bug_update.php cookie=1",
          "field summary=[v1.0 - 42]: EAccessViolation (OPEN41)", "field bug_id=41",
          "field description=Old & text", "field bug_update_token=upd77",
          "== GET /mantis/view.php?id=41 cookie=1"},
         {}},
        {"Mantis closed issue",
         &CreateSendReport<THTTPMantisSendReport>,
         8181,
         "http://127.0.0.1:8181/mantis/",
         "CLOSED",
         "secret",
         srBugClosed,
         {"== GET /mantis/bug_update_page.php?", "field bug_id=80"},
         {"== POST /mantis/bug_update.php"}},
        {"Mantis bad login",
         &CreateSendReport<THTTPMantisSendReport>,
         8181,
         "http://127.0.0.1:8181/mantis/",
         "NEW1",
         "wrong",
         srInvalidLogin,
         {"== GET /mantis/login_page.php?error=1"},
         {"== POST /mantis/set_project.php"}},
        {"Bugzilla new issue, version not listed",
         &CreateSendReport<THTTPBugzillaSendReport>,
         8182,
         "http://127.0.0.1:8182/bugzilla/",
         "NEW1",
         "secret",
         srOK,
         {"== POST /bugzilla/post_bug.cgi cookie=1", "field version=0.9",
          "field short_desc=[v1.0 - 1]: EAccessViolation (NEW1)",
          "field comment=Access violation\\r\\n\\r\\n---\\r\\n\\r\\nClick",
          "== POST /bugzilla/attachment.cgi cookie=1", "field bugid=24",
          "file data=report.zip 2500 "},
         {}},
        {"Bugzilla count 41 to 42",
         &CreateSendReport<THTTPBugzillaSendReport>,
         8182,
         "http://127.0.0.1:8182/bugzilla/",
         "OPEN41",
         "secret",
         srOK,
         {"== POST /bugzilla/process_bug.cgi cookie=1",
          "field short_desc=[v1.0 - 42]: EAccessViolation (OPEN41)", "field token=bz-token"},
         {}},
        {"Bugzilla closed issue",
         &CreateSendReport<THTTPBugzillaSendReport>,
         8182,
         "http://127.0.0.1:8182/bugzilla/",
         "CLOSED",
         "secret",
         srBugClosed,
         {"== GET /bugzilla/show_bug.cgi?id=80"},
         {"== POST /bugzilla/process_bug.cgi"}},
        {"FogBugz new issue",
         &CreateSendReport<THTTPFogBugzSendReport>,
         8183,
         "http://127.0.0.1:8183/fogbugz/",
         "NEW1",
         "secret",
         srOK,
         {"== POST /fogbugz/default.asp?pre=preSubmitBug&sActionToken=tk5 cookie=1",
          "field ixProject=2", "field ixArea=7", "field ixPersonAssignedTo=5", "field nFileCount=1",
          "field sComputer=PC1", "file File1=report.zip 2500 "},
         {"field ID="}},
        {"FogBugz count 41 to 42",
         &CreateSendReport<THTTPFogBugzSendReport>,
         8183,
         "http://127.0.0.1:8183/fogbugz/",
         "OPEN41",
         "secret",
         srOK,
         {"== POST /fogbugz/default.asp?pre=preSubmitBug&sActionToken=tk6 cookie=1",
          "field sTitle=[v1.0 - 42]: EAccessViolation (OPEN41)", "field ixBug=41"},
         {}},
        {"FogBugz bad login",
         &CreateSendReport<THTTPFogBugzSendReport>,
         8183,
         "http://127.0.0.1:8183/fogbugz/",
         "NEW1",
         "wrong",
         srInvalidLogin,
         {"field sPassword=wrong"},
         {"field pre=preSearch"}},
    };
    for (const TCase& c : kCases) {
        const size_t logStart = ReadAll(TrackerLog(c.port)).size();
        g_states.clear();
        THTTPResponse response;
        const TSendResult result = SendWebTrakerReport(
            &CreateHTTPConnection<TRecordingConnection>, c.client, "1.0", "EAccessViolation",
            "Access violation", c.bugID, c.url, "", "kolvane", c.password, "Kolvane", "Crash",
            "Dev One", zipPath, custom, response);
        EXPECT_EQ(static_cast<int>(result), static_cast<int>(c.expected))
            << c.label << " (HTTP " << response.StatusCode << ", " << response.ErrorCode << " "
            << response.ErrorMessage << ")";
        const std::string log = ReadAll(TrackerLog(c.port)).substr(logStart);
        for (const char* line : c.present)
            EXPECT_FALSE(LineStarting(log, line).empty()) << c.label << ": " << line;
        for (const char* line : c.absent)
            EXPECT_TRUE(LineStarting(log, line).empty()) << c.label << ": " << line;
        // The attached zip arrives byte for byte.
        const std::string fileLine = LineStarting(log, "file ");
        if (!fileLine.empty()) {
            const std::string saved = fileLine.substr(fileLine.rfind(' ') + 1);
            EXPECT_EQ(ReadAll(PeersFolder() / saved), zip) << c.label;
        }
        // The connection was opened, logged in and closed.
        ASSERT_GE(g_states.size(), 4u) << c.label;
        EXPECT_EQ(g_states.front(), ssConnecting) << c.label;
        EXPECT_NE(std::find(g_states.begin(), g_states.end(), ssLogin), g_states.end()) << c.label;
        EXPECT_EQ(g_states[g_states.size() - 2], ssDisconnecting) << c.label;
        EXPECT_EQ(g_states.back(), ssDisconnected) << c.label;
    }
}

} // namespace
