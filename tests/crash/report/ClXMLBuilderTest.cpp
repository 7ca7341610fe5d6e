#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "../support/CrashTestSupport.h"
#include "base/Exception.h"
#include "crash/report/ClXMLBuilder.h"

namespace {

using namespace kv::crash;
using namespace std::string_view_literals;

TEST(TXMLItem, EncodedStringKeepsASCIIAndReferencesTheRest) {
    static constexpr struct {
        const char* name;
        std::string_view in;
        std::string_view expected;
    } kCases[] = {
        {"empty", "", ""},
        {"plain text", "abc XYZ 09~ /\\", "abc XYZ 09~ /\\"},
        {"markup", "<a href=\"x\">'&'</a>",
         "&#060;a href=&#034;x&#034;&#062;&#039;&#038;&#039;&#060;/a&#062;"},
        {"line breaks and tab", "a\r\n\tb", "a&#013;&#010;&#009;b"},
        {"other control characters", "\x01\x08\x0B\x0C\x0E\x1F\x7F", "???????"},
        {"embedded NUL", "a\0b"sv, "a?b"},
        {"double-byte with trail byte |", "\x83\x7C", "&#12509;"},
        {"double-byte with trail byte \\", "\x95\x5C", "&#34920;"},
        {"path in katakana", "C:\\\x83\x8C\x83\x7C\x81\x5B\x83\x67",
         "C:\\&#12524;&#12509;&#12540;&#12488;"},
        {"half-width katakana", "\xB6\xC5", "&#65398;&#65413;"},
        {"ideographic full stop then ASCII", "\x81\x42z", "&#12290;z"},
    };
    for (const auto& c : kCases) EXPECT_EQ(TXMLItem::EncodedString(c.in), c.expected) << c.name;
}

TEST(TXMLItem, StrayLeadByteTakesNoFollowingByteBelowTrailRange) {
    // The CR LF after a lead byte is no trail byte: it stays a line break.
    const std::string out = TXMLItem::EncodedString("\x83\r\nz");
    ASSERT_GE(out.size(), 13u);
    EXPECT_EQ(out.substr(out.size() - 13), "&#013;&#010;z");
    EXPECT_EQ(out.find_first_not_of("&#;0123456789?"), out.size() - 1) << out;
    // A lead byte that ends the text still gives ASCII.
    const std::string end = TXMLItem::EncodedString("a\x83");
    EXPECT_EQ(end.substr(0, 1), "a");
    for (char ch : end) EXPECT_TRUE(ch >= 32 && ch < 127) << end;
}

TEST(TXMLItem, XMLTextIndentsChildrenAndClosesEmptyElements) {
    TXMLItem root("Doc");
    root.AddField("A", "1");
    root.AddField("B", "x<y");
    TXMLItem* text = root.AddItem("Item");
    text->SetValue("text & more");
    TXMLItem* group = root.AddItem("Group");
    group->AddItem("Leaf")->AddField("K", "v");
    TXMLItem* both = group->AddItem("Both");
    both->SetValue("v");
    both->AddItem("C");
    root.AddItem("Empty");
    EXPECT_EQ(root.GetXMLText(), "<Doc A=\"1\" B=\"x&#060;y\">\r\n"
                                 "  <Item>text &#038; more</Item>\r\n"
                                 "  <Group>\r\n"
                                 "    <Leaf K=\"v\"/>\r\n"
                                 "    <Both>v\r\n"
                                 "      <C/>\r\n"
                                 "    </Both>\r\n"
                                 "  </Group>\r\n"
                                 "  <Empty/>\r\n"
                                 "</Doc>\r\n");
    EXPECT_EQ(root.XMLText(), root.GetXMLText());

    TXMLItem lone("Lone");
    EXPECT_EQ(lone.GetXMLText(), "<Lone/>\r\n");
    lone.SetSpaces("    ");
    lone.AddItem("Inner");
    std::string appended = "before\r\n";
    lone.AppendXMLText(appended);
    EXPECT_EQ(appended, "before\r\n    <Lone>\r\n      <Inner/>\r\n    </Lone>\r\n");
}

TEST(TXMLItem, ChildrenKnowTheirParentAndStayInOrder) {
    TXMLItem root("Root");
    EXPECT_EQ(root.Parent(), nullptr);
    TXMLItem* a = root.AddItem("A");
    TXMLItem* b = root.AddItem("B");
    TXMLItem* deep = b->AddItem("Deep");
    EXPECT_EQ(a->Parent(), &root);
    EXPECT_EQ(deep->Parent(), b);
    EXPECT_EQ(root.Items().Count(), 2);
    EXPECT_EQ(root.Items().GetItem(0), a);
    EXPECT_EQ(root.Items().GetItem(1), b);
    EXPECT_EQ(root.Items().GetItem(2), nullptr);
    EXPECT_EQ(root.Items().GetItem(-1), nullptr);
    EXPECT_EQ(b->Name(), "B");
    b->SetValue("a<b");
    EXPECT_EQ(b->Value(), "a<b"); // stored as given, escaped only when written
}

TEST(TXMLItem, SaveXMLToFileWritesTheTextExactly) {
    kvtest::TempDir dir("xml_builder");
    TXMLItem root("Doc");
    root.AddItem("Line")->AddField("Path", "Z:\\\x83\x8C\x83\x7C\x81\x5B\x83\x67");
    const std::string file = dir.Ansi("out.xml");
    root.SaveXMLToFile(file);
    EXPECT_EQ(kvtest::TempFolder::Read(kv::crash::AnsiToUtf16(file)),
              "<Doc>\r\n  <Line Path=\"Z:\\&#12524;&#12509;&#12540;&#12488;\"/>\r\n</Doc>\r\n");

    EXPECT_THROW(root.SaveXMLToFile(dir.Ansi("missing") + kPathDelim + "out.xml"), kv::EFileError);
}

} // namespace
