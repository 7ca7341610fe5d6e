#include "crash/core/ClCodeAccess.h"

#include "crash/core/ClCore.h"

namespace kv::crash {

size_t ValidBytesAt(const void* p, size_t maxBytes) {
    const auto at = reinterpret_cast<uintptr_t>(p);
    if (IsValidBlockAddr(at, maxBytes)) return maxBytes;
    // Validity of a prefix only shrinks as it grows: the longest valid one by bisection.
    size_t valid = 0, invalid = maxBytes;
    while (invalid - valid > 1) {
        const size_t mid = valid + (invalid - valid) / 2;
        if (IsValidBlockAddr(at, mid))
            valid = mid;
        else
            invalid = mid;
    }
    return valid;
}

} // namespace kv::crash
