#include <windows.h>

#include <httpext.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "crash/dialogs/ClAppKind.h"
#include "crash/report/ClReportHalf.h"
#include "TestFiles.h"

namespace {

using namespace kv::crash;

constexpr char kCGIResponse[] =
    "Status: 200 Error\r\nContent-Type: text/html\r\nContent-Length: 8\r\nContent:\r\n\r\n"
    "<p>x</p>";

class ScopedHandle { // CloseHandle; INVALID_HANDLE_VALUE = empty
public:
    explicit ScopedHandle(HANDLE h) : h_(h) {}
    ~ScopedHandle() {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

// Standard output goes to the handle while the object lives.
class StdOutputTo {
public:
    explicit StdOutputTo(HANDLE h) : saved_(GetStdHandle(STD_OUTPUT_HANDLE)) {
        SetStdHandle(STD_OUTPUT_HANDLE, h);
    }
    ~StdOutputTo() { SetStdHandle(STD_OUTPUT_HANDLE, saved_); }
    StdOutputTo(const StdOutputTo&) = delete;
    StdOutputTo& operator=(const StdOutputTo&) = delete;

private:
    HANDLE saved_;
};

std::string Ansi(const std::filesystem::path& path) {
    return Utf16ToAnsi(path.u16string());
}

// Where the IntraWeb template goes when the template folder is on the temporary folder's drive.
std::filesystem::path TempTemplate() {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    return std::filesystem::path(temp) / "CrashLog_IWShowMessage.html";
}

// ---- A fake ISAPI server that records what it was asked ----

struct FakeServer {
    BOOL answer = TRUE;
    int headerCalls = 0, writeCalls = 0;
    HCONN conn = nullptr;
    DWORD request = 0, writeFlags = 0;
    std::string status, headers, written;
    bool ownPageWhileWriting = false;
};
FakeServer g_server;

BOOL WINAPI FakeServerSupport(HCONN conn, DWORD request, LPVOID buffer, LPDWORD, LPDWORD type) {
    ++g_server.headerCalls;
    g_server.conn = conn;
    g_server.request = request;
    g_server.status = static_cast<const char*>(buffer);
    g_server.headers = reinterpret_cast<const char*>(type);
    return g_server.answer;
}

BOOL WINAPI FakeWriteClient(HCONN, LPVOID buffer, LPDWORD bytes, DWORD flags) {
    ++g_server.writeCalls;
    g_server.written.assign(static_cast<const char*>(buffer), *bytes);
    g_server.writeFlags = flags;
    g_server.ownPageWhileWriting = IsWritingOwnWebPage();
    return TRUE;
}

class ClAppKindWeb : public ::testing::Test {
protected:
    void SetUp() override {
        Report.Options = &options_;
        options_.SetHTMLLayout("<title>t</title>[<%HTML_TAG%>]");
        IntraWebSlots = TIntraWebSlots{};
        IntraWebMessage.clear();
        SetISAPIServerECB(nullptr);
        g_server = FakeServer{};
        ClearLastCrashLogError();
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove(TempTemplate(), ignored);
        Report.Options = nullptr;
        IntraWebSlots = TIntraWebSlots{};
        SetISAPIServerECB(nullptr);
        ClearLastCrashLogError();
    }

    // IntraWeb slots whose ShowMessage records its arguments; TemplateDir gives templateDir_.
    void FakeIntraWeb() {
        IntraWebSlots.Application = &application_;
        IntraWebSlots.ServerController = &controller_;
        IntraWebSlots.TemplateDir = [this](void* controller) {
            EXPECT_EQ(controller, &controller_);
            return templateDir_;
        };
        IntraWebSlots.ShowMessage = [this](void* app, const std::string& message, int type,
                                           const std::string& templateName) {
            ++shown_;
            EXPECT_EQ(app, &application_);
            shownMessage_ = message;
            shownType_ = type;
            shownTemplate_ = templateName;
        };
    }

    TCrashModuleOptionsEx options_{""};
    int application_ = 0, controller_ = 0;
    std::string templateDir_;
    int shown_ = 0, shownType_ = -1;
    std::string shownMessage_, shownTemplate_;
};

TEST_F(ClAppKindWeb, WindowedProgramIsGUIUnlessAWebKindIsFound) {
    ASSERT_TRUE(SetEnvVariable("REQUEST_METHOD", "GET"));
    EXPECT_FALSE(IsConsoleApplication());
    EXPECT_FALSE(IsCGIApplication()) << "a windowed program is never CGI";
    SetEnvVariable("REQUEST_METHOD", "");
    EXPECT_FALSE(IsISAPIApplication()) << "an exe exports no extension";
    EXPECT_FALSE(IsWinCGIApplication());
    EXPECT_FALSE(IsIntraWebApplication());
    EXPECT_FALSE(IsWebApplication());
    EXPECT_TRUE(IsGUIApplication());

    IntraWebSlots.ServerController = &controller_;
    EXPECT_EQ(WebApplicationKind(), wkIntraWeb);
    EXPECT_FALSE(IsGUIApplication());
}

TEST_F(ClAppKindWeb, CGIResponseGoesToStandardOutput) {
    const kvtest::TempFile file("cgi_out.txt");
    {
        const ScopedHandle out(CreateFileW(file.FsPath().c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                           nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_NE(out.get(), INVALID_HANDLE_VALUE);
        const StdOutputTo redirect(out.get());
        EXPECT_TRUE(WriteWebResponseAs(wkCGI, "<p>x</p>"));
    }
    EXPECT_EQ(file.Read(), kCGIResponse);

    file.Write("");
    const ScopedHandle readOnly(CreateFileW(file.FsPath().c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_NE(readOnly.get(), INVALID_HANDLE_VALUE);
    const StdOutputTo redirect(readOnly.get());
    EXPECT_FALSE(WriteWebResponseAs(wkCGI, "<p>x</p>"));
    EXPECT_EQ(GetLastCrashLogErrorCode(), eeShowError);
    EXPECT_EQ(GetLastCrashLogErrorMsg(), "CGI: Cannot write in the ouput file.");
}

TEST_F(ClAppKindWeb, WinCGIResponseOverwritesTheOutputFileFromItsStart) {
    const kvtest::TempFolder folder("wincgi_out");
    const std::string out = Ansi(folder.FsPath() / "out.htm");
    const std::string old(300, '#');
    kvtest::TempFolder::Write(folder.Path(u"out.htm"), old);
    kvtest::TempFolder::Write(folder.Path(u"req.ini"),
                              "[CGI]\r\nRequest Method=GET\r\n[System]\r\nOutput File=" + out +
                                  "\r\n");
    ASSERT_TRUE(CheckWinCGIParams({Ansi(folder.FsPath() / "req.ini")}));

    EXPECT_TRUE(WriteWebResponseAs(wkWinCGI, "<p>x</p>"));
    const std::string response = kCGIResponse;
    EXPECT_EQ(kvtest::TempFolder::Read(folder.Path(u"out.htm")),
              response + old.substr(response.size()));

    // An output file in a missing folder cannot be opened.
    const std::string lost = Ansi(folder.FsPath() / "none" / "out.htm");
    CheckWinCGIParams({Ansi(folder.FsPath() / "req.ini"), "", lost});
    ASSERT_EQ(WinCGIOutputFile(), lost);
    EXPECT_FALSE(WriteWebResponseAs(wkWinCGI, "<p>x</p>"));
    EXPECT_EQ(GetLastCrashLogErrorCode(), eeShowError);
    EXPECT_EQ(GetLastCrashLogErrorMsg(), "[WinCGI] Cannot open file \"" + lost + "\".");
}

TEST_F(ClAppKindWeb, ISAPIResponseGoesThroughTheServer) {
    EXPECT_FALSE(WriteWebResponseAs(wkISAPI, "<p>x</p>"));
    EXPECT_EQ(GetLastCrashLogErrorMsg(), "ISAPI: ServerECB = nil");

    EXTENSION_CONTROL_BLOCK ecb{};
    ecb.cbSize = sizeof ecb;
    ecb.ConnID = &ecb;
    ecb.ServerSupportFunction = &FakeServerSupport;
    ecb.WriteClient = &FakeWriteClient;
    SetISAPIServerECB(&ecb);
    ClearLastCrashLogError();
    EXPECT_TRUE(WriteWebResponseAs(wkISAPI, "<p>x</p>"));
    EXPECT_EQ(ecb.dwHttpStatusCode, 200u);
    EXPECT_EQ(g_server.conn, &ecb);
    EXPECT_EQ(g_server.request, static_cast<DWORD>(HSE_REQ_SEND_RESPONSE_HEADER));
    EXPECT_EQ(g_server.status, "200 Error");
    EXPECT_EQ(g_server.headers, "Content-Type: text/html\r\nContent-Length: 8\r\nContent:\r\n\r\n");
    EXPECT_EQ(g_server.written, "<p>x</p>");
    EXPECT_EQ(g_server.writeFlags, static_cast<DWORD>(HSE_IO_SYNC));
    EXPECT_TRUE(g_server.ownPageWhileWriting);
    EXPECT_FALSE(IsWritingOwnWebPage());
    EXPECT_EQ(GetLastCrashLogErrorCode(), eeNone);

    // A server that refuses the header gets no page, and the flag is cleared all the same.
    g_server = FakeServer{};
    g_server.answer = FALSE;
    EXPECT_FALSE(WriteWebResponseAs(wkISAPI, "<p>x</p>"));
    EXPECT_EQ(g_server.headerCalls, 1);
    EXPECT_EQ(g_server.writeCalls, 0);
    EXPECT_FALSE(IsWritingOwnWebPage());
    EXPECT_EQ(GetLastCrashLogErrorCode(), eeShowError);
}

TEST_F(ClAppKindWeb, IntraWebPageIsSavedAsATemplateAndShown) {
    const kvtest::TempFolder folder("iw_templates");
    // Blanks around the property are not part of the folder.
    templateDir_ = "  " + Ansi(folder.FsPath()) + "\\ ";
    FakeIntraWeb();

    static constexpr struct {
        const char* name;
        const char* layout;
        const char* pageStart; // the ID comment follows
        const char* pageEnd;
    } kCases[] = {
        {"button placeholder in the body", "<title>t</title>[<%HTML_TAG%>]",
         "<title>t</title>[a&lt;b<br>{%butnOk%}]", ""},
        {"layout without the body", "<title>t</title>none", "<title>t</title>none", "{%butnOk%}"},
    };
    for (const auto& c : kCases) {
        options_.SetHTMLLayout(c.layout);
        IntraWebMessage = "a<b";
        shown_ = 0;
        EXPECT_TRUE(ShowIntraWebErrorPage()) << c.name;
        EXPECT_EQ(shown_, 1) << c.name;
        EXPECT_EQ(shownMessage_, "a&lt;b") << c.name;
        EXPECT_EQ(shownType_, 2) << c.name;
        // The test folder lies in the temporary folder, where the template went.
        EXPECT_EQ(shownTemplate_, "..\\CrashLog_IWShowMessage.html") << c.name;
        EXPECT_EQ(kvtest::TempFolder::Read(TempTemplate().u16string()),
                  std::string(c.pageStart) + LastPageIDComment() + c.pageEnd)
            << c.name;
    }
    EXPECT_EQ(GetLastCrashLogErrorCode(), eeNone);
}

TEST_F(ClAppKindWeb, IntraWebFailures) {
    EXPECT_FALSE(ShowIntraWebErrorPage());
    EXPECT_EQ(GetLastCrashLogErrorCode(), eeShowError);
    EXPECT_EQ(GetLastCrashLogErrorMsg(),
              "IntraWeb: IntraWebApplication e/o IntraWebServerController are set to nil.");

    // A template folder on a drive that does not exist: nothing can be saved, IntraWeb is
    // asked all the same, without a template.
    const DWORD drives = GetLogicalDrives();
    char letter = 'Q';
    while (letter < 'Z' && (drives & (1u << (letter - 'A')))) ++letter;
    ASSERT_FALSE(drives & (1u << (letter - 'A'))) << "every drive letter is in use";
    FakeIntraWeb();
    templateDir_ = std::string(1, letter) + ":\\nowhere\\";
    ClearLastCrashLogError();
    EXPECT_TRUE(ShowIntraWebErrorPage());
    EXPECT_EQ(shown_, 1);
    EXPECT_EQ(shownTemplate_, "");
    EXPECT_EQ(GetLastCrashLogErrorMsg(), "IntraWeb: Cannot create the \"" + std::string(1, letter) +
                                             ":\\nowhere\\CrashLog_IWShowMessage.html\" template.");
}

TEST_F(ClAppKindWeb, IntraWebRefusingTheCallIsRecorded) {
    const kvtest::TempFolder folder("iw_refused");
    templateDir_ = Ansi(folder.FsPath());
    FakeIntraWeb();
    IntraWebSlots.ShowMessage = [](void*, const std::string&, int, const std::string&) {
        throw std::runtime_error("refused");
    };
    EXPECT_TRUE(ShowIntraWebErrorPage());
    EXPECT_EQ(GetLastCrashLogErrorCode(), eeShowError);
    EXPECT_EQ(GetLastCrashLogErrorMsg(), "IntraWeb: Cannot show the error page.");
}

TEST_F(ClAppKindWeb, ShowWebErrorPageThroughIntraWeb) {
    const kvtest::TempFolder folder("iw_show");
    templateDir_ = Ansi(folder.FsPath());
    FakeIntraWeb();
    ReportTexts.MessageHeading = "Heading\r\n\r\n";
    Report.ActionFlag = false;
    ShowWebErrorPage("t<");
    EXPECT_TRUE(Report.ActionFlag);
    EXPECT_EQ(shownMessage_, "Heading<br>\r\n<br>\r\nt&lt;");

    IntraWebSlots.Application = nullptr; // the controller alone is not enough to show a page
    ShowWebErrorPage("t<");
    EXPECT_FALSE(Report.ActionFlag);
    ReportTexts.MessageHeading.clear();
}

} // namespace
