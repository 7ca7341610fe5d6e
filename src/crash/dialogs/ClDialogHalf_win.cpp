// The report half with the dialogs, as the engine of a program that carries the component
// gets it (the send layer adds delivery and registers the whole).
#include "crash/capture/CrashLogMain.h"
#include "crash/dialogs/ClAppKind.h"
#include "crash/dialogs/ClExceptionDialog.h"
#include "crash/report/ClReportHalf.h"

namespace kv::crash {

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

} // namespace kv::crash
