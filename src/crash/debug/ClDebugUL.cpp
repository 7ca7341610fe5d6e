// UL binary debug data ("UDBG", version 1): delta-coded tables of modules, source names,
// procedures and lines over a name area of packed 6-bit or XOR-scrambled names.
#include <algorithm>
#include <cstring>

#include "crash/debug/ClByteReader.h"
#include "crash/core/ClCore.h"
#include "crash/debug/ClDebug.h"

namespace kv::crash {

namespace {

constexpr uint32_t kSignature = 0x47424455; // "UDBG"
constexpr int kModulesTable = 5;
constexpr int kSourceNamesTable = 9;
constexpr int kProcNamesTable = 13;
constexpr int kLineNumbersTable = 17;
constexpr int kNameArea = 21;
constexpr int kModuleName = 25;
constexpr int kChecksum = 29;
constexpr int kChecksumPresent = 33;
constexpr size_t kHeaderSize = 35;
constexpr int32_t kTableEnd = 0x7FFFFFFF;
constexpr size_t kMaxPackedName = 254;
// Section data larger than this is not taken from an image.
constexpr uint32_t kMaxSectionData = 0x10000000;

char PackedChar(uint32_t code) {
    if (code <= 10) return static_cast<char>('0' + code - 1);
    if (code <= 36) return static_cast<char>('A' + code - 11);
    if (code <= 62) return static_cast<char>('a' + code - 37);
    return '_';
}

uint32_t Ror8(uint32_t v) {
    return (v >> 8) | (v << 24);
}

} // namespace

TClBinDebugScanner::TClBinDebugScanner(std::string data, bool cacheData)
    : FCacheData(cacheData), FStream(std::move(data)) {
    FValidFormat = CheckFormat();
}

bool TClBinDebugScanner::CheckFormat() const {
    const std::string_view d(FStream);
    if (d.size() < kHeaderSize || d.size() % 4 != 0) return false;
    uint32_t signature = 0;
    uint8_t version = 0, present = 0;
    TByteReader::U32At(d, 0, signature);
    TByteReader::U8At(d, 4, version);
    if (signature != kSignature || version != 1) return false;
    TByteReader::U8At(d, kChecksumPresent, present);
    if (!present) return true;
    uint32_t stored = 0, sum = 0;
    TByteReader::U32At(d, kChecksum, stored);
    for (size_t i = 0; i < d.size(); i += 4) {
        uint32_t w = 0;
        TByteReader::U32At(d, i, w);
        sum += w;
    }
    return Ror8(sum - stored) == stored;
}

bool TClBinDebugScanner::ReadValue(size_t& pos, int32_t& value) const {
    uint64_t v = 0;
    for (int shift = 0;; shift += 7) {
        if (pos >= FStream.size() || shift > 28) return false; // cut off, or longer than 5 bytes
        const uint8_t b = static_cast<uint8_t>(FStream[pos++]);
        v |= uint64_t(b & 0x7F) << shift;
        if (!(b & 0x80)) break;
    }
    value = static_cast<int32_t>(static_cast<uint32_t>(v));
    return value != kTableEnd;
}

bool TClBinDebugScanner::TableStart(int headerPos, size_t& pos) const {
    uint32_t offset;
    if (!FValidFormat || !TByteReader::U32At(FStream, headerPos, offset)) return false;
    if (offset >= FStream.size()) return false;
    pos = offset;
    return true;
}

std::string TClBinDebugScanner::DataToStr(int32_t nameOffset) const {
    uint32_t area;
    if (nameOffset <= 0 || !TByteReader::U32At(FStream, kNameArea, area)) return {};
    const uint64_t at = uint64_t(area) + uint32_t(nameOffset) - 1;
    if (at >= FStream.size()) return {};
    size_t p = static_cast<size_t>(at);
    std::string out;
    const uint8_t first = static_cast<uint8_t>(FStream[p]);
    if (first == 1) {
        for (++p; p < FStream.size() && FStream[p] != '\0'; ++p) {
            const uint8_t b = static_cast<uint8_t>(FStream[p]);
            out.push_back(static_cast<char>(b == 0xAA ? b : b ^ 0xAA));
        }
        return out;
    }
    if (first == 2) {
        out.push_back('@');
        ++p;
    }
    size_t produced = 0;
    while (produced < kMaxPackedName) {
        uint8_t b[3] = {0, 0, 0};
        for (int i = 0; i < 3; ++i)
            if (p + i < FStream.size()) b[i] = static_cast<uint8_t>(FStream[p + i]);
        p += 3;
        const uint32_t codes[4] = {uint32_t(b[0] & 63), uint32_t(((b[1] << 2) & 63) | (b[0] >> 6)),
                                   uint32_t(((b[2] << 4) & 63) | (b[1] >> 4)), uint32_t(b[2] >> 2)};
        for (uint32_t c : codes) {
            if (c == 0 || produced >= kMaxPackedName) return out;
            out.push_back(PackedChar(c));
            ++produced;
        }
    }
    return out;
}

std::string TClBinDebugScanner::GetModuleName() const {
    uint32_t offset;
    if (!FValidFormat || !TByteReader::U32At(FStream, kModuleName, offset)) return {};
    return DataToStr(static_cast<int32_t>(offset));
}

uint32_t TClBinDebugScanner::ModuleStartFromAddr(uint32_t offset) const {
    size_t pos;
    uint32_t start = 0xFFFFFFFF, addr = 0;
    int32_t da, dn;
    if (!TableStart(kModulesTable, pos)) return start;
    while (ReadValue(pos, da) && ReadValue(pos, dn)) {
        addr += static_cast<uint32_t>(da);
        if (addr > offset) break;
        start = addr;
    }
    return start;
}

std::string TClBinDebugScanner::ModuleNameFromAddr(uint32_t offset) const {
    size_t pos;
    uint32_t addr = 0;
    int32_t da, dn, name = 0, found = 0;
    if (!TableStart(kModulesTable, pos)) return {};
    while (ReadValue(pos, da) && ReadValue(pos, dn)) {
        addr += static_cast<uint32_t>(da);
        name = static_cast<int32_t>(static_cast<uint32_t>(name) + static_cast<uint32_t>(dn));
        if (addr > offset) break;
        found = name;
    }
    return DataToStr(found);
}

std::string TClBinDebugScanner::SourceNameFromAddr(uint32_t offset) const {
    size_t pos;
    uint32_t addr = 0, foundAddr = 0;
    int32_t da, dn, name = 0, found = 0;
    bool any = false;
    if (!TableStart(kSourceNamesTable, pos)) return {};
    while (ReadValue(pos, da) && ReadValue(pos, dn)) {
        addr += static_cast<uint32_t>(da);
        name = static_cast<int32_t>(static_cast<uint32_t>(name) + static_cast<uint32_t>(dn));
        if (addr > offset) break;
        found = name;
        foundAddr = addr;
        any = true;
    }
    if (!any || foundAddr < ModuleStartFromAddr(offset)) return {};
    return DataToStr(found);
}

std::vector<TClBinDebugScanner::TProcEntry> TClBinDebugScanner::WalkProcNames() const {
    std::vector<TProcEntry> table;
    table.reserve(64);
    size_t pos;
    if (!TableStart(kProcNamesTable, pos)) return table;
    uint32_t addr = 0, first = 0, second = 0;
    int32_t da, d1, d2;
    while (ReadValue(pos, da) && ReadValue(pos, d1) && ReadValue(pos, d2)) {
        addr += static_cast<uint32_t>(da);
        first += static_cast<uint32_t>(d1);
        second += static_cast<uint32_t>(d2);
        if (table.size() == table.capacity()) table.reserve(table.size() + table.size() / 4);
        table.push_back({addr, static_cast<int32_t>(first), static_cast<int32_t>(second)});
    }
    table.shrink_to_fit();
    return table;
}

std::vector<TClBinDebugScanner::TLineEntry> TClBinDebugScanner::WalkLineNumbers() const {
    std::vector<TLineEntry> table;
    table.reserve(64);
    size_t pos;
    if (!TableStart(kLineNumbersTable, pos)) return table;
    uint32_t addr = 0, line = 0;
    int32_t da, dl;
    while (ReadValue(pos, da) && ReadValue(pos, dl)) {
        addr += static_cast<uint32_t>(da);
        line += static_cast<uint32_t>(dl);
        if (table.size() == table.capacity()) table.reserve(table.size() + table.size() / 4);
        table.push_back({addr, static_cast<int32_t>(line)});
    }
    table.shrink_to_fit();
    return table;
}

void TClBinDebugScanner::CacheProcNames() const {
    if (!FProcNames) FProcNames = WalkProcNames();
}

void TClBinDebugScanner::CacheLineNumbers() const {
    if (!FLineNumbers) FLineNumbers = WalkLineNumbers();
}

std::string TClBinDebugScanner::ProcNameFromAddr(uint32_t offset, uint32_t& distance) const {
    distance = 0;
    std::vector<TProcEntry> walked;
    const std::vector<TProcEntry>* table = &walked;
    if (FCacheData) {
        CacheProcNames();
        table = &*FProcNames;
    } else {
        walked = WalkProcNames();
    }
    for (size_t i = table->size(); i-- > 0;) {
        const TProcEntry& e = (*table)[i];
        if (e.Addr > offset) continue;
        if (e.Addr < ModuleStartFromAddr(offset)) return {};
        distance = offset - e.Addr;
        std::string name = DataToStr(e.FirstName);
        if (e.SecondName != 0) name += "." + DataToStr(e.SecondName);
        return name;
    }
    return {};
}

uint32_t TClBinDebugScanner::LineNumberFromAddr(uint32_t offset, uint32_t& distance) const {
    distance = 0;
    std::vector<TLineEntry> walked;
    const std::vector<TLineEntry>* table = &walked;
    if (FCacheData) {
        CacheLineNumbers();
        table = &*FLineNumbers;
    } else {
        walked = WalkLineNumbers();
    }
    for (size_t i = table->size(); i-- > 0;) {
        const TLineEntry& e = (*table)[i];
        if (e.Addr > offset) continue;
        if (e.Addr < ModuleStartFromAddr(offset)) return 0;
        distance = offset - e.Addr;
        return static_cast<uint32_t>(e.Line);
    }
    return 0;
}

// ---- source ---------------------------------------------------------------------------------

TClDebugInfoUL::TClDebugInfoUL(uintptr_t module, const TModuleAccess& access)
    : TClDebugInfoScanSource(module, access) {
    InitializeSource();
}

bool TClDebugInfoUL::InitializeSource() {
    FScanner.reset();
    std::string data;
    bool found = false;
    TPeHeaders h;
    const uint32_t module = Module32();
    if (module != 0 && ReadModuleHeaders(Access().Memory(), module, h)) {
        for (const TPeSection& s : h.Sections) {
            if (s.Name != "ULDEBUG") continue;
            const uint32_t size = std::min(s.RawSize, s.VirtualSize);
            if (size > kMaxSectionData) break;
            data.assign(size, '\0');
            found = Access().Memory().Read(module + s.VirtualAddress, data.data(), size);
            break;
        }
    }
    if (!found) {
        const std::string fileName = GetFileName();
        found = !fileName.empty() && Access().ReadWholeFile(ChangeFileExt(fileName, ".udbg"), data);
    }
    if (found) FScanner = std::make_unique<TClBinDebugScanner>(std::move(data), true);
    return found;
}

std::string TClDebugInfoUL::ModuleNameFromAddr(uint32_t offset) const {
    return ValidData() ? FScanner->ModuleNameFromAddr(offset) : std::string();
}
std::string TClDebugInfoUL::ProcNameFromAddr(uint32_t offset, uint32_t& distance) const {
    distance = 0;
    return ValidData() ? FScanner->ProcNameFromAddr(offset, distance) : std::string();
}
uint32_t TClDebugInfoUL::LineNumberFromAddr(uint32_t offset, uint32_t& distance) const {
    distance = 0;
    return ValidData() ? FScanner->LineNumberFromAddr(offset, distance) : 0;
}
std::string TClDebugInfoUL::SourceNameFromAddr(uint32_t offset) const {
    return ValidData() ? FScanner->SourceNameFromAddr(offset) : std::string();
}

} // namespace kv::crash
