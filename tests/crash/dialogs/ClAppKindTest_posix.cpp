#include "crash/dialogs/ClAppKind.h"

#include <gtest/gtest.h>

#include "crash/capture/CrashLogMain.h"
#include "crash/core/ClCore.h"

namespace kv::crash {
namespace {

TEST(ClAppKind, ConsoleProgramIsCGIOnlyWithRequestMethod) {
    // The native test program is a console program (the Windows one is windowed).
    ASSERT_TRUE(IsConsoleApplication());
    ASSERT_TRUE(SetEnvVariable("REQUEST_METHOD", ""));
    EXPECT_FALSE(IsCGIApplication());
    ASSERT_TRUE(SetEnvVariable("REQUEST_METHOD", "GET"));
    EXPECT_TRUE(IsCGIApplication());
    SetEnvVariable("REQUEST_METHOD", "");
}

} // namespace
} // namespace kv::crash
