#include "app/UnitFormConfigGeneral.h"

#include "app/TConfigBase.h"
#include "app/TVessant.h"
#include "base/FileSystem.h"
#include "ui/Application.h"
#include "ui/ComCtrls.h"
#include "ui/StdCtrls.h"

using namespace kv;

namespace {
constexpr char16_t kExtension[] = u".KVJ";
constexpr char16_t kFileType[] = u"Kolvane プロジェクトファイル";
} // namespace

TFormConfigGeneral::TFormConfigGeneral(TComponent* owner) : TForm(owner) {
    BindField(u"PageControl1", PageControl1);
    BindField(u"TabSheetStartUp", TabSheetStartUp);
    BindField(u"CheckBoxProjectFileRestore", CheckBoxProjectFileRestore);
    BindField(u"CheckBoxWindowPositionRestore", CheckBoxWindowPositionRestore);
    BindField(u"TabSheetLink", TabSheetLink);
    BindField(u"ButtonLinkSet", ButtonLinkSet);
    BindField(u"ButtonLinkUnSet", ButtonLinkUnSet);
    BindField(u"TabSheetOther", TabSheetOther);
    BindField(u"CheckBoxInTaskTray", CheckBoxInTaskTray);
    BindField(u"ButtonHelp", ButtonHelp);
    BindField(u"ButtonOk", ButtonOk);
    BindField(u"ButtonCancel", ButtonCancel);
    RegisterHandler<void(TObject*)>(u"ButtonLinkSetClick",
                                    [this](TObject* s) { ButtonLinkSetClick(s); });
    RegisterHandler<void(TObject*)>(u"ButtonLinkUnSetClick",
                                    [this](TObject* s) { ButtonLinkUnSetClick(s); });
    RegisterHandler<void(TObject*)>(u"ButtonHelpClick", [this](TObject* s) { ButtonHelpClick(s); });
    ReadForm(u"TFORMCONFIGGENERAL");
    PageControl1->SetActivePageIndex(0);
}

void TFormConfigGeneral::LoadFromConfig(const TConfigBase& config) {
    CheckBoxProjectFileRestore->SetChecked(config.ProjectFileRestore);
    CheckBoxWindowPositionRestore->SetChecked(config.WindowPositionRestore);
    CheckBoxInTaskTray->SetChecked(config.InTaskTray);
}

void TFormConfigGeneral::StoreToConfig(TConfigBase& config) const {
    config.ProjectFileRestore = CheckBoxProjectFileRestore->Checked();
    config.WindowPositionRestore = CheckBoxWindowPositionRestore->Checked();
    config.InTaskTray = CheckBoxInTaskTray->Checked();
}

std::u16string TFormConfigGeneral::OpenCommand(const std::u16string& programPath) {
    return u"\"" + programPath + u"\" \"%1\"";
}

void TFormConfigGeneral::ButtonLinkSetClick(TObject*) {
    const std::u16string program = GetProgramFileName();
    TVessant::SetLink(Handle(), kExtension, OpenCommand(program), kFileType, program, 0);
}

void TFormConfigGeneral::ButtonLinkUnSetClick(TObject*) {
    TVessant::UnsetLink(Handle(), kExtension);
}

void TFormConfigGeneral::ButtonHelpClick(TObject*) {
    if (Application) Application->HelpContext(ButtonHelp->HelpContext());
}
