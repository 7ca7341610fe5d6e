#include "crash/send/ClMIMEMessagePlatform.h"

#include <windows.h>

namespace kv::crash::detail {

std::string LogonUserName() {
    char name[257];
    DWORD size = sizeof name;
    if (!GetUserNameA(name, &size) || size == 0) return {};
    return std::string(name, size - 1); // the size counts the terminating zero
}

} // namespace kv::crash::detail
