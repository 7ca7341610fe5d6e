#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "crash/dialogs/ClAppKind.h"
#include "TestFiles.h"

namespace {

using namespace kv::crash;

constexpr std::string_view kIDPrefix = "<!-- CrashLog ID: ";
constexpr std::string_view kIDSuffix = " -->";

bool IsIDComment(std::string_view s) {
    if (s.size() != kIDPrefix.size() + 8 + kIDSuffix.size() || !s.starts_with(kIDPrefix) ||
        !s.ends_with(kIDSuffix))
        return false;
    for (const char c : s.substr(kIDPrefix.size(), 8))
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    return true;
}

std::string Replace(std::string text, std::string_view what, const std::string& with) {
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + with.size()))
        text.replace(p, what.size(), with);
    return text;
}

// Pages are made with the options of a report in progress.
class ClAppKindPage : public ::testing::Test {
protected:
    void SetUp() override { Report.Options = &options_; }
    void TearDown() override { Report.Options = nullptr; }

    // The page without its ID comment, which must end it and be the one kept.
    std::string Page(std::string_view layout, std::string_view body) {
        options_.SetHTMLLayout(std::string(layout));
        const std::string page = ApplyHTMLLayout(body);
        const std::string id = LastPageIDComment();
        EXPECT_TRUE(IsIDComment(id)) << id;
        EXPECT_TRUE(page.ends_with(id)) << page;
        return page.substr(0, page.size() - std::min(id.size(), page.size()));
    }

    TCrashModuleOptionsEx options_{""};
};

TEST_F(ClAppKindPage, LayoutReceivesTheBodyAndATitle) {
    static constexpr struct {
        const char* name;
        std::string_view layout, body, page;
    } kCases[] = {
        {"lower-case placeholder", "<html><title>T</title><body><%html_tag%></body></html>", "B",
         "<html><title>T</title><body>B</body></html>"},
        {"first placeholder of any case, then exact case only",
         "<title>t</title><%Html_Tag%>|<%html_tag%>|<%HTML_TAG%>", "B",
         "<title>t</title>B|<%html_tag%>|B"},
        {"no title", "<html><body><%HTML_TAG%></body></html>", "B",
         "<title>Error occurred</title><html><body>B</body></html>"},
        {"title of another case", "<TITLE>x</Title><%HTML_TAG%>", "B", "<TITLE>x</Title>B"},
        {"title closed before opened", "</title><title>x<%HTML_TAG%>", "B",
         "<title>Error occurred</title></title><title>xB"},
        {"title never closed", "<title>x<%HTML_TAG%>", "B",
         "<title>Error occurred</title><title>xB"},
        {"no placeholder", "<title>t</title>plain", "B", "<title>t</title>plain"},
        {"body is not scanned again", "<title>t</title>[<%HTML_TAG%>]", "<%HTML_TAG%>",
         "<title>t</title>[<%HTML_TAG%>]"},
    };
    for (const auto& c : kCases) EXPECT_EQ(Page(c.layout, c.body), c.page) << c.name;
}

TEST_F(ClAppKindPage, TitleHoldsTheCustomizedCaption) {
    options_.SetCustomizedTexts(mtDialog_Caption, "Kolvane stopped");
    EXPECT_EQ(Page("<p><%HTML_TAG%></p>", "B"), "<title>Kolvane stopped</title><p>B</p>");
}

TEST_F(ClAppKindPage, BlankLayoutGivesTheDefaultPage) {
    const std::string fresh = TCrashModuleOptions("").HTMLLayout();
    const std::string expected = Page(fresh, "B");
    EXPECT_TRUE(expected.starts_with("<title>Error occurred</title><html>\r\n")) << expected;
    EXPECT_NE(expected.find("size=\"2\">\r\n            B\r\n"), std::string::npos) << expected;
    for (const std::string_view blank : {"", " \r\n\t \r\n", "\x01\x1f \r\n"})
        EXPECT_EQ(Page(blank, "B"), expected) << testing::PrintToString(std::string(blank));
}

TEST_F(ClAppKindPage, EveryPageGetsANewID) {
    options_.SetHTMLLayout("<title>t</title><%HTML_TAG%>");
    const std::string first = ApplyHTMLLayout("B");
    const std::string firstID = LastPageIDComment();
    ApplyHTMLLayout("B");
    // Two random 32-bit values agree once in four billion runs.
    EXPECT_NE(LastPageIDComment(), firstID);
    EXPECT_EQ(first, "<title>t</title>B" + firstID);
}

TEST_F(ClAppKindPage, GenerateHTMLEscapesTheTextAndAddsTheOkButton) {
    options_.SetHTMLLayout("<title>t</title>[<%HTML_TAG%>]");
    const std::string text = "a & b \"q\" 'x' <i>  y\r\nz";
    const std::string escaped =
        "a &amp; b &quot;q&quot; &#039;x&#039; &lt;i&gt;&nbsp;&nbsp;y<br>\r\nz";
    const std::string button =
        "<br><input type=button value=\"Ok\" OnClick=\"history.go(-1)\" "
        "style=\"width:75;height:25;z-index:100;font-style:normal;font-size:10pt;"
        "text-decoration:none;\">";
    const std::string plain = GenerateHTML(text, false);
    EXPECT_EQ(plain, "<title>t</title>[" + escaped + "]" + LastPageIDComment());
    const std::string withButton = GenerateHTML(text, true);
    EXPECT_EQ(withButton, "<title>t</title>[" + escaped + button + "]" + LastPageIDComment());
}

TEST(ClAppKind, ResponseHeader) {
    static constexpr struct {
        const char* name;
        size_t bytes;
        bool status;
        std::string_view header;
    } kCases[] = {
        {"CGI", 5, true,
         "Status: 200 Error\r\nContent-Type: text/html\r\nContent-Length: 5\r\nContent:\r\n\r\n"},
        {"ISAPI", 1234, false,
         "Content-Type: text/html\r\nContent-Length: 1234\r\nContent:\r\n\r\n"},
        {"empty page", 0, true,
         "Status: 200 Error\r\nContent-Type: text/html\r\nContent-Length: 0\r\nContent:\r\n\r\n"},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(WebResponseHeader(c.bytes, c.status), c.header) << c.name;
}

TEST(ClAppKind, WinCGIRequestFile) {
    const kvtest::TempFolder folder("wincgi");
    const auto ansi = [&](std::u16string_view name) { return Utf16ToAnsi(folder.Path(name)); };
    const std::string out = ansi(u"out.htm");
    const std::string missing = ansi(u"none.htm");
    kvtest::TempFolder::Write(folder.Path(u"out.htm"), "");

    static constexpr struct {
        const char* name;
        std::u16string_view file; // empty: no parameter at all
        std::string_view ini;     // {out} and {missing} stand for the output files
        std::string_view third;
        bool expected;
        std::string_view stored; // empty: not checked
    } kCases[] = {
        {"request naming an existing output file", u"req.ini",
         "[CGI]\r\nRequest Method=POST\r\n[System]\r\nOutput File={out}\r\n", "", true, "{out}"},
        {"third parameter names the output file", u"req.ini",
         "[CGI]\r\nRequest Method=GET\r\n[System]\r\nOutput File={missing}\r\n", "{out}", true,
         "{out}"},
        {"output file missing", u"req.ini",
         "[CGI]\r\nRequest Method=GET\r\n[System]\r\nOutput File={missing}\r\n", "", false,
         "{missing}"},
        {"no output file named", u"req.ini", "[CGI]\r\nRequest Method=GET\r\n", "", false, ""},
        {"empty request method", u"req.ini",
         "[CGI]\r\nRequest Method=\r\n[System]\r\nOutput File={out}\r\n", "", false, ""},
        {"request method in another section", u"req.ini",
         "[System]\r\nRequest Method=GET\r\nOutput File={out}\r\n", "", false, ""},
        {"wildcard in the name", u"re*.ini",
         "[CGI]\r\nRequest Method=GET\r\n[System]\r\nOutput File={out}\r\n", "", false, ""},
        {"no such file", u"absent.ini", "", "", false, ""},
        {"no parameters", u"", "", "", false, ""},
    };
    for (const auto& c : kCases) {
        const auto expand = [&](std::string_view s) {
            return Replace(Replace(std::string(s), "{out}", out), "{missing}", missing);
        };
        std::filesystem::remove(folder.FsPath() / "req.ini");
        TStrings params;
        if (!c.file.empty()) {
            if (c.file != u"absent.ini")
                kvtest::TempFolder::Write(folder.Path(c.file), expand(c.ini));
            params = {ansi(c.file), "second", expand(c.third)};
        }
        EXPECT_EQ(CheckWinCGIParams(params), c.expected) << c.name;
        if (!c.stored.empty()) {
            EXPECT_EQ(WinCGIOutputFile(), expand(c.stored)) << c.name;
        }
    }
}

TEST(ClAppKind, WinCGIRequestFileOfAtMost102400Bytes) {
    const kvtest::TempFolder folder("wincgi_size");
    const std::string out = Utf16ToAnsi(folder.Path(u"out.htm"));
    kvtest::TempFolder::Write(folder.Path(u"out.htm"), "");
    const std::string ini =
        "[CGI]\r\nRequest Method=GET\r\n[System]\r\nOutput File=" + out + "\r\n";
    for (const size_t size : {size_t{102400}, size_t{102401}}) {
        // A comment line fills the file up to the size.
        const std::string text = ini + ";" + std::string(size - ini.size() - 3, 'x') + "\r\n";
        ASSERT_EQ(text.size(), size);
        kvtest::TempFolder::Write(folder.Path(u"req.ini"), text);
        EXPECT_EQ(CheckWinCGIParams({Utf16ToAnsi(folder.Path(u"req.ini"))}), size == 102400)
            << size;
    }
}

TEST(ClAppKind, SaveTextToFile) {
    const kvtest::TempFolder folder("save");
    const auto ansi = [&](std::u16string_view name) { return Utf16ToAnsi(folder.Path(name)); };
    kvtest::TempFolder::Write(folder.Path(u"old.html"), "an older and longer page");

    static constexpr struct {
        const char* name;
        std::u16string_view file;
        std::string_view text;
        bool saved;
    } kCases[] = {
        {"old file replaced", u"old.html", "new", true},
        {"missing folder made", u"sub/page.html", "<p>x</p>", true},
        {"empty text", u"empty.html", "", true},
        {"two missing folders", u"a/b/page.html", "x", false},
    };
    for (const auto& c : kCases) {
        std::u16string file(c.file);
        for (char16_t& ch : file)
            if (ch == u'/') ch = static_cast<char16_t>(kPathDelim);
        EXPECT_EQ(SaveTextToFile(c.text, ansi(file)), c.saved) << c.name;
        if (c.saved) {
            EXPECT_EQ(kvtest::TempFolder::Read(folder.Path(file)), c.text) << c.name;
        }
    }
}

} // namespace
