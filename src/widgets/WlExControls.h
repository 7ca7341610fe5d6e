#pragma once
// What the widgets' message layer shares: the numbers of the control notifications it turns
// into overridable operations, the code set of a WM_GETDLGCODE answer, the key data of a
// dialog character and the identity of the layer's interface. Portable.
#include <cstdint>

namespace kv {

// Control notifications (the class library's numbering, which stored code relies on).
enum : uint32_t {
    CM_BASE = 0xB000,
    CM_DIALOGCHAR = 0xB006,
    CM_FOCUSCHANGED = 0xB007,
    CM_PARENTFONTCHANGED = 0xB008,
    CM_PARENTCOLORCHANGED = 0xB009,
    CM_HITTEST = 0xB00A,
    CM_VISIBLECHANGED = 0xB00B,
    CM_ENABLEDCHANGED = 0xB00C,
    CM_COLORCHANGED = 0xB00D,
    CM_FONTCHANGED = 0xB00E,
    CM_CURSORCHANGED = 0xB00F,
    CM_TEXTCHANGED = 0xB012,
    CM_MOUSEENTER = 0xB013,
    CM_MOUSELEAVE = 0xB014,
    CM_SHOWINGCHANGED = 0xB019,
    CM_SHOWHINTCHANGED = 0xB022,
    CM_PARENTSHOWHINTCHANGED = 0xB023,
    CM_CONTROLLISTCHANGE = 0xB02C,
    CM_HINTSHOW = 0xB030,
    CM_CONTROLCHANGE = 0xB036,
    // Asks whether a control implements the layer's interface (answer 1).
    CM_WLEXCONTROL_QUERY = 0xB7D0,
    // A force-same-size button tells its form's other buttons its new size.
    CM_WLFORCESIZE = 0xB208,
};

// The interface every control of the layer implements.
inline constexpr const char* kWlExControlInterfaceId = "{76942BC0-2A6E-4DC4-BFC9-8E110DB7F601}";

// A WM_GETDLGCODE answer as a set: bit 0 want-all-keys, 1 want-arrows, 2 want-chars, 3 button,
// 4 has-set-sel, 5 want-tab, 6 the native flag (the set came from a system answer).
using TWlDlgCodes = uint8_t;
enum TWlDlgCode : uint8_t {
    dcWantAllKeys,
    dcWantArrows,
    dcWantChars,
    dcButton,
    dcHasSetSel,
    dcWantTab,
    dcNative
};
constexpr TWlDlgCodes WlDlgCode(TWlDlgCode c) {
    return static_cast<TWlDlgCodes>(1u << c);
}
// The system's DLGC_ answer as a set (without the native flag) and back.
TWlDlgCodes DlgCodesFromResult(uint32_t result);
uint32_t DlgCodesToResult(TWlDlgCodes codes);

// The key data of a dialog character for a shift state (the framework's ssShift 1, ssAlt 2,
// ssCtrl 4): Alt bit 29, Ctrl bit 28, Shift bit 27.
uint32_t WlKeyDataFromShift(unsigned shift);

} // namespace kv

namespace kv {

// The key data's shift state back (ssShift 1, ssAlt 2, ssCtrl 4).
unsigned WlShiftFromKeyData(uint32_t keyData);

// A message whose LParam points at a structure, handed to an inherited window procedure.
struct TStructPtrMessage {
    uint32_t Msg = 0;
    uintptr_t WParam = 0;
    intptr_t LParam = 0;
    intptr_t Result = 0;
};

} // namespace kv
