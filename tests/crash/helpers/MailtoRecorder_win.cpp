// Stands in for the mail program of "mailto:" URLs in the e-mail tests: writes its command line
// to the file KOLVANE_MAILTO_RECORD names and ends at once.
#include <windows.h>

#include <cstdio>
#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char file[MAX_PATH * 2] = {};
    const DWORD n = GetEnvironmentVariableA("KOLVANE_MAILTO_RECORD", file, sizeof file);
    if (n == 0 || n >= sizeof file) return 2;
    FILE* f = std::fopen(file, "wb");
    if (!f) return 3;
    const char* line = GetCommandLineA();
    std::fwrite(line, 1, std::strlen(line), f);
    std::fclose(f);
    return 0;
}
