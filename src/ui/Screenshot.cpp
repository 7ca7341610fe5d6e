#include "ui/Screenshot.h"

#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "ui/Graphics.h"

namespace kv {

namespace {

void PutU32(std::string& out, uint32_t v) {
    out += static_cast<char>(v >> 24);
    out += static_cast<char>(v >> 16);
    out += static_cast<char>(v >> 8);
    out += static_cast<char>(v);
}

void PutChunk(std::string& out, const char* type, const std::string& data) {
    PutU32(out, static_cast<uint32_t>(data.size()));
    std::string body(type, 4);
    body += data;
    out += body;
    PutU32(out, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                            static_cast<uInt>(body.size()))));
}

} // namespace

bool SaveScreenshotPng(const std::u16string& path, const RECT* area) {
    RECT r =
        area ? *area : RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return false;

    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height; // top-down rows
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    GdiObject<HBITMAP> dib(CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    HDC mem = CreateCompatibleDC(screen);
    bool ok = false;
    if (dib.get() && mem) {
        SelectedObject sel(mem, dib.get());
        ok = BitBlt(mem, 0, 0, width, height, screen, r.left, r.top, SRCCOPY | CAPTUREBLT) != FALSE;
        GdiFlush();
    }
    if (mem) DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    if (!ok || !bits) return false;

    // Filter type 0 rows of RGB triples.
    std::string raw;
    raw.reserve(static_cast<size_t>(height) * (static_cast<size_t>(width) * 3 + 1));
    const auto* px = static_cast<const uint8_t*>(bits);
    for (int y = 0; y < height; ++y) {
        raw += '\0';
        const uint8_t* row = px + static_cast<size_t>(y) * static_cast<size_t>(width) * 4;
        for (int x = 0; x < width; ++x) {
            raw += static_cast<char>(row[x * 4 + 2]);
            raw += static_cast<char>(row[x * 4 + 1]);
            raw += static_cast<char>(row[x * 4 + 0]);
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                  reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()),
                  9) != Z_OK)
        return false;
    packed.resize(packedSize);

    std::string png("\x89PNG\r\n\x1A\n", 8);
    std::string ihdr;
    PutU32(ihdr, static_cast<uint32_t>(width));
    PutU32(ihdr, static_cast<uint32_t>(height));
    ihdr += std::string("\x08\x02\x00\x00\x00", 5); // 8 bits, RGB, deflate, no filter, no interlace
    PutChunk(png, "IHDR", ihdr);
    PutChunk(png, "IDAT", packed);
    PutChunk(png, "IEND", "");

    HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_WRITE, 0,
                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL wrote =
        WriteFile(file, png.data(), static_cast<DWORD>(png.size()), &written, nullptr);
    CloseHandle(file);
    return wrote && written == png.size();
}

} // namespace kv
