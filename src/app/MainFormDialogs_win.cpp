#include "app/MainFormDialogs.h"

#include "app/TProject.h"
#include "app/UnitFormAboutBox.h"
#include "app/UnitFormCsvSortFieldEdit.h"
#include "app/UnitFormKolvane.h"
#include "app/UnitFormSettingDropedFile.h"
#include "csv/TCsv.h"

// ============================================================================================
// INTERIM: the batch-file dialog is being written on its own branch. Until it lands, the entry
// below stands in for it:
//   CreateAutoFile     no dialog.
// Once the window exists, the entry becomes the one call of its window:
//   CreateAutoFile:     TFormCreateAutoFile form(owner, project); form.ShowModal();
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
    d.AskDroppedFileSide = [](kv::TComponent* owner, const std::u16string& path) {
        TFormSettingDropedFile form(owner, path);
        return form.ShowModal() == kv::mrOk ? form.GetSide() : -1;
    };
    d.About = [](kv::TComponent* owner) {
        TFormAboutBox form(owner);
        form.ShowModal();
    };
    return d;
}
