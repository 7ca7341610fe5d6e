#pragma once
// The widget library's common exception class and enumerations. Portable.
#include <cstdint>

#include "base/Exception.h"

namespace kv {

// Base of the widget library's exceptions.
class EWLException : public Exception {
public:
    using Exception::Exception;
};

// Colour order of a footer's top bevel.
enum TWlBevelStyle : uint8_t { bsShape, bsLowered, bsRaised };

// Which attributes of the button font a hot-track font keeps (hoPreserve...) and whether it
// follows the button font at all (hoFollowFont).
enum TWlTrackFontOption : uint8_t {
    hoFollowFont,
    hoPreserveCharSet,
    hoPreserveColor,
    hoPreserveHeight,
    hoPreserveName,
    hoPreservePitch,
    hoPreserveStyle
};
// A set of TWlTrackFontOption: bit i is the option of ordinal i.
using TWlTrackFontOptions = uint8_t;
constexpr TWlTrackFontOptions WlTrackFontOption(TWlTrackFontOption o) {
    return static_cast<TWlTrackFontOptions>(1u << o);
}
constexpr TWlTrackFontOptions kWlDefaultHotTrackFontOptions = WlTrackFontOption(hoFollowFont) |
                                                              WlTrackFontOption(hoPreserveColor) |
                                                              WlTrackFontOption(hoPreserveStyle);

} // namespace kv
