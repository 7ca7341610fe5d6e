#include "crash/debug/ClCallStack.h"

#include <map>
#include <mutex>

#include "crash/core/ClCore.h"
#include "crash/debug/ClDebug.h"
#include "crash/debug/ClDebugModules.h"

namespace kv::crash {

namespace {

// Readable bytes are checked in steps of this size rather than per word.
constexpr int kReadableStep = 400;

uint32_t Le32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}

bool Resolved(TCrashDebugDetail d) {
    return d >= ddProcedure && d <= ddSourceCode;
}

// Module records of frames taken without lookup: one per module, kept until the process ends
// (frames are freed with their lists, and the records must outlive every frame).
TCrashModuleInfo* LightModuleInfo(uint32_t handle, const std::string& fileName) {
    static std::mutex lock;
    static std::map<std::pair<uint32_t, std::string>, std::unique_ptr<TCrashModuleInfo>> records;
    const std::lock_guard<std::mutex> guard(lock);
    auto& record = records[{handle, fileName}];
    if (!record) {
        record = std::make_unique<TCrashModuleInfo>();
        record->Handle = handle;
        record->Name = fileName;
    }
    return record.get();
}

class TWalk {
public:
    TWalk(TCrashStackList& list, uint32_t threadId, bool running, bool full, int firstLevel,
          int levelCount, TCrashDebugDetails shown, const TStackWalkEnvironment& env)
        : list_(list), threadId_(threadId), running_(running), full_(full), firstLevel_(firstLevel),
          levelCount_(levelCount), shown_(shown), env_(env), memory_(env.Memory()) {}

    void AddFrame(uint32_t address, bool errorLine) {
        if (list_.Count() > kMaxStackListEntries - 1) return;
        auto e = std::make_unique<TCrashDebugInfo>();
        if (full_) {
            env_.GetDebugInfoByAddr(address, threadId_, *e, running_, errorLine);
        } else {
            e->DebugDetail = ddModule;
            e->RunningThread = running_;
            e->ErrorLine = errorLine;
            e->ThreadID = threadId_;
            e->Addr = address;
            uint32_t handle = 0;
            std::string fileName;
            env_.ModuleOfAddr(address, handle, fileName);
            e->ModuleInfo = LightModuleInfo(handle, fileName);
        }
        if (!errorLine && !shown_.Contains(e->DebugDetail)) return;
        if (firstLevel_ == -1 || (levels_ >= firstLevel_ && added_ < levelCount_)) {
            list_.Add(std::move(e));
            ++added_;
        }
        ++levels_;
    }

    // The word R found on the stack: when the bytes before it are a call, its frame(s).
    void TestReturnAddress(uint32_t r, bool addCallTargets) {
        uint8_t b[7];
        if (!memory_.Read(r - 7, b, 7)) return;
        auto at = [&](int k) { return b[7 - k]; }; // the byte at R - k
        auto in = [](uint8_t v, uint8_t lo, uint8_t hi) { return v >= lo && v <= hi; };
        if (at(5) == 0xE8) { // call rel32
            uint32_t target = r + Le32(&b[3]);
            if (!memory_.IsValid(target, 1)) return;
            if (addCallTargets) {
                target = env_.ConvertAddress(target);
                uint8_t first;
                if (memory_.IsValid(target, 5) && memory_.ReadU8(target, first) && first != 0xE8)
                    AddFrame(target, false);
            }
            AddFrame(r - 5, false);
            return;
        }
        if (at(2) == 0xFF && in(at(1), 0xD0, 0xD7)) { // call reg
            AddFrame(r - 2, false);
            return;
        }
        if (at(2) == 0xFF && (in(at(1), 0x10, 0x13) || in(at(1), 0x16, 0x17))) { // call [reg]
            AddFrame(r - 2, false);
            return;
        }
        if (at(3) == 0xFF && (in(at(2), 0x50, 0x53) || in(at(2), 0x55, 0x57))) { // [reg+disp8]
            if (at(5) == 0x8B || at(6) == 0x8B) AddFrame(r - 3, false);
            return;
        }
        if (at(6) == 0xFF && (in(at(5), 0x90, 0x93) || in(at(5), 0x95, 0x97))) { // [reg+disp32]
            AddFrame(r - 6, false);
            return;
        }
        if (at(3) == 0xFF && at(2) == 0x14 && at(1) == 0x24) { // call [esp]
            AddFrame(r - 3, false);
            return;
        }
        if (at(4) == 0xFF && at(3) == 0x54 && at(2) == 0x24) { // call [esp+disp8]
            AddFrame(r - 4, false);
            return;
        }
        if (at(7) == 0xFF && at(6) == 0x94 && at(5) == 0x24) { // call [esp+disp32]
            AddFrame(r - 7, false);
            return;
        }
        if (at(6) == 0xFF && at(5) == 0x15) { // call [absolute]
            if (memory_.IsValid(Le32(&b[3]), 4)) AddFrame(r - 6, false);
            return;
        }
    }

private:
    TCrashStackList& list_;
    const uint32_t threadId_;
    const bool running_, full_;
    const int firstLevel_, levelCount_;
    const TCrashDebugDetails shown_;
    const TStackWalkEnvironment& env_;
    const TMemoryReader& memory_;
    int levels_ = 0;
    int added_ = 0;
};

const TCrashModuleInfo* ModuleOf(const TCrashDebugInfo& e) {
    return e.ModuleInfo;
}

TCrashDebugInfo& At(const TCrashStackList& list, int index) {
    return *list.GetItem(index);
}

// The next entry after from that is resolved to a procedure in the given module, or -1.
int NextInModule(const TCrashStackList& list, int from, uint32_t handle) {
    for (int j = from + 1; j < list.Count(); ++j) {
        const TCrashDebugInfo& e = At(list, j);
        if (!Resolved(e.DebugDetail) || !ModuleOf(e)) continue;
        if (ModuleOf(e)->Handle == handle) return j;
    }
    return -1;
}

bool SameThread(const TCrashDebugInfo& a, const TCrashDebugInfo& b) {
    return a.ThreadID == b.ThreadID && a.RunningThread == b.RunningThread;
}

bool SameProcedure(const TCrashDebugInfo& a, const TCrashDebugInfo& b) {
    return a.UnitName == b.UnitName && a.ClassName == b.ClassName &&
           a.ProcedureName == b.ProcedureName;
}

void RemoveRepeats(TCrashStackList& list, int start, bool full, const TStackWalkEnvironment& env) {
    if (env.IntoIDE() && full)
        for (int i = list.Count() - 1; i >= start; --i) {
            const TCrashDebugInfo& e = At(list, i);
            if (e.DebugDetail < ddProcedure ||
                e.ProcedureName.find("HandleException") != std::string::npos)
                list.Delete(i);
        }
    // A return address found again one or two module frames deeper is a stale copy: the more
    // recent copy is hidden.
    for (int i = list.Count() - 2; i >= start; --i) {
        TCrashDebugInfo& e = At(list, i);
        if (!Resolved(e.DebugDetail) || !ModuleOf(e)) continue;
        const uint32_t handle = ModuleOf(e)->Handle;
        const int j = NextInModule(list, i, handle);
        if (j < 0) continue;
        if (At(list, j).Addr == e.Addr) {
            e.DebugDetail = ddNone;
            continue;
        }
        const int k = NextInModule(list, j, handle);
        if (k >= 0 && At(list, k).Addr == e.Addr) e.DebugDetail = ddNone;
    }
    // A frame on the first line of its procedure, below a frame of the same procedure further
    // into it: the frames between them are leftovers. The search stays within this walk and
    // this thread.
    for (int c = list.Count() - 1; c > start; --c) {
        const TCrashDebugInfo& e = At(list, c);
        if (e.DebugDetail != ddSourceCode || e.ProcOffsetLine != 0) continue;
        auto unrelated = [&](int i) {
            const TCrashDebugInfo& o = At(list, i);
            return SameThread(e, o) && (!SameProcedure(e, o) || o.ProcOffsetLine == 0);
        };
        int i = c - 1;
        while (i > start && unrelated(i)) --i;
        if (!SameThread(e, At(list, i)) || unrelated(i)) continue;
        for (int k = i + 1; k < c; ++k) At(list, k).DebugDetail = ddNone;
    }
}

class TProcessEnvironment final : public TStackWalkEnvironment {
public:
    const TMemoryReader& Memory() const override { return ProcessMemory(); }
    void GetDebugInfoByAddr(uint32_t address, uint32_t threadId, TCrashDebugInfo& info,
                            bool runningThread, bool errorLine) const override {
        crash::GetDebugInfoByAddr(address, threadId, info, runningThread, errorLine);
    }
    void ModuleOfAddr(uint32_t address, uint32_t& handle, std::string& fileName) const override {
        handle = static_cast<uint32_t>(FindModuleOfAddr(address));
        fileName = handle ? ProcessModules().ModuleFileName(handle) : std::string();
    }
    uint32_t ConvertAddress(uint32_t address) const override {
        return static_cast<uint32_t>(crash::ConvertAddress(address));
    }
    bool IntoIDE() const override { return crash::IntoIDE(); }
};

} // namespace

const TStackWalkEnvironment& ProcessStackWalkEnvironment() {
    static const TProcessEnvironment env;
    return env;
}

TCrashDebugDetails GetShownDebugDetails(TCallStackOptions callStackOptions) {
    TCrashDebugDetails d{ddSourceCode};
    if (callStackOptions.Contains(csoShowDLLs)) d.Include(ddProcedure);
    if (callStackOptions.Contains(csoShowBPLs)) d.Include(ddUnitAndProcedure);
    return d;
}

TCrashDebugDetails GetShownDebugDetails(const TCrashModuleOptions& options) {
    return GetShownDebugDetails(options.CallStackOptions());
}

void WalkStack(TCrashStackList& list, uintptr_t firstAddress, uintptr_t stackPointer,
               uintptr_t stackTop, uint32_t threadId, bool runningThread, bool fullInformation,
               bool addCallTargets, int firstLevel, int levelCount, TCrashDebugDetails shown,
               const TStackWalkEnvironment& env) {
    const int start = list.Count();
    TWalk walk(list, threadId, runningThread, fullInformation, firstLevel, levelCount, shown, env);
    if (firstAddress != 0) walk.AddFrame(static_cast<uint32_t>(firstAddress), true);
    uint64_t top = stackTop;
    if (stackPointer < stackTop && stackTop - stackPointer > kMaxStackScanBytes)
        top = uint64_t(stackPointer) + kMaxStackScanBytes;
    const TMemoryReader& memory = env.Memory();
    int known = 0;
    for (uint64_t p = stackPointer; p <= top && p <= 0xFFFFFFFCull; p += 4) {
        try {
            const uint32_t at = static_cast<uint32_t>(p);
            if (known <= 0)
                known = memory.IsValid(at, kReadableStep) ? kReadableStep
                        : memory.IsValid(at, 4)           ? 4
                                                          : 0;
            if (known > 0) {
                uint32_t word;
                if (!memory.ReadU32(at, word)) {
                    known = 0;
                    continue;
                }
                walk.TestReturnAddress(word, addCallTargets);
                known -= 4;
            }
        } catch (...) {
            known = 0; // a fault while a word is examined: go on with the next word
        }
    }
    RemoveRepeats(list, start, fullInformation, env);
}

std::unique_ptr<TCrashStackList> GetCallStackByAddresses(uintptr_t firstAddress,
                                                         uintptr_t stackPointer, uintptr_t stackTop,
                                                         uint32_t threadId, bool runningThread,
                                                         bool addCallTargets, int firstLevel,
                                                         int levelCount, TCrashDebugDetails shown,
                                                         const TStackWalkEnvironment& env) {
    auto list = std::make_unique<TCrashStackList>();
    WalkStack(*list, firstAddress, stackPointer, stackTop, threadId, runningThread, true,
              addCallTargets, firstLevel, levelCount, shown, env);
    return list;
}

} // namespace kv::crash
