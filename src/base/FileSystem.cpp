#include "base/FileSystem.h"

namespace kv {
namespace {

constexpr std::u16string_view kDelimiters = u"\\/:";

size_t LastDelimiter(std::u16string_view path) {
    return path.find_last_of(kDelimiters);
}

} // namespace

std::u16string ExtractFileDir(std::u16string_view path) {
    const size_t p = LastDelimiter(path);
    if (p == std::u16string_view::npos) return {};
    // A drive ("C:") or a root ("C:\\", "/") keeps its delimiter.
    const bool root = p == 0 || path[p] == u':' ||
                      kDelimiters.find(path[p - 1]) != std::u16string_view::npos;
    return std::u16string(path.substr(0, root ? p + 1 : p));
}

std::u16string ExtractFilePath(std::u16string_view path) {
    const size_t p = LastDelimiter(path);
    return p == std::u16string_view::npos ? std::u16string()
                                          : std::u16string(path.substr(0, p + 1));
}

std::u16string ExtractFileName(std::u16string_view path) {
    const size_t p = LastDelimiter(path);
    return std::u16string(p == std::u16string_view::npos ? path : path.substr(p + 1));
}

std::u16string ChangeFileExt(std::u16string_view path, std::u16string_view ext) {
    const size_t delim = LastDelimiter(path);
    const size_t dot = path.find_last_of(u'.');
    const bool hasExt =
        dot != std::u16string_view::npos && (delim == std::u16string_view::npos || dot > delim);
    std::u16string out(hasExt ? path.substr(0, dot) : path);
    out += ext;
    return out;
}

} // namespace kv
