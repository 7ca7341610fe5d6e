#include <windows.h>

#include <gtest/gtest.h>

#include "crash/report/ClReportValues.h"

namespace {

using namespace kv::crash;

TEST(ClReportValuesWin, SystemValues) {
    const TOSVersion v = GetOSVersion();
    EXPECT_EQ(v.Platform, osWinNT);
    EXPECT_GE(v.Major, 5u);
    EXPECT_NE(GetWindowsVersionName(v, IsWorkstation(), IsWow64()).find("Microsoft Windows "),
              std::string::npos);
}

TEST(ClReportValuesWin, Registry) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\KolvaneTest\\Values\\Sub", 0, nullptr,
                              0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\KolvaneTest\\Values", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD four = 0x12345678;
    RegSetValueExA(key, "Four", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&four), 4);
    const char text[] = "ab";
    RegSetValueExA(key, "Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), 3);
    RegCloseKey(key);
    const auto root = reinterpret_cast<uintptr_t>(HKEY_CURRENT_USER);
    EXPECT_EQ(ReadRegistryDWord(root, "\\Software\\KolvaneTest\\Values", "Four"), 0x12345678u);
    EXPECT_EQ(ReadRegistryDWord(root, "Software\\KolvaneTest\\Values", "Text"), 0u);
    EXPECT_EQ(ReadRegistryDWord(root, "Software\\KolvaneTest\\Values", "Missing"), 0u);
    EXPECT_EQ(ReadRegistrySubKeyName(root, "Software\\KolvaneTest\\Values", 0), "Sub");
    EXPECT_EQ(ReadRegistrySubKeyName(root, "Software\\KolvaneTest\\Values", 1), "");
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\KolvaneTest\\Values\\Sub");
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\KolvaneTest\\Values");
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\KolvaneTest");
}

} // namespace
