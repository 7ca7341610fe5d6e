#pragma once
// Character tables built at start: the system's character types and case maps for every
// UTF-16 code unit and every ANSI byte, and the locale text comparison (Windows).
#include <cstdint>
#include <string_view>

struct TUlWideCharTables {
    uint16_t types[65536]; // first-class character type (C1_*) per code unit
    char16_t lower[65536];
    char16_t upper[65536];
    char16_t reflect[65536]; // upper <-> lower by the type table; others unchanged
};

struct TUlAnsiCharTables {
    uint16_t types[256];
    unsigned char lower[256];
    unsigned char upper[256];
    unsigned char reflect[256];
};

// Built once per process by UlStringsInitialize; null before and after UlStringsFinalize.
const TUlWideCharTables* UlWideCharTables();
const TUlAnsiCharTables* UlAnsiCharTables();
void UlStringsInitialize();
void UlStringsFinalize();

// Locale comparison ignoring case: negative, zero or positive (the system's answer minus 2).
int UlCompareText(std::u16string_view a, std::u16string_view b);
