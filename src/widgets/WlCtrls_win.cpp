#include "widgets/WlCtrls.h"

#include <memory>

#include "ui/Application.h"
#include "ui/Forms.h"
#include "widgets/UlWin32.h"

namespace kv {

namespace {

std::unique_ptr<TImageList>& KindImagesSlot() {
    static std::unique_ptr<TImageList> images;
    return images;
}

constexpr UINT_PTR kAnimateTimer = 1;

// Whether ch is the '&' mnemonic of the caption (letters in either case).
bool IsMnemonic(char16_t ch, const std::u16string& caption) {
    const auto upper = [](char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; };
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != u'&') continue;
        if (caption[i + 1] == u'&') {
            ++i;
            continue;
        }
        return upper(caption[i + 1]) == upper(ch);
    }
    return false;
}

UINT AlignmentFlag(TAlignment a) {
    return a == taLeftJustify ? DT_LEFT : a == taRightJustify ? DT_RIGHT : DT_CENTER;
}

TWlRect ToWl(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}
RECT ToRect(const TWlRect& r) {
    return {r.left, r.top, r.right, r.bottom};
}

} // namespace

// ---- TWlImgBtnActionLink ----------------------------------------------------------------------

void TWlImgBtnActionLink::ActionChanged(TCustomAction& action) {
    if (TActionList* list = action.ActionList()) client_.SetImages(list->Images());
    client_.SetImageIndex(action.ImageIndex());
    client_.Invalidate();
}

// ---- TWlCustomImageButton ---------------------------------------------------------------------

TCustomImageList& TWlCustomImageButton::DefaultKindImages() {
    auto& slot = KindImagesSlot();
    if (!slot) {
        slot = std::make_unique<TImageList>(nullptr);
        slot->SetWidth(18);
        slot->SetHeight(18);
        try {
            slot->AddResourceBitmap(u"WlCustomImageButtonDEFAULT", clOlive);
        } catch (const Exception&) {
            // An executable built without the widgets' resources: kind buttons show no glyph.
        }
    }
    return *slot;
}

TWlCustomImageButton::TWlCustomImageButton(TComponent* owner) : TWlCustomButton(owner) {
    SetColor(clBtnFace);
    DefaultKindImages();
}

TWlCustomImageButton::~TWlCustomImageButton() {
    Destroying();
    DetachImages();
    StopAnimation();
}

void TWlCustomImageButton::CreateParams(TCreateParams& p) {
    TWlCustomButton::CreateParams(p);
    p.style |= BS_OWNERDRAW;
}

void TWlCustomImageButton::CreateWindowHandleDone() {
    TWlCustomButton::CreateWindowHandleDone();
    if (animate_) StartAnimation();
}

void TWlCustomImageButton::DestroyWnd() {
    StopAnimation();
    TWlCustomButton::DestroyWnd();
}

void TWlCustomImageButton::Loaded() {
    TWlCustomButton::Loaded();
    if (animate_) StartAnimation();
}

// ---- properties -------------------------------------------------------------------------------

void TWlCustomImageButton::SetAlignment(TAlignment v) {
    if (v == alignment_) return;
    alignment_ = v;
    if (margin_ == -1) margin_ = 0;
    Invalidate();
}

void TWlCustomImageButton::SetAnimate(bool v) {
    if (v == animate_) return;
    animate_ = v;
    if (v)
        StartAnimation();
    else
        StopAnimation();
    Invalidate();
}

void TWlCustomImageButton::SetAnimateFrames(int v) {
    if (v == animateFrames_) return;
    animateFrames_ = v;
    if (animating_) {
        StopAnimation();
        StartAnimation();
        Invalidate();
    }
}

void TWlCustomImageButton::SetAnimateInterval(unsigned v) {
    if (v == animateInterval_) return;
    animateInterval_ = v;
    if (animating_) {
        StopAnimation();
        StartAnimation();
        Invalidate();
    }
}

void TWlCustomImageButton::SetImageIndex(int v) {
    if (v == imageIndex_) return;
    imageIndex_ = v;
    Invalidate();
}

void TWlCustomImageButton::DetachImages() {
    if (!images_) return;
    images_->Unsubscribe(imagesSubscription_);
    imagesSubscription_ = 0;
    RemoveFreeNotification(images_);
    images_ = nullptr;
}

void TWlCustomImageButton::SetImages(TCustomImageList* images) {
    if (images == images_) return;
    DetachImages();
    images_ = images;
    if (images_) {
        FreeNotification(images_);
        imagesSubscription_ = images_->Subscribe([this] { Invalidate(); });
    } else {
        imageIndex_ = -1;
    }
    Invalidate();
}

void TWlCustomImageButton::SetKind(TWlImgBtnKind v) {
    if (v == kind_) return;
    if (v == bkCustom) {
        SetModalResult(mrNone);
        kind_ = v;
        Invalidate();
        return;
    }
    const TWlImgBtnKindInfo& info = WlKindInfo(v);
    SetDefault(info.role == TWlKindRole::Default);
    SetCancel(info.role == TWlKindRole::Cancel);
    if (kind_ == bkCustom && !IsLoading()) {
        SetCaption(u"");
        SetImages(nullptr);
    }
    SetModalResult(info.modalResult);
    kind_ = v;
    Invalidate();
}

void TWlCustomImageButton::SetLayout(TWlImgBtnLayout v) {
    if (v == layout_) return;
    layout_ = v; // the designer-only alignment rule does not apply here
    Invalidate();
}

void TWlCustomImageButton::SetOwnerDraw(bool v) {
    if (v == ownerDraw_) return;
    ownerDraw_ = v;
    Invalidate();
}

void TWlCustomImageButton::SetSpacing(int v) {
    if (v == spacing_) return;
    spacing_ = v;
    Invalidate();
}

void TWlCustomImageButton::SetMargin(int v) {
    if (v == margin_ || v < -1) return;
    margin_ = v;
    if (v == -1) alignment_ = taCenter;
    Invalidate();
}

void TWlCustomImageButton::SetImageVisible(bool v) {
    if (v == imageVisible_) return;
    imageVisible_ = v;
    Invalidate();
}

void TWlCustomImageButton::SetFlat(bool v) {
    if (v == flat_) return;
    flat_ = v;
    Invalidate();
}

void TWlCustomImageButton::SetMustDrawFocusRect(bool v) {
    if (v == mustDrawFocusRect_) return;
    mustDrawFocusRect_ = v;
    Invalidate();
}

void TWlCustomImageButton::SetMustDrawButtonFrame(bool v) {
    if (v == mustDrawButtonFrame_) return;
    mustDrawButtonFrame_ = v;
    Invalidate();
}

void TWlCustomImageButton::SetDisableDrawDown(bool v) {
    if (v == disableDrawDown_) return;
    disableDrawDown_ = v;
    Invalidate();
}

void TWlCustomImageButton::StoredProperties(TWlPropertyWriter& w) const {
    TWlCustomButton::StoredProperties(w);
    w.Enum(u"Alignment", alignment_, taCenter,
           {{taLeftJustify, u"taLeftJustify"},
            {taRightJustify, u"taRightJustify"},
            {taCenter, u"taCenter"}});
    w.Bool(u"Animate", animate_, false);
    w.Int(u"AnimateFrames", animateFrames_, 0);
    w.Int(u"AnimateInterval", static_cast<int>(animateInterval_), 200);
    w.Color(u"Color", Color(), clBtnFace);
    w.Bool(u"DisableDrawDown", disableDrawDown_, false);
    w.Bool(u"Flat", flat_, false);
    if (images_) w.Text(u"Images", images_->Name());
    w.Int(u"ImageIndex", imageIndex_, -1);
    w.Bool(u"ImageVisible", imageVisible_, true);
    w.Enum(u"Kind", kind_, bkCustom,
           {{bkCustom, u"bkCustom"},
            {bkOK, u"bkOK"},
            {bkCancel, u"bkCancel"},
            {bkHelp, u"bkHelp"},
            {bkYes, u"bkYes"},
            {bkNo, u"bkNo"},
            {bkClose, u"bkClose"},
            {bkAbort, u"bkAbort"},
            {bkRetry, u"bkRetry"},
            {bkIgnore, u"bkIgnore"},
            {bkAll, u"bkAll"}});
    w.Enum(u"Layout", layout_, blImageLeft,
           {{blImageLeft, u"blImageLeft"}, {blImageRight, u"blImageRight"}});
    w.Int(u"Margin", margin_, -1);
    w.Bool(u"MustDrawFocusRect", mustDrawFocusRect_, true);
    w.Bool(u"MustDrawButtonFrame", mustDrawButtonFrame_, true);
    w.Bool(u"OwnerDraw", ownerDraw_, false);
    w.Int(u"Spacing", spacing_, 4);
}

// ---- captions and glyphs ----------------------------------------------------------------------

std::u16string TWlCustomImageButton::GetKindCaption() const {
    return WlKindInfo(kind_).caption;
}

std::u16string TWlCustomImageButton::GetDrawnCaption() const {
    if (kind_ != bkCustom && Caption().empty()) return GetKindCaption();
    return TWlCustomButton::GetDrawnCaption();
}

int TWlCustomImageButton::CurrentImageIndex() const {
    int index = WlAnimatedImageIndex(animating_, currentAnimateFrame_, imageIndex_);
    if (animating_ && OnGetAnimateIndex)
        OnGetAnimateIndex(const_cast<TWlCustomImageButton*>(this), currentAnimateFrame_, index);
    return index;
}

bool TWlCustomImageButton::ShowsGlyph() const {
    return WlShowsGlyph(imageVisible_, images_ != nullptr,
                        images_ ? CurrentImageIndex() : imageIndex_, kind_);
}

TCustomImageList& TWlCustomImageButton::GlyphImages() const {
    return images_ ? *images_ : DefaultKindImages();
}

// ---- drawing ----------------------------------------------------------------------------------

void TWlCustomImageButton::DrawItem(TWlCanvas& canvas, const DRAWITEMSTRUCT& item) {
    if (IsDestroying()) return;
    struct Bind {
        TWlCustomImageButton& button;
        ~Bind() { button.drawCanvas_ = nullptr; }
    } bind{*this};
    drawCanvas_ = &canvas;
    canvas.Font().Assign(Font());
    if (ownerDraw_ && OnButtonDraw)
        OnButtonDraw(this, item);
    else
        PaintButton(item);
}

void TWlCustomImageButton::PaintButton(const DRAWITEMSTRUCT& item) {
    const bool enabled = Enabled() && !(item.itemState & ODS_DISABLED);
    const bool pressed = (item.itemState & ODS_SELECTED) && !(item.itemState & ODS_DISABLED);
    RECT content = DrawButtonFrame(item);
    RECT bounds = content;
    const TWlPoint shift =
        WlPressedShift(disableDrawDown_, item.itemState & ODS_SELECTED, enabled, WlThemesEnabled());
    OffsetRect(&bounds, shift.x, shift.y);
    RECT text{}, glyph{};
    MeasureButtonParts(bounds, text, glyph);
    if (DropArrow() && DropDownMenu()) {
        DrawDropArrow(DrawCanvas(), ToRect(WlDropArrowRect(Width(), Height(), pressed)));
        if (pressed) OffsetRect(&content, 1, -1);
    }
    DrawButtonText(text, enabled);
    DrawButtonImage(glyph);
    DrawButtonFocusRect(content);
}

RECT TWlCustomImageButton::DrawButtonFrame(const DRAWITEMSTRUCT& item) {
    RECT client{0, 0, Width(), Height()};
    if (IsDestroying()) return client;
    TWlCanvas& c = DrawCanvas();
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    const bool pressed = (item.itemState & ODS_SELECTED) && !disabled;
    if (WlThemesEnabled()) {
        constexpr int kNormal = 1, kHot = 2, kPressed = 3, kDisabled = 4, kDefaulted = 5;
        const int state = disabled                       ? kDisabled
                          : pressed                      ? kPressed
                          : mouseInControl_              ? kHot
                          : (item.itemState & ODS_FOCUS) ? kDefaulted
                                                         : kNormal;
        c.DrawThemeParentBackground(item.hwndItem, state, item.rcItem);
        if (mustDrawButtonFrame_) c.DrawThemeButton(item.hwndItem, state, item.rcItem);
        return c.ThemeButtonContentRect(item.hwndItem, state, item.rcItem);
    }
    if (flat_) {
        c.SetBrushStyle(bsSolid);
        c.SetBrushColor(Color());
        c.FillRect(client);
        if (mustDrawButtonFrame_ && (mouseInControl_ || isFocused_)) {
            const TColor topLeft = pressed ? clBtnShadow : clBtnHighlight;
            const TColor bottomRight = pressed ? clBtnHighlight : clBtnShadow;
            c.SetPenWidth(1);
            c.SetPenColor(topLeft);
            c.MoveTo(client.left, client.bottom - 1);
            c.LineTo(client.left, client.top);
            c.LineTo(client.right - 1, client.top);
            c.SetPenColor(bottomRight);
            c.LineTo(client.right - 1, client.bottom - 1);
            c.LineTo(client.left - 1, client.bottom - 1);
        }
    } else {
        DrawPlainFrame(client, pressed, (item.itemState & ODS_FOCUS) != 0);
    }
    InflateRect(&client, -4, -4);
    return client;
}

void TWlCustomImageButton::DrawPlainFrame(RECT r, bool pressed, bool focusFlag) {
    TWlCanvas& c = DrawCanvas();
    const bool enabled = Enabled();
    if (isFocused_ || focusFlag) {
        c.SetPenWidth(1);
        c.SetBrushStyle(bsClear);
        c.SetPenColor(mustDrawButtonFrame_ ? (enabled ? clWindowFrame : clInactiveCaption)
                                           : Color());
        c.Rectangle(r);
        InflateRect(&r, -1, -1);
    }
    if (pressed) {
        c.SetPenColor(mustDrawButtonFrame_ ? clBtnShadow : Color());
        c.SetPenWidth(1);
        c.SetBrushStyle(bsSolid);
        c.SetBrushColor(clBtnFace);
        c.Rectangle(r);
        InflateRect(&r, -1, -1);
    } else if (mustDrawButtonFrame_) {
        c.DrawFrameControl(r, DFC_BUTTON,
                           DFCS_BUTTONPUSH | DFCS_ADJUSTRECT | (pressed ? DFCS_PUSHED : 0) |
                               (enabled ? 0 : DFCS_INACTIVE));
    }
    c.SetBrushStyle(bsSolid);
    c.SetBrushColor(Color());
    c.FillRect(r);
}

void TWlCustomImageButton::MeasureButtonParts(const RECT& bounds, RECT& text, RECT& glyph) {
    TWlCanvas& c = DrawCanvas();
    TWlButtonPartsInput in;
    in.bounds = ToWl(bounds);
    in.buttonWidth = Width();
    in.showsGlyph = ShowsGlyph();
    in.glyphWidth = GlyphImages().Width();
    in.glyphHeight = GlyphImages().Height();
    in.spacing = spacing_;
    in.alignment = alignment_;
    in.margin = margin_;
    in.layout = layout_;
    const std::u16string caption = GetDrawnCaption();
    const UINT flags = AlignmentFlag(alignment_) | DT_CALCRECT | (WordWrap() ? DT_WORDBREAK : 0);
    const TWlButtonParts parts = WlMeasureButtonParts(in, [&](const TWlRect& room) {
        RECT r = ToRect(room);
        c.DrawText(caption, r, flags);
        return ToWl(r);
    });
    text = ToRect(parts.text);
    glyph = ToRect(parts.glyph);
}

void TWlCustomImageButton::DrawButtonText(const RECT& text, bool enabled) {
    TWlCanvas& c = DrawCanvas();
    const std::u16string caption = GetDrawnCaption();
    const UINT flags = AlignmentFlag(alignment_) | DT_VCENTER | (WordWrap() ? DT_WORDBREAK : 0);
    c.SetBrushStyle(bsClear);
    RECT r = text;
    if (enabled) {
        c.SetFontColor(Font().Color());
        c.DrawText(caption, r, flags);
        return;
    }
    OffsetRect(&r, 1, 1);
    c.SetFontColor(clBtnHighlight);
    c.DrawText(caption, r, flags);
    r = text;
    c.SetFontColor(clBtnShadow);
    c.DrawText(caption, r, flags);
}

void TWlCustomImageButton::DrawButtonImage(const RECT& glyph) {
    if (IsDestroying() || !ShowsGlyph()) return;
    TWlCanvas& c = DrawCanvas();
    if (images_)
        c.DrawImage(*images_, CurrentImageIndex(), glyph.left, glyph.top, Enabled());
    else
        c.DrawImage(DefaultKindImages(), WlKindInfo(kind_).glyph, glyph.left, glyph.top, Enabled());
}

void TWlCustomImageButton::DrawButtonFocusRect(const RECT& content) {
    if (!mustDrawFocusRect_ || !isFocused_ || IsDestroying()) return;
    TWlCanvas& c = DrawCanvas();
    c.SetPenColor(clWindowFrame);
    c.SetBrushStyle(bsSolid);
    c.SetBrushColor(clBtnFace);
    c.DrawFocusRect(content);
}

// ---- behaviour --------------------------------------------------------------------------------

void TWlCustomImageButton::Click() {
    if (kind_ == bkHelp) {
        for (TControl* c = this; c; c = c->Parent()) {
            if (c->HelpContext() == 0) continue;
            if (Application) Application->HelpContext(c->HelpContext());
            return;
        }
    } else if (kind_ == bkClose) {
        if (TCustomForm* form = GetParentForm()) {
            form->Close();
            return;
        }
    }
    TWlCustomButton::Click();
}

void TWlCustomImageButton::SetButtonStyle(bool isDefault) {
    if (isDefault == isFocused_) return;
    isFocused_ = isDefault;
    Invalidate();
}

void TWlCustomImageButton::ActionChange(TBasicAction* action) {
    TWlCustomButton::ActionChange(action);
    if (auto* a = dynamic_cast<TCustomAction*>(action)) actionLink_.ActionChanged(*a);
}

void TWlCustomImageButton::Notification(TComponent* c, TOperation op) {
    TWlCustomButton::Notification(c, op);
    if (op == opRemove && c && c == images_) {
        images_ = nullptr;
        imagesSubscription_ = 0;
        Invalidate();
    }
}

void TWlCustomImageButton::HandleMouseEnter(TControl* control) {
    if (mouseInControl_ || !Enabled() || GetCapture()) return;
    mouseInControl_ = true;
    TWlCustomButton::HandleMouseEnter(control);
    if (WlThemesEnabled())
        Repaint();
    else if (flat_)
        Invalidate();
}

void TWlCustomImageButton::HandleMouseLeave(TControl* control) {
    if (!mouseInControl_ || !Enabled()) return;
    mouseInControl_ = false;
    TWlCustomButton::HandleMouseLeave(control);
    if (WlThemesEnabled())
        Repaint();
    else if (flat_)
        Invalidate();
}

void TWlCustomImageButton::HandleEnabledChanged() {
    TWlCustomButton::HandleEnabledChanged();
    Invalidate();
}

bool TWlCustomImageButton::HandleWantKey(int key, TShiftState shift,
                                         const std::u16string& keyText) {
    if (!Caption().empty() || kind_ == bkCustom)
        return TWlCustomButton::HandleWantKey(key, shift, keyText);
    if (!IsMnemonic(static_cast<char16_t>(key), GetDrawnCaption()) || !CanFocus()) return false;
    SetFocus();
    Click();
    return true;
}

void TWlCustomImageButton::HandleFontChanged() {
    TWlCustomButton::HandleFontChanged();
    Invalidate();
}

// ---- animation --------------------------------------------------------------------------------

void TWlCustomImageButton::StartAnimation() {
    if (IsLoading() || animating_ || !HandleAllocated()) return;
    doubleBuffered_ = true;
    currentAnimateFrame_ = 0;
    AdvanceFrame();
    if (!SetTimer(Handle(), kAnimateTimer, animateInterval_, nullptr)) throw EUlWin32Error(u"");
    animating_ = true;
}

void TWlCustomImageButton::StopAnimation() {
    if (!animating_) return;
    if (HandleAllocated()) KillTimer(Handle(), kAnimateTimer);
    currentAnimateFrame_ = 0;
    doubleBuffered_ = false;
    animating_ = false;
}

void TWlCustomImageButton::AdvanceFrame() {
    currentAnimateFrame_ =
        static_cast<uint8_t>(WlNextAnimateFrame(currentAnimateFrame_, animateFrames_));
}

LRESULT TWlCustomImageButton::WndProc(UINT msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case CN_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(l);
        canvas_.SetHandle(item.hDC);
        struct Unbind {
            TCanvas& canvas;
            ~Unbind() { canvas.SetHandle(nullptr); }
        } unbind{canvas_};
        TWlCanvas canvas(canvas_);
        DrawItem(canvas, item);
        return TRUE;
    }
    case CN_MEASUREITEM: {
        auto& measure = *reinterpret_cast<MEASUREITEMSTRUCT*>(l);
        measure.itemWidth = static_cast<UINT>(Width());
        measure.itemHeight = static_cast<UINT>(Height());
        return TRUE;
    }
    case WM_LBUTTONDBLCLK:
        // A fast second click counts as a click of its own.
        return TWlCustomButton::WndProc(WM_LBUTTONDOWN, w, l);
    case WM_TIMER:
        if (w == kAnimateTimer) {
            AdvanceFrame();
            Invalidate();
            return 0;
        }
        break;
    default:
        break;
    }
    return TWlCustomButton::WndProc(msg, w, l);
}

} // namespace kv
