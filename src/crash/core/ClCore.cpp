#include "crash/core/ClCore.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "base/CodePageConv.h"
#include "base/Text.h"
#include "crash/core/ClCorePlatform.h"

namespace kv::crash {

TCriticalErrorProc CriticalError = nullptr;
// Made before the component starts: its start-up sets it.
__attribute__((init_priority(101))) std::string StartupCurrentDir;
bool CallFromCOMObject = false;

namespace {

constexpr double kDateDelta = 693594.0; // days from 0001-01-01 to 1899-12-30
constexpr long long kMSecsPerDay = 86400000;

bool IsDelimiterAt(std::string_view s, size_t i, bool withDrive) {
    const char c = s[i];
    if (c != kPathDelim && !(withDrive && c == ':')) return false;
    return !IsTrailByte(s, i);
}

// Position of the last folder delimiter (with the drive colon on Windows); npos when none.
size_t LastDelimiter(std::string_view s, bool withDrive) {
    for (size_t i = s.size(); i-- > 0;)
        if (IsDelimiterAt(s, i, withDrive)) return i;
    return std::string_view::npos;
}

#ifdef _WIN32
constexpr bool kDriveColon = true;
#else
constexpr bool kDriveColon = false;
#endif

bool IsNameChar(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsLeapYear(int y) {
    return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0);
}

int DaysInMonth(int y, int m) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

template <class Str>
void SplitLines(std::basic_string_view<typename Str::value_type> text, std::vector<Str>& out) {
    out.clear();
    size_t i = 0;
    while (i < text.size() && text[i] != 0) {
        const size_t start = i;
        while (i < text.size() && text[i] != 0 && text[i] != '\r' && text[i] != '\n') ++i;
        out.emplace_back(text.substr(start, i - start));
        if (i < text.size() && text[i] == '\r') ++i;
        if (i < text.size() && text[i] == '\n') ++i;
    }
}

// Digits and decimal exponent of value rounded to 15 significant digits, trailing zeros cut.
void SignificantDigits(double value, std::string& digits, int& exponent) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    const std::string_view text(buf, static_cast<size_t>(r.ptr - buf)); // d.ddddddddddddde+xx
    const size_t e = text.find('e');
    digits.clear();
    for (char c : text.substr(0, e))
        if (c >= '0' && c <= '9') digits += c;
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    int exp = 0;
    std::string_view ex = text.substr(e + 1);
    if (!ex.empty() && ex[0] == '+') ex.remove_prefix(1);
    std::from_chars(ex.data(), ex.data() + ex.size(), exp);
    exponent = exp;
}

} // namespace

// ---- Text of the runtime library ----

std::string Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return std::string(s.substr(b, e - b));
}

std::string UpperCase(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return r;
}

std::string LowerCase(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return r;
}

std::string IntToStr(long long v) {
    return std::to_string(v);
}

std::string IntToHex(uint64_t v, int digits) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string r;
    do {
        r.insert(r.begin(), kHex[v & 15]);
        v >>= 4;
    } while (v != 0);
    if (static_cast<int>(r.size()) < digits)
        r.insert(0, static_cast<size_t>(digits) - r.size(), '0');
    return r;
}

int StrToIntDef(std::string_view s, int def) {
    int v = 0;
    return kv::TryStrToInt(kv::Utf8ToUtf16(s), v) ? v : def;
}

std::string Format(std::string_view pattern, std::initializer_list<std::string_view> args) {
    std::string r;
    auto arg = args.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            if (pattern[i + 1] == 's') {
                if (arg != args.end()) r += *arg++;
                ++i;
                continue;
            }
            if (pattern[i + 1] == '%') {
                r += '%';
                ++i;
                continue;
            }
        }
        r += pattern[i];
    }
    return r;
}

std::u16string AnsiToUtf16(std::string_view s) {
    std::u16string r;
    if (!s.empty() && !kv::PlatformMultiByteToWide(kv::GetAnsiCodePage(), 0, s.data(), s.size(), r))
        for (char c : s) r += static_cast<char16_t>(static_cast<unsigned char>(c));
    return r;
}

std::string Utf16ToAnsi(std::u16string_view s) {
    std::string r;
    if (!s.empty() && !kv::PlatformWideToMultiByte(kv::GetAnsiCodePage(), 0, s.data(), s.size(), r))
        for (char16_t c : s) r += c < 0x100 ? static_cast<char>(c) : '?';
    return r;
}

bool IsTrailByte(std::string_view s, size_t i) {
    if (i >= s.size()) return false;
    size_t k = 0;
    while (k < i) k += detail::IsAnsiLeadByte(static_cast<unsigned char>(s[k])) ? 2 : 1;
    return k > i;
}

size_t AnsiCharSize(std::string_view s, size_t i) {
    return i + 1 < s.size() && detail::IsAnsiLeadByte(static_cast<unsigned char>(s[i])) &&
                   static_cast<unsigned char>(s[i + 1]) >= 0x40
               ? 2
               : 1;
}

size_t AnsiPrefixLength(std::string_view s, size_t maxBytes) {
    if (maxBytes >= s.size()) return s.size();
    size_t n = 0;
    while (n < maxBytes) {
        const size_t next = n + AnsiCharSize(s, n);
        if (next > maxBytes) break;
        n = next;
    }
    return n;
}

size_t AnsiFindLastOf(std::string_view s, std::string_view chars) {
    size_t found = std::string_view::npos;
    for (size_t i = 0; i < s.size(); i += AnsiCharSize(s, i))
        if (AnsiCharSize(s, i) == 1 && chars.find(s[i]) != std::string_view::npos) found = i;
    return found;
}

std::string ExtractFileDrive(std::string_view fileName) {
#ifdef _WIN32
    if (fileName.size() >= 2 && fileName[1] == ':') return std::string(fileName.substr(0, 2));
    if (fileName.size() >= 2 && fileName[0] == '\\' && fileName[1] == '\\') {
        // \\server\share: up to the delimiter after the share name
        size_t n = 0, i = 2;
        for (; i < fileName.size(); ++i)
            if (IsDelimiterAt(fileName, i, false) && ++n == 2) break;
        return std::string(fileName.substr(0, i));
    }
#endif
    return {};
}

std::string ExtractFilePath(std::string_view fileName) {
    const size_t p = LastDelimiter(fileName, kDriveColon);
    return p == std::string_view::npos ? std::string() : std::string(fileName.substr(0, p + 1));
}

std::string ExtractFileName(std::string_view fileName) {
    const size_t p = LastDelimiter(fileName, kDriveColon);
    return std::string(p == std::string_view::npos ? fileName : fileName.substr(p + 1));
}

std::string ExtractFileExt(std::string_view fileName) {
    for (size_t i = fileName.size(); i-- > 0;) {
        if (IsDelimiterAt(fileName, i, kDriveColon)) break;
        if (fileName[i] == '.' && !IsTrailByte(fileName, i)) return std::string(fileName.substr(i));
    }
    return {};
}

std::string ChangeFileExt(std::string_view fileName, std::string_view ext) {
    const std::string old = ExtractFileExt(fileName);
    return std::string(fileName.substr(0, fileName.size() - old.size())) + std::string(ext);
}

// ---- Strings and lists ----

void ExtractList(std::string_view text, TStrings& list, const TCharSet& separators, bool keepEmpty,
                 bool raw) {
    const std::string s = raw ? std::string(text) : Trim(text);
    size_t start = 0;
    for (size_t i = 0; i < s.size(); i += AnsiCharSize(s, i)) {
        // A separator's code as the second byte of a double-byte character separates nothing.
        if (AnsiCharSize(s, i) != 1 || !separators.Contains(static_cast<unsigned char>(s[i])))
            continue;
        std::string item = raw ? s.substr(start, i - start + 1) : Trim(s.substr(start, i - start));
        if (!item.empty() || keepEmpty) list.push_back(std::move(item));
        start = i + 1;
    }
    std::string rest = s.substr(start);
    if (!raw) rest = Trim(rest);
    if (!rest.empty()) list.push_back(std::move(rest));
}

void ExtractStringsEx(const TCharSet& separators, std::string_view text, TStrings& list) {
    size_t i = 0;
    while (i < text.size() && separators.Contains(static_cast<unsigned char>(text[i]))) ++i;
    size_t start = i;
    for (; i < text.size(); i += AnsiCharSize(text, i)) {
        if (AnsiCharSize(text, i) != 1 || !separators.Contains(static_cast<unsigned char>(text[i])))
            continue;
        list.push_back(Trim(text.substr(start, i - start)));
        start = i + 1;
    }
    std::string rest = Trim(text.substr(std::min(start, text.size())));
    if (!rest.empty()) list.push_back(std::move(rest));
}

std::string OneString(std::string_view text) {
    std::string r;
    bool inRun = false;
    for (char c : text) {
        if (static_cast<unsigned char>(c) > 31) {
            r += c;
            inRun = false;
        } else if (!inRun) {
            r += ' ';
            inRun = true;
        }
    }
    return r;
}

size_t PosEx(std::string_view pattern, std::string_view text, size_t start) {
    if (pattern.empty() || start < 1 || start > text.size()) return 0;
    const size_t p = text.find(pattern, start - 1);
    return p == std::string_view::npos ? 0 : p + 1;
}

std::string QuickStringReplace(std::string_view text, std::string_view oldPattern,
                               std::string_view newPattern) {
    if (oldPattern.empty()) return std::string(text);
    std::string r;
    r.reserve(newPattern.size() > oldPattern.size()
                  ? newPattern.size() * (text.size() / oldPattern.size()) +
                        text.size() % oldPattern.size()
                  : text.size());
    size_t i = 0;
    for (;;) {
        const size_t p = text.find(oldPattern, i);
        if (p == std::string_view::npos) break;
        r.append(text.substr(i, p - i));
        r.append(newPattern);
        i = p + oldPattern.size();
    }
    r.append(text.substr(i));
    return r;
}

std::string StringToUtf8(std::string_view text) {
    if (text.empty()) return {};
    std::u16string wide;
    if (!kv::PlatformMultiByteToWide(kv::GetAnsiCodePage(), 0, text.data(), text.size(), wide))
        return {};
    std::string r;
    r.reserve(wide.size() * 3);
    for (char16_t u : wide) {
        if (u < 0x80) {
            r += static_cast<char>(u);
        } else if (u < 0x800) {
            r += static_cast<char>(0xC0 | (u >> 6));
            r += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            r += static_cast<char>(0xE0 | (u >> 12));
            r += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            r += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return r;
}

std::string DotNetHostedFile(std::string_view fileName) {
    return QuickStringReplace(fileName, ".vshost", "");
}

void SetTextStr(TStrings& list, std::string_view text) {
    SplitLines<std::string>(text, list);
}

std::string GetTextStr(const TStrings& list) {
    std::string r;
    for (const auto& line : list) {
        r += line;
        r += "\r\n";
    }
    return r;
}

void LoadFromStream(TStrings& list, kv::TStream& stream) {
    std::string bytes;
    const int64_t left = stream.GetSize() - stream.GetPosition();
    if (left > 0) {
        bytes.resize(static_cast<size_t>(left));
        bytes.resize(stream.Read(bytes.data(), bytes.size()));
    }
    SetTextStr(list, bytes);
}

void LoadFromFile(TStrings& list, const std::u16string& fileName) {
    kv::TFileStream stream(fileName);
    LoadFromStream(list, stream);
}

// ---- Dates and times ----

TDateTime Now() {
    return detail::LocalNow();
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec) {
    const int y = year - 1;
    long long days = static_cast<long long>(y) * 365 + y / 4 - y / 100 + y / 400;
    for (int m = 1; m < month; ++m) days += DaysInMonth(year, m);
    days += day;
    const double date = static_cast<double>(days) - kDateDelta;
    const double time = (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + msec) / kMSecsPerDay;
    return date < 0 ? date - time : date + time;
}

bool DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute,
                    int& second, int& msec) {
    if (!std::isfinite(value)) return false;
    const double whole = std::trunc(value);
    long long ms = std::llround(std::fabs(value - whole) * kMSecsPerDay);
    long long days = static_cast<long long>(whole) + static_cast<long long>(kDateDelta);
    if (ms >= kMSecsPerDay) {
        ms -= kMSecsPerDay;
        days += value < 0 ? -1 : 1;
    }
    if (days < 1 || days > 3652059) return false; // 0001-01-01 .. 9999-12-31
    long long d = days - 1;
    int y = 1;
    y += static_cast<int>(d / 146097) * 400;
    d %= 146097;
    long long i = d / 36524;
    d %= 36524;
    if (i == 4) {
        i = 3;
        d += 36524;
    }
    y += static_cast<int>(i) * 100;
    y += static_cast<int>(d / 1461) * 4;
    d %= 1461;
    i = d / 365;
    d %= 365;
    if (i == 4) {
        i = 3;
        d += 365;
    }
    y += static_cast<int>(i);
    int m = 1;
    while (d >= DaysInMonth(y, m)) d -= DaysInMonth(y, m++);
    year = y;
    month = m;
    day = static_cast<int>(d) + 1;
    hour = static_cast<int>(ms / 3600000);
    minute = static_cast<int>(ms / 60000 % 60);
    second = static_cast<int>(ms / 1000 % 60);
    msec = static_cast<int>(ms % 1000);
    return true;
}

std::string DateTimeToStrFixed(TDateTime value) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    if (value == 0) return "0";
    std::string digits;
    int exp = 0;
    SignificantDigits(value, digits, exp);
    std::string r = value < 0 ? "-" : "";
    if (exp >= 15 || std::fabs(value) < 0.00001) {
        // scientific, as the runtime writes it: 1.5E20, 1E-6
        r += digits[0];
        if (digits.size() > 1) r += "." + digits.substr(1);
        r += "E" + std::to_string(exp);
    } else if (exp < 0) {
        r += "0." + std::string(static_cast<size_t>(-exp - 1), '0') + digits;
    } else {
        const size_t intDigits = static_cast<size_t>(exp) + 1;
        if (digits.size() <= intDigits) {
            r += digits + std::string(intDigits - digits.size(), '0');
        } else {
            r += digits.substr(0, intDigits) + "." + digits.substr(intDigits);
        }
    }
    return r;
}

TDateTime StrToDateTimeFixed(std::string_view text) {
    std::string s = Trim(text);
    std::string_view v = s;
    if (!v.empty() && v[0] == '+') v.remove_prefix(1);
    double value = 0;
    const auto r = std::from_chars(v.data(), v.data() + v.size(), value);
    if (v.empty() || r.ec != std::errc() || r.ptr != v.data() + v.size() || !std::isfinite(value))
        throw EConvertError(u"'" + AnsiToUtf16(text) + u"' is not a valid floating point value");
    return value;
}

std::string DateTimeToStrEx(TDateTime value) {
    std::string text;
    return detail::LocaleDateTime(value, text) ? text : DateTimeToStrFixed(value);
}

int GetGMT() {
    return static_cast<int>(std::lround((detail::LocalNow() - detail::UtcNow()) * 24.0));
}

TDateTime GetGMTDateTime(TDateTime localValue) {
    return localValue - GetGMT() / 24.0;
}

// ---- Environment variables ----

std::string GetEnvVariable(const std::string& name) {
    std::string value;
    if (detail::GetEnvRaw(name, value) && !value.empty()) return value;
    const std::string lower = LowerCase(name);
    if (lower == "date") return detail::LocaleShortDate(Now());
    if (lower == "time") return detail::LocaleTime(Now());
    if (lower == "cd") return detail::CurrentDir();
    return {};
}

std::string ExpandEnvVars(std::string_view text) {
    std::string s(text);
    size_t i = 0;
    while (i < s.size()) {
        if (s[i] != '%') {
            ++i;
            continue;
        }
        const size_t start = i;
        i = start + 1;
        while (i + 1 < s.size() && IsNameChar(s[i])) ++i;
        if (i < s.size() && s[i] == '%') {
            const std::string value = GetEnvVariable(s.substr(start + 1, i - start - 1));
            s.replace(start, i - start + 1, value);
            i = start + value.size();
        } else {
            ++i;
        }
    }
    return s;
}

// ---- Folders and files ----

std::string GetCrashLogDir() {
    return GetUserApplicationsPath() + kPathDelim + "CrashLog";
}

std::string IncludeLastBackslash(std::string_view path) {
    std::string r(path);
    if (r.empty() || !IsDelimiterAt(r, r.size() - 1, false)) r += kPathDelim;
    return r;
}

std::string ExcludeLastBackslash(std::string_view path) {
    if (!path.empty() && IsDelimiterAt(path, path.size() - 1, false)) path.remove_suffix(1);
    return std::string(path);
}

bool ForceDirectoriesEx(std::string_view folder) {
    if (folder.empty()) return false;
    const std::string dir = ExpandEnvVars(ExcludeLastBackslash(folder));
    if (dir.size() < 3 || DirectoryExists(dir)) return true;
    const size_t p = LastDelimiter(dir, false);
    // A name without a folder part lies in the current folder, which exists.
    const std::string parent = p == std::string::npos ? std::string() : dir.substr(0, p + 1);
    if (parent == dir) return true;
    return (parent.empty() || ForceDirectoriesEx(parent)) && detail::CreateDir(dir);
}

bool GetWorkingFile(std::string& fileName, bool addModuleFolder, bool readOnly) {
    fileName = ExpandEnvVars(fileName);
    const auto usable = [readOnly](const std::string& name) {
        return readOnly ? IsReadableFile(name) : IsWritableFile(name);
    };
    if (usable(fileName)) return true;
    std::string dir = GetCrashLogDir();
    if (!DirectoryExists(dir) && !ForceDirectoriesEx(dir)) return false;
    if (addModuleFolder) {
        dir += kPathDelim + ChangeFileExt(ExtractFileName(Real_GetMainModuleFileName()), "");
        if (!DirectoryExists(dir) && !ForceDirectoriesEx(dir)) return false;
    }
    const std::string candidate = dir + kPathDelim + ExtractFileName(fileName);
    if (!usable(candidate)) return false;
    fileName = candidate;
    return true;
}

bool GetWorkingDir(std::string& folder, bool addModuleFolder, bool readOnly) {
    std::string file = IncludeLastBackslash(folder) + "X";
    const bool ok = GetWorkingFile(file, addModuleFolder, readOnly);
    if (ok) folder = file.substr(0, file.size() - 1);
    return ok;
}

std::string GetLongNameFromShort(const std::string& path) {
    if (path.find('~') == std::string::npos) return path;
    const std::string full = detail::FullPathName(path);
    const std::string drive = ExtractFileDrive(full);
    std::string result = drive;
    std::string_view rest = std::string_view(full).substr(drive.size());
    if (!rest.empty() && rest[0] == kPathDelim) {
        result += kPathDelim;
        rest.remove_prefix(1);
    }
    while (true) {
        size_t end = 0;
        while (end < rest.size() && !IsDelimiterAt(rest, end, false)) ++end;
        const std::string_view component = rest.substr(0, end);
        std::string longName;
        if (!detail::FindFirstName(result + std::string(component), longName)) {
            result += rest;
            break;
        }
        result += longName;
        if (end >= rest.size()) break;
        result += kPathDelim;
        rest.remove_prefix(end + 1);
    }
    return result;
}

// ---- INI files ----

namespace {

std::string IniPath(const std::string& fileName) {
    return ExtractFilePath(fileName).empty() ? GetIniFolder() + kPathDelim + fileName : fileName;
}

} // namespace

std::string ReadString(const std::string& fileName, const std::string& section,
                       const std::string& key, const std::string& def) {
    std::string path = IniPath(fileName);
    if (!GetWorkingFile(path, false, false)) return def;
    return detail::ProfileRead(path, section, key, def);
}

int ReadInteger(const std::string& fileName, const std::string& section, const std::string& key,
                int def) {
    return StrToIntDef(ReadString(fileName, section, key, IntToStr(def)), def);
}

bool ReadBool(const std::string& fileName, const std::string& section, const std::string& key,
              bool def) {
    return ReadInteger(fileName, section, key, def ? 1 : 0) == 1;
}

void WriteString(const std::string& fileName, const std::string& section, const std::string& key,
                 const std::string& value) {
    std::string path = IniPath(fileName);
    if (GetWorkingFile(path, false, false)) detail::ProfileWrite(path, section, key, value);
}

void WriteInteger(const std::string& fileName, const std::string& section, const std::string& key,
                  int value) {
    WriteString(fileName, section, key, IntToStr(value));
}

void WriteBool(const std::string& fileName, const std::string& section, const std::string& key,
               bool value) {
    WriteString(fileName, section, key, value ? "1" : "0");
}

// ---- Registry ----

std::string GetCrashLogLabel() {
    std::string edition = ReadKey(kHKeyCurrentUser, "\\Software\\CrashLog", "AppType");
    if (edition == "PRO")
        edition = "Professional";
    else if (edition == "ENT")
        edition = "Enterprise";
    return "CrashLog 6.1.04 " + edition;
}

std::string RADRegistryKey() {
    std::string name = "BDS";
    if (IntoIDE()) {
        for (const std::string& p : ParamStrings()) {
            if (p.size() >= 2 && UpperCase(p.substr(0, 2)) == "-R") {
                name = p.substr(2);
                break;
            }
        }
    }
    return std::string(kRADVendorKey) + name + "\\9.0";
}

std::string RADDir() {
    std::string dir = ReadKey(kHKeyLocalMachine, RADRegistryKey(), "RootDir");
    if (dir.empty()) dir = ReadKey(kHKeyCurrentUser, RADRegistryKey(), "RootDir");
    return ExcludeLastBackslash(dir);
}

// ---- Memory and code addresses ----

// crash-time safe
uintptr_t ConvertAddress(uintptr_t address) {
    if (!IsValidBlockAddr(address, 8)) return address;
    unsigned char code[6];
    std::memcpy(code, reinterpret_cast<const void*>(address), sizeof code);
    if (code[0] != 0xFF || code[1] != 0x25) return address;
    uint32_t cell = 0;
    std::memcpy(&cell, code + 2, 4);
    if (!IsValidBlockAddr(static_cast<uintptr_t>(cell), 4)) return address;
    uint32_t target = 0;
    std::memcpy(&target, reinterpret_cast<const void*>(static_cast<uintptr_t>(cell)), 4);
    return target;
}

// ---- Other ----

namespace {

std::string NormaliseVersion(std::string_view v) {
    TStrings parts;
    size_t start = 0;
    for (size_t i = 0; i <= v.size(); ++i) {
        if (i == v.size() || v[i] == '.') {
            parts.emplace_back(v.substr(start, i - start));
            start = i + 1;
        }
    }
    std::string r;
    for (size_t k = 0; k < parts.size(); ++k) {
        std::string head = parts[k], tail;
        if (k + 1 == parts.size()) {
            const size_t blank = head.find(' ');
            if (blank != std::string::npos) {
                tail = head.substr(blank);
                head.resize(blank);
            }
        }
        if (head.size() < 5) head.insert(0, 5 - head.size(), '0');
        if (k > 0) r += '.';
        r += head + tail;
    }
    for (size_t k = parts.size(); k < 4; ++k) r += ".00000";
    return r;
}

} // namespace

bool IsGreaterVersion(std::string_view first, std::string_view second) {
    if (first.empty() || second.empty()) return false;
    return NormaliseVersion(second) > NormaliseVersion(first);
}

// ---- SafeExec and the unit's start-up ----

namespace {

std::string SystemFaultMessage(const detail::SystemFault& f) {
    if (f.code == 0xC0000005u) {
        return "Access violation at address " + IntToHex(f.address, 8) + ". " +
               (f.info[0] == 0   ? "Read"
                : f.info[0] == 8 ? "Execution"
                                 : "Write") +
               " of address " + IntToHex(f.info[1], 8);
    }
    return "External exception " + IntToHex(f.code, 8) + " at address " + IntToHex(f.address, 8);
}

} // namespace

void SafeExec(void (*proc)(), const char* section) {
    bool isException = true;
    std::string message;
    try {
        detail::SystemFault fault;
        if (detail::RunGuarded(proc, fault)) return;
        message = SystemFaultMessage(fault);
    } catch (const EIgnoreException&) {
        throw;
    } catch (const kv::Exception& e) {
        message = Utf16ToAnsi(e.Message());
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
        isException = false;
    }
    if (CriticalError) {
        CriticalError(
            Format("%s (Address: %s)", {section, IntToHex(reinterpret_cast<uintptr_t>(proc), 8)}));
        throw kv::EAbort();
    }
    throw kv::Exception(AnsiToUtf16(
        isException ? Format("Critical error at: \"%s\"\r\nError: \"%s\".", {section, message})
                    : std::string("General internal error.")));
}

TUnitBodies::TUnitBodies(const char* unitName, void (*init)(), void (*done)())
    : unit_(unitName), done_(done) {
    try {
        if (init) SafeExec(init, (std::string(unit_) + ".Init").c_str());
    } catch (...) {}
}

TUnitBodies::~TUnitBodies() {
    try {
        if (done_) SafeExec(done_, (std::string(unit_) + ".Done").c_str());
    } catch (...) {}
}

namespace {

bool g_intoIde = false;

void ClCoreInit() {
    g_intoIde = UpperCase(ExtractFileName(Real_GetMainModuleFileName())) == "BDS.EXE";
}

void ClCoreDone() {}

TUnitBodies g_unitBodies __attribute__((init_priority(101))){"ClCore", ClCoreInit, ClCoreDone};

} // namespace

bool IntoIDE() {
    return g_intoIde;
}

} // namespace kv::crash
