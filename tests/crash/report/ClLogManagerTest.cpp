#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "crash/report/ClLogManager.h"
#include "TestFiles.h"

namespace {

using namespace kv::crash;

// Lines each followed by CR LF.
std::string Lines(std::initializer_list<std::string> lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\r\n";
    return out;
}

std::string Rule(size_t n) {
    return std::string(n, '-');
}

TEST(TLogItem, BlocksAreTitledNumberedAlignedAndRuled) {
    TLogItem log(0);
    log.AddHeader("Application");
    log.AddItem("Start Date", "Mon");
    log.AddItem("Name/Description", "x.exe");
    log.AddHeader("Exception");
    log.AddItem("Date", "d");
    EXPECT_EQ(log.GetString(), Lines({"Application:", Rule(29), "  1.1 Start Date      : Mon",
                                      "  1.2 Name/Description: x.exe", "", "Exception:", Rule(13),
                                      "  2.1 Date: d"}));
    EXPECT_EQ(log.Value(), log.GetString());
}

// Values with line breaks: the lines after the first stand in the value column.
TEST(TLogItem, MultiLineValues) {
    const std::string cont(13, ' ');
    const struct {
        const char* name;
        std::vector<std::pair<std::string, std::string>> items;
        std::string text;
    } kCases[] = {
        {"escaped and in the value column",
         {{"Msg", "a: b\nc\n\n  \nd"}, {"Single", "x: y:_z"}},
         Lines({"H:", Rule(21), "  1.1 Msg   : a:_b", cont + " c", cont + " .", cont + " .",
                cont + " d", "  1.2 Single: x: y:_z"})},
        {"starting with a break: a dot",
         {{"V", "\r\nx"}},
         Lines({"H:", Rule(10), "  1.1 V: .", "         x"})},
        {"a continuation line ending in a colon stays a value line",
         {{"V", "a\r\nb:"}},
         Lines({"H:", Rule(11), "  1.1 V: a", "         b:"})},
    };
    for (const auto& c : kCases) {
        TLogItem log(0);
        log.AddHeader("H");
        for (const auto& [key, value] : c.items) log.AddItem(key, value);
        EXPECT_EQ(log.GetString(), c.text) << c.name;
    }
}

TEST(TLogItem, SwitchedOffItemsKeepTheirNumbersAndEmptyBlocksDisappear) {
    TLogItem log(0);
    log.AddHeader("Application");
    log.AddItem("Start Date", "x", false);
    log.AddHeader("Exception");
    for (int i = 1; i <= 6; ++i) log.AddItem("Item", "x", false);
    log.AddItem("ID", "123", true);
    log.AddItem("Count", "1", false);
    log.AddHeader("User");
    log.AddItem("ID", "u", false);
    log.AddHeader("Computer");
    log.AddItem("Name", "pc");
    log.AddHeader("Operating System");
    // The empty line before the dropped last block stays: stored logs have it.
    EXPECT_EQ(log.GetString(), Lines({"Exception:", Rule(13), "  2.7 ID: 123", "",
                                      "Computer:", Rule(14), "  4.1 Name: pc", ""}));
}

TEST(TLogItem, EdgeLayouts) {
    {
        SCOPED_TRACE("nothing added");
        TLogItem log(0);
        EXPECT_EQ(log.GetString(), "");
        log.AddHeader("Only");
        EXPECT_EQ(log.GetString(), "");
    }
    {
        SCOPED_TRACE("empty label");
        TLogItem log(7);
        log.AddHeader("Request");
        log.AddItem("", "v");
        EXPECT_EQ(log.GetString(), Lines({"Request:", Rule(9), "  8.1 : v"}));
    }
    {
        SCOPED_TRACE("long title, short items");
        TLogItem log(0);
        log.AddHeader("A very long block title");
        log.AddItem("K", "v");
        EXPECT_EQ(log.GetString(), Lines({"A very long block title:", Rule(10), "  1.1 K: v"}));
    }
    {
        SCOPED_TRACE("Clear returns to the first header");
        TLogItem log(3);
        log.AddHeader("A");
        log.AddHeader("B");
        log.Clear();
        log.AddHeader("C");
        log.AddItem("K", "v");
        EXPECT_EQ(log.GetString(), Lines({"C:", Rule(10), "  4.1 K: v"}));
    }
}

TEST(ClLogManager, NormalizeLineBreaks) {
    static constexpr struct {
        const char* name;
        const char* in;
        const char* out;
        bool lone;
    } kCases[] = {
        {"empty", "", "", false},
        {"CR LF kept", "a\r\nb\r\n", "a\r\nb\r\n", false},
        {"lone LF", "a\nb", "a\r\nb", true},
        {"lone CR", "a\rb", "a\r\nb", true},
        {"CR at the end", "a\r", "a\r\n", true},
        {"LF then CR", "\n\r", "\r\n\r\n", true},
        {"CR before CR LF", "\r\r\n", "\r\n\r\n", true},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(NormalizeLineBreaks(c.in), c.out) << c.name;
        EXPECT_EQ(HasLoneLineBreak(c.in), c.lone) << c.name;
    }
}

class InsertLogSectionTest : public ::testing::Test {
protected:
    const std::string general =
        "CrashLog 6.1.04\r\n\r\n" + Lines({"Application:", Rule(10), "  1.1 K: v"});
    const std::string callStack = Lines({"Call Stack Information:", "---"});
    std::string record = general + "\r\n" + callStack;
    TLogTexts texts{general, general + "\r\n" + callStack, "", &record};
};

TEST_F(InsertLogSectionTest, LaterBlocksFollowEarlierOnesBeforeTheCallStack) {
    InsertLogSection(texts, 7, "Request", "step1\nstep2");
    InsertLogValuesSection(texts, 7, "Custom Information", {"A = 1", " Bee=two ", "loose text"});
    const std::string request = Lines({"Request:", Rule(13), "  8.1 : step1", "        step2", ""});
    const std::string custom = Lines({"Custom Information:", Rule(21), "  8.1 A  : 1",
                                      "  8.2 Bee: two", "  8.3    : loose text", ""});
    const std::string expected = general + "\r\n" + request + custom + callStack;
    EXPECT_EQ(texts.LogText, expected);
    EXPECT_EQ(record, expected);
    EXPECT_EQ(texts.TextToSend, expected);
    EXPECT_EQ(texts.GeneralSectionText + "\r\n" + callStack, expected);
}

TEST_F(InsertLogSectionTest, EmptyTextOrListChangesNothing) {
    InsertLogSection(texts, 7, "Request", "");
    InsertLogValuesSection(texts, 7, "Custom Information", {});
    EXPECT_EQ(texts.LogText, general + "\r\n" + callStack);
    EXPECT_EQ(texts.GeneralSectionText, general);
    EXPECT_EQ(texts.TextToSend, "");
}

TEST_F(InsertLogSectionTest, TheCurrentReportsTextsOnlyWhileOneIsSet) {
    InsertLogSection(7, "Request", "x");
    EXPECT_EQ(texts.LogText, general + "\r\n" + callStack);
    CurrentLogTexts = &texts;
    InsertLogSection(7, "Request", "x");
    InsertLogValuesSection(7, "Custom Information", {"K=v"});
    CurrentLogTexts = nullptr;
    EXPECT_EQ(texts.LogText, general + "\r\n" + Lines({"Request:", Rule(9), "  8.1 : x", ""}) +
                                 Lines({"Custom Information:", Rule(10), "  8.1 K: v", ""}) +
                                 callStack);
}

TEST_F(InsertLogSectionTest, ShortLogTextTakesTheBlockAtItsEnd) {
    texts.LogText = "CrashLog";
    record.clear();
    InsertLogSection(texts, 7, "Request", "x");
    const std::string block = Lines({"Request:", Rule(9), "  8.1 : x", ""});
    EXPECT_EQ(texts.LogText, "CrashLog" + block);
    EXPECT_EQ(record, block);
}

// ---- The log file ----

// A stored report as the report text builder writes it: blocks 1 and 2 and a call-stack table.
std::string Report(const std::string& id, const std::string& version = "1.0",
                   const std::string& message = "boom", bool withCount = true) {
    TLogItem log(0);
    log.AddHeader("Application");
    log.AddItem("Start Date", "d");
    log.AddItem("Name/Description", "k.exe");
    log.AddItem("Version Number", version);
    log.AddHeader("Exception");
    for (const char* label : {"Date", "Address", "Module Name", "Module Version", "Type"})
        log.AddItem(label, std::string(label) == "Address" ? "0040102A" : "x");
    log.AddItem("Message", message);
    log.AddItem("ID", id);
    log.AddItem("Count", "1", withCount);
    log.AddItem("Status", "New");
    log.AddItem("Note", "");
    return "CrashLog 6.1.04\r\n\r\n" + log.GetString() + "\r\n" +
           Lines({"Call Stack Information:", "----", "|Address |", "----"});
}

TEST(TLogFile, KeepsTheNewestReportsAndReadsBackWhatItSaved) {
    kvtest::TempFile file("log_keep.elf");
    const std::string name = kv::Utf16ToUtf8(file.Path());
    {
        TLogFile log(name, false);
        EXPECT_EQ(log.Count(), 0);
        for (int i = 1; i <= 33; ++i) log.Append(Report(IntToHex(i, 4)), 32);
        log.Save();
    }
    TLogFile log(name, true);
    ASSERT_EQ(log.Count(), 32);
    EXPECT_EQ(log.GetItemValue("2.7", 0), "0002");
    EXPECT_EQ(log.GetItemValue("2.7", 31), "0021");
    for (int i = 0; i < log.Count(); ++i) {
        EXPECT_EQ(log.GetItem(i).rfind("CrashLog 6.1.04\r\n", 0), 0u) << i;
        EXPECT_EQ(log.GetLogVersion(i), "6.1.04");
    }
    const std::string saved = file.Read();
    kv::TMemoryStream again;
    log.SaveToStream(again);
    EXPECT_EQ(again.Data(), saved); // reading and saving again changes nothing
    EXPECT_EQ(saved.compare(saved.size() - 6, 6, "\r\n\r\n\r\n"), 0);
}

TEST(TLogFile, ReadsLeniently) {
    TLogFile log("", false);
    // The last report lacks its separator; a piece without a table header is no report.
    log.ParseBuffer("\r\n" + Report("AAAA") + "\r\n\r\n\r\nnot a report\r\n\r\n\r\n\r\n" +
                    Report("BBBB"));
    ASSERT_EQ(log.Count(), 1) << "text after the last separator is not a report";
    kv::TMemoryStream in(Report("AAAA") + "\r\n\r\n\r\n\r\n" + Report("BBBB"));
    TLogFile loaded("", false);
    loaded.LoadFromStream(in);
    ASSERT_EQ(loaded.Count(), 2);
    EXPECT_EQ(loaded.GetItemValue("2.7", 1), "BBBB");
    kv::TMemoryStream tiny("CrashLo");
    TLogFile empty("", false);
    empty.LoadFromStream(tiny);
    EXPECT_EQ(empty.Count(), 0);
    EXPECT_EQ(empty.GetText(), "");
}

TEST(TLogFile, ItemValuesReadBackAsTheyWereGiven) {
    TLogFile log("", false);
    log.Append(Report("1A2B", "1.0", "First: line.\r\n\r\nlast: one."), -1);
    EXPECT_EQ(log.GetItemValue("2.6", 0), "First: line.\r\n\r\nlast: one.");
    EXPECT_EQ(log.GetItemValue("2.2", 0), "0040102A");
    EXPECT_EQ(log.GetItemValue("2.10", 0), "");
    EXPECT_EQ(log.GetItemValue("9.9", 0), "");
    EXPECT_EQ(log.GetItemValue("2.7", 5), "");
    EXPECT_FALSE(log.GetCorruptedLog(0));
    log.Append("CrashLog 6.1.04\r\n\r\n-\r\n|\r\n", -1);
    EXPECT_TRUE(log.GetCorruptedLog(1));
}

TEST(TLogFile, CountIsChangedOrAddedInItsBlock) {
    TLogFile log("", false);
    log.Append(Report("1A2B"), -1);
    log.Append(Report("3C4D", "1.0", "boom", false), -1);
    log.SetItemValue("2.8", "2", "Count", 0);
    EXPECT_EQ(log.GetItemValue("2.8", 0), "2");
    EXPECT_EQ(log.GetItemValue("2.9", 0), "New");
    EXPECT_NE(log.GetItem(0).find("  2.8 Count         : 2\r\n  2.9 Status"), std::string::npos);

    EXPECT_EQ(log.GetItemValue("2.8", 1), "");
    log.SetItemValue("2.8", "2", "Count", 1);
    EXPECT_EQ(log.GetItemValue("2.8", 1), "2");
    EXPECT_NE(log.GetItem(1).find("  2.10 Note         : \r\n  2.8 Count         : 2\r\n\r\n"),
              std::string::npos)
        << log.GetItem(1);
}

TEST(TLogFile, FindItemAnswersTheNewestMatch) {
    TLogFile log("", false);
    log.Append(Report("1A2B", "1.0", "two\r\nlines: here"), -1);
    log.Append(Report("FFFF"), -1);
    log.Append(Report("1A2B", "1.1", "two\r\nlines: here"), -1);
    EXPECT_EQ(log.FindItem({"2.7"}, {"1A2B"}), 2);
    EXPECT_EQ(log.FindItem({"2.7"}, {"0000"}), -1);
    EXPECT_EQ(log.FindItem({"2.7", "2.6"}, {"0000", "two\r\nlines: here"}), 2);
    EXPECT_EQ(log.FindItem({"1.3"}, {"1.0"}), 1);
}

TEST(TLogFile, XMLFormHoldsEveryReport) {
    TLogFile log("", false);
    log.Append(Report("1A2B"), -1);
    log.Append(Report("3C4D", "1.0", "\x83\x8C\x83\x7C\x81\x5B\x83\x67 <&>"), -1);
    const std::string xml = log.GetXML();
    EXPECT_EQ(xml.rfind("<Doc>\r\n  <Log Version=\"6.1.04\">", 0), 0u) << xml;
    EXPECT_NE(xml.find("Value=\"&#12524;&#12509;&#12540;&#12488; &#060;&#038;&#062;\""),
              std::string::npos)
        << xml;
    EXPECT_NE(xml.find("<Line ID=\"2.7\" Label=\"ID\" Value=\"3C4D\"/>"), std::string::npos);
}

} // namespace
