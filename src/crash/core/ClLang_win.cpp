#include "crash/core/ClLang.h"

#include <windows.h>

#include <cstdlib>
#include <string>

#include "crash/core/ClCore.h"

namespace kv::crash {

uint8_t UserCharSet() {
    char buf[6] = {};
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE, buf, sizeof buf);
    const int codePage = StrToIntDef(buf, static_cast<int>(GetACP()));
    CHARSETINFO info{};
    if (!TranslateCharsetInfo(reinterpret_cast<DWORD*>(static_cast<uintptr_t>(codePage)), &info,
                              TCI_SRCCODEPAGE))
        return DEFAULT_CHARSET;
    return static_cast<uint8_t>(info.ciCharset);
}

} // namespace kv::crash
