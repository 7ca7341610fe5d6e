#pragma once
// Menus: the form's menu bar and pop-up menus built from trees of menu items; an item shows
// its caption with the short-cut text, may follow an action, and runs OnClick (or the action).
// Interface thread only.
#include <windows.h>

#include <string>
#include <vector>

#include "ui/Component.h"
#include "ui/Control.h"

namespace kv {

class TMenu;
class TCustomImageList;

class TMenuItem : public TComponent, public TActionClient {
    KV_CLASS(TMenuItem)
public:
    explicit TMenuItem(TComponent* owner);
    // Frees its sub-items too.
    ~TMenuItem() override;

    const std::u16string& Caption() const { return caption_; }
    void SetCaption(const std::u16string& v);
    TShortCut ShortCut() const { return shortCut_; }
    void SetShortCut(TShortCut v);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v);
    bool Visible() const { return visible_; }
    void SetVisible(bool v);
    bool Checked() const { return checked_; }
    void SetChecked(bool v);
    const std::u16string& Hint() const { return hint_; }
    void SetHint(const std::u16string& v) { hint_ = v; }
    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int v) { imageIndex_ = v; }
    TBasicAction* Action() const { return action_; }
    void SetAction(TBasicAction* a);
    bool IsLine() const { return caption_ == u"-"; }

    int Count() const { return static_cast<int>(items_.size()); }
    TMenuItem* Items(int i) const { return items_[static_cast<size_t>(i)]; }
    void Add(TMenuItem* item);
    void Remove(TMenuItem* item);
    TMenuItem* Parent() const { return parent_; }
    TMenu* Menu() const;
    UINT Command() const { return command_; }

    TNotifyEvent OnClick;
    // OnClick, or the action's execution when there is no OnClick.
    virtual void Click();

    void SetParentComponent(TComponent* parent) override;
    void ActionChange(TBasicAction* action) override;
    void ActionRemoved() override;

    // Builds the platform menu of the sub-items into menu.
    void BuildInto(HMENU menu);
    // The enabled item with that short cut below this one, or null.
    TMenuItem* FindShortCut(TShortCut shortCut);
    static TMenuItem* FindCommand(UINT command);

private:
    friend class TMenu;
    void Changed();
    std::u16string caption_, hint_;
    TShortCut shortCut_ = scNone;
    bool enabled_ = true, visible_ = true, checked_ = false;
    int imageIndex_ = -1;
    TBasicAction* action_ = nullptr; // not owned
    TMenuItem* parent_ = nullptr;    // not owned
    TMenu* menu_ = nullptr;          // not owned, for root items
    std::vector<TMenuItem*> items_;  // freed with this item
    UINT command_;
};

class TMenu : public TComponent {
    KV_CLASS(TMenu)
public:
    explicit TMenu(TComponent* owner);
    ~TMenu() override;
    // The invisible root whose sub-items are the menu's items.
    TMenuItem& Items() { return *root_; }
    TCustomImageList* Images() const { return images_; }
    void SetImages(TCustomImageList* images);
    // Runs the item with that short cut; true when one ran.
    bool IsShortCut(TShortCut shortCut);
    // Brings the items' actions up to date before a sub-menu opens.
    void InitPopup(HMENU popup);
    // The platform menu changed: rebuilt on the next use.
    virtual void Changed() {}
    void Notification(TComponent* c, TOperation op) override;

private:
    TMenuItem* root_; // owned
    TCustomImageList* images_ = nullptr;
};

class TMainMenu : public TMenu {
    KV_CLASS(TMainMenu)
public:
    explicit TMainMenu(TComponent* owner);
    ~TMainMenu() override;
    // The menu bar (built on first use, rebuilt in place after changes).
    HMENU Handle();
    void Changed() override;

private:
    HMENU handle_ = nullptr;
};

// Which edge of a pop-up menu lies at the point it opens at.
enum TPopupAlignment { paLeft, paRight, paCenter };

class TPopupMenu : public TMenu {
    KV_CLASS(TPopupMenu)
public:
    explicit TPopupMenu(TComponent* owner);
    bool AutoPopup() const { return autoPopup_; }
    void SetAutoPopup(bool v) { autoPopup_ = v; }
    TPopupAlignment Alignment() const { return alignment_; }
    void SetAlignment(TPopupAlignment v) { alignment_ = v; }
    // The control the menu was last opened for.
    TComponent* PopupComponent() const { return popupComponent_; }
    void SetPopupComponent(TComponent* c) { popupComponent_ = c; }
    // Shows the menu at a screen point and runs the chosen item.
    virtual void Popup(int x, int y);
    TNotifyEvent OnPopup;
    void Notification(TComponent* c, TOperation op) override;

private:
    bool autoPopup_ = true;
    TPopupAlignment alignment_ = paLeft;
    TComponent* popupComponent_ = nullptr; // not owned
};

} // namespace kv
