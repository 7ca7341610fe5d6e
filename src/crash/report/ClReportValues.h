#pragma once
// Values of the report's general section that are computed rather than read: durations, text
// clean-up, the Windows version name and the network values. All text is 8-bit ANSI; nothing
// here raises except on memory exhaustion. The values read from the system are in
// ClReportValues_win.cpp (empty natively).
#include <cstdint>
#include <string>
#include <vector>

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

// ---- Read from the system (empty or false natively) ----

TOSVersion GetOSVersion();
bool IsWow64();
bool IsWorkstation();
// "HKLM" style roots are passed as the system's root key handles.
uint32_t ReadRegistryDWord(uintptr_t root, const std::string& key, const std::string& name);
std::string ReadRegistrySubKeyName(uintptr_t root, const std::string& key, uint32_t index);

} // namespace kv::crash
