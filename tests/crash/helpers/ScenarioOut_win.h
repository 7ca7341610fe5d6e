#pragma once
// What a crash scenario program (or a library it loads) tells its test: one line appended to
// the file KOLVANE_CRASH_OUT names. The file is opened for each line, so what was written before
// a crash is on disk whatever the crash does to the process.
#include <windows.h>

#include <mutex>
#include <string>

namespace kvtest {

inline void ScenarioOut(const std::string& line) {
    static std::mutex lock;
    const std::lock_guard<std::mutex> guard(lock);
    char path[MAX_PATH] = {};
    if (!GetEnvironmentVariableA("KOLVANE_CRASH_OUT", path, MAX_PATH)) return;
    const HANDLE f = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    const std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(f);
}

} // namespace kvtest
