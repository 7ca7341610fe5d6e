#include "widgets/WlButton.h"

#include "ui/Forms.h"
#include "widgets/WlButtonLayout.h"

namespace kv {

TWlCustomButton::TWlCustomButton(TComponent* owner) : TWlExButton(owner) {
    CopyTrackedFont();
}

TWlCustomButton::~TWlCustomButton() = default;

void TWlCustomButton::CreateParams(TCreateParams& p) {
    TWlExButton::CreateParams(p);
    p.style |= BS_MULTILINE;
    p.caption = WindowCaption();
}

std::u16string TWlCustomButton::WindowCaption() const {
    return WlWrappedCaption(Caption(), wordWrap_);
}

std::u16string TWlCustomButton::GetDrawnCaption() const {
    return WlWrappedCaption(Caption(), wordWrap_);
}

void TWlCustomButton::HandleTextChanged() {
    if (HandleAllocated()) SetWindowTextW(Handle(), W(WindowCaption()));
}

void TWlCustomButton::SetDropDownMenu(TPopupMenu* menu) {
    if (menu == dropDownMenu_) return;
    if (dropDownMenu_) RemoveFreeNotification(dropDownMenu_);
    dropDownMenu_ = menu;
    if (menu) FreeNotification(menu);
    if (dropArrow_) Invalidate();
}

void TWlCustomButton::SetDropArrow(bool v) {
    if (v == dropArrow_) return;
    dropArrow_ = v;
    Invalidate();
}

void TWlCustomButton::SetWordWrap(bool v) {
    if (v == wordWrap_) return;
    wordWrap_ = v;
    HandleTextChanged();
    Invalidate();
}

void TWlCustomButton::SetHotTrackFontOptions(TWlTrackFontOptions v) {
    if (v == hotTrackFontOptions_) return;
    hotTrackFontOptions_ = v;
    CopyTrackedFont();
}

void TWlCustomButton::CopyTrackedFont() {
    const auto keeps = [this](TWlTrackFontOption o) {
        return (hotTrackFontOptions_ & WlTrackFontOption(o)) != 0;
    };
    if (!keeps(hoFollowFont)) return;
    const TFont& f = Font();
    if (!keeps(hoPreserveCharSet)) hotFont_.SetCharset(f.Charset());
    if (!keeps(hoPreserveColor)) hotFont_.SetColor(f.Color());
    if (!keeps(hoPreserveHeight)) hotFont_.SetHeight(f.Height());
    if (!keeps(hoPreserveName)) hotFont_.SetName(f.Name());
    if (!keeps(hoPreservePitch)) hotFont_.SetPitch(f.Pitch());
    if (!keeps(hoPreserveStyle)) hotFont_.SetStyle(f.Style());
}

void TWlCustomButton::Click() {
    POINT pt{0, Height()};
    if (HandleAllocated()) ClientToScreen(Handle(), &pt);
    TWlExButton::Click();
    if (!IsDestroying()) ShowDropDownMenu(pt.x, pt.y);
}

bool TWlCustomButton::ShowDropDownMenu(int x, int y) {
    if (!dropDownMenu_) return false;
    dropDownMenu_->SetPopupComponent(this);
    if (dropDownMenu_->Alignment() == paRight)
        x += Width();
    else if (dropDownMenu_->Alignment() == paCenter)
        x += Width() / 2;
    bool handled = false;
    if (OnDropDownMenu) OnDropDownMenu(this, POINT{x, y}, handled);
    if (!handled) {
        dropDownMenu_->Popup(x, y);
        // A click that closed the menu must not reach the button again.
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_MOUSEFIRST, 0x20E, PM_REMOVE)) {}
    }
    return true;
}

void TWlCustomButton::DrawDropArrow(TWlCanvas& canvas, const RECT& r) {
    canvas.SetPenColor(Enabled() ? clWindowText : clInactiveCaption);
    for (const TWlLine& line : WlDropArrowLines({r.left, r.top, r.right, r.bottom})) {
        canvas.MoveTo(line.from.x, line.from.y);
        canvas.LineTo(line.to.x, line.to.y);
    }
}

void TWlCustomButton::HandleMouseEnter(TControl* control) {
    if (MouseOver()) return;
    if (hotTrack_) {
        fontSave_.Assign(Font());
        Font().Assign(hotFont_);
    }
    TWlExButton::HandleMouseEnter(control);
}

void TWlCustomButton::HandleMouseLeave(TControl* control) {
    if (!MouseOver()) return;
    if (hotTrack_) Font().Assign(fontSave_);
    TWlExButton::HandleMouseLeave(control);
}

void TWlCustomButton::HandleFontChanged() {
    TWlExButton::HandleFontChanged();
    CopyTrackedFont();
}

void TWlCustomButton::SetBounds(int left, int top, int width, int height) {
    TWlExButton::SetBounds(left, top, width, height);
    if (!forceSameSize_) return;
    auto* form = dynamic_cast<TCustomForm*>(Parent());
    if (!form) return;
    const WPARAM size = static_cast<WPARAM>((Width() & 0xFFFF) | (Height() << 16));
    for (int i = 0; i < form->ControlCount(); ++i)
        if (auto* w = dynamic_cast<TWinControl*>(form->Controls(i)))
            w->Perform(CM_WLFORCESIZE, size, reinterpret_cast<LPARAM>(this));
}

LRESULT TWlCustomButton::WndProc(UINT msg, WPARAM w, LPARAM l) {
    if (msg == CM_WLFORCESIZE) {
        if (reinterpret_cast<TWlCustomButton*>(l) != this)
            TWlExButton::SetBounds(Left(), Top(), LOWORD(w), HIWORD(w));
        return 0;
    }
    return TWlExButton::WndProc(msg, w, l);
}

void TWlCustomButton::Notification(TComponent* c, TOperation op) {
    TWlExButton::Notification(c, op);
    if (op == opRemove && c && c == dropDownMenu_) dropDownMenu_ = nullptr;
}

void TWlCustomButton::StoredProperties(TWlPropertyWriter& w) const {
    TWlExButton::StoredProperties(w);
    if (dropDownMenu_) w.Text(u"DropDownMenu", dropDownMenu_->Name());
    w.Bool(u"DropArrow", dropArrow_, false);
    w.Bool(u"HotTrack", hotTrack_, false);
    w.Set(u"HotTrackFontOptions", hotTrackFontOptions_, kWlDefaultHotTrackFontOptions,
          {{hoFollowFont, u"hoFollowFont"},
           {hoPreserveCharSet, u"hoPreserveCharSet"},
           {hoPreserveColor, u"hoPreserveColor"},
           {hoPreserveHeight, u"hoPreserveHeight"},
           {hoPreserveName, u"hoPreserveName"},
           {hoPreservePitch, u"hoPreservePitch"},
           {hoPreserveStyle, u"hoPreserveStyle"}});
    w.Bool(u"WordWrap", wordWrap_, true);
}

} // namespace kv
