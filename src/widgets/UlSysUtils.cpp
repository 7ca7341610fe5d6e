#include "widgets/UlSysUtils.h"

bool SharedBlockNameRejected(TWindowsVersion version, const std::u16string& name) {
    const bool oldest = version >= wvWin95 && version <= wvWinNT4;
    return oldest && (name.empty() || name.find(u'\\') != std::u16string::npos);
}
