#pragma once
// Exceptions that carry an operating-system error, and the version-resource reader (Windows).
#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "widgets/UlBase.h"

// A string resource named by the module handle it lives in and its identifier.
struct TResStringRec {
    const HMODULE* Module; // not owned; null: this program's module
    unsigned Identifier;
};

// One argument of a format: a text or a number.
using TUlFormatArg = std::variant<std::u16string, long long>;
// The format with its arguments: %s, %d, %u and %x each take the next argument (a number in
// decimal, or in hexadecimal upper case for %x; a text as it is), %% gives a percent sign. A
// directive with no argument left gives nothing; any other character is copied.
std::u16string UlFormat(std::u16string_view format, const std::vector<TUlFormatArg>& args);

class EUlWin32Error : public EUlError {
public:
    // Each reads the calling thread's last error first; the message is "Win32 error: <system
    // text> (<code>)" + CR LF + the text.
    explicit EUlWin32Error(const std::u16string& text);
    // The text from a format and its arguments (UlFormat).
    EUlWin32Error(std::u16string_view format, const std::vector<TUlFormatArg>& args);
    // The text of a string resource; empty when the resource cannot be loaded.
    explicit EUlWin32Error(const TResStringRec& resource);
    // The text from a string resource of this module.
    static EUlWin32Error FromResource(unsigned id);

    uint32_t LastError;
    std::u16string LastErrorMsg;

protected:
    EUlWin32Error(const std::u16string& text, DWORD code);

private:
    explicit EUlWin32Error(const std::pair<std::u16string, DWORD>& textAndCode)
        : EUlWin32Error(textAndCode.first, textAndCode.second) {}
};

// The system's message text for an error code, without its trailing line break.
std::u16string SysErrorMessage(DWORD code);

// Reads the file's version resource; true only when its root block is exactly one fixed file
// information record (52 bytes), which is then copied.
bool ReadFixedVersionRecord(const std::u16string& fileName, VS_FIXEDFILEINFO& fixed);
// The path of a module (buffer of 261 characters, as the library reads it).
std::u16string ModulePath(HMODULE module);
