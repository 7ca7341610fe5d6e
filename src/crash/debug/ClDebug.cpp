#include "crash/debug/ClDebug.h"

#include <algorithm>
#include <cctype>

#include "base/CodePageConv.h"
#include "base/Stream.h"
#include "crash/debug/ClByteReader.h"
#include "crash/core/ClCore.h"

namespace kv::crash {

// ---- shared ---------------------------------------------------------------------------------

bool TModuleAccess::ReadWholeFile(const std::string& fileName, std::string& bytes) const {
    if (fileName.empty()) return false;
    try {
        std::u16string path;
        if (!PlatformMultiByteToWide(GetAnsiCodePage(), 0, fileName.data(), fileName.size(), path))
            return false;
        if (!kv::FileExists(path)) return false;
        TFileStream file(path);
        const int64_t size = file.GetSize();
        if (size < 0 || size > 0x7FFFFFFF) return false;
        std::string data(static_cast<size_t>(size), '\0');
        if (!data.empty()) file.ReadBuffer(data.data(), data.size());
        bytes = std::move(data);
        return true;
    } catch (...) {
        return false; // an unreadable file counts as absent
    }
}

bool TClDebugInfoScanSource::GetLocationInfo(uintptr_t address, TClLocationInfo& info) {
    if (!ValidData()) return false;
    const uint32_t offset = static_cast<uint32_t>(VAFromAddr(address));
    info.UnitName = ModuleNameFromAddr(offset);
    if (info.UnitName.empty()) return false;
    uint32_t distance = 0, unused = 0;
    info.Address = address;
    info.ProcedureName = ProcNameFromAddr(offset, distance);
    info.LineNumber = LineNumberFromAddr(offset, unused);
    info.SourceName = SourceNameFromAddr(offset);
    info.DebugInfo = this;
    // Lines count from the procedure's first line; never below it in an unsigned field.
    const uint32_t firstLine = LineNumberFromAddr(offset - distance, unused);
    info.ProcOffsetLine = info.LineNumber >= firstLine ? info.LineNumber - firstLine : 0;
    return true;
}

bool AssignValidDebugInfo(uintptr_t module, std::unique_ptr<TClDebugInfoSource>& source,
                          const TModuleAccess& access) {
    if (source) return false;
    std::unique_ptr<TClDebugInfoSource> candidate =
        std::make_unique<TClDebugInfoMap>(module, access);
    if (!candidate->ValidData()) candidate = std::make_unique<TClDebugInfoTD32>(module, access);
    if (!candidate->ValidData()) candidate = std::make_unique<TClDebugInfoUL>(module, access);
    if (!candidate->ValidData()) return false;
    source = std::move(candidate);
    return true;
}

bool AssignValidDebugInfo(uintptr_t module, std::unique_ptr<TClDebugInfoSource>& source) {
    return AssignValidDebugInfo(module, source, ProcessModules());
}

bool ReadModuleHeaders(const TMemoryReader& memory, uint32_t module, TPeHeaders& headers) {
    uint8_t mz[2];
    uint32_t lfanew;
    if (!memory.Read(module, mz, 2) || mz[0] != 'M' || mz[1] != 'Z') return false;
    if (!memory.ReadU32(module + 60, lfanew) || lfanew == 0) return false;
    const uint32_t nt = module + lfanew;
    std::string h(248, '\0');
    if (!memory.Read(nt, h.data(), 248)) return false;
    if (h.compare(0, 4, std::string("PE\0\0", 4)) != 0) return false;
    uint16_t sections = 0;
    TByteReader::U16At(h, 6, sections);
    headers = {};
    headers.NtHeaders = nt;
    TByteReader::U32At(h, 168, headers.DebugDirAddr);
    TByteReader::U32At(h, 172, headers.DebugDirSize);
    for (uint32_t i = 0; i < sections; ++i) {
        char s[40];
        if (!memory.Read(nt + 248 + 40 * i, s, 40)) return false;
        const std::string_view v(s, 40);
        TPeSection sec;
        sec.Name.assign(s, std::find(s, s + 8, '\0'));
        TByteReader::U32At(v, 8, sec.VirtualSize);
        TByteReader::U32At(v, 12, sec.VirtualAddress);
        TByteReader::U32At(v, 16, sec.RawSize);
        headers.Sections.push_back(std::move(sec));
    }
    return true;
}

// ---- .map parser ----------------------------------------------------------------------------

namespace {

bool IsWhite(char c) {
    return c == ' ' || (c >= 9 && c <= 13);
}
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

class TMapCursor {
public:
    explicit TMapCursor(const std::string& text) : t_(text) {}
    size_t pos = 0;

    bool AtEnd() const { return pos >= t_.size(); }
    char Ch() const { return pos < t_.size() ? t_[pos] : '\0'; }
    void SkipWhite() {
        while (pos < t_.size() && IsWhite(t_[pos])) ++pos;
    }
    void SkipBlanks() {
        while (pos < t_.size() && IsBlank(t_[pos])) ++pos;
    }
    size_t LineEnd(size_t from) const {
        size_t e = from;
        while (e < t_.size() && !IsLineEnd(t_[e])) ++e;
        return e;
    }
    void SkipLine() {
        pos = LineEnd(pos);
        if (pos < t_.size() && t_[pos] == '\r') ++pos;
        if (pos < t_.size() && t_[pos] == '\n') ++pos;
    }
    bool StartsWith(std::string_view s) const {
        return pos <= t_.size() && std::string_view(t_).substr(pos).substr(0, s.size()) == s;
    }
    uint32_t ReadHex() {
        uint32_t v = 0;
        int d;
        while (pos < t_.size() && (d = HexValue(t_[pos])) >= 0) {
            v = (v << 4) | static_cast<uint32_t>(d);
            ++pos;
        }
        return v;
    }
    uint32_t ReadDecimal() {
        uint64_t v = 0;
        while (pos < t_.size() && IsDigit(t_[pos])) {
            v = v * 10 + static_cast<uint64_t>(t_[pos] - '0');
            if (v > 0xFFFFFFFFull) v = 0xFFFFFFFFull;
            ++pos;
        }
        return static_cast<uint32_t>(v);
    }
    TClMapAddress ReadAddress() {
        TClMapAddress a;
        a.Segment = static_cast<uint16_t>(ReadHex());
        if (Ch() == ':') {
            ++pos;
            a.Offset = ReadHex();
        }
        return a;
    }
    uint32_t ReadLength() {
        const uint32_t v = ReadHex();
        if (Ch() == 'H' || Ch() == 'h') ++pos;
        return v;
    }
    // A word on this line: its position (none when the line ends first); the cursor passes it.
    TMapString ReadWord() {
        SkipBlanks();
        if (AtEnd() || IsLineEnd(Ch())) return kNoMapString;
        const size_t start = pos;
        while (pos < t_.size() && !IsWhite(t_[pos])) ++pos;
        return start;
    }
    // The position just after the first "<letter>=" on the rest of this line, or none.
    TMapString FindParameter(char letter) const {
        const size_t e = LineEnd(pos);
        for (size_t i = pos; i + 1 < e; ++i)
            if (t_[i] == letter && t_[i + 1] == '=') return i + 2;
        return kNoMapString;
    }
    // Finds the line holding all words in order (each first occurrence after the previous
    // one's) and moves past it; on failure the cursor stays where it was.
    bool FindSection(std::initializer_list<std::string_view> words) {
        size_t p = pos;
        while (p < t_.size()) {
            const size_t e = LineEnd(p);
            const std::string_view line(t_.data() + p, e - p);
            size_t last = 0;
            bool first = true, all = true;
            for (std::string_view w : words) {
                const size_t f = line.find(w);
                if (f == std::string_view::npos || (!first && f <= last)) {
                    all = false;
                    break;
                }
                last = f;
                first = false;
            }
            if (all) {
                pos = p;
                SkipLine();
                SkipWhite();
                return true;
            }
            p = e;
            if (p < t_.size() && t_[p] == '\r') ++p;
            if (p < t_.size() && t_[p] == '\n') ++p;
        }
        return false;
    }

private:
    const std::string& t_;
};

} // namespace

TClAbstractMapParser::TClAbstractMapParser(const std::string& fileName,
                                           const TModuleAccess& access) {
    std::string bytes;
    if (access.ReadWholeFile(fileName, bytes)) FStream = std::move(bytes);
}

void TClAbstractMapParser::Parse() {
    FLinkerBug = false;
    FLinkerBugUnitName = kNoMapString;
    if (!FStream) return;
    TMapCursor c(*FStream);
    if (c.FindSection({"Start", "Length", "Name", "Class"})) {
        while (IsDigit(c.Ch())) {
            const TClMapAddress a = c.ReadAddress();
            c.SkipBlanks();
            const uint32_t length = c.ReadLength();
            const TMapString name = c.ReadWord();
            const TMapString cls = c.ReadWord();
            c.SkipLine();
            ClassTableItem(a, length, name, cls);
            c.SkipWhite();
        }
    }
    if (c.FindSection({"Detailed", "map", "of", "segments"})) {
        while (IsDigit(c.Ch())) {
            const TClMapAddress a = c.ReadAddress();
            c.SkipBlanks();
            const uint32_t length = c.ReadLength();
            const TMapString cls = c.FindParameter('C');
            const TMapString module = c.FindParameter('M');
            c.SkipLine();
            SegmentItem(a, length, module, cls);
            c.SkipWhite();
        }
    }
    if (c.FindSection({"Address", "Publics", "by", "Name"})) {
        while (IsDigit(c.Ch())) {
            const TClMapAddress a = c.ReadAddress();
            const TMapString name = c.ReadWord();
            c.SkipLine();
            PublicsByNameItem(a, name);
            c.SkipWhite();
        }
    }
    if (c.FindSection({"Address", "Publics", "by", "Value"})) {
        while (IsDigit(c.Ch())) {
            const TClMapAddress a = c.ReadAddress();
            const TMapString name = c.ReadWord();
            c.SkipLine();
            PublicsByValueItem(a, name);
            c.SkipWhite();
        }
    }
    static constexpr std::string_view kLineNumbersFor = "Line numbers for";
    for (;;) {
        c.SkipWhite();
        if (c.AtEnd()) break;
        if (!c.StartsWith(kLineNumbersFor)) {
            c.SkipLine();
            continue;
        }
        c.pos += kLineNumbersFor.size();
        c.SkipBlanks();
        const TMapString unit = c.pos;
        TMapString file = kNoMapString;
        for (size_t i = c.pos, e = c.LineEnd(c.pos); i < e; ++i)
            if ((*FStream)[i] == '(') {
                file = i;
                break;
            }
        FLastUnitName = unit;
        FLastUnitFileName = file;
        c.SkipLine();
        LineNumberUnitItem(unit, file);
        for (;;) {
            c.SkipWhite();
            if (!IsDigit(c.Ch())) break;
            const uint32_t line = c.ReadDecimal();
            c.SkipWhite();
            const TClMapAddress a = c.ReadAddress();
            LineNumbersItem(line, a);
        }
    }
}

std::string TClAbstractMapParser::MapStringToStr(TMapString s) const {
    if (!FStream || s == kNoMapString || s >= FStream->size()) return {};
    const std::string& t = *FStream;
    size_t e = s;
    if (t[s] == '(') {
        ++s;
        e = s;
        while (e < t.size() && t[e] != ')' && !IsLineEnd(t[e])) ++e;
    } else {
        while (e < t.size() && !IsLineEnd(t[e]) && !IsBlank(t[e]) && t[e] != '(') ++e;
    }
    return t.substr(s, e - s);
}

std::string TClAbstractMapParser::MapStringToFileName(TMapString s) const {
    if (!FStream || s == kNoMapString || s >= FStream->size()) return {};
    const std::string& t = *FStream;
    size_t lineEnd = s;
    while (lineEnd < t.size() && !IsLineEnd(t[lineEnd])) ++lineEnd;
    size_t end = lineEnd;
    const size_t eq = std::string_view(t).substr(s, lineEnd - s).find('=');
    if (eq != std::string_view::npos) {
        end = s + eq;
        while (end > s && !IsBlank(t[end - 1])) --end;
    }
    while (end > s && IsBlank(t[end - 1])) --end;
    size_t start = s;
    for (size_t i = s; i < end; i += AnsiCharSize(t, i))
        if (AnsiCharSize(t, i) == 1 && (t[i] == '\\' || t[i] == '|')) start = i + 1;
    for (size_t i = end; i > start; --i)
        if (t[i - 1] == '.') {
            end = i - 1;
            break;
        }
    return t.substr(start, end - start);
}

// ---- .map scanner ---------------------------------------------------------------------------

TClMapScanner::TClMapScanner(const std::string& fileName, const TModuleAccess& access)
    : TClAbstractMapParser(fileName, access) {
    Scan();
}

TClMapScanner::TClMapScanner(TText text) : TClAbstractMapParser(std::move(text)) {
    Scan();
}

void TClMapScanner::Scan() {
    FLastValidAddr = {};
    FTopValidAddr = 0;
    FLineNumberErrors = 0;
    FNewUnitFileName = kNoMapString;
    FSegments.clear();
    FProcNames.clear();
    FLineNumbers.clear();
    FSourceNames.clear();
    Parse();
    FProcNames.shrink_to_fit();
    FLineNumbers.shrink_to_fit();
}

void TClMapScanner::SegmentItem(const TClMapAddress& address, uint32_t length,
                                TMapString moduleName, TMapString) {
    if (address.Segment != 1) return;
    const uint64_t end = std::min<uint64_t>(uint64_t(address.Offset) + length, 0xFFFFFFFFull);
    FSegments.push_back({address.Offset, static_cast<uint32_t>(end), moduleName});
    FTopValidAddr = std::max(FTopValidAddr, static_cast<uint32_t>(end));
}

void TClMapScanner::PublicsByValueItem(const TClMapAddress& address, TMapString name) {
    if (address.Segment != 1) return;
    if (FProcNames.size() == FProcNames.capacity()) FProcNames.reserve(FProcNames.size() + 256);
    FProcNames.push_back({address.Offset, name});
}

void TClMapScanner::LineNumberUnitItem(TMapString, TMapString unitFileName) {
    FNewUnitFileName = unitFileName;
}

void TClMapScanner::LineNumbersItem(uint32_t lineNumber, const TClMapAddress& address) {
    if (FLastValidAddr.Offset != 0) {
        if (static_cast<int32_t>(address.Offset) <= 0 || address.Offset > FTopValidAddr ||
            address.Segment != FLastValidAddr.Segment || address.Offset <= FLastValidAddr.Offset) {
            ++FLineNumberErrors;
            return;
        }
    }
    FLastValidAddr = address;
    if (FLineNumbers.size() == FLineNumbers.capacity())
        FLineNumbers.reserve(FLineNumbers.size() + 256);
    FLineNumbers.push_back({address.Offset, lineNumber});
    if (FNewUnitFileName != kNoMapString) {
        FSourceNames.push_back({address.Offset, FNewUnitFileName});
        FNewUnitFileName = kNoMapString;
    }
}

uint32_t TClMapScanner::ModuleStartFromAddr(uint32_t offset) const {
    uint32_t start = 0xFFFFFFFF;
    for (const TSegment& s : FSegments)
        if (s.StartOffset <= offset && offset <= s.EndOffset) start = s.StartOffset;
    return start;
}

std::string TClMapScanner::ModuleNameFromAddr(uint32_t offset) const {
    const TSegment* found = nullptr;
    for (const TSegment& s : FSegments)
        if (s.StartOffset <= offset && offset <= s.EndOffset) found = &s;
    return found ? MapStringToStr(found->ModuleName) : std::string();
}

template <class T> int TClMapScanner::Search(const std::vector<T>& table, uint32_t offset) const {
    int lo = 0, hi = static_cast<int>(table.size()) - 1, found = -1;
    while (lo <= hi) {
        const int mid = lo + (hi - lo) / 2;
        if (table[mid].Offset == offset) {
            found = mid;
            break;
        }
        if (table[mid].Offset < offset) {
            found = mid;
            lo = mid + 1;
        } else {
            hi = mid - 1;
        }
    }
    if (found < 0 || table[found].Offset < ModuleStartFromAddr(offset)) return -1;
    return found;
}

std::string TClMapScanner::ProcNameFromAddr(uint32_t offset, uint32_t& distance) const {
    distance = 0;
    const int i = Search(FProcNames, offset);
    if (i < 0) return {};
    distance = offset - FProcNames[i].Offset;
    return MapStringToStr(FProcNames[i].Name);
}

uint32_t TClMapScanner::LineNumberFromAddr(uint32_t offset, uint32_t& distance) const {
    distance = 0;
    const int i = Search(FLineNumbers, offset);
    if (i < 0) return 0;
    distance = offset - FLineNumbers[i].Offset;
    return FLineNumbers[i].LineNumber;
}

std::string TClMapScanner::SourceNameFromAddr(uint32_t offset) const {
    const int i = Search(FSourceNames, offset);
    return i < 0 ? std::string() : MapStringToStr(FSourceNames[i].Name);
}

// ---- .map parser with events ----------------------------------------------------------------

void TClMapParser::ClassTableItem(const TClMapAddress& address, uint32_t length, TMapString name,
                                  TMapString className) {
    if (FOnClassTable)
        FOnClassTable(address, length, MapStringToStr(name), MapStringToStr(className));
}
void TClMapParser::SegmentItem(const TClMapAddress& address, uint32_t length, TMapString moduleName,
                               TMapString className) {
    if (FOnSegmentItem)
        FOnSegmentItem(address, length, MapStringToFileName(moduleName), MapStringToStr(className));
}
void TClMapParser::PublicsByNameItem(const TClMapAddress& address, TMapString name) {
    if (FOnPublicsByName) FOnPublicsByName(address, MapStringToStr(name));
}
void TClMapParser::PublicsByValueItem(const TClMapAddress& address, TMapString name) {
    if (FOnPublicsByValue) FOnPublicsByValue(address, MapStringToStr(name));
}
void TClMapParser::LineNumberUnitItem(TMapString unitName, TMapString unitFileName) {
    if (FOnLineNumberUnit)
        FOnLineNumberUnit(MapStringToStr(unitName), MapStringToStr(unitFileName));
}
void TClMapParser::LineNumbersItem(uint32_t lineNumber, const TClMapAddress& address) {
    if (FOnLineNumbers) FOnLineNumbers(lineNumber, address);
}

// ---- .map source ----------------------------------------------------------------------------

TClDebugInfoMap::TClDebugInfoMap(uintptr_t module, const TModuleAccess& access)
    : TClDebugInfoScanSource(module, access) {
    InitializeSource();
}

bool TClDebugInfoMap::InitializeSource() {
    FScanner.reset();
    const std::string fileName = GetFileName();
    if (fileName.empty()) return false;
    auto scanner = std::make_unique<TClMapScanner>(ChangeFileExt(fileName, ".map"), Access());
    if (scanner->HasText()) FScanner = std::move(scanner);
    return FScanner != nullptr;
}

std::string TClDebugInfoMap::ModuleNameFromAddr(uint32_t offset) const {
    return FScanner ? FScanner->ModuleNameFromAddr(offset) : std::string();
}
std::string TClDebugInfoMap::ProcNameFromAddr(uint32_t offset, uint32_t& distance) const {
    distance = 0;
    return FScanner ? FScanner->ProcNameFromAddr(offset, distance) : std::string();
}
uint32_t TClDebugInfoMap::LineNumberFromAddr(uint32_t offset, uint32_t& distance) const {
    distance = 0;
    return FScanner ? FScanner->LineNumberFromAddr(offset, distance) : 0;
}
std::string TClDebugInfoMap::SourceNameFromAddr(uint32_t offset) const {
    return FScanner ? FScanner->SourceNameFromAddr(offset) : std::string();
}

} // namespace kv::crash
