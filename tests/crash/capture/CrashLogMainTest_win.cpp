#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "../support/DebugFixtures.h"
#include "crash/capture/CrashLogMain.h"
#include "crash/capture/CrashLogUtils.h"
#include "crash/core/ClCore.h"
#include "crash/debug/ClDebugModules.h"

namespace {

using namespace kv::crash;

uintptr_t Handle(HMODULE module) {
    return reinterpret_cast<uintptr_t>(module);
}

std::string SystemFileName(HMODULE module) {
    char name[MAX_PATH] = {};
    GetModuleFileNameA(module, name, MAX_PATH);
    return name;
}

// The registry and the main instance for one test, as they were afterwards.
class MainInstanceScope {
public:
    MainInstanceScope() : made_(ModulesList() == nullptr), saved_(MainInstance) {
        kvtest::InstallCodecs();
        CreateModulesList();
    }
    ~MainInstanceScope() {
        MainInstance = saved_;
        if (made_) FreeModulesList();
    }

private:
    bool made_;
    uintptr_t saved_;
};

TEST(CrashLogMainWin, ALibraryAdoptsTheProgramThatCarriesTheComponentAsItsMainInstance) {
    const MainInstanceScope scope;
    const HMODULE library = LoadLibraryA(KOLVANE_MODULE_FIXTURE);
    ASSERT_NE(library, nullptr);
    const uintptr_t program = Handle(GetModuleHandleW(nullptr));
    ASSERT_TRUE(IsCrashLogModule(program)); // this test program carries its stored data

    MainInstance = 7;
    AdoptLibraryMainInstance(Handle(library));
    EXPECT_EQ(MainInstance, 7u) << "a main instance that is set stays";
    MainInstance = 0;
    AdoptLibraryMainInstance(program);
    EXPECT_EQ(MainInstance, 0u) << "a program adopts nothing";
    AdoptLibraryMainInstance(Handle(library));
    EXPECT_EQ(MainInstance, program);
    FreeLibrary(library);
}

TEST(CrashLogMainWin, RuntimeModuleNames) {
    EXPECT_EQ(UpperCase(GetRuntimeModuleFileName()), UpperCase(SystemFileName(nullptr)));
    const HMODULE msvcrt = GetModuleHandleA("msvcrt.dll");
    ASSERT_NE(msvcrt, nullptr);
    EXPECT_EQ(UpperCase(GetCompilerRuntimeModuleFileName()), UpperCase(SystemFileName(msvcrt)));
}

} // namespace
