#pragma once
// The module registry of the crash-report component: one record per module (the program and
// every DLL) it has met, with file name, version, size, exports, kind, the module's stored
// CLDATA block (options and debug data) or its external debug source. Records belong to the
// registry; callers borrow them while the module stays loaded. Any thread; the registry and each
// functions list guard themselves with re-entrant locks.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/Stream.h"
#include "crash/core/CrashRecordLists.h"

namespace kv::crash {

// A read-only stream over memory that is already mapped (a loaded image or a locked resource):
// position 0 is the given address and the size 0x7FFFFFFF; destroying it frees nothing. Every
// read first passes the core's validity test, so an unmapped page reads as nothing.
class THModuleStream final : public kv::TStream {
public:
    explicit THModuleStream(uintptr_t memory) : memory_(memory) {}
    int64_t GetSize() const override { return 0x7FFFFFFF; }
    int64_t GetPosition() const override { return pos_; }
    void SetPosition(int64_t pos) override { pos_ = pos; }
    // Reads count bytes, or nothing when they are not all valid memory.
    size_t Read(void* buffer, size_t count) override;
    // Whether exactly count valid bytes were read at the position.
    bool SecureRead(void* buffer, size_t count) { return Read(buffer, count) == count; }
    template <class T> bool SecureRead(T& value) { return SecureRead(&value, sizeof value); }

private:
    uintptr_t memory_;
    int64_t pos_ = 0;
};

// The single registry of the process: created at the component's start-up, freed at shut-down.
// ModulesList() is nullptr while it does not exist.
TCrashModulesList* ModulesList();
void CreateModulesList();
void FreeModulesList();

// Magic values of a CLDATA block (either is accepted), stored little-endian.
constexpr uint32_t kCLDataMagic = 0x100FAB10;
constexpr uint32_t kCLDataMagicOld = 0x000FAB10;

// Registry lookups: nullptr for handle 0, an address outside every module, a failed
// registration, or when the registry does not exist. Registers the module on first use.
PCrashModuleInfo ModuleInfoByHandle(uintptr_t handle);
PCrashModuleInfo ModuleInfoByAddr(uintptr_t address);

uintptr_t FindModuleOfAddr(uintptr_t address); // 0 when no module holds it
bool RegisterModuleInfo(uintptr_t handle);
bool AddModuleInfo(uintptr_t handle, const std::string& fileName, bool full);
void RefreshModulesList();

TCrashModuleType GetModuleType(uintptr_t handle);
bool IsModuleLibrary(uintptr_t handle);
// Description and version text of a file's version resource; both empty when it has none.
void GetFileVersionInfoText(const std::string& fileName, std::string& description,
                            std::string& version);
bool ReadModuleExports(uintptr_t handle, TCrashFunctionsList* list);

// Address of a symbol of the component's own CLDATA symbol table, 0 when not found.
uintptr_t GetSymbolAddressByID(uint8_t id);
// handle + offset + 0x1000: offsets count from the start of the first section.
constexpr uintptr_t CodeOffsetToAddress(uintptr_t handle, uint32_t offset) {
    return handle + offset + 0x1000;
}

bool HasCLDataResource(uintptr_t handle);
bool HasCLDataTrailer(uintptr_t handle);
bool IsCrashLogModule(uintptr_t handle);
uint16_t GetCrashLogModuleVersion(uintptr_t handle);
bool HasCurrentCLData(uintptr_t handle);
bool LoadModuleCLData(TCrashModuleInfo& info);

// True while RefreshModulesList runs (set only under the registry's lock).
bool ModuleEnumerationActive();
// Module registration held back (the component holds it while it starts its watchdog): a module
// met meanwhile, other than the component's own, is registered as a refresh registers it (type
// unknown, no exports, no debug data or password asked), and in full at its first lookup after
// the hold. Holds nest.
void HoldModuleRegistration();
void AllowModuleRegistration();
bool ModuleRegistrationHeld();

// ---- What the registry borrows from other parts of the component ----

// The report half's codecs (installed at start-up). Without them a compressed block cannot be
// read and counts as absent, and an enciphered check word never matches.
struct TCLDataCodecs {
    void (*ZDecompress)(const void* in, size_t inSize, std::string& out) = nullptr;
    void (*InitKey)(std::string_view passPhrase) = nullptr;
    void (*Decrypt)(const void* in, void* out, size_t size) = nullptr;
};
extern TCLDataCodecs CLDataCodecs;

// Asks for the password of a module's debug names: first the module's own request export,
// then (secondAsk) the components' and the application's notifications. Returns the reply
// (empty when nobody answered). Installed by the events; without it the password is empty.
using TCLDataPasswordRequest = std::string (*)(uintptr_t module, bool secondAsk);
extern TCLDataPasswordRequest CLDataPasswordRequest;

// Makes the options object of a newly registered module (the live component's options class,
// which reads another module's published options); plain options without it.
using TCreateModuleOptions = std::unique_ptr<TCrashModuleOptions> (*)(const std::string& fileName);
extern TCreateModuleOptions CreateModuleOptionsProc;

// Finds a module's external debug source (.map file, TD32 data, UL data); installed by the
// debug-information readers. Without it modules without a block have no external source.
using TAssignValidDebugInfo = bool (*)(uintptr_t module,
                                       std::unique_ptr<TClDebugInfoSource>& source);
extern TAssignValidDebugInfo AssignValidDebugInfoProc;

// ---- Block readers over bytes (the module readers above hand them the block) ----

// Reads a CLDATA resource into info (version, date, options, password, debug data); false
// when the block is unreadable, damaged or of a newer data version. Sets LastCrashVersion.
// module is the block's module (for the password request); ownModule tells whether it is the
// module that holds the component (asked for its password once only).
bool ReadCLDataResource(const uint8_t* data, size_t size, TCrashModuleInfo& info, bool enumerating,
                        bool ownModule);
// Reads a CLDATA trailer from the last bytes of a module file (tail ends with the magic).
bool ReadCLDataTrailer(const uint8_t* tail, size_t size, TCrashModuleInfo& info, bool enumerating);
// The trailer's total length counted from the end of the file (T + 8), 0 when it has none.
size_t CLDataTrailerLength(const uint8_t* last8);
// Looks id up in a CLDATA resource's symbol table; the code offset, or false.
bool FindCLDataSymbol(const uint8_t* data, size_t size, uint8_t id, uint32_t& codeOffset);
// "a.b.c.d" of a fixed file version; empty for 0.0.0.0.
std::string FileVersionText(uint32_t versionMS, uint32_t versionLS);

} // namespace kv::crash
