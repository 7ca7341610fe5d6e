#pragma once
// Byte forms of UTF-16 text and encoding preambles.
#include <string>
#include <string_view>

// The text's code units as little- or big-endian bytes, no BOM.
std::string UnicodeToUTF16LE(std::u16string_view text);
std::string UnicodeToUTF16BE(std::u16string_view text);
// The BOM of an encoding named by its code page (1200, 1201, 65001 have one; others none).
std::string GetPreamble(unsigned codePage);
std::string BytesToRawByteString(const unsigned char* bytes, size_t count);
