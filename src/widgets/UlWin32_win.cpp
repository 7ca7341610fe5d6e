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

std::u16string LoadResourceText(HMODULE module, unsigned id) {
    const wchar_t* p = nullptr;
    const int n = LoadStringW(module, id, reinterpret_cast<wchar_t*>(&p), 0);
    return n > 0 ? std::u16string(reinterpret_cast<const char16_t*>(p), n) : std::u16string();
}

// The last error is taken as an argument, so it is read before makeText runs (which may load a
// resource or allocate, and so change it).
template <class F> std::pair<std::u16string, DWORD> WithLastError(DWORD code, F makeText) {
    return {makeText(), code};
}

} // namespace

std::u16string UlFormat(std::u16string_view format, const std::vector<TUlFormatArg>& args) {
    std::u16string out;
    auto next = args.begin();
    for (size_t i = 0; i < format.size(); ++i) {
        const char16_t ch = format[i];
        if (ch != u'%' || i + 1 >= format.size()) {
            out.push_back(ch);
            continue;
        }
        const char16_t kind = format[++i];
        if (kind == u'%') {
            out.push_back(u'%');
            continue;
        }
        if (kind != u's' && kind != u'd' && kind != u'u' && kind != u'x') {
            out.push_back(u'%');
            out.push_back(kind);
            continue;
        }
        if (next == args.end()) continue;
        const TUlFormatArg& arg = *next++;
        if (const auto* text = std::get_if<std::u16string>(&arg)) {
            out += *text;
        } else if (kind == u'x') {
            static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
            auto v = static_cast<unsigned long long>(std::get<long long>(arg));
            std::u16string hex;
            do {
                hex.insert(hex.begin(), kDigits[v & 15]);
                v >>= 4;
            } while (v);
            out += hex;
        } else {
            out += kv::IntToStr(std::get<long long>(arg));
        }
    }
    return out;
}

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

EUlWin32Error::EUlWin32Error(std::u16string_view format, const std::vector<TUlFormatArg>& args)
    : EUlWin32Error(WithLastError(GetLastError(), [&] { return UlFormat(format, args); })) {}

EUlWin32Error::EUlWin32Error(const TResStringRec& resource)
    : EUlWin32Error(WithLastError(GetLastError(), [&] {
          const HMODULE module = resource.Module ? *resource.Module : GetModuleHandleW(nullptr);
          return LoadResourceText(module, resource.Identifier);
      })) {}

EUlWin32Error EUlWin32Error::FromResource(unsigned id) {
    const DWORD code = GetLastError();
    return EUlWin32Error(LoadResourceText(GetModuleHandleW(nullptr), id), code);
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
