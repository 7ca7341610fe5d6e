#pragma once
// The base of a module's external debug source (the linker's .map file, TD32 data, UL data):
// answers where an address lies in the source. The readers derive from it; the module registry
// owns one per module that has no debug block of its own.
#include <cstdint>
#include <string>

namespace kv::crash {

class TClDebugInfoSource;

// What a source knows of one address.
struct TClLocationInfo {
    uintptr_t Address = 0;
    std::string UnitName;
    std::string ProcedureName;
    uint32_t ProcOffsetLine = 0;
    uint32_t LineNumber = 0;
    std::string SourceName;
    TClDebugInfoSource* DebugInfo = nullptr; // not owned
};

class TClDebugInfoSource {
public:
    explicit TClDebugInfoSource(uintptr_t module) : FModule(module) {}
    virtual ~TClDebugInfoSource() = default;
    TClDebugInfoSource(const TClDebugInfoSource&) = delete;
    TClDebugInfoSource& operator=(const TClDebugInfoSource&) = delete;

    // Looks for the data; whether it was found. Called once after construction.
    virtual bool InitializeSource() = 0;
    virtual bool ValidData() const = 0;
    // Fills info for an address of the module; false when the source does not know it.
    virtual bool GetLocationInfo(uintptr_t address, TClLocationInfo& info) = 0;
    // Offset of an address from the start of the module's first section.
    uintptr_t VAFromAddr(uintptr_t address) const { return address - FModule - 0x1000; }
    uintptr_t Module() const { return FModule; }

protected:
    uintptr_t FModule;
};

} // namespace kv::crash
