// Native builds list no Windows processes: a refresh leaves the list empty.
#include "crash/debug/ClDebugProcesses.h"

namespace kv::crash {

TProcessListMethod DefaultProcessListMethod() {
    return TProcessListMethod::BySnapshot;
}
void RefreshProcessesList(TProcessListMethod) {
    if (TCrashProcessesList* list = ProcessesList()) list->Clear();
}
void RefreshProcessesList() {
    RefreshProcessesList(DefaultProcessListMethod());
}

} // namespace kv::crash
