#include <gtest/gtest.h>

#include "TestFiles.h"
#include "base/FileSystem.h"
#include "base/Stream.h"

namespace {

TEST(FileSystem, PathParts) {
    static constexpr struct {
        const char16_t* path;
        const char16_t* dir;
        const char16_t* withDelimiter;
        const char16_t* name;
    } kCases[] = {
        {u"C:\\Users\\a\\kolvane.ini", u"C:\\Users\\a", u"C:\\Users\\a\\", u"kolvane.ini"},
        {u"C:\\kolvane.ini", u"C:\\", u"C:\\", u"kolvane.ini"},
        {u"C:kolvane.ini", u"C:", u"C:", u"kolvane.ini"},
        {u"/tmp/x/k.ini", u"/tmp/x", u"/tmp/x/", u"k.ini"},
        {u"/k.ini", u"/", u"/", u"k.ini"},
        {u"k.ini", u"", u"", u"k.ini"},
        {u"C:\\dir\\", u"C:\\dir", u"C:\\dir\\", u""},
    };
    for (const auto& c : kCases) {
        const std::string label = kv::Utf16ToUtf8(c.path);
        EXPECT_EQ(kv::ExtractFileDir(c.path), c.dir) << label;
        EXPECT_EQ(kv::ExtractFilePath(c.path), c.withDelimiter) << label;
        EXPECT_EQ(kv::ExtractFileName(c.path), c.name) << label;
    }
}

TEST(FileSystem, ChangeFileExt) {
    static constexpr struct {
        const char16_t* path;
        const char16_t* ext;
        const char16_t* expected;
    } kCases[] = {
        {u"C:\\t\\ABC1.tmp", u".ini", u"C:\\t\\ABC1.ini"},
        {u"C:\\t\\ABC1", u".ini", u"C:\\t\\ABC1.ini"},
        {u"C:\\t.d\\ABC1", u".ini", u"C:\\t.d\\ABC1.ini"},
        {u"C:\\t\\a.b.tmp", u"", u"C:\\t\\a.b"},
    };
    for (const auto& c : kCases) EXPECT_EQ(kv::ChangeFileExt(c.path, c.ext), c.expected);
}

TEST(FileSystem, ForceDirectoriesCreatesEveryMissingParent) {
    const kvtest::TempFolder folder("fs_force");
    const std::u16string deep = folder.Path(u"Ostrevin") + u"/kolvane/\u30C7\u30FC\u30BF";
    EXPECT_FALSE(kv::DirectoryExists(deep));
    EXPECT_TRUE(kv::ForceDirectories(deep));
    EXPECT_TRUE(kv::DirectoryExists(deep));
    EXPECT_TRUE(kv::ForceDirectories(deep)); // already there
    EXPECT_TRUE(kv::ForceDirectories(u""));

    kvtest::TempFolder::Write(folder.Path(u"file"), "x");
    EXPECT_FALSE(kv::ForceDirectories(folder.Path(u"file") + u"/sub"));
}

TEST(FileSystem, RenameNeverReplacesAndDeleteReports) {
    const kvtest::TempFolder folder("fs_rename");
    const std::u16string a = folder.Path(u"a.tmp"), b = folder.Path(u"b.ini");
    kvtest::TempFolder::Write(a, "A");
    kvtest::TempFolder::Write(b, "B");
    EXPECT_FALSE(kv::FileRename(a, b));
    EXPECT_EQ(kvtest::TempFolder::Read(b), "B");
    EXPECT_TRUE(kv::FileDelete(b));
    EXPECT_FALSE(kv::FileDelete(b));
    EXPECT_TRUE(kv::FileRename(a, b));
    EXPECT_FALSE(kv::FileExists(a));
    EXPECT_EQ(kvtest::TempFolder::Read(b), "A");
}

TEST(FileSystem, ProgramFileNameIsThisTest) {
    const std::u16string self = kv::GetProgramFileName();
    EXPECT_TRUE(kv::FileExists(self));
    EXPECT_EQ(kv::ChangeFileExt(kv::ExtractFileName(self), u""), u"test_base");
}

} // namespace
