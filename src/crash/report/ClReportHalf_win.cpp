#include "crash/report/ClReportHalf.h"

namespace kv::crash {

void InstallReportTextHalf(TCrashReportHalf& half);

void InstallReportHalf(TCrashReportHalf& half) {
    InstallReportTextHalf(half);
    half.CountDuplicateReport = &CountDuplicateReport;
    half.SaveReportToLogFile = &SaveReportToLogFile;
    half.LastLogItemValue = &LastLogItemValue;
}

} // namespace kv::crash
