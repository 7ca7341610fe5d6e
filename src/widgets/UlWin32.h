#pragma once
// Exceptions that carry an operating-system error, and the version-resource reader (Windows).
#include <windows.h>

#include <cstdint>
#include <string>

#include "widgets/UlBase.h"

class EUlWin32Error : public EUlError {
public:
    // Reads the calling thread's last error first; the message is "Win32 error: <system text>
    // (<code>)" + CR LF + text.
    explicit EUlWin32Error(const std::u16string& text);
    // The text from a string resource of this module.
    static EUlWin32Error FromResource(unsigned id);

    uint32_t LastError;
    std::u16string LastErrorMsg;

protected:
    EUlWin32Error(const std::u16string& text, DWORD code);
};

// The system's message text for an error code, without its trailing line break.
std::u16string SysErrorMessage(DWORD code);

// Reads the file's version resource; true only when its root block is exactly one fixed file
// information record (52 bytes), which is then copied.
bool ReadFixedVersionRecord(const std::u16string& fileName, VS_FIXEDFILEINFO& fixed);
// The path of a module (buffer of 261 characters, as the library reads it).
std::u16string ModulePath(HMODULE module);
