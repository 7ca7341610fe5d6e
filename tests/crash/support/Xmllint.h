#pragma once
// xmllint as an independent XML parser for the native tests of the log's XML form.
#include <cstdlib>
#include <string>

#include "TestFiles.h"

namespace kvtest {

inline bool XmllintInstalled() {
    return std::system("xmllint --version > /dev/null 2>&1") == 0;
}

// Runs xmllint with args on the text; true when it succeeds. output gets what it printed.
inline bool RunXmllint(const std::string& xml, const std::string& args, std::string& output) {
    TempFile input("xmllint_input.xml"), printed("xmllint_output.txt");
    input.Write(xml);
    const std::string command = "xmllint " + args + " \"" + input.FsPath().string() + "\" > \"" +
                                printed.FsPath().string() + "\" 2>&1";
    const bool ok = std::system(command.c_str()) == 0;
    output = printed.Read();
    return ok;
}

} // namespace kvtest
