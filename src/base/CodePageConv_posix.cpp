#include "base/CodePageConv.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <mutex>

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

} // namespace

unsigned GetAnsiCodePage() {
    return 932;
}

bool PlatformMultiByteToWide(unsigned codePage, unsigned flags, const char* bytes, size_t n,
                             std::u16string& out) {
    if (n == 0) return true;
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
