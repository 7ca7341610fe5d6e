#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "../support/CrashTestSupport.h"

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
