#include "app/TConfig.h"

TConfig::~TConfig() = default;

std::u16string TConfig::FileNameIn(const std::u16string& appDataFolder) {
    std::u16string path = appDataFolder;
    if (path.empty() || path.back() != u'\\') path += u'\\';
    return path + u"Ostrevin\\kolvane\\kolvane.ini";
}
