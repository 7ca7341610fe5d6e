#include "crash/send/ClWinSockWin.h"

#include <cstddef>

namespace kv::crash::winsock {

static_assert(sizeof(TFDSet) == sizeof(fd_set) &&
                  offsetof(TFDSet, fd_array) == offsetof(fd_set, fd_array) &&
                  kFDSetSize == FD_SETSIZE,
              "TFDSet must have the layout of fd_set");

namespace {

// Loaded once and kept for the life of the process (the entry points are called until the
// end); an empty handle is a library that did not load.
HMODULE g_libraries[3] = {};
bool g_librariesLoaded = false;

void LoadWinSockLibraries() {
    if (g_librariesLoaded) return;
    for (size_t i = 0; i < std::size(kWinSockLibraries); ++i)
        g_libraries[i] = LoadLibraryA(kWinSockLibraries[i]);
    g_librariesLoaded = true;
}

} // namespace

void* ResolveWinSockFunction(const char* name) {
    LoadWinSockLibraries();
    // Every loaded library is asked, not only the first: ws2_32.dll lacks the Microsoft
    // extensions (TransmitFile, AcceptEx, WSARecvEx) that wsock32.dll and mswsock.dll export.
    for (const HMODULE library : g_libraries) {
        if (!library) continue;
        if (const FARPROC proc = GetProcAddress(library, name))
            return reinterpret_cast<void*>(proc);
    }
    throw ECrashFuncNotFoundError(FuncNotFoundText(name));
}

bool(FD_ISSET)(SOCKET socket, TFDSet& set) {
    return __WSAFDIsSet(socket, reinterpret_cast<fd_set*>(&set)) != 0;
}

} // namespace kv::crash::winsock
