#pragma once
// The message layer beneath the widgets' buttons and panels: the framework's change
// notifications (text, font, colour, enabled, visible, parent font/colour/show-hint, mouse
// enter/leave, focus changes, dialog characters) and the focus, erase, bounds and dialog-code
// messages become overridable Handle... operations whose default passes the notification on.
// The same notifications also arrive as the class library's numbered control messages
// (CM_...) through Perform. It adds a hint colour resolved up the parent chain, a mouse-over
// flag, a parent-colour event and an optional highlight frame. There is no form designer in
// this program, so the designer branches of the layer never run. Win32; interface thread.
#include <windows.h>

#include <memory>
#include <string>

#include "ui/Control.h"
#include "widgets/WlCanvas.h"
#include "widgets/WlExControls.h"
#include "widgets/WlProperties.h"

namespace kv {

// What a hint-show notification carries (LParam of CM_HINTSHOW).
struct TWlHintInfo {
    TControl* HintControl = nullptr;
    TColor HintColor = clInfoBk;
    std::u16string HintWindowClass; // empty: the application's hint window
    std::u16string HintStr;
};

// The application's hint colour (what a hint colour of clNone gives).
TColor WlApplicationHintColor();

// The highlight frame on a window of that size: a 1-pixel outer frame in the focus colour
// while active (focused or under the mouse) else grey, and one inside it in the focus colour
// while active else the control's colour.
void DrawWlHighlightFrame(TWlCanvas& canvas, int width, int height, bool active,
                          TColor controlColor);
constexpr TColor kWlHighlightFocusColor = 0x733800; // RGB 0x00, 0x38, 0x73
constexpr TColor kWlHighlightIdleColor = 0x808080;
// After the mouse left: the band the frame occupies is invalidated without erasing.
void InvalidateWlHighlightBand(HWND wnd, int width, int height);

template <class Base> class TWlExLayer : public Base {
public:
    explicit TWlExLayer(TComponent* owner) : Base(owner) {}

    TColor HintColor() const { return hintColor_; }
    void SetHintColor(TColor c) { hintColor_ = c; }
    bool MouseOver() const { return mouseOver_; }
    const std::u16string& HintWindowClass() const { return hintWindowClass_; }
    void SetHintWindowClass(const std::u16string& c) { hintWindowClass_ = c; }
    bool DotNetHighlighting() const { return dotNetHighlighting_; }
    void SetDotNetHighlighting(bool v) {
        if (v == dotNetHighlighting_) return;
        dotNetHighlighting_ = v;
        if (this->HandleAllocated())
            RedrawWindow(this->Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
    }
    TNotifyEvent OnParentColorChanged;

    // The published properties this layer declares, as a form description would store them.
    virtual void StoredProperties(TWlPropertyWriter& w) const {
        w.Color(u"HintColor", hintColor_, clDefault);
        w.Bool(u"DotNetHighlighting", dotNetHighlighting_, false);
    }

    // The overridable operations; each default passes the notification on.
    virtual void HandleTextChanged() { Base::TextChanged(); }
    virtual bool HandleWantKey(int key, TShiftState shift, const std::u16string& keyText) {
        return Base::DialogChar(static_cast<char16_t>(key));
    }
    // Every point of the control is a hit for the framework's controls.
    virtual bool HandleHitTest(int x, int y) { return true; }
    virtual void HandleBoundsChanged() {}
    virtual void HandleDialogCode(TWlDlgCodes& codes) {}
    virtual LRESULT HandleFocusSet(HWND previous) {
        return Base::WndProc(WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
    }
    virtual LRESULT HandleFocusKilled(HWND next) {
        return Base::WndProc(WM_KILLFOCUS, reinterpret_cast<WPARAM>(next), 0);
    }
    virtual bool HandleEraseBackground(TCanvas& canvas, LPARAM param) {
        return Base::WndProc(WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.Handle()), param) != 0;
    }
    virtual void HandleFocusChanged(TWinControl* focused) { Base::FocusedControlChanged(focused); }
    virtual void HandleVisibleChanged() { Base::VisibleChanged(); }
    virtual void HandleEnabledChanged() { Base::EnabledChanged(); }
    virtual void HandleColorChanged() { Base::ColorChanged(); }
    virtual void HandleFontChanged() { Base::FontChanged(); }
    virtual void HandleParentFontChanged() { Base::ParentFontChanged(); }
    virtual void HandleParentColorChanged() {
        Base::ParentColorChanged();
        if (OnParentColorChanged && !this->IsDestroying()) OnParentColorChanged(this);
    }
    virtual void HandleParentShowHintChanged() { Base::ParentShowHintChanged(); }
    // Resolves the hint colour into info (see TWlHintInfo), then passes the message on.
    virtual LRESULT HandleHintShow(TWlHintInfo& info) {
        if (hintColor_ == clNone) {
            info.HintColor = WlApplicationHintColor();
        } else if (hintColor_ != clDefault) {
            info.HintColor = hintColor_;
        } else if (TWinControl* parent = this->Parent()) {
            TWlHintInfo copy = info;
            parent->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&copy));
            info.HintColor = copy.HintColor;
        }
        if (!hintWindowClass_.empty()) info.HintWindowClass = hintWindowClass_;
        return PassOn(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info));
    }
    virtual void HandleMouseEnter(TControl* control) {
        mouseOver_ = true;
        Base::MouseEnter();
    }
    virtual void HandleMouseLeave(TControl* control) {
        mouseOver_ = false;
        Base::MouseLeave();
    }
    virtual LRESULT HandleCursorChanged() { return PassOn(CM_CURSORCHANGED, 0, 0); }
    virtual LRESULT HandleShowingChanged() { return PassOn(CM_SHOWINGCHANGED, 0, 0); }
    virtual LRESULT HandleShowHintChanged() { return PassOn(CM_SHOWHINTCHANGED, 0, 0); }
    virtual LRESULT HandleControlsListChanging(TControl* control, bool inserting) {
        return PassOn(inserting ? CM_CONTROLLISTCHANGE : CM_CONTROLCHANGE,
                      reinterpret_cast<WPARAM>(control), inserting);
    }
    virtual LRESULT HandleControlsListChanged(TControl* control, bool inserting) {
        return PassOn(inserting ? CM_CONTROLCHANGE : CM_CONTROLLISTCHANGE,
                      reinterpret_cast<WPARAM>(control), inserting);
    }

    // The framework's notifications, routed through the operations above.
    void TextChanged() override { HandleTextChanged(); }
    bool DialogChar(char16_t ch) override {
        return HandleWantKey(ch, KeyboardShiftState(), std::u16string(1, ch));
    }
    void FocusedControlChanged(TWinControl* focused) override { HandleFocusChanged(focused); }
    void VisibleChanged() override { HandleVisibleChanged(); }
    void EnabledChanged() override { HandleEnabledChanged(); }
    void ColorChanged() override { HandleColorChanged(); }
    void FontChanged() override { HandleFontChanged(); }
    void ParentFontChanged() override { HandleParentFontChanged(); }
    void ParentColorChanged() override { HandleParentColorChanged(); }
    void ParentShowHintChanged() override { HandleParentShowHintChanged(); }
    void MouseEnter() override {
        HandleMouseEnter(this);
        if (dotNetHighlighting_) DrawHighlight();
    }
    void MouseLeave() override {
        HandleMouseLeave(this);
        if (dotNetHighlighting_ && this->HandleAllocated())
            InvalidateWlHighlightBand(this->Handle(), this->Width(), this->Height());
    }

protected:
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override {
        LRESULT result = 0;
        switch (msg) {
        case WM_MOVE:
        case WM_SIZE:
            result = Base::WndProc(msg, w, l);
            HandleBoundsChanged();
            return result;
        case WM_SETFOCUS:
            result = HandleFocusSet(reinterpret_cast<HWND>(w));
            if (dotNetHighlighting_) DrawHighlight();
            return result;
        case WM_KILLFOCUS:
            result = HandleFocusKilled(reinterpret_cast<HWND>(w));
            if (dotNetHighlighting_) DrawHighlight();
            return result;
        case WM_ERASEBKGND: {
            if (!w) return Base::WndProc(msg, w, l);
            // The context comes back as it was, also when the operation fails.
            struct SavedDC {
                HDC dc;
                int saved;
                TCanvas canvas;
                explicit SavedDC(HDC d) : dc(d), saved(SaveDC(d)) { canvas.SetHandle(d); }
                ~SavedDC() {
                    canvas.SetHandle(nullptr);
                    RestoreDC(dc, saved);
                }
            } saved(reinterpret_cast<HDC>(w));
            return HandleEraseBackground(saved.canvas, l) ? 1 : 0;
        }
        case WM_GETDLGCODE: {
            result = Base::WndProc(msg, w, l);
            TWlDlgCodes codes =
                DlgCodesFromResult(static_cast<uint32_t>(result)) | WlDlgCode(dcNative);
            HandleDialogCode(codes);
            if (!(codes & WlDlgCode(dcNative))) result = DlgCodesToResult(codes);
            return result;
        }
        case WM_NCPAINT:
            result = Base::WndProc(msg, w, l);
            if (dotNetHighlighting_) DrawHighlight();
            return result;
        case CM_TEXTCHANGED:
            HandleTextChanged();
            return 0;
        case CM_DIALOGCHAR:
            return HandleWantKey(static_cast<int>(w), WlShiftFromKeyData(static_cast<uint32_t>(l)),
                                 std::u16string(1, static_cast<char16_t>(w)))
                       ? 1
                       : 0;
        case CM_HITTEST:
            return HandleHitTest(static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))) ? 1
                                                                                               : 0;
        case CM_FOCUSCHANGED:
            HandleFocusChanged(reinterpret_cast<TWinControl*>(l));
            return 0;
        case CM_VISIBLECHANGED:
            HandleVisibleChanged();
            return 0;
        case CM_ENABLEDCHANGED:
            HandleEnabledChanged();
            return 0;
        case CM_COLORCHANGED:
            HandleColorChanged();
            return 0;
        case CM_FONTCHANGED:
            HandleFontChanged();
            return 0;
        case CM_PARENTFONTCHANGED:
            HandleParentFontChanged();
            return 0;
        case CM_PARENTCOLORCHANGED:
            HandleParentColorChanged();
            return 0;
        case CM_PARENTSHOWHINTCHANGED:
            HandleParentShowHintChanged();
            return 0;
        case CM_HINTSHOW:
            return l ? HandleHintShow(*reinterpret_cast<TWlHintInfo*>(l)) : 0;
        case CM_MOUSEENTER:
            if (!l || reinterpret_cast<TControl*>(l) == this) {
                MouseEnter();
                return 0;
            }
            return PassOn(msg, w, l);
        case CM_MOUSELEAVE:
            if (!l || reinterpret_cast<TControl*>(l) == this) {
                MouseLeave();
                return 0;
            }
            return PassOn(msg, w, l);
        case CM_CURSORCHANGED:
            return HandleCursorChanged();
        case CM_SHOWINGCHANGED:
            return HandleShowingChanged();
        case CM_SHOWHINTCHANGED:
            return HandleShowHintChanged();
        case CM_CONTROLLISTCHANGE:
            return l ? HandleControlsListChanging(reinterpret_cast<TControl*>(w), true)
                     : HandleControlsListChanged(reinterpret_cast<TControl*>(w), false);
        case CM_CONTROLCHANGE:
            return l ? HandleControlsListChanged(reinterpret_cast<TControl*>(w), true)
                     : HandleControlsListChanging(reinterpret_cast<TControl*>(w), false);
        case CM_WLEXCONTROL_QUERY:
            return 1;
        default:
            return Base::WndProc(msg, w, l);
        }
    }

    // Hands a message to the inherited window procedure (through a message record, as the
    // layer does with structure pointers).
    LRESULT PassOn(UINT msg, WPARAM w, LPARAM l) {
        auto record = std::make_unique<TStructPtrMessage>();
        record->Msg = msg;
        record->WParam = w;
        record->LParam = l;
        record->Result = Base::WndProc(record->Msg, record->WParam, record->LParam);
        return record->Result;
    }

    // Draws the highlight frame on the window now.
    void DrawHighlight() {
        if (!this->HandleAllocated() || this->IsDestroying()) return;
        HWND wnd = this->Handle();
        HDC windowDc = GetWindowDC(wnd);
        if (!windowDc) return;
        TCanvas canvas;
        canvas.SetHandle(windowDc);
        {
            TWlCanvas c(canvas);
            DrawWlHighlightFrame(c, this->Width(), this->Height(), this->Focused() || mouseOver_,
                                 this->Color());
        }
        canvas.SetHandle(nullptr);
        ReleaseDC(wnd, windowDc);
    }

private:
    TColor hintColor_ = clDefault;
    bool mouseOver_ = false;
    std::u16string hintWindowClass_;
    bool dotNetHighlighting_ = false;
};

} // namespace kv
