#include "widgets/UlBase.h"

#include <windows.h>

namespace {
char g_ansiReplacementChar = '?';
} // namespace

char UlAnsiReplacementChar() {
    return g_ansiReplacementChar;
}

void UlBaseInitialize() {
    CPINFO info{};
    if (!GetCPInfo(CP_ACP, &info))
        throw EUlInternalError(u"Failed to get ANSI replacement character");
    g_ansiReplacementChar = static_cast<char>(info.DefaultChar[0]);
}
