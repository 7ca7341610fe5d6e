#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "../report/PngReader.h"
#include "../support/CrashTestSupport.h"
#include "../support/TestOverrides_win.h"
#include "SessionLock_win.h"
#include "crash/core/ClZlib2.h"
#include "crash/report/ClLogManager.h"

namespace {

// One run of the scenario program: whether it ended in time, its exit code and what it wrote.
struct ScenarioRun {
    bool finished = false;
    DWORD exitCode = 0;
    std::string out;
    std::vector<std::string> reports; // the text between REPORT BEGIN and REPORT END
    std::string folder;
    std::string logFile;                      // the program's log file, when it wrote one
    std::map<std::string, std::string> files; // every file the run left, by its path in folder
};

std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> SplitReports(const std::string& out) {
    std::vector<std::string> reports;
    size_t at = 0;
    for (;;) {
        const size_t begin = out.find("REPORT BEGIN\n", at);
        if (begin == std::string::npos) break;
        const size_t end = out.find("REPORT END\n", begin);
        if (end == std::string::npos) break;
        reports.push_back(out.substr(begin + 13, end - begin - 13));
        at = end + 11;
    }
    return reports;
}

// Waits (bounded) until the file holds text.
bool WaitForText(const std::string& path, const std::string& text, DWORD timeoutMs) {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(50))
        if (ReadFileText(path).find(text) != std::string::npos) return true;
    return false;
}

// How long a scenario may take before it counts as hung: far beyond what any of them needs, also
// on an emulated machine under load; a hang fails the test with its own message.
constexpr DWORD kScenarioBoundMs = 240000;

const char* const kConsole = KOLVANE_CRASH_SCENARIOS_CONSOLE;

// The scenario program's standard output goes to the file "stdout.txt" of its folder when
// captured; otherwise it shares the test's.
enum class StdOut { Shared, Captured };

// The program gets the scenario's name as its argument, or arguments when given; its temporary
// folder is the test's unless one is given.
ScenarioRun RunScenario(const std::string& name, const char* program = KOLVANE_CRASH_SCENARIOS,
                        StdOut stdOut = StdOut::Shared, const std::string& arguments = "",
                        const std::string& tempFolder = std::string()) {
    const DWORD timeoutMs = kScenarioBoundMs;
    ScenarioRun run;
    kvtest::TempDir dir("scenario_" + name);
    run.folder = dir.Ansi();
    const std::string out = dir.Ansi("out.txt");
    SetEnvironmentVariableA("KOLVANE_CRASH_OUT", out.c_str());
    SetEnvironmentVariableA("KOLVANE_CRASH_RESTARTED", nullptr);
    std::string command =
        std::string("\"") + program + "\" " + (arguments.empty() ? name : arguments);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    HANDLE captured = INVALID_HANDLE_VALUE;
    if (stdOut == StdOut::Captured) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        captured = CreateFileA(dir.Ansi("stdout.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                               &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = captured;
        si.hStdError = captured;
    }
    PROCESS_INFORMATION pi{};
    char ownTemp[MAX_PATH] = {};
    GetEnvironmentVariableA("TMP", ownTemp, MAX_PATH);
    if (!tempFolder.empty()) SetEnvironmentVariableA("TMP", tempFolder.c_str());
    const bool started =
        CreateProcessA(nullptr, command.data(), nullptr, nullptr, captured != INVALID_HANDLE_VALUE,
                       0, nullptr, run.folder.c_str(), &si, &pi) != FALSE;
    if (!tempFolder.empty()) SetEnvironmentVariableA("TMP", ownTemp[0] ? ownTemp : nullptr);
    if (captured != INVALID_HANDLE_VALUE) CloseHandle(captured);
    if (!started) {
        ADD_FAILURE() << "cannot start " << command;
        return run;
    }
    run.finished = WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0;
    if (!run.finished) {
        TerminateProcess(pi.hProcess, 99);
        WaitForSingleObject(pi.hProcess, 10000);
    }
    GetExitCodeProcess(pi.hProcess, &run.exitCode);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (name == "restart") WaitForText(out, "RESTARTED IN", 60000);
    SetEnvironmentVariableA("KOLVANE_CRASH_OUT", nullptr);
    run.out = ReadFileText(out);
    run.reports = SplitReports(run.out);
    run.logFile = ReadFileText(dir.Ansi(std::filesystem::path(program).stem().string() + ".elf"));
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.FsPath()))
        if (e.is_regular_file())
            run.files[std::filesystem::relative(e.path(), dir.FsPath()).generic_string()] =
                ReadFileText(e.path().string());
    return run;
}

// The scenario ended by itself (a hang is a failure of its own).
#define ASSERT_ENDED(run, name)                                                                    \
    ASSERT_TRUE((run).finished) << (name) << " hung: killed after " << kScenarioBoundMs / 1000     \
                                << " s\n"                                                          \
                                << (run).out

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The number of the source line of the helper program that holds marker.
int SourceLine(const std::string& marker) {
    std::ifstream in(KOLVANE_CRASH_SCENARIOS_SOURCE);
    std::string line;
    for (int n = 1; std::getline(in, line); ++n)
        if (Has(line, marker)) return n;
    return -1;
}

// The call-stack row of a procedure in a report: "|address|module|unit|class|procedure|line|".
std::string RowOf(const std::string& report, const std::string& procedure) {
    std::istringstream in(report);
    std::string line;
    while (std::getline(in, line))
        if (Has(line, "|" + procedure + " ") || Has(line, "|" + procedure + "|")) return line;
    return std::string();
}

TEST(CrashScenarios, NullDereferenceIsReportedAtItsLineAndEndsWithTheExceptionCode) {
    const ScenarioRun run = RunScenario("null-dereference");
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0xC0000005u);
    ASSERT_EQ(run.reports.size(), 1u) << run.out;
    EXPECT_TRUE(Has(run.reports[0], "CLASS EAccessViolation")) << run.reports[0];
    const std::string row = RowOf(run.reports[0], "CrashNullDereference");
    ASSERT_FALSE(row.empty()) << run.reports[0];
    EXPECT_TRUE(Has(row, "|CrashScenarios_win.cpp"));
    const int line = SourceLine("// the faulting line");
    EXPECT_TRUE(Has(row, "|" + std::to_string(line) + "[")) << row << " line " << line;
    // The first frame of the stack is the faulting one.
    const size_t first = run.reports[0].find("|", run.reports[0].find("Call Stack"));
    EXPECT_NE(first, std::string::npos);
    EXPECT_FALSE(Has(run.out, "\nEND\n"));
}

TEST(CrashScenarios, SystemAndLanguageExceptionsOfTheProgram) {
    static const struct {
        const char* scenario;
        DWORD exitCode;
        size_t reports;
        const char* className;
        const char* frame; // a procedure the report's stack must name ("" for none)
        bool reachesEnd;
    } kCases[] = {
        {"setwindowpos", 0, 1, "EAccessViolation", "CrashNullDereference", true},
        {"noexcept", 1, 1, "logic_error", "ThrowThroughNoexcept", false},
        {"thread", 0, 1, "runtime_error", "ThrowInThread", true},
        {"stack-overflow", 0xC00000FD, 1, "EStackOverflow", "Recurse", false},
        {"freeze", 0, 1, "EFrozenApplication", "FreezeSleeper", true},
    };
    for (const auto& c : kCases) {
        const ScenarioRun run = RunScenario(c.scenario);
        ASSERT_TRUE(run.finished) << c.scenario;
        EXPECT_EQ(run.exitCode, c.exitCode) << c.scenario;
        ASSERT_EQ(run.reports.size(), c.reports) << c.scenario << "\n" << run.out;
        EXPECT_TRUE(Has(run.reports[0], std::string("CLASS ") + c.className)) << c.scenario << "\n"
                                                                              << run.reports[0];
        EXPECT_FALSE(RowOf(run.reports[0], c.frame).empty()) << c.scenario << "\n"
                                                             << run.reports[0];
        EXPECT_EQ(Has(run.out, "\nEND\n"), c.reachesEnd) << c.scenario << "\n" << run.out;
    }
}

TEST(CrashScenarios, TheOtherThreadsStacksAreInTheThreadReport) {
    const ScenarioRun run = RunScenario("thread");
    ASSERT_EQ(run.reports.size(), 1u) << run.out;
    // The main thread waits in join: its stack is walked too.
    EXPECT_FALSE(RowOf(run.reports[0], "RunThreadScenario").empty()) << run.reports[0];
    EXPECT_TRUE(Has(run.out, "JOINED"));
}

TEST(CrashScenarios, EventHandlerExceptionsReachTheComponentFirst) {
    const ScenarioRun own = RunScenario("event-handler");
    ASSERT_TRUE(own.finished);
    ASSERT_EQ(own.reports.size(), 1u) << own.out;
    EXPECT_TRUE(Has(own.reports[0], "CLASS Exception")) << own.reports[0];
    EXPECT_FALSE(Has(own.out, "MESSAGEBOX")) << own.out;
    EXPECT_TRUE(Has(own.out, "\nEND\n"));

    // The report answers true: the framework's own message box follows.
    const ScenarioRun rtl = RunScenario("event-handler-rtl");
    ASSERT_EQ(rtl.reports.size(), 1u) << rtl.out;
    EXPECT_TRUE(Has(rtl.out, "MESSAGEBOX click failed")) << rtl.out;

    const ScenarioRun abort = RunScenario("abort");
    EXPECT_TRUE(abort.reports.empty()) << abort.out;
    EXPECT_TRUE(Has(abort.out, "\nEND\n"));
}

TEST(CrashScenarios, CaughtExceptionsAreNotReportedAndTheSecondIsDecidedFromTheCache) {
    const ScenarioRun run = RunScenario("try-catch");
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.reports.empty()) << run.out;
    const size_t at = run.out.find("CACHE ");
    ASSERT_NE(at, std::string::npos) << run.out;
    int count = 0, hits = 0;
    ASSERT_EQ(std::sscanf(run.out.c_str() + at, "CACHE %d %d", &count, &hits), 2);
    EXPECT_GE(count, 1);
    EXPECT_GE(hits, 1);
}

TEST(CrashScenarios, EventHandlersRunLastCreatedFirstThenTheGlobalOne) {
    const ScenarioRun run = RunScenario("events");
    const size_t second = run.out.find("EVENT second");
    const size_t first = run.out.find("EVENT first");
    const size_t global = run.out.find("EVENT global event order");
    ASSERT_NE(second, std::string::npos) << run.out;
    ASSERT_NE(first, std::string::npos) << run.out;
    ASSERT_NE(global, std::string::npos) << run.out;
    EXPECT_LT(second, first);
    EXPECT_LT(first, global);

    // A handler that clears Handled ends the report before the log file.
    const ScenarioRun silenced = RunScenario("notify-handled-off");
    EXPECT_TRUE(silenced.reports.empty()) << silenced.out;
    EXPECT_TRUE(Has(silenced.out, "\nEND\n"));
}

TEST(CrashScenarios, AutoCrashLimitTerminatesAfterTheThirdReport) {
    const ScenarioRun run = RunScenario("auto-crash");
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.reports.size(), 3u) << run.out;
    EXPECT_TRUE(Has(run.out, "RAISE 3"));
    EXPECT_FALSE(Has(run.out, "RAISE 4"));
}

TEST(CrashScenarios, RestartStartsTheProgramInTheFolderItStartedIn) {
    const ScenarioRun run = RunScenario("restart");
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 1u);
    ASSERT_TRUE(Has(run.out, "RESTARTED IN ")) << run.out;
    const size_t at = run.out.find("RESTARTED IN ") + 13;
    const std::string folder = run.out.substr(at, run.out.find('\n', at) - at);
    EXPECT_TRUE(kv::crash::UpperCase(kv::crash::ExcludeLastBackslash(folder)) ==
                kv::crash::UpperCase(kv::crash::ExcludeLastBackslash(run.folder)))
        << folder << " vs " << run.folder;
}

TEST(CrashScenarios, LiveOptionsCopyWithoutStartingTheWatchdogAndInternalErrorsHaveAStack) {
    const ScenarioRun run = RunScenario("options");
    ASSERT_TRUE(run.finished);
    for (const char* line : {"OPTIONS live", "AFTER ASSIGN idle", "AFTER SWITCH watching",
                             "STACK TEXT names Run", "\nEND\n"})
        EXPECT_TRUE(Has(run.out, line)) << line << "\n" << run.out;
}

TEST(CrashScenarios, TheProgramsReportsLandInItsLogFileWithDuplicatesCounted) {
    const ScenarioRun run = RunScenario("log-file");
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0xC0000005u);
    kv::crash::TLogFile log("", true);
    log.ParseBuffer(run.logFile);
    ASSERT_GE(log.Count(), 3) << log.GetText();
    // The other thread's failure: stored once, counted twice.
    int stored = 0;
    for (int i = 0; i < log.Count(); ++i) {
        if (log.GetItemValue("2.6", i) != "other thread failed.") continue;
        ++stored;
        EXPECT_EQ(log.GetItemValue("2.5", i), "runtime_error");
        EXPECT_EQ(log.GetItemValue("2.8", i), "2");
    }
    EXPECT_EQ(stored, 1);
    EXPECT_EQ(log.GetItemValue("2.6", 0), "thread failed.");
    // The fatal one, named by the program, its module and the line that failed.
    const int last = log.Count() - 1;
    const std::string fatal = log.GetItem(last);
    EXPECT_FALSE(log.GetCorruptedLog(last));
    EXPECT_EQ(log.GetLogVersion(last), "6.1.04");
    EXPECT_EQ(log.GetItemValue("1.2", last).rfind("crash_scenarios.exe", 0), 0u) << fatal;
    EXPECT_EQ(log.GetItemValue("2.5", last), "EAccessViolation");
    const std::string address = log.GetItemValue("2.2", last);
    EXPECT_EQ(address.size(), 8u);
    EXPECT_EQ(log.GetItemValue("2.6", last),
              "Access violation at address " + address +
                  " in module 'crash_scenarios.exe'. Write of address 00000000.");
    EXPECT_EQ(log.GetItemValue("2.3", last).rfind("crash_scenarios.exe", 0), 0u);
    char computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof computer;
    GetComputerNameA(computer, &size);
    EXPECT_EQ(log.GetItemValue("5.1", last), computer);
    const std::string row = RowOf(fatal, "CrashNullDereference");
    ASSERT_FALSE(row.empty()) << fatal;
    EXPECT_TRUE(Has(row, "|crash_scenarios.exe"));
    EXPECT_TRUE(Has(row, "|" + std::to_string(SourceLine("// the faulting line")) + "["));
    for (const char* section :
         {"Modules Information:", "Processes Information:", "Assembler Information:", "Registers:"})
        EXPECT_TRUE(Has(fatal, section)) << section;
}

// A file the run left; empty when there is none.
std::string FileOf(const ScenarioRun& run, const std::string& name) {
    const auto it = run.files.find(name);
    return it == run.files.end() ? std::string() : it->second;
}

// The entries of a zip's bytes by name; empty when it cannot be read.
std::map<std::string, std::string> ZipEntries(const std::string& zip) {
    std::map<std::string, std::string> entries;
    kvtest::TempDir dir("zip_entries");
    const std::string archive = kvtest::WriteFile(dir, "archive.zip", zip);
    const std::string out = dir.Ansi("entries");
    std::filesystem::create_directories(out);
    if (!kv::crash::ExtractZipFiles(archive, out, "")) return entries;
    for (const auto& e : std::filesystem::directory_iterator(out))
        entries[e.path().filename().string()] = ReadFileText(e.path().string());
    return entries;
}

TEST(CrashScenarios, TheReportsZipHoldsAPictureOfTheWindowOnScreenAndNoOneElsesFile) {
    kvtest::TempDir temp("screenshot_temp");
    const std::string shot = temp.Ansi("Screenshot.png");
    const ScenarioRun run =
        RunScenario("screenshot-zip", KOLVANE_CRASH_SCENARIOS, StdOut::Shared, "", temp.Ansi());
    ASSERT_ENDED(run, "screenshot-zip");
    std::map<std::string, std::string> entries = ZipEntries(FileOf(run, "BugReport.zip"));
    ASSERT_EQ(entries.count("Screenshot.png"), 1u) << run.out;
    const kvtest::PngImage png = kvtest::ReadPng(entries["Screenshot.png"]);
    // The screen from its top-left corner: the middle of the window (200,150)-(360,270) is
    // magenta, its outer rings the red frame of the window that had the focus.
    ASSERT_GE(png.Width, 360u);
    ASSERT_GE(png.Height, 270u);
    auto colourAt = [&](int x, int y) {
        const auto index = static_cast<uint8_t>(png.Pixels[y * (png.Width + 1) + 1 + x]);
        return std::to_string(uint8_t(png.Palette[index * 3])) + "," +
               std::to_string(uint8_t(png.Palette[index * 3 + 1])) + "," +
               std::to_string(uint8_t(png.Palette[index * 3 + 2]));
    };
    EXPECT_EQ(colourAt(280, 210), "255,0,255");
    EXPECT_EQ(colourAt(200, 210), "255,0,0");
    EXPECT_EQ(colourAt(201, 210), "255,0,0");
    // The report's own file goes with the report.
    EXPECT_FALSE(std::filesystem::exists(shot));

    // A file of that name that another program left and holds open, so that the report cannot
    // replace it: neither zipped nor removed.
    const std::string stale = "another program's picture";
    kvtest::WriteFile(temp, "Screenshot.png", stale);
    const HANDLE held = CreateFileA(shot.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const ScenarioRun again =
        RunScenario("screenshot-zip", KOLVANE_CRASH_SCENARIOS, StdOut::Shared, "", temp.Ansi());
    const std::string left = ReadFileText(shot);
    CloseHandle(held);
    ASSERT_ENDED(again, "screenshot-zip");
    entries = ZipEntries(FileOf(again, "BugReport.zip"));
    EXPECT_EQ(entries.count("crash_scenarios.elf"), 1u) << again.out;
    EXPECT_EQ(entries.count("Screenshot.png"), 0u);
    EXPECT_EQ(left, stale);
}

// ---- Where a crash reporter is needed most: it must never hang the program ----

TEST(CrashEngine, ACatchInsideTheSenderOnTheReportThreadIsNoReport) {
    const ScenarioRun run = RunScenario("catch-on-report-thread");
    ASSERT_ENDED(run, "catch-on-report-thread");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(Has(run.out, "SEND ERROR")) << run.out; // the sender did fail and catch
    EXPECT_EQ(Count(run.out, "NOTIFY "), 1) << run.out;
    EXPECT_EQ(Count(run.out, "HANDLED "), 0) << run.out;
    EXPECT_TRUE(Has(run.out, "RETURNED\nEND\n")) << run.out;
}

TEST(CrashEngine, ARethrowIsNoHandledExceptionAndTheReportNamesTheFirstThrow) {
    const ScenarioRun run = RunScenario("rethrow");
    ASSERT_ENDED(run, "rethrow");
    EXPECT_TRUE(Has(run.out, "RETHROW\n")) << run.out;
    EXPECT_TRUE(Has(run.out, "CAUGHT OUTSIDE")) << run.out;
    ASSERT_EQ(Count(run.out, "HANDLED searched"), 1) << run.out;
    EXPECT_EQ(Count(run.out, "NOTIFY "), 0) << run.out;
    ASSERT_EQ(run.reports.size(), 1u) << run.out;
    const std::string row = RowOf(run.reports[0], "ThrowForTheSearch");
    EXPECT_TRUE(Has(row, "|" + std::to_string(SourceLine("// the searched throw")) + "["))
        << run.reports[0];
}

TEST(CrashEngine, TheHandlerSearchTellsWhoTakesTheException) {
    const ScenarioRun run = RunScenario("handler-search");
    ASSERT_ENDED(run, "handler-search");
    for (const char* decision :
         {"SEARCH typed handled 2\n", "SEARCH catch-all handled 1\n",
          "SEARCH other-type not-handled 0\n", "SEARCH noexcept not-handled 0\n"})
        EXPECT_TRUE(Has(run.out, decision)) << decision << run.out;
    // The two that nothing takes are reported from their throw, before anything unwinds.
    ASSERT_EQ(run.reports.size(), 2u) << run.out;
    const size_t report = run.out.rfind("REPORT BEGIN");
    const size_t destructor = run.out.find("DESTRUCTOR");
    ASSERT_NE(destructor, std::string::npos) << run.out;
    EXPECT_LT(report, destructor) << run.out;
    for (const std::string& r : run.reports)
        EXPECT_FALSE(RowOf(r, "ThrowForTheSearch").empty()) << r;
}

TEST(CrashEngine, TheFreezeWatchdogKeepsStillWhileAReportRuns) {
    const ScenarioRun run = RunScenario("freeze-during-report");
    ASSERT_ENDED(run, "freeze-during-report");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(Has(run.out, "HANDLER START\nHANDLER END\n")) << run.out;
    ASSERT_EQ(run.reports.size(), 1u) << run.out;
    EXPECT_TRUE(Has(run.reports[0], "CLASS ECrashLogGeneralError")) << run.reports[0];
    EXPECT_TRUE(Has(run.out, "\nEND\n"));
}

TEST(CrashEngine, AWatchdogStoppedByItsOwnReportStartsAgain) {
    const ScenarioRun run = RunScenario("freeze-restart");
    ASSERT_ENDED(run, "freeze-restart");
    EXPECT_EQ(Count(run.out, "FROZEN\n"), 2) << run.out;
    EXPECT_TRUE(Has(run.out, "\nEND\n"));
}

TEST(CrashEngine, NoFreezeReportWithoutAMainWindowOrWhileItAnswers) {
    for (const char* scenario : {"freeze-without-window", "freeze-answering-window"}) {
        const ScenarioRun run = RunScenario(scenario);
        ASSERT_ENDED(run, scenario);
        EXPECT_TRUE(run.reports.empty()) << scenario << "\n" << run.out;
        EXPECT_TRUE(Has(run.out, "WATCHED\nEND\n")) << scenario << "\n" << run.out;
    }
}

TEST(CrashEngine, AStackOverflowThatCannotBeReportedStillEndsTheProgramWithItsCode) {
    for (const char* scenario : {"overflow-heap-locked", "overflow-in-handler"}) {
        const ScenarioRun run = RunScenario(scenario);
        ASSERT_ENDED(run, scenario);
        EXPECT_EQ(run.exitCode, 0xC00000FDu) << scenario << "\n" << run.out;
        EXPECT_FALSE(Has(run.out, "\nEND\n")) << scenario;
    }
}

TEST(CrashEngine, OptionsAHandlerChangesApplyToTheReportInProgress) {
    const ScenarioRun run = RunScenario("option-in-handler");
    ASSERT_ENDED(run, "option-in-handler");
    EXPECT_TRUE(run.logFile.empty()) << "the log stayed in the old folder";
    const auto moved = run.files.find("moved/crash_scenarios.elf");
    ASSERT_NE(moved, run.files.end()) << run.out;
    EXPECT_TRUE(Has(moved->second, "moved log")) << run.out;
}

TEST(CrashEngine, ASystemExceptionOfAWindowProcedureIsReportedOnceAlsoWhenTheFrameworkShowsIt) {
    const ScenarioRun run = RunScenario("setwindowpos-rtl");
    ASSERT_ENDED(run, "setwindowpos-rtl");
    EXPECT_EQ(run.reports.size(), 1u) << run.out;
    EXPECT_EQ(Count(run.out, "NOTIFY "), 1) << run.out;
    EXPECT_EQ(Count(run.out, "MESSAGEBOX "), 1) << run.out; // the framework's own display
    EXPECT_TRUE(Has(run.out, "\nEND\n"));
}

// A console program's main thread ends after a report that was made; it goes on when a filter
// or handler left the exception to the program's own handling, and after an exception that
// code catches.
TEST(CrashEngine, AConsoleProgramEndsAfterTheReportOfItsMainThread) {
    static const struct {
        const char* scenario;
        DWORD exitCode;
        bool reachesEnd;
        const char* seen; // what the run must show besides
    } kCases[] = {
        {"report", 1, false, "NOTIFY reported"},
        // The send of an inline report runs on the raising thread, which then does the rest.
        {"inline-separate-send", 1, false, "SEND ERROR"},
        {"filter-rtl", 0, true, "RESULT true"},
        {"filter-none", 0, true, "RESULT false"},
        {"handler-cleared", 0, true, "START"},
        {"handled-exception", 0, true, "CAUGHT\nHANDLED searched\n"},
    };
    for (const auto& c : kCases) {
        const ScenarioRun run = RunScenario(c.scenario, kConsole);
        ASSERT_ENDED(run, c.scenario);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.scenario << "\n" << run.out;
        EXPECT_EQ(Has(run.out, "\nEND\n"), c.reachesEnd) << c.scenario << "\n" << run.out;
        EXPECT_TRUE(Has(run.out, c.seen)) << c.scenario << "\n" << run.out;
    }
}

// A web program's response to its request: the header with the page's length, then the page:
// the report's text, escaped, and the Ok button that leads back.
void ExpectErrorPageResponse(const std::string& label, const std::string& response) {
    const std::string start = "Status: 200 Error\r\nContent-Type: text/html\r\nContent-Length: ";
    ASSERT_EQ(response.substr(0, start.size()), start) << label << "\n" << response;
    const std::string end = "\r\nContent:\r\n\r\n";
    const size_t body = response.find(end);
    ASSERT_NE(body, std::string::npos) << label << "\n" << response;
    const std::string page = response.substr(body + end.size());
    EXPECT_EQ(std::to_string(page.size()), response.substr(start.size(), body - start.size()))
        << label;
    EXPECT_TRUE(Has(page, "web &lt;failure&gt;")) << label << "\n" << page;
    EXPECT_FALSE(Has(page, "web <failure>")) << label << "\n" << page;
    EXPECT_EQ(Count(page, "<input type=button value=\"Ok\" OnClick=\"history.go(-1)\""), 1)
        << label << "\n"
        << page;
    EXPECT_TRUE(Has(page, "<!-- CrashLog ID: ")) << label << "\n" << page;
}

TEST(CrashScenarios, AWebProgramAnswersItsRequestWithTheErrorPage) {
    {
        // CGI: a console program with REQUEST_METHOD, answering on standard output.
        SetEnvironmentVariableA("REQUEST_METHOD", "GET");
        const ScenarioRun run = RunScenario("web-error-page", kConsole, StdOut::Captured);
        SetEnvironmentVariableA("REQUEST_METHOD", nullptr);
        ASSERT_ENDED(run, "web-error-page");
        EXPECT_TRUE(Has(run.out, "SHOWED true")) << run.out;
        ExpectErrorPageResponse("CGI", run.files.count("stdout.txt") ? run.files.at("stdout.txt")
                                                                     : std::string());
    }
    // WinCGI: a windowed program started with its request file, answering into the output
    // file the request names.
    const kvtest::TempDir request("wincgi_request");
    const std::string output = request.Ansi("out.htm");
    kvtest::WriteFile(request, "out.htm", "");
    const std::string ini = kvtest::WriteFile(
        request, "req.ini",
        "[CGI]\r\nRequest Method=GET\r\n[System]\r\nOutput File=" + output + "\r\n");
    const ScenarioRun run = RunScenario("web-error-page-wincgi", KOLVANE_CRASH_SCENARIOS,
                                        StdOut::Shared, "\"" + ini + "\"");
    ASSERT_ENDED(run, "web-error-page-wincgi");
    EXPECT_TRUE(Has(run.out, "SHOWED true")) << run.out;
    ExpectErrorPageResponse("WinCGI", ReadFileText(output));
}

TEST(CrashScenarios, AReportGoesToTheMailClientWithItsZip) {
    // The mail client's registry values belong to the session: one test at a time.
    const kvtest::SessionLock mailRegistry(L"KolvaneTestMailClientRegistry");
    const kvtest::TempDir records("mapi_scenario");
    const std::string record = records.Ansi("mapi.txt");
    const kvtest::EnvOverride recordTo("KOLVANE_MAPI_RECORD", record.c_str());
    std::string fixture = KOLVANE_MAPI_FIXTURE;
    std::replace(fixture.begin(), fixture.end(), '/', '\\');
    const kvtest::RegValueOverride client(HKEY_CURRENT_USER, "Software\\Clients\\Mail", "",
                                          "KolvaneMapiFixture");
    const kvtest::RegValueOverride library(
        HKEY_CURRENT_USER, "Software\\Clients\\Mail\\KolvaneMapiFixture", "DLLPath", fixture);
    const ScenarioRun run = RunScenario("send-mapi");
    ASSERT_ENDED(run, "send-mapi");
    EXPECT_TRUE(Has(run.out, "SENT true")) << run.out;
    const std::string got = ReadFileText(record);
    EXPECT_TRUE(Has(got, "subject=Crash report send-mapi\n")) << got;
    EXPECT_TRUE(Has(got, "note=The zip holds the log.")) << got;
    EXPECT_TRUE(Has(got, "to class=1 name=dev@example.test address=SMTP:dev@example.test\n"))
        << got;
    EXPECT_TRUE(Has(got, "files=1\n")) << got;
    const size_t name = got.find(" name=BugReport");
    ASSERT_NE(name, std::string::npos) << got;
    EXPECT_EQ(got.substr(got.find('\n', name) - 4, 5), ".zip\n") << got;
    EXPECT_TRUE(Has(got, "logoff session=")) << got;
}

TEST(CrashEngine, AProgramThatEndsWhileItsReportIsSentWaitsForTheSend) {
    const ScenarioRun run = RunScenario("separate-send-no-thread");
    ASSERT_ENDED(run, "separate-send-no-thread");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(Has(run.out, "RETURNED\nEND\n")) << run.out;
    EXPECT_TRUE(Has(run.out, "SEND DONE")) << run.out;
}

TEST(CrashEngine, TwoFailuresFromOneSiteAreTwoReportsOfOneFailure) {
    const ScenarioRun run = RunScenario("one-site-twice");
    ASSERT_ENDED(run, "one-site-twice");
    std::vector<std::string> ids;
    for (size_t at = run.out.find("REPORT "); at != std::string::npos;
         at = run.out.find("REPORT ", at + 1))
        ids.push_back(run.out.substr(at + 7, run.out.find('\n', at) - at - 7));
    ASSERT_EQ(ids.size(), 2u) << run.out;
    EXPECT_EQ(ids[0], ids[1]);
    kv::crash::TLogFile log("", true);
    log.ParseBuffer(run.logFile);
    ASSERT_EQ(log.Count(), 1) << log.GetText();
    EXPECT_EQ(log.GetItemValue("2.7", 0), ids[0]);
    EXPECT_EQ(log.GetItemValue("2.8", 0), "2");
}

TEST(CrashEngine, ThreadsThatComeAndGoLeaveTheRegistryAsItWas) {
    const ScenarioRun run = RunScenario("thread-churn");
    ASSERT_ENDED(run, "thread-churn");
    const size_t at = run.out.find("THREADS ");
    ASSERT_NE(at, std::string::npos) << run.out;
    int before = -1, after = -1;
    ASSERT_EQ(std::sscanf(run.out.c_str() + at, "THREADS %d %d", &before, &after), 2);
    EXPECT_EQ(after, before);
}

TEST(CrashEngine, ALogSaveRetriedAfterAHandlerRefusedItStoresTheReportOnce) {
    const ScenarioRun run = RunScenario("log-retry");
    ASSERT_ENDED(run, "log-retry");
    EXPECT_TRUE(Has(run.out, "ERROR ")) << run.out;
    kv::crash::TLogFile log("", true);
    log.ParseBuffer(run.logFile);
    EXPECT_EQ(log.Count(), 1) << log.GetText();
}

TEST(CrashEngine, ThreeReportsSpreadOverMoreThanTheAutoCrashTimeAreNoSeries) {
    const ScenarioRun run = RunScenario("auto-crash-spread");
    ASSERT_ENDED(run, "auto-crash-spread");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.reports.size(), 3u) << run.out;
    EXPECT_TRUE(Has(run.out, "\nEND\n"));
}

TEST(CrashEngine, AReportIsMadeWhenTheAddressSpaceIsUsedUp) {
    const ScenarioRun run = RunScenario("out-of-memory");
    ASSERT_ENDED(run, "out-of-memory");
    ASSERT_EQ(run.reports.size(), 1u) << run.out;
    EXPECT_TRUE(Has(run.reports[0], "out of addresses")) << run.reports[0];
    EXPECT_FALSE(RowOf(run.reports[0], "RunCaptureScenario").empty()) << run.reports[0];
}

TEST(CrashEngine, AReportThreadThatGetsStuckIsGivenUp) {
    const ScenarioRun run = RunScenario("stalled-report");
    ASSERT_ENDED(run, "stalled-report");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(Has(run.out, "STUCK\nRESULT true\nEND\n")) << run.out;
}

TEST(CrashEngine, TheComponentsShutDownWaitsForAReportInProgress) {
    const ScenarioRun run = RunScenario("report-at-exit");
    ASSERT_ENDED(run, "report-at-exit");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(Has(run.out, "HANDLER START\n")) << run.out;
    const size_t end = run.out.find("\nEND\n");
    const size_t handlerEnd = run.out.find("HANDLER END");
    ASSERT_NE(end, std::string::npos) << run.out;
    ASSERT_NE(handlerEnd, std::string::npos) << run.out;
    EXPECT_EQ(Count(run.out, "REPORT END"), 1) << run.out;
}

// ---- Operations of the engine ----

TEST(CrashEngine, AThrownObjectHasTheSizeItsThrowAllocated) {
    const ScenarioRun run = RunScenario("instance-size");
    ASSERT_ENDED(run, "instance-size");
    // 1500 bytes of payload after a std::runtime_error (a vptr and a shared string pointer).
    EXPECT_TRUE(Has(run.out, "THROWN SIZE 1508\n")) << run.out;
    EXPECT_TRUE(Has(run.out, "LOCAL SIZE 0\n")) << run.out;
    EXPECT_TRUE(Has(run.out, "END\n")) << run.out;
}

TEST(CrashEngine, RaisesHandedOverByAnotherModuleAreRecordedAsThisModulesOwn) {
    const ScenarioRun run = RunScenario("forwarded-raises");
    ASSERT_ENDED(run, "forwarded-raises");
    for (const char* line : {
             "OTHER CODE ignored\n",
             "LANGUAGE RAISE recorded\n",
             // Eip 5 bytes before the raise, EBX and EDI from the arguments, ESP the raiser's.
             "CONTEXT 00000000 00000011 00000033 00000000 0EEDFADE\n",
             "STACK COPY made\n",
             "SECOND FORM 00000004\n",
             "EXCEPT OBJECT EAccessViolation recorded\n",
             "EXCEPT MESSAGE Access violation at address ",
             "NULL RECORD null\n",
             "NAMING EExternalException not recorded\n",
         })
        EXPECT_TRUE(Has(run.out, line)) << line << run.out;
    EXPECT_TRUE(run.reports.empty()) << run.out;
    EXPECT_TRUE(Has(run.out, "END\n")) << run.out;
}

TEST(CrashEngine, AProgramWithoutItsStoredDataRunsWithTheComponentInactive) {
    const char* const inactive = KOLVANE_CRASH_SCENARIOS_INACTIVE;
    const ScenarioRun probe = RunScenario("inactive-probe", inactive);
    ASSERT_ENDED(probe, "inactive-probe");
    EXPECT_EQ(probe.exitCode, 0u) << probe.out;
    for (const char* line : {"START inactive-probe inactive\n", "HOOKS none\n", "REPORT refused\n",
                             "THREAD RAN\n", "END\n"})
        EXPECT_TRUE(Has(probe.out, line)) << line << probe.out;
    // An exception nothing catches takes the runtime's own way: no report, the C runtime's
    // abort. (A system exception would go on to the system's crash dialog, which no test may
    // wait for.)
    const ScenarioRun thrown = RunScenario("inactive-throw", inactive);
    ASSERT_ENDED(thrown, "inactive-throw");
    EXPECT_EQ(thrown.exitCode, 3u) << thrown.out;
    for (const ScenarioRun* run : {&probe, &thrown}) {
        EXPECT_TRUE(run->reports.empty()) << run->out;
        EXPECT_FALSE(Has(run->out, "REPORT BEGIN")) << run->out;
    }
}

TEST(CrashEngine, AHostingProgramsReportRunsWithTheMetadataLibrarysOptions) {
    SetEnvironmentVariableA("KOLVANE_MODULE_FIXTURE", KOLVANE_MODULE_FIXTURE);
    const ScenarioRun run = RunScenario("metadata");
    SetEnvironmentVariableA("KOLVANE_MODULE_FIXTURE", nullptr);
    ASSERT_ENDED(run, "metadata");
    const std::string program = std::filesystem::path(KOLVANE_CRASH_SCENARIOS).filename().string();
    for (const std::string line : {
             std::string("LOADED yes\n"),
             std::string("OPTIONS OF Metadata.dll\n"),
             "REPORTED WITH 77 " + program + " program\n", // the hosted report
             std::string("UNLOADED yes FILE deleted\n"),
             std::string("MISSING own options\n"),
         })
        EXPECT_TRUE(Has(run.out, line)) << line << run.out;
    // The program's own report keeps its own options.
    EXPECT_EQ(Count(run.out, "REPORTED WITH 77"), 1) << run.out;
    EXPECT_TRUE(Has(run.out, "END\n")) << run.out;
}

TEST(CrashEngine, AReportForItsLogTextOnlyEndsWithTheTextAndNeverEndsTheProgram) {
    const ScenarioRun run = RunScenario("log-text-only");
    ASSERT_ENDED(run, "log-text-only");
    EXPECT_EQ(run.exitCode, 0u) << run.out;
    for (const char* line : {
             "FIRST text flag cleared\n",
             "TERMINATING FILTER text flag cleared\n",
             // A filter that takes the report silently leaves no text, and no earlier one.
             "SILENT FILTER empty flag cleared\n",
         })
        EXPECT_TRUE(Has(run.out, line)) << line << run.out;
    // Only the last report is made and saved.
    ASSERT_EQ(run.reports.size(), 1u) << run.out;
    EXPECT_TRUE(Has(run.reports[0], "normal report")) << run.reports[0];
    EXPECT_TRUE(Has(run.out, "END\n")) << run.out;
}

// Which of the lines comes first in the output; npos when one is missing.
bool InOrder(const std::string& out, const std::string& first, const std::string& second) {
    const size_t a = out.find(first), b = out.find(second);
    return a != std::string::npos && b != std::string::npos && a < b;
}

TEST(CrashEngine, ExceptionsTravelBetweenTheProgramAndALibraryThatCarriesTheComponent) {
    SetEnvironmentVariableA("KOLVANE_EVENT_FIXTURE", KOLVANE_EVENT_FIXTURE);
    const ScenarioRun run = RunScenario("modules");
    SetEnvironmentVariableA("KOLVANE_EVENT_FIXTURE", nullptr);
    ASSERT_ENDED(run, "modules");
    const std::string& out = run.out;
    const std::string program = std::filesystem::path(KOLVANE_CRASH_SCENARIOS).filename().string();
    EXPECT_TRUE(Has(out, "LIBRARY installed deferring to the program\n")) << out;

    // The library's exception: the program's component reports it; the library's handler runs
    // first, through its export, on its own class's object, with its own modules and its own
    // copy of the report's options; the option it changes reaches the program's report.
    EXPECT_TRUE(Has(out, "RAISED INTO PROGRAM reported | raise recorded here\n")) << out;
    // (The report runs with the main module's options, as the options ask by default.)
    const std::string libraryFirst = "LIBRARY HANDLER library failure | ELibraryFailure | "
                                     "library class | options " +
                                     program + " | library modules";
    const std::string programThen = "PROGRAM HANDLER library failure | ELibraryFailure | "
                                    "foreign class";
    EXPECT_TRUE(InOrder(out, libraryFirst, programThen)) << out;
    const std::string readBack = "PROGRAM DATA REQUEST autocrash 55\n";
    EXPECT_TRUE(InOrder(out, programThen, readBack)) << out;
    EXPECT_TRUE(InOrder(out, readBack, "END OF LIBRARY REPORT")) << out;

    // The reverse: the library's component reports the program's exception; the program's
    // handler runs first, on its own object.
    const std::string programFirst = "PROGRAM HANDLER program failure | EProgramFailure | "
                                     "program class";
    const std::string libraryThen = "LIBRARY HANDLER program failure | EProgramFailure | "
                                    "foreign class";
    EXPECT_TRUE(InOrder(out, "END OF LIBRARY REPORT", programFirst)) << out;
    EXPECT_TRUE(InOrder(out, programFirst, libraryThen)) << out;
    EXPECT_TRUE(InOrder(out, libraryThen, "END OF PROGRAM REPORT")) << out;

    // An object of the library's class: the program's handler gets one made from the record.
    EXPECT_TRUE(Has(out, "LIBRARY OBJECT EAccessViolation | foreign class\n")) << out;
    const std::string madeHere = "PROGRAM HANDLER Access violation at address ";
    EXPECT_TRUE(InOrder(out, "END OF PROGRAM REPORT", madeHere)) << out;
    const size_t made = out.find(madeHere, out.find("END OF PROGRAM REPORT"));
    ASSERT_NE(made, std::string::npos) << out;
    EXPECT_TRUE(
        Has(out.substr(made, out.find('\n', made) - made), "| EAccessViolation | program class"))
        << out;
    EXPECT_TRUE(InOrder(out, madeHere, "END OF SYSTEM REPORT")) << out;

    // As an ISAPI extension: the server gets its page, and the library's component keeps it.
    const std::string page = "<html><body>the ISAPI page</body></html>";
    EXPECT_TRUE(Has(out, "SERVER GOT " + page + "\n")) << out;
    EXPECT_TRUE(Has(out, "LIBRARY KEPT " + page + "\n")) << out;
    EXPECT_TRUE(Has(out, "END\n")) << out;
}

TEST(CrashEngine, TheReportOfACGIProgramHoldsThePageItWroteToItsOutput) {
    const ScenarioRun run = RunScenario("cgi-page", kConsole);
    ASSERT_ENDED(run, "cgi-page");
    EXPECT_TRUE(Has(run.out, "LAST PAGE Content-Type: text/html\r\n\r\n"
                             "<html><body>the CGI page</body></html>\n"))
        << run.out;
    // The program's page went out all the same.
    const auto page = run.files.find("page.out");
    ASSERT_NE(page, run.files.end()) << run.out;
    EXPECT_TRUE(Has(page->second, "<html><body>the CGI page</body></html>")) << page->second;
}

} // namespace
