#include "crash/report/ClReportValues.h"

#include <cmath>

#include "crash/core/ClCore.h"
#include "crash/capture/CrashLogExceptions.h"
#include "crash/capture/CrashLogUtils.h"

namespace kv::crash {

std::string FormatDuration(double days) {
    // Whole milliseconds first, so that a minute is never shown as 59 seconds.
    const double ms = std::floor(days * 86400000.0 + 0.5);
    const int64_t total = ms < 0 ? 0 : static_cast<int64_t>(ms);
    const int64_t d = total / 86400000;
    const int64_t h = total / 3600000 % 24;
    const int64_t m = total / 60000 % 60;
    const int64_t s = total / 1000 % 60;
    auto unit = [](int64_t n, const char* name) {
        return std::to_string(n) + " " + name + (n > 1 ? "s" : "");
    };
    std::string text;
    if (d) text += unit(d, "day") + ", ";
    if (h) text += unit(h, "hour") + ", ";
    if (m) text += unit(m, "minute") + ", ";
    return text + unit(s, "second");
}

std::string BlankControlRuns(const std::string& text) {
    std::string out;
    bool inRun = false;
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 32) {
            if (!inRun) out += ' ';
            inRun = true;
        } else {
            out += c;
            inRun = false;
        }
    }
    return out;
}

std::string BlankControlChars(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 32 && c != '\r' && c != '\n') c = ' ';
    return out;
}

std::string StripLeadingQuotes(const std::string& text) {
    std::string out = Trim(text);
    if (!out.empty() && out[0] == '"') {
        out.erase(0, 1);
        const size_t next = out.find('"');
        if (next != std::string::npos) out.erase(next, 1);
    }
    return out;
}

std::string ZeroIPAddress() {
    return "000.000.000.000";
}

bool RunningOnWindows95(const TOSVersion& v) {
    return v.Platform == osWin9x && v.Minor < 10;
}
bool RunningOnWindowsNT4(const TOSVersion& v) {
    return v.Platform == osWinNT && v.Major < 5;
}
bool RunningOnVistaOrLater(const TOSVersion& v) {
    return v.Platform == osWinNT && v.Major > 5;
}
bool OSSupportsDisplayDevices(const TOSVersion& v) {
    return !RunningOnWindows95(v) && !RunningOnWindowsNT4(v);
}

std::string GetWindowsVersionName(const TOSVersion& v, bool workstation, bool wow64) {
    const std::string sp = Trim(v.ServicePack);
    const std::string numbers = std::to_string(v.Major) + "." + std::to_string(v.Minor);
    std::string name;
    if (v.Platform == osWin9x) {
        if (v.Minor < 10)
            name = sp == "B" ? "95" : "95 OSR 2";
        else if (v.Minor < 90)
            name = sp == "A" ? "98" : "98 SE";
        else if (v.Minor == 90)
            name = "ME";
        else
            name = numbers;
    } else if (v.Major == 4) {
        name = "NT 4.0";
    } else if (v.Major == 5 && v.Minor == 0) {
        name = "2000";
    } else if (v.Major == 5 && v.Minor == 1) {
        name = "XP";
    } else if (v.Major == 5 && v.Minor == 2) {
        name = workstation ? "XP" : "2003";
    } else if (v.Major == 6 && v.Minor == 0) {
        name = workstation ? "Vista" : "Server 2008";
    } else if (v.Major == 6 && v.Minor == 1) {
        name = workstation ? "7" : "Server 2008 R2";
    } else {
        name = numbers;
    }
    return "Microsoft Windows " + name + (wow64 ? " (64 bit)" : "");
}

std::string OSBuildText(const TOSVersion& v) {
    return std::to_string(v.Platform == osWin9x ? v.Build & 0xFFFF : v.Build);
}

TNetworkValues FormatNetworkValues(const std::vector<TNetworkAdapter>& adapters) {
    TNetworkValues values;
    for (const TNetworkAdapter& a : adapters) {
        std::string dhcp = a.Dhcp ? "ON" : "OFF";
        dhcp.resize(15, ' ');
        values.DHCP += dhcp + " - ";
        values.IPAddress += a.IPAddress + " - ";
        values.Submask += a.Submask + " - ";
        values.Gateway += a.Gateway + " - ";
        if (!a.PerAdapterInfo) {
            values.DNS1 += ZeroIPAddress() + " - ";
            values.DNS2 += ZeroIPAddress() + " - ";
        } else {
            values.DNS1 += (a.DnsServers.empty() ? std::string() : a.DnsServers[0]) + " - ";
            values.DNS2 += (a.DnsServers.size() < 2 ? ZeroIPAddress() : a.DnsServers[1]) + " - ";
        }
    }
    for (std::string* v : {&values.DHCP, &values.IPAddress, &values.Submask, &values.Gateway,
                           &values.DNS1, &values.DNS2})
        if (v->size() >= 3 && v->compare(v->size() - 3, 3, " - ") == 0) v->resize(v->size() - 3);
    return values;
}

std::string FormatMegabytes(uint64_t bytes) {
    return std::to_string((bytes + 524288) / 1048576) + " Mb";
}

std::string FormatGigabytes(uint64_t bytes) {
    // Hundredths, rounded, then trailing zeros of the decimals dropped.
    const uint64_t hundredths = static_cast<uint64_t>(std::floor(bytes / 10737418.24 + 0.5));
    std::string text = std::to_string(hundredths / 100);
    const unsigned decimals = static_cast<unsigned>(hundredths % 100);
    if (decimals) {
        text += '.';
        text += static_cast<char>('0' + decimals / 10);
        if (decimals % 10) text += static_cast<char>('0' + decimals % 10);
    }
    return text + " Gb";
}

std::string ProcessorText(const std::string& nameString, const std::string& vendor,
                          const std::string& identifier) {
    std::string text = Trim(nameString);
    if (text.empty() && !vendor.empty() && !identifier.empty()) text = vendor + " - " + identifier;
    return text.empty() ? "Unknown processor" : text;
}

std::string PrivilegesText(const std::vector<TPrivilege>& privileges) {
    std::string text;
    for (const TPrivilege& p : privileges) {
        std::string name = p.Name;
        if (name.size() < 31) name.resize(31, ' ');
        text += name + (p.Enabled ? " - ON" : " - OFF") + "\r\n";
    }
    return text;
}

std::string ChooseRegisteredName(const std::vector<std::string>& candidates, bool vistaOrLater) {
    for (const std::string& c : candidates)
        if (!c.empty() && !(vistaOrLater && c == "Microsoft")) return c;
    return {};
}

std::string ExceptionMessageText(bool isException, const std::string& message) {
    if (!isException) return "Unknown error message.";
    return !message.empty() && message.back() == '.' ? message : message + ".";
}

std::string ExceptionAddressText(uint32_t address) {
    return address ? IntToHex(address, 8) : std::string();
}

std::string ParametersText(const std::string& commandLine, const std::string& mainModuleFile) {
    const std::string line = StripLeadingQuotes(commandLine);
    const size_t skip = mainModuleFile.size() + 1;
    return skip >= line.size() ? std::string() : Trim(line.substr(skip));
}

std::string VideoCardText(const std::string& adapter, const std::string& version, uint32_t memory) {
    std::string text = Trim(adapter) + " (driver " + version;
    if (memory) text += " - RAM " + std::to_string(memory / 1048576) + " MB";
    return text + ")";
}

std::string DeviceMapSystemPart(const std::string& path) {
    std::string upper = path;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    const size_t at = upper.find("\\SYSTEM");
    return at == std::string::npos ? std::string() : path.substr(at);
}

std::string GetExceptionClassText(const void* exceptionObject) {
    if (!IsValidObjectReference(exceptionObject)) return "Unknown exception type";
    // A foreign exception names its own type: its class is the same for every foreign type.
    if (ClassInheritsFromName(GetValidObjectClass(exceptionObject), "TActiveXException"))
        return static_cast<const TActiveXException*>(exceptionObject)->ExceptionType();
    return GetValidObjectClassName(exceptionObject);
}

std::string ModuleNameText(const std::string& fileName, const std::string& description) {
    const size_t slash = AnsiFindLastOf(fileName, "\\/:");
    std::string text = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    const std::string desc = Trim(description);
    if (!desc.empty()) text += " - (" + desc + ")";
    return text;
}

std::string WithoutVsHost(const std::string& fileName) {
    return QuickStringReplace(fileName, ".vshost", "");
}

__attribute__((init_priority(101))) std::string ReportExceptionTypeText;
__attribute__((init_priority(101))) std::string ReportExceptionMessageText;
__attribute__((init_priority(101))) std::string ReportUserEmail;

std::string ExceptionTypeValue(const void* exceptionObject) {
    ReportExceptionTypeText = GetExceptionClassText(exceptionObject);
    return ReportExceptionTypeText;
}

std::string ExceptionMessageValue(bool isException, const std::string& message) {
    ReportExceptionMessageText = ExceptionMessageText(isException, message);
    return ReportExceptionMessageText;
}

} // namespace kv::crash
