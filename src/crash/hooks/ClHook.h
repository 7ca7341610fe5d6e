#pragma once
// Code hooks of the crash-report component: detours with trampolines, import-table entry
// replacement and virtual-method slot replacement, each undoable and undone at shut-down; and
// the x86 instruction-length decoder they need. The length decoder is portable; the hooks are
// 32-bit Windows only. Detour and import hooks are made and removed on one thread (start-up and
// shut-down); virtual-method hooks may come from any thread.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/Exception.h"

namespace kv::crash {

// Length of the instruction at code, prefixes included. False (length 1) when the opcode tables
// give no length. Reads up to 19 bytes at code.
bool GetAsmSize(const void* code, uint8_t& length);

// Bytes from start up to and including the first return instruction, walking whole
// instructions (one of unknown length counts as 1 byte). 0 for a maximum of 0; 1 when no return
// starts within maxLength bytes or when reading would leave readable memory. Only the bytes
// that pass the platform's validity test are read.
uint32_t GetFunctionSize(const void* start, uint32_t maxLength);

// What the length decoder found at one address.
struct AsmShape {
    bool known = false;     // the tables gave a length
    bool truncated = false; // decoding needed bytes beyond the available ones
    bool twoByte = false;   // opcode after 0F
    uint8_t prefixes = 0;
    uint8_t opcode = 0; // the (second, after 0F) opcode byte
    uint8_t length = 0; // whole instruction, when known
};
// Decodes the instruction at p, reading only the first available bytes.
AsmShape DecodeAsmShape(const uint8_t* p, size_t available);
// GetFunctionSize over a buffer of which the first available bytes may be read.
uint32_t FunctionSizeInBytes(const uint8_t* start, size_t available, uint32_t maxLength);
bool IsFunctionEndOpcode(uint8_t opcode);

// Failures of the hooking routines (the only routines of the component that raise).
class EHookError : public Exception {
public:
    using Exception::Exception;
};
class EProcNull : public EHookError {
public:
    using EHookError::EHookError;
};
class EHookingError : public EHookError {
public:
    using EHookError::EHookError;
};
class ESharedArea : public EHookError {
public:
    using EHookError::EHookError;
};

// One patched import entry, kept so that shut-down can put the old address back.
struct TSaveDLLProc {
    uint32_t HookModule = 0;  // module whose import table was patched
    std::string ExportModule; // the DLL's name
    void* OldProc = nullptr;  // what the entry held
    void* NewProc = nullptr;  // what was written
};

// Detours procedure so that calls reach newProcedure; returns the trampoline, through which the
// original still runs. Hooking a procedure twice returns the first trampoline and changes
// nothing. Raises EProcNull for a null procedure, EHookingError when the detour cannot be built.
void* HookProcedureEx(void* procedure, void* newProcedure, const std::string& name);
// Removes every detour whose original or trampoline is address; false when there is none.
bool UnhookProcedure(void* address);
// Writes a 5-byte relative jump to target at `at`.
void JumpToMem(void* at, const void* target);

// Redirects the import entries of dllName.procName in the loaded module moduleName (empty: the
// program) to newProc; returns the replaced address. Raises EHookError on every failure.
void* HookDllProcedureEx(const std::string& moduleName, const std::string& dllName,
                         const std::string& procName, void* newProc);
// The same for each listed module that is loaded; oldProc receives the DLL's exported address
// even when nothing was patched. True when at least one entry was patched. Without tolerate, a
// loaded module that does not import the procedure raises EHookingError.
bool TryHookDllProcedureEx(const std::vector<std::string>& moduleNames, const std::string& dllName,
                           const std::string& procName, void* newProc, void*& oldProc,
                           bool tolerate);
// The saved import patches, oldest first (for inspection).
std::vector<TSaveDLLProc> SavedDllProcs();

// Replaces slot `slot` of the virtual-method table vtable (what an object's vptr holds);
// returns the original method, also when the slot already holds newMethod. nullptr when the
// hooks are not set up.
void* HookVirtualMethod(void* vtable, int slot, void* newMethod);
// Puts the original method back when the slot is recorded; false otherwise.
bool UnhookVirtualMethod(void* vtable, int slot);

// Set up and tear down the hooks' lists (run once at start-up and once at shut-down; shut-down
// undoes every hook that is still in place and never raises).
void HookUnitInit();
void HookUnitDone();

} // namespace kv::crash
