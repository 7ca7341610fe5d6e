#include "crash/report/ClReportHalf.h"

namespace kv::crash {

void InstallReportTextHalf(TCrashReportHalf& half);

void InstallReportHalf(TCrashReportHalf& half) {
    InstallReportTextHalf(half);
    half.CountDuplicateReport = &CountDuplicateReport;
    half.SaveReportToLogFile = &SaveReportToLogFile;
    half.LastLogItemValue = &LastLogItemValue;
}

namespace {

// Registered before the engine starts (its start-up runs at priority 102), so the first
// report already has the whole half.
struct TReportHalfRegistration {
    TReportHalfRegistration() { SetReportHalfInstaller(&InstallReportHalf); }
};
__attribute__((init_priority(101))) TReportHalfRegistration g_registration;

} // namespace

} // namespace kv::crash

// The linker keeps this unit (and so the registration above) in every program linked with
// -Wl,-u,_KvCrashReportHalfAnchor.
extern "C" void KvCrashReportHalfAnchor() {}
