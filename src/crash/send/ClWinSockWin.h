#pragma once
// The WinSock entry points of the crash component (Win32 only): each object below calls the
// function of its name, looked up when it is called in the first of ws2_32.dll, wsock32.dll and
// mswsock.dll that exports it; the libraries are loaded by name on the first call. A function
// that cannot be found raises ECrashFuncNotFoundError. Any thread; the loading is not locked
// (the first use is on the report path).
#include <winsock2.h>
#include <windows.h>

#include <mswsock.h>

#include <utility>

#include "crash/send/ClWinSock.h"

namespace kv::crash::winsock {

// The address of the named entry point; raises ECrashFuncNotFoundError.
void* ResolveWinSockFunction(const char* name);

// Calls the entry point with the signature Fn (the system header's declaration, with its
// calling convention).
template <class Fn> struct TWinSockEntry {
    const char* Name;
    template <class... Args> auto operator()(Args&&... args) const {
        return reinterpret_cast<Fn*>(ResolveWinSockFunction(Name))(std::forward<Args>(args)...);
    }
};

#define KV_WINSOCK_ENTRY(name)                                                                     \
    inline constexpr TWinSockEntry<decltype(::name)> name {                                        \
#name                                                                                      \
    }
KV_WINSOCK_ENTRY(accept);
KV_WINSOCK_ENTRY(bind);
KV_WINSOCK_ENTRY(closesocket);
KV_WINSOCK_ENTRY(connect);
KV_WINSOCK_ENTRY(getpeername);
KV_WINSOCK_ENTRY(getsockname);
KV_WINSOCK_ENTRY(getsockopt);
KV_WINSOCK_ENTRY(htonl);
KV_WINSOCK_ENTRY(htons);
KV_WINSOCK_ENTRY(inet_addr);
KV_WINSOCK_ENTRY(inet_ntoa);
KV_WINSOCK_ENTRY(ioctlsocket);
KV_WINSOCK_ENTRY(listen);
KV_WINSOCK_ENTRY(ntohl);
KV_WINSOCK_ENTRY(ntohs);
KV_WINSOCK_ENTRY(recv);
KV_WINSOCK_ENTRY(recvfrom);
KV_WINSOCK_ENTRY(select);
KV_WINSOCK_ENTRY(send);
KV_WINSOCK_ENTRY(sendto);
KV_WINSOCK_ENTRY(setsockopt);
KV_WINSOCK_ENTRY(shutdown);
KV_WINSOCK_ENTRY(socket);
KV_WINSOCK_ENTRY(gethostbyaddr);
KV_WINSOCK_ENTRY(gethostbyname);
KV_WINSOCK_ENTRY(getprotobyname);
KV_WINSOCK_ENTRY(getprotobynumber);
KV_WINSOCK_ENTRY(getservbyname);
KV_WINSOCK_ENTRY(getservbyport);
KV_WINSOCK_ENTRY(gethostname);
KV_WINSOCK_ENTRY(WSAAsyncSelect);
KV_WINSOCK_ENTRY(WSARecvEx);
KV_WINSOCK_ENTRY(WSAAsyncGetHostByAddr);
KV_WINSOCK_ENTRY(WSAAsyncGetHostByName);
KV_WINSOCK_ENTRY(WSAAsyncGetProtoByNumber);
KV_WINSOCK_ENTRY(WSAAsyncGetProtoByName);
KV_WINSOCK_ENTRY(WSAAsyncGetServByPort);
KV_WINSOCK_ENTRY(WSAAsyncGetServByName);
KV_WINSOCK_ENTRY(WSACancelAsyncRequest);
KV_WINSOCK_ENTRY(WSASetBlockingHook);
KV_WINSOCK_ENTRY(WSAUnhookBlockingHook);
KV_WINSOCK_ENTRY(WSAGetLastError);
KV_WINSOCK_ENTRY(WSASetLastError);
KV_WINSOCK_ENTRY(WSACancelBlockingCall);
KV_WINSOCK_ENTRY(WSAIsBlocking);
KV_WINSOCK_ENTRY(WSAStartup);
KV_WINSOCK_ENTRY(WSACleanup);
KV_WINSOCK_ENTRY(__WSAFDIsSet);
KV_WINSOCK_ENTRY(TransmitFile);
KV_WINSOCK_ENTRY(AcceptEx);
KV_WINSOCK_ENTRY(GetAcceptExSockaddrs);
#undef KV_WINSOCK_ENTRY

// FD_ISSET through __WSAFDIsSet.
bool(FD_ISSET)(SOCKET socket, TFDSet& set);

} // namespace kv::crash::winsock
