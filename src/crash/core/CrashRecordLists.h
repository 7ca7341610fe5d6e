#pragma once
// The records of the crash-report component and the lists that own them: the frames of a call
// stack (one owner, no lock), and the registered modules, the running processes and a module's
// exported functions (each guarded by a re-entrant lock, used by several threads).
#include <algorithm>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/Stream.h"
#include "crash/core/ClTypes.h"
#include "crash/core/TCrashModuleOptions.h"
#include "crash/core/TClDebugInfoSource.h"

namespace kv::crash {

enum TCrashModuleType : uint8_t { mtUnknown, mtMainModule, mtBorlandPackage, mtOSLibrary };

// How much of an address could be resolved, least to most.
enum TCrashDebugDetail : uint8_t {
    ddNone,
    ddModule,
    ddProcedure,
    ddUnitAndProcedure,
    ddSourceCode
};
using TCrashDebugDetails = TSet<TCrashDebugDetail, 1>;

// A list of owned records behind a re-entrant lock. Every operation takes the lock; a thread
// that holds Lock() may call them all. Indexes out of range read nullptr and delete nothing.
template <class T> class TCrashLockedList {
public:
    TCrashLockedList() = default;
    virtual ~TCrashLockedList() = default; // descendants clear in their destructors
    TCrashLockedList(const TCrashLockedList&) = delete;
    TCrashLockedList& operator=(const TCrashLockedList&) = delete;

    void Lock() const { FCS.lock(); }
    void Unlock() const { FCS.unlock(); }

    int Count() const {
        std::lock_guard<std::recursive_mutex> guard(FCS);
        return static_cast<int>(items_.size());
    }
    // The record at index, still owned by the list.
    T* GetItem(int index) const {
        std::lock_guard<std::recursive_mutex> guard(FCS);
        return index >= 0 && index < static_cast<int>(items_.size())
                   ? items_[static_cast<size_t>(index)].get()
                   : nullptr;
    }
    // Appends a record; returns its index.
    int Add(std::unique_ptr<T> item) {
        std::lock_guard<std::recursive_mutex> guard(FCS);
        items_.push_back(std::move(item));
        return static_cast<int>(items_.size()) - 1;
    }
    // Takes the record out under the lock and frees it (and what it owns) after leaving it.
    void Delete(int index) {
        std::unique_ptr<T> taken;
        {
            std::lock_guard<std::recursive_mutex> guard(FCS);
            if (index < 0 || index >= static_cast<int>(items_.size())) return;
            taken = std::move(items_[static_cast<size_t>(index)]);
            items_.erase(items_.begin() + index);
        }
        FreeRecord(std::move(taken));
    }
    void Clear() {
        std::lock_guard<std::recursive_mutex> guard(FCS);
        for (size_t n = items_.size(); n > 0; --n) Delete(0);
        items_.clear();
    }
    // Orders the records by less(const T&, const T&).
    template <class Less> void Sort(Less less) {
        std::lock_guard<std::recursive_mutex> guard(FCS);
        std::stable_sort(
            items_.begin(), items_.end(),
            [&](const std::unique_ptr<T>& a, const std::unique_ptr<T>& b) { return less(*a, *b); });
    }

protected:
    virtual void FreeRecord(std::unique_ptr<T> record) { record.reset(); }

private:
    mutable std::recursive_mutex FCS;
    std::vector<std::unique_ptr<T>> items_;
};

// One exported function of a module.
struct TCrashFunctionInfo {
    std::string Name;
    uintptr_t Addr = 0;
    uint32_t Size = 0; // 0: not measured yet; 1: lies below the module's code
};
using PCrashFunctionInfo = TCrashFunctionInfo*;

class TCrashFunctionsList final : public TCrashLockedList<TCrashFunctionInfo> {
public:
    ~TCrashFunctionsList() override { Clear(); }
};

// What the module's compiled-in block holds.
struct TCrashExtraInformation {
    uint16_t CrashVersion = 0; // data version of the block
    TDateTime CompilationDate = 0;
    std::unique_ptr<TCrashModuleOptions> Options;        // always created for a registered module
    std::unique_ptr<kv::TMemoryStream> DebugInformation; // the module's debug data, or none
};

// One registered module.
struct TCrashModuleInfo {
    uintptr_t Handle = 0; // load address
    std::string Name;     // full file name
    std::string Description;
    std::string Version;
    uint32_t Size = 0; // file size, low 32 bits
    std::unique_ptr<TCrashFunctionsList> FunctionsList;
    TCrashModuleType ModuleType = mtUnknown;
    TCrashExtraInformation ExtraInformation;
    std::unique_ptr<TClDebugInfoSource> OtherDebugData; // used without a block, or none
    TDateTime LastModified = 0;
    std::string EncryptPassword;
    bool IsValidEncryptPassword = true;
};
using PCrashModuleInfo = TCrashModuleInfo*;

class TCrashModulesList final : public TCrashLockedList<TCrashModuleInfo> {
public:
    ~TCrashModulesList() override { Clear(); }

protected:
    // The owned objects go one by one, each field emptied before its object is freed, so that
    // nothing freed stays reachable through the record.
    void FreeRecord(std::unique_ptr<TCrashModuleInfo> record) override;
};

// One running process.
struct TCrashProcessInfo {
    uint32_t ProcessID = 0;
    std::string Name; // full path of the executable where known, else its bare name
    std::string Description;
    std::string Version;
    uint32_t Priority = 0; // priority class
    uint32_t Memory = 0;   // working set in bytes, 0 when unknown
    uint32_t Threads = 0;
};
using PCrashProcessInfo = TCrashProcessInfo*;

class TCrashProcessesList final : public TCrashLockedList<TCrashProcessInfo> {
public:
    ~TCrashProcessesList() override { Clear(); }
};

// One call-stack frame resolved as far as the debug data allows.
struct TCrashDebugInfo {
    TCrashDebugDetail DebugDetail = ddNone;
    TCrashModuleInfo* ModuleInfo = nullptr; // not owned; the registry's record
    uint32_t ThreadID = 0;
    bool RunningThread = false;
    bool ErrorLine = false; // the address where the exception was raised
    bool IsALeak = false;
    std::string LeakType; // at most 64 characters
    uint32_t LeakSize = 0;
    uint32_t LeakCount = 0;
    uintptr_t Addr = 0;
    std::string UnitName;      // at most 255 characters
    std::string ClassName;     // at most 255 characters
    std::string ProcedureName; // at most 255 characters
    uint32_t Line = 0;
    uint32_t ProcOffsetLine = 0;
    std::string CustomMsg; // at most 255 characters
};
using PCrashDebugInfo = TCrashDebugInfo*;

// The frames of one call stack, most recent first. Belongs to one report or caller: no lock.
class TCrashStackList {
public:
    TCrashStackList() = default;
    TCrashStackList(const TCrashStackList&) = delete;
    TCrashStackList& operator=(const TCrashStackList&) = delete;

    int Count() const { return static_cast<int>(items_.size()); }
    PCrashDebugInfo GetItem(int index) const; // nullptr out of range
    int Add(std::unique_ptr<TCrashDebugInfo> item);
    // Appends a new frame that takes only DebugDetail, ModuleInfo, Addr, UnitName, ClassName,
    // ProcedureName and Line from source; returns it.
    PCrashDebugInfo AddFrom(const TCrashDebugInfo& source);
    void Delete(int index); // out of range: nothing
    void Clear();

private:
    std::vector<std::unique_ptr<TCrashDebugInfo>> items_;
};

} // namespace kv::crash
