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
