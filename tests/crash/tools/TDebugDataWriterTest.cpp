#include <gtest/gtest.h>

#include <cstring>

#include "crash/debug/ClByteReader.h"
#include "crash/debug/ClDebug.h"
#include "crash/debug/ClDebugData.h"
#include "../support/DebugFixtures.h"
#include "crash/tools/TDebugDataWriter.h"

namespace {

using namespace kv::crash;
using namespace kv::crash::tools;

constexpr uint64_t kBase = 0x400000;

TEST(TDebugDataWriter, EntriesOfEverySizeDecodeToTheirDeltas) {
    static constexpr struct {
        const char* name;
        int64_t ld;
        uint64_t ad;
        bool proc;
        size_t entries; // how many entries it takes
    } kCases[] = {
        {"short", 3, 20, false, 1},
        {"procedure", 8, 8, true, 1},
        {"word", 32, 128, false, 1},
        {"no line move", 0, 10, false, 1},
        {"no address move", 4, 0, true, 1},
        {"backwards", -1000, 4000, false, 1},
        {"the explicit entry's own values", -1, 0xFFF, false, 1},
        {"largest explicit address move", 1, 65536, true, 1},
        {"address move over several entries", 2, 200000, true, 4},
        {"line move over several entries", 70000, 7, false, 4},
        {"line move backwards over several entries", -70000, 0, true, 3},
    };
    const TModelProc proc{0, "TCls", "Run"};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        std::string bytes;
        AppendLineProgramEntry(bytes, c.ld, c.ad, c.proc ? &proc : nullptr, "pw");
        TByteReader r(bytes);
        int64_t ld = 0;
        uint64_t ad = 0;
        size_t entries = 0;
        bool procSeen = false;
        while (r.Remaining() > 0) {
            TLineProgramEntry e;
            ASSERT_TRUE(ReadLineProgramEntry(r, kDebugDataVersion, e));
            ASSERT_FALSE(procSeen) << "the procedure starts with the last entry";
            ld += e.LineDelta;
            ad += e.AddrDelta;
            ++entries;
            if (e.NewProcedure) {
                procSeen = true;
                uint8_t len;
                ASSERT_TRUE(r.U8(len));
                ASSERT_EQ(len, 0x80 | 4); // "TCls", continued by "Run"
                ASSERT_TRUE(r.Skip(4));
                ASSERT_TRUE(r.U8(len));
                ASSERT_EQ(len, 3);
                ASSERT_TRUE(r.Skip(3));
            }
        }
        EXPECT_EQ(ld, c.ld);
        EXPECT_EQ(ad, c.ad);
        EXPECT_EQ(procSeen, c.proc);
        EXPECT_EQ(entries, c.entries);
    }
}

// Two records: a .cpp unit with a method and a free function, and a header unit after it.
std::vector<TUnitRecord> SampleRecords() {
    TUnitRecord a;
    a.SourcePath = "/src/Widget.cpp";
    a.FileName = "Widget.cpp";
    a.Start = kBase + 0x1000;
    a.End = kBase + 0x1100;
    a.Lines = {
        {kBase + 0x1000, 20}, {kBase + 0x1008, 21}, {kBase + 0x1040, 30}, {kBase + 0x1050, 12}};
    a.Procs = {{kBase + 0x1000, "ns::TWidget", "Paint"}, {kBase + 0x1040, "", "helper.part"}};
    TUnitRecord b;
    b.SourcePath = "/usr/include/vector";
    b.FileName = "stl_vector.h";
    b.Start = kBase + 0x1100;
    b.End = kBase + 0x1200;
    b.Lines = {{kBase + 0x1110, 900}};
    b.Procs = {{kBase + 0x1100, "vector<int, std::allocator<int> >", "push_back"}};
    return {a, b};
}

TEST(TDebugDataWriter, StoredDebugDataRoundTrip) {
    kvtest::InstallCodecs();
    const std::string data = WriteDebugData(SampleRecords(), kBase, "pw");
    TDebugDataSource s;
    s.Data = data;
    s.Version = kDebugDataVersion;
    s.Module = static_cast<uint32_t>(kBase);
    s.Password = "pw";
    static constexpr struct {
        const char* name;
        uint32_t offset;
        bool found;
        const char* unit;
        const char* cls;
        const char* proc;
        uint32_t line;
    } kCases[] = {
        {"procedure start", 0x000, true, "Widget.cpp", "ns::TWidget", "Paint", 20},
        {"second row", 0x010, true, "Widget.cpp", "ns::TWidget", "Paint", 21},
        {"dots in names become underscores", 0x044, true, "Widget.cpp", "", "helper_part", 30},
        {"line going back", 0x0FF, true, "Widget.cpp", "", "helper_part", 12},
        {"code before the first row has the first row's line", 0x105, true, "stl_vector.h",
         "vector<int, std::allocator<int> >", "push_back", 900},
        {"header unit row", 0x1FF, true, "stl_vector.h", "vector<int, std::allocator<int> >",
         "push_back", 900},
        {"after the code", 0x200, false, "", "", "", 0},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        TDebugDataHit hit;
        ASSERT_EQ(FindInDebugData(s, static_cast<uint32_t>(kBase) + 0x1000 + c.offset, hit),
                  c.found);
        if (!c.found) continue;
        EXPECT_EQ(hit.UnitName, c.unit);
        EXPECT_EQ(hit.ClassName, c.cls);
        EXPECT_EQ(hit.ProcedureName, c.proc);
        EXPECT_EQ(hit.Line, c.line);
    }
    s.Password = "other";
    s.PasswordValid = false;
    TDebugDataHit hit;
    ASSERT_TRUE(FindInDebugData(s, static_cast<uint32_t>(kBase) + 0x1010, hit));
    EXPECT_EQ(hit.UnitName.substr(0, 2), "?c");
    EXPECT_EQ(hit.Line, 21u);
}

TEST(TDebugDataWriter, LongNamesAreCutToOneField) {
    kvtest::InstallCodecs();
    std::vector<TUnitRecord> records = SampleRecords();
    records[0].Procs[0].ClassName = std::string(300, 'C');
    records[0].Procs[0].Name = std::string(200, 'p');
    const std::string data = WriteDebugData(records, kBase, "");
    TDebugDataSource s;
    s.Data = data;
    s.Version = kDebugDataVersion;
    s.Module = static_cast<uint32_t>(kBase);
    TDebugDataHit hit;
    ASSERT_TRUE(FindInDebugData(s, static_cast<uint32_t>(kBase) + 0x1004, hit));
    EXPECT_EQ(hit.ClassName, std::string(127, 'C'));
    EXPECT_EQ(hit.ProcedureName, std::string(127, 'p'));
}

TEST(TDebugDataWriter, MapFileRoundTrip) {
    const std::string map = WriteMapFile(SampleRecords(), kBase);
    TClMapScanner scanner(TClMapScanner::TText{map});
    EXPECT_EQ(scanner.LineNumberErrors(), 0);
    uint32_t distance = 0;
    static constexpr struct {
        const char* name;
        uint32_t offset;
        const char* module;
        const char* proc;
        uint32_t line;
        const char* source;
    } kCases[] = {
        {"method", 0x010, "Widget", "Widget.ns::TWidget.Paint", 21, "Widget.cpp"},
        {"free function", 0x0FF, "Widget", "Widget.helper_part", 12, "Widget.cpp"},
        {"template class without blanks", 0x1FF, "stl_vector",
         "stl_vector.vector<int,std::allocator<int>>.push_back", 900, "stl_vector.h"},
        {"header unit before its first row", 0x105, "stl_vector",
         "stl_vector.vector<int,std::allocator<int>>.push_back", 0, ""},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(scanner.ModuleNameFromAddr(c.offset), c.module);
        EXPECT_EQ(scanner.ProcNameFromAddr(c.offset, distance), c.proc);
        EXPECT_EQ(scanner.LineNumberFromAddr(c.offset, distance), c.line);
        EXPECT_EQ(scanner.SourceNameFromAddr(c.offset), c.source);
    }
}

TEST(TDebugDataWriter, PublicNames) {
    TUnitRecord r;
    r.FileName = "My File.cpp";
    EXPECT_EQ(MapPublicName(r, {0, "ns::Outer::Inner", "operator()"}),
              "MyFile.ns::Outer::Inner.operator{}");
    EXPECT_EQ(MapPublicName(r, {0, "", "free.fn"}), "MyFile.free_fn");
}

TEST(TDebugDataWriter, TrailerLayout) {
    const std::string t = BuildCLDataTrailer(kDebugDataVersion, 45000.5, "OPT", "DEBUG");
    const std::string_view v(t);
    uint32_t magic = 0, length = 0, count = 0;
    uint16_t version = 0;
    ASSERT_TRUE(TByteReader::U32At(v, v.size() - 4, magic));
    ASSERT_TRUE(TByteReader::U32At(v, v.size() - 8, length));
    EXPECT_EQ(magic, 0x100FAB10u);
    EXPECT_EQ(length, v.size() - 8);
    TByteReader::U16At(v, 0, version);
    EXPECT_EQ(version, 6104);
    double date = 0;
    std::memcpy(&date, t.data() + 2, 8);
    EXPECT_EQ(date, 45000.5);
    EXPECT_EQ(t.substr(10, 3), "OPT");
    TByteReader::U32At(v, 13, count);
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(t.substr(17, 5), "DEBUG");
    EXPECT_EQ(PosixTimeToDateTime(0), 25569.0);
}

} // namespace
