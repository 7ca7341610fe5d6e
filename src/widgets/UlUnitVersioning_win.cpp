#include "widgets/UlUnitVersioning.h"

#include <windows.h>

#include <memory>

#include "widgets/UlSynch.h"
#include "widgets/UlSysUtils.h"
#include "widgets/UlWin32.h"

namespace {

// Process-wide state of this module's side of the registry.
TUnitVersioning* g_registry = nullptr;    // the shared one, or g_owned
std::unique_ptr<TUnitVersioning> g_owned; // the registry this module made
std::unique_ptr<TUlMutex> g_mutex;
void* g_block = nullptr; // 4 bytes: the shared registry's address
bool g_finalised = false;

bool ModuleStillThere(TModuleHandle instance) {
    return !ModulePath(reinterpret_cast<HMODULE>(instance)).empty();
}

TUnitVersioning* NewRegistry() {
    g_owned = std::make_unique<TUnitVersioning>(ModuleStillThere);
    return g_owned.get();
}

// Waits for the mutex and releases it when done, whatever happens in between.
class MutexHeld {
public:
    MutexHeld() { g_mutex->WaitForever(); }
    ~MutexHeld() { g_mutex->Release(); }
    MutexHeld(const MutexHeld&) = delete;
    MutexHeld& operator=(const MutexHeld&) = delete;
};

} // namespace

TUnitVersioning* AcquireUnitVersionRegistry() {
    if (g_finalised) return nullptr;
    const DWORD pid = GetCurrentProcessId();
    if (!g_mutex)
        g_mutex = std::make_unique<TUlMutex>(nullptr, false, UnitVersioningMutexName(pid));
    if (!g_registry) {
        MutexHeld held;
        if (!g_block) {
            try {
                MapSharedBlock(g_block, UnitVersioningBlockName(pid), sizeof(uint32_t),
                               FILE_MAP_ALL_ACCESS);
            } catch (const kv::Exception&) {
                g_block = nullptr; // no shared block: this module keeps a private registry
            }
        }
        if (g_block) {
            auto* slot = static_cast<TUnitVersioning**>(g_block);
            g_registry = *slot;
            if (!g_registry) {
                g_registry = NewRegistry();
                *slot = g_registry;
            }
        } else {
            g_registry = NewRegistry();
        }
    } else if (g_block) {
        // Another module may have replaced or cleared the shared registry meanwhile.
        MutexHeld held;
        g_registry = *static_cast<TUnitVersioning**>(g_block);
    }
    return g_registry;
}

void ReleaseUnitVersionRegistry() {
    g_finalised = true;
    if (g_block && g_mutex) {
        try {
            MutexHeld held;
            *static_cast<TUnitVersioning**>(g_block) = nullptr;
            CloseSharedBlock(g_block);
        } catch (...) {
            // straight on to freeing what this module made
        }
    }
    g_owned.reset();
    g_registry = nullptr;
    g_mutex.reset();
}

void AnnounceUnitVersion(TModuleHandle instance, const TUnitVersionInfo* info) {
    if (TUnitVersioning* r = AcquireUnitVersionRegistry()) r->AddVersionRecord(instance, info);
}

void WithdrawUnitVersion(TModuleHandle instance) {
    if (TUnitVersioning* r = AcquireUnitVersionRegistry()) r->DropModule(instance);
}
