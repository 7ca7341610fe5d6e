#pragma once
// The drawing surface of the widgets: every line, rectangle, text, frame control, image and
// themed part a widget draws goes through one TWlCanvas, which draws on a framework canvas.
// Tests derive from it to record the calls. Also the theme state the widgets ask for.
// Win32; interface thread only.
#include <windows.h>

#include <string>

#include "ui/Graphics.h"
#include "ui/Types.h"

namespace kv {

class TCustomImageList;

class TWlCanvas {
public:
    // Draws on target (not owned), which is bound to a device context.
    explicit TWlCanvas(TCanvas& target) : target_(target) {}
    virtual ~TWlCanvas() = default;
    TWlCanvas(const TWlCanvas&) = delete;
    TWlCanvas& operator=(const TWlCanvas&) = delete;

    TCanvas& Target() const { return target_; }
    HDC Handle() const { return target_.Handle(); }
    TFont& Font() const { return target_.Font(); }

    virtual void SetPenColor(TColor c);
    virtual void SetPenWidth(int w);
    virtual void SetPenStyle(TPenStyle s);
    virtual void SetPenMode(TPenMode m);
    virtual void SetBrushColor(TColor c);
    virtual void SetBrushStyle(TBrushStyle s);
    virtual void SetFontColor(TColor c);

    virtual void MoveTo(int x, int y);
    virtual void LineTo(int x, int y);
    virtual void Rectangle(const RECT& r);
    virtual void FillRect(const RECT& r);
    virtual void FrameRect(const RECT& r);
    virtual void DrawFocusRect(const RECT& r);
    // DrawTextW; with DT_CALCRECT it measures and updates r. Returns the text height.
    virtual int DrawText(const std::u16string& text, RECT& r, UINT flags);
    // DrawFrameControl; r is updated when state holds DFCS_ADJUSTRECT.
    virtual void DrawFrameControl(RECT& r, UINT type, UINT state);
    virtual void DrawImage(TCustomImageList& list, int index, int x, int y, bool enabled);
    // The parent's background behind a themed push button where its part is transparent.
    virtual void DrawThemeParentBackground(HWND wnd, int state, const RECT& r);
    // The themed push button part in a state (PBS_NORMAL ... PBS_DEFAULTED) over r.
    virtual void DrawThemeButton(HWND wnd, int state, const RECT& r);
    // The content rectangle of the themed push button part over r.
    virtual RECT ThemeButtonContentRect(HWND wnd, int state, const RECT& r);

private:
    TCanvas& target_;
};

// Visual styles are active for this program (uxtheme themes on and the program themed).
bool WlThemesEnabled();
// Makes WlThemesEnabled answer a fixed value while it lives (tests draw both looks).
class TWlThemesOverride {
public:
    explicit TWlThemesOverride(bool enabled);
    ~TWlThemesOverride();
    TWlThemesOverride(const TWlThemesOverride&) = delete;
    TWlThemesOverride& operator=(const TWlThemesOverride&) = delete;

private:
    int previous_;
};

} // namespace kv
