// Plugs the report half, the dialogs and delivery into the engine of a program that carries
// the component.
#include "crash/capture/CrashLogMain.h"
#include "crash/dialogs/ClExceptionDialog.h"
#include "crash/send/ClSendReport.h"

namespace kv::crash {

namespace {

void InstallSendHalf(TCrashReportHalf& half) {
    InstallDialogHalf(half);
    half.StartReportSending = &StartReportSending;
}

// Registered before the engine starts (its start-up runs at priority 102), so the first
// report already has the whole half.
struct TSendHalfRegistration {
    TSendHalfRegistration() { SetReportHalfInstaller(&InstallSendHalf); }
};
__attribute__((init_priority(101))) TSendHalfRegistration g_registration;

} // namespace

} // namespace kv::crash

// The linker keeps this unit (and so the registration above) in every program linked with
// -Wl,-u,_KvCrashReportHalfAnchor.
extern "C" void KvCrashReportHalfAnchor() {}
