#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "SettingsFileGuard.h"
#include "TestFiles.h"
#include "UiTestSupport.h"
#include "app/UnitFormMain.h"
#include "base/Text.h"
#include "ui/Application.h"
#include "ui/ComCtrls.h"
#include "ui/Screenshot.h"
#include "ui/StdCtrls.h"

namespace {

std::u16string Utf16(const char* s) {
    return kv::Utf8ToUtf16(s);
}

// The path with the platform's own delimiters, as a user would see it.
std::u16string Backslashed(std::u16string path) {
    for (char16_t& c : path)
        if (c == u'/') c = u'\\';
    return path;
}

// Runs the program with a command line as a shell would give it; its exit code, or -1 when it
// did not end within the time (it is then ended).
int RunProgram(const std::u16string& arguments, DWORD timeoutMs) {
    std::u16string line = u"\"" + Utf16(KOLVANE_PROGRAM) + u"\" " + arguments;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, reinterpret_cast<wchar_t*>(line.data()), nullptr, nullptr, FALSE,
                        0, nullptr, nullptr, &si, &pi))
        return -2;
    int code = -1;
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        DWORD exit = 0;
        GetExitCodeProcess(pi.hProcess, &exit);
        code = static_cast<int>(exit);
    } else {
        TerminateProcess(pi.hProcess, 99);
        WaitForSingleObject(pi.hProcess, 5000);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

// The names the program's file exports, read from its export directory.
std::set<std::string> ExportedNames(const std::u16string& path) {
    std::ifstream in(std::filesystem::path(reinterpret_cast<const wchar_t*>(path.c_str())),
                     std::ios::binary);
    const std::vector<char> file((std::istreambuf_iterator<char>(in)),
                                 std::istreambuf_iterator<char>());
    std::set<std::string> names;
    auto at = [&](size_t offset, size_t size) -> const char* {
        return offset + size <= file.size() ? file.data() + offset : nullptr;
    };
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(at(0, sizeof(IMAGE_DOS_HEADER)));
    if (!dos) return names;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(
        at(static_cast<size_t>(dos->e_lfanew), sizeof(IMAGE_NT_HEADERS32)));
    if (!nt) return names;
    const auto* sections = reinterpret_cast<const IMAGE_SECTION_HEADER*>(
        at(static_cast<size_t>(dos->e_lfanew) + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) +
               nt->FileHeader.SizeOfOptionalHeader,
           sizeof(IMAGE_SECTION_HEADER) * nt->FileHeader.NumberOfSections));
    if (!sections) return names;
    auto fileOffset = [&](DWORD rva) -> size_t {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData)
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        return file.size();
    };
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(
        at(fileOffset(dir.VirtualAddress), sizeof(IMAGE_EXPORT_DIRECTORY)));
    if (!dir.VirtualAddress || !exports) return names;
    const auto* table = reinterpret_cast<const DWORD*>(
        at(fileOffset(exports->AddressOfNames), sizeof(DWORD) * exports->NumberOfNames));
    for (DWORD i = 0; table && i < exports->NumberOfNames; ++i)
        if (const char* name = at(fileOffset(table[i]), 1))
            names.insert(std::string(name, strnlen(name, file.data() + file.size() - name)));
    return names;
}

// The visible top-level windows of a process, as "class: caption" lines, and the first one of
// a window class.
struct WindowSearch {
    DWORD process;
    std::string className;
    HWND found = nullptr;
    std::string seen;
};

BOOL CALLBACK MatchWindow(HWND wnd, LPARAM data) {
    auto* s = reinterpret_cast<WindowSearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(wnd, &owner);
    if (owner != s->process || !IsWindowVisible(wnd)) return TRUE;
    char cls[64] = {}, caption[256] = {};
    GetClassNameA(wnd, cls, sizeof cls);
    GetWindowTextA(wnd, caption, sizeof caption);
    s->seen += std::string(cls) + ": " + caption + "\n";
    if (!s->found && s->className == cls) s->found = wnd;
    return TRUE;
}

WindowSearch TopWindowsOf(DWORD process, const std::string& className) {
    WindowSearch search{process, className};
    EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search;
}

HWND TopWindowOf(DWORD process, const std::string& className) {
    return TopWindowsOf(process, className).found;
}

BOOL CALLBACK AddWindowText(HWND wnd, LPARAM data) {
    // WM_GETTEXT: GetWindowText of another process's window gives an edit control's first text.
    wchar_t text[1024] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutW(wnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        10000, &length);
    *reinterpret_cast<std::u16string*>(data) += reinterpret_cast<const char16_t*>(text);
    *reinterpret_cast<std::u16string*>(data) += u'\n';
    return TRUE;
}

// The texts of a window and its children, one after the other.
std::u16string WindowTexts(HWND wnd) {
    std::u16string texts;
    AddWindowText(wnd, reinterpret_cast<LPARAM>(&texts));
    EnumChildWindows(wnd, &AddWindowText, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

// Waits (bounded) until found() gives a window.
template <class Find> HWND WaitForWindow(Find found, DWORD timeoutMs) {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(50))
        if (const HWND wnd = found()) return wnd;
    return nullptr;
}

TEST(KolvaneProgram, AnAutomaticRunJoinsTheSamplesAndExitsZero) {
    const kvtest::SettingsFileGuard settings;
    const kvtest::TempFolder folder("program_run");
    const std::u16string out = folder.Path(u"結合 結果.csv"); // a space and non-ASCII text
    const std::u16string examples = Utf16(KOLVANE_EXAMPLES);
    const std::u16string arguments = u"-a \"-lf=" + examples + u"/left.csv\" -lk=2 -lt=1 \"-rf=" +
                                     examples + u"/right.csv\" -rk=0 -rt=1 \"-cf=" + out +
                                     u"\" -ci=0 -cs=1 -ct=0 -cc=0";
    ASSERT_EQ(RunProgram(arguments, 60000), 0);
    EXPECT_EQ(kvtest::TempFolder::Read(out),
              kvtest::TempFolder::Read(Utf16(KOLVANE_TEST_DATA "/app/samples_joined_ansi.csv")));
}

TEST(KolvaneProgram, CarriesTheRunningCrashReportComponentAndItsExports) {
    const std::set<std::string> names = ExportedNames(Utf16(KOLVANE_PROGRAM));
    for (const char* name :
         {"ExceptionNotify", "CustomDataRequest", "IsCrashLogInstalled", "StandardCrashError",
          "CrashLog_CallCreateThread", "CurrentCrashLogOptions"})
        EXPECT_EQ(names.count(name), 1u) << name;

    // A value of the command line that is not a boolean fails the start-up: the component
    // reports it (its classic dialog shows the message), and the program goes on.
    const kvtest::SettingsFileGuard settings;
    std::u16string line = u"\"" + Utf16(KOLVANE_PROGRAM) + u"\" -lt=x";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, reinterpret_cast<wchar_t*>(line.data()), nullptr, nullptr,
                               FALSE, 0, nullptr, nullptr, &si, &pi));
    const HWND box = WaitForWindow([&] { return TopWindowOf(pi.dwProcessId, "#32770"); }, 120000);
    EXPECT_NE(box, nullptr);
    if (box) {
        EXPECT_NE(WindowTexts(box).find(u"'x' is not a valid boolean value"), std::u16string::npos)
            << kv::Utf16ToUtf8(WindowTexts(box));
        // "OK" (nothing to send is configured).
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(1001, BN_CLICKED), 0);
        EXPECT_NE(WaitForWindow([&] { return IsWindow(box) ? nullptr : box; }, 60000), nullptr);
        const HWND main =
            WaitForWindow([&] { return TopWindowOf(pi.dwProcessId, "TFormMain"); }, 60000);
        EXPECT_NE(main, nullptr);
        // The program goes on after the report: its main window is there and answers.
        DWORD_PTR answer = 0;
        EXPECT_TRUE(main &&
                    SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 30000, &answer));
        // Closing the main window ends the program.
        if (main) PostMessageW(main, WM_CLOSE, 0, 0);
    }
    const bool ended = WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0;
    EXPECT_TRUE(ended);
    if (!ended) TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 30000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

// The main window with both samples loaded, keys and title rows set, for the documentation.
// The picture goes to KOLVANE_MAIN_SCREENSHOT when it is set, else to the temporary folder.
TEST(KolvaneProgram, ScreenshotOfTheMainWindowWithBothSamples) {
    const kvtest::SettingsFileGuard settings;
    const std::u16string title = kv::Application->Title();
    kv::Application->SetTitle(u"Kolvane");
    {
        TFormMain form(kv::Application);
        form.Arguments = [] {
            return std::vector<std::u16string>{
                u"-lf=" + Backslashed(Utf16(KOLVANE_EXAMPLES) + u"/left.csv"),  u"-lk=2", u"-lt=1",
                u"-rf=" + Backslashed(Utf16(KOLVANE_EXAMPLES) + u"/right.csv"), u"-rk=0", u"-rt=1"};
        };
        form.Show();
        ASSERT_TRUE(kvtest::PumpUntil([] { return !kv::Application->OnIdle; }));
        form.StatusBar1->SetSimpleText(u"CSVファイルを開きました。");
        kvtest::PumpUntil([] { return false; }, 300);
        EXPECT_EQ(form.ComboBoxLeftKey->Text(), u"C列");
        RECT area;
        GetWindowRect(form.Handle(), &area);
        const char* target = std::getenv("KOLVANE_MAIN_SCREENSHOT");
        const std::filesystem::path path =
            target ? std::filesystem::path(target)
                   : std::filesystem::temp_directory_path() / "kolvane_main_window.png";
        ASSERT_TRUE(kv::SaveScreenshotPng(kv::Utf8ToUtf16(path.string()), &area));
        form.Hide();
        EXPECT_GT(std::filesystem::file_size(path), 1000u);
        if (!target) std::filesystem::remove(path);
    }
    kv::Application->SetTitle(title);
}

} // namespace
