#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "../support/CrashTestSupport.h"
#include "crash/report/ClLogXML.h"

namespace {

using namespace kv::crash;

constexpr size_t npos = std::string::npos;

std::string Fixture(const std::string& name) {
    const std::string bytes = kvtest::ReportFixture(name);
    EXPECT_FALSE(bytes.empty()) << name;
    return bytes;
}

bool StartsWith(const std::string& text, const std::string& head) {
    return text.compare(0, head.size(), head) == 0;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool IsPrintableASCII(const std::string& text) {
    for (char c : text)
        if (!(c == '\r' || c == '\n' || (c >= 32 && c < 127))) return false;
    return true;
}

// ---- Sections ----

TEST(ClLogXML, LogVersionIsTheFirstLineAfterTheProductName) {
    static constexpr struct {
        const char* name;
        std::string_view report;
        std::string_view version;
    } kCases[] = {
        {"current", "CrashLog 6.1.04\r\n\r\nApplication:", "6.1.04"},
        {"old", "CrashLog 4.9\r\n", "4.9"},
        {"single line", "CrashLog 5.0.1", "5.0.1"},
        {"too short", "CrashLog\r\n6.1", ""},
        {"empty", "", ""},
    };
    for (const auto& c : kCases) EXPECT_EQ(GetLogVersion(c.report), c.version) << c.name;
}

TEST(ClLogXML, SectionIndexCountsTitlesOrEmptyLinesFromTheFirstTable) {
    // 0: "T:", 4: rule, 8: "|h|", 13: rule, 15: CR LF CR LF, 19: "M:", 23: rule, 25: CR LF
    // CR LF, 29: "P:", 33: rule.
    const std::string_view text = "T:\r\n--\r\n|h|\r\n--\r\n\r\nM:\r\n--\r\n\r\nP:\r\n--";
    static constexpr struct {
        const char* name;
        int count;
        bool byBlankLines;
        size_t expected;
    } kCases[] = {
        {"the table header", 0, false, 5},          {"first title rule", 1, false, 23},
        {"second title rule", 2, false, 33},        {"one title too many", 3, false, npos},
        {"after first empty line", 1, true, 19},    {"after second empty line", 2, true, 29},
        {"one empty line too many", 3, true, npos},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(SectionIndex(text, c.count, c.byBlankLines), c.expected) << c.name;
    EXPECT_EQ(SectionIndex("T:\r\n--\r\n\r\nM:\r\n--", 0, false), npos) << "no table";
}

TEST(ClLogXML, SectionsAreCutAtTitlesAndRules) {
    const std::string report = Fixture("full_every_section.log");
    const std::string general = GetGeneralSection(report);
    EXPECT_TRUE(StartsWith(general, "CrashLog 6.1.04\r\n\r\nApplication:\r\n")) << general;
    EXPECT_TRUE(EndsWith(general, "Details:\r\n\r\nCustom Information:\r\n-------------------"
                                  "\r\n  8.1 : built by CI"))
        << general;

    const std::string stack = GetCallStackSection(report);
    EXPECT_TRUE(StartsWith(stack, std::string(66, '-') + "\r\n|Address |")) << stack;
    EXPECT_TRUE(EndsWith(stack, "|40[5]|\r\n" + std::string(66, '-'))) << stack;
    EXPECT_EQ(stack.find("Call Stack"), npos);

    const std::string modules = GetModulesSection(report);
    EXPECT_TRUE(StartsWith(modules, std::string(106, '-') + "\r\n|Handle  |")) << modules;
    EXPECT_TRUE(EndsWith(modules, "|C:\\WINDOWS\\system32     |\r\n" + std::string(106, '-')))
        << modules;
    EXPECT_NE(GetProcessesSection(report).find("|4242|explorer.exe|"), npos);

    EXPECT_EQ(GetAssemblerSection(report),
              "; main.TFormMain.Crash (Line=30 - Offset=2)\r\n"
              "; ----------------------------------------\r\n"
              "00401025  mov     eax, dword ptr [ebp-$04]\r\n"
              "0040102A  mov     dword ptr [eax], $0000002A  ; <-- EXCEPTION\r\n"
              "00401030  push    $00402000                   ; 'a<b'\r\n"
              ";\r\n"
              "; main.StartWorker (Line=40 - Offset=5)\r\n"
              "; -------------------------------------\r\n"
              "00401035  ret");

    const std::string cpu = GetCPUSection(report);
    EXPECT_TRUE(StartsWith(cpu, "Registers:\r\n-----------------------------\r\nEAX: ")) << cpu;
    EXPECT_TRUE(EndsWith(cpu, "00 00  ................")) << cpu;
    EXPECT_EQ(GetReproduceSection(report), "") << "only logs older than 5.0 have it";
}

TEST(ClLogXML, SwitchedOffSectionsAreEmpty) {
    const std::string report = Fixture("sections_switched_off.log");
    EXPECT_EQ(GetModulesSection(report), "");
    EXPECT_EQ(GetProcessesSection(report), "");
    EXPECT_EQ(GetAssemblerSection(report), "");
    EXPECT_EQ(GetCPUSection(report), "");
    EXPECT_EQ(GetGeneralSection("no table here\r\n"), "");
    EXPECT_EQ(GetCallStackSection("no table here\r\n"), "");
}

TEST(ClLogXML, TableRowsSplitAtSeparatorsButNotAtTrailBytes) {
    static const struct {
        const char* name;
        std::string_view row;
        TStrings cells;
    } kCases[] = {
        {"frame with empty cell", "|0040|a.exe|  |Run |", {"0040", "a.exe", "", "Run"}},
        {"leading separators", "||a|", {"a"}},
        {"nothing after the last separator", "|a|b", {"a"}},
        {"blank caption row", "|     |", {""}},
        {"no separator", "abc", {}},
        {"empty", "", {}},
        {"katakana path keeps its 0x7C trail byte",
         "|Z:\\\x83\x8C\x83\x7C\x81\x5B\x83\x67|x|",
         {"Z:\\\x83\x8C\x83\x7C\x81\x5B\x83\x67", "x"}},
        {"kanji with trail byte 0x5C", "|\x95\x5C|", {"\x95\x5C"}},
        {"half-width katakana are single bytes", "|\xB6|\xC5|", {"\xB6", "\xC5"}},
    };
    for (const auto& c : kCases) EXPECT_EQ(SplitTableRow(c.row), c.cells) << c.name;

    const std::vector<TStrings> rows = GetTableRows("---\r\n|H|\r\n---\r\n|a|\r\n|---|\r\n|  "
                                                    "|\r\n|b|c|\r\n---\r\n|after|");
    EXPECT_EQ(rows, (std::vector<TStrings>{{"a"}, {""}, {"b", "c"}}));
    EXPECT_EQ(GetTableRows("---\r\n|H|\r\n------"), std::vector<TStrings>{}) << "no rows";
}

// ---- Elements ----

TEST(ClLogXML, GeneralSectionGivesGroupsOfLines) {
    EXPECT_EQ(
        GetGeneralXML(Fixture("full_every_section.log")),
        "<General>\r\n"
        "  <Group ID=\"1\" Label=\"Application\">\r\n"
        "    <Line ID=\"1.1\" Label=\"Start Date\" Value=\"Thu, 10 Dec 2026 10:00:00 +0900\"/>\r\n"
        "    <Line ID=\"1.2\" Label=\"Name/Description\" Value=\"kolvane.exe - (Kolvane)\"/>\r\n"
        // A one-line value is stored unescaped: its ":_" is text.
        "    <Line ID=\"1.4\" Label=\"Parameters\" Value=\"/mode:_fast\"/>\r\n"
        "    <Line ID=\"1.5\" Label=\"Compilation Date\" Value=\"\"/>\r\n"
        "  </Group>\r\n"
        "  <Group ID=\"2\" Label=\"Exception\">\r\n"
        "    <Line ID=\"2.2\" Label=\"Address\" Value=\"0040102A\"/>\r\n"
        "    <Line ID=\"2.6\" Label=\"Message\" Value=\"Access violation: at "
        "0040102A.&#013;&#010;&#013;&#010;Write of &#060;&#038;&#034;&#039;&#062;\"/>\r\n"
        "    <Line ID=\"2.7\" Label=\"ID\" Value=\"1A2B\"/>\r\n"
        // A continuation line ending in a colon is no item.
        "    <Line ID=\"2.10\" Label=\"Note\" Value=\"Seen twice&#013;&#010;Details:\"/>\r\n"
        "  </Group>\r\n"
        "  <Group ID=\"8\" Label=\"Custom Information\">\r\n"
        "    <Line ID=\"8.1\" Label=\"\" Value=\"built by CI\"/>\r\n"
        "  </Group>\r\n"
        "</General>\r\n");
}

TEST(ClLogXML, CallStackNestsCallingThreadsInTheirThread) {
    EXPECT_EQ(
        GetCallStackXML(Fixture("full_every_section.log"), ""),
        "<CallStack>\r\n"
        "  <ExceptionThread ID=\"1234\" Priority=\"0\" Class=\"\" MainThread=\"True\">\r\n"
        "    <Line Address=\"0040102A\" Module=\"kolvane.exe\" Unit=\"main.cpp\" "
        "Class=\"TFormMain\" Procedure=\"Crash\" Number=\"30\" Offset=\"2\"/>\r\n"
        // An empty Line cell; a name starting with "@".
        "    <Line Address=\"00401100\" Module=\"kolvane.exe\" Unit=\"main.cpp\" Class=\"\" "
        "Procedure=\"_System@Halt0\" Number=\"\" Offset=\"\"/>\r\n"
        "  </ExceptionThread>\r\n"
        "  <RunningThread ID=\"99\" Priority=\"2\" Class=\"TWorker\" MainThread=\"False\">\r\n"
        "    <Line Address=\"10001010\" Module=\"helper.dll\" Unit=\"worker.cpp\" "
        "Class=\"TWorker\" Procedure=\"Run\" Number=\"12\" Offset=\"0\"/>\r\n"
        "    <CallingThread ID=\"1234\" Priority=\"0\" Class=\"\" MainThread=\"True\">\r\n"
        "      <Line Address=\"00401200\" Module=\"kolvane.exe\" Unit=\"main.cpp\" "
        "Class=\"\" Procedure=\"StartWorker\" Number=\"40\" Offset=\"5\"/>\r\n"
        "    </CallingThread>\r\n"
        "  </RunningThread>\r\n"
        "</CallStack>\r\n");
}

TEST(ClLogXML, EncipheredNamesAreReadWithThePassword) {
    const std::string report = Fixture("enciphered_names.log");
    const std::string head = "<CallStack>\r\n  <ExceptionThread ID=\"1\" Priority=\"0\" Class=\"\" "
                             "MainThread=\"True\">\r\n";
    const std::string tail = "  </ExceptionThread>\r\n</CallStack>\r\n";
    // Stored as they are: no password, a wrong one, or cells that do not decode to names.
    const std::string stored =
        "    <Line Address=\"0040102A\" Module=\"kolvane.exe\" Unit=\"?cXD1FXw==\" Class=\"\" "
        "Procedure=\"?EDXd5+CDy1UcnKXeDSct\" Number=\"30\" Offset=\"2\"/>\r\n"
        "    <Line Address=\"10001010\" Module=\"helper.dll\" Unit=\"?pRjNeWgAr\" "
        "Class=\"?ZQtDQw48wQ==\" Procedure=\"?YylC\" Number=\"12\" Offset=\"0\"/>\r\n"
        "    <Line Address=\"00401100\" Module=\"kolvane.exe\" Unit=\"?cXD1FXw==\" Class=\"\" "
        "Procedure=\"?HtI8po7UClCOSHdFS76V\" Number=\"5\" Offset=\"0\"/>\r\n";
    const std::string notANameLine =
        "    <Line Address=\"00401200\" Module=\"kolvane.exe\" Unit=\"?coSayYE+ffhI=\" Class=\"\" "
        "Procedure=\"?YylC\" Number=\"7\" Offset=\"1\"/>\r\n";
    const std::string decrypted =
        // "TFormMain.Crash": class and procedure in one; "?c" adds ".cpp", "?p" ".pas".
        "    <Line Address=\"0040102A\" Module=\"kolvane.exe\" Unit=\"main.cpp\" "
        "Class=\"TFormMain\" Procedure=\"Crash\" Number=\"30\" Offset=\"2\"/>\r\n"
        "    <Line Address=\"10001010\" Module=\"helper.dll\" Unit=\"worker.pas\" "
        "Class=\"TWorker\" Procedure=\"Run\" Number=\"12\" Offset=\"0\"/>\r\n"
        "    <Line Address=\"00401100\" Module=\"kolvane.exe\" Unit=\"main.cpp\" Class=\"\" "
        "Procedure=\"_Sysutils@Raise\" Number=\"5\" Offset=\"0\"/>\r\n";
    static const struct {
        const char* name;
        const char* password;
        bool decrypts;
    } kCases[] = {
        {"right password", "Kolvane", true},
        {"no password", "", false},
        {"wrong password", "Kolvanf", false},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(GetCallStackXML(report, c.password),
                  head + (c.decrypts ? decrypted : stored) + notANameLine + tail)
            << c.name;
    }
}

TEST(ClLogXML, ModulesAndProcessesGiveOneElementPerRow) {
    const std::string report = Fixture("full_every_section.log");
    EXPECT_EQ(GetModulesXML(report),
              "<Modules>\r\n"
              "  <Module Handle=\"00400000\" Name=\"kolvane.exe\" Description=\"Kolvane CSV join\" "
              "Version=\"1.2.0.0\" Size=\"1234567\" Modified=\"2026-12-10 09:08:07\" "
              "Path=\"C:\\Program Files\\Kolvane\"/>\r\n"
              "  <Module Handle=\"7C900000\" Name=\"ntdll.dll\" Description=\"NT Layer DLL\" "
              "Version=\"5.1.2600.5512\" Size=\"729088\" Modified=\"2008-04-14 12:00:00\" "
              "Path=\"C:\\WINDOWS\\system32\"/>\r\n"
              "</Modules>\r\n");
    EXPECT_EQ(GetProcessesXML(report),
              "<Processes>\r\n"
              "  <Process ID=\"4242\" Name=\"explorer.exe\" Description=\"Windows Explorer\" "
              "Version=\"6.1.7601.0\" Memory=\"1048576\" Priority=\"Normal\" Threads=\"??\" "
              "Path=\"C:\\Windows\"/>\r\n"
              "  <Process ID=\"8\" Name=\"kolvane.exe\" Description=\"\" Version=\"\" Memory=\"0\" "
              "Priority=\"Above-Normal\" Threads=\"3\" Path=\"C:\\Program Files\\Kolvane\"/>\r\n"
              "</Processes>\r\n");
}

TEST(ClLogXML, AssemblerLinesSplitIntoAddressCommandAndComment) {
    EXPECT_EQ(GetAssemblerXML(Fixture("full_every_section.log")),
              "<Assembler>\r\n"
              "  <Line Address=\"\" Command=\"\" "
              "Comment=\" main.TFormMain.Crash (Line=30 - Offset=2)\"/>\r\n"
              "  <Line Address=\"\" Command=\"\" "
              "Comment=\" ----------------------------------------\"/>\r\n"
              "  <Line Address=\"00401025\" Command=\"mov     eax, dword ptr [ebp-$04]\" "
              "Comment=\"\"/>\r\n"
              "  <Line Address=\"0040102A\" Command=\"mov     dword ptr [eax], $0000002A\" "
              "Comment=\" &#060;-- EXCEPTION\"/>\r\n"
              "  <Line Address=\"00401030\" Command=\"push    $00402000\" "
              "Comment=\" &#039;a&#060;b&#039;\"/>\r\n"
              "  <Line Address=\"\" Command=\"\" Comment=\"\"/>\r\n"
              "  <Line Address=\"\" Command=\"\" "
              "Comment=\" main.StartWorker (Line=40 - Offset=5)\"/>\r\n"
              "  <Line Address=\"\" Command=\"\" "
              "Comment=\" -------------------------------------\"/>\r\n"
              "  <Line Address=\"00401035\" Command=\"ret\" Comment=\"\"/>\r\n"
              "</Assembler>\r\n");
}

TEST(ClLogXML, CPUGivesRegistersStackAndMemoryDump) {
    EXPECT_EQ(GetCPUXML(Fixture("full_every_section.log")),
              "<CPU>\r\n"
              "  <Registers EAX=\"00000000\" EBX=\"7FFDF000\" ECX=\"0012FF4C\" EDX=\"7C90E514\" "
              "EDI=\"0012FF00\" ESI=\"00000001\" ESP=\"0012FE00\" EIP=\"0040102A\"/>\r\n"
              "  <Stack>\r\n"
              "    <Line Address=\"0012FE00\" Value=\"00401105\"/>\r\n"
              "    <Line Address=\"0012FE04\" Value=\"0012FF4C\"/>\r\n"
              "  </Stack>\r\n"
              "  <MemoryDump>\r\n"
              "    <Line Address=\"0040102A\" Bytes=\"C7 00 2A 00 00 00 C3 90 3C 26 3E 22 27 41 "
              "42 43\" Chars=\"..*.....&#060;&#038;&#062;&#034;&#039;ABC\"/>\r\n"
              "    <Line Address=\"0040103A\" Bytes=\"00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
              "00 00\" Chars=\"................\"/>\r\n"
              "  </MemoryDump>\r\n"
              "</CPU>\r\n");
    // Registers of an unreadable context are left out; an unreadable dump has no lines.
    EXPECT_EQ(GetCPUXML(Fixture("japanese_texts.log")),
              "<CPU>\r\n  <Registers/>\r\n  <Stack/>\r\n  <MemoryDump/>\r\n</CPU>\r\n");
}

TEST(ClLogXML, ReportWithoutModulesAndProcessesGivesEmptyElements) {
    EXPECT_EQ(GetLogXML(Fixture("sections_switched_off.log"), ""),
              "<Log Version=\"6.1.04\">\r\n"
              "  <General>\r\n"
              "    <Group ID=\"2\" Label=\"Exception\">\r\n"
              "      <Line ID=\"2.7\" Label=\"ID\" Value=\"1A2B\"/>\r\n"
              "    </Group>\r\n"
              "  </General>\r\n"
              "  <CallStack>\r\n"
              "    <ExceptionThread ID=\"5\" Priority=\"??\" Class=\"\" MainThread=\"False\">\r\n"
              "      <Line Address=\"00401000\" Module=\"kolvane.exe\" Unit=\"\" Class=\"\" "
              "Procedure=\"Start\" Number=\"\" Offset=\"\"/>\r\n"
              "    </ExceptionThread>\r\n"
              "  </CallStack>\r\n"
              "  <Modules/>\r\n"
              "  <Processes/>\r\n"
              "  <Assembler/>\r\n"
              "  <CPU/>\r\n"
              "</Log>\r\n");
}

TEST(ClLogXML, OldLogHasStepsToReproduceAndNoLaterSections) {
    const std::string report = Fixture("old_version_4_9.log");
    const std::string xml = GetLogXML(report, "");
    EXPECT_TRUE(StartsWith(xml, "<Log Version=\"4.9\">\r\n")) << xml;
    EXPECT_NE(
        xml.find("  <CallStack>\r\n"
                 "    <ExceptionThread>\r\n"
                 "      <Line Address=\"00401000\" Module=\"kolvane.exe\" Unit=\"main.pas\" "
                 "Class=\"\" Procedure=\"Start\" Number=\"10\" Offset=\"1\"/>\r\n"
                 "      <Line Address=\"00401100\" Module=\"kolvane.exe\" Unit=\"main.pas\" "
                 "Class=\"\" Procedure=\"Initialize\" Number=\"20\" Offset=\"0\"/>\r\n"
                 "    </ExceptionThread>\r\n"
                 "  </CallStack>\r\n"
                 "  <Modules>\r\n"
                 "    <Module Handle=\"00400000\" Name=\"kolvane.exe\" Description=\"Kolvane\" "
                 "Version=\"0.9.0.0\" Size=\"65536\" Path=\"C:\\Kolvane\"/>\r\n"
                 "  </Modules>\r\n"
                 "  <Processes/>\r\n"
                 "  <Assembler/>\r\n"
                 "  <CPU>\r\n"
                 "    <Registers EAX=\"00000000\" EBX=\"7FFDF000\""),
        npos)
        << xml;
    EXPECT_TRUE(EndsWith(
        xml, "</CPU>\r\n  <HoToReproduce Text=\"Opened a file.&#013;&#010;Pressed Join.\"/>\r\n"
             "</Log>\r\n"))
        << xml;
    EXPECT_EQ(GetLogXML(Fixture("full_every_section.log"), "").find("HoToReproduce"), npos);
}

// ---- Documents ----

TEST(ClLogXML, DocumentIndentsEachLogOnce) {
    const std::string off = Fixture("sections_switched_off.log");
    const std::string xml = GetXML({off, off}, "");
    EXPECT_TRUE(StartsWith(xml, "<Doc>\r\n  <Log Version=\"6.1.04\">\r\n    <General>\r\n")) << xml;
    EXPECT_NE(xml.find("    <CPU/>\r\n  </Log>\r\n  <Log Version=\"6.1.04\">\r\n    <General>\r\n"),
              npos)
        << xml;
    EXPECT_TRUE(EndsWith(xml, "    <CPU/>\r\n  </Log>\r\n</Doc>\r\n")) << xml;
    EXPECT_EQ(GetXML({}, ""), "<Doc>\r\n</Doc>\r\n");
}

TEST(ClLogXML, MarksOutOfPlaceGiveWhatCanBeRead) {
    const std::string xml = GetLogXML(Fixture("marks_out_of_place.log"), "Kolvane");
    EXPECT_TRUE(IsPrintableASCII(xml));
    // Captions without a colon are no threads; rows of eight cells use the first six; cells
    // that do not decode stay as stored.
    EXPECT_NE(
        xml.find("  <General>\r\n"
                 "    <Group ID=\"2\" Label=\"Exception\">\r\n"
                 "      <Line ID=\"2.7\" Label=\"ID\" "
                 "Value=\"1&#013;&#010;stray continuation\"/>\r\n"
                 "    </Group>\r\n"
                 "  </General>\r\n"
                 "  <CallStack>\r\n"
                 "    <ExceptionThread ID=\"1\" Priority=\"\" Class=\"\" MainThread=\"False\">\r\n"
                 "      <Line Address=\"1\" Module=\"2\" Unit=\"3\" Class=\"4\" Procedure=\"5\" "
                 "Number=\"6\" Offset=\"\"/>\r\n"
                 "      <Line Address=\"x\" Module=\"y\" Unit=\"?p!!!\" Class=\"?\" "
                 "Procedure=\"?\" Number=\"\" Offset=\"\"/>\r\n"
                 "      <Line Address=\"2\" Module=\"m\" Unit=\"?\" Class=\"?\" "
                 "Procedure=\"_\" Number=\"5]\" Offset=\"\"/>\r\n"
                 "    </ExceptionThread>\r\n"
                 "  </CallStack>\r\n"
                 "  <Modules/>\r\n"
                 "  <Processes/>\r\n"
                 "  <Assembler/>\r\n"
                 "  <CPU/>\r\n"
                 "</Log>\r\n"),
        npos)
        << xml;
}

TEST(ClLogXML, EveryCutOffReportStillGivesALogElement) {
    for (const char* name : {"full_every_section.log", "japanese_texts.log"}) {
        const std::string report = Fixture(name);
        for (size_t n = 0; n <= report.size(); ++n) {
            const std::string xml = GetLogXML(std::string_view(report).substr(0, n), "Kolvane");
            ASSERT_TRUE(StartsWith(xml, "<Log Version=\"")) << name << " cut at " << n;
            ASSERT_TRUE(EndsWith(xml, "</Log>\r\n")) << name << " cut at " << n;
            ASSERT_TRUE(IsPrintableASCII(xml)) << name << " cut at " << n;
        }
    }
}

} // namespace
