#include "BenchArgs.h"

#include <windows.h>
#include <shellapi.h>

// argv of a MinGW program holds ANSI text, which loses characters outside code page 932; the
// wide command line has them all.
std::vector<std::u16string> GetBenchArgs(int, char**) {
    std::vector<std::u16string> args;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return args;
    for (int i = 1; i < count; ++i) args.emplace_back(reinterpret_cast<const char16_t*>(wide[i]));
    LocalFree(wide);
    return args;
}
