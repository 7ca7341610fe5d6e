#pragma once
// The string values of the program file's version information (for the about box). Windows
// only: GetFileVersionInfo / VerQueryValue on the running program's file.
#include <cstdint>
#include <string>
#include <vector>

class TkAppInfo {
public:
    // Reads the program file's version block; raises kv::Exception "バージョン情報を取得できません"
    // when the file has none or it cannot be read.
    TkAppInfo();
    // The value of index 0 "Comments", 1 "CompanyName", 2 "FileDescription", 3 "FileVersion",
    // 4 "InternalName", 5 "LegalCopyright", 6 "LegalTradeMarks", 7 "OriginalFilename",
    // 8 "PrivateBuild", 9 "ProductName", 10 "ProductVersion" in the string table of the first
    // translation; "" when there is none or for any other index.
    std::u16string GetValue(int index) const;
    // The value name of an index, or nullptr for an index that names nothing.
    static const char16_t* ValueName(int index);

    uint32_t Translation = 0; // language in the low 16 bits, code page in the high 16 bits
    std::vector<uint8_t> Buffer;
};
