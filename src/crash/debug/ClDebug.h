#pragma once
// External debug sources of a module that carries no CLDATA block: the linker's text .map file
// beside it, TD32 data (in the image's debug directory or a .tds file) and UL binary debug data
// (section "ULDEBUG" or a .udbg file). All three answer the same location query. Readers are
// portable over byte views; every length, offset and count read from the data is checked and bad
// data is rejected, never read past. A source is built once and then only read; callers
// serialise lookups on one source (the module registry's lock).
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "crash/core/ClMemoryReader.h"
#include "crash/core/TClDebugInfoSource.h"

namespace kv::crash {

// How a source reaches its module: the module's memory, its file name and files beside it.
class TModuleAccess {
public:
    virtual const TMemoryReader& Memory() const = 0;
    // The module's file name (ANSI); empty when unknown.
    virtual std::string ModuleFileName(uint32_t module) const = 0;
    // The whole file; false when it is missing or cannot be read.
    virtual bool ReadWholeFile(const std::string& fileName, std::string& bytes) const;

protected:
    ~TModuleAccess() = default; // never owned through this interface
};

// This process: its memory and its loaded modules.
const TModuleAccess& ProcessModules();

// The base of the three sources: the location query over four lookups of the source's own
// scanner, by offset from the start of the module's first section (VAFromAddr).
class TClDebugInfoScanSource : public TClDebugInfoSource {
public:
    // Module (unit), procedure, line and source file of an address; false when the source has
    // no module name for it. The line's distance from the procedure's first line is never
    // negative.
    bool GetLocationInfo(uintptr_t address, TClLocationInfo& info) override;
    // The module's file name; empty when unknown.
    std::string GetFileName() const { return access_->ModuleFileName(Module32()); }

protected:
    TClDebugInfoScanSource(uintptr_t module, const TModuleAccess& access)
        : TClDebugInfoSource(module), access_(&access) {}
    const TModuleAccess& Access() const { return *access_; }
    uint32_t Module32() const { return static_cast<uint32_t>(FModule); }

    virtual std::string ModuleNameFromAddr(uint32_t offset) const = 0;
    virtual std::string ProcNameFromAddr(uint32_t offset, uint32_t& distance) const = 0;
    virtual uint32_t LineNumberFromAddr(uint32_t offset, uint32_t& distance) const = 0;
    virtual std::string SourceNameFromAddr(uint32_t offset) const = 0;

private:
    const TModuleAccess* access_;
};

// Picks the module's external source: .map file, then TD32, then UL data. False, and nothing
// changes, when source already holds one; false, source empty, when none is valid.
bool AssignValidDebugInfo(uintptr_t module, std::unique_ptr<TClDebugInfoSource>& source,
                          const TModuleAccess& access);
// The same over this process's modules; the module registry calls it through its hook.
bool AssignValidDebugInfo(uintptr_t module, std::unique_ptr<TClDebugInfoSource>& source);
// ---- .map files -------------------------------------------------------------------------------

struct TClMapAddress {
    uint16_t Segment = 0;
    uint32_t Offset = 0;
};

// A name inside the map text: a position, or none.
using TMapString = size_t;
constexpr TMapString kNoMapString = static_cast<size_t>(-1);

// The parse of a linker .map text; descendants receive its items. The whole text stays in
// memory and names are positions in it, turned into text on demand.
class TClAbstractMapParser {
public:
    virtual ~TClAbstractMapParser() = default;
    // Loads the file when it exists (no text otherwise).
    TClAbstractMapParser(const std::string& fileName, const TModuleAccess& access);
    // Over a text already in memory.
    struct TText {
        std::string Bytes;
    };
    explicit TClAbstractMapParser(TText text) : FStream(std::move(text.Bytes)) {}

    void Parse();
    bool HasText() const { return FStream.has_value(); }

    // The name at a position: "(" gives the text up to ")", otherwise the text up to a line end,
    // blank or "(".
    std::string MapStringToStr(TMapString s) const;
    // A module name without folder and extension; the end is the line end or the blank before
    // a following "name=value" parameter.
    std::string MapStringToFileName(TMapString s) const;
    std::string GetLinkerBugUnitName() const { return MapStringToStr(FLinkerBugUnitName); }

protected:
    virtual void ClassTableItem(const TClMapAddress& address, uint32_t length, TMapString name,
                                TMapString className) = 0;
    virtual void SegmentItem(const TClMapAddress& address, uint32_t length, TMapString moduleName,
                             TMapString className) = 0;
    virtual void PublicsByNameItem(const TClMapAddress& address, TMapString name) = 0;
    virtual void PublicsByValueItem(const TClMapAddress& address, TMapString name) = 0;
    virtual void LineNumberUnitItem(TMapString unitName, TMapString unitFileName) = 0;
    virtual void LineNumbersItem(uint32_t lineNumber, const TClMapAddress& address) = 0;

    bool FLinkerBug = false;
    TMapString FLinkerBugUnitName = kNoMapString;
    std::optional<std::string> FStream;
    TMapString FLastUnitName = kNoMapString;
    TMapString FLastUnitFileName = kNoMapString;
};

// Keeps the code segment's items in tables for address lookups.
class TClMapScanner : public TClAbstractMapParser {
public:
    TClMapScanner(const std::string& fileName, const TModuleAccess& access);
    explicit TClMapScanner(TText text);

    void Scan();
    uint32_t ModuleStartFromAddr(uint32_t offset) const; // 0xFFFFFFFF when none
    std::string ModuleNameFromAddr(uint32_t offset) const;
    std::string ProcNameFromAddr(uint32_t offset, uint32_t& distance) const;
    uint32_t LineNumberFromAddr(uint32_t offset, uint32_t& distance) const;
    std::string SourceNameFromAddr(uint32_t offset) const;
    int LineNumberErrors() const { return FLineNumberErrors; }

protected:
    void ClassTableItem(const TClMapAddress&, uint32_t, TMapString, TMapString) override {}
    void SegmentItem(const TClMapAddress& address, uint32_t length, TMapString moduleName,
                     TMapString className) override;
    void PublicsByNameItem(const TClMapAddress&, TMapString) override {}
    void PublicsByValueItem(const TClMapAddress& address, TMapString name) override;
    void LineNumberUnitItem(TMapString unitName, TMapString unitFileName) override;
    void LineNumbersItem(uint32_t lineNumber, const TClMapAddress& address) override;

private:
    struct TSegment {
        uint32_t StartOffset;
        uint32_t EndOffset;
        TMapString ModuleName;
    };
    struct TProcName {
        uint32_t Offset;
        TMapString Name;
    };
    struct TLineNumber {
        uint32_t Offset;
        uint32_t LineNumber;
    };
    struct TSourceName {
        uint32_t Offset;
        TMapString Name;
    };
    // Index of the nearest entry at or below offset in a table sorted by offset, and at or above
    // the start of the segment that holds the offset; -1 when none.
    template <class T> int Search(const std::vector<T>& table, uint32_t offset) const;

    std::vector<TSegment> FSegments;
    std::vector<TProcName> FProcNames;
    std::vector<TLineNumber> FLineNumbers;
    std::vector<TSourceName> FSourceNames;
    TClMapAddress FLastValidAddr;
    uint32_t FTopValidAddr = 0;
    int FLineNumberErrors = 0;
    TMapString FNewUnitFileName = kNoMapString;
};

// Hands every item to an event with its names as text. Nothing in the program uses it; it
// serves tools and tests.
class TClMapParser : public TClAbstractMapParser {
public:
    using TClAbstractMapParser::TClAbstractMapParser;
    std::function<void(const TClMapAddress&, uint32_t, const std::string&, const std::string&)>
        FOnClassTable;
    std::function<void(const TClMapAddress&, uint32_t, const std::string&, const std::string&)>
        FOnSegmentItem;
    std::function<void(const TClMapAddress&, const std::string&)> FOnPublicsByName;
    std::function<void(const TClMapAddress&, const std::string&)> FOnPublicsByValue;
    std::function<void(const std::string&, const std::string&)> FOnLineNumberUnit;
    std::function<void(uint32_t, const TClMapAddress&)> FOnLineNumbers;

protected:
    void ClassTableItem(const TClMapAddress& address, uint32_t length, TMapString name,
                        TMapString className) override;
    void SegmentItem(const TClMapAddress& address, uint32_t length, TMapString moduleName,
                     TMapString className) override;
    void PublicsByNameItem(const TClMapAddress& address, TMapString name) override;
    void PublicsByValueItem(const TClMapAddress& address, TMapString name) override;
    void LineNumberUnitItem(TMapString unitName, TMapString unitFileName) override;
    void LineNumbersItem(uint32_t lineNumber, const TClMapAddress& address) override;
};

class TClDebugInfoMap final : public TClDebugInfoScanSource {
public:
    explicit TClDebugInfoMap(uintptr_t module, const TModuleAccess& access = ProcessModules());
    bool InitializeSource() override;
    bool ValidData() const override { return FScanner != nullptr; }
    const TClMapScanner* Scanner() const { return FScanner.get(); }

protected:
    std::string ModuleNameFromAddr(uint32_t offset) const override;
    std::string ProcNameFromAddr(uint32_t offset, uint32_t& distance) const override;
    uint32_t LineNumberFromAddr(uint32_t offset, uint32_t& distance) const override;
    std::string SourceNameFromAddr(uint32_t offset) const override;

private:
    std::unique_ptr<TClMapScanner> FScanner;
};

// ---- TD32 -------------------------------------------------------------------------------------

// The 8-byte signature record at both ends of TD32 data: "FB09" or "FB0A" and an offset.
struct TClTD32Sign {
    char Signature[4];
    uint32_t Offset;
};
bool IsTD32Sign(const TClTD32Sign& sign);
// More than 8 bytes whose last 8 are a signature whose distance back (at least 8, at most the
// size) lands on another signature.
bool IsTD32DebugInfoValid(const void* data, size_t size);

struct TClModuleInfo {
    uint32_t FNameIndex = 0;
    size_t FSegments = 0; // position of the segment records in the data
    uint16_t FSegmentCount = 0;
};

struct TClLineInfo {
    uint32_t FLineNo = 0;
    uint32_t FOffset = 0;
};

struct TClSourceModuleInfo {
    std::vector<TClLineInfo> FLines;
    size_t FSegments = 0; // position of the (start, end) pairs in the data
    uint16_t FSegmentCount = 0;
    uint32_t FNameIndex = 0;
    // The line that covers offset; nullptr past the last line.
    const TClLineInfo* FindLine(uint32_t offset) const;
};

// Kept symbol records; only the procedures take part in lookups.
struct TClSymbolInfo {
    explicit TClSymbolInfo(uint16_t type) : FSymbolType(type) {}
    virtual ~TClSymbolInfo() = default;
    uint16_t FSymbolType;
};
struct TClProcSymbolInfo : TClSymbolInfo {
    using TClSymbolInfo::TClSymbolInfo;
    uint32_t FNameIndex = 0, FOffset = 0, FSize = 0;
};
struct TClLocalProcSymbolInfo final : TClProcSymbolInfo {
    TClLocalProcSymbolInfo() : TClProcSymbolInfo(0x0204) {}
};
struct TClGlobalProcSymbolInfo final : TClProcSymbolInfo {
    TClGlobalProcSymbolInfo() : TClProcSymbolInfo(0x0205) {}
};
struct TClObjNameSymbolInfo final : TClSymbolInfo {
    TClObjNameSymbolInfo() : TClSymbolInfo(0x0009) {}
    uint32_t FSignature = 0, FNameIndex = 0;
};
struct TCLDataSymbolInfo : TClSymbolInfo {
    using TClSymbolInfo::TClSymbolInfo;
    uint32_t FOffset = 0, FTypeIndex = 0, FNameIndex = 0;
};
struct TClLDataSymbolInfo final : TCLDataSymbolInfo {
    TClLDataSymbolInfo() : TCLDataSymbolInfo(0x0201) {}
};
struct TClGDataSymbolInfo final : TCLDataSymbolInfo {
    TClGDataSymbolInfo() : TCLDataSymbolInfo(0x0202) {}
};
struct TClPublicSymbolInfo final : TCLDataSymbolInfo {
    TClPublicSymbolInfo() : TCLDataSymbolInfo(0x0203) {}
};
struct TClWithSymbolInfo final : TClSymbolInfo {
    TClWithSymbolInfo() : TClSymbolInfo(0x0208) {}
    uint32_t FOffset = 0, FSize = 0, FNameIndex = 0;
};
struct TClLabelSymbolInfo final : TClSymbolInfo {
    TClLabelSymbolInfo() : TClSymbolInfo(0x0209) {}
    uint32_t FOffset = 0, FNameIndex = 0;
};
struct TClConstantSymbolInfo final : TClSymbolInfo {
    TClConstantSymbolInfo() : TClSymbolInfo(0x0003) {}
    uint32_t FValue = 0, FTypeIndex = 0, FNameIndex = 0;
};
struct TClUdtSymbolInfo final : TClSymbolInfo {
    TClUdtSymbolInfo() : TClSymbolInfo(0x0004) {}
    uint32_t FTypeIndex = 0, FNameIndex = 0;
    uint16_t FProperties = 0;
};
struct TClVftPathSymbolInfo final : TClSymbolInfo {
    TClVftPathSymbolInfo() : TClSymbolInfo(0x020B) {}
    uint32_t FRootIndex = 0, FPathIndex = 0, FOffset = 0;
};

template <class T> using TObjectListEx = std::vector<std::unique_ptr<T>>;

// Parses TD32 data held in memory: modules, source modules with their lines, symbols, names.
class TClTD32InfoParser {
public:
    explicit TClTD32InfoParser(std::string data);
    virtual ~TClTD32InfoParser() = default;
    bool ValidData() const { return FValidData; }
    // Name by index (0 and unknown indices give empty text).
    std::string Name(uint32_t index) const;
    size_t LfaToVa(size_t offset) const { return FBase + offset; }

    const std::vector<TClModuleInfo>& Modules() const { return FModules; }
    const std::vector<TClSourceModuleInfo>& SourceModules() const { return FSourceModules; }
    const TObjectListEx<TClSymbolInfo>& Symbols() const { return FSymbols; }

protected:
    std::string_view Bytes() const { return FData; }

private:
    void Analyse();
    void AnalyseModule(size_t pos, size_t size);
    void AnalyseSourceModule(size_t pos, size_t size);
    void AnalyseAlignedSymbols(size_t pos, size_t size);
    void AnalyseNames(size_t pos, size_t size);

    std::string FData;
    size_t FBase = 0; // start of the TD32 data within FData
    std::vector<std::string_view> FNames;
    std::vector<TClModuleInfo> FModules;
    std::vector<TClSourceModuleInfo> FSourceModules;
    TObjectListEx<TClSymbolInfo> FSymbols;
    bool FValidData = false;
};

class TClTD32InfoScanner final : public TClTD32InfoParser {
public:
    using TClTD32InfoParser::TClTD32InfoParser;
    const TClModuleInfo* FindModule(uint32_t offset) const;
    const TClSourceModuleInfo* FindSourceModule(uint32_t offset) const;
    const TClProcSymbolInfo* FindProc(uint32_t offset) const;
    uint32_t LineNumberFromAddr(uint32_t offset, uint32_t& distance) const;
    std::string ModuleNameFromAddr(uint32_t offset) const;
    std::string ProcNameFromAddr(uint32_t offset, uint32_t& distance) const;
    std::string SourceNameFromAddr(uint32_t offset) const;
};

// A symbol name made readable: compiler decorations dropped, "@" as "." and the module's own
// name removed from its front.
std::string CleanTD32ProcName(const std::string& moduleName, const std::string& symbolName);

// Finds a module's TD32 data: its image's debug directory first, else a .tds file beside it.
class TClPeBorTD32Image {
public:
    TClPeBorTD32Image(uint32_t module, const TModuleAccess& access);
    bool FIsTD32DebugPresent = false;
    const TClTD32InfoScanner* Scanner() const { return FTD32Scanner.get(); }
    void Clear() { ClearDebugData(); }
    void ClearDebugData();
    bool IsDebugInfoInImage(std::string& data) const;
    bool IsDebugInfoInTds(std::string& data) const;

private:
    void CheckDebugData();
    uint32_t FModule;
    const TModuleAccess* access_;
    std::unique_ptr<TClTD32InfoScanner> FTD32Scanner;
};

class TClDebugInfoTD32 final : public TClDebugInfoScanSource {
public:
    explicit TClDebugInfoTD32(uintptr_t module, const TModuleAccess& access = ProcessModules());
    bool InitializeSource() override;
    bool ValidData() const override;

protected:
    std::string ModuleNameFromAddr(uint32_t offset) const override;
    std::string ProcNameFromAddr(uint32_t offset, uint32_t& distance) const override;
    uint32_t LineNumberFromAddr(uint32_t offset, uint32_t& distance) const override;
    std::string SourceNameFromAddr(uint32_t offset) const override;

private:
    std::unique_ptr<TClPeBorTD32Image> FImage;
};

// ---- UL debug data ----------------------------------------------------------------------------

class TClBinDebugScanner {
public:
    TClBinDebugScanner(std::string data, bool cacheData);
    bool ValidFormat() const { return FValidFormat; }
    bool CheckFormat() const;

    // One variable-length number at pos (advanced); false at the table's end value or when the
    // data ends first.
    bool ReadValue(size_t& pos, int32_t& value) const;
    // The data at an offset; nullptr past the end.
    const char* MakePtr(size_t offset) const {
        return offset < FStream.size() ? FStream.data() + offset : nullptr;
    }
    std::string DataToStr(int32_t nameOffset) const;
    std::string GetModuleName() const;
    uint32_t ModuleStartFromAddr(uint32_t offset) const; // 0xFFFFFFFF when none
    std::string ModuleNameFromAddr(uint32_t offset) const;
    std::string SourceNameFromAddr(uint32_t offset) const;
    std::string ProcNameFromAddr(uint32_t offset, uint32_t& distance) const;
    uint32_t LineNumberFromAddr(uint32_t offset, uint32_t& distance) const;

private:
    struct TProcEntry {
        uint32_t Addr;
        int32_t FirstName;
        int32_t SecondName;
    };
    struct TLineEntry {
        uint32_t Addr;
        int32_t Line;
    };
    bool TableStart(int headerPos, size_t& pos) const;
    void CacheLineNumbers() const;
    void CacheProcNames() const;
    std::vector<TProcEntry> WalkProcNames() const;
    std::vector<TLineEntry> WalkLineNumbers() const;

    bool FCacheData;
    std::string FStream;
    bool FValidFormat = false;
    mutable std::optional<std::vector<TLineEntry>> FLineNumbers;
    mutable std::optional<std::vector<TProcEntry>> FProcNames;
};

class TClDebugInfoUL final : public TClDebugInfoScanSource {
public:
    explicit TClDebugInfoUL(uintptr_t module, const TModuleAccess& access = ProcessModules());
    bool InitializeSource() override;
    bool ValidData() const override { return FScanner && FScanner->ValidFormat(); }

protected:
    std::string ModuleNameFromAddr(uint32_t offset) const override;
    std::string ProcNameFromAddr(uint32_t offset, uint32_t& distance) const override;
    uint32_t LineNumberFromAddr(uint32_t offset, uint32_t& distance) const override;
    std::string SourceNameFromAddr(uint32_t offset) const override;

private:
    std::unique_ptr<TClBinDebugScanner> FScanner;
};

// The headers of a loaded module, for the readers that look into images.
struct TPeSection {
    std::string Name; // up to 8 characters
    uint32_t VirtualAddress = 0;
    uint32_t VirtualSize = 0;
    uint32_t RawSize = 0;
};
struct TPeHeaders {
    uint32_t NtHeaders = 0;    // address of the "PE" signature
    uint32_t DebugDirAddr = 0; // relative
    uint32_t DebugDirSize = 0;
    std::vector<TPeSection> Sections;
};
// Reads "MZ", the header offset, 248 bytes of NT headers ("PE" and two zero bytes) and the
// section table of the module in memory; false on any unreadable or wrong step.
bool ReadModuleHeaders(const TMemoryReader& memory, uint32_t module, TPeHeaders& headers);

} // namespace kv::crash
