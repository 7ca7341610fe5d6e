#include "app/TkAppInfo.h"

#include <windows.h>

#include "base/Exception.h"
#include "base/FileSystem.h"

namespace {

char16_t Hex(uint32_t v) {
    return u"0123456789ABCDEF"[v & 0xF];
}

} // namespace

TkAppInfo::TkAppInfo() {
    const std::u16string self = kv::GetProgramFileName();
    const auto* path = reinterpret_cast<const wchar_t*>(self.c_str());
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &handle);
    if (size == 0) throw kv::Exception(u"バージョン情報を取得できません");
    // Twice the size: room for the conversions VerQueryValue may make inside the block.
    Buffer.resize(static_cast<size_t>(size) * 2);
    if (!GetFileVersionInfoW(path, 0, size, Buffer.data())) {
        Buffer.clear();
        throw kv::Exception(u"バージョン情報を取得できません");
    }
    void* value = nullptr;
    UINT len = 0;
    if (VerQueryValueW(Buffer.data(), L"\\VarFileInfo\\Translation", &value, &len) && value &&
        len >= sizeof(DWORD))
        Translation = *static_cast<const DWORD*>(value);
}

std::u16string TkAppInfo::GetValue(int index) const {
    const char16_t* name = ValueName(index);
    if (!name || Buffer.empty()) return {};
    // "\StringFileInfo\" + language and code page as four upper-case hex digits each + name
    std::u16string block = u"\\StringFileInfo\\";
    for (int shift = 12; shift >= 0; shift -= 4) block += Hex((Translation & 0xFFFF) >> shift);
    for (int shift = 12; shift >= 0; shift -= 4) block += Hex((Translation >> 16) >> shift);
    block += u"\\";
    block += name;
    void* value = nullptr;
    UINT len = 0;
    if (!VerQueryValueW(Buffer.data(), reinterpret_cast<const wchar_t*>(block.c_str()), &value,
                        &len) ||
        !value || len == 0)
        return {};
    std::u16string text(static_cast<const char16_t*>(value), len);
    if (const size_t nul = text.find(u'\0'); nul != std::u16string::npos) text.resize(nul);
    return text;
}
