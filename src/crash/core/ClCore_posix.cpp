// The native stand-in of ClCore's platform routines, for tests only: 8-bit (ANSI) names and
// values become UTF-8 at the system boundary, INI files are read and written the way the system's
// profile functions do it, the registry and the clipboard are empty, and there are no system
// exceptions to catch.
#include "crash/core/ClCore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>

#include "base/Text.h"
#include "crash/core/ClCorePlatform.h"

namespace kv::crash {

namespace {

constexpr uintptr_t kMainModuleHandle = 0x400000; // stands for the program's module handle

TDateTime FromTm(const std::tm& t, int msec) {
    return EncodeDateTime(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
                          msec);
}

TDateTime NowFrom(std::tm* (*convert)(const time_t*, std::tm*)) {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    std::tm t{};
    convert(&tv.tv_sec, &t);
    return FromTm(t, static_cast<int>(tv.tv_usec / 1000));
}

std::string Pad2(int v) {
    return v < 10 ? "0" + std::to_string(v) : std::to_string(v);
}

// ANSI text to the system's UTF-8 and back.
std::string Native(const std::string& ansi) {
    return kv::Utf16ToUtf8(AnsiToUtf16(ansi));
}

std::string Ansi(const std::string& native) {
    return Utf16ToAnsi(kv::Utf8ToUtf16(native));
}

bool ReadAll(const std::string& fileName, std::string& bytes) {
    std::ifstream in(Native(fileName), std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), {});
    return true;
}

bool SameText(std::string_view a, std::string_view b) {
    return LowerCase(a) == LowerCase(b);
}

// The section name of a "[name]" line; false for other lines.
bool SectionOf(const std::string& line, std::string& name) {
    const std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[') return false;
    const size_t close = t.find(']');
    name = Trim(t.substr(1, (close == std::string::npos ? t.size() : close) - 1));
    return true;
}

bool KeyOf(const std::string& line, std::string& key, std::string& value) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) return false;
    key = Trim(line.substr(0, eq));
    value = Trim(line.substr(eq + 1));
    return true;
}

} // namespace

std::string Real_GetMainModuleFileName() {
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
    return n > 0 ? Ansi(std::string(buf, static_cast<size_t>(n))) : std::string();
}

TDateTime GetModifiedDate(const std::string& fileName) {
    struct stat st {};
    if (stat(Native(fileName).c_str(), &st) != 0) return 0;
    std::tm t{};
    if (!localtime_r(&st.st_mtime, &t)) return 0;
    if (t.tm_year + 1900 < 1980 || t.tm_year + 1900 > 2107) return 0; // no DOS date
    t.tm_sec -= t.tm_sec % 2;
    return FromTm(t, 0);
}

bool SetEnvVariable(const std::string& name, const std::string& value) {
    const std::string n = Native(name);
    return (value.empty() ? unsetenv(n.c_str()) : setenv(n.c_str(), Native(value).c_str(), 1)) == 0;
}

std::string GetUserApplicationsPath() {
    std::string v;
    if (detail::GetEnvRaw("XDG_CONFIG_HOME", v) && !v.empty()) return v;
    if (detail::GetEnvRaw("HOME", v) && !v.empty()) return v + "/.config";
    if (detail::GetEnvRaw("AppData", v) && !v.empty()) return v;
    return std::string(1, kPathDelim);
}

std::string GetLocalUserApplicationsPath() {
    std::string v;
    if (detail::GetEnvRaw("XDG_CACHE_HOME", v) && !v.empty()) return v;
    return GetUserApplicationsPath();
}

std::string GetIniFolder() {
    return GetCrashLogDir();
}

bool DirectoryExists(const std::string& folder) {
    struct stat st {};
    return stat(Native(folder).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileExists(const std::string& fileName) {
    struct stat st {};
    return stat(Native(fileName).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool IsWritableFile(const std::string& fileName) {
    const bool existed = FileExists(fileName);
    const int fd = ::open(Native(fileName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    ::close(fd);
    if (!existed) ::unlink(Native(fileName).c_str());
    return true;
}

bool IsReadableFile(const std::string& fileName) {
    if (!FileExists(fileName)) return false;
    const int fd = ::open(Native(fileName).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

bool TouchFile(const std::u16string& fileName) {
    const std::string name = kv::Utf16ToUtf8(fileName);
    const int fd = ::open(name.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = futimens(fd, nullptr) == 0;
    ::close(fd);
    return ok;
}

uint32_t GetFileSizeByName(const std::string& fileName) {
    struct stat st {};
    if (stat(Native(fileName).c_str(), &st) != 0) return 0;
    return static_cast<uint32_t>(st.st_size);
}

bool ForceDeleteFile(const std::string& fileName) {
    struct stat st {};
    if (stat(Native(fileName).c_str(), &st) == 0)
        chmod(Native(fileName).c_str(), st.st_mode | S_IWUSR);
    return ::unlink(Native(fileName).c_str()) == 0;
}

std::string ReadKey(uintptr_t, std::string_view, const std::string&) {
    return {};
}

bool CheckKey(uintptr_t, std::string_view) {
    return false;
}

// Readable mappings from /proc/self/maps; test use only (not crash-time safe here).
bool IsValidBlockAddr(uintptr_t address, size_t length) {
    if (length == 0) return true;
    std::FILE* maps = std::fopen("/proc/self/maps", "r");
    if (!maps) return false;
    uintptr_t need = address;
    const uintptr_t end = address + length < address ? UINTPTR_MAX : address + length;
    char line[512];
    // Mappings are listed in ascending order; walk adjacent readable ones.
    while (need < end && std::fgets(line, sizeof line, maps)) {
        unsigned long lo = 0, hi = 0;
        char perms[5] = {};
        if (std::sscanf(line, "%lx-%lx %4s", &lo, &hi, perms) != 3) continue;
        if (hi <= need) continue;
        if (lo > need || perms[0] != 'r') break;
        need = hi;
    }
    std::fclose(maps);
    return need >= end;
}

void FlushValidBlockCache() {}

std::string GetMainModuleVersion() {
    return {};
}

bool CopyTextToClipboard(const std::string&) {
    return false;
}

TStrings ParamStrings() {
    std::string all;
    ReadAll("/proc/self/cmdline", all);
    TStrings params;
    size_t start = 0;
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i] != '\0') continue;
        params.push_back(Ansi(all.substr(start, i - start)));
        start = i + 1;
    }
    if (!params.empty()) params.erase(params.begin()); // the program's name
    return params;
}

void TerminateOrRestart(bool) {
    std::_Exit(1);
}

namespace detail {

bool IsAnsiLeadByte(unsigned char b) {
    // Code page 932, the ANSI code page that this build stands in for.
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool GetEnvRaw(const std::string& name, std::string& value) {
    if (name.empty()) return false;
    const char* v = std::getenv(Native(name).c_str());
    if (!v) return false;
    value = Ansi(v);
    return true;
}

TDateTime LocalNow() {
    return NowFrom(localtime_r);
}

TDateTime UtcNow() {
    return NowFrom(gmtime_r);
}

std::string LocaleShortDate(TDateTime value) {
    int y, m, d, h, n, s, ms;
    if (!DecodeDateTime(value, y, m, d, h, n, s, ms)) return {};
    return std::to_string(y) + "/" + Pad2(m) + "/" + Pad2(d);
}

std::string LocaleTime(TDateTime value) {
    int y, m, d, h, n, s, ms;
    if (!DecodeDateTime(value, y, m, d, h, n, s, ms)) return {};
    return std::to_string(h) + ":" + Pad2(n) + ":" + Pad2(s);
}

bool LocaleDateTime(TDateTime value, std::string& text) {
    int y, m, d, h, n, s, ms;
    if (!DecodeDateTime(value, y, m, d, h, n, s, ms)) return false;
    text = LocaleShortDate(value);
    if (h != 0 || n != 0 || s != 0 || ms != 0) text += " " + LocaleTime(value);
    return true;
}

std::string CurrentDir() {
    char buf[PATH_MAX];
    return getcwd(buf, sizeof buf) ? Ansi(buf) : std::string();
}

bool CreateDir(const std::string& folder) {
    return ::mkdir(Native(folder).c_str(), 0755) == 0;
}

std::string FullPathName(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    return IncludeLastBackslash(CurrentDir()) + path;
}

bool FindFirstName(const std::string& pattern, std::string& longName) {
    struct stat st {};
    if (stat(Native(pattern).c_str(), &st) != 0) return false;
    longName = ExtractFileName(pattern);
    return true;
}

std::string ProfileRead(const std::string& fileName, const std::string& section,
                        const std::string& key, const std::string& def) {
    std::string bytes;
    if (!ReadAll(fileName, bytes)) return def;
    TStrings lines;
    SetTextStr(lines, bytes);
    bool inSection = false;
    for (const auto& line : lines) {
        std::string name, k, v;
        if (SectionOf(line, name)) {
            inSection = SameText(name, section);
        } else if (inSection && KeyOf(line, k, v) && SameText(k, key)) {
            if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
                v = v.substr(1, v.size() - 2);
            if (v.size() > 2047) v.resize(2047);
            return v;
        }
    }
    return def;
}

bool ProfileWrite(const std::string& fileName, const std::string& section, const std::string& key,
                  const std::string& value) {
    std::string bytes;
    TStrings lines;
    if (ReadAll(fileName, bytes)) SetTextStr(lines, bytes);
    const std::string entry = key + "=" + value;
    size_t insertAt = std::string::npos;
    bool inSection = false, done = false;
    for (size_t i = 0; i < lines.size() && !done; ++i) {
        std::string name, k, v;
        if (SectionOf(lines[i], name)) {
            if (inSection) break;
            inSection = SameText(name, section);
            if (inSection) insertAt = i + 1;
        } else if (inSection) {
            if (KeyOf(lines[i], k, v) && SameText(k, key)) {
                lines[i] = entry;
                done = true;
            } else if (!Trim(lines[i]).empty()) {
                insertAt = i + 1;
            }
        }
    }
    if (!done) {
        if (insertAt == std::string::npos) {
            if (!lines.empty() && !Trim(lines.back()).empty()) lines.emplace_back();
            lines.push_back("[" + section + "]");
            lines.push_back(entry);
        } else {
            lines.insert(lines.begin() + static_cast<ptrdiff_t>(insertAt), entry);
        }
    }
    std::ofstream out(Native(fileName), std::ios::binary | std::ios::trunc);
    out << GetTextStr(lines);
    return static_cast<bool>(out);
}

std::string NativeFileName(const std::string& fileName) {
    return Native(fileName);
}

bool ReadFileDenyWrite(const std::string& fileName, std::string& data) {
    return FileExists(fileName) && ReadAll(fileName, data); // no share modes here
}

bool RunGuarded(void (*proc)(), SystemFault&) {
    proc();
    return true;
}

std::string ComputerName() {
    char buf[256] = {};
    if (gethostname(buf, sizeof buf - 1) != 0) return {};
    std::string name = buf;
    if (name.size() > 15) name.resize(15);
    return name;
}

uintptr_t ModuleHandleByName(const std::string& name) {
    if (name.empty()) return 0;
    return name == Real_GetMainModuleFileName() ? kMainModuleHandle : 0;
}

uintptr_t ComponentModuleHandle() {
    return kMainModuleHandle;
}

} // namespace detail

} // namespace kv::crash
