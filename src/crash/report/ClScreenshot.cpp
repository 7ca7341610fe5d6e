#include "crash/report/ClScreenshot.h"

#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <unordered_map>

#include "base/Exception.h"
#include "crash/core/ClCore.h"
#include "crash/capture/CrashLogUtils.h"
#include "crash/core/ClZlib2.h"

namespace kv::crash {

TScreenshotHooks ScreenshotHooks;

// ---- Octree ----

struct TColorOctree::Node {
    bool Leaf = false;
    uint32_t PixelCount = 0;
    uint32_t Red = 0, Green = 0, Blue = 0;
    Node* Next = nullptr; // next reducible node of the same level
    std::array<Node*, 8> Children{};
    ~Node() {
        for (Node* child : Children) delete child;
    }
};

TColorOctree::TColorOctree() = default;

TColorOctree::~TColorOctree() {
    delete root_;
}

void TColorOctree::AddColor(uint8_t r, uint8_t g, uint8_t b) {
    Node** slot = &root_;
    for (int depth = 0;; ++depth) {
        if (!*slot) {
            *slot = new Node;
            if (depth == 8) {
                (*slot)->Leaf = true;
                ++leafCount_;
            } else {
                (*slot)->Next = reducible_[depth];
                reducible_[depth] = *slot;
            }
        }
        Node* node = *slot;
        if (node->Leaf) {
            ++node->PixelCount;
            node->Red += r;
            node->Green += g;
            node->Blue += b;
            break;
        }
        const unsigned mask = 0x80u >> depth;
        const int index = ((r & mask) ? 4 : 0) + ((g & mask) ? 2 : 0) + ((b & mask) ? 1 : 0);
        slot = &node->Children[index];
    }
    while (leafCount_ > 256) Reduce();
}

void TColorOctree::Reduce() {
    int level = 7;
    while (level > 0 && !reducible_[level]) --level;
    Node* node = reducible_[level];
    if (!node) return;
    reducible_[level] = node->Next;
    int children = 0;
    for (Node*& child : node->Children) {
        if (!child) continue;
        node->PixelCount += child->PixelCount;
        node->Red += child->Red;
        node->Green += child->Green;
        node->Blue += child->Blue;
        delete child;
        child = nullptr;
        ++children;
    }
    node->Leaf = true;
    leafCount_ -= children - 1;
}

TPngPalette TColorOctree::Palette() const {
    TPngPalette palette{};
    size_t count = 0;
    auto walk = [&](auto&& self, const Node* node) -> void {
        if (!node || count >= palette.size()) return;
        if (node->Leaf) {
            const uint32_t n = node->PixelCount ? node->PixelCount : 1;
            palette[count++] = {static_cast<uint8_t>(node->Red / n),
                                static_cast<uint8_t>(node->Green / n),
                                static_cast<uint8_t>(node->Blue / n)};
            return;
        }
        for (const Node* child : node->Children) self(self, child);
    };
    walk(walk, root_);
    return palette;
}

TPngPalette BuildOctreePalette(const TRgbImage& image) {
    TColorOctree tree;
    for (int y = 0; y < image.Height; ++y) {
        const uint8_t* p = image.Bits + image.RowBytes * static_cast<size_t>(y);
        for (int x = 0; x < image.Width; ++x, p += 3) tree.AddColor(p[2], p[1], p[0]);
    }
    return tree.Palette();
}

std::vector<uint8_t> MapToPalette(const TRgbImage& image, const TPngPalette& palette) {
    std::vector<uint8_t> indices(static_cast<size_t>(image.Width) * image.Height);
    // Screens hold few distinct colours, so each is searched once.
    std::unordered_map<uint32_t, uint8_t> nearest;
    size_t out = 0;
    for (int y = 0; y < image.Height; ++y) {
        const uint8_t* p = image.Bits + image.RowBytes * static_cast<size_t>(y);
        for (int x = 0; x < image.Width; ++x, p += 3) {
            const uint32_t key = p[0] | p[1] << 8 | p[2] << 16;
            auto it = nearest.find(key);
            if (it == nearest.end()) {
                int best = 0;
                long bestDistance = -1;
                for (size_t i = 0; i < palette.size(); ++i) {
                    const long dr = long{p[2]} - palette[i].Red;
                    const long dg = long{p[1]} - palette[i].Green;
                    const long db = long{p[0]} - palette[i].Blue;
                    const long d = dr * dr + dg * dg + db * db;
                    if (bestDistance < 0 || d < bestDistance) {
                        bestDistance = d;
                        best = static_cast<int>(i);
                    }
                }
                it = nearest.emplace(key, static_cast<uint8_t>(best)).first;
            }
            indices[out++] = it->second;
        }
    }
    return indices;
}

// ---- PNG writer ----

uint32_t PngCrc32(const void* data, size_t size, uint32_t crc) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

namespace {

void PutBigEndian(uint8_t* out, uint32_t value) {
    out[0] = static_cast<uint8_t>(value >> 24);
    out[1] = static_cast<uint8_t>(value >> 16);
    out[2] = static_cast<uint8_t>(value >> 8);
    out[3] = static_cast<uint8_t>(value);
}

void WriteChunk(kv::TStream& stream, const char (&type)[5], const uint8_t* data, size_t size) {
    uint8_t head[8];
    PutBigEndian(head, static_cast<uint32_t>(size));
    std::copy(type, type + 4, head + 4);
    stream.WriteBuffer(head, 8);
    if (size) stream.WriteBuffer(data, size);
    uint8_t crc[4];
    PutBigEndian(crc, PngCrc32(data, size, PngCrc32(type, 4)));
    stream.WriteBuffer(crc, 4);
}

// Owns an initialised deflater.
class TDeflater {
public:
    TDeflater() {
        const int rc = deflateInit(&z, 9);
        if (rc != Z_OK) throw EZLibError(rc);
    }
    ~TDeflater() { deflateEnd(&z); }
    TDeflater(const TDeflater&) = delete;
    TDeflater& operator=(const TDeflater&) = delete;
    z_stream z{};
};

} // namespace

void WritePalettePng(kv::TStream& stream, int width, int height, const uint8_t* indices,
                     size_t rowBytes, const TPngPalette& palette) {
    static const uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    stream.WriteBuffer(kSignature, sizeof kSignature);

    uint8_t header[13] = {};
    PutBigEndian(header, static_cast<uint32_t>(width));
    PutBigEndian(header + 4, static_cast<uint32_t>(height));
    header[8] = 8; // bit depth
    header[9] = 3; // palette
    WriteChunk(stream, "IHDR", header, sizeof header);

    uint8_t plte[768];
    for (size_t i = 0; i < palette.size(); ++i) {
        plte[i * 3] = palette[i].Red;
        plte[i * 3 + 1] = palette[i].Green;
        plte[i * 3 + 2] = palette[i].Blue;
    }
    WriteChunk(stream, "PLTE", plte, sizeof plte);

    TDeflater deflater;
    z_stream& z = deflater.z;
    std::vector<uint8_t> out(kPngIdatChunkSize);
    auto resetOutput = [&] {
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
    };
    resetOutput();
    std::vector<uint8_t> row(static_cast<size_t>(width) + 1);
    for (int y = 0; y < height; ++y) {
        row[0] = 0; // no filter
        std::copy_n(indices + rowBytes * static_cast<size_t>(y), width, row.begin() + 1);
        z.next_in = row.data();
        z.avail_in = static_cast<uInt>(row.size());
        do {
            const int rc = deflate(&z, Z_NO_FLUSH);
            if (rc != Z_OK && rc != Z_BUF_ERROR) throw EZLibError(rc);
            if (z.avail_out == 0) {
                WriteChunk(stream, "IDAT", out.data(), out.size());
                resetOutput();
            }
        } while (z.avail_in > 0);
    }
    for (;;) {
        const int rc = deflate(&z, Z_FINISH);
        if (rc == Z_STREAM_END) break;
        if (rc != Z_OK && rc != Z_BUF_ERROR) throw EZLibError(rc);
        // Only a full buffer is written here; the rest goes out as the last chunk.
        if (z.avail_out == 0) {
            WriteChunk(stream, "IDAT", out.data(), out.size());
            resetOutput();
        }
    }
    const size_t filled = out.size() - z.avail_out;
    if (filled) WriteChunk(stream, "IDAT", out.data(), filled);
    WriteChunk(stream, "IEND", nullptr, 0);
}

void WriteRgbImagePng(kv::TStream& stream, const TRgbImage& image) {
    const TPngPalette palette = BuildOctreePalette(image);
    const std::vector<uint8_t> indices = MapToPalette(image, palette);
    WritePalettePng(stream, image.Width, image.Height, indices.data(),
                    static_cast<size_t>(image.Width), palette);
}

// ---- Saving the captured screenshot ----

void SaveCapturedScreenshot(const std::string& fileName) {
    if (fileName.empty()) return;
    const std::u16string path = AnsiToUtf16(fileName);
    try {
        kv::TMemoryStream png;
        WritePNGImage(png);
        if (png.GetSize() == 0) return; // nothing captured
        bool written = false;
        {
            const kv::FileHandle file(kv::FileCreate(path));
            if (!file.valid()) return;
            const std::string& data = png.Data();
            written = kv::FileWrite(file.get(), data.data(), data.size()) ==
                      static_cast<long long>(data.size());
        }
        if (!written) {
            // A cut picture is worse than none.
            std::error_code ec;
            std::filesystem::remove(std::filesystem::path(path), ec);
        }
    } catch (...) {}
}

namespace {

struct TScreenshotRelease {
    ~TScreenshotRelease() { ReleaseScreenshot(); }
};

} // namespace

void SaveScreenshot(const std::string& fileName) {
    TScreenshotRelease release;
    if (CaptureScreenshot()) SaveCapturedScreenshot(fileName);
}

void SaveScreenshotToStream(kv::TStream& stream) {
    TScreenshotRelease release;
    if (CaptureScreenshot()) WritePNGImage(stream);
}

void ReportMAPIError(const std::string& message) {
    SetLastCrashLogError(eeEmailMAPIError, message);
}

} // namespace kv::crash
