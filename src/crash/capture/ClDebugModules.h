#pragma once
// The module registry of the crash-report component: one record per module (the program and
// every DLL) it has met, with file name, version, size, exports, kind, the module's stored
// CLDATA block (options and debug data) or its external debug source. Records belong to the
// registry; callers borrow them while the module stays loaded. Any thread; the registry and each
// functions list guard themselves with re-entrant locks.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kv {
class TMemoryStream;
}

namespace kv::crash {

class TCrashModuleOptions; // the module's options (defaults until its block is read)
class TELDebugInfoSource;  // external debug data: .map file, TD32 or UL data

enum TCrashModuleType : uint8_t {
    mtUnknown = 0,
    mtMainModule = 1,
    mtBorlandPackage = 2,
    mtOSLibrary = 3,
};

// One exported function. Size 0: not measured yet; 1: the export lies below the module's code.
struct TCrashFunctionInfo {
    std::string Name;
    uint32_t Addr = 0;
    uint32_t Size = 0;
};
using PCrashFunctionInfo = TCrashFunctionInfo*;

// Exports of one module, sorted by address once read. Owns its records.
class TCrashFunctionsList {
public:
    void Lock() { lock_.lock(); }
    void Unlock() { lock_.unlock(); }
    int Count() const { return static_cast<int>(items_.size()); }
    PCrashFunctionInfo GetItem(int index); // under the lock; nullptr out of range
    void Add(TCrashFunctionInfo info);
    void Delete(int index);
    void Clear();
    void SortByAddress();

private:
    std::recursive_mutex lock_;
    std::vector<std::unique_ptr<TCrashFunctionInfo>> items_;
};

struct TCrashExtraInformation {
    uint16_t CrashVersion = 0;                           // data version of the module's block
    double CompilationDate = 0;                          // date-time value
    std::shared_ptr<TCrashModuleOptions> Options;        // always set once registered
    std::unique_ptr<kv::TMemoryStream> DebugInformation; // the module's debug data, or none
};

struct TCrashModuleInfo {
    TCrashModuleInfo();
    ~TCrashModuleInfo();
    TCrashModuleInfo(const TCrashModuleInfo&) = delete;
    TCrashModuleInfo& operator=(const TCrashModuleInfo&) = delete;

    uint32_t Handle = 0;                                // load address
    std::string Name;                                   // full file name (ANSI)
    std::string Description;                            // from the version resource
    std::string Version;                                // "a.b.c.d", empty for 0.0.0.0 or none
    uint32_t Size = 0;                                  // file size, low 32 bits
    std::unique_ptr<TCrashFunctionsList> FunctionsList; // always set, maybe empty
    TCrashModuleType ModuleType = mtUnknown;
    TCrashExtraInformation ExtraInformation;
    std::shared_ptr<TELDebugInfoSource> OtherDebugData; // used when the module has no block
    double LastModified = 0;                            // date-time of the file's last write
    std::string EncryptPassword;
    bool IsValidEncryptPassword = true;
};
using PCrashModuleInfo = TCrashModuleInfo*;

// The registry's container. Owns its records; Delete and Clear free them with all they own.
class TCrashModulesList {
public:
    void Lock() { lock_.lock(); }
    void Unlock() { lock_.unlock(); }
    int Count() const { return static_cast<int>(items_.size()); }
    PCrashModuleInfo GetItem(int index); // under the lock; nullptr out of range
    void Add(std::unique_ptr<TCrashModuleInfo> info);
    void Delete(int index);
    void Clear();
    void SortByHandle();

private:
    std::recursive_mutex lock_;
    std::vector<std::unique_ptr<TCrashModuleInfo>> items_;
};

// The single registry of the process: created at the component's start-up, freed at shut-down.
// ModulesList() is nullptr while it does not exist.
TCrashModulesList* ModulesList();
void CreateModulesList();
void FreeModulesList();

// Highest data version of a CLDATA block this component reads.
constexpr uint16_t CrashLogCurrentVersion = 6104;
// Magic values of a CLDATA block (either is accepted), stored little-endian.
constexpr uint32_t kCLDataMagic = 0x100FAB10;
constexpr uint32_t kCLDataMagicOld = 0x000FAB10;

// Data version of the CLDATA block read last (an exported variable).
extern uint16_t LastCrashVersion;

// Registry lookups: nullptr for handle 0, an address outside every module, a failed
// registration, or when the registry does not exist. Registers the module on first use.
PCrashModuleInfo ModuleInfoByHandle(uint32_t handle);
PCrashModuleInfo ModuleInfoByAddr(uint32_t address);

uint32_t FindModuleOfAddr(uint32_t address); // 0 when no module holds it
bool RegisterModuleInfo(uint32_t handle);
bool AddModuleInfo(uint32_t handle, const std::string& fileName, bool full);
void RefreshModulesList();

TCrashModuleType GetModuleType(uint32_t handle);
bool IsModuleLibrary(uint32_t handle);
// Description and version text of a file's version resource; both empty when it has none.
void GetFileVersionInfoText(const std::string& fileName, std::string& description,
                            std::string& version);
bool ReadModuleExports(uint32_t handle, TCrashFunctionsList* list);

// Address of a symbol of the component's own CLDATA symbol table, 0 when not found.
uint32_t GetSymbolAddressByID(uint8_t id);
// handle + offset + 0x1000: offsets count from the start of the first section.
constexpr uint32_t CodeOffsetToAddress(uint32_t handle, uint32_t offset) {
    return handle + offset + 0x1000;
}

bool HasCLDataResource(uint32_t handle);
bool HasCLDataTrailer(uint32_t handle);
bool IsCrashLogModule(uint32_t handle);
uint16_t GetCrashLogModuleVersion(uint32_t handle);
bool HasCurrentCLData(uint32_t handle);
bool LoadModuleCLData(TCrashModuleInfo& info);

// True while RefreshModulesList runs (set only under the registry's lock).
bool ModuleEnumerationActive();

} // namespace kv::crash
