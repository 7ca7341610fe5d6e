#pragma once
// Constant texts of the crash-report component: the English defaults of the customisable texts
// and the default HTML page layout of web error pages. Pure data; any thread.
#include <cstddef>

#include "crash/core/ClTypes.h"

namespace kv::crash {

// Default text of a TMessageType (line breaks are CR LF); empty out of range.
const char* EVals(size_t index);

// Fifteen lines joined by CR LF, no line break after the last; <%HTML_TAG%> marks the content.
extern const char* const kDefaultHTMLLayout;

} // namespace kv::crash
