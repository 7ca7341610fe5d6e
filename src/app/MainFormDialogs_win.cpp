#include "app/MainFormDialogs.h"

#include "app/TProject.h"
#include "csv/TCsv.h"
#include "join/ResultSave.h"
#include "join/TKolvane.h"
#include "join/TKolvaneGridModel.h"
#include "ui/Dialogs.h"
#include "ui/TCursorHourGlass.h"

// ============================================================================================
// INTERIM: the join window, the batch-file dialog, the sort-condition dialog, the dropped-file
// dialog and the about box are being written on their own branch. Until they land, the entries
// below stand in for them:
//   Join               runs the join without a window and, in automatic mode, saves the rows
//                      with the project's save options (what the "-a" command line needs);
//                      without automatic mode nothing is shown.
//   EditSortInfos      no dialog; the conditions stay (false).
//   CreateAutoFile     no dialog.
//   AskDroppedFileSide no dialog; the file goes to no side (-1).
//   About              no dialog.
// Once the windows exist, each entry becomes the one call of its window:
//   Join:               TFormKolvane form(owner, autoSave, project, left, leftKey, leftTitle,
//                                         right, rightKey, rightTitle);
//                       form.ShowModal(); return form.Succeeded;
//   EditSortInfos:      TFormCsvSortFieldEdit form(owner, infos, captions);
//                       form.SetDialogHelpContext(helpContext);
//                       if (form.ShowModal() != mrOk) return false;
//                       infos = form.GetSortInfos(); return true;
//   CreateAutoFile:     TFormCreateAutoFile form(owner, project); form.ShowModal();
//   AskDroppedFileSide: TFormSettingDropedFile form(owner, path);
//                       return form.ShowModal() == mrOk ? form.GetSide() : -1;
//   About:              TFormAboutBox form(owner); form.ShowModal();
// ============================================================================================

namespace {

bool JoinWithoutWindow(bool autoSave, TProject* project, TCsv* left, int32_t leftKey,
                       bool leftTitle, TCsv* right, int32_t rightKey, bool rightTitle) {
    if (!autoSave) return false;
    const kv::TCursorHourGlass hourGlass;
    TKolvane engine(left, leftKey, leftTitle, right, rightKey, rightTitle);
    TKolvaneGridModel model(engine.HasTitleRow());
    model.SetShowType(project->ShowType);
    while (engine.Next()) model.AddRows(engine.CurrentRows());
    if (!project->SortInfos.empty())
        model.SortByInfos(project->SortInfos);
    else
        model.SortBySide(project->SaveSortCol);
    if (SaveResultRows(model, project->SaveFileName, project->SaveIsNew,
                       SaveCodePage(project->EncodingIndex)) != TResultSaveStatus::Saved) {
        kv::ShowWarning(u"CSVファイルの保存に失敗しました。");
        return false;
    }
    return true;
}

} // namespace

TMainFormDialogs DefaultMainFormDialogs() {
    TMainFormDialogs d;
    d.Join = [](kv::TComponent*, bool autoSave, TProject* project, TCsv* left, int32_t leftKey,
                bool leftTitle, TCsv* right, int32_t rightKey, bool rightTitle) {
        return JoinWithoutWindow(autoSave, project, left, leftKey, leftTitle, right, rightKey,
                                 rightTitle);
    };
    d.EditSortInfos = [](kv::TComponent*, std::vector<TCsvSorter::TSortInfo>&,
                         const std::vector<std::u16string>&, int) { return false; };
    d.CreateAutoFile = [](kv::TComponent*, const TProject&) {};
    d.AskDroppedFileSide = [](kv::TComponent*, const std::u16string&) { return -1; };
    d.About = [](kv::TComponent*) {};
    return d;
}
