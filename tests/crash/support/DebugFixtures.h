#pragma once
// Builders of debug-data fixtures for the readers' tests and fuzz seeds: byte writers, TD32
// data and UL data made from small descriptions (our toolchain cannot produce those formats),
// and a module access over a synthetic address space and in-memory files.
#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "crash/debug/ClDebug.h"
#include "crash/debug/ClDebugModules.h"
#include "crash/core/ClEncrypt.h"

namespace kvtest {

// The cipher that the component's start-up installs for reading debug names.
inline void InstallCodecs() {
    kv::crash::CLDataCodecs.InitKey = &kv::crash::InitKey;
    kv::crash::CLDataCodecs.Decrypt = &kv::crash::Decrypt;
}

// A name part enciphered as the component stores it.
inline std::string Encipher(std::string text, const std::string& password) {
    kv::crash::InitKey(password);
    kv::crash::Encrypt(text.data(), text.data(), text.size());
    return text;
}

class Bytes {
public:
    Bytes& U8(uint32_t v) {
        s_.push_back(static_cast<char>(v & 0xFF));
        return *this;
    }
    Bytes& U16(uint32_t v) { return U8(v).U8(v >> 8); }
    Bytes& U32(uint32_t v) { return U16(v).U16(v >> 16); }
    Bytes& Raw(const std::string& b) {
        s_ += b;
        return *this;
    }
    Bytes& Zero(size_t n) {
        s_.append(n, '\0');
        return *this;
    }
    void PutU32At(size_t pos, uint32_t v) {
        for (int i = 0; i < 4; ++i) s_[pos + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
    size_t Size() const { return s_.size(); }
    const std::string& Str() const { return s_; }

private:
    std::string s_;
};

// ---- TD32 ---------------------------------------------------------------------------------

struct Td32Line {
    uint32_t Offset;
    uint16_t Line;
};
struct Td32Source {
    uint32_t NameIndex;
    std::vector<std::pair<uint32_t, uint32_t>> Ranges; // (start, end) per segment
    std::vector<std::vector<Td32Line>> Blocks;         // line block per segment
};
struct Td32Proc {
    uint16_t Type; // 0x0204 local, 0x0205 global
    uint32_t NameIndex, Offset, Size;
};
struct Td32Module {
    uint32_t NameIndex;
    std::vector<std::pair<uint32_t, uint32_t>> Segments; // (offset, size)
};
struct Td32Desc {
    std::vector<std::string> Names; // name index 1, 2, ...
    std::vector<Td32Module> Modules;
    std::vector<Td32Proc> Procs;
    std::vector<Td32Source> Sources;
    const char* Signature = "FB09";
};

inline std::string BuildTd32(const Td32Desc& d) {
    std::vector<std::tuple<uint16_t, std::string>> subsections;
    for (const auto& m : d.Modules) {
        Bytes b;
        b.U16(0)
            .U16(0)
            .U16(static_cast<uint32_t>(m.Segments.size()))
            .U16(0)
            .U32(m.NameIndex)
            .Zero(16);
        for (const auto& [offset, size] : m.Segments) b.U16(1).U16(0).U32(offset).U32(size);
        subsections.emplace_back(0x120, b.Str());
    }
    {
        Bytes b;
        b.U32(1); // signature of the symbol subsection
        for (const auto& p : d.Procs) {
            b.U16(2 + 42).U16(p.Type);
            b.U32(0).U32(0).U32(0).U32(p.Size).U32(0).U32(0).U32(p.Offset).U16(1).U32(0);
            b.U32(p.NameIndex).U32(0);
        }
        // A record of another kind, skipped by lookups.
        b.U16(2 + 8).U16(0x0009).U32(0x1234).U32(1);
        subsections.emplace_back(0x125, b.Str());
    }
    for (const auto& s : d.Sources) {
        const uint32_t segs = static_cast<uint32_t>(s.Ranges.size());
        Bytes b;
        b.U16(1).U16(segs).U32(8);     // one file, entry at offset 8
        const size_t entry = b.Size(); // 8
        const size_t blocksAt = entry + 6 + 8 * segs;
        b.U16(segs).U32(s.NameIndex);
        size_t blockPos = blocksAt + 4 * segs; // line blocks after this entry's tables
        std::vector<uint32_t> offsets;
        for (uint32_t i = 0; i < segs; ++i) {
            offsets.push_back(static_cast<uint32_t>(blockPos));
            blockPos += 4 + 6 * s.Blocks[i].size();
        }
        for (uint32_t o : offsets) b.U32(o);
        for (const auto& [start, end] : s.Ranges) b.U32(start).U32(end);
        b.Zero(blocksAt + 4 * segs - b.Size());
        for (const auto& block : s.Blocks) {
            b.U16(1).U16(static_cast<uint32_t>(block.size()));
            for (const auto& l : block) b.U32(l.Offset);
            for (const auto& l : block) b.U16(l.Line);
        }
        subsections.emplace_back(0x127, b.Str());
    }
    {
        Bytes b;
        b.U32(static_cast<uint32_t>(d.Names.size()));
        for (const auto& n : d.Names) b.U8(static_cast<uint32_t>(n.size())).Raw(n).U8(0);
        subsections.emplace_back(0x130, b.Str());
    }
    Bytes out;
    out.Raw(std::string(d.Signature, 4)).U32(0);
    std::vector<std::tuple<uint16_t, uint32_t, uint32_t>> entries;
    for (const auto& [type, bytes] : subsections) {
        entries.emplace_back(type, static_cast<uint32_t>(out.Size()),
                             static_cast<uint32_t>(bytes.size()));
        out.Raw(bytes);
    }
    out.PutU32At(4, static_cast<uint32_t>(out.Size()));
    out.U16(16).U16(12).U32(static_cast<uint32_t>(entries.size())).U32(0).U32(0);
    for (const auto& [type, offset, size] : entries) out.U16(type).U16(1).U32(offset).U32(size);
    const uint32_t total = static_cast<uint32_t>(out.Size()) + 8; // the distance back to the start
    out.Raw(std::string(d.Signature, 4));
    out.U32(total);
    return out.Str();
}

// ---- UL debug data --------------------------------------------------------------------------

struct UdbgDesc {
    std::string ModuleName;
    std::vector<std::pair<uint32_t, std::string>> Modules, Sources;
    std::vector<std::tuple<uint32_t, std::string, std::string>> Procs;
    std::vector<std::pair<uint32_t, uint32_t>> Lines;
    bool Checksum = true;
};

inline void PutValue(Bytes& b, uint32_t v) {
    do {
        const uint32_t low = v & 0x7F;
        v >>= 7;
        b.U8(low | (v ? 0x80 : 0));
    } while (v);
}

inline std::string PackName(const std::string& name) {
    std::string body = name;
    std::string out;
    if (!body.empty() && body[0] == '@') {
        out.push_back(2);
        body.erase(0, 1);
    }
    bool packable = !body.empty();
    for (char c : body)
        packable = packable && ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                                (c >= 'a' && c <= 'z') || c == '_');
    if (!packable) { // scrambled text
        std::string x(1, '\1');
        for (char c : name)
            x.push_back(static_cast<char>(static_cast<uint8_t>(c) == 0xAA ? c : c ^ 0xAA));
        return x + '\0';
    }
    std::vector<uint32_t> codes;
    for (char c : body)
        codes.push_back(c <= '9' && c >= '0'   ? c - '0' + 1
                        : c >= 'A' && c <= 'Z' ? c - 'A' + 11
                        : c >= 'a' && c <= 'z' ? c - 'a' + 37
                                               : 63);
    codes.push_back(0);
    while (codes.size() % 4) codes.push_back(0);
    for (size_t i = 0; i < codes.size(); i += 4) {
        out.push_back(static_cast<char>(codes[i] | (codes[i + 1] << 6)));
        out.push_back(static_cast<char>((codes[i + 1] >> 2) | (codes[i + 2] << 4)));
        out.push_back(static_cast<char>((codes[i + 2] >> 4) | (codes[i + 3] << 2)));
    }
    return out;
}

inline std::string BuildUdbg(const UdbgDesc& d) {
    std::string area;
    std::map<std::string, uint32_t> offsets;
    auto nameOffset = [&](const std::string& n) -> uint32_t {
        if (n.empty()) return 0;
        auto it = offsets.find(n);
        if (it != offsets.end()) return it->second;
        const uint32_t o = static_cast<uint32_t>(area.size()) + 1;
        area += PackName(n);
        offsets[n] = o;
        return o;
    };
    auto table = [&](const std::vector<std::pair<uint32_t, std::string>>& rows) {
        Bytes b;
        uint32_t addr = 0, name = 0;
        for (const auto& [a, n] : rows) {
            const uint32_t o = nameOffset(n);
            PutValue(b, a - addr);
            PutValue(b, o - name);
            addr = a;
            name = o;
        }
        PutValue(b, 0x7FFFFFFF);
        return b.Str();
    };
    const uint32_t own = nameOffset(d.ModuleName);
    const std::string modules = table(d.Modules), sources = table(d.Sources);
    Bytes procs;
    {
        uint32_t addr = 0, first = 0, second = 0;
        for (const auto& [a, f, s] : d.Procs) {
            const uint32_t fo = nameOffset(f), so = nameOffset(s);
            PutValue(procs, a - addr);
            PutValue(procs, fo - first);
            PutValue(procs, so - second);
            addr = a;
            first = fo;
            second = so;
        }
        PutValue(procs, 0x7FFFFFFF);
    }
    Bytes lines;
    {
        uint32_t addr = 0, line = 0;
        for (const auto& [a, l] : d.Lines) {
            PutValue(lines, a - addr);
            PutValue(lines, l - line);
            addr = a;
            line = l;
        }
        PutValue(lines, 0x7FFFFFFF);
    }
    Bytes out;
    out.U32(0x47424455).U8(1);
    const uint32_t base = 34; // the tables follow the header
    uint32_t at = base;
    const uint32_t mAt = at;
    at += static_cast<uint32_t>(modules.size());
    const uint32_t sAt = at;
    at += static_cast<uint32_t>(sources.size());
    const uint32_t pAt = at;
    at += static_cast<uint32_t>(procs.Size());
    const uint32_t lAt = at;
    at += static_cast<uint32_t>(lines.Size());
    out.U32(mAt).U32(sAt).U32(pAt).U32(lAt).U32(at).U32(own).U32(0).U8(d.Checksum ? 1 : 0);
    out.Raw(modules).Raw(sources).Raw(procs.Str()).Raw(lines.Str()).Raw(area);
    while (out.Size() % 4) out.U8(0);
    if (d.Checksum) {
        uint32_t sum = 0;
        for (size_t i = 0; i < out.Size(); i += 4)
            for (int k = 0; k < 4; ++k)
                sum += uint32_t(static_cast<uint8_t>(out.Str()[i + k])) << (8 * k);
        out.PutU32At(29, sum); // the sum with the checksum field zero is the checksum
    }
    return out.Str();
}

// ---- modules ----------------------------------------------------------------------------------

// A module access over a synthetic address space, module file names and in-memory files.
class FakeModules final : public kv::crash::TModuleAccess {
public:
    kv::crash::TRegionMemory memory;
    std::map<uint32_t, std::string> fileNames;
    std::map<std::string, std::string> files;

    const kv::crash::TMemoryReader& Memory() const override { return memory; }
    std::string ModuleFileName(uint32_t module) const override {
        auto it = fileNames.find(module);
        return it == fileNames.end() ? std::string() : it->second;
    }
    bool ReadWholeFile(const std::string& fileName, std::string& bytes) const override {
        auto it = files.find(fileName);
        if (it == files.end()) return false;
        bytes = it->second;
        return true;
    }
};

// The headers of a module image at base with the given sections (name, virtual address,
// bytes) and a debug directory pointing at debugRva (0 for none).
inline std::string
BuildImageHeaders(const std::vector<std::tuple<std::string, uint32_t, uint32_t>>& sections,
                  uint32_t debugRva, uint32_t debugSize) {
    Bytes b;
    b.Raw("MZ").Zero(58).U32(0x80).Zero(0x80 - 64);
    b.Raw(std::string("PE\0\0", 4));
    b.U16(0x14C).U16(static_cast<uint32_t>(sections.size())).Zero(12).U16(224).U16(0x102);
    const size_t optional = b.Size();
    b.U16(0x10B).Zero(222);
    const size_t debugDir = optional + 96 + 6 * 8;
    std::string s = b.Str();
    Bytes dir;
    dir.U32(debugRva).U32(debugSize);
    s.replace(debugDir, 8, dir.Str());
    Bytes t;
    for (const auto& [name, rva, size] : sections) {
        std::string n = name;
        n.resize(8, '\0');
        t.Raw(n).U32(size).U32(rva).U32(size).U32(0).Zero(12).U32(0x40000040);
    }
    return s + t.Str();
}

} // namespace kvtest
