#include "crash/capture/TCrashLog.h"

#include <windows.h>

#include "ui/ClassRegistry.h"

namespace kv::crash {

TCrashLog::TCrashLog(kv::TComponent* owner) : TComponent(owner) {
    RegisterCrashLogEvents(this);
    if (!IsCrashLogInstalled() && DebuggerAttached()) {
        const std::string text = "\r\nYou used a 'TCrashLog' component in module \"" +
                                 GetOwnModuleFileName() +
                                 "\" without activating CrashLog.\r\nTo activate CrashLog, use "
                                 "the IDE \"Project/CrashLog Options...\" menu.\r\n\r\nNOTE: This "
                                 "warning appears only if the program is run from the IDE!";
        CrashMessageBox(text, "Warning", 0x242030);
    }
}

TCrashLog::~TCrashLog() {
    UnregisterCrashLogEvents(this);
}

void RegisterCrashLogClass() {
    // No event of the main window's component is bound; the class takes the name and nothing
    // else from a form description.
    kv::RegisterComponentClass<TCrashLog>(u"TComponent");
}

} // namespace kv::crash
