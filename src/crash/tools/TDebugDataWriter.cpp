#include "crash/tools/TDebugDataWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "crash/core/ClEncrypt.h"

namespace kv::crash::tools {

namespace {

constexpr int64_t kMaxEntryLineDelta = 32767;
constexpr int64_t kMinEntryLineDelta = -32768;
constexpr uint64_t kMaxEntryAddrDelta = 65536;
constexpr size_t kMaxNamePart = 127;

void PutU16(std::string& out, uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void PutU32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::string WithoutDots(std::string s) {
    std::replace(s.begin(), s.end(), '.', '_');
    return s;
}

// One entry whose deltas fit a form: line delta a signed 16-bit value, address delta 0 to 65536.
void AppendEntry(std::string& out, int32_t ld, uint32_t ad, const TModelProc* proc,
                 const std::string& password) {
    const bool p = proc != nullptr;
    if (!p && ld >= 1 && ld <= 4 && ad >= 1 && ad <= 32) {
        out.push_back(static_cast<char>(((ld - 1) << 6) | ((ad - 1) << 1)));
    } else if (p && ld >= 1 && ld <= 8 && ad >= 1 && ad <= 8) {
        out.push_back(static_cast<char>(((ld - 1) << 5) | ((ad - 1) << 2) | 1));
    } else if (ld >= 1 && ld <= 32 && ad >= 1 && ad <= 128) {
        PutU16(out, (uint32_t(ld - 1) << 11) | ((ad - 1) << 4) | (p ? 4u : 0u) | 3u);
    } else if (ad <= 0xFFF && !(ld == -1 && ad == 0xFFF)) {
        const uint32_t lo = static_cast<uint32_t>(ld - 1) & 0xFFFF;
        const uint32_t hi = ad == 0 ? 0xFFF : ad - 1;
        PutU32(out, (((hi << 16) | lo) << 4) | (p ? 4u : 0u) | 0xBu);
    } else {
        PutU32(out, (0x0FFEFFFEu << 4) | (p ? 4u : 0u) | 0xBu);
        PutU16(out, static_cast<uint32_t>(ld - 1) & 0xFFFF);
        PutU16(out, ad - 1);
    }
    if (p) {
        std::vector<std::string> parts;
        if (!proc->ClassName.empty()) parts.push_back(WithoutDots(proc->ClassName));
        parts.push_back(WithoutDots(proc->Name));
        AppendNameField(out, parts, password);
    }
}

std::string MapPart(std::string s) {
    std::string out;
    for (char c : s) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
        out.push_back(c == '(' ? '{' : c == ')' ? '}' : c == '.' ? '_' : c);
    }
    return out;
}

// A file name inside "(" and ")": no blanks, no parentheses.
std::string MapFileName(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
        out.push_back(c == '(' || c == ')' ? '_' : c);
    }
    return out;
}

std::string UnitBase(const TUnitRecord& r) {
    std::string name = r.FileName;
    if (const size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.resize(dot);
    return MapPart(name);
}

std::string Hex8(uint64_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08X", static_cast<unsigned>(v & 0xFFFFFFFF));
    return buf;
}

} // namespace

void AppendNameField(std::string& out, const std::vector<std::string>& parts,
                     const std::string& password) {
    InitKey(password);
    for (size_t i = 0; i < parts.size(); ++i) {
        std::string bytes = parts[i].substr(0, kMaxNamePart);
        Encrypt(bytes.data(), bytes.data(), bytes.size());
        const bool more = i + 1 < parts.size();
        out.push_back(static_cast<char>(bytes.size() | (more ? 0x80 : 0)));
        out += bytes;
    }
    if (parts.empty()) out.push_back('\0');
}

void AppendLineProgramEntry(std::string& out, int64_t lineDelta, uint64_t addrDelta,
                            const TModelProc* proc, const std::string& password) {
    while (addrDelta > kMaxEntryAddrDelta) {
        AppendEntry(out, 0, static_cast<uint32_t>(kMaxEntryAddrDelta), nullptr, password);
        addrDelta -= kMaxEntryAddrDelta;
    }
    if (lineDelta > kMaxEntryLineDelta || lineDelta < kMinEntryLineDelta) {
        // The address moves first with the old line; the line then moves in steps over empty
        // ranges.
        if (addrDelta > 0) AppendEntry(out, 0, static_cast<uint32_t>(addrDelta), nullptr, password);
        addrDelta = 0;
        while (lineDelta > kMaxEntryLineDelta || lineDelta < kMinEntryLineDelta) {
            const int64_t step = lineDelta > 0 ? kMaxEntryLineDelta : kMinEntryLineDelta;
            AppendEntry(out, static_cast<int32_t>(step), 0, nullptr, password);
            lineDelta -= step;
        }
    }
    AppendEntry(out, static_cast<int32_t>(lineDelta), static_cast<uint32_t>(addrDelta), proc,
                password);
}

std::string WriteDebugData(const std::vector<TUnitRecord>& records, uint64_t imageBase,
                           const std::string& password) {
    std::string body;
    uint32_t count = 0;
    const uint64_t codeBase = imageBase + 0x1000;
    for (const TUnitRecord& r : records) {
        if (r.Start < codeBase || r.End <= r.Start || r.Start - codeBase > 0xFFFFFFFFull) continue;
        const uint64_t size = std::min<uint64_t>(r.End - r.Start, 0xFFFFFFFFull);
        const uint32_t firstLine = r.Lines.empty() ? 0 : r.Lines.front().Line;
        std::string program;
        int64_t line = firstLine;
        uint64_t address = r.Start;
        size_t i = 0, j = 0;
        while (i < r.Lines.size() || j < r.Procs.size()) {
            const uint64_t a = std::min(i < r.Lines.size() ? r.Lines[i].Address : ~uint64_t(0),
                                        j < r.Procs.size() ? r.Procs[j].Address : ~uint64_t(0));
            int64_t newLine = line;
            const TModelProc* proc = nullptr;
            while (i < r.Lines.size() && r.Lines[i].Address == a) newLine = r.Lines[i++].Line;
            while (j < r.Procs.size() && r.Procs[j].Address == a) {
                if (!proc) proc = &r.Procs[j];
                ++j;
            }
            if (a >= r.End) break;
            if (a == address && !proc && newLine == line) continue;
            AppendLineProgramEntry(program, newLine - line, a - address, proc, password);
            line = newLine;
            address = a;
        }
        AppendNameField(body, {r.FileName.substr(0, kMaxNamePart)}, password);
        PutU32(body, firstLine);
        PutU32(body, static_cast<uint32_t>(r.Start - codeBase));
        PutU32(body, static_cast<uint32_t>(size));
        PutU32(body, static_cast<uint32_t>(program.size()));
        body += program;
        ++count;
    }
    std::string out;
    PutU32(out, count);
    return out + body;
}

std::string BuildCLDataTrailer(uint16_t version, double compilationDate, std::string_view options,
                               std::string_view debugData) {
    std::string t;
    PutU16(t, version);
    char date[8];
    std::memcpy(date, &compilationDate, 8); // little-endian IEEE double, as stored
    t.append(date, 8);
    t += options;
    PutU32(t, static_cast<uint32_t>(debugData.size()));
    t += debugData;
    std::string out = t;
    PutU32(out, static_cast<uint32_t>(t.size()));
    PutU32(out, kCLDataTrailerMagic);
    return out;
}

double PosixTimeToDateTime(int64_t seconds) {
    return 25569.0 + static_cast<double>(seconds) / 86400.0;
}

std::string MapPublicName(const TUnitRecord& record, const TModelProc& proc) {
    std::string name = UnitBase(record);
    if (!proc.ClassName.empty()) name += "." + MapPart(proc.ClassName);
    return name + "." + MapPart(proc.Name);
}

std::string WriteMapFile(const std::vector<TUnitRecord>& records, uint64_t imageBase) {
    const uint64_t codeBase = imageBase + 0x1000;
    std::vector<const TUnitRecord*> kept;
    for (const TUnitRecord& r : records)
        if (r.Start >= codeBase && r.End > r.Start && r.End - codeBase <= 0xFFFFFFFFull)
            kept.push_back(&r);
    const uint64_t top = kept.empty() ? 0 : kept.back()->End - codeBase;

    std::string m = "\r\n Start         Length     Name                   Class\r\n";
    m += " 0001:00000000 " + Hex8(top) + "H .text                   CODE\r\n";
    m += "\r\n\r\nDetailed map of segments\r\n\r\n";
    for (const TUnitRecord* r : kept)
        m += " 0001:" + Hex8(r->Start - codeBase) + " " + Hex8(r->End - r->Start) +
             " C=CODE     S=.text    G=(none)   M=" + UnitBase(*r) + "     ACBP=A9\r\n";

    std::vector<std::pair<std::string, uint64_t>> publics;
    for (const TUnitRecord* r : kept)
        for (const TModelProc& p : r->Procs)
            publics.emplace_back(MapPublicName(*r, p), p.Address - codeBase);
    std::vector<std::pair<std::string, uint64_t>> byName = publics;
    std::stable_sort(byName.begin(), byName.end());
    m += "\r\n\r\n  Address             Publics by Name\r\n\r\n";
    for (const auto& [name, offset] : byName)
        m += " 0001:" + Hex8(offset) + "       " + name + "\r\n";
    m += "\r\n\r\n  Address             Publics by Value\r\n\r\n";
    for (const auto& [name, offset] : publics)
        m += " 0001:" + Hex8(offset) + "       " + name + "\r\n";

    for (const TUnitRecord* r : kept) {
        if (r->Lines.empty()) continue;
        m += "\r\n\r\nLine numbers for " + UnitBase(*r) + "(" + MapFileName(r->FileName) +
             ") segment .text\r\n\r\n";
        int column = 0;
        for (const TModelLine& l : r->Lines) {
            char cell[32];
            std::snprintf(cell, sizeof cell, "%6u 0001:%08X", l.Line,
                          static_cast<unsigned>(l.Address - codeBase));
            m += cell;
            m += ++column % 4 == 0 ? "\r\n" : " ";
        }
        if (column % 4 != 0) m += "\r\n";
    }
    m += "\r\n";
    return m;
}

} // namespace kv::crash::tools
