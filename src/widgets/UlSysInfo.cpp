#include "widgets/UlSysInfo.h"

namespace {

std::u16string_view Trim(std::u16string_view s) {
    while (!s.empty() && s.front() <= u' ') s.remove_prefix(1);
    while (!s.empty() && s.back() <= u' ') s.remove_suffix(1);
    return s;
}

} // namespace

TWindowsVersion ClassifyWindowsVersion(const TWindowsVersionData& d) {
    const std::u16string_view sp = Trim(d.servicePack);
    if (!d.nt) {
        if (d.minor <= 9) return (sp == u"B" || sp == u"C") ? wvWin95OSR2 : wvWin95;
        if (d.minor >= 10 && d.minor <= 89) {
            if (d.kernelProductVersion == 0x0004005A) return wvWinME;
            return (sp == u"A" || sp == u"B") ? wvWin98SE : wvWin98;
        }
        if (d.minor == 90) return wvWinME;
        return wvUnknown;
    }
    switch (d.major) {
    case 3:
        if (d.minor == 10) return wvWinNT31;
        if (d.minor == 50) return wvWinNT35;
        if (d.minor == 51) return wvWinNT351;
        return wvUnknown;
    case 4:
        return wvWinNT4;
    case 5:
        if (d.minor == 0) return wvWin2000;
        if (d.minor == 1) return wvWinXP;
        if (d.minor == 2) {
            if (d.serverR2Metric != 0) return wvWin2003R2;
            if (!d.nativeX86 && d.workstation) return wvWinXP64;
            return wvWin2003;
        }
        return wvUnknown;
    case 6:
        if (d.minor == 0) return d.workstation ? wvWinVista : wvWinServer2008;
        if (d.minor == 1) return d.workstation ? wvWin7 : wvWinServer2008R2;
        return wvUnknown;
    default:
        return wvUnknown;
    }
}

void SetVersionFlags(TUlSystemInfo& info) {
    for (bool& f : info.flags) f = false;
    info.flags[info.version] = true;
    info.isWinNT3 =
        info.version == wvWinNT31 || info.version == wvWinNT35 || info.version == wvWinNT351;
    if (info.version == wvWinNT351) info.flags[wvWinNT35] = true;
}
