#pragma once
// The column list dialog: every column of the joined table with its letters and, when given,
// its caption, plus "none" on top; the user picks one. Used for sort conditions and key
// columns. Windows only; interface thread.
#include <cstdint>
#include <string>
#include <vector>

#include "ui/ComCtrls.h"
#include "ui/Forms.h"
#include "ui/StdCtrls.h"

class TFormCsvSortFieldSelect : public kv::TForm {
    KV_CLASS(TFormCsvSortFieldSelect)
public:
    // columnNames: entry i is the caption of column i; empty lists every column that has
    // letters (16384) without captions.
    TFormCsvSortFieldSelect(kv::TComponent* owner, const std::vector<std::u16string>& columnNames);

    // Fills a row of the list when the list asks for it: row 0 is "none", row n column n - 1.
    void ListViewKeyData(kv::TObject* sender, kv::TListItem& item);
    // Selects the row of that column (-1 or out of range: "none") and scrolls it into view.
    void SelectColumn(int column);
    // The chosen column, -1 for "none" or no selection.
    int GetSelectedColumn() const;

    kv::TLabel* Label1 = nullptr;
    kv::TListView* ListViewKey = nullptr;

    std::vector<std::u16string> ColumnNames;
    int32_t NameCount;
};
