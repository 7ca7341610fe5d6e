#include <gtest/gtest.h>

#include <tuple>

#include "crash/debug/ClDebug.h"
#include "crash/debug/ClDebugInfo.h"
#include "crash/debug/ClDebugModules.h"

namespace {

using namespace kv::crash;

TEST(ClDebugInfo, ExportNames) {
    static constexpr struct {
        const char* name;
        const char* exported;
        bool parsed;
        TCrashDebugDetail detail;
        const char* unit;
        const char* cls;
        const char* proc;
    } kCases[] = {
        {"mangled method", "@Unit1@TFoo@Bar$qqrv", true, ddUnitAndProcedure, "Unit1.pas", "TFoo",
         "Bar"},
        {"mangled procedure", "@Unit1@Run$qqrv", true, ddUnitAndProcedure, "Unit1.pas", "", "Run"},
        {"doubled at sign", "@Unit1@TFoo@@Create$qqrv", true, ddUnitAndProcedure, "Unit1.pas",
         "TFoo", "_Create"},
        {"trailing at sign", "@Unit1@Init@$qqrv", true, ddUnitAndProcedure, "Unit1.pas", "",
         "Init"},
        {"mangled without parameters", "@Unit1@Run", false, ddNone, "", "", ""},
        {"runtime helper", "@$xp$TFoo", false, ddNone, "", "", ""},
        {"dotted name", "Unit1.TFoo.Bar@8", true, ddUnitAndProcedure, "Unit1.pas", "TFoo", "Bar"},
        {"too many dots", "a.b.c.d", false, ddNone, "", "", ""},
        {"plain export", "ExceptionManager", true, ddProcedure, "", "", "ExceptionManager"},
        {"decorated export kept whole", "_Foo@8", true, ddProcedure, "", "", "_Foo@8"},
        {"other compiler's mangling", "?Foo@@YAXXZ", false, ddNone, "", "", ""},
        {"empty", "", false, ddNone, "", "", ""},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        TCrashDebugInfo info;
        EXPECT_EQ(ExportNameToDebugInfo(c.exported, info), c.parsed);
        EXPECT_EQ(info.DebugDetail, c.detail);
        EXPECT_EQ(info.UnitName, c.unit);
        EXPECT_EQ(info.ClassName, c.cls);
        EXPECT_EQ(info.ProcedureName, c.proc);
    }
}

TEST(ClDebugInfo, Prologues) {
    TRegionMemory m;
    m.Add(0x1000, "\x55\x8B\xEC");
    m.Add(0x2000, "\x55\x89\xE5"); // the same instruction as our compiler encodes it
    m.Add(0x3000, "\x53\x56");
    m.Add(0x4000, "\x55\x8B"); // cut short
    EXPECT_TRUE(IsFramePrologue(0x1000, m));
    EXPECT_TRUE(IsFramePrologue(0x2000, m));
    EXPECT_FALSE(IsFramePrologue(0x3000, m));
    EXPECT_FALSE(IsFramePrologue(0x4000, m));
    EXPECT_TRUE(IsPushEbxPrologue(0x3000, m));
    EXPECT_FALSE(IsPushEbxPrologue(0x1000, m));
    EXPECT_FALSE(IsPushEbxPrologue(0x5000, m));
}

TEST(ClDebugInfo, ProcOffsetLine) {
    TRegionMemory m;
    m.Add(0x1000, "\x55\x8B\xEC");
    m.Add(0x2000, "\x53");
    m.Add(0x3000, "\x90");
    static constexpr struct {
        const char* name;
        const char* proc;
        uint32_t start;
        int64_t firstLine;
        uint32_t line;
        uint32_t offset;
    } kCases[] = {
        {"frame prologue", "Run", 0x1000, 10, 14, 4},
        {"push ebx prologue", "Run", 0x2000, 10, 14, 4},
        {"no prologue counts from the line before", "Run", 0x3000, 10, 14, 5},
        {"initialization never shifts", "Initialization", 0x3000, 10, 14, 4},
        {"finalization always shifts", "Finalization", 0x1000, 10, 14, 5},
        {"line before the first line clamps to 0", "Run", 0x1000, 10, 7, 0},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        TDebugDataHit hit;
        hit.UnitName = "Unit.cpp";
        hit.ProcedureName = c.proc;
        hit.Line = c.line;
        hit.HasProcStart = true;
        hit.ProcFirstLine = c.firstLine;
        hit.ProcStartAddr = c.start;
        TCrashDebugInfo info;
        DebugDataHitToDebugInfo(hit, 0x1234, info, m);
        EXPECT_EQ(info.DebugDetail, ddSourceCode);
        EXPECT_EQ(info.Addr, 0x1234u);
        EXPECT_EQ(info.Line, c.line);
        EXPECT_EQ(info.ProcOffsetLine, c.offset);
    }
    TDebugDataHit noProc;
    noProc.Line = 9;
    TCrashDebugInfo info;
    DebugDataHitToDebugInfo(noProc, 1, info, m);
    EXPECT_EQ(info.ProcOffsetLine, 0u);
}

TEST(ClDebugInfo, HiddenUnits) {
    SetHiddenUnits({"ClDebug.cpp", "CrashLogMain.cpp"});
    TDebugDataHit hit;
    hit.UnitName = "cldebug.CPP";
    hit.ClassName = "TClMapScanner";
    hit.ProcedureName = "Scan";
    hit.Line = 40;
    TCrashDebugInfo info;
    DebugDataHitToDebugInfo(hit, 1, info);
    EXPECT_EQ(info.DebugDetail, ddModule);
    EXPECT_EQ(info.UnitName, "");
    EXPECT_EQ(info.ProcedureName, "");
    EXPECT_EQ(info.Line, 0u);
    ShowCrashLogUnits = true;
    DebugDataHitToDebugInfo(hit, 1, info);
    ShowCrashLogUnits = false;
    EXPECT_EQ(info.DebugDetail, ddSourceCode);
    EXPECT_EQ(info.UnitName, "cldebug.CPP");
    EXPECT_EQ(info.Line, 40u);
    hit.UnitName = "Other.cpp";
    DebugDataHitToDebugInfo(hit, 1, info);
    EXPECT_EQ(info.DebugDetail, ddSourceCode);
    SetHiddenUnits({});
}

TEST(ClDebugInfo, ExternalLocations) {
    static constexpr struct {
        const char* name;
        const char* unit;
        const char* source;
        const char* proc;
        uint32_t line;
        bool ok;
        TCrashDebugDetail detail;
        const char* infoUnit;
        const char* cls;
        const char* infoProc;
    } kCases[] = {
        {"unit, class, procedure", "Forms", "C:\\src\\Forms.pas", "Forms.TForm.Show", 12, true,
         ddSourceCode, "Forms.pas", "TForm", "Show"},
        {"unit and procedure", "Forms", "Forms.pas", "forms.Run", 3, true, ddSourceCode,
         "Forms.pas", "", "Run"},
        {"class and procedure", "Forms", "Forms.pas", "TForm.Show", 0, true, ddUnitAndProcedure,
         "Forms.pas", "TForm", "Show"},
        {"unit name without source", "C:\\obj\\Forms.obj", "", "Halt", 0, true, ddUnitAndProcedure,
         "Forms.obj", "", "Halt"},
        {"more parts go to the procedure", "U", "U.pas", "U.C.a.b", 1, true, ddSourceCode, "U.pas",
         "C", "a.b"},
        {"at sign replaced", "U", "U.pas", "@Init", 1, true, ddSourceCode, "U.pas", "", "_Init"},
        {"no procedure", "U", "U.pas", "", 5, false, ddNone, "", "", ""},
        {"double-byte names", "U", "C:\\\x95\x5C\\\x95\x5C.pas", "Run", 1, true, ddSourceCode,
         "\x95\x5C.pas", "", "Run"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        TClLocationInfo loc;
        loc.Address = 0x401234;
        loc.UnitName = c.unit;
        loc.SourceName = c.source;
        loc.ProcedureName = c.proc;
        loc.LineNumber = c.line;
        TCrashDebugInfo info;
        EXPECT_EQ(LocationInfoToDebugInfo(loc, info), c.ok);
        EXPECT_EQ(info.DebugDetail, c.detail);
        EXPECT_EQ(info.UnitName, c.infoUnit);
        EXPECT_EQ(info.ClassName, c.cls);
        EXPECT_EQ(info.ProcedureName, c.infoProc);
        if (c.ok) {
            EXPECT_EQ(info.Addr, 0x401234u);
        }
    }
}

TEST(ClDebugInfo, ShortStringsEndBetweenCharacters) {
    std::string field;
    SetShortString(field, std::string(254, 'a') + "\x95\x5C"); // 表 across the limit
    EXPECT_EQ(field, std::string(254, 'a'));
    SetShortString(field, "a\x95\x5C", 3);
    EXPECT_EQ(field, "a\x95\x5C");
}

TEST(ClDebugInfo, FindExportByAddr) {
    TCrashModuleInfo module;
    module.FunctionsList = std::make_unique<TCrashFunctionsList>();
    for (const auto& [name, addr, size] : {std::tuple{"A", 0x1000, 0x10},
                                           {"B", 0x1010, 0x20},
                                           {"C", 0x2000, 0 /* measured on demand */},
                                           {"D", 0x3000, 1}})
        module.FunctionsList->Add(std::make_unique<TCrashFunctionInfo>(
            TCrashFunctionInfo{name, static_cast<uintptr_t>(addr), static_cast<uint32_t>(size)}));
    static int measured;
    measured = 0;
    auto measure = [](uintptr_t) -> uint32_t {
        ++measured;
        return 0x40;
    };
    static constexpr struct {
        const char* name;
        uint32_t address;
        bool found;
        int index;
    } kCases[] = {
        {"inside the first", 0x1008, true, 0},
        {"end of an export touches the next: the first wins", 0x1010, true, 0},
        {"inside the second", 0x1020, true, 1},
        {"between exports", 0x1500, false, 2},
        {"inside a measured export", 0x2030, true, 2},
        {"below every export", 0x0500, false, 0},
        {"above every export", 0x9000, false, 4},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        module.FunctionsList->Lock();
        const TExportSearch r = FindExportByAddr(c.address, module, measure);
        module.FunctionsList->Unlock();
        EXPECT_EQ(r.Found, c.found);
        EXPECT_EQ(r.Index, c.index);
    }
    EXPECT_EQ(module.FunctionsList->GetItem(2)->Size, 0x40u);
    EXPECT_EQ(measured, 1);
}

TEST(ClDebugInfo, WithoutModuleNothingIsFound) {
    // An address in no module (the first page is never mapped): the lookup ends at ddNone, and
    // the error line is still reported as source code.
    TCrashDebugInfo info;
    info.UnitName = "stale";
    GetDebugInfoByAddr(0x10, 7, info, true, false);
    EXPECT_EQ(info.DebugDetail, ddNone);
    EXPECT_EQ(info.Addr, 0x10u);
    EXPECT_EQ(info.ThreadID, 7u);
    EXPECT_TRUE(info.RunningThread);
    EXPECT_EQ(info.UnitName, "");
    GetDebugInfoByAddr(0x10, 7, info, false, true);
    EXPECT_EQ(info.DebugDetail, ddSourceCode);
    EXPECT_TRUE(info.ErrorLine);
}

} // namespace
