#pragma once
// The application object: title, main form on the task bar, the message loop with keyboard
// handling for forms (short cuts, Tab, Enter/Esc for Default/Cancel buttons, mnemonics), a
// one-slot idle handler, ProcessMessages (also installed, time-sliced, as the base layer's
// message pump), Terminate, minimise/restore/bring to front, automatic hints, exception
// handling and display with hook slots for the crash-report component, and the help file.
// TApplicationEvents passes the application's events to a form. Interface thread only.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "base/Exception.h"
#include "ui/Component.h"
#include "ui/Types.h"

namespace kv {

class TCustomForm;
class TControl;
class TWinControl;
class TApplicationEvents;
class TStatusBar;

class TApplication : public TComponent {
    KV_CLASS(TApplication)
public:
    // Becomes the process's Application; creates the hidden application window and installs
    // ProcessMessages as the base layer's message pump (run at most every kPumpSliceMs).
    explicit TApplication(TComponent* owner = nullptr);
    ~TApplication() override;

    static constexpr DWORD kPumpSliceMs = 30;

    // The hidden window of class "TApplication" that owns forms when there is no main form.
    HWND Handle() const { return handle_; }
    const std::u16string& Title() const { return title_; }
    void SetTitle(const std::u16string& title);
    bool MainFormOnTaskBar() const { return mainFormOnTaskBar_; }
    void SetMainFormOnTaskBar(bool v) { mainFormOnTaskBar_ = v; }
    bool ShowMainForm() const { return showMainForm_; }
    void SetShowMainForm(bool v) { showMainForm_ = v; }

    TCustomForm* MainForm() const { return mainForm_; }
    // Creates a form owned by the application; the first one becomes the main form.
    template <class T, class... Args> T* CreateForm(Args&&... args) {
        T* form = new T(this, std::forward<Args>(args)...);
        if (!mainForm_) mainForm_ = form;
        return form;
    }
    void SetMainForm(TCustomForm* form) { mainForm_ = form; }

    // Shows the main form and runs the message loop until Terminate.
    void Run();
    // Ends the message loop (posts WM_QUIT); Terminated is true once it is seen.
    void Terminate();
    bool Terminated() const { return terminated_; }
    // Handles every waiting message, then returns.
    void ProcessMessages();
    // One message, or when none waits, the idle step (OnIdle; waits for a message when it
    // says it is done).
    void HandleMessage();

    // One slot: the handler sets done = false to be called again at once, and may clear or
    // replace itself while it runs.
    using TIdleEvent = std::function<void(TObject* sender, bool& done)>;
    TIdleEvent OnIdle;

    void Minimize();
    void Restore();
    void BringToFront();
    TNotifyEvent OnMinimize, OnRestore, OnActivate, OnDeactivate, OnHint;

    // Exception handling, called inside a catch block (the exception is the current one):
    // the hook slot first; when it answers true (or there is none), OnException, or without
    // one ShowException. Never throws.
    void HandleException(TObject* sender);
    // Shows the exception's message in an error box (through the message service).
    void ShowException(const Exception& e);
    using TExceptionEvent = std::function<void(TObject* sender, const Exception& e)>;
    TExceptionEvent OnException;
    // Detour slots for the crash-report component, process-wide (the component fills them
    // before any application object exists); the application's own step runs only when the
    // hook answers true.
    using THandleExceptionHook = std::function<bool(TObject* sender)>;
    using TShowExceptionHook = std::function<bool(const Exception& e)>;
    static void SetHandleExceptionHook(THandleExceptionHook hook) {
        HandleHook() = std::move(hook);
    }
    static void SetShowExceptionHook(TShowExceptionHook hook) { ShowHook() = std::move(hook); }

    const std::u16string& HelpFile() const { return helpFile_; }
    void SetHelpFile(const std::u16string& path) { helpFile_ = path; }
    // Shows the help topic of a context / the table of contents (through the help service).
    bool HelpContext(int context);
    bool HelpShowTableOfContents();

    // The hint of the control or menu item under the mouse (long part); status bars with
    // automatic hints on the same form show it.
    const std::u16string& Hint() const { return hint_; }
    void SetHint(const std::u16string& hint, TCustomForm* form = nullptr);
    void AddHintTarget(TStatusBar* bar);
    void RemoveHintTarget(TStatusBar* bar);
    TControl* MouseControl() const { return mouseControl_; }

    // Used by the framework.
    void AddListener(TApplicationEvents* e);
    void RemoveListener(TApplicationEvents* e);
    void MouseOver(TWinControl* control);
    void MouseLeft(TWinControl* control);
    void ControlDestroyed(TControl* control);
    void FormDestroyed(TCustomForm* form);
    void MainFormMinimized();
    void MainFormRestored();

private:
    static LRESULT CALLBACK AppWndProc(HWND wnd, UINT msg, WPARAM w, LPARAM l);
    static void PumpHook(void* context);
    bool ProcessMessage(MSG& msg);
    bool IsKeyMsg(MSG& msg);
    void Idle();
    void ShowHintFor(TControl* control);

    HWND handle_ = nullptr;
    std::u16string title_;
    bool mainFormOnTaskBar_ = true;
    bool showMainForm_ = true;
    TCustomForm* mainForm_ = nullptr; // owned as a component
    bool terminated_ = false;
    DWORD lastPump_ = 0;
    std::u16string helpFile_;
    std::u16string hint_;
    TControl* mouseControl_ = nullptr; // not owned
    HWND tooltip_ = nullptr;
    HWND tooltipTool_ = nullptr;
    static THandleExceptionHook& HandleHook();
    static TShowExceptionHook& ShowHook();
    std::vector<TApplicationEvents*> listeners_;
    std::vector<TStatusBar*> hintTargets_;
    bool minimized_ = false;
};

// The application object of the process (null before one is made).
extern TApplication* Application;

// Passes the application's events to whoever placed it (usually a form).
class TApplicationEvents : public TComponent {
    KV_CLASS(TApplicationEvents)
public:
    explicit TApplicationEvents(TComponent* owner);
    ~TApplicationEvents() override;
    TNotifyEvent OnMinimize, OnRestore, OnActivate, OnDeactivate, OnHint;
    TApplication::TExceptionEvent OnException;
};

} // namespace kv
