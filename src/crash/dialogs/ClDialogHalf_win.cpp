// Plugs the report half and the dialogs into the engine of a program that carries the
// component.
#include "crash/capture/CrashLogMain.h"
#include "crash/dialogs/ClAppKind.h"
#include "crash/dialogs/ClExceptionDialog.h"
#include "crash/report/ClReportHalf.h"

namespace kv::crash {

namespace {

void InstallDialogHalf(TCrashReportHalf& half) {
    InstallReportHalf(half);
    half.ShowExceptionDialog = &ShowExceptionDialog;
    half.ShowReproduceRequest = &ShowReproduceRequest;
    half.ShowWebErrorPage = [](const std::string& text) { ShowWebErrorPage(text); };
    half.GenerateHTML = [](const std::string& text, bool okButton) {
        return GenerateHTML(text, okButton);
    };
    half.IsWebApplication = &IsWebApplication;
    half.IsCGIApplication = &IsCGIApplication;
}

// Registered before the engine starts (its start-up runs at priority 102), so the first
// report already has the whole half.
struct TDialogHalfRegistration {
    TDialogHalfRegistration() { SetReportHalfInstaller(&InstallDialogHalf); }
};
__attribute__((init_priority(101))) TDialogHalfRegistration g_registration;

} // namespace

} // namespace kv::crash

// The linker keeps this unit (and so the registration above) in every program linked with
// -Wl,-u,_KvCrashReportHalfAnchor.
extern "C" void KvCrashReportHalfAnchor() {}
