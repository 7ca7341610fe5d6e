#include <gtest/gtest.h>

#include "../support/DebugFixtures.h"
#include "crash/debug/ClByteReader.h"
#include "crash/core/ClBase64.h"
#include "crash/debug/ClDebugData.h"

namespace {

using namespace kv::crash;
using kvtest::Bytes;

constexpr uint32_t kModule = 0x400000;
constexpr uint32_t kCode = kModule + 0x1000;

// Name fields as the component stores them: enciphered (version 500 and later) or XORed.
class Names {
public:
    Names(uint16_t version, std::string password = "")
        : version_(version), password_(std::move(password)) {}
    // One field per part; parts after the first are continuations.
    std::string Field(std::initializer_list<std::string> parts) const {
        std::string out;
        size_t i = 0;
        for (std::string p : parts) {
            const bool more = ++i < parts.size();
            if (version_ < 500)
                for (char& c : p) c = static_cast<char>(c ^ 0xA9);
            else
                p = kvtest::Encipher(p, password_);
            out.push_back(static_cast<char>(p.size() | (more ? 0x80 : 0)));
            out += p;
        }
        return out;
    }

private:
    uint16_t version_;
    std::string password_;
};

struct Unit {
    std::string name; // a name field
    uint32_t firstLine, codeStart, codeSize;
    std::string program;
};

std::string Block(const std::vector<Unit>& units, bool leadingBlock = false) {
    Bytes b;
    if (leadingBlock) b.U32(3).Raw("xyz");
    b.U32(static_cast<uint32_t>(units.size()));
    for (const auto& u : units)
        b.Raw(u.name)
            .U32(u.firstLine)
            .U32(u.codeStart)
            .U32(u.codeSize)
            .U32(static_cast<uint32_t>(u.program.size()))
            .Raw(u.program);
    return b.Str();
}

// Entry encoders (flags byte first).
std::string Short(int ld, int ad) {
    return std::string(1, static_cast<char>(((ld - 1) << 6) | ((ad - 1) << 1)));
}
std::string Proc(int ld, int ad, const std::string& name) {
    return std::string(1, static_cast<char>(((ld - 1) << 5) | ((ad - 1) << 2) | 1)) + name;
}
std::string Word(int ld, int ad, bool proc) {
    return Bytes().U16((uint32_t(ld - 1) << 11) | ((ad - 1) << 4) | (proc ? 4 : 0) | 3).Str();
}
std::string Long(int ld, int ad, bool proc) {
    const uint32_t hi = ad == 0 ? 0xFFF : ad - 1;
    return Bytes()
        .U32((((hi << 16) | (uint32_t(ld - 1) & 0xFFFF)) << 4) | (proc ? 4 : 0) | 0xB)
        .Str();
}
std::string Explicit(int ld, int ad, bool proc) {
    return Bytes()
        .U32((0x0FFEFFFEu << 4) | (proc ? 4 : 0) | 0xB)
        .U16(uint32_t(ld - 1) & 0xFFFF)
        .U16(ad - 1)
        .Str();
}

TDebugDataSource Source(const std::string& data, uint16_t version, std::string password = "",
                        bool valid = true) {
    kvtest::InstallCodecs();
    TDebugDataSource s;
    s.Data = data;
    s.Version = version;
    s.Module = kModule;
    s.Password = std::move(password);
    s.PasswordValid = valid;
    return s;
}

struct Expect {
    const char* name;
    uint32_t offset; // from the code start
    bool found;
    const char* unit;
    const char* cls;
    const char* proc;
    uint32_t line;
};

void ExpectHits(const TDebugDataSource& s, const std::vector<Expect>& cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TDebugDataHit hit;
        ASSERT_EQ(FindInDebugData(s, kCode + c.offset, hit), c.found);
        if (!c.found) continue;
        EXPECT_EQ(hit.UnitName, c.unit);
        EXPECT_EQ(hit.ClassName, c.cls);
        EXPECT_EQ(hit.ProcedureName, c.proc);
        EXPECT_EQ(hit.Line, c.line);
    }
}

TEST(ClDebugData, EntryForms) {
    static const struct {
        const char* name;
        std::string bytes;
        uint16_t version;
        int ld;
        uint32_t ad;
        bool proc;
    } kCases[] = {
        {"short, smallest", Short(1, 1), 6104, 1, 1, false},
        {"short, largest", Short(4, 32), 6104, 4, 32, false},
        {"procedure", Proc(8, 8, ""), 6104, 8, 8, true},
        {"word", Word(32, 128, false), 6104, 32, 128, false},
        {"word starting a procedure", Word(1, 1, true), 6104, 1, 1, true},
        {"long, backwards", Long(-300, 4095, false), 6104, -300, 4095, false},
        {"long, no address move", Long(0, 0, true), 6104, 0, 0, true},
        {"explicit", Explicit(-1, 65536, false), 6104, -1, 65536, false},
        {"explicit marker read as long before 423", Long(-1, 0xFFF, false), 422, -1, 0xFFF, false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        TByteReader r(c.bytes);
        TLineProgramEntry e;
        ASSERT_TRUE(ReadLineProgramEntry(r, c.version, e));
        EXPECT_EQ(e.LineDelta, c.ld);
        EXPECT_EQ(e.AddrDelta, c.ad);
        EXPECT_EQ(e.NewProcedure, c.proc);
        EXPECT_EQ(r.Position(), c.bytes.size());
    }
    const std::string cutBytes = Explicit(1, 1, false).substr(0, 6);
    TByteReader cut(cutBytes);
    TLineProgramEntry e;
    EXPECT_FALSE(ReadLineProgramEntry(cut, 6104, e));
}

// One unit at code offset 0x100: procedures TFoo.Create (lines 10..), Bar of the same class,
// and a free procedure, then the last line running to the end of the code.
std::string SampleBlock(const Names& n) {
    std::string p;
    p += Long(0, 0, true) + n.Field({"TFoo", "Create"}); // (10, 0x100) TFoo.Create
    p += Short(2, 6);                                    // (12, 0x106)
    p += Word(20, 100, true) + n.Field({".Bar"});        // (32, 0x16A) TFoo.Bar
    p += Short(1, 4);                                    // (33, 0x16E)
    p += Proc(3, 2, n.Field({"@Free"}));                 // (36, 0x170) _Free
    p += Explicit(-30, 5000, false);                     // (6, 0x14F8)
    return Block({{n.Field({"Sample"}), 10, 0x100, 0x1500, p}});
}

TEST(ClDebugData, WalksTheLineProgram) {
    const Names n(6104, "secret");
    const std::string data = SampleBlock(n);
    ExpectHits(
        Source(data, 6104, "secret"),
        {
            {"before the unit", 0xFF, false, "", "", "", 0},
            {"first procedure start", 0x100, true, "Sample.cpp", "TFoo", "Create", 10},
            {"second line", 0x106, true, "Sample.cpp", "TFoo", "Create", 12},
            {"class of the previous procedure", 0x16B, true, "Sample.cpp", "TFoo", "Bar", 32},
            {"at sign replaced", 0x171, true, "Sample.cpp", "", "_Free", 36},
            {"explicit entry moved back", 0x14F8, true, "Sample.cpp", "", "_Free", 6},
            {"last byte of the unit", 0x15FF, true, "Sample.cpp", "", "_Free", 6},
            {"after the unit", 0x1600, false, "", "", "", 0},
        });
    TDebugDataHit hit;
    ASSERT_TRUE(FindInDebugData(Source(data, 6104, "secret"), kCode + 0x16C, hit));
    EXPECT_TRUE(hit.HasProcStart);
    EXPECT_EQ(hit.ProcFirstLine, 32);
    EXPECT_EQ(hit.ProcStartAddr, kCode + 0x16A);
}

TEST(ClDebugData, WrongPasswordShowsScrambledNames) {
    const Names n(6104, "secret");
    const std::string data = SampleBlock(n);
    TDebugDataHit hit;
    ASSERT_TRUE(FindInDebugData(Source(data, 6104, "wrong", false), kCode + 0x106, hit));
    EXPECT_EQ(hit.UnitName, "?c" + Base64EncodeString(kvtest::Encipher("Sample", "secret")));
    EXPECT_EQ(hit.ClassName, "?" + Base64EncodeString(kvtest::Encipher("TFoo", "secret")));
    EXPECT_EQ(hit.ProcedureName.substr(0, 1), "?");
    EXPECT_EQ(hit.Line, 12u);
    // A valid but different password deciphers to other bytes: never the plain names.
    ASSERT_TRUE(FindInDebugData(Source(data, 6104, "wrong", true), kCode + 0x106, hit));
    EXPECT_NE(hit.ClassName, "TFoo");
}

TEST(ClDebugData, OlderVersions) {
    // Below 500: names XORed with 0xA9, no continuations (a length byte of 0x80 and more is a
    // plain length); 405 to 499 start with a block that is skipped.
    const Names n(450);
    std::string name = "TBar.Go";
    const std::string p = Long(0, 0, true) + n.Field({name}) + Short(1, 4);
    const std::string data = Block({{n.Field({"Old.pas"}), 5, 0x0, 0x10, p}}, true);
    ExpectHits(Source(data, 450),
               {{"after the skipped block", 0x5, true, "Old.pas", "TBar", "Go", 6}});
    const std::string plain = Block({{n.Field({"Old"}), 5, 0x0, 0x10, p}});
    ExpectHits(Source(plain, 404),
               {{"no leading block below 405", 0x1, true, "Old.cpp", "TBar", "Go", 5}});
    std::string longName(200, 'x');
    const std::string big = Block({{n.Field({longName}), 1, 0x0, 0x4, ""}});
    TDebugDataHit hit;
    ASSERT_TRUE(FindInDebugData(Source(big, 404), kCode, hit));
    EXPECT_EQ(hit.UnitName, longName + ".cpp");
    // 501 reads the top bit as part of the length too; 502 as a continuation.
    const Names n5(6104);
    const std::string cont = Block({{n5.Field({"Unit", "cpp"}), 1, 0x0, 0x4, ""}});
    ASSERT_TRUE(FindInDebugData(Source(cont, 502), kCode, hit));
    EXPECT_EQ(hit.UnitName, "Unit.cpp");
    EXPECT_FALSE(FindInDebugData(Source(cont, 501), kCode, hit));
}

TEST(ClDebugData, InnermostUnitRecordWins) {
    const Names n(6104);
    const std::string data = Block({
        {n.Field({"Outer.cpp"}), 100, 0x000, 0x400, Long(0, 0, true) + n.Field({"OuterProc"})},
        {n.Field({"Inner.h"}), 7, 0x100, 0x100, Long(0, 0, true) + n.Field({"Cls", "InnerProc"})},
        {n.Field({"Later.cpp"}), 1, 0x500, 0x10, ""},
    });
    ExpectHits(Source(data, 6104),
               {
                   {"outer only", 0x050, true, "Outer.cpp", "", "OuterProc", 100},
                   {"inside the inner record", 0x150, true, "Inner.h", "Cls", "InnerProc", 7},
                   {"outer after the inner", 0x300, true, "Outer.cpp", "", "OuterProc", 100},
                   {"record after both", 0x505, true, "Later.cpp", "", "", 1},
                   {"gap between records", 0x450, false, "", "", "", 0},
               });
}

TEST(ClDebugData, MalformedDataFindsNothing) {
    const Names n(6104);
    const std::string good = Block({{n.Field({"A.cpp"}), 1, 0, 0x100, Short(1, 4) + Short(1, 4)}});
    auto patched = [&](size_t pos, uint32_t v) {
        std::string d = good;
        Bytes b;
        b.U32(v);
        d.replace(pos, 4, b.Str());
        return d;
    };
    const size_t nameEnd = 4 + 1 + 5;
    const std::string cases[] = {
        good.substr(0, good.size() - 1),   // next-record distance runs past the end
        patched(nameEnd + 12, 0x7FFFFFFF), // next-record distance huge
        patched(0, 0xFFFFFFFF),            // count larger than the records
        good.substr(0, 6),                 // name runs past the end
        std::string(),                     // nothing at all
        Block({{n.Field({"A.cpp"}), 1, 0, 0x100, std::string(1, '\x0B')}}), // cut entry
        Block({{n.Field({"A.cpp"}), 1, 0, 0x100, Proc(1, 1, "\x7F")}}),     // name past record
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        TDebugDataHit hit;
        const bool found = FindInDebugData(Source(cases[i], 6104), kCode + 0x80, hit);
        if (i == 2) {
            EXPECT_TRUE(found) << "case " << i; // the records that are there still count
        } else {
            EXPECT_FALSE(found) << "case " << i;
        }
    }
}

TEST(ClDebugData, EmptyRangesNeverMatch) {
    // An entry that does not move the address must not turn into a range over everything,
    // also for code at offset 0 of a module loaded at address 0xFFFFF000.
    const Names n(6104);
    const std::string data = Block({{n.Field({"Z.cpp"}), 1, 0, 0x10, Long(5, 0, false)}});
    TDebugDataSource s = Source(data, 6104);
    s.Module = 0xFFFFF000; // code at address 0
    TDebugDataHit hit;
    ASSERT_TRUE(FindInDebugData(s, 0x8, hit));
    EXPECT_EQ(hit.Line, 6u);
    EXPECT_FALSE(FindInDebugData(s, 0x10, hit));
}

} // namespace
