#pragma once
// Reader of a module's own debug data (the debug block of its CLDATA data): unit records with
// code ranges and compact line programs that also name the procedures. Portable over a byte
// view; every length and count is checked against the data, and bad data ends the search
// (nothing found) rather than being read past. Names are deciphered with the cipher the start-up
// installs (CLDataCodecs), which is process-wide: lookups run where its other users run (the
// report thread or under the report lock).
#include <cstdint>
#include <string>
#include <string_view>

namespace kv::crash {

// The module's debug data and what is needed to read it.
struct TDebugDataSource {
    std::string_view Data;     // the debug data, from its first byte
    uint16_t Version = 0;      // data version of the module's block
    uint32_t Module = 0;       // module handle: code offsets count from Module + 0x1000
    std::string Password;      // the module's debug-data password
    bool PasswordValid = true; // false: names stay scrambled and show as "?" + Base64
};

// What the debug data says of one address.
struct TDebugDataHit {
    std::string UnitName;
    std::string ClassName;
    std::string ProcedureName;
    uint32_t Line = 0;
    bool HasProcStart = false;  // a procedure start was read for the hit
    int64_t ProcFirstLine = 0;  // that procedure's first line
    uint32_t ProcStartAddr = 0; // and its start address
};

// Finds the innermost unit record whose code holds address and walks its line program.
// False when nothing holds the address or the data is malformed.
bool FindInDebugData(const TDebugDataSource& source, uint32_t address, TDebugDataHit& hit);

// One line-program entry, decoded; exposed for the writer and its tests.
struct TLineProgramEntry {
    int32_t LineDelta = 0;
    uint32_t AddrDelta = 0;
    bool NewProcedure = false;
};
// Decodes the entry at the reader's position (without the procedure name that may follow).
class TByteReader;
bool ReadLineProgramEntry(TByteReader& reader, uint16_t version, TLineProgramEntry& entry);

} // namespace kv::crash
