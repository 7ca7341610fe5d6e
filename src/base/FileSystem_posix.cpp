#include "base/FileSystem.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "base/Text.h"

namespace kv {

bool DirectoryExists(const std::u16string& path) {
    struct stat st {};
    return ::stat(Utf16ToUtf8(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ForceDirectories(const std::u16string& path) {
    if (path.empty()) return true;
    std::u16string dir = path;
    while (dir.size() > 1 && dir.back() == u'/') dir.pop_back();
    if (DirectoryExists(dir)) return true;
    const std::u16string parent = ExtractFileDir(dir);
    if (!parent.empty() && parent != dir) ForceDirectories(parent);
    return ::mkdir(Utf16ToUtf8(dir).c_str(), 0777) == 0 || DirectoryExists(dir);
}

bool FileDelete(const std::u16string& path) {
    return ::unlink(Utf16ToUtf8(path).c_str()) == 0;
}

bool FileRename(const std::u16string& from, const std::u16string& to) {
    // link + unlink instead of rename(), which would replace an existing `to`.
    const std::string f = Utf16ToUtf8(from), t = Utf16ToUtf8(to);
    if (::link(f.c_str(), t.c_str()) != 0) return false;
    ::unlink(f.c_str());
    return true;
}

std::u16string GetProgramFileName() {
    std::string buf(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n <= 0) return {};
    buf.resize(static_cast<size_t>(n));
    return Utf8ToUtf16(buf);
}

} // namespace kv
