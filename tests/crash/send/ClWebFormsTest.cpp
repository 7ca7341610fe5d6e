#include <gtest/gtest.h>

#include <string>

#include "crash/send/ClWebForms.h"

namespace {

using namespace kv::crash;

TEST(ClWebForms, CharacterReferences) {
    struct Case {
        const char* label;
        const char* text;
        const char* expected;
    };
    static constexpr Case kCases[] = {
        {"plain", "a b", "a b"},
        {"each named one", "&amp;&quot;&lt;&gt;&nbsp;&apos;", "&\"<> '"},
        {"decimal", "A&#66;C&#9;", "ABC\t"},
        {"amp first, so a doubly escaped one ends decoded", "&amp;lt;", "<"},
        {"decimal without semicolon stays", "&#66 x", "&#66 x"},
        {"no digits stays", "&#;", "&#;"},
        {"unknown name stays", "&copy;", "&copy;"},
        {"too long a number stays", "&#99999999999;", "&#99999999999;"},
        {"at the end", "x&", "x&"},
    };
    for (const Case& c : kCases) EXPECT_EQ(DecodeHTMLReferences(c.text), c.expected) << c.label;
}

TEST(ClWebForms, Attributes) {
    struct Case {
        const char* label;
        const char* tag;
        const char* name;
        const char* expected; // null: no such attribute
    };
    static constexpr Case kCases[] = {
        {"double quotes", "<input name=\"a b\"", "name", "a b"},
        {"single quotes", "<input name='a\"b'", "name", "a\"b"},
        {"unquoted up to blank", "<input name=ab value=1", "name", "ab"},
        {"blanks around equals", "<input name  =  \"x\"", "name", "x"},
        {"case of the name ignored", "<INPUT NAME=\"x\"", "name", "x"},
        {"unquoted before />", "<input value=abc/", "value", "abc"},
        {"slash inside an unquoted value", "<input value=a/b", "value", "a/b"},
        {"references decoded", "<input value=\"&lt;1&gt; &amp; 2\"", "value", "<1> & 2"},
        {"boolean attribute", "<option selected value=3", "selected", ""},
        {"missing", "<input name=\"x\"", "value", nullptr},
        {"name inside a value is no attribute", "<input title=\"value=7\"", "value", nullptr},
        {"quote never closed", "<input value=\"abc", "value", "abc"},
        {"empty value", "<input value=\"\"", "value", ""},
    };
    for (const Case& c : kCases) {
        const auto v = GetHTMLAttribute(c.tag, c.name);
        if (c.expected == nullptr) {
            EXPECT_FALSE(v.has_value()) << c.label;
        } else {
            ASSERT_TRUE(v.has_value()) << c.label;
            EXPECT_EQ(*v, c.expected) << c.label;
        }
    }
}

constexpr const char* kPage =
    "<form><input type=\"hidden\" name=\"token\" value=\"\">"
    "<input type=\"hidden\" name=\"TOKEN\" value=\"t-1\"/>"
    "<input name=\"title\" value='it&apos;s > here' >"
    "<select name=\"severity\"><option value=\"10\">minor</option>"
    "<option value=\"50\" selected=\"selected\">major</option></select>"
    "<select name=\"nothing\"><option value=\"1\">one</option></select>"
    "<select name=\"empty\"><option value=\"\" selected>none</option></select>"
    "<select name=\"project_id\"><option value=\"0\">All</option>"
    "<option value=\"7\">&nbsp;&raquo; Kolvane App</option>"
    "<option value=\"8\" selected>Other</option></select>"
    "<input name=\"hidden_list\" value=\"h\">"
    "<textarea name=\"description\" cols=\"80\">  line &lt;1&gt;  </textarea>"
    "</form>";

TEST(ClWebForms, FormOperations) {
    struct Case {
        const char* label;
        void (*op)(TWebForm&);
        const char* expected; // the lines added, joined by "|"
    };
    static const Case kCases[] = {
        {"field", [](TWebForm& f) { f.AddField("a", "b=c"); }, "a=b=c"},
        {"input value skips empty ones, name case ignored",
         [](TWebForm& f) { f.AddFieldValue("token"); }, "token=t-1"},
        {"input value with a quoted > and a reference",
         [](TWebForm& f) { f.AddFieldValue("title"); }, "title=it's > here"},
        {"missing input adds nothing", [](TWebForm& f) { f.AddFieldValue("none"); }, ""},
        {"text area trimmed and decoded", [](TWebForm& f) { f.AddFieldByTextArea("description"); },
         "description=line <1>"},
        {"missing text area", [](TWebForm& f) { f.AddFieldByTextArea("notes"); }, ""},
        {"selected option", [](TWebForm& f) { f.AddFieldByDefaultList("severity"); },
         "severity=50"},
        {"no option selected", [](TWebForm& f) { f.AddFieldByDefaultList("nothing"); }, "nothing="},
        {"no select falls back to input",
         [](TWebForm& f) { f.AddFieldByDefaultList("hidden_list"); }, "hidden_list=h"},
        {"list 2: empty selection adds nothing",
         [](TWebForm& f) { f.AddFieldByDefaultList2("empty"); }, ""},
        {"list 2: selected", [](TWebForm& f) { f.AddFieldByDefaultList2("severity"); },
         "severity=50"},
        {"title after references, case ignored",
         [](TWebForm& f) { f.AddFieldByListTitle("project_id", "kolvane app"); }, "project_id=7"},
        {"unknown title gives the selected one",
         [](TWebForm& f) { f.AddFieldByListTitle("project_id", "Nope"); }, "project_id=8"},
        {"title without the select adds nothing",
         [](TWebForm& f) { f.AddFieldByListTitle("handler_id", "Nope"); }, ""},
        {"summary",
         [](TWebForm& f) { f.AddBugSummary("summary", "1.2.3", "EAccessViolation", "A1B2"); },
         "summary=[v1.2.3 - 1]: EAccessViolation (A1B2)"},
        {"search text without the version",
         [](TWebForm& f) { f.AddSearchText("search", "1.2.3", "EAccessViolation", "A1B2"); },
         "search=EAccessViolation (A1B2)"},
        {"custom fields replace scraped ones, the last four stay out",
         [](TWebForm& f) {
             f.AddField("severity", "50");
             f.AddField("Severity", "60");
             f.AddCustomFields({"SEVERITY=80", "user=u", "FogBugzTrialID=", "CL_OSType=w",
                                "CL_OSBuild=1", "CL_ReproduceText=r"});
         },
         "SEVERITY=80|user=u"},
        {"only the sender's four entries",
         [](TWebForm& f) {
             f.AddCustomFields({"a=1", "b=2", "c=3"});
         },
         ""},
    };
    for (const Case& c : kCases) {
        TStrings fields;
        TWebForm form(kPage, "page.php", fields);
        c.op(form);
        std::string joined;
        for (const std::string& line : fields) joined += (joined.empty() ? "" : "|") + line;
        EXPECT_EQ(joined, c.expected) << c.label;
    }
}

TEST(ClWebForms, BugCount) {
    struct Case {
        const char* label;
        const char* page;
        bool result;
        const char* added; // null: nothing added
    };
    static constexpr Case kCases[] = {
        {"41 becomes 42", "<input name=\"summary\" value=\"[v1.0 - 41]: EError (B1)\">", true,
         "summary=[v1.0 - 42]: EError (B1)"},
        {"9998 becomes 9999", "<input name=\"summary\" value=\"[v1.0 - 9998]: E (B)\">", true,
         "summary=[v1.0 - 9999]: E (B)"},
        {"9999 is the limit", "<input name=\"summary\" value=\"[v1.0 - 9999]: E (B)\">", false,
         nullptr},
        {"far past the limit",
         "<input name=\"summary\" value=\"[v1.0 - 123456789012345678]: E (B)\">", false, nullptr},
        {"number up to the end", "<input name=\"summary\" value=\"Crash - 7\">", true,
         "summary=Crash - 8"},
        {"version with a dash", "<input name=\"summary\" value=\"[v1 - beta - 3]: E (B)\">", true,
         "summary=[v1 - beta - 4]: E (B)"},
        {"no dash: unchanged", "<input name=\"summary\" value=\"A crash (B)\">", true,
         "summary=A crash (B)"},
        {"no number: unchanged", "<input name=\"summary\" value=\"[v1 - x]: E\">", true,
         "summary=[v1 - x]: E"},
        {"no such input: empty title", "<p>nothing</p>", true, "summary="},
    };
    for (const Case& c : kCases) {
        TStrings fields;
        TWebForm form(c.page, "x", fields);
        EXPECT_EQ(form.GetBugCountField("summary"), c.result) << c.label;
        if (c.added == nullptr) {
            EXPECT_TRUE(fields.empty()) << c.label;
        } else {
            ASSERT_EQ(fields.size(), 1u) << c.label;
            EXPECT_EQ(fields[0], c.added) << c.label;
        }
    }
}

TEST(ClWebForms, SuccessfulSend) {
    struct Case {
        const char* label;
        const char* page;
        const char* include;
        const char* exclude;
        bool expected;
    };
    static constexpr Case kCases[] = {
        {"all given and right", "VIEW.php", "HREF=\"view.php?id=", "warning", true},
        {"other page", "login.php", "", "", false},
        {"include missing", "", "show_bug.cgi?id=", "", false},
        {"exclude present", "", "", "APPLICATION ERROR", false},
        {"nothing asked", "", "", "", true},
    };
    TStrings fields;
    const TWebForm form("<a href=\"view.php?id=3\">x</a> Application Error", "view.php", fields);
    for (const Case& c : kCases)
        EXPECT_EQ(form.IsSuccessfulSend(c.page, c.include, c.exclude), c.expected) << c.label;
}

TEST(ClWebForms, ValueAfterMarker) {
    struct Case {
        const char* label;
        const char* html;
        const char* marker;
        int n;
        const char* expected;
    };
    static constexpr Case kCases[] = {
        {"up to a quote", "<a href=\"bug_update_page.php?bug_id=12\">",
         "BUG_UPDATE_PAGE.PHP?bug_id=", 1, "12"},
        {"up to an ampersand", "x?pgx=EV&amp;ixBug=905&amp;y", "ixBug=", 1, "905"},
        {"second occurrence", "id=1 id=2>", "id=", 2, "2"},
        {"lower-cased", "token=AbC<", "token=", 1, "abc"},
        {"each stop character", "m=a\\b m=c'd m=e f", "m=", 1, "a"},
        {"missing", "nothing", "id=", 1, ""},
        {"at the very end", "id=", "id=", 1, ""},
    };
    for (const Case& c : kCases)
        EXPECT_EQ(ValueAfterMarker(c.html, c.marker, c.n), c.expected) << c.label;
}

// Pages cut off or broken anywhere give empty values, never a read past their end.
TEST(ClWebForms, MalformedPagesAreReadWithinBounds) {
    const std::string page = kPage;
    for (size_t len = 0; len <= page.size(); ++len) {
        const std::string cut = page.substr(0, len);
        TStrings fields;
        TWebForm form(cut, "p", fields);
        form.AddFieldValue("title");
        form.AddFieldByTextArea("description");
        form.AddFieldByDefaultList("severity");
        form.AddFieldByListTitle("project_id", "Kolvane App");
        form.GetBugCountField("title");
        ValueAfterMarker(cut, "value=");
    }
    struct Case {
        const char* label;
        const char* html;
        const char* expected;
    };
    static constexpr Case kCases[] = {
        {"stray apostrophe", "<input name=x value=it's><input name=y value=\"2\">", "2"},
        {"tag never closed", "<input name=y value=\"3\"", "3"},
        {"select never closed", "<select name=y><option value=4 selected>a", "4"},
    };
    for (const Case& c : kCases) {
        TStrings fields;
        TWebForm form(c.html, "p", fields);
        form.AddFieldByDefaultList("y");
        ASSERT_EQ(fields.size(), 1u) << c.label;
        EXPECT_EQ(fields[0], std::string("y=") + c.expected) << c.label;
    }
}

// A tracker page may be as large as a reply can be (16 MB). Scanning it must take time in
// proportion to its size whatever its markup: options that are never closed, a title of many
// " - " and no "]". (Before, each option looked for "</option>" to the page's end, and each
// " - " for "]": such a page took hours and never returned within the test's bound.)
TEST(ClWebForms, LargePagesScanInOneSweep) {
    constexpr size_t kPageSize = 16u << 20;
    std::string page = "<select name=\"big\">";
    while (page.size() < kPageSize) page += "<option value=1>One";
    page += "<option value=\"last\">Crash</select>";
    const auto body = FindSelectBody(page, "big");
    ASSERT_TRUE(body.has_value());
    EXPECT_EQ(OptionValueByTitle(*body, "crash"), "last");
    EXPECT_EQ(SelectedOptionValue(*body), "");

    std::string dashes;
    while (dashes.size() < kPageSize) dashes += " - ";
    const std::string title = "[v1.0" + dashes + " - 41]: EAccessViolation (A1)";
    TStrings fields;
    const std::string input = "<input name=\"summary\" value=\"" + title + "\">";
    TWebForm form(input, "page", fields);
    ASSERT_TRUE(form.GetBugCountField("summary"));
    ASSERT_EQ(fields.size(), 1u);
    EXPECT_EQ(fields[0], "summary=[v1.0" + dashes + " - 42]: EAccessViolation (A1)");
}

TEST(ClWebForms, OptionalField) {
    EXPECT_EQ(AddOptionalField("text", "steps"), "text\r\n\r\n---\r\n\r\nsteps");
    EXPECT_EQ(AddOptionalField("text", ""), "text");
}

} // namespace
