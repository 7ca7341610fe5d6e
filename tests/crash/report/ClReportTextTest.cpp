#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

#include "../support/CrashTestSupport.h"
#include "crash/core/ClCore.h"
#include "crash/report/ClReportText.h"

namespace {

using namespace kv::crash;

// Set KOLVANE_WRITE_FIXTURES to write a changed expectation for review instead of comparing.
void ExpectFixture(const std::string& name, const std::string& actual) {
    if (std::getenv("KOLVANE_WRITE_FIXTURES")) {
        std::ofstream(std::string(KOLVANE_TEST_DATA) + "/crash/report/" + name, std::ios::binary)
            << actual;
        return;
    }
    EXPECT_EQ(actual, kvtest::ReportFixture(name)) << name;
}

std::unique_ptr<TCrashDebugInfo> Frame(uint32_t thread, bool running, uintptr_t addr,
                                       const std::string& unit, const std::string& proc,
                                       uint32_t line, uint32_t offset, TCrashModuleInfo* module) {
    auto f = std::make_unique<TCrashDebugInfo>();
    f->DebugDetail = ddSourceCode;
    f->ModuleInfo = module;
    f->ThreadID = thread;
    f->RunningThread = running;
    f->Addr = addr;
    f->UnitName = unit;
    f->ProcedureName = proc;
    f->Line = line;
    f->ProcOffsetLine = offset;
    return f;
}

// A report of a program whose main thread failed while a worker ran and a leak was found.
struct SyntheticReport {
    TCrashModuleOptions options{"Kolvane.exe"};
    TCrashModuleInfo exe, dll;
    TCrashStackList stack;
    TCrashModulesList modules;
    TCrashProcessesList processes;
    TReportTextInput input;

    SyntheticReport() {
        exe.Name = "C:\\Program Files\\Kolvane\\kolvane.exe";
        exe.Handle = 0x400000;
        exe.Description = "Kolvane | CSV\r\njoin";
        exe.Version = "1.2.0.0";
        exe.Size = 1234567;
        exe.LastModified = EncodeDateTime(2026, 12, 10, 9, 8, 7, 0);
        // "ポ" is 83 7C: its trail byte is the byte of "|".
        dll.Name = "\\??\\Z:\\\x83\x8C\x83\x7C\x81\x5B\x83\x67\\helper.dll";
        dll.Handle = 0x10000000;
        dll.Version = "";
        dll.Size = 4096;

        auto add = [&](std::unique_ptr<TCrashDebugInfo> f) { stack.Add(std::move(f)); };
        auto first = Frame(100, true, 0x40102A, "main.cpp", "Crash", 30, 2, &exe);
        first->ErrorLine = true;
        first->ClassName = "TForm";
        add(std::move(first));
        add(Frame(100, true, 0x401100, "main.cpp", "WinMain", 12, 0, &exe));
        auto hidden = Frame(100, true, 0x7C800000, "", "", 0, 0, nullptr);
        hidden->DebugDetail = ddModule; // never in the log
        add(std::move(hidden));
        auto worker = Frame(200, true, 0x10001010, "work|er.cpp", "Run", 0, 0, &dll);
        worker->CustomMsg = "busy";
        add(std::move(worker));
        add(Frame(100, false, 0x401200, "main.cpp", "StartWorker", 40, 5, &exe));
        auto leak = Frame(0, true, 0x401300, "data.cpp", "Alloc", 7, 1, &exe);
        leak->IsALeak = true;
        leak->LeakType = "Data";
        leak->LeakSize = 64;
        leak->LeakCount = 2;
        add(std::move(leak));

        auto m1 = std::make_unique<TCrashModuleInfo>();
        m1->Name = exe.Name;
        m1->Handle = exe.Handle;
        m1->Description = exe.Description;
        m1->Version = exe.Version;
        m1->Size = exe.Size;
        m1->LastModified = exe.LastModified;
        modules.Add(std::move(m1));
        auto m2 = std::make_unique<TCrashModuleInfo>();
        m2->Name = dll.Name;
        m2->Handle = dll.Handle;
        m2->Size = dll.Size;
        modules.Add(std::move(m2));

        auto p = std::make_unique<TCrashProcessInfo>();
        p->ProcessID = 4242;
        p->Name = "C:\\Windows\\explorer.exe";
        p->Description = "Explorer";
        p->Version = "6.1.7601.0";
        p->Priority = 32;
        p->Memory = 1048576;
        p->Threads = 0;
        processes.Add(std::move(p));
        auto q = std::make_unique<TCrashProcessInfo>();
        q->ProcessID = 8;
        q->Name = "C:\\kolvane.exe";
        q->Priority = 0x8000;
        q->Threads = 3;
        processes.Add(std::move(q));

        input.Options = &options;
        input.CallStack = &stack;
        input.Modules = &modules;
        input.Processes = &processes;
        input.ThreadInfo = [](uint32_t id) {
            TThreadCaptionInfo info;
            if (id == 100) {
                info.Registered = true;
                info.Priority = "0";
                info.MainThread = true;
            } else if (id == 200) {
                info.Registered = true;
                info.Priority = "2";
                info.ClassName = "TWorker";
            }
            return info;
        };
        TGeneralValues& v = input.Values;
        v[soAppStartDate] = "Thu, 10 Dec 2026 09:00:00 +0900";
        v[soAppName] = "kolvane.exe - (Kolvane)";
        v[soAppVersionNumber] = "1.2.0.0";
        v[soAppUpTime] = "1 hour, 2 minutes, 3 seconds";
        v[soExcAddress] = "0040102A";
        v[soExcType] = "EAccessViolation";
        v[soExcMessage] = "Access violation: at 0040102A.\r\nSecond line\r\n\r\nend.";
        v[soExcID] = "1A2B";
        v[soExcCount] = "1";
        v[soExcStatus] = "New";
        v[soUserPrivileges] = "SeShutdownPrivilege             - OFF\r\n"
                              "SeChangeNotifyPrivilege         - ON\r\n";
        v[soActCtlsFormClass] = "TFormMain";
        v[soCmpName] = "HOST";
        v[soOSCharset] = "128";
        input.AssemblerTitle = "Assembler Information:\r\n----------------------";
        input.AssemblerText = "; main.cpp.Crash (Line=30 - Offset=2)\r\n"
                              "0040102A  C7 00 2A 00 00 00  mov dword ptr [eax], 0x2a\r\n";
        input.CPUText = "Registers:\r\n-----------------------------\r\n"
                        "EAX: 00000000   EDI: 0012FF00\r\n";
    }
};

TEST(ClReportText, AWholeReportWithThreadsLeakAndCleanedCells) {
    SyntheticReport r;
    int32_t step = 0;
    r.input.StepMarker = &step;
    TReportTexts texts;
    BuildLogText(r.input, texts);
    ExpectFixture("report_threads_leak.txt", texts.LogText);
    EXPECT_EQ(texts.TextToSend, texts.LogText);
    EXPECT_EQ(texts.MessageHeading,
              "An error has occurred during program execution.\r\n"
              "Please read the following information for further details.\r\n\r\n");
    EXPECT_EQ(texts.LogText.compare(0, texts.GeneralSectionText.size(), texts.GeneralSectionText),
              0);
    EXPECT_EQ(step, 7040);
    // A log text never holds the log file's report separator.
    EXPECT_EQ(texts.LogText.find("\r\n\r\n\r\n\r\n"), std::string::npos);
}

TEST(ClReportText, SectionsAndItemsSwitchedOff) {
    SyntheticReport r;
    TShowOptions shown;
    shown.Include(soExcID); // block 2 shows only its item 7
    r.options.SetShowOptions(shown);
    TLogOptions log = r.options.LogOptions();
    log.Exclude(loSaveModulesAndProcessesSections);
    log.Exclude(loSaveAssemblerAndCPUSections);
    r.options.SetLogOptions(log);
    r.input.CallStack = nullptr;
    TReportTexts texts;
    BuildLogText(r.input, texts);
    ExpectFixture("report_sections_off.txt", texts.LogText);
    EXPECT_EQ(texts.AssemblerText, "");

    r.options.SetShowOptions(TShowOptions{});
    EXPECT_EQ(BuildGeneralSection(r.options, r.input.Values, true), "CrashLog 6.1.04\r\n\r\n");
}

TEST(ClReportText, ActiveControlsOnlyInAWindowedProgram) {
    SyntheticReport r;
    EXPECT_NE(BuildGeneralSection(r.options, r.input.Values, true).find("4.1 Form Class"),
              std::string::npos);
    const std::string console = BuildGeneralSection(r.options, r.input.Values, false);
    EXPECT_EQ(console.find("Active Controls"), std::string::npos);
    EXPECT_NE(console.find("  5.1 Name"), std::string::npos); // numbering goes on
}

TEST(ClReportText, TableCells) {
    struct Case {
        const char* label;
        std::string in, expected;
    } cases[] = {
        {"breaks and bars", "a|b\r\nc", "a?b??c"},
        {"trail byte 7C kept", "\x83\x7C|", "\x83\x7C?"},
        {"half-width katakana is one byte", "\xB1|", "\xB1?"},
    };
    for (const Case& c : cases) EXPECT_EQ(SanitizeTableCell(c.in), c.expected) << c.label;

    EXPECT_EQ(PadWithSpaces("ab", 4), "ab  ");
    EXPECT_EQ(PadWithSpaces("abcde", 4), "abcde");
    EXPECT_EQ(MakeSectionTitle("Registers"), "Registers:\r\n----------\r\n\r\n");
    EXPECT_EQ(TableFolderText("\\??\\C:\\k.exe"), "C:\\");
    EXPECT_EQ(TableFolderText("C:\\a\\b\\k.exe"), "C:\\a\\b");
    // "表" (95 5C) ends the folder name with a trail byte 5C, which is not a delimiter.
    EXPECT_EQ(TableFolderText("C:\\\x95\x5C\\k.exe"), "C:\\\x95\x5C");

    // A cell longer than its width is cut, never inside a double-byte character.
    const std::string cells[] = {"ab\x83\x7C", "x"};
    const size_t widths[] = {3, 2};
    std::string row;
    size_t pos = 0;
    WriteTableRow(row, pos, cells, widths, 2);
    EXPECT_EQ(row.substr(0, pos), "|ab |x |\r\n");
}

TEST(ClReportText, ProcessPriorityNames) {
    const std::pair<uint32_t, const char*> cases[] = {{32, "Normal"},
                                                      {64, "Low"},
                                                      {128, "High"},
                                                      {256, "Real-Time"},
                                                      {0x4000, "Below-Normal"},
                                                      {0x8000, "Above-Normal"},
                                                      {7, ""}};
    for (const auto& [value, name] : cases) EXPECT_EQ(PriorityClassText(value), name) << value;
}

} // namespace
