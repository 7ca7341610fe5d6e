#include "widgets/UlUnitVersioning.h"

#include <array>

#include "base/Text.h"

namespace {

std::u16string_view Trim(std::u16string_view s) {
    while (!s.empty() && s.front() <= u' ') s.remove_prefix(1);
    while (!s.empty() && s.back() <= u' ') s.remove_suffix(1);
    return s;
}

bool StartsWith(std::u16string_view s, std::u16string_view prefix) {
    return s.size() >= prefix.size() && s.substr(0, prefix.size()) == prefix;
}

char16_t Lower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? c + 32 : c;
}

bool SameText(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

// The text between a field's keyword and its closing " $" (that is, less the prefix and the
// last two characters).
std::u16string_view Inner(std::u16string_view s, size_t prefix) {
    if (s.size() < prefix + 2) return {};
    return s.substr(prefix, s.size() - prefix - 2);
}

int Number(std::u16string_view s) {
    int v = 0;
    return kv::TryStrToInt(Trim(s), v) ? v : 0;
}

// Days since 1899-12-30 of a calendar date; 0 for an impossible one.
double EncodeDate(int year, int month, int day) {
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > kDays[month - 1] + (month == 2 && leap ? 1 : 0))
        return 0;
    long y = year - 1;
    long days = y * 365 + y / 4 - y / 100 + y / 400;
    for (int m = 1; m < month; ++m) days += kDays[m - 1] + (m == 2 && leap ? 1 : 0);
    days += day;
    return static_cast<double>(days - 693594); // 693594: days from 0001-01-01 to 1899-12-30
}

bool Matches(const TUnitVersion& v, std::u16string_view rcsFile, std::u16string_view logPath) {
    return SameText(v.RCSfile(), rcsFile) && (logPath == u"*" || SameText(v.LogPath(), logPath));
}

} // namespace

std::u16string TUnitVersion::RCSfile() const {
    const std::u16string_view s = Trim(info_->RCSfile ? info_->RCSfile : u"");
    if (StartsWith(s, u"$RCSfile: ")) {
        std::u16string_view r = Inner(s, 10);
        if (const size_t comma = r.rfind(u','); comma != std::u16string_view::npos)
            r = r.substr(0, comma);
        return std::u16string(r);
    }
    if (StartsWith(s, u"$URL: ")) {
        std::u16string_view r = Inner(s, 6);
        for (size_t slash = r.find(u'/'); slash != std::u16string_view::npos; slash = r.find(u'/'))
            r.remove_prefix(slash + 1);
        return std::u16string(r);
    }
    return std::u16string(s);
}

std::u16string TUnitVersion::Revision() const {
    const std::u16string_view s = Trim(info_->Revision ? info_->Revision : u"");
    if (StartsWith(s, u"$Revision: ")) return std::u16string(Inner(s, 11));
    return std::u16string(s);
}

std::u16string TUnitVersion::Date() const {
    const std::u16string_view s = Trim(info_->Date ? info_->Date : u"");
    if (StartsWith(s, u"$Date: ")) return std::u16string(Inner(s, 7));
    return std::u16string(s);
}

std::u16string TUnitVersion::LogPath() const {
    return std::u16string(Trim(info_->LogPath ? info_->LogPath : u""));
}

std::u16string TUnitVersion::Extra() const {
    return std::u16string(Trim(info_->Extra ? info_->Extra : u""));
}

double TUnitVersion::DateTime() const {
    const std::u16string text = Date();
    const std::u16string_view s(text);
    // Characters from..to, 1-based, as the text's positions are counted.
    auto part = [&s](size_t from, size_t to) {
        return from <= s.size() ? s.substr(from - 1, std::min(to, s.size()) - from + 1)
                                : std::u16string_view();
    };
    size_t sep = s.find(u'/');
    if (sep == std::u16string_view::npos) sep = s.find(u'-');
    double date;
    if (sep == 4) {
        date = EncodeDate(Number(part(1, 4)), Number(part(6, 7)), Number(part(9, 10)));
    } else if (sep != std::u16string_view::npos) {
        date = EncodeDate(Number(part(7, 10)), Number(part(1, 2)), Number(part(4, 5)));
    } else if (s.find(u'.') != std::u16string_view::npos) {
        date = EncodeDate(Number(part(7, 10)), Number(part(4, 5)), Number(part(1, 2)));
    } else {
        return 0;
    }
    const size_t blank = s.find(u' ');
    if (blank == std::u16string_view::npos) return date;
    std::u16string_view t = Trim(s.substr(blank + 1));
    const char16_t timeSep = t.find(u':') != std::u16string_view::npos ? u':' : u'/';
    const size_t a = t.find(timeSep);
    const int hours = Number(t.substr(0, a));
    int minutes = 0, seconds = 0;
    if (a != std::u16string_view::npos) {
        std::u16string_view rest = t.substr(a + 1);
        const size_t b = rest.find(timeSep);
        minutes = Number(rest.substr(0, b));
        if (b != std::u16string_view::npos) {
            rest = rest.substr(b + 1);
            size_t digits = 0;
            while (digits < rest.size() && rest[digits] >= u'0' && rest[digits] <= u'9') ++digits;
            seconds = Number(rest.substr(0, digits));
        }
    }
    return date + (hours * 3600.0 + minutes * 60.0 + seconds) / 86400.0;
}

const TUnitVersion* TUnitVersioningModule::FindUnit(std::u16string_view rcsFile,
                                                    std::u16string_view logPath) const {
    for (const auto& v : Items)
        if (Matches(*v, rcsFile, logPath)) return v.get();
    return nullptr;
}

int TUnitVersioningModule::IndexOf(std::u16string_view rcsFile, std::u16string_view logPath) const {
    for (size_t i = 0; i < Items.size(); ++i)
        if (Matches(*Items[i], rcsFile, logPath)) return static_cast<int>(i);
    return -1;
}

void TUnitVersioning::AddVersionRecord(TModuleHandle instance, const TUnitVersionInfo* info) {
    for (const auto& m : Modules) {
        if (m->Instance != instance) continue;
        for (const auto& v : m->Items)
            if (v->Info() == info) return; // the very record is there already
        m->Items.push_back(std::make_unique<TUnitVersion>(info));
        return;
    }
    Modules.push_back(std::make_unique<TUnitVersioningModule>(instance));
    Modules.back()->Items.push_back(std::make_unique<TUnitVersion>(info));
}

void TUnitVersioning::DropModule(TModuleHandle instance) {
    for (size_t i = Modules.size(); i-- > 0;) {
        if (Modules[i]->Instance == instance) {
            Modules.erase(Modules.begin() + static_cast<long>(i));
            break;
        }
    }
    for (const auto& p : Providers) p->ReleaseModuleUnitVersioningInfo(instance);
}

void TUnitVersioning::ValidateModules() {
    if (!moduleExists_) return;
    for (size_t i = Modules.size(); i-- > 0;)
        if (!moduleExists_(Modules[i]->Instance))
            Modules.erase(Modules.begin() + static_cast<long>(i));
}

int TUnitVersioning::Count() {
    ValidateModules();
    int n = 0;
    for (const auto& m : Modules) n += m->Count();
    return n;
}

int TUnitVersioning::ModuleCount() {
    ValidateModules();
    return static_cast<int>(Modules.size());
}

const TUnitVersion* TUnitVersioning::FindUnit(std::u16string_view rcsFile,
                                              std::u16string_view logPath) const {
    for (const auto& m : Modules)
        if (const TUnitVersion* v = m->FindUnit(rcsFile, logPath)) return v;
    return nullptr;
}

int TUnitVersioning::IndexOf(std::u16string_view rcsFile, std::u16string_view logPath) const {
    int base = 0;
    for (const auto& m : Modules) {
        const int i = m->IndexOf(rcsFile, logPath);
        if (i >= 0) return base + i;
        base += m->Count();
    }
    return -1;
}

void TUnitVersioning::LoadModuleUnitVersioningInfo(TModuleHandle instance) {
    for (const auto& p : Providers) p->LoadModuleUnitVersioningInfo(instance);
}

std::u16string UnitVersioningMutexName(uint32_t processId) {
    return u"MutexUL_UnitVersioning_" + kv::IntToStr(processId);
}

std::u16string UnitVersioningBlockName(uint32_t processId) {
    return u"ShmUL_UnitVersioning_" + kv::IntToStr(processId);
}

namespace {
constexpr const char16_t* kWindowsPath = u"UL\\source\\windows";
constexpr const char16_t* kCommonPath = u"UL\\source\\common";
} // namespace

const std::vector<const TUnitVersionInfo*>& LibraryUnitVersionRecords() {
    static const TUnitVersionInfo kRecords[] = {
        {u"$URL: kolvane/widgets/ul/windows/Snmp.pas $", u"$Revision: 3011 $",
         u"$Date: 2009-10-04 09:12:40 +0200 (So, 04 Okt 2009) $", kWindowsPath, u"", nullptr},
        {u"$URL: kolvane/widgets/ul/windows/UlWin32.pas $", u"$Revision: 3188 $",
         u"$Date: 2010-02-11 13:14:06 +0100 (Do, 11 Feb 2010) $", kWindowsPath, u"", nullptr},
        {u"$URL: kolvane/widgets/ul/windows/UlShell.pas $", u"$Revision: 3120 $",
         u"$Date: 2009-12-20 18:03:11 +0100 (So, 20 Dez 2009) $", kWindowsPath, u"", nullptr},
        {u"$URL: kolvane/widgets/ul/windows/UlSecurity.pas $", u"$Revision: 3041 $",
         u"$Date: 2009-10-20 21:44:01 +0200 (Di, 20 Okt 2009) $", kWindowsPath, u"", nullptr},
        {u"$URL: kolvane/widgets/ul/windows/UlRegistry.pas $", u"$Revision: 3150 $",
         u"$Date: 2010-01-17 12:30:22 +0100 (So, 17 Jan 2010) $", kWindowsPath, u"", nullptr},
        {u"$URL: kolvane/widgets/ul/windows/UlConsole.pas $", u"$Revision: 2991 $",
         u"$Date: 2009-09-12 15:20:08 +0200 (Sa, 12 Sep 2009) $", kWindowsPath, u"", nullptr},
        {u"$URL: kolvane/widgets/ul/common/UlWideStrings.pas $", u"$Revision: 3087 $",
         u"$Date: 2009-11-29 10:05:47 +0100 (So, 29 Nov 2009) $", kCommonPath, u"", nullptr},
        {u"$URL: kolvane/widgets/ul/common/UlUnitVersioning.pas $", u"$Revision: 3062 $",
         u"$Date: 2009-11-07 16:41:30 +0100 (Sa, 07 Nov 2009) $", kCommonPath, u"", nullptr},
        {u"$URL: kolvane/widgets/ul/common/UlUnicode.pas $", u"$Revision: 3173 $",
         u"$Date: 2010-02-03 20:11:52 +0100 (Mi, 03 Feb 2010) $", kCommonPath, u"", nullptr},
        {u"$URL: kolvane/widgets/ul/common/UlSysUtils.pas $", u"$Revision: 3185 $",
         u"$Date: 2010-02-09 22:40:13 +0100 (Di, 09 Feb 2010) $", kCommonPath, u"", nullptr},
        {u"$URL: kolvane/widgets/ul/common/UlSysInfo.pas $", u"$Revision: 3181 $",
         u"$Date: 2010-02-07 14:56:02 +0100 (So, 07 Feb 2010) $", kCommonPath, u"", nullptr},
        {u"$URL: kolvane/widgets/ul/common/UlSynch.pas $", u"$Revision: 3044 $",
         u"$Date: 2009-10-24 11:28:19 +0200 (Sa, 24 Okt 2009) $", kCommonPath, u"", nullptr},
        {u"$URL: kolvane/widgets/ul/common/UlStrings.pas $", u"$Revision: 3176 $",
         u"$Date: 2010-02-05 09:17:45 +0100 (Fr, 05 Feb 2010) $", kCommonPath, u"", nullptr},
        {u"$URL: kolvane/widgets/ul/common/UlStringConversions.pas $", u"$Revision: 2998 $",
         u"$Date: 2009-09-18 19:02:33 +0200 (Fr, 18 Sep 2009) $", kCommonPath, u"", nullptr},
        {u"$URL: kolvane/widgets/ul/common/UlStreams.pas $", u"$Revision: 3129 $",
         u"$Date: 2009-12-28 17:48:06 +0100 (Mo, 28 Dez 2009) $", kCommonPath, u"", nullptr},
        {u"$URL: kolvane/widgets/ul/common/UlRTTI.pas $", u"$Revision: 3102 $",
         u"$Date: 2009-12-06 13:33:59 +0100 (So, 06 Dez 2009) $", kCommonPath, u"", nullptr},
        {u"$URL: kolvane/widgets/ul/common/UlResources.pas $", u"$Revision: 3187 $",
         u"$Date: 2010-02-10 23:01:26 +0100 (Mi, 10 Feb 2010) $", kCommonPath, u"", nullptr},
        {u"$URL: kolvane/widgets/ul/common/UlMime.pas $", u"$Revision: 2970 $",
         u"$Date: 2009-08-30 08:44:12 +0200 (So, 30 Aug 2009) $", kCommonPath, u"", nullptr},
        {u"$URL: kolvane/widgets/ul/common/UlMath.pas $", u"$Revision: 3066 $",
         u"$Date: 2009-11-10 18:25:40 +0100 (Di, 10 Nov 2009) $", kCommonPath, u"", nullptr},
        {u"$URL: kolvane/widgets/ul/common/UlLogic.pas $", u"$Revision: 2952 $",
         u"$Date: 2009-08-16 12:10:03 +0200 (So, 16 Aug 2009) $", kCommonPath, u"", nullptr},
        {u"$URL: kolvane/widgets/ul/common/UlIniFiles.pas $", u"$Revision: 3015 $",
         u"$Date: 2009-10-06 07:58:51 +0200 (Di, 06 Okt 2009) $", kCommonPath, u"", nullptr},
        {u"$URL: kolvane/widgets/ul/common/UlFileUtils.pas $", u"$Revision: 3184 $",
         u"$Date: 2010-02-08 19:37:24 +0100 (Mo, 08 Feb 2010) $", kCommonPath, u"", nullptr},
        {u"$URL: kolvane/widgets/ul/common/UlDateTime.pas $", u"$Revision: 3079 $",
         u"$Date: 2009-11-21 15:02:18 +0100 (Sa, 21 Nov 2009) $", kCommonPath, u"", nullptr},
        {u"$URL: kolvane/widgets/ul/common/UlCharsets.pas $", u"$Revision: 2935 $",
         u"$Date: 2009-08-02 11:45:50 +0200 (So, 02 Aug 2009) $", kCommonPath, u"", nullptr},
        {u"$URL: kolvane/widgets/ul/common/UlBase.pas $", u"$Revision: 3188 $",
         u"$Date: 2010-02-11 13:14:06 +0100 (Do, 11 Feb 2010) $", kCommonPath, u"", nullptr},
        {u"$URL: kolvane/widgets/ul/common/UlAnsiStrings.pas $", u"$Revision: 3160 $",
         u"$Date: 2010-01-25 10:22:37 +0100 (Mo, 25 Jan 2010) $", kCommonPath, u"", nullptr},
        {u"$URL: kolvane/widgets/ul/common/Ul8087.pas $", u"$Revision: 2901 $",
         u"$Date: 2009-07-19 16:33:08 +0200 (So, 19 Jul 2009) $", kCommonPath, u"", nullptr},
    };
    static const std::vector<const TUnitVersionInfo*> records = [] {
        std::vector<const TUnitVersionInfo*> r;
        for (const auto& info : kRecords) r.push_back(&info);
        return r;
    }();
    return records;
}
