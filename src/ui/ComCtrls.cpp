#include "ui/ComCtrls.h"

#include <algorithm>

#include "ui/ActnList.h"
#include "ui/Application.h"
#include "ui/ClassRegistry.h"
#include "ui/Forms.h"
#include "ui/ImgList.h"
#include "ui/Internal.h"

namespace kv {

namespace {
UINT g_nextToolCommand = 0x4000;

void CopyText(const std::u16string& text, wchar_t* out, int capacity) {
    if (!out || capacity <= 0) return;
    const size_t n = std::min(text.size(), static_cast<size_t>(capacity - 1));
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<wchar_t>(text[i]);
    out[n] = L'\0';
}
} // namespace

// ---- TStatusBar -------------------------------------------------------------------------------

TStatusBar::TStatusBar(TComponent* owner) : TWinControl(owner) {
    SetBounds(0, 0, 200, 19);
    SetAlign(alBottom);
    if (Application) Application->AddHintTarget(this);
}

TStatusBar::~TStatusBar() {
    if (Application) Application->RemoveHintTarget(this);
}

void TStatusBar::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.baseClass = u"msctls_statusbar32";
    p.style |= CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER;
    if (sizeGrip_) p.style |= SBARS_SIZEGRIP;
}

void TStatusBar::CreateWindowHandleDone() {
    UpdatePanels();
}

void TStatusBar::UpdatePanels() {
    if (!HandleAllocated()) return;
    SendMessageW(Handle(), SB_SIMPLE, simplePanel_ ? TRUE : FALSE, 0);
    if (simplePanel_) {
        SendMessageW(Handle(), SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(W(simpleText_)));
        return;
    }
    std::vector<int> rights;
    int x = 0;
    for (size_t i = 0; i < panels_.size(); ++i) {
        x += panels_[i].width;
        rights.push_back(i + 1 == panels_.size() ? -1 : x);
    }
    if (rights.empty()) rights.push_back(-1);
    SendMessageW(Handle(), SB_SETPARTS, rights.size(), reinterpret_cast<LPARAM>(rights.data()));
    for (size_t i = 0; i < panels_.size(); ++i) {
        std::u16string text = panels_[i].text;
        if (panels_[i].alignment == taCenter) text = u"\t" + text;
        if (panels_[i].alignment == taRightJustify) text = u"\t\t" + text;
        SendMessageW(Handle(), SB_SETTEXTW, i, reinterpret_cast<LPARAM>(W(text)));
    }
    if (panels_.empty()) SendMessageW(Handle(), SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(L""));
}

void TStatusBar::SetSimplePanel(bool v) {
    if (v == simplePanel_) return;
    simplePanel_ = v;
    UpdatePanels();
}

void TStatusBar::SetSimpleText(const std::u16string& v) {
    simpleText_ = v;
    if (HandleAllocated() && simplePanel_)
        SendMessageW(Handle(), SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(W(simpleText_)));
}

void TStatusBar::AddPanel(const TStatusPanel& p) {
    panels_.push_back(p);
    UpdatePanels();
}

void TStatusBar::SetPanelText(int i, const std::u16string& text) {
    if (i < 0 || i >= PanelCount()) return;
    panels_[static_cast<size_t>(i)].text = text;
    UpdatePanels();
}

void TStatusBar::ClearPanels() {
    panels_.clear();
    UpdatePanels();
}

void TStatusBar::SetSizeGrip(bool v) {
    if (v == sizeGrip_) return;
    sizeGrip_ = v;
    RecreateWnd();
}

void TStatusBar::ShowApplicationHint(const std::u16string& hint) {
    if (!autoHint_) return;
    if (simplePanel_ || panels_.empty())
        SetSimpleText(hint);
    else
        SetPanelText(0, hint);
}

// ---- TProgressBar -----------------------------------------------------------------------------

TProgressBar::TProgressBar(TComponent* owner) : TWinControl(owner) {
    SetBounds(0, 0, 150, 16);
}

void TProgressBar::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.baseClass = u"msctls_progress32";
    if (smooth_) p.style |= PBS_SMOOTH;
}

void TProgressBar::CreateWindowHandleDone() {
    SendMessageW(Handle(), PBM_SETRANGE32, static_cast<WPARAM>(min_), max_);
    SendMessageW(Handle(), PBM_SETPOS, static_cast<WPARAM>(position_), 0);
}

void TProgressBar::SetRange(int min, int max) {
    if (max < min) max = min;
    min_ = min;
    max_ = max;
    position_ = std::clamp(position_, min_, max_);
    if (HandleAllocated()) {
        SendMessageW(Handle(), PBM_SETRANGE32, static_cast<WPARAM>(min_), max_);
        SendMessageW(Handle(), PBM_SETPOS, static_cast<WPARAM>(position_), 0);
    }
}

int TProgressBar::Position() const {
    return position_;
}

void TProgressBar::SetPosition(int v) {
    position_ = std::clamp(v, min_, max_);
    if (HandleAllocated()) SendMessageW(Handle(), PBM_SETPOS, static_cast<WPARAM>(position_), 0);
}

void TProgressBar::SetSmooth(bool v) {
    if (v == smooth_) return;
    smooth_ = v;
    RecreateWnd();
}

// ---- TListView --------------------------------------------------------------------------------

TListView::TListView(TComponent* owner) : TWinControl(owner) {
    SetTabStop(true);
    SetColor(clWindow);
    SetBounds(0, 0, 250, 150);
}

void TListView::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.baseClass = u"SysListView32";
    p.exStyle |= WS_EX_CLIENTEDGE;
    static const DWORD kView[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
    p.style |= kView[viewStyle_] | LVS_SHAREIMAGELISTS;
    if (ownerData_) p.style |= LVS_OWNERDATA;
    if (!readOnly_) p.style |= LVS_EDITLABELS;
    if (!hideSelection_) p.style |= LVS_SHOWSELALWAYS;
    if (!showColumnHeaders_) p.style |= LVS_NOCOLUMNHEADER;
    if (!columnClick_) p.style |= LVS_NOSORTHEADER;
    if (!multiSelect_) p.style |= LVS_SINGLESEL;
}

void TListView::ApplyExStyle() {
    if (!HandleAllocated()) return;
    DWORD ex = 0;
    if (rowSelect_) ex |= LVS_EX_FULLROWSELECT;
    if (gridLines_) ex |= LVS_EX_GRIDLINES;
    SendMessageW(Handle(), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES,
                 ex);
}

void TListView::CreateWindowHandleDone() {
    ApplyExStyle();
    if (smallImages_)
        SendMessageW(Handle(), LVM_SETIMAGELIST, LVSIL_SMALL,
                     reinterpret_cast<LPARAM>(smallImages_->Handle()));
    for (size_t i = 0; i < columns_.size(); ++i) {
        LVCOLUMNW c{};
        c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        c.fmt = columns_[i].alignment == taCenter         ? LVCFMT_CENTER
                : columns_[i].alignment == taRightJustify ? LVCFMT_RIGHT
                                                          : LVCFMT_LEFT;
        c.cx = columns_[i].width;
        c.pszText = const_cast<wchar_t*>(W(columns_[i].caption));
        SendMessageW(Handle(), LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&c));
    }
    if (ownerData_) {
        SendMessageW(Handle(), LVM_SETITEMCOUNT, static_cast<WPARAM>(itemCount_), 0);
    } else {
        for (size_t i = 0; i < items_.size(); ++i) {
            LVITEMW it{};
            it.mask = LVIF_TEXT | LVIF_IMAGE;
            it.iItem = static_cast<int>(i);
            it.pszText = LPSTR_TEXTCALLBACKW;
            it.iImage = I_IMAGECALLBACK;
            SendMessageW(Handle(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&it));
        }
    }
    if (itemIndex_ >= 0) SetItemIndex(itemIndex_);
}

#define KV_LV_STYLE_SETTER(Name, field)                                                            \
    void TListView::Set##Name(bool v) {                                                            \
        if (v == field) return;                                                                    \
        field = v;                                                                                 \
        RecreateWnd();                                                                             \
    }
KV_LV_STYLE_SETTER(OwnerData, ownerData_)
KV_LV_STYLE_SETTER(ReadOnly, readOnly_)
KV_LV_STYLE_SETTER(HideSelection, hideSelection_)
KV_LV_STYLE_SETTER(ShowColumnHeaders, showColumnHeaders_)
KV_LV_STYLE_SETTER(ColumnClick, columnClick_)
KV_LV_STYLE_SETTER(MultiSelect, multiSelect_)
#undef KV_LV_STYLE_SETTER

void TListView::SetViewStyle(TViewStyle v) {
    if (v == viewStyle_) return;
    viewStyle_ = v;
    RecreateWnd();
}

void TListView::SetRowSelect(bool v) {
    rowSelect_ = v;
    ApplyExStyle();
}

void TListView::SetGridLines(bool v) {
    gridLines_ = v;
    ApplyExStyle();
}

void TListView::SetSmallImages(TCustomImageList* images) {
    smallImages_ = images;
    if (images) FreeNotification(images);
    if (HandleAllocated())
        SendMessageW(Handle(), LVM_SETIMAGELIST, LVSIL_SMALL,
                     reinterpret_cast<LPARAM>(images ? images->Handle() : nullptr));
}

void TListView::AddColumn(const TListColumn& c) {
    columns_.push_back(c);
    if (HandleAllocated()) RecreateWnd();
}

void TListView::SetColumnWidth(int i, int width) {
    if (i < 0 || i >= ColumnCount()) return;
    columns_[static_cast<size_t>(i)].width = width;
    if (HandleAllocated())
        SendMessageW(Handle(), LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(i), width);
}

void TListView::ClearColumns() {
    columns_.clear();
    if (HandleAllocated()) RecreateWnd();
}

int TListView::ItemCount() const {
    return ownerData_ ? itemCount_ : static_cast<int>(items_.size());
}

void TListView::SetItemCount(int count) {
    itemCount_ = count < 0 ? 0 : count;
    if (HandleAllocated() && ownerData_)
        SendMessageW(Handle(), LVM_SETITEMCOUNT, static_cast<WPARAM>(itemCount_), 0);
}

void TListView::AddItem(const TListItem& item) {
    items_.push_back(item);
    items_.back().index = static_cast<int>(items_.size()) - 1;
    if (HandleAllocated() && !ownerData_) {
        LVITEMW it{};
        it.mask = LVIF_TEXT | LVIF_IMAGE;
        it.iItem = items_.back().index;
        it.pszText = LPSTR_TEXTCALLBACKW;
        it.iImage = I_IMAGECALLBACK;
        SendMessageW(Handle(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&it));
    }
}

void TListView::ClearItems() {
    items_.clear();
    if (HandleAllocated() && !ownerData_) SendMessageW(Handle(), LVM_DELETEALLITEMS, 0, 0);
}

TListItem TListView::GetItem(int index) {
    TListItem item;
    item.index = index;
    if (ownerData_) {
        if (OnData && index >= 0 && index < itemCount_) OnData(this, item);
    } else if (index >= 0 && index < static_cast<int>(items_.size())) {
        item = items_[static_cast<size_t>(index)];
    }
    return item;
}

int TListView::ItemIndex() const {
    if (!HandleAllocated()) return itemIndex_;
    const LRESULT i = SendMessageW(const_cast<TListView*>(this)->Handle(), LVM_GETNEXTITEM,
                                   static_cast<WPARAM>(-1), LVNI_SELECTED);
    return static_cast<int>(i);
}

void TListView::SetItemIndex(int index) {
    if (index >= ItemCount()) index = -1;
    itemIndex_ = index;
    if (!HandleAllocated()) return;
    LVITEMW clear{};
    clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(&clear));
    if (index < 0) return;
    LVITEMW set{};
    set.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    set.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&set));
}

void TListView::MakeVisible(int index) {
    if (HandleAllocated())
        SendMessageW(Handle(), LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
}

int TListView::TopIndex() const {
    return HandleAllocated() ? static_cast<int>(SendMessageW(const_cast<TListView*>(this)->Handle(),
                                                             LVM_GETTOPINDEX, 0, 0))
                             : 0;
}

LRESULT TListView::WndProc(UINT msg, WPARAM w, LPARAM l) {
    if (msg == CN_NOTIFY) {
        auto* hdr = reinterpret_cast<NMHDR*>(l);
        switch (hdr->code) {
        case LVN_GETDISPINFOW: {
            auto* info = reinterpret_cast<NMLVDISPINFOW*>(l);
            LVITEMW& it = info->item;
            if (dispItem_.index != it.iItem || it.iSubItem == 0) dispItem_ = GetItem(it.iItem);
            if (it.mask & LVIF_TEXT) {
                dispText_ = it.iSubItem == 0 ? dispItem_.caption
                            : static_cast<size_t>(it.iSubItem - 1) < dispItem_.subItems.size()
                                ? dispItem_.subItems[static_cast<size_t>(it.iSubItem - 1)]
                                : std::u16string();
                CopyText(dispText_, it.pszText, it.cchTextMax);
            }
            if (it.mask & LVIF_IMAGE) it.iImage = dispItem_.imageIndex;
            return 0;
        }
        case LVN_ITEMCHANGED: {
            const auto* nm = reinterpret_cast<const NMLISTVIEW*>(l);
            if ((nm->uChanged & LVIF_STATE) && ((nm->uNewState ^ nm->uOldState) & LVIS_SELECTED)) {
                itemIndex_ = ItemIndex();
                if (OnSelectItem && !IsDestroying()) OnSelectItem(this);
            }
            return 0;
        }
        case LVN_ODSTATECHANGED:
            itemIndex_ = ItemIndex();
            if (OnSelectItem && !IsDestroying()) OnSelectItem(this);
            return 0;
        case NM_CLICK:
            Click();
            return 0;
        case NM_DBLCLK:
            DblClick();
            return 0;
        default:
            break;
        }
    }
    return TWinControl::WndProc(msg, w, l);
}

// ---- TTabSheet / TPageControl -----------------------------------------------------------------

TTabSheet::TTabSheet(TComponent* owner) : TCustomControl(owner) {
    SetVisibleField(false);
    SetParentColor(true);
}

TTabSheet::~TTabSheet() {
    if (pageControl_) pageControl_->RemovePage(this);
}

void TTabSheet::SetPageControl(TPageControl* p) {
    if (p == pageControl_) return;
    if (pageControl_) pageControl_->RemovePage(this);
    pageControl_ = p;
    SetParent(p);
    if (p) p->InsertPage(this);
}

void TTabSheet::SetParentComponent(TComponent* parent) {
    if (auto* p = dynamic_cast<TPageControl*>(parent))
        SetPageControl(p);
    else
        TCustomControl::SetParentComponent(parent);
}

int TTabSheet::PageIndex() const {
    if (!pageControl_) return -1;
    for (int i = 0; i < pageControl_->PageCount(); ++i)
        if (pageControl_->Pages(i) == this) return i;
    return -1;
}

void TTabSheet::TextChanged() {
    TCustomControl::TextChanged();
    if (pageControl_) pageControl_->UpdateTab(this);
}

TPageControl::TPageControl(TComponent* owner) : TWinControl(owner) {
    SetTabStop(true);
    SetBounds(0, 0, 289, 193);
}

void TPageControl::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.baseClass = u"SysTabControl32";
    p.style |= WS_CLIPCHILDREN;
}

void TPageControl::CreateWindowHandleDone() {
    RebuildTabs();
    Realign();
}

void TPageControl::RebuildTabs() {
    if (!HandleAllocated()) return;
    SendMessageW(Handle(), TCM_DELETEALLITEMS, 0, 0);
    for (size_t i = 0; i < pages_.size(); ++i) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(W(pages_[i]->Caption()));
        SendMessageW(Handle(), TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    SendMessageW(Handle(), TCM_SETCURSEL, static_cast<WPARAM>(ActivePageIndex()), 0);
}

void TPageControl::InsertPage(TTabSheet* page) {
    pages_.push_back(page);
    RebuildTabs();
    if (!active_) SetActivePage(page);
    Realign();
}

void TPageControl::RemovePage(TTabSheet* page) {
    pages_.erase(std::remove(pages_.begin(), pages_.end(), page), pages_.end());
    if (active_ == page) active_ = pages_.empty() ? nullptr : pages_.front();
    if (!IsDestroying()) {
        RebuildTabs();
        Realign();
    }
}

void TPageControl::UpdateTab(TTabSheet*) {
    RebuildTabs();
}

void TPageControl::SetActivePage(TTabSheet* page) {
    if (page && page->PageControl() != this) return;
    active_ = page;
    for (TTabSheet* p : pages_) p->SetVisible(p == page);
    if (HandleAllocated())
        SendMessageW(Handle(), TCM_SETCURSEL, static_cast<WPARAM>(ActivePageIndex()), 0);
    Realign();
}

int TPageControl::ActivePageIndex() const {
    for (size_t i = 0; i < pages_.size(); ++i)
        if (pages_[i] == active_) return static_cast<int>(i);
    return -1;
}

void TPageControl::SetActivePageIndex(int i) {
    if (i >= 0 && i < PageCount()) SetActivePage(pages_[static_cast<size_t>(i)]);
}

void TPageControl::Loaded() {
    TWinControl::Loaded();
    SetActivePage(active_);
}

void TPageControl::AdjustClientRect(RECT& r) const {
    if (HandleAllocated()) {
        SendMessageW(const_cast<TPageControl*>(this)->Handle(), TCM_ADJUSTRECT, FALSE,
                     reinterpret_cast<LPARAM>(&r));
    } else {
        r.top += 24;
        InflateRect(&r, -4, -4);
    }
}

void TPageControl::AlignControls(RECT& r) {
    for (TTabSheet* p : pages_) {
        p->SetBoundsFromLayout(r.left, r.top, RectWidth(r), RectHeight(r));
        p->SetVisible(p == active_);
    }
}

bool TPageControl::DialogChar(char16_t ch) {
    for (TTabSheet* p : pages_)
        if (detail::IsAccel(ch, p->Caption())) {
            SetActivePage(p);
            if (OnChange && !IsDestroying()) OnChange(this);
            return true;
        }
    return false;
}

LRESULT TPageControl::WndProc(UINT msg, WPARAM w, LPARAM l) {
    if (msg == CN_NOTIFY && reinterpret_cast<NMHDR*>(l)->code == TCN_SELCHANGE) {
        const int i = static_cast<int>(SendMessageW(Handle(), TCM_GETCURSEL, 0, 0));
        if (i >= 0 && i < PageCount()) SetActivePage(pages_[static_cast<size_t>(i)]);
        if (OnChange && !IsDestroying()) OnChange(this);
        return 0;
    }
    return TWinControl::WndProc(msg, w, l);
}

// ---- TToolButton / TToolBar -------------------------------------------------------------------

TToolButton::TToolButton(TComponent* owner) : TControl(owner), command_(g_nextToolCommand++) {
    SetBounds(0, 0, 23, 22);
}

TToolButton::~TToolButton() {
    Destroying();
    TToolBar* bar = ToolBar();
    if (bar && !bar->IsDestroying()) {
        SetParent(nullptr);
        bar->UpdateButtons();
    }
}

TToolBar* TToolButton::ToolBar() const {
    return dynamic_cast<TToolBar*>(Parent());
}

void TToolButton::Changed() {
    if (TToolBar* bar = ToolBar(); bar && !bar->IsLoading()) bar->UpdateButtons();
}

void TToolButton::SetStyle(TToolButtonStyle v) {
    if (v == style_) return;
    style_ = v;
    Changed();
}
void TToolButton::SetImageIndex(int v) {
    if (v == imageIndex_) return;
    imageIndex_ = v;
    Changed();
}
void TToolButton::SetDown(bool v) {
    if (v == down_) return;
    down_ = v;
    if (TToolBar* bar = ToolBar(); bar && bar->HandleAllocated())
        SendMessageW(bar->Handle(), TB_CHECKBUTTON, command_, v);
}
void TToolButton::ActionChange(TBasicAction* action) {
    TControl::ActionChange(action);
    if (auto* a = dynamic_cast<TCustomAction*>(action)) {
        imageIndex_ = a->ImageIndex();
        Changed();
    }
}
void TToolButton::EnabledChanged() {
    if (TToolBar* bar = ToolBar(); bar && bar->HandleAllocated())
        SendMessageW(bar->Handle(), TB_ENABLEBUTTON, command_, Enabled());
}
void TToolButton::VisibleChanged() {
    Changed();
}
void TToolButton::TextChanged() {
    Changed();
}

TToolBar::TToolBar(TComponent* owner) : TWinControl(owner) {
    SetBounds(0, 0, 150, 29);
    SetAlign(alTop);
}

TToolBar::~TToolBar() {
    if (images_) images_->Unsubscribe(imagesSubscription_);
}

void TToolBar::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.baseClass = u"ToolbarWindow32";
    p.style |= CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER | TBSTYLE_TOOLTIPS;
    if (flat_) p.style |= TBSTYLE_FLAT;
}

void TToolBar::CreateWindowHandleDone() {
    SendMessageW(Handle(), TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    UpdateButtons();
}

void TToolBar::SetImages(TCustomImageList* images) {
    if (images == images_) return;
    if (images_) images_->Unsubscribe(imagesSubscription_);
    images_ = images;
    if (images_) {
        FreeNotification(images_);
        imagesSubscription_ = images_->Subscribe([this] { UpdateButtons(); });
    }
    UpdateButtons();
}

void TToolBar::Notification(TComponent* c, TOperation op) {
    TWinControl::Notification(c, op);
    if (op == opRemove && c == images_) {
        images_ = nullptr;
        UpdateButtons();
    }
    if (op == opRemove && c == hot_) hot_ = nullptr;
}

void TToolBar::SetShowCaptions(bool v) {
    showCaptions_ = v;
    UpdateButtons();
}

void TToolBar::SetFlat(bool v) {
    if (v == flat_) return;
    flat_ = v;
    RecreateWnd();
}

int TToolBar::ButtonCount() const {
    int n = 0;
    for (int i = 0; i < ControlCount(); ++i)
        if (dynamic_cast<TToolButton*>(Controls(i))) ++n;
    return n;
}

TToolButton* TToolBar::Buttons(int index) const {
    for (int i = 0; i < ControlCount(); ++i)
        if (auto* b = dynamic_cast<TToolButton*>(Controls(i)); b && index-- == 0) return b;
    return nullptr;
}

TToolButton* TToolBar::FindButton(UINT command) const {
    for (int i = 0; i < ControlCount(); ++i)
        if (auto* b = dynamic_cast<TToolButton*>(Controls(i)); b && b->Command() == command)
            return b;
    return nullptr;
}

void TToolBar::Loaded() {
    TWinControl::Loaded();
    UpdateButtons();
}

void TToolBar::UpdateButtons() {
    if (!HandleAllocated() || IsLoading() || IsDestroying()) return;
    HWND h = Handle();
    while (SendMessageW(h, TB_BUTTONCOUNT, 0, 0) > 0) SendMessageW(h, TB_DELETEBUTTON, 0, 0);
    SendMessageW(h, TB_SETIMAGELIST, 0,
                 reinterpret_cast<LPARAM>(images_ ? images_->Handle() : nullptr));
    if (images_)
        SendMessageW(h, TB_SETBITMAPSIZE, 0, MAKELPARAM(images_->Width(), images_->Height()));
    std::vector<std::u16string> texts;
    texts.reserve(static_cast<size_t>(ControlCount()));
    for (int i = 0; i < ControlCount(); ++i) {
        auto* b = dynamic_cast<TToolButton*>(Controls(i));
        if (!b || !b->Visible()) continue;
        TBBUTTON tb{};
        tb.idCommand = static_cast<int>(b->Command());
        tb.iBitmap = b->ImageIndex() >= 0 ? b->ImageIndex() : I_IMAGENONE;
        tb.fsState = static_cast<BYTE>((b->Enabled() ? TBSTATE_ENABLED : 0) |
                                       (b->Down() ? TBSTATE_CHECKED : 0));
        switch (b->Style()) {
        case tbsSeparator:
        case tbsDivider:
            tb.fsStyle = BTNS_SEP;
            tb.iBitmap = 8;
            break;
        case tbsCheck:
            tb.fsStyle = BTNS_CHECK;
            break;
        case tbsDropDown:
            tb.fsStyle = BTNS_DROPDOWN;
            break;
        default:
            tb.fsStyle = BTNS_BUTTON;
            break;
        }
        if (showCaptions_ && b->Style() != tbsSeparator && b->Style() != tbsDivider) {
            texts.push_back(b->Caption());
            tb.iString = reinterpret_cast<INT_PTR>(W(texts.back()));
        } else {
            tb.iString = -1;
        }
        SendMessageW(h, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&tb));
    }
    SendMessageW(h, TB_AUTOSIZE, 0, 0);
    InvalidateRect(h, nullptr, TRUE);
}

void TToolBar::AlignControls(RECT&) {
    // Tool buttons live inside the window; nothing to place.
}

LRESULT TToolBar::WndProc(UINT msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case CN_COMMAND:
        if (TToolButton* b = FindButton(LOWORD(w))) {
            if (b->Style() == tbsCheck)
                b->SetDown(SendMessageW(Handle(), TB_ISBUTTONCHECKED, b->Command(), 0) != 0);
            b->Click();
        }
        return 0;
    case CN_NOTIFY: {
        auto* hdr = reinterpret_cast<NMHDR*>(l);
        if (hdr->code == TBN_GETINFOTIPW) {
            auto* tip = reinterpret_cast<NMTBGETINFOTIPW*>(l);
            if (TToolButton* b = FindButton(static_cast<UINT>(tip->iItem))) {
                tipText_ = GetShortHint(b->Hint());
                CopyText(tipText_, tip->pszText, tip->cchTextMax);
            }
            return 0;
        }
        break;
    }
    case WM_MOUSEMOVE: {
        const LRESULT r = TWinControl::WndProc(msg, w, l);
        POINT pt{static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
        const int index =
            static_cast<int>(SendMessageW(Handle(), TB_HITTEST, 0, reinterpret_cast<LPARAM>(&pt)));
        TToolButton* b = nullptr;
        if (index >= 0) {
            TBBUTTON tb{};
            if (SendMessageW(Handle(), TB_GETBUTTON, static_cast<WPARAM>(index),
                             reinterpret_cast<LPARAM>(&tb)))
                b = FindButton(static_cast<UINT>(tb.idCommand));
        }
        if (b != hot_) {
            hot_ = b;
            if (Application)
                Application->SetHint(GetLongHint(b ? b->Hint() : Hint()), GetParentForm());
        }
        return r;
    }
    case WM_MOUSELEAVE:
        hot_ = nullptr;
        break;
    default:
        break;
    }
    return TWinControl::WndProc(msg, w, l);
}

// ---- registration -----------------------------------------------------------------------------

namespace detail {

void RegisterComCtrlClasses() {
    RegisterComponentClass<TStatusBar>(u"TWinControl")
        .Bool(u"SimplePanel", [](TStatusBar& s, bool v) { s.SetSimplePanel(v); })
        .Str(u"SimpleText", [](TStatusBar& s, const std::u16string& v) { s.SetSimpleText(v); })
        .Bool(u"AutoHint", [](TStatusBar& s, bool v) { s.SetAutoHint(v); })
        .Bool(u"SizeGrip", [](TStatusBar& s, bool v) { s.SetSizeGrip(v); })
        .Prop(u"Panels",
              [](TStatusBar& s, const TValue& v, TReader& r) {
                  if (v.kind != TValue::Collection)
                      r.Fail(v, u"Invalid property value: collection expected");
                  s.ClearPanels();
                  for (const auto& item : v.items) {
                      TStatusPanel p;
                      for (const auto& [name, value] : item.props) {
                          if (SameName(name, u"Width"))
                              p.width = r.AsInt(value);
                          else if (SameName(name, u"Text"))
                              p.text = r.AsString(value);
                          else if (SameName(name, u"Alignment"))
                              p.alignment = static_cast<TAlignment>(
                                  r.AsEnum(value, {{u"taLeftJustify", taLeftJustify},
                                                   {u"taRightJustify", taRightJustify},
                                                   {u"taCenter", taCenter}}));
                          else if (!SameName(name, u"Bevel") && !SameName(name, u"Style"))
                              r.Fail(value, u"Property " + name + u" does not exist");
                      }
                      s.AddPanel(p);
                  }
              })
        .Ignore({u"UseSystemFont"});
    RegisterComponentClass<TProgressBar>(u"TWinControl")
        .Int(u"Min", [](TProgressBar& p, int v) { p.SetMin(v); })
        .Int(u"Max", [](TProgressBar& p, int v) { p.SetMax(v); })
        .Int(u"Position", [](TProgressBar& p, int v) { p.SetPosition(v); })
        .Int(u"Step", [](TProgressBar& p, int v) { p.SetStep(v); })
        .Bool(u"Smooth", [](TProgressBar& p, bool v) { p.SetSmooth(v); });
    static const TNameTable kView = {{u"vsIcon", vsIcon},
                                     {u"vsSmallIcon", vsSmallIcon},
                                     {u"vsList", vsList},
                                     {u"vsReport", vsReport}};
    RegisterComponentClass<TListView>(u"TWinControl")
        .Enum(u"ViewStyle", kView,
              [](TListView& l, int v) { l.SetViewStyle(static_cast<TViewStyle>(v)); })
        .Bool(u"OwnerData", [](TListView& l, bool v) { l.SetOwnerData(v); })
        .Bool(u"RowSelect", [](TListView& l, bool v) { l.SetRowSelect(v); })
        .Bool(u"ReadOnly", [](TListView& l, bool v) { l.SetReadOnly(v); })
        .Bool(u"HideSelection", [](TListView& l, bool v) { l.SetHideSelection(v); })
        .Bool(u"ShowColumnHeaders", [](TListView& l, bool v) { l.SetShowColumnHeaders(v); })
        .Bool(u"ColumnClick", [](TListView& l, bool v) { l.SetColumnClick(v); })
        .Bool(u"GridLines", [](TListView& l, bool v) { l.SetGridLines(v); })
        .Bool(u"MultiSelect", [](TListView& l, bool v) { l.SetMultiSelect(v); })
        .Int(u"Items.Count", [](TListView& l, int v) { l.SetItemCount(v); })
        .Ref<TCustomImageList>(u"SmallImages",
                               [](TListView& l, TCustomImageList* i) { l.SetSmallImages(i); })
        .Prop(u"Columns",
              [](TListView& l, const TValue& v, TReader& r) {
                  if (v.kind != TValue::Collection)
                      r.Fail(v, u"Invalid property value: collection expected");
                  l.ClearColumns();
                  for (const auto& item : v.items) {
                      TListColumn c;
                      for (const auto& [name, value] : item.props) {
                          if (SameName(name, u"Width"))
                              c.width = r.AsInt(value);
                          else if (SameName(name, u"Caption"))
                              c.caption = r.AsString(value);
                          else if (SameName(name, u"Alignment"))
                              c.alignment = static_cast<TAlignment>(
                                  r.AsEnum(value, {{u"taLeftJustify", taLeftJustify},
                                                   {u"taRightJustify", taRightJustify},
                                                   {u"taCenter", taCenter}}));
                          else if (!SameName(name, u"AutoSize") && !SameName(name, u"MinWidth") &&
                                   !SameName(name, u"MaxWidth"))
                              r.Fail(value, u"Property " + name + u" does not exist");
                      }
                      l.AddColumn(c);
                  }
              })
        .Event<void(TObject*, TListItem&)>(u"OnData", &TListView::OnData)
        .Event<void(TObject*)>(u"OnSelectItem", &TListView::OnSelectItem);
    RegisterComponentClass<TTabSheet>(u"TCustomControl")
        .Ref<TPageControl>(u"PageControl",
                           [](TTabSheet& t, TPageControl* p) { t.SetPageControl(p); })
        .Ignore({u"ImageIndex", u"TabVisible"});
    RegisterComponentClass<TPageControl>(u"TWinControl")
        .Ref<TTabSheet>(u"ActivePage", [](TPageControl& p, TTabSheet* t) { p.SetActivePage(t); })
        .Event<void(TObject*)>(u"OnChange", &TPageControl::OnChange)
        .Ignore({u"TabIndex", u"MultiLine", u"Style"});
    static const TNameTable kToolStyle = {{u"tbsButton", tbsButton},
                                          {u"tbsCheck", tbsCheck},
                                          {u"tbsDropDown", tbsDropDown},
                                          {u"tbsSeparator", tbsSeparator},
                                          {u"tbsDivider", tbsDivider}};
    RegisterComponentClass<TToolButton>(u"TControl")
        .Enum(u"Style", kToolStyle,
              [](TToolButton& b, int v) { b.SetStyle(static_cast<TToolButtonStyle>(v)); })
        .Int(u"ImageIndex", [](TToolButton& b, int v) { b.SetImageIndex(v); })
        .Bool(u"Down", [](TToolButton& b, bool v) { b.SetDown(v); })
        .Ignore({u"Grouped", u"AllowAllUp", u"Wrap", u"Marked", u"Indeterminate", u"DropdownMenu",
                 u"AutoSize"});
    RegisterComponentClass<TToolBar>(u"TWinControl")
        .Ref<TCustomImageList>(u"Images", [](TToolBar& t, TCustomImageList* i) { t.SetImages(i); })
        .Bool(u"ShowCaptions", [](TToolBar& t, bool v) { t.SetShowCaptions(v); })
        .Bool(u"Flat", [](TToolBar& t, bool v) { t.SetFlat(v); })
        .Ignore({u"ButtonHeight", u"ButtonWidth", u"AutoSize", u"List", u"Transparent", u"Wrapable",
                 u"HotImages", u"DisabledImages", u"EdgeBorders", u"Indent", u"DrawingStyle"});
}

} // namespace detail

} // namespace kv
