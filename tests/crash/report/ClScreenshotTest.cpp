#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's allocator statistics (its header does not come with every compiler).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

#include "../support/CrashTestSupport.h"
#include "PngReader.h"
#include "crash/capture/CrashLogUtils.h"
#include "crash/report/ClScreenshot.h"

namespace {

using namespace kv::crash;

// A 24-bit image (blue, green, red) of the given colours, rows padded to rowBytes.
struct RgbPicture {
    RgbPicture(int width, int height, size_t rowBytes) : bits(rowBytes * height, 0xEE) {
        image = {width, height, rowBytes, bits.data()};
    }
    void Set(int x, int y, TPngColor c) {
        uint8_t* p = bits.data() + image.RowBytes * y + x * 3;
        p[0] = c.Blue;
        p[1] = c.Green;
        p[2] = c.Red;
    }
    std::vector<uint8_t> bits;
    TRgbImage image;
};

std::vector<std::string> ChunkTypes(const kvtest::PngImage& png) {
    std::vector<std::string> types;
    for (const auto& chunk : png.Chunks) types.push_back(chunk.Type);
    return types;
}

TEST(ClScreenshot, ChunkCrcIsThePngCrc) {
    EXPECT_EQ(PngCrc32("IEND", 4), 0xAE426082u);
    EXPECT_EQ(PngCrc32("123456789", 9), 0xCBF43926u);
}

TEST(ClScreenshot, FewColoursGiveExactPaletteInTreeOrderThenBlack) {
    // Width 5 and padded rows: the padding (0xEE) must not reach palette or image.
    RgbPicture picture(5, 2, 16);
    const TPngColor red{255, 0, 0}, green{0, 200, 0}, blue{10, 20, 250}, grey{128, 128, 128};
    const TPngColor pixels[2][5] = {{red, green, blue, grey, red}, {grey, grey, blue, green, red}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 5; ++x) picture.Set(x, y, pixels[y][x]);

    const TPngPalette palette = BuildOctreePalette(picture.image);
    // Depth-first order follows the top bits of red, green, blue: 001, 010, 100, 111.
    EXPECT_EQ(palette[0], blue);
    EXPECT_EQ(palette[1], green);
    EXPECT_EQ(palette[2], red);
    EXPECT_EQ(palette[3], grey);
    for (size_t i = 4; i < palette.size(); ++i) EXPECT_EQ(palette[i], TPngColor{}) << i;

    kv::TMemoryStream out;
    WriteRgbImagePng(out, picture.image);
    const kvtest::PngImage png = kvtest::ReadPng(out.Data());
    EXPECT_EQ(ChunkTypes(png), (std::vector<std::string>{"IHDR", "PLTE", "IDAT", "IEND"}));
    EXPECT_EQ(png.Header, std::string("\0\0\0\5\0\0\0\2\x08\x03\0\0\0", 13));
    ASSERT_EQ(png.Palette.size(), 768u);
    ASSERT_EQ(png.Pixels.size(), 2u * 6);
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(png.Pixels[y * 6], 0) << "filter byte";
        for (int x = 0; x < 5; ++x) {
            const auto index = static_cast<uint8_t>(png.Pixels[y * 6 + 1 + x]);
            const TPngColor c{uint8_t(png.Palette[index * 3]), uint8_t(png.Palette[index * 3 + 1]),
                              uint8_t(png.Palette[index * 3 + 2])};
            EXPECT_EQ(c, pixels[y][x]) << x << "," << y;
        }
    }
}

TEST(ClScreenshot, ManyColoursKeepAtMost256LeavesAndMapNearby) {
    TColorOctree tree;
    std::mt19937 random(7);
    for (int i = 0; i < 20000; ++i) {
        tree.AddColor(uint8_t(random()), uint8_t(random()), uint8_t(random()));
        ASSERT_LE(tree.LeafCount(), 256);
        ASSERT_LE(tree.NodeCount(), TColorOctree::kNodeCapacity);
    }
    EXPECT_GT(tree.LeafCount(), 1);

    // A smooth gradient maps every pixel to an entry close to it.
    RgbPicture picture(256, 64, 256 * 3);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 256; ++x) picture.Set(x, y, {uint8_t(x), uint8_t(y * 4), 128});
    const TPngPalette palette = BuildOctreePalette(picture.image);
    TNearestColor nearest(palette);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 256; ++x) {
            const TPngColor c = palette[nearest.Index(uint8_t(x), uint8_t(y * 4), 128)];
            EXPECT_LE(std::abs(c.Red - x) + std::abs(c.Green - y * 4) + std::abs(c.Blue - 128), 48)
                << x << "," << y;
        }
}

TEST(ClScreenshot, TheNearestEntryIsTheClosestAndTheFirstOfEquals) {
    TPngPalette palette{}; // entries 3 to 255 black
    palette[0] = {200, 10, 10};
    palette[1] = {10, 200, 10};
    palette[2] = {10, 200, 10}; // equal to entry 1
    static constexpr struct {
        const char* name;
        TPngColor colour;
        uint8_t index;
    } kCases[] = {
        {"exact", {200, 10, 10}, 0},
        {"near the first", {150, 40, 0}, 0},
        {"equal entries: the first", {0, 255, 0}, 1},
        {"black: the first black", {5, 5, 5}, 3},
    };
    TNearestColor nearest(palette);
    for (int round = 0; round < 2; ++round) // the second round from the remembered answers
        for (const auto& c : kCases)
            EXPECT_EQ(nearest.Index(c.colour.Red, c.colour.Green, c.colour.Blue), c.index)
                << c.name;
}

#if defined(__SANITIZE_ADDRESS__)
size_t HeapInUse() {
    return __sanitizer_get_current_allocated_bytes();
}
#else
size_t HeapInUse() {
    return 0; // not measured without the sanitizer's allocator
}
#endif

// A stream that remembers the most heap in use while the writer wrote to it.
class HeapWatchingStream : public kv::TStream {
public:
    explicit HeapWatchingStream(size_t room) { data_.reserve(room); }
    int64_t GetSize() const override { return static_cast<int64_t>(data_.size()); }
    int64_t GetPosition() const override { return GetSize(); }
    void SetPosition(int64_t) override {}
    size_t Read(void*, size_t) override { return 0; }
    size_t Write(const void* buffer, size_t count) override {
        peak_ = std::max(peak_, HeapInUse());
        data_.append(static_cast<const char*>(buffer), count);
        return count;
    }
    const std::string& Data() const { return data_; }
    size_t Peak() const { return peak_; }

private:
    std::string data_;
    size_t peak_ = 0;
};

TEST(ClScreenshot, AManyColouredPictureIsReducedInFixedMemoryAndStillDecodes) {
    // Nearly every pixel another colour, as on a photo-like desktop.
    const int width = 1536, height = 1024;
    RgbPicture picture(width, height, size_t{width} * 3);
    std::mt19937 random(5);
    for (auto& b : picture.bits) b = uint8_t(random());
    HeapWatchingStream out(8u << 20);
    const size_t before = HeapInUse();
    WriteRgbImagePng(out, picture.image);
    // Beyond the picture and the stream: the tree, the colour table, the deflater and a row, not
    // a copy of the picture or an index per pixel (1.5 MB here).
    EXPECT_LT(out.Peak() - std::min(out.Peak(), before), size_t{1} << 20)
        << "heap grew by " << out.Peak() - std::min(out.Peak(), before);

    const kvtest::PngImage png = kvtest::ReadPng(out.Data());
    EXPECT_EQ(png.Width, uint32_t(width));
    EXPECT_EQ(png.Height, uint32_t(height));
    EXPECT_EQ(png.Pixels.size(), size_t{width + 1} * height);
}

TEST(ClScreenshot, LargeImageDataIsSplitIntoFullIdatChunks) {
    // Random indices hardly compress: about 1 MB of image data.
    const int width = 1021, height = 1000; // width not a multiple of 4
    const size_t rowBytes = 1024;
    std::vector<uint8_t> indices(rowBytes * height);
    std::mt19937 random(11);
    for (auto& b : indices) b = uint8_t(random());
    TPngPalette palette{};
    for (size_t i = 0; i < palette.size(); ++i) palette[i] = {uint8_t(i), uint8_t(255 - i), 7};

    kv::TMemoryStream out;
    WritePalettePng(out, width, height, indices.data(), rowBytes, palette);
    const kvtest::PngImage png = kvtest::ReadPng(out.Data());
    std::vector<size_t> idatSizes;
    for (const auto& chunk : png.Chunks)
        if (chunk.Type == "IDAT") idatSizes.push_back(chunk.Data.size());
    ASSERT_GE(idatSizes.size(), 4u);
    for (size_t i = 0; i + 1 < idatSizes.size(); ++i) EXPECT_EQ(idatSizes[i], 262143u);
    EXPECT_GT(idatSizes.back(), 0u);
    EXPECT_LE(idatSizes.back(), 262143u);
    EXPECT_EQ(png.Chunks.back().Type, "IEND");
    EXPECT_EQ(png.Palette[3 * 10], 10);

    ASSERT_EQ(png.Pixels.size(), size_t{width + 1} * height);
    for (int y = 0; y < height; ++y) {
        ASSERT_EQ(png.Pixels[y * (width + 1)], 0);
        ASSERT_EQ(png.Pixels.compare(y * (width + 1) + 1, width,
                                     reinterpret_cast<const char*>(&indices[y * rowBytes]), width),
                  0)
            << "row " << y;
    }
}

TEST(ClScreenshot, EmptyImageStillHasEveryChunk) {
    kv::TMemoryStream out;
    WritePalettePng(out, 0, 0, nullptr, 0, TPngPalette{});
    const kvtest::PngImage png = kvtest::ReadPng(out.Data());
    EXPECT_EQ(ChunkTypes(png), (std::vector<std::string>{"IHDR", "PLTE", "IDAT", "IEND"}));
}

TEST(ClScreenshot, SavingWithoutNameOrPictureWritesNothing) {
    kvtest::TempDir dir("shot_none");
    ReleaseScreenshot();
    SaveCapturedScreenshot("");
    SaveCapturedScreenshot(dir.Ansi("Screenshot.png"));
    EXPECT_FALSE(std::filesystem::exists(dir.FsPath() / "Screenshot.png"));
}

TEST(ClScreenshot, MapiErrorBecomesTheLastError) {
    ClearLastCrashLogError();
    ReportMAPIError("MAPI failed.");
    EXPECT_EQ(GetLastCrashLogErrorCode(), eeEmailMAPIError);
    EXPECT_EQ(GetLastCrashLogErrorMsg(), "MAPI failed.");
    ClearLastCrashLogError();
}

} // namespace
