#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "TestFiles.h"
#include "crash/debug/ClDebug.h"
#include "crash/debug/ClDebugData.h"
#include "../support/DebugFixtures.h"
#include "crash/tools/TDebugDataWriter.h"
#include "crash/tools/TDebugModel.h"
#include "crash/tools/TDwarfReader.h"
#include "crash/tools/TPostLink.h"

namespace {

using namespace kv::crash;
using namespace kv::crash::tools;

// tiny.exe: a small image linked by our toolchain (its source and command beside it).
std::string TinyPath() {
    return std::string(KOLVANE_TEST_DATA) + "/crash/tools/tiny.exe";
}

std::string ReadAll(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<TUnitRecord> TinyRecords(uint32_t& imageBase) {
    TPeImageFile image;
    std::string err;
    EXPECT_TRUE(image.Load(ReadAll(TinyPath()), err)) << err;
    std::vector<TDwarfUnit> units;
    EXPECT_TRUE(ReadDwarf(image, units, err)) << err;
    imageBase = image.ImageBase();
    return BuildDebugModel(image, units);
}

TEST(TPostLink, ReadsTheImagesDwarf) {
    TPeImageFile image;
    std::string err;
    ASSERT_TRUE(image.Load(ReadAll(TinyPath()), err)) << err;
    EXPECT_EQ(image.ImageBase(), 0x400000u);
    ASSERT_NE(image.Find(".debug_info"), nullptr); // a long section name
    std::vector<TDwarfUnit> units;
    ASSERT_TRUE(ReadDwarf(image, units, err)) << err;
    ASSERT_EQ(units.size(), 1u);
    EXPECT_EQ(units[0].Name, "/src/tiny.cpp");
    std::vector<std::string> functions;
    for (const auto& f : units[0].Functions)
        functions.push_back(f.ClassName + "|" + f.Name + "|" + BaseName(f.DeclFile));
    std::sort(functions.begin(), functions.end());
    EXPECT_EQ(functions, (std::vector<std::string>{"Box::Inner|Twice|tiny.cpp", "Box|Get|tiny.cpp",
                                                   "|Free|tiny.cpp", "|start|tiny.cpp"}));
    // Cube of tiny.h is inlined into Get, called from line 27.
    bool cube = false;
    for (const auto& f : units[0].Functions)
        for (const auto& in : f.Inlines)
            cube = cube || (BaseName(in.CallFile) == "tiny.cpp" && in.CallLine == 27);
    EXPECT_TRUE(cube);
}

TEST(TPostLink, ModelKeepsOneFilePerRecordAndCallLinesOfInlinedCode) {
    uint32_t base = 0;
    const std::vector<TUnitRecord> records = TinyRecords(base);
    ASSERT_EQ(records.size(), 1u);
    const TUnitRecord& r = records[0];
    EXPECT_EQ(r.FileName, "tiny.cpp");
    EXPECT_EQ(r.Start, 0x401000u);
    EXPECT_EQ(r.End, 0x40106Au);
    ASSERT_EQ(r.Procs.size(), 4u);
    EXPECT_EQ(r.Procs[1].Address, 0x40100Au);
    for (const TModelLine& l : r.Lines) EXPECT_NE(l.Line, 2u) << "a line of tiny.h leaked";
}

struct TinyCase {
    const char* name;
    uint32_t address;
    const char* unit;
    const char* cls;
    const char* proc;
    uint32_t line;
};
constexpr TinyCase kTinyCases[] = {
    {"nested class method", 0x401003, "tiny.cpp", "Box::Inner", "Twice", 21},
    {"method start", 0x40100A, "tiny.cpp", "Box", "Get", 24},
    {"code inlined from a header counts at its call", 0x40101C, "tiny.cpp", "Box", "Get", 27},
    {"call of Twice", 0x401028, "tiny.cpp", "Box", "Get", 28},
    {"free function in a namespace", 0x401046, "tiny.cpp", "", "Free", 35},
    {"entry point", 0x40105C, "tiny.cpp", "", "start", 40},
};

TEST(TPostLink, StoredDebugDataResolvesTinysFunctions) {
    kvtest::InstallCodecs();
    uint32_t base = 0;
    const std::vector<TUnitRecord> records = TinyRecords(base);
    const std::string data = WriteDebugData(records, base, "");
    TDebugDataSource s;
    s.Data = data;
    s.Version = kDebugDataVersion;
    s.Module = base;
    for (const auto& c : kTinyCases) {
        SCOPED_TRACE(c.name);
        TDebugDataHit hit;
        ASSERT_TRUE(FindInDebugData(s, c.address, hit));
        EXPECT_EQ(hit.UnitName, c.unit);
        EXPECT_EQ(hit.ClassName, c.cls);
        EXPECT_EQ(hit.ProcedureName, c.proc);
        EXPECT_EQ(hit.Line, c.line);
    }
}

TEST(TPostLink, WritesTrailerAndMapBesideTheExecutable) {
    const kvtest::TempFile exe("tiny_copy.exe");
    const kvtest::TempFile map("tiny_copy.map");
    exe.Write(ReadAll(TinyPath()));
    TPostLinkOptions o;
    o.Executable = exe.FsPath().string();
    std::string report, err;
    ASSERT_TRUE(RunPostLink(o, report, err)) << err;
    EXPECT_NE(report.find("4 procedures"), std::string::npos) << report;
    EXPECT_TRUE(CheckCLDataTrailer(o.Executable, err)) << err;
    const std::string once = exe.Read();
    ASSERT_TRUE(RunPostLink(o, report, err)) << err; // a second run leaves the file alone
    EXPECT_NE(report.find("already"), std::string::npos);
    EXPECT_EQ(exe.Read(), once);

    // The .map file beside it answers the .map source's queries for the same addresses.
    TClMapScanner scanner(TClMapScanner::TText{map.Read()});
    for (const auto& c : kTinyCases) {
        SCOPED_TRACE(c.name);
        const uint32_t offset = c.address - 0x401000;
        uint32_t distance = 0;
        TClLocationInfo loc;
        loc.Address = c.address;
        loc.UnitName = scanner.ModuleNameFromAddr(offset);
        loc.ProcedureName = scanner.ProcNameFromAddr(offset, distance);
        loc.LineNumber = scanner.LineNumberFromAddr(offset, distance);
        loc.SourceName = scanner.SourceNameFromAddr(offset);
        EXPECT_EQ(loc.UnitName, "tiny");
        EXPECT_EQ(loc.SourceName, "tiny.cpp");
        EXPECT_EQ(loc.LineNumber, c.line);
        const std::string expected =
            std::string("tiny.") + (*c.cls ? std::string(c.cls) + "." : "") + c.proc;
        EXPECT_EQ(loc.ProcedureName, expected);
    }
}

TEST(TPostLink, RefusesFilesWithoutDebugInformation) {
    const kvtest::TempFile notPe("not_pe.exe");
    notPe.Write("MZ but nothing else");
    TPostLinkOptions o;
    o.Executable = notPe.FsPath().string();
    std::string report, err;
    EXPECT_FALSE(RunPostLink(o, report, err));
    EXPECT_FALSE(CheckCLDataTrailer(o.Executable, err));
    o.Executable = "/nonexistent/file.exe";
    EXPECT_FALSE(RunPostLink(o, report, err));
}

TEST(TPostLink, NormalisesPaths) {
    EXPECT_EQ(NormalisePath("/build/./a//b/c.cpp"), "/build/a/b/c.cpp");
    EXPECT_EQ(NormalisePath("C:\\src\\.\\x.cpp"), "C:/src/x.cpp");
    EXPECT_EQ(NormalisePath("./rel/x.h"), "rel/x.h");
}

} // namespace
