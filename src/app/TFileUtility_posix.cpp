#include "app/TFileUtility.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "base/Exception.h"
#include "base/Text.h"

// Stand-in for the native build: the same names and failures as GetTempPath / GetTempFileName,
// so that the portable users of temporary files can be tested natively.

std::u16string TFileUtility::GetTempDirectory() {
    const char* env = std::getenv("TMPDIR");
    std::u16string dir = kv::Utf8ToUtf16(env && *env ? env : "/tmp");
    if (dir.back() != u'/') dir += u'/';
    return dir;
}

std::u16string TFileUtility::CreateTempFileName(const std::u16string& folder,
                                                const std::u16string& prefix) {
    std::u16string dir = folder.empty() ? GetTempDirectory() : folder;
    if (dir.back() != u'/') dir += u'/';
    const std::u16string stem = dir + prefix.substr(0, 3);
    unsigned start = static_cast<unsigned>(getpid()) & 0xFFFF;
    for (unsigned i = 0; i < 0x10000; ++i) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%X", ((start + i) & 0xFFFF) ? (start + i) & 0xFFFF : 1);
        const std::u16string path = stem + kv::Utf8ToUtf16(hex) + u".tmp";
        const int fd = ::open(kv::Utf16ToUtf8(path).c_str(), O_CREAT | O_EXCL | O_WRONLY, 0600);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST) break;
    }
    throw kv::Exception(u"一時ファイルの作成に失敗しました。");
}
