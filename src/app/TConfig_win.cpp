#include "app/TConfig.h"

#include "app/TSpecialFolder.h"

std::u16string TConfig::GetFileName() {
    return FileNameIn(TSpecialFolder::GetPath(1));
}
