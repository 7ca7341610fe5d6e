#pragma once
// A picture of the screen (or a part of it) saved as a PNG file, for people to look at the
// program's windows (test runs under Xvfb, documentation). Interface thread.
#include <windows.h>

#include <string>

namespace kv {

// Captures the screen area (the whole screen when area is null) with GDI and writes it as an
// 8-bit RGB PNG file. False when the capture or the file fails.
bool SaveScreenshotPng(const std::u16string& path, const RECT* area = nullptr);

} // namespace kv
