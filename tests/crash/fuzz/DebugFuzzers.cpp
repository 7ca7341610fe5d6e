#include "DebugFuzzers.h"

#include <string>
#include <vector>

#include "../support/DebugFixtures.h"
#include "crash/debug/ClDebug.h"
#include "crash/debug/ClDebugData.h"

namespace kvtest {

namespace {

using namespace kv::crash;

constexpr uint32_t kModule = kFuzzModule;

// Offsets to ask about: fixed ones and some taken from the data itself.
std::vector<uint32_t> Probes(const std::string& d) {
    std::vector<uint32_t> p = {0, 1, 0x10, 0x100, 0x800, 0x1000, 0xFFFF, 0x7FFFFFFF, 0xFFFFFFFF};
    for (size_t i = 0; i + 4 <= d.size() && p.size() < 40; i += 1 + d.size() / 16) {
        uint32_t v = 0;
        for (int k = 0; k < 4; ++k) v |= uint32_t(static_cast<uint8_t>(d[i + k])) << (8 * k);
        p.push_back(v);
        p.push_back(v & 0xFFFF);
    }
    return p;
}

uintptr_t QueryAddress(uint32_t offset) {
    return kModule + 0x1000 + uintptr_t{offset};
}

// Asks every probe twice (all once, then all again); answers, when given, get what it said.
void AskSource(const char* reader, TClDebugInfoSource& source, const std::vector<uint32_t>& probes,
               FuzzAnswers* answers) {
    for (int pass = 0; pass < 2; ++pass)
        for (uint32_t offset : probes) {
            TClLocationInfo info;
            FuzzAnswer a;
            a.reader = reader;
            a.pass = pass;
            a.query = QueryAddress(offset);
            a.found = source.GetLocationInfo(a.query, info);
            if (a.found) {
                a.address = info.Address;
                a.unit = info.UnitName;
                a.procedure = info.ProcedureName;
                a.source = info.SourceName;
                a.line = info.LineNumber;
            }
            if (answers) answers->push_back(std::move(a));
        }
}

// A module at kModule whose image is the bytes, with the bytes also as each debug file beside it.
FakeModules ModuleOf(const std::string& d) {
    FakeModules m;
    m.fileNames[kModule] = "C:\\fuzz\\prog.exe";
    for (const char* file : {"C:\\fuzz\\prog.map", "C:\\fuzz\\prog.tds", "C:\\fuzz\\prog.udbg"})
        m.files[file] = d;
    m.memory.Add(kModule, d);
    return m;
}

// The bytes as the module's image or debug file, read by the TD32 and UL sources.
void AsModule(const std::string& d, const std::vector<uint32_t>& probes, FuzzAnswers* answers) {
    const FakeModules m = ModuleOf(d);
    TClDebugInfoTD32 td32(kModule, m);
    AskSource("TD32", td32, probes, answers);
    TClDebugInfoUL ul(kModule, m);
    AskSource("UL", ul, probes, answers);
}

} // namespace

int FuzzMapFile(const uint8_t* data, size_t size, FuzzAnswers* answers) {
    const std::string d(reinterpret_cast<const char*>(data), size);
    const std::vector<uint32_t> probes = Probes(d);
    TClMapScanner scanner(TClMapScanner::TText{d});
    for (uint32_t offset : probes) {
        uint32_t distance = 0;
        scanner.ModuleStartFromAddr(offset);
        scanner.ModuleNameFromAddr(offset);
        scanner.ProcNameFromAddr(offset, distance);
        scanner.LineNumberFromAddr(offset, distance);
        scanner.SourceNameFromAddr(offset);
    }
    TClMapParser parser(TClMapParser::TText{d});
    size_t items = 0;
    parser.FOnClassTable = [&](const TClMapAddress&, uint32_t, const std::string& a,
                               const std::string& b) { items += a.size() + b.size(); };
    parser.FOnSegmentItem = parser.FOnClassTable;
    parser.FOnPublicsByName = [&](const TClMapAddress&, const std::string& a) {
        items += a.size();
    };
    parser.FOnPublicsByValue = parser.FOnPublicsByName;
    parser.FOnLineNumberUnit = [&](const std::string& a, const std::string& b) {
        items += a.size() + b.size();
    };
    parser.FOnLineNumbers = [&](uint32_t, const TClMapAddress&) { ++items; };
    parser.Parse();
    for (size_t pos : {size_t(0), d.size() / 2, d.size() ? d.size() - 1 : 0})
        items += parser.MapStringToFileName(pos).size() + parser.MapStringToStr(pos).size();
    const FakeModules m = ModuleOf(d);
    TClDebugInfoMap source(kModule, m);
    AskSource("map", source, probes, answers);
    return items == ~size_t(0);
}

int FuzzTD32(const uint8_t* data, size_t size, FuzzAnswers* answers) {
    const std::string d(reinterpret_cast<const char*>(data), size);
    const std::vector<uint32_t> probes = Probes(d);
    IsTD32DebugInfoValid(d.data(), d.size());
    TClTD32InfoScanner scanner(d);
    if (scanner.ValidData())
        for (uint32_t offset : probes) {
            uint32_t distance = 0;
            scanner.ModuleNameFromAddr(offset);
            scanner.ProcNameFromAddr(offset, distance);
            scanner.LineNumberFromAddr(offset, distance);
            scanner.SourceNameFromAddr(offset);
        }
    AsModule(d, probes, answers);
    return 0;
}

int FuzzUL(const uint8_t* data, size_t size, FuzzAnswers* answers) {
    const std::string d(reinterpret_cast<const char*>(data), size);
    const std::vector<uint32_t> probes = Probes(d);
    for (bool cache : {true, false}) {
        TClBinDebugScanner scanner(d, cache);
        if (!scanner.ValidFormat()) continue;
        scanner.GetModuleName();
        for (uint32_t offset : probes) {
            uint32_t distance = 0;
            scanner.ModuleNameFromAddr(offset);
            scanner.ProcNameFromAddr(offset, distance);
            scanner.LineNumberFromAddr(offset, distance);
            scanner.SourceNameFromAddr(offset);
            scanner.DataToStr(static_cast<int32_t>(offset));
        }
    }
    AsModule(d, probes, answers);
    return 0;
}

int FuzzDebugData(const uint8_t* data, size_t size, FuzzAnswers* answers) {
    if (size == 0) return 0;
    InstallCodecs(); // the component's own ciphers, as a program's debug data needs them
    static constexpr uint16_t kVersions[] = {404, 450, 499, 501, 502, 6104};
    const std::string d(reinterpret_cast<const char*>(data) + 1, size - 1);
    TDebugDataSource s;
    s.Data = d;
    s.Version = kVersions[(data[0] & 0x7F) % std::size(kVersions)];
    s.Module = kModule;
    s.Password = "pw";
    s.PasswordValid = (data[0] & 0x80) == 0;
    const std::vector<uint32_t> probes = Probes(d);
    for (int pass = 0; pass < 2; ++pass)
        for (uint32_t offset : probes) {
            TDebugDataHit hit;
            FuzzAnswer a;
            a.reader = "debug data";
            a.pass = pass;
            a.query = QueryAddress(offset);
            a.found = FindInDebugData(s, kModule + 0x1000 + offset, hit);
            if (a.found) {
                a.procStart = hit.HasProcStart ? hit.ProcStartAddr : 0;
                a.unit = hit.UnitName;
                a.procedure = hit.ClassName.empty() ? hit.ProcedureName
                                                    : hit.ClassName + "." + hit.ProcedureName;
                a.line = hit.Line;
            }
            if (answers) answers->push_back(std::move(a));
        }
    return 0;
}

} // namespace kvtest
