#include "app/TFileUtility.h"

#include <windows.h>

#include "base/Exception.h"

std::u16string TFileUtility::GetTempDirectory() {
    wchar_t buf[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH, buf);
    if (n == 0 || n > MAX_PATH) throw kv::Exception(u"Cannot get temporary direcotry.");
    return std::u16string(reinterpret_cast<const char16_t*>(buf), n);
}

std::u16string TFileUtility::CreateTempFileName(const std::u16string& folder,
                                                const std::u16string& prefix) {
    const std::u16string dir = folder.empty() ? GetTempDirectory() : folder;
    wchar_t buf[MAX_PATH + 1] = {};
    if (GetTempFileNameW(reinterpret_cast<const wchar_t*>(dir.c_str()),
                         reinterpret_cast<const wchar_t*>(prefix.c_str()), 0, buf) == 0)
        throw kv::Exception(u"一時ファイルの作成に失敗しました。");
    return std::u16string(reinterpret_cast<const char16_t*>(buf));
}
