#pragma once
// Shows a cursor (the hourglass, crHourGlass) over the whole program for the lifetime of a
// scope, so the cursor comes back also when an exception leaves the operation. Nested objects
// restore in reverse order. Interface thread only; needs the application's screen object.
#include "ui/Types.h"

namespace kv {

class TCursorHourGlass {
public:
    // Remembers the screen's cursor and sets the given one.
    explicit TCursorHourGlass(TCursor cursor = crHourGlass);
    // Sets the screen's cursor back to the remembered one.
    ~TCursorHourGlass();
    TCursorHourGlass(const TCursorHourGlass&) = delete;
    TCursorHourGlass& operator=(const TCursorHourGlass&) = delete;

private:
    TCursor SavedCursor;
};

} // namespace kv
