#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "UiTestSupport.h"
#include "base/Text.h"
#include "ui/Application.h"
#include "ui/Forms.h"
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
    std::string head(8, '\0');
    std::ifstream(path, std::ios::binary).read(head.data(), 8);
    EXPECT_EQ(head, std::string("\x89PNG\r\n\x1A\n", 8));
    EXPECT_GT(std::filesystem::file_size(path), 1000u);
    if (!target) std::filesystem::remove(path);
}

} // namespace
