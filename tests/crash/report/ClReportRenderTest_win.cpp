#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <string>

#include "crash/report/ClReportRender.h"

namespace {

using namespace kv::crash;

// A rich edit control of the library the report dialog uses, in a hidden window.
class RichEdit {
public:
    RichEdit() {
        const HINSTANCE instance = GetModuleHandleA(nullptr);
        parent_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 600, 300, nullptr, nullptr,
                                  instance, nullptr);
        edit_ = CreateWindowExA(0, RICHEDIT_CLASSA, "", WS_CHILD | ES_MULTILINE, 0, 0, 600, 300,
                                parent_, nullptr, instance, nullptr);
    }
    ~RichEdit() {
        if (parent_) DestroyWindow(parent_);
        if (library_) FreeLibrary(library_);
    }
    RichEdit(const RichEdit&) = delete;
    RichEdit& operator=(const RichEdit&) = delete;

    HWND Handle() const { return edit_; }
    uintptr_t Control() const { return reinterpret_cast<uintptr_t>(edit_); }

    // The plain text in code page 932, paragraphs ended by CR LF.
    std::string AnsiText() const {
        char buffer[1024] = {};
        GETTEXTEX get{sizeof buffer, GT_USECRLF, 932, nullptr, nullptr};
        SendMessageA(edit_, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get),
                     reinterpret_cast<LPARAM>(buffer));
        return buffer;
    }
    // The text as the control counts its characters (one per paragraph mark).
    std::wstring WideText() const {
        wchar_t buffer[1024] = {};
        GETTEXTEX get{sizeof buffer, GT_DEFAULT, 1200, nullptr, nullptr};
        SendMessageA(edit_, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get),
                     reinterpret_cast<LPARAM>(buffer));
        return buffer;
    }
    COLORREF ColourAt(size_t at) const {
        SendMessageA(edit_, EM_SETSEL, at, at + 1);
        CHARFORMAT2A format{};
        format.cbSize = sizeof format;
        format.dwMask = CFM_COLOR;
        SendMessageA(edit_, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
        return format.crTextColor;
    }

private:
    HMODULE library_ = LoadLibraryA("riched20.dll");
    HWND parent_ = nullptr;
    HWND edit_ = nullptr;
};

TEST(ClReportRenderWin, GeneralSectionReadsBackAsItsTextInItsColours) {
    ASSERT_EQ(GetACP(), 932u) << "the tests run under the users' code page";
    RichEdit edit;
    ASSERT_TRUE(edit.Handle());
    // "表" and "ソ" end in the byte 0x5C.
    const std::string text = "CrashLog 6.1.04\r\n"
                             "\r\n"
                             "Application:\r\n"
                             "-----------------------\r\n"
                             "  1.1 Value: \x95\x5C\x83\x5C {x}\\y";
    EXPECT_TRUE(StreamRTFIntoRichEdit(edit.Control(),
                                      RenderGeneralRTF(text, UserRTFFont("Courier New", 9))));
    EXPECT_EQ(edit.AnsiText(), text);

    const std::wstring wide = edit.WideText();
    static const struct {
        const char* name;
        const wchar_t* find;
        COLORREF colour;
    } kCases[] = {
        {"first line", L"CrashLog", RGB(0, 100, 100)}, {"title", L"Application", RGB(40, 40, 40)},
        {"item number", L"1.1", RGB(160, 0, 0)},       {"label", L"Value", RGB(0, 0, 0)},
        {"value", L"\u8868", RGB(0, 0, 160)},          {"escaped value", L"{x}", RGB(0, 0, 160)},
    };
    for (const auto& c : kCases) {
        const size_t at = wide.find(c.find);
        ASSERT_NE(at, std::wstring::npos) << c.name;
        EXPECT_EQ(edit.ColourAt(at), c.colour) << c.name;
    }
}

TEST(ClReportRenderWin, BackgroundTakesColoursAndSystemColours) {
    RichEdit edit;
    ASSERT_TRUE(edit.Handle());
    SetRichEditBackground(edit.Control(), RGB(1, 2, 3));
    EXPECT_EQ(
        SetRichEditBackground(edit.Control(), static_cast<int32_t>(0xFF000000u | COLOR_INFOBK)),
        RGB(1, 2, 3));
    EXPECT_EQ(SendMessageA(edit.Handle(), EM_SETBKGNDCOLOR, 0, RGB(9, 9, 9)),
              static_cast<LRESULT>(GetSysColor(COLOR_INFOBK)));
}

} // namespace
