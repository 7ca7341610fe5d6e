#include "ui/Control.h"

#include <commctrl.h>

#include <algorithm>
#include <map>
#include <set>

#include "ui/ActnList.h"
#include "ui/Application.h"
#include "ui/ClassRegistry.h"
#include "ui/Forms.h"
#include "ui/Internal.h"
#include "ui/Menus.h"

namespace kv {

// ---- window classes and the trampoline --------------------------------------------------------

namespace {

struct ClassEntry {
    ATOM atom;
    WNDPROC base;
};
std::map<std::u16string, ClassEntry, NameLess>& Classes() {
    static std::map<std::u16string, ClassEntry, NameLess> classes;
    return classes;
}
std::map<ATOM, WNDPROC>& BaseProcs() {
    static std::map<ATOM, WNDPROC> procs;
    return procs;
}

thread_local TWinControl* t_creating = nullptr;
thread_local ATOM t_creatingAtom = 0;
UINT g_nextId = 100;

ATOM EnsureClass(const TCreateParams& p, WNDPROC& base) {
    auto& classes = Classes();
    const auto it = classes.find(p.className);
    if (it != classes.end()) {
        base = it->second.base;
        return it->second.atom;
    }
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    base = nullptr;
    if (!p.baseClass.empty()) {
        detail::InitCommonControlsOnce();
        if (!GetClassInfoExW(nullptr, W(p.baseClass), &wc) &&
            !GetClassInfoExW(GetModuleHandleW(L"comctl32.dll"), W(p.baseClass), &wc))
            throw Exception(u"Window class " + p.baseClass + u" not found");
        base = wc.lpfnWndProc;
        wc.style &= ~CS_GLOBALCLASS;
    } else {
        wc.style = p.classStyle;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    }
    wc.lpfnWndProc = &TWinControl::Route;
    wc.hInstance = detail::Instance();
    wc.lpszClassName = W(p.className);
    const ATOM atom = RegisterClassExW(&wc);
    if (!atom) throw Exception(u"Window class " + p.className + u" cannot be registered");
    classes.emplace(p.className, ClassEntry{atom, base});
    BaseProcs()[atom] = base;
    return atom;
}

HCURSOR CursorHandle(TCursor c) {
    return Screen ? Screen->Cursors(c) : detail::StockCursor(c);
}

} // namespace

namespace detail {

HCURSOR StockCursor(int c) {
    static const struct {
        TCursor cursor;
        LPCWSTR id;
    } kCursors[] = {{crArrow, IDC_ARROW},          {crCross, IDC_CROSS},
                    {crIBeam, IDC_IBEAM},          {crSizeNESW, IDC_SIZENESW},
                    {crSizeNS, IDC_SIZENS},        {crSizeNWSE, IDC_SIZENWSE},
                    {crSizeWE, IDC_SIZEWE},        {crUpArrow, IDC_UPARROW},
                    {crHourGlass, IDC_WAIT},       {crNo, IDC_NO},
                    {crAppStart, IDC_APPSTARTING}, {crHelp, IDC_HELP},
                    {crHandPoint, IDC_HAND},       {crSizeAll, IDC_SIZEALL},
                    {crHSplit, IDC_SIZEWE},        {crVSplit, IDC_SIZENS},
                    {crSQLWait, IDC_WAIT},         {crNoDrop, IDC_NO},
                    {crDrag, IDC_ARROW},           {crMultiDrag, IDC_ARROW}};
    if (c == crNone) return nullptr;
    for (const auto& k : kCursors)
        if (k.cursor == c) return LoadCursorW(nullptr, k.id);
    return LoadCursorW(nullptr, IDC_ARROW);
}

HINSTANCE Instance() {
    return GetModuleHandleW(nullptr);
}

bool IsOurClass(ATOM atom) {
    return atom && BaseProcs().count(atom) != 0;
}

void InitCommonControlsOnce() {
    static const bool done = [] {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES |
                                                 ICC_BAR_CLASSES | ICC_PROGRESS_CLASS |
                                                 ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES |
                                                 ICC_LINK_CLASS};
        return InitCommonControlsEx(&icc) != FALSE;
    }();
    (void)done;
}

void HandleEscapedException(TObject* sender) noexcept {
    try {
        if (Application) Application->HandleException(sender);
    } catch (...) {}
}

bool IsAccel(char16_t ch, const std::u16string& caption) {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != u'&') continue;
        if (caption[i + 1] == u'&') {
            ++i;
            continue;
        }
        const auto up = [](char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; };
        return up(caption[i + 1]) == up(ch);
    }
    return false;
}

std::u16string StripAccel(const std::u16string& caption) {
    std::u16string out;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&') {
            if (i + 1 < caption.size() && caption[i + 1] == u'&') out += u'&';
            if (i + 1 < caption.size())
                ++i;
            else
                break;
            if (caption[i] == u'&') continue;
        }
        out += caption[i];
    }
    return out;
}

} // namespace detail

std::u16string GetLongHint(const std::u16string& hint) {
    const size_t bar = hint.find(u'|');
    return bar == std::u16string::npos ? hint : hint.substr(bar + 1);
}
std::u16string GetShortHint(const std::u16string& hint) {
    const size_t bar = hint.find(u'|');
    return bar == std::u16string::npos ? hint : hint.substr(0, bar);
}

// ---- TControl ---------------------------------------------------------------------------------

TControl::TControl(TComponent* owner) : TComponent(owner) {
    font_.OnChange = [this] {
        if (!inFontSync_) parentFont_ = false;
        FontChanged();
    };
}

TControl::~TControl() {
    Destroying();
    if (Application) Application->ControlDestroyed(this);
    if (action_) {
        action_->UnRegisterClient(this);
        action_ = nullptr;
    }
    if (parent_) parent_->RemoveControl(this);
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == parent_) return;
    if (parent == this) throw Exception(u"A control cannot have itself as its parent");
    if (parent_) parent_->RemoveControl(this);
    if (parent) parent->InsertControl(this);
}

void TControl::SetParentComponent(TComponent* parent) {
    if (auto* p = dynamic_cast<TWinControl*>(parent)) SetParent(p);
}

TCustomForm* TControl::GetParentForm() const {
    const TControl* c = this;
    while (c->parent_) c = c->parent_;
    return dynamic_cast<TCustomForm*>(const_cast<TControl*>(c));
}

void TControl::SetBounds(int left, int top, int width, int height) {
    if (width < 0) width = 0;
    if (height < 0) height = 0;
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    const bool moved = left != left_ || top != top_;
    const bool sized = width != width_ || height != height_;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    if (!inLayout_) UpdateAnchorRules();
    BoundsChanged(moved, sized);
    if (!inLayout_ && align_ != alNone) RequestAlign();
}

void TControl::SetBoundsFromLayout(int left, int top, int width, int height) {
    inLayout_ = true;
    try {
        SetBounds(left, top, width, height);
    } catch (...) {
        inLayout_ = false;
        throw;
    }
    inLayout_ = false;
}

void TControl::StoreBounds(int left, int top, int width, int height) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
}

RECT TControl::ClientRect() const {
    return {0, 0, width_, height_};
}

void TControl::SetClientSize(int width, int height) {
    const RECT c = ClientRect();
    SetBounds(left_, top_, width_ + width - RectWidth(c), height_ + height - RectHeight(c));
}

void TControl::UpdateAnchorRules() {
    if (!parent_) return;
    anchorRules_.x =
        (anchors_ & akRight) ? ((anchors_ & akLeft) ? width_ : left_) : left_ + width_ / 2;
    anchorRules_.y =
        (anchors_ & akBottom) ? ((anchors_ & akTop) ? height_ : top_) : top_ + height_ / 2;
    const RECT r = parent_->ClientRect();
    originalParentSize_ = {RectWidth(r), RectHeight(r)};
}

void TControl::RequestAlign() {
    if (parent_ && !parent_->aligning_) parent_->Realign();
}

void TControl::SetAlign(TAlign a) {
    if (a == align_) return;
    const TAlign old = align_;
    align_ = a;
    // Aligned edges follow the parent like anchors do.
    static const TAnchors kAnchorAlign[] = {akLeft | akTop,
                                            akLeft | akTop | akRight,
                                            akLeft | akRight | akBottom,
                                            akLeft | akTop | akBottom,
                                            akRight | akTop | akBottom,
                                            akLeft | akTop | akRight | akBottom,
                                            akLeft | akTop};
    if (old != alNone || anchors_ == kAnchorAlign[alNone]) anchors_ = kAnchorAlign[a];
    UpdateAnchorRules();
    RequestAlign();
}

void TControl::SetAnchors(TAnchors a) {
    if (a == anchors_) return;
    anchors_ = a;
    UpdateAnchorRules();
}

void TControl::SetVisible(bool v) {
    if (v == visible_) return;
    visible_ = v;
    VisibleChanged();
    RequestAlign();
}

bool TControl::Showing() const {
    for (const TControl* c = this; c; c = c->parent_)
        if (!c->visible_) return false;
    return true;
}

void TControl::SetEnabled(bool v) {
    if (v == enabled_) return;
    enabled_ = v;
    EnabledChanged();
}

void TControl::SetCaption(const std::u16string& v) {
    if (v == caption_) return;
    caption_ = v;
    TextChanged();
}

void TControl::SetParentFont(bool v) {
    if (v == parentFont_) return;
    parentFont_ = v;
    if (v && parent_) ParentFontChanged();
}

void TControl::SetColor(TColor c) {
    if (c == color_) return;
    color_ = c;
    parentColor_ = false;
    ColorChanged();
}

void TControl::SetParentColor(bool v) {
    if (v == parentColor_) return;
    parentColor_ = v;
    if (v && parent_) ParentColorChanged();
}

void TControl::SetHint(const std::u16string& v) {
    hint_ = v;
}

void TControl::SetShowHint(bool v) {
    parentShowHint_ = false;
    if (v == showHint_) return;
    showHint_ = v;
    ShowHintChanged();
}

void TControl::SetParentShowHint(bool v) {
    if (v == parentShowHint_) return;
    parentShowHint_ = v;
    if (v && parent_) ParentShowHintChanged();
}

void TControl::SetPopupMenu(TPopupMenu* menu) {
    if (menu == popupMenu_) return;
    popupMenu_ = menu;
    if (menu) FreeNotification(menu);
}

void TControl::SetAction(TBasicAction* action) {
    if (action == action_) return;
    if (action_) action_->UnRegisterClient(this);
    action_ = action;
    if (action_) {
        action_->RegisterClient(this);
        ActionChange(action_);
    }
}

void TControl::ActionChange(TBasicAction* action) {
    auto* a = dynamic_cast<TCustomAction*>(action);
    if (!a) return;
    SetCaption(a->Caption());
    SetEnabled(a->Enabled());
    SetHint(a->Hint());
    SetVisible(a->Visible());
    SetHelpContext(a->HelpContext());
}

void TControl::ActionRemoved() {
    action_ = nullptr;
}

void TControl::Notification(TComponent* c, TOperation op) {
    TComponent::Notification(c, op);
    if (op == opRemove && c && c == popupMenu_) popupMenu_ = nullptr;
}

void TControl::Loaded() {
    TComponent::Loaded();
}

void TControl::Click() {
    if (IsDestroying()) return;
    if (OnClick) {
        OnClick(this);
    } else if (action_) {
        action_->Execute();
    }
}

void TControl::DblClick() {
    if (OnDblClick && !IsDestroying()) OnDblClick(this);
}

void TControl::MouseEnter() {
    mouseInControl_ = true;
    if (OnMouseEnter && !IsDestroying()) OnMouseEnter(this);
}

void TControl::MouseLeave() {
    mouseInControl_ = false;
    if (OnMouseLeave && !IsDestroying()) OnMouseLeave(this);
}

void TControl::FontChanged() {}
void TControl::ColorChanged() {}

void TControl::ParentFontChanged() {
    if (!parentFont_ || !parent_) return;
    inFontSync_ = true;
    font_.Assign(parent_->Font());
    inFontSync_ = false;
}

void TControl::ParentColorChanged() {
    if (!parentColor_ || !parent_) return;
    if (color_ != parent_->Color()) {
        color_ = parent_->Color();
        ColorChanged();
    }
}

void TControl::ParentShowHintChanged() {
    if (!parentShowHint_ || !parent_ || showHint_ == parent_->ShowHint()) return;
    showHint_ = parent_->ShowHint();
    ShowHintChanged();
}

// ---- TWinControl ------------------------------------------------------------------------------

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
    MarkDestroying();
    if (Application) Application->ControlDestroyed(this);
    while (!controls_.empty()) delete controls_.back();
    DestroyHandleOnly();
}

void TWinControl::MarkDestroying() {
    Destroying();
    for (TControl* c : controls_) {
        if (auto* w = dynamic_cast<TWinControl*>(c))
            w->MarkDestroying();
        else
            c->Destroying();
    }
}

void TWinControl::DestroyHandleOnly() {
    if (!handle_) return;
    HWND h = handle_;
    // No message reaches this object any more: the window goes without events.
    SetWindowLongPtrW(h, GWLP_USERDATA, 0);
    handle_ = nullptr;
    DestroyWindow(h);
}

HWND TWinControl::Handle() {
    if (!handle_) {
        if (Parent()) Parent()->Handle();
        if (!handle_) CreateWnd();
    }
    return handle_;
}

void TWinControl::CreateParams(TCreateParams& p) {
    p.className = std::u16string(ClassName());
    p.caption = Caption();
    p.style = WS_CHILD | WS_CLIPSIBLINGS | (Visible() ? WS_VISIBLE : 0) |
              (Enabled() ? 0 : WS_DISABLED) | (tabStop_ ? WS_TABSTOP : 0);
    p.x = Left();
    p.y = Top();
    p.width = Width();
    p.height = Height();
    p.parent = Parent() ? Parent()->handle_ : nullptr;
}

void TWinControl::CreateWnd() {
    TCreateParams p;
    CreateParams(p);
    WNDPROC base = nullptr;
    const ATOM atom = EnsureClass(p, base);
    baseProc_ = base;
    HMENU id = nullptr;
    if (p.style & WS_CHILD) id = reinterpret_cast<HMENU>(static_cast<UINT_PTR>(g_nextId++));
    t_creating = this;
    t_creatingAtom = atom;
    HWND h = CreateWindowExW(p.exStyle, reinterpret_cast<LPCWSTR>(static_cast<UINT_PTR>(atom)),
                             W(p.caption), p.style, p.x, p.y, p.width, p.height, p.parent, id,
                             detail::Instance(), nullptr);
    t_creating = nullptr;
    t_creatingAtom = 0;
    if (!h) throw Exception(u"Cannot create the window of " + Name());
    if (!handle_) {
        handle_ = h;
        SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), FALSE);
    // New child windows go to the bottom of the window order; put this one where its place
    // in the parent's child list says.
    if (Parent()) Parent()->ApplyChildOrder(Parent()->IndexOfControl(this));
    CreateWindowHandleDone();
    for (TControl* c : controls_)
        if (auto* w = dynamic_cast<TWinControl*>(c); w && !w->handle_) w->CreateWnd();
}

void TWinControl::DestroyWnd() {
    for (TControl* c : controls_)
        if (auto* w = dynamic_cast<TWinControl*>(c)) w->DestroyWnd();
    DestroyHandleOnly();
}

void TWinControl::RecreateWnd() {
    if (!handle_) return;
    const bool focused = Focused();
    DestroyWnd();
    Handle();
    if (focused) SetFocus();
}

LRESULT CALLBACK TWinControl::Route(HWND wnd, UINT msg, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<TWinControl*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
    if (!self && t_creating &&
        static_cast<ATOM>(GetClassLongPtrW(wnd, GCW_ATOM)) == t_creatingAtom) {
        self = t_creating;
        t_creating = nullptr;
        self->handle_ = wnd;
        SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (!self) {
        const auto it = BaseProcs().find(static_cast<ATOM>(GetClassLongPtrW(wnd, GCW_ATOM)));
        const WNDPROC base = it == BaseProcs().end() ? nullptr : it->second;
        return base ? CallWindowProcW(base, wnd, msg, w, l) : DefWindowProcW(wnd, msg, w, l);
    }
    return self->SafeWndProc(msg, w, l);
}

LRESULT TWinControl::SafeWndProc(UINT msg, WPARAM w, LPARAM l) {
    detail::SehFrame frame;
    LRESULT result = 0;
    const HWND wnd = handle_;
    // A system exception that the hook has handled comes back here, its frames unwound: the
    // message counts as answered with 0.
    if (KV_SEH_RESUMED(frame)) return 0;
    try {
        result = WndProc(msg, w, l);
        // Hooks only while the window still belongs to this object (a handler may have freed
        // it).
        if (reinterpret_cast<TWinControl*>(GetWindowLongPtrW(wnd, GWLP_USERDATA)) == this &&
            !hooks_.empty()) {
            const auto hooks = hooks_;
            for (const auto& hook : hooks) hook.second(msg, w, l, result);
        }
    } catch (...) {
        detail::HandleEscapedException(this);
    }
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
        if (handle_ == wnd) handle_ = nullptr;
    }
    return result;
}

LRESULT TWinControl::DefaultHandler(UINT msg, WPARAM w, LPARAM l) {
    if (!handle_) return 0;
    return baseProc_ ? CallWindowProcW(baseProc_, handle_, msg, w, l)
                     : DefWindowProcW(handle_, msg, w, l);
}

TWinControl* TWinControl::FindControl(HWND wnd) {
    if (!wnd || !detail::IsOurClass(static_cast<ATOM>(GetClassLongPtrW(wnd, GCW_ATOM))))
        return nullptr;
    return reinterpret_cast<TWinControl*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
}

LRESULT TWinControl::WndProc(UINT msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_COMMAND:
        if (l) {
            if (TWinControl* c = FindControl(reinterpret_cast<HWND>(l)); c && c != this)
                return c->Perform(CN_COMMAND, w, l);
        } else if (HIWORD(w) == 0 && detail::DispatchMenuCommand(LOWORD(w))) {
            return 0;
        }
        break;
    case WM_NOTIFY: {
        const auto* hdr = reinterpret_cast<const NMHDR*>(l);
        if (TWinControl* c = FindControl(hdr->hwndFrom); c && c != this)
            return c->Perform(CN_NOTIFY, w, l);
        break;
    }
    case WM_DRAWITEM: {
        const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(l);
        if (dis->CtlType != ODT_MENU)
            if (TWinControl* c = FindControl(dis->hwndItem); c && c != this)
                return c->Perform(CN_DRAWITEM, w, l);
        break;
    }
    case WM_MEASUREITEM: {
        const auto* mis = reinterpret_cast<const MEASUREITEMSTRUCT*>(l);
        if (mis->CtlType != ODT_MENU && handle_)
            if (TWinControl* c = FindControl(GetDlgItem(handle_, static_cast<int>(mis->CtlID)));
                c && c != this)
                return c->Perform(CN_MEASUREITEM, w, l);
        break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
        if (TWinControl* c = FindControl(reinterpret_cast<HWND>(l)); c && c != this)
            return c->Perform(CN_BASE + msg, w, l);
        break;
    case WM_HSCROLL:
    case WM_VSCROLL:
        if (l)
            if (TWinControl* c = FindControl(reinterpret_cast<HWND>(l)); c && c != this)
                return c->Perform(CN_BASE + msg, w, l);
        break;
    case CN_CTLCOLORSTATIC:
    case CN_CTLCOLOREDIT:
    case CN_CTLCOLORBTN:
    case CN_CTLCOLORLISTBOX:
        return CtlColor(reinterpret_cast<HDC>(w));
    case WM_SETFOCUS: {
        const LRESULT r = DefaultHandler(msg, w, l);
        if (TCustomForm* form = GetParentForm()) form->FocusChanged(this);
        DoEnter();
        return r;
    }
    case WM_KILLFOCUS: {
        const LRESULT r = DefaultHandler(msg, w, l);
        DoExit();
        return r;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (OnKeyDown && !IsDestroying()) {
            WORD key = static_cast<WORD>(w);
            OnKeyDown(this, key, KeyboardShiftState());
            if (key == 0) return 0;
            w = key;
        }
        break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        if (OnKeyUp && !IsDestroying()) {
            WORD key = static_cast<WORD>(w);
            OnKeyUp(this, key, KeyboardShiftState());
            if (key == 0) return 0;
            w = key;
        }
        break;
    case WM_CHAR:
        if (OnKeyPress && !IsDestroying()) {
            char16_t ch = static_cast<char16_t>(w);
            OnKeyPress(this, ch);
            if (ch == 0) return 0;
            w = ch;
        }
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
        const bool down = msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN;
        const TMouseButton b = (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONUP)   ? mbLeft
                               : (msg == WM_RBUTTONDOWN || msg == WM_RBUTTONUP) ? mbRight
                                                                                : mbMiddle;
        const TMouseEvent& e = down ? OnMouseDown : OnMouseUp;
        if (e && !IsDestroying())
            e(this, b, KeyboardShiftState(), static_cast<short>(LOWORD(l)),
              static_cast<short>(HIWORD(l)));
        break;
    }
    case WM_LBUTTONDBLCLK:
        if (!baseProc_) DblClick();
        break;
    case WM_MOUSEMOVE:
        if (Application) Application->MouseOver(this);
        if (OnMouseMove && !IsDestroying())
            OnMouseMove(this, KeyboardShiftState(), static_cast<short>(LOWORD(l)),
                        static_cast<short>(HIWORD(l)));
        break;
    case WM_MOUSELEAVE:
        if (Application) Application->MouseLeft(this);
        break;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(w) == handle_ || LOWORD(l) == HTCLIENT) {
            const TCursor screen = Screen ? Screen->Cursor() : crDefault;
            if (screen != crDefault) {
                ::SetCursor(CursorHandle(screen));
                return TRUE;
            }
            if (LOWORD(l) == HTCLIENT && reinterpret_cast<HWND>(w) == handle_ &&
                Cursor() != crDefault) {
                ::SetCursor(CursorHandle(Cursor()));
                return TRUE;
            }
        }
        break;
    case WM_CONTEXTMENU: {
        POINT pt{static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
        if (pt.x == -1 && pt.y == -1) { // from the keyboard: the control's top left
            pt = {0, 0};
            ClientToScreen(handle_, &pt);
        }
        if (detail::PopupContextMenu(this, pt)) return 0;
        break;
    }
    default:
        break;
    }
    return DefaultHandler(msg, w, l);
}

LRESULT TWinControl::CtlColor(HDC dc) {
    SetTextColor(dc, ColorToRGB(Font().Color()));
    SetBkColor(dc, ColorToRGB(Color()));
    if (!ctlBrush_.get() || ctlBrushColor_ != Color()) {
        ctlBrush_.Reset(CreateSolidBrush(ColorToRGB(Color())));
        ctlBrushColor_ = Color();
    }
    return reinterpret_cast<LRESULT>(ctlBrush_.get());
}

std::u16string TWinControl::WindowText() const {
    if (!handle_) return Caption();
    const int n = GetWindowTextLengthW(handle_);
    std::u16string s(static_cast<size_t>(n) + 1, u'\0');
    const int got = GetWindowTextW(handle_, reinterpret_cast<wchar_t*>(s.data()), n + 1);
    s.resize(static_cast<size_t>(got > 0 ? got : 0));
    return s;
}

int TWinControl::AddMessageHook(TMessageHook hook) {
    hooks_.emplace_back(nextHookId_, std::move(hook));
    return nextHookId_++;
}

void TWinControl::RemoveMessageHook(int id) {
    hooks_.erase(
        std::remove_if(hooks_.begin(), hooks_.end(), [id](const auto& h) { return h.first == id; }),
        hooks_.end());
}

void TWinControl::InsertControl(TControl* c) {
    ControlListChanging(c, true);
    controls_.push_back(c);
    c->parent_ = this;
    auto* w = dynamic_cast<TWinControl*>(c);
    if (w) tabList_.push_back(w);
    c->UpdateAnchorRules();
    if (c->parentFont_) c->ParentFontChanged();
    if (c->parentColor_) c->ParentColorChanged();
    if (c->parentShowHint_) c->ParentShowHintChanged();
    if (w && handle_) {
        if (w->handle_) {
            ::SetParent(w->handle_, handle_);
            ApplyChildOrder(ControlCount() - 1);
        } else {
            w->CreateWnd();
        }
    }
    if (c->Align() != alNone || c->Anchors() != (akLeft | akTop)) Realign();
    ControlListChanged(c, true);
}

void TWinControl::RemoveControl(TControl* c) {
    if (!IsDestroying()) ControlListChanging(c, false);
    controls_.erase(std::remove(controls_.begin(), controls_.end(), c), controls_.end());
    tabList_.erase(std::remove(tabList_.begin(), tabList_.end(), c), tabList_.end());
    c->parent_ = nullptr;
    auto* w = dynamic_cast<TWinControl*>(c);
    if (w && w->handle_ && !w->IsDestroying()) w->DestroyWnd();
    if (!IsDestroying() && c->Align() != alNone) Realign();
    if (!IsDestroying()) ControlListChanged(c, false);
}

int TWinControl::IndexOfControl(const TControl* c) const {
    const auto it = std::find(controls_.begin(), controls_.end(), c);
    return it == controls_.end() ? -1 : static_cast<int>(it - controls_.begin());
}

void TWinControl::SetChildOrder(TControl* child, int position) {
    const int from = IndexOfControl(child);
    if (from < 0) return;
    const int last = ControlCount() - 1;
    position = std::clamp(position, 0, last);
    if (position == from) return;
    controls_.erase(controls_.begin() + from);
    controls_.insert(controls_.begin() + position, child);
    ApplyChildOrder(position);
}

void TWinControl::ApplyChildOrder(int index) {
    auto* w = dynamic_cast<TWinControl*>(controls_[static_cast<size_t>(index)]);
    if (!w || !w->handle_) return;
    HWND after = HWND_TOP;
    for (size_t i = static_cast<size_t>(index) + 1; i < controls_.size(); ++i)
        if (auto* next = dynamic_cast<TWinControl*>(controls_[i]); next && next->handle_) {
            after = next->handle_;
            break;
        }
    SetWindowPos(w->handle_, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

int TWinControl::TabOrder() const {
    if (!Parent()) return -1;
    const auto& list = Parent()->tabList_;
    const auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int order) {
    if (!Parent()) return;
    auto& list = Parent()->tabList_;
    const auto it = std::find(list.begin(), list.end(), this);
    if (it == list.end()) return;
    list.erase(it);
    order = std::clamp(order, 0, static_cast<int>(list.size()));
    list.insert(list.begin() + order, this);
}

void TWinControl::SetTabStop(bool v) {
    if (v == tabStop_) return;
    tabStop_ = v;
    if (handle_) {
        LONG_PTR style = GetWindowLongPtrW(handle_, GWL_STYLE);
        style = v ? (style | WS_TABSTOP) : (style & ~static_cast<LONG_PTR>(WS_TABSTOP));
        SetWindowLongPtrW(handle_, GWL_STYLE, style);
    }
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) {
    for (TWinControl* c : tabList_) {
        list.push_back(c);
        c->GetTabOrderList(list);
    }
}

bool TWinControl::CanFocus() const {
    for (const TControl* c = this; c; c = c->Parent())
        if (!c->Visible() || !c->Enabled()) return false;
    return true;
}

bool TWinControl::Focused() const {
    return handle_ && GetFocus() == handle_;
}

void TWinControl::SetFocus() {
    TCustomForm* form = GetParentForm();
    if (form && form != this) form->SetActiveControl(this);
    if (form && !form->Showing()) return;
    if (CanFocus()) ::SetFocus(Handle());
}

void TWinControl::DoEnter() {
    if (OnEnter && !IsDestroying()) OnEnter(this);
}

void TWinControl::DoExit() {
    if (OnExit && !IsDestroying()) OnExit(this);
}

bool TWinControl::DialogChar(char16_t) {
    return false;
}

RECT TWinControl::ClientRect() const {
    if (handle_ && !IsIconic(handle_)) {
        RECT r;
        GetClientRect(handle_, &r);
        return r;
    }
    TCreateParams p;
    const_cast<TWinControl*>(this)->CreateParams(p);
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, p.style & ~WS_VISIBLE, FALSE, p.exStyle);
    const int w = Width() - RectWidth(frame), h = Height() - RectHeight(frame);
    return {0, 0, w > 0 ? w : 0, h > 0 ? h : 0};
}

RECT TWinControl::AlignRect() const {
    RECT r = ClientRect();
    AdjustClientRect(r);
    return r;
}

void TWinControl::Realign() {
    if (IsLoading() || IsDestroying() || alignDisabled_ > 0 || aligning_) return;
    RECT r = AlignRect();
    AlignControls(r);
}

void TWinControl::EnableAlign() {
    if (alignDisabled_ > 0 && --alignDisabled_ == 0) Realign();
}

void TWinControl::AlignControls(RECT& r) {
    aligning_ = true;
    try {
        const RECT client = ClientRect();
        const int pw = RectWidth(client), ph = RectHeight(client);
        for (TControl* c : controls_) {
            if (c->Align() != alNone || c->Anchors() == (akLeft | akTop)) continue;
            int left = c->Left(), top = c->Top(), width = c->Width(), height = c->Height();
            const TAnchors a = c->Anchors();
            const POINT rules = c->anchorRules_, orig = c->originalParentSize_;
            if (a & akRight) {
                if (a & akLeft)
                    width = pw - (orig.x - rules.x);
                else
                    left = rules.x + (pw - orig.x);
            } else if (!(a & akLeft) && orig.x > 0) {
                left = MulDiv(rules.x, pw, orig.x) - width / 2;
            }
            if (a & akBottom) {
                if (a & akTop)
                    height = ph - (orig.y - rules.y);
                else
                    top = rules.y + (ph - orig.y);
            } else if (!(a & akTop) && orig.y > 0) {
                top = MulDiv(rules.y, ph, orig.y) - height / 2;
            }
            c->SetBoundsFromLayout(left, top, width, height);
        }
        for (const TAlign kind : {alTop, alBottom, alLeft, alRight, alClient}) {
            std::vector<TControl*> list;
            for (TControl* c : controls_)
                if (c->Align() == kind && c->Visible()) list.push_back(c);
            // Controls of one kind stack in the order of their current places.
            std::stable_sort(list.begin(), list.end(), [kind](TControl* a, TControl* b) {
                switch (kind) {
                case alTop:
                    return a->Top() < b->Top();
                case alBottom:
                    return a->Top() + a->Height() > b->Top() + b->Height();
                case alLeft:
                    return a->Left() < b->Left();
                case alRight:
                    return a->Left() + a->Width() > b->Left() + b->Width();
                default:
                    return false;
                }
            });
            for (TControl* c : list) {
                const int w = RectWidth(r), h = RectHeight(r);
                switch (kind) {
                case alTop:
                    c->SetBoundsFromLayout(r.left, r.top, w, c->Height());
                    r.top += c->Height();
                    break;
                case alBottom:
                    c->SetBoundsFromLayout(r.left, r.bottom - c->Height(), w, c->Height());
                    r.bottom -= c->Height();
                    break;
                case alLeft:
                    c->SetBoundsFromLayout(r.left, r.top, c->Width(), h);
                    r.left += c->Width();
                    break;
                case alRight:
                    c->SetBoundsFromLayout(r.right - c->Width(), r.top, c->Width(), h);
                    r.right -= c->Width();
                    break;
                default:
                    c->SetBoundsFromLayout(r.left, r.top, w, h);
                    break;
                }
            }
        }
    } catch (...) {
        aligning_ = false;
        throw;
    }
    aligning_ = false;
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
    TControl::SetBounds(left, top, width, height);
}

void TWinControl::BoundsChanged(bool moved, bool sized) {
    if (handle_)
        SetWindowPos(handle_, nullptr, Left(), Top(), Width(), Height(),
                     SWP_NOZORDER | SWP_NOACTIVATE | (moved ? 0 : SWP_NOMOVE) |
                         (sized ? 0 : SWP_NOSIZE));
    if (sized) {
        Realign();
        if (OnResize && !IsDestroying() && !IsLoading()) OnResize(this);
    }
}

void TWinControl::SetVisible(bool v) {
    if (v == Visible()) return;
    TControl::SetVisible(v);
    if (handle_) ShowWindow(handle_, v ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::SetEnabled(bool v) {
    if (v == Enabled()) return;
    TControl::SetEnabled(v);
    if (handle_) EnableWindow(handle_, v);
}

void TWinControl::FontChanged() {
    if (handle_) SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), TRUE);
    for (TControl* c : controls_) c->ParentFontChanged();
}

void TWinControl::ColorChanged() {
    Invalidate();
    for (TControl* c : controls_) c->ParentColorChanged();
}

void TWinControl::ShowHintChanged() {
    for (TControl* c : controls_) c->ParentShowHintChanged();
}

void TWinControl::TextChanged() {
    if (handle_) SetWindowTextW(handle_, W(Caption()));
}

void TWinControl::Loaded() {
    TControl::Loaded();
    Realign();
}

void TWinControl::Invalidate() {
    if (handle_) InvalidateRect(handle_, nullptr, TRUE);
}

void TWinControl::Update() {
    if (handle_) UpdateWindow(handle_);
}

// ---- TCustomControl ---------------------------------------------------------------------------

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner) {}

void TCustomControl::Paint() {
    RECT r = ClientRect();
    canvas_.Brush().SetColor(Color());
    canvas_.Brush().SetStyle(bsSolid);
    canvas_.FillRect(r);
}

LRESULT TCustomControl::WndProc(UINT msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Handle(), &ps);
        canvas_.SetHandle(dc);
        canvas_.Font().Assign(Font());
        struct Unbind {
            TCanvas& canvas;
            HWND wnd;
            PAINTSTRUCT& ps;
            ~Unbind() {
                canvas.SetHandle(nullptr);
                EndPaint(wnd, &ps);
            }
        } unbind{canvas_, Handle(), ps};
        Paint();
        return 0;
    }
    default:
        return TWinControl::WndProc(msg, w, l);
    }
}

// ---- registration -----------------------------------------------------------------------------

namespace detail {

void RegisterControlClasses() {
    // Non-visual components store where the designer showed them: read and ignored.
    TClassBuilder<TComponent>(RegisterUiClass(u"TComponent", u"", nullptr))
        .Int(u"Tag", [](TComponent& c, int v) { c.SetTag(v); })
        .Ignore({u"Left", u"Top", u"DesignInfo"});
    static const TNameTable kAlign = {{u"alNone", alNone},     {u"alTop", alTop},
                                      {u"alBottom", alBottom}, {u"alLeft", alLeft},
                                      {u"alRight", alRight},   {u"alClient", alClient},
                                      {u"alCustom", alCustom}};
    static const TNameTable kAnchors = {
        {u"akLeft", akLeft}, {u"akTop", akTop}, {u"akRight", akRight}, {u"akBottom", akBottom}};
    static const TNameTable kCursors = {
        {u"crDefault", crDefault},     {u"crNone", crNone},           {u"crArrow", crArrow},
        {u"crCross", crCross},         {u"crIBeam", crIBeam},         {u"crSizeNESW", crSizeNESW},
        {u"crSizeNS", crSizeNS},       {u"crSizeNWSE", crSizeNWSE},   {u"crSizeWE", crSizeWE},
        {u"crUpArrow", crUpArrow},     {u"crHourGlass", crHourGlass}, {u"crDrag", crDrag},
        {u"crNoDrop", crNoDrop},       {u"crHSplit", crHSplit},       {u"crVSplit", crVSplit},
        {u"crMultiDrag", crMultiDrag}, {u"crSQLWait", crSQLWait},     {u"crNo", crNo},
        {u"crAppStart", crAppStart},   {u"crHelp", crHelp},           {u"crHandPoint", crHandPoint},
        {u"crSizeAll", crSizeAll}};
    static const TNameTable kFontStyles = {{u"fsBold", fsBold},
                                           {u"fsItalic", fsItalic},
                                           {u"fsUnderline", fsUnderline},
                                           {u"fsStrikeOut", fsStrikeOut}};
    static const TNameTable kPitch = {
        {u"fpDefault", fpDefault}, {u"fpVariable", fpVariable}, {u"fpFixed", fpFixed}};
    static const TNameTable kCharsets = {{u"ANSI_CHARSET", ANSI_CHARSET},
                                         {u"DEFAULT_CHARSET", DEFAULT_CHARSET},
                                         {u"SHIFTJIS_CHARSET", SHIFTJIS_CHARSET},
                                         {u"SYMBOL_CHARSET", SYMBOL_CHARSET}};
    RegisterComponentClass<TControl>(u"TComponent")
        .Int(u"Left", [](TControl& c, int v) { c.SetLeft(v); })
        .Int(u"Top", [](TControl& c, int v) { c.SetTop(v); })
        .Int(u"Width", [](TControl& c, int v) { c.SetWidth(v); })
        .Int(u"Height", [](TControl& c, int v) { c.SetHeight(v); })
        .Int(u"ClientWidth", [](TControl& c, int v) { c.SetClientWidth(v); })
        .Int(u"ClientHeight", [](TControl& c, int v) { c.SetClientHeight(v); })
        .Enum(u"Align", kAlign, [](TControl& c, int v) { c.SetAlign(static_cast<TAlign>(v)); })
        .Set(u"Anchors", kAnchors, [](TControl& c, unsigned v) { c.SetAnchors(v); })
        .Bool(u"Visible", [](TControl& c, bool v) { c.SetVisible(v); })
        .Bool(u"Enabled", [](TControl& c, bool v) { c.SetEnabled(v); })
        .Str(u"Caption", [](TControl& c, const std::u16string& v) { c.SetCaption(v); })
        .Str(u"Text", [](TControl& c, const std::u16string& v) { c.SetCaption(v); })
        .Color(u"Color", [](TControl& c, TColor v) { c.SetColor(v); })
        .Bool(u"ParentColor", [](TControl& c, bool v) { c.SetParentColor(v); })
        .Bool(u"ParentFont", [](TControl& c, bool v) { c.SetParentFont(v); })
        .Str(u"Font.Name", [](TControl& c, const std::u16string& v) { c.Font().SetName(v); })
        .Int(u"Font.Height", [](TControl& c, int v) { c.Font().SetHeight(v); })
        .Int(u"Font.Size", [](TControl& c, int v) { c.Font().SetSize(v); })
        .Color(u"Font.Color", [](TControl& c, TColor v) { c.Font().SetColor(v); })
        .Set(u"Font.Style", kFontStyles, [](TControl& c, unsigned v) { c.Font().SetStyle(v); })
        .Enum(u"Font.Pitch", kPitch,
              [](TControl& c, int v) { c.Font().SetPitch(static_cast<TFontPitch>(v)); })
        .Enum(u"Font.Charset", kCharsets, [](TControl& c, int v) { c.Font().SetCharset(v); })
        .Str(u"Hint", [](TControl& c, const std::u16string& v) { c.SetHint(v); })
        .Bool(u"ShowHint", [](TControl& c, bool v) { c.SetShowHint(v); })
        .Bool(u"ParentShowHint", [](TControl& c, bool v) { c.SetParentShowHint(v); })
        .Int(u"HelpContext", [](TControl& c, int v) { c.SetHelpContext(v); })
        .Enum(u"Cursor", kCursors, [](TControl& c, int v) { c.SetCursor(v); })
        .Ref<TPopupMenu>(u"PopupMenu", [](TControl& c, TPopupMenu* m) { c.SetPopupMenu(m); })
        .Ref<TBasicAction>(u"Action", [](TControl& c, TBasicAction* a) { c.SetAction(a); })
        .Event<void(TObject*)>(u"OnClick", &TControl::OnClick)
        .Event<void(TObject*)>(u"OnDblClick", &TControl::OnDblClick)
        .Event<void(TObject*)>(u"OnMouseEnter", &TControl::OnMouseEnter)
        .Event<void(TObject*)>(u"OnMouseLeave", &TControl::OnMouseLeave)
        .Event<void(TObject*)>(u"OnResize", &TControl::OnResize)
        .Event<void(TObject*, TMouseButton, TShiftState, int, int)>(u"OnMouseDown",
                                                                    &TControl::OnMouseDown)
        .Event<void(TObject*, TMouseButton, TShiftState, int, int)>(u"OnMouseUp",
                                                                    &TControl::OnMouseUp)
        .Event<void(TObject*, TShiftState, int, int)>(u"OnMouseMove", &TControl::OnMouseMove)
        .Ignore({u"ExplicitLeft", u"ExplicitTop", u"ExplicitWidth", u"ExplicitHeight",
                 u"DesignSize", u"Ctl3D", u"ParentCtl3D", u"ParentBackground", u"DoubleBuffered",
                 u"ParentDoubleBuffered", u"ParentBiDiMode", u"BiDiMode", u"TextHeight",
                 u"PixelsPerInch", u"OldCreateOrder"});
    RegisterComponentClass<TWinControl>(u"TControl")
        .Int(u"TabOrder", [](TWinControl& c, int v) { c.SetTabOrder(v); })
        .Bool(u"TabStop", [](TWinControl& c, bool v) { c.SetTabStop(v); })
        .Event<void(TObject*)>(u"OnEnter", &TWinControl::OnEnter)
        .Event<void(TObject*)>(u"OnExit", &TWinControl::OnExit)
        .Event<void(TObject*, WORD&, TShiftState)>(u"OnKeyDown", &TWinControl::OnKeyDown)
        .Event<void(TObject*, WORD&, TShiftState)>(u"OnKeyUp", &TWinControl::OnKeyUp)
        .Event<void(TObject*, char16_t&)>(u"OnKeyPress", &TWinControl::OnKeyPress);
    RegisterComponentClass<TCustomControl>(u"TWinControl");
}

} // namespace detail

} // namespace kv
