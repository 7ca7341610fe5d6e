#pragma once
// The batch-file dialog: both CSV files with their keys and title flags and the save options,
// preset from the project, written as a one-line batch file that runs the program unattended.
// The dialog never changes the project. Windows only; interface thread.
#include <cstdint>
#include <vector>

#include "app/TProject.h"
#include "csv/TCsvSorter.h"
#include "ui/ActnList.h"
#include "ui/ComCtrls.h"
#include "ui/Dialogs.h"
#include "ui/Forms.h"
#include "ui/ImgList.h"
#include "ui/StdCtrls.h"

class TFormCreateAutoFile : public kv::TForm {
    KV_CLASS(TFormCreateAutoFile)
public:
    TFormCreateAutoFile(kv::TComponent* owner, const TProject& project);

    // Side 0 or 1: the key label shows the key's letters followed by "列" (just "列" for none).
    void UpdateKeyLabel(int side);
    // The column list dialog for the side's key; true on OK (the key and its label follow).
    bool SelectKeyColumn(int side);
    void BtnLeftKeyClick(kv::TObject* sender);
    void BtnRightKeyClick(kv::TObject* sender);
    void EditLeftFileNameRightButtonClick(kv::TObject* sender);
    void EditRightFileNameRightButtonClick(kv::TObject* sender);
    void EditSaveFileNameRightButtonClick(kv::TObject* sender);
    // "条件指定" opens the sort-condition dialog for the batch file's conditions.
    void ComboBoxSaveSortColClick(kv::TObject* sender);
    // Raises kv::Exception for the first empty path (left, right, output), which gets the focus.
    void Validate();
    // Asks for the batch file and writes it; failures are shown in a warning box.
    void ActionSaveToFileExecute(kv::TObject* sender);

    kv::TButtonedEdit* EditLeftFileName = nullptr;
    kv::TCheckBox* CheckBoxLeftRowName = nullptr;
    kv::TStaticText* StaticTextLeftKey = nullptr;
    kv::TButton* BtnLeftKey = nullptr;
    kv::TButtonedEdit* EditRightFileName = nullptr;
    kv::TCheckBox* CheckBoxRightRowName = nullptr;
    kv::TStaticText* StaticTextRightKey = nullptr;
    kv::TButton* BtnRightKey = nullptr;
    kv::TButtonedEdit* EditSaveFileName = nullptr;
    kv::TComboBox* ComboBoxEncoding = nullptr;
    kv::TCheckBox* CheckBoxOverWrite = nullptr;
    kv::TComboBox* ComboBoxShowType = nullptr;
    kv::TComboBox* ComboBoxSaveSortCol = nullptr;
    kv::TButton* BtnHelp = nullptr;
    kv::TButton* BtnSaveToFile = nullptr;
    kv::TButton* BtnClose = nullptr;
    kv::TStatusBar* StatusBar1 = nullptr;
    kv::TImageList* ImageList1 = nullptr;
    kv::TAction* ActionSaveToFile = nullptr;
    kv::TOpenDialog* OpenDialogCsv = nullptr;
    kv::TSaveTextFileDialog* SaveFileDialogCsv = nullptr;
    kv::TSaveDialog* SaveDialogBatch = nullptr;

    int32_t KeyLeft;
    int32_t KeyRight;
    std::vector<TCsvSorter::TSortInfo> SortInfos;

private:
    void BrowseCsv(kv::TButtonedEdit& edit);
};
