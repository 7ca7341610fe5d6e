#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "../support/DebugFixtures.h"
#include "crash/debug/ClDebug.h"

namespace {

using namespace kv::crash;
using kvtest::FakeModules;

constexpr uint32_t kModule = 0x400000;
constexpr uint32_t kCode = kModule + 0x1000; // offsets count from here

std::string Fixture(const std::string& name) {
    std::ifstream in(std::string(KOLVANE_TEST_DATA) + "/crash/ClDebug/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A module at kModule whose file is "C:\app\prog.exe", with files beside it.
FakeModules ModuleWithFiles(std::map<std::string, std::string> files) {
    FakeModules m;
    m.fileNames[kModule] = "C:\\app\\prog.exe";
    m.files = std::move(files);
    return m;
}

struct LocationCase {
    const char* name;
    uint32_t offset;
    bool found;
    const char* unit;
    const char* procedure;
    uint32_t line;
    const char* source;
    uint32_t procOffsetLine;
};

void ExpectLocations(TClDebugInfoSource& source, const std::vector<LocationCase>& cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TClLocationInfo info;
        ASSERT_EQ(source.GetLocationInfo(kCode + c.offset, info), c.found);
        if (!c.found) continue;
        EXPECT_EQ(info.Address, kCode + c.offset);
        EXPECT_EQ(info.UnitName, c.unit);
        EXPECT_EQ(info.ProcedureName, c.procedure);
        EXPECT_EQ(info.LineNumber, c.line);
        EXPECT_EQ(info.SourceName, c.source);
        EXPECT_EQ(info.ProcOffsetLine, c.procOffsetLine);
        EXPECT_EQ(info.DebugInfo, &source);
    }
}

// ---- .map files ---------------------------------------------------------------------------

TEST(ClDebugMap, ResolvesUnitsProceduresAndLinesOfTheCodeSegment) {
    const FakeModules m = ModuleWithFiles({{"C:\\app\\prog.map", Fixture("full.map")}});
    TClDebugInfoMap source(kModule, m);
    ASSERT_TRUE(source.ValidData());
    ExpectLocations(source, {
                                {"procedure start", 0x10, true, "System", "System.TObject.Create",
                                 10, "System.pas", 0},
                                {"inside a procedure", 0x18, true, "System",
                                 "System.TObject.Create", 11, "System.pas", 1},
                                {"backward line entry rejected", 0x75, true, "System",
                                 "System.TObject.Create", 12, "System.pas", 2},
                                {"shared segment end belongs to the later segment", 0x800, true,
                                 "C:\\src\\Forms.obj", "", 0, "", 0},
                                {"second unit", 0x905, true, "C:\\src\\Forms.obj",
                                 "Forms.Application", 140, "Forms.pas", 0},
                                {"last unit", 0xC25, true, "Main", "Main.Run", 8, "Main.pas", 1},
                                {"outside every segment", 0xE00, false, "", "", 0, "", 0},
                            });
    EXPECT_EQ(source.Scanner()->LineNumberErrors(), 1);
}

TEST(ClDebugMap, WithoutLineNumbersStillNamesUnitAndProcedure) {
    const FakeModules m = ModuleWithFiles({{"C:\\app\\prog.map", Fixture("no_lines.map")}});
    TClDebugInfoMap source(kModule, m);
    ExpectLocations(source, {{"no lines", 0x150, true, "Unit1", "Unit1.TThing.DoIt", 0, "", 0}});
}

TEST(ClDebugMap, FindsSectionsWithoutClassTableAndWithLineFeeds) {
    TClMapScanner scanner(TClMapScanner::TText{Fixture("lf_no_class_table.map")});
    uint32_t distance = 0;
    EXPECT_EQ(scanner.ModuleNameFromAddr(0x8), "Lf");
    EXPECT_EQ(scanner.ProcNameFromAddr(0x8, distance), "Lf.Start");
    EXPECT_EQ(distance, 4u);
    EXPECT_EQ(scanner.LineNumberFromAddr(0x12, distance), 4u);
    EXPECT_EQ(distance, 2u);
    EXPECT_EQ(scanner.SourceNameFromAddr(0x12), "Lf.cpp");
}

TEST(ClDebugMap, MissingFileGivesNoSource) {
    const FakeModules m = ModuleWithFiles({});
    TClDebugInfoMap source(kModule, m);
    EXPECT_FALSE(source.ValidData());
    TClLocationInfo info;
    EXPECT_FALSE(source.GetLocationInfo(kCode, info));
}

TEST(ClDebugMap, ParserHandsItemsToEvents) {
    TClMapParser parser(TClMapParser::TText{Fixture("full.map")});
    std::vector<std::string> modules, units;
    std::vector<uint32_t> lines;
    parser.FOnSegmentItem = [&](const TClMapAddress& a, uint32_t, const std::string& module,
                                const std::string& cls) {
        if (a.Segment == 1) modules.push_back(module + "/" + cls);
    };
    parser.FOnLineNumberUnit = [&](const std::string& unit, const std::string& file) {
        units.push_back(unit + "/" + file);
    };
    parser.FOnLineNumbers = [&](uint32_t line, const TClMapAddress&) { lines.push_back(line); };
    parser.Parse();
    EXPECT_EQ(modules, (std::vector<std::string>{"System/CODE", "Forms/CODE", "Main/CODE"}));
    EXPECT_EQ(units,
              (std::vector<std::string>{"System/System.pas", "Forms/Forms.pas", "Main/Main.pas"}));
    EXPECT_EQ(lines.size(), 12u); // the rejected entry is still an item
}

TEST(ClDebugMap, MapStrings) {
    // Positions into a text: a name in parentheses, a plain word, a module parameter.
    const std::string text =
        "(Unit.pas) rest\r\nName(x) Word\r\nC:\\dir\\Mod.obj  ACBP=A9\r\nx|y.z\r\n"
        "d\\\x95\x5C\x8E\xA6.pas";
    TClMapParser parser(TClMapParser::TText{text});
    static constexpr struct {
        const char* name;
        size_t pos;
        const char* str;
        const char* fileName;
    } kCases[] = {
        {"parenthesised", 0, "Unit.pas", "(Unit"},
        {"word up to parenthesis", 17, "Name", "Name(x) Word"},
        {"parameter ends the file name", 31, "C:\\dir\\Mod.obj", "Mod"},
        {"bar as a folder delimiter", 56, "x|y.z", "y"},
        {"double-byte name", 63, "d\\\x95\x5C\x8E\xA6.pas", "\x95\x5C\x8E\xA6"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(parser.MapStringToStr(c.pos), c.str);
        EXPECT_EQ(parser.MapStringToFileName(c.pos), c.fileName);
    }
    EXPECT_EQ(parser.MapStringToStr(kNoMapString), "");
}

// ---- TD32 ---------------------------------------------------------------------------------

kvtest::Td32Desc SampleTd32() {
    kvtest::Td32Desc d;
    d.Names = {"Mymod", "mymod.pas", "@Mymod@TFoo@Bar$qqrv", "@Mymod@Helper$qqri",
               "Other", "other.pas", "@Other@Run$qqrv"};
    d.Modules = {{1, {{0x000, 0x1FF}}}, {5, {{0x200, 0xFF}}}};
    d.Procs = {{0x0205, 3, 0x010, 0x40}, {0x0204, 4, 0x080, 0x20}, {0x0205, 7, 0x200, 0x80}};
    d.Sources = {{2, {{0x000, 0x200}}, {{{0x010, 10}, {0x018, 11}, {0x080, 20}, {0x090, 21}}}},
                 {6, {{0x200, 0x300}}, {{{0x200, 5}, {0x210, 6}}}}};
    return d;
}

TEST(ClDebugTD32, ResolvesModuleProcedureLineAndSource) {
    FakeModules m = ModuleWithFiles({{"C:\\app\\prog.tds", kvtest::BuildTd32(SampleTd32())}});
    TClDebugInfoTD32 source(kModule, m);
    ASSERT_TRUE(source.ValidData());
    ExpectLocations(
        source,
        {
            {"method", 0x1A, true, "Mymod", "TFoo.Bar", 11, "mymod.pas", 1},
            {"local procedure", 0x90, true, "Mymod", "Helper", 21, "mymod.pas", 1},
            {"after the last line of a unit", 0x1F0, true, "Mymod", "", 0, "mymod.pas", 0},
            {"second module", 0x208, true, "Other", "Run", 5, "other.pas", 0},
            {"past the last line of a unit", 0x215, true, "Other", "Run", 0, "other.pas", 0},
            {"outside every module", 0x400, false, "", "", 0, "", 0},
        });
}

TEST(ClDebugTD32, ImageDataWinsOverTdsFile) {
    kvtest::Td32Desc inImage = SampleTd32();
    inImage.Names[0] = "Inimage"; // module 1 named differently in the image's copy
    const std::string data = kvtest::BuildTd32(inImage);
    FakeModules m = ModuleWithFiles({{"C:\\app\\prog.tds", kvtest::BuildTd32(SampleTd32())}});
    // Headers with a debug section at 0x3000 whose first entry points at the data at 0x4000.
    m.memory.Add(kModule, kvtest::BuildImageHeaders({{".debug", 0x3000, 0x1C}}, 0x3000, 0x1C));
    kvtest::Bytes entry;
    entry.U32(0)
        .U32(0)
        .U16(0)
        .U16(0)
        .U32(2)
        .U32(static_cast<uint32_t>(data.size()))
        .U32(0x4000)
        .U32(0);
    m.memory.Add(kModule + 0x3000, entry.Str());
    m.memory.Add(kModule + 0x4000, data);
    TClDebugInfoTD32 source(kModule, m);
    TClLocationInfo info;
    ASSERT_TRUE(source.GetLocationInfo(kCode + 0x1A, info));
    EXPECT_EQ(info.UnitName, "Inimage");
}

TEST(ClDebugTD32, ValidityOfTheTrailingSignature) {
    const std::string good = kvtest::BuildTd32(SampleTd32());
    EXPECT_TRUE(IsTD32DebugInfoValid(good.data(), good.size()));
    static constexpr struct {
        const char* name;
        size_t at;    // position counted from the end of the data
        uint32_t put; // 32-bit value put there
    } kBroken[] = {
        {"distance to a place without signature", 4, 12},
        {"distance past the start", 4, 0x7FFFFFFF},
        {"distance smaller than a signature", 4, 4},
        {"unknown trailing signature", 8, 0x43423046},
    };
    for (const auto& c : kBroken) {
        SCOPED_TRACE(c.name);
        std::string bad = good;
        for (int i = 0; i < 4; ++i)
            bad[bad.size() - c.at + i] = static_cast<char>(c.put >> (8 * i));
        EXPECT_FALSE(IsTD32DebugInfoValid(bad.data(), bad.size()));
        TClTD32InfoScanner scanner(bad);
        EXPECT_FALSE(scanner.ValidData());
    }
    EXPECT_FALSE(IsTD32DebugInfoValid(good.data(), 8));
    EXPECT_FALSE(IsTD32DebugInfoValid(nullptr, 100));
    kvtest::Td32Desc other = SampleTd32();
    other.Signature = "FB0A";
    const std::string fb0a = kvtest::BuildTd32(other);
    EXPECT_TRUE(IsTD32DebugInfoValid(fb0a.data(), fb0a.size()));
}

TEST(ClDebugTD32, CleansProcedureNames) {
    static constexpr struct {
        const char* name;
        const char* module;
        const char* symbol;
        const char* clean;
    } kCases[] = {
        {"method of own unit", "Mymod", "@Mymod@TFoo@Bar$qqrv", "TFoo.Bar"},
        {"unit compared without case", "MYMOD", "@Mymod@TFoo@Bar$qqrv", "TFoo.Bar"},
        {"at sign before dollar dropped", "Mymod", "@Mymod@Init@$qqrv", "Init"},
        {"doubled at sign", "Mymod", "@Mymod@TFoo@@Create$qqrv", "TFoo.@Create"},
        {"other unit kept", "Mymod", "@Other@Proc$qqrv", "Other.Proc"},
        {"plain name", "Mymod", "start", "start"},
        {"no module name", "", "@Mymod@X$v", "Mymod.X"},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(CleanTD32ProcName(c.module, c.symbol), c.clean) << c.name;
}

// ---- UL debug data --------------------------------------------------------------------------

kvtest::UdbgDesc SampleUdbg() {
    kvtest::UdbgDesc d;
    d.ModuleName = "prog";
    d.Modules = {{0x000, "UnitA"}, {0x100, "UnitB"}};
    d.Sources = {{0x000, "UnitA.pas"}, {0x100, "UnitB.pas"}};
    d.Procs = {{0x010, "TThing", "Run"},
               {0x040, "Helper", ""},
               {0x0F0, "Late", ""},
               {0x110, "@Init", ""},
               {0x140, "Odd name", ""}};
    d.Lines = {{0x010, 10}, {0x018, 12}, {0x040, 30}, {0x110, 3}, {0x120, 2}};
    return d;
}

TEST(ClDebugUL, ResolvesFromTheUdbgFile) {
    FakeModules m = ModuleWithFiles({{"C:\\app\\prog.udbg", kvtest::BuildUdbg(SampleUdbg())}});
    TClDebugInfoUL source(kModule, m);
    ASSERT_TRUE(source.ValidData());
    ExpectLocations(
        source, {
                    {"class and method", 0x01A, true, "UnitA", "TThing.Run", 12, "UnitA.pas", 2},
                    {"no second name", 0x044, true, "UnitA", "Helper", 30, "UnitA.pas", 0},
                    {"leading at sign", 0x112, true, "UnitB", "@Init", 3, "UnitB.pas", 0},
                    {"procedure below the unit start", 0x100, true, "UnitB", "", 0, "UnitB.pas", 0},
                    {"scrambled name", 0x141, true, "UnitB", "Odd name", 2, "UnitB.pas", 0},
                    {"line falls back", 0x125, true, "UnitB", "@Init", 2, "UnitB.pas", 0},
                });
}

TEST(ClDebugUL, SectionInTheImageIsUsed) {
    FakeModules m = ModuleWithFiles({});
    const std::string data = kvtest::BuildUdbg(SampleUdbg());
    m.memory.Add(kModule, kvtest::BuildImageHeaders(
                              {{".text", 0x1000, 0x1000},
                               {"ULDEBUG", 0x5000, static_cast<uint32_t>(data.size())}},
                              0, 0));
    m.memory.Add(kModule + 0x5000, data);
    TClDebugInfoUL source(kModule, m);
    ASSERT_TRUE(source.ValidData());
    TClLocationInfo info;
    ASSERT_TRUE(source.GetLocationInfo(kCode + 0x1A, info));
    EXPECT_EQ(info.ProcedureName, "TThing.Run");
}

TEST(ClDebugUL, FormatChecks) {
    const std::string good = kvtest::BuildUdbg(SampleUdbg());
    kvtest::UdbgDesc noSum = SampleUdbg();
    noSum.Checksum = false;
    std::string wrongSumIgnored = kvtest::BuildUdbg(noSum);
    wrongSumIgnored[29] ^= 0x55;
    std::string wrongSum = good;
    wrongSum[29] ^= 0x55;
    std::string badSize = good;
    badSize.push_back('\0');
    std::string badVersion = good;
    badVersion[4] = 2;
    static const struct {
        const char* name;
        const std::string* data;
        bool valid;
    } kCases[] = {
        {"well formed", &good, true},
        {"checksum not present, wrong value accepted", &wrongSumIgnored, true},
        {"wrong checksum", &wrongSum, false},
        {"size not a multiple of 4", &badSize, false},
        {"unknown version", &badVersion, false},
    };
    for (const auto& c : kCases) {
        TClBinDebugScanner scanner(*c.data, true);
        EXPECT_EQ(scanner.ValidFormat(), c.valid) << c.name;
    }
    TClBinDebugScanner tooShort(good.substr(0, 32), true);
    EXPECT_FALSE(tooShort.ValidFormat());
}

TEST(ClDebugUL, NamesAndValues) {
    TClBinDebugScanner scanner(kvtest::BuildUdbg(SampleUdbg()), false);
    EXPECT_EQ(scanner.GetModuleName(), "prog");
    EXPECT_EQ(scanner.ModuleStartFromAddr(0x150), 0x100u);
    EXPECT_EQ(scanner.ModuleStartFromAddr(0x0), 0x0u);
    uint32_t distance = 0;
    EXPECT_EQ(scanner.ProcNameFromAddr(0x1A, distance), "TThing.Run"); // walked, not cached
    EXPECT_EQ(distance, 0x0Au);
    ASSERT_NE(scanner.MakePtr(0), nullptr);
    EXPECT_EQ(*scanner.MakePtr(0), 'U');
    EXPECT_EQ(scanner.MakePtr(1 << 20), nullptr);
    EXPECT_EQ(scanner.DataToStr(0), "");
    EXPECT_EQ(scanner.DataToStr(-5), "");
    EXPECT_EQ(scanner.DataToStr(0x7FFFFFF0), "");
}

TEST(ClDebugUL, ModuleStartIsNoneBeforeTheFirstModule) {
    kvtest::UdbgDesc d = SampleUdbg();
    d.Modules = {{0x100, "UnitB"}};
    TClBinDebugScanner scanner(kvtest::BuildUdbg(d), true);
    EXPECT_EQ(scanner.ModuleStartFromAddr(0x50), 0xFFFFFFFFu);
    EXPECT_EQ(scanner.ModuleNameFromAddr(0x50), "");
    uint32_t distance = 7;
    EXPECT_EQ(scanner.ProcNameFromAddr(0x50, distance), "");
    EXPECT_EQ(distance, 0u);
}

// ---- picking the source ---------------------------------------------------------------------

TEST(ClDebugSources, MapThenTd32ThenUl) {
    const std::string map = Fixture("no_lines.map");
    const std::string tds = kvtest::BuildTd32(SampleTd32());
    const std::string udbg = kvtest::BuildUdbg(SampleUdbg());
    static const struct {
        const char* name;
        bool map, tds, udbg;
        const char* kind; // of the source chosen, empty for none
    } kCases[] = {
        {"all three", true, true, true, "map"},
        {"tds and udbg", false, true, true, "td32"},
        {"udbg only", false, false, true, "ul"},
        {"none", false, false, false, ""},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        std::map<std::string, std::string> files;
        if (c.map) files["C:\\app\\prog.map"] = map;
        if (c.tds) files["C:\\app\\prog.tds"] = tds;
        if (c.udbg) files["C:\\app\\prog.udbg"] = udbg;
        const FakeModules m = ModuleWithFiles(files);
        std::unique_ptr<TClDebugInfoSource> source;
        EXPECT_EQ(AssignValidDebugInfo(kModule, source, m), *c.kind != '\0');
        const std::string kind = !source                                         ? ""
                                 : dynamic_cast<TClDebugInfoMap*>(source.get())  ? "map"
                                 : dynamic_cast<TClDebugInfoTD32*>(source.get()) ? "td32"
                                                                                 : "ul";
        EXPECT_EQ(kind, c.kind);
        if (source) {
            EXPECT_FALSE(AssignValidDebugInfo(kModule, source, m)); // already assigned
        }
    }
}

} // namespace
