#pragma once
// Bounds-checked little-endian reads over a byte view, for the debug-data readers. Every read
// that would pass the end fails and leaves the cursor where it was; nothing here allocates
// except the string reads. Pure; any thread.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kv::crash {

class TByteReader {
public:
    TByteReader() = default;
    explicit TByteReader(std::string_view data, size_t pos = 0) : data_(data), pos_(pos) {}

    size_t Position() const { return pos_; }
    size_t Size() const { return data_.size(); }
    size_t Remaining() const { return pos_ <= data_.size() ? data_.size() - pos_ : 0; }
    std::string_view Data() const { return data_; }

    // False (cursor unchanged) when pos lies past the end.
    bool Seek(size_t pos) {
        if (pos > data_.size()) return false;
        pos_ = pos;
        return true;
    }
    bool Skip(size_t count) {
        if (count > Remaining()) return false;
        pos_ += count;
        return true;
    }

    bool U8(uint8_t& v) { return Little(v); }
    bool U16(uint16_t& v) { return Little(v); }
    bool U32(uint32_t& v) { return Little(v); }
    bool I32(int32_t& v) {
        uint32_t u;
        if (!Little(u)) return false;
        v = static_cast<int32_t>(u);
        return true;
    }
    bool Bytes(size_t count, std::string_view& out) {
        if (count > Remaining()) return false;
        out = data_.substr(pos_, count);
        pos_ += count;
        return true;
    }

    // Values at an absolute position, cursor untouched.
    static bool U8At(std::string_view d, size_t pos, uint8_t& v) { return At(d, pos, v); }
    static bool U16At(std::string_view d, size_t pos, uint16_t& v) { return At(d, pos, v); }
    static bool U32At(std::string_view d, size_t pos, uint32_t& v) { return At(d, pos, v); }

private:
    template <class T> static bool At(std::string_view d, size_t pos, T& v) {
        if (pos > d.size() || d.size() - pos < sizeof(T)) return false;
        T r = 0;
        for (size_t i = 0; i < sizeof(T); ++i)
            r |= static_cast<T>(static_cast<T>(static_cast<uint8_t>(d[pos + i])) << (8 * i));
        v = r;
        return true;
    }
    template <class T> bool Little(T& v) {
        if (!At(data_, pos_, v)) return false;
        pos_ += sizeof(T);
        return true;
    }

    std::string_view data_;
    size_t pos_ = 0;
};

} // namespace kv::crash
