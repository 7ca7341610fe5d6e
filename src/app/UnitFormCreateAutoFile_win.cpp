#include "app/UnitFormCreateAutoFile.h"

#include <exception>

#include "app/TAutoFile.h"
#include "app/UnitFormCsvSortFieldEdit.h"
#include "app/UnitFormCsvSortFieldSelect.h"
#include "base/Exception.h"
#include "base/Text.h"
#include "csv/TCsvUtility.h"
#include "ui/TCursorHourGlass.h"
#include "widgets/WlClasses.h"

TFormCreateAutoFile::TFormCreateAutoFile(kv::TComponent* owner, const TProject& project)
    : TForm(owner), KeyLeft(project.KeyLeft), KeyRight(project.KeyRight),
      SortInfos(project.SortInfos) {
    kv::RegisterWlClasses();
    BindField(u"EditLeftFileName", EditLeftFileName);
    BindField(u"CheckBoxLeftRowName", CheckBoxLeftRowName);
    BindField(u"StaticTextLeftKey", StaticTextLeftKey);
    BindField(u"BtnLeftKey", BtnLeftKey);
    BindField(u"EditRightFileName", EditRightFileName);
    BindField(u"CheckBoxRightRowName", CheckBoxRightRowName);
    BindField(u"StaticTextRightKey", StaticTextRightKey);
    BindField(u"BtnRightKey", BtnRightKey);
    BindField(u"EditSaveFileName", EditSaveFileName);
    BindField(u"ComboBoxEncoding", ComboBoxEncoding);
    BindField(u"CheckBoxOverWrite", CheckBoxOverWrite);
    BindField(u"ComboBoxShowType", ComboBoxShowType);
    BindField(u"ComboBoxSaveSortCol", ComboBoxSaveSortCol);
    BindField(u"BtnHelp", BtnHelp);
    BindField(u"BtnSaveToFile", BtnSaveToFile);
    BindField(u"BtnClose", BtnClose);
    BindField(u"StatusBar1", StatusBar1);
    BindField(u"ImageList1", ImageList1);
    BindField(u"ActionSaveToFile", ActionSaveToFile);
    BindField(u"OpenDialogCsv", OpenDialogCsv);
    BindField(u"SaveFileDialogCsv", SaveFileDialogCsv);
    BindField(u"SaveDialogBatch", SaveDialogBatch);
    using Notify = void(kv::TObject*);
    RegisterHandler<Notify>(u"BtnLeftKeyClick", [this](kv::TObject* s) { BtnLeftKeyClick(s); });
    RegisterHandler<Notify>(u"BtnRightKeyClick", [this](kv::TObject* s) { BtnRightKeyClick(s); });
    RegisterHandler<Notify>(u"EditLeftFileNameRightButtonClick",
                            [this](kv::TObject* s) { EditLeftFileNameRightButtonClick(s); });
    RegisterHandler<Notify>(u"EditRightFileNameRightButtonClick",
                            [this](kv::TObject* s) { EditRightFileNameRightButtonClick(s); });
    RegisterHandler<Notify>(u"EditSaveFileNameRightButtonClick",
                            [this](kv::TObject* s) { EditSaveFileNameRightButtonClick(s); });
    RegisterHandler<Notify>(u"ComboBoxSaveSortColClick",
                            [this](kv::TObject* s) { ComboBoxSaveSortColClick(s); });
    RegisterHandler<Notify>(u"ActionSaveToFileExecute",
                            [this](kv::TObject* s) { ActionSaveToFileExecute(s); });
    ReadForm(u"TFORMCREATEAUTOFILE");

    EditLeftFileName->SetText(project.FileNameLeft);
    CheckBoxLeftRowName->SetChecked(project.FirstLineIsTitleLeft);
    EditRightFileName->SetText(project.FileNameRight);
    CheckBoxRightRowName->SetChecked(project.FirstLineIsTitleRight);
    UpdateKeyLabel(0);
    UpdateKeyLabel(1);
    EditSaveFileName->SetText(project.SaveFileName);
    ComboBoxEncoding->SetItemIndex(project.EncodingIndex);
    CheckBoxOverWrite->SetChecked(!project.SaveIsNew);
    ComboBoxShowType->SetItemIndex(project.ShowType);
    ComboBoxSaveSortCol->SetItemIndex(project.SortInfos.empty() ? project.SaveSortCol : 2);
}

void TFormCreateAutoFile::UpdateKeyLabel(int side) {
    if (side != 0 && side != 1) return;
    const int32_t key = side == 0 ? KeyLeft : KeyRight;
    // A key without letters (-1) shows the suffix alone.
    (side == 0 ? StaticTextLeftKey : StaticTextRightKey)
        ->SetCaption(TCsvUtility::ColumnName(key) + u"列");
}

bool TFormCreateAutoFile::SelectKeyColumn(int side) {
    if (side != 0 && side != 1) return false;
    int32_t& key = side == 0 ? KeyLeft : KeyRight;
    TFormCsvSortFieldSelect select(this, {});
    select.SelectColumn(key);
    if (select.ShowModal() != kv::mrOk) return false;
    key = select.GetSelectedColumn();
    UpdateKeyLabel(side);
    return true;
}

void TFormCreateAutoFile::BtnLeftKeyClick(kv::TObject* sender) {
    SelectKeyColumn(0);
}

void TFormCreateAutoFile::BtnRightKeyClick(kv::TObject* sender) {
    SelectKeyColumn(1);
}

void TFormCreateAutoFile::BrowseCsv(kv::TButtonedEdit& edit) {
    OpenDialogCsv->FileName = edit.Text();
    if (OpenDialogCsv->Execute()) edit.SetText(OpenDialogCsv->FileName);
}

void TFormCreateAutoFile::EditLeftFileNameRightButtonClick(kv::TObject* sender) {
    BrowseCsv(*EditLeftFileName);
}

void TFormCreateAutoFile::EditRightFileNameRightButtonClick(kv::TObject* sender) {
    BrowseCsv(*EditRightFileName);
}

void TFormCreateAutoFile::EditSaveFileNameRightButtonClick(kv::TObject* sender) {
    SaveFileDialogCsv->FileName = EditSaveFileName->Text();
    SaveFileDialogCsv->EncodingIndex = ComboBoxEncoding->ItemIndex();
    if (!SaveFileDialogCsv->Execute()) return;
    EditSaveFileName->SetText(SaveFileDialogCsv->FileName);
    ComboBoxEncoding->SetItemIndex(SaveFileDialogCsv->EncodingIndex);
}

void TFormCreateAutoFile::ComboBoxSaveSortColClick(kv::TObject* sender) {
    if (ComboBoxSaveSortCol->ItemIndex() != 2) return;
    TFormCsvSortFieldEdit edit(this, SortInfos, {});
    if (edit.ShowModal() == kv::mrOk) SortInfos = edit.GetSortInfos();
}

void TFormCreateAutoFile::Validate() {
    const struct {
        kv::TButtonedEdit* edit;
        const char16_t* message;
    } kBoxes[] = {
        {EditLeftFileName, u"左CSVファイルが選択されていません。"},
        {EditRightFileName, u"右CSVファイルが選択されていません。"},
        {EditSaveFileName, u"作成するCSVファイルが選択されていません。"},
    };
    for (const auto& box : kBoxes) {
        if (!box.edit->Text().empty()) continue;
        if (box.edit->CanFocus()) box.edit->SetFocus();
        throw kv::Exception(box.message);
    }
}

void TFormCreateAutoFile::ActionSaveToFileExecute(kv::TObject* sender) {
    try {
        Validate();
        if (!SaveDialogBatch->Execute()) return;
        const kv::TCursorHourGlass hourGlass;
        TAutoFile::SaveToFile(SaveDialogBatch->FileName, EditLeftFileName->Text(), KeyLeft,
                              CheckBoxLeftRowName->Checked(), EditRightFileName->Text(), KeyRight,
                              CheckBoxRightRowName->Checked(), EditSaveFileName->Text(),
                              ComboBoxEncoding->ItemIndex(), !CheckBoxOverWrite->Checked(),
                              ComboBoxShowType->ItemIndex(), ComboBoxSaveSortCol->ItemIndex(),
                              SortInfos);
        StatusBar1->SetSimpleText(u"自動実行バッチファイルを作成しました。");
    } catch (const kv::Exception& e) {
        kv::ShowWarning(e.Message());
    } catch (const std::exception& e) {
        kv::ShowWarning(kv::Utf8ToUtf16(e.what()));
    }
}
