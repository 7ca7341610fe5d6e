#pragma once
// The debug data of a linked image as the crash component stores it: unit records (one source
// file's stretch of code) with their line rows and procedure starts, built from DWARF. Code from
// a header that was inlined into a function counts at the line of its call in the function's
// own file; rows of other files are left out, so every record holds lines of one file only.
#include <cstdint>
#include <string>
#include <vector>

#include "crash/tools/TDwarfReader.h"

namespace kv::crash::tools {

struct TModelLine {
    uint64_t Address = 0;
    uint32_t Line = 0;
};

struct TModelProc {
    uint64_t Address = 0;
    std::string ClassName;
    std::string Name;
};

struct TUnitRecord {
    std::string SourcePath; // normalised path of the record's source file
    std::string FileName;   // its name without folders, e.g. "TCsv.cpp"
    uint64_t Start = 0;     // virtual addresses: [Start, End)
    uint64_t End = 0;
    std::vector<TModelLine> Lines; // ascending, distinct addresses, no repeated line
    std::vector<TModelProc> Procs; // ascending, distinct addresses
};

// Records in ascending address order, none overlapping; only code inside the image's
// executable sections is kept (the linker leaves discarded copies at address 0).
std::vector<TUnitRecord> BuildDebugModel(const TPeImageFile& image,
                                         const std::vector<TDwarfUnit>& units);

// The name part of a path.
std::string BaseName(const std::string& path);

} // namespace kv::crash::tools
