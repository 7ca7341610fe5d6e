#pragma once
// The general settings dialog: reopen the last project, restore the window placement, the
// notification-area icon, and two buttons that register or remove the project file type at
// once. The main window fills it from the settings and takes the values back on OK. Windows
// only; interface thread.
#include "ui/Forms.h"

class TConfigBase;
namespace kv {
class TButton;
class TCheckBox;
class TPageControl;
class TTabSheet;
} // namespace kv

class TFormConfigGeneral : public kv::TForm {
    KV_CLASS(TFormConfigGeneral)
public:
    explicit TFormConfigGeneral(kv::TComponent* owner);

    kv::TPageControl* PageControl1 = nullptr;
    kv::TTabSheet* TabSheetStartUp = nullptr;
    kv::TCheckBox* CheckBoxProjectFileRestore = nullptr;
    kv::TCheckBox* CheckBoxWindowPositionRestore = nullptr;
    kv::TTabSheet* TabSheetLink = nullptr;
    kv::TButton* ButtonLinkSet = nullptr;
    kv::TButton* ButtonLinkUnSet = nullptr;
    kv::TTabSheet* TabSheetOther = nullptr;
    kv::TCheckBox* CheckBoxInTaskTray = nullptr;
    kv::TButton* ButtonHelp = nullptr;
    kv::TButton* ButtonOk = nullptr;
    kv::TButton* ButtonCancel = nullptr;

    void LoadFromConfig(const TConfigBase& config);
    void StoreToConfig(TConfigBase& config) const;

    // Register or remove the ".KVJ" file type through the file-association program, at once.
    void ButtonLinkSetClick(kv::TObject* sender);
    void ButtonLinkUnSetClick(kv::TObject* sender);
    void ButtonHelpClick(kv::TObject* sender);

    // The open command registered for project files: the program in double quotes, a space,
    // and the document placeholder in double quotes.
    static std::u16string OpenCommand(const std::u16string& programPath);
};
