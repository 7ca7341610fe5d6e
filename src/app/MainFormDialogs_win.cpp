#include "app/MainFormDialogs.h"

#include "app/TProject.h"
#include "app/UnitFormCsvSortFieldEdit.h"
#include "app/UnitFormKolvane.h"
#include "csv/TCsv.h"

// ============================================================================================
// INTERIM: the batch-file dialog, the dropped-file dialog and the about box are being written
// on their own branch. Until they land, the entries below stand in for them:
//   CreateAutoFile     no dialog.
//   AskDroppedFileSide no dialog; the file goes to no side (-1).
//   About              no dialog.
// Once the windows exist, each entry becomes the one call of its window:
//   CreateAutoFile:     TFormCreateAutoFile form(owner, project); form.ShowModal();
//   AskDroppedFileSide: TFormSettingDropedFile form(owner, path);
//                       return form.ShowModal() == mrOk ? form.GetSide() : -1;
//   About:              TFormAboutBox form(owner); form.ShowModal();
// ============================================================================================

TMainFormDialogs DefaultMainFormDialogs() {
    TMainFormDialogs d;
    d.Join = [](kv::TComponent* owner, bool autoSave, TProject* project, TCsv* left,
                int32_t leftKey, bool leftTitle, TCsv* right, int32_t rightKey, bool rightTitle) {
        TFormKolvane form(owner, autoSave, project, left, leftKey, leftTitle, right, rightKey,
                          rightTitle);
        form.ShowModal();
        return form.Succeeded;
    };
    d.EditSortInfos = [](kv::TComponent* owner, std::vector<TCsvSorter::TSortInfo>& infos,
                         const std::vector<std::u16string>& captions, int helpContext) {
        TFormCsvSortFieldEdit form(owner, infos, captions);
        form.SetDialogHelpContext(helpContext);
        if (form.ShowModal() != kv::mrOk) return false;
        infos = form.GetSortInfos();
        return true;
    };
    d.CreateAutoFile = [](kv::TComponent*, const TProject&) {};
    d.AskDroppedFileSide = [](kv::TComponent*, const std::u16string&) { return -1; };
    d.About = [](kv::TComponent*) {};
    return d;
}
