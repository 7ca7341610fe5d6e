#pragma once
// The crash component's access to WinSock: every entry point is resolved by name when it is
// called (ClWinSockWin.h, Win32), so the program needs no socket library at load time. This
// header holds the socket layer's exceptions and the WinSock macros as functions over a set of
// the same layout as WinSock's fd_set; they are pure, any thread.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/Exception.h"
#include "crash/core/ClCore.h"

namespace kv::crash {

// Failures of the socket layer; the messages are ANSI text.
class ECrashWinSockError : public kv::Exception {
public:
    explicit ECrashWinSockError(std::string_view message) : kv::Exception(AnsiToUtf16(message)) {}
};
class ECrashSocketError : public ECrashWinSockError {
public:
    using ECrashWinSockError::ECrashWinSockError;
};
// WinSock is not usable: none of its libraries loads, or the entry point is missing.
class ECrashFuncNotFoundError : public ECrashSocketError {
public:
    using ECrashSocketError::ECrashSocketError;
};

namespace winsock {

// The libraries an entry point is looked up in, in this order (the first that exports it).
constexpr const char* kWinSockLibraries[] = {"ws2_32.dll", "wsock32.dll", "mswsock.dll"};

// The message of ECrashFuncNotFoundError for an entry point.
std::string FuncNotFoundText(std::string_view name);

// ---- The WinSock macros as functions ----
// The names are macros of the system headers too: declare and call them in parentheses,
// e.g. (winsock::FD_SET)(s, set).

constexpr uint32_t kFDSetSize = 64;
// The layout of WinSock's fd_set (ClWinSock_win.cpp checks it).
struct TFDSet {
    uint32_t fd_count;
    uintptr_t fd_array[kFDSetSize];
};

void(FD_ZERO)(TFDSet& set);
// Adds the socket while the set holds fewer than kFDSetSize; no duplicate check.
void(FD_SET)(uintptr_t socket, TFDSet& set);
// Removes the first occurrence, closing the gap.
void(FD_CLR)(uintptr_t socket, TFDSet& set);

// Low word and high word in one 32-bit value.
uint32_t WSAMakeSyncReply(uint16_t bufLen, uint16_t error);
uint32_t WSAMakeSelectReply(uint16_t event, uint16_t error);
// The low word / the high word of an asynchronous reply's lParam.
uint16_t WSAGetAsyncBuflen(uint32_t lParam);
uint16_t WSAGetSelectEvent(uint32_t lParam);
uint16_t WSAGetAsyncError(uint32_t lParam);
uint16_t WSAGetSelectError(uint32_t lParam);

} // namespace winsock

} // namespace kv::crash
