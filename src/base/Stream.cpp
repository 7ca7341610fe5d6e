#include "base/Stream.h"

#include <algorithm>
#include <cstring>

#include "base/Exception.h"

namespace kv {

void TStream::ReadBuffer(void* buffer, size_t count) {
    auto* p = static_cast<char*>(buffer);
    while (count > 0) {
        const size_t got = Read(p, count);
        if (got == 0) throw EFileError(u"Stream read error");
        p += got;
        count -= got;
    }
}

void TMemoryStream::SetPosition(int64_t pos) {
    pos_ = std::clamp<int64_t>(pos, 0, GetSize());
}

size_t TMemoryStream::Read(void* buffer, size_t count) {
    const size_t left = static_cast<size_t>(GetSize() - pos_);
    const size_t n = std::min(left, count);
    if (n > 0) std::memcpy(buffer, data_.data() + pos_, n);
    pos_ += static_cast<int64_t>(n);
    return n;
}

} // namespace kv
