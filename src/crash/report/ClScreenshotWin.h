#pragma once
// The screen areas the screenshot and the report dialogs share: the process's windows and the
// monitors they span. Win32; any thread.
#include <windows.h>

namespace kv::crash {

// The union of the process's visible top-level windows of positive width; (-1,-1,-1,-1) when
// there is none.
RECT GetProcessWindowsRect(DWORD ProcessID);
// From the top-left of the monitor nearest Rect's top-left to the bottom-right of the one
// nearest its bottom-right; false, with Rect unchanged, when the monitor functions are missing
// or fail.
bool GetMonitorsSpanRect(RECT& Rect);

} // namespace kv::crash
