#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "DialogTestSupport_win.h"

namespace {

using namespace kvtest;

struct TWindowSearch {
    DWORD ProcessID;
    const char* ClassName;
    HWND Found = nullptr;
};

BOOL CALLBACK FindProcessWindow(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<TWindowSearch*>(p);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == s->ProcessID && IsWindowVisible(w) && ClassOf(w) == s->ClassName) {
        s->Found = w;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindChild(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<TWindowSearch*>(p);
    if (ClassOf(w) == s->ClassName) {
        s->Found = w;
        return FALSE;
    }
    return TRUE;
}

// The cells of a list view of another process, read through a buffer in that process.
std::vector<std::vector<std::string>> ReadListView(HWND list, DWORD pid, int columns) {
    std::vector<std::vector<std::string>> rows;
    const HANDLE process =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return rows;
    char* remote = static_cast<char*>(
        VirtualAllocEx(process, nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; remote && i < count; ++i) {
        std::vector<std::string> cells;
        for (int c = 0; c < columns; ++c) {
            LVITEMA item{};
            item.iSubItem = c;
            item.pszText = remote + 1024;
            item.cchTextMax = 1024;
            SIZE_T done = 0;
            WriteProcessMemory(process, remote, &item, sizeof item, &done);
            SendMessageA(list, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(remote));
            char text[1024] = {};
            ReadProcessMemory(process, remote + 1024, text, sizeof text - 1, &done);
            cells.emplace_back(text);
        }
        rows.push_back(cells);
    }
    if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return rows;
}

int SourceLine(const std::string& marker) {
    std::ifstream in(KOLVANE_CRASH_SCENARIOS_SOURCE);
    std::string line;
    for (int n = 1; std::getline(in, line); ++n)
        if (line.find(marker) != std::string::npos) return n;
    return -1;
}

TEST(CrashDialogScenario, ACrashShowsItsSymbolizedCallStackAndOKLetsTheProgramEnd) {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    SetEnvironmentVariableA("KOLVANE_CRASH_OUT", nullptr);
    std::string command = std::string("\"") + KOLVANE_CRASH_SCENARIOS + "\" dialog";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder,
                               &si, &pi));
    TWindowSearch dialog{pi.dwProcessId, "#32770"};
    WaitUntil(
        [&] {
            EnumWindows(&FindProcessWindow, reinterpret_cast<LPARAM>(&dialog));
            return dialog.Found != nullptr;
        },
        240000);
    std::vector<std::vector<std::string>> rows;
    std::string caption;
    if (dialog.Found) {
        caption = WindowText(dialog.Found);
        TWindowSearch list{pi.dwProcessId, "SysListView32"};
        WaitUntil([&] {
            EnumChildWindows(dialog.Found, &FindChild, reinterpret_cast<LPARAM>(&list));
            return list.Found && SendMessageA(list.Found, LVM_GETITEMCOUNT, 0, 0) > 0;
        });
        if (list.Found) rows = ReadListView(list.Found, pi.dwProcessId, 6);
        PostMessageW(dialog.Found, WM_COMMAND, MAKEWPARAM(102, BN_CLICKED), 0);
    }
    const bool ended = WaitForSingleObject(pi.hProcess, 120000) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(pi.hProcess, 99);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);

    ASSERT_NE(dialog.Found, nullptr) << "no dialog";
    EXPECT_EQ(caption, "Error occurred");
    const std::vector<std::string>* frame = nullptr;
    for (const auto& row : rows)
        if (row[4] == "CrashNullDereference") frame = &row;
    ASSERT_NE(frame, nullptr) << rows.size() << " rows";
    EXPECT_EQ((*frame)[1], "crash_scenarios.exe");
    EXPECT_EQ((*frame)[2], "CrashScenarios_win.cpp");
    const int line = SourceLine("// the faulting line");
    EXPECT_EQ((*frame)[5].rfind(std::to_string(line) + "[", 0), 0u) << (*frame)[5];
    // OK closes the dialog; the report goes on and the program ends with the exception's code.
    EXPECT_TRUE(ended);
    EXPECT_EQ(code, 0xC0000005u);
}

} // namespace
