#pragma once
// The windows the main window opens that belong to other units: the join window, the
// batch-file dialog, the sort-condition dialog, the dropped-file dialog and the about box. The
// main window reaches them only through this table, so it holds no knowledge of how each is
// built and tests can answer in their place. Windows only; interface thread.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "csv/TCsvSorter.h"

class TCsv;
class TProject;
namespace kv {
class TComponent;
}

struct TMainFormDialogs {
    // The join window, modal, over the borrowed tables with their keys and title flags and the
    // lent project; its success flag (true when the automatic save succeeded).
    std::function<bool(kv::TComponent* owner, bool autoSave, TProject* project, TCsv* left,
                       int32_t leftKey, bool leftTitle, TCsv* right, int32_t rightKey,
                       bool rightTitle)>
        Join;
    // The sort-condition dialog over infos, with the joined column captions and the help
    // context of the dialog; true on OK, with infos replaced by the dialog's conditions.
    std::function<bool(kv::TComponent* owner, std::vector<TCsvSorter::TSortInfo>& infos,
                       const std::vector<std::u16string>& captions, int helpContext)>
        EditSortInfos;
    // The batch-file dialog, modal, starting from the project (which it does not change).
    std::function<void(kv::TComponent* owner, const TProject& project)> CreateAutoFile;
    // Asks to which side a dropped CSV file goes: 0 left, 1 right, -1 none (cancelled).
    std::function<int(kv::TComponent* owner, const std::u16string& path)> AskDroppedFileSide;
    // The about box, modal.
    std::function<void(kv::TComponent* owner)> About;
};

// The program's own windows for every entry.
TMainFormDialogs DefaultMainFormDialogs();
