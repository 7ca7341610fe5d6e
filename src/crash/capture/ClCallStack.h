#pragma once
// Call stacks without frame pointers or unwind tables: a scan of raw stack words for plausible
// return addresses (words just behind an x86 CALL), each resolved through the address lookup,
// filtered by the detail the options show, with leftover copies of return addresses hidden.
// A walk keeps no state; it runs on the reporting thread over memory it may only read through
// its environment's checked reads.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "crash/capture/ClDebugInfo.h"
#include "crash/capture/ClMemoryReader.h"

namespace kv::crash {

// Frames of one or more stacks, the most recent call first; owns its entries.
class TCrashStackList {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    PCrashDebugInfo Items(int index) const { return items_[index].get(); }
    PCrashDebugInfo operator[](int index) const { return items_[index].get(); }
    void Add(std::unique_ptr<TCrashDebugInfo> info) { items_.push_back(std::move(info)); }
    void Delete(int index) { items_.erase(items_.begin() + index); }
    void Clear() { items_.clear(); }

private:
    std::vector<std::unique_ptr<TCrashDebugInfo>> items_;
};

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

// The details a report shows: always source code; procedures of other modules with the
// call-stack option csoShowDLLs (bit 0), units and procedures with csoShowBPLs (bit 1).
TCrashDebugDetails GetShownDebugDetails(uint8_t callStackOptions);

// Appends the frames of one stack to list: the first address (the faulting one, 0 for none) as
// the error line, then every return address found between stackPointer and stackTop.
// firstLevel -1 keeps every shown frame; otherwise frames firstLevel to firstLevel + levelCount
// - 1 of those shown. Without full information frames carry only their module.
void WalkStack(TCrashStackList& list, uint32_t firstAddress, uint32_t stackPointer,
               uint32_t stackTop, uint32_t threadId, bool runningThread, bool fullInformation,
               bool addCallTargets, int firstLevel, int levelCount, TCrashDebugDetails shown,
               const TStackWalkEnvironment& env = ProcessStackWalkEnvironment());

// A new list with the frames of one stack, resolved in full. The caller owns it.
std::unique_ptr<TCrashStackList>
GetCallStackByAddresses(uint32_t firstAddress, uint32_t stackPointer, uint32_t stackTop,
                        uint32_t threadId, bool runningThread, bool addCallTargets, int firstLevel,
                        int levelCount, TCrashDebugDetails shown,
                        const TStackWalkEnvironment& env = ProcessStackWalkEnvironment());

} // namespace kv::crash
