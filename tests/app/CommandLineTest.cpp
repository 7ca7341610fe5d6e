#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "base/Text.h"

namespace {

struct SplitCase {
    const char* name;
    std::u16string line;
    std::vector<std::u16string> args;
};

TEST(CommandLine, SplitsAsTheClassLibraryDoes) {
    const SplitCase cases[] = {
        {"empty", u"", {}},
        {"blanks only", u"  \t ", {}},
        {"program only", u"kolvane.exe", {u"kolvane.exe"}},
        {"quoted program with spaces",
         u"\"C:\\Program Files\\k.exe\" -a",
         {u"C:\\Program Files\\k.exe", u"-a"}},
        {"an option quoted whole, prefix included",
         u"k.exe \"-lf=C:\\My Data\\l.csv\" -lk=0",
         {u"k.exe", u"-lf=C:\\My Data\\l.csv", u"-lk=0"}},
        {"quotes in the middle join the parts",
         u"k.exe -cf=\"C:\\a b\"\\c.csv",
         {u"k.exe", u"-cf=C:\\a b\\c.csv"}},
        {"backslash before a quote is an ordinary character",
         u"k.exe \"C:\\dir\\\" x",
         {u"k.exe", u"C:\\dir\\", u"x"}},
        {"an empty quoted argument", u"k.exe \"\" x", {u"k.exe", u"", u"x"}},
        {"several blanks and tabs between", u"k.exe\t -a   -lk=1 ", {u"k.exe", u"-a", u"-lk=1"}},
        {"text outside the ANSI code page",
         u"k.exe -lf=C:\\한국\\données.csv",
         {u"k.exe", u"-lf=C:\\한국\\données.csv"}},
        {"an unclosed quote runs to the end", u"k.exe \"a b", {u"k.exe", u"a b"}},
    };
    for (const auto& c : cases) EXPECT_EQ(app::SplitCommandLine(c.line), c.args) << c.name;
}

} // namespace
