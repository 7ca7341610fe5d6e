#pragma once
// The image button's pure rules: the standard kinds with their captions, glyphs, modal results
// and Default/Cancel roles; the caption that is drawn; whether and which glyph shows; where
// glyph and caption go inside the button; how far a pressed button's content shifts; the drop
// arrow; the animation's frame step. Portable.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kv {

enum TWlImgBtnKind : uint8_t {
    bkCustom,
    bkOK,
    bkCancel,
    bkHelp,
    bkYes,
    bkNo,
    bkClose,
    bkAbort,
    bkRetry,
    bkIgnore,
    bkAll
};
constexpr int kWlImgBtnKindCount = bkAll + 1;

enum TWlImgBtnLayout : uint8_t { blImageLeft, blImageRight };

// What choosing a kind does to the Default and Cancel roles.
enum class TWlKindRole { Keep, Default, Cancel, Neither };

struct TWlImgBtnKindInfo {
    int modalResult;         // handed to the form on a click (0: none)
    int glyph;               // index in the shared kind glyphs, -1 for none
    const char16_t* caption; // drawn while the button's own caption is empty
    TWlKindRole role;
};

// The row of the kind table (bkCustom for values out of range).
const TWlImgBtnKindInfo& WlKindInfo(int kind);

// The text a button draws: with word wrap on, every '|' becomes a line feed.
std::u16string WlWrappedCaption(const std::u16string& caption, bool wordWrap);
// The image button's drawn text: the kind's caption for a kind button with an empty caption,
// else the wrapped caption.
std::u16string WlDrawnCaption(int kind, const std::u16string& caption, bool wordWrap);

// The glyph index while animating: frame + imageIndex - 1; else imageIndex.
inline int WlAnimatedImageIndex(bool animating, int frame, int imageIndex) {
    return animating ? frame + imageIndex - 1 : imageIndex;
}
// A glyph shows when wanted and there is one: from the button's own list with an index, or
// the kind's glyph when the button has no list of its own.
inline bool WlShowsGlyph(bool imageVisible, bool hasImages, int currentImageIndex, int kind) {
    return imageVisible && (hasImages ? currentImageIndex != -1 : kind != bkCustom);
}
// The next animation frame: counts 1..frames and starts again at 1.
inline int WlNextAnimateFrame(int frame, int frames) {
    return frame + 1 > frames ? 1 : frame + 1;
}

struct TWlRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    void Offset(int dx, int dy) {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
    }
    bool operator==(const TWlRect&) const = default;
};

struct TWlPoint {
    int x = 0, y = 0;
    bool operator==(const TWlPoint&) const = default;
};

// How far a pressed button's content moves: right 1, and down 1 only without themes; not at
// all when drawing down is disabled, the button is not pressed or it is disabled.
TWlPoint WlPressedShift(bool disableDrawDown, bool pressed, bool enabled, bool themes);

// What MeasureButtonParts works with. alignment: 0 left, 1 right, 2 centre.
struct TWlButtonPartsInput {
    TWlRect bounds;          // B: the content rectangle after the pressed shift
    int buttonWidth = 0;     // the control's width
    bool showsGlyph = false; // WlShowsGlyph
    int glyphWidth = 0;      // of the image list in use
    int glyphHeight = 0;
    int spacing = 4;
    int alignment = 2;
    int margin = -1;
    int layout = blImageLeft;
};
struct TWlButtonParts {
    TWlRect text;
    TWlRect glyph;
};
// measure: fits the drawn caption into the rectangle it is given (the text flags of the
// alignment, word break while word wrap is on) and answers the text's extent, as DrawText
// with DT_CALCRECT does.
using TWlTextMeasure = std::function<TWlRect(const TWlRect& room)>;
TWlButtonParts WlMeasureButtonParts(const TWlButtonPartsInput& in, const TWlTextMeasure& measure);

// The rectangle of the drop arrow of a button of that size (moved by 1, 1 when pressed).
TWlRect WlDropArrowRect(int width, int height, bool pressed);
struct TWlLine {
    TWlPoint from, to;
    bool operator==(const TWlLine&) const = default;
};
// The horizontal lines of the downward triangle that fills r: line i from (left + i, top + i)
// to (right - i, top + i) for i = 0 .. height while left + i is not past right - i.
std::vector<TWlLine> WlDropArrowLines(const TWlRect& r);

} // namespace kv
