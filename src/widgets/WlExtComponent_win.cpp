#include "widgets/WlExtComponent.h"

namespace kv {

void TWlCustomPanel::Paint() {
    TWlExCustomPanel::Paint();
    PaintContent(ClientRect());
}

void TWlCustomPanel::PaintContent(const RECT& r) {
    if (OnPaintContent && !IsDestroying()) OnPaintContent(this, Canvas(), r);
}

} // namespace kv
