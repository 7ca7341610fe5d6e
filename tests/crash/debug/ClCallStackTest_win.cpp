// Call stacks and address lookups of this test program's own code, through its own CLDATA
// block and its .map file (both written by the build's post-link step).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "../support/DebugFixtures.h"
#include "TestFiles.h"
#include "crash/debug/ClCallStack.h"
#include "crash/debug/ClDebug.h"
#include "crash/debug/ClDebugModules.h"

namespace {

using namespace kv::crash;

uint32_t Address(const void* p) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p));
}

uint32_t OwnModule() {
    return Address(GetModuleHandleW(nullptr));
}

// The registry for the lookups of one test; freed again when this test made it.
class Registry {
public:
    Registry() : made_(ModulesList() == nullptr) {
        kvtest::InstallCodecs();
        CreateModulesList();
    }
    ~Registry() {
        if (made_) FreeModulesList();
    }

private:
    bool made_;
};

volatile int g_sink;
std::unique_ptr<TCrashStackList> g_stack;
int g_lineInC, g_lineInB, g_lineInA;

// Takes the stack of the running thread from here up to the thread's stack base.
__attribute__((noinline)) void CaptureStack() {
    uint32_t sp, base;
    asm volatile("movl %%esp, %0" : "=r"(sp));
    asm volatile("movl %%fs:4, %0" : "=r"(base)); // the thread block's stack base
    g_stack = GetCallStackByAddresses(0, sp, base - 4, GetCurrentThreadId(), false, false, -1, 0,
                                      GetShownDebugDetails(TCallStackOptions{csoShowDLLs}));
    g_sink = 4;
}

__attribute__((noinline)) void StackC() {
    g_lineInC = __LINE__ + 1;
    CaptureStack();
    g_sink = 3;
}

constexpr uint32_t kStackBLine = __LINE__ + 1; // the line naming the function
__attribute__((noinline)) void StackB() {
    g_lineInB = __LINE__ + 1;
    StackC();
    g_sink = 2;
}

__attribute__((noinline)) void StackA() {
    g_lineInA = __LINE__ + 1;
    StackB();
    g_sink = 1;
}

TEST(ClCallStackWin, NamesUnitProcedureAndLineOfEachFrame) {
    Registry registry;
    StackA();
    ASSERT_TRUE(g_stack);
    // The frames of c, b and a, most recent first, each at the line of its call. (The scan
    // starts at the capture's own stack pointer, above the return address of its last call.)
    const struct {
        const char* proc;
        int line;
    } expected[] = {{"StackC", g_lineInC}, {"StackB", g_lineInB}, {"StackA", g_lineInA}};
    size_t next = 0;
    std::string seen;
    for (int i = 0; i < g_stack->Count() && next < std::size(expected); ++i) {
        const TCrashDebugInfo& e = *g_stack->GetItem(i);
        if (e.DebugDetail == ddNone) continue;
        seen += e.UnitName + ":" + e.ProcedureName + ":" + std::to_string(e.Line) + " ";
        if (e.ProcedureName != expected[next].proc) continue;
        EXPECT_EQ(e.DebugDetail, ddSourceCode);
        EXPECT_EQ(e.UnitName, "ClCallStackTest_win.cpp");
        EXPECT_EQ(e.ClassName, "");
        EXPECT_EQ(e.Line, static_cast<uint32_t>(expected[next].line)) << e.ProcedureName;
        EXPECT_GT(e.ProcOffsetLine, 0u);
        ASSERT_NE(e.ModuleInfo, nullptr);
        EXPECT_EQ(e.ModuleInfo->Handle, OwnModule());
        EXPECT_EQ(e.ThreadID, GetCurrentThreadId());
        ++next;
    }
    EXPECT_EQ(next, std::size(expected)) << seen;
    g_stack.reset();
}

TEST(ClCallStackWin, OwnModuleCarriesItsDebugData) {
    Registry registry;
    EXPECT_TRUE(HasCLDataTrailer(OwnModule()));
    const PCrashModuleInfo info = ModuleInfoByAddr(Address(reinterpret_cast<void*>(&StackB)));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->ExtraInformation.CrashVersion, CrashLogCurrentVersion);
    ASSERT_NE(info->ExtraInformation.DebugInformation, nullptr);
    TCrashDebugInfo d;
    GetDebugInfoByAddr(Address(reinterpret_cast<void*>(&StackB)), 1, d, false, false);
    EXPECT_EQ(d.DebugDetail, ddSourceCode);
    EXPECT_EQ(d.ProcedureName, "StackB");
    EXPECT_EQ(d.Line, kStackBLine);
    EXPECT_EQ(d.ProcOffsetLine, 0u);
}

TEST(ClCallStackWin, MapFileBesideTheProgramResolvesItsFunctions) {
    TClDebugInfoMap source(OwnModule());
    ASSERT_TRUE(source.ValidData());
    const struct {
        const void* fn;
        const char* proc;
    } cases[] = {{reinterpret_cast<void*>(&StackA), "StackA"},
                 {reinterpret_cast<void*>(&StackC), "StackC"},
                 {reinterpret_cast<void*>(&kv::crash::WalkStack), "WalkStack"},
                 {reinterpret_cast<void*>(&kv::crash::ReadModuleHeaders), "ReadModuleHeaders"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.proc);
        TClLocationInfo loc;
        ASSERT_TRUE(source.GetLocationInfo(Address(c.fn), loc));
        TCrashDebugInfo info;
        ASSERT_TRUE(LocationInfoToDebugInfo(loc, info));
        EXPECT_EQ(info.ProcedureName, c.proc);
        EXPECT_GT(info.Line, 0u);
    }
    TClLocationInfo loc;
    ASSERT_TRUE(source.GetLocationInfo(Address(reinterpret_cast<void*>(&StackB)), loc));
    EXPECT_EQ(loc.UnitName, "ClCallStackTest_win");
    EXPECT_EQ(loc.SourceName, "ClCallStackTest_win.cpp");
    EXPECT_EQ(loc.ProcedureName, "ClCallStackTest_win.StackB");
    EXPECT_EQ(loc.LineNumber, kStackBLine);
}

#ifdef KOLVANE_MODULE_FIXTURE
TEST(ClCallStackWin, ModuleWithoutBlockIsResolvedThroughItsMapFile) {
    // A copy of the fixture DLL (which carries no CLDATA block) with a .map file beside it.
    const kvtest::TempFile dll("MapFixture.dll");
    const kvtest::TempFile map("MapFixture.map");
    {
        std::ifstream in(KOLVANE_MODULE_FIXTURE, std::ios::binary);
        dll.Write(std::string(std::istreambuf_iterator<char>(in), {}));
    }
    HMODULE h = LoadLibraryW(reinterpret_cast<const wchar_t*>(dll.Path().c_str()));
    ASSERT_NE(h, nullptr);
    const uint32_t fn = Address(reinterpret_cast<void*>(GetProcAddress(h, "FixtureValue")));
    const uint32_t offset = fn - Address(h) - 0x1000;
    char text[600];
    std::snprintf(
        text, sizeof text,
        " Start         Length     Name                   Class\r\n"
        " 0001:00000000 00001000H .text                   CODE\r\n\r\n"
        "Detailed map of segments\r\n\r\n"
        " 0001:00000000 00001000 C=CODE     S=.text    G=(none)   M=Fixture  ACBP=A9\r\n\r\n"
        "  Address             Publics by Value\r\n\r\n"
        " 0001:%08X       Fixture.FixtureValue\r\n\r\n"
        "Line numbers for Fixture(Fixture.cpp) segment .text\r\n\r\n"
        "     3 0001:%08X\r\n",
        offset, offset);
    map.Write(text);
    {
        Registry registry;
        TCrashDebugInfo info;
        GetDebugInfoByAddr(fn + 1, 9, info, false, false);
        EXPECT_EQ(info.DebugDetail, ddSourceCode);
        EXPECT_EQ(info.UnitName, "Fixture.cpp");
        EXPECT_EQ(info.ClassName, "");
        EXPECT_EQ(info.ProcedureName, "FixtureValue");
        EXPECT_EQ(info.Line, 3u);
        ASSERT_NE(info.ModuleInfo, nullptr);
        EXPECT_NE(info.ModuleInfo->OtherDebugData, nullptr);
    }
    FreeLibrary(h);
}
#endif

TEST(ClCallStackWin, ProcessMemoryReadsOnlyReadablePages) {
    const TMemoryReader& m = ProcessMemory();
    uint8_t b[4];
    EXPECT_TRUE(m.Read(Address(reinterpret_cast<void*>(&StackA)), b, 4));
    EXPECT_FALSE(m.IsValid(0, 1));
    EXPECT_FALSE(m.IsValid(0xFFFFFFF0, 0x20));
    EXPECT_TRUE(m.IsValid(0, 0));
    // Wine builds its msvcrt with frame pointers: malloc, behind our import thunk, begins with
    // push ebp; mov ebp, esp.
    EXPECT_TRUE(IsRuntimeWithFrames());
}

} // namespace
