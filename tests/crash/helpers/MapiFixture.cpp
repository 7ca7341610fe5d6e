// A Simple MAPI client library for the e-mail tests (Wine's own MAPI reports success and sends
// nothing). Every call appends what it received to the file KOLVANE_MAPI_RECORD names, one
// "key=value" line each, control characters written as C escapes. MAPILogon answers
// KOLVANE_MAPI_LOGON_RESULT and MAPISendMail KOLVANE_MAPI_SEND_RESULT (decimal; 0 when unset).
// MAPISendMail also moves the current folder, as real clients do.
#include <windows.h>

#include <mapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr LHANDLE kSession = 0x4D41;

std::string Env(const char* name) {
    char value[MAX_PATH * 2] = {};
    const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

std::string Escaped(const char* text) {
    if (!text) return "(null)";
    std::string r;
    for (const char* p = text; *p; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c == '\r') {
            r += "\\r";
        } else if (c == '\n') {
            r += "\\n";
        } else if (c < 32) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            r += hex;
        } else {
            r += static_cast<char>(c);
        }
    }
    return r;
}

void Record(const std::string& text) {
    const std::string file = Env("KOLVANE_MAPI_RECORD");
    if (file.empty()) return;
    if (FILE* f = std::fopen(file.c_str(), "ab")) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
}

ULONG Answer(const char* variable) {
    return static_cast<ULONG>(std::strtoul(Env(variable).c_str(), nullptr, 10));
}

std::string Num(unsigned long long v) {
    return std::to_string(v);
}

} // namespace

extern "C" {

ULONG WINAPI MAPILogon(ULONG_PTR ulUIParam, LPSTR lpszProfileName, LPSTR lpszPassword,
                       FLAGS flFlags, ULONG ulReserved, LPLHANDLE lplhSession) {
    Record("logon parent=" + std::string(ulUIParam ? "window" : "none") +
           " profile=" + Escaped(lpszProfileName) + " password=" + Escaped(lpszPassword) +
           " flags=" + Num(flFlags) + "\n");
    const ULONG result = Answer("KOLVANE_MAPI_LOGON_RESULT");
    if (lplhSession) *lplhSession = result == SUCCESS_SUCCESS ? kSession : 0;
    return result;
}

ULONG WINAPI MAPILogoff(LHANDLE lhSession, ULONG_PTR ulUIParam, FLAGS flFlags, ULONG ulReserved) {
    Record("logoff session=" + Num(lhSession) + "\n");
    return SUCCESS_SUCCESS;
}

ULONG WINAPI MAPISendMail(LHANDLE lhSession, ULONG_PTR ulUIParam, lpMapiMessage lpMessage,
                          FLAGS flFlags, ULONG ulReserved) {
    std::string r = "send session=" + Num(lhSession) + " flags=" + Num(flFlags) + "\n";
    if (lpMessage) {
        const MapiMessage& m = *lpMessage;
        r += "subject=" + Escaped(m.lpszSubject) + "\n";
        r += "note=" + Escaped(m.lpszNoteText) + "\n";
        r += "originator=" + std::string(m.lpOriginator ? "set" : "none") + "\n";
        r += "recipients=" + Num(m.nRecipCount) + (m.lpRecips ? "" : " (null)") + "\n";
        for (ULONG i = 0; m.lpRecips && i < m.nRecipCount; ++i)
            r += "to class=" + Num(m.lpRecips[i].ulRecipClass) +
                 " name=" + Escaped(m.lpRecips[i].lpszName) +
                 " address=" + Escaped(m.lpRecips[i].lpszAddress) + "\n";
        r += "files=" + Num(m.nFileCount) + (m.lpFiles ? "" : " (null)") + "\n";
        for (ULONG i = 0; m.lpFiles && i < m.nFileCount; ++i)
            r += "file flags=" + Num(m.lpFiles[i].flFlags) +
                 " position=" + Num(m.lpFiles[i].nPosition) +
                 " path=" + Escaped(m.lpFiles[i].lpszPathName) +
                 " name=" + Escaped(m.lpFiles[i].lpszFileName) + "\n";
    }
    Record(r);
    SetCurrentDirectoryA("C:\\");
    return Answer("KOLVANE_MAPI_SEND_RESULT");
}

} // extern "C"
