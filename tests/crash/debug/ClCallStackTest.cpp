#include <gtest/gtest.h>

#include <map>

#include "../support/DebugFixtures.h"
#include "crash/debug/ClCallStack.h"
#include "crash/debug/ClDebugModules.h"

namespace {

using namespace kv::crash;
using kvtest::Bytes;

constexpr uint32_t kCode = 0x10000;  // code with one call of each form
constexpr uint32_t kStack = 0x80000; // the stack being scanned
constexpr uint32_t kQuiet = 0x20000; // code whose frames resolve only to their module

// Code bytes: nops with call instructions at given offsets.
std::string CodeWith(const std::vector<std::pair<uint32_t, std::string>>& calls) {
    std::string code(0x1000, '\x90');
    for (const auto& [offset, bytes] : calls) code.replace(offset, bytes.size(), bytes);
    return code;
}

std::string Rel32Call(uint32_t at, uint32_t target) {
    return Bytes().U8(0xE8).U32(target - (at + 5)).Str();
}

// Every call form once, plus the forms that must add nothing. Pairs of (call site, bytes).
std::vector<std::pair<uint32_t, std::string>> AllForms() {
    return {
        {0x10, Rel32Call(kCode + 0x10, kCode + 0x400)},             // 1 direct call
        {0x20, Rel32Call(kCode + 0x20, 0x7FFF0000)},                // 1 with an unreadable target
        {0x30, "\xFF\xD0"},                                         // 2 call eax
        {0x40, "\xFF\x13"},                                         // 3 call [ebx]
        {0x50, std::string("\x8B\x45\x08\xFF\x55\x0C", 6)},         // 4 mov; call [ebp+0C]
        {0x60, "\xFF\x55\x0C"},                                     // 4 without the mov
        {0x70, Bytes().U8(0xFF).U8(0x90).U32(0x10).Str()},          // 5 call [eax+disp32]
        {0x80, "\xFF\x14\x24"},                                     // 6 call [esp]
        {0x90, "\xFF\x54\x24\x08"},                                 // 7 call [esp+08]
        {0xA0, Bytes().U8(0xFF).U8(0x94).U8(0x24).U32(0x20).Str()}, // 8 call [esp+disp32]
        {0xB0, Bytes().U8(0xFF).U8(0x15).U32(kCode + 0x800).Str()}, // 9 call [ptr]
        {0xC0, Bytes().U8(0xFF).U8(0x15).U32(0x7FFF0000).Str()},    // 9 unreadable pointer
        {0xD0, Rel32Call(kCode + 0xD0, kCode + 0x600)},             // 1 to an import thunk
        {0x400, "\x55\x89\xE5"},
        {0x600, Bytes().U8(0xFF).U8(0x25).U32(kCode + 0x900).Str()},
        {0x700, "\x55\x89\xE5"},
        {0x900, Bytes().U32(kCode + 0x700).Str()},
    };
}

// Return addresses of the call sites above (the byte after each call).
constexpr uint32_t kReturn[] = {kCode + 0x15, kCode + 0x25, kCode + 0x32, kCode + 0x42,
                                kCode + 0x56, kCode + 0x63, kCode + 0x76, kCode + 0x83,
                                kCode + 0x94, kCode + 0xA7, kCode + 0xB6, kCode + 0xC6};

class FakeEnvironment final : public TStackWalkEnvironment {
public:
    TRegionMemory memory;
    bool ide = false;
    std::map<uint32_t, std::pair<std::string, uint32_t>> procs; // address -> (name, offset line)
    TCrashModuleInfo codeModule, quietModule;

    FakeEnvironment() {
        codeModule.Handle = kCode;
        quietModule.Handle = kQuiet;
    }
    const TMemoryReader& Memory() const override { return memory; }
    void GetDebugInfoByAddr(uint32_t address, uint32_t threadId, TCrashDebugInfo& info,
                            bool running, bool errorLine) const override {
        info = TCrashDebugInfo();
        info.Addr = address;
        info.ThreadID = threadId;
        info.RunningThread = running;
        info.ErrorLine = errorLine;
        if (address >= kCode && address < kCode + 0x1000) {
            info.ModuleInfo = const_cast<TCrashModuleInfo*>(&codeModule);
            info.DebugDetail = ddSourceCode;
            info.UnitName = "Code.cpp";
            auto it = procs.find(address);
            info.ProcedureName =
                it != procs.end() ? it->second.first : "P" + std::to_string(address);
            info.ProcOffsetLine = it != procs.end() ? it->second.second : 1;
            info.Line = 10 + info.ProcOffsetLine;
        } else if (address >= kQuiet && address < kQuiet + 0x1000) {
            info.ModuleInfo = const_cast<TCrashModuleInfo*>(&quietModule);
            info.DebugDetail = ddModule;
        }
        if (errorLine) info.DebugDetail = ddSourceCode;
    }
    void ModuleOfAddr(uint32_t address, uint32_t& handle, std::string& fileName) const override {
        handle = address & 0xFFFF0000;
        fileName = "m" + std::to_string(handle) + ".exe";
    }
    uint32_t ConvertAddress(uint32_t address) const override {
        return address == kCode + 0x600 ? kCode + 0x700 : address;
    }
    bool IntoIDE() const override { return ide; }
};

std::string StackOf(const std::vector<uint32_t>& words) {
    Bytes b;
    for (uint32_t w : words) b.U32(w);
    return b.Str();
}

const TCrashDebugDetails kAll = TCrashDebugDetails::FirstN(5);
const TCrashDebugDetails kShown = GetShownDebugDetails(TCallStackOptions{csoShowDLLs, csoShowBPLs});

std::vector<uint32_t> Visible(const TCrashStackList& list) {
    std::vector<uint32_t> out;
    for (int i = 0; i < list.Count(); ++i)
        if (list.GetItem(i)->DebugDetail != ddNone)
            out.push_back(static_cast<uint32_t>(list.GetItem(i)->Addr));
    return out;
}

TEST(ClCallStack, EveryCallForm) {
    FakeEnvironment env;
    env.memory.Add(kCode, CodeWith(AllForms()));
    std::vector<uint32_t> words(std::begin(kReturn), std::end(kReturn));
    words.insert(words.begin() + 1, 0x12345678); // a word that is no return address
    env.memory.Add(kStack, StackOf(words));
    const uint32_t top = kStack + 4 * static_cast<uint32_t>(words.size()) - 4;
    auto list =
        GetCallStackByAddresses(kCode + 0x3FF, kStack, top, 1, false, false, -1, 0, kShown, env);
    EXPECT_EQ(Visible(*list),
              (std::vector<uint32_t>{kCode + 0x3FF, kCode + 0x10, kCode + 0x30, kCode + 0x40,
                                     kCode + 0x53, kCode + 0x70, kCode + 0x80, kCode + 0x90,
                                     kCode + 0xA0, kCode + 0xB0}));
    EXPECT_TRUE(list->GetItem(0)->ErrorLine);
    EXPECT_FALSE(list->GetItem(1)->ErrorLine);
}

TEST(ClCallStack, CallTargetsThroughImportThunks) {
    FakeEnvironment env;
    env.memory.Add(kCode, CodeWith(AllForms()));
    env.memory.Add(kStack, StackOf({kCode + 0xD5, kCode + 0x15}));
    auto list = GetCallStackByAddresses(0, kStack, kStack + 4, 1, false, true, -1, 0, kShown, env);
    // The thunk's final target, then the call site; the direct target of the other call.
    EXPECT_EQ(Visible(*list),
              (std::vector<uint32_t>{kCode + 0x700, kCode + 0xD0, kCode + 0x400, kCode + 0x10}));
}

TEST(ClCallStack, LevelsAndShownDetails) {
    FakeEnvironment env;
    env.memory.Add(kCode, CodeWith(AllForms()));
    env.memory.Add(kQuiet, CodeWith({{0x10, "\xFF\xD0"}}));
    // Frames: the quiet module's frame resolves to ddModule only and is not shown.
    env.memory.Add(kStack, StackOf({kReturn[2], kQuiet + 0x12, kReturn[3], kReturn[4], kReturn[6],
                                    kReturn[7], kReturn[8]}));
    auto list = GetCallStackByAddresses(0, kStack, kStack + 24, 1, false, false, 2, 3, kShown, env);
    EXPECT_EQ(Visible(*list), (std::vector<uint32_t>{kCode + 0x53, kCode + 0x70, kCode + 0x80}));
    // The error line is kept whatever its detail; with every detail shown the quiet frame is too.
    list = GetCallStackByAddresses(kQuiet + 0x20, kStack, kStack + 8, 1, false, false, -1, 0,
                                   TCrashDebugDetails{ddSourceCode}, env);
    EXPECT_EQ(Visible(*list), (std::vector<uint32_t>{kQuiet + 0x20, kCode + 0x30, kCode + 0x40}));
    list = GetCallStackByAddresses(0, kStack, kStack + 8, 1, false, false, -1, 0, kAll, env);
    EXPECT_EQ(Visible(*list), (std::vector<uint32_t>{kCode + 0x30, kQuiet + 0x10, kCode + 0x40}));
}

TEST(ClCallStack, ShownDetailsFromOptions) {
    EXPECT_EQ(GetShownDebugDetails(TCallStackOptions{}), TCrashDebugDetails{ddSourceCode});
    EXPECT_EQ(GetShownDebugDetails(TCallStackOptions{csoShowDLLs, csoShowWindowsThreads}),
              (TCrashDebugDetails{ddSourceCode, ddProcedure}));
    EXPECT_EQ(GetShownDebugDetails(TCallStackOptions{csoShowBPLs}),
              (TCrashDebugDetails{ddSourceCode, ddUnitAndProcedure}));
    const TCrashModuleOptions defaults("prog.exe");
    EXPECT_EQ(GetShownDebugDetails(defaults),
              (TCrashDebugDetails{ddSourceCode, ddProcedure, ddUnitAndProcedure}));
}

TEST(ClCallStack, StaleCopiesOfReturnAddressesAreHidden) {
    FakeEnvironment env;
    env.memory.Add(kCode, CodeWith(AllForms()));
    env.memory.Add(kStack, StackOf({kReturn[2], kReturn[3], kReturn[2], kReturn[4], kReturn[5],
                                    kReturn[6], kReturn[7], kReturn[4]}));
    auto list =
        GetCallStackByAddresses(0, kStack, kStack + 28, 1, false, false, -1, 0, kShown, env);
    ASSERT_EQ(list->Count(), 7);
    // Found again two frames deeper: hidden; found again three frames deeper: kept.
    EXPECT_EQ(Visible(*list), (std::vector<uint32_t>{kCode + 0x40, kCode + 0x30, kCode + 0x53,
                                                     kCode + 0x70, kCode + 0x80, kCode + 0x53}));
}

TEST(ClCallStack, FirstLineFramesHideLeftoversOfTheirThreadOnly) {
    FakeEnvironment env;
    env.memory.Add(kCode, CodeWith(AllForms()));
    env.procs[kCode + 0x30] = {"Run", 3};
    env.procs[kCode + 0x40] = {"Other", 1};
    env.procs[kCode + 0x53] = {"Run", 0}; // on the first line of Run
    env.memory.Add(kStack, StackOf({kReturn[2], kReturn[3], kReturn[4]}));
    auto list = GetCallStackByAddresses(0, kStack, kStack + 8, 1, false, false, -1, 0, kShown, env);
    EXPECT_EQ(Visible(*list), (std::vector<uint32_t>{kCode + 0x30, kCode + 0x53}));

    // A second thread's walk into the same list neither reaches back into the first thread's
    // frames nor loses its own live frames to them.
    TCrashStackList both;
    env.memory = TRegionMemory();
    env.memory.Add(kCode, CodeWith(AllForms()));
    env.memory.Add(kStack, StackOf({kReturn[2]}));
    env.memory.Add(kStack + 0x100, StackOf({kReturn[3], kReturn[4]}));
    WalkStack(both, 0, kStack, kStack, 1, false, true, false, -1, 0, kShown, env);
    WalkStack(both, 0, kStack + 0x100, kStack + 0x104, 2, true, true, false, -1, 0, kShown, env);
    EXPECT_EQ(Visible(both), (std::vector<uint32_t>{kCode + 0x30, kCode + 0x40, kCode + 0x53}));
}

TEST(ClCallStack, InsideTheIdeHandlerFramesAreRemoved) {
    FakeEnvironment env;
    env.ide = true;
    env.memory.Add(kCode, CodeWith(AllForms()));
    env.procs[kCode + 0x40] = {"TApplication.HandleException", 2};
    env.memory.Add(kStack, StackOf({kReturn[2], kReturn[3], kReturn[4]}));
    auto list = GetCallStackByAddresses(0, kStack, kStack + 8, 1, false, false, -1, 0, kShown, env);
    EXPECT_EQ(list->Count(), 2);
    EXPECT_EQ(Visible(*list), (std::vector<uint32_t>{kCode + 0x30, kCode + 0x53}));
}

TEST(ClCallStack, WithoutLookupFramesCarryTheirModule) {
    FakeEnvironment env;
    env.memory.Add(kCode, CodeWith(AllForms()));
    env.memory.Add(kStack, StackOf({kReturn[2]}));
    TCrashStackList list;
    WalkStack(list, 0, kStack, kStack, 5, true, false, false, -1, 0, kAll, env);
    ASSERT_EQ(list.Count(), 1);
    const TCrashDebugInfo& e = *list.GetItem(0);
    EXPECT_EQ(e.DebugDetail, ddModule);
    EXPECT_EQ(e.ThreadID, 5u);
    EXPECT_TRUE(e.RunningThread);
    ASSERT_NE(e.ModuleInfo, nullptr);
    EXPECT_EQ(e.ModuleInfo->Handle, kCode);
    EXPECT_EQ(e.ModuleInfo->Name, "m65536.exe");
}

TEST(ClCallStack, Limits) {
    FakeEnvironment env;
    env.memory.Add(kCode, CodeWith(AllForms()));
    // At most 1,025 entries.
    env.memory.Add(kStack, StackOf(std::vector<uint32_t>(2000, kReturn[2])));
    auto list =
        GetCallStackByAddresses(0, kStack, kStack + 4 * 1999, 1, false, false, -1, 0, kShown, env);
    EXPECT_EQ(list->Count(), kMaxStackListEntries);
    // At most 102,400 bytes: the word at exactly that distance is the last one scanned.
    std::vector<uint32_t> words(0x6800, 0);
    words[0x19000 / 4] = kReturn[3];
    words[0x19004 / 4] = kReturn[4];
    env.memory = TRegionMemory();
    env.memory.Add(kCode, CodeWith(AllForms()));
    env.memory.Add(kStack, StackOf(words));
    list =
        GetCallStackByAddresses(0, kStack, kStack + 0x19FFC, 1, false, false, -1, 0, kShown, env);
    EXPECT_EQ(Visible(*list), (std::vector<uint32_t>{kCode + 0x40}));
    // An inverted range adds only the first address.
    list =
        GetCallStackByAddresses(kCode + 1, kStack + 8, kStack, 1, false, false, -1, 0, kShown, env);
    EXPECT_EQ(Visible(*list), (std::vector<uint32_t>{kCode + 1}));
}

TEST(ClCallStack, UnreadableStackWordsAreSkipped) {
    FakeEnvironment env;
    env.memory.Add(kCode, CodeWith(AllForms()));
    env.memory.Add(kStack, StackOf({kReturn[2]}));
    env.memory.Add(kStack + 0x1000, StackOf({kReturn[3]})); // a hole between the two
    auto list =
        GetCallStackByAddresses(0, kStack, kStack + 0x1000, 1, false, false, -1, 0, kShown, env);
    EXPECT_EQ(Visible(*list), (std::vector<uint32_t>{kCode + 0x30, kCode + 0x40}));
}

} // namespace
