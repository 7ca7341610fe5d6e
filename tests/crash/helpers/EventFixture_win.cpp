// A library that carries the crash-report component, for the tests of events between modules:
// it hands its exceptions to the program's component, and the reports of either module run the
// other's handlers through its event exports. What its handlers see goes to the file
// KOLVANE_CRASH_OUT names, one line per event.
#include <windows.h>

#include <httpext.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "ScenarioOut_win.h"
#include "crash/capture/CrashLogMain.h"
#include "crash/capture/CrashLogMainWin.h"
#include "crash/capture/CrashLogUtils.h"
#include "crash/debug/ClDebugModules.h"

using namespace kv::crash;

// The component's export, as another module calls it.
extern "C" BOOL __stdcall ExceptionManager(const void* object, void* address, int raiserType,
                                           HMODULE module);

namespace {

void Out(const std::string& line) {
    kvtest::ScenarioOut(line);
}

class ELibraryFailure : public kv::Exception {
public:
    using Exception::Exception;
};

// Whose class the object is: this library's or another module's.
std::string ClassHome(const void* object) {
    const std::type_info* cls = GetValidObjectClass(object);
    if (!cls) return "no object";
    return FindModuleOfAddr(reinterpret_cast<uintptr_t>(cls)) == detail::OwnModule()
               ? "library class"
               : "foreign class";
}

void OnLibraryNotify(TCrashExceptionRecord* record, bool&) {
    const TCrashModuleOptions* options = record->CurrentModuleOptions;
    Out("LIBRARY HANDLER " + ExceptionMessageOf(record->ExceptionObject) + " | " +
        GetValidObjectClassName(record->ExceptionObject) + " | " +
        ClassHome(record->ExceptionObject) + " | options " +
        (options ? ExtractFileName(options->ModuleName()) : std::string("none")) + " | " +
        (record->ModulesList == ModulesList() ? "library modules" : "other modules"));
    // A handler's change of the options reaches the module that makes the report.
    if (record->CurrentModuleOptions) record->CurrentModuleOptions->SetAutoCrashNumber(55);
}

__attribute__((noinline)) void LibraryThrow() {
    throw ELibraryFailure(u"library failure"); // the library's throw
}

} // namespace

extern "C" __declspec(dllexport) void FixtureSetUp() {
    ExceptionNotify = &OnLibraryNotify;
    Out(std::string("LIBRARY ") + (IsCrashLogInstalled() ? "installed" : "inactive") +
        (DeferToMainModule ? " deferring" : " alone") +
        (MainInstance == reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr))
             ? " to the program"
             : " to no program"));
    // The library's own reports show nothing.
    if (IsCrashLogInstalled()) CurrentCrashLogOptions()->SetExceptionDialogType(edtNone);
}

// An exception of the library that its framework-like handler hands to the component, which
// leaves it to the program's component. True when the caller's handling should still run.
extern "C" __declspec(dllexport) BOOL FixtureRaiseIntoProgram() {
    try {
        LibraryThrow();
    } catch (const ELibraryFailure& e) {
        return ExceptionManager(&e, reinterpret_cast<void*>(GetLastExceptionAddress()), rtLocal,
                                reinterpret_cast<HMODULE>(detail::OwnModule()));
    }
    return TRUE;
}

// An ISAPI extension's entry: it writes its page through the server's WriteClient.
extern "C" __declspec(dllexport) DWORD WINAPI HttpExtensionProc(EXTENSION_CONTROL_BLOCK* ecb) {
    char page[] = "<html><body>the ISAPI page</body></html>";
    DWORD size = sizeof page - 1;
    ecb->WriteClient(ecb->ConnID, page, &size, 0);
    return HSE_STATUS_SUCCESS;
}

// The page the library's component kept last.
extern "C" __declspec(dllexport) void FixtureLastPage(char* buffer, int size) {
    const std::string page = detail::LastHTMLPage();
    const size_t n = std::min(page.size(), static_cast<size_t>(size > 0 ? size - 1 : 0));
    std::memcpy(buffer, page.data(), n);
    if (size > 0) buffer[n] = '\0';
}
