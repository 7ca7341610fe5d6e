#include "base/FileSystem.h"

#include <windows.h>

#include <string>

namespace kv {
namespace {

const wchar_t* W(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

} // namespace

bool DirectoryExists(const std::u16string& path) {
    const DWORD a = GetFileAttributesW(W(path));
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool ForceDirectories(const std::u16string& path) {
    if (path.empty()) return true;
    std::u16string dir = path;
    while (dir.size() > 1 && (dir.back() == u'\\' || dir.back() == u'/') &&
           dir[dir.size() - 2] != u':')
        dir.pop_back();
    if (DirectoryExists(dir)) return true;
    const std::u16string parent = ExtractFileDir(dir);
    if (!parent.empty() && parent != dir) ForceDirectories(parent);
    return CreateDirectoryW(W(dir), nullptr) || DirectoryExists(dir);
}

bool FileDelete(const std::u16string& path) {
    return DeleteFileW(W(path)) != 0;
}

bool FileRename(const std::u16string& from, const std::u16string& to) {
    return MoveFileW(W(from), W(to)) != 0; // fails when `to` exists
}

std::u16string GetProgramFileName() {
    std::u16string buf(MAX_PATH, u'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, reinterpret_cast<wchar_t*>(buf.data()),
                                           static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) {
            buf.resize(n);
            return buf;
        }
        buf.resize(buf.size() * 2);
    }
}

} // namespace kv
