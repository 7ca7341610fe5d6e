#include <gtest/gtest.h>

#include "TestFiles.h"
#include "app/TProject.h"
#include "base/Exception.h"

namespace {

const std::u16string kData = kv::Utf8ToUtf16(KOLVANE_TEST_DATA "/app/");

TProject SampleProject() {
    TProject p;
    p.FileNameLeft = u"C:\\\u30C7\u30FC\u30BF\\\u5DE6.csv"; // C:\データ\左.csv
    p.KeyLeft = 2;
    p.FirstLineIsTitleLeft = true;
    p.FileNameRight = u"C:\\data\\right file.csv";
    p.KeyRight = -1;
    p.SaveFileName = u"C:\\out\\\u7D50\u679C.csv"; // 結果.csv
    p.EncodingIndex = 1;
    p.ShowType = 3;
    p.SaveIsNew = false;
    p.SetSaveSortCol(1);
    p.SortInfos = {{3, 1}, {0, 0}};
    return p;
}

void ExpectSameContent(const TProject& a, const TProject& b, const char* name) {
    EXPECT_EQ(a.FileNameLeft, b.FileNameLeft) << name;
    EXPECT_EQ(a.KeyLeft, b.KeyLeft) << name;
    EXPECT_EQ(a.FirstLineIsTitleLeft, b.FirstLineIsTitleLeft) << name;
    EXPECT_EQ(a.FileNameRight, b.FileNameRight) << name;
    EXPECT_EQ(a.KeyRight, b.KeyRight) << name;
    EXPECT_EQ(a.FirstLineIsTitleRight, b.FirstLineIsTitleRight) << name;
    EXPECT_EQ(a.SaveFileName, b.SaveFileName) << name;
    EXPECT_EQ(a.EncodingIndex, b.EncodingIndex) << name;
    EXPECT_EQ(a.ShowType, b.ShowType) << name;
    EXPECT_EQ(a.SaveIsNew, b.SaveIsNew) << name;
    EXPECT_EQ(a.SaveSortCol, b.SaveSortCol) << name;
    EXPECT_EQ(a.SortInfos, b.SortInfos) << name;
}

TEST(TProject, DefaultsOfANewProject) {
    const TProject p;
    EXPECT_EQ(p.FileName, u"");
    EXPECT_EQ(p.KeyLeft, 0);
    EXPECT_FALSE(p.FirstLineIsTitleLeft);
    EXPECT_EQ(p.EncodingIndex, 0);
    EXPECT_EQ(p.ShowType, 0);
    EXPECT_TRUE(p.SaveIsNew);
    EXPECT_EQ(p.SaveSortCol, 0);
    EXPECT_TRUE(p.SortInfos.empty());
}

TEST(TProject, FileIsWrittenByteForByteInShiftJis) {
    const kvtest::TempFolder folder("project_bytes");
    const std::u16string path = folder.Path(u"\u30D7\u30ED\u30B8\u30A7\u30AF\u30C8.kvj");
    TProject p = SampleProject();
    p.Save(path);
    EXPECT_EQ(p.FileName, path);
    EXPECT_EQ(kvtest::TempFolder::Read(path),
              "[SYSTEM]\r\nVersion=0\r\n\r\n"
              "[CSV]\r\nFileNameLeft=C:\\\x83\x66\x81\x5B\x83\x5E\\\x8D\xB6.csv\r\nKeyLeft=2\r\n"
              "FirstLineIsTitleLeft=1\r\nFileNameRight=C:\\data\\right file.csv\r\nKeyRight=-1\r\n"
              "FirstLineIsTitleRight=0\r\nSORT=3,1,0,0\r\n\r\n"
              "[SAVE]\r\nSaveFileName=C:\\out\\\x8C\x8B\x89\xCA.csv\r\nEncodingIndex=1\r\n"
              "ShowType=3\r\nSaveIsNew=0\r\nSaveSortCol=1\r\n\r\n");
}

TEST(TProject, SaveThenLoadGivesTheSameProject) {
    TProject noConditions = SampleProject();
    noConditions.SortInfos.clear();
    noConditions.SetSaveSortCol(0);
    TProject outsideAnsi = SampleProject();
    outsideAnsi.FileNameRight = u"C:\\\uD55C\uAD6D\\caf\u00E9.csv"; // no code in 932
    const struct {
        const char* name;
        TProject project;
    } kCases[] = {
        {"defaults", TProject()},
        {"every field set, two sort conditions", SampleProject()},
        {"no sort conditions, left order", noConditions},
        {"path outside the ANSI code page", outsideAnsi},
    };
    const kvtest::TempFolder folder("project_roundtrip");
    for (const auto& c : kCases) {
        const std::u16string path = folder.Path(u"p.kvj");
        TProject saved = c.project;
        saved.Save(path);
        TProject loaded;
        loaded.Load(path);
        EXPECT_EQ(loaded.FileName, path) << c.name;
        ExpectSameContent(loaded, c.project, c.name);
    }
    EXPECT_EQ(kvtest::TempFolder::Read(folder.Path(u"p.kvj")).substr(0, 3), "\xEF\xBB\xBF");
}

TEST(TProject, MissingFileGivesDefaultsWithThePathSet) {
    const kvtest::TempFolder folder("project_missing");
    TProject p = SampleProject();
    p.Load(folder.Path(u"none.kvj"));
    EXPECT_EQ(p.FileName, folder.Path(u"none.kvj"));
    ExpectSameContent(p, TProject(), "missing file");
    EXPECT_TRUE(p.SaveIsNew);
}

TEST(TProject, HandWrittenValuesAndForeignSections) {
    TProject p;
    p.Load(kData + u"project_foreign.kvj");
    EXPECT_EQ(p.FileNameLeft, u"C:\\a.csv");
    EXPECT_EQ(p.KeyLeft, 0);     // letters read as the default
    EXPECT_EQ(p.SaveSortCol, 1); // 2 is read as true
    EXPECT_FALSE(p.SaveIsNew);
    EXPECT_EQ(p.SortInfos, (std::vector<TCsvSorter::TSortInfo>{{3, 1}, {0, 0}}));

    const kvtest::TempFolder folder("project_foreign");
    const std::u16string path = folder.Path(u"p.kvj");
    kvtest::TempFolder::Write(path, kvtest::TempFolder::Read(kData + u"project_foreign.kvj"));
    p.Save(path);
    EXPECT_EQ(kvtest::TempFolder::Read(path),
              "[SYSTEM]\r\nVersion=0\r\n\r\n"
              "[CSV]\r\nFileNameLeft=C:\\a.csv\r\nKeyLeft=0\r\nFirstLineIsTitleLeft=0\r\n"
              "FileNameRight=\r\nKeyRight=0\r\nFirstLineIsTitleRight=0\r\nSORT=3,1,0,0\r\n\r\n"
              "[SAVE]\r\nSaveFileName=\r\nEncodingIndex=0\r\nShowType=0\r\nSaveIsNew=0\r\n"
              "SaveSortCol=1\r\n\r\n");
}

TEST(TProject, SetSaveSortColStoresOnlyZeroAndOne) {
    static constexpr struct {
        int32_t value;
        int32_t expected;
    } kCases[] = {{0, 0}, {1, 1}, {2, 1}, {-1, 1}, {0x7FFFFFFF, 1}};
    for (const auto& c : kCases) {
        TProject p;
        p.SaveSortCol = 1;
        p.SetSaveSortCol(c.value);
        EXPECT_EQ(p.SaveSortCol, c.expected) << c.value;
    }
}

TEST(TProject, ErrorOfWritingRaisesAndKeepsTheFileName) {
    const kvtest::TempFolder folder("project_error");
    TProject p;
    p.FileName = u"before.kvj";
    EXPECT_THROW(p.Save(folder.Path(u"missing") + u"/p.kvj"), kv::Exception);
    EXPECT_EQ(p.FileName, u"before.kvj");
}

} // namespace
