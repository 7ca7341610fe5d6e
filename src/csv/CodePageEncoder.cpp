#include "csv/CodePageEncoder.h"

#include <string>

#include "base/CodePageConv.h"
#include "csv/MBCSUtils.h"
#include "csv/TStringUtility.h"

const TCodePageEncoder* TCodePageEncoder::For(unsigned short codePage) {
    static const TCodePageEncoder shiftJis(932);
    static const TCodePageEncoder utf8(65001);
    const unsigned cp = codePage == 0 ? kv::GetAnsiCodePage() : codePage;
    if (cp == 932) return &shiftJis;
    if (cp == 65001) return &utf8;
    return nullptr;
}

char* TCodePageEncoder::Encode(std::u16string_view text, char* out, bool csvStop,
                               size_t& done) const {
    const size_t n = text.size();
    size_t i = 0;
    for (; i < n; ++i) {
        const char16_t u = text[i];
        if (u < 0x80) {
            // ASCII is itself in both code pages, and no fix touches it.
            if (csvStop && (u <= 0x20 || u == u'"' || u == u',')) break;
            *out++ = static_cast<char>(u);
            continue;
        }
        const uint32_t e = Entry(u);
        if (e == 0) break;
        out[0] = static_cast<char>(e);
        out[1] = static_cast<char>(e >> 8);
        out[2] = static_cast<char>(e >> 16);
        out += e >> 24;
    }
    done = i;
    return out;
}

namespace {

// Bytes of the character that starts at lead, by the code page's own rules.
size_t CharacterBytes(unsigned codePage, uint8_t lead) {
    if (codePage == 932)
        return (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC) ? 2 : 1;
    if (lead < 0x80) return 1;
    if (lead >= 0xC0 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    return 0; // not a character of the Basic Multilingual Plane
}

uint32_t MakeEntry(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > TCodePageEncoder::kMaxBytesPerUnit) return 0;
    uint32_t e = 0;
    for (size_t k = 0; k < bytes.size(); ++k)
        e |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[k])) << (8 * k);
    return e | static_cast<uint32_t>(bytes.size()) << 24;
}

} // namespace

const TCodePageEncoder::Block* TCodePageEncoder::FillBlock(unsigned index) const {
    const std::lock_guard<std::mutex> lock(fillLock_);
    if (const Block* b = blocks_[index].load(std::memory_order_acquire)) return b;
    auto block = std::make_unique<Block>();
    block->fill(0);
    std::u16string units; // the block's units that get an entry
    for (unsigned low = 0; low < 256; ++low) {
        const char16_t u = static_cast<char16_t>(index << 8 | low);
        if (u >= 0xD800 && u <= 0xDFFF) continue;
        if (codePage_ == 932 && MayComposeWithPrevious(u)) continue;
        units.push_back(u);
    }
    // One conversion for the whole block (under emulation a platform call costs as much as
    // thousands of table look-ups), cut into characters by the code page's lead bytes; these
    // units convert alike alone and side by side. Should the cut not come out even, each unit
    // is converted on its own.
    const std::string bytes = TStringUtility::StringToBytes(units, codePage_);
    size_t at = 0;
    bool even = true;
    for (size_t i = 0; i < units.size() && even; ++i) {
        const size_t n =
            at < bytes.size() ? CharacterBytes(codePage_, static_cast<uint8_t>(bytes[at])) : 0;
        even = n != 0 && at + n <= bytes.size();
        if (even) (*block)[units[i] & 0xFF] = MakeEntry(std::string_view(bytes).substr(at, n));
        at += n;
    }
    if (!even || at != bytes.size()) {
        for (const char16_t u : units)
            (*block)[u & 0xFF] =
                MakeEntry(TStringUtility::StringToBytes(std::u16string_view(&u, 1), codePage_));
    }
    owned_[index] = std::move(block);
    blocks_[index].store(owned_[index].get(), std::memory_order_release);
    return owned_[index].get();
}
