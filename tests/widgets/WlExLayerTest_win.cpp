#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "WlTestSupport.h"
#include "ui/Application.h"
#include "ui/FormReader.h"
#include "widgets/WlCtrls.h"
#include "widgets/WlExtComponent.h"

namespace {

using namespace kv;

TWlHintInfo HintOf(TWinControl& c) {
    TWlHintInfo info;
    info.HintColor = clLime; // what the application would use unless the control says
    c.Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info));
    return info;
}

TEST(WlExLayer, HintColourUpTheParentChain) {
    TForm form(Application);
    auto* panel = new TWlCustomPanel(nullptr);
    panel->SetParent(&form);
    panel->SetHintColor(clRed);
    auto* b = new TWlImgBtn(nullptr);
    b->SetParent(panel);
    EXPECT_EQ(b->HintColor(), clDefault);
    EXPECT_EQ(HintOf(*b).HintColor, clRed) << "clDefault asks the parent";
    b->SetHintColor(clNone);
    EXPECT_EQ(HintOf(*b).HintColor, WlApplicationHintColor()) << "clNone: the application's";
    b->SetHintColor(clYellow);
    EXPECT_EQ(HintOf(*b).HintColor, clYellow);
    b->SetHintWindowClass(u"TMyHint");
    EXPECT_EQ(HintOf(*b).HintWindowClass, u"TMyHint");
    panel->SetHintColor(clDefault); // the form answers nothing: left as it was
    b->SetHintColor(clDefault);
    EXPECT_EQ(HintOf(*b).HintColor, clLime);
    TWlImgBtn loose(nullptr);
    EXPECT_EQ(HintOf(loose).HintColor, clLime);
}

// Counts the operations the notifications reach.
class CountingButton : public TWlImgBtn {
public:
    CountingButton() : TWlImgBtn(nullptr) {}
    int fontChanges = 0, textChanges = 0;
    TWlDlgCodes seenCodes = 0;
    bool takeTab = false;

protected:
    void HandleFontChanged() override {
        ++fontChanges;
        TWlImgBtn::HandleFontChanged();
    }
    void HandleTextChanged() override {
        ++textChanges;
        TWlImgBtn::HandleTextChanged();
    }
    void HandleDialogCode(TWlDlgCodes& codes) override {
        seenCodes = codes;
        if (takeTab) codes = WlDlgCode(dcWantTab);
    }
};

TEST(WlExLayer, NotificationsReachTheOperations) {
    TForm form(Application);
    auto* b = new CountingButton;
    b->SetParent(&form);
    b->Font().SetHeight(-20);
    EXPECT_EQ(b->fontChanges, 1);
    b->Perform(CM_FONTCHANGED);
    EXPECT_EQ(b->fontChanges, 2);
    b->SetCaption(u"x");
    b->Perform(CM_TEXTCHANGED);
    EXPECT_EQ(b->textChanges, 2);
    EXPECT_EQ(b->Perform(CM_WLEXCONTROL_QUERY), 1);
    EXPECT_EQ(form.Perform(CM_WLEXCONTROL_QUERY), 0);
}

TEST(WlExLayer, DialogCodeAsASet) {
    TForm form(Application);
    auto* b = new CountingButton;
    b->SetParent(&form);
    // The system button's own answer.
    WNDCLASSEXW button{};
    button.cbSize = sizeof button;
    ASSERT_TRUE(GetClassInfoExW(nullptr, L"BUTTON", &button));
    const LRESULT system = CallWindowProcW(button.lpfnWndProc, b->Handle(), WM_GETDLGCODE, 0, 0);
    ASSERT_NE(system, 0);
    // The native flag kept: the system's answer unchanged.
    EXPECT_EQ(SendMessageW(b->Handle(), WM_GETDLGCODE, 0, 0), system);
    EXPECT_TRUE(b->seenCodes & WlDlgCode(dcNative));
    EXPECT_TRUE(b->seenCodes & WlDlgCode(dcButton));
    // Dropped: the set becomes the answer.
    b->takeTab = true;
    EXPECT_EQ(SendMessageW(b->Handle(), WM_GETDLGCODE, 0, 0), DLGC_WANTTAB);
}

TEST(WlExLayer, MouseOverAndParentColourEvents) {
    TForm form(Application);
    auto* panel = new TWlCustomPanel(nullptr);
    panel->SetParent(&form);
    auto* b = new TWlImgBtn(nullptr);
    b->SetParent(panel);
    int enters = 0, leaves = 0, parentColours = 0;
    b->OnMouseEnter = [&enters](TObject*) { ++enters; };
    b->OnMouseLeave = [&leaves](TObject*) { ++leaves; };
    b->OnParentColorChanged = [&parentColours](TObject*) { ++parentColours; };
    b->Perform(CM_MOUSEENTER);
    EXPECT_TRUE(b->MouseOver());
    EXPECT_TRUE(b->MouseInControl());
    b->Perform(CM_MOUSELEAVE);
    EXPECT_FALSE(b->MouseOver());
    EXPECT_EQ(enters, 1);
    EXPECT_EQ(leaves, 1);
    b->SetParentColor(true);
    panel->SetColor(clAqua);
    EXPECT_EQ(b->Color(), clAqua);
    EXPECT_GE(parentColours, 1);
}

TEST(WlExLayer, HighlightFrameColours) {
    kvtest::RecordingCanvas active;
    DrawWlHighlightFrame(active, 74, 23, true, clBtnFace);
    const auto frames = active.Of("FrameRect");
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].args, (std::vector<int>{0, 0, 74, 23}));
    EXPECT_EQ(frames[1].args, (std::vector<int>{1, 1, 73, 22}));
    const auto brushes = active.Of("BrushColor");
    EXPECT_EQ(brushes[0].args[0], 0x733800); // RGB 0x00, 0x38, 0x73
    EXPECT_EQ(brushes[1].args[0], 0x733800);
    kvtest::RecordingCanvas idle;
    DrawWlHighlightFrame(idle, 74, 23, false, clBtnFace);
    EXPECT_EQ(idle.Of("BrushColor")[0].args[0], 0x808080);
    EXPECT_EQ(idle.Of("BrushColor")[1].args[0], clBtnFace);
}

TEST(WlCustomPanel, PaintContentGetsTheClientRectangle) {
    TForm form(Application);
    form.SetBounds(100, 100, 240, 160);
    auto* panel = new TWlCustomPanel(nullptr);
    panel->SetParent(&form);
    panel->SetBounds(10, 10, 120, 60);
    RECT painted{};
    int paints = 0;
    panel->OnPaintContent = [&](TObject* sender, TCanvas& canvas, const RECT& r) {
        EXPECT_EQ(sender, panel);
        EXPECT_NE(canvas.Handle(), nullptr);
        painted = r;
        ++paints;
    };
    form.Show();
    kvtest::PumpUntil([&paints] { return paints > 0; });
    ASSERT_GT(paints, 0);
    EXPECT_EQ(painted.right, 120);
    EXPECT_EQ(painted.bottom, 60);
}

TEST(WlCustomPanel, OlderFormsStoreCtl3D) {
    TForm form(Application);
    TReader::ReadComponent(form, u"object F: TForm\n"
                                 u"  object P: TWlCustomPanel\n"
                                 u"    Ctl3D = False\n"
                                 u"    ParentCtl3D = False\n"
                                 u"  end\n"
                                 u"end\n");
    auto* p = dynamic_cast<TWlCustomPanel*>(form.FindComponent(u"P"));
    ASSERT_NE(p, nullptr);
    EXPECT_FALSE(p->Ctl3D());
    EXPECT_FALSE(p->ParentCtl3D());
    TWlPropertyWriter w;
    p->StoredProperties(w);
    EXPECT_FALSE(w.Find(u"Ctl3D").has_value()); // read, never written
}

} // namespace
