#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "crash/core/CrashRecordLists.h"

namespace {

using namespace kv::crash;

int g_optionsFreed = 0;
int g_sourcesFreed = 0;

class TrackedOptions : public TCrashModuleOptions {
public:
    TrackedOptions() : TCrashModuleOptions("") {}
    ~TrackedOptions() override { ++g_optionsFreed; }
};

class TrackedSource : public TClDebugInfoSource {
public:
    TrackedSource() : TClDebugInfoSource(0x400000) {}
    ~TrackedSource() override { ++g_sourcesFreed; }
    bool InitializeSource() override { return true; }
    bool ValidData() const override { return true; }
    bool GetLocationInfo(uintptr_t, TClLocationInfo&) override { return false; }
};

std::unique_ptr<TCrashModuleInfo> Module(uintptr_t handle) {
    auto m = std::make_unique<TCrashModuleInfo>();
    m->Handle = handle;
    m->FunctionsList = std::make_unique<TCrashFunctionsList>();
    auto f = std::make_unique<TCrashFunctionInfo>();
    f->Name = "Export";
    m->FunctionsList->Add(std::move(f));
    m->ExtraInformation.Options = std::make_unique<TrackedOptions>();
    m->ExtraInformation.DebugInformation = std::make_unique<kv::TMemoryStream>("debug");
    m->OtherDebugData = std::make_unique<TrackedSource>();
    return m;
}

TEST(TCrashModulesList, DeleteFreesWhatTheRecordOwns) {
    g_optionsFreed = g_sourcesFreed = 0;
    TCrashModulesList list;
    list.Add(Module(0x400000));
    list.Add(Module(0x10000000));
    list.Delete(0);
    EXPECT_EQ(g_optionsFreed, 1);
    EXPECT_EQ(g_sourcesFreed, 1);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.GetItem(0)->Handle, 0x10000000u);
    list.Delete(5); // out of range: nothing
    EXPECT_EQ(list.GetItem(1), nullptr);
    EXPECT_EQ(list.GetItem(-1), nullptr);
    list.Clear();
    EXPECT_EQ(g_optionsFreed, 2);
    EXPECT_EQ(list.Count(), 0);
    list.Clear(); // empty: nothing happens
}

TEST(TCrashModulesList, DestructionFreesEverything) {
    g_optionsFreed = g_sourcesFreed = 0;
    {
        TCrashModulesList list;
        for (uintptr_t h : {3u, 1u, 2u}) list.Add(Module(h << 16));
        list.Sort([](const TCrashModuleInfo& a, const TCrashModuleInfo& b) {
            return a.Handle < b.Handle;
        });
        EXPECT_EQ(list.GetItem(0)->Handle, 1u << 16);
        EXPECT_EQ(list.GetItem(2)->Handle, 3u << 16);
    }
    EXPECT_EQ(g_optionsFreed, 3);
    EXPECT_EQ(g_sourcesFreed, 3);
}

TEST(TCrashLockedList, TheHolderOfTheLockMayUseEveryOperation) {
    TCrashProcessesList list;
    list.Lock();
    for (uint32_t id = 1; id <= 3; ++id) {
        auto p = std::make_unique<TCrashProcessInfo>();
        p->ProcessID = id;
        list.Add(std::move(p));
    }
    EXPECT_EQ(list.GetItem(2)->ProcessID, 3u);
    list.Delete(0);
    list.Clear();
    list.Unlock();
    EXPECT_EQ(list.Count(), 0);
}

TEST(TCrashLockedList, ThreadsAddWithoutLosingRecords) {
    TCrashFunctionsList list;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&list, t] {
            for (int i = 0; i < 500; ++i) {
                auto f = std::make_unique<TCrashFunctionInfo>();
                f->Addr = static_cast<uintptr_t>(t * 1000 + i);
                list.Add(std::move(f));
                if (i % 50 == 0) {
                    // Count and Delete as one step: another thread may delete in between.
                    list.Lock();
                    list.Delete(list.Count() - 1);
                    list.Unlock();
                }
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(list.Count(), 4 * (500 - 10));
}

TEST(TCrashStackList, AddFromTakesOnlyTheLocationFields) {
    TCrashModuleInfo module;
    TCrashDebugInfo source;
    source.DebugDetail = ddSourceCode;
    source.ModuleInfo = &module;
    source.Addr = 0x401234;
    source.UnitName = "Unit";
    source.ClassName = "TClass";
    source.ProcedureName = "Proc";
    source.Line = 42;
    source.ProcOffsetLine = 3;
    source.ThreadID = 77;
    source.RunningThread = source.ErrorLine = source.IsALeak = true;
    source.LeakType = "leak";
    source.LeakSize = source.LeakCount = 9;
    source.CustomMsg = "custom";

    TCrashStackList stack;
    const TCrashDebugInfo& frame = *stack.AddFrom(source);
    EXPECT_EQ(frame.DebugDetail, ddSourceCode);
    EXPECT_EQ(frame.ModuleInfo, &module);
    EXPECT_EQ(frame.Addr, 0x401234u);
    EXPECT_EQ(frame.UnitName, "Unit");
    EXPECT_EQ(frame.ClassName, "TClass");
    EXPECT_EQ(frame.ProcedureName, "Proc");
    EXPECT_EQ(frame.Line, 42u);
    EXPECT_EQ(frame.ProcOffsetLine, 0u);
    EXPECT_EQ(frame.ThreadID, 0u);
    EXPECT_FALSE(frame.RunningThread || frame.ErrorLine || frame.IsALeak);
    EXPECT_EQ(frame.LeakType, "");
    EXPECT_EQ(frame.LeakSize + frame.LeakCount, 0u);
    EXPECT_EQ(frame.CustomMsg, "");

    stack.AddFrom(source);
    EXPECT_EQ(stack.Count(), 2);
    stack.Delete(0);
    stack.Delete(3);
    EXPECT_EQ(stack.Count(), 1);
    stack.Clear();
    EXPECT_EQ(stack.GetItem(0), nullptr);
    stack.Clear();
}

} // namespace
