#include "widgets/WlButtonLayout.h"

namespace kv {

const TWlImgBtnKindInfo& WlKindInfo(int kind) {
    // Captions: the class library's standard button captions in this program's language.
    static const TWlImgBtnKindInfo kKinds[kWlImgBtnKindCount] = {
        {0, -1, u"", TWlKindRole::Keep},             // bkCustom
        {1, 2, u"OK", TWlKindRole::Default},         // bkOK
        {2, 4, u"キャンセル", TWlKindRole::Cancel},  // bkCancel
        {0, 0, u"ヘルプ(&H)", TWlKindRole::Neither}, // bkHelp
        {6, 3, u"はい(&Y)", TWlKindRole::Default},   // bkYes
        {7, 1, u"いいえ(&N)", TWlKindRole::Cancel},  // bkNo
        {0, 5, u"閉じる(&C)", TWlKindRole::Neither}, // bkClose
        {3, 8, u"中止", TWlKindRole::Neither},       // bkAbort
        {4, 6, u"再試行(&R)", TWlKindRole::Neither}, // bkRetry
        {5, 9, u"無視(&I)", TWlKindRole::Neither},   // bkIgnore
        {8, 7, u"すべて(&A)", TWlKindRole::Neither}, // bkAll
    };
    return kKinds[kind >= 0 && kind < kWlImgBtnKindCount ? kind : bkCustom];
}

std::u16string WlWrappedCaption(const std::u16string& caption, bool wordWrap) {
    if (!wordWrap) return caption;
    std::u16string s = caption;
    for (char16_t& c : s)
        if (c == u'|') c = u'\n';
    return s;
}

std::u16string WlDrawnCaption(int kind, const std::u16string& caption, bool wordWrap) {
    if (kind != bkCustom && caption.empty()) return WlKindInfo(kind).caption;
    return WlWrappedCaption(caption, wordWrap);
}

TWlPoint WlPressedShift(bool disableDrawDown, bool pressed, bool enabled, bool themes) {
    if (disableDrawDown || !pressed || !enabled) return {0, 0};
    return {1, themes ? 0 : 1};
}

TWlButtonParts WlMeasureButtonParts(const TWlButtonPartsInput& in, const TWlTextMeasure& measure) {
    TWlButtonParts out;
    TWlRect& g = out.glyph;
    TWlRect& t = out.text;
    int spacing = 0;
    if (in.showsGlyph) {
        g = {0, 0, in.glyphWidth - 1, in.glyphHeight - 1};
        spacing = in.spacing;
    }
    t = {0, 0, in.bounds.Width() - (g.right - g.left), in.bounds.bottom};
    if (in.alignment != 2 && in.buttonWidth - g.right - 18 > t.right)
        t.right = in.buttonWidth - g.right - 18;
    t = measure(t);
    const int total = g.right + spacing + t.right;
    const int room = in.bounds.Width();
    int m;
    if (in.margin == -1 || in.alignment == 2)
        m = (room - total) / 2;
    else if (in.alignment == 1)
        m = room - total - in.margin;
    else
        m = in.margin;
    if (in.layout == blImageLeft) {
        g.Offset(m, 0);
        t.Offset(g.right + spacing, 0);
    } else {
        g.Offset(room - m - g.right, 0);
        t.Offset(room - total - m, 0);
    }
    const int h = in.bounds.Height();
    g.Offset(in.bounds.left, in.bounds.top + (h - g.bottom) / 2);
    t.Offset(in.bounds.left, in.bounds.top + (h - t.bottom) / 2);
    return out;
}

TWlRect WlDropArrowRect(int width, int height, bool pressed) {
    TWlRect r{width - 16, height / 2, width - 9, height / 2 + 7};
    if (pressed) r.Offset(1, 1);
    return r;
}

std::vector<TWlLine> WlDropArrowLines(const TWlRect& r) {
    std::vector<TWlLine> lines;
    for (int i = 0; i <= r.Height() && r.left + i <= r.right - i; ++i)
        lines.push_back({{r.left + i, r.top + i}, {r.right - i, r.top + i}});
    return lines;
}

} // namespace kv
