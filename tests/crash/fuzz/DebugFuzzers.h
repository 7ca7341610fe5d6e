#pragma once
// Fuzz targets of the debug-data readers: each takes arbitrary bytes, reads them as its format
// (as a file beside the module and as the module's image in memory) and asks every query of the
// reader. They must never read past their data, loop without end or crash. libFuzzer entry
// points call them (tests/crash/fuzz/libfuzzer); the normal test run replays the committed seed
// corpora and mutations of them, and checks what the readers answered.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kvtest {

// One location query a target asked and its answer. Every query is asked twice, all of them
// once and then all again (pass 0 and 1).
struct FuzzAnswer {
    std::string reader; // "map", "TD32", "UL" or "debug data"
    int pass = 0;
    uintptr_t query = 0; // the address asked about
    bool found = false;
    uintptr_t address = 0;   // the address of the answer (location readers)
    uintptr_t procStart = 0; // the procedure's start, when the debug data read one; else 0
    std::string unit, procedure, source;
    uint32_t line = 0;
};
using FuzzAnswers = std::vector<FuzzAnswer>;

// Code offsets of the queries count from this module's base + 0x1000.
constexpr uint32_t kFuzzModule = 0x400000;

// answers: when given, what each location query answered.
int FuzzMapFile(const uint8_t* data, size_t size, FuzzAnswers* answers = nullptr);
int FuzzTD32(const uint8_t* data, size_t size, FuzzAnswers* answers = nullptr);
int FuzzUL(const uint8_t* data, size_t size, FuzzAnswers* answers = nullptr);
// The first byte picks the data version and the password's validity; the rest is the module's
// stored debug data.
int FuzzDebugData(const uint8_t* data, size_t size, FuzzAnswers* answers = nullptr);

} // namespace kvtest
