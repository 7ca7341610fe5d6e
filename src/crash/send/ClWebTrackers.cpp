#include "crash/send/ClWebTrackers.h"

#include "base/Text.h"

namespace kv::crash {

namespace {

// The sender's own entries at the end of the custom fields, read by name; only those four, so
// a user field of the same name cannot stand in for them.
std::string SenderValue(const TStrings& customFields, std::string_view name) {
    constexpr size_t kSenderEntries = 4;
    const size_t first =
        customFields.size() > kSenderEntries ? customFields.size() - kSenderEntries : 0;
    return ListValue(
        TStrings(customFields.begin() + static_cast<ptrdiff_t>(first), customFields.end()), name);
}

bool PageIs(TTrackerConnection& c, std::string_view page, std::string_view include = {}) {
    return c.Form().IsSuccessfulSend(page, include);
}

bool Contains(TTrackerConnection& c, std::string_view text) {
    return ContainsText(c.LastResponse().HTML, text);
}

std::string Utf8(std::string_view ansi) {
    return kv::Utf16ToUtf8(AnsiToUtf16(ansi));
}

// ---- Mantis ----

TSendResult MantisInsert(TTrackerConnection& c, const TTrackerBug& bug) {
    c.SetRequest("bug_report_advanced_page.php", rmGET);
    if (!c.SendRequest(false) || !Contains(c, "name=\"file\" type=\"file\""))
        return srInvalidInsert;
    c.SetRequest("bug_report.php", rmBinaryPOST);
    TWebForm f = c.Form();
    f.AddFieldValue("m_id");
    f.AddFieldValue("project_id");
    f.AddFieldByListTitle("handler_id", bug.AssignTo);
    f.AddFieldByListTitle("category", bug.Category);
    f.AddField("reproducibility", "10");
    f.AddFieldByDefaultList("severity");
    f.AddFieldByDefaultList("priority");
    f.AddFieldValue("platform");
    f.AddField("os", SenderValue(bug.CustomFields, "CL_OSType"));
    f.AddField("os_build", SenderValue(bug.CustomFields, "CL_OSBuild"));
    f.AddField("build", bug.Version);
    f.AddBugSummary("summary", bug.Version, bug.BugType, bug.BugID);
    f.AddField("description", bug.BugText);
    f.AddField("steps_to_reproduce", SenderValue(bug.CustomFields, "CL_ReproduceText"));
    f.AddField("additional_info", "");
    f.AddField("view_state", "10");
    f.AddFieldValue("report_stay");
    f.AddFieldValue("bug_report_token");
    f.AddFieldByListTitle("category_id", bug.Category);
    f.AddCustomFields(bug.CustomFields);
    c.Files().push_back("file=" + bug.AttachedFile);
    if (c.SendRequest(true) && PageIs(c, "bug_report.php", "href=\"view.php?id=")) return srOK;
    return srInvalidInsert;
}

TSendResult MantisModify(TTrackerConnection& c, const TTrackerBug& bug) {
    c.SetSendState(ssModifying, 0);
    std::string id = ValueAfterMarker(c.LastResponse().HTML, "bug_update_page.php?bug_id=");
    if (id.empty())
        id = ValueAfterMarker(c.LastResponse().HTML, "bug_update_advanced_page.php?bug_id=");
    c.SetRequest("bug_update_page.php", rmGET);
    c.Form().AddField("bug_id", id);
    if (!c.SendRequest(false) || !Contains(c, "name=\"severity\"")) return srInvalidModify;
    c.SetRequest("bug_update.php", rmBinaryPOST);
    TWebForm f = c.Form();
    if (!f.GetBugCountField("summary")) return srOK;
    const auto status = FindSelectBody(c.LastResponse().HTML, "status");
    const std::string statusValue = status ? SelectedOptionValue(*status) : std::string();
    if (statusValue == "80" || statusValue == "90") return srBugClosed;
    f.AddField("bug_id", id);
    f.AddFieldValue("update_mode");
    for (const char* list : {"category", "severity", "reproducibility", "reporter_id", "view_state",
                             "handler_id", "priority"})
        f.AddFieldByDefaultList(list);
    f.AddFieldByDefaultList2("resolution");
    for (const char* area : {"description", "additional_information", "bugnote_text"})
        f.AddFieldByTextArea(area);
    f.AddField("build", bug.Version);
    f.AddFieldValue("bug_update_token");
    f.AddFieldByDefaultList("category_id");
    f.AddCustomFields(bug.CustomFields);
    if (c.SendRequest(true) && (PageIs(c, "bug_update.php", "href=\"view.php?id=") ||
                                PageIs(c, "view.php", "href=\"view.php?id=")))
        return srOK;
    return srInvalidModify;
}

// ---- Bugzilla ----

// The report's version when the product lists it, else the selected one.
void AddBugzillaVersion(TWebForm& f, TTrackerConnection& c, const std::string& version) {
    if (Contains(c, "<option value=\"" + version + "\">"))
        f.AddField("version", version);
    else
        f.AddFieldByDefaultList("version");
}

TSendResult BugzillaInsert(TTrackerConnection& c, const TTrackerBug& bug) {
    c.SetSendState(ssSelectProject, 0);
    c.SetRequest("enter_bug.cgi", rmGET);
    c.Form().AddField("product", bug.ProjectName);
    c.Form().AddField("component", bug.Category);
    if (!c.SendRequest(false) || !Contains(c, "action=\"post_bug.cgi\"")) return srInvalidSelection;

    c.SetRequest("post_bug.cgi", rmPOST);
    TWebForm f = c.Form();
    const std::string& html = c.LastResponse().HTML;
    f.AddFieldValue("product");
    f.AddFieldValue("component");
    AddBugzillaVersion(f, c, bug.Version);
    const auto components = FindSelectBody(html, "component");
    std::string component = components ? SelectedOptionValue(*components) : std::string();
    if (component.empty()) {
        // The product page may list its components only in a script.
        const std::string marker = "components[0] = \"";
        const size_t at = html.find(marker);
        if (at != std::string::npos) {
            const size_t start = at + marker.size();
            const size_t end = html.find('"', start);
            if (end != std::string::npos) component = html.substr(start, end - start);
        }
    }
    if (!component.empty()) f.AddField("component", component);
    for (const char* list :
         {"rep_platform", "op_sys", "priority", "bug_severity", "target_milestone"})
        f.AddFieldByDefaultList(list);
    f.AddFieldValue("bug_status");
    f.AddField("assigned_to", bug.AssignTo.empty() ? bug.UserName : bug.AssignTo);
    for (const char* input : {"qa_contact", "cc", "estimated_time", "deadline", "bug_file_loc"})
        f.AddFieldValue(input);
    f.AddBugSummary("short_desc", bug.Version, bug.BugType, bug.BugID);
    f.AddField("comment",
               AddOptionalField(bug.BugText, SenderValue(bug.CustomFields, "CL_ReproduceText")));
    for (const char* input : {"keywords", "dependson", "blocked"}) f.AddFieldValue(input);
    f.AddField("form_name", "enter_bug");
    f.AddFieldByDefaultList("bug_status");
    f.AddCustomFields(bug.CustomFields);
    if (!c.SendRequest(false) || !PageIs(c, "post_bug.cgi", "show_bug.cgi?id="))
        return srInvalidInsert;

    // The new issue's number: its "id" input, else the first link to it.
    std::string id = FindInputValue(c.LastResponse().HTML, "id");
    if (id.empty()) id = ValueAfterMarker(c.LastResponse().HTML, "show_bug.cgi?id=");
    if (id.empty()) return srInvalidInsert;
    c.SetRequest("attachment.cgi", rmBinaryPOST);
    TWebForm a = c.Form();
    a.AddField("bugid", id);
    a.AddField("action", "insert");
    a.AddField("description", "FILE");
    a.AddField("contenttypemethod", "list");
    a.AddField("contenttypeselection", "application/octet-stream");
    a.AddField("contenttypeentry", "");
    for (const char* flag : {"flag_type-1", "flag_type-2", "flag_type-3", "flag_type-4"})
        a.AddField(flag, "X");
    a.AddField("comment", "");
    c.Files().push_back("data=" + bug.AttachedFile);
    if (c.SendRequest(true) && PageIs(c, "attachment.cgi", "attachment.cgi")) return srOK;
    return srInvalidInsert;
}

TSendResult BugzillaModify(TTrackerConnection& c, const TTrackerBug& bug) {
    c.SetSendState(ssModifying, 0);
    const std::string id = ValueAfterMarker(c.LastResponse().HTML, "show_bug.cgi?id=");
    c.SetRequest("show_bug.cgi", rmGET);
    c.Form().AddField("id", id);
    if (!c.SendRequest(false)) return srInvalidModify;
    bool isBugPage = false;
    for (const char* marker : {"name=\"form_name\"", "type=\"hidden\" id=\"component\"",
                               "select id=\"component\" name=\"component\"",
                               "<label for=\"component\" accesskey=\"", "show_bug.cgi?id="})
        isBugPage = isBugPage || PageIs(c, "show_bug.cgi", marker);
    if (!isBugPage) return srInvalidModify;

    c.SetRequest("process_bug.cgi", rmBinaryPOST);
    TWebForm f = c.Form();
    if (!f.GetBugCountField("short_desc")) return srOK;
    if (Contains(c, "value=\"reopen\"") || Contains(c, "value=\"reopened\"") ||
        Contains(c, "static_bug_status\">RESOLVED"))
        return srBugClosed;
    for (const char* input : {"delta_ts", "longdesclength", "id", "token", "alias"})
        f.AddFieldValue(input);
    if (FindInputValue(c.LastResponse().HTML, "bug_file_loc").empty())
        f.AddField("bug_file_loc", "");
    else
        f.AddFieldValue("bug_file_loc");
    for (const char* list : {"product", "component", "rep_platform", "op_sys"})
        f.AddFieldByDefaultList(list);
    AddBugzillaVersion(f, c, bug.Version);
    for (const char* list : {"priority", "bug_severity", "target_milestone"})
        f.AddFieldByDefaultList(list);
    for (const char* input :
         {"newcc", "cc", "qa_contact", "bug_file_loc", "status_whiteboard", "keywords"})
        f.AddFieldValue(input);
    f.AddField("flag_type-6", "X");
    for (const char* input : {"requestee_type-6", "dependson", "blocked"}) f.AddFieldValue(input);
    f.AddFieldByTextArea("comment");
    f.AddField("knob", "none");
    f.AddFieldByDefaultList2("resolution");
    for (const char* input : {"dup_id", "assigned_to", "form_name"}) f.AddFieldValue(input);
    f.AddCustomFields(bug.CustomFields);
    if (c.SendRequest(true) && PageIs(c, "process_bug.cgi", "show_bug.cgi?id=")) return srOK;
    return srInvalidModify;
}

// ---- FogBugz ----

// The submit target with the edit page's action token (up to the next double quote).
std::string FogBugzSubmitPage(const std::string& html) {
    std::string page = "default.asp?pre=preSubmitBug";
    const std::string marker = "sActionToken=";
    const size_t at = html.find(marker);
    if (at == std::string::npos) return page;
    const size_t start = at + marker.size();
    const size_t end = html.find('"', start);
    const std::string token =
        html.substr(start, (end == std::string::npos ? html.size() : end) - start);
    if (!token.empty()) page += "&sActionToken=" + token;
    return page;
}

TSendResult FogBugzInsert(TTrackerConnection& c, const TTrackerBug& bug) {
    c.SetSendState(ssSelectProject, 0);
    c.SetRequest("default.asp", rmGET);
    c.Form().AddField("command", "new");
    c.Form().AddField("pg", "pgEditBug");
    if (!c.SendRequest(false) || !PageIs(c, "default.asp")) return srInvalidInsert;

    c.SetRequest(FogBugzSubmitPage(c.LastResponse().HTML), rmBinaryPOST);
    TWebForm f = c.Form();
    for (const char* input :
         {"command", "dtTimeStamp", "ixBug", "ixBugEventLatest", "ixPersonLastOwner",
          "ixDiscussTopic", "ixScreenshot", "sOriginalTitle"})
        f.AddFieldValue(input);
    f.AddBugSummary("sTitle", bug.Version, bug.BugType, bug.BugID);
    f.AddField("sEvent",
               AddOptionalField(bug.BugText, SenderValue(bug.CustomFields, "CL_ReproduceText")));
    f.AddFieldByListTitle("ixProject", bug.ProjectName);
    f.AddFieldByListTitle("ixArea", bug.ProjectName + ": " + bug.Category);
    if (bug.AssignTo.empty())
        f.AddFieldByDefaultList("ixPersonAssignedTo");
    else
        f.AddFieldByListTitle("ixPersonAssignedTo", bug.AssignTo);
    f.AddFieldByDefaultList("ixCategory");
    f.AddFieldByDefaultList("ixFixFor");
    f.AddField("ixPriority", "1");
    f.AddFieldValue("sDueDate");
    f.AddFieldValue("sDueTime");
    f.AddField("hrsCurrEstNew", "");
    for (const char* input : {"hrsElapsedNew", "omitAtt", "fIEFileBrowse"}) f.AddFieldValue(input);
    f.AddField("sVersion", bug.Version);
    f.AddFieldValue("sComputer");
    f.AddFieldValue("dblTimeStamp");
    f.AddCustomFields(bug.CustomFields);
    if (!bug.AttachedFile.empty()) {
        f.AddField("nFileCount", "1");
        c.Files().push_back("File1=" + bug.AttachedFile);
    } else {
        f.AddField("nFileCount", "0");
    }
    if (c.SendRequest(true) && Contains(c, "command=resolve")) return srOK;
    return srInvalidInsert;
}

TSendResult FogBugzModify(TTrackerConnection& c, const TTrackerBug& bug) {
    c.SetSendState(ssModifying, 0);
    const std::string id = ValueAfterMarker(c.LastResponse().HTML, "ixBug=");
    c.SetRequest("default.asp", rmGET);
    c.Form().AddField("pg", "pgEditBug");
    c.Form().AddField("command", "edit");
    c.Form().AddField("ixBug", id);
    if (!c.SendRequest(false) || !Contains(c, "name=\"OK\"")) return srInvalidModify;

    c.SetRequest(FogBugzSubmitPage(c.LastResponse().HTML), rmBinaryPOST);
    TWebForm f = c.Form();
    if (!f.GetBugCountField("sTitle")) return srOK;
    if (Contains(c, "default.asp?pg=pgEditReleaseNotes")) return srBugClosed;
    f.AddFieldValue("command");
    f.AddFieldValue("dtTimeStamp");
    f.AddField("ixBug", id);
    for (const char* input : {"ixBugEventLatest", "ixPersonLastOwner", "ixDiscussTopic",
                              "ixScreenshot", "sOriginalTitle", "sEvent"})
        f.AddFieldValue(input);
    for (const char* list :
         {"ixProject", "ixArea", "ixPersonAssignedTo", "ixCategory", "ixFixFor", "ixPriority"})
        f.AddFieldByDefaultList(list);
    // The edit form's own order, repeats included.
    for (const char* input :
         {"sDueDate", "sDueTime", "hrsCurrEstNew", "hrsElapsedNew", "dblTimeStamp", "fIEFileBrowse",
          "fIEFileBrowse", "hrsCurrEstNew", "idSubscriptionState", "ixDiscussTopic",
          "ixPersonLastOwner", "nFileCount", "omitAtt", "sComputer"})
        f.AddFieldValue(input);
    f.AddFieldByTextArea("sEvent");
    f.AddFieldValue("sOriginalTitle");
    f.AddField("sVersion", bug.Version);
    f.AddCustomFields(bug.CustomFields);
    if (c.SendRequest(true) && Contains(c, "command=resolve")) return srOK;
    return srInvalidModify;
}

} // namespace

TWebForm ConnectionForm(THTTPConnectionBase& connection) {
    const THTTPResponse& last = *connection.FResponse;
    return TWebForm(last.HTML, last.ReplayPage, connection.Fields);
}

TSendResult PostMantisBug(TTrackerConnection& c, const TTrackerBug& ansiBug) {
    // Mantis pages and forms are UTF-8.
    TTrackerBug bug = ansiBug;
    bug.ProjectName = Utf8(bug.ProjectName);
    bug.Category = Utf8(bug.Category);
    bug.AssignTo = Utf8(bug.AssignTo);
    bug.BugText = Utf8(bug.BugText);
    if (!bug.CustomFields.empty() && bug.CustomFields.back().rfind("CL_ReproduceText=", 0) == 0)
        bug.CustomFields.back() = "CL_ReproduceText=" + Utf8(bug.CustomFields.back().substr(17));

    c.SetSendState(ssLogin, 0);
    c.SetRequest("login.php", rmPOST);
    c.Form().AddField("return", "login_select_proj_page.php");
    c.Form().AddField("username", bug.UserName);
    c.Form().AddField("password", bug.Password);
    const bool sent = c.SendRequest(false);
    const bool loggedIn =
        (sent && PageIs(c, "login_select_proj_page.php", "name=\"project_id\"")) ||
        PageIs(c, "my_view_page.php", "bug_report_page.php\">");
    if (!loggedIn) return srInvalidLogin;

    c.SetSendState(ssSelectProject, 0);
    if (!(PageIs(c, "my_view_page.php") && !Contains(c, "<select name=\"project_id\""))) {
        c.SetRequest("set_project.php", rmPOST);
        c.Form().AddFieldByListTitle("project_id", bug.ProjectName);
        if (!c.SendRequest(false)) return srInvalidSelection;
    }
    const bool selected =
        PageIs(c, "my_view_page.php", ">" + bug.ProjectName + "</option>") ||
        PageIs(c, "my_view_page.php", " " + bug.ProjectName + "</option>") ||
        (PageIs(c, "my_view_page.php") && !Contains(c, "<select name=\"project_id\""));
    if (!selected) return srInvalidSelection;

    c.SetSendState(ssSearching, 0);
    c.SetRequest("view_all_set.php?f=3", rmPOST);
    c.Form().AddField("type", "1");
    c.Form().AddField("page_number", "1");
    c.Form().AddField("view_type", "simple");
    c.Form().AddSearchText("search", bug.Version, bug.BugType, bug.BugID);
    if (!c.SendRequest(false) ||
        !(PageIs(c, "view_all_bug_page.php", "name=\"reset_query_button\"") ||
          PageIs(c, "view_all_bug_page.php", "name=\"source_query_id\"")))
        return srInvalidSearch;

    if (!Contains(c, "bug_update_page.php?bug_id=") &&
        !Contains(c, "bug_update_advanced_page.php?bug_id="))
        return MantisInsert(c, bug);
    return MantisModify(c, bug);
}

TSendResult PostBugzillaBug(TTrackerConnection& c, const TTrackerBug& bug) {
    c.SetSendState(ssLogin, 0);
    c.SetRequest("enter_bug.cgi", rmPOST);
    c.Form().AddField("project", bug.ProjectName);
    c.Form().AddField("Bugzilla_login", bug.UserName);
    c.Form().AddField("Bugzilla_password", bug.Password);
    if (!c.SendRequest(false) || !(PageIs(c, "enter_bug.cgi", "relogin.cgi") ||
                                   PageIs(c, "enter_bug.cgi", "index.cgi?logout=1")))
        return srInvalidLogin;

    c.SetSendState(ssSearching, 0);
    c.SetRequest("buglist.cgi", rmGET);
    TWebForm f = c.Form();
    f.AddField("query_format", "specific");
    f.AddField("order", "relevance desc");
    f.AddField("bug_status", "__all__");
    f.AddField("product", bug.ProjectName);
    f.AddField("component", bug.Category);
    f.AddSearchText("content", bug.Version, "", bug.BugID);
    if (!c.SendRequest(false) || !PageIs(c, "buglist.cgi", "href=\"query.cgi?"))
        return srInvalidSearch;

    if (!Contains(c, "show_bug.cgi?id=")) return BugzillaInsert(c, bug);
    return BugzillaModify(c, bug);
}

TSendResult PostFogBugzBug(TTrackerConnection& c, const TTrackerBug& bug) {
    c.SetSendState(ssLogin, 0);
    c.SetRequest("default.asp", rmPOST);
    TWebForm login = c.Form();
    login.AddField("pre", "preLogon");
    login.AddField("dest", "");
    login.AddField("sPerson", bug.UserName);
    login.AddField("sPassword", bug.Password);
    login.AddField("fRememberPassword", "0");
    const std::string trialID = SenderValue(bug.CustomFields, "FogBugzTrialID");
    if (!trialID.empty()) login.AddField("ID", trialID);
    if (!c.SendRequest(false) || !Contains(c, "pre=preLogOff")) return srInvalidLogin;

    c.SetSendState(ssSearching, 0);
    c.SetRequest("default.asp", rmGET);
    TWebForm f = c.Form();
    f.AddField("pre", "preSearch");
    f.AddField("pg", "pgList");
    f.AddField("pgBack", "pgSearch");
    f.AddField("search", "1");
    f.AddField("bAlsoSearchClosedBugs", "ON");
    f.AddSearchText("searchFor", bug.Version, bug.BugType, bug.BugID);
    if (!c.SendRequest(false) || !Contains(c, "searchFor=")) return srInvalidSearch;

    if (!Contains(c, "default.asp?pg=pgeditbug") && !Contains(c, "default.asp?pgx=EV&amp;ixBug="))
        return FogBugzInsert(c, bug);
    return FogBugzModify(c, bug);
}

TSendResult THTTPSendReport::Run(TSteps steps, const std::string& baseURL,
                                 const std::string& proxyURL, const TTrackerBug& bug,
                                 THTTPResponse& response) const {
    // Closed by its deleter at the end, with the disconnect notifications.
    THTTPConnectionPtr connection = FHTTPConnectionClass(baseURL, proxyURL);
    TTrackerHTTPConnection tracker(*connection);
    const TSendResult result = steps(tracker, bug);
    response.Assign(&tracker.LastResponse());
    return result;
}

namespace {

TTrackerBug MakeBug(const std::string& AVersion, const std::string& ABugType,
                    const std::string& ABugText, const std::string& ABugID,
                    const std::string& AUserName, const std::string& APassword,
                    const std::string& AProjectName, const std::string& ACategory,
                    const std::string& AAssignTo, const std::string& AAttachedFile,
                    const TStrings& ACustomFields) {
    return TTrackerBug{AVersion,     ABugType,  ABugText,  ABugID,        AUserName,    APassword,
                       AProjectName, ACategory, AAssignTo, AAttachedFile, ACustomFields};
}

} // namespace

TSendResult THTTPMantisSendReport::PostBug(
    const std::string& AVersion, const std::string& ABugType, const std::string& ABugText,
    const std::string& ABugID, const std::string& ABaseURL, const std::string& AProxyURL,
    const std::string& AUserName, const std::string& APassword, const std::string& AProjectName,
    const std::string& ACategory, const std::string& AAssignTo, const std::string& AAttachedFile,
    const TStrings& ACustomFields, THTTPResponse& Response) {
    return Run(&PostMantisBug, ABaseURL, AProxyURL,
               MakeBug(AVersion, ABugType, ABugText, ABugID, AUserName, APassword, AProjectName,
                       ACategory, AAssignTo, AAttachedFile, ACustomFields),
               Response);
}

TSendResult THTTPBugzillaSendReport::PostBug(
    const std::string& AVersion, const std::string& ABugType, const std::string& ABugText,
    const std::string& ABugID, const std::string& ABaseURL, const std::string& AProxyURL,
    const std::string& AUserName, const std::string& APassword, const std::string& AProjectName,
    const std::string& ACategory, const std::string& AAssignTo, const std::string& AAttachedFile,
    const TStrings& ACustomFields, THTTPResponse& Response) {
    return Run(&PostBugzillaBug, ABaseURL, AProxyURL,
               MakeBug(AVersion, ABugType, ABugText, ABugID, AUserName, APassword, AProjectName,
                       ACategory, AAssignTo, AAttachedFile, ACustomFields),
               Response);
}

TSendResult THTTPFogBugzSendReport::PostBug(
    const std::string& AVersion, const std::string& ABugType, const std::string& ABugText,
    const std::string& ABugID, const std::string& ABaseURL, const std::string& AProxyURL,
    const std::string& AUserName, const std::string& APassword, const std::string& AProjectName,
    const std::string& ACategory, const std::string& AAssignTo, const std::string& AAttachedFile,
    const TStrings& ACustomFields, THTTPResponse& Response) {
    return Run(&PostFogBugzBug, ABaseURL, AProxyURL,
               MakeBug(AVersion, ABugType, ABugText, ABugID, AUserName, APassword, AProjectName,
                       ACategory, AAssignTo, AAttachedFile, ACustomFields),
               Response);
}

TSendResult SendWebTrakerReport(THTTPConnectionClass ConnectionClass,
                                THTTPSendReportClass ReportClass, const std::string& AVersion,
                                const std::string& ABugType, const std::string& ABugText,
                                const std::string& ABugID, const std::string& ABaseURL,
                                const std::string& AProxyURL, const std::string& AUserName,
                                const std::string& APassword, const std::string& AProjectName,
                                const std::string& ACategory, const std::string& AAssignTo,
                                const std::string& AAttachedFile, const TStrings& ACustomFields,
                                THTTPResponse& Response) {
    const std::unique_ptr<THTTPSendReport> report = ReportClass();
    if (ConnectionClass) report->FHTTPConnectionClass = ConnectionClass;
    return report->PostBug(AVersion, ABugType, ABugText, ABugID, ABaseURL, AProxyURL, AUserName,
                           APassword, AProjectName, ACategory, AAssignTo, AAttachedFile,
                           ACustomFields, Response);
}

} // namespace kv::crash
