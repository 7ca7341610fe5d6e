#include "widgets/UlBase.h"

// The native build has no code page information: the default character stays '?'.
char UlAnsiReplacementChar() {
    return '?';
}
void UlBaseInitialize() {}
