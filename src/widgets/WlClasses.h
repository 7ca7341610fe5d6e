#pragma once
// Registers the widget classes with the form reader's class registry, so that form
// descriptions can name them (TWlFooter, TWlFooterBtn, TWlImgBtn and their bases) and set
// their published properties. Call once before reading a form that holds them (idempotent).
// Win32; interface thread.

namespace kv {

void RegisterWlClasses();

// The layer's entries of the screen's cursor table (kWlDragCursors): 368, 370 and 371 take
// the multi-drag cursor, 369 the drag cursor. Does nothing while no screen object exists, so
// call it once the application (which makes the screen) is there.
void RegisterWlCursors();
constexpr int kWlDragCursors[] = {368, 369, 370, 371};

} // namespace kv
