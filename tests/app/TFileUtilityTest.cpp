#include <gtest/gtest.h>

#include "TestFiles.h"
#include "app/TFileUtility.h"
#include "base/Exception.h"
#include "base/FileSystem.h"
#include "base/Stream.h"
#include "base/Text.h"

namespace {

bool EndsWithTmp(const std::u16string& path) {
    return path.size() > 4 && kv::SameText(path.substr(path.size() - 4), u".tmp");
}

TEST(TFileUtility, TemporaryFolderEndsWithADelimiter) {
    const std::u16string dir = TFileUtility::GetTempDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_TRUE(dir.back() == u'\\' || dir.back() == u'/');
    EXPECT_TRUE(kv::DirectoryExists(dir));
}

TEST(TFileUtility, CreatesAnEmptyFileWithAUniqueName) {
    const kvtest::TempFolder folder("fileutility_create");
    const std::u16string a = TFileUtility::CreateTempFileName(folder.Path(), u"kolv");
    const std::u16string b = TFileUtility::CreateTempFileName(folder.Path(), u"kolv");
    EXPECT_NE(a, b);
    for (const std::u16string& path : {a, b}) {
        EXPECT_EQ(kv::ExtractFileDir(path), folder.Path());
        const std::u16string name = kv::ExtractFileName(path);
        EXPECT_EQ(name.substr(0, 3), u"kol"); // the first three characters of the prefix
        EXPECT_NE(name[3], u'v');
        EXPECT_TRUE(EndsWithTmp(path));
        EXPECT_TRUE(kv::FileExists(path));
        EXPECT_EQ(kvtest::TempFolder::Read(path), "");
    }
}

TEST(TFileUtility, NameInTheTemporaryFolder) {
    const std::u16string path = TFileUtility::GetTempFileNameInTempDir();
    EXPECT_EQ(kv::ExtractFilePath(path), TFileUtility::GetTempDirectory());
    EXPECT_TRUE(EndsWithTmp(path));
    EXPECT_TRUE(kv::FileDelete(path));
}

TEST(TFileUtility, MissingFolderRaises) {
    const kvtest::TempFolder folder("fileutility_missing");
    try {
        TFileUtility::CreateTempFileName(folder.Path(u"missing"), u"");
        ADD_FAILURE() << "no error";
    } catch (const kv::Exception& e) {
        EXPECT_EQ(e.Message(), u"一時ファイルの作成に失敗しました。");
    }
}

} // namespace
