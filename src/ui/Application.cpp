#include "ui/Application.h"

#include <commctrl.h>

#include <algorithm>

#include "base/MessagePump.h"
#include "base/Text.h"
#include "ui/ActnList.h"
#include "ui/ClassRegistry.h"
#include "ui/ComCtrls.h"
#include "ui/Forms.h"
#include "ui/Internal.h"
#include "ui/Services.h"

namespace kv {

TApplication* Application = nullptr;

namespace {
constexpr UINT kReleaseForm = WM_APP + 1;
constexpr wchar_t kAppClass[] = L"TApplication";
} // namespace

TApplication::TApplication(TComponent* owner) : TComponent(owner) {
    Application = this;
    RegisterUiClasses();
    detail::InitCommonControlsOnce();
    if (!Screen) Screen = new TScreen(this);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &AppWndProc;
    wc.hInstance = detail::Instance();
    wc.lpszClassName = kAppClass;
    RegisterClassExW(&wc);
    handle_ = CreateWindowExW(WS_EX_TOOLWINDOW, kAppClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                              nullptr, detail::Instance(), nullptr);
    lastPump_ = GetTickCount();
    SetMessagePump(&PumpHook, this);
}

TApplication::~TApplication() {
    Destroying();
    SetMessagePump(nullptr, nullptr);
    // Forms and everything else go before the window and the globals.
    while (ComponentCount() > 0) delete Components(ComponentCount() - 1);
    mainForm_ = nullptr;
    if (tooltip_) DestroyWindow(tooltip_);
    if (handle_) DestroyWindow(handle_);
    if (Application == this) Application = nullptr;
}

void TApplication::SetTitle(const std::u16string& title) {
    title_ = title;
    if (handle_) SetWindowTextW(handle_, W(title_));
}

LRESULT CALLBACK TApplication::AppWndProc(HWND wnd, UINT msg, WPARAM w, LPARAM l) {
    try {
        if (msg == kReleaseForm && Application && Screen) {
            auto* form = reinterpret_cast<TCustomForm*>(l);
            for (int i = 0; i < Screen->FormCount(); ++i)
                if (Screen->Forms(i) == form) {
                    delete form;
                    break;
                }
            return 0;
        }
    } catch (...) {
        detail::HandleEscapedException(Application);
        return 0;
    }
    return DefWindowProcW(wnd, msg, w, l);
}

void TApplication::PumpHook(void* context) {
    auto* app = static_cast<TApplication*>(context);
    const DWORD now = GetTickCount();
    if (now - app->lastPump_ < kPumpSliceMs) return;
    app->lastPump_ = now;
    app->ProcessMessages();
}

void TApplication::Run() {
    if (mainForm_ && showMainForm_) mainForm_->Show();
    while (!terminated_) {
        // A system exception of this turn that the hook handled ends the turn.
        detail::SehFrame frame;
        if (KV_SEH_RESUMED(frame)) continue;
        try {
            HandleMessage();
        } catch (...) {
            HandleException(this);
        }
    }
}

void TApplication::Terminate() {
    PostQuitMessage(0);
}

void TApplication::ProcessMessages() {
    MSG msg;
    while (ProcessMessage(msg)) {}
    lastPump_ = GetTickCount();
}

void TApplication::HandleMessage() {
    MSG msg;
    if (!ProcessMessage(msg)) Idle();
}

bool TApplication::ProcessMessage(MSG& msg) {
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
        terminated_ = true;
        return true;
    }
    bool handled = false;
    try {
        handled = IsKeyMsg(msg);
    } catch (...) {
        HandleException(TWinControl::FindControl(msg.hwnd));
        handled = true;
    }
    if (!handled) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}

bool TApplication::IsKeyMsg(MSG& msg) {
    if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
    // The key goes to the control that owns the window, or to the nearest one of ours above
    // it (the edit box inside a combo box).
    TWinControl* control = nullptr;
    for (HWND w = msg.hwnd; w && !control; w = GetParent(w)) control = TWinControl::FindControl(w);
    if (!control) return false;
    TCustomForm* form = control->GetParentForm();
    return form && form->PreTranslateKey(msg, control);
}

void TApplication::Idle() {
    bool done = true;
    if (OnIdle) {
        // A copy: the handler may clear or replace the slot while it runs.
        const TIdleEvent handler = OnIdle;
        try {
            handler(this, done);
        } catch (...) {
            HandleException(this);
        }
    }
    try {
        for (int f = 0; Screen && f < Screen->FormCount(); ++f) {
            TCustomForm* form = Screen->Forms(f);
            if (!form->Visible()) continue;
            for (int i = 0; i < form->ComponentCount(); ++i)
                if (auto* list = dynamic_cast<TActionList*>(form->Components(i)))
                    list->UpdateActions();
        }
    } catch (...) {
        HandleException(this);
    }
    if (done) WaitMessage();
}

void TApplication::Minimize() {
    if (mainForm_ && mainForm_->HandleAllocated()) ShowWindow(mainForm_->Handle(), SW_MINIMIZE);
}

void TApplication::Restore() {
    if (mainForm_ && mainForm_->HandleAllocated() && IsIconic(mainForm_->Handle()))
        ShowWindow(mainForm_->Handle(), SW_RESTORE);
}

void TApplication::BringToFront() {
    TCustomForm* form = Screen ? Screen->ActiveForm() : nullptr;
    if (!form) form = mainForm_;
    if (form) form->BringToFront();
}

void TApplication::MainFormMinimized() {
    if (minimized_) return;
    minimized_ = true;
    if (OnMinimize) OnMinimize(this);
    const auto listeners = listeners_;
    for (TApplicationEvents* e : listeners)
        if (e->OnMinimize) e->OnMinimize(this);
}

void TApplication::MainFormRestored() {
    if (!minimized_) return;
    minimized_ = false;
    if (OnRestore) OnRestore(this);
    const auto listeners = listeners_;
    for (TApplicationEvents* e : listeners)
        if (e->OnRestore) e->OnRestore(this);
}

TApplication::THandleExceptionHook& TApplication::HandleHook() {
    static THandleExceptionHook hook;
    return hook;
}

TApplication::TShowExceptionHook& TApplication::ShowHook() {
    static TShowExceptionHook hook;
    return hook;
}

void TApplication::HandleException(TObject* sender) {
    try {
        if (const THandleExceptionHook hook = HandleHook(); hook && !hook(sender)) return;
        // The object handled is the one being handled by our caller's catch block, alive until
        // that block ends: handlers and the display see it, not a copy cut down to the base.
        Exception other(u"");
        const Exception* shown = &other;
        try {
            throw;
        } catch (const EAbort&) {
            return; // the silent abort
        } catch (const Exception& e) {
            shown = &e;
        } catch (const std::exception& e) {
            other = Exception(Utf8ToUtf16(e.what()));
        } catch (...) {}
        if (OnException) {
            OnException(sender, *shown);
            return;
        }
        const auto listeners = listeners_;
        for (TApplicationEvents* e : listeners)
            if (e->OnException) {
                e->OnException(sender, *shown);
                return;
            }
        ShowException(*shown);
    } catch (...) {
        // The handling itself failed; nothing more can be done here.
    }
}

void TApplication::ShowException(const Exception& e) {
    if (const TShowExceptionHook hook = ShowHook(); hook && !hook(e)) return;
    const std::u16string& text = e.Message();
    HWND owner = nullptr;
    if (TCustomForm* f = Screen ? Screen->ActiveForm() : nullptr) owner = f->Handle();
    Services().MessageBox(owner, text, title_, MB_OK | MB_ICONSTOP);
}

bool TApplication::HelpContext(int context) {
    return Services().Help(helpFile_, THelpCommand::Context, context);
}

bool TApplication::HelpShowTableOfContents() {
    return Services().Help(helpFile_, THelpCommand::Contents, 0);
}

void TApplication::SetHint(const std::u16string& hint, TCustomForm* form) {
    if (hint == hint_) return;
    hint_ = hint;
    if (OnHint) OnHint(this);
    const auto listeners = listeners_;
    for (TApplicationEvents* e : listeners)
        if (e->OnHint) e->OnHint(this);
    if (!form && mouseControl_) form = mouseControl_->GetParentForm();
    if (!form && Screen) form = Screen->ActiveForm();
    const auto targets = hintTargets_;
    for (TStatusBar* bar : targets)
        if (bar->GetParentForm() == form) bar->ShowApplicationHint(hint);
}

void TApplication::AddHintTarget(TStatusBar* bar) {
    if (std::find(hintTargets_.begin(), hintTargets_.end(), bar) == hintTargets_.end())
        hintTargets_.push_back(bar);
}

void TApplication::RemoveHintTarget(TStatusBar* bar) {
    hintTargets_.erase(std::remove(hintTargets_.begin(), hintTargets_.end(), bar),
                       hintTargets_.end());
}

void TApplication::AddListener(TApplicationEvents* e) {
    listeners_.push_back(e);
}

void TApplication::RemoveListener(TApplicationEvents* e) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), e), listeners_.end());
}

void TApplication::MouseOver(TWinControl* control) {
    if (control == mouseControl_) return;
    TControl* old = mouseControl_;
    mouseControl_ = control;
    if (old) old->MouseLeave();
    if (control && control->HandleAllocated()) {
        TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, control->Handle(), 0};
        TrackMouseEvent(&tme);
        if (control->Enabled()) control->MouseEnter();
    }
    ShowHintFor(control);
}

void TApplication::MouseLeft(TWinControl* control) {
    if (control != mouseControl_) return;
    // Into a window of ours the next mouse move will tell; anywhere else the hint ends.
    POINT pt;
    GetCursorPos(&pt);
    TWinControl* under = TWinControl::FindControl(WindowFromPoint(pt));
    if (under && under != control) return;
    mouseControl_ = nullptr;
    control->MouseLeave();
    ShowHintFor(nullptr);
}

void TApplication::ShowHintFor(TControl* control) {
    std::u16string hint;
    TControl* withHint = control;
    while (withHint && withHint->Hint().empty()) withHint = withHint->Parent();
    if (withHint) hint = withHint->Hint();
    SetHint(GetLongHint(hint), control ? control->GetParentForm() : nullptr);
    // The short hint as a tool tip near the control, when it asks for one.
    auto* win = dynamic_cast<TWinControl*>(control);
    if (!tooltip_) {
        tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                   WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, handle_, nullptr,
                                   detail::Instance(), nullptr);
        if (tooltip_) SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 400);
    }
    if (!tooltip_) return;
    TOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    if (tooltipTool_) {
        ti.hwnd = GetParent(tooltipTool_) ? GetParent(tooltipTool_) : tooltipTool_;
        ti.uId = reinterpret_cast<UINT_PTR>(tooltipTool_);
        SendMessageW(tooltip_, TTM_DELTOOL, 0, reinterpret_cast<LPARAM>(&ti));
        tooltipTool_ = nullptr;
    }
    const std::u16string shortHint = GetShortHint(hint);
    if (!win || !win->ShowHint() || shortHint.empty() || !win->HandleAllocated()) return;
    std::u16string text = shortHint;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = GetParent(win->Handle()) ? GetParent(win->Handle()) : win->Handle();
    ti.uId = reinterpret_cast<UINT_PTR>(win->Handle());
    ti.lpszText = const_cast<wchar_t*>(W(text));
    if (SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)))
        tooltipTool_ = win->Handle();
}

void TApplication::ControlDestroyed(TControl* control) {
    if (control == mouseControl_) mouseControl_ = nullptr;
    if (tooltipTool_ && tooltip_) {
        if (auto* w = dynamic_cast<TWinControl*>(control);
            w && w->HandleAllocated() && w->Handle() == tooltipTool_) {
            TOOLINFOW ti{};
            ti.cbSize = sizeof ti;
            ti.hwnd = GetParent(tooltipTool_) ? GetParent(tooltipTool_) : tooltipTool_;
            ti.uId = reinterpret_cast<UINT_PTR>(tooltipTool_);
            SendMessageW(tooltip_, TTM_DELTOOL, 0, reinterpret_cast<LPARAM>(&ti));
            tooltipTool_ = nullptr;
        }
    }
}

void TApplication::FormDestroyed(TCustomForm* form) {
    if (form == mainForm_) mainForm_ = nullptr;
}

// ---- TApplicationEvents -----------------------------------------------------------------------

TApplicationEvents::TApplicationEvents(TComponent* owner) : TComponent(owner) {
    if (Application) Application->AddListener(this);
}

TApplicationEvents::~TApplicationEvents() {
    if (Application) Application->RemoveListener(this);
}

namespace detail {
void RegisterApplicationClasses() {
    RegisterComponentClass<TApplicationEvents>(u"TComponent")
        .Event<void(TObject*)>(u"OnMinimize", &TApplicationEvents::OnMinimize)
        .Event<void(TObject*)>(u"OnRestore", &TApplicationEvents::OnRestore)
        .Event<void(TObject*)>(u"OnActivate", &TApplicationEvents::OnActivate)
        .Event<void(TObject*)>(u"OnDeactivate", &TApplicationEvents::OnDeactivate)
        .Event<void(TObject*)>(u"OnHint", &TApplicationEvents::OnHint)
        .Event<void(TObject*, const Exception&)>(u"OnException", &TApplicationEvents::OnException);
}
} // namespace detail

} // namespace kv
