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

TEST(ClReportValuesWin, SystemTextsHaveTheirForm) {
    EXPECT_FALSE(GetUserIDText().empty());
    EXPECT_FALSE(GetComputerNameText().empty());
    EXPECT_LE(GetComputerNameText().size(), 15u);
    EXPECT_NE(GetTotalMemoryText().find(" Mb"), std::string::npos);
    EXPECT_NE(GetFreeMemoryText().find(" Mb"), std::string::npos);
    EXPECT_NE(GetDisplayModeText().find(" x "), std::string::npos);
    EXPECT_NE(GetDisplayModeText().find(" bit"), std::string::npos);
    EXPECT_GT(std::stoi(GetDisplayDPIText()), 0);
    EXPECT_EQ(GetCharsetText(), std::to_string(GetACP() == 932 ? SHIFTJIS_CHARSET : 0));
    EXPECT_FALSE(GetProcessorText().empty());
    EXPECT_NE(GetSystemUpTimeText().find("second"), std::string::npos);
    const std::string privileges = GetPrivilegesText();
    if (!privileges.empty()) EXPECT_EQ(privileges.substr(privileges.size() - 2), "\r\n");
    // A file without a version resource has no product version.
    EXPECT_EQ(GetProductVersionText("C:\\no\\such\\file.dll"), "");
    EXPECT_NE(GetVideoCardText().find(" (driver "), std::string::npos);
    GetPrinterText(); // Wine prefixes have no default printer: any text is accepted
    EXPECT_FALSE(GetLanguageText().empty());
    for (const TNetworkAdapter& a : GetNetworkAdapters()) EXPECT_FALSE(a.IPAddress.empty());
}

} // namespace
