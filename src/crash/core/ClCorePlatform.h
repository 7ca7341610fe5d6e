#pragma once
// The platform pieces under ClCore's portable routines: Win32 in ClCore_win.cpp, a POSIX
// stand-in for the native tests in ClCore_posix.cpp. Internal to the crash component.
#include <cstdint>
#include <string>

#include "crash/core/ClCore.h"

namespace kv::crash::detail {

// Whether b starts a double-byte character in the ANSI code page.
bool IsAnsiLeadByte(unsigned char b);
// The variable's value; false when it does not exist.
bool GetEnvRaw(const std::string& name, std::string& value);
TDateTime LocalNow();
TDateTime UtcNow();
std::string LocaleShortDate(TDateTime value);
std::string LocaleTime(TDateTime value);
// Date and time in the user's locale; false for values out of the calendar.
bool LocaleDateTime(TDateTime value, std::string& text);
std::string CurrentDir();
bool CreateDir(const std::string& folder);
// The absolute form of a path.
std::string FullPathName(const std::string& path);
// The long name of the first entry that the search pattern finds; false when none.
bool FindFirstName(const std::string& pattern, std::string& longName);
// Private-profile access, as the system's profile functions do it (values trimmed and one pair
// of surrounding quotes removed when reading; 2,048-byte buffer).
std::string ProfileRead(const std::string& fileName, const std::string& section,
                        const std::string& key, const std::string& def);
bool ProfileWrite(const std::string& fileName, const std::string& section, const std::string& key,
                  const std::string& value);

// The name to hand the C runtime and libraries that take 8-bit file names.
std::string NativeFileName(const std::string& fileName);
// The whole file, opened for reading with others denied write access; false when it cannot be
// opened or read.
bool ReadFileDenyWrite(const std::string& fileName, std::string& data);

// A system exception caught inside a guarded call.
struct SystemFault {
    uint32_t code = 0;
    uintptr_t address = 0;
    uintptr_t info[2] = {}; // access violations: 0 read / 1 write, and the address touched
};
// Runs proc; false with fault filled when a system exception (access violation and the like)
// ended it. C++ exceptions pass through unchanged.
bool RunGuarded(void (*proc)(), SystemFault& fault);

// The computer's NetBIOS name (at most 15 characters).
std::string ComputerName();
// The handle of the loaded module of that file name; 0 when none or the name is empty.
uintptr_t ModuleHandleByName(const std::string& name);
// The handle of the module that holds the component.
uintptr_t ComponentModuleHandle();

} // namespace kv::crash::detail
