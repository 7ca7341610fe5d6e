#include "base/CodePageConv.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

// The native build stands in for Windows in tests and benchmarks only: it converts the code
// pages the system meets through iconv and, like Wine, lacks 50220-50222 and 51932 (the layer
// above supplies those).

namespace kv {
namespace {

const char* IconvName(unsigned cp) {
    switch (cp) {
    case 0:
    case 932:
        return "CP932";
    case 20932:
        return "EUC-JP";
    case 65001:
        return "UTF-8";
    case 1200:
        return "UTF-16LE";
    case 1201:
        return "UTF-16BE";
    case 12000:
        return "UTF-32LE";
    case 12001:
        return "UTF-32BE";
    case 1252:
        return "CP1252";
    case 437:
        return "CP437";
    case 28591:
        return "ISO-8859-1";
    default:
        return nullptr;
    }
}

// Replacement for undecodable bytes: what Windows gives for 932 and UTF-8.
char16_t DecodeReplacement(unsigned cp) {
    return (cp == 932 || cp == 0) ? u'\u30FB' : u'\uFFFD';
}

class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (ok()) iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

// Shift_JIS (932) through tables built once from iconv: converting through iconv for every
// call costs more than the rest of a large join together.
struct Cp932Tables {
    std::vector<char16_t> single; // 256 entries; 0 = not a character on its own
    std::vector<char16_t> pair;   // (lead << 8 | trail); 0 = not a pair
    std::vector<uint16_t> encode; // per UTF-16 unit: 1 or 2 bytes (high byte 0 = one); 0 = none
    Cp932Tables() : single(256, 0), pair(65536, 0), encode(65536, 0) {
        Iconv dec("UTF-16LE", "CP932");
        auto decode = [&dec](const char* in, size_t n) -> char16_t {
            char16_t out[4] = {};
            char* i = const_cast<char*>(in);
            char* o = reinterpret_cast<char*>(out);
            size_t inLeft = n, outLeft = sizeof(out);
            iconv(dec.get(), nullptr, nullptr, nullptr, nullptr);
            if (iconv(dec.get(), &i, &inLeft, &o, &outLeft) == static_cast<size_t>(-1) ||
                inLeft != 0 || sizeof(out) - outLeft != 2)
                return 0;
            return out[0];
        };
        for (int b = 0; b < 256; ++b) {
            const char c = static_cast<char>(b);
            single[b] = decode(&c, 1);
        }
        single[0] = 0; // NUL decodes to NUL: handled before the table
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (lead >= 0xA0 && lead <= 0xDF) continue;
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                const char two[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                pair[lead << 8 | trail] = decode(two, 2);
            }
        }
        Iconv enc("CP932", "UTF-16LE");
        for (unsigned u = 1; u < 0x10000; ++u) {
            if (u >= 0xD800 && u < 0xE000) continue;
            const char16_t unit = static_cast<char16_t>(u);
            unsigned char out[4] = {};
            char* i = reinterpret_cast<char*>(const_cast<char16_t*>(&unit));
            char* o = reinterpret_cast<char*>(out);
            size_t inLeft = 2, outLeft = sizeof(out);
            iconv(enc.get(), nullptr, nullptr, nullptr, nullptr);
            if (iconv(enc.get(), &i, &inLeft, &o, &outLeft) == static_cast<size_t>(-1)) continue;
            const size_t n = sizeof(out) - outLeft;
            if (n == 1) encode[u] = out[0];
            if (n == 2) encode[u] = static_cast<uint16_t>(out[0] << 8 | out[1]);
        }
    }
};

const Cp932Tables& Tables932() {
    static const Cp932Tables tables;
    return tables;
}

inline bool IsLead932(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

void Decode932(const char* bytes, size_t n, std::u16string& out) {
    const Cp932Tables& t = Tables932();
    const size_t base = out.size();
    out.resize(base + n);
    char16_t* d = out.data() + base;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            *d++ = b;
            ++i;
        } else if (IsLead932(b) && i + 1 < n && t.pair[b << 8 | p[i + 1]] != 0) {
            *d++ = t.pair[b << 8 | p[i + 1]];
            i += 2;
        } else {
            const char16_t c = t.single[b];
            *d++ = c != 0 ? c : DecodeReplacement(932);
            ++i;
        }
    }
    out.resize(static_cast<size_t>(d - out.data()));
}

void Encode932(const char16_t* text, size_t n, std::string& out) {
    const Cp932Tables& t = Tables932();
    const size_t base = out.size();
    out.resize(base + n * 2);
    char* d = out.data() + base;
    for (size_t i = 0; i < n; ++i) {
        const char16_t u = text[i];
        if (u < 0x80) {
            *d++ = static_cast<char>(u);
            continue;
        }
        const uint16_t e = t.encode[u];
        if (e == 0) {
            *d++ = '?'; // the default character; a surrogate pair gives one
            if (u >= 0xD800 && u < 0xDC00 && i + 1 < n && text[i + 1] >= 0xDC00 &&
                text[i + 1] < 0xE000)
                ++i;
        } else if (e > 0xFF) {
            *d++ = static_cast<char>(e >> 8);
            *d++ = static_cast<char>(e & 0xFF);
        } else {
            *d++ = static_cast<char>(e);
        }
    }
    out.resize(static_cast<size_t>(d - out.data()));
}

// UTF-8 by hand: strict (no overlongs, surrogates or values past U+10FFFF); each byte of a
// bad sequence becomes U+FFFD, as Windows does.
void DecodeUtf8(const char* bytes, size_t n, std::u16string& out) {
    const size_t base = out.size();
    out.resize(base + n);
    char16_t* d = out.data() + base;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            *d++ = b;
            ++i;
            continue;
        }
        int len = 0;
        char32_t cp = 0, min = 0;
        if (b >= 0xC2 && b <= 0xDF)
            len = 2, cp = b & 0x1F, min = 0x80;
        else if (b >= 0xE0 && b <= 0xEF)
            len = 3, cp = b & 0x0F, min = 0x800;
        else if (b >= 0xF0 && b <= 0xF4)
            len = 4, cp = b & 0x07, min = 0x10000;
        bool ok = len > 0 && i + len <= n;
        for (int k = 1; ok && k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000))) ok = false;
        if (!ok) {
            *d++ = u'\uFFFD';
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            *d++ = static_cast<char16_t>(0xD800 + (cp >> 10));
            *d++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            *d++ = static_cast<char16_t>(cp);
        }
        i += len;
    }
    out.resize(static_cast<size_t>(d - out.data()));
}

void EncodeUtf8(const char16_t* text, size_t n, std::string& out) {
    const size_t base = out.size();
    out.resize(base + n * 3);
    char* d = out.data() + base;
    for (size_t i = 0; i < n; ++i) {
        char32_t cp = text[i];
        if (cp < 0x80) {
            *d++ = static_cast<char>(cp);
            continue;
        }
        if (cp >= 0xD800 && cp < 0xE000) {
            if (cp < 0xDC00 && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
                ++i;
            } else {
                *d++ = '?'; // a lone surrogate has no UTF-8 form
                continue;
            }
        }
        if (cp < 0x800) {
            *d++ = static_cast<char>(0xC0 | (cp >> 6));
        } else if (cp < 0x10000) {
            *d++ = static_cast<char>(0xE0 | (cp >> 12));
            *d++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        } else {
            *d++ = static_cast<char>(0xF0 | (cp >> 18));
            *d++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            *d++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        }
        *d++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    out.resize(static_cast<size_t>(d - out.data()));
}

} // namespace

unsigned GetAnsiCodePage() {
    return 932;
}

bool PlatformMultiByteToWide(unsigned codePage, unsigned flags, const char* bytes, size_t n,
                             std::u16string& out) {
    if (n == 0) return true;
    if (codePage == 932 || codePage == 0) {
        Decode932(bytes, n, out);
        return true;
    }
    if (codePage == 65001) {
        DecodeUtf8(bytes, n, out);
        return true;
    }
    const char* name = IconvName(codePage);
    if (!name) return false;
    Iconv cv("UTF-16LE", name);
    if (!cv.ok()) return false;
    std::u16string buf(n + 4, u'\0');
    char* in = const_cast<char*>(bytes);
    size_t inLeft = n;
    size_t produced = 0;
    while (inLeft > 0) {
        char* o = reinterpret_cast<char*>(buf.data() + produced);
        size_t oLeft = (buf.size() - produced) * 2;
        const size_t r = iconv(cv.get(), &in, &inLeft, &o, &oLeft);
        produced = buf.size() - oLeft / 2;
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) {
                buf.resize(buf.size() * 2);
                continue;
            }
            // Invalid or cut sequence: one replacement character per byte, as Windows does.
            if (produced == buf.size()) buf.resize(buf.size() * 2);
            buf[produced++] = DecodeReplacement(codePage);
            ++in;
            --inLeft;
            iconv(cv.get(), nullptr, nullptr, nullptr, nullptr);
        }
    }
    out.append(buf.data(), produced);
    return true;
}

bool PlatformWideToMultiByte(unsigned codePage, unsigned flags, const char16_t* text, size_t n,
                             std::string& out) {
    if (n == 0) return true;
    if (codePage == 932 || codePage == 0) {
        Encode932(text, n, out);
        return true;
    }
    if (codePage == 65001) {
        EncodeUtf8(text, n, out);
        return true;
    }
    const char* name = IconvName(codePage);
    if (!name) return false;
    Iconv cv(name, "UTF-16LE");
    if (!cv.ok()) return false;
    std::string buf(n * 4 + 8, '\0');
    char* in = reinterpret_cast<char*>(const_cast<char16_t*>(text));
    size_t inLeft = n * 2;
    size_t produced = 0;
    while (inLeft > 0) {
        char* o = buf.data() + produced;
        size_t oLeft = buf.size() - produced;
        const size_t r = iconv(cv.get(), &in, &inLeft, &o, &oLeft);
        produced = buf.size() - oLeft;
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) {
                buf.resize(buf.size() * 2);
                continue;
            }
            // Unmappable character (or lone surrogate): the default character '?'.
            if (produced == buf.size()) buf.resize(buf.size() * 2);
            buf[produced++] = '?';
            char16_t u;
            std::memcpy(&u, in, 2);
            const size_t skip =
                (u >= 0xD800 && u < 0xDC00 && inLeft >= 4) ? 4 : (inLeft >= 2 ? 2 : inLeft);
            in += skip;
            inLeft -= skip;
            iconv(cv.get(), nullptr, nullptr, nullptr, nullptr);
        }
    }
    out.append(buf.data(), produced);
    return true;
}

} // namespace kv
