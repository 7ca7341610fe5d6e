#include <gtest/gtest.h>

#include <cmath>

#include "base/Text.h"
#include "widgets/UlUnitVersioning.h"

namespace {

TUnitVersionInfo Record(const char16_t* rcs, const char16_t* rev = u"", const char16_t* date = u"",
                        const char16_t* logPath = u"UL\\source\\common") {
    return {rcs, rev, date, logPath, u"  x  ", nullptr};
}

TEST(TUnitVersion, Accessors) {
    const TUnitVersionInfo url =
        Record(u" $URL: https://example.org/svn/ul/trunk/source/common/UlBase.pas $ ",
               u"$Revision: 3188 $", u"$Date: 2010-02-11 13:14:06 +0100 (Do, 11 Feb 2010) $");
    const TUnitVersion v(&url);
    EXPECT_EQ(v.RCSfile(), u"UlBase.pas");
    EXPECT_EQ(v.Revision(), u"3188");
    EXPECT_EQ(v.Date(), u"2010-02-11 13:14:06 +0100 (Do, 11 Feb 2010)");
    EXPECT_EQ(v.Extra(), u"x");
    EXPECT_EQ(v.LogPath(), u"UL\\source\\common");

    const TUnitVersionInfo rcs = Record(u"$RCSfile: UlSynch.pas,v $", u"1.2");
    EXPECT_EQ(TUnitVersion(&rcs).RCSfile(), u"UlSynch.pas");
    EXPECT_EQ(TUnitVersion(&rcs).Revision(), u"1.2"); // no prefix: trimmed field
}

TEST(TUnitVersion, DateTime) {
    // 11 February 2010 is day 40220 after 1899-12-30.
    const double expected = 40220 + (13 * 3600 + 14 * 60 + 6) / 86400.0;
    static const struct {
        const char* name;
        const char16_t* date;
        double value;
    } kCases[] = {
        {"year first with dashes", u"$Date: 2010-02-11 13:14:06 +0100 (Do, 11 Feb 2010) $",
         expected},
        {"year first with slashes", u"$Date: 2010/02/11 13:14:06 $", expected},
        {"month first", u"$Date: 02/11/2010 13:14:06 $", expected},
        {"day first with dots", u"$Date: 11.02.2010 13:14:06 $", expected},
        {"no date", u"$Date: sometime $", 0},
        {"date only", u"2010-02-11", 40220},
    };
    for (const auto& c : kCases) {
        const TUnitVersionInfo info = Record(u"$URL: a/b.pas $", u"", c.date);
        EXPECT_NEAR(TUnitVersion(&info).DateTime(), c.value, 1e-6) << c.name;
    }
}

TEST(TUnitVersioning, RecordsModulesAndLookups) {
    static const TUnitVersionInfo a = Record(u"$URL: x/UlBase.pas $");
    static const TUnitVersionInfo b =
        Record(u"$URL: x/UlSynch.pas $", u"", u"", u"UL\\source\\windows");
    static const TUnitVersionInfo c = Record(u"$URL: x/Other.pas $");
    static bool gone2 = false;
    TUnitVersioning r([](TModuleHandle m) { return !(m == 2 && gone2); });
    r.AddVersionRecord(1, &a);
    r.AddVersionRecord(1, &a); // the very record again: stored once
    r.AddVersionRecord(1, &b);
    r.AddVersionRecord(2, &c);
    EXPECT_EQ(r.ModuleCount(), 2);
    EXPECT_EQ(r.Count(), 3);
    EXPECT_EQ(r.IndexOf(u"ulsynch.PAS"), 1);
    EXPECT_EQ(r.IndexOf(u"UlSynch.pas", u"ul\\source\\WINDOWS"), 1);
    EXPECT_EQ(r.IndexOf(u"UlSynch.pas", u"UL\\source\\common"), -1);
    EXPECT_EQ(r.IndexOf(u"Other.pas"), 2);
    ASSERT_NE(r.FindUnit(u"UlBase.pas"), nullptr);
    EXPECT_EQ(r.FindUnit(u"UlBase.pas")->Info(), &a);
    EXPECT_EQ(r.FindUnit(u"Missing.pas"), nullptr);

    gone2 = true; // module 2's file can no longer be found: the counts drop it
    EXPECT_EQ(r.ModuleCount(), 1);
    EXPECT_EQ(r.Count(), 2);

    r.DropModule(1);
    EXPECT_EQ(r.ModuleCount(), 0);
    r.DropModule(1); // nothing left to drop
}

struct CountingProvider : TCustomUnitVersioningProvider {
    static inline int loads = 0, releases = 0;
    void LoadModuleUnitVersioningInfo(TModuleHandle) override { ++loads; }
    void ReleaseModuleUnitVersioningInfo(TModuleHandle) override { ++releases; }
};

TEST(TUnitVersioning, ProvidersRegisterOncePerClass) {
    TUnitVersioning r;
    r.RegisterProvider<CountingProvider>();
    r.RegisterProvider<CountingProvider>();
    EXPECT_EQ(r.Providers.size(), 1u);
    r.LoadModuleUnitVersioningInfo(7);
    r.DropModule(7);
    EXPECT_EQ(CountingProvider::loads, 1);
    EXPECT_EQ(CountingProvider::releases, 1);
}

TEST(TUnitVersioning, LibraryRecordsAndNames) {
    const auto& records = LibraryUnitVersionRecords();
    ASSERT_EQ(records.size(), 27u);
    EXPECT_EQ(TUnitVersion(records[0]).RCSfile(), u"Snmp.pas");
    EXPECT_EQ(TUnitVersion(records[5]).LogPath(), u"UL\\source\\windows");
    EXPECT_EQ(TUnitVersion(records[26]).RCSfile(), u"Ul8087.pas");
    EXPECT_EQ(TUnitVersion(records[26]).LogPath(), u"UL\\source\\common");
    for (const TUnitVersionInfo* info : records) {
        const TUnitVersion v(info);
        EXPECT_GT(v.DateTime(), 39000) << kv::Utf16ToUtf8(v.RCSfile());
        EXPECT_FALSE(v.Revision().empty());
    }
    EXPECT_EQ(UnitVersioningMutexName(1234), u"MutexUL_UnitVersioning_1234");
    EXPECT_EQ(UnitVersioningBlockName(1234), u"ShmUL_UnitVersioning_1234");
}

} // namespace
