// ClCore on the real system: memory regions, the SafeExec guard against system exceptions, the
// registry, profile files, short names and the clipboard.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <filesystem>

#include "../support/CrashTestSupport.h"
#include "crash/core/ClCore.h"

namespace {

using namespace kv::crash;

class VirtualBlock { // VirtualFree; null = empty
public:
    VirtualBlock(size_t bytes, DWORD type, DWORD protect)
        : p_(static_cast<char*>(VirtualAlloc(nullptr, bytes, type, protect))) {}
    ~VirtualBlock() {
        if (p_) VirtualFree(p_, 0, MEM_RELEASE);
    }
    VirtualBlock(const VirtualBlock&) = delete;
    VirtualBlock& operator=(const VirtualBlock&) = delete;
    char* get() const { return p_; }

private:
    char* p_;
};

constexpr size_t kPage = 4096;

TEST(ClCoreWin, ValidRangeEndsExactlyAtTheRegionEnd) {
    VirtualBlock block(2 * kPage, MEM_RESERVE, PAGE_NOACCESS);
    ASSERT_NE(block.get(), nullptr);
    ASSERT_NE(VirtualAlloc(block.get(), kPage, MEM_COMMIT, PAGE_READWRITE), nullptr);
    const char* end = block.get() + kPage;
    EXPECT_TRUE(IsValidBlockAddr(end - 16, 16));
    EXPECT_FALSE(IsValidBlockAddr(end - 16, 17)); // one byte into the reserved page
    EXPECT_FALSE(IsValidBlockAddr(end, 1));
    EXPECT_TRUE(IsValidBlockAddr(end, 0));
}

TEST(ClCoreWin, RangeSpansAdjacentRegionsAndRefusesGuardAndNoAccess) {
    VirtualBlock block(3 * kPage, MEM_RESERVE, PAGE_NOACCESS);
    char* p = block.get();
    ASSERT_NE(p, nullptr);
    ASSERT_NE(VirtualAlloc(p, kPage, MEM_COMMIT, PAGE_READWRITE), nullptr);
    ASSERT_NE(VirtualAlloc(p + kPage, kPage, MEM_COMMIT, PAGE_READONLY), nullptr);
    ASSERT_NE(VirtualAlloc(p + 2 * kPage, kPage, MEM_COMMIT, PAGE_READWRITE | PAGE_GUARD), nullptr);
    EXPECT_TRUE(IsValidBlockAddr(p, 2 * kPage));
    EXPECT_TRUE(IsValidBlockAddr(p + kPage - 8, 16));
    EXPECT_FALSE(IsValidBlockAddr(p + 2 * kPage, 1)); // guard page
    EXPECT_FALSE(IsValidBlockAddr(p, 2 * kPage + 1));
    DWORD old = 0;
    ASSERT_TRUE(VirtualProtect(p + kPage, kPage, PAGE_NOACCESS, &old));
    EXPECT_FALSE(IsValidBlockAddr(p, kPage + 1));
}

TEST(ClCoreWin, CodeOfTheProgramIsValidAlsoFromTheCache) {
    const auto code = reinterpret_cast<uintptr_t>(&ConvertAddress);
    EXPECT_TRUE(IsValidBlockAddr(code, 16));
    EXPECT_TRUE(IsValidBlockAddr(code, 16)); // the image region now comes from the cache
    FlushValidBlockCache();
    EXPECT_TRUE(IsValidBlockAddr(code, 16));
}

TEST(ClCoreWin, ConvertAddressSeesThroughAnImportThunk) {
    VirtualBlock block(kPage, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    char* p = block.get();
    ASSERT_NE(p, nullptr);
    const uint32_t target = 0x12345678;
    const auto cell = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p + 64));
    std::memcpy(p + 64, &target, 4);
    p[0] = static_cast<char>(0xFF);
    p[1] = 0x25;
    std::memcpy(p + 2, &cell, 4);
    EXPECT_EQ(ConvertAddress(reinterpret_cast<uintptr_t>(p)), target);
    p[1] = 0x15; // a call, no jump
    EXPECT_EQ(ConvertAddress(reinterpret_cast<uintptr_t>(p)), reinterpret_cast<uintptr_t>(p));
    // The last bytes of the page: 8 bytes are not readable there.
    EXPECT_EQ(ConvertAddress(reinterpret_cast<uintptr_t>(p + kPage - 4)),
              reinterpret_cast<uintptr_t>(p + kPage - 4));
}

// ---- SafeExec and system exceptions ----

std::string g_hookMessage;
volatile uintptr_t g_badAddress = 0x10;

void Hook(const std::string& message) {
    g_hookMessage = message;
}

void WritesToAddress16() {
    *reinterpret_cast<volatile int*>(g_badAddress) = 1;
}

TEST(ClCoreWin, SafeExecCatchesAnAccessViolation) {
    kv::crash::CriticalError = Hook;
    EXPECT_THROW(SafeExec(WritesToAddress16, "ClTest.Init"), kv::EAbort);
    kv::crash::CriticalError = nullptr;
    EXPECT_EQ(g_hookMessage, "ClTest.Init (Address: " +
                                 IntToHex(reinterpret_cast<uintptr_t>(&WritesToAddress16), 8) +
                                 ")");
    try {
        SafeExec(WritesToAddress16, "ClTest.Done");
        FAIL() << "no exception";
    } catch (const kv::Exception& e) {
        const std::string message = Utf16ToAnsi(e.Message());
        EXPECT_EQ(
            message.rfind("Critical error at: \"ClTest.Done\"\r\nError: \"Access violation at "
                          "address ",
                          0),
            0u)
            << message;
        EXPECT_NE(message.find("Write of address 00000010"), std::string::npos) << message;
    }
    // The guard frame is gone again: a later exception travels normally.
    EXPECT_THROW(SafeExec([] { throw kv::Exception(u"x"); }, "ClTest.Again"), kv::Exception);
    EXPECT_THROW(SafeExec(WritesToAddress16, "ClTest.Again"), kv::Exception);
}

// ---- Registry, profile files, folders ----

TEST(ClCoreWin, RegistryStringValues) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\KolvaneTest\\Crash", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const char value[] = "PRO";
    RegSetValueExA(key, "AppType", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value);
    RegCloseKey(key);

    EXPECT_EQ(ReadKey(kHKeyCurrentUser, "\\Software\\KolvaneTest\\Crash", "AppType"), "PRO");
    EXPECT_EQ(ReadKey(kHKeyCurrentUser, "Software\\KolvaneTest\\Crash", "None"), "");
    EXPECT_EQ(ReadKey(kHKeyCurrentUser, "Software\\KolvaneTest\\None", "AppType"), "");
    EXPECT_TRUE(CheckKey(kHKeyCurrentUser, "\\Software\\KolvaneTest\\Crash"));
    EXPECT_FALSE(CheckKey(kHKeyCurrentUser, "Software\\KolvaneTest\\None"));
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\KolvaneTest\\Crash");
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\KolvaneTest");
    EXPECT_EQ(GetCrashLogLabel(), "CrashLog 6.1.04 ");
}

// The environment's "RootDir": the machine's value first, else the user's, one trailing "\" cut.
TEST(ClCoreWin, DevelopmentEnvironmentRootFolder) {
    const std::string key = RADRegistryKey();
    auto setRoot = [&](HKEY root, const char* value) {
        HKEY k = nullptr;
        ASSERT_EQ(
            RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
            ERROR_SUCCESS);
        RegSetValueExA(k, "RootDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                       static_cast<DWORD>(std::strlen(value) + 1));
        RegCloseKey(k);
    };
    auto removeKey = [&](HKEY root) {
        for (std::string k = key; k.size() > std::strlen("SOFTWARE"); k.erase(k.rfind('\\')))
            RegDeleteKeyA(root, k.c_str());
    };
    setRoot(HKEY_CURRENT_USER, "C:\\User Env\\");
    EXPECT_EQ(RADDir(), "C:\\User Env");
    setRoot(HKEY_LOCAL_MACHINE, "C:\\Machine Env");
    EXPECT_EQ(RADDir(), "C:\\Machine Env");
    removeKey(HKEY_LOCAL_MACHINE);
    removeKey(HKEY_CURRENT_USER);
    EXPECT_EQ(RADDir(), "");
}

TEST(ClCoreWin, FallbackFolderIsInTheRoamingApplicationData) {
    const std::string appData = GetUserApplicationsPath();
    ASSERT_GT(appData.size(), 3u) << appData; // the shell's answer, not the lone "\"
    EXPECT_TRUE(DirectoryExists(appData));
    EXPECT_EQ(GetIniFolder(), appData + "\\CrashLog");
    std::string name = "C:\\kolvane no such folder\\report.elf";
    ASSERT_TRUE(GetWorkingFile(name, false, false));
    EXPECT_EQ(name, appData + "\\CrashLog\\report.elf");
    EXPECT_FALSE(FileExists(name));
    EXPECT_FALSE(GetLocalUserApplicationsPath().empty());
}

TEST(ClCoreWin, WorkingDirOfADriveIsItsRoot) {
    std::string folder = "C:";
    ASSERT_TRUE(GetWorkingDir(folder, false, false));
    EXPECT_EQ(folder, "C:\\");
}

TEST(ClCoreWin, FolderNamesEndingInATrailByte) {
    const std::string hyo = "C:\\data\x95\x5C"; // "表" ends in the byte of "\"
    EXPECT_EQ(IncludeLastBackslash(hyo), hyo + "\\");
    EXPECT_EQ(ExcludeLastBackslash(hyo), hyo);
    EXPECT_EQ(ExtractFileName(hyo), "data\x95\x5C");
    EXPECT_EQ(ExtractFileDrive("\\\\server\\share\\x"), "\\\\server\\share");
    EXPECT_EQ(ExtractFileDrive("C:\\x"), "C:");
}

TEST(ClCoreWin, ShortNamesExpand) {
    kvtest::TempDir dir("short");
    const std::string longName = dir.Ansi("a rather long folder name");
    ASSERT_TRUE(CreateDirectoryA(longName.c_str(), nullptr));
    char shortName[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameA(longName.c_str(), shortName, MAX_PATH), 0u);
    if (std::string(shortName).find('~') == std::string::npos) GTEST_SKIP() << "no 8.3 names";
    EXPECT_EQ(GetLongNameFromShort(std::string(shortName) + "\\missing\\x"),
              longName + "\\missing\\x");
}

TEST(ClCoreWin, SharingDecidesWhatIsUsable) {
    kvtest::TempDir dir("share");
    const std::string name = dir.Ansi("locked.txt");
    const HANDLE h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(IsReadableFile(name));
    EXPECT_FALSE(IsWritableFile(name));
    CloseHandle(h);
    EXPECT_TRUE(IsReadableFile(name));
    EXPECT_TRUE(IsWritableFile(name));
}

TEST(ClCoreWin, ClipboardGetsAnsiText) {
    ASSERT_TRUE(CopyTextToClipboard("crash \x95\x5C"));
    ASSERT_TRUE(OpenClipboard(nullptr));
    const HANDLE data = GetClipboardData(CF_TEXT);
    ASSERT_NE(data, nullptr);
    EXPECT_STREQ(static_cast<const char*>(GlobalLock(data)), "crash \x95\x5C");
    GlobalUnlock(data);
    CloseClipboard();
    EXPECT_FALSE(CopyTextToClipboard(""));
}

TEST(ClCoreWin, ProgramWithoutVersionResource) {
    EXPECT_EQ(GetMainModuleVersion(), "");
    EXPECT_EQ(UpperCase(ExtractFileExt(Real_GetMainModuleFileName())), ".EXE");
}

} // namespace
