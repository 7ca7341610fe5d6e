#pragma once
// The program's arguments, split from the process's whole command line as the class library's
// ParamStr does: white space (any character up to the space) separates arguments, a double
// quote switches quoting on and off and is dropped, a backslash is an ordinary character.
// Portable; the Windows part reads the process's wide command line.
#include <string>
#include <string_view>
#include <vector>

namespace app {

// Every argument of a command line, the program's own name (the first) included.
std::vector<std::u16string> SplitCommandLine(std::u16string_view commandLine);

// The arguments after the program's name, from the process's own wide command line
// (GetCommandLineW), so paths outside the ANSI code page survive. Windows only.
std::vector<std::u16string> ProgramArguments();

} // namespace app
