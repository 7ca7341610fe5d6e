// Native builds hold no 32-bit Windows process: nothing at a 32-bit address is readable.
#include "crash/core/ClMemoryReader.h"

namespace kv::crash {

namespace {
class TNoMemory final : public TMemoryReader {
public:
    bool IsValid(uint32_t, uint32_t len) const override { return len == 0; }
    bool Read(uint32_t, void*, uint32_t len) const override { return len == 0; }
};
} // namespace

const TMemoryReader& ProcessMemory() {
    static const TNoMemory memory;
    return memory;
}

} // namespace kv::crash
