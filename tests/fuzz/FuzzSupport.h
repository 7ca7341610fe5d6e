#pragma once
// Helpers shared by the libFuzzer targets: fuzz input as UTF-16 text and as a scratch file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace fuzz {

// The input's bytes as little-endian UTF-16 code units (an odd last byte is dropped), so every
// code unit, lone surrogates and U+0000 included, can reach the reader.
inline std::u16string AsUtf16(const uint8_t* data, size_t size) {
    std::u16string text(size / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    return text;
}

// A file of this process's own under /tmp, rewritten with each input (readers that take a path
// are fuzzed through it).
class ScratchFile {
public:
    explicit ScratchFile(const char* name)
        : path_("/tmp/kv-fuzz-" + std::to_string(getpid()) + "-" + name) {}
    ~ScratchFile() { std::remove(path_.c_str()); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // Replaces the file's content; false when it cannot be written.
    bool Write(const uint8_t* data, size_t size) const {
        std::FILE* f = std::fopen(path_.c_str(), "wb");
        if (!f) return false;
        const bool ok = std::fwrite(data, 1, size, f) == size;
        return std::fclose(f) == 0 && ok;
    }
    std::u16string Path() const { return std::u16string(path_.begin(), path_.end()); }

private:
    std::string path_;
};

} // namespace fuzz
