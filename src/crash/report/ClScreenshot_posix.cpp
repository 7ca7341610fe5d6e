#include "crash/report/ClScreenshot.h"

namespace kv::crash {

// No screen to capture in the native build.
bool CaptureScreenshot() {
    return false;
}

bool WritePNGImage(kv::TStream&) {
    return false;
}

void ReleaseScreenshot() {}

} // namespace kv::crash
