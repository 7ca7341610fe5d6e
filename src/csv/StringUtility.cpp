#include "csv/StringUtility.h"

std::string UnicodeToUTF16LE(std::u16string_view text) {
    std::string out(text.size() * 2, '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        out[2 * i] = static_cast<char>(text[i] & 0xFF);
        out[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    return out;
}

std::string UnicodeToUTF16BE(std::u16string_view text) {
    std::string out(text.size() * 2, '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        out[2 * i] = static_cast<char>(text[i] >> 8);
        out[2 * i + 1] = static_cast<char>(text[i] & 0xFF);
    }
    return out;
}

std::string GetPreamble(unsigned codePage) {
    switch (codePage) {
    case 1200:
        return "\xFF\xFE";
    case 1201:
        return "\xFE\xFF";
    case 65001:
        return "\xEF\xBB\xBF";
    default:
        return {}; // UTF-7 and the multibyte code pages have no preamble
    }
}

std::string BytesToRawByteString(const unsigned char* bytes, size_t count) {
    return std::string(reinterpret_cast<const char*>(bytes), count);
}
