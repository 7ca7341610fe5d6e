#pragma once
// The folder browser of the file dialog component: the shell's folder selection dialog,
// started at a root and an initial folder given by path or special-folder kind, placed and
// sized by the component, its last place and size remembered, each selection change
// reported. Its owner should be a form: the form's window procedure is wrapped while the
// dialog is open. Windows only; interface thread only.
#include <windows.h>

#include <shlobj.h>

#include <cstdint>
#include <functional>
#include <string>

#include "ui/Component.h"
#include "widgets/XFileDialogRules.h"

namespace kv {

// Owns a shell item identifier list (CoTaskMemFree).
class ItemIdList {
public:
    explicit ItemIdList(PIDLIST_ABSOLUTE p = nullptr) noexcept : p_(p) {}
    ~ItemIdList() { Reset(); }
    ItemIdList(ItemIdList&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    ItemIdList& operator=(ItemIdList&& o) noexcept {
        if (this != &o) {
            Reset();
            p_ = o.p_;
            o.p_ = nullptr;
        }
        return *this;
    }
    ItemIdList(const ItemIdList&) = delete;
    ItemIdList& operator=(const ItemIdList&) = delete;
    PIDLIST_ABSOLUTE get() const noexcept { return p_; }
    void Reset(PIDLIST_ABSOLUTE p = nullptr) noexcept {
        if (p_) CoTaskMemFree(p_);
        p_ = p;
    }

private:
    PIDLIST_ABSOLUTE p_;
};

using TBrowseSelectionChangedEvent =
    std::function<void(TObject* sender, HWND wnd, const std::u16string& directory,
                       std::u16string& statusText, bool& okBtnEnabled)>;

class TplBrowseFolder : public TComponent {
    KV_CLASS(TplBrowseFolder)
public:
    explicit TplBrowseFolder(TComponent* owner);
    ~TplBrowseFolder() override;

    // Shows the dialog (through the services' BrowseForFolder); true when a folder was
    // chosen: Directory holds its path and FolderName its display name. False without showing
    // anything when the root or the initial folder cannot be resolved.
    bool Execute();

    const std::u16string& AboutVCL() const { return FAboutVCL; }
    const std::u16string& RootDir() const { return FRootDir; }
    void SetRootDir(const std::u16string& v) { FRootDir = v; }
    TplBFSpecialDir RootSpecialDir() const { return FRootSpecialDir; }
    void SetRootSpecialDir(TplBFSpecialDir v) { FRootSpecialDir = v; }
    const std::u16string& InitDir() const { return FInitDir; }
    void SetInitDir(const std::u16string& v) { FInitDir = v; }
    TplBFSpecialDir InitSpecialDir() const { return FInitSpecialDir; }
    void SetInitSpecialDir(TplBFSpecialDir v) { FInitSpecialDir = v; }
    TplBrowseOptions Options() const { return FOptions; }
    void SetOptions(TplBrowseOptions v) { FOptions = v; }
    const std::u16string& Title() const { return FTitle; }
    void SetTitle(const std::u16string& v) { FTitle = v; }
    const std::u16string& Caption() const { return FCaption; }
    void SetCaption(const std::u16string& v) { FCaption = v; }
    int FormWidth() const { return FFormWidth; }
    // The larger of v and the least width (371).
    void SetFormWidth(int v);
    int FormHeight() const { return FFormHeight; }
    // The larger of v and the least height (311).
    void SetFormHeight(int v);
    int FormLeft() const { return FFormLeft; }
    void SetFormLeft(int v) { FFormLeft = v; }
    int FormTop() const { return FFormTop; }
    void SetFormTop(int v) { FFormTop = v; }

    const std::u16string& Directory() const { return FDirectory; }
    const std::u16string& FolderName() const { return FFolderName; }
    // The open dialog's window; null when none is open.
    HWND Handle() const { return FHandle; }

    TNotifyEvent OnShow;
    TBrowseSelectionChangedEvent OnSelectionChanged;

private:
    static int CALLBACK BrowseCallback(HWND wnd, UINT msg, LPARAM l, LPARAM data);
    static LRESULT CALLBACK OwnerWndProc(HWND wnd, UINT msg, WPARAM w, LPARAM l);
    void Callback(HWND wnd, UINT msg, LPARAM l);
    void OwnerActivation(WPARAM w, LPARAM l);
    void PlaceDialog();
    ItemIdList FolderIdentifier(const std::u16string& path, TplBFSpecialDir kind) const;
    HWND OwnerWindow() const;

    // Fields in the order the component keeps them.
    uint32_t FOSVersionValueMajor = 0, FOSVersionValueMinor = 0;
    bool FIsOSBeforeVista = false;
    std::u16string FAboutVCL;
    HWND FHandle = nullptr;
    std::u16string FRootDir;
    TplBFSpecialDir FRootSpecialDir = sfDesktop;
    std::u16string FInitDir;
    TplBFSpecialDir FInitSpecialDir = sfNone;
    TplBrowseOptions FOptions = BrowseOption(bifReturnOnlyFSDirs);
    std::u16string FDirectory, FFolderName, FCaption, FTitle;
    int FFormTop = 0, FFormLeft = 0, FFormWidth = kBrowseFormWidthDefault,
        FFormHeight = kBrowseFormHeightDefault;
    ItemIdList FRootPItemID, FInitDirPItemID;
    bool FDialogPositionSet = false;
    HWND FOwnerWnd = nullptr;
    WNDPROC FPrevOwnerProc = nullptr;
    int FFormWidthDefault = kBrowseFormWidthDefault, FFormHeightDefault = kBrowseFormHeightDefault;
};

// The version numbers and the IsOSBeforeVista rule of the running system.
void ReadOSVersion(uint32_t& major, uint32_t& minor, bool& beforeVista);

} // namespace kv
