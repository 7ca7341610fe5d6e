#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "../support/CrashTestSupport.h"
#include "crash/core/ClZip.h"

#include "NetTestSupport.h"

namespace {

using kvtest::PeersFolder;
using kvtest::ReadAll;

// The message the SMTP peer on port 2525 saved with this subject; empty when none.
std::string MailWithSubject(const std::string& subject) {
    for (const auto& entry : std::filesystem::directory_iterator(PeersFolder())) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("mail-2525-", 0) != 0 || entry.path().extension() != ".eml") continue;
        const std::string mail = ReadAll(entry.path());
        if (mail.find("Subject: " + subject + "\r\n") != std::string::npos) return mail;
    }
    return std::string();
}

struct TScenarioRun {
    bool Finished = false;
    std::string Out;
    std::unique_ptr<kvtest::TempDir> Dir; // the program's working folder, kept for the checks
    std::string Folder;
};

TScenarioRun RunScenario(const std::string& name) {
    TScenarioRun run;
    run.Dir = std::make_unique<kvtest::TempDir>("net_" + name);
    run.Folder = run.Dir->Ansi();
    const std::string out = run.Dir->Ansi("out.txt");
    SetEnvironmentVariableA("KOLVANE_CRASH_OUT", out.c_str());
    std::string command = std::string("\"") + KOLVANE_CRASH_SCENARIOS + "\" " + name;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        run.Folder.c_str(), &si, &pi)) {
        ADD_FAILURE() << "cannot start " << command;
        return run;
    }
    run.Finished = WaitForSingleObject(pi.hProcess, 240000) == WAIT_OBJECT_0;
    if (!run.Finished) TerminateProcess(pi.hProcess, 99);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    SetEnvironmentVariableA("KOLVANE_CRASH_OUT", nullptr);
    run.Out = ReadAll(out);
    return run;
}

TEST(CrashSendScenario, AReportArrivesByMailWithItsZip) {
    const TScenarioRun run = RunScenario("send-mail");
    ASSERT_TRUE(run.Finished);
    const std::string mail = MailWithSubject("Crash report send-mail");
    ASSERT_FALSE(mail.empty()) << run.Out;
    EXPECT_NE(mail.find("To: <dev@example.test>"), std::string::npos);
    EXPECT_NE(mail.find("filename=\"BugReport.zip\""), std::string::npos);
    // The zip's base64 starts with the local file header "PK\x03\x04".
    EXPECT_NE(mail.find("\r\n\r\nUEsDB"), std::string::npos);
}

// The first recorded file of the peers whose name starts with prefix and holds text; empty when
// there is none.
std::string PeerFileWith(const std::string& prefix, const std::string& text) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(PeersFolder())) {
        if (entry.is_directory()) continue;
        if (entry.path().filename().string().rfind(prefix, 0) != 0) continue;
        const std::string content = ReadAll(entry.path());
        if (content.find(text) != std::string::npos) return content;
    }
    return std::string();
}

TEST(CrashSendScenario, AReportArrivesByEveryWebMode) {
    // HTTP: the multipart upload of the zip; FTP: the zip in the user's folder; Mantis: a new
    // issue with the zip attached.
    ASSERT_TRUE(RunScenario("send-http").Finished);
    EXPECT_NE(PeerFileWith("http-", "POST /upload-send-http").find("multipart/form-data"),
              std::string::npos);
    EXPECT_FALSE(PeerFileWith("http-", "filename=\"BugReport.zip\"").empty());
    ASSERT_TRUE(RunScenario("send-ftp").Finished);
    EXPECT_TRUE(std::filesystem::exists(PeersFolder() / "ftp" / "incoming" / "BugReport.zip"));
    const TScenarioRun mantis = RunScenario("send-mantis");
    ASSERT_TRUE(mantis.Finished);
    const std::string log = PeerFileWith("trackers-8181", "bug_report.php");
    EXPECT_NE(log.find("file file=BugReport.zip"), std::string::npos) << log << mantis.Out;
}

// The body of the web peers' request whose head holds head; empty when none does.
std::string RequestBody(const std::string& head) {
    for (const auto& entry : std::filesystem::directory_iterator(PeersFolder())) {
        const std::filesystem::path path = entry.path();
        if (path.filename().string().rfind("http-", 0) != 0 || path.extension() != ".req") continue;
        if (ReadAll(path).find(head) != std::string::npos)
            return ReadAll(std::filesystem::path(path).replace_extension(".body"));
    }
    return {};
}

// The lines of the tracker peer's log that this run added.
std::string TrackerLogSince(uint16_t port, size_t start) {
    const std::string log = ReadAll(PeersFolder() / ("trackers-" + std::to_string(port) + ".log"));
    return log.size() > start ? log.substr(start) : std::string();
}

size_t TrackerLogSize(uint16_t port) {
    return ReadAll(PeersFolder() / ("trackers-" + std::to_string(port) + ".log")).size();
}

// The line that starts with start; empty when none does.
std::string LineStarting(const std::string& text, const std::string& start) {
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(start, 0) == 0) return line;
    return {};
}

TEST(CrashSendScenario, AReportArrivesByHTTPSAndAsANewIssueOfEachTracker) {
    // HTTPS: the multipart upload of the zip over TLS, to the peer on 8443.
    const TScenarioRun https = RunScenario("send-https");
    ASSERT_TRUE(https.Finished);
    const std::string body = RequestBody("POST /upload-send-https ");
    EXPECT_NE(body.find("filename=\"BugReport.zip\""), std::string::npos) << https.Out;
    EXPECT_NE(body.find("PK\x03\x04"), std::string::npos) << https.Out;

    // A new issue with the zip attached: Bugzilla posts the bug, then the attachment; FogBugz
    // submits the case with the zip as its first file.
    static const struct {
        const char* scenario;
        uint16_t port;
        std::vector<const char*> lines;
    } kTrackers[] = {
        {"send-bugzilla",
         8182,
         {"== POST /bugzilla/post_bug.cgi cookie=1", "field short_desc=[v",
          "== POST /bugzilla/attachment.cgi cookie=1", "field bugid=24",
          "file data=BugReport.zip "}},
        {"send-fogbugz",
         8183,
         {"== POST /fogbugz/default.asp?pre=preSubmitBug&sActionToken=tk5 cookie=1",
          "field ixProject=2", "field ixArea=7", "field ixPersonAssignedTo=5", "field nFileCount=1",
          "file File1=BugReport.zip "}},
    };
    for (const auto& t : kTrackers) {
        const size_t start = TrackerLogSize(t.port);
        const TScenarioRun run = RunScenario(t.scenario);
        ASSERT_TRUE(run.Finished) << t.scenario;
        const std::string log = TrackerLogSince(t.port, start);
        for (const char* line : t.lines)
            EXPECT_FALSE(LineStarting(log, line).empty()) << t.scenario << ": " << line << "\n"
                                                          << log << run.Out;
        // The zip that arrived is a zip.
        const std::string file = LineStarting(log, "file ");
        if (!file.empty())
            EXPECT_EQ(ReadAll(PeersFolder() / file.substr(file.rfind(' ') + 1)).substr(0, 4),
                      "PK\x03\x04")
                << t.scenario;
    }
}

// The entries of a zip, by name.
std::map<std::string, std::string> ZipEntries(const std::string& zip) {
    std::map<std::string, std::string> entries;
    const kvtest::TempDir out("unzipped");
    if (!kv::crash::TZipExtractor(zip, "", out.Ansi()).Succeeded()) return entries;
    for (const auto& e : std::filesystem::directory_iterator(out.FsPath()))
        entries[e.path().filename().string()] = ReadAll(e.path());
    return entries;
}

TEST(CrashSendScenario, EachStepsZipHoldsTheFilesAskedForThatExist) {
    const TScenarioRun run = RunScenario("send-zips");
    ASSERT_TRUE(run.Finished);
    const std::filesystem::path folder(run.Folder);
    const auto email = ZipEntries((folder / "sent-email.zip").string());
    const auto web = ZipEntries((folder / "sent-web.zip").string());
    // The mail carries the log in its text: its zip holds the file asked for (the missing one
    // left out) and the screenshot the options ask for; the upload's zip holds the log too.
    ASSERT_EQ(email.size(), 2u) << run.Out;
    EXPECT_EQ(email.count("asked.txt") ? email.at("asked.txt") : "", "asked for");
    EXPECT_EQ(email.count("Screenshot.png") ? email.at("Screenshot.png").substr(0, 4) : "",
              "\x89PNG");
    ASSERT_EQ(web.size(), 3u) << run.Out;
    EXPECT_EQ(web.count("asked.txt") ? web.at("asked.txt") : "", "asked for");
    EXPECT_EQ(web.count("Screenshot.png") ? web.at("Screenshot.png").substr(0, 4) : "", "\x89PNG");
    for (const auto& [name, bytes] : web)
        if (name != "asked.txt" && name != "Screenshot.png")
            EXPECT_NE(bytes.find("send me"), std::string::npos) << name;
    const std::string mail = MailWithSubject("Crash report send-zips");
    EXPECT_NE(mail.find("send me"), std::string::npos) << mail;
    EXPECT_FALSE(PeerFileWith("http-", "POST /upload-send-zips").empty());
}

TEST(CrashSendScenario, ASendOnTheComponentsOwnThreadLetsTheFailingThreadGoOn) {
    const TScenarioRun run = RunScenario("send-thread");
    ASSERT_TRUE(run.Finished);
    EXPECT_NE(run.Out.find("SENDING after the return, elsewhere"), std::string::npos) << run.Out;
    EXPECT_FALSE(MailWithSubject("Crash report send-thread").empty()) << run.Out;
}

TEST(CrashSendScenario, AFailedSendKeepsACompressedCopy) {
    const TScenarioRun run = RunScenario("send-fail");
    ASSERT_TRUE(run.Finished);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(run.Folder) / "BugReport.zip"))
        << run.Out;
}

TEST(CrashSendScenario, ARetryHandlerRepeatsTheStep) {
    const TScenarioRun run = RunScenario("send-retry");
    ASSERT_TRUE(run.Finished);
    EXPECT_NE(run.Out.find("SEND ERROR"), std::string::npos) << run.Out;
    EXPECT_FALSE(MailWithSubject("Crash report send-retry").empty()) << run.Out;
}

} // namespace
