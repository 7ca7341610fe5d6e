#include "widgets/WlExLayer.h"

namespace kv {

TColor WlApplicationHintColor() {
    return clInfoBk;
}

void DrawWlHighlightFrame(TWlCanvas& canvas, int width, int height, bool active,
                          TColor controlColor) {
    canvas.SetBrushStyle(bsSolid);
    canvas.SetBrushColor(active ? kWlHighlightFocusColor : kWlHighlightIdleColor);
    canvas.FrameRect({0, 0, width, height});
    canvas.SetBrushColor(active ? kWlHighlightFocusColor : controlColor);
    canvas.FrameRect({1, 1, width - 1, height - 1});
}

void InvalidateWlHighlightBand(HWND wnd, int width, int height) {
    const GdiObject<HRGN> outer(CreateRectRgn(0, 0, width - 1, height - 1));
    const GdiObject<HRGN> inner(CreateRectRgn(2, 2, width - 3, height - 3));
    const GdiObject<HRGN> band(CreateRectRgn(0, 0, 0, 0));
    CombineRgn(band.get(), outer.get(), inner.get(), RGN_DIFF);
    InvalidateRgn(wnd, band.get(), FALSE);
}

} // namespace kv
