#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "ui/Application.h"
#include "ui/ExtCtrls.h"
#include "ui/Forms.h"

namespace {

TEST(Splitter, DraggingMovesTheBorderOfTheControlBeforeIt) {
    kvtest::ShownForm s;
    s.form.SetClientSize(400, 300);
    auto* top = s.Add<kv::TPanel>();
    top->SetAlign(kv::alTop);
    top->SetHeight(100);
    auto* splitter = s.Add<kv::TSplitter>();
    splitter->SetAlign(kv::alTop);
    splitter->SetTop(100);
    splitter->SetHeight(4);
    auto* rest = s.Add<kv::TPanel>();
    rest->SetAlign(kv::alClient);
    ASSERT_EQ(splitter->Top(), 100);
    EXPECT_EQ(splitter->FindResizeControl(), top);
    HWND h = splitter->Handle();
    // The splitter reads the cursor's screen position; put it where the drag goes.
    POINT p{10, 2};
    ClientToScreen(h, &p);
    SetCursorPos(p.x, p.y);
    SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 2));
    SetCursorPos(p.x, p.y + 50);
    SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, 52));
    SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(10, 52));
    EXPECT_EQ(top->Height(), 150);
    EXPECT_EQ(splitter->Top(), 150);
    EXPECT_EQ(rest->Top(), 154);
    EXPECT_EQ(rest->Height(), 146);
}

TEST(Panel, ChildrenAreAlignedInsideBorderAndBevels) {
    kvtest::ShownForm s;
    auto* panel = s.Add<kv::TPanel>();
    panel->SetBounds(0, 0, 200, 100);
    panel->SetBevelInner(kv::bvLowered);
    panel->SetBevelWidth(2);
    panel->SetBorderWidth(3);
    auto* inner = kv::Create<kv::TPanel>(&s.form);
    inner->SetParent(panel);
    inner->SetAlign(kv::alClient);
    EXPECT_EQ(inner->Left(), 3 + 2 + 2);
    EXPECT_EQ(inner->Width(), 200 - 2 * 7);
    EXPECT_EQ(inner->Height(), 100 - 2 * 7);
}

TEST(Image, ShowsAnIconResource) {
    kvtest::ShownForm s;
    auto* image = s.Add<kv::TImage>();
    EXPECT_FALSE(image->HasPicture());
    image->LoadIconResource(u"TESTICON");
    EXPECT_TRUE(image->HasPicture());
    image->SetStretch(true);
    image->Repaint();
    EXPECT_THROW(image->LoadIconResource(u"NOSUCHICON"), kv::Exception);
}

} // namespace
