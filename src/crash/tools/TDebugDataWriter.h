#pragma once
// Writes a module's debug data in the crash component's stored form (unit records with compact
// line programs and enciphered names) and the CLDATA trailer that carries it at the end of the
// module's file, plus the linker-style .map text the .map reader understands.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "crash/tools/TDebugModel.h"

namespace kv::crash::tools {

// The data version we write: the component's current one (names enciphered, continuation
// names, explicit line-program entries).
constexpr uint16_t kDebugDataVersion = 6104;
constexpr uint32_t kCLDataTrailerMagic = 0x100FAB10;

// Appends one line-program entry moving the pair by (lineDelta, addrDelta), split into several
// entries when the deltas do not fit one; the last entry starts a procedure when name is given.
// The name field holds "Class.Proc" (or "Proc"), each part enciphered under password.
void AppendLineProgramEntry(std::string& out, int64_t lineDelta, uint64_t addrDelta,
                            const TModelProc* proc, const std::string& password);

// One name field: at most 127 bytes per part, parts after the first as continuations, each part
// enciphered under password (the component's process-wide cipher key is set to it).
void AppendNameField(std::string& out, const std::vector<std::string>& parts,
                     const std::string& password);

// The debug data: unit count and unit records. Code offsets count from imageBase + 0x1000;
// records below that are left out.
std::string WriteDebugData(const std::vector<TUnitRecord>& records, uint64_t imageBase,
                           const std::string& password);

// The trailer: version, compilation date, the options stream, the debug data with its count,
// the length of all that, and the magic.
std::string BuildCLDataTrailer(uint16_t version, double compilationDate, std::string_view options,
                               std::string_view debugData);

// Days since 1899-12-30 of a POSIX time.
double PosixTimeToDateTime(int64_t seconds);

// The linker .map text: segment table, publics by name and by value, and a "Line numbers for"
// block per record, with offsets from imageBase + 0x1000 in segment 1.
std::string WriteMapFile(const std::vector<TUnitRecord>& records, uint64_t imageBase);

// A name as a .map public: "Unit.Class.Proc" with no blanks, no "(" and no "." inside parts.
std::string MapPublicName(const TUnitRecord& record, const TModelProc& proc);

} // namespace kv::crash::tools
