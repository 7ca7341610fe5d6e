#include "widgets/XFileDialogBrowseFolder.h"

#include <ole2.h>

#include <vector>

#include "ui/Application.h"
#include "ui/Control.h"
#include "ui/Services.h"
#include "ui/Types.h"

namespace kv {

namespace {

constexpr wchar_t kOwnerProp[] = L"XFileDialogBrowseFolder";
constexpr int kTreeItemId = 14145;

HWND ApplicationWindow() {
    return Application ? Application->Handle() : nullptr;
}

std::u16string PathOf(PCIDLIST_ABSOLUTE pidl) {
    wchar_t buf[MAX_PATH * 2] = {};
    if (!pidl || !SHGetPathFromIDListW(pidl, buf)) return {};
    return FromW(buf);
}

// Critical-error boxes of the system stay off for the scope.
class QuietErrorMode {
public:
    QuietErrorMode() : previous_(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
    ~QuietErrorMode() { SetErrorMode(previous_); }
    QuietErrorMode(const QuietErrorMode&) = delete;
    QuietErrorMode& operator=(const QuietErrorMode&) = delete;

private:
    UINT previous_;
};

// OLE for the scope (the shell's new-style dialog needs it).
class OleScope {
public:
    OleScope() : ok_(SUCCEEDED(OleInitialize(nullptr))) {}
    ~OleScope() {
        if (ok_) OleUninitialize();
    }
    OleScope(const OleScope&) = delete;
    OleScope& operator=(const OleScope&) = delete;

private:
    bool ok_;
};

} // namespace

void ReadOSVersion(uint32_t& major, uint32_t& minor, bool& beforeVista) {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    major = minor = 0;
    beforeVista = false;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const bool ok = GetVersionExW(&info) != 0;
#pragma GCC diagnostic pop
    if (!ok || info.dwPlatformId != VER_PLATFORM_WIN32_NT) return;
    major = info.dwMajorVersion;
    minor = info.dwMinorVersion;
    beforeVista = OSBeforeVista(true, major, minor);
}

TplBrowseFolder::TplBrowseFolder(TComponent* owner)
    : TComponent(owner), FAboutVCL(u"Version 9.02") {
    ReadOSVersion(FOSVersionValueMajor, FOSVersionValueMinor, FIsOSBeforeVista);
}

TplBrowseFolder::~TplBrowseFolder() {
    if (FOwnerWnd && FPrevOwnerProc && IsWindow(FOwnerWnd)) {
        SetWindowLongPtrW(FOwnerWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FPrevOwnerProc));
        RemovePropW(FOwnerWnd, kOwnerProp);
    }
}

void TplBrowseFolder::SetFormWidth(int v) {
    FFormWidth = v > FFormWidthDefault ? v : FFormWidthDefault;
}

void TplBrowseFolder::SetFormHeight(int v) {
    FFormHeight = v > FFormHeightDefault ? v : FFormHeightDefault;
}

HWND TplBrowseFolder::OwnerWindow() const {
    if (auto* c = dynamic_cast<TWinControl*>(Owner())) return c->Handle();
    return nullptr;
}

ItemIdList TplBrowseFolder::FolderIdentifier(const std::u16string& path,
                                             TplBFSpecialDir kind) const {
    PIDLIST_ABSOLUTE pidl = nullptr;
    if (kind != sfNone) {
        if (FAILED(SHGetSpecialFolderLocation(ApplicationWindow(), SpecialDirCsidl(kind), &pidl)))
            pidl = nullptr;
        // The documents item stands for the documents folder; shells that cannot resolve the
        // item (Wine) still know the folder.
        if (!pidl && kind == sfMyDocuments &&
            FAILED(SHGetSpecialFolderLocation(ApplicationWindow(), CSIDL_PERSONAL, &pidl)))
            pidl = nullptr;
        return ItemIdList(pidl);
    }
    if (!path.empty()) {
        IShellFolder* desktop = nullptr;
        if (FAILED(SHGetDesktopFolder(&desktop)) || !desktop) return ItemIdList();
        std::u16string name = path;
        ULONG eaten = 0;
        PIDLIST_RELATIVE parsed = nullptr;
        const HRESULT hr = desktop->ParseDisplayName(ApplicationWindow(), nullptr,
                                                     reinterpret_cast<LPWSTR>(name.data()), &eaten,
                                                     &parsed, nullptr);
        desktop->Release();
        return ItemIdList(SUCCEEDED(hr) ? reinterpret_cast<PIDLIST_ABSOLUTE>(parsed) : nullptr);
    }
    if (FAILED(SHGetSpecialFolderLocation(ApplicationWindow(), CSIDL_DESKTOP, &pidl)))
        pidl = nullptr;
    return ItemIdList(pidl);
}

bool TplBrowseFolder::Execute() {
    FFolderName.clear();
    FDirectory.clear();
    OleScope ole;
    {
        IShellFolder* desktop = nullptr;
        if (FAILED(SHGetDesktopFolder(&desktop)) || !desktop) {
            FHandle = nullptr;
            return false;
        }
        desktop->Release();
    }
    FRootPItemID = FolderIdentifier(FRootDir, FRootSpecialDir);
    FInitDirPItemID = FolderIdentifier(FInitDir, FInitSpecialDir);
    if (!FRootPItemID.get() || !FInitDirPItemID.get()) {
        FHandle = nullptr;
        FRootPItemID.Reset();
        FInitDirPItemID.Reset();
        return false;
    }

    const HWND owner = OwnerWindow();
    if (owner && !FPrevOwnerProc) {
        FOwnerWnd = owner;
        SetPropW(owner, kOwnerProp, this);
        FPrevOwnerProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(owner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&OwnerWndProc)));
    }
    std::vector<wchar_t> displayName(MAX_PATH + 1, L'\0');
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.pidlRoot = FRootPItemID.get();
    info.pszDisplayName = displayName.data();
    info.lpszTitle = W(FTitle);
    info.ulFlags = BrowseFlags(FOptions);
    info.lpfn = &BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(this);

    ItemIdList chosen;
    {
        QuietErrorMode quiet;
        try {
            chosen.Reset(Services().BrowseForFolder(info));
        } catch (...) {
            // A failure inside the dialog counts as no choice.
        }
    }

    FHandle = nullptr;
    FDialogPositionSet = false;
    if (FOwnerWnd && FPrevOwnerProc) {
        if (IsWindow(FOwnerWnd)) {
            SetWindowLongPtrW(FOwnerWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FPrevOwnerProc));
            RemovePropW(FOwnerWnd, kOwnerProp);
        }
        FPrevOwnerProc = nullptr;
        FOwnerWnd = nullptr;
    }
    FRootPItemID.Reset();
    FInitDirPItemID.Reset();
    if (!chosen.get()) return false;
    FDirectory = PathOf(chosen.get());
    FFolderName = FromW(displayName.data());
    return true;
}

int CALLBACK TplBrowseFolder::BrowseCallback(HWND wnd, UINT msg, LPARAM l, LPARAM data) {
    try {
        if (auto* self = reinterpret_cast<TplBrowseFolder*>(data)) self->Callback(wnd, msg, l);
    } catch (...) {
        if (Application) Application->HandleException(reinterpret_cast<TplBrowseFolder*>(data));
    }
    return 0;
}

void TplBrowseFolder::Callback(HWND wnd, UINT msg, LPARAM l) {
    if (msg == BFFM_INITIALIZED) {
        if (FInitDirPItemID.get())
            SendMessageW(wnd, BFFM_SETSELECTIONW, FALSE,
                         reinterpret_cast<LPARAM>(FInitDirPItemID.get()));
        if (!FHandle) FHandle = wnd;
        if (OnShow) OnShow(this);
    } else if (msg == BFFM_SELCHANGED) {
        if (!FHandle) FHandle = wnd;
        if (!OnSelectionChanged) return;
        const std::u16string directory = PathOf(reinterpret_cast<PCIDLIST_ABSOLUTE>(l));
        std::u16string statusText;
        const HWND ok = GetDlgItem(wnd, IDOK);
        bool okEnabled = ok ? IsWindowEnabled(ok) != FALSE : true;
        OnSelectionChanged(this, wnd, directory, statusText, okEnabled);
        SendMessageW(wnd, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(W(statusText)));
        SendMessageW(wnd, BFFM_ENABLEOK, 0, okEnabled ? TRUE : FALSE);
        // Wine's dialog checks the selection itself after calling back; the posted copy of
        // the answer comes after that check.
        PostMessageW(wnd, BFFM_ENABLEOK, 0, okEnabled ? TRUE : FALSE);
    }
}

LRESULT CALLBACK TplBrowseFolder::OwnerWndProc(HWND wnd, UINT msg, WPARAM w, LPARAM l) {
    auto* self = static_cast<TplBrowseFolder*>(GetPropW(wnd, kOwnerProp));
    const WNDPROC previous = self ? self->FPrevOwnerProc : nullptr;
    const LRESULT result =
        previous ? CallWindowProcW(previous, wnd, msg, w, l) : DefWindowProcW(wnd, msg, w, l);
    if (self && msg == WM_ACTIVATE) {
        try {
            self->OwnerActivation(w, l);
        } catch (...) {
            if (Application) Application->HandleException(self);
        }
    }
    return result;
}

void TplBrowseFolder::OwnerActivation(WPARAM w, LPARAM l) {
    const HWND other = reinterpret_cast<HWND>(l);
    if (LOWORD(w) == WA_INACTIVE) {
        if (FHandle && other == FHandle && !FDialogPositionSet) {
            PlaceDialog();
            InvalidateRect(FHandle, nullptr, TRUE);
            SetForegroundWindow(FHandle);
            FDialogPositionSet = true;
        }
    } else if (FDialogPositionSet) {
        RECT r{};
        if (FHandle && GetWindowRect(FHandle, &r)) {
            FFormLeft = r.left;
            FFormTop = r.top;
            FFormWidth = RectWidth(r);
            FFormHeight = RectHeight(r);
        }
        FDialogPositionSet = false;
    }
}

void TplBrowseFolder::PlaceDialog() {
    if (!FCaption.empty()) SetWindowTextW(FHandle, W(FCaption));
    const TFormBounds b =
        BrowseDialogBounds(FFormLeft, FFormTop, FFormWidth, FFormHeight,
                           GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    FFormWidth = b.width;
    FFormHeight = b.height;
    SetWindowPos(FHandle, nullptr, b.left, b.top, b.width, b.height, SWP_NOZORDER | SWP_NOACTIVATE);
    if (BrowseFlags(FOptions) & BIF_NEWDIALOGSTYLE) {
        ShowWindow(FHandle, SW_SHOW);
        return;
    }
    // The old-style dialog does not lay itself out again: stretch the tree and move the
    // buttons to the new size.
    const HWND tree = GetDlgItem(FHandle, kTreeItemId);
    const HWND ok = GetDlgItem(FHandle, IDOK);
    const HWND cancel = GetDlgItem(FHandle, IDCANCEL);
    if (!tree || !ok || !cancel) return;
    RECT window{}, treeRect{}, okRect{};
    GetWindowRect(FHandle, &window);
    GetWindowRect(tree, &treeRect);
    GetWindowRect(ok, &okRect);
    const TBrowseOldStyleLayout layout =
        BrowseOldStyleLayout(FFormWidth, FFormHeight, RectWidth(okRect), RectHeight(okRect),
                             window.bottom, treeRect.top);
    SetWindowPos(tree, nullptr, 0, 0, layout.treeWidth, layout.treeHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(ok, nullptr, layout.okLeft, layout.buttonTop, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(cancel, nullptr, layout.cancelLeft, layout.buttonTop, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace kv
