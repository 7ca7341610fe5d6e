#include "app/UnitFormCsvSortFieldEdit.h"

#include "app/UnitFormCsvSortFieldSelect.h"
#include "base/Text.h"
#include "csv/TCsvUtility.h"
#include "widgets/WlClasses.h"

TFormCsvSortFieldEdit::TFormCsvSortFieldEdit(kv::TComponent* owner,
                                             const std::vector<TCsvSorter::TSortInfo>& infos,
                                             const std::vector<std::u16string>& columnNames)
    : TForm(owner), ColumnNames(columnNames) {
    kv::RegisterWlClasses();
    BindField(u"CheckBoxSort", CheckBoxSort);
    for (int i = 0; i < kRows; ++i) {
        const std::u16string n = kv::IntToStr(i + 1);
        BindField(u"StaticTextKey" + n, KeyTexts[i]);
        BindField(u"BtnSortKeySelect" + n, KeyButtons[i]);
        BindField(u"ComboBoxSortOrder" + n, OrderBoxes[i]);
    }
    BindField(u"StatusBar1", StatusBar1);
    BindField(u"BtnHelp", BtnHelp);
    BindField(u"BtnOk", BtnOk);
    BindField(u"BtnCancel", BtnCancel);
    using Notify = void(kv::TObject*);
    RegisterHandler<Notify>(u"BtnSortKeySelect1Click",
                            [this](kv::TObject* s) { BtnSortKeySelect1Click(s); });
    RegisterHandler<Notify>(u"CheckBoxSortClick", [this](kv::TObject* s) { CheckBoxSortClick(s); });
    ReadForm(u"TFORMCSVSORTFIELDEDIT");

    CheckBoxSort->SetChecked(!infos.empty());
    CheckBoxSortClick(CheckBoxSort);
    for (size_t i = 0; i < infos.size(); ++i) {
        if (i < kRows) {
            Keys[i] = infos[i].Column;
            // A direction other than 0 and 1 leaves the list without selection.
            OrderBoxes[i]->SetItemIndex(infos[i].Order);
        } else {
            moreInfos_.push_back(infos[i]);
        }
    }
    for (int i = 0; i < kRows; ++i) UpdateKeyText(i);
}

std::vector<TCsvSorter::TSortInfo> TFormCsvSortFieldEdit::GetSortInfos() const {
    std::vector<TCsvSorter::TSortInfo> infos;
    if (!CheckBoxSort->Checked()) return infos;
    for (int i = 0; i < kRows; ++i)
        if (Keys[i] != -1) infos.push_back({Keys[i], OrderBoxes[i]->ItemIndex()});
    infos.insert(infos.end(), moreInfos_.begin(), moreInfos_.end());
    return infos;
}

void TFormCsvSortFieldEdit::BtnSortKeySelect1Click(kv::TObject* sender) {
    const auto* control = dynamic_cast<kv::TControl*>(sender);
    if (!control) return;
    const int row = control->Tag();
    if (row < 0 || row >= kRows) return;
    TFormCsvSortFieldSelect select(this, ColumnNames);
    select.SelectColumn(Keys[row]);
    if (select.ShowModal() != kv::mrOk) return;
    Keys[row] = select.GetSelectedColumn();
    UpdateKeyText(row);
}

void TFormCsvSortFieldEdit::UpdateKeyText(int row) {
    if (row < 0 || row >= kRows) return;
    KeyTexts[row]->SetCaption(Keys[row] == -1 ? std::u16string(u"(なし)")
                                              : TCsvUtility::ColumnName(Keys[row]) + u"列");
}

void TFormCsvSortFieldEdit::CheckBoxSortClick(kv::TObject* sender) {
    const bool on = CheckBoxSort->Checked();
    for (int i = 0; i < kRows; ++i) {
        OrderBoxes[i]->SetEnabled(on);
        KeyButtons[i]->SetEnabled(on);
    }
}

void TFormCsvSortFieldEdit::SetDialogHelpContext(int helpContext) {
    SetHelpContext(helpContext);
    BtnHelp->SetHelpContext(helpContext);
}
