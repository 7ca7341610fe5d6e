#include "crash/debug/ClDebugInfo.h"

#include <algorithm>
#include <cctype>
#include <mutex>

namespace kv::crash {

bool ShowCrashLogUnits = false;

namespace {

std::vector<std::string>& HiddenUnits() {
    static std::vector<std::string> units;
    return units;
}

int CompareNoCase(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int x = std::toupper(static_cast<unsigned char>(a[i]));
        const int y = std::toupper(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = s.find(sep, start);
        parts.push_back(s.substr(start, at - start));
        if (at == std::string::npos) return parts;
        start = at + 1;
    }
}

bool SplitToDebugInfo(const std::string& text, TCrashDebugInfo& info) {
    const std::vector<std::string> parts = Split(text, '.');
    if (parts.size() != 2 && parts.size() != 3) return false;
    SetShortString(info.UnitName, parts[0] + ".pas");
    SetShortString(info.ClassName, parts.size() == 3 ? parts[1] : std::string());
    SetShortString(info.ProcedureName, parts.back());
    info.DebugDetail = ddUnitAndProcedure;
    return true;
}

} // namespace

void SetShortString(std::string& field, std::string_view text, size_t maxLength) {
    field.assign(text.substr(0, AnsiPrefixLength(text, maxLength)));
}

void SetHiddenUnits(std::vector<std::string> unitFileNames) {
    std::sort(unitFileNames.begin(), unitFileNames.end(),
              [](const std::string& a, const std::string& b) { return CompareNoCase(a, b) < 0; });
    HiddenUnits() = std::move(unitFileNames);
}

bool IsHiddenUnit(std::string_view unitName) {
    const std::vector<std::string>& units = HiddenUnits();
    const auto at = std::lower_bound(
        units.begin(), units.end(), unitName,
        [](const std::string& a, std::string_view b) { return CompareNoCase(a, b) < 0; });
    return at != units.end() && CompareNoCase(*at, unitName) == 0;
}

bool IsFramePrologue(uint32_t address, const TMemoryReader& memory) {
    uint8_t b[3];
    if (!memory.Read(address, b, 3) || b[0] != 0x55) return false;
    return (b[1] == 0x8B && b[2] == 0xEC) || (b[1] == 0x89 && b[2] == 0xE5);
}

bool IsPushEbxPrologue(uint32_t address, const TMemoryReader& memory) {
    uint8_t b;
    return memory.ReadU8(address, b) && b == 0x53;
}

void DebugDataHitToDebugInfo(const TDebugDataHit& hit, uint32_t address, TCrashDebugInfo& info,
                             const TMemoryReader& memory) {
    info.DebugDetail = ddSourceCode;
    info.Addr = address;
    SetShortString(info.UnitName, hit.UnitName);
    SetShortString(info.ClassName, hit.ClassName);
    SetShortString(info.ProcedureName, hit.ProcedureName);
    info.Line = hit.Line;
    info.ProcOffsetLine = 0;
    if (hit.HasProcStart) {
        int64_t first = hit.ProcFirstLine;
        const std::string& name = hit.ProcedureName;
        if (name == "Finalization" ||
            (name != "Initialization" && !IsFramePrologue(hit.ProcStartAddr, memory) &&
             !IsPushEbxPrologue(hit.ProcStartAddr, memory)))
            --first;
        const int64_t distance = int64_t(hit.Line) - first;
        info.ProcOffsetLine = distance < 0 ? 0 : static_cast<uint32_t>(distance);
    }
    if (!ShowCrashLogUnits && IsHiddenUnit(info.UnitName)) {
        info.DebugDetail = ddModule;
        info.UnitName.clear();
        info.ClassName.clear();
        info.ProcedureName.clear();
        info.Line = 0;
        info.ProcOffsetLine = 0;
    }
}

bool ExportNameToDebugInfo(const std::string& name, TCrashDebugInfo& info) {
    if (name.empty()) return false;
    bool parsed = false;
    if (name[0] != '@') {
        if (name.find('.') != std::string::npos) {
            parsed = SplitToDebugInfo(name.substr(0, name.find('@')), info);
        } else if (name[0] != '?') {
            info.UnitName.clear();
            info.ClassName.clear();
            SetShortString(info.ProcedureName, name);
            info.DebugDetail = ddProcedure;
            parsed = true;
        }
    } else if (name.size() > 1 && name[1] != '$') {
        // A compiler-mangled name: @Unit@Class@Proc$params.
        const size_t dollar = name.find('$');
        if (dollar == std::string::npos) return false;
        std::string s = name.substr(0, dollar);
        if (!s.empty() && s.back() == '@') s.pop_back();
        s.erase(0, 1);
        if (const size_t twin = s.find("@@"); twin != std::string::npos) s[twin + 1] = '_';
        for (size_t i = 0; i < s.size();) {
            if (s[i] == '@') {
                s[i] = '.';
                i += 2;
            } else {
                ++i;
            }
        }
        parsed = SplitToDebugInfo(s, info);
    }
    if (parsed && !info.ProcedureName.empty() && info.ProcedureName[0] == '@')
        info.ProcedureName[0] = '_';
    return parsed;
}

} // namespace kv::crash
