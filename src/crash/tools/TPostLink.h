#pragma once
// The post-link step of the build: gives a linked Windows executable its stored CLDATA block
// (the debug data taken from its own DWARF, appended as a trailer after its debug sections are
// stripped) and writes the .map file beside it. Runs on the build host.
#include <string>

namespace kv::crash::tools {

struct TPostLinkOptions {
    std::string Executable;
    std::string StripProgram; // run as "<program> --strip-debug <exe>"; empty: no stripping
    std::string OptionsFile;  // a ready options stream; empty: the component's defaults
    std::string Password;     // the debug-data password; empty by default
};

// False, with err set, when the executable cannot be read, holds no DWARF or cannot be
// written. An executable that already ends with a CLDATA trailer is left as it is.
bool RunPostLink(const TPostLinkOptions& options, std::string& report, std::string& err);

// True when the file ends with a CLDATA trailer that the module registry reads (options and
// debug data of the current version).
bool CheckCLDataTrailer(const std::string& executable, std::string& err);

// The options stream stored with our modules: the component's defaults.
std::string DefaultOptionsStream();

} // namespace kv::crash::tools
