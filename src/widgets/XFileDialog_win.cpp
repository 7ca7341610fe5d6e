#include "widgets/XFileDialog.h"

#include <imm.h>
#include <shellapi.h>

#include <algorithm>
#include <utility>

#include "base/FileSystem.h"
#include "ui/Application.h"
#include "ui/ClassRegistry.h"
#include "ui/Dialogs.h"
#include "ui/ExtCtrls.h"
#include "ui/Forms.h"
#include "ui/ImgList.h"
#include "ui/Menus.h"
#include "ui/MessageForms.h"
#include "ui/StdCtrls.h"
#include "widgets/XFileDialogBrowseFolder.h"

namespace kv {

// ---- flat tool button -------------------------------------------------------------------------

// The find and folder buttons: a flat face with a glyph that shows its edge while the mouse is
// over it and clicks when the button is released over it.
class TXFileDialogToolButton : public TCustomControl {
    KV_CLASS(TXFileDialogToolButton)
public:
    explicit TXFileDialogToolButton(TComponent* owner) : TCustomControl(owner) {
        SetParentColor(true);
        SetShowHint(true);
        SetBounds(0, 0, 24, 24);
    }
    ~TXFileDialogToolButton() override {
        if (glyph_) ImageList_Destroy(glyph_);
    }
    // A bitmap resource of the program as the glyph; the colour of its bottom-left pixel is
    // transparent. A missing resource leaves the button without a glyph.
    void LoadGlyph(const std::u16string& name) {
        GdiObject<HBITMAP> bitmap(static_cast<HBITMAP>(LoadImageW(
            GetModuleHandleW(nullptr), W(name), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
        if (!bitmap.get()) return;
        BITMAP bm{};
        GetObjectW(bitmap.get(), sizeof bm, &bm);
        COLORREF transparent = RGB(255, 0, 255);
        {
            WindowDC screen(nullptr);
            HDC mem = CreateCompatibleDC(screen.get());
            {
                SelectedObject sel(mem, bitmap.get());
                transparent = GetPixel(mem, 0, bm.bmHeight - 1);
            }
            DeleteDC(mem);
        }
        if (glyph_) ImageList_Destroy(glyph_);
        glyph_ = ImageList_Create(bm.bmWidth, bm.bmHeight, ILC_COLOR24 | ILC_MASK, 1, 1);
        if (glyph_) ImageList_AddMasked(glyph_, bitmap.get(), transparent);
        glyphWidth_ = bm.bmWidth;
        glyphHeight_ = bm.bmHeight;
        Invalidate();
    }
    bool HasGlyph() const { return glyph_ != nullptr; }
    void MouseEnter() override {
        TCustomControl::MouseEnter();
        Invalidate();
    }
    void MouseLeave() override {
        TCustomControl::MouseLeave();
        Invalidate();
    }

protected:
    void Paint() override {
        TCanvas& c = Canvas();
        const RECT r = ClientRect();
        c.Brush().SetColor(Color());
        c.FillRect(r);
        if (Enabled() && (down_ || MouseInControl()))
            c.DrawEdge(r, down_ ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
        if (glyph_) {
            const int offset = down_ ? 1 : 0;
            ImageList_DrawEx(glyph_, 0, c.Handle(), (RectWidth(r) - glyphWidth_) / 2 + offset,
                             (RectHeight(r) - glyphHeight_) / 2 + offset, 0, 0, CLR_NONE, CLR_NONE,
                             Enabled() ? ILD_TRANSPARENT : ILD_BLEND50);
        }
    }
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override {
        switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            down_ = true;
            SetCapture(Handle());
            Invalidate();
            return 0;
        case WM_LBUTTONUP: {
            const bool wasDown = down_;
            down_ = false;
            if (GetCapture() == Handle()) ReleaseCapture();
            Invalidate();
            const POINT pt{static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
            const RECT r = ClientRect();
            if (wasDown && PtInRect(&r, pt)) Click();
            return 0;
        }
        case WM_CAPTURECHANGED:
            down_ = false;
            Invalidate();
            break;
        default:
            break;
        }
        return TCustomControl::WndProc(msg, w, l);
    }

private:
    HIMAGELIST glyph_ = nullptr; // owned
    int glyphWidth_ = 0, glyphHeight_ = 0;
    bool down_ = false;
};

namespace {

constexpr wchar_t kFormProp[] = L"XFileDialog";
constexpr wchar_t kEditorProp[] = L"XFileDialogEditor";
// Posted to the list view: the in-place editor has gone, the typed name can be used.
constexpr UINT kRenameEnded = WM_APP + 0x58;

const char16_t kFindCaption[] = u"ファイル名部分一致検索";
const char16_t kFindPrompt[] = u"検索文字列";
const char16_t kSameNameMessage[] = u"同名のファイルが既に存在します．";
const char16_t kRenameFailedMessage[] =
    u"名前の変更に失敗しました．不正な文字があるか.変更の権限がない可能性があります．";
const char16_t kDeleteFailedMessage[] =
    u"削除できません．ファイルは読出し専用か削除の権限がありません．";

// The rows of the dialog that executes (one at a time).
std::unique_ptr<TXFileDialogDataList>& ExecutingList() {
    static std::unique_ptr<TXFileDialogDataList> list;
    return list;
}

class FindHandle {
public:
    explicit FindHandle(HANDLE h) noexcept : h_(h) {}
    ~FindHandle() {
        if (h_ != INVALID_HANDLE_VALUE) FindClose(h_);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    HANDLE get() const noexcept { return h_; }

private:
    HANDLE h_;
};

// Stops a visible form from painting for the scope, then repaints it whole.
class RedrawLock {
public:
    explicit RedrawLock(HWND wnd) : wnd_(wnd && IsWindowVisible(wnd) ? wnd : nullptr) {
        if (wnd_) SendMessageW(wnd_, WM_SETREDRAW, FALSE, 0);
    }
    ~RedrawLock() {
        if (!wnd_) return;
        SendMessageW(wnd_, WM_SETREDRAW, TRUE, 0);
        RedrawWindow(wnd_, nullptr, nullptr,
                     RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    }
    RedrawLock(const RedrawLock&) = delete;
    RedrawLock& operator=(const RedrawLock&) = delete;

private:
    HWND wnd_;
};

bool FileExists(const std::u16string& path) {
    const DWORD a = GetFileAttributesW(W(path));
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

int TextWidth(const TFont& font, std::u16string_view text) {
    WindowDC dc(nullptr);
    SelectedObject selected(dc.get(), font.Handle());
    SIZE s{};
    GetTextExtentPoint32W(dc.get(), reinterpret_cast<const wchar_t*>(text.data()),
                          static_cast<int>(text.size()), &s);
    return s.cx;
}

bool HasClass(HWND wnd, const wchar_t* name) {
    wchar_t buf[64] = {};
    return wnd && GetClassNameW(wnd, buf, 64) > 0 && lstrcmpW(buf, name) == 0;
}

} // namespace

void ApplyImeMode(HWND wnd, TImeMode mode) {
    if (!wnd || mode == imDontCare) return;
    if (mode == imDisable) {
        ImmAssociateContext(wnd, nullptr);
        return;
    }
    HIMC imc = ImmGetContext(wnd);
    if (!imc) return;
    if (mode == imClose) {
        ImmSetOpenStatus(imc, FALSE);
    } else {
        ImmSetOpenStatus(imc, TRUE);
        DWORD conversion = 0, sentence = 0;
        ImmGetConversionStatus(imc, &conversion, &sentence);
        DWORD wanted = conversion;
        switch (mode) {
        case imSAlpha:
            wanted = IME_CMODE_ALPHANUMERIC;
            break;
        case imAlpha:
            wanted = IME_CMODE_ALPHANUMERIC | IME_CMODE_FULLSHAPE;
            break;
        case imHira:
        case imChinese:
        case imHanguel:
            wanted = IME_CMODE_NATIVE | IME_CMODE_FULLSHAPE;
            break;
        case imSKata:
        case imSHanguel:
            wanted = IME_CMODE_NATIVE | (mode == imSKata ? IME_CMODE_KATAKANA : 0);
            break;
        case imKata:
            wanted = IME_CMODE_NATIVE | IME_CMODE_KATAKANA | IME_CMODE_FULLSHAPE;
            break;
        default:
            break;
        }
        if (wanted != conversion) ImmSetConversionStatus(imc, wanted, sentence);
    }
    ImmReleaseContext(wnd, imc);
}

// ---- list view --------------------------------------------------------------------------------

TXFileDialogListView::TXFileDialogListView(TComponent* owner) : TListView(owner) {}

HWND TXFileDialogListView::EditControl() const {
    if (!HandleAllocated()) return nullptr;
    return reinterpret_cast<HWND>(
        SendMessageW(const_cast<TXFileDialogListView*>(this)->Handle(), LVM_GETEDITCONTROL, 0, 0));
}

int TXFileDialogListView::SelCount() const {
    if (!HandleAllocated()) return 0;
    return static_cast<int>(SendMessageW(const_cast<TXFileDialogListView*>(this)->Handle(),
                                         LVM_GETSELECTEDCOUNT, 0, 0));
}

int TXFileDialogListView::FocusedRow() const {
    if (!HandleAllocated()) return -1;
    return static_cast<int>(SendMessageW(const_cast<TXFileDialogListView*>(this)->Handle(),
                                         LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
}

void TXFileDialogListView::FocusRow(int index, bool select) {
    if (!HandleAllocated()) return;
    LVITEMW clear{};
    clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(&clear));
    if (index < 0 || index >= ItemCount()) return;
    LVITEMW set{};
    set.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    set.state = LVIS_FOCUSED | (select ? LVIS_SELECTED : 0);
    SendMessageW(Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&set));
}

void TXFileDialogListView::SetSystemSmallImages(HIMAGELIST images) {
    SendMessageW(Handle(), LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
}

void TXFileDialogListView::SetStateImages(HIMAGELIST images) {
    SendMessageW(Handle(), LVM_SETIMAGELIST, LVSIL_STATE, reinterpret_cast<LPARAM>(images));
}

LRESULT TXFileDialogListView::WndProc(UINT msg, WPARAM w, LPARAM l) {
    if (msg == CN_NOTIFY && Dialog && !IsDestroying()) {
        const auto* hdr = reinterpret_cast<const NMHDR*>(l);
        switch (hdr->code) {
        case LVN_ODCACHEHINT: {
            const auto* hint = reinterpret_cast<const NMLVCACHEHINT*>(l);
            Dialog->ListCacheHint(hint->iFrom, hint->iTo);
            return 0;
        }
        case LVN_BEGINLABELEDITW:
            // Only the dialog's rename command edits a caption (its events may refuse).
            if (!editAllowed_) return TRUE;
            Dialog->ListEditStarted(EditControl());
            return FALSE;
        case LVN_ENDLABELEDITW: {
            const auto* info = reinterpret_cast<const NMLVDISPINFOW*>(l);
            if (info->item.pszText) {
                // The rename may show messages; the editor must be gone first.
                renamedRow_ = info->item.iItem;
                renamedText_ = FromW(info->item.pszText);
                PostMessageW(Handle(), kRenameEnded, 0, 0);
            }
            return FALSE;
        }
        case LVN_KEYDOWN:
            return 0;
        case NM_CUSTOMDRAW:
            return Dialog->ListCustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(l));
        default:
            break;
        }
    }
    if (msg == kRenameEnded) {
        const int row = std::exchange(renamedRow_, -1);
        if (row >= 0 && Dialog) Dialog->ListEditEnded(row, renamedText_);
        return 0;
    }
    return TListView::WndProc(msg, w, l);
}

// ---- the dialog -------------------------------------------------------------------------------

TplCustomFileDialog::TplCustomFileDialog(TComponent* owner)
    : TComponent(owner), FAboutVCL(u"Version 9.02"), FFont(std::make_unique<TFont>()) {
    uint32_t major = 0, minor = 0;
    ReadOSVersion(major, minor, FIsOSBeforeVista);
    FOSVersionValueMajor = major;
    FOSVersionValueMinor = minor;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const TFormBounds b = InitialDialogBounds({work.left, work.top, work.right, work.bottom});
    FFormLeft = b.left;
    FFormTop = b.top;
    FFormWidth = b.width;
    FFormHeight = b.height;
    FFont->SetSize(FFontSize);
    FItemRightMargin = FIsOSBeforeVista ? 6 : 0;
}

TplCustomFileDialog::~TplCustomFileDialog() {
    Destroying();
    if (FHandle && FPrevFormProc && IsWindow(FHandle)) {
        SetWindowLongPtrW(FHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FPrevFormProc));
        RemovePropW(FHandle, kFormProp);
    }
}

TXFileDialogDataList* TplCustomFileDialog::DataList() {
    return ExecutingList().get();
}

TControl* TplCustomFileDialog::FindBtn() const {
    return FFindBtn;
}

TControl* TplCustomFileDialog::FolderBtn() const {
    return FFolderBtn;
}

void TplCustomFileDialog::SetFont(const TFont& font) {
    FFont->Assign(font);
}

void TplCustomFileDialog::SetImeMode(TImeMode v) {
    FImeMode = v;
    if (FFileEdit && FFileEdit->HandleAllocated()) ApplyImeMode(FFileEdit->Handle(), v);
}

void TplCustomFileDialog::Loaded() {
    TComponent::Loaded();
    BuildForm();
}

void TplCustomFileDialog::BuildForm() {
    if (FBuilt) return;
    FBuilt = true;
    FDialogForm = Create<TForm>(this);
    TForm& form = *FDialogForm;
    form.SetBounds(FFormLeft, FFormTop, FFormWidth, FFormHeight);
    form.SetPosition(poDesigned);
    form.SetBorderIcons(biSystemMenu);
    form.SetIconResource(u"MAINICON");
    form.SetKeyPreview(true);
    form.OnCloseQuery = [this](TObject*, bool& canClose) { FormCloseQuery(canClose); };
    form.OnKeyDown = [this](TObject*, WORD& key, TShiftState) { FormKeyDown(key); };

    FPopupMenu = Create<TPopupMenu>(&form);
    FPopFileRename = Create<TMenuItem>(&form);
    FPopFileRename->SetCaption(u"ファイル名変更");
    FPopFileRename->OnClick = [this](TObject*) { RenameSelected(); };
    FPopupMenu->Items().Add(FPopFileRename);
    FPopFileDelete = Create<TMenuItem>(&form);
    FPopFileDelete->SetCaption(u"ファイル削除");
    FPopFileDelete->OnClick = [this](TObject*) { DeleteSelected(); };
    FPopupMenu->Items().Add(FPopFileDelete);
    FPopupMenu->OnPopup = [this](TObject*) { PopupMenuPopup(); };

    FTopPanel = Create<TPanel>(&form);
    FTopPanel->SetHeight(27);
    FTopPanel->SetAlign(alTop);
    FTopPanel->SetAlignment(taLeftJustify);
    FTopPanel->SetBevelOuter(bvNone);
    FTopPanel->SetParentFont(false);
    FTopPanel->Font().SetSize(FFontSize);
    FTopPanel->SetParent(&form);

    FBottomPanel = Create<TPanel>(&form);
    FBottomPanel->SetHeight(30);
    FBottomPanel->SetAlign(alBottom);
    FBottomPanel->SetBevelOuter(bvNone);
    FBottomPanel->SetParent(&form);

    FListPanel = Create<TPanel>(&form);
    FListPanel->SetAlign(alClient);
    FListPanel->SetBevelOuter(bvNone);
    FListPanel->SetBevelWidth(1);
    FListPanel->SetBorderWidth(FMargin);
    FListPanel->SetParent(&form);

    const int bottomWidth = FBottomPanel->Width(), bottomHeight = FBottomPanel->Height();
    FCancelBtn = Create<TButton>(&form);
    FCancelBtn->SetParent(FBottomPanel);
    FCancelBtn->SetBounds(bottomWidth - 75 - FMargin, bottomHeight - 25 - 4, 75, 25);
    FCancelBtn->SetAnchors(akRight | akBottom);
    FCancelBtn->SetCaption(u"キャンセル");
    FCancelBtn->SetCancel(true);
    FCancelBtn->SetDefault(false);
    FCancelBtn->SetModalResult(mrCancel);
    FCancelBtn->OnClick = [this](TObject*) { FModalResult = mrCancel; };

    FOKBtn = Create<TButton>(&form);
    FOKBtn->SetParent(FBottomPanel);
    FOKBtn->SetBounds(FCancelBtn->Left() - 75 - 2, FCancelBtn->Top(), 75, 26);
    FOKBtn->SetAnchors(akRight | akBottom);
    FOKBtn->SetDefault(true);
    FOKBtn->SetModalResult(mrOk);
    FOKBtn->OnClick = [this](TObject*) { FModalResult = mrOk; };

    FFileEdit = Create<TEdit>(&form);
    FFileEdit->SetVisible(false);
    FFileEdit->SetParent(FBottomPanel);
    FFileEdit->SetBounds(FMargin, bottomHeight - 21 - 6, FOKBtn->Left() - FMargin - 2, 21);
    FFileEdit->SetAnchors(akLeft | akTop | akRight | akBottom);
    FFileEdit->SetParentFont(false);
    FFileEdit->Font().Assign(*FFont);
    FFileEdit->SetHideSelection(true);
    FFileEdit->OnChange = [this](TObject*) { FileEditChange(); };
    FFileEdit->SetTabOrder(0);

    const int topWidth = FTopPanel->Width(), topHeight = FTopPanel->Height();
    FFolderBtn = Create<TXFileDialogToolButton>(&form);
    FFolderBtn->SetParent(FTopPanel);
    FFolderBtn->SetBounds(topWidth - 24 - FMargin, 0, 24, topHeight);
    FFolderBtn->SetAnchors(akRight | akBottom);
    FFolderBtn->SetHint(u"フォルダ選択");
    FFolderBtn->OnClick = [this](TObject*) { FolderBtnClick(); };

    FFindBtn = Create<TXFileDialogToolButton>(&form);
    FFindBtn->SetParent(FTopPanel);
    FFindBtn->SetBounds(topWidth - 24 - FMargin, 0, 24, topHeight);
    FFindBtn->SetAnchors(akRight | akBottom);
    FFindBtn->SetHint(u"絞込み表示");
    FFindBtn->OnClick = [this](TObject*) { FindBtnClick(); };

    FDirectoryLabel = Create<TLabel>(&form);
    FDirectoryLabel->SetAutoSize(false);
    FDirectoryLabel->SetAlignment(taLeftJustify);
    FDirectoryLabel->SetLayout(tlCenter);
    FDirectoryLabel->SetShowAccelChar(false);
    FDirectoryLabel->SetParent(FTopPanel);
    FDirectoryLabel->SetParentFont(false);
    FDirectoryLabel->Font().SetSize(FFontSize);
    FDirectoryLabel->SetBounds(FMargin + 5, 0, topWidth - (FMargin + 5) - FMargin - 15, topHeight);
    FDirectoryLabel->SetAnchors(akLeft | akTop | akRight | akBottom);

    FListView = Create<TXFileDialogListView>(&form);
    FListView->Dialog = this;
    FListView->SetAlign(alClient);
    FListView->SetGridLines(FDisplayGridLines);
    FListView->SetHideSelection(false);
    FListView->SetShowColumnHeaders(false);
    FListView->SetViewStyle(vsReport);
    FListView->AddColumn({u"", 100, taLeftJustify});
    FListView->SetPopupMenu(FPopupMenu);
    FListView->SetOwnerData(true);
    FListView->SetRowSelect(true);
    FListView->SetMultiSelect(false);
    FListView->SetParentFont(false);
    FListView->Font().Assign(*FFont);
    FListView->OnData = [this](TObject*, TListItem& item) { ListData(item); };
    FListView->OnSelectItem = [this](TObject*) { ListSelectionChanged(); };
    FListView->OnDblClick = [this](TObject*) { ListDblClick(); };
    FListView->SetParent(FListPanel);

    FBrowseFolder = Create<TplBrowseFolder>(&form);
    FBrowseFolder->SetRootSpecialDir(sfNone);
    FBrowseFolder->SetRootDir(FRootDir);
    FBrowseFolder->SetInitDir(FDirectory);
    FBrowseFolder->OnSelectionChanged = [this](TObject*, HWND, const std::u16string& directory,
                                               std::u16string&,
                                               bool&) { BrowseSelectionChanged(directory); };
    if (FBrowseFolder->Title().empty()) FBrowseFolder->SetTitle(FBrowseTitle);

    FStateImgList = Create<TImageList>(&form);
    FStateImgList->SetWidth(1);
    FStateImgList->SetHeight(FListViewItemHeight);

    FFolderBtn->LoadGlyph(u"XFileDialogFolderBmp");
    FFindBtn->LoadGlyph(u"XFileDialogFilterBmp");
    ApplyLayout();
}

void TplCustomFileDialog::ApplyLayout() {
    const bool folder = (FOptions & DialogOption(doFolderBtn)) != 0;
    const bool find = (FOptions & DialogOption(doFindBtn)) != 0;
    FFolderBtn->SetVisible(folder);
    FFindBtn->SetVisible(find);
    const int topWidth = FTopPanel->Width();
    FFolderBtn->SetLeft(topWidth - 24 - FMargin);
    FFindBtn->SetLeft(folder ? FFolderBtn->Left() - 24 - 4 : topWidth - 24 - FMargin);
    FTopPanel->SetVisible(folder || find || FDisplayDirectory);
    FListView->SetGridLines(FDisplayGridLines);
    PlaceDirectoryLabel();
}

int TplCustomFileDialog::DirectoryLabelWidth() const {
    const int left = FMargin + 5;
    int width = FTopPanel->Width() - left - FMargin - 15;
    if (FFolderBtn->Visible()) width -= FFolderBtn->Width();
    if (FFindBtn->Visible()) width -= FFindBtn->Width();
    return width;
}

void TplCustomFileDialog::PlaceDirectoryLabel() {
    FDirectoryLabel->SetBounds(FMargin + 5, 0, DirectoryLabelWidth(), FTopPanel->Height());
}

void TplCustomFileDialog::WrapFormProc() {
    const HWND wnd = FDialogForm->Handle();
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(wnd, GWLP_WNDPROC)) == &FormWndProc &&
        GetPropW(wnd, kFormProp) == this)
        return;
    FHandle = wnd;
    SetPropW(wnd, kFormProp, this);
    FPrevFormProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FormWndProc)));
    FListView->SetStateImages(FStateImgList->Handle());
}

LRESULT CALLBACK TplCustomFileDialog::FormWndProc(HWND wnd, UINT msg, WPARAM w, LPARAM l) {
    auto* self = static_cast<TplCustomFileDialog*>(GetPropW(wnd, kFormProp));
    const WNDPROC previous = self ? self->FPrevFormProc : nullptr;
    if (msg == WM_NCDESTROY && self) {
        SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        RemovePropW(wnd, kFormProp);
        self->FPrevFormProc = nullptr;
        self->FHandle = nullptr;
    }
    const LRESULT result =
        previous ? CallWindowProcW(previous, wnd, msg, w, l) : DefWindowProcW(wnd, msg, w, l);
    if (self && msg != WM_NCDESTROY && !self->IsDestroying()) {
        try {
            self->FormMessage(msg, w, l);
        } catch (...) {
            if (Application) Application->HandleException(self);
        }
    }
    return result;
}

void TplCustomFileDialog::FormMessage(UINT msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_SIZE:
        if (w != SIZE_MINIMIZED) FormSized();
        break;
    case WM_SHOWWINDOW:
        if (w && l == 0) FormShowing();
        break;
    case WM_ACTIVATE:
        if (LOWORD(w) == WA_INACTIVE) OtherWindowActivated(reinterpret_cast<HWND>(l));
        break;
    case WM_NCLBUTTONDOWN:
        if (w == HTCLOSE) FModalResult = mrCancel;
        break;
    default:
        break;
    }
}

void TplCustomFileDialog::SetColumnToClientWidth(int rightMargin) {
    FListView->SetColumnWidth(0, FListView->ClientWidth() - rightMargin);
}

void TplCustomFileDialog::FormSized() {
    if (!FListView->HandleAllocated()) return;
    SetColumnToClientWidth(FItemRightMargin);
    SendMessageW(FListView->Handle(), LVM_SCROLL, 0, GetSystemMetrics(SM_CYVSCROLL));
    ShowDirectoryLine(FDirectoryLabelText);
}

void TplCustomFileDialog::FormShowing() {
    if (FDisplayIcon && !FImgListHandle) {
        SHFILEINFOW info{};
        FImgListHandle = reinterpret_cast<HIMAGELIST>(
            SHGetFileInfoW(L"", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
        FListView->SetSystemSmallImages(FImgListHandle);
    } else if (!FDisplayIcon) {
        FListView->SetSystemSmallImages(nullptr);
    }
    SetFilesListToItems(FDirectory, FFindText, true, FFileExt, FAndFindText);
    if (OnShow) OnShow(this);
}

void TplCustomFileDialog::OtherWindowActivated(HWND other) {
    // The message box and the input prompt this dialog opens come up over its middle.
    const bool message = HasClass(other, L"TMessageForm");
    const bool prompt = !message && HasClass(other, L"TForm");
    if ((!message && !prompt) || other == FHandle || GetAncestor(other, GA_ROOT) != other) return;
    // Processing the waiting messages may switch the activation back and forth once more;
    // the outer call places the window.
    if (FPlacingOther) return;
    FPlacingOther = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{FPlacingOther};
    if (Application) Application->ProcessMessages();
    if (!IsWindow(other)) return;
    RECT r{};
    GetWindowRect(other, &r);
    RECT self{};
    GetWindowRect(FHandle, &self);
    const TFormBounds b = CenteredOver({self.left, self.top, RectWidth(self), RectHeight(self)},
                                       RectWidth(r), RectHeight(r));
    SetWindowPos(other, nullptr, b.left, b.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    HWND focus = other;
    if (auto* form = dynamic_cast<TCustomForm*>(TWinControl::FindControl(other)))
        if (TWinControl* active = form->ActiveControl(); active && active->CanFocus())
            focus = active->Handle();
    ::SetFocus(focus);
    if (prompt) ApplyImeMode(focus, FImeMode);
}

void TplCustomFileDialog::FormCloseQuery(bool& canClose) {
    if (!IsSaveDialog()) {
        if (FListView->SelCount() == 1)
            if (const TXFileDialogDataListItem* item = SelectedItem()) {
                FFilePath = item->FileFullPath;
                FFileName = item->FileName;
            }
    } else {
        FFilePath = SaveDialogFilePath(FDirectory, FFileEdit->Text(), FFileExt);
        FFileName = FileNameWithoutExt(ExtractFileName(FFilePath));
    }
    if (OnBeforeClose) OnBeforeClose(this, FFilePath, canClose);
    if (canClose) FImgListHandle = nullptr;
}

void TplCustomFileDialog::FormKeyDown(WORD& key) {
    if (!FListView->Focused() || FListView->IsEditing()) return;
    if (KeyboardShiftState() & (ssShift | ssCtrl | ssAlt)) return;
    switch (key) {
    case VK_RETURN:
        if (FListView->SelCount() == 0) return;
        ListDblClick();
        break;
    case VK_ESCAPE:
        FModalResult = mrCancel;
        FDialogForm->Close();
        break;
    case VK_F2:
        RenameSelected();
        break;
    case VK_F3:
        FindBtnClick();
        break;
    case VK_DELETE:
        DeleteSelected();
        break;
    default:
        return;
    }
    key = 0;
}

TXFileDialogDataListItem* TplCustomFileDialog::SelectedItem() const {
    TXFileDialogDataList* list = ExecutingList().get();
    return list ? list->Get(FListView->ItemIndex()) : nullptr;
}

int TplCustomFileDialog::SystemIconIndex(const std::u16string& path) const {
    SHFILEINFOW info{};
    if (!SHGetFileInfoW(W(path), 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON))
        return -1;
    return info.iIcon;
}

void TplCustomFileDialog::ListData(TListItem& item) {
    TXFileDialogDataList* list = ExecutingList().get();
    TXFileDialogDataListItem* row = list ? list->Get(item.index) : nullptr;
    if (!row) return;
    item.caption = row->FileName;
    if (FDisplayIcon) {
        // The cache hint usually fetched it already.
        if (row->IconIndex < 0) row->IconIndex = SystemIconIndex(row->FileFullPath);
        item.imageIndex = row->IconIndex;
    }
}

void TplCustomFileDialog::ListCacheHint(int from, int to) {
    TXFileDialogDataList* list = ExecutingList().get();
    if (!FDisplayIcon || !list) return;
    for (int i = std::max(from, 0); i <= to && i < list->Count(); ++i) {
        TXFileDialogDataListItem* row = list->Get(i);
        if (row->IconIndex < 0) row->IconIndex = SystemIconIndex(row->FileFullPath);
    }
}

void TplCustomFileDialog::SetFilesListToItems(const std::u16string& directory,
                                              const std::u16string& findText, bool selectLast,
                                              const std::u16string& ext,
                                              const std::u16string& andFindText) {
    TXFileDialogDataList* list = ExecutingList().get();
    {
        RedrawLock lock(FHandle);
        FListView->SetItemCount(0);
        if (list) list->Clear();
        if (list && !directory.empty()) {
            const std::u16string wanted = ListingExtension(ext);
            const std::u16string folder = WithTrailingDelimiter(directory);
            WIN32_FIND_DATAW data{};
            FindHandle find(FindFirstFileW(W(ListingMask(directory, findText, ext)), &data));
            if (find.get() != INVALID_HANDLE_VALUE) {
                do {
                    const std::u16string name = FromW(data.cFileName);
                    if (!ListingExtensionMatches(name, wanted)) continue;
                    if (ListingEntryKept(name, data.dwFileAttributes, andFindText)) {
                        auto item = std::make_unique<TXFileDialogDataListItem>();
                        item->FileFullPath = folder + name;
                        item->FileName = FileNameWithoutExt(name);
                        item->FileAttrib = data.dwFileAttributes;
                        list->Add(std::move(item));
                    }
                    if (Application) Application->ProcessMessages();
                } while (FindNextFileW(find.get(), &data));
            }
            list->Sort([](const TXFileDialogDataListItem& a, const TXFileDialogDataListItem& b) {
                return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, W(a.FileName),
                                      static_cast<int>(a.FileName.size()), W(b.FileName),
                                      static_cast<int>(b.FileName.size())) == CSTR_LESS_THAN;
            });
        }
        const int count = list ? list->Count() : 0;
        FListView->SetItemCount(count);
        SetColumnToClientWidth(0);

        if (!IsSaveDialog()) {
            if (count > 0) {
                if (FListView->CanFocus()) FListView->SetFocus();
                if (selectLast) {
                    FListView->FocusRow(count - 1, true);
                    FListView->MakeVisible(count - 1);
                }
            } else {
                FOKBtn->SetEnabled(false);
            }
            // OK needs the one selected row it will answer with.
            if (FListView->SelCount() != 1) FOKBtn->SetEnabled(false);
        } else {
            if (count > 0 && selectLast) FListView->MakeVisible(count - 1);
            if (FFileEdit->CanFocus()) FFileEdit->SetFocus();
            FOKBtn->SetEnabled(!FFileEdit->Text().empty());
        }

        if (FDialogForm) FDialogForm->SetCaption(FTitle);
        std::u16string text;
        if (OnFileListed) OnFileListed(this, directory, count, list, text);
        ShowDirectoryLine(text.empty() ? directory : text);
    }
}

void TplCustomFileDialog::GetFilesList() {
    if (!FBuilt) return;
    SetFilesListToItems(FDirectory, FFindText, false, FFileExt, FAndFindText);
}

void TplCustomFileDialog::ShowDirectoryLine(const std::u16string& text) {
    FDirectoryLabelText = text;
    if (!FDisplayDirectory) {
        FDirectoryLabel->SetCaption(u"");
        return;
    }
    PlaceDirectoryLabel();
    if (text == FDirectory) {
        const TFont& font = FDirectoryLabel->Font();
        FDirectoryLabel->SetCaption(
            ShortenPathForDisplay(text, FDirectoryLabel->Width(),
                                  [&font](std::u16string_view s) { return TextWidth(font, s); }));
    } else {
        FDirectoryLabel->SetCaption(text);
    }
}

void TplCustomFileDialog::ListSelectionChanged() {
    if (IsDestroying()) return;
    if (FListView->SelCount() == 1) {
        FOKBtn->SetEnabled(true);
        if (FFileEdit->Visible())
            if (const TXFileDialogDataListItem* item = SelectedItem())
                FFileEdit->SetText(item->FileName);
    } else {
        FOKBtn->SetEnabled(IsSaveDialog() && !FFileEdit->Text().empty());
    }
}

void TplCustomFileDialog::ListDblClick() {
    if (FListView->SelCount() == 0) return;
    FModalResult = mrOk;
    FDialogForm->Close();
}

void TplCustomFileDialog::FileEditChange() {
    FOKBtn->SetEnabled(!FFileEdit->Text().empty());
}

void TplCustomFileDialog::PopupMenuPopup() {
    const bool one = FListView->SelCount() == 1;
    FPopFileRename->SetVisible(one);
    FPopFileRename->SetEnabled(one);
    FPopFileDelete->SetVisible(one);
    FPopFileDelete->SetEnabled(one);
}

void TplCustomFileDialog::Inform(const std::u16string& text) {
    MessageDlgPos(text, mtInformation, mbOK, FDialogForm->Left(), FDialogForm->Top());
}

void TplCustomFileDialog::FindBtnClick() {
    bool defaultEvent = true;
    if (OnFindBtnClick) OnFindBtnClick(this, FDirectory, defaultEvent, FAndFindText);
    if (!defaultEvent) return;
    if (!InputQuery(kFindCaption, kFindPrompt, FAndFindText)) return;
    SetFilesListToItems(FDirectory, FFindText, true, FFileExt, FAndFindText);
    if (!FAndFindText.empty())
        FDialogForm->SetCaption(FDialogForm->Caption() + u"   [" + FAndFindText +
                                u"] を含むファイルリスト");
}

void TplCustomFileDialog::FolderBtnClick() {
    if (FBrowseFolder->FormLeft() == 0 && FBrowseFolder->FormTop() == 0) {
        FBrowseFolder->SetFormLeft(FDialogForm->Left() + FDialogForm->Width() -
                                   kBrowseFormWidthDefault);
        FBrowseFolder->SetFormTop(FDialogForm->Top() + 40);
    }
    bool defaultEvent = true;
    if (OnFolderBtnClick) OnFolderBtnClick(this, FDirectory, defaultEvent);
    if (!defaultEvent) return;
    const std::u16string previous = FDirectory;
    const bool rows = FListView->ItemCount() > 0;
    const int focused = rows ? FListView->FocusedRow() : -1;
    const int top = rows ? FListView->TopIndex() : -1;
    FBrowseFolder->SetInitDir(DirectoryExists(FDirectory) ? FDirectory : FRootDir);
    FBrowseFolder->SetTitle(FBrowseTitle);
    FBrowseFolder->SetCaption(FBrowseCaption);
    if (FBrowseFolder->Execute()) {
        FDirectory = FBrowseFolder->Directory();
    } else {
        FDirectory = previous;
        SetFilesListToItems(FDirectory, FFindText, false, FFileExt, FAndFindText);
        FListView->FocusRow(-1, false);
        if (top >= 0 && top < FListView->ItemCount()) {
            FListView->FocusRow(top, false);
            RECT rowRect{LVIR_BOUNDS, 0, 0, 0};
            if (SendMessageW(FListView->Handle(), LVM_GETITEMRECT, static_cast<WPARAM>(top),
                             reinterpret_cast<LPARAM>(&rowRect)))
                SendMessageW(FListView->Handle(), LVM_SCROLL, 0,
                             (top - FListView->TopIndex()) * RectHeight(rowRect));
            FListView->FocusRow(focused, true);
        }
    }
    SetColumnToClientWidth(FItemRightMargin);
    FListView->Invalidate();
}

void TplCustomFileDialog::BrowseSelectionChanged(const std::u16string& directory) {
    FDirectory = directory;
    SetFilesListToItems(FDirectory, FFindText, false, FFileExt, FAndFindText);
}

void TplCustomFileDialog::RenameSelected() {
    if (FListView->SelCount() != 1) return;
    const int index = FListView->ItemIndex();
    const TXFileDialogDataListItem* item = SelectedItem();
    if (!item) return;
    bool action = true;
    if (OnReNameMenuClick) OnReNameMenuClick(this, item->FileFullPath, action);
    if (!action) return;
    FListView->FocusRow(index, true);
    FListView->SetFocus();
    FListView->editAllowed_ = true;
    SendMessageW(FListView->Handle(), LVM_EDITLABELW, static_cast<WPARAM>(index), 0);
    FListView->editAllowed_ = false;
}

void TplCustomFileDialog::ListEditStarted(HWND editor) {
    if (!editor) return;
    ApplyImeMode(editor, FImeMode);
    if (GetPropW(editor, kEditorProp)) return;
    SetPropW(editor, kEditorProp, this);
    FPrevEditorProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(editor, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&EditorWndProc)));
}

LRESULT CALLBACK TplCustomFileDialog::EditorWndProc(HWND wnd, UINT msg, WPARAM w, LPARAM l) {
    auto* self = static_cast<TplCustomFileDialog*>(GetPropW(wnd, kEditorProp));
    const WNDPROC previous = self ? self->FPrevEditorProc : nullptr;
    if (!previous) return DefWindowProcW(wnd, msg, w, l);
    if (msg == WM_CONTEXTMENU) return 0;
    if (msg == WM_DESTROY) {
        if (HIMC imc = ImmGetContext(wnd)) {
            ImmSetOpenStatus(imc, FALSE);
            ImmReleaseContext(wnd, imc);
        }
        SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        RemovePropW(wnd, kEditorProp);
        self->FPrevEditorProc = nullptr;
    }
    return CallWindowProcW(previous, wnd, msg, w, l);
}

void TplCustomFileDialog::ListEditEnded(int index, const std::u16string& typed) {
    TXFileDialogDataList* list = ExecutingList().get();
    TXFileDialogDataListItem* item = list ? list->Get(index) : nullptr;
    if (!item) return;
    const std::u16string oldPath = item->FileFullPath;
    const std::u16string newPath = RenameTargetPath(FDirectory, typed, oldPath);
    bool moved = false;
    if (RenameNameAccepted(typed)) {
        bool action = true;
        if (OnBeforeRename) OnBeforeRename(this, oldPath, newPath, action);
        if (!action) return;
        if (FileExists(newPath)) {
            Inform(kSameNameMessage);
            FListView->FocusRow(index, true);
            return;
        }
        moved = MoveFileW(W(oldPath), W(newPath)) != 0;
    }
    if (moved) {
        item->FileFullPath = newPath;
        item->FileName = FileNameWithoutExt(ExtractFileName(newPath));
        if (OnAfterRename) OnAfterRename(this, oldPath, newPath, true);
        SendMessageW(FListView->Handle(), LVM_REDRAWITEMS, static_cast<WPARAM>(index), index);
    } else if (OnAfterRename) {
        OnAfterRename(this, oldPath, newPath, false);
    } else {
        Inform(kRenameFailedMessage);
    }
    FListView->FocusRow(index, true);
    if (FListView->CanFocus()) FListView->SetFocus();
}

void TplCustomFileDialog::DeleteSelected() {
    if (FListView->SelCount() != 1) return;
    SendMessageW(FListView->Handle(), LVM_CANCELEDITLABEL, 0, 0);
    TXFileDialogDataList* list = ExecutingList().get();
    const int index = FListView->ItemIndex();
    const TXFileDialogDataListItem* item = list ? list->Get(index) : nullptr;
    if (!item) return;
    const std::u16string path = item->FileFullPath;
    bool action = true;
    if (OnBeforeDelete) OnBeforeDelete(this, path, action);
    if (!action) return;
    bool deleted = DeleteFileW(W(path)) != 0;
    DWORD error = deleted ? 0 : GetLastError();
    if (!deleted) {
        const DWORD attributes = GetFileAttributesW(W(path));
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            deleted = RemoveDirectoryW(W(path)) != 0;
            error = deleted ? 0 : GetLastError();
        }
    }
    if (deleted) {
        list->Delete(index);
        const int count = list->Count();
        FListView->SetItemCount(count);
        FListView->Invalidate();
        FListView->FocusRow(index < count ? index : -1, true);
        // OK answers with the selected row; with none left selected it waits for one.
        ListSelectionChanged();
        if (!IsSaveDialog()) FOKBtn->SetEnabled(count > 0 && FListView->SelCount() == 1);
    }
    SetLastError(error);
    if (OnAfterDelete)
        OnAfterDelete(this, path, deleted);
    else if (!deleted)
        Inform(kDeleteFailedMessage);
}

LRESULT TplCustomFileDialog::ListCustomDraw(NMLVCUSTOMDRAW& cd) {
    if (!OnAdvancedCustomDrawItem) return CDRF_DODEFAULT;
    TCustomDrawStage stage;
    switch (cd.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
        stage = cdPrePaint;
        break;
    case CDDS_ITEMPOSTPAINT:
        stage = cdPostPaint;
        break;
    default:
        return CDRF_DODEFAULT;
    }
    bool defaultDraw = true;
    TCanvas& canvas = FListView->Canvas();
    canvas.SetHandle(cd.nmcd.hdc);
    struct Release {
        TCanvas& c;
        ~Release() { c.SetHandle(nullptr); }
    } release{canvas};
    OnAdvancedCustomDrawItem(FListView, static_cast<int>(cd.nmcd.dwItemSpec), cd.nmcd.uItemState,
                             stage, defaultDraw, FImgListHandle, ExecutingList().get());
    if (stage == cdPostPaint) return CDRF_DODEFAULT;
    return defaultDraw ? CDRF_NOTIFYPOSTPAINT : CDRF_SKIPDEFAULT;
}

bool TplCustomFileDialog::Execute() {
    BuildForm();
    return ExecuteShared();
}

bool TplCustomFileDialog::ExecuteShared() {
    // The rows live in one place: a dialog opened while another executes is refused.
    if (ExecutingList()) return false;
    if (FDirectory.empty()) FDirectory = ExtractFileDir(GetProgramFileName());
    if (FBrowseFolder->RootDir().empty()) FBrowseFolder->SetRootDir(FRootDir);
    if (FBrowseFolder->InitDir().empty()) FBrowseFolder->SetInitDir(FDirectory);
    if (FFormLeft == 0 && FFormTop == 0) {
        RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        const TFormBounds b = CenteredOnWorkArea({work.left, work.top, work.right, work.bottom},
                                                 FFormWidth, FFormHeight);
        FFormLeft = b.left;
        FFormTop = b.top;
    }
    FDialogForm->SetBounds(FFormLeft, FFormTop, FFormWidth, FFormHeight);
    ApplyLayout();
    ExecutingList() = std::make_unique<TXFileDialogDataList>();
    FModalResult = mrNone;
    struct AfterModal {
        TplCustomFileDialog& d;
        ~AfterModal() {
            d.FListView->SetItemCount(0);
            ExecutingList().reset();
            d.FFormLeft = d.FDialogForm->Left();
            d.FFormTop = d.FDialogForm->Top();
            d.FFormWidth = d.FDialogForm->Width();
            d.FFormHeight = d.FDialogForm->Height();
        }
    } after{*this};
    WrapFormProc();
    SetImeMode(FImeMode);
    FDialogForm->ShowModal();
    return FModalResult == mrOk;
}

// ---- open and save dialogs --------------------------------------------------------------------

TplOpenDialog::TplOpenDialog(TComponent* owner) : TplCustomFileDialog(owner) {
    SetTitle(u"ファイルを開く");
}

bool TplOpenDialog::Execute() {
    BuildForm();
    OKBtn()->SetCaption(u"開く");
    OKBtn()->SetEnabled(false);
    FileEdit()->SetVisible(false);
    return ExecuteShared();
}

TplSaveDialog::TplSaveDialog(TComponent* owner) : TplCustomFileDialog(owner) {
    SetTitle(u"名前を付けて保存");
}

bool TplSaveDialog::Execute() {
    BuildForm();
    OKBtn()->SetCaption(u"保存");
    OKBtn()->SetEnabled(false);
    FileEdit()->SetVisible(true);
    FileEdit()->SetText(FileNameWithoutExt(FFileName));
    return ExecuteShared();
}

// ---- registration -----------------------------------------------------------------------------

namespace {

// Names with their ordinals (enumerations) or with their bits (sets).
std::vector<std::pair<std::u16string, int>> NameTable(const char16_t* const* names, int count,
                                                      bool bits) {
    std::vector<std::pair<std::u16string, int>> table;
    for (int i = 0; i < count; ++i) table.emplace_back(names[i], bits ? 1 << i : i);
    return table;
}

} // namespace

void RegisterXFileDialogClasses() {
    static bool done = false;
    if (done) return;
    done = true;
    RegisterUiClasses();
    static const TNameTable kIme = {
        {u"imDisable", imDisable},   {u"imClose", imClose},       {u"imOpen", imOpen},
        {u"imDontCare", imDontCare}, {u"imSAlpha", imSAlpha},     {u"imAlpha", imAlpha},
        {u"imHira", imHira},         {u"imSKata", imSKata},       {u"imKata", imKata},
        {u"imChinese", imChinese},   {u"imSHanguel", imSHanguel}, {u"imHanguel", imHanguel}};
    static const TNameTable kOptions = {{u"doFindBtn", DialogOption(doFindBtn)},
                                        {u"doFolderBtn", DialogOption(doFolderBtn)}};
    using D = TplCustomFileDialog;
    RegisterComponentClass<D>(u"TComponent")
        .Int(u"FormTop", [](D& d, int v) { d.SetFormTop(v); })
        .Int(u"FormLeft", [](D& d, int v) { d.SetFormLeft(v); })
        .Int(u"FormHeight", [](D& d, int v) { d.SetFormHeight(v); })
        .Int(u"FormWidth", [](D& d, int v) { d.SetFormWidth(v); })
        .Str(u"Font.Name", [](D& d, const std::u16string& v) { d.Font().SetName(v); })
        .Int(u"Font.Height", [](D& d, int v) { d.Font().SetHeight(v); })
        .Int(u"Font.Size", [](D& d, int v) { d.Font().SetSize(v); })
        .Color(u"Font.Color", [](D& d, TColor v) { d.Font().SetColor(v); })
        .Int(u"Font.Charset", [](D& d, int v) { d.Font().SetCharset(v); })
        .Str(u"FileExt", [](D& d, const std::u16string& v) { d.SetFileExt(v); })
        .Str(u"Directory", [](D& d, const std::u16string& v) { d.SetDirectory(v); })
        .Str(u"Title", [](D& d, const std::u16string& v) { d.SetTitle(v); })
        .Str(u"FindText", [](D& d, const std::u16string& v) { d.SetFindText(v); })
        .Enum(u"ImeMode", kIme, [](D& d, int v) { d.SetImeMode(static_cast<TImeMode>(v)); })
        .Bool(u"DisplayDirectory", [](D& d, bool v) { d.SetDisplayDirectory(v); })
        .Bool(u"DisplayIcon", [](D& d, bool v) { d.SetDisplayIcon(v); })
        .Bool(u"DisplayGridLines", [](D& d, bool v) { d.SetDisplayGridLines(v); })
        .Set(u"Options", kOptions, [](D& d, unsigned v) { d.SetOptions(v); })
        .Str(u"RootDir", [](D& d, const std::u16string& v) { d.SetRootDir(v); })
        .Str(u"BrowseTitle", [](D& d, const std::u16string& v) { d.SetBrowseTitle(v); })
        .Str(u"BrowseCaption", [](D& d, const std::u16string& v) { d.SetBrowseCaption(v); })
        .Event<void(TObject*)>(u"OnShow", &D::OnShow)
        .Event<void(TObject*, const std::u16string&, bool&)>(u"OnBeforeDelete", &D::OnBeforeDelete)
        .Event<void(TObject*, const std::u16string&, bool&)>(u"OnBeforeClose", &D::OnBeforeClose)
        .Event<void(TObject*, const std::u16string&, bool&)>(u"OnReNameMenuClick",
                                                             &D::OnReNameMenuClick)
        .Event<void(TObject*, const std::u16string&, const std::u16string&, bool&)>(
            u"OnBeforeRename", &D::OnBeforeRename)
        .Event<void(TObject*, const std::u16string&, bool)>(u"OnAfterDelete", &D::OnAfterDelete)
        .Event<void(TObject*, const std::u16string&, const std::u16string&, bool)>(
            u"OnAfterRename", &D::OnAfterRename)
        .Event<void(TObject*, const std::u16string&, bool&, std::u16string&)>(u"OnFindBtnClick",
                                                                              &D::OnFindBtnClick)
        .Event<void(TObject*, const std::u16string&, bool&)>(u"OnFolderBtnClick",
                                                             &D::OnFolderBtnClick)
        .Event<void(TObject*, const std::u16string&, int, TXFileDialogDataList*, std::u16string&)>(
            u"OnFileListed", &D::OnFileListed)
        .Event<void(TObject*, int, TCustomDrawState, TCustomDrawStage, bool&, HIMAGELIST,
                    TXFileDialogDataList*)>(u"OnAdvancedCustomDrawItem",
                                            &D::OnAdvancedCustomDrawItem)
        .Ignore({u"AboutVCL"});
    RegisterComponentClass<TplOpenDialog>(u"TplCustomFileDialog");
    RegisterComponentClass<TplSaveDialog>(u"TplCustomFileDialog")
        .Str(u"FileName", [](TplSaveDialog& d, const std::u16string& v) { d.SetFileName(v); });

    using B = TplBrowseFolder;
    const auto specialDirs = NameTable(kSpecialDirNames, kSpecialDirCount, false);
    const auto browseOptions = NameTable(kBrowseOptionNames, 16, true);
    RegisterComponentClass<B>(u"TComponent")
        .Str(u"RootDir", [](B& b, const std::u16string& v) { b.SetRootDir(v); })
        .Prop(u"RootSpecialDir",
              [specialDirs](B& b, const TValue& v, TReader& r) {
                  b.SetRootSpecialDir(static_cast<TplBFSpecialDir>(r.AsEnum(v, specialDirs)));
              })
        .Str(u"InitDir", [](B& b, const std::u16string& v) { b.SetInitDir(v); })
        .Prop(u"InitSpecialDir",
              [specialDirs](B& b, const TValue& v, TReader& r) {
                  b.SetInitSpecialDir(static_cast<TplBFSpecialDir>(r.AsEnum(v, specialDirs)));
              })
        .Prop(u"Options",
              [browseOptions](B& b, const TValue& v, TReader& r) {
                  b.SetOptions(static_cast<TplBrowseOptions>(r.AsSet(v, browseOptions)));
              })
        .Str(u"Title", [](B& b, const std::u16string& v) { b.SetTitle(v); })
        .Str(u"Caption", [](B& b, const std::u16string& v) { b.SetCaption(v); })
        .Int(u"FormWidth", [](B& b, int v) { b.SetFormWidth(v); })
        .Int(u"FormHeight", [](B& b, int v) { b.SetFormHeight(v); })
        .Int(u"FormLeft", [](B& b, int v) { b.SetFormLeft(v); })
        .Int(u"FormTop", [](B& b, int v) { b.SetFormTop(v); })
        .Event<void(TObject*)>(u"OnShow", &B::OnShow)
        .Event<void(TObject*, HWND, const std::u16string&, std::u16string&, bool&)>(
            u"OnSelectionChanged", &B::OnSelectionChanged)
        .Ignore({u"AboutVCL"});
}

} // namespace kv
