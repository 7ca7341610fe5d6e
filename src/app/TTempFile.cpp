#include "app/TTempFile.h"

#include "app/TFileUtility.h"
#include "base/FileSystem.h"

TTempFile::TTempFile(const std::u16string& extension, const std::u16string& folder)
    : FileName(folder.empty() ? TFileUtility::GetTempFileNameInTempDir()
                              : TFileUtility::CreateTempFileName(folder, u"")) {
    FileName = ChangeExtension(FileName, extension);
}

TTempFile::~TTempFile() {
    kv::FileDelete(FileName);
}

std::u16string TTempFile::ChangeExtension(const std::u16string& fileName,
                                          const std::u16string& extension) {
    if (extension.empty()) return fileName;
    const std::u16string ext = extension[0] == u'.' ? extension : u"." + extension;
    const std::u16string renamed = kv::ChangeFileExt(fileName, ext);
    return kv::FileRename(fileName, renamed) ? renamed : fileName;
}
