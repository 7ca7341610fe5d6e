#pragma once
// The crash-report component as a component of the window framework: placed on a form (the
// main window carries one), it takes the report's events. Its handlers run after the raising
// module's own and before the global procedure variables; the one created last runs first.
// Interface thread for creation; its handlers run on the thread that waits for a report.
#include "crash/capture/CrashLogMain.h"
#include "ui/Component.h"

namespace kv::crash {

class TCrashLog : public kv::TComponent, public TCrashLogEvents {
    KV_CLASS(TCrashLog)
public:
    explicit TCrashLog(kv::TComponent* owner);
    ~TCrashLog() override;
};

// Registers the class with the form reader (before any form that names it is read).
void RegisterCrashLogClass();

} // namespace kv::crash
