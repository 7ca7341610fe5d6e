#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "../support/CrashTestSupport.h"
#include "base/Stream.h"
#include "crash/core/ClCore.h"
#include "crash/core/ClLang.h"

namespace {

using namespace kv::crash;

const std::string kD(1, kPathDelim);

// Replaces "\" in a table's path by this build's delimiter.
std::string P(std::string s) {
    for (char& c : s)
        if (c == '\\') c = kPathDelim;
    return s;
}

// Points the per-user folders of the native build into a private folder (the Windows build
// keeps the prefix's own, and the tests clean up what they leave there).
class ClCoreFiles : public testing::Test {
protected:
    void SetUp() override {
        SetEnvVariable("XDG_CONFIG_HOME", dir_.Ansi("config"));
        std::filesystem::create_directories(dir_.FsPath() / "config");
    }
    void TearDown() override { SetEnvVariable("XDG_CONFIG_HOME", ""); }
    kvtest::TempDir dir_{"core"};
};

TEST(ClCore, ExtractListSplitsTrimsAndKeepsWhatItIsTold) {
    static const struct {
        const char* name;
        const char* text;
        bool keepEmpty;
        bool raw;
        TStrings expected;
    } kCases[] = {
        {"trimmed items, empty dropped", " a , b,,c ", false, false, {"a", "b", "c"}},
        {"empty items kept", "a,,b", true, false, {"a", "", "b"}},
        {"separator at the end", "a,b,", false, false, {"a", "b"}},
        {"raw keeps separators and blanks", " a,b, ", false, true, {" a,", "b,", " "}},
        {"two separator characters", "a;b,c", false, false, {"a", "b", "c"}},
        {"empty text", "", true, false, {}},
    };
    for (const auto& c : kCases) {
        TStrings list;
        ExtractList(c.text, list, CharSetOf(",;"), c.keepEmpty, c.raw);
        EXPECT_EQ(list, c.expected) << c.name;
    }
}

TEST(ClCore, ExtractStringsExSkipsLeadingSeparatorsOnly) {
    static const struct {
        const char* name;
        const char* text;
        TStrings expected;
    } kCases[] = {
        {"leading separators skipped, inner empty kept", ",,a, ,b", {"a", "", "b"}},
        {"remainder only when not empty", "a,b, ", {"a", "b"}},
        {"empty text", "", {}},
    };
    for (const auto& c : kCases) {
        TStrings list;
        ExtractStringsEx(CharSetOf(","), c.text, list);
        EXPECT_EQ(list, c.expected) << c.name;
    }
}

TEST(ClCore, StringRoutines) {
    EXPECT_EQ(OneString("a\r\n\tb\x01"
                        "c\x7F"),
              "a b c\x7F");
    EXPECT_EQ(PosEx("b", "abcb"), 2u);
    EXPECT_EQ(PosEx("b", "abcb", 3), 4u);
    EXPECT_EQ(PosEx("x", "abc"), 0u);
    EXPECT_EQ(PosEx("a", "abc", 4), 0u);
    EXPECT_EQ(PosEx("", "abc"), 0u);
    EXPECT_EQ(QuickStringReplace("a.b.c", ".", ""), "abc");
    EXPECT_EQ(QuickStringReplace("a.b.c", ".", "-->"), "a-->b-->c"); // longer: nothing cut
    EXPECT_EQ(QuickStringReplace("aaa", "aa", "b"), "ba");           // no second look
    EXPECT_EQ(QuickStringReplace("abc", "", "x"), "abc");
    EXPECT_EQ(DotNetHostedFile("C:\\app.vshost.exe"), "C:\\app.exe");
    EXPECT_EQ(Format("%s (Address: %s) 100%%", {"A", "B"}), "A (Address: B) 100%");
}

TEST(ClCore, StringToUtf8EncodesEachUtf16UnitByItself) {
    EXPECT_EQ(StringToUtf8(""), "");
    EXPECT_EQ(StringToUtf8("abc"), "abc");
    // Shift_JIS "あ" and the half-width katakana "ｱ"
    EXPECT_EQ(StringToUtf8("\x82\xA0\xB1"), "\xE3\x81\x82\xEF\xBD\xB1");
}

TEST(ClCore, TrailBytesAreNoDelimiters) {
    const std::string hyo = "\x95\x5C"; // "表": its trail byte is the code of "\"
    EXPECT_FALSE(IsTrailByte(hyo, 0));
    EXPECT_TRUE(IsTrailByte(hyo, 1));
    EXPECT_FALSE(IsTrailByte("a\\", 1));
}

TEST(ClCore, ListsAreSplitBetweenCharacters) {
    // ポ (83 7C) ends in the code of "|".
    TStrings list;
    ExtractList("\x83\x7C|b", list, CharSetOf("|"), true, false);
    EXPECT_EQ(list, (TStrings{"\x83\x7C", "b"}));
    list.clear();
    ExtractStringsEx(CharSetOf("|"), "|\x83\x7C|b", list);
    EXPECT_EQ(list, (TStrings{"\x83\x7C", "b"}));
}

TEST(ClCore, TextIsCutBetweenCharacters) {
    const std::string text = "a\x95\x5C\x8E\xA6"; // "a表示"
    static const struct {
        size_t maxBytes;
        size_t cut;
    } kCases[] = {{0, 0}, {1, 1}, {2, 1}, {3, 3}, {4, 3}, {5, 5}, {99, 5}};
    for (const auto& c : kCases)
        EXPECT_EQ(AnsiPrefixLength(text, c.maxBytes), c.cut) << "at most " << c.maxBytes;
    EXPECT_EQ(AnsiPrefixLength("\x95", 1), 1u); // a lone lead byte is a character of its own
}

TEST(ClCore, LinesOfAStream) {
    static const struct {
        const char* name;
        std::string text;
        TStrings expected;
    } kCases[] = {
        {"all line ends", "a\r\nb\rc\nd", {"a", "b", "c", "d"}},
        {"final line end adds no line", "a\r\n", {"a"}},
        {"empty line kept", "a\r\n\r\nb", {"a", "", "b"}},
        {"NUL ends the text", std::string("a\nb\0c", 5), {"a", "b"}},
        {"empty", "", {}},
    };
    for (const auto& c : kCases) {
        kv::TMemoryStream stream(c.text);
        TStrings list{"old"};
        LoadFromStream(list, stream);
        EXPECT_EQ(list, c.expected) << c.name;
    }
    TStrings list;
    EXPECT_THROW(LoadFromFile(list, u"no such file.txt"), kv::EFileError);
}

TEST(ClCore, DateValues) {
    EXPECT_EQ(EncodeDateTime(1899, 12, 30, 0, 0, 0), 0.0);
    EXPECT_EQ(EncodeDateTime(2000, 1, 1, 12, 0, 0), 36526.5);
    EXPECT_EQ(EncodeDateTime(1899, 12, 29, 6, 0, 0), -1.25);
    int y, m, d, h, n, s, ms;
    ASSERT_TRUE(DecodeDateTime(EncodeDateTime(2024, 2, 29, 23, 59, 58, 500), y, m, d, h, n, s, ms));
    EXPECT_EQ((std::array<int, 7>{y, m, d, h, n, s, ms}),
              (std::array<int, 7>{2024, 2, 29, 23, 59, 58, 500}));
    EXPECT_FALSE(DecodeDateTime(1e9, y, m, d, h, n, s, ms));
    EXPECT_FALSE(DecodeDateTime(NAN, y, m, d, h, n, s, ms));
}

TEST(ClCore, FixedDateTextRoundTrips) {
    static const struct {
        double value;
        const char* text;
    } kCases[] = {
        {0, "0"},
        {36526.5, "36526.5"},
        {45123.123456789, "45123.123456789"},
        {-1.25, "-1.25"},
        {1e20, "1E20"},
        {0.00001, "0.00001"},
        {0.000001, "1E-6"},
        {123456789012345.0, "123456789012345"},
        {1.0 / 3, "0.333333333333333"},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(DateTimeToStrFixed(c.value), c.text) << c.text;
        EXPECT_NEAR(StrToDateTimeFixed(c.text), c.value, std::fabs(c.value) * 1e-14) << c.text;
    }
    EXPECT_THROW(StrToDateTimeFixed("12,5"), EConvertError);
    EXPECT_THROW(StrToDateTimeFixed(""), EConvertError);
    EXPECT_EQ(StrToDateTimeFixed(" 2.5 "), 2.5);
}

TEST(ClCore, LocalTimeAgainstUtc) {
    const int gmt = GetGMT();
    EXPECT_GE(gmt, -12);
    EXPECT_LE(gmt, 14);
    EXPECT_DOUBLE_EQ(GetGMTDateTime(100.0), 100.0 - gmt / 24.0);
    EXPECT_EQ(DateTimeToStrEx(1e9), DateTimeToStrFixed(1e9)); // outside the calendar
    EXPECT_NE(DateTimeToStrEx(36526.5).find("2000"), std::string::npos);
}

TEST(ClCore, ExpandEnvVars) {
    ASSERT_TRUE(SetEnvVariable("KV_TEST_A", "v"));
    ASSERT_TRUE(SetEnvVariable("KV_TEST_B", "%KV_TEST_A%"));
    SetEnvVariable("KV_TEST_NONE", "");
    static const struct {
        const char* name;
        const char* text;
        const char* expected;
    } kCases[] = {
        {"two adjacent percent signs vanish", "a%%b", "ab"},
        {"broken references stay", "%1 of %2", "%1 of %2"},
        {"a variable", "x%KV_TEST_A%y", "xvy"},
        {"two in a row", "%KV_TEST_A%%KV_TEST_A%", "vv"},
        {"unknown name gives empty text", "[%KV_TEST_NONE%]", "[]"},
        {"unclosed at the end stays", "x%KV_TEST_A", "x%KV_TEST_A"},
        {"inserted value not scanned again", "%KV_TEST_B%", "%KV_TEST_A%"},
        {"non-name character stops the name", "%KV-TEST%", "%KV-TEST%"},
    };
    for (const auto& c : kCases) EXPECT_EQ(ExpandEnvVars(c.text), c.expected) << c.name;
}

TEST(ClCore, DateVariableFallsBackToTodayUnlessItExists) {
    SetEnvVariable("date", "");
    int y, m, d, h, n, s, ms;
    ASSERT_TRUE(DecodeDateTime(Now(), y, m, d, h, n, s, ms));
    EXPECT_NE(ExpandEnvVars("%date%").find(IntToStr(y)), std::string::npos);
    EXPECT_EQ(ExpandEnvVars("%CD%"), GetEnvVariable("cd"));
    EXPECT_FALSE(ExpandEnvVars("%cd%").empty());
    ASSERT_TRUE(SetEnvVariable("date", "stored"));
    EXPECT_EQ(ExpandEnvVars("%date%"), "stored");
    SetEnvVariable("date", "");
}

TEST(ClCore, PathParts) {
    static const struct {
        const char* name;
        std::string in, path, file, ext, noExt;
    } kCases[] = {
        {"folder and name", P("\\a\\b.txt"), P("\\a\\"), "b.txt", ".txt", P("\\a\\b")},
        {"no extension", P("\\a.d\\b"), P("\\a.d\\"), "b", "", P("\\a.d\\b")},
        {"bare name", "b.tar.gz", "", "b.tar.gz", ".gz", "b.tar"},
        {"folder only", P("\\a\\"), P("\\a\\"), "", "", P("\\a\\")},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(ExtractFilePath(c.in), c.path) << c.name;
        EXPECT_EQ(ExtractFileName(c.in), c.file) << c.name;
        EXPECT_EQ(ExtractFileExt(c.in), c.ext) << c.name;
        EXPECT_EQ(ChangeFileExt(c.in, ""), c.noExt) << c.name;
    }
    EXPECT_EQ(IncludeLastBackslash(""), kD);
    EXPECT_EQ(IncludeLastBackslash("a"), "a" + kD);
    EXPECT_EQ(IncludeLastBackslash("a" + kD), "a" + kD);
    EXPECT_EQ(ExcludeLastBackslash("a" + kD + kD), "a" + kD);
    EXPECT_EQ(ExcludeLastBackslash("a"), "a");
}

TEST(ClCore, IsGreaterVersion) {
    static const struct {
        const char* first;
        const char* second;
        bool greater;
    } kCases[] = {
        {"6.1.0.4", "6.1.0.10", true}, // 00010 after 00004
        {"6.1.0.10", "6.1.0.4", false},
        {"6.1", "6.1.0.0", false}, // equal once normalised
        {"6.1", "6.1.0.1", true},
        {"", "6.1", false},
        {"6.1", "", false},
        {"7.2.32", "7.2.32", false},
        {"6.1.0.4", "6.1.0.4 beta", true}, // the word stays after the padded number
        {"6.1.0.4 alpha", "6.1.0.4 beta", true},
        {"10.0", "9.0", false},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(IsGreaterVersion(c.first, c.second), c.greater) << c.first << " / " << c.second;
}

TEST_F(ClCoreFiles, ForceDirectoriesCreatesEveryMissingParent) {
    const std::string deep = dir_.Ansi(P("a\\b\\c"));
    EXPECT_FALSE(ForceDirectoriesEx(""));
    EXPECT_TRUE(ForceDirectoriesEx(deep + kD));
    EXPECT_TRUE(DirectoryExists(deep));
    EXPECT_TRUE(ForceDirectoriesEx(deep)); // already there
    SetEnvVariable("KV_TEST_DIR", dir_.Ansi());
    EXPECT_TRUE(ForceDirectoriesEx(P("%KV_TEST_DIR%\\x\\y")));
    EXPECT_TRUE(DirectoryExists(dir_.Ansi(P("x\\y"))));
}

TEST_F(ClCoreFiles, WorkingFileOnAWritablePathStaysAndLeavesNothing) {
    SetEnvVariable("KV_TEST_DIR", dir_.Ansi());
    std::string name = "%KV_TEST_DIR%" + kD + "out.elf";
    ASSERT_TRUE(GetWorkingFile(name, false, false));
    EXPECT_EQ(name, dir_.Ansi("out.elf")); // only expanded
    EXPECT_FALSE(FileExists(name));        // the test file is gone again

    std::string missing = dir_.Ansi("missing.ini");
    EXPECT_FALSE(GetWorkingFile(missing, false, true)); // read-only: nowhere to read from
}

TEST_F(ClCoreFiles, WorkingFileFallsBackToTheLibraryFolder) {
    std::string name = dir_.Ansi(P("no such folder\\kv_fallback.elf"));
    ASSERT_TRUE(GetWorkingFile(name, false, false));
    EXPECT_EQ(name, GetCrashLogDir() + kD + "kv_fallback.elf");
    EXPECT_EQ(GetCrashLogDir(), GetUserApplicationsPath() + kD + "CrashLog");

    std::string deeper = dir_.Ansi(P("no such folder\\kv_fallback.elf"));
    ASSERT_TRUE(GetWorkingFile(deeper, true, false));
    const std::string program = ChangeFileExt(ExtractFileName(Real_GetMainModuleFileName()), "");
    EXPECT_EQ(deeper, GetCrashLogDir() + kD + program + kD + "kv_fallback.elf");
    std::error_code ec;
    std::filesystem::remove(kv::crash::AnsiToUtf16(GetCrashLogDir() + kD + program), ec);

    std::string folder = dir_.Ansi();
    ASSERT_TRUE(GetWorkingDir(folder, false, false));
    EXPECT_EQ(folder, dir_.Ansi() + kD);
}

TEST_F(ClCoreFiles, IniValuesRoundTripAndConvert) {
    const std::string ini = dir_.Ansi("test.ini");
    WriteString(ini, "S", "Text", "  spaced value ");
    WriteInteger(ini, "S", "Number", -42);
    WriteBool(ini, "S", "Flag", true);
    WriteString(ini, "S", "Two", "2");
    WriteString(ini, "S", "Word", "true");
    EXPECT_EQ(ReadString(ini, "S", "Text", "d"), "spaced value"); // the profile trims
    EXPECT_EQ(ReadString(ini, "s", "text", "d"), "spaced value"); // names without case
    EXPECT_EQ(ReadString(ini, "S", "Missing", "d"), "d");
    EXPECT_EQ(ReadInteger(ini, "S", "Number", 7), -42);
    EXPECT_EQ(ReadInteger(ini, "S", "Text", 7), 7);
    EXPECT_TRUE(ReadBool(ini, "S", "Flag", false));
    EXPECT_FALSE(ReadBool(ini, "S", "Two", true));
    EXPECT_FALSE(ReadBool(ini, "S", "Word", false)); // no number: the default
    EXPECT_TRUE(ReadBool(ini, "S", "Missing", true));
    WriteString(ini, "S", "Text", "\"quoted\"");
    EXPECT_EQ(ReadString(ini, "S", "Text", "d"), "quoted");

    // A bare name lives in the INI folder.
    WriteString("kv_bare_test.ini", "S", "K", "v");
    const std::string bare = GetIniFolder() + kD + "kv_bare_test.ini";
    EXPECT_TRUE(FileExists(bare));
    EXPECT_EQ(ReadString("kv_bare_test.ini", "S", "K", ""), "v");
    ForceDeleteFile(bare);
}

TEST_F(ClCoreFiles, FileRoutines) {
    const std::string name = dir_.Ansi("data.bin");
    std::ofstream(dir_.FsPath() / "data.bin", std::ios::binary) << std::string(1000, 'x');
    EXPECT_EQ(GetFileSizeByName(name), 1000u);
    EXPECT_EQ(GetFileSizeByName(dir_.Ansi("none")), 0u);
    EXPECT_TRUE(IsReadableFile(name));
    EXPECT_FALSE(IsReadableFile(dir_.Ansi("none")));
    EXPECT_TRUE(IsWritableFile(name));
    EXPECT_TRUE(FileExists(name)); // an existing file stays

    const TDateTime modified = GetModifiedDate(name);
    EXPECT_LT(std::fabs(modified - Now()), 1.0 / 24 / 60); // within a minute
    int y, m, d, h, n, s, ms;
    ASSERT_TRUE(DecodeDateTime(modified, y, m, d, h, n, s, ms));
    EXPECT_EQ(s % 2, 0); // DOS time: 2-second steps
    EXPECT_EQ(GetModifiedDate(dir_.Ansi("none")), 0.0);
    EXPECT_TRUE(TouchFile(kv::crash::AnsiToUtf16(name)));
    EXPECT_FALSE(TouchFile(kv::crash::AnsiToUtf16(dir_.Ansi("none"))));

    std::filesystem::permissions(dir_.FsPath() / "data.bin", std::filesystem::perms::owner_read);
    EXPECT_TRUE(ForceDeleteFile(name));
    EXPECT_FALSE(FileExists(name));
    EXPECT_FALSE(ForceDeleteFile(name));
    EXPECT_EQ(GetLongNameFromShort(name), name); // no "~": as it stands
}

TEST(ClCore, MemoryRanges) {
    const char local[64] = {};
    EXPECT_TRUE(IsValidBlockAddr(local, sizeof local));
    EXPECT_TRUE(IsValidBlockAddr(nullptr, 0));
    EXPECT_FALSE(IsValidBlockAddr(nullptr, 1));
    EXPECT_FALSE(IsValidBlockAddr(reinterpret_cast<const void*>(16), 4));
    EXPECT_FALSE(IsValidBlockAddr(UINTPTR_MAX - 2, 8)); // wraps around
    EXPECT_EQ(ConvertAddress(reinterpret_cast<uintptr_t>(local)),
              reinterpret_cast<uintptr_t>(local)); // no jump there
}

TEST(ClCore, UserCharSetIsShiftJis) {
    EXPECT_EQ(UserCharSet(), 128); // SHIFTJIS_CHARSET under code page 932
}

TEST(ClCore, NoIde) {
    EXPECT_FALSE(IntoIDE());
    EXPECT_FALSE(Real_GetMainModuleFileName().empty());
    EXPECT_EQ(RADRegistryKey(), "SOFTWARE\\DevEnvironment\\BDS\\9.0");
    EXPECT_EQ(RADDir(), "");
}

TEST(ClCore, ParametersAfterTheProgramName) {
    const std::vector<std::string> argv = testing::internal::GetArgvs();
    ASSERT_FALSE(argv.empty());
    EXPECT_EQ(ParamStrings(), TStrings(argv.begin() + 1, argv.end()));
}

TEST(ClCoreDeathTest, TerminateEndsTheProcessWithExitCode1) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(TerminateOrRestart(false), testing::ExitedWithCode(1), "");
}

// ---- SafeExec ----

std::string g_hookMessage;
int g_hookCalls = 0;
int g_runs = 0;

void Hook(const std::string& message) {
    g_hookMessage = message;
    ++g_hookCalls;
}
void RunsFine() {
    ++g_runs;
}
void ThrowsException() {
    throw kv::Exception(u"boom");
}
void ThrowsIgnore() {
    throw EIgnoreException(u"ignored");
}
void ThrowsInt() {
    throw 5;
}

class SafeExecTest : public testing::Test {
protected:
    void SetUp() override {
        g_hookMessage.clear();
        g_hookCalls = g_runs = 0;
    }
    void TearDown() override { CriticalError = nullptr; }
};

TEST_F(SafeExecTest, RunsTheProcedure) {
    CriticalError = Hook;
    SafeExec(RunsFine, "Unit.Init");
    EXPECT_EQ(g_runs, 1);
    EXPECT_EQ(g_hookCalls, 0);
}

TEST_F(SafeExecTest, HookGetsSectionAndAddressThenSilentAbort) {
    CriticalError = Hook;
    EXPECT_THROW(SafeExec(ThrowsException, "Unit.Init"), kv::EAbort);
    EXPECT_EQ(g_hookCalls, 1);
    EXPECT_EQ(g_hookMessage, "Unit.Init (Address: " +
                                 IntToHex(reinterpret_cast<uintptr_t>(&ThrowsException), 8) + ")");
}

TEST_F(SafeExecTest, WithoutHookTheErrorNamesSectionAndMessage) {
    try {
        SafeExec(ThrowsException, "Unit.Done");
        FAIL() << "no exception";
    } catch (const kv::EAbort&) {
        FAIL() << "silent abort without hook";
    } catch (const kv::Exception& e) {
        EXPECT_EQ(e.Message(), u"Critical error at: \"Unit.Done\"\r\nError: \"boom\".");
    }
    try {
        SafeExec(ThrowsInt, "Unit.Done");
        FAIL() << "no exception";
    } catch (const kv::Exception& e) {
        EXPECT_EQ(e.Message(), u"General internal error.");
    }
}

int g_inits = 0, g_dones = 0;
void CountInit() {
    ++g_inits;
}
void CountDone() {
    ++g_dones;
}

TEST_F(SafeExecTest, UnitBodiesRunOnceEachWithTheirSections) {
    g_inits = g_dones = 0;
    {
        TUnitBodies unit("ClTest", CountInit, CountDone);
        EXPECT_EQ(g_inits, 1);
        EXPECT_EQ(g_dones, 0);
    }
    EXPECT_EQ(g_dones, 1);
    CriticalError = Hook;
    {
        TUnitBodies failing("ClFail", ThrowsException, nullptr); // nothing escapes
        EXPECT_EQ(g_hookMessage, "ClFail.Init (Address: " +
                                     IntToHex(reinterpret_cast<uintptr_t>(&ThrowsException), 8) +
                                     ")");
    }
}

TEST_F(SafeExecTest, IgnoreExceptionPassesUnchanged) {
    CriticalError = Hook;
    EXPECT_THROW(SafeExec(ThrowsIgnore, "Unit.Init"), EIgnoreException);
    EXPECT_EQ(g_hookCalls, 0);
}

} // namespace
