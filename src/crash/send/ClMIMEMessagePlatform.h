#pragma once
// The platform piece of the MIME message: Win32 in ClMIMEMessage_win.cpp, a stand-in for the
// native tests in ClMIMEMessage_posix.cpp. Internal to the crash component.
#include <string>

namespace kv::crash::detail {

// The logged-on user's name; empty when it cannot be found.
std::string LogonUserName();

} // namespace kv::crash::detail
