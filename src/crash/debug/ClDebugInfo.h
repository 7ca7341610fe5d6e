#pragma once
// Address lookup: turns a code address into module, unit, class, procedure, line and the line's
// distance from the procedure's first line, trying the module's own debug data, then its
// external debug source, then its exports. Lookups never raise for missing or bad data; they
// fall through to the next source. Any thread; the registry's records are borrowed.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "crash/debug/ClDebugData.h"
#include "crash/core/ClMemoryReader.h"
#include "crash/core/CrashRecordLists.h"

namespace kv::crash {

// Longest texts of a record (short strings).
constexpr size_t kMaxDebugName = 255;

// Sets a short-string field, cut to its longest length.
void SetShortString(std::string& field, std::string_view text, size_t maxLength = kMaxDebugName);

// The exported switch that shows the component's own units in call stacks.
extern bool ShowCrashLogUnits;
// The component's own units, hidden from lookups while ShowCrashLogUnits is false. The list is
// kept sorted and searched without regard to case; an empty list hides nothing.
void SetHiddenUnits(std::vector<std::string> unitFileNames);
bool IsHiddenUnit(std::string_view unitName);

// push ebp; mov ebp, esp at the address (55 8B EC, or the 55 89 E5 form our compiler emits).
bool IsFramePrologue(uint32_t address, const TMemoryReader& memory = ProcessMemory());
// push ebx (53) at the address.
bool IsPushEbxPrologue(uint32_t address, const TMemoryReader& memory = ProcessMemory());
// Whether the runtime's memory allocation routine starts with a frame.
bool IsRuntimeWithFrames();

// Fills a record from a hit in a module's own debug data: names, line and the line's distance
// from the procedure's first line (never negative), then hides the component's own units.
void DebugDataHitToDebugInfo(const TDebugDataHit& hit, uint32_t address, TCrashDebugInfo& info,
                             const TMemoryReader& memory = ProcessMemory());

// Splits an exported name into unit, class and procedure; false when it does not parse.
bool ExportNameToDebugInfo(const std::string& name, TCrashDebugInfo& info);

// Fills info for an address: module, then the module's own debug data, its external debug
// source or its exports; the error-line flag always reports source-code detail.
void GetDebugInfoByAddr(uintptr_t address, uint32_t threadId, TCrashDebugInfo& info,
                        bool runningThread, bool errorLine);
// Lookup in the module's own debug data only; true when found.
bool GetSourceInfoByAddr(uintptr_t address, TCrashDebugInfo& info);
// Lookup through the module's external debug source; true when found.
bool GetOtherSourceInfoByAddr(uintptr_t address, TCrashDebugInfo& info);
// Fills info from an external source's answer (GetOtherSourceInfoByAddr after the query);
// false when the answer names no procedure.
bool LocationInfoToDebugInfo(const TClLocationInfo& location, TCrashDebugInfo& info);

// Size of the code of an export not measured yet.
using TMeasureFunction = uint32_t (*)(uintptr_t address);
uint32_t MeasureFunctionSize(uintptr_t address);
// Binary search of the module's exports (sorted by address) for the first one whose
// [address, address + size] holds the address; unmeasured sizes are measured and stored. The
// caller holds the functions list's lock.
struct TExportSearch {
    int Index = 0;
    bool Found = false;
};
TExportSearch FindExportByAddr(uintptr_t address, TCrashModuleInfo& module,
                               TMeasureFunction measure = MeasureFunctionSize);

} // namespace kv::crash
