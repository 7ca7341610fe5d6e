#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "crash/send/ClWebTrackers.h"

namespace {

using namespace kv::crash;

// One scripted reply: the document name and HTML of the page, or a transport failure (null page).
struct TReply {
    const char* page;
    const char* html;
};

// Answers each request with the next scripted page and records what was sent.
class TScriptedConnection final : public TTrackerConnection {
public:
    struct TRequest {
        std::string page;
        TRequestMethod method;
        TStrings fields;
        TStrings files;
        bool updateStatus;
    };

    explicit TScriptedConnection(std::vector<TReply> replies) : replies_(std::move(replies)) {}

    void SetRequest(const std::string& webPage, TRequestMethod method) override {
        current_ = TRequest{webPage, method, {}, {}, false};
    }
    TStrings& Fields() override { return current_.fields; }
    TStrings& Files() override { return current_.files; }
    bool SendRequest(bool updateStatus) override {
        current_.updateStatus = updateStatus;
        Sent.push_back(current_);
        response_.Clear();
        if (next_ >= replies_.size() || replies_[next_].page == nullptr) {
            ++next_;
            response_.ErrorCode = 12029;
            return false;
        }
        response_.StatusCode = 200;
        response_.ReplayPage = replies_[next_].page;
        response_.HTML = replies_[next_].html;
        ++next_;
        return true;
    }
    const THTTPResponse& LastResponse() const override { return response_; }
    void SetSendState(TSendState state, int) override { States.push_back(state); }

    std::vector<TRequest> Sent;
    std::vector<TSendState> States;

private:
    std::vector<TReply> replies_;
    size_t next_ = 0;
    TRequest current_{};
    THTTPResponse response_;
};

TTrackerBug Bug() {
    TTrackerBug bug;
    bug.Version = "1.0";
    bug.BugType = "EAccessViolation";
    bug.BugText = "Access violation";
    bug.BugID = "ABCD";
    bug.UserName = "kolvane";
    bug.Password = "secret";
    bug.ProjectName = "Kolvane";
    bug.Category = "Crash";
    bug.AssignTo = "Dev One";
    bug.AttachedFile = "report.zip";
    bug.CustomFields = {"FogBugzTrialID=", "CL_OSType=Windows 7", "CL_OSBuild=7601",
                        "CL_ReproduceText=Click"};
    return bug;
}

// A field line sent in the request to page ("page name=value"), or not.
struct TCase {
    const char* label;
    TSendResult (*client)(TTrackerConnection&, const TTrackerBug&);
    void (*adjust)(TTrackerBug&); // null: the default bug
    std::vector<TReply> replies;
    TSendResult expected;
    const char* pages;                // the requests' pages, joined by "|"
    std::vector<const char*> present; // "page name=value" lines that must have been sent
    std::vector<const char*> absent;  // "page name" prefixes that must not have been sent
};

bool SentLine(const TScriptedConnection& c, std::string_view page, std::string_view line) {
    return std::any_of(c.Sent.begin(), c.Sent.end(), [&](const auto& r) {
        if (r.page != page) return false;
        const auto has = [&](const TStrings& list) {
            return std::find(list.begin(), list.end(), line) != list.end();
        };
        return has(r.fields) || has(r.files);
    });
}

bool SentName(const TScriptedConnection& c, std::string_view page, std::string_view name) {
    return std::any_of(c.Sent.begin(), c.Sent.end(), [&](const auto& r) {
        return r.page == page && std::any_of(r.fields.begin(), r.fields.end(), [&](auto& l) {
                   return l.rfind(std::string(name) + "=", 0) == 0;
               });
    });
}

void RunCases(const std::vector<TCase>& cases) {
    for (const TCase& c : cases) {
        TTrackerBug bug = Bug();
        if (c.adjust) c.adjust(bug);
        TScriptedConnection connection(c.replies);
        EXPECT_EQ(c.client(connection, bug), c.expected) << c.label;
        std::string pages;
        for (const auto& r : connection.Sent) pages += (pages.empty() ? "" : "|") + r.page;
        EXPECT_EQ(pages, c.pages) << c.label;
        for (const char* p : c.present) {
            const std::string_view s(p);
            const size_t blank = s.find(' ');
            EXPECT_TRUE(SentLine(connection, s.substr(0, blank), s.substr(blank + 1)))
                << c.label << ": " << p;
        }
        for (const char* p : c.absent) {
            const std::string_view s(p);
            const size_t blank = s.find(' ');
            EXPECT_FALSE(SentName(connection, s.substr(0, blank), s.substr(blank + 1)))
                << c.label << ": " << p;
        }
        // The last request that files or updates goes out with progress.
        if (c.expected == srOK && !connection.Sent.empty() &&
            connection.Sent.back().method == rmBinaryPOST) {
            EXPECT_TRUE(connection.Sent.back().updateStatus) << c.label;
        }
    }
}

// ---- Mantis ----

constexpr TReply kMantisLogin{"login_select_proj_page.php",
                              "<select name=\"project_id\"><option value=\"1\">Other</option>"
                              "<option value=\"5\">Kolvane</option></select>"};
constexpr TReply kMantisBadLogin{"login_page.php", "<input name=\"username\">"};
constexpr TReply kMantisMyView{"my_view_page.php",
                               "<select name=\"project_id\"><option value=\"5\" "
                               "selected>Kolvane</option></select>"
                               "<a href=\"bug_report_page.php\">Report</a>"};
constexpr TReply kMantisOtherProject{"my_view_page.php",
                                     "<select name=\"project_id\"><option value=\"1\" "
                                     "selected>Other</option></select>"};
constexpr TReply kMantisNoProjects{"my_view_page.php", "<a href=\"bug_report_page.php\">R</a>"};
constexpr TReply kMantisNothingFound{"view_all_bug_page.php",
                                     "<input type=\"submit\" name=\"reset_query_button\">"};
constexpr TReply kMantisFound{"view_all_bug_page.php",
                              "<input name=\"source_query_id\"><a "
                              "href=\"bug_update_page.php?bug_id=17\">17</a>"};
constexpr TReply kMantisReportPage{
    "bug_report_advanced_page.php",
    "<input name=\"file\" type=\"file\"><input type=\"hidden\" name=\"m_id\" value=\"0\">"
    "<input type=\"hidden\" name=\"project_id\" value=\"5\">"
    "<select name=\"handler_id\"><option value=\"0\" selected></option>"
    "<option value=\"3\">Dev One</option></select>"
    "<select name=\"category\"><option value=\"Crash\">Crash</option></select>"
    "<select name=\"severity\"><option value=\"10\">feature</option>"
    "<option value=\"50\" selected>minor</option></select>"
    "<select name=\"priority\"><option value=\"30\" selected>normal</option></select>"
    "<input name=\"platform\" value=\"PC\"><input name=\"bug_report_token\" value=\"tok1\">"
    "<select name=\"category_id\"><option value=\"2\">Crash</option></select>"};
constexpr TReply kMantisReported{"bug_report.php", "<a href=\"view.php?id=18\">18</a>"};

// The update page with a title count and a status.
#define MANTIS_UPDATE_PAGE(count, status)                                                          \
    TReply {                                                                                       \
        "bug_update_page.php",                                                                     \
            "<input name=\"summary\" value=\"[v1.0 - " count "]: EAccessViolation (ABCD)\">"       \
            "<select name=\"severity\"><option value=\"50\" selected>minor</option></select>"      \
            "<select name=\"status\"><option value=\"" status "\" selected>s</option></select>"    \
            "<textarea name=\"description\">Old &amp; text</textarea>"                             \
            "<input name=\"bug_update_token\" value=\"tok2\">"                                     \
    }

TEST(ClWebTrackers, Mantis) {
    RunCases({
        {"login refused",
         PostMantisBug,
         nullptr,
         {kMantisBadLogin},
         srInvalidLogin,
         "login.php",
         {"login.php username=kolvane", "login.php password=secret",
          "login.php return=login_select_proj_page.php"},
         {}},
        {"login fails in transport",
         PostMantisBug,
         nullptr,
         {{nullptr, ""}},
         srInvalidLogin,
         "login.php",
         {},
         {}},
        {"project not selected",
         PostMantisBug,
         nullptr,
         {kMantisLogin, kMantisOtherProject},
         srInvalidSelection,
         "login.php|set_project.php",
         {"set_project.php project_id=5"},
         {}},
        {"search fails",
         PostMantisBug,
         nullptr,
         {kMantisLogin, kMantisMyView, {"x.php", ""}},
         srInvalidSearch,
         "login.php|set_project.php|view_all_set.php?f=3",
         {"view_all_set.php?f=3 search=EAccessViolation (ABCD)"},
         {}},
        {"new issue filed",
         PostMantisBug,
         [](TTrackerBug& b) { b.CustomFields.insert(b.CustomFields.begin(), "severity=80"); },
         {kMantisLogin, kMantisMyView, kMantisNothingFound, kMantisReportPage, kMantisReported},
         srOK,
         "login.php|set_project.php|view_all_set.php?f=3|bug_report_advanced_page.php|"
         "bug_report.php",
         {"bug_report.php handler_id=3", "bug_report.php category=Crash",
          "bug_report.php category_id=2", "bug_report.php project_id=5",
          "bug_report.php severity=80", "bug_report.php priority=30", "bug_report.php platform=PC",
          "bug_report.php os=Windows 7", "bug_report.php os_build=7601", "bug_report.php build=1.0",
          "bug_report.php summary=[v1.0 - 1]: EAccessViolation (ABCD)",
          "bug_report.php steps_to_reproduce=Click", "bug_report.php bug_report_token=tok1",
          "bug_report.php file=report.zip"},
         {}},
        {"without a project list the project counts as selected",
         PostMantisBug,
         nullptr,
         {kMantisNoProjects, kMantisNothingFound, {"bug_report_advanced_page.php", "no form"}},
         srInvalidInsert,
         "login.php|view_all_set.php?f=3|bug_report_advanced_page.php",
         {},
         {}},
        {"count 41 becomes 42",
         PostMantisBug,
         nullptr,
         {kMantisLogin,
          kMantisMyView,
          kMantisFound,
          MANTIS_UPDATE_PAGE("41", "50"),
          {"view.php", "<a href=\"view.php?id=17\">"}},
         srOK,
         "login.php|set_project.php|view_all_set.php?f=3|bug_update_page.php|bug_update.php",
         {"bug_update_page.php bug_id=17", "bug_update.php bug_id=17",
          "bug_update.php summary=[v1.0 - 42]: EAccessViolation (ABCD)",
          "bug_update.php description=Old & text", "bug_update.php bug_update_token=tok2",
          "bug_update.php build=1.0"},
         {}},
        {"closed issue",
         PostMantisBug,
         nullptr,
         {kMantisLogin, kMantisMyView, kMantisFound, MANTIS_UPDATE_PAGE("41", "80")},
         srBugClosed,
         "login.php|set_project.php|view_all_set.php?f=3|bug_update_page.php",
         {},
         {}},
        {"resolved-closed issue",
         PostMantisBug,
         nullptr,
         {kMantisLogin, kMantisMyView, kMantisFound, MANTIS_UPDATE_PAGE("3", "90")},
         srBugClosed,
         "login.php|set_project.php|view_all_set.php?f=3|bug_update_page.php",
         {},
         {}},
        {"count at 9999",
         PostMantisBug,
         nullptr,
         {kMantisLogin, kMantisMyView, kMantisFound, MANTIS_UPDATE_PAGE("9999", "80")},
         srOK,
         "login.php|set_project.php|view_all_set.php?f=3|bug_update_page.php",
         {},
         {}},
        {"update page without its form",
         PostMantisBug,
         nullptr,
         {kMantisLogin, kMantisMyView, kMantisFound, {"bug_update_page.php", "<p>"}},
         srInvalidModify,
         "login.php|set_project.php|view_all_set.php?f=3|bug_update_page.php",
         {},
         {}},
    });
}

// ---- Bugzilla ----

constexpr TReply kBzLogin{"enter_bug.cgi", "<a href=\"index.cgi?logout=1\">Log out</a>"};
constexpr TReply kBzNothingFound{"buglist.cgi", "<a href=\"query.cgi?format=advanced\">"};
constexpr TReply kBzFound{"buglist.cgi",
                          "<a href=\"query.cgi?x\"><a href=\"show_bug.cgi?id=23\">23</a>"};
#define BZ_ENTER_PAGE(versions)                                                                    \
    TReply {                                                                                       \
        "enter_bug.cgi",                                                                           \
            "<form action=\"post_bug.cgi\"><input name=\"product\" value=\"Kolvane\">"             \
            "<select name=\"version\">" versions "</select>"                                       \
            "<select name=\"rep_platform\"><option value=\"PC\" "                                  \
            "selected>PC</option></select>"                                                        \
            "<script>components[0] = \"Crash\";</script>"                                          \
    }
constexpr TReply kBzPosted{"post_bug.cgi",
                           "<input name=\"id\" value=\"24\"><a href=\"show_bug.cgi?id=24\">"};
constexpr TReply kBzAttached{"attachment.cgi", "<a href=\"attachment.cgi?id=9\">"};
#define BZ_SHOW_PAGE(count, extra)                                                                 \
    TReply {                                                                                       \
        "show_bug.cgi", "<input name=\"form_name\" value=\"process_bug\">"                         \
                        "<input name=\"short_desc\" value=\"[v1.0 - " count "]: E (ABCD)\">"       \
                        "<input name=\"id\" value=\"23\"><input name=\"token\" value=\"t9\">"      \
                        "<textarea name=\"comment\"></textarea>" extra                             \
    }

TEST(ClWebTrackers, Bugzilla) {
    RunCases({
        {"login refused",
         PostBugzillaBug,
         nullptr,
         {{"enter_bug.cgi", "Invalid login"}},
         srInvalidLogin,
         "enter_bug.cgi",
         {"enter_bug.cgi Bugzilla_login=kolvane", "enter_bug.cgi Bugzilla_password=secret"},
         {}},
        {"search fails",
         PostBugzillaBug,
         nullptr,
         {kBzLogin, {"buglist.cgi", "error"}},
         srInvalidSearch,
         "enter_bug.cgi|buglist.cgi",
         {"buglist.cgi content= (ABCD)", "buglist.cgi bug_status=__all__",
          "buglist.cgi order=relevance desc", "buglist.cgi product=Kolvane"},
         {}},
        {"product page without its form",
         PostBugzillaBug,
         nullptr,
         {kBzLogin, kBzNothingFound, {"enter_bug.cgi", "<p>"}},
         srInvalidSelection,
         "enter_bug.cgi|buglist.cgi|enter_bug.cgi",
         {},
         {}},
        {"new issue, version listed",
         PostBugzillaBug,
         nullptr,
         {kBzLogin, kBzNothingFound,
          BZ_ENTER_PAGE("<option value=\"0.9\" selected>0.9</option><option "
                        "value=\"1.0\">1.0</option>"),
          kBzPosted, kBzAttached},
         srOK,
         "enter_bug.cgi|buglist.cgi|enter_bug.cgi|post_bug.cgi|attachment.cgi",
         {"post_bug.cgi version=1.0", "post_bug.cgi component=Crash",
          "post_bug.cgi rep_platform=PC", "post_bug.cgi assigned_to=Dev One",
          "post_bug.cgi short_desc=[v1.0 - 1]: EAccessViolation (ABCD)",
          "post_bug.cgi comment=Access violation\r\n\r\n---\r\n\r\nClick",
          "post_bug.cgi form_name=enter_bug", "attachment.cgi bugid=24",
          "attachment.cgi data=report.zip", "attachment.cgi flag_type-4=X"},
         {}},
        {"version not listed: the selected one",
         PostBugzillaBug,
         [](TTrackerBug& b) { b.AssignTo.clear(); },
         {kBzLogin,
          kBzNothingFound,
          BZ_ENTER_PAGE("<option value=\"0.8\">0.8</option><option value=\"0.9\" "
                        "selected>0.9</option>"),
          kBzPosted,
          {"attachment.cgi", "no"}},
         srInvalidInsert,
         "enter_bug.cgi|buglist.cgi|enter_bug.cgi|post_bug.cgi|attachment.cgi",
         {"post_bug.cgi version=0.9", "post_bug.cgi assigned_to=kolvane"},
         {}},
        {"count 41 becomes 42",
         PostBugzillaBug,
         nullptr,
         {kBzLogin,
          kBzFound,
          BZ_SHOW_PAGE("41", ""),
          {"process_bug.cgi", "<a href=\"show_bug.cgi?id=23\">"}},
         srOK,
         "enter_bug.cgi|buglist.cgi|show_bug.cgi|process_bug.cgi",
         {"show_bug.cgi id=23", "process_bug.cgi short_desc=[v1.0 - 42]: E (ABCD)",
          "process_bug.cgi id=23", "process_bug.cgi token=t9",
          "process_bug.cgi bug_file_loc=", "process_bug.cgi knob=none"},
         {}},
        {"closed issue",
         PostBugzillaBug,
         nullptr,
         {kBzLogin, kBzFound, BZ_SHOW_PAGE("41", "<input type=radio value=\"REOPEN\">")},
         srBugClosed,
         "enter_bug.cgi|buglist.cgi|show_bug.cgi",
         {},
         {}},
        {"count at 9999",
         PostBugzillaBug,
         nullptr,
         {kBzLogin, kBzFound, BZ_SHOW_PAGE("9999", "")},
         srOK,
         "enter_bug.cgi|buglist.cgi|show_bug.cgi",
         {},
         {}},
    });
}

// ---- FogBugz ----

constexpr TReply kFbLogin{"default.asp", "<a href=\"default.asp?pre=preLogOff\">Log off</a>"};
constexpr TReply kFbNothingFound{"default.asp", "<a href=\"default.asp?searchFor=x\">"};
constexpr TReply kFbFound{"default.asp", "<a href=\"default.asp?searchFor=x\">"
                                         "<a href=\"default.asp?pgx=EV&amp;ixBug=31\">31</a>"};
constexpr TReply kFbNewPage{
    "default.asp",
    "<form action=\"default.asp?pre=preSubmitBug&sActionToken=tk5\">"
    "<input name=\"command\" value=\"new\"><input name=\"sComputer\" value=\"PC1\">"
    "<select name=\"ixProject\"><option value=\"1\">Inbox</option>"
    "<option value=\"2\">Kolvane</option></select>"
    "<select name=\"ixArea\"><option value=\"7\">Kolvane: Crash</option></select>"
    "<select name=\"ixPersonAssignedTo\"><option value=\"4\" selected>Nobody</option>"
    "<option value=\"5\">Dev One</option></select>"};
constexpr TReply kFbResolve{"default.asp", "<a href=\"default.asp?command=resolve\">"};
#define FB_EDIT_PAGE(count, extra)                                                                 \
    TReply {                                                                                       \
        "default.asp", "<form action=\"default.asp?pre=preSubmitBug&sActionToken=tk6\">"           \
                       "<input name=\"OK\" value=\"OK\">"                                          \
                       "<input name=\"sTitle\" value=\"[v1.0 - " count "]: E (ABCD)\">"            \
                       "<select name=\"ixPriority\"><option value=\"3\" selected>3</option>"       \
                       "</select><textarea name=\"sEvent\"></textarea>" extra                      \
    }

TEST(ClWebTrackers, FogBugz) {
    RunCases({
        {"no trial id: no ID field",
         PostFogBugzBug,
         nullptr,
         {{"default.asp", "Bad"}},
         srInvalidLogin,
         "default.asp",
         {"default.asp sPerson=kolvane", "default.asp pre=preLogon", "default.asp dest="},
         {"default.asp ID"}},
        {"trial id sent",
         PostFogBugzBug,
         [](TTrackerBug& b) {
             // A user field of that name does not stand in for the sender's own entry.
             b.CustomFields.insert(b.CustomFields.begin(), "FogBugzTrialID=user");
             b.CustomFields[1] = "FogBugzTrialID=T-77";
         },
         {kFbLogin, {"default.asp", "no search"}},
         srInvalidSearch,
         "default.asp|default.asp",
         {"default.asp ID=T-77", "default.asp searchFor=EAccessViolation (ABCD)"},
         {}},
        {"new issue",
         PostFogBugzBug,
         nullptr,
         {kFbLogin, kFbNothingFound, kFbNewPage, kFbResolve},
         srOK,
         "default.asp|default.asp|default.asp|default.asp?pre=preSubmitBug&sActionToken=tk5",
         {"default.asp command=new", "default.asp pg=pgEditBug",
          "default.asp?pre=preSubmitBug&sActionToken=tk5 ixProject=2",
          "default.asp?pre=preSubmitBug&sActionToken=tk5 ixArea=7",
          "default.asp?pre=preSubmitBug&sActionToken=tk5 ixPersonAssignedTo=5",
          "default.asp?pre=preSubmitBug&sActionToken=tk5 sComputer=PC1",
          "default.asp?pre=preSubmitBug&sActionToken=tk5 nFileCount=1",
          "default.asp?pre=preSubmitBug&sActionToken=tk5 File1=report.zip",
          "default.asp?pre=preSubmitBug&sActionToken=tk5 sVersion=1.0"},
         {}},
        {"count 41 becomes 42",
         PostFogBugzBug,
         nullptr,
         {kFbLogin, kFbFound, FB_EDIT_PAGE("41", ""), kFbResolve},
         srOK,
         "default.asp|default.asp|default.asp|default.asp?pre=preSubmitBug&sActionToken=tk6",
         {"default.asp ixBug=31", "default.asp command=edit",
          "default.asp?pre=preSubmitBug&sActionToken=tk6 sTitle=[v1.0 - 42]: E (ABCD)",
          "default.asp?pre=preSubmitBug&sActionToken=tk6 ixBug=31",
          "default.asp?pre=preSubmitBug&sActionToken=tk6 ixPriority=3"},
         {}},
        {"closed issue",
         PostFogBugzBug,
         nullptr,
         {kFbLogin, kFbFound, FB_EDIT_PAGE("41", "<a href=\"default.asp?pg=pgEditReleaseNotes\">")},
         srBugClosed,
         "default.asp|default.asp|default.asp",
         {},
         {}},
        {"count at 9999",
         PostFogBugzBug,
         nullptr,
         {kFbLogin, kFbFound, FB_EDIT_PAGE("9999", "")},
         srOK,
         "default.asp|default.asp|default.asp",
         {},
         {}},
        {"edit page lost",
         PostFogBugzBug,
         nullptr,
         {kFbLogin, kFbFound, {nullptr, ""}},
         srInvalidModify,
         "default.asp|default.asp|default.asp",
         {},
         {}},
    });
}

// Whatever a page holds, every client ends with a result: pages cut at every length.
TEST(ClWebTrackers, CutPagesEndInAResult) {
    const std::string full = kMantisReportPage.html;
    for (size_t len = 0; len <= full.size(); len += 7) {
        const std::string cut = full.substr(0, len);
        TScriptedConnection c({kMantisLogin,
                               kMantisMyView,
                               kMantisNothingFound,
                               {"bug_report_advanced_page.php", cut.c_str()},
                               kMantisReported});
        const TSendResult r = PostMantisBug(c, Bug());
        EXPECT_TRUE(r == srOK || r == srInvalidInsert) << len;
    }
}

} // namespace
