#pragma once
// The join window: runs the join engine step by step at its first idle moment (progress bar,
// Cancel), shows the joined rows in the result grid in one of four views, orders them by the
// project's sort conditions or by a side, and saves the shown rows as a new or appended CSV
// file in ANSI or UTF-8. In automatic mode it saves with the project's options at once and
// closes when that succeeds. Interface thread only; borrows the tables and the project.
#include <string>

#include "app/TKolvaneGrid.h"
#include "app/TProject.h"
#include "csv/TCsv.h"
#include "join/TKolvane.h"
#include "ui/ActnList.h"
#include "ui/ComCtrls.h"
#include "ui/Dialogs.h"
#include "ui/ExtCtrls.h"
#include "ui/Forms.h"
#include "ui/ImgList.h"
#include "ui/StdCtrls.h"

class TFormKolvane : public kv::TForm {
    KV_CLASS(TFormKolvane)
public:
    // The tables and the project are borrowed and must outlive the window. The join starts at
    // the first idle moment after the window is shown (ShowModal).
    TFormKolvane(kv::TComponent* owner, bool autoSave, TProject* project, const TCsv* left,
                 int leftKey, bool leftTitle, const TCsv* right, int rightKey, bool rightTitle);
    ~TFormKolvane() override;

    // The application's idle handler that runs the join once.
    void RunJoin(kv::TObject* sender, bool& done);
    void BtnCancelClick(kv::TObject* sender);
    void ComboBoxTypeClick(kv::TObject* sender);
    void ComboBoxSortColumnChange(kv::TObject* sender);
    // Orders the rows by the project's sort conditions, or without any by the chosen side.
    void Sort();
    void ActionSaveExecute(kv::TObject* sender);
    // Writes the shown rows; on success the save options go into the project. A failure shows
    // the warning box and gives false.
    bool SaveCsv(const std::u16string& path, bool isNew, int encodingIndex);

    kv::TPanel* PanelToolBar = nullptr;
    kv::TComboBox* ComboBoxType = nullptr;
    kv::TComboBox* ComboBoxSortColumn = nullptr;
    kv::TSpeedButton* SpeedButton1 = nullptr;
    kv::TCheckBox* CheckBoxOverWrite = nullptr;
    kv::TPanel* PanelTop = nullptr;
    kv::TProgressBar* ProgressBar1 = nullptr;
    kv::TButton* BtnCancel = nullptr;
    kv::TStatusBar* StatusBar1 = nullptr;
    kv::TActionList* ActionList1 = nullptr;
    kv::TAction* ActionSave = nullptr;
    kv::TImageList* ImageList16 = nullptr;
    kv::TSaveTextFileDialog* SaveDialogCsv = nullptr;

    TKolvane Engine;
    bool Cancelled = false;
    TKolvaneGrid* Grid = nullptr; // owned as a component
    TProject* Project;            // not owned
    bool AutoSave;
    bool Succeeded = false;

private:
    bool idleHandlerSet_ = false;
};
