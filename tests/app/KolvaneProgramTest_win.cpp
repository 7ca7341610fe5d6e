#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

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
