#pragma once
// Values of the report's general section that are computed rather than read: durations, text
// clean-up, the Windows version name and the network values. All text is 8-bit ANSI; nothing
// here raises except on memory exhaustion. The values read from the system are in
// ClReportValues_win.cpp (empty natively).
#include <cstdint>
#include <string>
#include <vector>

#include "crash/capture/CrashLogExceptions.h" // AccessViolationText

namespace kv::crash {

// "1 day, 12 hours, 0 second": days, hours and minutes only when not 0, seconds always; a unit
// takes an "s" above 1.
std::string FormatDuration(double days);
// Every run of characters below 32 becomes one space.
std::string BlankControlRuns(const std::string& text);
// Every character below 32 other than CR and LF becomes one space.
std::string BlankControlChars(const std::string& text);
// Trimmed; a leading double quote and the next double quote are removed.
std::string StripLeadingQuotes(const std::string& text);
// "000.000.000.000".
std::string ZeroIPAddress();

// The operating system's version fields.
enum TOSPlatform : uint8_t { osWin9x, osWinNT };
struct TOSVersion {
    TOSPlatform Platform = osWinNT;
    uint32_t Major = 0, Minor = 0, Build = 0;
    std::string ServicePack; // the service-pack text
};
bool RunningOnWindows95(const TOSVersion& v);
bool RunningOnWindowsNT4(const TOSVersion& v);
bool RunningOnVistaOrLater(const TOSVersion& v);
bool OSSupportsDisplayDevices(const TOSVersion& v);
// "Microsoft Windows 7 (64 bit)" and the like.
std::string GetWindowsVersionName(const TOSVersion& v, bool workstation, bool wow64);
// The build number as the report shows it (its low 16 bits on the 9x platform).
std::string OSBuildText(const TOSVersion& v);

// One network adapter as the system lists it.
struct TNetworkAdapter {
    bool Dhcp = false;
    std::string IPAddress, Submask, Gateway;
    bool PerAdapterInfo = false; // the per-adapter call succeeded
    std::vector<std::string> DnsServers;
};
// The six network values, each listing every adapter, entries separated by " - ".
struct TNetworkValues {
    std::string DHCP, IPAddress, Submask, Gateway, DNS1, DNS2;
};
TNetworkValues FormatNetworkValues(const std::vector<TNetworkAdapter>& adapters);

// Value / 1048576 rounded, + " Mb".
std::string FormatMegabytes(uint64_t bytes);
// Value / 1073741824 with at most two decimals ("0.##"), + " Gb".
std::string FormatGigabytes(uint64_t bytes);
// The processor name, else "vendor - identifier" when both are known, else "Unknown processor".
std::string ProcessorText(const std::string& nameString, const std::string& vendor,
                          const std::string& identifier);
// One line per privilege: the name padded to 31 characters, " - ON" or " - OFF", CR LF.
struct TPrivilege {
    std::string Name;
    bool Enabled = false;
};
std::string PrivilegesText(const std::vector<TPrivilege>& privileges);
// The first non-empty registered name; on Vista or later "Microsoft" counts as empty.
std::string ChooseRegisteredName(const std::vector<std::string>& candidates, bool vistaOrLater);
// The exception message value: "Unknown error message." for a non-exception object, and a "."
// added when the text does not end with one.
std::string ExceptionMessageText(bool isException, const std::string& message);
// The exception address as 8 hexadecimal digits; empty for 0.
std::string ExceptionAddressText(uint32_t address);
// The command line without the program's name: leading quotes stripped, then the first
// (length of the main module's file name + 1) characters removed, trimmed.
std::string ParametersText(const std::string& commandLine, const std::string& mainModuleFile);
// "adapter (driver version - RAM n MB)", the RAM part only when memory is not 0.
std::string VideoCardText(const std::string& adapter, const std::string& version, uint32_t memory);
// The part of a device-map path from its "\SYSTEM" on (any case); empty when it has none.
std::string DeviceMapSystemPart(const std::string& path);
// The exception type value: a foreign exception's own type text, the class name of any other
// valid object, else "Unknown exception type".
std::string GetExceptionClassText(const void* exceptionObject);
// "name.exe - (description)" from a module's file (folder dropped) and its description; the
// description part only when the trimmed description is not empty.
std::string ModuleNameText(const std::string& fileName, const std::string& description);
// The file name with ".vshost" removed (a host process of the development environment).
std::string WithoutVsHost(const std::string& fileName);

// The report-wide texts the type and message values leave behind for the dialogs and the
// delivery (one report at a time).
extern std::string ReportExceptionTypeText;
// The user's e-mail address of the current report (entered in the report dialogs).
extern std::string ReportUserEmail;
extern std::string ReportExceptionMessageText;
// The exception type and message values; both also set the report-wide texts.
std::string ExceptionTypeValue(const void* exceptionObject);
std::string ExceptionMessageValue(bool isException, const std::string& message);

// ---- Read from the system (empty or false natively) ----

TOSVersion GetOSVersion();
bool IsWow64();
bool IsWorkstation();
// "HKLM" style roots are passed as the system's root key handles.
uint32_t ReadRegistryDWord(uintptr_t root, const std::string& key, const std::string& name);
std::string ReadRegistrySubKeyName(uintptr_t root, const std::string& key, uint32_t index);
// A registry string value (trailing zero bytes removed); empty when missing.
std::string ReadRegistryString(uintptr_t root, const std::string& key, const std::string& name);

// The report's system values; each empty when it cannot be read.
std::string GetProductVersionText(const std::string& fileName);
std::string GetUserIDText();
std::string GetUserNameText();
std::string GetUserCompanyText();
std::string GetPrivilegesText();
std::string GetComputerNameText();
std::string GetTotalMemoryText();
std::string GetFreeMemoryText();
std::string GetTotalDiskText();
std::string GetFreeDiskText();
std::string GetSystemUpTimeText();
std::string GetProcessorText();
std::string GetDisplayModeText();
std::string GetDisplayDPIText();
std::string GetCharsetText();
std::string GetVideoCardText();
std::string GetPrinterText();
std::string GetLanguageText();
// The foreground window's class and text (control runs blanked).
std::string GetFormClassText();
std::string GetFormText();
// The adapters of GetAdaptersInfo with their DNS servers; empty without iphlpapi.dll.
std::vector<TNetworkAdapter> GetNetworkAdapters();

} // namespace kv::crash
