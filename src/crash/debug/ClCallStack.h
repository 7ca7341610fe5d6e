#pragma once
// Call stacks without frame pointers or unwind tables: a scan of raw stack words for plausible
// return addresses (words just behind an x86 CALL), each resolved through the address lookup,
// filtered by the detail the options show, with leftover copies of return addresses hidden.
// A walk keeps no state; it runs on the reporting thread over memory it may only read through
// its environment's checked reads.
#include <cstdint>
#include <memory>
#include <string>

#include "crash/debug/ClDebugInfo.h"
#include "crash/core/ClMemoryReader.h"
#include "crash/core/CrashRecordLists.h"
#include "crash/core/TCrashModuleOptions.h"

namespace kv::crash {

// What a walk needs of the process: memory, lookups and the module of an address.
class TStackWalkEnvironment {
public:
    virtual const TMemoryReader& Memory() const = 0;
    // The full lookup of an address (GetDebugInfoByAddr).
    virtual void GetDebugInfoByAddr(uint32_t address, uint32_t threadId, TCrashDebugInfo& info,
                                    bool runningThread, bool errorLine) const = 0;
    // The module holding an address, for frames taken without lookup: its handle (0 for none)
    // and file name.
    virtual void ModuleOfAddr(uint32_t address, uint32_t& handle, std::string& fileName) const = 0;
    // An import thunk's final target; other addresses unchanged.
    virtual uint32_t ConvertAddress(uint32_t address) const = 0;
    virtual bool IntoIDE() const = 0;

protected:
    ~TStackWalkEnvironment() = default; // never owned through this interface
};

// This process.
const TStackWalkEnvironment& ProcessStackWalkEnvironment();

// Most bytes of stack one walk scans, and most entries it lets a list reach.
constexpr uint32_t kMaxStackScanBytes = 102400;
constexpr int kMaxStackListEntries = 1025;

// The details a report shows: always source code; procedures with the call-stack option
// csoShowDLLs, units and procedures with csoShowBPLs.
TCrashDebugDetails GetShownDebugDetails(TCallStackOptions callStackOptions);
TCrashDebugDetails GetShownDebugDetails(const TCrashModuleOptions& options);

// Appends the frames of one stack to list: the first address (the faulting one, 0 for none) as
// the error line, then every return address found between stackPointer and stackTop.
// firstLevel -1 keeps every shown frame; otherwise frames firstLevel to firstLevel + levelCount
// - 1 of those shown. Without full information frames carry only their module (a record of
// the walk's own, with handle and file name, kept for the life of the process).
void WalkStack(TCrashStackList& list, uintptr_t firstAddress, uintptr_t stackPointer,
               uintptr_t stackTop, uint32_t threadId, bool runningThread, bool fullInformation,
               bool addCallTargets, int firstLevel, int levelCount, TCrashDebugDetails shown,
               const TStackWalkEnvironment& env = ProcessStackWalkEnvironment());

// A new list with the frames of one stack, resolved in full. The caller owns it.
std::unique_ptr<TCrashStackList>
GetCallStackByAddresses(uintptr_t firstAddress, uintptr_t stackPointer, uintptr_t stackTop,
                        uint32_t threadId, bool runningThread, bool addCallTargets, int firstLevel,
                        int levelCount, TCrashDebugDetails shown,
                        const TStackWalkEnvironment& env = ProcessStackWalkEnvironment());

} // namespace kv::crash
