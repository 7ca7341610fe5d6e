// libFuzzer target over comma text and the sort conditions read from it. Input: UTF-16LE text.
// Items written as comma text must read back as the same items; sort conditions written back
// must read again to the same conditions.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "base/StringList.h"
#include "csv/TCsvSorter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::u16string text = fuzz::AsUtf16(data, size);

    kv::TStringList list;
    list.SetCommaText(text);
    kv::TStringList again;
    again.SetCommaText(list.GetCommaText());
    if (again.GetCommaText() != list.GetCommaText()) std::abort();

    const std::vector<TCsvSorter::TSortInfo> infos = TCsvSorter::FromCommaText(text);
    const std::u16string written = TCsvSorter::ToCommaText(infos);
    if (TCsvSorter::FromCommaText(written) != infos) std::abort();
    return 0;
}
