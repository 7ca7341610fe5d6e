#include "crash/send/ClMIMEMessagePlatform.h"

#include <cstdlib>

namespace kv::crash::detail {

std::string LogonUserName() {
    const char* user = std::getenv("USER");
    return user ? user : "";
}

} // namespace kv::crash::detail
