#pragma once
// The widgets' push button: a drop-down menu opened below the button after its click, a
// hot-track font worn while the mouse is over it, captions whose '|' breaks the line while
// word wrap is on, and buttons of one form kept the same size. Win32; interface thread.
#include <functional>
#include <string>

#include "ui/Menus.h"
#include "widgets/WlExStdCtrls.h"
#include "widgets/WlTypes.h"

namespace kv {

using TWlDropDownMenuEvent = std::function<void(TObject* sender, POINT mousePos, bool& handled)>;

class TWlCustomButton : public TWlExButton {
    KV_CLASS(TWlCustomButton)
public:
    explicit TWlCustomButton(TComponent* owner);
    ~TWlCustomButton() override;

    TPopupMenu* DropDownMenu() const { return dropDownMenu_; }
    void SetDropDownMenu(TPopupMenu* menu);
    bool DropArrow() const { return dropArrow_; }
    void SetDropArrow(bool v);
    bool HotTrack() const { return hotTrack_; }
    void SetHotTrack(bool v) { hotTrack_ = v; }
    // The font worn while the mouse is over a hot-tracking button.
    TFont& HotTrackFont() { return hotFont_; }
    const TFont& HotTrackFont() const { return hotFont_; }
    void SetHotTrackFont(const TFont& font) { hotFont_.Assign(font); }
    TWlTrackFontOptions HotTrackFontOptions() const { return hotTrackFontOptions_; }
    void SetHotTrackFontOptions(TWlTrackFontOptions v);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool v);
    bool ForceSameSize() const { return forceSameSize_; }
    void SetForceSameSize(bool v) { forceSameSize_ = v; }

    TWlDropDownMenuEvent OnDropDownMenu;

    // The click, then the drop-down menu below the button's bottom-left corner.
    void Click() override;
    // Opens the drop-down menu at a screen point (moved by the width when the menu is
    // right-aligned, by half of it when centred); false without a menu.
    virtual bool ShowDropDownMenu(int x, int y);
    // A downward triangle filling r, in the window text colour (the inactive caption colour
    // while disabled).
    virtual void DrawDropArrow(TWlCanvas& canvas, const RECT& r);
    // The text the button shows.
    virtual std::u16string GetDrawnCaption() const;

    void SetBounds(int left, int top, int width, int height) override;
    void Notification(TComponent* c, TOperation op) override;
    void StoredProperties(TWlPropertyWriter& w) const override;

protected:
    void CreateParams(TCreateParams& p) override;
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;
    void HandleTextChanged() override;
    void HandleMouseEnter(TControl* control) override;
    void HandleMouseLeave(TControl* control) override;
    void HandleFontChanged() override;
    // The caption as the window holds it ('|' broken while word wrap is on).
    std::u16string WindowCaption() const;
    // Copies the tracked attributes of the button font into the hot-track font.
    void CopyTrackedFont();

private:
    TPopupMenu* dropDownMenu_ = nullptr; // not owned
    bool hotTrack_ = false;
    TFont hotFont_;
    TFont fontSave_;
    bool wordWrap_ = true;
    bool forceSameSize_ = false;
    TWlTrackFontOptions hotTrackFontOptions_ = kWlDefaultHotTrackFontOptions;
    bool dropArrow_ = false;
};

} // namespace kv
