#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include "app/TConfig.h"
#include "app/TSpecialFolder.h"
#include "base/Exception.h"
#include "base/FileSystem.h"

namespace {

std::u16string ShellFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
    return reinterpret_cast<const char16_t*>(path);
}

TEST(TSpecialFolder, ApplicationDataFolder) {
    const std::u16string path = TSpecialFolder::GetPath(1);
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path, ShellFolder(CSIDL_APPDATA));
    EXPECT_NE(path.back(), u'\\');
    EXPECT_TRUE(kv::DirectoryExists(path));
}

TEST(TSpecialFolder, VirtualFolderHasNoPath) {
    EXPECT_EQ(TSpecialFolder::GetPath(13), u""); // CSIDL_DRIVES: "My Computer"
}

TEST(TSpecialFolder, UnknownCodeRaisesBeforeAskingTheShell) {
    EXPECT_THROW(TSpecialFolder::GetPath(30), kv::Exception);
}

TEST(TConfig, SettingsFileUnderTheUsersApplicationData) {
    EXPECT_EQ(TConfig::GetFileName(),
              ShellFolder(CSIDL_APPDATA) + u"\\Ostrevin\\kolvane\\kolvane.ini");
}

} // namespace
