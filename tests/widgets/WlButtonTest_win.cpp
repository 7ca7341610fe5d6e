#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "WlTestSupport.h"
#include "ui/Application.h"
#include "ui/Menus.h"
#include "widgets/WlButton.h"
#include "widgets/WlClasses.h"

namespace {

using namespace kv;

std::u16string WindowText(HWND wnd) {
    wchar_t buffer[256] = {};
    GetWindowTextW(wnd, buffer, 256);
    return FromW(buffer);
}

TEST(WlClasses, DragCursorEntriesOfTheScreenCursorTable) {
    ASSERT_NE(Screen, nullptr);
    // Drag and multi-drag are both the arrow by default: tell them apart for the test.
    const HCURSOR drag = LoadCursorW(nullptr, IDC_CROSS);
    const HCURSOR multiDrag = LoadCursorW(nullptr, IDC_HAND);
    const HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    EXPECT_EQ(Screen->Cursors(372), arrow); // nothing stored there
    Screen->SetCursors(crDrag, drag);
    Screen->SetCursors(crMultiDrag, multiDrag);
    RegisterWlCursors();
    static const struct {
        int number;
        bool multi;
    } kEntries[] = {{368, true}, {369, false}, {370, true}, {371, true}};
    for (const auto& e : kEntries)
        EXPECT_EQ(Screen->Cursors(e.number), e.multi ? multiDrag : drag) << e.number;
    EXPECT_EQ(Screen->Cursors(372), arrow);
    Screen->SetCursors(crDrag, arrow);
    Screen->SetCursors(crMultiDrag, arrow);
}

TEST(WlCustomButton, VerticalBarBreaksTheWindowTextWhileWordWrapIsOn) {
    TForm form(Application);
    auto* b = new TWlCustomButton(nullptr);
    b->SetParent(&form);
    b->SetCaption(u"一行目|二行目");
    EXPECT_EQ(b->GetDrawnCaption(), u"一行目\n二行目");
    EXPECT_EQ(WindowText(b->Handle()), u"一行目\n二行目");
    EXPECT_TRUE(GetWindowLongW(b->Handle(), GWL_STYLE) & BS_MULTILINE);
    b->SetWordWrap(false);
    EXPECT_EQ(WindowText(b->Handle()), u"一行目|二行目");
    EXPECT_EQ(b->GetDrawnCaption(), u"一行目|二行目");
}

TEST(WlCustomButton, DropDownMenuOpensBelowTheButton) {
    kvtest::TestServices services;
    TForm form(Application);
    form.SetBounds(100, 100, 300, 120);
    auto* menu = new TPopupMenu(&form);
    auto* b = new TWlCustomButton(nullptr);
    b->SetParent(&form);
    b->SetBounds(20, 30, 80, 24);
    b->SetDropDownMenu(menu);
    int clicks = 0;
    b->OnClick = [&clicks](TObject*) { ++clicks; };
    form.Show();
    kvtest::PumpPending();
    POINT corner{0, 24};
    ClientToScreen(b->Handle(), &corner);

    static const struct {
        const char* name;
        TPopupAlignment alignment;
        int dx;
    } kCases[] = {{"left-aligned: bottom-left corner", paLeft, 0},
                  {"right-aligned: bottom-right corner", paRight, 80},
                  {"centred: bottom middle", paCenter, 40}};
    for (const auto& c : kCases) {
        menu->SetAlignment(c.alignment);
        services.popups.clear();
        b->Click();
        ASSERT_EQ(services.popups.size(), 1u) << c.name;
        EXPECT_EQ(services.popups[0].x, corner.x + c.dx) << c.name;
        EXPECT_EQ(services.popups[0].y, corner.y) << c.name;
        EXPECT_EQ(menu->PopupComponent(), b) << c.name;
    }
    EXPECT_EQ(clicks, 3); // the click itself runs before the menu

    // A handler that takes the request keeps the menu closed.
    POINT asked{};
    b->OnDropDownMenu = [&asked](TObject*, POINT at, bool& handled) {
        asked = at;
        handled = true;
    };
    services.popups.clear();
    b->Click();
    EXPECT_TRUE(services.popups.empty());
    EXPECT_EQ(asked.y, corner.y);
    EXPECT_TRUE(b->ShowDropDownMenu(1, 2));

    delete menu; // the button hears of it
    EXPECT_EQ(b->DropDownMenu(), nullptr);
    EXPECT_FALSE(b->ShowDropDownMenu(1, 2));
}

TEST(WlCustomButton, DropArrowColours) {
    TWlCustomButton b(nullptr);
    kvtest::RecordingCanvas canvas;
    b.DrawDropArrow(canvas, {58, 11, 65, 18});
    ASSERT_FALSE(canvas.calls.empty());
    EXPECT_EQ(canvas.calls[0].ToString(), "PenColor(" + std::to_string(clWindowText) + ")");
    EXPECT_EQ(canvas.Of("LineTo").size(), 4u);
    EXPECT_EQ(canvas.Of("MoveTo")[1].args, (std::vector<int>{59, 12}));
    EXPECT_EQ(canvas.Of("LineTo")[1].args, (std::vector<int>{64, 12}));
    canvas.Clear();
    b.SetEnabled(false);
    b.DrawDropArrow(canvas, {58, 11, 65, 18});
    EXPECT_EQ(canvas.calls[0].ToString(), "PenColor(" + std::to_string(clInactiveCaption) + ")");
}

TEST(WlCustomButton, HotTrackFontWornWhileTheMouseIsOver) {
    TWlCustomButton b(nullptr);
    b.Font().SetHeight(-12);
    b.Font().SetStyle(0);
    b.HotTrackFont().SetStyle(fsBold);
    b.SetHotTrack(true);
    // The default options follow the button font but keep the hot font's colour and style.
    b.Font().SetHeight(-15);
    EXPECT_EQ(b.HotTrackFont().Height(), -15);
    EXPECT_EQ(b.HotTrackFont().Style(), fsBold);

    b.MouseEnter();
    EXPECT_TRUE(b.MouseOver());
    EXPECT_EQ(b.Font().Style(), fsBold);
    b.MouseEnter(); // already inside: nothing more
    b.MouseLeave();
    EXPECT_FALSE(b.MouseOver());
    EXPECT_EQ(b.Font().Style(), 0u);
    EXPECT_EQ(b.Font().Height(), -15);

    // Without hoFollowFont the hot font keeps everything.
    b.SetHotTrackFontOptions(0);
    b.Font().SetHeight(-20);
    EXPECT_EQ(b.HotTrackFont().Height(), -15);
}

TEST(WlCustomButton, ForceSameSizeResizesTheFormsOtherButtons) {
    TForm form(Application);
    auto* leader = new TWlCustomButton(nullptr);
    leader->SetParent(&form);
    leader->SetBounds(10, 10, 75, 25);
    auto* other = new TWlCustomButton(nullptr);
    other->SetParent(&form);
    other->SetBounds(100, 10, 75, 25);
    leader->SetForceSameSize(true);
    leader->SetBounds(10, 10, 90, 30);
    EXPECT_EQ(other->BoundsRect().left, 100);
    EXPECT_EQ(other->Width(), 90);
    EXPECT_EQ(other->Height(), 30);
    EXPECT_EQ(leader->Width(), 90);
}

} // namespace
