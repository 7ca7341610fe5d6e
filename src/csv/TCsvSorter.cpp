#include "csv/TCsvSorter.h"

#include "base/StringList.h"
#include "base/Text.h"

namespace {

int IntOrZero(std::u16string_view s) {
    int v = 0;
    return kv::TryStrToInt(s, v) ? v : 0;
}

} // namespace

std::u16string TCsvSorter::ToCommaText(const std::vector<TSortInfo>& infos) {
    kv::TStringList list;
    for (const TSortInfo& info : infos) {
        list.Add(kv::IntToStr(info.Column));
        list.Add(kv::IntToStr(info.Order));
    }
    return list.GetCommaText();
}

std::vector<TCsvSorter::TSortInfo> TCsvSorter::FromCommaText(std::u16string_view text) {
    const std::vector<std::u16string> items = kv::TStringList::SplitCommaText(text);
    std::vector<TSortInfo> infos;
    for (size_t i = 0; i + 1 < items.size(); i += 2)
        infos.push_back({IntOrZero(items[i]), IntOrZero(items[i + 1])});
    return infos;
}
