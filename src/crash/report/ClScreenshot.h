#pragma once
// The report's screenshot: a capture of the process's screen area (or of the active window),
// reduced to at most 256 colours with an octree and stored as an 8-bit palette PNG through
// zlib's deflate. One capture at a time, component-wide; the report routine captures right after
// deciding to report, writes the file when the report is sent and releases afterwards. The
// colour reduction and the PNG writer are portable; the capture is Win32 (no capture natively).
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/Stream.h"
#include "crash/core/TCrashModuleOptions.h"

namespace kv::crash {

struct TPngColor {
    uint8_t Red = 0, Green = 0, Blue = 0;
    bool operator==(const TPngColor&) const = default;
};
using TPngPalette = std::array<TPngColor, 256>;

// Colour reduction: pixels are added one by one and the tree is reduced after each so that it
// never holds more than 256 leaves.
class TColorOctree {
public:
    TColorOctree();
    ~TColorOctree();
    TColorOctree(const TColorOctree&) = delete;
    TColorOctree& operator=(const TColorOctree&) = delete;

    void AddColor(uint8_t r, uint8_t g, uint8_t b);
    int LeafCount() const { return leafCount_; }
    // The leaves in depth-first order as entries (sums divided by counts); black after the last.
    TPngPalette Palette() const;

private:
    struct Node;
    void Reduce();
    Node* root_ = nullptr;
    std::array<Node*, 8> reducible_{}; // non-leaf nodes per level, newest first
    int leafCount_ = 0;
};

// A 24-bit image, top row first; each pixel is blue, green, red (the device-independent order).
struct TRgbImage {
    int Width = 0;
    int Height = 0;
    size_t RowBytes = 0; // bytes from one row to the next (>= 3 * Width)
    const uint8_t* Bits = nullptr;
};

// The palette of an image's pixels.
TPngPalette BuildOctreePalette(const TRgbImage& image);
// Palette indices, Width bytes a row, top row first: each pixel's nearest palette entry.
std::vector<uint8_t> MapToPalette(const TRgbImage& image, const TPngPalette& palette);

// The PNG chunk CRC (CRC-32 over type and data).
uint32_t PngCrc32(const void* data, size_t size, uint32_t crc = 0);
// The deflate output buffer size, which is also the size of every IDAT chunk but the last.
constexpr size_t kPngIdatChunkSize = 0x3FFFF;
// Writes signature, IHDR (8-bit palette), PLTE (256 entries), IDAT chunks and IEND. indices holds
// height rows of rowBytes bytes (top row first), of which the first width are written.
// Raises EZLibError when deflate fails and EFileError when the stream cannot be written.
void WritePalettePng(kv::TStream& stream, int width, int height, const uint8_t* indices,
                     size_t rowBytes, const TPngPalette& palette);
// Reduces and writes a 24-bit image.
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
// Reduces the captured picture and writes the PNG. Nothing is written when nothing is captured.
// Raises as WritePalettePng.
void WritePNGImage(kv::TStream& stream);
// Writes the PNG to the file when fileName is not empty; a failing save leaves no file and
// raises nothing.
void SaveCapturedScreenshot(const std::string& fileName);
void ReleaseScreenshot();
// Capture, write, release (the component's exports).
void SaveScreenshot(const std::string& fileName);
void SaveScreenshotToStream(kv::TStream& stream);

// Records a failure of the MAPI delivery as the component's last error (eeEmailMAPIError).
void ReportMAPIError(const std::string& message);

} // namespace kv::crash
