// What a web program sent last, for its report: the page a CGI program writes to its standard
// output (through the WriteFile import of this module) and the page an ISAPI extension writes
// through its server's WriteClient (its HttpExtensionProc export is detoured). Pages written
// while a report runs on the writing thread are the component's own and are not kept.
#include <windows.h>

#include <httpext.h>

#include <cstring>
#include <mutex>
#include <string>

#include "crash/capture/CrashLogMainWin.h"
#include "crash/hooks/ClHook.h"

namespace kv::crash::detail {

namespace {

std::mutex g_pageLock;
// Made before the component starts (its start-up hooks what fills it).
__attribute__((init_priority(101))) std::string g_lastPage;

using TExtensionProc = DWORD(WINAPI*)(EXTENSION_CONTROL_BLOCK*);
using TWriteClient = BOOL(WINAPI*)(HCONN, LPVOID, LPDWORD, DWORD);
TExtensionProc g_realExtensionProc = nullptr;
// The server's WriteClient of the request on this thread, and of the last request anywhere
// (a server may write from another thread than the one that called the extension).
thread_local TWriteClient t_writeClient = nullptr;
std::atomic<TWriteClient> g_writeClient{nullptr};

bool WritingOwnPage() {
    const ThreadCaptureBlock& b = Capture();
    return b.ReportRunning || b.DispatchGuard;
}

void KeepPage(const char* data, size_t size) {
    try {
        const std::lock_guard<std::mutex> lock(g_pageLock);
        g_lastPage.assign(data, size);
    } catch (...) {
        // A page that cannot be kept is no reason to fail the program's own write.
    }
}

decltype(&::WriteFile) RealWriteFile() {
    if (!Real.WriteFile)
        Real.WriteFile = reinterpret_cast<decltype(&::WriteFile)>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "WriteFile"));
    return Real.WriteFile;
}

BOOL WINAPI HookedWriteClient(HCONN connection, LPVOID buffer, LPDWORD bytes, DWORD reserved) {
    const TWriteClient write = t_writeClient ? t_writeClient : g_writeClient.load();
    if (LibraryActive.load() != 0 && buffer && !WritingOwnPage()) {
        // The server takes the buffer as a zero-terminated text.
        const auto* text = static_cast<const char*>(buffer);
        const DWORD limit = bytes && IsValidBlockAddr(bytes, sizeof *bytes) ? *bytes : 0;
        size_t size = 0;
        while (size < limit && IsValidBlockAddr(text + size, 1) && text[size]) ++size;
        KeepPage(text, size);
    }
    return write ? write(connection, buffer, bytes, reserved) : FALSE;
}

DWORD WINAPI HookedHttpExtensionProc(EXTENSION_CONTROL_BLOCK* ecb) {
    if (ecb && IsValidBlockAddr(ecb, sizeof *ecb) && ecb->WriteClient &&
        ecb->WriteClient != &HookedWriteClient) {
        t_writeClient = ecb->WriteClient;
        g_writeClient.store(ecb->WriteClient);
        ecb->WriteClient = &HookedWriteClient;
    }
    return g_realExtensionProc(ecb);
}

} // namespace

BOOL WINAPI HookedWriteFile(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written,
                            LPOVERLAPPED overlapped) {
    if (LibraryActive.load() != 0 && buffer && size && file == GetStdHandle(STD_OUTPUT_HANDLE) &&
        !WritingOwnPage() && ReportHalf.IsCGIApplication && ReportHalf.IsCGIApplication() &&
        IsValidBlockAddr(buffer, size))
        KeepPage(static_cast<const char*>(buffer), size);
    return RealWriteFile()(file, buffer, size, written, overlapped);
}

void HookExtensionProc() {
    void* const proc = reinterpret_cast<void*>(
        GetProcAddress(reinterpret_cast<HMODULE>(OwnModule()), "HttpExtensionProc"));
    if (!proc || g_realExtensionProc) return;
    g_realExtensionProc = reinterpret_cast<TExtensionProc>(HookProcedureEx(
        proc, reinterpret_cast<void*>(&HookedHttpExtensionProc), "HttpExtensionProc"));
}

std::string LastHTMLPage() {
    const std::lock_guard<std::mutex> lock(g_pageLock);
    return g_lastPage;
}

} // namespace kv::crash::detail
