#pragma once
// Reads of memory the crash component does not own, as 32-bit addresses: the process itself
// (Win32: every read is first checked as the component's safe reads require; natively nothing is
// readable) or a synthetic address space made of byte regions (stack scans over copies, tests).
// Readers are const and keep no state; any thread.
#include <cstdint>
#include <string>
#include <vector>

namespace kv::crash {

class TMemoryReader {
public:
    // True when all len bytes at addr are readable; a length of 0 is always valid.
    virtual bool IsValid(uint32_t addr, uint32_t len) const = 0;
    // Copies len bytes at addr into out; false when any of them is not readable.
    virtual bool Read(uint32_t addr, void* out, uint32_t len) const = 0;

    bool ReadU8(uint32_t addr, uint8_t& v) const { return Read(addr, &v, 1); }
    bool ReadU32(uint32_t addr, uint32_t& v) const;

protected:
    ~TMemoryReader() = default; // never owned through this interface
};

// The memory of this process.
const TMemoryReader& ProcessMemory();

// A synthetic address space: byte regions at given addresses; everything else is unreadable.
// Regions must not overlap; a range spanning adjacent regions is readable.
class TRegionMemory final : public TMemoryReader {
public:
    void Add(uint32_t base, std::string bytes);
    bool IsValid(uint32_t addr, uint32_t len) const override;
    bool Read(uint32_t addr, void* out, uint32_t len) const override;

private:
    struct Region {
        uint32_t base;
        std::string bytes;
    };
    const Region* Find(uint32_t addr) const;
    std::vector<Region> regions_; // sorted by base
};

} // namespace kv::crash
