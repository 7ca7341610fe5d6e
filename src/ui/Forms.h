#pragma once
// Forms: top-level windows built from form descriptions, with border styles, positions
// (centred on the screen or the owner), window state and normal bounds from the window
// placement, Show/Hide/Close with their events, ShowModal with a modal result, Default and
// Cancel buttons answering Enter and Esc, Tab order navigation, mnemonics, short cuts of menus
// and actions, and F1 help. TScreen holds the screen cursor and the list of forms.
// Interface thread only.
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/Control.h"

namespace kv {

class TMainMenu;

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TPosition {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter
};
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
using TBorderIcons = unsigned;
constexpr TBorderIcons biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8;
enum TCloseAction { caNone, caHide, caFree, caMinimize };

using TCloseEvent = std::function<void(TObject* sender, TCloseAction& action)>;
using TCloseQueryEvent = std::function<void(TObject* sender, bool& canClose)>;

class TCustomForm : public TWinControl {
    KV_CLASS(TCustomForm)
public:
    explicit TCustomForm(TComponent* owner);
    ~TCustomForm() override;

    // Builds the form from the RCDATA resource of that name (see TReader), then fires
    // OnCreate. Form classes register their handlers and fields before calling it.
    void ReadForm(std::u16string_view resourceName);

    TFormBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle v);
    TBorderIcons BorderIcons() const { return borderIcons_; }
    void SetBorderIcons(TBorderIcons v);
    TPosition Position() const { return position_; }
    void SetPosition(TPosition v) { position_ = v; }
    TWindowState WindowState() const;
    void SetWindowState(TWindowState v);
    // The bounds the window has when it is neither minimised nor maximised (the placement's
    // normal rectangle once the window exists).
    RECT NormalBounds() const;
    TMainMenu* Menu() const { return menu_; }
    void SetMenu(TMainMenu* menu);
    bool KeyPreview() const { return keyPreview_; }
    void SetKeyPreview(bool v) { keyPreview_ = v; }
    // The big and small icon from an icon resource of the executable.
    void SetIconResource(const std::u16string& name);

    TWinControl* ActiveControl() const { return activeControl_; }
    void SetActiveControl(TWinControl* control);
    bool Active() const;

    TModalResult ModalResult() const { return modalResult_; }
    // Setting a result while the form is modal ends ShowModal at the next turn of its loop.
    void SetModalResult(TModalResult v);
    // Shows the form modally: other windows of the program are disabled until a button with
    // a modal result, SetModalResult or Close ends it; returns the modal result.
    TModalResult ShowModal();
    bool Modal() const { return modal_; }
    // Asks OnCloseQuery, then OnClose decides: hide (default), free, minimise or nothing.
    // Closing the main form ends the program; closing a modal form ends it with mrCancel.
    void Close();
    // Frees the form once the messages now waiting are handled.
    void Release();
    void BringToFront();

    TNotifyEvent OnCreate, OnShow, OnHide, OnActivate, OnDeactivate;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;

    void SetVisible(bool v) override;
    void SetClientSize(int width, int height) override;
    void Loaded() override;
    void Notification(TComponent* c, TOperation op) override;

    // Used by the framework.
    void FocusChanged(TWinControl* focused);
    // Keyboard message of a control of this form, before it is dispatched; true when used.
    bool PreTranslateKey(MSG& msg, TWinControl* control);
    // Runs a menu or action short cut of this form; true when one took it.
    virtual bool IsShortCut(TShortCut shortCut);
    // Moves the focus to the next (or previous) tab stop of the form.
    void SelectNext(bool forward);

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWindowHandleDone() override;
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;
    virtual bool CloseQuery();
    virtual void DoClose(TCloseAction& action);

private:
    void MarkDestroyingForm();
    void PlaceOnShow();
    void SyncBoundsFromWindow();
    void FocusFirst();
    TWinControl* FindNextControl(TWinControl* current, bool forward);

    TFormBorderStyle borderStyle_ = bsSizeable;
    TBorderIcons borderIcons_ = biSystemMenu | biMinimize | biMaximize;
    TPosition position_ = poDesigned;
    TWindowState windowState_ = wsNormal;
    TMainMenu* menu_ = nullptr;            // not owned
    TWinControl* activeControl_ = nullptr; // not owned
    bool keyPreview_ = false;
    TModalResult modalResult_ = mrNone;
    bool modal_ = false;
    int clientWidthWanted_ = -1, clientHeightWanted_ = -1;
    HICON bigIcon_ = nullptr, smallIcon_ = nullptr; // shared resource icons
};

class TForm : public TCustomForm {
    KV_CLASS(TForm)
public:
    explicit TForm(TComponent* owner) : TCustomForm(owner) {}
};

class TScreen : public TComponent {
    KV_CLASS(TScreen)
public:
    explicit TScreen(TComponent* owner);
    ~TScreen() override;
    // The cursor shown over every window of the program; crDefault lets each control show
    // its own.
    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor c);
    // The cursor table: the handle shown for a cursor number. The built-in numbers (crArrow and
    // the other negative ones) give the system's cursors unless replaced; any other number gives
    // what SetCursors stored there, else the arrow. Handles are not owned (shared cursors).
    HCURSOR Cursors(TCursor c) const;
    void SetCursors(TCursor c, HCURSOR handle);
    int FormCount() const { return static_cast<int>(forms_.size()); }
    TCustomForm* Forms(int i) const { return forms_[static_cast<size_t>(i)]; }
    TCustomForm* ActiveForm() const;
    int Width() const { return GetSystemMetrics(SM_CXSCREEN); }
    int Height() const { return GetSystemMetrics(SM_CYSCREEN); }
    RECT WorkAreaRect() const;

    void AddForm(TCustomForm* f) { forms_.push_back(f); }
    void RemoveForm(TCustomForm* f);

private:
    TCursor cursor_ = crDefault;
    std::vector<std::pair<TCursor, HCURSOR>> cursors_; // entries set by SetCursors
    std::vector<TCustomForm*> forms_;                  // not owned
};

// The screen object of the process (made with the application object).
extern TScreen* Screen;

} // namespace kv
