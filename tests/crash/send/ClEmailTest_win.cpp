#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "../support/CrashTestSupport.h"
#include "../support/TestOverrides_win.h"
#include "SessionLock_win.h"
#include "crash/capture/CrashLogMain.h"
#include "crash/capture/CrashLogUtils.h"
#include "crash/report/ClReportHalf.h"
#include "crash/send/ClEmail.h"

// The program's export, called as another module would.
extern "C" BOOL __stdcall CrashLogSendEmail(const char* to, const char* subject, const char* body,
                                            const char* attachments);

namespace {

using namespace kv::crash;

std::string WindowsPath(std::string path) {
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::string ReadAll(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string CurrentDir() {
    char dir[MAX_PATH + 1] = {};
    GetCurrentDirectoryA(sizeof dir, dir);
    return dir;
}

using kvtest::EnvOverride;
using kvtest::RegValueOverride;

// A report under way with the test's options and texts; all put back afterwards. The mail
// client's registry values belong to the session: one e-mail test at a time changes them.
class EmailTest : public ::testing::Test {
protected:
    kvtest::SessionLock mailRegistry_{L"KolvaneTestMailClientRegistry"};

    void SetUp() override {
        savedTexts_ = ReportTexts;
        Report = TCrashReport{};
        Report.Options = options_.get();
        Report.CurrentRecord = &Report.Record;
        Report.StartTime = EncodeDateTime(2024, 3, 5, 9, 7, 5);
        options_->SetCommonSendOptions(TCommonSendOptions{});
        ClearLastCrashLogError();
    }
    void TearDown() override {
        Report = TCrashReport{};
        ReportTexts = savedTexts_;
        ClearLastCrashLogError();
    }

    std::unique_ptr<TCrashModuleOptionsEx> options_ =
        std::make_unique<TCrashModuleOptionsEx>(std::string());
    kvtest::TempDir dir_{"email"};
    EnvOverride word_{"KV_MAIL_WORD", "word"};

private:
    TReportTexts savedTexts_;
};

// ---- Simple MAPI through the fixture client ----

constexpr const char* kClient = "KolvaneMapiFixture";

class ClEmailMAPI : public EmailTest {
protected:
    // The fixture as default client of the root; the record starts empty.
    void Register(HKEY root, const std::string& dllPath) {
        dllPath_.reset(); // the old registration goes before the new one is made
        client_.reset();
        client_ = std::make_unique<RegValueOverride>(root, "Software\\Clients\\Mail", "", kClient);
        dllPath_ = std::make_unique<RegValueOverride>(
            root, std::string("Software\\Clients\\Mail\\") + kClient, "DLLPath", dllPath);
    }
    std::string Record() const { return ReadAll(recordFile_); }
    std::string File(const std::string& name, bool create = true) const {
        if (create) std::ofstream(dir_.Ansi(name)) << name;
        return dir_.Ansi(name);
    }

    std::string recordFile_ = dir_.Ansi("mapi.txt");
    EnvOverride record_{"KOLVANE_MAPI_RECORD", recordFile_.c_str()};
    EnvOverride fixturePath_{"KV_MAPI_FIXTURE", WindowsPath(KOLVANE_MAPI_FIXTURE).c_str()};
    std::unique_ptr<RegValueOverride> client_, dllPath_;
};

TEST_F(ClEmailMAPI, MessageAsTheClientReceivesIt) {
    Register(HKEY_CURRENT_USER, "%KV_MAPI_FIXTURE%");
    options_->SetCommonSendOptions(TCommonSendOptions{sndShowSendDialog, sndAddDateInFileName});
    const std::string one = File("one.txt"), two = File("two.log");
    const std::string before = CurrentDir();

    EXPECT_TRUE(SendEmailByMAPI("a@x.jp; b@y.jp,", "Crash\r\n\tin %KV_MAIL_WORD%",
                                "Line 1\r\nLine 2 %KV_MAIL_WORD%",
                                {File("missing.txt", false), two}, {"", one}));

    EXPECT_EQ(Record(), "logon parent=none profile=(null) password=(null) flags=1\n"
                        "send session=19777 flags=9\n"
                        "subject=Crash in word\n"
                        "note=Line 1\\r\\nLine 2 word\n"
                        "originator=none\n"
                        "recipients=2\n"
                        "to class=1 name=a@x.jp address=SMTP:a@x.jp\n"
                        "to class=1 name=b@y.jp address=SMTP:b@y.jp\n"
                        "files=2\n"
                        "file flags=0 position=4294967295 path=" +
                            one + " name=one__20240305090705.txt\n" +
                            "file flags=0 position=4294967295 path=" + two +
                            " name=two__20240305090705.log\n"
                            "logoff session=19777\n");
    EXPECT_EQ(CurrentDir(), before); // the fixture moved it while sending
    EXPECT_EQ(GetLastCrashLogErrorCode(), eeNone);
}

TEST_F(ClEmailMAPI, SendResults) {
    struct Case {
        const char* label;
        const char* sendResult;
        bool ok;
        const char* error;
    };
    static constexpr Case kCases[] = {
        {"sent", "0", true, ""},
        {"user closed the compose window", "1", true, ""},
        {"failure", "2", false, "Cannot send the MAPI message."},
        {"insufficient memory", "5", false, "Cannot send the MAPI message."},
    };
    Register(HKEY_CURRENT_USER, WindowsPath(KOLVANE_MAPI_FIXTURE));
    for (const Case& c : kCases) {
        DeleteFileA(recordFile_.c_str());
        ClearLastCrashLogError();
        const EnvOverride answer("KOLVANE_MAPI_SEND_RESULT", c.sendResult);
        EXPECT_EQ(SendEmailByMAPI("a@x.jp", "s", "b", {}, {}), c.ok) << c.label;
        EXPECT_EQ(GetLastCrashLogErrorCode(), c.ok ? eeNone : eeEmailMAPIError) << c.label;
        EXPECT_EQ(GetLastCrashLogErrorMsg(), c.error) << c.label;
        // Without the send dialog option; logged off after a failed send too.
        const std::string record = Record();
        EXPECT_NE(record.find("send session=19777 flags=1\n"), std::string::npos) << c.label;
        EXPECT_NE(record.find("files=0 (null)\n"), std::string::npos) << c.label;
        EXPECT_EQ(record.substr(record.rfind("logoff")), "logoff session=19777\n") << c.label;
    }
}

TEST_F(ClEmailMAPI, LibraryFailures) {
    {
        Register(HKEY_CURRENT_USER, WindowsPath(KOLVANE_MAPI_FIXTURE));
        const EnvOverride answer("KOLVANE_MAPI_LOGON_RESULT", "3");
        EXPECT_FALSE(SendEmailByMAPI("a@x.jp", "s", "b", {}, {}));
        EXPECT_EQ(GetLastCrashLogErrorCode(), eeEmailMAPIError);
        EXPECT_EQ(GetLastCrashLogErrorMsg(), "Cannot LogOn into the MAPI service.");
        EXPECT_EQ(Record(), "logon parent=none profile=(null) password=(null) flags=1\n");
    }
    // A library without the Simple MAPI functions.
    Register(HKEY_CURRENT_USER, WindowsPath(KOLVANE_MODULE_FIXTURE));
    EXPECT_FALSE(SendEmailByMAPI("a@x.jp", "s", "b", {}, {}));
    EXPECT_EQ(GetLastCrashLogErrorCode(), eeEmailMAPIError);
    EXPECT_EQ(GetLastCrashLogErrorMsg(), "Cannot found the MAPI functions.");
}

TEST_F(ClEmailMAPI, MachineClientWhenTheUserHasNone) {
    Register(HKEY_LOCAL_MACHINE, WindowsPath(KOLVANE_MAPI_FIXTURE));
    EXPECT_TRUE(SendEmailByMAPI("a@x.jp", "s", "b", {}, {}));
    EXPECT_NE(Record().find("to class=1 name=a@x.jp address=SMTP:a@x.jp\n"), std::string::npos);
}

TEST_F(ClEmailMAPI, At32AttachmentsTheRestIsLeftOut) {
    Register(HKEY_CURRENT_USER, WindowsPath(KOLVANE_MAPI_FIXTURE));
    TStrings list;
    std::string expected = "files=32\n";
    for (int i = 0; i < 33; ++i) {
        const std::string name = "f" + std::to_string(i) + ".txt";
        list.push_back(File(name));
        if (i < 32)
            expected +=
                "file flags=0 position=4294967295 path=" + dir_.Ansi(name) + " name=" + name + "\n";
    }
    EXPECT_TRUE(SendEmailByMAPI("a@x.jp", "s", "b", list, {}));
    const std::string record = Record();
    const size_t files = record.find("files=");
    ASSERT_NE(files, std::string::npos) << record;
    EXPECT_EQ(record.substr(files, record.find("logoff") - files), expected);
}

TEST_F(ClEmailMAPI, ExportSplitsTheAttachmentText) {
    Register(HKEY_CURRENT_USER, WindowsPath(KOLVANE_MAPI_FIXTURE));
    const std::string one = File("one.txt"), two = File("two.txt");
    EXPECT_TRUE(::CrashLogSendEmail("a@x.jp;b@y.jp", "s", "b",
                                    (one + " , " + File("gone.txt", false) + ";" + two).c_str()));
    const std::string record = Record();
    EXPECT_NE(record.find("recipients=2\n"), std::string::npos) << record;
    EXPECT_NE(record.find("files=2\n"
                          "file flags=0 position=4294967295 path=" +
                          one + " name=one.txt\nfile flags=0 position=4294967295 path=" + two +
                          " name=two.txt\n"),
              std::string::npos)
        << record;
}

// ---- The "mailto:" command through the recorder ----

class ClEmailShell : public EmailTest {
protected:
    void Command(const std::string& command) {
        command_ = std::make_unique<RegValueOverride>(
            HKEY_LOCAL_MACHINE, "Software\\Classes\\mailto\\shell\\open\\command", "", command);
    }
    std::string Recorded() const { return ReadAll(recordFile_); }

    const std::string recorder_ = WindowsPath(KOLVANE_MAILTO_RECORDER);
    std::string recordFile_ = dir_.Ansi("mailto.txt");
    EnvOverride record_{"KOLVANE_MAILTO_RECORD", recordFile_.c_str()};
    std::unique_ptr<RegValueOverride> command_;
};

TEST_F(ClEmailShell, URLInTheRegisteredCommand) {
    Command("\"" + recorder_ + "\" \"%1\"");
    // The report text goes in as it stands: its "%" is no variable.
    ReportTexts.LogText = "Report %KV_MAIL_WORD%\r\n\xB1\x93\xFA\x95\x5C";
    ReportTexts.TextToSend = "the whole log file";
    EXPECT_TRUE(SendEmailByShell("a@x.jp;b@y.jp", "Bug & %KV_MAIL_WORD%", "Line 1\r\nLine 2"));
    EXPECT_EQ(Recorded(), "\"" + recorder_ +
                              "\" \"mailto:a%40x%2Ejp%3Bb%40y%2Ejp?Subject=Bug%20%26%20word"
                              "&Body=Line%201%0D%0ALine%202%0D%0A%0D%0A%0D%0A"
                              "Report%20%25KV%5FMAIL%5FWORD%25%0D%0A\xB1\x93\xFA\x95\x5C\"");
}

TEST_F(ClEmailShell, CommandWithoutPlaceholderStartsUnchanged) {
    Command("\"" + recorder_ + "\" -compose");
    EXPECT_TRUE(SendEmailByShell("a@x.jp", "s", "m"));
    EXPECT_EQ(Recorded(), "\"" + recorder_ + "\" -compose");
}

TEST_F(ClEmailShell, ProgramThatCannotStart) {
    Command("\"C:\\windows\\kolvane-no-such-mailer.exe\" \"%1\"");
    EXPECT_FALSE(SendEmailByShell("a@x.jp", "s", "m"));
    EXPECT_EQ(GetLastCrashLogErrorCode(), eeEmailShellError);
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, ERROR_FILE_NOT_FOUND, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    ASSERT_NE(text, nullptr);
    const std::string message = kv::crash::Trim(text);
    LocalFree(text);
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(GetLastCrashLogErrorMsg(), message);
    EXPECT_EQ(Recorded(), "");
}

} // namespace
