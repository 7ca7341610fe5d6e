#pragma once
// The archive writer of the report's attachments and its reading counterpart, over ClZlib2.
// Failures are not reported: a file that cannot be read is simply missing from the archive.
#include <string>

#include "crash/core/ClZlib2.h"

namespace kv::crash {

class TZipWriter {
public:
    // Replaces fileName by a new archive; entries are encrypted when password is not empty.
    TZipWriter(const std::string& fileName, std::string password);
    ~TZipWriter(); // closes the archive
    TZipWriter(const TZipWriter&) = delete;
    TZipWriter& operator=(const TZipWriter&) = delete;

    void AddFile(const std::string& fileName, const std::string& archiveFileName);

private:
    TZipHandle FZipHandle;
    std::string FPassword;
};

// Extracts every entry of inputName into outDir on construction.
class TZipExtractor {
public:
    TZipExtractor(const std::string& inputName, const std::string& password,
                  const std::string& outDir);
    bool Succeeded() const { return succeeded_; }

private:
    bool succeeded_;
};

} // namespace kv::crash
