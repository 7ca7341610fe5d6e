#include "app/TVessant.h"

#include <windows.h>
#include <shellapi.h>

#include "base/FileSystem.h"

namespace {

class ProcessHandle { // CloseHandle; null = empty
public:
    explicit ProcessHandle(HANDLE h) noexcept : h_(h) {}
    ~ProcessHandle() {
        if (h_) CloseHandle(h_);
    }
    ProcessHandle(const ProcessHandle&) = delete;
    ProcessHandle& operator=(const ProcessHandle&) = delete;
    HANDLE get() const noexcept { return h_; }

private:
    HANDLE h_;
};

} // namespace

void TVessant::Run(const std::u16string& instructionFile, const std::u16string& programName,
                   void* parentWindow) {
    const std::u16string program = kv::ExtractFilePath(kv::GetProgramFileName()) + programName;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // No error box of the shell's own: a missing or refused program is reported to nobody.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.hwnd = static_cast<HWND>(parentWindow);
    info.lpVerb = L"open";
    info.lpFile = reinterpret_cast<const wchar_t*>(program.c_str());
    // The whole parameter text, unquoted: the association program reads its command line so.
    info.lpParameters = reinterpret_cast<const wchar_t*>(instructionFile.c_str());
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info)) return;
    const ProcessHandle process(info.hProcess);
    // A start through DDE or an already running instance gives no process to wait for.
    if (reinterpret_cast<INT_PTR>(info.hInstApp) > 32 && process.get())
        WaitForSingleObject(process.get(), INFINITE);
}
