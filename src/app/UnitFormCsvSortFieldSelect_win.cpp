#include "app/UnitFormCsvSortFieldSelect.h"

#include "base/Text.h"
#include "csv/TCsvUtility.h"
#include "widgets/WlClasses.h"

TFormCsvSortFieldSelect::TFormCsvSortFieldSelect(kv::TComponent* owner,
                                                 const std::vector<std::u16string>& columnNames)
    : TForm(owner), ColumnNames(columnNames), NameCount(static_cast<int32_t>(columnNames.size())) {
    kv::RegisterWlClasses();
    BindField(u"Label1", Label1);
    BindField(u"ListViewKey", ListViewKey);
    RegisterHandler<void(kv::TObject*, kv::TListItem&)>(
        u"ListViewKeyData",
        [this](kv::TObject* sender, kv::TListItem& item) { ListViewKeyData(sender, item); });
    ReadForm(u"TFORMCSVSORTFIELDSELECT");
    // "none", then every captioned column, or every column that has letters.
    ListViewKey->SetItemCount(NameCount > 0 ? NameCount + 1 : TCsvUtility::MaxColumnCount + 1);
}

void TFormCsvSortFieldSelect::ListViewKeyData(kv::TObject* sender, kv::TListItem& item) {
    const int n = item.index;
    item.subItems.clear();
    if (n == 0) {
        item.caption.clear();
        item.subItems = {u"(なし)", u""};
        return;
    }
    item.caption = kv::IntToStr(n);
    item.subItems.push_back(TCsvUtility::ColumnName(n - 1) + u"列");
    item.subItems.push_back(n - 1 < NameCount ? ColumnNames[static_cast<size_t>(n - 1)]
                                              : std::u16string());
}

void TFormCsvSortFieldSelect::SelectColumn(int column) {
    // The list's window exists before the row is selected, so that it can scroll to it.
    ListViewKey->HandleNeeded();
    const int count = ListViewKey->ItemCount();
    const int index = column + 1 >= 0 && column + 1 < count ? column + 1 : 0;
    ListViewKey->SetItemIndex(index);
    ListViewKey->MakeVisible(index);
}

int TFormCsvSortFieldSelect::GetSelectedColumn() const {
    const int index = ListViewKey->ItemIndex();
    return index < 0 ? -1 : index - 1;
}
