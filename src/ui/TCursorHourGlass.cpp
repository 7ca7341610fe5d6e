#include "ui/TCursorHourGlass.h"

#include "ui/Forms.h"

namespace kv {

TCursorHourGlass::TCursorHourGlass(TCursor cursor)
    : SavedCursor(Screen ? Screen->Cursor() : crDefault) {
    if (Screen) Screen->SetCursor(cursor);
}

TCursorHourGlass::~TCursorHourGlass() {
    if (Screen) Screen->SetCursor(SavedCursor);
}

} // namespace kv
