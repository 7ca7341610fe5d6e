#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "crash/report/ClReportValues.h"

namespace {

using namespace kv::crash;

TEST(ClReportValuesWin, SystemValues) {
    const TOSVersion v = GetOSVersion();
    EXPECT_EQ(v.Platform, osWinNT);
    EXPECT_GE(v.Major, 5u);
    EXPECT_NE(GetWindowsVersionName(v, IsWorkstation(), IsWow64()).find("Microsoft Windows "),
              std::string::npos);
    // A 32-bit program on a 64-bit system: the native processor differs from the program's.
    SYSTEM_INFO native{};
    GetNativeSystemInfo(&native);
    EXPECT_EQ(IsWow64(), native.wProcessorArchitecture != PROCESSOR_ARCHITECTURE_INTEL);
    OSVERSIONINFOEXW workstation{};
    workstation.dwOSVersionInfoSize = sizeof workstation;
    workstation.wProductType = VER_NT_WORKSTATION;
    EXPECT_EQ(IsWorkstation(),
              VerifyVersionInfoW(&workstation, VER_PRODUCT_TYPE,
                                 VerSetConditionMask(0, VER_PRODUCT_TYPE, VER_EQUAL)) != FALSE);
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

// The system's own answer, in the ANSI code page as the report holds it.
std::string Ansi(const wchar_t* text) {
    char out[512] = {};
    WideCharToMultiByte(CP_ACP, 0, text, -1, out, sizeof out - 1, nullptr, nullptr);
    return out;
}

// The amount of a "<amount> <unit>" text; -1 when the text has another form.
double Amount(const std::string& text, const std::string& unit) {
    const std::string suffix = " " + unit;
    if (text.size() <= suffix.size() ||
        text.compare(text.size() - suffix.size(), suffix.size(), suffix) != 0)
        return -1;
    const std::string number = text.substr(0, text.size() - suffix.size());
    if (number.find_first_not_of("0123456789.") != std::string::npos) return -1;
    return std::stod(number);
}

TEST(ClReportValuesWin, SystemTextsAgreeWithTheSystem) {
    wchar_t user[257] = {};
    DWORD size = 257;
    ASSERT_TRUE(GetUserNameW(user, &size));
    EXPECT_EQ(GetUserIDText(), Ansi(user));
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    size = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(computer, &size));
    EXPECT_EQ(GetComputerNameText(), Ansi(computer));

    // Memory in whole megabytes, rounded; what is free moves a little meanwhile.
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    ASSERT_TRUE(GlobalMemoryStatusEx(&memory));
    constexpr double kMb = 1048576.0, kGb = 1073741824.0;
    EXPECT_NEAR(Amount(GetTotalMemoryText(), "Mb"), memory.ullTotalPhys / kMb, 0.51)
        << GetTotalMemoryText();
    EXPECT_NEAR(Amount(GetFreeMemoryText(), "Mb"), memory.ullAvailPhys / kMb, 64)
        << GetFreeMemoryText();

    // The disk of the program's own drive, in gigabytes with at most two decimals.
    wchar_t program[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, program, MAX_PATH), 2u);
    const wchar_t drive[] = {program[0], program[1], L'\\', 0};
    ULARGE_INTEGER callerFree{}, total{}, allFree{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(drive, &callerFree, &total, &allFree));
    EXPECT_NEAR(Amount(GetTotalDiskText(), "Gb"), total.QuadPart / kGb, 0.0051)
        << GetTotalDiskText();
    EXPECT_NEAR(Amount(GetFreeDiskText(), "Gb"), callerFree.QuadPart / kGb, 0.1)
        << GetFreeDiskText();

    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    ASSERT_TRUE(EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode));
    EXPECT_EQ(GetDisplayModeText(), std::to_string(mode.dmPelsWidth) + " x " +
                                        std::to_string(mode.dmPelsHeight) + ", " +
                                        std::to_string(mode.dmBitsPerPel) + " bit");
}

TEST(ClReportValuesWin, SystemTextsHaveTheirForm) {
    EXPECT_GT(std::stoi(GetDisplayDPIText()), 0);
    EXPECT_EQ(GetCharsetText(), std::to_string(GetACP() == 932 ? SHIFTJIS_CHARSET : 0));
    EXPECT_FALSE(GetProcessorText().empty());
    EXPECT_NE(GetSystemUpTimeText().find("second"), std::string::npos);
    const std::string privileges = GetPrivilegesText();
    if (!privileges.empty()) EXPECT_EQ(privileges.substr(privileges.size() - 2), "\r\n");
    // A file without a version resource has no product version.
    EXPECT_EQ(GetProductVersionText("C:\\no\\such\\file.dll"), "");
}

TEST(ClReportValuesWin, DevicesAndLanguageAgreeWithTheSystem) {
    // The first display adapter's name, then its driver.
    DISPLAY_DEVICEW display{};
    display.cb = sizeof display;
    ASSERT_TRUE(EnumDisplayDevicesW(nullptr, 0, &display, 0));
    const std::string video = GetVideoCardText();
    EXPECT_EQ(video.substr(0, video.find(" (driver ")), Ansi(display.DeviceString)) << video;
    EXPECT_EQ(video.back(), ')') << video;

    // The default printer and its driver; none (as in a fresh Wine prefix) gives no text.
    wchar_t printer[512] = {};
    DWORD size = 512;
    if (GetDefaultPrinterW(printer, &size)) {
        EXPECT_EQ(GetPrinterText().rfind(Ansi(printer) + " (driver ", 0), 0u) << GetPrinterText();
    } else {
        EXPECT_EQ(GetPrinterText(), "");
    }

    // The system's default language in English.
    wchar_t language[256] = {};
    ASSERT_TRUE(GetLocaleInfoW(MAKELCID(GetSystemDefaultLangID(), SORT_DEFAULT),
                               LOCALE_SENGLANGUAGE, language, 256));
    EXPECT_EQ(GetLanguageText(), Ansi(language));

    // The IPv4 adapters other than the loopback, each with its first address.
    std::vector<std::string> expected, actual;
    ULONG bytes = 0;
    GetAdaptersAddresses(AF_INET, 0, nullptr, nullptr, &bytes);
    std::vector<unsigned char> buffer(bytes + 1);
    auto* first = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
    if (bytes && GetAdaptersAddresses(AF_INET, 0, nullptr, first, &bytes) == ERROR_SUCCESS) {
        for (const IP_ADAPTER_ADDRESSES* a = first; a; a = a->Next) {
            if (a->IfType == IF_TYPE_SOFTWARE_LOOPBACK) continue;
            std::string address = "0.0.0.0";
            if (a->FirstUnicastAddress) {
                const auto* in = reinterpret_cast<const sockaddr_in*>(
                    a->FirstUnicastAddress->Address.lpSockaddr);
                const unsigned char* b = reinterpret_cast<const unsigned char*>(&in->sin_addr);
                address = std::to_string(b[0]) + "." + std::to_string(b[1]) + "." +
                          std::to_string(b[2]) + "." + std::to_string(b[3]);
            }
            expected.push_back(address);
        }
    }
    for (const TNetworkAdapter& a : GetNetworkAdapters()) actual.push_back(a.IPAddress);
    std::sort(expected.begin(), expected.end());
    std::sort(actual.begin(), actual.end());
    EXPECT_EQ(actual, expected);
}

} // namespace
