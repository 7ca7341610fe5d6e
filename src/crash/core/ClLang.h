#pragma once
// The font character set of the crash dialogs: the one that matches the user's default ANSI
// code page. Any thread.
#include <cstdint>

namespace kv::crash {

// SHIFTJIS_CHARSET (128) for code page 932, ANSI_CHARSET (0) for 1252 and so on;
// DEFAULT_CHARSET (1) when the system knows no character set for the code page.
uint8_t UserCharSet();

} // namespace kv::crash
