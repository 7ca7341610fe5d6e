#include "app/MainFormDialogs.h"

#include "app/TProject.h"
#include "app/UnitFormAboutBox.h"
#include "app/UnitFormCreateAutoFile.h"
#include "app/UnitFormCsvSortFieldEdit.h"
#include "app/UnitFormKolvane.h"
#include "app/UnitFormSettingDropedFile.h"
#include "csv/TCsv.h"

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
    d.CreateAutoFile = [](kv::TComponent* owner, const TProject& project) {
        TFormCreateAutoFile form(owner, project);
        form.ShowModal();
    };
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
