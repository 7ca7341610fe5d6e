#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "crash/report/ClLogManager.h"

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

TEST(TLogItem, MultiLineValuesAreEscapedAndStandInTheValueColumn) {
    TLogItem log(0);
    log.AddHeader("H");
    log.AddItem("Msg", "a: b\nc\n\n  \nd");
    log.AddItem("Single", "x: y:_z");
    const std::string cont(13, ' ');
    EXPECT_EQ(log.GetString(),
              Lines({"H:", Rule(21), "  1.1 Msg   : a:_b", cont + " c", cont + " .", cont + " .",
                     cont + " d", "  1.2 Single: x: y:_z"}));
}

TEST(TLogItem, ValueStartingWithABreakShowsADot) {
    TLogItem log(0);
    log.AddHeader("H");
    log.AddItem("V", "\r\nx");
    EXPECT_EQ(log.GetString(), Lines({"H:", Rule(10), "  1.1 V: .", "         x"}));
}

TEST(TLogItem, ContinuationLineEndingInAColonStaysAValueLine) {
    TLogItem log(0);
    log.AddHeader("H");
    log.AddItem("V", "a\r\nb:");
    EXPECT_EQ(log.GetString(), Lines({"H:", Rule(11), "  1.1 V: a", "         b:"}));
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
    EXPECT_EQ(log.GetString(), Lines({"Exception:", Rule(13), "  2.7 ID: 123", "",
                                      "Computer:", Rule(14), "  4.1 Name: pc"}));
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

} // namespace
