#include "csv/TStringUtility.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "base/CodePageConv.h"
#include "csv/MBCSUtils.h"
#include "csv/StringUtility.h"

namespace {

// Big enough that the per-piece overhead vanishes, small enough that a piece's bytes and its
// text are a small fraction of a 32-bit address space.
constexpr size_t kDecodePieceBytes = 4u << 20;

bool StartsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() && bytes.compare(0, prefix.size(), prefix) == 0;
}

std::u16string Utf16BytesToText(std::string_view bytes, bool bigEndian) {
    // An odd last byte is dropped, as the class library's UTF-16 decoding does.
    std::u16string out(bytes.size() / 2, u'\0');
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    char16_t* d = out.data();
    if (bigEndian) {
        for (size_t i = 0; i < out.size(); ++i) d[i] = char16_t(p[2 * i] << 8 | p[2 * i + 1]);
    } else {
        for (size_t i = 0; i < out.size(); ++i) d[i] = char16_t(p[2 * i + 1] << 8 | p[2 * i]);
    }
    return out;
}

bool IsJisX0208CodePage(unsigned cp) {
    return cp == 20932 || cp == 51932 || (cp >= 50220 && cp <= 50222);
}

// Decodes bytes of codePage; atStart says whether they begin the file, the only place where a
// byte-order mark is removed.
std::u16string DecodeBytes(std::string_view bytes, unsigned short codePage, bool atStart) {
    switch (codePage) {
    case 65001:
        if (atStart && StartsWith(bytes, "\xEF\xBB\xBF")) bytes.remove_prefix(3);
        return AnsiToUTF16(bytes, 65001);
    case 1200:
        if (atStart && StartsWith(bytes, "\xFF\xFE")) bytes.remove_prefix(2);
        return Utf16BytesToText(bytes, false);
    case 1201:
        if (atStart && StartsWith(bytes, "\xFE\xFF")) bytes.remove_prefix(2);
        return Utf16BytesToText(bytes, true);
    // UTF-32 is recognised by detection but converted by no Windows conversion; it is decoded
    // here, its BOM removed like the other Unicode forms', rather than loading as empty text.
    case 12000:
        if (atStart && StartsWith(bytes, std::string_view("\xFF\xFE\0\0", 4)))
            bytes.remove_prefix(4);
        return Utf32BytesToUTF16(bytes, false);
    case 12001:
        if (atStart && StartsWith(bytes, std::string_view("\0\0\xFE\xFF", 4)))
            bytes.remove_prefix(4);
        return Utf32BytesToUTF16(bytes, true);
    case TStringUtility::kNoCodePage:
        return MbcsStretchElement(bytes);
    case 932:
        return MbcsMappingFix_CP932ToUnicode(AnsiToUTF16(bytes, 932));
    default:
        if (IsJisX0208CodePage(codePage))
            return MbcsMappingFix_JISX0208ToUnicode(AnsiToUTF16(bytes, codePage));
        return AnsiToUTF16(bytes, codePage);
    }
}

// Where DecodeStream may cut a code page's bytes into pieces decoded one by one.
enum class CutRule {
    Whole,     // stateful or unknown: decoded in one piece
    AfterLf,   // no character of these code pages contains the byte 0x0A
    Multiple2, // UTF-16 code units
    Multiple4, // UTF-32 code units
};

CutRule CutRuleOf(unsigned short codePage) {
    switch (codePage) {
    case 932:
    case 20932:
    case 51932:
    case 65001:
    case TStringUtility::kNoCodePage:
        return CutRule::AfterLf;
    case 1200:
    case 1201:
        return CutRule::Multiple2;
    case 12000:
    case 12001:
        return CutRule::Multiple4;
    default:
        return CutRule::Whole;
    }
}

// Bytes of the n held that can be decoded now; 0 when more must be read first.
size_t CutPoint(CutRule rule, const char* bytes, size_t n) {
    switch (rule) {
    case CutRule::AfterLf: {
        const char* p = bytes + n;
        while (p != bytes && p[-1] != '\n') --p;
        return static_cast<size_t>(p - bytes);
    }
    case CutRule::Multiple2:
        return n & ~size_t(1);
    case CutRule::Multiple4:
        return n & ~size_t(3);
    case CutRule::Whole:
        break;
    }
    return 0;
}

} // namespace

std::u16string TStringUtility::StreamToString(kv::TStream& stream) {
    const unsigned short codePage = DetectCodePage(stream);
    const std::string bytes = StreamToBytes(stream);
    if (codePage == kNoCodePage) return MbcsStretchElement(bytes);
    return BytesToString(bytes, codePage);
}

std::string TStringUtility::StreamToBytes(kv::TStream& stream) {
    stream.SetPosition(0);
    const int64_t size = stream.GetSize();
    // A 32-bit process cannot hold more; fail as an exhausted memory does.
    if (static_cast<uint64_t>(size) > std::string().max_size()) throw std::bad_alloc();
    std::string bytes(static_cast<size_t>(size), '\0');
    stream.ReadBuffer(bytes.data(), bytes.size());
    return bytes;
}

std::u16string TStringUtility::BytesToString(std::string_view bytes, unsigned short codePage) {
    return DecodeBytes(bytes, codePage, true);
}

std::string TStringUtility::StringToBytes(std::u16string_view text, unsigned short codePage) {
    unsigned cp = codePage;
    if (cp == 51932) cp = 20932;
    if (cp == 0) cp = kv::GetAnsiCodePage();
    switch (cp) {
    case 932:
        return UTF16ToAnsi(MbcsMappingFix_UnicodeToCP932(std::u16string(text)), 932);
    case 20932:
    case 50220:
    case 50221:
    case 50222:
        return UTF16ToAnsi(MbcsMappingFix_UnicodeToJISX0208(std::u16string(text)), cp);
    case 1200:
        return UnicodeToUTF16LE(text);
    case 1201:
        return UnicodeToUTF16BE(text);
    default:
        return UTF16ToAnsi(text, cp);
    }
}

std::u16string TStringUtility::RemoveNulChars(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        if (c != u'\0') out.push_back(c);
    }
    return out;
}

bool TStringUtility::HasUtf8Bom(std::string_view bytes) {
    return bytes.size() > 2 && StartsWith(bytes, "\xEF\xBB\xBF");
}

bool TStringUtility::HasUtf16LeBom(std::string_view bytes) {
    return bytes.size() > 1 && StartsWith(bytes, "\xFF\xFE");
}

bool TStringUtility::HasUtf16BeBom(std::string_view bytes) {
    return bytes.size() > 1 && StartsWith(bytes, "\xFE\xFF");
}

TEncodeType TStringUtility::DetectEncodeType(kv::TStream& stream, int limit) {
    const int64_t n = std::min<int64_t>(stream.GetSize(), limit);
    stream.SetPosition(0);
    return CheckEncoding(stream, n, 0);
}

unsigned short TStringUtility::DetectCodePage(kv::TStream& stream) {
    const int64_t n = std::min<int64_t>(stream.GetSize(), kDetectLimit);
    stream.SetPosition(0);
    std::vector<uint8_t> sample(static_cast<size_t>(std::max<int64_t>(n, 0)));
    stream.ReadBuffer(sample.data(), sample.size());
    const TEncodeType type = CheckEncoding(sample.data(), sample.size(), 0);
    if (type != etNone) return EncodeTypeToCodePage(type);
    // No answer also comes from a tie between Shift_JIS and EUC-JP (half-width katakana score
    // as EUC-JP pairs) or from an EUC-JP score that ran ahead before an invalid byte. Widening
    // such a file byte by byte would turn its Japanese text into Latin-1, which the ANSI code
    // page cannot save; valid Shift_JIS holding non-ASCII bytes is read as Shift_JIS instead.
    const bool hasHighByte =
        std::any_of(sample.begin(), sample.end(), [](uint8_t b) { return b >= 0x80; });
    int32_t score = 0;
    if (hasHighByte && IsSJIS(sample.data(), sample.size(), score, 0)) return 932;
    return kNoCodePage;
}

unsigned short TStringUtility::EncodeTypeToCodePage(TEncodeType type) {
    switch (type) {
    case etSJIS:
        return 932;
    case etEUC:
        return 20932;
    case etJIS:
        return 50220;
    case etUTF16LE:
        return 1200;
    case etUTF16BE:
        return 1201;
    case etUTF8:
    case etUTF8BOM:
        return 65001;
    case etUTF32LE:
        return 12000;
    case etUTF32BE:
        return 12001;
    default:
        return kNoCodePage; // none, UTF-7 (not decoded as such) and anything else
    }
}

void TStringUtility::DecodeStream(kv::TStream& stream, unsigned short codePage,
                                  const TextSink& sink) {
    auto emit = [&](const std::u16string& text) {
        if (!text.empty()) sink(text.data(), text.size());
    };
    const int64_t size = stream.GetSize();
    const CutRule rule = CutRuleOf(codePage);
    if (rule == CutRule::Whole || size <= static_cast<int64_t>(kDecodePieceBytes)) {
        emit(BytesToString(StreamToBytes(stream), codePage));
        return;
    }

    stream.SetPosition(0);
    std::string buffer(kDecodePieceBytes, '\0');
    size_t held = 0; // bytes at the front of buffer not yet decoded
    uint64_t left = static_cast<uint64_t>(size);
    bool atStart = true;
    while (true) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(buffer.size() - held, left));
        stream.ReadBuffer(buffer.data() + held, want);
        held += want;
        left -= want;
        const bool atEnd = left == 0;
        const size_t cut = atEnd ? held : CutPoint(rule, buffer.data(), held);
        if (cut == 0) {
            // A line longer than the buffer: read on until it ends.
            buffer.resize(buffer.size() + kDecodePieceBytes);
            continue;
        }
        emit(DecodeBytes(std::string_view(buffer.data(), cut), codePage, atStart));
        atStart = false;
        if (atEnd) break;
        std::memmove(buffer.data(), buffer.data() + cut, held - cut);
        held -= cut;
    }
}

uint64_t TStringUtility::MaxTextLength(unsigned short codePage, uint64_t byteCount) {
    switch (codePage) {
    case 1200:
    case 1201:
    case 12000:
    case 12001:
        return byteCount / 2 + byteCount % 2;
    // Every other conversion gives at most one UTF-16 unit per byte: two-byte characters give
    // one, four-byte UTF-8 two, and an undecodable byte one replacement character.
    default:
        return byteCount;
    }
}
