#include "crash/tools/TDwarfReader.h"

#include <algorithm>
#include <unordered_map>

namespace kv::crash::tools {

namespace {

// Tags, attributes and forms (DWARF 5, with the GNU forms still emitted for older units).
enum : uint32_t {
    DW_TAG_class_type = 0x02,
    DW_TAG_structure_type = 0x13,
    DW_TAG_union_type = 0x17,
    DW_TAG_inlined_subroutine = 0x1d,
    DW_TAG_compile_unit = 0x11,
    DW_TAG_subprogram = 0x2e,
    DW_TAG_interface_type = 0x38,
    DW_TAG_namespace = 0x39,
    DW_TAG_partial_unit = 0x3c,
};
enum : uint32_t {
    DW_AT_name = 0x03,
    DW_AT_stmt_list = 0x10,
    DW_AT_low_pc = 0x11,
    DW_AT_high_pc = 0x12,
    DW_AT_comp_dir = 0x1b,
    DW_AT_abstract_origin = 0x31,
    DW_AT_decl_file = 0x3a,
    DW_AT_declaration = 0x3c,
    DW_AT_specification = 0x47,
    DW_AT_ranges = 0x55,
    DW_AT_call_file = 0x58,
    DW_AT_call_line = 0x59,
    DW_AT_str_offsets_base = 0x72,
    DW_AT_addr_base = 0x73,
    DW_AT_rnglists_base = 0x74,
};
enum : uint32_t {
    DW_FORM_addr = 0x01,
    DW_FORM_block2 = 0x03,
    DW_FORM_block4 = 0x04,
    DW_FORM_data2 = 0x05,
    DW_FORM_data4 = 0x06,
    DW_FORM_data8 = 0x07,
    DW_FORM_string = 0x08,
    DW_FORM_block = 0x09,
    DW_FORM_block1 = 0x0a,
    DW_FORM_data1 = 0x0b,
    DW_FORM_flag = 0x0c,
    DW_FORM_sdata = 0x0d,
    DW_FORM_strp = 0x0e,
    DW_FORM_udata = 0x0f,
    DW_FORM_ref_addr = 0x10,
    DW_FORM_ref1 = 0x11,
    DW_FORM_ref2 = 0x12,
    DW_FORM_ref4 = 0x13,
    DW_FORM_ref8 = 0x14,
    DW_FORM_ref_udata = 0x15,
    DW_FORM_indirect = 0x16,
    DW_FORM_sec_offset = 0x17,
    DW_FORM_exprloc = 0x18,
    DW_FORM_flag_present = 0x19,
    DW_FORM_strx = 0x1a,
    DW_FORM_addrx = 0x1b,
    DW_FORM_ref_sup4 = 0x1c,
    DW_FORM_strp_sup = 0x1d,
    DW_FORM_data16 = 0x1e,
    DW_FORM_line_strp = 0x1f,
    DW_FORM_ref_sig8 = 0x20,
    DW_FORM_implicit_const = 0x21,
    DW_FORM_loclistx = 0x22,
    DW_FORM_rnglistx = 0x23,
    DW_FORM_ref_sup8 = 0x24,
    DW_FORM_strx1 = 0x25,
    DW_FORM_strx2 = 0x26,
    DW_FORM_strx3 = 0x27,
    DW_FORM_strx4 = 0x28,
    DW_FORM_addrx1 = 0x29,
    DW_FORM_addrx2 = 0x2a,
    DW_FORM_addrx3 = 0x2b,
    DW_FORM_addrx4 = 0x2c,
    DW_FORM_GNU_addr_index = 0x1f01,
    DW_FORM_GNU_str_index = 0x1f02,
    DW_FORM_GNU_ref_alt = 0x1f20,
    DW_FORM_GNU_strp_alt = 0x1f21,
};

struct TSections {
    std::string_view info, abbrev, line, str, lineStr, rngLists, ranges, strOffsets, addr;
};

// A reader that yields 0 and marks itself bad instead of reading past its end.
class TCursor {
public:
    TCursor(std::string_view d, size_t pos = 0) : d_(d), pos_(pos) {}
    bool Bad() const { return bad_; }
    size_t Pos() const { return pos_; }
    bool AtEnd() const { return pos_ >= d_.size(); }
    void SetEnd(size_t end) {
        if (end < d_.size()) d_ = d_.substr(0, end);
    }
    uint64_t Fixed(size_t n) {
        if (bad_ || n > d_.size() - std::min(pos_, d_.size()) || pos_ > d_.size()) return Fail();
        uint64_t v = 0;
        for (size_t i = 0; i < n; ++i) v |= uint64_t(static_cast<uint8_t>(d_[pos_ + i])) << (8 * i);
        pos_ += n;
        return v;
    }
    uint64_t U8() { return Fixed(1); }
    uint64_t U16() { return Fixed(2); }
    uint64_t U32() { return Fixed(4); }
    uint64_t ULeb() {
        uint64_t v = 0;
        for (int shift = 0;; shift += 7) {
            if (bad_ || pos_ >= d_.size()) return Fail();
            const uint8_t b = static_cast<uint8_t>(d_[pos_++]);
            if (shift < 64) v |= uint64_t(b & 0x7F) << shift;
            if (!(b & 0x80)) return v;
        }
    }
    int64_t SLeb() {
        int64_t v = 0;
        int shift = 0;
        uint8_t b;
        do {
            if (bad_ || pos_ >= d_.size()) return static_cast<int64_t>(Fail());
            b = static_cast<uint8_t>(d_[pos_++]);
            if (shift < 64) v |= int64_t(b & 0x7F) << shift;
            shift += 7;
        } while (b & 0x80);
        if (shift < 64 && (b & 0x40)) v |= -(int64_t(1) << shift);
        return v;
    }
    std::string_view CStr() {
        if (bad_ || pos_ >= d_.size()) {
            Fail();
            return {};
        }
        const size_t end = d_.find('\0', pos_);
        if (end == std::string_view::npos) {
            Fail();
            return {};
        }
        const std::string_view s = d_.substr(pos_, end - pos_);
        pos_ = end + 1;
        return s;
    }
    void Skip(uint64_t n) {
        if (bad_ || pos_ > d_.size() || n > d_.size() - pos_)
            Fail();
        else
            pos_ += static_cast<size_t>(n);
    }
    void Seek(size_t pos) {
        if (pos > d_.size())
            Fail();
        else
            pos_ = pos;
    }

private:
    uint64_t Fail() {
        bad_ = true;
        pos_ = d_.size();
        return 0;
    }
    std::string_view d_;
    size_t pos_;
    bool bad_ = false;
};

std::string_view StringAt(std::string_view section, uint64_t offset) {
    if (offset >= section.size()) return {};
    const size_t end = section.find('\0', static_cast<size_t>(offset));
    return section.substr(static_cast<size_t>(offset),
                          (end == std::string_view::npos ? section.size() : end) - offset);
}

struct TAbbrevAttr {
    uint32_t Attr;
    uint32_t Form;
    int64_t Implicit;
};
struct TAbbrev {
    uint32_t Tag = 0;
    bool Children = false;
    std::vector<TAbbrevAttr> Attrs;
};
using TAbbrevTable = std::unordered_map<uint64_t, TAbbrev>;

TAbbrevTable ReadAbbrevs(std::string_view section, uint64_t offset) {
    TAbbrevTable table;
    if (offset >= section.size()) return table;
    TCursor c(section, static_cast<size_t>(offset));
    for (;;) {
        const uint64_t code = c.ULeb();
        if (code == 0 || c.Bad()) break;
        TAbbrev a;
        a.Tag = static_cast<uint32_t>(c.ULeb());
        a.Children = c.U8() != 0;
        for (;;) {
            const uint32_t attr = static_cast<uint32_t>(c.ULeb());
            const uint32_t form = static_cast<uint32_t>(c.ULeb());
            if (c.Bad() || (attr == 0 && form == 0)) break;
            const int64_t implicit = form == DW_FORM_implicit_const ? c.SLeb() : 0;
            a.Attrs.push_back({attr, form, implicit});
        }
        if (c.Bad()) break;
        table.emplace(code, std::move(a));
    }
    return table;
}

struct TUnitContext {
    uint64_t Offset = 0; // of the unit header in .debug_info
    int Version = 0;
    int AddrSize = 4;
    int OffsetSize = 4;
    uint64_t StrOffsetsBase = 8;
    uint64_t AddrBase = 8;
    uint64_t RngListsBase = 0;
    bool HasRngListsBase = false;
    uint64_t BaseAddress = 0;
};

enum class TValueKind { None, Unsigned, Signed, String, Reference, Address, StrIndex, AddrIndex };

struct TValue {
    TValueKind Kind = TValueKind::None;
    uint64_t U = 0;
    int64_t S = 0;
    std::string_view Str;
    uint32_t Form = 0;
};

// Reads one attribute value; only the forms the tool uses keep their value.
TValue ReadForm(TCursor& c, uint32_t form, int64_t implicit, const TUnitContext& u,
                const TSections& s, int depth = 0) {
    TValue v;
    v.Form = form;
    switch (form) {
    case DW_FORM_addr:
        v.Kind = TValueKind::Address;
        v.U = c.Fixed(u.AddrSize);
        break;
    case DW_FORM_block2:
        c.Skip(c.U16());
        break;
    case DW_FORM_block4:
        c.Skip(c.U32());
        break;
    case DW_FORM_block:
    case DW_FORM_exprloc:
        c.Skip(c.ULeb());
        break;
    case DW_FORM_block1:
        c.Skip(c.U8());
        break;
    case DW_FORM_data1:
    case DW_FORM_flag:
        v.Kind = TValueKind::Unsigned;
        v.U = c.U8();
        break;
    case DW_FORM_data2:
        v.Kind = TValueKind::Unsigned;
        v.U = c.U16();
        break;
    case DW_FORM_data4:
        v.Kind = TValueKind::Unsigned;
        v.U = c.U32();
        break;
    case DW_FORM_data8:
    case DW_FORM_ref_sig8:
        v.Kind = TValueKind::Unsigned;
        v.U = c.Fixed(8);
        break;
    case DW_FORM_data16:
        c.Skip(16);
        break;
    case DW_FORM_sdata:
        v.Kind = TValueKind::Signed;
        v.S = c.SLeb();
        v.U = static_cast<uint64_t>(v.S);
        break;
    case DW_FORM_udata:
        v.Kind = TValueKind::Unsigned;
        v.U = c.ULeb();
        break;
    case DW_FORM_string:
        v.Kind = TValueKind::String;
        v.Str = c.CStr();
        break;
    case DW_FORM_strp:
        v.Kind = TValueKind::String;
        v.Str = StringAt(s.str, c.Fixed(u.OffsetSize));
        break;
    case DW_FORM_line_strp:
        v.Kind = TValueKind::String;
        v.Str = StringAt(s.lineStr, c.Fixed(u.OffsetSize));
        break;
    case DW_FORM_strp_sup:
    case DW_FORM_GNU_strp_alt:
    case DW_FORM_GNU_ref_alt:
        c.Fixed(u.OffsetSize);
        break;
    case DW_FORM_strx:
    case DW_FORM_GNU_str_index:
        v.Kind = TValueKind::StrIndex;
        v.U = c.ULeb();
        break;
    case DW_FORM_strx1:
    case DW_FORM_strx2:
    case DW_FORM_strx3:
    case DW_FORM_strx4:
        v.Kind = TValueKind::StrIndex;
        v.U = c.Fixed(form - DW_FORM_strx1 + 1);
        break;
    case DW_FORM_addrx:
    case DW_FORM_GNU_addr_index:
        v.Kind = TValueKind::AddrIndex;
        v.U = c.ULeb();
        break;
    case DW_FORM_addrx1:
    case DW_FORM_addrx2:
    case DW_FORM_addrx3:
    case DW_FORM_addrx4:
        v.Kind = TValueKind::AddrIndex;
        v.U = c.Fixed(form - DW_FORM_addrx1 + 1);
        break;
    case DW_FORM_ref_addr:
        v.Kind = TValueKind::Reference;
        v.U = c.Fixed(u.Version <= 2 ? u.AddrSize : u.OffsetSize);
        break;
    case DW_FORM_ref1:
    case DW_FORM_ref2:
    case DW_FORM_ref4:
    case DW_FORM_ref8: {
        static constexpr int kSize[] = {1, 2, 4, 8};
        v.Kind = TValueKind::Reference;
        v.U = u.Offset + c.Fixed(kSize[form - DW_FORM_ref1]);
        break;
    }
    case DW_FORM_ref_udata:
        v.Kind = TValueKind::Reference;
        v.U = u.Offset + c.ULeb();
        break;
    case DW_FORM_ref_sup4:
        c.Skip(4);
        break;
    case DW_FORM_ref_sup8:
        c.Skip(8);
        break;
    case DW_FORM_sec_offset:
        v.Kind = TValueKind::Unsigned;
        v.U = c.Fixed(u.OffsetSize);
        break;
    case DW_FORM_flag_present:
        v.Kind = TValueKind::Unsigned;
        v.U = 1;
        break;
    case DW_FORM_implicit_const:
        v.Kind = TValueKind::Signed;
        v.S = implicit;
        v.U = static_cast<uint64_t>(implicit);
        break;
    case DW_FORM_loclistx:
    case DW_FORM_rnglistx:
        v.Kind = TValueKind::Unsigned;
        v.U = c.ULeb();
        break;
    case DW_FORM_indirect:
        if (depth > 4) {
            c.Skip(~uint64_t(0));
            break;
        }
        return ReadForm(c, static_cast<uint32_t>(c.ULeb()), implicit, u, s, depth + 1);
    default:
        c.Skip(~uint64_t(0)); // an unknown form: the rest of the unit cannot be read
        break;
    }
    return v;
}

std::string_view ResolveString(const TValue& v, const TUnitContext& u, const TSections& s) {
    if (v.Kind == TValueKind::String) return v.Str;
    if (v.Kind != TValueKind::StrIndex) return {};
    TCursor c(s.strOffsets, 0);
    c.Seek(static_cast<size_t>(
        std::min<uint64_t>(u.StrOffsetsBase + v.U * u.OffsetSize, s.strOffsets.size())));
    const uint64_t offset = c.Fixed(u.OffsetSize);
    return c.Bad() ? std::string_view() : StringAt(s.str, offset);
}

uint64_t ResolveAddress(const TValue& v, const TUnitContext& u, const TSections& s, bool& ok) {
    ok = true;
    if (v.Kind == TValueKind::Address) return v.U;
    if (v.Kind == TValueKind::AddrIndex) {
        TCursor c(s.addr, 0);
        c.Seek(
            static_cast<size_t>(std::min<uint64_t>(u.AddrBase + v.U * u.AddrSize, s.addr.size())));
        const uint64_t a = c.Fixed(u.AddrSize);
        ok = !c.Bad();
        return a;
    }
    ok = false;
    return 0;
}

// A debugging entry the tool keeps: scopes, functions and inlined calls.
struct TDie {
    uint64_t Offset = 0;
    uint32_t Tag = 0;
    int32_t Parent = -1; // nearest kept ancestor
    uint32_t Unit = 0;
    std::string_view Name;
    uint64_t Low = 0, High = 0, Ranges = 0, Spec = 0, Origin = 0;
    uint32_t DeclFile = 0, CallFile = 0, CallLine = 0;
    bool HasLow = false, HasHigh = false, HighIsOffset = false, HasRanges = false;
    bool RangesIsIndex = false, HasSpec = false, HasOrigin = false, HasDeclFile = false;
    bool HasCallFile = false, Declaration = false;
};

bool Kept(uint32_t tag) {
    switch (tag) {
    case DW_TAG_class_type:
    case DW_TAG_structure_type:
    case DW_TAG_union_type:
    case DW_TAG_interface_type:
    case DW_TAG_namespace:
    case DW_TAG_subprogram:
    case DW_TAG_inlined_subroutine:
    case DW_TAG_compile_unit:
    case DW_TAG_partial_unit:
        return true;
    default:
        return false;
    }
}

std::string JoinPath(std::string_view dir, std::string_view name) {
    if (name.empty()) return {};
    if (name[0] == '/' || name[0] == '\\' || (name.size() > 1 && name[1] == ':') || dir.empty())
        return NormalisePath(std::string(name));
    return NormalisePath(std::string(dir) + "/" + std::string(name));
}

struct TLineHeaderEntry {
    std::string_view Path;
    uint64_t Dir = 0;
};

// Reads a DWARF 5 directory or file table.
bool ReadEntryTable(TCursor& c, const TUnitContext& u, const TSections& s, int offsetSize,
                    std::vector<TLineHeaderEntry>& out) {
    const uint64_t formatCount = c.U8();
    std::vector<std::pair<uint64_t, uint64_t>> formats;
    for (uint64_t i = 0; i < formatCount && !c.Bad(); ++i) {
        const uint64_t type = c.ULeb();
        formats.emplace_back(type, c.ULeb());
    }
    const uint64_t count = c.ULeb();
    TUnitContext lu = u;
    lu.OffsetSize = offsetSize;
    for (uint64_t i = 0; i < count && !c.Bad(); ++i) {
        TLineHeaderEntry e;
        for (const auto& [type, form] : formats) {
            const TValue v = ReadForm(c, static_cast<uint32_t>(form), 0, lu, s);
            if (type == 1) e.Path = ResolveString(v, lu, s); // DW_LNCT_path
            if (type == 2) e.Dir = v.U;                      // DW_LNCT_directory_index
        }
        out.push_back(e);
    }
    return !c.Bad();
}

// Reads the line program at offset into unit (files and rows).
void ReadLineProgram(const TSections& s, uint64_t offset, const TUnitContext& cu,
                     std::string_view compDir, TDwarfUnit& unit) {
    if (offset >= s.line.size()) return;
    TCursor c(s.line, static_cast<size_t>(offset));
    uint64_t length = c.U32();
    int offsetSize = 4;
    if (length == 0xFFFFFFFF) {
        length = c.Fixed(8);
        offsetSize = 8;
    }
    const size_t end =
        c.Pos() + static_cast<size_t>(std::min<uint64_t>(length, s.line.size() - c.Pos()));
    c.SetEnd(end);
    const int version = static_cast<int>(c.U16());
    if (version < 2 || version > 5) return;
    int addrSize = cu.AddrSize;
    if (version >= 5) {
        addrSize = static_cast<int>(c.U8());
        c.U8(); // segment selector size
    }
    const uint64_t headerLength = c.Fixed(offsetSize);
    const size_t programStart =
        c.Pos() + static_cast<size_t>(std::min<uint64_t>(headerLength, end - c.Pos()));
    const uint64_t minInst = c.U8();
    if (version >= 4) c.U8(); // maximum operations per instruction: 1 on x86
    const bool defaultIsStmt = c.U8() != 0;
    (void)defaultIsStmt;
    const int lineBase = static_cast<int8_t>(c.U8());
    const uint64_t lineRange = c.U8();
    const uint64_t opcodeBase = c.U8();
    std::vector<uint64_t> standardLengths;
    for (uint64_t i = 1; i < opcodeBase && !c.Bad(); ++i) standardLengths.push_back(c.U8());
    if (c.Bad() || lineRange == 0) return;

    std::vector<std::string> dirs;
    if (version >= 5) {
        std::vector<TLineHeaderEntry> dirEntries, fileEntries;
        if (!ReadEntryTable(c, cu, s, offsetSize, dirEntries)) return;
        if (!ReadEntryTable(c, cu, s, offsetSize, fileEntries)) return;
        for (const auto& d : dirEntries) dirs.push_back(JoinPath(compDir, d.Path));
        for (const auto& f : fileEntries)
            unit.Files.push_back(
                JoinPath(f.Dir < dirs.size() ? std::string_view(dirs[f.Dir]) : compDir, f.Path));
    } else {
        dirs.emplace_back(compDir);
        for (;;) {
            const std::string_view d = c.CStr();
            if (c.Bad() || d.empty()) break;
            dirs.push_back(JoinPath(compDir, d));
        }
        unit.Files.push_back(unit.Name); // file 0 is the unit's primary file
        for (;;) {
            const std::string_view f = c.CStr();
            if (c.Bad() || f.empty()) break;
            const uint64_t dir = c.ULeb();
            c.ULeb();
            c.ULeb();
            unit.Files.push_back(
                JoinPath(dir < dirs.size() ? std::string_view(dirs[dir]) : compDir, f));
        }
    }
    if (c.Bad()) return;
    c.Seek(programStart);

    uint64_t address = 0;
    uint32_t file = 1, line = 1;
    auto emit = [&](bool endSequence) { unit.Rows.push_back({address, file, line, endSequence}); };
    while (!c.AtEnd() && !c.Bad()) {
        const uint64_t op = c.U8();
        if (op >= opcodeBase) {
            const uint64_t adjusted = op - opcodeBase;
            address += (adjusted / lineRange) * minInst;
            line = static_cast<uint32_t>(int64_t(line) + lineBase + int64_t(adjusted % lineRange));
            emit(false);
            continue;
        }
        switch (op) {
        case 0: {
            const uint64_t len = c.ULeb();
            const size_t next =
                c.Pos() + static_cast<size_t>(std::min<uint64_t>(len, end - c.Pos()));
            if (len == 0) break;
            const uint64_t sub = c.U8();
            if (sub == 1) { // end of sequence
                emit(true);
                address = 0;
                file = 1;
                line = 1;
            } else if (sub == 2) { // set address
                address = c.Fixed(std::min<uint64_t>(len - 1, 8));
            } else if (sub == 3 && version < 5) { // define file
                const std::string_view f = c.CStr();
                const uint64_t dir = c.ULeb();
                unit.Files.push_back(
                    JoinPath(dir < dirs.size() ? std::string_view(dirs[dir]) : compDir, f));
            }
            c.Seek(next);
            break;
        }
        case 1: // copy
            emit(false);
            break;
        case 2: // advance pc
            address += c.ULeb() * minInst;
            break;
        case 3: // advance line
            line = static_cast<uint32_t>(int64_t(line) + c.SLeb());
            break;
        case 4: // set file
            file = static_cast<uint32_t>(c.ULeb());
            break;
        case 8: // constant add pc
            address += ((255 - opcodeBase) / lineRange) * minInst;
            break;
        case 9: // fixed advance pc
            address += c.U16();
            break;
        default:
            for (uint64_t i = 0; op - 1 < standardLengths.size() && i < standardLengths[op - 1];
                 ++i)
                c.ULeb();
            break;
        }
    }
    (void)addrSize;
}

void ReadRanges(const TDie& d, const TUnitContext& u, const TSections& s,
                std::vector<TDwarfRange>& out) {
    if (d.HasLow && d.HasHigh) {
        const uint64_t high = d.HighIsOffset ? d.Low + d.High : d.High;
        if (high > d.Low) out.push_back({d.Low, high});
        return;
    }
    if (!d.HasRanges) return;
    if (u.Version >= 5) {
        uint64_t offset = d.Ranges;
        if (d.RangesIsIndex) {
            TCursor ic(s.rngLists, 0);
            ic.Seek(static_cast<size_t>(
                std::min<uint64_t>(u.RngListsBase + d.Ranges * u.OffsetSize, s.rngLists.size())));
            offset = u.RngListsBase + ic.Fixed(u.OffsetSize);
            if (ic.Bad()) return;
        }
        if (offset >= s.rngLists.size()) return;
        TCursor c(s.rngLists, static_cast<size_t>(offset));
        uint64_t base = u.BaseAddress;
        auto addrx = [&](uint64_t index) {
            TValue v;
            v.Kind = TValueKind::AddrIndex;
            v.U = index;
            bool ok;
            return ResolveAddress(v, u, s, ok);
        };
        for (int guard = 0; guard < 100000 && !c.Bad(); ++guard) {
            const uint64_t kind = c.U8();
            uint64_t a = 0, b = 0;
            switch (kind) {
            case 0: // end of list
                return;
            case 1: // base addressx
                base = addrx(c.ULeb());
                continue;
            case 2: // startx, endx
                a = addrx(c.ULeb());
                b = addrx(c.ULeb());
                break;
            case 3: // startx, length
                a = addrx(c.ULeb());
                b = a + c.ULeb();
                break;
            case 4: // offset pair
                a = base + c.ULeb();
                b = base + c.ULeb();
                break;
            case 5: // base address
                base = c.Fixed(u.AddrSize);
                continue;
            case 6: // start, end
                a = c.Fixed(u.AddrSize);
                b = c.Fixed(u.AddrSize);
                break;
            case 7: // start, length
                a = c.Fixed(u.AddrSize);
                b = a + c.ULeb();
                break;
            default:
                return;
            }
            if (!c.Bad() && b > a) out.push_back({a, b});
        }
        return;
    }
    if (d.Ranges >= s.ranges.size()) return;
    TCursor c(s.ranges, static_cast<size_t>(d.Ranges));
    const uint64_t selector = u.AddrSize == 8 ? ~uint64_t(0) : 0xFFFFFFFFull;
    uint64_t base = u.BaseAddress;
    for (int guard = 0; guard < 100000 && !c.Bad(); ++guard) {
        const uint64_t a = c.Fixed(u.AddrSize);
        const uint64_t b = c.Fixed(u.AddrSize);
        if (c.Bad() || (a == 0 && b == 0)) return;
        if (a == selector) {
            base = b;
            continue;
        }
        if (b > a) out.push_back({base + a, base + b});
    }
}

class TDwarfImage {
public:
    TDwarfImage(const TSections& s) : s_(s) {}

    void ReadUnits(std::vector<TDwarfUnit>& units) {
        TCursor c(s_.info, 0);
        while (!c.AtEnd() && !c.Bad()) {
            const size_t start = c.Pos();
            uint64_t length = c.U32();
            int offsetSize = 4;
            if (length == 0xFFFFFFFF) {
                length = c.Fixed(8);
                offsetSize = 8;
            }
            if (c.Bad() || length == 0) break;
            const size_t end =
                c.Pos() + static_cast<size_t>(std::min<uint64_t>(length, s_.info.size() - c.Pos()));
            ReadUnit(start, end, offsetSize, c, units);
            c = TCursor(s_.info, end);
        }
        // Entries were kept in reading order, which is offset order: Find searches them.
        Resolve(units);
    }

private:
    void ReadUnit(size_t start, size_t end, int offsetSize, TCursor& c,
                  std::vector<TDwarfUnit>& units) {
        TUnitContext u;
        u.Offset = start;
        u.OffsetSize = offsetSize;
        u.Version = static_cast<int>(c.U16());
        uint64_t abbrevOffset = 0;
        if (u.Version >= 5) {
            const uint64_t type = c.U8();
            u.AddrSize = static_cast<int>(c.U8());
            abbrevOffset = c.Fixed(offsetSize);
            if (type == 4 || type == 5) c.Fixed(8); // skeleton or split: unit id
            if (type == 2 || type == 6) {           // type units: signature and type offset
                c.Fixed(8);
                c.Fixed(offsetSize);
            }
            if (type != 1 && type != 3) return; // only full and partial units hold code
        } else if (u.Version >= 2) {
            abbrevOffset = c.Fixed(offsetSize);
            u.AddrSize = static_cast<int>(c.U8());
        } else {
            return;
        }
        if (c.Bad() || (u.AddrSize != 4 && u.AddrSize != 8)) return;
        auto& abbrevs = abbrevCache_[abbrevOffset];
        if (abbrevs.empty()) abbrevs = ReadAbbrevs(s_.abbrev, abbrevOffset);

        TCursor d(s_.info, c.Pos());
        d.SetEnd(end);
        const uint32_t unitIndex = static_cast<uint32_t>(units.size());
        TDwarfUnit unit;
        std::vector<int32_t> scope{-1};
        bool root = true;
        std::string_view compDir;
        uint64_t stmtList = ~uint64_t(0);
        while (!d.AtEnd() && !d.Bad()) {
            const uint64_t dieOffset = d.Pos();
            const uint64_t code = d.ULeb();
            if (code == 0) {
                if (scope.size() > 1) scope.pop_back();
                continue;
            }
            const auto at = abbrevs.find(code);
            if (at == abbrevs.end()) break;
            const TAbbrev& a = at->second;
            if (root) {
                // The unit's bases come first: strx and addrx values of the same entry need them.
                TCursor pre = d;
                for (const auto& spec : a.Attrs) {
                    const TValue v = ReadForm(pre, spec.Form, spec.Implicit, u, s_);
                    if (spec.Attr == DW_AT_str_offsets_base) u.StrOffsetsBase = v.U;
                    if (spec.Attr == DW_AT_addr_base) u.AddrBase = v.U;
                    if (spec.Attr == DW_AT_rnglists_base) {
                        u.RngListsBase = v.U;
                        u.HasRngListsBase = true;
                    }
                }
            }
            TDie die;
            die.Offset = dieOffset;
            die.Tag = a.Tag;
            die.Unit = unitIndex;
            die.Parent = scope.back();
            for (const auto& spec : a.Attrs) {
                const TValue v = ReadForm(d, spec.Form, spec.Implicit, u, s_);
                if (d.Bad()) break;
                bool ok = false;
                switch (spec.Attr) {
                case DW_AT_name:
                    die.Name = ResolveString(v, u, s_);
                    break;
                case DW_AT_comp_dir:
                    if (root) compDir = ResolveString(v, u, s_);
                    break;
                case DW_AT_stmt_list:
                    if (root) stmtList = v.U;
                    break;
                case DW_AT_low_pc:
                    die.Low = ResolveAddress(v, u, s_, ok);
                    die.HasLow = ok;
                    break;
                case DW_AT_high_pc:
                    if (v.Kind == TValueKind::Address || v.Kind == TValueKind::AddrIndex) {
                        die.High = ResolveAddress(v, u, s_, ok);
                        die.HasHigh = ok;
                    } else if (v.Kind == TValueKind::Unsigned || v.Kind == TValueKind::Signed) {
                        die.High = v.U;
                        die.HasHigh = true;
                        die.HighIsOffset = true;
                    }
                    break;
                case DW_AT_ranges:
                    die.Ranges = v.U;
                    die.HasRanges = true;
                    die.RangesIsIndex = v.Form == DW_FORM_rnglistx;
                    break;
                case DW_AT_specification:
                    die.Spec = v.U;
                    die.HasSpec = v.Kind == TValueKind::Reference;
                    break;
                case DW_AT_abstract_origin:
                    die.Origin = v.U;
                    die.HasOrigin = v.Kind == TValueKind::Reference;
                    break;
                case DW_AT_decl_file:
                    die.DeclFile = static_cast<uint32_t>(v.U);
                    die.HasDeclFile = true;
                    break;
                case DW_AT_call_file:
                    die.CallFile = static_cast<uint32_t>(v.U);
                    die.HasCallFile = true;
                    break;
                case DW_AT_call_line:
                    die.CallLine = static_cast<uint32_t>(v.U);
                    break;
                case DW_AT_declaration:
                    die.Declaration = v.U != 0;
                    break;
                default:
                    break;
                }
            }
            if (d.Bad()) break;
            int32_t index = scope.back();
            if (Kept(a.Tag)) {
                index = static_cast<int32_t>(dies_.size());
                dies_.push_back(die);
            }
            if (root) {
                unit.Name = JoinPath(compDir, die.Name);
                u.BaseAddress = die.HasLow ? die.Low : 0;
                root = false;
            }
            if (a.Children) scope.push_back(index);
        }
        if (stmtList != ~uint64_t(0)) ReadLineProgram(s_, stmtList, u, compDir, unit);
        contexts_.push_back(u);
        units.push_back(std::move(unit));
    }

    const TDie* Find(uint64_t offset) const {
        const auto at = std::lower_bound(dies_.begin(), dies_.end(), offset,
                                         [](const TDie& d, uint64_t o) { return d.Offset < o; });
        return at != dies_.end() && at->Offset == offset ? &*at : nullptr;
    }

    std::string FilePath(const TDie& d, uint32_t index,
                         const std::vector<TDwarfUnit>& units) const {
        const TDwarfUnit& unit = units[d.Unit];
        return index < unit.Files.size() ? unit.Files[index] : std::string();
    }

    void Resolve(std::vector<TDwarfUnit>& units) {
        std::unordered_map<int32_t, std::pair<uint32_t, size_t>> functionOf; // die -> (unit, fn)
        for (size_t i = 0; i < dies_.size(); ++i) {
            const TDie& d = dies_[i];
            if (d.Tag != DW_TAG_subprogram || d.Declaration || (!d.HasLow && !d.HasRanges))
                continue;
            TDwarfFunction f;
            ReadRanges(d, contexts_[d.Unit], s_, f.Ranges);
            if (f.Ranges.empty()) continue;
            // Name and definition file along DW_AT_specification and DW_AT_abstract_origin
            // links; the enclosing classes from the declaration at the end of them.
            const TDie* cur = &d;
            const TDie* last = &d;
            for (int step = 0; cur && step < 8; ++step) {
                if (f.Name.empty() && !cur->Name.empty()) f.Name = std::string(cur->Name);
                if (f.DeclFile.empty() && cur->HasDeclFile)
                    f.DeclFile = FilePath(*cur, cur->DeclFile, units);
                last = cur;
                cur = cur->HasSpec ? Find(cur->Spec) : cur->HasOrigin ? Find(cur->Origin) : nullptr;
            }
            for (int32_t p = last->Parent; p >= 0; p = dies_[p].Parent) {
                const TDie& scope = dies_[p];
                if (scope.Tag == DW_TAG_namespace) continue;
                if (scope.Tag != DW_TAG_class_type && scope.Tag != DW_TAG_structure_type &&
                    scope.Tag != DW_TAG_union_type && scope.Tag != DW_TAG_interface_type)
                    break;
                const std::string name =
                    scope.Name.empty() ? "{anonymous}" : std::string(scope.Name);
                f.ClassName = f.ClassName.empty() ? name : name + "::" + f.ClassName;
            }
            functionOf[static_cast<int32_t>(i)] = {d.Unit, units[d.Unit].Functions.size()};
            units[d.Unit].Functions.push_back(std::move(f));
        }
        for (const TDie& d : dies_) {
            if (d.Tag != DW_TAG_inlined_subroutine || d.Parent < 0) continue;
            const auto at = functionOf.find(d.Parent);
            if (at == functionOf.end()) continue; // not directly inside a concrete function
            TDwarfInline in;
            ReadRanges(d, contexts_[d.Unit], s_, in.Ranges);
            if (in.Ranges.empty()) continue;
            if (d.HasCallFile) in.CallFile = FilePath(d, d.CallFile, units);
            in.CallLine = d.CallLine;
            units[at->second.first].Functions[at->second.second].Inlines.push_back(std::move(in));
        }
    }

    const TSections& s_;
    std::unordered_map<uint64_t, TAbbrevTable> abbrevCache_;
    std::vector<TDie> dies_;
    std::vector<TUnitContext> contexts_;
};

} // namespace

std::string NormalisePath(const std::string& path) {
    std::string p = path;
    std::replace(p.begin(), p.end(), '\\', '/');
    std::vector<std::string> parts;
    size_t start = 0;
    const bool absolute = !p.empty() && p[0] == '/';
    while (start <= p.size()) {
        const size_t at = p.find('/', start);
        const std::string part =
            p.substr(start, at == std::string::npos ? std::string::npos : at - start);
        if (!part.empty() && part != ".") parts.push_back(part);
        if (at == std::string::npos) break;
        start = at + 1;
    }
    std::string out = absolute ? "/" : "";
    for (size_t i = 0; i < parts.size(); ++i) out += (i ? "/" : "") + parts[i];
    return out;
}

bool ReadDwarf(const TPeImageFile& image, std::vector<TDwarfUnit>& units, std::string& err) {
    TSections s;
    s.info = image.Contents(".debug_info");
    s.abbrev = image.Contents(".debug_abbrev");
    s.line = image.Contents(".debug_line");
    s.str = image.Contents(".debug_str");
    s.lineStr = image.Contents(".debug_line_str");
    s.rngLists = image.Contents(".debug_rnglists");
    s.ranges = image.Contents(".debug_ranges");
    s.strOffsets = image.Contents(".debug_str_offsets");
    s.addr = image.Contents(".debug_addr");
    if (s.info.empty() || s.line.empty()) {
        err = "the image holds no DWARF debug information";
        return false;
    }
    TDwarfImage dwarf(s);
    dwarf.ReadUnits(units);
    return true;
}

} // namespace kv::crash::tools
