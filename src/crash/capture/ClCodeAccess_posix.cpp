#include "crash/capture/ClCodeAccess.h"

namespace kv::crash {

size_t ValidBytesAt(const void*, size_t maxBytes) {
    return maxBytes;
}

} // namespace kv::crash
