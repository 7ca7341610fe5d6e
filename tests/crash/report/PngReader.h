#pragma once
// A strict reader of the screenshots' PNG forms for tests (8-bit palette or 8-bit RGB): checks
// signature and chunk CRCs, and inflates the image data.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kvtest {

struct PngChunk {
    std::string Type;
    std::string Data;
};

struct PngImage {
    std::vector<PngChunk> Chunks;
    uint32_t Width = 0, Height = 0;
    std::string Header;  // the 13 IHDR bytes
    std::string Palette; // the PLTE data
    std::string Pixels;  // the inflated image data (filter byte + indices or RGB triples per row)
};

inline uint32_t BigEndian(const std::string& s, size_t at) {
    return uint32_t(uint8_t(s[at])) << 24 | uint32_t(uint8_t(s[at + 1])) << 16 |
           uint32_t(uint8_t(s[at + 2])) << 8 | uint8_t(s[at + 3]);
}

// Fails the test (and returns what it read) on any fault of the layout.
inline PngImage ReadPng(const std::string& file) {
    PngImage png;
    EXPECT_EQ(file.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    size_t at = 8;
    std::string idat;
    while (at + 12 <= file.size()) {
        const uint32_t size = BigEndian(file, at);
        PngChunk chunk{file.substr(at + 4, 4), file.substr(at + 8, size)};
        const uint32_t crc =
            crc32(0, reinterpret_cast<const Bytef*>(file.data() + at + 4), size + 4);
        EXPECT_EQ(BigEndian(file, at + 8 + size), crc) << chunk.Type;
        at += 12 + size;
        if (chunk.Type == "IHDR") png.Header = chunk.Data;
        if (chunk.Type == "PLTE") png.Palette = chunk.Data;
        if (chunk.Type == "IDAT") idat += chunk.Data;
        png.Chunks.push_back(std::move(chunk));
    }
    EXPECT_EQ(at, file.size());
    if (png.Header.size() == 13) {
        png.Width = BigEndian(png.Header, 0);
        png.Height = BigEndian(png.Header, 4);
    }
    const size_t pixelBytes = png.Header.size() == 13 && png.Header[9] == 2 ? 3 : 1;
    png.Pixels.resize((size_t{png.Width} * pixelBytes + 1) * png.Height + 1);
    uLongf length = static_cast<uLongf>(png.Pixels.size());
    EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(png.Pixels.data()), &length,
                         reinterpret_cast<const Bytef*>(idat.data()), idat.size()),
              Z_OK);
    png.Pixels.resize(length);
    return png;
}

} // namespace kvtest
