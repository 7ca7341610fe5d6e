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
    EXPECT_FALSE(e.LastErrorMsg.empty());
    EXPECT_EQ(e.Message(), u"Win32 error: " + e.LastErrorMsg + u" (5)\r\nword");
    EXPECT_EQ(e.LastErrorMsg, SysErrorMessage(5));
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
        EXPECT_EQ(UlAnsiCharTables()->lower['Q'], 'q');
        // Every byte on its own, also the lead bytes of code page 932.
        const TUlAnsiCharTables* ansi = UlAnsiCharTables();
        for (int i = 1; i < 256; ++i) {
            char c = static_cast<char>(i);
            WORD type = 0;
            GetStringTypeExA(LOCALE_USER_DEFAULT, CT_CTYPE1, &c, 1, &type);
            EXPECT_EQ(ansi->types[i], type) << i;
            char lower = c;
            CharLowerBuffA(&lower, 1);
            EXPECT_EQ(ansi->lower[i], static_cast<unsigned char>(lower)) << i;
        }
        EXPECT_EQ(ansi->lower[0x86], 0x86); // a lead byte, not the case of its neighbour
        EXPECT_EQ(UlCompareText(u"abc", u"ABC"), 0);
        EXPECT_LT(UlCompareText(u"abc", u"abd"), 0);
    }
    EXPECT_EQ(AcquireUnitVersionRegistry(), nullptr);
}

} // namespace
