#pragma once
// The exception handlers of the program's own code frames, read from the language-specific data
// (LSDA) that the compiler emits for each function with try blocks or cleanups: whether a frame
// catches everything, catches by type, or is a noexcept boundary at which the program ends.
// Portable (DWARF unwinding); any thread; reads only the frames' tables.
#include <cstdint>
#include <typeinfo>
#include <vector>

namespace kv::crash {

enum THandlerKind : uint8_t {
    hkNone = 0,             // no handler at that point: the exception passes through
    hkCatchAll = 1,         // catch (...) only
    hkOnClauses = 2,        // typed catches (possibly ending with catch (...))
    hkSafeCall = 3,         // no such frames in this runtime
    hkNoExceptBoundary = 4, // the exception cannot leave: the program terminates
};

// One frame as the unwinder sees it.
struct TCodeFrame {
    uintptr_t Ip = 0; // the call's address inside the frame's function
    uintptr_t Sp = 0; // the frame's stack pointer at that call
    const uint8_t* Lsda = nullptr;
    uintptr_t RegionStart = 0; // start of the function's code
    uintptr_t TextBase = 0;    // bases of text- and data-relative pointers, when the target
    uintptr_t DataBase = 0;    // uses them
};

// Whether the runtime lives in a separate module (never: it is linked statically).
bool UsesRuntimePackages();

// The kind of handler that covers the frame's IP. A frame without tables passes exceptions on.
THandlerKind GetHandlerKind(const TCodeFrame& frame);

// Whether the frame catches an exception of thrownType (object at thrownObject): the typed
// catches are tried in order, catch (...) accepts anything. handlerAddress receives the landing
// pad of the frame's handler. A noexcept boundary or a frame without handlers gives false;
// terminates is set when the exception would end the program at this frame.
bool MatchOnClauses(const std::type_info* thrownType, void* thrownObject, const TCodeFrame& frame,
                    uintptr_t& handlerAddress, bool* terminates = nullptr);

// The frames of the calling thread's stack from the caller of this function outwards.
std::vector<TCodeFrame> CurrentCodeFrames();

} // namespace kv::crash
