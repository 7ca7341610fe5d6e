#include "ui/Graphics.h"

namespace kv {

namespace {
struct DefaultFont {
    std::u16string name;
    int height;
};
// The platform's interface font gives the name and height of new fonts.
const DefaultFont& GetDefaultFont() {
    static const DefaultFont font = [] {
        LOGFONTW lf{};
        DefaultFont f{u"MS UI Gothic", -12};
        if (GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf) && lf.lfFaceName[0]) {
            f.name = FromW(lf.lfFaceName);
            if (lf.lfHeight != 0) f.height = lf.lfHeight < 0 ? lf.lfHeight : -lf.lfHeight;
        }
        return f;
    }();
    return font;
}
} // namespace

int ScreenPixelsPerInch() {
    static const int ppi = [] {
        HDC dc = GetDC(nullptr);
        const int v = GetDeviceCaps(dc, LOGPIXELSY);
        ReleaseDC(nullptr, dc);
        return v > 0 ? v : 96;
    }();
    return ppi;
}

TFont::TFont() : name_(GetDefaultFont().name), height_(GetDefaultFont().height) {}

void TFont::Assign(const TFont& o) {
    if (name_ == o.name_ && height_ == o.height_ && style_ == o.style_ && color_ == o.color_ &&
        charset_ == o.charset_ && pitch_ == o.pitch_)
        return;
    name_ = o.name_;
    height_ = o.height_;
    style_ = o.style_;
    color_ = o.color_;
    charset_ = o.charset_;
    pitch_ = o.pitch_;
    Changed();
}

void TFont::SetName(const std::u16string& v) {
    if (v == name_) return;
    name_ = v;
    Changed();
}
void TFont::SetHeight(int v) {
    if (v == height_) return;
    height_ = v;
    Changed();
}
int TFont::Size() const {
    return -MulDiv(height_, 72, ScreenPixelsPerInch());
}
void TFont::SetSize(int points) {
    SetHeight(-MulDiv(points, ScreenPixelsPerInch(), 72));
}
void TFont::SetStyle(TFontStyles v) {
    if (v == style_) return;
    style_ = v;
    Changed();
}
void TFont::SetColor(TColor v) {
    if (v == color_) return;
    color_ = v;
    Changed();
}
void TFont::SetCharset(int v) {
    if (v == charset_) return;
    charset_ = v;
    Changed();
}
void TFont::SetPitch(TFontPitch v) {
    if (v == pitch_) return;
    pitch_ = v;
    Changed();
}

void TFont::Changed() {
    handle_.Reset();
    if (OnChange) OnChange();
}

HFONT TFont::Handle() const {
    if (!handle_.get()) {
        LOGFONTW lf{};
        lf.lfHeight = height_;
        lf.lfWeight = (style_ & fsBold) ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = (style_ & fsItalic) ? 1 : 0;
        lf.lfUnderline = (style_ & fsUnderline) ? 1 : 0;
        lf.lfStrikeOut = (style_ & fsStrikeOut) ? 1 : 0;
        lf.lfCharSet = static_cast<BYTE>(charset_);
        lf.lfQuality = DEFAULT_QUALITY;
        lf.lfPitchAndFamily = pitch_ == fpFixed      ? FIXED_PITCH
                              : pitch_ == fpVariable ? VARIABLE_PITCH
                                                     : DEFAULT_PITCH;
        const size_t n = name_.size() < LF_FACESIZE - 1 ? name_.size() : LF_FACESIZE - 1;
        for (size_t i = 0; i < n; ++i) lf.lfFaceName[i] = static_cast<wchar_t>(name_[i]);
        handle_.Reset(CreateFontIndirectW(&lf));
    }
    return handle_.get();
}

void TBrush::SetColor(TColor c) {
    if (c == color_) return;
    color_ = c;
    handle_.Reset();
}
void TBrush::SetStyle(TBrushStyle s) {
    if (s == style_) return;
    style_ = s;
    handle_.Reset();
}
HBRUSH TBrush::Handle() const {
    if (style_ == bsClear) return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    if (!handle_.get()) handle_.Reset(CreateSolidBrush(ColorToRGB(color_)));
    return handle_.get();
}

void TPen::SetColor(TColor c) {
    if (c == color_) return;
    color_ = c;
    handle_.Reset();
}
void TPen::SetWidth(int w) {
    if (w == width_) return;
    width_ = w;
    handle_.Reset();
}
void TPen::SetStyle(TPenStyle s) {
    if (s == style_) return;
    style_ = s;
    handle_.Reset();
}
HPEN TPen::Handle() const {
    if (!handle_.get()) {
        static const int kStyles[] = {PS_SOLID,      PS_DASH, PS_DOT,        PS_DASHDOT,
                                      PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
        handle_.Reset(CreatePen(kStyles[style_], width_, ColorToRGB(color_)));
    }
    return handle_.get();
}

void TCanvas::SetHandle(HDC dc) {
    if (dc == dc_) return;
    if (dc_) {
        if (oldFont_) SelectObject(dc_, oldFont_);
        if (oldBrush_) SelectObject(dc_, oldBrush_);
        if (oldPen_) SelectObject(dc_, oldPen_);
        oldFont_ = oldBrush_ = oldPen_ = nullptr;
    }
    dc_ = dc;
}

void TCanvas::Select(bool font, bool brush, bool pen) {
    if (!dc_) return;
    if (font) {
        HGDIOBJ old = SelectObject(dc_, font_.Handle());
        if (!oldFont_) oldFont_ = old;
        SetTextColor(dc_, ColorToRGB(font_.Color()));
    }
    if (brush) {
        HGDIOBJ old = SelectObject(dc_, brush_.Handle());
        if (!oldBrush_) oldBrush_ = old;
        SetBkColor(dc_, ColorToRGB(brush_.Color()));
        SetBkMode(dc_, brush_.Style() == bsClear ? TRANSPARENT : OPAQUE);
    }
    if (pen) {
        HGDIOBJ old = SelectObject(dc_, pen_.Handle());
        if (!oldPen_) oldPen_ = old;
        static const int kRop[] = {R2_BLACK,   R2_WHITE,      R2_NOP,   R2_NOT,
                                   R2_COPYPEN, R2_NOTCOPYPEN, R2_XORPEN};
        SetROP2(dc_, kRop[pen_.Mode()]);
    }
}

void TCanvas::MoveTo(int x, int y) {
    if (dc_) MoveToEx(dc_, x, y, nullptr);
}
void TCanvas::LineTo(int x, int y) {
    Select(false, false, true);
    if (dc_) ::LineTo(dc_, x, y);
}
void TCanvas::FillRect(const RECT& r) {
    Select(false, true, false);
    if (dc_) ::FillRect(dc_, &r, brush_.Handle());
}
void TCanvas::FrameRect(const RECT& r) {
    Select(false, true, false);
    if (dc_) ::FrameRect(dc_, &r, brush_.Handle());
}
void TCanvas::Rectangle(const RECT& r) {
    Select(false, true, true);
    if (dc_) ::Rectangle(dc_, r.left, r.top, r.right, r.bottom);
}
void TCanvas::DrawFocusRect(const RECT& r) {
    Select(false, true, false);
    if (dc_) ::DrawFocusRect(dc_, &r);
}
void TCanvas::TextOut(int x, int y, const std::u16string& text) {
    Select(true, true, false);
    if (dc_) ::TextOutW(dc_, x, y, W(text), static_cast<int>(text.size()));
}
void TCanvas::TextRect(const RECT& r, int x, int y, const std::u16string& text) {
    Select(true, true, false);
    if (dc_)
        ExtTextOutW(dc_, x, y, ETO_CLIPPED | (brush_.Style() == bsClear ? 0 : ETO_OPAQUE), &r,
                    W(text), static_cast<UINT>(text.size()), nullptr);
}
int TCanvas::DrawText(const std::u16string& text, RECT& r, UINT flags) {
    Select(true, true, false);
    if (!dc_) return 0;
    const int oldMode = SetBkMode(dc_, TRANSPARENT);
    const int h = ::DrawTextW(dc_, W(text), static_cast<int>(text.size()), &r, flags);
    SetBkMode(dc_, oldMode);
    return h;
}
SIZE TCanvas::TextExtent(const std::u16string& text) {
    SIZE s{0, 0};
    Select(true, false, false);
    if (dc_) GetTextExtentPoint32W(dc_, W(text), static_cast<int>(text.size()), &s);
    return s;
}
void TCanvas::DrawEdge(RECT r, UINT edge, UINT flags) {
    if (dc_) ::DrawEdge(dc_, &r, edge, flags);
}

} // namespace kv
