#include <gtest/gtest.h>

#include <windows.h>

#include "crash/debug/ClDebugProcesses.h"

namespace {

using namespace kv::crash;

std::string OwnPath() {
    char name[MAX_PATH];
    GetModuleFileNameA(nullptr, name, MAX_PATH);
    return name;
}

class ProcessList : public ::testing::TestWithParam<TProcessListMethod> {
protected:
    void SetUp() override { CreateProcessesList(); }
    void TearDown() override { FreeProcessesList(); }
};

// Every method finds this process with its full path; the list is sorted by id.
TEST_P(ProcessList, ContainsThisProcess) {
    RefreshProcessesList(GetParam());
    TCrashProcessesList& list = *ProcessesList();
    ASSERT_GT(list.Count(), 0);
    for (int i = 1; i < list.Count(); ++i)
        EXPECT_LT(list.GetItem(i - 1)->ProcessID, list.GetItem(i)->ProcessID);
    const int index = FindProcessIndex(GetCurrentProcessId());
    ASSERT_GE(index, 0);
    const PCrashProcessInfo self = list.GetItem(index);
    EXPECT_EQ(lstrcmpiA(self->Name.c_str(), OwnPath().c_str()), 0) << self->Name;
    EXPECT_GE(self->Threads, 1u);
    if (GetParam() == TProcessListMethod::BySnapshot) {
        EXPECT_EQ(self->Memory, 0u); // entries carry no working set
    } else {
        EXPECT_GT(self->Memory, 0u);
        EXPECT_EQ(self->Priority, GetPriorityClass(GetCurrentProcess()));
    }
}

INSTANTIATE_TEST_SUITE_P(Methods, ProcessList,
                         ::testing::Values(TProcessListMethod::ByProcessIds,
                                           TProcessListMethod::BySnapshotOpening,
                                           TProcessListMethod::BySnapshot));

TEST(ProcessListDefault, WineReportsAVistaLikeSystem) {
    EXPECT_EQ(DefaultProcessListMethod(), TProcessListMethod::BySnapshot);
    RefreshProcessesList(); // without a list: nothing happens
    EXPECT_EQ(ProcessesList(), nullptr);
}

} // namespace
