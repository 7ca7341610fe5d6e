#include "crash/report/ClScreenshot.h"

#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <vector>

#include "base/Exception.h"
#include "crash/core/ClCore.h"
#include "crash/capture/CrashLogUtils.h"
#include "crash/core/ClZlib2.h"

namespace kv::crash {

TScreenshotHooks ScreenshotHooks;

// ---- Octree ----

TColorOctree::TColorOctree() {
    reducible_.fill(kNoNode);
    for (int i = kNodeCapacity - 1; i >= 0; --i) {
        nodes_[i].Next = free_;
        free_ = static_cast<TNodeIndex>(i);
    }
}

TColorOctree::TNodeIndex TColorOctree::NewNode() {
    const TNodeIndex index = free_;
    if (index == kNoNode) return kNoNode; // cannot happen: the capacity covers the worst case
    Node& node = nodes_[index];
    free_ = node.Next;
    node = Node{};
    node.Children.fill(kNoNode);
    ++nodeCount_;
    return index;
}

void TColorOctree::FreeNode(TNodeIndex index) {
    nodes_[index].Next = free_;
    free_ = index;
    --nodeCount_;
}

void TColorOctree::AddColor(uint8_t r, uint8_t g, uint8_t b) {
    TNodeIndex* slot = &root_;
    for (int depth = 0;; ++depth) {
        if (*slot == kNoNode) {
            const TNodeIndex created = NewNode();
            if (created == kNoNode) return;
            *slot = created;
            Node& node = nodes_[created];
            if (depth == 8) {
                node.Leaf = true;
                ++leafCount_;
            } else {
                node.Next = reducible_[depth];
                reducible_[depth] = created;
            }
        }
        Node& node = nodes_[*slot];
        if (node.Leaf) {
            ++node.PixelCount;
            node.Red += r;
            node.Green += g;
            node.Blue += b;
            break;
        }
        const unsigned mask = 0x80u >> depth;
        const int index = ((r & mask) ? 4 : 0) + ((g & mask) ? 2 : 0) + ((b & mask) ? 1 : 0);
        slot = &node.Children[index];
    }
    while (leafCount_ > kMaxLeaves) Reduce();
}

void TColorOctree::Reduce() {
    int level = 7;
    while (level > 0 && reducible_[level] == kNoNode) --level;
    const TNodeIndex index = reducible_[level];
    if (index == kNoNode) return;
    Node& node = nodes_[index];
    reducible_[level] = node.Next;
    node.Next = kNoNode;
    int children = 0;
    for (TNodeIndex& child : node.Children) {
        if (child == kNoNode) continue;
        const Node& c = nodes_[child];
        node.PixelCount += c.PixelCount;
        node.Red += c.Red;
        node.Green += c.Green;
        node.Blue += c.Blue;
        FreeNode(child);
        child = kNoNode;
        ++children;
    }
    node.Leaf = true;
    leafCount_ -= children - 1;
}

TPngPalette TColorOctree::Palette() const {
    TPngPalette palette{};
    size_t count = 0;
    auto walk = [&](auto&& self, TNodeIndex index) -> void {
        if (index == kNoNode || count >= palette.size()) return;
        const Node& node = nodes_[index];
        if (node.Leaf) {
            const uint32_t n = node.PixelCount ? node.PixelCount : 1;
            palette[count++] = {static_cast<uint8_t>(node.Red / n),
                                static_cast<uint8_t>(node.Green / n),
                                static_cast<uint8_t>(node.Blue / n)};
            return;
        }
        for (const TNodeIndex child : node.Children) self(self, child);
    };
    walk(walk, root_);
    return palette;
}

// ---- Nearest palette entry ----

namespace {

constexpr uint32_t kCached = 0x1000000; // marks a used slot (colours have 24 bits)

} // namespace

TNearestColor::TNearestColor(const TPngPalette& palette) {
    for (size_t i = 0; i < palette.size(); ++i)
        byGreen_[i] = {palette[i].Green, palette[i].Red, palette[i].Blue, static_cast<uint8_t>(i)};
    std::sort(byGreen_.begin(), byGreen_.end(), [](const Entry& x, const Entry& y) {
        return x.Green != y.Green ? x.Green < y.Green : x.Index < y.Index;
    });
}

uint8_t TNearestColor::Search(uint8_t r, uint8_t g, uint8_t b) const {
    long best = -1;
    uint8_t bestIndex = 0;
    auto consider = [&](const Entry& e) {
        const long dr = long{r} - e.Red, dg = long{g} - e.Green, db = long{b} - e.Blue;
        const long d = dr * dr + dg * dg + db * db;
        if (best < 0 || d < best || (d == best && e.Index < bestIndex)) {
            best = d;
            bestIndex = e.Index;
        }
    };
    // Outwards from the colour's green in both directions; a side ends where the green
    // difference alone exceeds the best distance found.
    const auto start = std::lower_bound(byGreen_.begin(), byGreen_.end(), g,
                                        [](const Entry& e, uint8_t v) { return e.Green < v; });
    for (auto it = start; it != byGreen_.end(); ++it) {
        const long dg = long{it->Green} - g;
        if (best >= 0 && dg * dg > best) break;
        consider(*it);
    }
    for (auto it = start; it != byGreen_.begin();) {
        --it;
        const long dg = long{g} - it->Green;
        if (best >= 0 && dg * dg > best) break;
        consider(*it);
    }
    return bestIndex;
}

uint8_t TNearestColor::Index(uint8_t r, uint8_t g, uint8_t b) {
    const uint32_t key = (uint32_t{r} << 16 | uint32_t{g} << 8 | b) | kCached;
    const size_t slot = (key * 2654435761u) >> 20 & (kCacheSize - 1);
    if (cacheKeys_[slot] != key) {
        cacheIndices_[slot] = Search(r, g, b);
        cacheKeys_[slot] = key;
    }
    return cacheIndices_[slot];
}

namespace {

TRowSource ImageRows(const TRgbImage& image) {
    return [&image](int y) { return image.Bits + image.RowBytes * static_cast<size_t>(y); };
}

const uint8_t* RequireRow(const TRowSource& rows, int y) {
    const uint8_t* row = rows(y);
    if (!row) throw kv::EFileError(u"A row of the picture cannot be read.");
    return row;
}

TPngPalette PaletteOfRows(int width, int height, const TRowSource& rows) {
    // The tree is too big for a thread's stack at crash time.
    const auto tree = std::make_unique<TColorOctree>();
    for (int y = 0; y < height; ++y) {
        const uint8_t* p = RequireRow(rows, y);
        for (int x = 0; x < width; ++x, p += 3) tree->AddColor(p[2], p[1], p[0]);
    }
    return tree->Palette();
}

} // namespace

TPngPalette BuildOctreePalette(const TRgbImage& image) {
    return PaletteOfRows(image.Width, image.Height, ImageRows(image));
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

void WritePalettePng(kv::TStream& stream, int width, int height, const TRowSource& indexRows,
                     const TPngPalette& palette) {
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
        std::copy_n(RequireRow(indexRows, y), width, row.begin() + 1);
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

void WritePalettePng(kv::TStream& stream, int width, int height, const uint8_t* indices,
                     size_t rowBytes, const TPngPalette& palette) {
    WritePalettePng(
        stream, width, height, [&](int y) { return indices + rowBytes * static_cast<size_t>(y); },
        palette);
}

void WriteRgbRowsPng(kv::TStream& stream, int width, int height, const TRowSource& rgbRows) {
    const TPngPalette palette = PaletteOfRows(width, height, rgbRows);
    const auto nearest = std::make_unique<TNearestColor>(palette);
    std::vector<uint8_t> indices(static_cast<size_t>(width));
    WritePalettePng(
        stream, width, height,
        [&](int y) {
            const uint8_t* p = RequireRow(rgbRows, y);
            for (uint8_t& index : indices) {
                index = nearest->Index(p[2], p[1], p[0]);
                p += 3;
            }
            return static_cast<const uint8_t*>(indices.data());
        },
        palette);
}

void WriteRgbImagePng(kv::TStream& stream, const TRgbImage& image) {
    WriteRgbRowsPng(stream, image.Width, image.Height, ImageRows(image));
}

// ---- Saving the captured screenshot ----

bool SaveCapturedScreenshot(const std::string& fileName) {
    if (fileName.empty()) return false;
    const std::u16string path = AnsiToUtf16(fileName);
    try {
        kv::TMemoryStream png;
        if (!WritePNGImage(png)) return false;
        bool written = false;
        {
            const kv::FileHandle file(kv::FileCreate(path));
            if (!file.valid()) return false;
            const std::string& data = png.Data();
            written = kv::FileWrite(file.get(), data.data(), data.size()) ==
                      static_cast<long long>(data.size());
        }
        if (!written) {
            // A cut picture is worse than none.
            std::error_code ec;
            std::filesystem::remove(std::filesystem::path(path), ec);
        }
        return written;
    } catch (...) {
        return false;
    }
}

namespace {

struct TScreenshotRelease {
    ~TScreenshotRelease() { ReleaseScreenshot(); }
};

} // namespace

bool SaveScreenshot(const std::string& fileName) {
    const TScreenshotRelease release;
    return CaptureScreenshot() && SaveCapturedScreenshot(fileName);
}

bool SaveScreenshotToStream(kv::TStream& stream) {
    const TScreenshotRelease release;
    try {
        return CaptureScreenshot() && WritePNGImage(stream);
    } catch (...) {
        // Out of memory or a stream that cannot be written: the caller learns it from the result.
        return false;
    }
}

void ReportMAPIError(const std::string& message) {
    SetLastCrashLogError(eeEmailMAPIError, message);
}

} // namespace kv::crash
