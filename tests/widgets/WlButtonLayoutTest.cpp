#include <gtest/gtest.h>

#include "widgets/WlButtonLayout.h"

namespace {

using namespace kv;

TEST(WlKindInfo, KindTable) {
    static const struct {
        TWlImgBtnKind kind;
        int modalResult, glyph;
        const char16_t* caption;
        TWlKindRole role;
    } kRows[] = {
        {bkCustom, 0, -1, u"", TWlKindRole::Keep},
        {bkOK, 1, 2, u"OK", TWlKindRole::Default},
        {bkCancel, 2, 4, u"キャンセル", TWlKindRole::Cancel},
        {bkHelp, 0, 0, u"ヘルプ(&H)", TWlKindRole::Neither},
        {bkYes, 6, 3, u"はい(&Y)", TWlKindRole::Default},
        {bkNo, 7, 1, u"いいえ(&N)", TWlKindRole::Cancel},
        {bkClose, 0, 5, u"閉じる(&C)", TWlKindRole::Neither},
        {bkAbort, 3, 8, u"中止", TWlKindRole::Neither},
        {bkRetry, 4, 6, u"再試行(&R)", TWlKindRole::Neither},
        {bkIgnore, 5, 9, u"無視(&I)", TWlKindRole::Neither},
        {bkAll, 8, 7, u"すべて(&A)", TWlKindRole::Neither},
    };
    for (const auto& r : kRows) {
        const TWlImgBtnKindInfo& info = WlKindInfo(r.kind);
        EXPECT_EQ(info.modalResult, r.modalResult) << int(r.kind);
        EXPECT_EQ(info.glyph, r.glyph) << int(r.kind);
        EXPECT_EQ(std::u16string(info.caption), r.caption) << int(r.kind);
        EXPECT_EQ(info.role, r.role) << int(r.kind);
    }
    EXPECT_EQ(WlKindInfo(99).glyph, -1); // out of range reads as bkCustom
}

TEST(WlDrawnCaption, KindCaptionAndWordWrap) {
    static const struct {
        const char* name;
        int kind;
        const char16_t* caption;
        bool wrap;
        const char16_t* drawn;
    } kCases[] = {
        {"kind button without caption", bkOK, u"", true, u"OK"},
        {"kind button with its own caption", bkOK, u"Fine", true, u"Fine"},
        {"custom button without caption", bkCustom, u"", true, u""},
        {"bar breaks the line while wrapping", bkCustom, u"Top|Bottom", true, u"Top\nBottom"},
        {"bar kept without wrapping", bkCustom, u"Top|Bottom", false, u"Top|Bottom"},
        {"every bar", bkHelp, u"a|b|c", true, u"a\nb\nc"},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(WlDrawnCaption(c.kind, c.caption, c.wrap), c.drawn) << c.name;
}

TEST(WlShowsGlyph, ListIndexOrKind) {
    EXPECT_TRUE(WlShowsGlyph(true, false, -1, bkOK));
    EXPECT_FALSE(WlShowsGlyph(true, false, 3, bkCustom)); // no list: only kinds have glyphs
    EXPECT_TRUE(WlShowsGlyph(true, true, 0, bkCustom));
    EXPECT_FALSE(WlShowsGlyph(true, true, -1, bkOK)); // a list without index hides the kind's
    EXPECT_FALSE(WlShowsGlyph(false, true, 0, bkOK));
}

TEST(WlAnimation, FramesCycleFromOne) {
    // Frames 3 from image 5: images 5, 6, 7, 5, 6.
    int frame = WlNextAnimateFrame(0, 3);
    std::vector<int> shown;
    for (int tick = 0; tick < 5; ++tick) {
        shown.push_back(WlAnimatedImageIndex(true, frame, 5));
        frame = WlNextAnimateFrame(frame, 3);
    }
    EXPECT_EQ(shown, (std::vector<int>{5, 6, 7, 5, 6}));
    EXPECT_EQ(WlAnimatedImageIndex(false, 2, 5), 5);
}

TEST(WlPressedShift, ThemesAndDrawDown) {
    static const struct {
        const char* name;
        bool disableDrawDown, pressed, enabled, themes;
        TWlPoint shift;
    } kCases[] = {
        {"pressed, classic", false, true, true, false, {1, 1}},
        {"pressed, themed", false, true, true, true, {1, 0}},
        {"not pressed", false, false, true, false, {0, 0}},
        {"disabled", false, true, false, false, {0, 0}},
        {"draw down disabled", true, true, true, false, {0, 0}},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(WlPressedShift(c.disableDrawDown, c.pressed, c.enabled, c.themes), c.shift)
            << c.name;
}

// A stand-in for the text measure: every text is 30 x 13 from the room's top left.
TWlRect Measure30x13(const TWlRect& room) {
    return {room.left, room.top, room.left + 30, room.top + 13};
}

TEST(WlMeasureButtonParts, GlyphAndCaptionPlaces) {
    // Content (4, 4, 70, 19) of a 74 x 23 button, 18 x 18 glyphs, spacing 4: total 17 + 4 + 30.
    const TWlRect content{4, 4, 70, 19};
    static const struct {
        const char* name;
        bool glyph;
        int alignment, margin, layout;
        TWlRect text, image;
    } kCases[] = {
        // The glyph box is one pixel short of the list's size, and centred on the height
        // with truncation: (15 - 17) / 2 = -1.
        {"centred, glyph left", true, 2, -1, blImageLeft, {32, 5, 62, 18}, {11, 3, 28, 20}},
        {"centred, glyph right", true, 2, -1, blImageRight, {12, 5, 42, 18}, {46, 3, 63, 20}},
        {"left with margin 2", true, 0, 2, blImageLeft, {27, 5, 57, 18}, {6, 3, 23, 20}},
        {"right with margin 2", true, 1, 2, blImageLeft, {38, 5, 68, 18}, {17, 3, 34, 20}},
        {"no glyph: no spacing", false, 2, -1, blImageLeft, {22, 5, 52, 18}, {22, 11, 22, 11}},
    };
    for (const auto& c : kCases) {
        TWlButtonPartsInput in;
        in.bounds = content;
        in.buttonWidth = 74;
        in.showsGlyph = c.glyph;
        in.glyphWidth = 18;
        in.glyphHeight = 18;
        in.alignment = c.alignment;
        in.margin = c.margin;
        in.layout = c.layout;
        const TWlButtonParts parts = WlMeasureButtonParts(in, Measure30x13);
        EXPECT_EQ(parts.text, c.text)
            << c.name << " text " << parts.text.left << "," << parts.text.top << ","
            << parts.text.right << "," << parts.text.bottom;
        EXPECT_EQ(parts.glyph, c.image)
            << c.name << " glyph " << parts.glyph.left << "," << parts.glyph.top << ","
            << parts.glyph.right << "," << parts.glyph.bottom;
    }
}

TEST(WlMeasureButtonParts, RoomGivenToTheText) {
    TWlButtonPartsInput in;
    in.bounds = {4, 4, 100, 19}; // narrower than the 180-wide button
    in.buttonWidth = 180;
    in.showsGlyph = true;
    in.glyphWidth = 16;
    in.glyphHeight = 16;
    TWlRect seen;
    const auto spy = [&seen](const TWlRect& room) {
        seen = room;
        return Measure30x13(room);
    };
    WlMeasureButtonParts(in, spy);
    EXPECT_EQ(seen, (TWlRect{0, 0, 96 - 15, 19})) << "centred: the content less the glyph";
    in.alignment = 0;
    in.margin = 0;
    WlMeasureButtonParts(in, spy);
    EXPECT_EQ(seen, (TWlRect{0, 0, 180 - 15 - 18, 19}))
        << "aligned: the button less glyph and 18 when that is wider";
}

TEST(WlDropArrow, TriangleLines) {
    EXPECT_EQ(WlDropArrowRect(74, 23, false), (TWlRect{58, 11, 65, 18}));
    EXPECT_EQ(WlDropArrowRect(74, 23, true), (TWlRect{59, 12, 66, 19}));
    const std::vector<TWlLine> lines = WlDropArrowLines({58, 11, 65, 18});
    ASSERT_EQ(lines.size(), 4u); // 58..65, 59..64, 60..63, 61..62; then 62 is past 61
    EXPECT_EQ(lines[0], (TWlLine{{58, 11}, {65, 11}}));
    EXPECT_EQ(lines[3], (TWlLine{{61, 14}, {62, 14}}));
    EXPECT_EQ(WlDropArrowLines({10, 10, 30, 12}).size(), 3u) << "ends at the height";
}

} // namespace
