#pragma once
// Reads what the post-link tool needs from DWARF 2 to 5 in a linked image: each compile unit's
// line table (rows with file and line) and its concrete functions with their address ranges,
// names, enclosing classes, definition files and the call sites of the functions inlined into
// them. Malformed data ends the unit it is in; nothing is read past a section.
#include <cstdint>
#include <string>
#include <vector>

#include "crash/tools/TPeImageFile.h"

namespace kv::crash::tools {

struct TDwarfRange {
    uint64_t Low = 0;
    uint64_t High = 0; // one past the end
};

struct TDwarfRow {
    uint64_t Address = 0;
    uint32_t File = 0; // index into the unit's Files
    uint32_t Line = 0;
    bool EndSequence = false;
};

// A function inlined directly into a concrete function: where it was called from.
struct TDwarfInline {
    std::vector<TDwarfRange> Ranges;
    std::string CallFile; // normalised path; empty when unknown
    uint32_t CallLine = 0;
};

struct TDwarfFunction {
    std::string Name;
    std::string ClassName; // enclosing classes joined by "::"; empty for free functions
    std::string DeclFile;  // where the function is defined: normalised path; empty when unknown
    std::vector<TDwarfRange> Ranges;
    std::vector<TDwarfInline> Inlines;
};

struct TDwarfUnit {
    std::string Name;               // the primary source file, as a normalised path
    std::vector<std::string> Files; // line-table file entries as normalised paths
    std::vector<TDwarfRow> Rows;    // in line-program order
    std::vector<TDwarfFunction> Functions;
};

// Reads every compile unit of the image's DWARF. False, with err set, when the image holds no
// .debug_info or .debug_line.
bool ReadDwarf(const TPeImageFile& image, std::vector<TDwarfUnit>& units, std::string& err);

// A path with "." segments and doubled separators removed.
std::string NormalisePath(const std::string& path);

} // namespace kv::crash::tools
