#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

#include "base/Text.h"
#include "widgets/UlLibrary.h"
#include "widgets/UlStrings.h"
#include "widgets/UlSynch.h"
#include "widgets/UlSysInfo.h"
#include "widgets/UlSysUtils.h"
#include "widgets/UlUnitVersioning.h"
#include "widgets/UlWin32.h"

namespace {

TEST(UlSysUtils, SameBlockTwiceIsReferenceCounted) {
    const std::u16string name = u"KolvaneTestBlock_" + kv::IntToStr(GetCurrentProcessId());
    void* first = nullptr;
    void* second = nullptr;
    EXPECT_EQ(MapSharedBlock(first, name, 16, FILE_MAP_ALL_ACCESS), kSharedBlockCreated);
    EXPECT_EQ(MapSharedBlock(second, u"kolvanetestblock_" + kv::IntToStr(GetCurrentProcessId()), 16,
                             FILE_MAP_ALL_ACCESS),
              kSharedBlockExisted); // names match ignoring case
    EXPECT_EQ(first, second);
    static_cast<char*>(first)[3] = 42;

    int notABlock = 0;
    void* stranger = &notABlock;
    EXPECT_FALSE(UnmapSharedBlock(stranger));
    EXPECT_EQ(stranger, &notABlock);

    EXPECT_TRUE(UnmapSharedBlock(first));
    EXPECT_EQ(first, nullptr);
    const auto* w = reinterpret_cast<const wchar_t*>(name.c_str());
    HANDLE still = OpenFileMappingW(FILE_MAP_READ, FALSE, w);
    EXPECT_NE(still, nullptr); // one reference left: still mapped
    if (still) CloseHandle(still);
    EXPECT_TRUE(UnmapSharedBlock(second));
    EXPECT_EQ(OpenFileMappingW(FILE_MAP_READ, FALSE, w), nullptr);
    void* none = nullptr;
    EXPECT_TRUE(UnmapSharedBlock(none));
}

TEST(UlSysUtils, MissingBlockCannotBeCreatedEmpty) {
    void* p = nullptr;
    try {
        MapSharedBlock(p, u"KolvaneNoSuchBlock", 0, FILE_MAP_ALL_ACCESS);
        FAIL() << "no exception";
    } catch (const ESharedMemError& e) {
        EXPECT_EQ(e.Message(), u"The MMF named \"KolvaneNoSuchBlock\" cannot be created empty");
    }
}

TEST(UlWin32, ErrorCarriesTheLastSystemError) {
    SetLastError(5);
    const EUlWin32Error e(u"word");
    EXPECT_EQ(e.LastError, 5u);
    // The system's text of error 5 in the Japanese the test prefix runs in, without its line end.
    EXPECT_EQ(e.LastErrorMsg, u"アクセスが拒否されました。");
    EXPECT_EQ(e.Message(), u"Win32 error: アクセスが拒否されました。 (5)\r\nword");
}

TEST(UlWin32, ErrorFromAFormatAndFromAResourceString) {
    static const struct {
        const char* name;
        std::u16string_view format;
        std::vector<TUlFormatArg> args;
        std::u16string_view text;
    } kFormats[] = {
        {"text and numbers",
         u"%s: %d of %u (%x)",
         {u"file", -1LL, 7LL, 255LL},
         u"file: -1 of 7 (FF)"},
        {"percent sign and missing argument", u"100%% %s|", {}, u"100% |"},
        {"unknown directive kept", u"%q %s", {u"a"}, u"%q a"},
    };
    for (const auto& c : kFormats) {
        SetLastError(2);
        const EUlWin32Error e(c.format, c.args);
        EXPECT_EQ(e.LastError, 2u) << c.name;
        EXPECT_EQ(e.Message(),
                  u"Win32 error: " + e.LastErrorMsg + u" (2)\r\n" + std::u16string(c.text))
            << c.name;
    }
    const HMODULE self = GetModuleHandleW(nullptr);
    SetLastError(6);
    const EUlWin32Error loaded(TResStringRec{&self, 61001}); // in WlTestForms.rc
    EXPECT_EQ(loaded.LastError, 6u);
    EXPECT_EQ(loaded.Message(),
              u"Win32 error: " + loaded.LastErrorMsg + u" (6)\r\nFailed to create mutex");
    EXPECT_FALSE(loaded.LastErrorMsg.empty());
    SetLastError(5);
    const EUlWin32Error missing(TResStringRec{&self, 0xFFF0});
    EXPECT_EQ(missing.LastError, 5u); // read before the (failing) resource load
    EXPECT_EQ(missing.Message(), u"Win32 error: アクセスが拒否されました。 (5)\r\n");
}

TEST(UlSynch, AbandonedMutexIsNotSignaled) {
    TUlMutex mutex(nullptr, false, u"");
    std::thread owner([&] { WaitForSingleObject(mutex.Handle, INFINITE); }); // exits owning it
    owner.join();
    EXPECT_EQ(mutex.WaitFor(1000), wrAbandoned);
    EXPECT_TRUE(mutex.Release());
    EXPECT_TRUE(mutex.Acquire(0));
    EXPECT_TRUE(mutex.Release());
    EXPECT_THROW(TUlMutex(SYNCHRONIZE, false, u"KolvaneNoSuchMutex"), EUlMutexError);
}

TEST(UlSynch, CriticalSectionInstalledOnce) {
    std::atomic<TUlCriticalSection*> shared{nullptr};
    TUlCriticalSection::CreateAndEnter(shared);
    TUlCriticalSection* first = shared.load();
    first->Leave();
    TUlCriticalSection::CreateAndEnter(shared);
    EXPECT_EQ(shared.load(), first);
    first->Leave();
    delete first;
}

// Runs last in this executable: the end of the units also ends the registry for good.
TEST(UlLibraryUnits, StartAnnouncesEveryUnitAndEndWithdraws) {
    const DWORD pid = GetCurrentProcessId();
    {
        TUlLibraryUnits units;
        const std::u16string mutexName = UnitVersioningMutexName(pid);
        HANDLE mutex =
            OpenMutexW(SYNCHRONIZE, FALSE, reinterpret_cast<const wchar_t*>(mutexName.c_str()));
        EXPECT_NE(mutex, nullptr);
        if (mutex) CloseHandle(mutex);
        TUnitVersioning* registry = AcquireUnitVersionRegistry();
        ASSERT_NE(registry, nullptr);
        EXPECT_EQ(registry->Count(), 27);
        EXPECT_EQ(registry->ModuleCount(), 1);
        EXPECT_NE(registry->FindUnit(u"UlSysInfo.pas"), nullptr);

        const TUlSystemInfo& info = UlSystemInfo();
        EXPECT_TRUE(info.isNT);
        EXPECT_GT(info.pageSize, 0u);
        EXPECT_TRUE(info.flags[info.version]);

        const TUlWideCharTables* wide = UlWideCharTables();
        ASSERT_NE(wide, nullptr);
        EXPECT_EQ(wide->upper[u'a'], u'A');
        EXPECT_EQ(wide->reflect[u'A'], u'a');
        EXPECT_EQ(wide->reflect[u'1'], u'1');
        EXPECT_TRUE(wide->types[u'A'] & C1_UPPER);
        // Code page 932, one byte at a time: letters with their case, half-width katakana
        // (letters without case), and the lead bytes, which alone read as the code page's
        // default character (the katakana middle dot, a punctuation mark) and have no case.
        const TUlAnsiCharTables* ansi = UlAnsiCharTables();
        ASSERT_NE(ansi, nullptr);
        static const struct {
            const char* name;
            uint8_t byte;
            uint16_t type;
            uint8_t lower, upper, reflect;
        } kAnsi[] = {
            {"upper-case letter", 'Q', C1_UPPER | C1_ALPHA | C1_DEFINED, 'q', 'Q', 'q'},
            {"upper-case hexadecimal letter", 'A', C1_UPPER | C1_XDIGIT | C1_ALPHA | C1_DEFINED,
             'a', 'A', 'a'},
            {"lower-case letter", 'z', C1_LOWER | C1_ALPHA | C1_DEFINED, 'z', 'Z', 'Z'},
            {"digit", '7', C1_DIGIT | C1_XDIGIT | C1_DEFINED, '7', '7', '7'},
            {"blank", ' ', C1_SPACE | C1_BLANK | C1_DEFINED, ' ', ' ', ' '},
            {"control", '\t', C1_SPACE | C1_CNTRL | C1_BLANK | C1_DEFINED, '\t', '\t', '\t'},
            {"yen sign of 932 at the backslash", 0x5C, C1_PUNCT | C1_DEFINED, 0x5C, 0x5C, 0x5C},
            {"half-width katakana a", 0xB1, C1_ALPHA | C1_DEFINED, 0xB1, 0xB1, 0xB1},
            {"half-width katakana n", 0xDD, C1_ALPHA | C1_DEFINED, 0xDD, 0xDD, 0xDD},
            {"half-width full stop", 0xA1, C1_PUNCT | C1_DEFINED, 0xA1, 0xA1, 0xA1},
            {"first lead byte", 0x81, C1_PUNCT | C1_DEFINED, 0x81, 0x81, 0x81},
            {"lead byte 0x86", 0x86, C1_PUNCT | C1_DEFINED, 0x86, 0x86, 0x86},
            {"last lead byte of the first range", 0x9F, C1_PUNCT | C1_DEFINED, 0x9F, 0x9F, 0x9F},
            {"first lead byte of the second range", 0xE0, C1_PUNCT | C1_DEFINED, 0xE0, 0xE0, 0xE0},
            {"last lead byte", 0xFC, C1_PUNCT | C1_DEFINED, 0xFC, 0xFC, 0xFC},
            {"the byte zero", 0, C1_CNTRL, 0, 0, 0},
        };
        for (const auto& c : kAnsi) {
            EXPECT_EQ(ansi->types[c.byte], c.type) << c.name;
            EXPECT_EQ(ansi->lower[c.byte], c.lower) << c.name;
            EXPECT_EQ(ansi->upper[c.byte], c.upper) << c.name;
            EXPECT_EQ(ansi->reflect[c.byte], c.reflect) << c.name;
        }
        EXPECT_EQ(UlCompareText(u"abc", u"ABC"), 0);
        EXPECT_LT(UlCompareText(u"abc", u"abd"), 0);

        // The registry unit's root-key table, the empty type list and the loading lock.
        const std::vector<TUlRootKeyName>& keys = UlRegistryRootKeys();
        ASSERT_EQ(keys.size(), 14u);
        EXPECT_EQ(keys[0].Name, u"HKEY_CLASSES_ROOT");
        EXPECT_EQ(keys[0].Key, 0x80000000u);
        EXPECT_EQ(keys[6].Name, u"HKEY_DYN_DATA");
        EXPECT_EQ(keys[6].Key, 0x80000006u);
        EXPECT_EQ(keys[9].Name, u"HKLM");
        EXPECT_EQ(keys[9].Key, 0x80000002u);
        EXPECT_EQ(keys[13].Name, u"HKDD");
        EXPECT_EQ(UlRttiTypeCount(), 0);
        TUlCriticalSection* lock = UlUnicodeLoadingLock();
        ASSERT_NE(lock, nullptr);
        lock->Enter();
        lock->Leave();
    }
    EXPECT_EQ(UlRegistryRootKeys().size(), 0u);
    EXPECT_EQ(UlRttiTypeCount(), -1);
    EXPECT_EQ(UlUnicodeLoadingLock(), nullptr);
    EXPECT_EQ(AcquireUnitVersionRegistry(), nullptr);
}

} // namespace
