#include "crash/debug/ClDebugData.h"

#include <algorithm>

#include "crash/debug/ClByteReader.h"
#include "crash/debug/ClDebugModules.h"

namespace kv::crash {

namespace {

constexpr uint8_t kOldNameKey = 0xA9;

// Base64 (RFC 4648) of a name's still-scrambled bytes. The codecs proper belong to the report
// half, which this reader cannot call.
std::string Base64(std::string_view bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = std::min<size_t>(3, bytes.size() - i);
        uint32_t v = 0;
        for (size_t k = 0; k < 3; ++k)
            v = (v << 8) | (k < n ? static_cast<uint8_t>(bytes[i + k]) : 0);
        for (size_t k = 0; k < 4; ++k)
            out.push_back(k <= n ? kAlphabet[(v >> (18 - 6 * k)) & 63] : '=');
    }
    return out;
}

struct TUnitHead {
    size_t NamePos = 0; // position of the unit's name field
    uint32_t FirstLine = 0;
    uint32_t CodeStart = 0;
    uint32_t CodeSize = 0;
    size_t ProgramStart = 0;
    size_t NextPos = 0;
};

// Reads the name field's structure only, so that skipped records cost no deciphering.
bool SkipName(TByteReader& r, uint16_t version) {
    for (;;) {
        uint8_t lb;
        if (!r.U8(lb)) return false;
        const bool more = version >= 502 && (lb & 0x80);
        if (!r.Skip(more ? (lb & 0x7F) : lb)) return false;
        if (!more) return true;
    }
}

bool ReadHead(TByteReader& r, uint16_t version, TUnitHead& h) {
    h.NamePos = r.Position();
    uint32_t nextDistance;
    if (!SkipName(r, version) || !r.U32(h.FirstLine) || !r.U32(h.CodeStart) || !r.U32(h.CodeSize) ||
        !r.U32(nextDistance))
        return false;
    h.ProgramStart = r.Position();
    if (nextDistance > r.Remaining()) return false;
    h.NextPos = h.ProgramStart + nextDistance;
    return true;
}

class TNameReader {
public:
    explicit TNameReader(const TDebugDataSource& s) : s_(s) {}

    // Reads one name field with its continuations; false when it runs past the data.
    bool Read(TByteReader& r, bool unitName, std::string& out) {
        out.clear();
        bool first = true;
        for (;;) {
            uint8_t lb;
            std::string_view raw;
            if (!r.U8(lb)) return false;
            const bool more = s_.Version >= 502 && (lb & 0x80);
            if (!r.Bytes(more ? (lb & 0x7F) : lb, raw)) return false;
            if (!first) out += '.';
            out += Decode(raw);
            first = false;
            if (!more) break;
        }
        if (unitName) {
            if (Scrambled()) {
                if (!out.empty()) out.insert(1, 1, 'c');
            } else if (out.find('.') == std::string::npos) {
                out += ".cpp";
            }
        }
        return true;
    }

private:
    // Names stay scrambled with a wrong password, and also when the cipher is not installed.
    bool Scrambled() const {
        return s_.Version >= 500 &&
               (!s_.PasswordValid || !CLDataCodecs.InitKey || !CLDataCodecs.Decrypt);
    }

    std::string Decode(std::string_view raw) {
        std::string text(raw);
        if (s_.Version < 500) {
            for (char& c : text) c = static_cast<char>(c ^ kOldNameKey);
            return text;
        }
        if (Scrambled()) return text.empty() ? text : "?" + Base64(raw);
        // The key is process-wide and others change it (the password check): it is made again
        // for every lookup, and only when a name is actually read.
        if (!keyReady_) {
            CLDataCodecs.InitKey(s_.Password);
            keyReady_ = true;
        }
        CLDataCodecs.Decrypt(text.data(), text.data(), text.size());
        return text;
    }

    const TDebugDataSource& s_;
    bool keyReady_ = false;
};

uint32_t CodeAddress(const TDebugDataSource& s, uint64_t offset) {
    return static_cast<uint32_t>(uint64_t(s.Module) + 0x1000 + offset);
}

// address within [start, start + size - 1], in 32-bit address arithmetic.
bool Holds(uint32_t start, uint64_t size, uint32_t address) {
    return uint64_t(static_cast<uint32_t>(address - start)) < size;
}

struct TProc {
    bool Known = false;
    std::string ClassName;
    std::string Name;
    int64_t FirstLine = 0;
    uint32_t Start = 0;
};

bool Walk(const TDebugDataSource& s, TByteReader& r, const TUnitHead& h, uint32_t address,
          TDebugDataHit& hit) {
    TNameReader names(s);
    if (!r.Seek(h.ProgramStart)) return false;
    int64_t line = h.FirstLine;
    uint64_t offset = h.CodeStart;
    TProc current;
    std::string previousClass;
    bool found = false;
    while (r.Position() < h.NextPos) {
        TLineProgramEntry e;
        if (!ReadLineProgramEntry(r, s.Version, e)) return false;
        const int64_t newLine = line + e.LineDelta;
        const uint64_t newOffset = offset + e.AddrDelta;
        TProc next;
        if (e.NewProcedure) {
            std::string name;
            if (!names.Read(r, false, name)) return false;
            if (!name.empty() && name[0] == '.') {
                next.ClassName = previousClass;
                next.Name = name.substr(1);
            } else if (const size_t dot = name.find('.'); dot != std::string::npos) {
                next.ClassName = name.substr(0, dot);
                next.Name = name.substr(dot + 1);
            } else {
                next.Name = name;
            }
            if (!next.Name.empty() && next.Name[0] == '@') next.Name[0] = '_';
            previousClass = next.ClassName;
            next.Known = true;
            next.FirstLine = newLine;
            next.Start = CodeAddress(s, newOffset);
            if (!current.Known) current = next;
        }
        if (r.Position() > h.NextPos) return false; // a name ran into the next record
        if (newOffset > offset && Holds(CodeAddress(s, offset), newOffset - offset, address)) {
            found = true;
            break;
        }
        line = newLine;
        offset = newOffset;
        if (e.NewProcedure) current = std::move(next);
    }
    if (!found) {
        const uint64_t end = uint64_t(h.CodeStart) + h.CodeSize;
        if (end <= offset || !Holds(CodeAddress(s, offset), end - offset, address)) return false;
    }
    if (!r.Seek(h.NamePos) || !names.Read(r, true, hit.UnitName)) return false;
    hit.ClassName = current.ClassName;
    hit.ProcedureName = current.Name;
    hit.Line = line < 0 ? 0 : static_cast<uint32_t>(line);
    hit.HasProcStart = current.Known;
    hit.ProcFirstLine = current.FirstLine;
    hit.ProcStartAddr = current.Start;
    return true;
}

} // namespace

bool ReadLineProgramEntry(TByteReader& r, uint16_t version, TLineProgramEntry& e) {
    uint8_t f;
    if (!r.U8(f)) return false;
    e = {};
    if (!(f & 1)) {
        e.LineDelta = (f >> 6) + 1;
        e.AddrDelta = ((f >> 1) & 31) + 1;
        return true;
    }
    if (!(f & 2)) {
        e.LineDelta = (f >> 5) + 1;
        e.AddrDelta = ((f >> 2) & 7) + 1;
        e.NewProcedure = true;
        return true;
    }
    e.NewProcedure = (f & 4) != 0;
    if (!(f & 8)) {
        uint8_t b;
        if (!r.U8(b)) return false;
        const uint32_t w = f | (uint32_t(b) << 8);
        e.LineDelta = static_cast<int32_t>(w >> 11) + 1;
        e.AddrDelta = ((w >> 4) & 127) + 1;
        return true;
    }
    uint8_t b[3];
    if (!r.U8(b[0]) || !r.U8(b[1]) || !r.U8(b[2])) return false;
    const uint32_t d = f | (uint32_t(b[0]) << 8) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 24);
    const uint32_t x = d >> 4;
    if (version >= 423 && x == 0x0FFEFFFE) {
        uint16_t lv, av;
        if (!r.U16(lv) || !r.U16(av)) return false;
        e.LineDelta = static_cast<int16_t>(static_cast<uint16_t>(lv + 1));
        e.AddrDelta = uint32_t(av) + 1;
        return true;
    }
    e.LineDelta = static_cast<int16_t>(static_cast<uint16_t>((x & 0xFFFF) + 1));
    const uint32_t hi = x >> 16;
    e.AddrDelta = hi == 0xFFF ? 0 : hi + 1;
    return true;
}

bool FindInDebugData(const TDebugDataSource& s, uint32_t address, TDebugDataHit& hit) {
    TByteReader r(s.Data);
    if (s.Version >= 405 && s.Version <= 499) {
        uint32_t skipped;
        if (!r.U32(skipped) || !r.Skip(skipped)) return false;
    }
    uint32_t count;
    if (!r.U32(count)) return false;
    for (uint32_t i = 0; i < count;) {
        TUnitHead h;
        if (!ReadHead(r, s.Version, h)) return false;
        ++i;
        if (!Holds(CodeAddress(s, h.CodeStart), h.CodeSize, address)) {
            if (!r.Seek(h.NextPos)) return false;
            continue;
        }
        // The innermost record: later records that start inside this one's code and also hold
        // the address replace it.
        TUnitHead chosen = h;
        uint32_t chosenIndex = i;
        const uint64_t outerEnd = uint64_t(CodeAddress(s, h.CodeStart)) + h.CodeSize;
        size_t pos = h.NextPos;
        for (uint32_t j = i; j < count; ++j) {
            TUnitHead inner;
            if (!r.Seek(pos) || !ReadHead(r, s.Version, inner)) break;
            if (CodeAddress(s, inner.CodeStart) >= outerEnd) break;
            if (Holds(CodeAddress(s, inner.CodeStart), inner.CodeSize, address)) {
                chosen = inner;
                chosenIndex = j + 1;
            }
            pos = inner.NextPos;
        }
        hit = {};
        if (Walk(s, r, chosen, address, hit)) return true;
        i = chosenIndex;
        if (!r.Seek(chosen.NextPos)) return false;
    }
    return false;
}

} // namespace kv::crash
