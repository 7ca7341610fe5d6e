// The module registry on Win32, reduced to what address lookups need: module of an address,
// registration with the module's file name and its CLDATA trailer (the form our own build
// writes). Resource blocks, exports, versions and options are read by the full registry.
#include "crash/capture/ClDebugModules.h"

#include <windows.h>

#include <fstream>
#include <iterator>

#include "base/Stream.h"
#include "crash/capture/ClByteReader.h"

namespace kv::crash {

namespace {

HMODULE Module(uint32_t handle) {
    return reinterpret_cast<HMODULE>(static_cast<uintptr_t>(handle));
}

std::string ModuleFileNameOf(uint32_t handle) {
    char name[MAX_PATH + 1];
    const DWORD n = GetModuleFileNameA(Module(handle), name, MAX_PATH);
    return n == 0 || n >= MAX_PATH ? std::string() : std::string(name, n);
}

bool ReadTrailer(const std::string& fileName, uint16_t& version, std::string& debugData) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) return false;
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    const std::string_view d(bytes);
    uint32_t magic = 0, length = 0, count = 0;
    if (d.size() < 8 || !TByteReader::U32At(d, d.size() - 4, magic) ||
        (magic != kCLDataMagic && magic != kCLDataMagicOld) ||
        !TByteReader::U32At(d, d.size() - 8, length) || length > d.size() - 8 || length < 14)
        return false;
    TByteReader r(d.substr(d.size() - 8 - length, length));
    std::string_view data;
    if (!r.U16(version) || !r.Skip(8) || !r.U32(count) || !r.Bytes(count, data)) return false;
    debugData.assign(data);
    return true;
}

} // namespace

uint32_t FindModuleOfAddr(uint32_t address) {
    MEMORY_BASIC_INFORMATION mbi;
    if (VirtualQuery(reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), &mbi,
                     sizeof mbi) != sizeof mbi ||
        mbi.State != MEM_COMMIT || mbi.Type != MEM_IMAGE)
        return 0;
    const auto handle = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(mbi.AllocationBase));
    return ModuleFileNameOf(handle).empty() ? 0 : handle;
}

bool HasCLDataTrailer(uint32_t handle) {
    uint16_t version;
    std::string data;
    return ReadTrailer(ModuleFileNameOf(handle), version, data);
}

bool LoadModuleCLData(TCrashModuleInfo& info) {
    uint16_t version;
    std::string data;
    if (!ReadTrailer(info.Name, version, data)) return false;
    LastCrashVersion = version;
    info.ExtraInformation.CrashVersion = version;
    if (!data.empty())
        info.ExtraInformation.DebugInformation =
            std::make_unique<kv::TMemoryStream>(std::move(data));
    return true;
}

bool AddModuleInfo(uint32_t handle, const std::string& fileName, bool full) {
    auto info = std::make_unique<TCrashModuleInfo>();
    info->Handle = handle;
    info->Name = fileName;
    if (!full || !LoadModuleCLData(*info))
        info->ExtraInformation.CrashVersion = CrashLogCurrentVersion;
    ModulesList()->Add(std::move(info));
    return true;
}

bool RegisterModuleInfo(uint32_t handle) {
    const std::string name = ModuleFileNameOf(handle);
    return !name.empty() && AddModuleInfo(handle, name, true);
}

PCrashModuleInfo ModuleInfoByHandle(uint32_t handle) {
    TCrashModulesList* list = ModulesList();
    if (handle == 0 || !list) return nullptr;
    list->Lock();
    PCrashModuleInfo found = nullptr;
    for (int i = 0; i < list->Count() && !found; ++i)
        if (list->GetItem(i)->Handle == handle) found = list->GetItem(i);
    if (!found && RegisterModuleInfo(handle)) found = list->GetItem(list->Count() - 1);
    list->Unlock();
    return found;
}

PCrashModuleInfo ModuleInfoByAddr(uint32_t address) {
    return ModuleInfoByHandle(FindModuleOfAddr(address));
}

} // namespace kv::crash
