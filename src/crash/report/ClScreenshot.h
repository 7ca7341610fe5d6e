#pragma once
// The report's screenshot: a capture of the process's screen area (or of the active window),
// reduced to at most 256 colours with an octree and stored as an 8-bit palette PNG through
// zlib's deflate. One capture at a time, component-wide; the report routine captures right after
// deciding to report, writes the file when the report is sent and releases afterwards. The
// colour reduction and the PNG writer are portable; the capture is Win32 (no capture natively).
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "base/Stream.h"
#include "crash/core/TCrashModuleOptions.h"

namespace kv::crash {

struct TPngColor {
    uint8_t Red = 0, Green = 0, Blue = 0;
    bool operator==(const TPngColor&) const = default;
};
using TPngPalette = std::array<TPngColor, 256>;

// Colour reduction: pixels are added one by one and the tree is reduced after each so that it
// never holds more than 256 leaves. The nodes live in a fixed pool inside the object: however
// many colours a picture has, the tree takes the same memory (about 90 KB) and allocates nothing.
class TColorOctree {
public:
    static constexpr int kMaxLeaves = 256;
    // The most nodes the tree can hold at once: one leaf over the limit before a reduction, and
    // each leaf's ancestors on the 8 levels above it.
    static constexpr int kNodeCapacity = (kMaxLeaves + 1) * 9;

    TColorOctree();
    TColorOctree(const TColorOctree&) = delete;
    TColorOctree& operator=(const TColorOctree&) = delete;

    void AddColor(uint8_t r, uint8_t g, uint8_t b);
    int LeafCount() const { return leafCount_; }
    int NodeCount() const { return nodeCount_; }
    // The leaves in depth-first order as entries (sums divided by counts); black after the last.
    TPngPalette Palette() const;

private:
    using TNodeIndex = int16_t;
    static constexpr TNodeIndex kNoNode = -1;
    struct Node {
        uint32_t PixelCount = 0;
        uint32_t Red = 0, Green = 0, Blue = 0;
        TNodeIndex Next = kNoNode; // next reducible node of the same level, or next free node
        std::array<TNodeIndex, 8> Children;
        bool Leaf = false;
    };
    TNodeIndex NewNode();
    void FreeNode(TNodeIndex node);
    void Reduce();
    std::array<Node, kNodeCapacity> nodes_;
    TNodeIndex free_ = kNoNode;
    TNodeIndex root_ = kNoNode;
    std::array<TNodeIndex, 8> reducible_; // non-leaf nodes per level, newest first
    int leafCount_ = 0;
    int nodeCount_ = 0;
};

// The index of a palette's entry nearest to a colour (least squared distance, the lowest index
// among equals), as the display system maps a picture onto a palette. Recent answers are kept
// in a fixed-size table, so a picture of few colours is mapped fast and one of many colours
// takes no more memory.
class TNearestColor {
public:
    explicit TNearestColor(const TPngPalette& palette);
    uint8_t Index(uint8_t r, uint8_t g, uint8_t b);

private:
    struct Entry {
        uint8_t Green, Red, Blue, Index;
    };
    uint8_t Search(uint8_t r, uint8_t g, uint8_t b) const;
    static constexpr size_t kCacheSize = 4096;
    std::array<Entry, 256> byGreen_;               // the palette ordered by green, then index
    std::array<uint32_t, kCacheSize> cacheKeys_{}; // colour + kCached, 0 for an empty slot
    std::array<uint8_t, kCacheSize> cacheIndices_{};
};

// A 24-bit image, top row first; each pixel is blue, green, red (the device-independent order).
struct TRgbImage {
    int Width = 0;
    int Height = 0;
    size_t RowBytes = 0; // bytes from one row to the next (>= 3 * Width)
    const uint8_t* Bits = nullptr;
};

// Row y (0 is the top) of a picture, valid until the next call; null when it cannot be read.
using TRowSource = std::function<const uint8_t*(int y)>;

// The palette of an image's pixels.
TPngPalette BuildOctreePalette(const TRgbImage& image);

// The PNG chunk CRC (CRC-32 over type and data).
uint32_t PngCrc32(const void* data, size_t size, uint32_t crc = 0);
// The deflate output buffer size, which is also the size of every IDAT chunk but the last.
constexpr size_t kPngIdatChunkSize = 0x3FFFF;
// Writes signature, IHDR (8-bit palette), PLTE (256 entries), IDAT chunks and IEND; each row
// gives width palette indices. Raises EZLibError when deflate fails, EFileError when the stream
// cannot be written or a row cannot be read.
void WritePalettePng(kv::TStream& stream, int width, int height, const TRowSource& indexRows,
                     const TPngPalette& palette);
// The same from height rows of rowBytes bytes (top row first), of which the first width count.
void WritePalettePng(kv::TStream& stream, int width, int height, const uint8_t* indices,
                     size_t rowBytes, const TPngPalette& palette);
// Reduces a 24-bit picture and writes it. The rows are read twice, once for the palette and
// once for the image data, so the picture is never copied whole: beyond the stream, the working
// memory is the tree, the nearest-colour table, the deflater and one row. Raises as
// WritePalettePng.
void WriteRgbRowsPng(kv::TStream& stream, int width, int height, const TRowSource& rgbRows);
void WriteRgbImagePng(kv::TStream& stream, const TRgbImage& image);

// ---- The captured screenshot ----

// What the capture needs of the report routine; null hooks stand for "no report running".
struct TScreenshotHooks {
    // The options of the current report; null when none runs (the calling module's then).
    const TCrashModuleOptions* (*CurrentReportOptions)() = nullptr;
    // The options of the calling module (CurrentCrashLogOptions); null when unknown.
    const TCrashModuleOptions* (*CurrentCrashLogOptions)() = nullptr;
    // The window that had the focus when the report started; 0 for none.
    uintptr_t (*ReportFocusWindow)() = nullptr;
    // The cursor shape and position when the report started; false when unknown (the current
    // cursor is drawn then).
    bool (*ReportCursor)(uintptr_t& cursor, int& x, int& y) = nullptr;
};
extern TScreenshotHooks ScreenshotHooks;

// Takes the picture into the screenshot state (releasing any earlier one); false when no
// picture could be taken (always natively).
bool CaptureScreenshot();
// Reduces the captured picture and writes the PNG; false, with nothing written, when nothing is
// captured. Raises as WritePalettePng (EFileError also when the picture cannot be read).
bool WritePNGImage(kv::TStream& stream);
// Writes the PNG to the file when fileName is not empty; true when the file was written. A
// failing save leaves no file of its own (a file of that name that could not be replaced stays
// as it was) and raises nothing.
bool SaveCapturedScreenshot(const std::string& fileName);
void ReleaseScreenshot();
// Capture, write, release (the component's exports); false, without raising, when no picture
// was taken or it could not be written (the stream may then hold part of one).
bool SaveScreenshot(const std::string& fileName);
bool SaveScreenshotToStream(kv::TStream& stream);

// Records a failure of the MAPI delivery as the component's last error (eeEmailMAPIError).
void ReportMAPIError(const std::string& message);

} // namespace kv::crash
