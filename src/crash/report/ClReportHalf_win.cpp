#include "crash/report/ClReportHalf.h"

#include "crash/report/ClScreenshot.h"

namespace kv::crash {

void InstallReportTextHalf(TCrashReportHalf& half);

namespace {

// What the screenshot takes from the running report: its options, the focus and the cursor of
// the moment it started (outside a report: the calling module's options, no focus frame, the
// current cursor).
void InstallScreenshotHooks() {
    ScreenshotHooks.CurrentReportOptions = []() -> const TCrashModuleOptions* {
        return Report.CurrentRecord ? Report.Options : nullptr;
    };
    ScreenshotHooks.CurrentCrashLogOptions = []() -> const TCrashModuleOptions* {
        try {
            return CurrentCrashLogOptions();
        } catch (...) {
            return nullptr; // the component is not active
        }
    };
    ScreenshotHooks.ReportFocusWindow = []() -> uintptr_t {
        return Report.CurrentRecord ? Report.FocusWindow : 0;
    };
    ScreenshotHooks.ReportCursor = [](uintptr_t& cursor, int& x, int& y) {
        if (!Report.CurrentRecord || !Report.CursorKnown) return false;
        cursor = Report.Cursor;
        x = Report.CursorX;
        y = Report.CursorY;
        return true;
    };
}

// A picture is only worth taking when the report may carry it.
bool ScreenshotWanted() {
    const TCrashModuleOptions* o = Report.Options;
    return o && o->CommonSendOptions().Contains(sndSendScreenshot) &&
           (o->EMailSendMode() != esmNoSend || o->WebSendMode() != wsmNoSend);
}

} // namespace

void InstallReportHalf(TCrashReportHalf& half) {
    InstallReportTextHalf(half);
    half.CountDuplicateReport = &CountDuplicateReport;
    half.SaveReportToLogFile = &SaveReportToLogFile;
    half.LastLogItemValue = &LastLogItemValue;
    InstallScreenshotHooks();
    half.CaptureScreenshot = [] {
        Report.ScreenshotFile.clear();
        try {
            if (ScreenshotWanted()) CaptureScreenshot();
        } catch (...) {
            // No memory for the picture: the report goes on without it.
        }
    };
    // Written only when the person left "attach a screenshot" ticked.
    half.ScreenshotFileName = &GetScreenshotFileNameIfAttached;
    half.SaveCapturedScreenshot = [](const std::string& fileName) {
        if (SaveCapturedScreenshot(fileName)) Report.ScreenshotFile = fileName;
    };
    half.ReleaseScreenshot = &ReleaseScreenshot;
}

} // namespace kv::crash
