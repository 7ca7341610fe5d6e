#pragma once
// The program's icon in the notification area: shown while Visible, with a hint, and click
// events. A hidden window of its own receives the shell's callback messages.
// Interface thread only.
#include <windows.h>

#include <string>

#include "ui/Component.h"

namespace kv {

class TTrayIcon : public TComponent {
    KV_CLASS(TTrayIcon)
public:
    explicit TTrayIcon(TComponent* owner);
    ~TTrayIcon() override;

    bool Visible() const { return visible_; }
    // Adds the icon to the notification area, or removes it.
    void SetVisible(bool v);
    const std::u16string& Hint() const { return hint_; }
    void SetHint(const std::u16string& v);
    // An icon resource of the executable; without one the application's first icon.
    void SetIconResource(const std::u16string& name);
    // The window that receives the shell's messages (kCallbackMessage).
    HWND Handle() const { return handle_; }
    static constexpr UINT kCallbackMessage = WM_APP + 0x100;

    TNotifyEvent OnClick, OnDblClick;
    void Loaded() override;

private:
    static LRESULT CALLBACK WndProc(HWND wnd, UINT msg, WPARAM w, LPARAM l);
    bool Notify(DWORD message);
    HWND handle_ = nullptr;
    bool visible_ = false;
    bool added_ = false;
    std::u16string hint_;
    HICON icon_ = nullptr; // shared resource icon
};

} // namespace kv
