// Stand-in for the file-association program "Vessant.exe" in the tests: it writes its parameter
// text (UTF-8), a LF and the bytes of the instruction file that text names into the file named
// by the environment variable KOLVANE_VESSANT_LOG, then ends.
#include <windows.h>

#include <string>

namespace {

std::string ToUtf8(const std::wstring& s) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), out.data(), n,
                            nullptr, nullptr);
    return out;
}

// The command line after the program's own name.
std::wstring Parameters() {
    const wchar_t* p = GetCommandLineW();
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"') ++p;
        if (*p) ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t') ++p;
    }
    while (*p == L' ' || *p == L'\t') ++p;
    return p;
}

std::string ReadFileBytes(const std::wstring& path) {
    const HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "(missing)";
    std::string bytes;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) bytes.append(buf, got);
    CloseHandle(h);
    return bytes;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    wchar_t log[MAX_PATH + 1] = {};
    if (!GetEnvironmentVariableW(L"KOLVANE_VESSANT_LOG", log, MAX_PATH)) return 1;
    const std::wstring params = Parameters();
    const std::string record = ToUtf8(params) + "\n" + ReadFileBytes(params);
    const HANDLE h =
        CreateFileW(log, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 2;
    DWORD put = 0;
    WriteFile(h, record.data(), static_cast<DWORD>(record.size()), &put, nullptr);
    CloseHandle(h);
    return 0;
}
