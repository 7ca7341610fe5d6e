#include "widgets/UlLibrary.h"

#include <windows.h>

#include "widgets/UlBase.h"
#include "widgets/UlStrings.h"
#include "widgets/UlSysInfo.h"
#include "widgets/UlSysUtils.h"
#include "widgets/UlUnitVersioning.h"

namespace {
TModuleHandle ThisModule() {
    return reinterpret_cast<TModuleHandle>(GetModuleHandleW(nullptr));
}
} // namespace

TUlLibraryUnits::TUlLibraryUnits() {
    for (const TUnitVersionInfo* info : LibraryUnitVersionRecords())
        AnnounceUnitVersion(ThisModule(), info);
    UlSysInfoInitialize();
    UlStringsInitialize();
    UlBaseInitialize();
}

TUlLibraryUnits::~TUlLibraryUnits() {
    // Only the first withdrawal finds the module's entry; the rest find nothing to delete.
    for (size_t i = LibraryUnitVersionRecords().size(); i-- > 0;) WithdrawUnitVersion(ThisModule());
    UlStringsFinalize();
    ReleaseUnitVersionRegistry();
    UlSysUtilsFinalize();
}
