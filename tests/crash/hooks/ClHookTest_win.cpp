#include <gtest/gtest.h>

#include "../support/CodeListing.h"
#include <cstring>
#include <memory>
#include "crash/hooks/ClHook.h"

namespace {

// Wherever the tables give a length, it is objdump's length.
TEST(GetAsmSize, AgreesWithObjdumpOverOurCode) {
    const auto listing = kvtest::ReadCodeListing();
    ASSERT_GT(listing.size(), 10000u);
    size_t checked = 0;
    for (const auto& insn : listing) {
        auto bytes = insn.bytes;
        bytes.resize(bytes.size() + 32, 0);
        uint8_t length = 0;
        if (!kv::crash::GetAsmSize(bytes.data(), length)) continue;
        ++checked;
        ASSERT_EQ(length, insn.bytes.size()) << insn.line;
    }
    EXPECT_GT(checked, listing.size() * 9 / 10);
}

} // namespace

#include <windows.h>

#include <string>

#include "base/Text.h"

// A fastcall routine that starts with a short conditional jump (jecxz) whose target lies beyond
// the bytes a detour moves: x == 0 gives 2, anything else 1.
__asm__(".text\n"
        ".globl kvtest_short_jump\n"
        "kvtest_short_jump:\n"
        "  jecxz 1f\n"
        "  movl $1, %eax\n"
        "  ret\n"
        "1:\n"
        "  movl $2, %eax\n"
        "  ret\n");
extern "C" int __attribute__((fastcall)) ShortJumpFn(int x) __asm__("kvtest_short_jump");

namespace {

using ShortJumpProc = int(__attribute__((fastcall)) *)(int);
ShortJumpProc g_shortJumpOriginal = nullptr;
int g_shortJumpCalls = 0;

int __attribute__((fastcall)) ShortJumpHook(int x) {
    ++g_shortJumpCalls;
    return 10 * g_shortJumpOriginal(x);
}
int __attribute__((fastcall)) OtherHook(int) {
    return -1;
}

// Calls through a pointer the compiler cannot see through, so every call reaches the code.
int CallShortJump(int x) {
    ShortJumpProc volatile fn = &ShortJumpFn;
    return fn(x);
}

TEST(HookProcedureEx, DetoursAProcedureThatStartsWithAShortJump) {
    ASSERT_EQ(CallShortJump(0), 2);
    ASSERT_EQ(CallShortJump(7), 1);
    auto* proc = reinterpret_cast<uint8_t*>(&ShortJumpFn);
    void* tramp =
        kv::crash::HookProcedureEx(proc, reinterpret_cast<void*>(&ShortJumpHook), "ShortJumpFn");
    ASSERT_NE(tramp, nullptr);
    g_shortJumpOriginal = reinterpret_cast<ShortJumpProc>(tramp);
    EXPECT_EQ(CallShortJump(0), 20);
    EXPECT_EQ(CallShortJump(7), 10);
    EXPECT_EQ(g_shortJumpCalls, 2);

    // The copied jecxz (2 bytes, then the 5-byte mov) now reaches a 5-byte jump placed after
    // the jump back, which goes on to the original target.
    const auto* t = static_cast<const uint8_t*>(tramp);
    EXPECT_EQ(t[0], 0xE3);
    const uint8_t* slot = t + 2 + static_cast<int8_t>(t[1]);
    EXPECT_EQ(slot, t + 7 + 5);
    ASSERT_EQ(slot[0], 0xE9);
    int32_t disp;
    std::memcpy(&disp, slot + 1, 4);
    EXPECT_EQ(slot + 5 + disp, proc + 8);

    // Hooking again returns the first trampoline and keeps the first hook.
    EXPECT_EQ(kv::crash::HookProcedureEx(proc, reinterpret_cast<void*>(&OtherHook), "again"),
              tramp);
    EXPECT_EQ(CallShortJump(7), 10);

    // Removing by the trampoline's address restores the original bytes.
    EXPECT_TRUE(kv::crash::UnhookProcedure(tramp));
    EXPECT_EQ(CallShortJump(0), 2);
    EXPECT_EQ(CallShortJump(7), 1);
    EXPECT_FALSE(kv::crash::UnhookProcedure(proc));
}

using TickProc = DWORD(WINAPI*)();
TickProc g_tickOriginal = nullptr;
int g_tickCalls = 0;
DWORD g_tickSeen = 0;
constexpr DWORD kHookedTick = 0x7FFF1234;

DWORD WINAPI TickHook() {
    ++g_tickCalls;
    g_tickSeen = g_tickOriginal();
    return kHookedTick;
}

TEST(HookProcedureEx, DetoursKernel32) {
    auto* proc =
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTickCount"));
    ASSERT_NE(proc, nullptr);
    const DWORD before = GetTickCount();
    void* tramp =
        kv::crash::HookProcedureEx(proc, reinterpret_cast<void*>(&TickHook), "GetTickCount");
    g_tickOriginal = reinterpret_cast<TickProc>(tramp);
    EXPECT_EQ(GetTickCount(), kHookedTick);
    EXPECT_EQ(g_tickCalls, 1);
    EXPECT_GE(g_tickSeen, before); // the original ran through the trampoline
    EXPECT_TRUE(kv::crash::UnhookProcedure(proc));
    EXPECT_NE(GetTickCount(), kHookedTick);
    EXPECT_EQ(g_tickCalls, 1);
}

TEST(HookProcedureEx, NullProcedureRaises) {
    try {
        kv::crash::HookProcedureEx(nullptr, reinterpret_cast<void*>(&OtherHook), "Missing");
        FAIL() << "no exception";
    } catch (const kv::crash::EProcNull& e) {
        EXPECT_EQ(e.Message(), u"Cannot hook a null procedure (\"Missing\").");
    }
}

int g_raiseCalls = 0;
DWORD g_raiseCode = 0;
void WINAPI RaiseHook(DWORD code, DWORD, DWORD, const ULONG_PTR*) {
    ++g_raiseCalls;
    g_raiseCode = code;
}

std::string ExeName() {
    char name[MAX_PATH];
    GetModuleFileNameA(nullptr, name, MAX_PATH);
    return name;
}

TEST(HookDllProcedureEx, PatchedImportDeliversCallsAndShutDownRestoresIt) {
    void* exported = reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "RaiseException"));
    void* old = kv::crash::HookDllProcedureEx(ExeName(), "KERNEL32.DLL", "RaiseException",
                                              reinterpret_cast<void*>(&RaiseHook));
    EXPECT_EQ(old, exported);
    const auto saved = kv::crash::SavedDllProcs();
    ASSERT_FALSE(saved.empty());
    EXPECT_EQ(saved.back().HookModule, reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr)));
    EXPECT_EQ(saved.back().ExportModule, "KERNEL32.DLL");
    EXPECT_EQ(saved.back().OldProc, exported);
    EXPECT_EQ(saved.back().NewProc, reinterpret_cast<void*>(&RaiseHook));

    RaiseException(0xE0001234, 0, 0, nullptr); // would end the test without the hook
    EXPECT_EQ(g_raiseCalls, 1);
    EXPECT_EQ(g_raiseCode, 0xE0001234u);

    // Shut-down puts every recorded import back: the entry holds the exported address again,
    // so it can be hooked anew.
    kv::crash::HookUnitDone();
    kv::crash::HookUnitInit();
    EXPECT_TRUE(kv::crash::SavedDllProcs().empty());
    EXPECT_EQ(kv::crash::HookDllProcedureEx(ExeName(), "kernel32.dll", "RaiseException",
                                            reinterpret_cast<void*>(&RaiseHook)),
              exported);
    RaiseException(0xE0001235, 0, 0, nullptr);
    EXPECT_EQ(g_raiseCalls, 2);
    kv::crash::HookUnitDone();
    kv::crash::HookUnitInit();
}

TEST(HookDllProcedureEx, ProcedureNotImportedRaises) {
    try {
        kv::crash::HookDllProcedureEx(ExeName(), "kernel32.dll", "GetCurrentProcessorNumber",
                                      reinterpret_cast<void*>(&RaiseHook));
        FAIL() << "no exception";
    } catch (const kv::crash::EHookingError& e) {
        EXPECT_EQ(e.Message(),
                  u"Cannot hook the procedure \"kernel32.dll.GetCurrentProcessorNumber\".");
    }
}

TEST(TryHookDllProcedureEx, NoListedModuleLoaded) {
    void* old = nullptr;
    EXPECT_FALSE(kv::crash::TryHookDllProcedureEx({"kvtest_missing_a.dll", "kvtest_missing_b.dll"},
                                                  "kernel32.dll", "RaiseException",
                                                  reinterpret_cast<void*>(&RaiseHook), old, false));
    EXPECT_EQ(old, reinterpret_cast<void*>(
                       GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "RaiseException")));
}

TEST(TryHookDllProcedureEx, ToleratesAModuleWithoutTheImport) {
    void* old = nullptr;
    EXPECT_FALSE(kv::crash::TryHookDllProcedureEx({ExeName()}, "kernel32.dll",
                                                  "GetCurrentProcessorNumber",
                                                  reinterpret_cast<void*>(&RaiseHook), old, true));
    EXPECT_NE(old, nullptr);
    EXPECT_THROW(kv::crash::TryHookDllProcedureEx({ExeName()}, "kernel32.dll",
                                                  "GetCurrentProcessorNumber",
                                                  reinterpret_cast<void*>(&RaiseHook), old, false),
                 kv::crash::EHookingError);
}

} // namespace

// Outside the anonymous namespace, so that the compiler cannot rule out derived classes and
// must call through the method table.
struct HookProbe {
    virtual int Value();
    virtual ~HookProbe() = default;
};
int HookProbe::Value() {
    return 1;
}

namespace {

using Probe = HookProbe;

int __attribute__((thiscall)) HookedValue(Probe*) {
    return 2;
}
int __attribute__((thiscall)) OtherValue(Probe*) {
    return 3;
}

// An object the compiler knows nothing about, so that the call reads the method table.
Probe* volatile g_probe = nullptr;
__attribute__((noinline)) int CallValue(Probe& p) {
    g_probe = &p;
    return g_probe->Value();
}

TEST(HookVirtualMethod, TwiceReturnsTheOriginal) {
    auto owned = std::make_unique<Probe>();
    Probe& probe = *owned;
    void* vtable = *reinterpret_cast<void**>(&probe);
    void* original = *static_cast<void**>(vtable);
    EXPECT_EQ(kv::crash::HookVirtualMethod(vtable, 0, reinterpret_cast<void*>(&HookedValue)),
              original);
    EXPECT_EQ(CallValue(probe), 2);
    EXPECT_EQ(kv::crash::HookVirtualMethod(vtable, 0, reinterpret_cast<void*>(&HookedValue)),
              original);
    EXPECT_TRUE(kv::crash::UnhookVirtualMethod(vtable, 0));
    EXPECT_EQ(CallValue(probe), 1);
    EXPECT_FALSE(kv::crash::UnhookVirtualMethod(vtable, 0));

    // Shut-down restores a slot that is still hooked.
    kv::crash::HookVirtualMethod(vtable, 0, reinterpret_cast<void*>(&OtherValue));
    EXPECT_EQ(CallValue(probe), 3);
    kv::crash::HookUnitDone();
    EXPECT_EQ(CallValue(probe), 1);
    EXPECT_EQ(kv::crash::HookVirtualMethod(vtable, 0, reinterpret_cast<void*>(&OtherValue)),
              nullptr); // no list
    kv::crash::HookUnitInit();
}

} // namespace

namespace {

TEST(GetFunctionSize, InThisProcess) {
    // jecxz (2 bytes), mov eax, 1 (5 bytes), ret.
    EXPECT_EQ(kv::crash::GetFunctionSize(reinterpret_cast<const void*>(&ShortJumpFn), 64), 8u);
    // No maximum: the call-stack walker measures unknown routines this way.
    EXPECT_EQ(kv::crash::GetFunctionSize(reinterpret_cast<const void*>(&ShortJumpFn), 0xFFFFFFFF),
              8u);

    // Code running into a reserved page: reading further would fault, so the size is 1.
    auto* page = static_cast<uint8_t*>(VirtualAlloc(nullptr, 0x2000, MEM_RESERVE, PAGE_NOACCESS));
    ASSERT_NE(page, nullptr);
    ASSERT_NE(VirtualAlloc(page, 0x1000, MEM_COMMIT, PAGE_READWRITE), nullptr);
    std::memset(page + 0xFF0, 0x90, 0x10);
    EXPECT_EQ(kv::crash::GetFunctionSize(page + 0xFF0, 0x100), 1u);
    page[0xFFF] = 0xC3;
    EXPECT_EQ(kv::crash::GetFunctionSize(page + 0xFF0, 0x100), 0x10u);
    VirtualFree(page, 0, MEM_RELEASE);
}

} // namespace
