#pragma once
// How much of a memory range this process may read: the hooks, the disassembler and the module
// readers look at code and images they do not own and must stop before unreadable pages.
#include <cstddef>

namespace kv::crash {

// Number of bytes from p on (at most maxBytes) that pass the core's validity test.
size_t ValidBytesAt(const void* p, size_t maxBytes);

} // namespace kv::crash
