#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "crash/core/ClCore.h"
#include "crash/send/ClMIMEMessage.h"

namespace {

using namespace kv::crash;

// The registered owner when the system names one, else the logged-on user.
TEST(ClMIMEMessageWin, MailUserName) {
    const std::string owner = ReadKey(
        kHKeyLocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "RegisteredOwner");
    char user[257];
    DWORD size = sizeof user;
    ASSERT_TRUE(GetUserNameA(user, &size));
    const std::string expected = owner.empty() ? std::string(user) : owner;
    EXPECT_FALSE(expected.empty());
    EXPECT_EQ(GetMailUserName(), expected);
}

} // namespace
