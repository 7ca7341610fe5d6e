#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "../crash/report/PngReader.h"
#include "TestFiles.h"
#include "UiTestSupport.h"
#include "base/Text.h"
#include "ui/Application.h"
#include "ui/Forms.h"
#include "ui/Graphics.h"
#include "ui/Grids.h"
#include "ui/Screenshot.h"

namespace {

class TSampleForm : public kv::TForm {
    KV_CLASS(TSampleForm)
public:
    TSampleForm() : TForm(kv::Application) {
        BindField(u"GridLeft", GridLeft);
        ReadForm(u"SAMPLEFORM");
        GridLeft->OnDrawCell = [this](kv::TObject*, int col, int row, const RECT& rect,
                                      kv::TGridDrawState state) {
            static const char16_t* const kTitles[] = {u"顧客番号", u"氏名", u"住所", u"電話",
                                                      u"備考"};
            std::u16string text;
            if (row == 0 && col > 0)
                text = std::u16string(1, char16_t(u'A' + col - 1));
            else if (row == 1 && col > 0)
                text = kTitles[(col - 1) % 5];
            else if (col == 0 && row > 1)
                text = kv::IntToStr(row - 1);
            else if (row > 1)
                text = col == 2 ? u"山田 太郎" : kv::IntToStr(1000 + row * 7 + col);
            RECT r = rect;
            InflateRect(&r, -2, -2);
            if (state & kv::gdFixed) GridLeft->Canvas().DrawEdge(rect, BDR_RAISEDINNER, BF_RECT);
            GridLeft->Canvas().DrawText(text, r, DT_SINGLELINE | DT_LEFT | DT_TOP);
        };
    }
    kv::TDrawGrid* GridLeft = nullptr;
};

// Shows the sample window and saves a picture of it. The path comes from KOLVANE_SCREENSHOT
// (the documentation's picture is made that way); otherwise it goes to the temporary folder.
TEST(Screenshot, SampleFormWithJapaneseCaptions) {
    TSampleForm form;
    form.Show();
    kvtest::PumpUntil([] { return false; }, 300);
    RECT area;
    GetWindowRect(form.Handle(), &area);
    const char* target = std::getenv("KOLVANE_SCREENSHOT");
    const std::filesystem::path path =
        target ? std::filesystem::path(target)
               : std::filesystem::temp_directory_path() / "kolvane_sample_form.png";
    ASSERT_TRUE(kv::SaveScreenshotPng(kv::Utf8ToUtf16(path.string()), &area));
    form.Hide();
    if (!target) std::filesystem::remove(path);
}

// A topmost popup of four known colours, one per quadrant.
class QuadrantWindow {
public:
    static constexpr int kLeft = 50, kTop = 40, kWidth = 120, kHeight = 80;
    static constexpr COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0),
                              kBlue = RGB(0, 0, 255), kYellow = RGB(255, 255, 0);

    QuadrantWindow() {
        WNDCLASSW cls{};
        cls.lpfnWndProc = &WindowProc;
        cls.hInstance = GetModuleHandleW(nullptr);
        cls.lpszClassName = L"KvQuadrantWindow";
        RegisterClassW(&cls);
        window_ =
            CreateWindowExW(WS_EX_TOPMOST, cls.lpszClassName, L"", WS_POPUP | WS_VISIBLE, kLeft,
                            kTop, kWidth, kHeight, nullptr, nullptr, cls.hInstance, nullptr);
    }
    ~QuadrantWindow() { DestroyWindow(window_); }
    QuadrantWindow(const QuadrantWindow&) = delete;
    QuadrantWindow& operator=(const QuadrantWindow&) = delete;
    HWND Handle() const { return window_; }

private:
    static LRESULT CALLBACK WindowProc(HWND h, UINT m, WPARAM w, LPARAM l) {
        if (m != WM_PAINT) return DefWindowProcW(h, m, w, l);
        static constexpr COLORREF kQuadrants[2][2] = {{kRed, kGreen}, {kBlue, kYellow}};
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        for (int row = 0; row < 2; ++row)
            for (int col = 0; col < 2; ++col) {
                const RECT r{col * kWidth / 2, row * kHeight / 2, (col + 1) * kWidth / 2,
                             (row + 1) * kHeight / 2};
                const kv::GdiObject<HBRUSH> brush(CreateSolidBrush(kQuadrants[row][col]));
                FillRect(dc, &r, brush.get());
            }
        EndPaint(h, &ps);
        return 0;
    }

    HWND window_ = nullptr;
};

// The picture of exactly the area, top row first, each pixel red, green, blue.
TEST(Screenshot, SavesTheAreaAsRgbPixels) {
    using W = QuadrantWindow;
    const W window;
    ASSERT_NE(window.Handle(), nullptr);
    {
        const kv::WindowDC screen(nullptr);
        ASSERT_TRUE(kvtest::PumpUntil([&] {
            return GetPixel(screen.get(), W::kLeft, W::kTop) == W::kRed &&
                   GetPixel(screen.get(), W::kLeft + W::kWidth - 1, W::kTop + W::kHeight - 1) ==
                       W::kYellow;
        }));
    }
    const kvtest::TempFile file("screenshot_area.png");
    const RECT area{W::kLeft, W::kTop, W::kLeft + W::kWidth, W::kTop + W::kHeight};
    ASSERT_TRUE(kv::SaveScreenshotPng(file.Path(), &area));

    const kvtest::PngImage png = kvtest::ReadPng(file.Read());
    // 120 x 80, 8 bits per sample, RGB, no interlace.
    EXPECT_EQ(png.Header, std::string("\0\0\0\x78\0\0\0\x50\x08\x02\0\0\0", 13));
    constexpr size_t kRowBytes = 1 + 3 * 120;
    ASSERT_EQ(png.Pixels.size(), kRowBytes * 80);
    for (size_t y = 0; y < 80; ++y)
        ASSERT_EQ(png.Pixels[y * kRowBytes], 0) << "filter of row " << y;
    static const struct {
        const char* name;
        int x, y;
        uint8_t rgb[3];
    } kPixels[] = {
        {"top left corner", 0, 0, {255, 0, 0}},
        {"top right corner", 119, 0, {0, 255, 0}},
        {"bottom left corner", 0, 79, {0, 0, 255}},
        {"bottom right corner", 119, 79, {255, 255, 0}},
        {"last column of the left half", 59, 39, {255, 0, 0}},
        {"first column of the right half", 60, 39, {0, 255, 0}},
        {"first row of the lower half", 59, 40, {0, 0, 255}},
    };
    for (const auto& p : kPixels) {
        const size_t at = p.y * kRowBytes + 1 + 3 * p.x;
        EXPECT_EQ(png.Pixels.substr(at, 3), std::string(reinterpret_cast<const char*>(p.rgb), 3))
            << p.name;
    }
}

} // namespace
