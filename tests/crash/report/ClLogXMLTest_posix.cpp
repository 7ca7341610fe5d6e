// The XML form read by an independent parser, xmllint: a host program, so these run natively
// (the Windows build writes the same text).
#include <gtest/gtest.h>

#include <string>

#include "../support/CrashTestSupport.h"
#include "../support/Xmllint.h"
#include "crash/report/ClLogXML.h"

namespace {

using namespace kv::crash;

constexpr size_t npos = std::string::npos;

std::string Fixture(const std::string& name) {
    const std::string bytes = kvtest::ReportFixture(name);
    EXPECT_FALSE(bytes.empty()) << name;
    return bytes;
}

// An attribute as a parser reads it back, in UTF-8.
std::string XPathString(const std::string& xml, const std::string& path) {
    std::string out;
    EXPECT_TRUE(kvtest::RunXmllint(xml, "--xpath \"string(" + path + ")\"", out)) << out;
    if (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

TEST(ClLogXML, DocumentsAreWellFormedForXmllint) {
    ASSERT_TRUE(kvtest::XmllintInstalled()) << "scripts/setup.sh installs xmllint";
    static constexpr const char* kFixtures[] = {
        "full_every_section.log", "japanese_texts.log",   "sections_switched_off.log",
        "old_version_4_9.log",    "enciphered_names.log", "marks_out_of_place.log"};
    for (const char* name : kFixtures) {
        std::string messages;
        EXPECT_TRUE(kvtest::RunXmllint(GetXML({Fixture(name)}, "Kolvane"), "--noout", messages))
            << name << "\n"
            << messages;
    }
}

TEST(ClLogXML, JapaneseTextIsReadBackByAParser) {
    ASSERT_TRUE(kvtest::XmllintInstalled()) << "scripts/setup.sh installs xmllint";
    const std::string xml = GetXML({Fixture("japanese_texts.log")}, "");
    EXPECT_NE(xml.find("&#12509;"), npos) << "katakana po as one character reference";
    EXPECT_EQ(XPathString(xml, "//Module/@Path"), "Z:\\レポート");
    EXPECT_EQ(XPathString(xml, "//Module/@Description"), "表計算ｶﾅ");
    EXPECT_EQ(XPathString(xml, "//Module/@Modified"), "2026-12-10 09:08:07");
    EXPECT_EQ(XPathString(xml, "//Line[@ID='2.6']/@Value"),
              "ファイル \"C:\\ソポ\\表.csv\" を開けません。");
}

} // namespace
