#pragma once
// Basic types of the window framework: the object root with its class name, colours, cursors,
// alignment, anchors, modal results, shift states and short cuts, and the wchar_t view of our
// UTF-16 text. Win32 only; interface thread only.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kv {

// Root of the framework's classes. ClassName is the name the form reader and the window class
// registration use; each class states its own with KV_CLASS.
class TObject {
public:
    virtual ~TObject() = default;
    virtual std::u16string_view ClassName() const { return u"TObject"; }
};

#define KV_CLASS(Name)                                                                             \
public:                                                                                            \
    static constexpr std::u16string_view StaticClassName() {                                       \
        return u"" #Name;                                                                          \
    }                                                                                              \
    std::u16string_view ClassName() const override {                                               \
        return StaticClassName();                                                                  \
    }

using TNotifyEvent = std::function<void(TObject* sender)>;

// Our UTF-16 text seen as the platform's wchar_t text (both are 16-bit on Windows).
inline const wchar_t* W(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}
inline std::u16string FromW(const wchar_t* s) {
    return s ? std::u16string(reinterpret_cast<const char16_t*>(s)) : std::u16string();
}
inline std::u16string FromW(const wchar_t* s, size_t n) {
    return std::u16string(reinterpret_cast<const char16_t*>(s), n);
}
// Equality and order of names, ignoring the case of ASCII letters (component, class, property
// and handler names are matched that way).
bool SameName(std::u16string_view a, std::u16string_view b);
struct NameLess {
    using is_transparent = void;
    bool operator()(std::u16string_view a, std::u16string_view b) const;
};

// Colours: an RGB value (0x00BBGGRR) or a system colour (0xFF000000 | COLOR_xxx).
using TColor = int32_t;
constexpr TColor SystemColor(int index) {
    return static_cast<TColor>(0xFF000000u | unsigned(index));
}
constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                 clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                 clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF,
                 clMoneyGreen = 0xC0DCC0, clSkyBlue = 0xF0CAA6, clCream = 0xF0FBFF,
                 clMedGray = 0xA4A0A0;
constexpr TColor clNone = 0x1FFFFFFF, clDefault = 0x20000000;
constexpr TColor clScrollBar = SystemColor(COLOR_SCROLLBAR),
                 clBackground = SystemColor(COLOR_BACKGROUND),
                 clActiveCaption = SystemColor(COLOR_ACTIVECAPTION),
                 clInactiveCaption = SystemColor(COLOR_INACTIVECAPTION),
                 clMenu = SystemColor(COLOR_MENU), clWindow = SystemColor(COLOR_WINDOW),
                 clWindowFrame = SystemColor(COLOR_WINDOWFRAME),
                 clMenuText = SystemColor(COLOR_MENUTEXT),
                 clWindowText = SystemColor(COLOR_WINDOWTEXT),
                 clCaptionText = SystemColor(COLOR_CAPTIONTEXT),
                 clActiveBorder = SystemColor(COLOR_ACTIVEBORDER),
                 clInactiveBorder = SystemColor(COLOR_INACTIVEBORDER),
                 clAppWorkSpace = SystemColor(COLOR_APPWORKSPACE),
                 clHighlight = SystemColor(COLOR_HIGHLIGHT),
                 clHighlightText = SystemColor(COLOR_HIGHLIGHTTEXT),
                 clBtnFace = SystemColor(COLOR_BTNFACE), clBtnShadow = SystemColor(COLOR_BTNSHADOW),
                 clGrayText = SystemColor(COLOR_GRAYTEXT), clBtnText = SystemColor(COLOR_BTNTEXT),
                 clInactiveCaptionText = SystemColor(COLOR_INACTIVECAPTIONTEXT),
                 clBtnHighlight = SystemColor(COLOR_BTNHIGHLIGHT),
                 cl3DDkShadow = SystemColor(COLOR_3DDKSHADOW),
                 cl3DLight = SystemColor(COLOR_3DLIGHT), clInfoText = SystemColor(COLOR_INFOTEXT),
                 clInfoBk = SystemColor(COLOR_INFOBK), clHotLight = SystemColor(COLOR_HOTLIGHT);
// The RGB value of a colour (system colours looked up now); clNone and clDefault give black.
COLORREF ColorToRGB(TColor c);

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
using TAnchors = unsigned;
constexpr TAnchors akLeft = 1, akTop = 2, akRight = 4, akBottom = 8;

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

using TModalResult = int;
constexpr TModalResult mrNone = 0, mrOk = IDOK, mrCancel = IDCANCEL, mrAbort = IDABORT,
                       mrRetry = IDRETRY, mrIgnore = IDIGNORE, mrYes = IDYES, mrNo = IDNO,
                       mrAll = 8, mrNoToAll = 9, mrYesToAll = 10, mrClose = 11;

using TCursor = int;
constexpr TCursor crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4,
                  crSizeNESW = -6, crSizeNS = -7, crSizeNWSE = -8, crSizeWE = -9, crUpArrow = -10,
                  crHourGlass = -11, crDrag = -12, crNoDrop = -13, crHSplit = -14, crVSplit = -15,
                  crMultiDrag = -16, crSQLWait = -17, crNo = -18, crAppStart = -19, crHelp = -20,
                  crHandPoint = -21, crSizeAll = -22;

using TShiftState = unsigned;
constexpr TShiftState ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32,
                      ssDouble = 64;
// The shift keys held now.
TShiftState KeyboardShiftState();

enum TMouseButton { mbLeft, mbRight, mbMiddle };

// A short cut: virtual key in the low byte, scShift / scCtrl / scAlt above.
using TShortCut = uint16_t;
constexpr TShortCut scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000, scNone = 0;
// The text of a short cut as menus show it ("Ctrl+S", "F1"); empty for scNone.
std::u16string ShortCutToText(TShortCut s);
// Reads "Ctrl+S" style text back; scNone when it is not a short cut.
TShortCut TextToShortCut(std::u16string_view text);

using TMouseEvent =
    std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;
using TKeyEvent = std::function<void(TObject* sender, WORD& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(TObject* sender, char16_t& key)>;

inline int RectWidth(const RECT& r) {
    return r.right - r.left;
}
inline int RectHeight(const RECT& r) {
    return r.bottom - r.top;
}

} // namespace kv
