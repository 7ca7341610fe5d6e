#include "ui/Forms.h"

#include <algorithm>

#include "ui/ActnList.h"
#include "ui/Application.h"
#include "ui/ClassRegistry.h"
#include "ui/FormReader.h"
#include "ui/Internal.h"
#include "ui/Menus.h"

namespace kv {

TScreen* Screen = nullptr;

namespace {

// Enables again, in any case, the windows a modal form disabled.
class DisabledWindows {
public:
    explicit DisabledWindows(HWND except) {
        EnumThreadWindows(GetCurrentThreadId(), &Collect, reinterpret_cast<LPARAM>(this));
        windows_.erase(std::remove(windows_.begin(), windows_.end(), except), windows_.end());
        for (HWND w : windows_) EnableWindow(w, FALSE);
    }
    ~DisabledWindows() { Restore(); }
    DisabledWindows(const DisabledWindows&) = delete;
    DisabledWindows& operator=(const DisabledWindows&) = delete;
    void Restore() {
        for (HWND w : windows_)
            if (IsWindow(w)) EnableWindow(w, TRUE);
        windows_.clear();
    }

private:
    static BOOL CALLBACK Collect(HWND w, LPARAM self) {
        auto* me = reinterpret_cast<DisabledWindows*>(self);
        if (IsWindowVisible(w) && IsWindowEnabled(w)) me->windows_.push_back(w);
        return TRUE;
    }
    std::vector<HWND> windows_;
};

void CenterIn(RECT area, int& left, int& top, int width, int height) {
    left = area.left + (RectWidth(area) - width) / 2;
    top = area.top + (RectHeight(area) - height) / 2;
}

} // namespace

// ---- TCustomForm ------------------------------------------------------------------------------

TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner) {
    SetVisibleField(false);
    SetParentFont(false);
    SetBounds(0, 0, 320, 240);
    if (Screen) Screen->AddForm(this);
}

TCustomForm::~TCustomForm() {
    MarkDestroyingForm();
}

void TCustomForm::MarkDestroyingForm() {
    Destroying();
    if (Screen) Screen->RemoveForm(this);
    if (Application) Application->FormDestroyed(this);
}

void TCustomForm::ReadForm(std::u16string_view resourceName) {
    TReader::ReadComponentResource(*this, resourceName);
    if (OnCreate) OnCreate(this);
}

void TCustomForm::SetBorderStyle(TFormBorderStyle v) {
    if (v == borderStyle_) return;
    borderStyle_ = v;
    RecreateWnd();
}

void TCustomForm::SetBorderIcons(TBorderIcons v) {
    if (v == borderIcons_) return;
    borderIcons_ = v;
    RecreateWnd();
}

void TCustomForm::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.classStyle = CS_DBLCLKS;
    p.style = WS_CLIPCHILDREN | (Enabled() ? 0 : WS_DISABLED);
    p.exStyle = 0;
    switch (borderStyle_) {
    case bsNone:
        p.style |= WS_POPUP;
        break;
    case bsSingle:
        p.style |= WS_CAPTION | WS_BORDER;
        break;
    case bsSizeable:
        p.style |= WS_CAPTION | WS_THICKFRAME;
        break;
    case bsDialog:
        p.style |= WS_POPUP | WS_CAPTION | DS_MODALFRAME;
        p.exStyle |= WS_EX_DLGMODALFRAME;
        break;
    case bsToolWindow:
        p.style |= WS_CAPTION;
        p.exStyle |= WS_EX_TOOLWINDOW;
        break;
    case bsSizeToolWin:
        p.style |= WS_CAPTION | WS_THICKFRAME;
        p.exStyle |= WS_EX_TOOLWINDOW;
        break;
    }
    if (borderStyle_ != bsNone && (borderIcons_ & biSystemMenu)) {
        p.style |= WS_SYSMENU;
        if (borderStyle_ == bsSingle || borderStyle_ == bsSizeable) {
            if (borderIcons_ & biMinimize) p.style |= WS_MINIMIZEBOX;
            if (borderIcons_ & biMaximize) p.style |= WS_MAXIMIZEBOX;
        }
    }
    // The main form has the task-bar button; other forms belong to their owner form, the
    // main form or the hidden application window.
    p.parent = nullptr;
    if (Application && Application->MainForm() == this && Application->MainFormOnTaskBar()) {
        p.exStyle |= WS_EX_APPWINDOW;
    } else {
        TWinControl* ownerForm = dynamic_cast<TCustomForm*>(Owner());
        if (ownerForm && ownerForm->HandleAllocated())
            p.parent = ownerForm->Handle();
        else if (TCustomForm* active = Screen ? Screen->ActiveForm() : nullptr;
                 active && active != this)
            p.parent = active->Handle();
        else if (Application && Application->MainForm() && Application->MainForm() != this &&
                 Application->MainForm()->HandleAllocated())
            p.parent = Application->MainForm()->Handle();
        else if (Application)
            p.parent = Application->Handle();
    }
}

void TCustomForm::CreateWindowHandleDone() {
    if (menu_) ::SetMenu(Handle(), menu_->Handle());
    if (bigIcon_) SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
    if (smallIcon_)
        SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
    // The window may have come out of another size than asked (menu bar, frame limits).
    if (clientWidthWanted_ >= 0) SetClientSize(clientWidthWanted_, clientHeightWanted_);
    SyncBoundsFromWindow();
}

void TCustomForm::SetClientSize(int width, int height) {
    clientWidthWanted_ = width;
    clientHeightWanted_ = height;
    TCreateParams p;
    CreateParams(p);
    RECT r{0, 0, width, height};
    AdjustWindowRectEx(&r, p.style, menu_ != nullptr, p.exStyle);
    int w = RectWidth(r), h = RectHeight(r);
    if (HandleAllocated()) {
        // The real frame counts (a menu bar that wraps, the platform's borders).
        RECT win, client;
        GetWindowRect(Handle(), &win);
        GetClientRect(Handle(), &client);
        if (!IsIconic(Handle()) && RectWidth(client) > 0) {
            w = width + RectWidth(win) - RectWidth(client);
            h = height + RectHeight(win) - RectHeight(client);
        }
    }
    SetBounds(Left(), Top(), w, h);
    if (HandleAllocated()) {
        RECT client;
        GetClientRect(Handle(), &client);
        // A second pass when the frame changed with the size (menu bar wrapping).
        if (!IsIconic(Handle()) && (RectWidth(client) != width || RectHeight(client) != height))
            SetBounds(Left(), Top(), Width() + width - RectWidth(client),
                      Height() + height - RectHeight(client));
    }
}

void TCustomForm::Loaded() {
    TWinControl::Loaded();
    if (clientWidthWanted_ >= 0) SetClientSize(clientWidthWanted_, clientHeightWanted_);
    if (Visible()) {
        SetVisibleField(false);
        SetVisible(true);
    }
}

void TCustomForm::SetMenu(TMainMenu* menu) {
    if (menu == menu_) return;
    menu_ = menu;
    if (menu) FreeNotification(menu);
    if (HandleAllocated()) {
        ::SetMenu(Handle(), menu ? menu->Handle() : nullptr);
        if (clientWidthWanted_ >= 0) SetClientSize(clientWidthWanted_, clientHeightWanted_);
    }
}

void TCustomForm::SetIconResource(const std::u16string& name) {
    bigIcon_ = static_cast<HICON>(LoadImageW(detail::Instance(), W(name), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXICON),
                                             GetSystemMetrics(SM_CYICON), LR_SHARED));
    smallIcon_ = static_cast<HICON>(LoadImageW(detail::Instance(), W(name), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    if (HandleAllocated()) CreateWindowHandleDone();
}

void TCustomForm::Notification(TComponent* c, TOperation op) {
    TWinControl::Notification(c, op);
    if (op != opRemove) return;
    if (c == menu_) menu_ = nullptr;
    if (c == activeControl_) activeControl_ = nullptr;
}

TWindowState TCustomForm::WindowState() const {
    if (HandleAllocated() && Visible()) {
        HWND h = const_cast<TCustomForm*>(this)->Handle();
        if (IsIconic(h)) return wsMinimized;
        if (IsZoomed(h)) return wsMaximized;
        return wsNormal;
    }
    return windowState_;
}

void TCustomForm::SetWindowState(TWindowState v) {
    windowState_ = v;
    if (HandleAllocated() && Visible()) {
        static const int kShow[] = {SW_RESTORE, SW_MINIMIZE, SW_MAXIMIZE};
        ShowWindow(Handle(), kShow[v]);
        SyncBoundsFromWindow();
    }
}

RECT TCustomForm::NormalBounds() const {
    if (HandleAllocated()) {
        WINDOWPLACEMENT wp{};
        wp.length = sizeof wp;
        if (GetWindowPlacement(const_cast<TCustomForm*>(this)->Handle(), &wp))
            return wp.rcNormalPosition;
    }
    return BoundsRect();
}

void TCustomForm::SyncBoundsFromWindow() {
    if (!HandleAllocated() || IsIconic(Handle()) || IsZoomed(Handle())) return;
    RECT r;
    GetWindowRect(Handle(), &r);
    const bool sized = RectWidth(r) != Width() || RectHeight(r) != Height();
    StoreBounds(r.left, r.top, RectWidth(r), RectHeight(r));
    if (sized) {
        Realign();
        if (OnResize && !IsDestroying() && !IsLoading()) OnResize(this);
    }
}

void TCustomForm::SetActiveControl(TWinControl* control) {
    if (control == activeControl_) return;
    activeControl_ = control;
    if (control) FreeNotification(control);
}

bool TCustomForm::Active() const {
    return HandleAllocated() && GetActiveWindow() == const_cast<TCustomForm*>(this)->Handle();
}

void TCustomForm::PlaceOnShow() {
    if (windowState_ != wsNormal) return;
    int left = Left(), top = Top();
    const RECT work = Screen ? Screen->WorkAreaRect() : RECT{0, 0, 1024, 768};
    TCustomForm* around = nullptr;
    switch (position_) {
    case poScreenCenter:
    case poDesktopCenter:
        CenterIn(work, left, top, Width(), Height());
        break;
    case poOwnerFormCenter:
        around = dynamic_cast<TCustomForm*>(Owner());
        [[fallthrough]];
    case poMainFormCenter:
        if (!around && Application) around = Application->MainForm();
        if (around && around != this && around->Visible())
            CenterIn(around->BoundsRect(), left, top, Width(), Height());
        else
            CenterIn(work, left, top, Width(), Height());
        // Stay on the work area.
        left = std::max<int>(work.left, std::min<int>(left, work.right - Width()));
        top = std::max<int>(work.top, std::min<int>(top, work.bottom - Height()));
        break;
    default:
        break;
    }
    SetBounds(left, top, Width(), Height());
}

void TCustomForm::SetVisible(bool v) {
    if (v == Visible()) return;
    if (IsLoading()) { // shown once the whole form is read
        SetVisibleField(v);
        return;
    }
    if (v) {
        Handle();
        PlaceOnShow();
        if (OnShow && !IsDestroying()) OnShow(this);
        SetVisibleField(true);
        static const int kShow[] = {SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED};
        ShowWindow(Handle(), kShow[windowState_]);
        if (windowState_ == wsNormal) SetForegroundWindow(Handle());
        FocusFirst();
    } else {
        if (HandleAllocated()) {
            windowState_ = WindowState();
            ShowWindow(Handle(), SW_HIDE);
        }
        SetVisibleField(false);
        if (OnHide && !IsDestroying()) OnHide(this);
    }
    VisibleChanged();
}

void TCustomForm::FocusFirst() {
    if (activeControl_ && activeControl_->CanFocus()) {
        ::SetFocus(activeControl_->Handle());
        return;
    }
    if (TWinControl* first = FindNextControl(nullptr, true))
        ::SetFocus(first->Handle());
    else
        ::SetFocus(Handle());
}

void TCustomForm::BringToFront() {
    if (!HandleAllocated()) return;
    SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(Handle());
}

TModalResult TCustomForm::ShowModal() {
    if (Visible() || modal_) throw Exception(u"Cannot make a visible window modal");
    if (GetCapture()) ReleaseCapture();
    HWND before = GetActiveWindow();
    Handle();
    modal_ = true;
    modalResult_ = mrNone;
    struct ModalState {
        TCustomForm& form;
        DisabledWindows disabled;
        ~ModalState() { form.modal_ = false; }
    } state{*this, DisabledWindows(Handle())};
    EnableWindow(Handle(), TRUE);
    SetVisible(true);
    for (;;) {
        if (!Application) break;
        Application->HandleMessage();
        if (Application->Terminated()) modalResult_ = mrCancel;
        if (modalResult_ != mrNone) {
            TCloseAction action = caHide;
            if (!CloseQuery())
                action = caNone;
            else
                DoClose(action);
            if (action == caNone && !Application->Terminated())
                modalResult_ = mrNone;
            else
                break;
        }
    }
    // Enable the other windows before hiding, so that activation goes back to them.
    state.disabled.Restore();
    SetVisible(false);
    if (before && IsWindow(before)) SetActiveWindow(before);
    return modalResult_;
}

bool TCustomForm::CloseQuery() {
    bool canClose = true;
    if (OnCloseQuery && !IsDestroying()) OnCloseQuery(this, canClose);
    return canClose;
}

void TCustomForm::DoClose(TCloseAction& action) {
    if (OnClose && !IsDestroying()) OnClose(this, action);
}

void TCustomForm::SetModalResult(TModalResult v) {
    modalResult_ = v;
    // Wake the modal loop: it may be waiting for a message (an idle handler set the result).
    if (v != mrNone && modal_ && HandleAllocated()) PostMessageW(Handle(), WM_NULL, 0, 0);
}

void TCustomForm::Close() {
    if (modal_) {
        SetModalResult(mrCancel);
        return;
    }
    if (!CloseQuery()) return;
    const bool isMain = Application && Application->MainForm() == this;
    TCloseAction action = isMain ? caFree : caHide;
    DoClose(action);
    if (action == caNone) return;
    if (isMain) {
        Application->Terminate();
        return;
    }
    switch (action) {
    case caHide:
        Hide();
        break;
    case caMinimize:
        SetWindowState(wsMinimized);
        break;
    case caFree:
        Release();
        break;
    default:
        break;
    }
}

void TCustomForm::Release() {
    if (Application && Application->Handle())
        PostMessageW(Application->Handle(), WM_APP + 1, 0, reinterpret_cast<LPARAM>(this));
}

void TCustomForm::FocusChanged(TWinControl* focused) {
    if (focused && focused != this) activeControl_ = focused;
    std::vector<TWinControl*> all;
    GetTabOrderList(all);
    for (TWinControl* c : all) c->FocusedControlChanged(focused);
}

TWinControl* TCustomForm::FindNextControl(TWinControl* current, bool forward) {
    std::vector<TWinControl*> list;
    GetTabOrderList(list);
    if (list.empty()) return nullptr;
    const int n = static_cast<int>(list.size());
    int start = -1;
    for (int i = 0; i < n; ++i)
        if (list[static_cast<size_t>(i)] == current) start = i;
    if (start < 0) start = forward ? n - 1 : 0;
    for (int step = 1; step <= n; ++step) {
        const int i = ((start + (forward ? step : -step)) % n + n) % n;
        TWinControl* c = list[static_cast<size_t>(i)];
        if (c->TabStop() && c->CanFocus()) return c;
    }
    return nullptr;
}

void TCustomForm::SelectNext(bool forward) {
    TWinControl* current = FindControl(GetFocus());
    while (current && current->GetParentForm() != this) current = nullptr;
    if (TWinControl* next = FindNextControl(current, forward)) next->SetFocus();
}

bool TCustomForm::IsShortCut(TShortCut shortCut) {
    if (menu_ && menu_->IsShortCut(shortCut)) return true;
    for (int i = 0; i < ComponentCount(); ++i)
        if (auto* list = dynamic_cast<TActionList*>(Components(i));
            list && list->IsShortCut(shortCut))
            return true;
    return false;
}

bool TCustomForm::PreTranslateKey(MSG& msg, TWinControl* control) {
    if (!Enabled()) return false;
    if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
        const WORD key = static_cast<WORD>(msg.wParam);
        if (keyPreview_ && OnKeyDown) {
            WORD k = key;
            OnKeyDown(this, k, KeyboardShiftState());
            if (k == 0) return true;
        }
        if (key == VK_F1) {
            for (TControl* c = control; c; c = c->Parent())
                if (c->HelpContext() != 0) {
                    if (Application) Application->HelpContext(c->HelpContext());
                    return true;
                }
            return false;
        }
        const TShiftState shift = KeyboardShiftState();
        if (key != VK_SHIFT && key != VK_CONTROL && key != VK_MENU) {
            TShortCut sc = key;
            if (shift & ssShift) sc |= scShift;
            if (shift & ssCtrl) sc |= scCtrl;
            if (shift & ssAlt) sc |= scAlt;
            if ((shift & (ssCtrl | ssAlt)) || (key >= VK_F1 && key <= VK_F24) || key == VK_DELETE ||
                key == VK_INSERT) {
                if (IsShortCut(sc)) return true;
            }
        }
        if (key != VK_TAB && key != VK_RETURN && key != VK_ESCAPE) return false;
        // The window that has the key and the control it belongs to (a combo box whose edit
        // box has the focus) both say whether they want it; a dropped-down list wants Enter
        // and Esc.
        LRESULT code = SendMessageW(msg.hwnd, WM_GETDLGCODE, key, reinterpret_cast<LPARAM>(&msg));
        if (control && control->HandleAllocated() && control->Handle() != msg.hwnd)
            code |=
                SendMessageW(control->Handle(), WM_GETDLGCODE, key, reinterpret_cast<LPARAM>(&msg));
        if (code & DLGC_WANTALLKEYS) return false;
        if (key == VK_TAB) {
            if ((code & DLGC_WANTTAB) || (shift & (ssCtrl | ssAlt))) return false;
            SelectNext(!(shift & ssShift));
            return true;
        }
        std::vector<TWinControl*> all;
        GetTabOrderList(all);
        for (TWinControl* c : all)
            if (c->Showing() && c->Enabled() && c->DialogKey(key, control)) return true;
        return false;
    }
    if (msg.message == WM_SYSCHAR || msg.message == WM_CHAR) {
        const auto ch = static_cast<char16_t>(msg.wParam);
        if (msg.message == WM_CHAR) {
            // Plain letters are mnemonics only where the focused control takes no characters.
            const LRESULT code =
                SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg));
            if (code & (DLGC_WANTCHARS | DLGC_WANTALLKEYS | DLGC_HASSETSEL)) return false;
            if (ch < u' ') return false;
        }
        std::vector<TWinControl*> all;
        GetTabOrderList(all);
        for (TWinControl* c : all)
            if (c->Showing() && c->Enabled() && c->DialogChar(ch)) return true;
    }
    return false;
}

LRESULT TCustomForm::WndProc(UINT msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_CLOSE:
        Close();
        return 0;
    case WM_ERASEBKGND: {
        RECT r;
        GetClientRect(Handle(), &r);
        GdiObject<HBRUSH> brush(CreateSolidBrush(ColorToRGB(Color())));
        FillRect(reinterpret_cast<HDC>(w), &r, brush.get());
        return 1;
    }
    case WM_WINDOWPOSCHANGED: {
        const LRESULT r = TWinControl::WndProc(msg, w, l);
        SyncBoundsFromWindow();
        return r;
    }
    case WM_SIZE:
        if (Application && Application->MainForm() == this) {
            if (w == SIZE_MINIMIZED)
                Application->MainFormMinimized();
            else if (w == SIZE_RESTORED || w == SIZE_MAXIMIZED)
                Application->MainFormRestored();
        }
        if (w != SIZE_MINIMIZED) Realign();
        break;
    case WM_ACTIVATE:
        if (LOWORD(w) == WA_INACTIVE) {
            if (TWinControl* f = FindControl(GetFocus()); f && f->GetParentForm() == this)
                activeControl_ = f;
            if (OnDeactivate && !IsDestroying()) OnDeactivate(this);
        } else {
            if (OnActivate && !IsDestroying()) OnActivate(this);
            if (activeControl_ && activeControl_->CanFocus() && !HIWORD(w)) {
                ::SetFocus(activeControl_->Handle());
                return 0;
            }
        }
        break;
    case WM_INITMENUPOPUP:
        if (menu_) menu_->InitPopup(reinterpret_cast<HMENU>(w));
        break;
    case WM_MENUSELECT:
        detail::MenuSelected(this, reinterpret_cast<HMENU>(l), LOWORD(w), HIWORD(w));
        break;
    case WM_EXITMENULOOP:
        if (Application) Application->SetHint(u"", this);
        break;
    default:
        break;
    }
    return TWinControl::WndProc(msg, w, l);
}

// ---- TScreen ----------------------------------------------------------------------------------

TScreen::TScreen(TComponent* owner) : TComponent(owner) {}

TScreen::~TScreen() {
    if (Screen == this) Screen = nullptr;
}

void TScreen::SetCursor(TCursor c) {
    if (c == cursor_) return;
    cursor_ = c;
    // Show it at once over our windows: ask the window under the mouse again.
    POINT pt;
    GetCursorPos(&pt);
    HWND w = WindowFromPoint(pt);
    if (w && GetWindowThreadProcessId(w, nullptr) == GetCurrentThreadId())
        SendMessageW(
            w, WM_SETCURSOR, reinterpret_cast<WPARAM>(w),
            MAKELPARAM(SendMessageW(w, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y)), WM_MOUSEMOVE));
}

HCURSOR TScreen::Cursors(TCursor c) const {
    for (const auto& [number, handle] : cursors_)
        if (number == c) return handle;
    return detail::StockCursor(c);
}

void TScreen::SetCursors(TCursor c, HCURSOR handle) {
    for (auto& entry : cursors_)
        if (entry.first == c) {
            entry.second = handle;
            return;
        }
    cursors_.emplace_back(c, handle);
}

TCustomForm* TScreen::ActiveForm() const {
    for (TWinControl* c = TWinControl::FindControl(GetActiveWindow()); c; c = c->Parent())
        if (auto* f = dynamic_cast<TCustomForm*>(c)) return f;
    return nullptr;
}

RECT TScreen::WorkAreaRect() const {
    RECT r{0, 0, Width(), Height()};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
    return r;
}

void TScreen::RemoveForm(TCustomForm* f) {
    forms_.erase(std::remove(forms_.begin(), forms_.end(), f), forms_.end());
}

// ---- registration -----------------------------------------------------------------------------

namespace detail {

void RegisterFormClasses() {
    static const TNameTable kBorder = {{u"bsNone", bsNone},
                                       {u"bsSingle", bsSingle},
                                       {u"bsSizeable", bsSizeable},
                                       {u"bsDialog", bsDialog},
                                       {u"bsToolWindow", bsToolWindow},
                                       {u"bsSizeToolWin", bsSizeToolWin}};
    static const TNameTable kIcons = {{u"biSystemMenu", biSystemMenu},
                                      {u"biMinimize", biMinimize},
                                      {u"biMaximize", biMaximize},
                                      {u"biHelp", biHelp}};
    static const TNameTable kPosition = {{u"poDesigned", poDesigned},
                                         {u"poDefault", poDefault},
                                         {u"poDefaultPosOnly", poDefaultPosOnly},
                                         {u"poDefaultSizeOnly", poDefaultSizeOnly},
                                         {u"poScreenCenter", poScreenCenter},
                                         {u"poDesktopCenter", poDesktopCenter},
                                         {u"poMainFormCenter", poMainFormCenter},
                                         {u"poOwnerFormCenter", poOwnerFormCenter}};
    static const TNameTable kState = {
        {u"wsNormal", wsNormal}, {u"wsMinimized", wsMinimized}, {u"wsMaximized", wsMaximized}};
    RegisterComponentClass<TCustomForm>(u"TWinControl")
        .Enum(u"BorderStyle", kBorder,
              [](TCustomForm& f, int v) { f.SetBorderStyle(static_cast<TFormBorderStyle>(v)); })
        .Set(u"BorderIcons", kIcons, [](TCustomForm& f, unsigned v) { f.SetBorderIcons(v); })
        .Enum(u"Position", kPosition,
              [](TCustomForm& f, int v) { f.SetPosition(static_cast<TPosition>(v)); })
        .Enum(u"WindowState", kState,
              [](TCustomForm& f, int v) { f.SetWindowState(static_cast<TWindowState>(v)); })
        .Bool(u"KeyPreview", [](TCustomForm& f, bool v) { f.SetKeyPreview(v); })
        .Ref<TMainMenu>(u"Menu", [](TCustomForm& f, TMainMenu* m) { f.SetMenu(m); })
        .Ref<TWinControl>(u"ActiveControl",
                          [](TCustomForm& f, TWinControl* c) { f.SetActiveControl(c); })
        .Str(u"Icon.Resource",
             [](TCustomForm& f, const std::u16string& v) { f.SetIconResource(v); })
        .Event<void(TObject*)>(u"OnCreate", &TCustomForm::OnCreate)
        .Event<void(TObject*)>(u"OnShow", &TCustomForm::OnShow)
        .Event<void(TObject*)>(u"OnHide", &TCustomForm::OnHide)
        .Event<void(TObject*)>(u"OnActivate", &TCustomForm::OnActivate)
        .Event<void(TObject*)>(u"OnDeactivate", &TCustomForm::OnDeactivate)
        .Event<void(TObject*, TCloseAction&)>(u"OnClose", &TCustomForm::OnClose)
        .Event<void(TObject*, bool&)>(u"OnCloseQuery", &TCustomForm::OnCloseQuery)
        .Ignore({u"Scaled", u"FormStyle", u"AutoScroll", u"GlassFrame.Enabled"});
    RegisterComponentClass<TForm>(u"TCustomForm");
}

} // namespace detail

} // namespace kv
