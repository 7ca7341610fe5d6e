#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "WlTestSupport.h"
#include "base/Text.h"
#include "ui/Screenshot.h"

namespace {

// Shows the four stored footers side by side and saves one picture of them. The path comes
// from KOLVANE_WIDGETS_SCREENSHOT (the documentation's picture is made that way); otherwise
// it goes to the temporary folder.
TEST(WlScreenshot, FourStoredFooters) {
    const struct {
        const char16_t* resource;
        int left, top;
    } kForms[] = {{u"FOOTERSORTFIELDEDIT", 10, 10},
                  {u"FOOTERCREATEAUTOFILE", 400, 10},
                  {u"FOOTERSORTFIELDSELECT", 10, 190},
                  {u"FOOTERABOUTBOX", 400, 190}};
    std::vector<std::unique_ptr<kvtest::TestForm>> forms;
    RECT area{10000, 10000, 0, 0};
    for (const auto& f : kForms) {
        auto form = std::make_unique<kvtest::TestForm>(f.resource);
        form->SetBounds(f.left, f.top, form->Width(), form->Height());
        form->Show();
        RECT r;
        GetWindowRect(form->Handle(), &r);
        UnionRect(&area, &area, &r);
        forms.push_back(std::move(form));
    }
    kvtest::PumpUntil([] { return false; }, 300);
    const char* target = std::getenv("KOLVANE_WIDGETS_SCREENSHOT");
    const std::filesystem::path path =
        target ? std::filesystem::path(target)
               : std::filesystem::temp_directory_path() / "kolvane_footers.png";
    ASSERT_TRUE(kv::SaveScreenshotPng(kv::Utf8ToUtf16(path.string()), &area));
    for (auto& form : forms) form->Hide();
    std::string head(8, '\0');
    std::ifstream(path, std::ios::binary).read(head.data(), 8);
    EXPECT_EQ(head, std::string("\x89PNG\r\n\x1A\n", 8));
    if (!target) std::filesystem::remove(path);
}

} // namespace
