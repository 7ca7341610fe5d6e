#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "crash/capture/CrashLogExceptions.h"
#include "crash/report/ClReportHalf.h"

namespace {

using namespace kv::crash;

__attribute__((noinline)) void SomeCode() {
    static volatile int n = 0;
    n = n + 1;
}

std::string Hex8(uintptr_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(v));
    return text;
}

TEST(ClReportHalf, GeneralValuesComeFromTheSystem) {
    Report = TCrashReport{};
    const TGeneralValues v = GatherGeneralValues();
    char computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof computer;
    GetComputerNameA(computer, &size);
    EXPECT_EQ(v[soCmpName], computer);
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    ASSERT_TRUE(GlobalMemoryStatusEx(&memory));
    EXPECT_EQ(v[soCmpTotalMemory],
              std::to_string(std::llround(memory.ullTotalPhys / 1048576.0)) + " Mb");
    EXPECT_EQ(v[soOSCharset], "128"); // the Japanese locale's character set
    EXPECT_EQ(v[soAppName].rfind("test_crash.exe", 0), 0u) << v[soAppName];
    EXPECT_EQ(v[soExcAddress], "");
    EXPECT_EQ(v[soExcType], "Unknown exception type");
    EXPECT_EQ(v[soExcMessage], "Unknown error message.");
    EXPECT_EQ(v[soExcCount], "1");
    EXPECT_EQ(v[soExcStatus], "New");
}

TEST(ClReportHalf, AccessViolationMessageIsRebuiltFromItsRecord) {
    TExceptionRecordCopy record;
    record.ExceptionCode = kCodeAccessViolation;
    record.ExceptionAddress = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&SomeCode));
    record.NumberParameters = 2;
    record.ExceptionInformation[0] = 1; // a write
    record.ExceptionInformation[1] = 0x10;
    const EAccessViolation inModule(u"access violation", record);
    EXPECT_EQ(ExceptionMessageFor(&inModule),
              "Access violation at address " + Hex8(record.ExceptionAddress) +
                  " in module 'test_crash.exe'. Write of address 00000010");

    record.ExceptionAddress = 0x10; // no module there
    record.ExceptionInformation[0] = 0;
    const EAccessViolation nowhere(u"access violation", record);
    EXPECT_EQ(ExceptionMessageFor(&nowhere),
              "Access violation at address 00000010. Read of address 00000010");

    const kv::Exception plain(u"plain");
    EXPECT_EQ(ExceptionMessageFor(&plain), "plain");
}

} // namespace
