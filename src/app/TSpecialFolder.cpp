#include "app/TSpecialFolder.h"

#include "base/Exception.h"

namespace {

// CSIDL_ALTSTARTUP, CSIDL_APPDATA, CSIDL_BITBUCKET, CSIDL_COMMON_ALTSTARTUP,
// CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_FAVORITES, CSIDL_COMMON_PROGRAMS,
// CSIDL_COMMON_STARTMENU, CSIDL_COMMON_STARTUP, CSIDL_CONTROLS, CSIDL_COOKIES, CSIDL_DESKTOP,
// CSIDL_DESKTOPDIRECTORY, CSIDL_DRIVES, CSIDL_FAVORITES, CSIDL_FONTS, CSIDL_HISTORY,
// CSIDL_INTERNET, CSIDL_INTERNET_CACHE, CSIDL_NETHOOD, CSIDL_NETWORK, CSIDL_PERSONAL,
// CSIDL_PRINTERS, CSIDL_PRINTHOOD, CSIDL_PROGRAMS, CSIDL_RECENT, CSIDL_SENDTO,
// CSIDL_STARTMENU, CSIDL_STARTUP, CSIDL_TEMPLATES
constexpr int kCsidl[TSpecialFolder::kCodeCount] = {29, 26, 10, 30, 25, 31, 23, 22, 24, 3,
                                                    33, 0,  16, 17, 6,  20, 34, 1,  32, 19,
                                                    18, 5,  4,  27, 2,  8,  9,  11, 7,  21};

} // namespace

int TSpecialFolder::ToCsidl(int code) {
    if (code < 0 || code >= kCodeCount) throw kv::Exception(u"指定されたコードが見つかりません。");
    return kCsidl[code];
}
