// The component's start-up object, alone in its unit: only a program linked with the anchor
// below starts the component; code that merely calls the engine's functions (tests, tools)
// does not.
#include <windows.h>

#include "crash/capture/CrashLogMain.h"
#include "crash/capture/CrashLogMainWin.h"
#include "crash/core/ClCore.h"
#include "crash/debug/ClDebugModules.h"

namespace {

using namespace kv::crash;

int g_startupCount = 0;

void UnitInit() {
    CrashLogMainInit();
}
void UnitDone() {
    CrashLogMainDone();
}

// Made after the lower layers' unit bodies (priority 101), before the program's own objects.
struct TCrashLogStartup {
    TCrashLogStartup() {
        if (g_startupCount++ != 0) return;
        SafeExec(&UnitInit, "CrashLogMain.Init");
        detail::ReserveOutOfMemoryBlock();
        detail::InstallLastChanceFilter();
    }
    ~TCrashLogStartup() {
        if (--g_startupCount != 0) return;
        try {
            SafeExec(&UnitDone, "CrashLogMain.Done");
        } catch (...) {
            // Shut-down goes on.
        }
        detail::ReleaseOutOfMemoryBlock();
        // The last-chance filter stays for a program's whole life; a library's goes with it.
        if (IsModuleLibrary(detail::OwnModule())) detail::RemoveLastChanceFilter();
    }
};
__attribute__((init_priority(102))) TCrashLogStartup g_crashLogStartup;

} // namespace

// The linker keeps this unit (and so the start-up above) in every program linked with
// -Wl,-u,_KvCrashLogStartupAnchor.
extern "C" void KvCrashLogStartupAnchor() {}
