#include <gtest/gtest.h>

#include "crash/debug/ClDebugProcesses.h"

namespace {

using namespace kv::crash;

TEST(BasePriorityToClass, Table) {
    static const struct {
        int32_t base;
        uint32_t priorityClass;
    } kCases[] = {
        {0, 0},    {1, 0x40},    {2, 0x40},    {5, 0x40},  {6, 0x4000}, {7, 0x4000}, {8, 0x20},
        {9, 0x20}, {10, 0x8000}, {12, 0x8000}, {13, 0x80}, {23, 0x80},  {24, 0x100}, {31, 0x100},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(BasePriorityToClass(c.base), c.priorityClass) << "base " << c.base;
}

TEST(FindProcessIndex, BinarySearchOfTheSortedList) {
    EXPECT_EQ(FindProcessIndex(4), -1); // no list
    CreateProcessesList();
    for (uint32_t id : {4u, 8u, 20u, 36u}) {
        auto info = std::make_unique<TCrashProcessInfo>();
        info->ProcessID = id;
        ProcessesList()->Add(std::move(info));
    }
    EXPECT_EQ(FindProcessIndex(4), 0);
    EXPECT_EQ(FindProcessIndex(20), 2);
    EXPECT_EQ(FindProcessIndex(36), 3);
    EXPECT_EQ(FindProcessIndex(21), -1);
    EXPECT_EQ(FindProcessIndex(0), -1);
    FreeProcessesList();
}

} // namespace
