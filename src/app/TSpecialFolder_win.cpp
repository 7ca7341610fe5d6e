#include "app/TSpecialFolder.h"

#include <windows.h>
#include <shlobj.h>

namespace {

class ShellMalloc { // IMalloc::Release
public:
    ShellMalloc() {
        if (FAILED(SHGetMalloc(&m_))) m_ = nullptr;
    }
    ~ShellMalloc() {
        if (m_) m_->Release();
    }
    ShellMalloc(const ShellMalloc&) = delete;
    ShellMalloc& operator=(const ShellMalloc&) = delete;
    IMalloc* get() const { return m_; }

private:
    IMalloc* m_ = nullptr;
};

class ItemIdList { // freed through the shell's allocator
public:
    explicit ItemIdList(IMalloc* malloc) : malloc_(malloc) {}
    ~ItemIdList() {
        if (pidl_) malloc_->Free(pidl_);
    }
    ItemIdList(const ItemIdList&) = delete;
    ItemIdList& operator=(const ItemIdList&) = delete;
    LPITEMIDLIST* out() { return &pidl_; }
    LPCITEMIDLIST get() const { return pidl_; }

private:
    IMalloc* malloc_; // not owned
    LPITEMIDLIST pidl_ = nullptr;
};

} // namespace

std::u16string TSpecialFolder::GetPath(int code) {
    const int csidl = ToCsidl(code);
    const ShellMalloc malloc;
    if (!malloc.get()) return {};
    ItemIdList pidl(malloc.get());
    // No owner window: the shell only uses it for dialogs, which these folders never need.
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, pidl.out())) || !pidl.get()) return {};
    wchar_t path[MAX_PATH + 1] = {};
    if (!SHGetPathFromIDListW(pidl.get(), path)) return {};
    return std::u16string(reinterpret_cast<const char16_t*>(path));
}
