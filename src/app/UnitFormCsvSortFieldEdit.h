#pragma once
// The sort-condition dialog: up to three conditions (column and direction) in priority order,
// each column picked from the column list dialog, and a check box that switches sorting off.
// Windows only; interface thread.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "csv/TCsvSorter.h"
#include "ui/ComCtrls.h"
#include "ui/Forms.h"
#include "ui/StdCtrls.h"

class TFormCsvSortFieldEdit : public kv::TForm {
    KV_CLASS(TFormCsvSortFieldEdit)
public:
    static constexpr int kRows = 3;

    // infos: the conditions to edit (the first three are shown); columnNames: the joined
    // column captions for the column list (may be empty).
    TFormCsvSortFieldEdit(kv::TComponent* owner, const std::vector<TCsvSorter::TSortInfo>& infos,
                          const std::vector<std::u16string>& columnNames);

    // Empty when sorting is switched off; else the rows that have a column, in row order, then
    // the conditions after the third that were handed in, unchanged.
    std::vector<TCsvSorter::TSortInfo> GetSortInfos() const;
    // The "..." button of a row (its Tag): the column list dialog for that row's key.
    void BtnSortKeySelect1Click(kv::TObject* sender);
    // Row 0-2: "(なし)" or the column's letters followed by "列".
    void UpdateKeyText(int row);
    // The direction lists and "..." buttons follow the check box.
    void CheckBoxSortClick(kv::TObject* sender);
    // The help context of the dialog and of its Help button.
    void SetDialogHelpContext(int helpContext);

    kv::TCheckBox* CheckBoxSort = nullptr;
    std::array<kv::TStaticText*, kRows> KeyTexts{};
    std::array<kv::TButton*, kRows> KeyButtons{};
    kv::TStatusBar* StatusBar1 = nullptr;
    kv::TButton* BtnHelp = nullptr;
    kv::TButton* BtnOk = nullptr;
    kv::TButton* BtnCancel = nullptr;

    std::vector<std::u16string> ColumnNames;
    std::array<kv::TComboBox*, kRows> OrderBoxes{};
    std::array<int32_t, kRows> Keys{-1, -1, -1};

private:
    // Conditions after the third: the dialog shows none of them and keeps them.
    std::vector<TCsvSorter::TSortInfo> moreInfos_;
};
