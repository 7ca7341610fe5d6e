#pragma once
// The list of processes running on the machine, for the report: id, executable path, file
// description and version, priority class, working set and thread count. The system interfaces
// are looked up by name at run time; a missing one only leaves fields empty. Any thread; the list
// guards itself with its re-entrant lock.
#include <cstdint>

#include "crash/core/CrashRecordLists.h"

namespace kv::crash {

// The single list of the process: created at the component's start-up, freed at shut-down.
TCrashProcessesList* ProcessesList();
void CreateProcessesList();
void FreeProcessesList();

// Rebuilds the list, sorted by process id. Does nothing without the list.
void RefreshProcessesList();

// How a refresh finds the processes; the system's generation chooses one.
enum class TProcessListMethod {
    ByProcessIds,      // NT 4: every id, processes that cannot be opened left out
    BySnapshotOpening, // before Vista: snapshot entries, each process opened for its data
    BySnapshot,        // Vista and later: snapshot entries as they stand
};
TProcessListMethod DefaultProcessListMethod();
void RefreshProcessesList(TProcessListMethod method);

// Index of the process in the sorted list, -1 when absent.
int FindProcessIndex(uint32_t processId);

// The priority class of a base priority (0 gives 0).
uint32_t BasePriorityToClass(int32_t basePriority);

} // namespace kv::crash
