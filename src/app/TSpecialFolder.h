#pragma once
// Paths of Windows special folders by the program's own folder codes (0-29, in alphabetical
// order of the shell's CSIDL names). ToCsidl is portable; GetPath is Windows only.
#include <string>

class TSpecialFolder {
public:
    static constexpr int kCodeCount = 30;

    // The shell's CSIDL value of a folder code; any other code raises kv::Exception
    // "指定されたコードが見つかりません。".
    static int ToCsidl(int code);
    // The folder's file-system path (at most 260 characters); "" when the shell has none (virtual
    // folders) or cannot give it. Raises like ToCsidl for an unknown code.
    static std::u16string GetPath(int code);
};
