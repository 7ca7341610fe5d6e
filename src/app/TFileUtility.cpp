#include "app/TFileUtility.h"

std::u16string TFileUtility::GetTempFileNameInTempDir() {
    return CreateTempFileName(u"", u"");
}
