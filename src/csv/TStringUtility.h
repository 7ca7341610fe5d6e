#pragma once
// Whole files to UTF-16 text and UTF-16 text to the bytes of a code page, with detection of
// the file's encoding from its first 102400 bytes. Stateless; stream errors propagate.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/Stream.h"
#include "csv/EncodeDetect.h"

class TStringUtility {
public:
    static constexpr int kDetectLimit = 102400;
    static constexpr unsigned short kNoCodePage = 0xFFFF;

    static std::u16string StreamToString(kv::TStream& stream);
    static std::string StreamToBytes(kv::TStream& stream);
    static std::u16string BytesToString(std::string_view bytes, unsigned short codePage);
    static std::string StringToBytes(std::u16string_view text, unsigned short codePage);
    static std::u16string RemoveNulChars(std::u16string_view text);
    static bool HasUtf8Bom(std::string_view bytes);
    static bool HasUtf16LeBom(std::string_view bytes);
    static bool HasUtf16BeBom(std::string_view bytes);

    static TEncodeType DetectEncodeType(kv::TStream& stream, int limit);
    // The code page of the stream's first kDetectLimit bytes; where detection has no answer but
    // the sample holds bytes at or above 0x80 and is valid Shift_JIS, 932 rather than
    // kNoCodePage, so such a file is not widened byte by byte.
    static unsigned short DetectCodePage(kv::TStream& stream);
    static unsigned short EncodeTypeToCodePage(TEncodeType type);

    // The same text as BytesToString(StreamToBytes(stream), codePage), handed to sink in
    // pieces: large files are read and decoded a few MiB at a time, cut only where no character
    // can span the cut, so the text never needs a second whole copy in memory.
    using TextSink = std::function<void(const char16_t* text, size_t length)>;
    static void DecodeStream(kv::TStream& stream, unsigned short codePage, const TextSink& sink);
    // An upper bound on the UTF-16 length of byteCount bytes decoded from codePage.
    static uint64_t MaxTextLength(unsigned short codePage, uint64_t byteCount);
};
