#include <gtest/gtest.h>

#include "widgets/UlSysInfo.h"
#include "widgets/UlSysUtils.h"

namespace {

TEST(UlSysInfo, ClassifyWindowsVersion) {
    static const struct {
        const char* name;
        TWindowsVersionData data;
        TWindowsVersion expected;
    } kCases[] = {
        {"95", {false, 4, 0, u"", 0, 0, true, true}, wvWin95},
        {"95 OSR2 B", {false, 4, 0, u" B ", 0, 0, true, true}, wvWin95OSR2},
        {"95 OSR2 C", {false, 4, 3, u"C", 0, 0, true, true}, wvWin95OSR2},
        {"98", {false, 4, 10, u"", 0, 0, true, true}, wvWin98},
        {"98 SE, text trimmed", {false, 4, 10, u" A ", 0, 0, true, true}, wvWin98SE},
        {"ME by kernel version", {false, 4, 10, u"A", 0x0004005A, 0, true, true}, wvWinME},
        {"ME by minor 90", {false, 4, 90, u"", 0, 0, true, true}, wvWinME},
        {"non-NT minor 91", {false, 4, 91, u"", 0, 0, true, true}, wvUnknown},
        {"NT 3.1", {true, 3, 10, u"", 0, 0, true, true}, wvWinNT31},
        {"NT 3.5", {true, 3, 50, u"", 0, 0, true, true}, wvWinNT35},
        {"NT 3.51", {true, 3, 51, u"", 0, 0, true, true}, wvWinNT351},
        {"NT 4", {true, 4, 0, u"Service Pack 6", 0, 0, true, true}, wvWinNT4},
        {"2000", {true, 5, 0, u"", 0, 0, true, true}, wvWin2000},
        {"XP", {true, 5, 1, u"", 0, 0, true, true}, wvWinXP},
        {"XP x64", {true, 5, 2, u"", 0, 0, false, true}, wvWinXP64},
        {"2003 R2 whatever the processor", {true, 5, 2, u"", 0, 1, false, true}, wvWin2003R2},
        {"2003", {true, 5, 2, u"", 0, 0, true, false}, wvWin2003},
        {"Vista", {true, 6, 0, u"", 0, 0, true, true}, wvWinVista},
        {"Server 2008", {true, 6, 0, u"", 0, 0, true, false}, wvWinServer2008},
        {"7", {true, 6, 1, u"", 0, 0, true, true}, wvWin7},
        {"Server 2008 R2", {true, 6, 1, u"", 0, 0, true, false}, wvWinServer2008R2},
        {"8 not recognised", {true, 6, 2, u"", 0, 0, true, true}, wvUnknown},
    };
    for (const auto& c : kCases) EXPECT_EQ(ClassifyWindowsVersion(c.data), c.expected) << c.name;
}

TEST(UlSysInfo, VersionFlags) {
    TUlSystemInfo info;
    info.version = wvWinNT351;
    SetVersionFlags(info);
    EXPECT_TRUE(info.flags[wvWinNT351]);
    EXPECT_TRUE(info.flags[wvWinNT35]);
    EXPECT_TRUE(info.isWinNT3);
    info.version = wvWinXP;
    SetVersionFlags(info);
    EXPECT_TRUE(info.flags[wvWinXP]);
    EXPECT_FALSE(info.flags[wvWinNT35]);
    EXPECT_FALSE(info.isWinNT3);
}

TEST(UlSysUtils, OldestSystemsRefuseBadBlockNames) {
    EXPECT_TRUE(SharedBlockNameRejected(wvWin95, u""));
    EXPECT_TRUE(SharedBlockNameRejected(wvWinNT4, u"a\\b"));
    EXPECT_FALSE(SharedBlockNameRejected(wvWinNT4, u"ShmUL_UnitVersioning_1"));
    EXPECT_FALSE(SharedBlockNameRejected(wvWin2000, u"a\\b"));
    EXPECT_FALSE(SharedBlockNameRejected(wvUnknown, u""));
}

} // namespace
