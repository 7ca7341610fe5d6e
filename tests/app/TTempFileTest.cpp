#include <gtest/gtest.h>

#include "TestFiles.h"
#include "app/TFileUtility.h"
#include "app/TTempFile.h"
#include "base/Exception.h"
#include "base/FileSystem.h"
#include "base/Stream.h"
#include "base/Text.h"

namespace {

TEST(TTempFile, CreatedWithTheExtensionAndDeletedWithTheObject) {
    const kvtest::TempFolder folder("tempfile_ext");
    for (const char16_t* ext : {u"ini", u".ini"}) {
        std::u16string path;
        {
            const TTempFile file(ext, folder.Path());
            path = file.GetFileName();
            EXPECT_EQ(kv::ExtractFileDir(path), folder.Path());
            EXPECT_EQ(path.substr(path.size() - 4), u".ini");
            EXPECT_TRUE(kv::FileExists(path));
            EXPECT_FALSE(kv::FileExists(kv::ChangeFileExt(path, u".tmp")));
        }
        EXPECT_FALSE(kv::FileExists(path));
    }
}

TEST(TTempFile, NoFolderNoExtension) {
    std::u16string path;
    {
        const TTempFile file(u"", u"");
        path = file.GetFileName();
        EXPECT_EQ(kv::ExtractFilePath(path), TFileUtility::GetTempDirectory());
        EXPECT_TRUE(kv::SameText(path.substr(path.size() - 4), u".tmp"));
        EXPECT_TRUE(kv::FileExists(path));
    }
    EXPECT_FALSE(kv::FileExists(path));
}

TEST(TTempFile, KeepsItsNameWhenTheNewOneIsTaken) {
    const kvtest::TempFolder folder("tempfile_taken");
    const std::u16string tmp = folder.Path(u"ABC1.tmp"), ini = folder.Path(u"ABC1.ini");
    kvtest::TempFolder::Write(tmp, "");
    kvtest::TempFolder::Write(ini, "someone else's");
    EXPECT_EQ(TTempFile::ChangeExtension(tmp, u"ini"), tmp);
    EXPECT_TRUE(kv::FileExists(tmp));
    EXPECT_EQ(kvtest::TempFolder::Read(ini), "someone else's");
    EXPECT_EQ(TTempFile::ChangeExtension(tmp, u""), tmp);
}

TEST(TTempFile, FailureOfTheTemporaryNameRaises) {
    const kvtest::TempFolder folder("tempfile_fail");
    EXPECT_THROW(TTempFile(u"ini", folder.Path(u"missing")), kv::Exception);
}

} // namespace
