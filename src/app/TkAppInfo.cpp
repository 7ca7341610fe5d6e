#include "app/TkAppInfo.h"

#include <iterator>

const char16_t* TkAppInfo::ValueName(int index) {
    static constexpr const char16_t* kNames[] = {
        u"Comments",     u"CompanyName",    u"FileDescription", u"FileVersion",
        u"InternalName", u"LegalCopyright", u"LegalTradeMarks", u"OriginalFilename",
        u"PrivateBuild", u"ProductName",    u"ProductVersion"};
    if (index < 0 || index >= static_cast<int>(std::size(kNames))) return nullptr;
    return kNames[index];
}
