#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "crash/send/ClWinSockWin.h"

namespace {

using namespace kv::crash;
using namespace kv::crash::winsock;

TEST(ClWinSockWin, EntriesAreFoundInTheFirstLibraryThatExportsThem) {
    // The system's own lookups; the libraries stay loaded for the process anyway.
    const HMODULE ws2 = LoadLibraryA("ws2_32.dll");
    const HMODULE mswsock = LoadLibraryA("mswsock.dll");
    ASSERT_NE(ws2, nullptr);
    ASSERT_NE(mswsock, nullptr);
    EXPECT_EQ(ResolveWinSockFunction("send"), reinterpret_cast<void*>(GetProcAddress(ws2, "send")));
    // Not in ws2_32.dll: a Microsoft extension of the later libraries.
    ASSERT_EQ(GetProcAddress(ws2, "TransmitFile"), nullptr);
    EXPECT_EQ(ResolveWinSockFunction("TransmitFile"),
              reinterpret_cast<void*>(GetProcAddress(mswsock, "TransmitFile")));
}

TEST(ClWinSockWin, AMissingEntryRaisesTheSocketLayersFailure) {
    try {
        ResolveWinSockFunction("KvNoSuchSocketFunction");
        ADD_FAILURE() << "a missing entry point was found";
    } catch (const ECrashSocketError& e) { // what the socket layer's callers catch
        EXPECT_NE(dynamic_cast<const ECrashFuncNotFoundError*>(&e), nullptr);
        EXPECT_EQ(Utf16ToAnsi(e.Message()),
                  "WinSock's function \"KvNoSuchSocketFunction\" can not be found");
    }
}

} // namespace
