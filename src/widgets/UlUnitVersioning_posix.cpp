#include "widgets/UlUnitVersioning.h"

#include <memory>

// Outside Windows there is one module and no other to share with: a private registry.
namespace {
std::unique_ptr<TUnitVersioning> g_registry;
bool g_finalised = false;
} // namespace

TUnitVersioning* AcquireUnitVersionRegistry() {
    if (g_finalised) return nullptr;
    if (!g_registry) g_registry = std::make_unique<TUnitVersioning>();
    return g_registry.get();
}

void ReleaseUnitVersionRegistry() {
    g_finalised = true;
    g_registry.reset();
}

void AnnounceUnitVersion(TModuleHandle instance, const TUnitVersionInfo* info) {
    if (TUnitVersioning* r = AcquireUnitVersionRegistry()) r->AddVersionRecord(instance, info);
}

void WithdrawUnitVersion(TModuleHandle instance) {
    if (TUnitVersioning* r = AcquireUnitVersionRegistry()) r->DropModule(instance);
}
