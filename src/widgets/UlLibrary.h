#pragma once
// Start and end of the library units beneath the widgets: each announces its version record,
// then the system information, character tables and replacement character are set up; the end
// undoes it in reverse. Hold one TUlLibraryUnits for the life of the program (Windows).

class TUlLibraryUnits {
public:
    TUlLibraryUnits();
    ~TUlLibraryUnits();
    TUlLibraryUnits(const TUlLibraryUnits&) = delete;
    TUlLibraryUnits& operator=(const TUlLibraryUnits&) = delete;
};

#include <cstdint>
#include <string_view>
#include <vector>

class TUlCriticalSection;

// A registry root key with one of its names.
struct TUlRootKeyName {
    uintptr_t Key; // the HKEY value
    std::u16string_view Name;
};

// What the units' start prepares and their end frees (empty or null outside that time):
// the 14 entries of the registry unit's root-key table, each root key by its long and its
// short name;
const std::vector<TUlRootKeyName>& UlRegistryRootKeys();
// the number of run-time type descriptions in the type list (a list locked for every change;
// nothing in this program adds to it), -1 while the list does not exist;
int UlRttiTypeCount();
// the lock taken while Unicode property tables load (never loaded in this program).
TUlCriticalSection* UlUnicodeLoadingLock();
