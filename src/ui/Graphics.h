#pragma once
// Fonts, brushes, pens and the canvas that draws with them on a device context, plus owner
// types for GDI handles. A canvas borrows its DC; its objects create their GDI handles on
// first use and again after a change. Interface thread only.
#include <windows.h>

#include <functional>
#include <string>
#include <utility>

#include "ui/Types.h"

namespace kv {

// Owns a GDI object (font, brush, pen, bitmap, region); DeleteObject on release.
template <class H> class GdiObject {
public:
    explicit GdiObject(H h = nullptr) noexcept : h_(h) {}
    ~GdiObject() { Reset(); }
    GdiObject(GdiObject&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    GdiObject& operator=(GdiObject&& o) noexcept {
        if (this != &o) {
            Reset();
            h_ = std::exchange(o.h_, nullptr);
        }
        return *this;
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    H get() const noexcept { return h_; }
    void Reset(H h = nullptr) noexcept {
        if (h_) DeleteObject(h_);
        h_ = h;
    }

private:
    H h_;
};

// A window's DC for the scope: GetDC / ReleaseDC.
class WindowDC {
public:
    explicit WindowDC(HWND wnd) noexcept : wnd_(wnd), dc_(GetDC(wnd)) {}
    ~WindowDC() {
        if (dc_) ReleaseDC(wnd_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const noexcept { return dc_; }

private:
    HWND wnd_;
    HDC dc_;
};

// Selects an object into a DC for the scope and puts the previous one back.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ obj) noexcept : dc_(dc), old_(SelectObject(dc, obj)) {}
    ~SelectedObject() { SelectObject(dc_, old_); }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

using TFontStyles = unsigned;
constexpr TFontStyles fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8;
enum TFontPitch { fpDefault, fpVariable, fpFixed };

class TFont {
public:
    TFont();
    TFont(const TFont&) = delete;
    TFont& operator=(const TFont&) = delete;
    // Copies every attribute of another font (one change notice).
    void Assign(const TFont& other);

    const std::u16string& Name() const { return name_; }
    void SetName(const std::u16string& v);
    // Negative: character height in pixels; positive: cell height.
    int Height() const { return height_; }
    void SetHeight(int v);
    // Points at 96 pixels per inch.
    int Size() const;
    void SetSize(int points);
    TFontStyles Style() const { return style_; }
    void SetStyle(TFontStyles v);
    TColor Color() const { return color_; }
    void SetColor(TColor v);
    int Charset() const { return charset_; }
    void SetCharset(int v);
    TFontPitch Pitch() const { return pitch_; }
    void SetPitch(TFontPitch v);

    // The font's GDI handle, owned by the font.
    HFONT Handle() const;
    // Called after every change (not after Assign of an equal font).
    std::function<void()> OnChange;

private:
    void Changed();
    std::u16string name_;
    int height_;
    TFontStyles style_ = 0;
    TColor color_ = clWindowText;
    int charset_ = DEFAULT_CHARSET;
    TFontPitch pitch_ = fpDefault;
    mutable GdiObject<HFONT> handle_;
};

enum TBrushStyle { bsSolid, bsClear };
class TBrush {
public:
    TColor Color() const { return color_; }
    void SetColor(TColor c);
    TBrushStyle Style() const { return style_; }
    void SetStyle(TBrushStyle s);
    HBRUSH Handle() const;

private:
    TColor color_ = clWhite;
    TBrushStyle style_ = bsSolid;
    mutable GdiObject<HBRUSH> handle_;
};

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TPenMode { pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmXor };
class TPen {
public:
    TColor Color() const { return color_; }
    void SetColor(TColor c);
    int Width() const { return width_; }
    void SetWidth(int w);
    TPenStyle Style() const { return style_; }
    void SetStyle(TPenStyle s);
    TPenMode Mode() const { return mode_; }
    void SetMode(TPenMode m) { mode_ = m; }
    HPEN Handle() const;

private:
    TColor color_ = clBlack;
    int width_ = 1;
    TPenStyle style_ = psSolid;
    TPenMode mode_ = pmCopy;
    mutable GdiObject<HPEN> handle_;
};

// Draws on a borrowed DC with its font, brush and pen. SetHandle(nullptr) puts the DC's own
// objects back.
class TCanvas {
public:
    TCanvas() = default;
    ~TCanvas() { SetHandle(nullptr); }
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    HDC Handle() const { return dc_; }
    void SetHandle(HDC dc);
    TFont& Font() { return font_; }
    TBrush& Brush() { return brush_; }
    TPen& Pen() { return pen_; }

    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void FillRect(const RECT& r);
    void FrameRect(const RECT& r);
    void Rectangle(const RECT& r);
    void DrawFocusRect(const RECT& r);
    void TextOut(int x, int y, const std::u16string& text);
    // Text clipped to r, starting at (x, y).
    void TextRect(const RECT& r, int x, int y, const std::u16string& text);
    // DrawTextW with the canvas's font and colour; returns the text height. r is updated when
    // flags hold DT_CALCRECT.
    int DrawText(const std::u16string& text, RECT& r, UINT flags);
    SIZE TextExtent(const std::u16string& text);
    int TextWidth(const std::u16string& text) { return TextExtent(text).cx; }
    int TextHeight(const std::u16string& text) { return TextExtent(text).cy; }
    // DrawEdge with the system's 3D colours (EDGE_RAISED, BDR_RAISEDINNER, ... and BF_ flags).
    void DrawEdge(RECT r, UINT edge, UINT flags);

private:
    void Select(bool font, bool brush, bool pen);
    HDC dc_ = nullptr;
    TFont font_;
    TBrush brush_;
    TPen pen_;
    HGDIOBJ oldFont_ = nullptr, oldBrush_ = nullptr, oldPen_ = nullptr;
};

// Pixels per inch of the screen (96 on our machines).
int ScreenPixelsPerInch();

} // namespace kv
