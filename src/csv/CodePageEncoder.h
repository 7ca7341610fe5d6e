#pragma once
// UTF-16 straight to the bytes of a code page, unit by unit, through a table filled from the
// whole-text conversion itself (TStringUtility::StringToBytes, mapping fix included), one
// block of 256 units when a unit of it is first met. So a writer encodes each cell once, where
// converting whole lines costs a platform call per batch and two more passes (under Wine that
// call alone was half of a large save).
//
// Units whose bytes can depend on their neighbours have no entry: surrogates (pairs, and the
// dropping of lone ones) and, for 932, the units the platform's composite check may combine
// with the unit before. Text holding one is left to the whole-text conversion by the caller.
// Any thread.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>

class TCodePageEncoder {
public:
    // The encoder of codePage (0: the ANSI code page), or null when that code page is only
    // converted as a whole (every code page but Shift_JIS and UTF-8).
    static const TCodePageEncoder* For(unsigned short codePage);

    // At most this many bytes come from one unit.
    static constexpr size_t kMaxBytesPerUnit = 3;

    // Encodes text into out (room for kMaxBytesPerUnit bytes per unit) up to the first unit it
    // has no entry for or, with csvStop, the first unit a CSV line quotes or removes (controls
    // and space, '"', ','). Sets done to that unit's index (text.size() when all were encoded)
    // and returns the end of the bytes written.
    char* Encode(std::u16string_view text, char* out, bool csvStop, size_t& done) const;

    explicit TCodePageEncoder(unsigned codePage) : codePage_(codePage) {}
    TCodePageEncoder(const TCodePageEncoder&) = delete;
    TCodePageEncoder& operator=(const TCodePageEncoder&) = delete;

private:
    using Block = std::array<uint32_t, 256>;
    // An entry holds up to three bytes (first byte lowest) and their count in the top byte;
    // 0 for a unit without entry.
    uint32_t Entry(char16_t unit) const {
        const Block* b = blocks_[unit >> 8].load(std::memory_order_acquire);
        if (b == nullptr) b = FillBlock(unit >> 8);
        return (*b)[unit & 0xFF];
    }
    const Block* FillBlock(unsigned index) const;

    const unsigned codePage_;
    mutable std::mutex fillLock_;
    mutable std::array<std::unique_ptr<Block>, 256> owned_;
    mutable std::array<std::atomic<const Block*>, 256> blocks_{};
};
