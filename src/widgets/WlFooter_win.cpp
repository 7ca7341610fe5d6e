#include "widgets/WlFooter.h"

#include "widgets/WlFooterLayout.h"

namespace kv {

namespace {
const char16_t* const kFooterParentError = u"TWlFooterBtn can only be placed on a TWlFooter";

const TWlPropertyWriter::TNames kAlignmentNames = {{taLeftJustify, u"taLeftJustify"},
                                                   {taRightJustify, u"taRightJustify"},
                                                   {taCenter, u"taCenter"}};
} // namespace

// ---- TWlFooter --------------------------------------------------------------------------------

TWlFooter::TWlFooter(TComponent* owner) : TWlCustomPanel(owner) {
    SetAlign(alBottom);
    SetCaption(u"");
    SetBounds(Left(), Top(), 350, 37);
    SetBevelOuter(bvNone);
    SetBevelWidth(1);
    SetColor(clBtnFace);
}

void TWlFooter::SetBevelStyle(TWlBevelStyle v) {
    if (v == bevelStyle_) return;
    bevelStyle_ = v;
    Invalidate();
}

void TWlFooter::SetBevelVisible(bool v) {
    if (v == bevelVisible_) return;
    bevelVisible_ = v;
    Invalidate();
}

void TWlFooter::SetMargin(int v) {
    if (v == margin_) return;
    margin_ = v;
    if (!IsLoading() && !IsDestroying()) ArrangeFooterButtons();
}

void TWlFooter::ArrangeFooterButtons() {
    if (IsDestroying()) return;
    std::vector<TWlFooterChild> children;
    children.reserve(static_cast<size_t>(ControlCount()));
    for (int i = 0; i < ControlCount(); ++i) {
        TWlFooterChild c;
        if (const auto* b = dynamic_cast<const TWlFooterBtn*>(Controls(i))) {
            c.alignment = b->Alignment();
            c.width = b->Width();
            c.height = b->Height();
            c.spaceInterval = b->SpaceInterval();
        } else {
            c.isButton = false;
        }
        children.push_back(c);
    }
    const auto places = ArrangeFooter(children, Width(), Height(), margin_);
    for (size_t i = 0; i < places.size(); ++i) {
        if (!places[i] || static_cast<int>(i) >= ControlCount()) continue;
        // A button's move re-arranges the footer (idempotently) before this loop goes on;
        // the list is read again in case that changed it.
        auto* b = dynamic_cast<TWlFooterBtn*>(Controls(static_cast<int>(i)));
        if (!b) continue;
        const TWlFooterPlacement& p = *places[i];
        b->SetAnchors(p.alignment == taLeftJustify    ? akLeft | akBottom
                      : p.alignment == taRightJustify ? akRight | akBottom
                                                      : akBottom);
        b->SetBounds(p.left, p.top, b->Width(), b->Height());
    }
}

void TWlFooter::Loaded() {
    ArrangeFooterButtons();
    TWlCustomPanel::Loaded();
}

void TWlFooter::Paint() {
    TWlCustomPanel::Paint();
    TWlCanvas canvas(Canvas());
    PaintBevel(canvas);
}

void TWlFooter::PaintBevel(TWlCanvas& canvas) {
    if (!bevelVisible_) return;
    canvas.SetPenWidth(1);
    const bool lowered = bevelStyle_ == bsLowered;
    canvas.SetPenColor(lowered ? clBtnShadow : clBtnHighlight);
    canvas.MoveTo(0, 0);
    canvas.LineTo(Width(), 0);
    canvas.SetPenColor(lowered ? clBtnHighlight : clBtnShadow);
    canvas.MoveTo(0, 1);
    canvas.LineTo(Width(), 1);
}

void TWlFooter::StoredProperties(TWlPropertyWriter& w) const {
    TWlCustomPanel::StoredProperties(w);
    w.Enum(u"Align", Align(), alNone,
           {{alNone, u"alNone"},
            {alTop, u"alTop"},
            {alBottom, u"alBottom"},
            {alLeft, u"alLeft"},
            {alRight, u"alRight"},
            {alClient, u"alClient"},
            {alCustom, u"alCustom"}});
    w.Color(u"Color", Color(), clBtnFace);
    w.Bool(u"ParentColor", ParentColor(), false);
    w.Enum(u"BevelStyle", bevelStyle_, bsLowered,
           {{bsShape, u"bsShape"}, {bsLowered, u"bsLowered"}, {bsRaised, u"bsRaised"}});
    w.Bool(u"BevelVisible", bevelVisible_, false);
    w.Int(u"Margin", margin_, 8);
}

// ---- TWlFooterBtn -----------------------------------------------------------------------------

TWlFooterBtn::TWlFooterBtn(TComponent* owner) : TWlImgBtn(owner) {
    SetBounds(Left(), Top(), 74, 23);
}

TWlFooter* TWlFooterBtn::Footer() const {
    return dynamic_cast<TWlFooter*>(Parent());
}

void TWlFooterBtn::Rearrange() {
    if (IsLoading() || IsDestroying()) return;
    if (TWlFooter* footer = Footer()) footer->ArrangeFooterButtons();
}

void TWlFooterBtn::SetAlignment(TAlignment v) {
    if (v == alignment_) return;
    alignment_ = v;
    Rearrange();
}

int TWlFooterBtn::ButtonIndex() const {
    if (Parent()) {
        const int i = Parent()->IndexOfControl(this);
        if (i >= 0) return i;
    }
    return buttonIndex_;
}

void TWlFooterBtn::SetButtonIndex(int v) {
    if (v == buttonIndex_) return;
    buttonIndex_ = v;
    if (!Parent()) return;
    Parent()->SetChildOrder(this, v);
    buttonIndex_ = ButtonIndex();
    Rearrange();
}

void TWlFooterBtn::SetSpaceInterval(int v) {
    if (v == spaceInterval_) return;
    spaceInterval_ = v;
    Rearrange();
}

void TWlFooterBtn::SetParent(TWinControl* parent) {
    if (auto* button = dynamic_cast<TWlFooterBtn*>(parent)) parent = button->Parent();
    if (parent && !dynamic_cast<TWlFooter*>(parent)) throw EWlFooterError(kFooterParentError);
    TWlImgBtn::SetParent(parent);
}

LRESULT TWlFooterBtn::WndProc(UINT msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_MOVE: {
        // A move the model did not make (the window moved by itself) is taken into the
        // model first, so that the arrangement moves it back.
        const int x = static_cast<short>(LOWORD(l)), y = static_cast<short>(HIWORD(l));
        if (x != Left() || y != Top()) StoreBounds(x, y, Width(), Height());
        if (TWlFooter* footer = Footer()) footer->ArrangeFooterButtons();
        return 0;
    }
    case WM_SIZE:
        return 0;
    default:
        return TWlImgBtn::WndProc(msg, w, l);
    }
}

void TWlFooterBtn::StoredProperties(TWlPropertyWriter& w) const {
    TWlImgBtn::StoredProperties(w);
    // The footer's Alignment takes the place of the image button's.
    w.Remove(u"Alignment");
    w.Enum(u"Alignment", alignment_, taRightJustify, kAlignmentNames);
    w.Int(u"ButtonIndex", ButtonIndex(), std::nullopt);
    w.Int(u"SpaceInterval", spaceInterval_, std::nullopt);
}

} // namespace kv
