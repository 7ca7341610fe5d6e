#pragma once
// The project document: both CSV files with their keys and title flags, the sort conditions and
// the save options, stored as a .KVJ INI file. Interface thread; copyable.
#include <cstdint>
#include <string>
#include <vector>

#include "csv/TCsvSorter.h"

class TProject {
public:
    // Writes the project file whole; sections and keys of other writers do not survive. Errors
    // of writing raise kv::Exception and leave FileName unchanged.
    void Save(const std::u16string& path);
    // Reads every field from the project file; a missing file gives the defaults. FileName is
    // set to path. Errors of reading raise kv::Exception.
    void Load(const std::u16string& path);
    // Stores 0 or 1; any other value leaves SaveSortCol unchanged.
    void SetSaveSortCol(int32_t value);

    std::u16string FileName;
    std::u16string FileNameLeft;
    int32_t KeyLeft = 0;
    bool FirstLineIsTitleLeft = false;
    std::u16string FileNameRight;
    int32_t KeyRight = 0;
    bool FirstLineIsTitleRight = false;
    std::u16string SaveFileName;
    int32_t EncodingIndex = 0; // 0 ANSI, anything else UTF-8
    int32_t ShowType = 0;      // 0 all, 1 matched keys, 2 all of left, 3 all of right
    bool SaveIsNew = true;
    int32_t SaveSortCol = 0; // 0 left order, 1 right order
    std::vector<TCsvSorter::TSortInfo> SortInfos;
};
