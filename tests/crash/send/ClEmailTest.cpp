#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>

#include "crash/send/ClEmail.h"

namespace {

using namespace kv::crash;
using namespace std::string_view_literals;

TEST(ClEmail, EncodeMailtoText) {
    struct Case {
        const char* label;
        std::string_view in;
        std::string_view out;
    };
    static constexpr Case kCases[] = {
        {"empty", ""sv, ""sv},
        {"letters, digits and minus kept", "AZaz09-"sv, "AZaz09-"sv},
        {"blank", "a b"sv, "a%20b"sv},
        {"line break", "a\r\nb"sv, "a%0D%0Ab"sv},
        {"ampersand", "x&y"sv, "x%26y"sv},
        {"other marks", "._~%?=\"+"sv, "%2E%5F%7E%25%3F%3D%22%2B"sv},
        {"NUL and DEL", "\0\x7F"sv, "%00%7F"sv},
        {"bytes from 0x80 kept", "\x80\xA0\xB1\xFF"sv, "\x80\xA0\xB1\xFF"sv},
        {"double-byte character with a low trail byte", "\x95\x5C\x83\x40"sv, "\x95\x5C\x83\x40"sv},
        {"lone lead byte at the end", "a\x95"sv, "a\x95"sv},
        {"lead byte before a control character", "\x95\r"sv, "\x95%0D"sv},
    };
    for (const Case& c : kCases) EXPECT_EQ(EncodeMailtoText(c.in), c.out) << c.label;
}

TEST(ClEmail, MailtoURLAndCommandLine) {
    EXPECT_EQ(MailtoURL("a@b.c; d e@f.g", "Bug & fix", MailtoBody("Hi there", "Log 1")),
              "mailto:a%40b%2Ec%3B%20d%20e%40f%2Eg?Subject=Bug%20%26%20fix"
              "&Body=Hi%20there%0D%0A%0D%0A%0D%0ALog%201");
    EXPECT_EQ(MailtoURL("", "", ""), "mailto:?Subject=&Body=");
    // A quote in the addresses stays inside the command's one quoted argument.
    EXPECT_EQ(MailtoCommandLine("m.exe \"%1\"", MailtoURL("a@b.c\" -x \"y", "", "")),
              "m.exe \"mailto:a%40b%2Ec%22%20-x%20%22y?Subject=&Body=\"");

    struct Case {
        const char* label;
        const char* command;
        const char* out;
    };
    static constexpr Case kCases[] = {
        {"quoted argument", "\"C:\\mail.exe\" \"%1\"", "\"C:\\mail.exe\" \"mailto:x%20y\""},
        {"no placeholder", "C:\\mail.exe -compose", "C:\\mail.exe -compose"},
        {"two placeholders", "m.exe %1 /u %1", "m.exe mailto:x%20y /u mailto:x%20y"},
        {"no command", "", ""},
    };
    for (const Case& c : kCases)
        EXPECT_EQ(MailtoCommandLine(c.command, "mailto:x%20y"), c.out) << c.label;
}

TEST(ClEmail, SubjectIsOneLine) {
    EXPECT_EQ(MAPISubjectText("Error\r\n\tin \x01module\n"), "Error in  module ");
    EXPECT_EQ(MAPISubjectText("\x93\xFA\x96\x7B"), "\x93\xFA\x96\x7B");
}

TEST(ClEmail, RecipientsSplitAtCommaAndSemicolon) {
    struct Case {
        const char* label;
        const char* to;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"none", "", {}},
        {"one", "bugs@example.com", {"bugs@example.com"}},
        {"mixed separators and blanks", " a@x.jp , b@y.jp;c@z.jp ", {"a@x.jp", "b@y.jp", "c@z.jp"}},
        {"empty items dropped", ";;a@x.jp,,", {"a@x.jp"}},
    };
    for (const Case& c : cases) {
        const std::vector<TMAPIRecipient> r = MAPIRecipients(c.to);
        ASSERT_EQ(r.size(), c.names.size()) << c.label;
        for (size_t i = 0; i < r.size(); ++i) {
            EXPECT_EQ(r[i].Name, c.names[i]) << c.label;
            EXPECT_EQ(r[i].Address, "SMTP:" + c.names[i]) << c.label;
        }
    }
}

TEST(ClEmail, AttachmentChoice) {
    const std::set<std::string> existing = {"a", "b", "c", "d"};
    const TFileExistsProc exists = [&](const std::string& f) { return existing.count(f) > 0; };
    EXPECT_EQ(ChooseMAPIAttachments({"", "c", "gone"}, {"a", "", "missing", "b"}, exists),
              (TStrings{"c", "a", "b"}));
    EXPECT_TRUE(ChooseMAPIAttachments({""}, {}, exists).empty());

    // 33 existing files: the first 32 go, in order, whichever list they come from.
    TStrings array, list, names;
    for (int i = 0; i < 33; ++i) {
        const std::string name = "f" + std::to_string(i);
        (i < 5 ? array : list).push_back(name);
        list.push_back("missing");
    }
    for (int i = 0; i < 32; ++i) names.push_back("f" + std::to_string(i));
    const auto all = [](const std::string& f) { return f != "missing"; };
    EXPECT_EQ(ChooseMAPIAttachments(array, list, all), names);
}

} // namespace
