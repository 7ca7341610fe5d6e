#include "crash/core/ClZip.h"

namespace kv::crash {

TZipWriter::TZipWriter(const std::string& fileName, std::string password)
    : FZipHandle(CreateZipFile(fileName)), FPassword(std::move(password)) {}

TZipWriter::~TZipWriter() {
    CloseZipFile(FZipHandle);
}

void TZipWriter::AddFile(const std::string& fileName, const std::string& archiveFileName) {
    AddZipFile(FZipHandle, fileName, archiveFileName, FPassword);
}

TZipExtractor::TZipExtractor(const std::string& inputName, const std::string& password,
                             const std::string& outDir)
    : succeeded_(ExtractZipFiles(inputName, outDir, password)) {}

} // namespace kv::crash
