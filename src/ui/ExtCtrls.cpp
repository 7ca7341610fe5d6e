#include "ui/ExtCtrls.h"

#include <algorithm>

#include "ui/ClassRegistry.h"
#include "ui/Internal.h"

namespace kv {

void Frame3D(TCanvas& canvas, RECT& rect, TColor topColor, TColor bottomColor, int width) {
    canvas.Pen().SetWidth(1);
    for (int i = 0; i < width; ++i) {
        const int right = rect.right - 1, bottom = rect.bottom - 1;
        canvas.Pen().SetColor(topColor);
        canvas.MoveTo(rect.left, bottom);
        canvas.LineTo(rect.left, rect.top);
        canvas.LineTo(right, rect.top);
        canvas.Pen().SetColor(bottomColor);
        canvas.LineTo(right, bottom);
        canvas.LineTo(rect.left - 1, bottom);
        InflateRect(&rect, -1, -1);
    }
}

// ---- TCustomPanel -----------------------------------------------------------------------------

TCustomPanel::TCustomPanel(TComponent* owner) : TCustomControl(owner) {
    SetBounds(0, 0, 185, 41);
}

void TCustomPanel::CreateParams(TCreateParams& p) {
    TCustomControl::CreateParams(p);
    p.style |= WS_CLIPCHILDREN;
    if (borderStyle_ == bsSingle) p.style |= WS_BORDER;
}

void TCustomPanel::AdjustClientRect(RECT& r) const {
    InflateRect(&r, -borderWidth_, -borderWidth_);
    int bevel = 0;
    if (bevelOuter_ != bvNone) bevel += bevelWidth_;
    if (bevelInner_ != bvNone) bevel += bevelWidth_;
    InflateRect(&r, -bevel, -bevel);
}

void TCustomPanel::Paint() {
    TCanvas& c = Canvas();
    RECT r = ClientRect();
    const auto colors = [](TBevelCut cut, TColor& top, TColor& bottom) {
        top = cut == bvLowered ? clBtnShadow : clBtnHighlight;
        bottom = cut == bvLowered ? clBtnHighlight : clBtnShadow;
    };
    TColor top, bottom;
    if (bevelOuter_ != bvNone) {
        colors(bevelOuter_, top, bottom);
        if (bevelOuter_ == bvSpace) top = bottom = Color();
        Frame3D(c, r, top, bottom, bevelWidth_);
    }
    Frame3D(c, r, Color(), Color(), borderWidth_);
    if (bevelInner_ != bvNone) {
        colors(bevelInner_, top, bottom);
        if (bevelInner_ == bvSpace) top = bottom = Color();
        Frame3D(c, r, top, bottom, bevelWidth_);
    }
    c.Brush().SetColor(Color());
    c.Brush().SetStyle(bsSolid);
    c.FillRect(r);
    if (showCaption_ && !Caption().empty()) {
        UINT flags = DT_SINGLELINE | DT_EXPANDTABS;
        flags |= alignment_ == taLeftJustify    ? DT_LEFT
                 : alignment_ == taRightJustify ? DT_RIGHT
                                                : DT_CENTER;
        flags |= verticalAlignment_ == taAlignTop      ? DT_TOP
                 : verticalAlignment_ == taAlignBottom ? DT_BOTTOM
                                                       : DT_VCENTER;
        c.Font().SetColor(Enabled() ? Font().Color() : clGrayText);
        c.DrawText(Caption(), r, flags);
    }
}

void TCustomPanel::SetBevelOuter(TBevelCut v) {
    if (v == bevelOuter_) return;
    bevelOuter_ = v;
    Realign();
    Invalidate();
}
void TCustomPanel::SetBevelInner(TBevelCut v) {
    if (v == bevelInner_) return;
    bevelInner_ = v;
    Realign();
    Invalidate();
}
void TCustomPanel::SetBevelWidth(int v) {
    if (v == bevelWidth_ || v < 1) return;
    bevelWidth_ = v;
    Realign();
    Invalidate();
}
void TCustomPanel::SetBorderWidth(int v) {
    if (v == borderWidth_ || v < 0) return;
    borderWidth_ = v;
    Realign();
    Invalidate();
}
void TCustomPanel::SetBorderStyle(TFormBorderStyle v) {
    if (v == borderStyle_) return;
    borderStyle_ = v;
    RecreateWnd();
    Realign();
}
void TCustomPanel::SetAlignment(TAlignment v) {
    alignment_ = v;
    Invalidate();
}
void TCustomPanel::SetVerticalAlignment(TVerticalAlignment v) {
    verticalAlignment_ = v;
    Invalidate();
}
void TCustomPanel::SetShowCaption(bool v) {
    showCaption_ = v;
    Invalidate();
}
void TCustomPanel::TextChanged() {
    TCustomControl::TextChanged();
    Invalidate();
}

// ---- TImage -----------------------------------------------------------------------------------

TImage::TImage(TComponent* owner) : TCustomControl(owner) {
    SetParentColor(true);
    SetBounds(0, 0, 105, 105);
}

TImage::~TImage() {
    if (ownsIcon_ && icon_) DestroyIcon(icon_);
}

void TImage::LoadIconResource(const std::u16string& name) {
    HICON icon =
        static_cast<HICON>(LoadImageW(detail::Instance(), W(name), IMAGE_ICON, 256, 256, 0));
    if (!icon)
        icon = static_cast<HICON>(
            LoadImageW(detail::Instance(), W(name), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    if (!icon) throw Exception(u"Icon resource " + name + u" not found");
    if (ownsIcon_ && icon_) DestroyIcon(icon_);
    icon_ = icon;
    ownsIcon_ = true;
    Invalidate();
}

void TImage::LoadBitmapResource(const std::u16string& name) {
    GdiObject<HBITMAP> bmp(static_cast<HBITMAP>(
        LoadImageW(detail::Instance(), W(name), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!bmp.get()) throw Exception(u"Bitmap resource " + name + u" not found");
    bitmap_ = std::move(bmp);
    Invalidate();
}

void TImage::SetIcon(HICON icon) {
    if (ownsIcon_ && icon_) DestroyIcon(icon_);
    icon_ = icon;
    ownsIcon_ = false;
    Invalidate();
}

void TImage::SetStretch(bool v) {
    stretch_ = v;
    Invalidate();
}
void TImage::SetCenter(bool v) {
    center_ = v;
    Invalidate();
}
void TImage::SetProportional(bool v) {
    proportional_ = v;
    Invalidate();
}

void TImage::Paint() {
    TCanvas& c = Canvas();
    const RECT client = ClientRect();
    c.Brush().SetColor(Color());
    c.Brush().SetStyle(bsSolid);
    c.FillRect(client);
    int w = 0, h = 0;
    BITMAP bm{};
    if (icon_) {
        ICONINFO info{};
        if (GetIconInfo(icon_, &info)) {
            BITMAP ib{};
            GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof ib, &ib);
            w = ib.bmWidth;
            h = info.hbmColor ? ib.bmHeight : ib.bmHeight / 2;
            if (info.hbmColor) DeleteObject(info.hbmColor);
            if (info.hbmMask) DeleteObject(info.hbmMask);
        }
    } else if (bitmap_.get()) {
        GetObjectW(bitmap_.get(), sizeof bm, &bm);
        w = bm.bmWidth;
        h = bm.bmHeight;
    } else {
        return;
    }
    RECT dest{0, 0, w, h};
    if (stretch_) {
        dest = client;
        if (proportional_ && w > 0 && h > 0) {
            const double scale =
                std::min(double(RectWidth(client)) / w, double(RectHeight(client)) / h);
            dest = {0, 0, int(w * scale), int(h * scale)};
        }
    }
    if (center_)
        OffsetRect(&dest, (RectWidth(client) - RectWidth(dest)) / 2,
                   (RectHeight(client) - RectHeight(dest)) / 2);
    if (icon_) {
        DrawIconEx(c.Handle(), dest.left, dest.top, icon_, RectWidth(dest), RectHeight(dest), 0,
                   nullptr, DI_NORMAL);
    } else {
        HDC mem = CreateCompatibleDC(c.Handle());
        {
            SelectedObject sel(mem, bitmap_.get());
            SetStretchBltMode(c.Handle(), HALFTONE);
            StretchBlt(c.Handle(), dest.left, dest.top, RectWidth(dest), RectHeight(dest), mem, 0,
                       0, w, h, SRCCOPY);
        }
        DeleteDC(mem);
    }
}

// ---- TSplitter --------------------------------------------------------------------------------

TSplitter::TSplitter(TComponent* owner) : TCustomControl(owner) {
    SetParentColor(true);
    SetBounds(0, 0, 3, 100);
    SetAlign(alLeft);
    UpdateCursor();
}

void TSplitter::UpdateCursor() {
    SetCursor(Align() == alTop || Align() == alBottom ? crVSplit : crHSplit);
}

TControl* TSplitter::FindResizeControl() const {
    if (!Parent()) return nullptr;
    POINT p{Left(), Top()};
    switch (Align()) {
    case alLeft:
        p.x = Left() - 1;
        break;
    case alTop:
        p.y = Top() - 1;
        break;
    case alRight:
        p.x = Left() + Width();
        break;
    case alBottom:
        p.y = Top() + Height();
        break;
    default:
        return nullptr;
    }
    for (int i = 0; i < Parent()->ControlCount(); ++i) {
        TControl* c = Parent()->Controls(i);
        if (c == this || !c->Visible() || c->Align() != Align()) continue;
        const RECT r = c->BoundsRect();
        // Widen zero-sized controls to a line so that they can be found.
        RECT test = r;
        if (RectWidth(test) == 0) ++test.right;
        if (RectHeight(test) == 0) ++test.bottom;
        if (PtInRect(&test, p)) return c;
    }
    return nullptr;
}

LRESULT TSplitter::WndProc(UINT msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_SETCURSOR:
        UpdateCursor();
        break;
    case WM_LBUTTONDOWN: {
        control_ = FindResizeControl();
        if (!control_) break;
        dragging_ = true;
        GetCursorPos(&downPt_);
        const bool vertical = Align() == alTop || Align() == alBottom;
        startSize_ = vertical ? control_->Height() : control_->Width();
        // The room left for the other aligned controls may not fall under MinSize.
        const RECT area = Parent()->AlignRect();
        int used = 0;
        for (int i = 0; i < Parent()->ControlCount(); ++i) {
            TControl* c = Parent()->Controls(i);
            if (!c->Visible() || c == control_) continue;
            if (vertical && (c->Align() == alTop || c->Align() == alBottom))
                used += c->Height();
            else if (!vertical && (c->Align() == alLeft || c->Align() == alRight))
                used += c->Width();
        }
        maxSize_ = (vertical ? RectHeight(area) : RectWidth(area)) - used - minSize_;
        SetCapture(Handle());
        return 0;
    }
    case WM_MOUSEMOVE:
        if (dragging_ && control_) {
            POINT pt;
            GetCursorPos(&pt);
            const bool vertical = Align() == alTop || Align() == alBottom;
            int delta = vertical ? pt.y - downPt_.y : pt.x - downPt_.x;
            if (Align() == alRight || Align() == alBottom) delta = -delta;
            const int size = std::clamp(startSize_ + delta, minSize_, std::max(minSize_, maxSize_));
            if (vertical)
                control_->SetHeight(size);
            else
                control_->SetWidth(size);
            Parent()->Update();
        }
        break;
    case WM_LBUTTONUP:
        if (dragging_) {
            dragging_ = false;
            control_ = nullptr;
            ReleaseCapture();
            if (OnMoved && !IsDestroying()) OnMoved(this);
        }
        return 0;
    case WM_CAPTURECHANGED:
        dragging_ = false;
        control_ = nullptr;
        break;
    default:
        break;
    }
    return TCustomControl::WndProc(msg, w, l);
}

// ---- registration -----------------------------------------------------------------------------

namespace detail {

void RegisterExtCtrlClasses() {
    static const TNameTable kBevel = {{u"bvNone", bvNone},
                                      {u"bvLowered", bvLowered},
                                      {u"bvRaised", bvRaised},
                                      {u"bvSpace", bvSpace}};
    static const TNameTable kBorder = {{u"bsNone", bsNone}, {u"bsSingle", bsSingle}};
    static const TNameTable kAlignment = {{u"taLeftJustify", taLeftJustify},
                                          {u"taRightJustify", taRightJustify},
                                          {u"taCenter", taCenter}};
    static const TNameTable kVertical = {{u"taAlignTop", taAlignTop},
                                         {u"taAlignBottom", taAlignBottom},
                                         {u"taVerticalCenter", taVerticalCenter}};
    RegisterComponentClass<TCustomPanel>(u"TCustomControl")
        .Enum(u"BevelOuter", kBevel,
              [](TCustomPanel& p, int v) { p.SetBevelOuter(static_cast<TBevelCut>(v)); })
        .Enum(u"BevelInner", kBevel,
              [](TCustomPanel& p, int v) { p.SetBevelInner(static_cast<TBevelCut>(v)); })
        .Int(u"BevelWidth", [](TCustomPanel& p, int v) { p.SetBevelWidth(v); })
        .Int(u"BorderWidth", [](TCustomPanel& p, int v) { p.SetBorderWidth(v); })
        .Enum(u"BorderStyle", kBorder,
              [](TCustomPanel& p, int v) { p.SetBorderStyle(static_cast<TFormBorderStyle>(v)); })
        .Enum(u"Alignment", kAlignment,
              [](TCustomPanel& p, int v) { p.SetAlignment(static_cast<TAlignment>(v)); })
        .Enum(u"VerticalAlignment", kVertical,
              [](TCustomPanel& p, int v) {
                  p.SetVerticalAlignment(static_cast<TVerticalAlignment>(v));
              })
        .Bool(u"ShowCaption", [](TCustomPanel& p, bool v) { p.SetShowCaption(v); })
        .Ignore({u"BevelKind", u"FullRepaint", u"Locked", u"UseDockManager"});
    RegisterComponentClass<TPanel>(u"TCustomPanel");
    RegisterComponentClass<TImage>(u"TCustomControl")
        .Str(u"Picture.Icon.Resource",
             [](TImage& i, const std::u16string& v) { i.LoadIconResource(v); })
        .Str(u"Picture.Bitmap.Resource",
             [](TImage& i, const std::u16string& v) { i.LoadBitmapResource(v); })
        .Bool(u"Stretch", [](TImage& i, bool v) { i.SetStretch(v); })
        .Bool(u"Center", [](TImage& i, bool v) { i.SetCenter(v); })
        .Bool(u"Proportional", [](TImage& i, bool v) { i.SetProportional(v); })
        .Ignore({u"Transparent", u"IsControl"});
    RegisterComponentClass<TSplitter>(u"TCustomControl")
        .Int(u"MinSize", [](TSplitter& s, int v) { s.SetMinSize(v); })
        .Event<void(TObject*)>(u"OnMoved", &TSplitter::OnMoved)
        .Ignore({u"ResizeStyle", u"Beveled", u"AutoSnap"});
}

} // namespace detail

} // namespace kv
