#pragma once
// Controls: TControl holds what every control has (parent, bounds set in one call, Align and
// Anchors, Visible, Enabled, Caption, Font/ParentFont, Color/ParentColor, Hint/ShowHint,
// HelpContext, PopupMenu, Cursor, Action, click and mouse events); TWinControl owns one window
// (created when first needed), keeps the ordered child list mirrored to the window order and the
// tab order, lays out its children, and receives every message through one trampoline that
// catches whatever escapes and hands it to the application's exception handling. A parent
// reflects WM_COMMAND, WM_NOTIFY, WM_DRAWITEM, WM_CTLCOLOR* and scroll messages to the child
// as CN_BASE + message. Interface thread only.
#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ui/Component.h"
#include "ui/Graphics.h"
#include "ui/Types.h"

namespace kv {

class TWinControl;
class TCustomForm;
class TPopupMenu;
class TBasicAction;

// Reflected notifications: a parent sends the child CN_BASE + the original message number.
constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND;
constexpr UINT CN_NOTIFY = CN_BASE + WM_NOTIFY;
constexpr UINT CN_DRAWITEM = CN_BASE + WM_DRAWITEM;
constexpr UINT CN_MEASUREITEM = CN_BASE + WM_MEASUREITEM;
constexpr UINT CN_HSCROLL = CN_BASE + WM_HSCROLL;
constexpr UINT CN_VSCROLL = CN_BASE + WM_VSCROLL;
constexpr UINT CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC;
constexpr UINT CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT;
constexpr UINT CN_CTLCOLORBTN = CN_BASE + WM_CTLCOLORBTN;
constexpr UINT CN_CTLCOLORLISTBOX = CN_BASE + WM_CTLCOLORLISTBOX;

// Something that follows an action's properties (controls, menu items, tool buttons).
class TActionClient {
public:
    virtual ~TActionClient() = default;
    // The action changed (or was just linked); copy what this client shows from it.
    virtual void ActionChange(TBasicAction* action) = 0;
    // The action is going away.
    virtual void ActionRemoved() = 0;
};

class TControl : public TComponent, public TActionClient {
    KV_CLASS(TControl)
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;

    TWinControl* Parent() const { return parent_; }
    // Moves the control into another parent's child list (at its end); null takes it out.
    virtual void SetParent(TWinControl* parent);
    void SetParentComponent(TComponent* parent) override;
    TCustomForm* GetParentForm() const;

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
    void SetTop(int v) { SetBounds(left_, v, width_, height_); }
    void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
    void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
    // Moves and sizes in one call (parent client coordinates; screen for forms); does nothing
    // when the bounds are unchanged. Records the anchor distances to the parent.
    virtual void SetBounds(int left, int top, int width, int height);
    // Bounds set by a parent's layout: no anchor update, no request to realign.
    void SetBoundsFromLayout(int left, int top, int width, int height);
    RECT BoundsRect() const { return {left_, top_, left_ + width_, top_ + height_}; }
    // (0, 0, client width, client height).
    virtual RECT ClientRect() const;
    int ClientWidth() const { return RectWidth(ClientRect()); }
    int ClientHeight() const { return RectHeight(ClientRect()); }
    virtual void SetClientSize(int width, int height);
    void SetClientWidth(int v) { SetClientSize(v, ClientHeight()); }
    void SetClientHeight(int v) { SetClientSize(ClientWidth(), v); }

    TAlign Align() const { return align_; }
    void SetAlign(TAlign a);
    TAnchors Anchors() const { return anchors_; }
    void SetAnchors(TAnchors a);

    bool Visible() const { return visible_; }
    virtual void SetVisible(bool v);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible itself and every parent up to a visible form.
    bool Showing() const;
    bool Enabled() const { return enabled_; }
    virtual void SetEnabled(bool v);

    const std::u16string& Caption() const { return caption_; }
    void SetCaption(const std::u16string& v);
    const std::u16string& Text() const { return Caption(); }
    void SetText(const std::u16string& v) { SetCaption(v); }

    TFont& Font() { return font_; }
    const TFont& Font() const { return font_; }
    bool ParentFont() const { return parentFont_; }
    void SetParentFont(bool v);
    TColor Color() const { return color_; }
    void SetColor(TColor c);
    bool ParentColor() const { return parentColor_; }
    void SetParentColor(bool v);

    const std::u16string& Hint() const { return hint_; }
    void SetHint(const std::u16string& v);
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool v);
    bool ParentShowHint() const { return parentShowHint_; }
    void SetParentShowHint(bool v);
    int HelpContext() const { return helpContext_; }
    void SetHelpContext(int v) { helpContext_ = v; }
    TPopupMenu* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(TPopupMenu* menu);
    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor c) { cursor_ = c; }
    TBasicAction* Action() const { return action_; }
    // Links the control to an action: caption, hint, enabled, visible, help context follow it
    // and a click runs it.
    void SetAction(TBasicAction* action);

    TNotifyEvent OnClick, OnDblClick, OnMouseEnter, OnMouseLeave, OnResize;
    TMouseEvent OnMouseDown, OnMouseUp;
    TMouseMoveEvent OnMouseMove;

    // The click: OnClick, or the action's execution when there is no OnClick of its own.
    virtual void Click();
    virtual void DblClick();
    bool MouseInControl() const { return mouseInControl_; }
    // The mouse came over the control (or left it); fire OnMouseEnter / OnMouseLeave.
    virtual void MouseEnter();
    virtual void MouseLeave();

    virtual void Invalidate() {}

    // Changes of the control's own or its parent's attributes.
    virtual void FontChanged();
    virtual void ColorChanged();
    virtual void EnabledChanged() {}
    virtual void VisibleChanged() {}
    virtual void TextChanged() {}
    virtual void ParentFontChanged();
    virtual void ParentColorChanged();
    virtual void ParentShowHintChanged();
    // ShowHint changed (children that follow it are told).
    virtual void ShowHintChanged() {}

    void ActionChange(TBasicAction* action) override;
    void ActionRemoved() override;
    void Notification(TComponent* c, TOperation op) override;
    void Loaded() override;

protected:
    // Applies the model's bounds to the window (called after the fields changed).
    virtual void BoundsChanged(bool moved, bool sized) {}
    void UpdateAnchorRules();
    // Fields without side effects, for forms that read their window's real rectangle.
    void StoreBounds(int left, int top, int width, int height);
    void SetVisibleField(bool v) { visible_ = v; }
    // The caption as the window already shows it (the user typed it): no TextChanged.
    void StoreCaption(const std::u16string& v) { caption_ = v; }

private:
    friend class TWinControl;
    void RequestAlign();

    TWinControl* parent_ = nullptr;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    TAlign align_ = alNone;
    TAnchors anchors_ = akLeft | akTop;
    POINT anchorRules_{0, 0};
    POINT originalParentSize_{0, 0};
    bool visible_ = true;
    bool enabled_ = true;
    std::u16string caption_;
    TFont font_;
    bool parentFont_ = true;
    TColor color_ = clBtnFace;
    bool parentColor_ = false;
    std::u16string hint_;
    bool showHint_ = false;
    bool parentShowHint_ = true;
    int helpContext_ = 0;
    TPopupMenu* popupMenu_ = nullptr; // not owned
    TCursor cursor_ = crDefault;
    TBasicAction* action_ = nullptr; // not owned
    bool mouseInControl_ = false;
    bool inLayout_ = false;
    bool inFontSync_ = false;
};

// How a window is created: the window class (registered under the control's class name,
// superclassing a system class when baseClass is given), styles and placement.
struct TCreateParams {
    std::u16string className;
    std::u16string baseClass;
    std::u16string caption;
    DWORD style = 0;
    DWORD exStyle = 0;
    UINT classStyle = CS_DBLCLKS;
    int x = 0, y = 0, width = 0, height = 0;
    HWND parent = nullptr;
};

class TWinControl : public TControl {
    KV_CLASS(TWinControl)
public:
    explicit TWinControl(TComponent* owner);
    // Frees the child controls still in the list, then the window.
    ~TWinControl() override;

    // The window, created now (with its parents') when it does not exist yet.
    HWND Handle();
    bool HandleAllocated() const { return handle_ != nullptr; }
    void HandleNeeded() { Handle(); }
    // Destroys the window and creates it again (styles fixed at creation changed).
    void RecreateWnd();

    int ControlCount() const { return static_cast<int>(controls_.size()); }
    TControl* Controls(int index) const { return controls_[static_cast<size_t>(index)]; }
    int IndexOfControl(const TControl* c) const;
    // Moves a child to that position of the child list (clamped to the list), mirroring the
    // new order to the window order (later children above earlier ones).
    void SetChildOrder(TControl* child, int position);

    int TabOrder() const;
    void SetTabOrder(int order);
    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool v);
    // Visible, enabled and inside a visible, enabled parent chain.
    virtual bool CanFocus() const;
    bool Focused() const;
    virtual void SetFocus();

    TNotifyEvent OnEnter, OnExit;
    TKeyEvent OnKeyDown, OnKeyUp;
    TKeyPressEvent OnKeyPress;

    // Lays the children out now (nothing while loading, destroying or align is disabled).
    void Realign();
    void DisableAlign() { ++alignDisabled_; }
    void EnableAlign();
    void Invalidate() override;
    void Update();
    void Repaint() {
        Invalidate();
        Update();
    }

    // The control that owns this window, or null for windows that are not ours.
    static TWinControl* FindControl(HWND wnd);
    // Sends a message straight to the control's message handler (creating no window).
    LRESULT Perform(UINT msg, WPARAM w = 0, LPARAM l = 0) { return WndProc(msg, w, l); }
    // Alt+character: true when this control took the mnemonic.
    virtual bool DialogChar(char16_t ch);
    // Enter or Esc reached the form: true when this control answers it (the focused or
    // Default button for Enter, the Cancel button for Esc).
    virtual bool DialogKey(WORD key, TWinControl* focused) { return false; }
    // The focus moved to another control of the form.
    virtual void FocusedControlChanged(TWinControl* focused) {}
    // Tab order list of the controls below this one, depth first.
    void GetTabOrderList(std::vector<TWinControl*>& list);

    // Watches the window's messages after the control's own handling (a component that
    // follows its owner's window); the hook may change the result. Returns an id.
    using TMessageHook = std::function<void(UINT msg, WPARAM w, LPARAM l, LRESULT& result)>;
    int AddMessageHook(TMessageHook hook);
    void RemoveMessageHook(int id);

    void SetBounds(int left, int top, int width, int height) override;
    void SetVisible(bool v) override;
    void SetEnabled(bool v) override;
    RECT ClientRect() const override;
    void FontChanged() override;
    void ColorChanged() override;
    void TextChanged() override;
    void ShowHintChanged() override;
    void Loaded() override;

    // The rectangle inside which children are aligned (client area less borders).
    RECT AlignRect() const;

protected:
    virtual void CreateParams(TCreateParams& params);
    // Creates the window from CreateParams, then applies the model (font, text, children).
    virtual void CreateWnd();
    // Called right after the window exists; overrides push their state into it.
    virtual void CreateWindowHandleDone() {}
    virtual void DestroyWnd();
    // The message handler; unhandled messages go to DefaultHandler.
    virtual LRESULT WndProc(UINT msg, WPARAM w, LPARAM l);
    LRESULT DefaultHandler(UINT msg, WPARAM w, LPARAM l);
    // A child is about to join (inserting) or leave the child list, and has done so.
    virtual void ControlListChanging(TControl* child, bool inserting) {}
    virtual void ControlListChanged(TControl* child, bool inserting) {}
    // Shrinks the client rectangle to the area children are aligned in.
    virtual void AdjustClientRect(RECT& r) const {}
    virtual void AlignControls(RECT& r);
    void BoundsChanged(bool moved, bool sized) override;
    // Keyboard and focus hooks.
    virtual void DoEnter();
    virtual void DoExit();
    // The brush and text colour for WM_CTLCOLOR* of this control (the reflected message).
    virtual LRESULT CtlColor(HDC dc);
    // Text of the window (for controls whose user edits it).
    std::u16string WindowText() const;

    bool Aligning() const { return aligning_; }

public:
    // The one window procedure of every framework window class.
    static LRESULT CALLBACK Route(HWND wnd, UINT msg, WPARAM w, LPARAM l);

private:
    friend class TControl;
    friend class TApplication;
    LRESULT SafeWndProc(UINT msg, WPARAM w, LPARAM l);
    void InsertControl(TControl* c);
    void RemoveControl(TControl* c);
    void ApplyChildOrder(int index);
    void DestroyHandleOnly();
    void MarkDestroying();

    HWND handle_ = nullptr;
    WNDPROC baseProc_ = nullptr;
    std::vector<TControl*> controls_;   // children in order; freed here if still present
    std::vector<TWinControl*> tabList_; // children in tab order
    bool tabStop_ = false;
    int alignDisabled_ = 0;
    bool aligning_ = false;
    GdiObject<HBRUSH> ctlBrush_;
    TColor ctlBrushColor_ = clNone;
    std::vector<std::pair<int, TMessageHook>> hooks_;
    int nextHookId_ = 1;
};

// A window of our own class that paints itself on a canvas (panels, group boxes, grids).
class TCustomControl : public TWinControl {
    KV_CLASS(TCustomControl)
public:
    explicit TCustomControl(TComponent* owner);
    TCanvas& Canvas() { return canvas_; }

protected:
    // Paints the whole control on Canvas(); the default fills with Color.
    virtual void Paint();
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;

private:
    TCanvas canvas_;
};

// The system exception hook of the window-procedure trampoline and the message loop: every
// window procedure and every turn of the loop runs inside a structured exception frame that
// hands system exceptions (access violations and the like, not C++ throws) to this hook. Return
// EXCEPTION_CONTINUE_EXECUTION to resume at the fault, EXCEPTION_EXECUTE_HANDLER to end the
// window procedure (answering 0) or the loop's turn there, anything else to let the search go
// on. Null: no hook.
using TSystemExceptionHook = LONG (*)(EXCEPTION_POINTERS* info);
void SetSystemExceptionHook(TSystemExceptionHook hook);

// The long hint (after '|') and short hint (before it) of a hint text.
std::u16string GetLongHint(const std::u16string& hint);
std::u16string GetShortHint(const std::u16string& hint);

} // namespace kv
