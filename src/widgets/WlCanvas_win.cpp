#include "widgets/WlCanvas.h"

#include <type_traits>

#include "ui/ImgList.h"

namespace kv {

namespace {

// uxtheme is looked up at run time: the theme functions stay optional on systems (and Wine
// prefixes) without it.
using HTHEME_ = HANDLE;
struct ThemeApi {
    HTHEME_(WINAPI* open)(HWND, LPCWSTR) = nullptr;
    HRESULT(WINAPI* close)(HTHEME_) = nullptr;
    HRESULT(WINAPI* drawBackground)(HTHEME_, HDC, int, int, const RECT*, const RECT*) = nullptr;
    HRESULT(WINAPI* contentRect)(HTHEME_, HDC, int, int, const RECT*, RECT*) = nullptr;
    HRESULT(WINAPI* drawParent)(HWND, HDC, const RECT*) = nullptr;
    BOOL(WINAPI* partlyTransparent)(HTHEME_, int, int) = nullptr;
    BOOL(WINAPI* isActive)() = nullptr;
    BOOL(WINAPI* isAppThemed)() = nullptr;
    bool complete = false;
};

const ThemeApi& Api() {
    static const ThemeApi api = [] {
        ThemeApi a;
        HMODULE m = LoadLibraryW(L"uxtheme.dll");
        if (!m) return a;
        const auto get = [m](auto& fn, const char* name) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(
                reinterpret_cast<void*>(GetProcAddress(m, name)));
        };
        get(a.open, "OpenThemeData");
        get(a.close, "CloseThemeData");
        get(a.drawBackground, "DrawThemeBackground");
        get(a.contentRect, "GetThemeBackgroundContentRect");
        get(a.drawParent, "DrawThemeParentBackground");
        get(a.partlyTransparent, "IsThemeBackgroundPartiallyTransparent");
        get(a.isActive, "IsThemeActive");
        get(a.isAppThemed, "IsAppThemed");
        a.complete = a.open && a.close && a.drawBackground && a.contentRect && a.drawParent &&
                     a.partlyTransparent && a.isActive && a.isAppThemed;
        return a;
    }();
    return api;
}

// The button theme of a window for the scope.
class ButtonTheme {
public:
    explicit ButtonTheme(HWND wnd)
        : theme_(Api().complete ? Api().open(wnd, L"BUTTON") : nullptr) {}
    ~ButtonTheme() {
        if (theme_) Api().close(theme_);
    }
    ButtonTheme(const ButtonTheme&) = delete;
    ButtonTheme& operator=(const ButtonTheme&) = delete;
    HTHEME_ get() const { return theme_; }

private:
    HTHEME_ theme_;
};

constexpr int kPushButtonPart = 1; // BP_PUSHBUTTON
int g_themesOverride = -1;         // -1: ask the system

} // namespace

void TWlCanvas::SetPenColor(TColor c) {
    target_.Pen().SetColor(c);
}
void TWlCanvas::SetPenWidth(int w) {
    target_.Pen().SetWidth(w);
}
void TWlCanvas::SetPenStyle(TPenStyle s) {
    target_.Pen().SetStyle(s);
}
void TWlCanvas::SetPenMode(TPenMode m) {
    target_.Pen().SetMode(m);
}
void TWlCanvas::SetBrushColor(TColor c) {
    target_.Brush().SetColor(c);
}
void TWlCanvas::SetBrushStyle(TBrushStyle s) {
    target_.Brush().SetStyle(s);
}
void TWlCanvas::SetFontColor(TColor c) {
    target_.Font().SetColor(c);
}
void TWlCanvas::MoveTo(int x, int y) {
    target_.MoveTo(x, y);
}
void TWlCanvas::LineTo(int x, int y) {
    target_.LineTo(x, y);
}
void TWlCanvas::Rectangle(const RECT& r) {
    target_.Rectangle(r);
}
void TWlCanvas::FillRect(const RECT& r) {
    target_.FillRect(r);
}
void TWlCanvas::FrameRect(const RECT& r) {
    target_.FrameRect(r);
}
void TWlCanvas::DrawFocusRect(const RECT& r) {
    target_.DrawFocusRect(r);
}
int TWlCanvas::DrawText(const std::u16string& text, RECT& r, UINT flags) {
    return target_.DrawText(text, r, flags);
}
void TWlCanvas::DrawFrameControl(RECT& r, UINT type, UINT state) {
    if (HDC dc = target_.Handle()) ::DrawFrameControl(dc, &r, type, state);
}
void TWlCanvas::DrawImage(TCustomImageList& list, int index, int x, int y, bool enabled) {
    list.Draw(target_, x, y, index, enabled);
}

void TWlCanvas::DrawThemeParentBackground(HWND wnd, int state, const RECT& r) {
    const ButtonTheme theme(wnd);
    if (theme.get() && Api().partlyTransparent(theme.get(), kPushButtonPart, state))
        Api().drawParent(wnd, target_.Handle(), &r);
}

void TWlCanvas::DrawThemeButton(HWND wnd, int state, const RECT& r) {
    const ButtonTheme theme(wnd);
    if (theme.get())
        Api().drawBackground(theme.get(), target_.Handle(), kPushButtonPart, state, &r, nullptr);
}

RECT TWlCanvas::ThemeButtonContentRect(HWND wnd, int state, const RECT& r) {
    RECT content = r;
    const ButtonTheme theme(wnd);
    if (!theme.get() || FAILED(Api().contentRect(theme.get(), target_.Handle(), kPushButtonPart,
                                                 state, &r, &content))) {
        content = r;
        InflateRect(&content, -4, -4);
    }
    return content;
}

bool WlThemesEnabled() {
    if (g_themesOverride >= 0) return g_themesOverride != 0;
    const ThemeApi& api = Api();
    return api.complete && api.isActive() && api.isAppThemed();
}

TWlThemesOverride::TWlThemesOverride(bool enabled) : previous_(g_themesOverride) {
    g_themesOverride = enabled ? 1 : 0;
}

TWlThemesOverride::~TWlThemesOverride() {
    g_themesOverride = previous_;
}

} // namespace kv
