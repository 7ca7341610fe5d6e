#pragma once
// Registers the widget classes with the form reader's class registry, so that form
// descriptions can name them (TWlFooter, TWlFooterBtn, TWlImgBtn and their bases) and set
// their published properties. Call once before reading a form that holds them (idempotent).
// Win32; interface thread.

namespace kv {

void RegisterWlClasses();

} // namespace kv
