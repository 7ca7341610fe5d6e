#include "ui/StdCtrls.h"

#include <commctrl.h>

#include <algorithm>

#include "ui/ClassRegistry.h"
#include "ui/Forms.h"
#include "ui/ImgList.h"
#include "ui/Internal.h"

namespace kv {

namespace {
// Measures text with a font on the screen's DC.
SIZE MeasureText(const TFont& font, const std::u16string& text, UINT flags, int width) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font.Handle());
    RECT r{0, 0, width > 0 ? width : 0, 0};
    const std::u16string measured = text.empty() ? std::u16string(u" ") : text;
    DrawTextW(dc, W(measured), static_cast<int>(measured.size()), &r, flags | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return {RectWidth(r), RectHeight(r)};
}

} // namespace

// ---- TLabel -----------------------------------------------------------------------------------

TLabel::TLabel(TComponent* owner) : TWinControl(owner) {
    SetParentColor(true);
    SetBounds(0, 0, 65, 17);
}

void TLabel::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.baseClass = u"STATIC";
    p.style |= SS_NOTIFY;
    if (!showAccelChar_) p.style |= SS_NOPREFIX;
    switch (alignment_) {
    case taLeftJustify:
        p.style |= wordWrap_ ? SS_LEFT : SS_LEFTNOWORDWRAP;
        break;
    case taRightJustify:
        p.style |= SS_RIGHT;
        break;
    case taCenter:
        p.style |= SS_CENTER;
        break;
    }
    if (layout_ == tlCenter && !wordWrap_) p.style |= SS_CENTERIMAGE;
}

LRESULT TLabel::WndProc(UINT msg, WPARAM w, LPARAM l) {
    if (msg == CN_COMMAND && HIWORD(w) == STN_CLICKED) {
        Click();
        return 0;
    }
    if (msg == CN_COMMAND && HIWORD(w) == STN_DBLCLK) {
        DblClick();
        return 0;
    }
    return TWinControl::WndProc(msg, w, l);
}

void TLabel::SetAutoSize(bool v) {
    if (v == autoSize_) return;
    autoSize_ = v;
    AdjustBounds();
}
void TLabel::SetAlignment(TAlignment v) {
    if (v == alignment_) return;
    alignment_ = v;
    RecreateWnd();
}
void TLabel::SetWordWrap(bool v) {
    if (v == wordWrap_) return;
    wordWrap_ = v;
    RecreateWnd();
    AdjustBounds();
}
void TLabel::SetLayout(TTextLayout v) {
    if (v == layout_) return;
    layout_ = v;
    RecreateWnd();
}
void TLabel::SetShowAccelChar(bool v) {
    if (v == showAccelChar_) return;
    showAccelChar_ = v;
    RecreateWnd();
    AdjustBounds();
}
void TLabel::SetFocusControl(TWinControl* c) {
    focusControl_ = c;
    if (c) FreeNotification(c);
}

void TLabel::Notification(TComponent* c, TOperation op) {
    TWinControl::Notification(c, op);
    if (op == opRemove && c == focusControl_) focusControl_ = nullptr;
}

bool TLabel::DialogChar(char16_t ch) {
    if (!showAccelChar_ || !focusControl_ || !detail::IsAccel(ch, Caption())) return false;
    if (!focusControl_->CanFocus()) return false;
    focusControl_->SetFocus();
    return true;
}

void TLabel::AdjustBounds() {
    if (!autoSize_ || IsLoading()) return;
    UINT flags = DT_EXPANDTABS | (showAccelChar_ ? 0 : DT_NOPREFIX);
    if (wordWrap_) flags |= DT_WORDBREAK;
    const SIZE s = MeasureText(Font(), Caption(), flags, wordWrap_ ? Width() : 0);
    int left = Left();
    if (alignment_ == taRightJustify) left += Width() - s.cx;
    if (alignment_ == taCenter) left += (Width() - s.cx) / 2;
    SetBounds(wordWrap_ ? Left() : left, Top(), wordWrap_ ? Width() : s.cx, s.cy);
}

void TLabel::TextChanged() {
    TWinControl::TextChanged();
    AdjustBounds();
}
void TLabel::FontChanged() {
    TWinControl::FontChanged();
    AdjustBounds();
}
void TLabel::Loaded() {
    TWinControl::Loaded();
    AdjustBounds();
}

TLinkLabel::TLinkLabel(TComponent* owner) : TLabel(owner) {
    Font().SetColor(clBlue);
    Font().SetStyle(fsUnderline);
    SetParentFont(true);
    SetCursor(crHandPoint);
}

TStaticText::TStaticText(TComponent* owner) : TLabel(owner) {}

void TStaticText::SetBorderStyle(TStaticBorderStyle v) {
    if (v == borderStyle_) return;
    borderStyle_ = v;
    RecreateWnd();
}

void TStaticText::CreateParams(TCreateParams& p) {
    TLabel::CreateParams(p);
    if (borderStyle_ == sbsSingle) p.style |= WS_BORDER;
    if (borderStyle_ == sbsSunken) p.style |= SS_SUNKEN;
}

// ---- TButton ----------------------------------------------------------------------------------

TButton::TButton(TComponent* owner) : TWinControl(owner) {
    SetTabStop(true);
    SetBounds(0, 0, 75, 25);
}

TButton::~TButton() {
    if (images_) images_->Unsubscribe(imagesSubscription_);
    if (icon_) DestroyIcon(icon_);
}

void TButton::Loaded() {
    TWinControl::Loaded();
    ApplyImage();
}

void TButton::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.baseClass = u"BUTTON";
    if (style_ == bsCommandLink)
        p.style |= active_ ? BS_DEFCOMMANDLINK : BS_COMMANDLINK;
    else
        p.style |= (active_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | BS_MULTILINE;
}

void TButton::CreateWindowHandleDone() {
    ApplyImage();
}

void TButton::SetStyle(TButtonStyle v) {
    if (v == style_) return;
    style_ = v;
    RecreateWnd();
}

void TButton::SetImages(TCustomImageList* images) {
    if (images == images_) return;
    if (images_) images_->Unsubscribe(imagesSubscription_);
    images_ = images;
    if (images_) {
        FreeNotification(images_);
        imagesSubscription_ = images_->Subscribe([this] { ApplyImage(); });
    }
    ApplyImage();
}

void TButton::SetImageIndex(int v) {
    imageIndex_ = v;
    ApplyImage();
}

void TButton::Notification(TComponent* c, TOperation op) {
    TWinControl::Notification(c, op);
    if (op == opRemove && c == images_) {
        images_ = nullptr;
        ApplyImage();
    }
}

void TButton::ApplyImage() {
    if (!HandleAllocated() || IsLoading()) return;
    HICON icon = nullptr;
    if (images_ && imageIndex_ >= 0 && imageIndex_ < images_->Count())
        icon = ImageList_GetIcon(images_->Handle(), imageIndex_, ILD_TRANSPARENT);
    SendMessageW(Handle(), BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
    if (icon_) DestroyIcon(icon_);
    icon_ = icon;
}

LRESULT TButton::WndProc(UINT msg, WPARAM w, LPARAM l) {
    if (msg == CN_COMMAND && (HIWORD(w) == BN_CLICKED)) {
        Click();
        return 0;
    }
    return TWinControl::WndProc(msg, w, l);
}

void TButton::SetDefault(bool v) {
    if (v == default_) return;
    default_ = v;
    TCustomForm* form = GetParentForm();
    TWinControl* focused = form ? FindControl(GetFocus()) : nullptr;
    FocusedControlChanged(focused && focused->GetParentForm() == form ? focused : nullptr);
}

void TButton::Click() {
    if (TCustomForm* form = GetParentForm()) form->SetModalResult(modalResult_);
    TWinControl::Click();
}

bool TButton::DialogKey(WORD key, TWinControl* focused) {
    if (key == VK_RETURN) {
        const bool focusedIsButton = dynamic_cast<TButton*>(focused) != nullptr;
        if (focused == this || (default_ && !focusedIsButton)) {
            Click();
            return true;
        }
    }
    if (key == VK_ESCAPE && cancel_) {
        Click();
        return true;
    }
    return false;
}

bool TButton::DialogChar(char16_t ch) {
    if (!detail::IsAccel(ch, Caption()) || !CanFocus()) return false;
    SetFocus();
    Click();
    return true;
}

void TButton::FocusedControlChanged(TWinControl* focused) {
    const bool active = focused == this || (default_ && !dynamic_cast<TButton*>(focused));
    if (active == active_) return;
    active_ = active;
    SetButtonStyle(active);
}

void TButton::SetButtonStyle(bool isDefault) {
    if (!HandleAllocated()) return;
    const LONG_PTR type = GetWindowLongPtrW(Handle(), GWL_STYLE) & BS_TYPEMASK;
    if (type == BS_COMMANDLINK || type == BS_DEFCOMMANDLINK)
        SendMessageW(Handle(), BM_SETSTYLE, isDefault ? BS_DEFCOMMANDLINK : BS_COMMANDLINK, TRUE);
    else if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON)
        SendMessageW(Handle(), BM_SETSTYLE, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

TSpeedButton::TSpeedButton(TComponent* owner) : TButton(owner) {
    SetTabStop(false);
    SetBounds(0, 0, 23, 22);
}

void TSpeedButton::CreateParams(TCreateParams& p) {
    TButton::CreateParams(p);
    p.style = (p.style & ~static_cast<DWORD>(BS_TYPEMASK | BS_MULTILINE)) | BS_PUSHBUTTON | BS_FLAT;
}

// ---- TCheckBox --------------------------------------------------------------------------------

TCheckBox::TCheckBox(TComponent* owner) : TWinControl(owner) {
    SetTabStop(true);
    SetParentColor(true);
    SetBounds(0, 0, 97, 17);
}

void TCheckBox::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.baseClass = u"BUTTON";
    p.style |= BS_3STATE;
    if (alignment_ == taLeftJustify) p.style |= BS_LEFTTEXT;
    if (wordWrap_) p.style |= BS_MULTILINE;
}

void TCheckBox::CreateWindowHandleDone() {
    SendMessageW(Handle(), BM_SETCHECK, static_cast<WPARAM>(state_), 0);
}

LRESULT TCheckBox::WndProc(UINT msg, WPARAM w, LPARAM l) {
    if (msg == CN_COMMAND && HIWORD(w) == BN_CLICKED) {
        Toggle();
        return 0;
    }
    return TWinControl::WndProc(msg, w, l);
}

void TCheckBox::SetState(TCheckBoxState v) {
    if (v == state_) return;
    state_ = v;
    if (HandleAllocated()) SendMessageW(Handle(), BM_SETCHECK, static_cast<WPARAM>(v), 0);
    if (!IsLoading()) Click();
}

void TCheckBox::Toggle() {
    switch (state_) {
    case cbUnchecked:
        SetState(cbChecked);
        break;
    case cbChecked:
        SetState(allowGrayed_ ? cbGrayed : cbUnchecked);
        break;
    case cbGrayed:
        SetState(cbUnchecked);
        break;
    }
}

void TCheckBox::SetAlignment(TAlignment v) {
    if (v == alignment_) return;
    alignment_ = v;
    RecreateWnd();
}

void TCheckBox::SetWordWrap(bool v) {
    if (v == wordWrap_) return;
    wordWrap_ = v;
    RecreateWnd();
}

bool TCheckBox::DialogChar(char16_t ch) {
    if (!detail::IsAccel(ch, Caption()) || !CanFocus()) return false;
    SetFocus();
    Toggle();
    return true;
}

// ---- TRadioButton -----------------------------------------------------------------------------

TRadioButton::TRadioButton(TComponent* owner) : TWinControl(owner) {
    SetParentColor(true);
    SetBounds(0, 0, 113, 17);
}

void TRadioButton::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.baseClass = u"BUTTON";
    p.style |= BS_RADIOBUTTON;
}

void TRadioButton::CreateWindowHandleDone() {
    SendMessageW(Handle(), BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED, 0);
}

LRESULT TRadioButton::WndProc(UINT msg, WPARAM w, LPARAM l) {
    if (msg == CN_COMMAND && (HIWORD(w) == BN_CLICKED || HIWORD(w) == BN_DOUBLECLICKED)) {
        SetChecked(true);
        return 0;
    }
    return TWinControl::WndProc(msg, w, l);
}

void TRadioButton::SetChecked(bool v) {
    if (v == checked_) return;
    checked_ = v;
    SetTabStop(v);
    if (HandleAllocated()) SendMessageW(Handle(), BM_SETCHECK, v ? BST_CHECKED : BST_UNCHECKED, 0);
    if (!v) return;
    if (Parent())
        for (int i = 0; i < Parent()->ControlCount(); ++i)
            if (auto* r = dynamic_cast<TRadioButton*>(Parent()->Controls(i)); r && r != this)
                r->SetChecked(false);
    if (!IsLoading()) Click();
}

bool TRadioButton::DialogChar(char16_t ch) {
    if (!detail::IsAccel(ch, Caption()) || !CanFocus()) return false;
    SetFocus();
    SetChecked(true);
    return true;
}

// ---- TEdit ------------------------------------------------------------------------------------

TEdit::TEdit(TComponent* owner) : TWinControl(owner) {
    SetTabStop(true);
    SetColor(clWindow);
    SetBounds(0, 0, 121, 21);
}

void TEdit::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.baseClass = u"EDIT";
    p.style |= ES_AUTOHSCROLL | ES_LEFT;
    if (!hideSelection_) p.style |= ES_NOHIDESEL;
    if (readOnly_) p.style |= ES_READONLY;
    p.exStyle |= WS_EX_CLIENTEDGE;
}

void TEdit::CreateWindowHandleDone() {
    if (maxLength_ > 0) SendMessageW(Handle(), EM_LIMITTEXT, static_cast<WPARAM>(maxLength_), 0);
    if (!textHint_.empty())
        SendMessageW(Handle(), EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(W(textHint_)));
}

LRESULT TEdit::WndProc(UINT msg, WPARAM w, LPARAM l) {
    if (msg == CN_COMMAND && HIWORD(w) == EN_CHANGE) {
        StoreCaption(WindowText());
        Change();
        return 0;
    }
    return TWinControl::WndProc(msg, w, l);
}

std::u16string TEdit::Text() const {
    return WindowText();
}

void TEdit::Change() {
    if (OnChange && !IsLoading() && !IsDestroying()) OnChange(this);
}

void TEdit::SetReadOnly(bool v) {
    readOnly_ = v;
    if (HandleAllocated()) SendMessageW(Handle(), EM_SETREADONLY, v, 0);
}

void TEdit::SetMaxLength(int v) {
    maxLength_ = v;
    if (HandleAllocated()) SendMessageW(Handle(), EM_LIMITTEXT, static_cast<WPARAM>(v), 0);
}

void TEdit::SetHideSelection(bool v) {
    if (v == hideSelection_) return;
    hideSelection_ = v;
    RecreateWnd();
}

void TEdit::SetTextHint(const std::u16string& v) {
    textHint_ = v;
    if (HandleAllocated())
        SendMessageW(Handle(), EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(W(textHint_)));
}

void TEdit::SelectAll() {
    if (HandleAllocated()) SendMessageW(Handle(), EM_SETSEL, 0, -1);
}

// ---- TButtonedEdit ----------------------------------------------------------------------------

namespace {
// The button inside a TButtonedEdit: paints a push-button face with the image or "...".
class TEditButton : public TCustomControl {
    KV_CLASS(TEditButton)
public:
    TEditButton(TButtonedEdit& edit) : TCustomControl(nullptr), edit_(edit) { SetCursor(crArrow); }

protected:
    void Paint() override {
        RECT r = ClientRect();
        HDC dc = Canvas().Handle();
        DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed_ ? DFCS_PUSHED : 0));
        TCustomImageList* images = edit_.Images();
        const int index = edit_.RightButtonImageIndex();
        const int shift = pressed_ ? 1 : 0;
        if (images && index >= 0 && index < images->Count()) {
            images->Draw(Canvas(), (RectWidth(r) - images->Width()) / 2 + shift,
                         (RectHeight(r) - images->Height()) / 2 + shift, index, Enabled());
        } else {
            Canvas().Font().Assign(Font());
            OffsetRect(&r, shift, shift);
            Canvas().DrawText(u"...", r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        }
    }
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override {
        switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            pressed_ = true;
            SetCapture(Handle());
            Invalidate();
            return 0;
        case WM_LBUTTONUP:
            if (pressed_) {
                pressed_ = false;
                ReleaseCapture();
                Invalidate();
                POINT pt{static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
                RECT r = ClientRect();
                if (PtInRect(&r, pt)) edit_.RightButtonClick();
            }
            return 0;
        case WM_CAPTURECHANGED:
            pressed_ = false;
            Invalidate();
            break;
        default:
            break;
        }
        return TCustomControl::WndProc(msg, w, l);
    }

private:
    TButtonedEdit& edit_;
    bool pressed_ = false;
};
} // namespace

TButtonedEdit::TButtonedEdit(TComponent* owner) : TEdit(owner) {}

TButtonedEdit::~TButtonedEdit() {
    if (images_) images_->Unsubscribe(imagesSubscription_);
}

void TButtonedEdit::CreateParams(TCreateParams& p) {
    TEdit::CreateParams(p);
    p.style |= WS_CLIPCHILDREN;
}

void TButtonedEdit::SetImages(TCustomImageList* images) {
    if (images == images_) return;
    if (images_) images_->Unsubscribe(imagesSubscription_);
    images_ = images;
    if (images_) {
        FreeNotification(images_);
        imagesSubscription_ = images_->Subscribe([this] {
            if (button_) button_->Invalidate();
            PlaceButton();
        });
    }
    PlaceButton();
}

void TButtonedEdit::Notification(TComponent* c, TOperation op) {
    TEdit::Notification(c, op);
    if (op == opRemove && c == images_) {
        images_ = nullptr;
        if (button_) button_->Invalidate();
    }
}

void TButtonedEdit::SetRightButtonVisible(bool v) {
    if (v == rightVisible_) return;
    rightVisible_ = v;
    PlaceButton();
}

void TButtonedEdit::SetRightButtonImageIndex(int v) {
    rightImage_ = v;
    if (button_) button_->Invalidate();
}

void TButtonedEdit::SetRightButtonHint(const std::u16string& v) {
    rightHint_ = v;
    if (button_) button_->SetHint(v);
}

void TButtonedEdit::RightButtonClick() {
    if (OnRightButtonClick && !IsDestroying() && Enabled()) OnRightButtonClick(this);
}

void TButtonedEdit::CreateWindowHandleDone() {
    TEdit::CreateWindowHandleDone();
    PlaceButton();
}

void TButtonedEdit::BoundsChanged(bool moved, bool sized) {
    TEdit::BoundsChanged(moved, sized);
    if (sized) PlaceButton();
}

void TButtonedEdit::PlaceButton() {
    if (!rightVisible_) {
        if (button_) button_->SetVisible(false);
        if (HandleAllocated()) SendMessageW(Handle(), EM_SETMARGINS, EC_RIGHTMARGIN, 0);
        return;
    }
    if (!button_) {
        button_ = new TEditButton(*this);
        button_->SetHint(rightHint_);
        button_->SetParent(this);
    }
    const RECT c = ClientRect();
    const int w = std::max(images_ ? images_->Width() + 6 : 18, 18);
    button_->SetBounds(RectWidth(c) - w, 0, w, RectHeight(c));
    button_->SetVisible(true);
    if (HandleAllocated())
        SendMessageW(Handle(), EM_SETMARGINS, EC_RIGHTMARGIN, MAKELPARAM(0, w + 2));
}

// ---- TComboBox --------------------------------------------------------------------------------

int TComboBoxItems::Add(const std::u16string& s) {
    items_.push_back(s);
    if (box_.HandleAllocated())
        SendMessageW(box_.Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(s)));
    return Count() - 1;
}

void TComboBoxItems::Clear() {
    items_.clear();
    box_.itemIndex_ = -1;
    if (box_.HandleAllocated()) SendMessageW(box_.Handle(), CB_RESETCONTENT, 0, 0);
}

void TComboBoxItems::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    items_.erase(items_.begin() + index);
    if (box_.itemIndex_ == index)
        box_.itemIndex_ = -1;
    else if (box_.itemIndex_ > index)
        --box_.itemIndex_;
    if (box_.HandleAllocated())
        SendMessageW(box_.Handle(), CB_DELETESTRING, static_cast<WPARAM>(index), 0);
}

int TComboBoxItems::IndexOf(const std::u16string& s) const {
    const auto it = std::find(items_.begin(), items_.end(), s);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void TComboBoxItems::Assign(const std::vector<std::u16string>& items) {
    Clear();
    for (const auto& s : items) Add(s);
}

TComboBox::TComboBox(TComponent* owner) : TWinControl(owner), items_(*this) {
    SetTabStop(true);
    SetColor(clWindow);
    SetBounds(0, 0, 145, 21);
}

void TComboBox::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.baseClass = u"COMBOBOX";
    p.style |= WS_VSCROLL | CBS_AUTOHSCROLL |
               (style_ == csDropDownList ? CBS_DROPDOWNLIST
                : style_ == csSimple     ? CBS_SIMPLE
                                         : CBS_DROPDOWN);
    if (style_ != csSimple) p.height = Height() + DropHeight();
}

int TComboBox::DropHeight() const {
    const SIZE s = MeasureText(Font(), u"Wg", DT_SINGLELINE, 0);
    return dropDownCount_ * (s.cy + 2) + 2;
}

void TComboBox::CreateWindowHandleDone() {
    for (const auto& s : items_.items_)
        SendMessageW(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(s)));
    SendMessageW(Handle(), CB_SETCURSEL, static_cast<WPARAM>(itemIndex_), 0);
    if (style_ != csDropDownList && itemIndex_ < 0) SetWindowTextW(Handle(), W(Caption()));
    // The closed height comes from the font; the model follows the window.
    if (style_ != csSimple) {
        RECT r;
        GetWindowRect(Handle(), &r);
        if (RectHeight(r) != Height()) StoreBounds(Left(), Top(), Width(), RectHeight(r));
    }
}

void TComboBox::BoundsChanged(bool moved, bool sized) {
    if (HandleAllocated())
        SetWindowPos(Handle(), nullptr, Left(), Top(), Width(),
                     Height() + (style_ == csSimple ? 0 : DropHeight()),
                     SWP_NOZORDER | SWP_NOACTIVATE | (moved ? 0 : SWP_NOMOVE) |
                         (sized ? 0 : SWP_NOSIZE));
    if (sized && OnResize && !IsLoading() && !IsDestroying()) OnResize(this);
}

void TComboBox::SetStyle(TComboBoxStyle v) {
    if (v == style_) return;
    style_ = v;
    RecreateWnd();
}

void TComboBox::SetDropDownCount(int v) {
    dropDownCount_ = v > 0 ? v : 1;
    if (HandleAllocated()) BoundsChanged(false, true);
}

int TComboBox::ItemIndex() const {
    if (HandleAllocated()) {
        const LRESULT i = SendMessageW(const_cast<TComboBox*>(this)->Handle(), CB_GETCURSEL, 0, 0);
        return i == CB_ERR ? -1 : static_cast<int>(i);
    }
    return itemIndex_;
}

void TComboBox::SetItemIndex(int index) {
    // Forms store the index before the items: it is applied at the end of loading.
    if (IsLoading()) {
        itemIndex_ = index;
        return;
    }
    if (index < 0 || index >= items_.Count()) index = -1;
    itemIndex_ = index;
    if (HandleAllocated()) SendMessageW(Handle(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    if (index >= 0) StoreCaption(items_[index]);
}

std::u16string TComboBox::Text() const {
    if (HandleAllocated()) return WindowText();
    return itemIndex_ >= 0 ? items_[itemIndex_] : Caption();
}

void TComboBox::Loaded() {
    TWinControl::Loaded();
    SetItemIndex(itemIndex_);
}

void TComboBox::Change() {
    if (OnChange && !IsLoading() && !IsDestroying()) OnChange(this);
}

LRESULT TComboBox::WndProc(UINT msg, WPARAM w, LPARAM l) {
    if (msg == CN_COMMAND) {
        switch (HIWORD(w)) {
        case CBN_SELCHANGE: {
            itemIndex_ = ItemIndex();
            if (itemIndex_ >= 0) StoreCaption(items_[itemIndex_]);
            Click();
            if (OnSelect && !IsDestroying())
                OnSelect(this);
            else
                Change();
            return 0;
        }
        case CBN_EDITCHANGE:
            StoreCaption(WindowText());
            Change();
            return 0;
        case CBN_DROPDOWN:
            if (OnDropDown && !IsDestroying()) OnDropDown(this);
            return 0;
        case CBN_CLOSEUP:
            if (OnCloseUp && !IsDestroying()) OnCloseUp(this);
            return 0;
        default:
            break;
        }
    }
    return TWinControl::WndProc(msg, w, l);
}

// ---- TGroupBox --------------------------------------------------------------------------------

TGroupBox::TGroupBox(TComponent* owner) : TCustomControl(owner) {
    SetParentColor(true);
    SetBounds(0, 0, 185, 105);
}

void TGroupBox::AdjustClientRect(RECT& r) const {
    const SIZE s = MeasureText(Font(), u"0", DT_SINGLELINE, 0);
    r.top += s.cy;
    InflateRect(&r, -2, -2);
}

void TGroupBox::Paint() {
    TCanvas& c = Canvas();
    RECT r = ClientRect();
    c.Brush().SetColor(Color());
    c.Brush().SetStyle(bsSolid);
    c.FillRect(r);
    const SIZE th = c.TextExtent(u"0");
    RECT frame = r;
    frame.top += th.cy / 2;
    c.DrawEdge(frame, EDGE_ETCHED, BF_RECT);
    if (!Caption().empty()) {
        RECT text{8, 0, 0, 0};
        c.DrawText(Caption(), text, DT_SINGLELINE | DT_CALCRECT);
        text.left -= 1;
        text.right += 1;
        c.FillRect(text);
        text.left += 1;
        c.Font().SetColor(Enabled() ? Font().Color() : clGrayText);
        c.DrawText(Caption(), text, DT_SINGLELINE | DT_LEFT | DT_TOP);
    }
}

void TGroupBox::TextChanged() {
    TCustomControl::TextChanged();
    Invalidate();
}

bool TGroupBox::DialogChar(char16_t ch) {
    if (!detail::IsAccel(ch, Caption())) return false;
    std::vector<TWinControl*> list;
    GetTabOrderList(list);
    for (TWinControl* c : list)
        if (c->TabStop() && c->CanFocus()) {
            c->SetFocus();
            return true;
        }
    return false;
}

// ---- registration -----------------------------------------------------------------------------

namespace detail {

void RegisterStdCtrlClasses() {
    static const TNameTable kAlignment = {{u"taLeftJustify", taLeftJustify},
                                          {u"taRightJustify", taRightJustify},
                                          {u"taCenter", taCenter}};
    static const TNameTable kLayout = {
        {u"tlTop", tlTop}, {u"tlCenter", tlCenter}, {u"tlBottom", tlBottom}};
    RegisterComponentClass<TLabel>(u"TWinControl")
        .Bool(u"AutoSize", [](TLabel& c, bool v) { c.SetAutoSize(v); })
        .Enum(u"Alignment", kAlignment,
              [](TLabel& c, int v) { c.SetAlignment(static_cast<TAlignment>(v)); })
        .Bool(u"WordWrap", [](TLabel& c, bool v) { c.SetWordWrap(v); })
        .Enum(u"Layout", kLayout,
              [](TLabel& c, int v) { c.SetLayout(static_cast<TTextLayout>(v)); })
        .Bool(u"ShowAccelChar", [](TLabel& c, bool v) { c.SetShowAccelChar(v); })
        .Ref<TWinControl>(u"FocusControl", [](TLabel& c, TWinControl* f) { c.SetFocusControl(f); })
        .Ignore({u"Transparent"});
    RegisterComponentClass<TLinkLabel>(u"TLabel");
    static const TNameTable kStaticBorder = {
        {u"sbsNone", sbsNone}, {u"sbsSingle", sbsSingle}, {u"sbsSunken", sbsSunken}};
    RegisterComponentClass<TStaticText>(u"TLabel").Enum(
        u"BorderStyle", kStaticBorder,
        [](TStaticText& c, int v) { c.SetBorderStyle(static_cast<TStaticBorderStyle>(v)); });
    static const std::vector<std::pair<std::u16string, int>> kModal = {
        {u"mrNone", mrNone},   {u"mrOk", mrOk},       {u"mrCancel", mrCancel},
        {u"mrAbort", mrAbort}, {u"mrRetry", mrRetry}, {u"mrIgnore", mrIgnore},
        {u"mrYes", mrYes},     {u"mrNo", mrNo},       {u"mrAll", mrAll},
        {u"mrClose", mrClose}};
    RegisterComponentClass<TButton>(u"TWinControl")
        .Bool(u"Default", [](TButton& c, bool v) { c.SetDefault(v); })
        .Bool(u"Cancel", [](TButton& c, bool v) { c.SetCancel(v); })
        .Prop(u"ModalResult",
              [](TButton& c, const TValue& v, TReader& r) {
                  c.SetModalResult(v.kind == TValue::Int ? r.AsInt(v) : r.AsEnum(v, kModal));
              })
        .Enum(u"Style",
              {{u"bsPushButton", bsPushButton},
               {u"bsCommandLink", bsCommandLink},
               {u"bsSplitButton", bsSplitButton}},
              [](TButton& c, int v) { c.SetStyle(static_cast<TButtonStyle>(v)); })
        .Ref<TCustomImageList>(u"Images", [](TButton& c, TCustomImageList* i) { c.SetImages(i); })
        .Int(u"ImageIndex", [](TButton& c, int v) { c.SetImageIndex(v); })
        .Ignore({u"WordWrap", u"CommandLinkHint", u"ImageAlignment"});
    RegisterComponentClass<TSpeedButton>(u"TButton")
        .Ignore({u"Flat", u"GroupIndex", u"Down", u"AllowAllUp", u"Glyph", u"NumGlyphs"});
    static const TNameTable kCheckState = {
        {u"cbUnchecked", cbUnchecked}, {u"cbChecked", cbChecked}, {u"cbGrayed", cbGrayed}};
    RegisterComponentClass<TCheckBox>(u"TWinControl")
        .Bool(u"Checked", [](TCheckBox& c, bool v) { c.SetChecked(v); })
        .Enum(u"State", kCheckState,
              [](TCheckBox& c, int v) { c.SetState(static_cast<TCheckBoxState>(v)); })
        .Bool(u"AllowGrayed", [](TCheckBox& c, bool v) { c.SetAllowGrayed(v); })
        .Enum(u"Alignment", kAlignment,
              [](TCheckBox& c, int v) { c.SetAlignment(static_cast<TAlignment>(v)); })
        .Bool(u"WordWrap", [](TCheckBox& c, bool v) { c.SetWordWrap(v); });
    RegisterComponentClass<TRadioButton>(u"TWinControl")
        .Bool(u"Checked", [](TRadioButton& c, bool v) { c.SetChecked(v); });
    RegisterComponentClass<TEdit>(u"TWinControl")
        .Bool(u"ReadOnly", [](TEdit& c, bool v) { c.SetReadOnly(v); })
        .Int(u"MaxLength", [](TEdit& c, int v) { c.SetMaxLength(v); })
        .Bool(u"HideSelection", [](TEdit& c, bool v) { c.SetHideSelection(v); })
        .Str(u"TextHint", [](TEdit& c, const std::u16string& v) { c.SetTextHint(v); })
        .Event<void(TObject*)>(u"OnChange", &TEdit::OnChange)
        .Ignore({u"ImeMode", u"ImeName", u"AutoSelect", u"AutoSize", u"BorderStyle"});
    RegisterComponentClass<TButtonedEdit>(u"TEdit")
        .Ref<TCustomImageList>(u"Images",
                               [](TButtonedEdit& c, TCustomImageList* i) { c.SetImages(i); })
        .Bool(u"RightButton.Visible", [](TButtonedEdit& c, bool v) { c.SetRightButtonVisible(v); })
        .Int(u"RightButton.ImageIndex",
             [](TButtonedEdit& c, int v) { c.SetRightButtonImageIndex(v); })
        .Str(u"RightButton.Hint",
             [](TButtonedEdit& c, const std::u16string& v) { c.SetRightButtonHint(v); })
        .Event<void(TObject*)>(u"OnRightButtonClick", &TButtonedEdit::OnRightButtonClick)
        .Ignore({u"RightButton.DisabledImageIndex", u"RightButton.HotImageIndex",
                 u"RightButton.PressedImageIndex", u"LeftButton.Visible"});
    static const TNameTable kComboStyle = {
        {u"csDropDown", csDropDown}, {u"csSimple", csSimple}, {u"csDropDownList", csDropDownList}};
    RegisterComponentClass<TComboBox>(u"TWinControl")
        .Enum(u"Style", kComboStyle,
              [](TComboBox& c, int v) { c.SetStyle(static_cast<TComboBoxStyle>(v)); })
        .Strings(u"Items.Strings",
                 [](TComboBox& c, const std::vector<std::u16string>& v) { c.Items().Assign(v); })
        .Int(u"ItemIndex", [](TComboBox& c, int v) { c.SetItemIndex(v); })
        .Int(u"DropDownCount", [](TComboBox& c, int v) { c.SetDropDownCount(v); })
        .Event<void(TObject*)>(u"OnChange", &TComboBox::OnChange)
        .Event<void(TObject*)>(u"OnSelect", &TComboBox::OnSelect)
        .Event<void(TObject*)>(u"OnDropDown", &TComboBox::OnDropDown)
        .Event<void(TObject*)>(u"OnCloseUp", &TComboBox::OnCloseUp)
        .Ignore({u"ImeMode", u"ImeName", u"ItemHeight", u"Sorted"});
    RegisterComponentClass<TGroupBox>(u"TCustomControl");
}

} // namespace detail

} // namespace kv
