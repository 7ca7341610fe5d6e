#pragma once
// Actions: a command with caption, hint, short cut, enabled, visible, checked, image index and
// help context, run by OnExecute; the controls, menu items and tool buttons linked to it follow
// every change. An action list holds actions, their image list and their short cuts, and
// updates them (OnUpdate) when the application is idle. Interface thread only.
#include <string>
#include <vector>

#include "ui/Component.h"
#include "ui/Control.h"

namespace kv {

class TCustomImageList;
class TActionList;

class TBasicAction : public TComponent {
    KV_CLASS(TBasicAction)
public:
    explicit TBasicAction(TComponent* owner);
    ~TBasicAction() override;

    // Runs OnExecute with the action as sender; false when there is none (or disabled).
    virtual bool Execute();
    // Runs OnUpdate; false when there is none.
    virtual bool Update();
    TNotifyEvent OnExecute, OnUpdate;

    void RegisterClient(TActionClient* client);
    void UnRegisterClient(TActionClient* client);

protected:
    // Tells every linked client that a property changed.
    void Change();

private:
    std::vector<TActionClient*> clients_; // not owned
};

class TCustomAction : public TBasicAction {
    KV_CLASS(TCustomAction)
public:
    explicit TCustomAction(TComponent* owner);
    ~TCustomAction() override;

    const std::u16string& Caption() const { return caption_; }
    void SetCaption(const std::u16string& v);
    const std::u16string& Hint() const { return hint_; }
    void SetHint(const std::u16string& v);
    TShortCut ShortCut() const { return shortCut_; }
    void SetShortCut(TShortCut v);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v);
    bool Visible() const { return visible_; }
    void SetVisible(bool v);
    bool Checked() const { return checked_; }
    void SetChecked(bool v);
    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int v);
    int HelpContext() const { return helpContext_; }
    void SetHelpContext(int v);

    TActionList* ActionList() const { return actionList_; }
    void SetActionList(TActionList* list);
    void SetParentComponent(TComponent* parent) override;

    bool Execute() override;

private:
    std::u16string caption_, hint_;
    TShortCut shortCut_ = scNone;
    bool enabled_ = true, visible_ = true, checked_ = false;
    int imageIndex_ = -1;
    int helpContext_ = 0;
    TActionList* actionList_ = nullptr; // not owned
};

class TAction : public TCustomAction {
    KV_CLASS(TAction)
public:
    explicit TAction(TComponent* owner) : TCustomAction(owner) {}
};

class TActionList : public TComponent {
    KV_CLASS(TActionList)
public:
    explicit TActionList(TComponent* owner);
    ~TActionList() override;

    int ActionCount() const { return static_cast<int>(actions_.size()); }
    TCustomAction* Actions(int i) const { return actions_[static_cast<size_t>(i)]; }
    TCustomImageList* Images() const { return images_; }
    void SetImages(TCustomImageList* images);
    // Executes the enabled action with that short cut; true when one ran.
    bool IsShortCut(TShortCut shortCut);
    // Runs every action's OnUpdate.
    void UpdateActions();
    void Notification(TComponent* c, TOperation op) override;

    void AddAction(TCustomAction* a);
    void RemoveAction(TCustomAction* a);

private:
    std::vector<TCustomAction*> actions_; // owned by the form
    TCustomImageList* images_ = nullptr;  // not owned
};

// The action manager of the forms: an action list by another name.
class TActionManager : public TActionList {
    KV_CLASS(TActionManager)
public:
    explicit TActionManager(TComponent* owner) : TActionList(owner) {}
};

} // namespace kv
