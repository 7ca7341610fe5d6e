#include "crash/capture/ClDebugModules.h"

#include <algorithm>

#include "base/Stream.h"

namespace kv::crash {

uint16_t LastCrashVersion = 0;

TCrashModuleInfo::TCrashModuleInfo() : FunctionsList(std::make_unique<TCrashFunctionsList>()) {}
TCrashModuleInfo::~TCrashModuleInfo() = default;

PCrashFunctionInfo TCrashFunctionsList::GetItem(int index) {
    std::lock_guard guard(lock_);
    if (index < 0 || index >= Count()) return nullptr;
    return items_[index].get();
}

void TCrashFunctionsList::Add(TCrashFunctionInfo info) {
    std::lock_guard guard(lock_);
    items_.push_back(std::make_unique<TCrashFunctionInfo>(std::move(info)));
}

void TCrashFunctionsList::Delete(int index) {
    std::unique_ptr<TCrashFunctionInfo> record;
    {
        std::lock_guard guard(lock_);
        if (index < 0 || index >= Count()) return;
        record = std::move(items_[index]);
        items_.erase(items_.begin() + index);
    }
}

void TCrashFunctionsList::Clear() {
    std::lock_guard guard(lock_);
    while (!items_.empty()) Delete(0);
}

void TCrashFunctionsList::SortByAddress() {
    std::lock_guard guard(lock_);
    std::stable_sort(items_.begin(), items_.end(),
                     [](const auto& a, const auto& b) { return a->Addr < b->Addr; });
}

PCrashModuleInfo TCrashModulesList::GetItem(int index) {
    std::lock_guard guard(lock_);
    if (index < 0 || index >= Count()) return nullptr;
    return items_[index].get();
}

void TCrashModulesList::Add(std::unique_ptr<TCrashModuleInfo> info) {
    std::lock_guard guard(lock_);
    items_.push_back(std::move(info));
}

void TCrashModulesList::Delete(int index) {
    std::unique_ptr<TCrashModuleInfo> record;
    {
        std::lock_guard guard(lock_);
        if (index < 0 || index >= Count()) return;
        record = std::move(items_[index]);
        items_.erase(items_.begin() + index);
    }
    // Freed outside the lock: the record's owned objects go with it.
}

void TCrashModulesList::Clear() {
    std::lock_guard guard(lock_);
    while (!items_.empty()) Delete(0);
}

void TCrashModulesList::SortByHandle() {
    std::lock_guard guard(lock_);
    std::stable_sort(items_.begin(), items_.end(),
                     [](const auto& a, const auto& b) { return a->Handle < b->Handle; });
}

namespace {
std::unique_ptr<TCrashModulesList> g_modulesList;
}

TCrashModulesList* ModulesList() {
    return g_modulesList.get();
}
void CreateModulesList() {
    if (!g_modulesList) g_modulesList = std::make_unique<TCrashModulesList>();
}
void FreeModulesList() {
    if (g_modulesList) g_modulesList->Clear();
    g_modulesList.reset();
}

} // namespace kv::crash
