#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>
#include <filesystem>

#include "DialogTestSupport_win.h"
#include "crash/dialogs/ClExceptionDialog.h"
#include "crash/report/ClReportHalf.h"
#include "ui/Screenshot.h"

namespace {

using namespace kvtest;

// The pixels of a screen rectangle, row by row.
std::vector<COLORREF> Pixels(const RECT& r) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    std::vector<COLORREF> pixels(static_cast<size_t>(w) * h);
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    const HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    std::memcpy(pixels.data(), bits, pixels.size() * sizeof(COLORREF));
    SelectObject(memory, old);
    DeleteObject(dib);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// Pictures of the dialogs for the documentation: into KOLVANE_DIALOG_SCREENSHOTS when it names a
// folder, else into the temporary folder (and removed again).
class DialogScreenshots : public ::testing::Test {
protected:
    void SetUp() override {
        const char* target = std::getenv("KOLVANE_DIALOG_SCREENSHOTS");
        keep_ = target != nullptr;
        folder_ = keep_ ? std::filesystem::path(target) : std::filesystem::temp_directory_path();
        report_.Options().SetEMailSendMode(esmSMTPClient);
        Report.SendChosen = true; // as the report routine sets it when a send mode is on
        SetCustomErrorMessage(Utf16ToAnsi(u"ファイル \"売上.csv\" を開けません。\r\n"
                                          u"別のプログラムが使用しています。"));
        ReportTexts.GeneralSectionText =
            "CrashLog 6.1.04\r\n\r\n1 Application:\r\n---------------\r\n"
            "  1.1 Start Date  : Fri, 11 Dec 2026 09:12:03\r\n"
            "  1.2 Name/Description: kolvane.exe - (Kolvane)\r\n";
    }
    void TearDown() override {
        SetCustomErrorMessage("");
        ReportTexts = TReportTexts{};
    }
    // Takes the picture of the dialog once its pixels have settled, and checks that it was
    // written.
    void Take(HWND dialog, const char* name) {
        SetForegroundWindow(dialog);
        RedrawWindow(dialog, nullptr, nullptr,
                     RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        RECT area{};
        GetWindowRect(dialog, &area);
        std::vector<COLORREF> last;
        int same = 0;
        WaitUntil(
            [&] {
                const std::vector<COLORREF> now = Pixels(area);
                same = now == last ? same + 1 : 0;
                last = now;
                return same >= 3;
            },
            20000);
        const std::filesystem::path path = folder_ / name;
        EXPECT_TRUE(kv::SaveScreenshotPng(path.u16string(), &area)) << name;
        EXPECT_GT(std::filesystem::file_size(path), 1000u) << name;
        if (!keep_) std::filesystem::remove(path);
    }
    TDialogReport report_;
    bool keep_ = false;
    std::filesystem::path folder_;
};

// The error sign's disc at (16, 6) of the bitmap.
constexpr COLORREF kErrorRed = RGB(215, 40, 40);

COLORREF ClientPixel(HWND w, int x, int y) {
    POINT p{x, y};
    ClientToScreen(w, &p);
    const HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, p.x, p.y);
    ReleaseDC(nullptr, screen);
    return c;
}

TEST_F(DialogScreenshots, ClassicDialog) {
    COLORREF sign = 0;
    WithDialog(
        [] {
            Report.DialogType = edtMSClassic;
            ShowExceptionDialog(false);
        },
        [&](HWND d) {
            Take(d, "crash-classic-dialog.png");
            sign = ClientPixel(d, 372 + 16, 9 + 6);
            PostMessageW(d, WM_COMMAND, IDCANCEL, 0);
        });
    EXPECT_EQ(sign, kErrorRed);
}

TEST_F(DialogScreenshots, DetailedDialogInBothModes) {
    COLORREF sign = 0;
    WithDialog(
        [] {
            Report.DialogType = edtCrashLog;
            ShowExceptionDialog(false);
        },
        [&](HWND d) {
            Take(d, "crash-dialog.png");
            sign = ClientPixel(d, 8 + 16, 8 + 6);
            Click(d, 104); // Details
            EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(GetDlgItem(d, 1000)) != FALSE; }))
                << "the pages did not show";
            EXPECT_TRUE(WaitUntil([&] {
                RECT r{};
                GetWindowRect(d, &r);
                return r.right - r.left == 745;
            })) << "the dialog did not take the detailed width";
            Take(d, "crash-dialog-details.png");
            Click(d, 102);
        });
    EXPECT_EQ(sign, kErrorRed);
}

TEST_F(DialogScreenshots, ReproduceRequestAndSendWindow) {
    TLogOptions log = report_.Options().LogOptions();
    log.Include(loAppendReproduceText);
    report_.Options().SetLogOptions(log);
    Report.SendChosen = true;
    report_.Options().SetReproduceText(Utf16ToAnsi(u"1. 左右のファイルを開く\r\n2. 結合を押す"));
    WithDialog(ShowReproduceRequest, [&](HWND d) {
        Take(d, "crash-reproduce-request.png");
        PostMessageW(d, WM_COMMAND, IDCANCEL, 0);
    });
    ShowSendProgress(true);
    const HWND window = reinterpret_cast<HWND>(SendProgressWindow());
    ASSERT_NE(window, nullptr);
    SetSendProgressText("Message 1/1: Connecting with server...");
    SetSendProgressPosition(35);
    Take(window, "crash-send-window.png");
    CloseSendProgress();
}

} // namespace
