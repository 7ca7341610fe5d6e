#pragma once
// Writes the rows a result model shows (the current view in the current order, the title row
// first when one is shown, no header row and no row-number columns) as a CSV file. Shared by
// the join window and the benchmark, so both write the same bytes.
#include <string>

#include "join/TKolvaneGridModel.h"

enum class TResultSaveStatus { Saved, OpenFailed, WriteFailed };

// codePage: 0 (the ANSI code page) or 65001. isNew creates (or empties) the file with its BOM;
// otherwise the rows are appended, without the title row when the file already held data.
// A join without data rows writes only the title row (when one is shown).
TResultSaveStatus SaveResultRows(const TKolvaneGridModel& model, const std::u16string& path,
                                 bool isNew, unsigned short codePage);

// The code page of the save dialog's encoding index: 0 ANSI, anything else UTF-8.
inline unsigned short SaveCodePage(int encodingIndex) {
    return encodingIndex != 0 ? 65001 : 0;
}
