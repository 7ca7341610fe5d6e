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

const TCodePageEncoder::Block* TCodePageEncoder::FillBlock(unsigned index) const {
    const std::lock_guard<std::mutex> lock(fillLock_);
    if (const Block* b = blocks_[index].load(std::memory_order_acquire)) return b;
    auto block = std::make_unique<Block>();
    for (unsigned low = 0; low < 256; ++low) {
        const char16_t u = static_cast<char16_t>(index << 8 | low);
        uint32_t& e = (*block)[low];
        e = 0;
        if (u >= 0xD800 && u <= 0xDFFF) continue;
        if (codePage_ == 932 && MayComposeWithPrevious(u)) continue;
        const std::string bytes =
            TStringUtility::StringToBytes(std::u16string_view(&u, 1), codePage_);
        if (bytes.empty() || bytes.size() > kMaxBytesPerUnit) continue;
        for (size_t k = 0; k < bytes.size(); ++k)
            e |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[k])) << (8 * k);
        e |= static_cast<uint32_t>(bytes.size()) << 24;
    }
    owned_[index] = std::move(block);
    blocks_[index].store(owned_[index].get(), std::memory_order_release);
    return owned_[index].get();
}
