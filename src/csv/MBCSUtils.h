#pragma once
// Code-page conversions around the platform's: byte widening, the mapping fixes for the
// Japanese code pages, UTF-16 <-> code points, and the code pages the platform lacks
// (ISO-2022-JP through JIS X 0208 and EUC-JP, 51932 as 20932, UTF-32). Stateless.
#include <string>
#include <string_view>
#include <vector>

// Bytes in codePage to UTF-16. Empty bytes, or a code page nothing here can convert, give "".
std::u16string AnsiToUTF16(std::string_view bytes, unsigned codePage);
// UTF-16 to bytes in codePage; unmappable characters become the platform's default character.
std::string UTF16ToAnsi(std::u16string_view text, unsigned codePage);
// Each byte becomes the UTF-16 unit of the same value.
std::u16string MbcsStretchElement(std::string_view bytes);

std::u16string MbcsMappingFix_CP932ToUnicode(std::u16string text);
std::u16string MbcsMappingFix_JISX0208ToUnicode(std::u16string text);
std::u16string MbcsMappingFix_UnicodeToCP932(std::u16string text);
std::u16string MbcsMappingFix_UnicodeToJISX0208(std::u16string text);
std::u16string MbcsMappingFix_JISX0213ToJISX0208(std::u16string text);

// Whether unit may be the second of a composing pair: only text holding such a unit can be
// changed by the platform's composite check when encoding to 932.
bool MayComposeWithPrevious(char16_t unit);

// Surrogate pairs combine; lone surrogates are dropped.
std::vector<char32_t> UTF16ToUTF32(std::u16string_view text);
std::u16string UTF32ToUTF16(const std::vector<char32_t>& codePoints);

// ISO-2022-JP (50220-50222, with SO/SI and ESC ( I katakana) re-expressed as EUC-JP bytes,
// so that the EUC-JP conversion decodes it.
std::string Iso2022JpToEucJp(std::string_view bytes);
// UTF-32 bytes (no BOM handling) to UTF-16; invalid code points become U+FFFD, a cut last
// unit is dropped.
std::u16string Utf32BytesToUTF16(std::string_view bytes, bool bigEndian);
