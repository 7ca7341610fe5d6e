#pragma once
// Byte-order marks of the output code pages.
#include <map>
#include <string>
#include <vector>

class TCodePage {
public:
    // FF FE for 1200, FE FF for 1201, EF BB BF for 65001; nothing for any other code page.
    static std::string GetBom(unsigned short codePage);

    // Declared for completeness of the unit; nothing fills it.
    static std::map<unsigned short, std::vector<std::u16string>> Names;
};
