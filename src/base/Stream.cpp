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

size_t TStream::Write(const void*, size_t) {
    throw EFileError(u"Stream write error");
}

void TStream::WriteBuffer(const void* buffer, size_t count) {
    if (count > 0 && Write(buffer, count) != count) throw EFileError(u"Stream write error");
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

size_t TMemoryStream::Write(const void* buffer, size_t count) {
    if (count == 0) return 0;
    const size_t pos = static_cast<size_t>(pos_);
    if (data_.size() < pos + count) data_.resize(pos + count);
    std::memcpy(data_.data() + pos, buffer, count);
    pos_ += static_cast<int64_t>(count);
    return count;
}

} // namespace kv
