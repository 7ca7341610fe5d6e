// Detours, import-table patches and virtual-method slot replacement on 32-bit Windows.
#include "crash/hooks/ClHook.h"

#include <windows.h>

#include <algorithm>
#include <bitset>
#include <cstring>
#include <memory>
#include <mutex>

#include "base/CodePageConv.h"
#include "crash/core/ClCore.h"

namespace kv::crash {

namespace {

std::u16string Message(const char* pattern, const std::string& name) {
    std::u16string text;
    for (const char* p = pattern; *p; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            PlatformMultiByteToWide(0, 0, name.data(), name.size(), text);
            ++p;
        } else {
            text += static_cast<char16_t>(static_cast<unsigned char>(*p));
        }
    }
    return text;
}

[[noreturn]] void RaiseHookingError(const std::string& name) {
    throw EHookingError(Message("Cannot hook the procedure \"%s\".", name));
}

bool IsWin9x() {
    return (GetVersion() & 0x80000000u) != 0;
}

bool Readable(uintptr_t at, size_t n) {
    return IsValidBlockAddr(at, n);
}

std::string ModuleFileNameOf(const void* address) {
    HMODULE module = nullptr;
    char name[MAX_PATH] = {};
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<const char*>(address), &module))
        GetModuleFileNameA(module, name, MAX_PATH);
    return name;
}

// Writes into code or tables: the range is made writable for the copy only.
bool PatchCode(void* at, const void* bytes, size_t count) {
    DWORD old = 0;
    if (!VirtualProtect(at, count, PAGE_EXECUTE_READWRITE, &old)) return false;
    std::memcpy(at, bytes, count);
    DWORD ignored = 0;
    VirtualProtect(at, count, old, &ignored);
    FlushInstructionCache(GetCurrentProcess(), at, count);
    return true;
}

// Trampolines live in executable pages of their own, carved into fixed slots, so that no
// protection change ever touches heap data.
class TrampolinePool {
public:
    static constexpr size_t kSlot = 128;
    static constexpr size_t kPage = 4096;
    static constexpr size_t kSlots = kPage / kSlot;

    ~TrampolinePool() {
        for (auto& page : pages_) VirtualFree(page.base, 0, MEM_RELEASE);
    }

    uint8_t* Allocate(size_t bytes) {
        if (bytes > kSlot) return nullptr;
        for (auto& page : pages_)
            for (size_t i = 0; i < kSlots; ++i)
                if (!page.used[i]) {
                    page.used[i] = true;
                    return page.base + i * kSlot;
                }
        auto* base = static_cast<uint8_t*>(
            VirtualAlloc(nullptr, kPage, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
        if (!base) return nullptr;
        pages_.push_back({base, {}});
        pages_.back().used[0] = true;
        return base;
    }

    void Free(uint8_t* p) {
        for (auto it = pages_.begin(); it != pages_.end(); ++it) {
            if (p < it->base || p >= it->base + kPage) continue;
            it->used[(p - it->base) / kSlot] = false;
            if (it->used.none()) {
                VirtualFree(it->base, 0, MEM_RELEASE);
                pages_.erase(it);
            }
            return;
        }
    }

private:
    struct Page {
        uint8_t* base;
        std::bitset<kSlots> used;
    };
    std::vector<Page> pages_;
};

struct TDetour {
    uint8_t* Original = nullptr;
    uint8_t* Trampoline = nullptr;
    size_t TrampolineSize = 0;
    std::vector<uint8_t> Saved; // the original's first bytes
};

class THookedMethodsList {
public:
    struct Record {
        void* Vtable;
        void* OldMethod;
        int Slot;
    };
    ~THookedMethodsList() {
        Lock();
        for (const auto& r : items_) WriteSlot(r.Vtable, r.Slot, r.OldMethod);
        items_.clear();
        Unlock();
    }
    void Lock() { lock_.lock(); }
    void Unlock() { lock_.unlock(); }
    Record* Find(void* vtable, int slot) {
        for (auto& r : items_)
            if (r.Vtable == vtable && r.Slot == slot) return &r;
        return nullptr;
    }
    void Add(Record r) { items_.push_back(r); }
    void Delete(const Record* r) { items_.erase(items_.begin() + (r - items_.data())); }

    static void** Entry(void* vtable, int slot) { return static_cast<void**>(vtable) + slot; }
    // Method tables are written only where they lie inside a loaded module.
    static bool WriteSlot(void* vtable, int slot, void* method) {
        void** entry = Entry(vtable, slot);
        HMODULE module = nullptr;
        if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                    GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                reinterpret_cast<const char*>(entry), &module))
            return false;
        return PatchCode(entry, &method, sizeof method);
    }

private:
    std::recursive_mutex lock_;
    std::vector<Record> items_;
};

// The unit's lists, made at start-up in this order and freed at shut-down. Their holder is made
// before the unit bodies below and destroyed after them, so shut-down still finds them.
struct HookLists {
    std::unique_ptr<std::vector<TSaveDLLProc>> savedImports;
    std::unique_ptr<THookedMethodsList> hookedMethods;
    std::unique_ptr<std::vector<std::unique_ptr<TDetour>>> detours;
    std::unique_ptr<TrampolinePool> trampolines;
};
__attribute__((init_priority(101))) HookLists g_hookLists;
auto& g_savedImports = g_hookLists.savedImports;
auto& g_hookedMethods = g_hookLists.hookedMethods;
auto& g_detours = g_hookLists.detours;
auto& g_trampolines = g_hookLists.trampolines;

bool IsShortJump(const AsmShape& s) {
    return !s.twoByte && ((s.opcode >= 0x70 && s.opcode <= 0x7F) ||
                          (s.opcode >= 0xE0 && s.opcode <= 0xE3) || s.opcode == 0xEB);
}

bool IsNearBranch(const AsmShape& s) {
    return (!s.twoByte && (s.opcode == 0xE8 || s.opcode == 0xE9)) ||
           (s.twoByte && s.opcode >= 0x80 && s.opcode <= 0x8F);
}

struct CopiedInstruction {
    size_t offset;
    AsmShape shape;
};

uint8_t* BuildDetour(uint8_t* proc, uint8_t* newProc, const std::string& name) {
    // Whole instructions covering the 5 bytes of the jump that replaces them.
    std::vector<CopiedInstruction> copied;
    size_t covered = 0;
    while (covered < 5) {
        if (!Readable(reinterpret_cast<uintptr_t>(proc + covered), 19)) RaiseHookingError(name);
        const AsmShape s = DecodeAsmShape(proc + covered, 19);
        // An instruction of unknown length may straddle the jump back; copying it would break
        // the original, so such a procedure is not hooked.
        if (!s.known) RaiseHookingError(name);
        copied.push_back({covered, s});
        covered += s.length;
    }
    const auto start = reinterpret_cast<uintptr_t>(proc);
    const uintptr_t end = start + covered;
    auto outside = [&](uintptr_t target) { return target < start || target > end; };

    size_t farJumps = 0;
    for (const auto& c : copied) {
        if (!IsShortJump(c.shape)) continue;
        const auto disp = static_cast<int8_t>(proc[c.offset + c.shape.length - 1]);
        if (outside(start + c.offset + c.shape.length + disp)) ++farJumps;
    }
    const size_t trampolineSize = covered + 5 + 5 * farJumps;
    uint8_t* tramp = g_trampolines->Allocate(trampolineSize + 5);
    if (!tramp) RaiseHookingError(name);

    auto detour = std::make_unique<TDetour>();
    detour->Original = proc;
    detour->Trampoline = tramp;
    detour->TrampolineSize = trampolineSize;
    detour->Saved.assign(proc, proc + covered);
    std::memcpy(tramp, proc, covered);

    auto writeJump = [](uint8_t* at, uintptr_t target) {
        at[0] = 0xE9;
        const auto disp = static_cast<uint32_t>(target - reinterpret_cast<uintptr_t>(at) - 5);
        std::memcpy(at + 1, &disp, 4);
    };
    uint8_t* nextSlot = tramp + covered + 5;
    for (const auto& c : copied) {
        const size_t last = c.offset + c.shape.length; // offset of the next instruction
        if (IsShortJump(c.shape)) {
            const auto disp = static_cast<int8_t>(proc[last - 1]);
            const uintptr_t target = start + last + disp;
            if (!outside(target)) continue;
            writeJump(nextSlot, target);
            tramp[last - 1] = static_cast<uint8_t>(nextSlot - (tramp + last));
            nextSlot += 5;
        } else if (IsNearBranch(c.shape)) {
            int32_t disp;
            std::memcpy(&disp, proc + last - 4, 4);
            // A 16-bit displacement (66 prefix) cannot reach the trampoline's pages.
            if (c.shape.length != c.shape.prefixes + (c.shape.twoByte ? 6 : 5))
                RaiseHookingError(name);
            if (!outside(start + last + disp)) continue;
            disp += static_cast<int32_t>(start - reinterpret_cast<uintptr_t>(tramp));
            std::memcpy(tramp + last - 4, &disp, 4);
        }
    }
    writeJump(tramp + covered, end);

    uint8_t jump[5];
    writeJump(jump, 0); // displacement set below, relative to proc
    const auto disp = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(newProc) - start - 5);
    std::memcpy(jump + 1, &disp, 4);
    if (!PatchCode(proc, jump, 5)) {
        g_trampolines->Free(tramp);
        RaiseHookingError(name);
    }
    g_detours->push_back(std::move(detour));
    return tramp;
}

void RemoveDetour(size_t index) {
    auto& list = *g_detours;
    const TDetour& d = *list[index];
    PatchCode(d.Original, d.Saved.data(), d.Saved.size());
    g_trampolines->Free(d.Trampoline);
    list.erase(list.begin() + index);
}

// The 9x family hands out push-and-jump stubs instead of export addresses.
bool IsPushStub(uintptr_t address, uint32_t& pushed) {
    if (!Readable(address, 10)) return false;
    const auto* p = reinterpret_cast<const uint8_t*>(address);
    if (p[0] != 0x68 || p[5] != 0xE9) return false;
    std::memcpy(&pushed, p + 1, 4);
    return true;
}

const IMAGE_NT_HEADERS32* NtHeaders(uintptr_t module) {
    if (!module || !Readable(module, sizeof(IMAGE_DOS_HEADER))) return nullptr;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew == 0) return nullptr;
    const uintptr_t nt = module + static_cast<uint32_t>(dos->e_lfanew);
    if (!Readable(nt, sizeof(IMAGE_NT_HEADERS32))) return nullptr;
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS32*>(nt);
    return headers->Signature == IMAGE_NT_SIGNATURE ? headers : nullptr;
}

bool SameText(const char* a, const std::string& b) {
    return lstrcmpiA(a, b.c_str()) == 0;
}

void* HookImports(uintptr_t module, const std::string& dllName, void* oldAddress, bool record,
                  bool tolerate, const std::string& name, void* newAddress) {
    if (!oldAddress) throw EProcNull(Message("Cannot hook a null procedure (\"%s\").", name));
    if (IsWin9x() && module >= 0x80000000u)
        throw ESharedArea(Message("Cannot hook the module \"%s\" located into the shared-area.",
                                  ModuleFileNameOf(reinterpret_cast<void*>(module))));
    uint32_t oldPushed = 0;
    const bool stubMatch =
        IsWin9x() && IsPushStub(reinterpret_cast<uintptr_t>(oldAddress), oldPushed);

    const IMAGE_NT_HEADERS32* nt = NtHeaders(module);
    const IMAGE_DATA_DIRECTORY* dir =
        nt ? &nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT] : nullptr;
    if (!dir || dir->VirtualAddress == 0) {
        if (tolerate) return nullptr;
        RaiseHookingError(name);
    }
    bool patched = false;
    auto desc = module + dir->VirtualAddress;
    for (;; desc += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        if (!Readable(desc, sizeof(IMAGE_IMPORT_DESCRIPTOR))) break;
        const auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(desc);
        if (d->Name == 0) break;
        const uintptr_t dll = module + d->Name;
        if (!Readable(dll, 1) || !SameText(reinterpret_cast<const char*>(dll), dllName)) continue;
        for (uintptr_t entry = module + d->FirstThunk; Readable(entry, 4); entry += 4) {
            void* const value = *reinterpret_cast<void* const*>(entry);
            if (!value) break;
            uint32_t pushed = 0;
            const bool match = stubMatch ? IsPushStub(reinterpret_cast<uintptr_t>(value), pushed) &&
                                               pushed == oldPushed
                                         : value == oldAddress;
            if (!match) continue;
            if (!PatchCode(reinterpret_cast<void*>(entry), &newAddress, 4)) continue;
            patched = true;
            if (record && g_savedImports)
                g_savedImports->push_back(
                    {static_cast<uint32_t>(module), dllName, value, newAddress});
        }
    }
    if (!patched && !tolerate) RaiseHookingError(name);
    return patched ? oldAddress : nullptr;
}

void* ExportedAddress(const std::string& dllName, const std::string& procName) {
    HMODULE dll = GetModuleHandleA(dllName.c_str());
    return dll ? reinterpret_cast<void*>(GetProcAddress(dll, procName.c_str())) : nullptr;
}

} // namespace

void JumpToMem(void* at, const void* target) {
    uint8_t jump[5] = {0xE9};
    const auto disp = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(target) -
                                            reinterpret_cast<uintptr_t>(at) - 5);
    std::memcpy(jump + 1, &disp, 4);
    if (!PatchCode(at, jump, 5)) RaiseHookingError("");
}

void* HookProcedureEx(void* procedure, void* newProcedure, const std::string& name) {
    auto* proc = reinterpret_cast<uint8_t*>(ConvertAddress(reinterpret_cast<uintptr_t>(procedure)));
    auto* target =
        reinterpret_cast<uint8_t*>(ConvertAddress(reinterpret_cast<uintptr_t>(newProcedure)));
    if (!proc) throw EProcNull(Message("Cannot hook a null procedure (\"%s\").", name));
    if (IsWin9x() && reinterpret_cast<uintptr_t>(proc) >= 0x80000000u)
        throw ESharedArea(Message("Cannot hook the module \"%s\" located into the shared-area.",
                                  ModuleFileNameOf(proc)));
    if (!g_detours || !g_trampolines) RaiseHookingError(name);
    for (const auto& d : *g_detours)
        if (d->Original == proc) return d->Trampoline;
    try {
        return BuildDetour(proc, target, name);
    } catch (const EHookError&) {
        throw;
    } catch (...) {
        RaiseHookingError(name);
    }
}

bool UnhookProcedure(void* address) {
    if (!g_detours) return false;
    auto* a = static_cast<uint8_t*>(address);
    auto* followed = reinterpret_cast<uint8_t*>(ConvertAddress(reinterpret_cast<uintptr_t>(a)));
    bool found = false;
    for (size_t i = g_detours->size(); i-- > 0;) {
        const TDetour& d = *(*g_detours)[i];
        if (d.Original == a || d.Trampoline == a || d.Original == followed) {
            RemoveDetour(i);
            found = true;
        }
    }
    return found;
}

void* HookDllProcedureEx(const std::string& moduleName, const std::string& dllName,
                         const std::string& procName, void* newProc) {
    const auto module = reinterpret_cast<uintptr_t>(
        GetModuleHandleA(moduleName.empty() ? nullptr : moduleName.c_str()));
    return HookImports(module, dllName, ExportedAddress(dllName, procName), true, false,
                       dllName + "." + procName, newProc);
}

bool TryHookDllProcedureEx(const std::vector<std::string>& moduleNames, const std::string& dllName,
                           const std::string& procName, void* newProc, void*& oldProc,
                           bool tolerate) {
    oldProc = ExportedAddress(dllName, procName);
    bool patched = false;
    for (const auto& name : moduleNames) {
        const auto module = reinterpret_cast<uintptr_t>(GetModuleHandleA(name.c_str()));
        if (!module) continue;
        if (HookImports(module, dllName, oldProc, true, tolerate, dllName + "." + procName,
                        newProc))
            patched = true;
    }
    return patched;
}

std::vector<TSaveDLLProc> SavedDllProcs() {
    return g_savedImports ? *g_savedImports : std::vector<TSaveDLLProc>{};
}

void* HookVirtualMethod(void* vtable, int slot, void* newMethod) {
    if (!g_hookedMethods) return nullptr;
    THookedMethodsList& list = *g_hookedMethods;
    list.Lock();
    void* const old = *THookedMethodsList::Entry(vtable, slot);
    void* result = old;
    if (old != newMethod) {
        THookedMethodsList::WriteSlot(vtable, slot, newMethod);
        // A slot hooked again keeps the method it held first, for the unhook.
        if (!list.Find(vtable, slot)) list.Add({vtable, old, slot});
    } else if (const auto* r = list.Find(vtable, slot)) {
        result = r->OldMethod;
    }
    list.Unlock();
    return result;
}

bool UnhookVirtualMethod(void* vtable, int slot) {
    if (!g_hookedMethods) return false;
    THookedMethodsList& list = *g_hookedMethods;
    list.Lock();
    const auto* r = list.Find(vtable, slot);
    if (r) {
        THookedMethodsList::WriteSlot(vtable, slot, r->OldMethod);
        list.Delete(r);
    }
    list.Unlock();
    return r != nullptr;
}

void HookUnitInit() {
    if (!g_savedImports) g_savedImports = std::make_unique<std::vector<TSaveDLLProc>>();
    if (!g_hookedMethods) g_hookedMethods = std::make_unique<THookedMethodsList>();
    if (!g_detours) g_detours = std::make_unique<std::vector<std::unique_ptr<TDetour>>>();
    if (!g_trampolines) g_trampolines = std::make_unique<TrampolinePool>();
}

void HookUnitDone() {
    if (g_savedImports) {
        const auto saved = std::move(*g_savedImports);
        g_savedImports.reset();
        for (const auto& s : saved) {
            try {
                HookImports(s.HookModule, s.ExportModule, s.NewProc, false, true, s.ExportModule,
                            s.OldProc);
            } catch (...) {
                // Restoring never raises: a module that went away keeps nothing to restore.
            }
        }
    }
    g_hookedMethods.reset();
    if (g_detours) {
        while (!g_detours->empty()) RemoveDetour(g_detours->size() - 1);
        g_detours.reset();
    }
    g_trampolines.reset();
}

namespace {
__attribute__((init_priority(101))) TUnitBodies g_unitBodies{"ClHook", HookUnitInit, HookUnitDone};
}

} // namespace kv::crash
