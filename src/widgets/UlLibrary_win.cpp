#include "widgets/UlLibrary.h"

#include <windows.h>

#include <memory>

#include "widgets/UlBase.h"
#include "widgets/UlStrings.h"
#include "widgets/UlSynch.h"
#include "widgets/UlSysInfo.h"
#include "widgets/UlSysUtils.h"
#include "widgets/UlUnitVersioning.h"

namespace {
TModuleHandle ThisModule() {
    return reinterpret_cast<TModuleHandle>(GetModuleHandleW(nullptr));
}

std::vector<TUlRootKeyName> g_rootKeys;

// The run-time type descriptions: a list every change of which takes its lock.
struct TypeList {
    TUlCriticalSection lock;
    std::vector<const void*> items; // not owned
};
std::unique_ptr<TypeList> g_types;
std::unique_ptr<TUlCriticalSection> g_loadingLock;

uintptr_t Key(HKEY key) {
    return reinterpret_cast<uintptr_t>(key);
}

void PrepareRootKeys() {
    g_rootKeys = {
        {Key(HKEY_CLASSES_ROOT), u"HKEY_CLASSES_ROOT"},
        {Key(HKEY_CURRENT_USER), u"HKEY_CURRENT_USER"},
        {Key(HKEY_LOCAL_MACHINE), u"HKEY_LOCAL_MACHINE"},
        {Key(HKEY_USERS), u"HKEY_USERS"},
        {Key(HKEY_PERFORMANCE_DATA), u"HKEY_PERFORMANCE_DATA"},
        {Key(HKEY_CURRENT_CONFIG), u"HKEY_CURRENT_CONFIG"},
        {Key(HKEY_DYN_DATA), u"HKEY_DYN_DATA"},
        {Key(HKEY_CLASSES_ROOT), u"HKCR"},
        {Key(HKEY_CURRENT_USER), u"HKCU"},
        {Key(HKEY_LOCAL_MACHINE), u"HKLM"},
        {Key(HKEY_USERS), u"HKU"},
        {Key(HKEY_PERFORMANCE_DATA), u"HKPD"},
        {Key(HKEY_CURRENT_CONFIG), u"HKCC"},
        {Key(HKEY_DYN_DATA), u"HKDD"},
    };
}

} // namespace

const std::vector<TUlRootKeyName>& UlRegistryRootKeys() {
    return g_rootKeys;
}

int UlRttiTypeCount() {
    if (!g_types) return -1;
    g_types->lock.Enter();
    const int n = static_cast<int>(g_types->items.size());
    g_types->lock.Leave();
    return n;
}

TUlCriticalSection* UlUnicodeLoadingLock() {
    return g_loadingLock.get();
}

TUlLibraryUnits::TUlLibraryUnits() {
    for (const TUnitVersionInfo* info : LibraryUnitVersionRecords())
        AnnounceUnitVersion(ThisModule(), info);
    PrepareRootKeys();
    g_loadingLock = std::make_unique<TUlCriticalSection>();
    UlSysInfoInitialize();
    UlStringsInitialize();
    g_types = std::make_unique<TypeList>();
    UlBaseInitialize();
}

TUlLibraryUnits::~TUlLibraryUnits() {
    // Only the first withdrawal finds the module's entry; the rest find nothing to delete.
    for (size_t i = LibraryUnitVersionRecords().size(); i-- > 0;) WithdrawUnitVersion(ThisModule());
    g_types.reset();
    UlStringsFinalize();
    g_loadingLock.reset();
    g_rootKeys.clear();
    ReleaseUnitVersionRegistry();
    UlSysUtilsFinalize();
}
