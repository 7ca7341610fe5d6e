#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/Text.h"
#include "widgets/XFileDialogDataList.h"
#include "widgets/XFileDialogRules.h"

namespace {

using kv::Utf16ToUtf8;

TEST(XFileDialogRules, MaskFromDirectoryFindTextAndExtension) {
    static const struct {
        const char* name;
        const char16_t* directory;
        const char16_t* findText;
        const char16_t* fileExt;
        const char16_t* mask;
    } kCases[] = {
        {"everything", u"C:\\data", u"", u"", u"C:\\data\\*.*"},
        {"delimiter kept single", u"C:\\data\\", u"", u".csv", u"C:\\data\\*.csv"},
        {"find text wrapped in stars", u"C:\\data", u"売上", u".csv", u"C:\\data\\*売上*.csv"},
        {"find text with a star as given", u"C:\\data", u"売上*", u".csv", u"C:\\data\\売上*.csv"},
        {"extension with a star lists all", u"C:\\data", u"", u"*.txt", u"C:\\data\\*.*"},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(Utf16ToUtf8(kv::ListingMask(c.directory, c.findText, c.fileExt)),
                  Utf16ToUtf8(c.mask))
            << c.name;
}

TEST(XFileDialogRules, EntriesTheListShows) {
    constexpr uint32_t kPlain = 0x20; // archive
    static const struct {
        const char* name;
        const char16_t* entry;
        uint32_t attributes;
        const char16_t* wantedExt; // as the listing makes it
        const char16_t* andFind;
        bool shown;
    } kCases[] = {
        {"same extension", u"売上.csv", kPlain, u".csv", u"", true},
        {"extension in another case", u"売上.CSV", kPlain, u".csv", u"", true},
        {"other extension", u"売上.txt", kPlain, u".csv", u"", false},
        {"longer extension", u"売上.csvx", kPlain, u".csv", u"", false},
        {"no extension, extension wanted", u"README", kPlain, u".csv", u"", false},
        {"all files", u"README", kPlain, u".*", u"", true},
        {"shortcut never", u"リンク.lnk", kPlain, u".*", u"", false},
        {"shortcut in capitals never", u"リンク.LNK", kPlain, u".*", u"", false},
        {"hidden never", u"隠し.csv", kPlain | kv::kFileAttributeHidden, u".csv", u"", false},
        {"system never", u"sys.csv", kv::kFileAttributeSystem, u".csv", u"", false},
        {"directory never", u"フォルダ.csv", kv::kFileAttributeDirectory, u".csv", u"", false},
        {"read-only listed", u"ro.csv", 0x01, u".csv", u"", true},
        {"and-find either case", u"Box.csv", kPlain, u".csv", u"x", true},
        {"and-find upper text", u"box.csv", kPlain, u".csv", u"X", true},
        {"and-find only in the extension", u"abc.xls", kPlain, u".*", u"x", false},
        {"and-find full-width letters", u"ＡＢＣ.csv", kPlain, u".csv", u"ｂ", true},
        {"and-find Japanese", u"顧客一覧.csv", kPlain, u".csv", u"一覧", true},
        {"and-find missing", u"顧客.csv", kPlain, u".csv", u"一覧", false},
    };
    for (const auto& c : kCases) {
        const bool shown = kv::ListingExtensionMatches(c.entry, c.wantedExt) &&
                           kv::ListingEntryKept(c.entry, c.attributes, c.andFind);
        EXPECT_EQ(shown, c.shown) << c.name;
    }
}

TEST(XFileDialogRules, SavePathTrimsTheNameAndAddsTheExtension) {
    static const struct {
        const char* name;
        const char16_t* directory;
        const char16_t* typed;
        const char16_t* fileExt;
        const char16_t* path;
    } kCases[] = {
        {"no trailing delimiter", u"C:\\out", u"  結果  ", u".csv", u"C:\\out\\結果.csv"},
        {"trailing delimiter", u"C:\\out\\", u"結果", u".csv", u"C:\\out\\結果.csv"},
        {"extension with a star", u"C:\\out", u"a.txt", u"*.*", u"C:\\out\\a.txt"},
        {"no extension", u"C:\\out", u"a", u"", u"C:\\out\\a"},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(Utf16ToUtf8(kv::SaveDialogFilePath(c.directory, c.typed, c.fileExt)),
                  Utf16ToUtf8(c.path))
            << c.name;
    EXPECT_EQ(Utf16ToUtf8(kv::FileNameWithoutExt(u"結果.csv")), "結果");
}

TEST(XFileDialogRules, RenameStaysInsideTheFolder) {
    static const struct {
        const char16_t* typed;
        bool accepted;
    } kCases[] = {
        {u"新しい名前", true}, {u"a.b", true},    {u"...", true},
        {u".", false},         {u"..", false},    {u"..\\x", false},
        {u"sub/x", false},     {u"C:\\x", false}, {u"\\\\srv\\x", false},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(kv::RenameNameAccepted(c.typed), c.accepted) << Utf16ToUtf8(c.typed);
    EXPECT_EQ(Utf16ToUtf8(kv::RenameTargetPath(u"C:\\d", u"新", u"C:\\d\\旧.Csv")),
              "C:\\d\\新.Csv");
    EXPECT_EQ(Utf16ToUtf8(kv::RenameTargetPath(u"C:\\d\\", u"新", u"C:\\d\\README")), "C:\\d\\新");
}

TEST(XFileDialogRules, FormPlacesOnTheWorkArea) {
    const kv::TWorkArea work{0, 0, 1280, 994};
    const kv::TFormBounds first = kv::InitialDialogBounds(work);
    EXPECT_EQ(first.width, 512);
    EXPECT_EQ(first.height, 497);
    EXPECT_EQ(first.left, (1280 - 512) / 2);
    EXPECT_EQ(first.top, (994 - 497) / 2);
    const kv::TFormBounds shifted = kv::CenteredOnWorkArea({100, 30, 900, 630}, 301, 201);
    EXPECT_EQ(shifted.left, (100 + 900 - 301) / 2);
    EXPECT_EQ(shifted.top, (30 + 630 - 201) / 2);
    const kv::TFormBounds over = kv::CenteredOver({200, 100, 500, 400}, 301, 120);
    EXPECT_EQ(over.left, 200 + (500 - 301) / 2);
    EXPECT_EQ(over.top, 100 + (400 - 120) / 2);
}

TEST(XFileDialogRules, VersionRule) {
    EXPECT_TRUE(kv::OSBeforeVista(true, 5, 1));
    EXPECT_TRUE(kv::OSBeforeVista(true, 5, 0));
    EXPECT_FALSE(kv::OSBeforeVista(true, 5, 2));
    EXPECT_FALSE(kv::OSBeforeVista(true, 6, 0));
    EXPECT_FALSE(kv::OSBeforeVista(false, 4, 10));
}

TEST(XFileDialogRules, ShortenedPathKeepsTheLastPart) {
    const auto chars = [](std::u16string_view s) { return static_cast<int>(s.size()); };
    static const struct {
        const char16_t* path;
        int width;
        const char16_t* shown;
    } kCases[] = {
        {u"C:\\Users\\taro\\データ", 100, u"C:\\Users\\taro\\データ"},
        {u"C:\\Users\\taro\\データ", 15, u"C:\\...\\taro\\データ"},
        {u"C:\\Users\\taro\\データ", 11, u"C:\\...\\データ"},
        {u"C:\\Users\\taro\\データ", 8, u"...\\データ"},
        {u"C:\\Users\\taro\\データ", 2, u"データ"},
        {u"\\\\srv\\share\\dir", 12, u"\\...\\dir"},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(Utf16ToUtf8(kv::ShortenPathForDisplay(c.path, c.width, chars)),
                  Utf16ToUtf8(c.shown))
            << Utf16ToUtf8(c.path) << " in " << c.width;
}

TEST(XFileDialogRules, SpecialFoldersMapToShellIdentifiers) {
    static const struct {
        kv::TplBFSpecialDir dir;
        int csidl;
    } kCases[] = {
        {kv::sfNone, 0x00},
        {kv::sfDesktop, 0x00},
        {kv::sfInternet, 0x01},
        {kv::sfPersonal, 0x05},
        {kv::sfMyDocuments, 0x0C},
        {kv::sfMyVidio, 0x0E},
        {kv::sfDesktopDirectory, 0x10},
        {kv::sfAppData, 0x1A},
        {kv::sfWindows, 0x24},
        {kv::sfConnections, 0x31},
        {kv::sfCommon_Music, 0x35},
        {kv::sfCdburn_Area, 0x3B},
        {kv::sfComputersNearme, 0x3D},
        {kv::sfProfiles, 0x3E},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(kv::SpecialDirCsidl(c.dir), c.csidl) << Utf16ToUtf8(kv::kSpecialDirNames[c.dir]);
    EXPECT_EQ(Utf16ToUtf8(kv::kSpecialDirNames[kv::sfProfiles]), "sfProfiles");
}

TEST(XFileDialogRules, BrowseOptionsAddTheirFlags) {
    EXPECT_EQ(kv::BrowseFlags(kv::BrowseOption(kv::bifReturnOnlyFSDirs)), 0x0001u);
    EXPECT_EQ(kv::BrowseFlags(kv::BrowseOption(kv::bifUseNewUI)), 0x0050u);
    EXPECT_EQ(kv::BrowseFlags(kv::BrowseOption(kv::bifBroowseForComputer) |
                              kv::BrowseOption(kv::bifShareAble) |
                              kv::BrowseOption(kv::bifEditBox)),
              0x9010u);
    EXPECT_EQ(kv::BrowseFlags(0), 0u);
}

TEST(XFileDialogRules, BrowseDialogPlaceAndLeastSize) {
    static const struct {
        const char* name;
        int left, top, width, height;
        kv::TFormBounds placed;
    } kCases[] = {
        {"centred at the least size",
         0,
         0,
         200,
         100,
         {(1280 - 371) / 2, (1024 - 311) / 2, 371, 311}},
        {"remembered place", 40, 0, 500, 340, {40, 0, 500, 340}},
        {"negative place kept", -30, 15, 371, 311, {-30, 15, 371, 311}},
    };
    for (const auto& c : kCases) {
        const kv::TFormBounds b =
            kv::BrowseDialogBounds(c.left, c.top, c.width, c.height, 1280, 1024);
        EXPECT_EQ(b.left, c.placed.left) << c.name;
        EXPECT_EQ(b.top, c.placed.top) << c.name;
        EXPECT_EQ(b.width, c.placed.width) << c.name;
        EXPECT_EQ(b.height, c.placed.height) << c.name;
    }
    const kv::TBrowseOldStyleLayout l = kv::BrowseOldStyleLayout(400, 350, 75, 23, 600, 300);
    EXPECT_EQ(l.treeWidth, 368);
    EXPECT_EQ(l.treeHeight, 600 - 23 - 300 - 18);
    EXPECT_EQ(l.okLeft, 400 - (150 + 25));
    EXPECT_EQ(l.cancelLeft, l.okLeft + 80);
    EXPECT_EQ(l.buttonTop, 350 - 23 - 35);
}

TEST(XFileDialogDataList, OwnsAndDropsItsItems) {
    kv::TXFileDialogDataList list;
    const auto make = [](const char16_t* name) {
        auto item = std::make_unique<kv::TXFileDialogDataListItem>();
        item->FileName = name;
        return item;
    };
    EXPECT_EQ(list.Add(make(u"b")), 0);
    EXPECT_EQ(list.Add(make(u"A")), 1);
    EXPECT_EQ(list.Add(make(u"c")), 2);
    EXPECT_EQ(list.Get(0)->IconIndex, -1);
    list.Sort([](const auto& x, const auto& y) {
        return kv::Utf16ToUtf8(x.FileName) < kv::Utf16ToUtf8(y.FileName);
    });
    EXPECT_EQ(Utf16ToUtf8(list.Get(0)->FileName), "A");
    kv::TXFileDialogDataListItem* b = list.Get(1);
    EXPECT_EQ(list.IndexOf(b), 1);
    EXPECT_EQ(list.Remove(b), 1);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Remove(b), -1);
    list.Put(1, make(u"d"));
    EXPECT_EQ(Utf16ToUtf8(list.Get(1)->FileName), "d");
    list.Delete(5);
    EXPECT_EQ(list.Get(5), nullptr);
    list.Delete(0);
    EXPECT_EQ(list.Count(), 1);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

} // namespace
