#include "crash/report/ClScreenshot.h"

namespace kv::crash {

// No screen to capture in the native build.
bool CaptureScreenshot() {
    return false;
}

void WritePNGImage(kv::TStream&) {}

void ReleaseScreenshot() {}

} // namespace kv::crash
