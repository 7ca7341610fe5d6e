#include <gtest/gtest.h>

#include "crash/capture/CrashLogExceptions.h"
#include "crash/report/ClReportValues.h"

namespace {

using namespace kv::crash;

TEST(ClReportValues, FormatDuration) {
    const struct {
        const char* name;
        double days;
        const char* text;
    } cases[] = {
        {"thirty seconds", 30.0 / 86400, "30 seconds"},
        {"one minute", 1.0 / 1440, "1 minute, 0 second"},
        {"one and a half days", 1.5, "1 day, 12 hours, 0 second"},
        {"one second", 1.0 / 86400, "1 second"},
        {"zero", 0, "0 second"},
        {"all units", 2 + (3 * 3600 + 4 * 60 + 5) / 86400.0,
         "2 days, 3 hours, 4 minutes, 5 seconds"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatDuration(c.days), c.text) << c.name;
}

TEST(ClReportValues, TextCleanUp) {
    EXPECT_EQ(BlankControlRuns("a\r\n\tb\x01"
                               "c"),
              "a b c");
    EXPECT_EQ(BlankControlChars("a\r\n\tb\x01\x02"
                                "c"),
              "a\r\n b  c");
    EXPECT_EQ(StripLeadingQuotes("  \"C:\\Program Files\\k.exe\" -a  "),
              "C:\\Program Files\\k.exe -a");
    EXPECT_EQ(StripLeadingQuotes(" k.exe \"x\" "), "k.exe \"x\"");
    EXPECT_EQ(StripLeadingQuotes("\"open"), "open");
    EXPECT_EQ(ZeroIPAddress(), "000.000.000.000");
}

TEST(ClReportValues, WindowsVersionName) {
    const struct {
        TOSVersion version;
        bool workstation, wow64;
        const char* name;
    } cases[] = {
        {{osWinNT, 6, 1, 7601, "Service Pack 1"}, true, true, "Microsoft Windows 7 (64 bit)"},
        {{osWinNT, 6, 1, 7601, ""}, false, false, "Microsoft Windows Server 2008 R2"},
        {{osWinNT, 6, 0, 6000, ""}, true, false, "Microsoft Windows Vista"},
        {{osWinNT, 5, 2, 3790, ""}, false, false, "Microsoft Windows 2003"},
        {{osWinNT, 5, 2, 3790, ""}, true, false, "Microsoft Windows XP"},
        {{osWinNT, 5, 0, 2195, ""}, true, false, "Microsoft Windows 2000"},
        {{osWinNT, 4, 0, 1381, ""}, true, false, "Microsoft Windows NT 4.0"},
        {{osWinNT, 10, 0, 19045, ""}, true, false, "Microsoft Windows 10.0"},
        {{osWin9x, 4, 0, 950, " B "}, false, false, "Microsoft Windows 95"},
        {{osWin9x, 4, 0, 950, ""}, false, false, "Microsoft Windows 95 OSR 2"},
        {{osWin9x, 4, 10, 1998, "A"}, false, false, "Microsoft Windows 98"},
        {{osWin9x, 4, 10, 2222, ""}, false, false, "Microsoft Windows 98 SE"},
        {{osWin9x, 4, 90, 3000, ""}, false, false, "Microsoft Windows ME"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetWindowsVersionName(c.version, c.workstation, c.wow64), c.name) << c.name;
    EXPECT_EQ(OSBuildText({osWin9x, 4, 10, 0x040A08AE, ""}), "2222");
    EXPECT_TRUE(RunningOnVistaOrLater({osWinNT, 6, 1, 0, ""}));
    EXPECT_FALSE(OSSupportsDisplayDevices({osWinNT, 4, 0, 0, ""}));
    EXPECT_FALSE(OSSupportsDisplayDevices({osWin9x, 4, 0, 0, ""}));
    EXPECT_TRUE(OSSupportsDisplayDevices({osWin9x, 4, 10, 0, ""}));
}

TEST(ClReportValues, NetworkValuesListEveryAdapter) {
    std::vector<TNetworkAdapter> adapters(2);
    adapters[0] = {true, "192.168.1.5", "255.255.255.0", "192.168.1.1", true, {"8.8.8.8"}};
    adapters[1] = {false, "10.0.0.2", "255.0.0.0", "10.0.0.1", false, {}};
    const TNetworkValues v = FormatNetworkValues(adapters);
    EXPECT_EQ(v.DHCP, "ON" + std::string(13, ' ') + " - OFF" + std::string(12, ' '));
    EXPECT_EQ(v.IPAddress, "192.168.1.5 - 10.0.0.2");
    EXPECT_EQ(v.Submask, "255.255.255.0 - 255.0.0.0");
    EXPECT_EQ(v.Gateway, "192.168.1.1 - 10.0.0.1");
    EXPECT_EQ(v.DNS1, "8.8.8.8 - 000.000.000.000");
    EXPECT_EQ(v.DNS2, "000.000.000.000 - 000.000.000.000");
    EXPECT_EQ(FormatNetworkValues({}).DHCP, "");
}

TEST(ClReportValues, SizesProcessorPrivilegesAndNames) {
    EXPECT_EQ(FormatMegabytes(0), "0 Mb");
    EXPECT_EQ(FormatMegabytes(3 * 1048576ull + 524288), "4 Mb");
    EXPECT_EQ(FormatGigabytes(2 * 1073741824ull), "2 Gb");
    EXPECT_EQ(FormatGigabytes(1073741824ull * 3 / 2), "1.5 Gb");
    EXPECT_EQ(FormatGigabytes(1073741824ull * 5 / 4), "1.25 Gb");

    EXPECT_EQ(ProcessorText("  Intel(R) Core(TM) i7 ", "GenuineIntel", "x86"),
              "Intel(R) Core(TM) i7");
    EXPECT_EQ(ProcessorText("", "GenuineIntel", "x86 Family 6"), "GenuineIntel - x86 Family 6");
    EXPECT_EQ(ProcessorText("", "GenuineIntel", ""), "Unknown processor");

    EXPECT_EQ(PrivilegesText({{"SeShutdownPrivilege", false}, {"SeChangeNotifyPrivilege", true}}),
              "SeShutdownPrivilege             - OFF\r\nSeChangeNotifyPrivilege         - ON\r\n");

    EXPECT_EQ(ChooseRegisteredName({"", "Taro", "x"}, false), "Taro");
    EXPECT_EQ(ChooseRegisteredName({"Microsoft", "", "Taro"}, true), "Taro");
    EXPECT_EQ(ChooseRegisteredName({"Microsoft"}, false), "Microsoft");
    EXPECT_EQ(ChooseRegisteredName({"", ""}, true), "");
}

TEST(ClReportValues, ExceptionMessage) {
    EXPECT_EQ(ExceptionMessageText(false, "anything"), "Unknown error message.");
    EXPECT_EQ(ExceptionMessageText(true, "Disk full."), "Disk full.");
    EXPECT_EQ(ExceptionMessageText(true, "Disk full"), "Disk full.");
}

TEST(ClReportValues, AddressParametersAndVideoCard) {
    EXPECT_EQ(ExceptionAddressText(0), "");
    EXPECT_EQ(ExceptionAddressText(0x4012AB), "004012AB");
    EXPECT_EQ(
        ParametersText("\"C:\\Kolvane\\Kolvane.exe\"  -a  x.kvj ", "C:\\Kolvane\\Kolvane.exe"),
        "-a  x.kvj");
    EXPECT_EQ(ParametersText("\"C:\\Kolvane\\Kolvane.exe\"", "C:\\Kolvane\\Kolvane.exe"), "");
    EXPECT_EQ(VideoCardText(" Wine Display ", "1.0", 256u * 1048576),
              "Wine Display (driver 1.0 - RAM 256 MB)");
    EXPECT_EQ(VideoCardText("Wine Display", "", 0), "Wine Display (driver )");
    EXPECT_EQ(
        DeviceMapSystemPart("\\Registry\\Machine\\System\\CurrentControlSet\\Video\\{X}\\0000"),
        "\\System\\CurrentControlSet\\Video\\{X}\\0000");
    EXPECT_EQ(DeviceMapSystemPart("nothing"), "");
}

struct NotAnException {
    virtual ~NotAnException() = default;
};

TEST(ClReportValues, ExceptionTypeMessageAndModule) {
    const NotAnException object;
    EXPECT_EQ(ExceptionTypeValue(&object), "NotAnException");
    EXPECT_EQ(ReportExceptionTypeText, "NotAnException");
    EXPECT_EQ(ExceptionTypeValue(nullptr), "Unknown exception type");
    // A foreign exception is reported by its own type, so that two types are two reports.
    const TActiveXException io("System.IO.IOException\r\nSystem.Exception", "disk");
    const TActiveXException format("System.FormatException\r\nSystem.Exception", "text");
    EXPECT_EQ(ExceptionTypeValue(&io), "System.IO.IOException");
    EXPECT_EQ(GetExceptionClassText(&format), "System.FormatException");
    EXPECT_EQ(ExceptionMessageValue(false, ""), "Unknown error message.");
    EXPECT_EQ(ReportExceptionMessageText, "Unknown error message.");

    EXPECT_EQ(AccessViolationText(0x40102A, "Kolvane.exe", true, 0),
              "Access violation at address 0040102A in module 'Kolvane.exe'. Write of address "
              "00000000");
    EXPECT_EQ(AccessViolationText(0x7C800000, "", false, 0x10),
              "Access violation at address 7C800000. Read of address 00000010");

    EXPECT_EQ(ModuleNameText("C:\\Kolvane\\Kolvane.exe", " CSV join "), "Kolvane.exe - (CSV join)");
    EXPECT_EQ(ModuleNameText("Kolvane.exe", " "), "Kolvane.exe");
    // 表示.exe: the second byte of 表 is "\".
    EXPECT_EQ(ModuleNameText("C:\\App\\\x95\x5C\x8E\xA6.exe", ""), "\x95\x5C\x8E\xA6.exe");
    EXPECT_EQ(WithoutVsHost("C:\\app\\Tool.vshost.exe"), "C:\\app\\Tool.exe");
    EXPECT_EQ(WithoutVsHost("C:\\x.vshost\\Tool.vshost.exe"), "C:\\x\\Tool.exe"); // every one
}

} // namespace
