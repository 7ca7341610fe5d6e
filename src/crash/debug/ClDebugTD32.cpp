// TD32 debug data (signatures "FB09"/"FB0A"): subsection directories with modules, source modules
// and their line blocks, aligned symbols and names. Symbol records follow the TD32 layout with
// 32-bit type and name indices; only procedures take part in lookups.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>

#include "crash/debug/ClByteReader.h"
#include "crash/core/ClCore.h"
#include "crash/debug/ClDebug.h"

namespace kv::crash {

namespace {

constexpr uint16_t kSubModule = 0x120;
constexpr uint16_t kSubAlignedSymbols = 0x125;
constexpr uint16_t kSubSourceModule = 0x127;
constexpr uint16_t kSubNames = 0x130;

// Debug data larger than this is not taken from an image.
constexpr uint32_t kMaxImageDebugData = 0x10000000;

bool SignatureAt(std::string_view d, size_t pos) {
    if (pos > d.size() || d.size() - pos < 8) return false;
    TClTD32Sign s;
    std::memcpy(s.Signature, d.data() + pos, 4);
    TByteReader::U32At(d, pos + 4, s.Offset);
    return IsTD32Sign(s);
}

// Where the data starts: its trailing signature's distance back from the end.
bool DataStart(std::string_view d, size_t& start) {
    uint32_t distance;
    if (d.size() <= 8 || !SignatureAt(d, d.size() - 8)) return false;
    TByteReader::U32At(d, d.size() - 4, distance);
    if (distance < 8 || distance > d.size()) return false;
    start = d.size() - distance;
    return SignatureAt(d, start);
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

bool IsTD32Sign(const TClTD32Sign& sign) {
    return std::memcmp(sign.Signature, "FB09", 4) == 0 ||
           std::memcmp(sign.Signature, "FB0A", 4) == 0;
}

bool IsTD32DebugInfoValid(const void* data, size_t size) {
    if (!data) return false;
    size_t start;
    return DataStart(std::string_view(static_cast<const char*>(data), size), start);
}

const TClLineInfo* TClSourceModuleInfo::FindLine(uint32_t offset) const {
    for (size_t i = 0; i < FLines.size(); ++i) {
        if (FLines[i].FOffset == offset) return &FLines[i];
        if (FLines[i].FOffset > offset) {
            if (i > 0 && FLines[i - 1].FOffset < offset) return &FLines[i - 1];
            return nullptr;
        }
    }
    return nullptr;
}

// ---- parser ---------------------------------------------------------------------------------

TClTD32InfoParser::TClTD32InfoParser(std::string data) : FData(std::move(data)) {
    FNames.emplace_back(); // name index n is entry n
    FValidData = DataStart(FData, FBase);
    if (FValidData) Analyse();
}

std::string TClTD32InfoParser::Name(uint32_t index) const {
    return index < FNames.size() ? std::string(FNames[index]) : std::string();
}

void TClTD32InfoParser::Analyse() {
    const std::string_view d(FData);
    uint32_t directory;
    if (!TByteReader::U32At(d, FBase + 4, directory)) return;
    std::set<uint32_t> seen; // a directory chain that loops is read once
    while (seen.insert(directory).second) {
        const size_t pos = LfaToVa(directory);
        uint16_t headerSize, entrySize;
        uint32_t count, next;
        if (!TByteReader::U16At(d, pos, headerSize) || !TByteReader::U16At(d, pos + 2, entrySize) ||
            !TByteReader::U32At(d, pos + 4, count) || !TByteReader::U32At(d, pos + 8, next))
            return;
        if (entrySize != 12) return;
        for (uint64_t i = 0; i < count; ++i) {
            const uint64_t entry = uint64_t(pos) + headerSize + 12 * i;
            if (entry + 12 > d.size()) return;
            uint16_t type = 0;
            uint32_t offset = 0, size = 0;
            TByteReader::U16At(d, entry, type);
            TByteReader::U32At(d, entry + 4, offset);
            TByteReader::U32At(d, entry + 8, size);
            const uint64_t sub = uint64_t(FBase) + offset;
            if (sub + size > d.size()) continue; // a subsection outside the data is ignored
            switch (type) {
            case kSubModule:
                AnalyseModule(static_cast<size_t>(sub), size);
                break;
            case kSubAlignedSymbols:
                AnalyseAlignedSymbols(static_cast<size_t>(sub), size);
                break;
            case kSubSourceModule:
                AnalyseSourceModule(static_cast<size_t>(sub), size);
                break;
            case kSubNames:
                AnalyseNames(static_cast<size_t>(sub), size);
                break;
            default:
                break;
            }
        }
        if (next == 0) return;
        directory = next;
    }
}

void TClTD32InfoParser::AnalyseModule(size_t pos, size_t size) {
    const std::string_view s = std::string_view(FData).substr(pos, size);
    TClModuleInfo m;
    if (!TByteReader::U16At(s, 4, m.FSegmentCount) || !TByteReader::U32At(s, 8, m.FNameIndex))
        return;
    if (28 + size_t(m.FSegmentCount) * 12 > s.size()) return;
    m.FSegments = pos + 28;
    FModules.push_back(m);
}

void TClTD32InfoParser::AnalyseSourceModule(size_t pos, size_t size) {
    const std::string_view s = std::string_view(FData).substr(pos, size);
    uint16_t fileCount;
    if (!TByteReader::U16At(s, 0, fileCount)) return;
    for (uint32_t f = 0; f < fileCount; ++f) {
        uint32_t fileOffset;
        if (!TByteReader::U32At(s, 4 + 4 * size_t(f), fileOffset)) return;
        TClSourceModuleInfo sm;
        if (!TByteReader::U16At(s, fileOffset, sm.FSegmentCount) ||
            !TByteReader::U32At(s, size_t(fileOffset) + 2, sm.FNameIndex))
            continue;
        if (sm.FNameIndex == 0) continue;
        const size_t blocks = size_t(fileOffset) + 6;
        const size_t pairs = blocks + 4 * size_t(sm.FSegmentCount);
        if (pairs + 8 * size_t(sm.FSegmentCount) > s.size()) continue;
        sm.FSegments = pos + pairs;
        for (uint32_t g = 0; g < sm.FSegmentCount; ++g) {
            uint32_t block = 0;
            uint16_t n = 0;
            TByteReader::U32At(s, blocks + 4 * g, block);
            if (!TByteReader::U16At(s, size_t(block) + 2, n)) continue;
            const size_t offsets = size_t(block) + 4;
            const size_t lines = offsets + 4 * size_t(n);
            if (lines + 2 * size_t(n) > s.size()) continue;
            for (uint32_t k = 0; k < n; ++k) {
                TClLineInfo li;
                uint16_t line = 0;
                TByteReader::U32At(s, offsets + 4 * k, li.FOffset);
                TByteReader::U16At(s, lines + 2 * k, line);
                li.FLineNo = line;
                sm.FLines.push_back(li);
            }
        }
        FSourceModules.push_back(std::move(sm));
    }
}

void TClTD32InfoParser::AnalyseAlignedSymbols(size_t pos, size_t size) {
    const std::string_view s = std::string_view(FData).substr(pos, size);
    size_t at = 4;
    uint16_t length, type;
    while (TByteReader::U16At(s, at, length) && TByteReader::U16At(s, at + 2, type)) {
        if (length < 2) return; // a record must at least hold its type
        const std::string_view rec =
            s.substr(at + 4, std::min<size_t>(length - 2, s.size() - at - 4));
        at += 2 + size_t(length);
        auto u32 = [&](size_t o) {
            uint32_t v = 0;
            TByteReader::U32At(rec, o, v);
            return v;
        };
        auto u16 = [&](size_t o) {
            uint16_t v = 0;
            TByteReader::U16At(rec, o, v);
            return v;
        };
        std::unique_ptr<TClSymbolInfo> sym;
        switch (type) {
        case 0x0204:
        case 0x0205: {
            // parent, end, next, size, debug start, debug end, offset, segment, type, name
            if (rec.size() < 38) break;
            std::unique_ptr<TClProcSymbolInfo> p;
            if (type == 0x0204)
                p = std::make_unique<TClLocalProcSymbolInfo>();
            else
                p = std::make_unique<TClGlobalProcSymbolInfo>();
            p->FSize = u32(12);
            p->FOffset = u32(24);
            p->FNameIndex = u32(34);
            sym = std::move(p);
            break;
        }
        case 0x0201:
        case 0x0202:
        case 0x0203: {
            // offset, segment, flags, type, name
            if (rec.size() < 16) break;
            std::unique_ptr<TCLDataSymbolInfo> p;
            if (type == 0x0201)
                p = std::make_unique<TClLDataSymbolInfo>();
            else if (type == 0x0202)
                p = std::make_unique<TClGDataSymbolInfo>();
            else
                p = std::make_unique<TClPublicSymbolInfo>();
            p->FOffset = u32(0);
            p->FTypeIndex = u32(8);
            p->FNameIndex = u32(12);
            sym = std::move(p);
            break;
        }
        case 0x0003: {
            // type, properties, name, browser offset, value
            if (rec.size() < 14) break;
            auto p = std::make_unique<TClConstantSymbolInfo>();
            p->FTypeIndex = u32(0);
            p->FNameIndex = u32(6);
            p->FValue = u32(14);
            sym = std::move(p);
            break;
        }
        case 0x0004: {
            // type, properties, name
            if (rec.size() < 10) break;
            auto p = std::make_unique<TClUdtSymbolInfo>();
            p->FTypeIndex = u32(0);
            p->FProperties = u16(4);
            p->FNameIndex = u32(6);
            sym = std::move(p);
            break;
        }
        case 0x0009: {
            // signature, name
            if (rec.size() < 8) break;
            auto p = std::make_unique<TClObjNameSymbolInfo>();
            p->FSignature = u32(0);
            p->FNameIndex = u32(4);
            sym = std::move(p);
            break;
        }
        case 0x0208: {
            // parent, end, size, offset, segment, flags, name
            if (rec.size() < 24) break;
            auto p = std::make_unique<TClWithSymbolInfo>();
            p->FSize = u32(8);
            p->FOffset = u32(12);
            p->FNameIndex = u32(20);
            sym = std::move(p);
            break;
        }
        case 0x0209: {
            // offset, segment, flags, name
            if (rec.size() < 11) break;
            auto p = std::make_unique<TClLabelSymbolInfo>();
            p->FOffset = u32(0);
            p->FNameIndex = u32(7);
            sym = std::move(p);
            break;
        }
        case 0x020B: {
            // offset, segment, root, path
            if (rec.size() < 14) break;
            auto p = std::make_unique<TClVftPathSymbolInfo>();
            p->FOffset = u32(0);
            p->FRootIndex = u32(6);
            p->FPathIndex = u32(10);
            sym = std::move(p);
            break;
        }
        default:
            break;
        }
        if (sym) FSymbols.push_back(std::move(sym));
    }
}

void TClTD32InfoParser::AnalyseNames(size_t pos, size_t size) {
    const std::string_view s = std::string_view(FData).substr(pos, size);
    uint32_t count;
    if (!TByteReader::U32At(s, 0, count)) return;
    size_t at = 4;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t len;
        if (!TByteReader::U8At(s, at, len) || at + 2 + size_t(len) > s.size()) return;
        FNames.push_back(s.substr(at + 1, len));
        at += 2 + size_t(len);
    }
}

// ---- scanner --------------------------------------------------------------------------------

const TClModuleInfo* TClTD32InfoScanner::FindModule(uint32_t offset) const {
    const std::string_view d = Bytes();
    for (const TClModuleInfo& m : Modules())
        for (uint32_t i = 0; i < m.FSegmentCount; ++i) {
            uint32_t segOffset = 0, segSize = 0;
            TByteReader::U32At(d, m.FSegments + 12 * i + 4, segOffset);
            TByteReader::U32At(d, m.FSegments + 12 * i + 8, segSize);
            if (segOffset <= offset && offset - segOffset <= segSize) return &m;
        }
    return nullptr;
}

const TClSourceModuleInfo* TClTD32InfoScanner::FindSourceModule(uint32_t offset) const {
    const std::string_view d = Bytes();
    for (const TClSourceModuleInfo& sm : SourceModules())
        for (uint32_t i = 0; i < sm.FSegmentCount; ++i) {
            uint32_t start = 0, end = 0;
            TByteReader::U32At(d, sm.FSegments + 8 * i, start);
            TByteReader::U32At(d, sm.FSegments + 8 * i + 4, end);
            if (start <= offset && offset < end) return &sm;
        }
    return nullptr;
}

const TClProcSymbolInfo* TClTD32InfoScanner::FindProc(uint32_t offset) const {
    for (const auto& s : Symbols()) {
        if (s->FSymbolType != 0x0204 && s->FSymbolType != 0x0205) continue;
        const auto* p = static_cast<const TClProcSymbolInfo*>(s.get());
        if (p->FOffset <= offset && uint64_t(offset) < uint64_t(p->FOffset) + p->FSize) return p;
    }
    return nullptr;
}

uint32_t TClTD32InfoScanner::LineNumberFromAddr(uint32_t offset, uint32_t& distance) const {
    distance = 0;
    const TClSourceModuleInfo* sm = FindSourceModule(offset);
    const TClLineInfo* line = sm ? sm->FindLine(offset) : nullptr;
    if (!line) return 0;
    distance = offset - line->FOffset;
    return line->FLineNo;
}

std::string TClTD32InfoScanner::ModuleNameFromAddr(uint32_t offset) const {
    const TClModuleInfo* m = FindModule(offset);
    return m ? Name(m->FNameIndex) : std::string();
}

std::string TClTD32InfoScanner::ProcNameFromAddr(uint32_t offset, uint32_t& distance) const {
    distance = 0;
    const TClProcSymbolInfo* p = FindProc(offset);
    if (!p) return {};
    distance = offset - p->FOffset;
    return CleanTD32ProcName(ModuleNameFromAddr(offset), Name(p->FNameIndex));
}

std::string TClTD32InfoScanner::SourceNameFromAddr(uint32_t offset) const {
    const TClSourceModuleInfo* sm = FindSourceModule(offset);
    return sm ? Name(sm->FNameIndex) : std::string();
}

std::string CleanTD32ProcName(const std::string& moduleName, const std::string& symbolName) {
    std::string s = symbolName;
    if (!s.empty() && s[0] == '@') s.erase(0, 1);
    if (const size_t d = s.find('$'); d != std::string::npos)
        s.resize(d > 0 && s[d - 1] == '@' ? d - 1 : d);
    std::replace(s.begin(), s.end(), '@', '.');
    for (size_t i = s.find(".."); i != std::string::npos; i = s.find("..", i + 2)) s[i + 1] = '@';
    if (!moduleName.empty() && Lower(s).rfind(Lower(moduleName), 0) == 0)
        s.erase(0, std::min(s.size(), moduleName.size() + 1));
    return s;
}

// ---- finding the data -----------------------------------------------------------------------

TClPeBorTD32Image::TClPeBorTD32Image(uint32_t module, const TModuleAccess& access)
    : FModule(module), access_(&access) {
    CheckDebugData();
}

void TClPeBorTD32Image::ClearDebugData() {
    FTD32Scanner.reset();
    FIsTD32DebugPresent = false;
}

bool TClPeBorTD32Image::IsDebugInfoInImage(std::string& data) const {
    const TMemoryReader& memory = access_->Memory();
    TPeHeaders h;
    if (!ReadModuleHeaders(memory, FModule, h) || h.DebugDirSize == 0) return false;
    const bool sectioned = std::any_of(h.Sections.begin(), h.Sections.end(), [&](const auto& s) {
        return s.VirtualAddress == h.DebugDirAddr;
    });
    if (!sectioned) return false;
    uint32_t size, address;
    if (!memory.ReadU32(FModule + h.DebugDirAddr + 16, size) ||
        !memory.ReadU32(FModule + h.DebugDirAddr + 20, address))
        return false;
    if (size == 0 || size > kMaxImageDebugData) return false;
    std::string bytes(size, '\0');
    if (!memory.Read(FModule + address, bytes.data(), size)) return false;
    if (!IsTD32DebugInfoValid(bytes.data(), bytes.size())) return false;
    data = std::move(bytes);
    return true;
}

bool TClPeBorTD32Image::IsDebugInfoInTds(std::string& data) const {
    const std::string fileName = access_->ModuleFileName(FModule);
    if (fileName.empty()) return false;
    std::string bytes;
    if (!access_->ReadWholeFile(ChangeFileExt(fileName, ".tds"), bytes)) return false;
    if (!IsTD32DebugInfoValid(bytes.data(), bytes.size())) return false;
    data = std::move(bytes);
    return true;
}

void TClPeBorTD32Image::CheckDebugData() {
    std::string data;
    if (!IsDebugInfoInImage(data) && !IsDebugInfoInTds(data)) return;
    FTD32Scanner = std::make_unique<TClTD32InfoScanner>(std::move(data));
    FIsTD32DebugPresent = true;
    if (!FTD32Scanner->ValidData()) ClearDebugData();
}

// ---- source ---------------------------------------------------------------------------------

TClDebugInfoTD32::TClDebugInfoTD32(uintptr_t module, const TModuleAccess& access)
    : TClDebugInfoScanSource(module, access) {
    InitializeSource();
}

bool TClDebugInfoTD32::InitializeSource() {
    FImage.reset();
    if (FModule == 0) return false;
    FImage = std::make_unique<TClPeBorTD32Image>(Module32(), Access());
    return FImage->FIsTD32DebugPresent;
}

bool TClDebugInfoTD32::ValidData() const {
    return FImage && FImage->Scanner() && FImage->Scanner()->ValidData();
}

std::string TClDebugInfoTD32::ModuleNameFromAddr(uint32_t offset) const {
    return ValidData() ? FImage->Scanner()->ModuleNameFromAddr(offset) : std::string();
}
std::string TClDebugInfoTD32::ProcNameFromAddr(uint32_t offset, uint32_t& distance) const {
    distance = 0;
    return ValidData() ? FImage->Scanner()->ProcNameFromAddr(offset, distance) : std::string();
}
uint32_t TClDebugInfoTD32::LineNumberFromAddr(uint32_t offset, uint32_t& distance) const {
    distance = 0;
    return ValidData() ? FImage->Scanner()->LineNumberFromAddr(offset, distance) : 0;
}
std::string TClDebugInfoTD32::SourceNameFromAddr(uint32_t offset) const {
    return ValidData() ? FImage->Scanner()->SourceNameFromAddr(offset) : std::string();
}

} // namespace kv::crash
