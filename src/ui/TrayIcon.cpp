#include "ui/TrayIcon.h"

#include <shellapi.h>

#include <algorithm>

#include "ui/ClassRegistry.h"
#include "ui/Internal.h"

namespace kv {

namespace {
constexpr wchar_t kTrayClass[] = L"TTrayIconWindow";
}

TTrayIcon::TTrayIcon(TComponent* owner) : TComponent(owner) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &TTrayIcon::WndProc;
    wc.hInstance = detail::Instance();
    wc.lpszClassName = kTrayClass;
    RegisterClassExW(&wc);
    handle_ = CreateWindowExW(0, kTrayClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              detail::Instance(), nullptr);
    SetWindowLongPtrW(handle_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    icon_ = static_cast<HICON>(LoadImageW(detail::Instance(), MAKEINTRESOURCEW(1), IMAGE_ICON,
                                          GetSystemMetrics(SM_CXSMICON),
                                          GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    if (!icon_) icon_ = LoadIconW(nullptr, IDI_APPLICATION);
}

TTrayIcon::~TTrayIcon() {
    Destroying();
    if (added_) Notify(NIM_DELETE);
    if (handle_) {
        SetWindowLongPtrW(handle_, GWLP_USERDATA, 0);
        DestroyWindow(handle_);
    }
}

bool TTrayIcon::Notify(DWORD message) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = handle_;
    data.uID = 1;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kCallbackMessage;
    data.hIcon = icon_;
    const size_t n = std::min<size_t>(hint_.size(), 127);
    for (size_t i = 0; i < n; ++i) data.szTip[i] = static_cast<wchar_t>(hint_[i]);
    return Shell_NotifyIconW(message, &data) != FALSE;
}

void TTrayIcon::SetVisible(bool v) {
    if (v == visible_) return;
    visible_ = v;
    if (IsLoading()) return;
    if (v) {
        added_ = Notify(NIM_ADD);
    } else if (added_) {
        Notify(NIM_DELETE);
        added_ = false;
    }
}

void TTrayIcon::SetHint(const std::u16string& v) {
    hint_ = v;
    if (added_) Notify(NIM_MODIFY);
}

void TTrayIcon::SetIconResource(const std::u16string& name) {
    if (HICON icon = static_cast<HICON>(LoadImageW(detail::Instance(), W(name), IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXSMICON),
                                                   GetSystemMetrics(SM_CYSMICON), LR_SHARED)))
        icon_ = icon;
    if (added_) Notify(NIM_MODIFY);
}

void TTrayIcon::Loaded() {
    TComponent::Loaded();
    if (visible_ && !added_) added_ = Notify(NIM_ADD);
}

LRESULT CALLBACK TTrayIcon::WndProc(HWND wnd, UINT msg, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<TTrayIcon*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
    if (self && msg == kCallbackMessage) {
        try {
            switch (LOWORD(l)) {
            case WM_LBUTTONUP:
                if (self->OnClick && !self->IsDestroying()) self->OnClick(self);
                break;
            case WM_LBUTTONDBLCLK:
                if (self->OnDblClick && !self->IsDestroying()) self->OnDblClick(self);
                break;
            default:
                break;
            }
        } catch (...) {
            detail::HandleEscapedException(self);
        }
        return 0;
    }
    return DefWindowProcW(wnd, msg, w, l);
}

namespace detail {
void RegisterTrayIconClasses() {
    RegisterComponentClass<TTrayIcon>(u"TComponent")
        .Bool(u"Visible", [](TTrayIcon& t, bool v) { t.SetVisible(v); })
        .Str(u"Hint", [](TTrayIcon& t, const std::u16string& v) { t.SetHint(v); })
        .Str(u"Icon.Resource", [](TTrayIcon& t, const std::u16string& v) { t.SetIconResource(v); })
        .Event<void(TObject*)>(u"OnClick", &TTrayIcon::OnClick)
        .Event<void(TObject*)>(u"OnDblClick", &TTrayIcon::OnDblClick)
        .Ignore({u"BalloonFlags", u"BalloonTimeout", u"Animate", u"AnimateInterval", u"IconIndex"});
}
} // namespace detail

} // namespace kv
