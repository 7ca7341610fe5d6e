// Replays the committed seed corpora of the debug-data fuzz targets and deterministic mutations
// of every seed: bit flips, interesting byte values, cuts and repeated stretches. Each seed as
// committed gives known answers; every answer, mutated or not, keeps the readers' invariants.
// Under ASan natively and under Wine on Windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "DebugFuzzers.h"
#include "FuzzReplay.h"

namespace {

using kvtest::FuzzAnswer;
using kvtest::FuzzAnswers;
using kvtest::Mutator;
using kvtest::Seeds;
using Target = int (*)(const uint8_t*, size_t, FuzzAnswers*);

// What a seed as committed answers at code offset `offset`. A name of "?" stands for a
// scrambled one: "?" and more.
struct Expected {
    const char* seed;
    const char* reader;
    uint32_t offset;
    bool found;
    const char* unit = "";
    const char* procedure = "";
    uint32_t line = 0;
    const char* source = "";
};

bool NameIs(const std::string& name, const char* expected) {
    return std::string(expected) == "?" ? name.size() > 1 && name[0] == '?' : name == expected;
}

void ExpectAnswer(const FuzzAnswers& answers, const Expected& e) {
    SCOPED_TRACE(std::string(e.seed) + ", " + e.reader + ", offset " + std::to_string(e.offset));
    const uintptr_t query = kvtest::kFuzzModule + 0x1000 + uintptr_t{e.offset};
    const auto it = std::find_if(answers.begin(), answers.end(), [&](const FuzzAnswer& a) {
        return a.reader == e.reader && a.query == query;
    });
    ASSERT_NE(it, answers.end()) << "not asked";
    ASSERT_EQ(it->found, e.found);
    EXPECT_PRED2(NameIs, it->unit, e.unit);
    EXPECT_PRED2(NameIs, it->procedure, e.procedure);
    EXPECT_EQ(it->line, e.line);
    EXPECT_EQ(it->source, e.source);
}

// The first answer that breaks an invariant, described; empty when there is none. A location
// names its unit and is the address asked about, and the second asking of every query answers as
// the first did.
std::string Violation(const FuzzAnswers& answers) {
    std::map<std::string, std::vector<const FuzzAnswer*>> passes[2];
    for (const FuzzAnswer& a : answers) {
        passes[a.pass][a.reader].push_back(&a);
        const std::string where = a.reader + " at " + std::to_string(a.query) + ": ";
        if (!a.found || a.reader == "debug data") continue; // stored names may be empty
        if (a.unit.empty()) return where + "a hit without unit name";
        if (a.address != a.query) return where + "location of address " + std::to_string(a.address);
    }
    for (const auto& [reader, first] : passes[0]) {
        const auto& second = passes[1][reader];
        if (second.size() != first.size()) return reader + ": the second pass asked otherwise";
        for (size_t i = 0; i < first.size(); ++i) {
            const FuzzAnswer &x = *first[i], &y = *second[i];
            if (x.query != y.query || x.found != y.found || x.address != y.address ||
                x.procStart != y.procStart || x.unit != y.unit || x.procedure != y.procedure ||
                x.source != y.source || x.line != y.line)
                return reader + " at " + std::to_string(x.query) + ": asked again, answered \"" +
                       y.unit + "|" + y.procedure + "|" + std::to_string(y.line) + "\" after \"" +
                       x.unit + "|" + x.procedure + "|" + std::to_string(x.line) + "\"";
        }
    }
    return {};
}

void Replay(const char* corpus, Target target, std::initializer_list<Expected> expected) {
    const std::map<std::string, std::string> seeds = Seeds(corpus);
    ASSERT_FALSE(seeds.empty()) << corpus;
    Mutator m(0x9E3779B97F4A7C15ull);
    for (const auto& [name, seed] : seeds) {
        FuzzAnswers answers;
        target(reinterpret_cast<const uint8_t*>(seed.data()), seed.size(), &answers);
        EXPECT_EQ(Violation(answers), "") << name;
        size_t rows = 0;
        for (const Expected& e : expected)
            if (name == e.seed) {
                ExpectAnswer(answers, e);
                ++rows;
            }
        EXPECT_GT(rows, 0u) << name << ": a seed without expected answers";
        for (int i = 0; i < 400; ++i) {
            const std::string mutated = m.Mutate(seed);
            answers.clear();
            target(reinterpret_cast<const uint8_t*>(mutated.data()), mutated.size(), &answers);
            const std::string violation = Violation(answers);
            ASSERT_EQ(violation, "") << name << ", mutation " << i;
        }
    }
    target(nullptr, 0, nullptr);
}

TEST(DebugFuzzers, MapFileSeedsAndMutations) {
    Replay("map", kvtest::FuzzMapFile,
           {
               {"full.map", "map", 0x10, true, "System", "System.TObject.Create", 10, "System.pas"},
               {"full.map", "map", 0x800, true, "C:\\src\\Forms.obj"}, // the later segment
               {"full.map", "map", 0x1000, false},
               {"lf_no_class_table.map", "map", 0x10, true, "Lf", "Lf.Start", 4, "Lf.cpp"},
               {"no_lines.map", "map", 0x100, true, "Unit1", "Unit1.TThing.DoIt"},
               {"tiny.map", "map", 0x10, true, "tiny", "tiny.Box.Get", 24, "tiny.cpp"},
               {"tiny.map", "map", 0x100, false},
           });
}
TEST(DebugFuzzers, TD32SeedsAndMutations) {
    Replay("td32", kvtest::FuzzTD32,
           {
               {"two_modules.tds", "TD32", 0x10, true, "Mymod", "TFoo.Bar", 10, "mymod.pas"},
               // After the unit's last line: no line.
               {"two_modules.tds", "TD32", 0x100, true, "Mymod", "", 0, "mymod.pas"},
               {"two_modules.tds", "TD32", 0x800, false},
               {"two_modules.tds", "UL", 0x10, false},
               {"in_image.bin", "TD32", 0x10, true, "Mymod", "TFoo.Bar", 10, "mymod.pas"},
               // The line before the next one, which lies in the source's second segment.
               {"two_segments.tds", "TD32", 0x10, true, "A", "P", 1, "a.pas"},
               {"two_segments.tds", "TD32", 0x100, false},
           });
}
TEST(DebugFuzzers, ULSeedsAndMutations) {
    Replay("ul", kvtest::FuzzUL,
           {
               {"two_units.udbg", "UL", 0x10, true, "UnitA", "TThing.Run", 10, "UnitA.pas"},
               // The last procedure lies in the unit before.
               {"two_units.udbg", "UL", 0x100, true, "UnitB", "", 0, "UnitB.pas"},
               {"two_units.udbg", "TD32", 0x10, false},
               {"no_checksum.udbg", "UL", 0x10, true, "UnitA", "TThing.Run", 10, "UnitA.pas"},
               {"in_image.bin", "UL", 0x10, true, "UnitA", "TThing.Run", 10, "UnitA.pas"},
           });
}
TEST(DebugFuzzers, DebugDataSeedsAndMutations) {
    // tiny.exe's stored debug data (tests/data/crash/tools/tiny.cpp), version 6104.
    Replay("cldata", kvtest::FuzzDebugData,
           {
               {"tiny_6104.bin", "debug data", 0, true, "tiny.cpp", "Box::Inner.Twice", 20},
               {"tiny_6104.bin", "debug data", 0x10, true, "tiny.cpp", "Box.Get", 24},
               {"tiny_6104.bin", "debug data", 0x100, false},
               {"tiny_wrong_password.bin", "debug data", 0x10, true, "?", "?", 24},
           });
}

} // namespace
