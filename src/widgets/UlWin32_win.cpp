#include "widgets/UlWin32.h"

#include <vector>

#include "base/Text.h"

namespace {

const wchar_t* W(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

std::u16string Win32Message(const std::u16string& systemText, DWORD code,
                            const std::u16string& text) {
    return u"Win32 error: " + systemText + u" (" + kv::IntToStr(code) + u")\r\n" + text;
}

} // namespace

std::u16string SysErrorMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::u16string text;
    if (n > 0 && buffer) text.assign(reinterpret_cast<const char16_t*>(buffer), n);
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r' || text.back() == u' '))
        text.pop_back();
    return text;
}

EUlWin32Error::EUlWin32Error(const std::u16string& text) : EUlWin32Error(text, GetLastError()) {}

EUlWin32Error::EUlWin32Error(const std::u16string& text, DWORD code)
    : EUlError(Win32Message(SysErrorMessage(code), code, text)), LastError(code),
      LastErrorMsg(SysErrorMessage(code)) {}

EUlWin32Error EUlWin32Error::FromResource(unsigned id) {
    const DWORD code = GetLastError();
    const wchar_t* p = nullptr;
    const int n = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<wchar_t*>(&p), 0);
    const std::u16string text =
        n > 0 ? std::u16string(reinterpret_cast<const char16_t*>(p), n) : std::u16string();
    return EUlWin32Error(text, code);
}

bool ReadFixedVersionRecord(const std::u16string& fileName, VS_FIXEDFILEINFO& fixed) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(W(fileName), &handle);
    if (size == 0) return false;
    std::vector<unsigned char> data(size);
    if (!GetFileVersionInfoW(W(fileName), handle, size, data.data())) return false;
    void* root = nullptr;
    UINT rootSize = 0;
    if (!VerQueryValueW(data.data(), L"\\", &root, &rootSize) ||
        rootSize != sizeof(VS_FIXEDFILEINFO))
        return false;
    fixed = *static_cast<VS_FIXEDFILEINFO*>(root);
    return true;
}

std::u16string ModulePath(HMODULE module) {
    wchar_t buffer[261] = {};
    const DWORD n = GetModuleFileNameW(module, buffer, 261);
    return std::u16string(reinterpret_cast<const char16_t*>(buffer), n);
}
