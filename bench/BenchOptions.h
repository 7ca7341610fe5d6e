#pragma once
// The options of a benchmark run (both files, keys, title flags, view, order or sort conditions,
// encoding, append, output) and their parser, shared by the benchmarks so that they run the
// same choices.
#include <string>
#include <vector>

#include "csv/TCsvSorter.h"

// The options as a usage text, one option group a line.
extern const char* const kBenchUsage;

struct BenchOptions {
    std::u16string left;
    std::u16string right;
    std::u16string out;
    int leftKey = 0;
    int rightKey = 0;
    bool leftTitle = false;
    bool rightTitle = false;
    int view = 0;
    int order = 0;
    std::vector<TCsvSorter::TSortInfo> sort;
    int encoding = 0;
    bool append = false;
};

// False with error filled when an option is unknown, lacks its value or has a bad one.
bool ParseBenchOptions(const std::vector<std::u16string>& args, BenchOptions& o,
                       std::string& error);
