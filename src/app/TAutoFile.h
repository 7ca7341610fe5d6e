#pragma once
// The command-line options of an unattended join, parsed one argument at a time, and the
// one-line batch file that runs the program with them. Interface thread.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "csv/TCsvSorter.h"

class TAutoFile {
public:
    // Takes one argument: "-a"; "-lf=", "-lk=", "-lt=", "-rf=", "-rk=", "-rt=", "-cf=", "-ci=",
    // "-cs=", "-ct=", "-cc=", "-co=" with their value (letter case exact); or, when it does not
    // begin with "-", a project file. Other arguments are ignored. Integers that are no number
    // read as 0; a boolean that is neither a number nor true/false raises kv::EConvertError.
    // Callers hand the arguments from the last to the first, so the leftmost occurrence wins.
    void ParseParam(std::u16string_view arg);

    // Writes the batch file: one line that runs this program with "-a" and the options, CR LF,
    // in the system's ANSI code page without byte-order mark, replacing an earlier file. A "%"
    // is written "%%" so that cmd gives it back unchanged. A line that the ANSI code page cannot
    // hold raises kv::Exception before anything is written; errors of writing raise
    // kv::EFileError.
    static void SaveToFile(const std::u16string& batchPath, const std::u16string& fileNameLeft,
                           int32_t keyLeft, bool firstLineIsTitleLeft,
                           const std::u16string& fileNameRight, int32_t keyRight,
                           bool firstLineIsTitleRight, const std::u16string& saveFileName,
                           int32_t encodingIndex, bool saveIsNew, int32_t showType,
                           int32_t saveSortCol,
                           const std::vector<TCsvSorter::TSortInfo>& sortInfos);
    // The batch line as SaveToFile writes it (before the conversion to ANSI), for a given
    // program path.
    static std::u16string BatchLine(const std::u16string& programPath,
                                    const std::u16string& fileNameLeft, int32_t keyLeft,
                                    bool firstLineIsTitleLeft, const std::u16string& fileNameRight,
                                    int32_t keyRight, bool firstLineIsTitleRight,
                                    const std::u16string& saveFileName, int32_t encodingIndex,
                                    bool saveIsNew, int32_t showType, int32_t saveSortCol,
                                    const std::vector<TCsvSorter::TSortInfo>& sortInfos);

    std::u16string FileNameLeft;
    int32_t KeyLeft = 0;
    bool FirstLineIsTitleLeft = false;
    std::u16string FileNameRight;
    int32_t KeyRight = 0;
    bool FirstLineIsTitleRight = false;
    std::u16string SaveFileName;
    int32_t EncodingIndex = 0;
    int32_t ShowType = 0;
    bool SaveIsNew = true;
    bool Auto = false;
    std::u16string ProjectFileName;
    int32_t SaveSortCol = 0; // 0 left order, 1 right order, 2 by the sort conditions
    std::vector<TCsvSorter::TSortInfo> SortInfos;
};
