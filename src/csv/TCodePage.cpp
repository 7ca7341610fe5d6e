#include "csv/TCodePage.h"

#include "csv/StringUtility.h"

std::map<unsigned short, std::vector<std::u16string>> TCodePage::Names;

std::string TCodePage::GetBom(unsigned short codePage) {
    return GetPreamble(codePage);
}
