#pragma once
// The component's wrappers around zlib and minizip: buffer compression (deflate at level 9 and
// inflate) and zip archives with traditional PKWARE encryption. The zip routines report failure
// only by their results. Any thread; one archive handle per thread at a time.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/Exception.h"

namespace kv::crash {

// A failed zlib call; the message is zlib's text for the code ("data error", ...).
class EZLibError : public kv::Exception {
public:
    explicit EZLibError(int code);
    int Code() const noexcept { return code_; }

private:
    int code_;
};

// Deflates inSize bytes at level 9 into out. Raises EZLibError when zlib fails.
void ZCompress(const void* in, size_t inSize, std::string& out);
// Inflates into out. Damaged or cut data ends the output early without an exception (out holds
// what was decoded before); only a failing set-up or end of the inflater raises EZLibError.
void ZDecompress(const void* in, size_t inSize, std::string& out);

// An open archive of the zip library; nullptr for none.
using TZipHandle = void*;

// Replaces any file of that name by a new, empty archive; nullptr on failure.
TZipHandle CreateZipFile(const std::string& fileName);
// Adds the file on disk as entry archiveFileName (deflate level 9, encrypted when password is not
// empty). False when the file cannot be read (another process writing it, say) or the entry
// cannot be written.
bool AddZipFile(TZipHandle zip, const std::string& fileName, const std::string& archiveFileName,
                const std::string& password);
// Closes the open entry and the archive; true when the archive was closed without error.
bool CloseZipFile(TZipHandle zip);
// The most bytes ExtractZipFiles writes for one archive unless told otherwise: far above the
// attachments of any report (each is read whole into memory when it is zipped), far below what
// a small archive of highly compressed data can claim.
constexpr uint64_t kMaxExtractedBytes = uint64_t{256} << 20;
// Writes every entry of the archive into outDir (overwriting); true when every entry was
// written and closed without error. Entries whose names would leave outDir are not written.
bool ExtractZipFiles(const std::string& archiveFileName, const std::string& outDir,
                     const std::string& password, uint64_t maxBytes = kMaxExtractedBytes);

} // namespace kv::crash
