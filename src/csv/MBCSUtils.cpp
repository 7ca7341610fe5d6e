#include "csv/MBCSUtils.h"

#include <array>
#include <cstdint>

#include "base/CodePageConv.h"

namespace {

constexpr unsigned kCpShiftJis = 932;
constexpr unsigned kCpEucJp = 20932;
constexpr unsigned kCpEucJpAlt = 51932;
constexpr unsigned kCpUtf32Le = 12000;
constexpr unsigned kCpUtf32Be = 12001;

bool IsIso2022Jp(unsigned cp) {
    return cp >= 50220 && cp <= 50222;
}

// 0 stands for the system ANSI code page; 51932 has no conversion of its own on Windows (nor
// in Wine), and its mapping is that of 20932.
unsigned NormalizeCodePage(unsigned cp) {
    if (cp == 0) return kv::GetAnsiCodePage();
    if (cp == kCpEucJpAlt) return kCpEucJp;
    return cp;
}

bool IsHighSurrogate(char32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

void AppendCodePoint(std::u16string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        out.push_back(u'\uFFFD');
    } else if (cp > 0xFFFF) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(cp));
    }
}

// UTF-16 to UTF-32 bytes, no BOM; a lone surrogate becomes U+FFFD, as the platform's UTF-8
// encoder does.
std::string Utf16ToUtf32Bytes(std::u16string_view text, bool bigEndian) {
    std::string out;
    out.reserve(text.size() * 4);
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (IsHighSurrogate(cp) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            cp = ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00) + 0x10000;
            ++i;
        } else if (IsHighSurrogate(cp) || IsLowSurrogate(cp)) {
            cp = 0xFFFD;
        }
        const char b[4] = {static_cast<char>(cp & 0xFF), static_cast<char>((cp >> 8) & 0xFF),
                           static_cast<char>((cp >> 16) & 0xFF), static_cast<char>(cp >> 24)};
        if (bigEndian) {
            out.append({b[3], b[2], b[1], b[0]});
        } else {
            out.append(b, 4);
        }
    }
    return out;
}

// --- ISO-2022-JP over EUC-JP ---------------------------------------------------------------
// Neither Wine nor the native build converts 50220-50222. Every character set ISO-2022-JP
// switches to has a fixed place in EUC-JP, so the escapes are resolved here and the EUC-JP
// conversion (20932) does the mapping.

constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kShiftOut = 0x0E;
constexpr uint8_t kShiftIn = 0x0F;
// EUC-JP of U+30FB, which the platform's Japanese conversions give for bytes they cannot decode.
constexpr char kEucUndecodable[] = "\xA1\xA6";

enum class JisSet { Ascii, Kana, X0208, X0212 };

struct JisEscape {
    const char* bytes; // after the ESC
    size_t length;     // ESC included
    JisSet set;
};
constexpr JisEscape kJisEscapes[] = {
    {"(B", 3, JisSet::Ascii},
    {"(J", 3, JisSet::Ascii},
    {"(I", 3, JisSet::Kana},
    {"$@", 3, JisSet::X0208},
    {"$B", 3, JisSet::X0208},
    {"$(D", 4, JisSet::X0212},
    {"$(B", 4, JisSet::X0208},
    // ESC & @ announces the 1990 revision of JIS X 0208; the ESC $ B after it selects the set.
    {"&@", 3, JisSet::X0208},
};

// Length of the escape sequence at p (an ESC, n bytes left), setting set; 0 when unknown.
size_t ParseJisEscape(const uint8_t* p, size_t n, JisSet& set) {
    for (const JisEscape& e : kJisEscapes) {
        if (n < e.length) continue;
        size_t k = 1;
        while (k < e.length && p[k] == static_cast<uint8_t>(e.bytes[k - 1])) ++k;
        if (k == e.length) {
            set = e.set;
            return e.length;
        }
    }
    return 0;
}

bool IsJisGraphic(uint8_t b) {
    return b >= 0x21 && b <= 0x7E;
}

// --- mapping fixes -------------------------------------------------------------------------

char16_t MapNone(char16_t u) {
    return u;
}

char16_t MapJisX0208ToUnicode(char16_t u) {
    switch (u) {
    case 0x00A2:
        return 0xFFE0;
    case 0x00A3:
        return 0xFFE1;
    case 0x00AC:
        return 0xFFE2;
    case 0x2014:
        return 0x2015;
    case 0x2016:
        return 0x2225;
    case 0x203E:
        return 0xFFE3;
    case 0x2212:
        return 0xFF0D;
    case 0x301C:
        return 0xFF5E;
    default:
        return u;
    }
}

char16_t MapUnicodeToCp932(char16_t u) {
    switch (u) {
    case 0x2011:
    case 0x2012:
    case 0x2013:
        return 0x002D;
    case 0x2014:
        return 0x2015;
    case 0x203E:
        return 0xFFE3;
    case 0x2212:
    case 0xFE58:
    case 0xFE63:
        return 0xFF0D;
    default:
        return u;
    }
}

char16_t MapUnicodeToJisX0208(char16_t u) {
    switch (u) {
    case 0x2011:
    case 0x2012:
    case 0x2013:
        return 0x002D;
    case 0x2014:
        return 0x2015;
    case 0x203E:
        return 0xFFE3;
    case 0x2225:
        return 0x2016;
    case 0xFE58:
    case 0xFE63:
    case 0xFF0D:
        return 0x2212;
    case 0xFF5E:
        return 0x301C;
    case 0xFFE0:
        return 0x00A2;
    case 0xFFE1:
        return 0x00A3;
    case 0xFFE2:
        return 0x00AC;
    default:
        return u;
    }
}

// JIS X 0213 forms of four kanji whose JIS X 0208 forms the target code pages hold.
char16_t MapJisX0213Bmp(char16_t u) {
    switch (u) {
    case 0x525D:
        return 0x5265;
    case 0x5861:
        return 0x586B;
    case 0x9830:
        return 0x982C;
    default:
        return u;
    }
}
constexpr char32_t kX0213Supplementary = 0x20B9F;
constexpr char16_t kX0213SupplementaryTo = 0x53F1;

// Every unit some fix may touch, surrogates included, as a bit per code unit: all other units
// are skipped with one look-up, which keeps the passes cheap on large texts.
constexpr std::array<uint32_t, 2048> MakeTouchedUnits() {
    std::array<uint32_t, 2048> t{};
    auto mark = [&t](unsigned u) { t[u >> 5] |= 1u << (u & 31); };
    for (unsigned u : {0x00A2u, 0x00A3u, 0x00ACu, 0x2011u, 0x2012u, 0x2013u, 0x2014u, 0x2016u,
                       0x203Eu, 0x2212u, 0x2225u, 0x301Cu, 0x525Du, 0x5861u, 0x9830u, 0xFE58u,
                       0xFE63u, 0xFF0Du, 0xFF5Eu, 0xFFE0u, 0xFFE1u, 0xFFE2u})
        mark(u);
    for (unsigned u = 0xD800; u <= 0xDFFF; ++u) mark(u);
    return t;
}
constexpr std::array<uint32_t, 2048> kTouchedUnits = MakeTouchedUnits();
inline bool Touched(char16_t u) {
    return (kTouchedUnits[u >> 5] >> (u & 31)) & 1u;
}

// One pass of map over the units, then (withX0213) the JIS X 0213 fix on code points, which
// drops lone surrogates. Works in place: the text only ever shrinks, and a text that needs no
// change is neither copied nor reallocated.
template <char16_t (*map)(char16_t), bool withX0213> std::u16string ApplyFix(std::u16string text) {
    char16_t* d = text.data();
    const size_t n = text.size();
    size_t w = 0;
    for (size_t r = 0; r < n; ++r) {
        char16_t u = d[r];
        if (Touched(u)) {
            if (u >= 0xD800 && u <= 0xDFFF) {
                if constexpr (!withX0213) {
                    d[w++] = u;
                    continue;
                }
                if (u <= 0xDBFF && r + 1 < n && IsLowSurrogate(d[r + 1])) {
                    const char32_t cp = ((u - 0xD800) << 10) + (d[r + 1] - 0xDC00) + 0x10000;
                    if (cp == kX0213Supplementary) {
                        d[w++] = kX0213SupplementaryTo;
                    } else {
                        d[w++] = u;
                        d[w++] = d[r + 1];
                    }
                    ++r;
                }
                continue; // a pair was kept above; a lone surrogate has no code point
            }
            u = map(u);
            if constexpr (withX0213) u = MapJisX0213Bmp(u);
        }
        d[w++] = u;
    }
    text.resize(w);
    return text;
}

} // namespace

std::string Iso2022JpToEucJp(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    const size_t n = bytes.size();
    JisSet set = JisSet::Ascii;
    bool shifted = false; // SO: katakana until SI, whatever the escapes selected
    size_t i = 0;
    while (i < n) {
        const uint8_t b = p[i];
        if (b == kEsc) {
            if (const size_t len = ParseJisEscape(p + i, n - i, set)) {
                i += len;
                continue;
            }
        }
        if (b == kShiftOut || b == kShiftIn) {
            shifted = b == kShiftOut;
            ++i;
            continue;
        }
        if (b >= 0x80) {
            // Eight-bit katakana as some writers put it in 50222 text; nothing else is valid.
            if (b >= 0xA1 && b <= 0xDF) {
                out.push_back('\x8E');
                out.push_back(static_cast<char>(b));
            } else {
                out.append(kEucUndecodable);
            }
            ++i;
            continue;
        }
        // Controls and space stay themselves in every set, so line ends survive a missing
        // switch back to ASCII.
        const JisSet current = shifted ? JisSet::Kana : set;
        if (current == JisSet::Ascii || !IsJisGraphic(b)) {
            out.push_back(static_cast<char>(b));
            ++i;
            continue;
        }
        if (current == JisSet::Kana) {
            if (b <= 0x5F) {
                out.push_back('\x8E');
                out.push_back(static_cast<char>(b | 0x80));
            } else {
                out.append(kEucUndecodable);
            }
            ++i;
            continue;
        }
        // Two-byte sets: a first byte without a graphic second byte is undecodable.
        if (i + 1 >= n || !IsJisGraphic(p[i + 1])) {
            out.append(kEucUndecodable);
            ++i;
            continue;
        }
        if (current == JisSet::X0212) out.push_back('\x8F');
        out.push_back(static_cast<char>(b | 0x80));
        out.push_back(static_cast<char>(p[i + 1] | 0x80));
        i += 2;
    }
    return out;
}

namespace {

// EUC-JP bytes (as the 20932 conversion writes them) re-expressed as ISO-2022-JP: JIS X 0208
// after ESC $ B, half-width katakana after ESC ( I (for all three code pages, rather than the
// full-width substitution or SO/SI some Windows versions use), JIS X 0212 after ESC $ ( D,
// and ESC ( B before ASCII and at the end.
std::string EucJpToIso2022Jp(std::string_view euc) {
    std::string out;
    out.reserve(euc.size() + euc.size() / 4 + 3);
    const auto* p = reinterpret_cast<const uint8_t*>(euc.data());
    const size_t n = euc.size();
    JisSet set = JisSet::Ascii;
    auto select = [&](JisSet want) {
        if (set == want) return;
        set = want;
        switch (want) {
        case JisSet::Ascii:
            out.append("\x1B(B");
            break;
        case JisSet::Kana:
            out.append("\x1B(I");
            break;
        case JisSet::X0208:
            out.append("\x1B$B");
            break;
        case JisSet::X0212:
            out.append("\x1B$(D");
            break;
        }
    };
    auto isEucByte = [](uint8_t b) { return b >= 0xA1 && b <= 0xFE; };
    size_t i = 0;
    while (i < n) {
        const uint8_t b = p[i];
        if (b < 0x80) {
            select(JisSet::Ascii);
            out.push_back(static_cast<char>(b));
            ++i;
        } else if (b == 0x8E && i + 1 < n && p[i + 1] >= 0xA1 && p[i + 1] <= 0xDF) {
            select(JisSet::Kana);
            out.push_back(static_cast<char>(p[i + 1] & 0x7F));
            i += 2;
        } else if (b == 0x8F && i + 2 < n && isEucByte(p[i + 1]) && isEucByte(p[i + 2])) {
            select(JisSet::X0212);
            out.push_back(static_cast<char>(p[i + 1] & 0x7F));
            out.push_back(static_cast<char>(p[i + 2] & 0x7F));
            i += 3;
        } else if (isEucByte(b) && i + 1 < n && isEucByte(p[i + 1])) {
            select(JisSet::X0208);
            out.push_back(static_cast<char>(b & 0x7F));
            out.push_back(static_cast<char>(p[i + 1] & 0x7F));
            i += 2;
        } else {
            select(JisSet::Ascii); // the conversion never writes this; keep the text readable
            out.push_back('?');
            ++i;
        }
    }
    select(JisSet::Ascii);
    return out;
}

// Units that can be the second of a composing pair: combining marks and the scripts with them
// (U+0300..U+1FFF), combining marks for symbols, the ideographic tone marks, the kana
// voiced-sound marks, Hangul and the rest of U+A000..U+F8FF with the surrogates, and the
// combining half marks. Japanese text outside these ranges never composes.
constexpr std::array<uint32_t, 2048> MakeComposingUnits() {
    std::array<uint32_t, 2048> t{};
    auto mark = [&t](unsigned from, unsigned to) {
        for (unsigned u = from; u < to; ++u) t[u >> 5] |= 1u << (u & 31);
    };
    mark(0x0300, 0x2000);
    mark(0x20D0, 0x2100);
    mark(0x302A, 0x3030);
    mark(0x3099, 0x309B);
    mark(0xA000, 0xF900);
    mark(0xFE20, 0xFE30);
    return t;
}
constexpr std::array<uint32_t, 2048> kComposingUnits = MakeComposingUnits();

bool MayCompose(std::u16string_view text) {
    uint32_t any = 0; // no early exit: a branch-free pass is faster on texts that never compose
    for (const char16_t u : text) any |= kComposingUnits[u >> 5] >> (u & 31);
    return (any & 1u) != 0;
}

} // namespace

bool MayComposeWithPrevious(char16_t unit) {
    return (kComposingUnits[unit >> 5] >> (unit & 31)) & 1u;
}

std::u16string AnsiToUTF16(std::string_view bytes, unsigned codePage) {
    std::u16string out;
    if (bytes.empty()) return out;
    const unsigned cp = NormalizeCodePage(codePage);
    if (cp == kCpUtf32Le || cp == kCpUtf32Be) return Utf32BytesToUTF16(bytes, cp == kCpUtf32Be);
    const unsigned flags = cp == kCpShiftJis ? kv::kMbPrecomposed : 0;
    if (kv::PlatformMultiByteToWide(cp, flags, bytes.data(), bytes.size(), out)) return out;
    if (IsIso2022Jp(cp)) {
        const std::string euc = Iso2022JpToEucJp(bytes);
        if (kv::PlatformMultiByteToWide(kCpEucJp, 0, euc.data(), euc.size(), out)) return out;
    }
    return std::u16string();
}

std::string UTF16ToAnsi(std::u16string_view text, unsigned codePage) {
    std::string out;
    if (text.empty()) return out;
    const unsigned cp = NormalizeCodePage(codePage);
    if (cp == kCpUtf32Le || cp == kCpUtf32Be) return Utf16ToUtf32Bytes(text, cp == kCpUtf32Be);
    // The composite check only changes text holding a character that may compose with the one
    // before it; elsewhere it is skipped, since under Wine it makes the conversion ~40x slower.
    const unsigned flags = cp == kCpShiftJis && MayCompose(text) ? kv::kWcCompositeCheck : 0;
    if (kv::PlatformWideToMultiByte(cp, flags, text.data(), text.size(), out)) return out;
    if (IsIso2022Jp(cp)) {
        std::string euc;
        if (kv::PlatformWideToMultiByte(kCpEucJp, 0, text.data(), text.size(), euc))
            return EucJpToIso2022Jp(euc);
    }
    return std::string();
}

std::u16string MbcsStretchElement(std::string_view bytes) {
    std::u16string out(bytes.size(), u'\0');
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    char16_t* d = out.data();
    for (size_t i = 0; i < bytes.size(); ++i) d[i] = p[i];
    return out;
}

std::u16string MbcsMappingFix_CP932ToUnicode(std::u16string text) {
    return text;
}

std::u16string MbcsMappingFix_JISX0208ToUnicode(std::u16string text) {
    return ApplyFix<MapJisX0208ToUnicode, false>(std::move(text));
}

std::u16string MbcsMappingFix_UnicodeToCP932(std::u16string text) {
    return ApplyFix<MapUnicodeToCp932, true>(std::move(text));
}

std::u16string MbcsMappingFix_UnicodeToJISX0208(std::u16string text) {
    return ApplyFix<MapUnicodeToJisX0208, true>(std::move(text));
}

std::u16string MbcsMappingFix_JISX0213ToJISX0208(std::u16string text) {
    return ApplyFix<MapNone, true>(std::move(text));
}

std::vector<char32_t> UTF16ToUTF32(std::u16string_view text) {
    std::vector<char32_t> out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char32_t u = text[i];
        if (IsHighSurrogate(u)) {
            if (i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
                out.push_back(((u - 0xD800) << 10) + (text[i + 1] - 0xDC00) + 0x10000);
                ++i;
            }
        } else if (!IsLowSurrogate(u)) {
            out.push_back(u);
        }
    }
    return out;
}

std::u16string UTF32ToUTF16(const std::vector<char32_t>& codePoints) {
    std::u16string out;
    out.reserve(codePoints.size());
    for (char32_t cp : codePoints) AppendCodePoint(out, cp);
    return out;
}

std::u16string Utf32BytesToUTF16(std::string_view bytes, bool bigEndian) {
    std::u16string out;
    const size_t units = bytes.size() / 4;
    out.reserve(units);
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    for (size_t i = 0; i < units; ++i, p += 4) {
        const char32_t cp = bigEndian ? (char32_t(p[0]) << 24 | char32_t(p[1]) << 16 |
                                         char32_t(p[2]) << 8 | char32_t(p[3]))
                                      : (char32_t(p[3]) << 24 | char32_t(p[2]) << 16 |
                                         char32_t(p[1]) << 8 | char32_t(p[0]));
        AppendCodePoint(out, cp);
    }
    return out;
}
