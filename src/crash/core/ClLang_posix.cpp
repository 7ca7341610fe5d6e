// The native stand-in: the ANSI code page here is 932, as on the users' machines.
#include "crash/core/ClLang.h"

#include "base/CodePageConv.h"

namespace kv::crash {

uint8_t UserCharSet() {
    switch (kv::GetAnsiCodePage()) {
    case 932:
        return 128; // SHIFTJIS_CHARSET
    case 1252:
        return 0; // ANSI_CHARSET
    default:
        return 1; // DEFAULT_CHARSET
    }
}

} // namespace kv::crash
