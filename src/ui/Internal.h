#pragma once
// Links between the framework's modules that no user of the framework calls.
#include <windows.h>

#include <string>

namespace kv {
class TObject;
class TControl;
class TWinControl;
class TPopupMenu;
class TCustomForm;
} // namespace kv

namespace kv::detail {

// Inside a catch block: hands the current exception to the application's handling; never
// throws.
void HandleEscapedException(TObject* sender) noexcept;
// Shows the control's pop-up menu at a screen point (from WM_CONTEXTMENU); false when there
// is none to show.
bool PopupContextMenu(TControl* control, POINT screen);
// A WM_COMMAND from a menu (no control window): runs the item with that command id.
bool DispatchMenuCommand(UINT id);
// WM_MENUSELECT: the hint of the selected item (empty when none) for the automatic hints.
void MenuSelected(TCustomForm* form, HMENU menu, UINT item, UINT flags);
// Ensures the common controls are initialised (before their classes are looked up).
void InitCommonControlsOnce();
// True when the window class atom was registered by the framework.
bool IsOurClass(ATOM atom);
// The application's module handle.
HINSTANCE Instance();
// The system cursor of a built-in cursor number (null for crNone, the arrow for any number
// that is not built in).
HCURSOR StockCursor(int cursor);

// A structured exception frame of our own on the stack of a window procedure or of one turn of
// the message loop: the only place that sees a system exception raised inside a window
// procedure that Wine or Windows would otherwise swallow. It hands system exceptions (not C++
// throws, which never pass through it) to the hook of SetSystemExceptionHook. When the hook
// answers EXCEPTION_EXECUTE_HANDLER, the frames above are unwound and the code after
// KV_SEH_RESUMED(frame) runs with a true result, as a try/except block would.
#if defined(__i386__)
struct SehFrame {
    struct Record {
        Record* next;
        void* handler;
        SehFrame* owner;
    };
    SehFrame();
    ~SehFrame();
    SehFrame(const SehFrame&) = delete;
    SehFrame& operator=(const SehFrame&) = delete;
    Record record;
    void* resume[5]; // __builtin_setjmp's buffer
};
#define KV_SEH_RESUMED(frame) (__builtin_setjmp((frame).resume) != 0)
#else
struct SehFrame {};
#define KV_SEH_RESUMED(frame) false
#endif
// The position of the '&' mnemonic letter of a caption matches ch (either case).
bool IsAccel(char16_t ch, const std::u16string& caption);
// The caption without '&' markers ("&&" stays one '&').
std::u16string StripAccel(const std::u16string& caption);

} // namespace kv::detail
