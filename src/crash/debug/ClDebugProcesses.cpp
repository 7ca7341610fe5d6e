#include "crash/debug/ClDebugProcesses.h"

namespace kv::crash {

namespace {
// Outlives the running component, whose shut-down frees it.
__attribute__((init_priority(101))) std::unique_ptr<TCrashProcessesList> g_processesList;
} // namespace

TCrashProcessesList* ProcessesList() {
    return g_processesList.get();
}
void CreateProcessesList() {
    if (!g_processesList) g_processesList = std::make_unique<TCrashProcessesList>();
}
void FreeProcessesList() {
    g_processesList.reset();
}

int FindProcessIndex(uint32_t processId) {
    TCrashProcessesList* list = ProcessesList();
    if (!list) return -1;
    list->Lock();
    int lo = 0, hi = list->Count() - 1, found = -1;
    while (lo <= hi) {
        const int mid = lo + (hi - lo) / 2;
        const uint32_t id = list->GetItem(mid)->ProcessID;
        if (id == processId) {
            found = mid;
            break;
        }
        if (id < processId)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    list->Unlock();
    return found;
}

uint32_t BasePriorityToClass(int32_t basePriority) {
    if (basePriority <= 0) return 0;
    if (basePriority <= 5) return 0x40;    // IDLE
    if (basePriority <= 7) return 0x4000;  // BELOW_NORMAL
    if (basePriority <= 9) return 0x20;    // NORMAL
    if (basePriority <= 12) return 0x8000; // ABOVE_NORMAL
    if (basePriority <= 23) return 0x80;   // HIGH
    return 0x100;                          // REALTIME
}

} // namespace kv::crash
