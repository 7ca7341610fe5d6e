#pragma once
// Fuzz targets of the debug-data readers: each takes arbitrary bytes, reads them as its format
// (and, for TD32 and UL data, also as a module image in memory) and asks every query of the
// reader. They must never read past their data, loop without end or crash. libFuzzer entry
// points call them (tests/crash/fuzz/libfuzzer); the normal test run replays the committed seed
// corpora and mutations of them.
#include <cstddef>
#include <cstdint>

namespace kvtest {

int FuzzMapFile(const uint8_t* data, size_t size);
int FuzzTD32(const uint8_t* data, size_t size);
int FuzzUL(const uint8_t* data, size_t size);
// The first byte picks the data version and the password's validity; the rest is the module's
// stored debug data.
int FuzzDebugData(const uint8_t* data, size_t size);

} // namespace kvtest
