#include <gtest/gtest.h>

#include <memory>

#include "UiTestSupport.h"
#include "WlTestSupport.h"
#include "base/Text.h"
#include "ui/ActnList.h"
#include "ui/Application.h"
#include "ui/FormReader.h"
#include "widgets/WlCtrls.h"
#include "widgets/WlExtComponent.h"

namespace {

using namespace kv;
using kvtest::RecordingCanvas;

DRAWITEMSTRUCT Item(TWlCustomImageButton& b, RecordingCanvas& canvas, UINT state = 0) {
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = state;
    item.hwndItem = nullptr;
    item.hDC = canvas.Handle();
    item.rcItem = {0, 0, b.Width(), b.Height()};
    return item;
}

// Draws the button classically (or themed) on a fresh recording canvas.
std::unique_ptr<RecordingCanvas> Draw(TWlCustomImageButton& b, UINT state = 0,
                                      bool themes = false) {
    const TWlThemesOverride look(themes);
    auto canvas = std::make_unique<RecordingCanvas>();
    b.DrawItem(*canvas, Item(b, *canvas, state));
    return canvas;
}

TEST(WlImgBtn, KindsSetModalResultRolesAndClearCaptionAndImages) {
    static const struct {
        TWlImgBtnKind kind;
        int modalResult;
        bool isDefault, isCancel;
    } kCases[] = {{bkOK, mrOk, true, false},          {bkCancel, mrCancel, false, true},
                  {bkHelp, mrNone, false, false},     {bkYes, mrYes, true, false},
                  {bkNo, mrNo, false, true},          {bkClose, mrNone, false, false},
                  {bkAbort, mrAbort, false, false},   {bkRetry, mrRetry, false, false},
                  {bkIgnore, mrIgnore, false, false}, {bkAll, mrAll, false, false}};
    TImageList list(nullptr);
    for (const auto& c : kCases) {
        TWlImgBtn b(nullptr);
        b.SetCaption(u"Mine");
        b.SetImages(&list);
        b.SetImageIndex(0);
        b.SetDefault(!c.isDefault);
        b.SetCancel(!c.isCancel);
        b.SetKind(c.kind);
        EXPECT_EQ(b.ModalResult(), c.modalResult) << int(c.kind);
        EXPECT_EQ(b.Default(), c.isDefault) << int(c.kind);
        EXPECT_EQ(b.Cancel(), c.isCancel) << int(c.kind);
        EXPECT_EQ(b.Caption(), u"") << int(c.kind);
        EXPECT_EQ(b.Images(), nullptr) << int(c.kind);
        EXPECT_EQ(b.ImageIndex(), -1) << int(c.kind);
        EXPECT_EQ(b.GetDrawnCaption(), WlKindInfo(c.kind).caption) << int(c.kind);
    }
}

TEST(WlImgBtn, BackToCustomKeepsTheRolesAndOnlyDropsTheModalResult) {
    TWlImgBtn b(nullptr);
    b.SetKind(bkOK);
    b.SetCaption(u"Go");
    b.SetKind(bkCustom);
    EXPECT_TRUE(b.Default());
    EXPECT_EQ(b.ModalResult(), mrNone);
    EXPECT_EQ(b.Caption(), u"Go");
    // From one standard kind to another the caption stays.
    b.SetKind(bkYes);
    b.SetCaption(u"Sure");
    b.SetKind(bkNo);
    EXPECT_EQ(b.Caption(), u"Sure");
    EXPECT_FALSE(b.Default());
    EXPECT_TRUE(b.Cancel());
}

TEST(WlImgBtn, KindWhileAFormIsReadKeepsTheStoredCaption) {
    TForm form(Application);
    TReader::ReadComponent(form, u"object F: TForm\n"
                                 u"  object B: TWlImgBtn\n"
                                 u"    Caption = 'Stored'\n"
                                 u"    Kind = bkOK\n"
                                 u"  end\n"
                                 u"end\n");
    auto* b = dynamic_cast<TWlImgBtn*>(form.FindComponent(u"B"));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Caption(), u"Stored");
    EXPECT_EQ(b->ModalResult(), mrOk);
}

TEST(WlImgBtn, OkDrawsItsKindCaptionAndGlyphUnlessCaptioned) {
    TWlImgBtn b(nullptr);
    b.SetBounds(0, 0, 74, 23);
    b.SetKind(bkOK);
    auto c = Draw(b);
    ASSERT_EQ(c->Of("DrawText").size(), 1u) << c->Dump();
    EXPECT_EQ(c->Of("DrawText")[0].text, u"OK");
    ASSERT_EQ(c->Of("DrawImage").size(), 1u);
    EXPECT_EQ(c->Of("DrawImage")[0].list, &TWlCustomImageButton::DefaultKindImages());
    EXPECT_EQ(c->Of("DrawImage")[0].args[0], 2);
    EXPECT_TRUE(b.Default());
    EXPECT_EQ(b.ModalResult(), 1);
    EXPECT_EQ(TWlCustomImageButton::DefaultKindImages().Count(), 10);

    b.SetCaption(u"Fine");
    c = Draw(b);
    EXPECT_EQ(c->Of("DrawText")[0].text, u"Fine");
    EXPECT_EQ(c->Of("DrawImage")[0].args[0], 2);
}

TEST(WlImgBtn, GlyphAndCaptionPlacesFollowTheMeasuredText) {
    // Classic look: content is the client rectangle less 4; 18 x 18 kind glyphs count 17.
    static const struct {
        const char* name;
        TAlignment alignment;
        int margin;
        TWlImgBtnLayout layout;
    } kCases[] = {{"centred, glyph left", taCenter, -1, blImageLeft},
                  {"centred, glyph right", taCenter, -1, blImageRight},
                  {"left, margin 3", taLeftJustify, 3, blImageLeft},
                  {"right, margin 3", taRightJustify, 3, blImageLeft}};
    for (const auto& k : kCases) {
        TWlImgBtn b(nullptr);
        b.SetBounds(0, 0, 120, 23);
        b.SetKind(bkCancel);
        b.SetAlignment(k.alignment);
        b.SetMargin(k.margin);
        b.SetLayout(k.layout);
        const auto c = Draw(b);
        const int room = 120 - 8, height = 23 - 8, glyph = 17, spacing = 4;
        // The text is measured into the room beside the glyph (aligned: at least the button
        // width less glyph and 18).
        int textRoom = room - glyph;
        if (k.alignment != taCenter) textRoom = std::max(textRoom, 120 - glyph - 18);
        const UINT align = k.alignment == taCenter        ? DT_CENTER
                           : k.alignment == taLeftJustify ? DT_LEFT
                                                          : DT_RIGHT;
        const RECT t = kvtest::MeasureText(b.Font(), u"キャンセル", {0, 0, textRoom, 23 - 4},
                                           align | DT_WORDBREAK);
        const int total = glyph + spacing + t.right;
        const int m = k.margin == -1 || k.alignment == taCenter ? (room - total) / 2
                      : k.alignment == taRightJustify           ? room - total - k.margin
                                                                : k.margin;
        int glyphLeft, textLeft;
        if (k.layout == blImageLeft) {
            glyphLeft = m;
            textLeft = m + glyph + spacing;
        } else {
            glyphLeft = room - m - glyph;
            textLeft = room - total - m;
        }
        ASSERT_EQ(c->Of("DrawImage").size(), 1u) << k.name;
        EXPECT_EQ(c->Of("DrawImage")[0].args[1], 4 + glyphLeft) << k.name;
        EXPECT_EQ(c->Of("DrawImage")[0].args[2], 4 + (height - glyph) / 2) << k.name;
        ASSERT_EQ(c->Of("DrawText").size(), 1u) << k.name;
        const std::vector<int> text = c->Of("DrawText")[0].args;
        EXPECT_EQ(text[0], 4 + textLeft) << k.name;
        EXPECT_EQ(text[1], 4 + (height - t.bottom) / 2) << k.name;
        EXPECT_EQ(text[2] - text[0], t.right) << k.name;
    }
}

TEST(WlImgBtn, PressedContentShifts) {
    static const struct {
        const char* name;
        bool themes, disableDrawDown;
        UINT state;
        int dx, dy;
    } kCases[] = {
        {"classic pressed: right and down", false, false, ODS_SELECTED, 1, 1},
        {"themed pressed: right only", true, false, ODS_SELECTED, 1, 0},
        {"draw down disabled", false, true, ODS_SELECTED, 0, 0},
        {"disabled button", false, false, ODS_SELECTED | ODS_DISABLED, 0, 0},
    };
    for (const auto& k : kCases) {
        TWlImgBtn b(nullptr);
        b.SetBounds(0, 0, 74, 23);
        b.SetKind(bkOK);
        b.SetDisableDrawDown(k.disableDrawDown);
        if (k.state & ODS_DISABLED) b.SetEnabled(false);
        const auto up = Draw(b, k.state & ODS_DISABLED, k.themes);
        const auto down = Draw(b, k.state, k.themes);
        const auto image = [](const RecordingCanvas& c) { return c.Of("DrawImage").at(0).args; };
        EXPECT_EQ(image(*down)[1] - image(*up)[1], k.dx) << k.name;
        EXPECT_EQ(image(*down)[2] - image(*up)[2], k.dy) << k.name;
    }
}

TEST(WlImgBtn, ClassicFrames) {
    TWlImgBtn b(nullptr);
    b.SetBounds(0, 0, 74, 23);
    auto c = Draw(b);
    ASSERT_EQ(c->Of("DrawFrameControl").size(), 1u) << c->Dump();
    EXPECT_EQ(c->Of("DrawFrameControl")[0].args,
              (std::vector<int>{0, 0, 74, 23, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_ADJUSTRECT}));
    EXPECT_TRUE(c->Of("Rectangle").empty());

    // Focused (or the focus flag): a dark rectangle first, then the frame inside it.
    c = Draw(b, ODS_FOCUS);
    ASSERT_EQ(c->Of("Rectangle").size(), 1u);
    EXPECT_EQ(c->Of("Rectangle")[0].args, (std::vector<int>{0, 0, 74, 23}));
    EXPECT_EQ(c->Of("PenColor")[0].args[0], clWindowFrame);
    EXPECT_EQ(c->Of("DrawFrameControl")[0].args[0], 1);

    // Pressed: a shadow rectangle on the face colour instead of the frame control.
    c = Draw(b, ODS_SELECTED);
    EXPECT_TRUE(c->Of("DrawFrameControl").empty());
    EXPECT_EQ(c->Of("PenColor").at(0).args[0], clBtnShadow);
    EXPECT_EQ(c->Of("BrushColor").at(0).args[0], clBtnFace);

    // Disabled: the frame control's inactive look; without frames nothing of it.
    b.SetEnabled(false);
    c = Draw(b, ODS_DISABLED);
    EXPECT_EQ(c->Of("DrawFrameControl")[0].args[5],
              DFCS_BUTTONPUSH | DFCS_ADJUSTRECT | DFCS_INACTIVE);
    b.SetMustDrawButtonFrame(false);
    c = Draw(b, ODS_DISABLED);
    EXPECT_TRUE(c->Of("DrawFrameControl").empty());
}

TEST(WlImgBtn, FlatFramesOnlyWhenFocusedOrHovered) {
    TWlImgBtn b(nullptr);
    b.SetBounds(0, 0, 74, 23);
    b.SetFlat(true);
    auto c = Draw(b);
    EXPECT_EQ(c->Of("FillRect").at(0).args, (std::vector<int>{0, 0, 74, 23}));
    EXPECT_TRUE(c->Of("LineTo").empty());
    b.SetButtonStyle(true);
    c = Draw(b);
    EXPECT_EQ(c->Of("LineTo").size(), 4u);
    EXPECT_EQ(c->Of("PenColor").at(0).args[0], clBtnHighlight); // raised: light top-left
    c = Draw(b, ODS_SELECTED);
    EXPECT_EQ(c->Of("PenColor").at(0).args[0], clBtnShadow); // pressed: dark top-left
}

TEST(WlImgBtn, ThemedPartStates) {
    static const struct {
        const char* name;
        UINT state;
        int part;
    } kCases[] = {{"normal", 0, 1},
                  {"pressed", ODS_SELECTED, 3},
                  {"disabled", ODS_DISABLED, 4},
                  {"focus flag: defaulted", ODS_FOCUS, 5}};
    for (const auto& k : kCases) {
        TWlImgBtn b(nullptr);
        b.SetBounds(0, 0, 74, 23);
        if (k.state & ODS_DISABLED) b.SetEnabled(false);
        const auto c = Draw(b, k.state, true);
        ASSERT_EQ(c->Of("ThemeButton").size(), 1u) << k.name;
        EXPECT_EQ(c->Of("ThemeButton")[0].args, (std::vector<int>{k.part, 0, 0, 74, 23})) << k.name;
        EXPECT_EQ(c->Of("ThemeParentBackground").size(), 1u) << k.name;
        EXPECT_TRUE(c->Of("DrawFrameControl").empty()) << k.name;
    }
    TWlImgBtn b(nullptr);
    b.SetMustDrawButtonFrame(false);
    EXPECT_TRUE(Draw(b, 0, true)->Of("ThemeButton").empty());
}

TEST(WlImgBtn, DisabledTextIsEmbossed) {
    TWlImgBtn b(nullptr);
    b.SetBounds(0, 0, 74, 23);
    b.SetCaption(u"Off");
    b.SetEnabled(false);
    const auto c = Draw(b, ODS_DISABLED);
    const auto texts = c->Of("DrawText");
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].fontColor, clBtnHighlight);
    EXPECT_EQ(texts[1].fontColor, clBtnShadow);
    EXPECT_EQ(texts[0].args[0], texts[1].args[0] + 1);
    EXPECT_EQ(texts[0].args[1], texts[1].args[1] + 1);
}

TEST(WlImgBtn, FocusRectOnlyForTheFocusedButton) {
    TWlImgBtn b(nullptr);
    b.SetBounds(0, 0, 74, 23);
    EXPECT_TRUE(Draw(b)->Of("DrawFocusRect").empty());
    b.SetButtonStyle(true);
    EXPECT_TRUE(b.IsFocused());
    const auto c = Draw(b);
    ASSERT_EQ(c->Of("DrawFocusRect").size(), 1u);
    // Classic focused: the dark rectangle, the frame control, content less 4 on each side.
    EXPECT_EQ(c->Of("DrawFocusRect")[0].args, (std::vector<int>{4, 4, 70, 19}));
    b.SetMustDrawFocusRect(false);
    EXPECT_TRUE(Draw(b)->Of("DrawFocusRect").empty());
}

TEST(WlImgBtn, VerticalBarBreaksTheCaptionWhileWordWrapIsOn) {
    TWlImgBtn b(nullptr);
    b.SetBounds(0, 0, 120, 40);
    b.SetCaption(u"上段|下段");
    auto c = Draw(b);
    EXPECT_EQ(c->Of("DrawText").at(0).text, u"上段\n下段");
    const RECT one = kvtest::MeasureText(b.Font(), u"上段", {0, 0, 200, 40}, DT_CENTER);
    const auto measured = c->Of("MeasureText").at(0).args; // room, flags, then the extent
    EXPECT_EQ(measured[8] - measured[6], 2 * one.bottom);

    b.SetWordWrap(false);
    c = Draw(b);
    EXPECT_EQ(c->Of("DrawText").at(0).text, u"上段|下段");
    const auto single = c->Of("MeasureText").at(0).args;
    EXPECT_EQ(single[8] - single[6], one.bottom);
}

TEST(WlImgBtn, OwnerDrawHandsTheRequestToTheEvent) {
    TWlImgBtn b(nullptr);
    b.SetKind(bkOK);
    int calls = 0;
    b.OnButtonDraw = [&calls](TObject*, const DRAWITEMSTRUCT& item) {
        ++calls;
        EXPECT_EQ(item.CtlType, static_cast<UINT>(ODT_BUTTON));
    };
    b.SetOwnerDraw(true);
    const auto c = Draw(b);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(c->calls.empty());
}

TEST(WlImgBtn, MarginAndAlignmentRules) {
    TWlImgBtn b(nullptr);
    b.SetMargin(5);
    b.SetAlignment(taLeftJustify);
    b.SetMargin(-2); // ignored
    EXPECT_EQ(b.Margin(), 5);
    b.SetMargin(-1); // recentres
    EXPECT_EQ(b.Margin(), -1);
    EXPECT_EQ(b.Alignment(), taCenter);
    b.SetAlignment(taRightJustify);
    EXPECT_EQ(b.Margin(), 0);
}

TEST(WlImgBtn, HelpShowsTheNearestHelpContext) {
    kvtest::TestServices services;
    TForm form(Application);
    form.SetHelpContext(4);
    auto* panel = new TWlCustomPanel(nullptr);
    panel->SetParent(&form);
    panel->SetHelpContext(28);
    auto* help = new TWlImgBtn(nullptr);
    help->SetParent(panel);
    help->SetKind(bkHelp);
    int clicks = 0;
    help->OnClick = [&clicks](TObject*) { ++clicks; };
    form.SetModalResult(mrNone);
    help->Click();
    ASSERT_EQ(services.helpCalls.size(), 1u);
    EXPECT_EQ(services.helpCalls[0].context, 28);
    EXPECT_EQ(services.helpCalls[0].command, THelpCommand::Context);
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(form.ModalResult(), mrNone);

    help->SetHelpContext(5); // its own first
    help->Click();
    EXPECT_EQ(services.helpCalls.back().context, 5);

    // Nowhere a help context: an ordinary click.
    TForm bare(Application);
    auto* plain = new TWlImgBtn(nullptr);
    plain->SetParent(&bare);
    plain->SetKind(bkHelp);
    plain->OnClick = [&clicks](TObject*) { ++clicks; };
    plain->Click();
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(services.helpCalls.size(), 2u);
}

TEST(WlImgBtn, CloseClosesTheForm) {
    TForm form(Application);
    form.SetBounds(100, 100, 200, 100);
    auto* close = new TWlImgBtn(nullptr);
    close->SetParent(&form);
    close->SetKind(bkClose);
    int clicks = 0;
    close->OnClick = [&clicks](TObject*) { ++clicks; };
    form.Show();
    kvtest::PumpPending();
    close->Click();
    EXPECT_FALSE(form.Visible());
    EXPECT_EQ(clicks, 0);

    // A modal dialog ends; the user's click reaches the button through its window.
    kvtest::ModalWatchdog watchdog;
    PostMessageW(close->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_FALSE(watchdog.Fired());
    EXPECT_EQ(clicks, 0);

    // Without a form: an ordinary click.
    TWlImgBtn loose(nullptr);
    loose.SetKind(bkClose);
    loose.OnClick = [&clicks](TObject*) { ++clicks; };
    loose.Click();
    EXPECT_EQ(clicks, 1);
}

TEST(WlImgBtn, DefaultAndCancelAnswerEnterAndEsc) {
    TForm form(Application);
    auto* ok = new TWlImgBtn(nullptr);
    ok->SetParent(&form);
    ok->SetKind(bkOK);
    auto* cancel = new TWlImgBtn(nullptr);
    cancel->SetParent(&form);
    cancel->SetKind(bkCancel);
    EXPECT_TRUE(ok->DialogKey(VK_RETURN, nullptr));
    EXPECT_EQ(form.ModalResult(), mrOk);
    EXPECT_FALSE(cancel->DialogKey(VK_RETURN, nullptr));
    EXPECT_TRUE(cancel->DialogKey(VK_ESCAPE, nullptr));
    EXPECT_EQ(form.ModalResult(), mrCancel);
}

TEST(WlImgBtn, DoubleClickCountsAsTwoClicks) {
    TForm form(Application);
    form.SetBounds(100, 100, 200, 100);
    auto* b = new TWlImgBtn(nullptr);
    b->SetParent(&form);
    b->SetBounds(10, 10, 74, 23);
    int clicks = 0;
    b->OnClick = [&clicks](TObject*) { ++clicks; };
    form.Show();
    kvtest::PumpPending();
    const LPARAM at = MAKELPARAM(5, 5);
    SendMessageW(b->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(b->Handle(), WM_LBUTTONUP, 0, at);
    SendMessageW(b->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageW(b->Handle(), WM_LBUTTONUP, 0, at);
    kvtest::PumpPending();
    EXPECT_EQ(clicks, 2);
}

TEST(WlImgBtn, AnimationCyclesTheGlyphs) {
    TForm form(Application);
    TImageList list(nullptr);
    auto* b = new TWlImgBtn(nullptr);
    b->SetParent(&form);
    b->SetImages(&list);
    b->SetImageIndex(5);
    b->SetAnimateFrames(3);
    b->SetAnimate(true); // no window yet: starts when it is made
    EXPECT_FALSE(b->Animating());
    b->HandleNeeded();
    ASSERT_TRUE(b->Animating());
    EXPECT_TRUE(b->DoubleBuffered());
    std::vector<int> shown;
    for (int tick = 0; tick < 4; ++tick) {
        shown.push_back(b->CurrentImageIndex());
        b->Perform(WM_TIMER, 1, 0);
    }
    EXPECT_EQ(shown, (std::vector<int>{5, 6, 7, 5}));
    b->OnGetAnimateIndex = [](TObject*, uint8_t frame, int& index) { index = 100 + frame; };
    EXPECT_EQ(b->CurrentImageIndex(), 100 + b->CurrentAnimateFrame());
    b->SetAnimate(false);
    EXPECT_FALSE(b->Animating());
    EXPECT_EQ(b->CurrentAnimateFrame(), 0);
    EXPECT_FALSE(b->DoubleBuffered());
    EXPECT_EQ(b->CurrentImageIndex(), 5);
}

TEST(WlImgBtn, ImagesFollowTheActionAndLeaveWithTheirList) {
    TForm form(Application);
    auto* list = new TImageList(&form);
    auto* actions = new TActionList(&form);
    actions->SetImages(list);
    auto* action = new TAction(&form);
    action->SetActionList(actions);
    action->SetCaption(u"保存(&S)");
    action->SetImageIndex(1);
    auto* b = new TWlImgBtn(nullptr);
    b->SetParent(&form);
    b->SetAction(action);
    EXPECT_EQ(b->Caption(), u"保存(&S)");
    EXPECT_EQ(b->Images(), list);
    EXPECT_EQ(b->ImageIndex(), 1);
    action->SetImageIndex(0);
    EXPECT_EQ(b->ImageIndex(), 0);

    delete list;
    EXPECT_EQ(b->Images(), nullptr);
    EXPECT_EQ(actions->Images(), nullptr);
}

} // namespace

namespace {

TEST(WlImgBtn, KindCaptionMnemonicClicks) {
    using namespace kv;
    TForm form(Application);
    auto* retry = new TWlImgBtn(nullptr);
    retry->SetParent(&form);
    retry->SetKind(bkRetry); // "再試行(&R)", modal result Retry
    form.Show();
    kvtest::PumpPending();
    EXPECT_FALSE(retry->DialogChar(u'x'));
    EXPECT_EQ(form.ModalResult(), mrNone);
    EXPECT_TRUE(retry->DialogChar(u'r'));
    EXPECT_EQ(form.ModalResult(), mrRetry);
    // With a caption of its own, the caption's mnemonic.
    retry->SetCaption(u"&Again");
    form.SetModalResult(mrNone);
    EXPECT_FALSE(retry->DialogChar(u'r'));
    EXPECT_TRUE(retry->DialogChar(u'a'));
    EXPECT_EQ(form.ModalResult(), mrRetry);
}

} // namespace
