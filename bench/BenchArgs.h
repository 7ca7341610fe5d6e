#pragma once
// The benchmark's command-line arguments as UTF-16, without the program name: the wide command
// line on Windows, so that any path survives the ANSI code page; UTF-8 argv elsewhere.
#include <string>
#include <vector>

std::vector<std::u16string> GetBenchArgs(int argc, char** argv);
