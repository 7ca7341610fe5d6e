#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "UiTestSupport.h"
#include "WlTestSupport.h"
#include "base/Text.h"
#include "ui/Application.h"
#include "ui/ClassRegistry.h"
#include "ui/ExtCtrls.h"
#include "widgets/WlFooter.h"

namespace {

using kvtest::TestForm;
using namespace kv;

struct Place {
    const char16_t* button;
    int left;
};
struct StoredFooter {
    const char* name;
    const char16_t* resource;
    std::vector<Place> places;
};

// What the four dialogs store, and where their buttons must end up (7 from the top each).
const StoredFooter kStoredFooters[] = {
    {"sort-condition dialog",
     u"FOOTERSORTFIELDEDIT",
     {{u"BtnHelp", 8}, {u"BtnOk", 207}, {u"BtnCancel", 285}}},
    {"batch-file dialog",
     u"FOOTERCREATEAUTOFILE",
     {{u"BtnHelp", 8}, {u"BtnSaveToFile", 160}, {u"BtnClose", 344}}},
    {"sort-column dialog",
     u"FOOTERSORTFIELDSELECT",
     {{u"WlFooterBtn2", 167}, {u"WlFooterBtn3", 245}}},
    {"about box", u"FOOTERABOUTBOX", {{u"WlFooterBtn1", 111}}},
};

void ExpectPlaces(TestForm& form, const StoredFooter& f, const char* when) {
    for (const Place& p : f.places) {
        auto& b = form.Get<TWlFooterBtn>(p.button);
        EXPECT_EQ(b.Left(), p.left) << f.name << " " << when << " " << Utf16ToUtf8(p.button);
        EXPECT_EQ(b.Top(), 7) << f.name << " " << when << " " << Utf16ToUtf8(p.button);
    }
}

TEST(WlFooter, StoredFootersPlaceTheirButtons) {
    for (const StoredFooter& f : kStoredFooters) {
        TestForm form(f.resource);
        ExpectPlaces(form, f, "after loading");
        // The windows are where the model says once the dialog is on screen.
        form.Show();
        kvtest::PumpPending();
        ExpectPlaces(form, f, "shown");
        for (const Place& p : f.places) {
            auto& b = form.Get<TWlFooterBtn>(p.button);
            RECT r;
            GetWindowRect(b.Handle(), &r);
            MapWindowPoints(nullptr, b.Parent()->Handle(), reinterpret_cast<POINT*>(&r), 2);
            EXPECT_EQ(r.left, p.left) << f.name << " window of " << Utf16ToUtf8(p.button);
            EXPECT_EQ(r.top, 7) << f.name << " window of " << Utf16ToUtf8(p.button);
        }
        form.Hide();
    }
}

TEST(WlFooter, ButtonsKeepTheirSideWhenTheDialogIsResized) {
    TestForm form(u"FOOTERSORTFIELDEDIT");
    form.Show();
    kvtest::PumpPending();
    form.SetClientWidth(467);
    kvtest::PumpPending();
    EXPECT_EQ(form.Get<TWlFooter>(u"WlFooter1").Width(), 467);
    EXPECT_EQ(form.Get<TWlFooterBtn>(u"BtnHelp").Left(), 8);
    EXPECT_EQ(form.Get<TWlFooterBtn>(u"BtnOk").Left(), 307);
    EXPECT_EQ(form.Get<TWlFooterBtn>(u"BtnCancel").Left(), 385);
}

// Arranging applies each place to the button and its window (left, top, the anchors of its
// group, the size unchanged); arranging again finds them there and moves nothing.
TEST(WlFooter, ArrangeApplyAndArrangeAgain) {
    TestForm form(u"FOOTERSORTFIELDEDIT");
    form.Show();
    kvtest::PumpPending();
    static const struct {
        const char16_t* button;
        RECT bounds;
        TAnchors anchors;
    } kPlaces[] = {
        {u"BtnHelp", {8, 7, 82, 30}, akLeft | akBottom},
        {u"BtnOk", {207, 7, 281, 30}, akRight | akBottom},
        {u"BtnCancel", {285, 7, 359, 30}, akRight | akBottom},
    };
    for (const char* round : {"arranged", "arranged again"}) {
        form.Get<TWlFooter>(u"WlFooter1").ArrangeFooterButtons();
        kvtest::PumpPending();
        for (const auto& p : kPlaces) {
            auto& b = form.Get<TWlFooterBtn>(p.button);
            const std::string name = std::string(round) + " " + Utf16ToUtf8(p.button);
            const RECT model = b.BoundsRect();
            EXPECT_TRUE(EqualRect(&model, &p.bounds)) << name;
            EXPECT_EQ(b.Anchors(), p.anchors) << name;
            RECT window;
            GetWindowRect(b.Handle(), &window);
            MapWindowPoints(nullptr, b.Parent()->Handle(), reinterpret_cast<POINT*>(&window), 2);
            EXPECT_TRUE(EqualRect(&window, &p.bounds)) << name << " window";
        }
    }
}

// A footer with buttons made in code: each (alignment, width, space interval).
struct ButtonDef {
    TAlignment alignment;
    int width;
    int space;
};
struct Built {
    std::unique_ptr<TWlFooter> footer;
    std::vector<TWlFooterBtn*> buttons; // owned by the footer
};
Built BuildFooter(int width, int height, const std::vector<ButtonDef>& defs) {
    Built b;
    b.footer = std::make_unique<TWlFooter>(nullptr);
    b.footer->SetBounds(0, 0, width, height);
    for (const ButtonDef& s : defs) {
        auto* button = new TWlFooterBtn(nullptr);
        button->SetParent(b.footer.get());
        button->SetWidth(s.width);
        button->SetAlignment(s.alignment);
        button->SetSpaceInterval(s.space);
        b.buttons.push_back(button);
    }
    b.footer->ArrangeFooterButtons();
    return b;
}

TEST(WlFooter, ArrangementEdgeCases) {
    static const struct {
        const char* name;
        int width, height;
        std::vector<ButtonDef> defs;
        std::vector<int> lefts;
        int top;
    } kCases[] = {
        {"two left buttons: gap 4, not 6",
         367,
         37,
         {{taLeftJustify, 74, 6}, {taLeftJustify, 74, 6}},
         {8, 86},
         7},
        {"lone centred button with space interval 6", 297, 37, {{taCenter, 74, 6}}, {108}, 7},
        {"lone centred button without", 297, 37, {{taCenter, 74, 0}}, {111}, 7},
        {"button taller than the footer: top truncated towards zero",
         367,
         20,
         {{taRightJustify, 74, 6}},
         {285},
         -1},
        {"two centred buttons", 300, 37, {{taCenter, 74, 6}, {taCenter, 74, 6}}, {70, 150}, 7},
    };
    for (const auto& c : kCases) {
        const Built b = BuildFooter(c.width, c.height, c.defs);
        for (size_t i = 0; i < b.buttons.size(); ++i) {
            EXPECT_EQ(b.buttons[i]->Left(), c.lefts[i]) << c.name << " button " << i;
            EXPECT_EQ(b.buttons[i]->Top(), c.top) << c.name << " button " << i;
        }
    }
}

TEST(WlFooter, OtherChildrenTakePositionsButCountInNoGroup) {
    Built b = BuildFooter(367, 37, {{taRightJustify, 74, 6}, {taRightJustify, 74, 6}});
    auto* panel = new TPanel(nullptr);
    panel->SetBounds(300, 0, 10, 10);
    panel->SetParent(b.footer.get());
    b.footer->SetChildOrder(panel, 1);
    b.buttons[1]->SetButtonIndex(2);
    EXPECT_EQ(b.buttons[0]->ButtonIndex(), 0);
    EXPECT_EQ(b.buttons[1]->ButtonIndex(), 2);
    b.footer->ArrangeFooterButtons();
    EXPECT_EQ(b.buttons[0]->Left(), 207);
    EXPECT_EQ(b.buttons[1]->Left(), 285);
    EXPECT_EQ(panel->Left(), 300);
}

TEST(WlFooter, ButtonIndexReordersAndArranges) {
    Built b = BuildFooter(367, 37, {{taRightJustify, 74, 6}, {taRightJustify, 74, 6}});
    EXPECT_EQ(b.buttons[0]->Left(), 207);
    b.buttons[0]->SetButtonIndex(1); // now the last of the right group
    EXPECT_EQ(b.buttons[0]->ButtonIndex(), 1);
    EXPECT_EQ(b.buttons[1]->ButtonIndex(), 0);
    EXPECT_EQ(b.buttons[0]->Left(), 285);
    EXPECT_EQ(b.buttons[1]->Left(), 207);
    EXPECT_EQ(b.buttons[0]->Anchors(), akRight | akBottom);

    b.buttons[1]->SetAlignment(taLeftJustify);
    EXPECT_EQ(b.buttons[1]->Left(), 8);
    EXPECT_EQ(b.buttons[1]->Anchors(), akLeft | akBottom);
    b.buttons[1]->SetSpaceInterval(10);
    EXPECT_EQ(b.buttons[1]->Left(), 8); // outermost: the margin places it
    b.buttons[1]->SetAlignment(taCenter);
    EXPECT_EQ(b.buttons[1]->Anchors(), akBottom);
}

TEST(WlFooter, ButtonIndexWithoutParentReadsTheLastValueWritten) {
    TWlFooterBtn button(nullptr);
    EXPECT_EQ(button.ButtonIndex(), 0);
    button.SetButtonIndex(5);
    EXPECT_EQ(button.ButtonIndex(), 5);
}

TEST(WlFooter, MarginArrangesButNotWhileUnchanged) {
    Built b = BuildFooter(367, 37, {{taLeftJustify, 74, 6}, {taRightJustify, 74, 6}});
    b.buttons[0]->SetLeft(50);
    b.footer->SetMargin(8); // unchanged: nothing happens
    EXPECT_EQ(b.buttons[0]->Left(), 50);
    b.footer->SetMargin(12);
    EXPECT_EQ(b.buttons[0]->Left(), 12);
    EXPECT_EQ(b.buttons[1]->Left(), 367 - 74 - 12);
}

// A footer whose loading state a test can switch, as the form reader does.
class LoadingFooter : public TWlFooter {
public:
    LoadingFooter() : TWlFooter(nullptr) {}
    void BeginLoading() { SetLoadingState(true); }
};

TEST(WlFooter, MarginWhileLoadingIsOnlyStored) {
    LoadingFooter footer;
    footer.SetBounds(0, 0, 367, 37);
    auto* button = new TWlFooterBtn(nullptr);
    button->SetParent(&footer);
    button->SetAlignment(taLeftJustify);
    EXPECT_EQ(button->Left(), 8);
    footer.BeginLoading();
    footer.SetMargin(20);
    EXPECT_EQ(footer.Margin(), 20);
    EXPECT_EQ(button->Left(), 8);
    footer.Loaded();
    EXPECT_EQ(button->Left(), 20);
}

TEST(WlFooter, ParentRules) {
    TForm form(Application);
    auto* footer = new TWlFooter(nullptr);
    footer->SetParent(&form);
    auto* first = new TWlFooterBtn(nullptr);
    first->SetParent(footer);
    auto* second = new TWlFooterBtn(nullptr);
    // A footer button as parent stands for its footer.
    second->SetParent(first);
    EXPECT_EQ(second->Parent(), footer);
    // Anything but a footer is refused, and the button stays where it was.
    try {
        second->SetParent(&form);
        FAIL() << "no exception";
    } catch (const EWlFooterError& e) {
        EXPECT_EQ(e.Message(), u"TWlFooterBtn can only be placed on a TWlFooter");
    }
    EXPECT_EQ(second->Parent(), footer);
    EXPECT_THROW(TWlFooterBtn(nullptr).SetParent(&form), EWLException);
    second->SetParent(nullptr); // no parent at all is allowed
    EXPECT_EQ(second->Parent(), nullptr);
    delete second;
}

TEST(WlFooter, AMovedButtonWindowRearrangesTheFooter) {
    TestForm form(u"FOOTERSORTFIELDSELECT");
    form.Show();
    kvtest::PumpPending();
    auto& ok = form.Get<TWlFooterBtn>(u"WlFooterBtn2");
    SetWindowPos(ok.Handle(), nullptr, 3, 3, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    kvtest::PumpPending();
    RECT r;
    GetWindowRect(ok.Handle(), &r);
    MapWindowPoints(nullptr, ok.Parent()->Handle(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 167);
    EXPECT_EQ(r.top, 7);
    EXPECT_EQ(ok.Left(), 167);
}

TEST(WlFooter, BevelLines) {
    static const struct {
        const char* name;
        TWlBevelStyle style;
        TColor first, second;
    } kCases[] = {
        {"lowered: dark over light", bsLowered, clBtnShadow, clBtnHighlight},
        {"raised: light over dark", bsRaised, clBtnHighlight, clBtnShadow},
        {"shape: as raised", bsShape, clBtnHighlight, clBtnShadow},
    };
    for (const auto& c : kCases) {
        TWlFooter footer(nullptr);
        footer.SetBounds(0, 0, 367, 37);
        footer.SetBevelStyle(c.style);
        kvtest::RecordingCanvas canvas;
        footer.PaintBevel(canvas);
        EXPECT_TRUE(canvas.calls.empty()) << c.name << ": no bevel while invisible";
        footer.SetBevelVisible(true);
        footer.PaintBevel(canvas);
        const std::vector<std::string> want = {
            "PenWidth(1)",   "PenColor(" + std::to_string(c.first) + ")",  "MoveTo(0,0)",
            "LineTo(367,0)", "PenColor(" + std::to_string(c.second) + ")", "MoveTo(0,1)",
            "LineTo(367,1)"};
        std::vector<std::string> got;
        for (const auto& call : canvas.calls) got.push_back(call.ToString());
        EXPECT_EQ(got, want) << c.name;
    }
}

TEST(WlFooter, OnlyValuesOtherThanTheDefaultsAreStored) {
    TWlFooter footer(nullptr);
    TWlPropertyWriter w;
    footer.StoredProperties(w);
    // Construction already docks it at the bottom, but the declared default is alNone.
    EXPECT_EQ(w.Lines(), (std::vector<TWlStoredProperty>{{u"Align", u"alBottom"}}));

    TWlFooterBtn button(nullptr);
    TWlPropertyWriter b;
    button.StoredProperties(b);
    EXPECT_EQ(b.Lines(),
              (std::vector<TWlStoredProperty>{{u"ButtonIndex", u"0"}, {u"SpaceInterval", u"6"}}));

    TestForm form(u"FOOTERSORTFIELDEDIT");
    TWlPropertyWriter help;
    form.Get<TWlFooterBtn>(u"BtnHelp").StoredProperties(help);
    EXPECT_EQ(help.Find(u"Alignment"), u"taLeftJustify");
    EXPECT_EQ(help.Find(u"Kind"), u"bkHelp");
    EXPECT_EQ(help.Find(u"ButtonIndex"), u"0");
    TWlPropertyWriter cancel;
    form.Get<TWlFooterBtn>(u"BtnCancel").StoredProperties(cancel);
    EXPECT_EQ(cancel.Find(u"Alignment"), std::nullopt);
    EXPECT_EQ(cancel.Find(u"ButtonIndex"), u"2");
    EXPECT_EQ(cancel.Find(u"Kind"), u"bkCancel");
    TWlPropertyWriter footerLines;
    form.Get<TWlFooter>(u"WlFooter1").StoredProperties(footerLines);
    EXPECT_EQ(footerLines.Find(u"Margin"), std::nullopt);
    EXPECT_EQ(footerLines.Find(u"BevelVisible"), std::nullopt);
}

TEST(WlFooter, ClassesAreCreatableByName) {
    for (const char16_t* name :
         {u"TWlFooter", u"TWlFooterBtn", u"TWlImgBtn", u"TWlCustomPanel", u"TWlExCustomPanel",
          u"TWlExButton", u"TWlCustomButton", u"TWlCustomImageButton"}) {
        const TClassInfo* info = FindClass(name);
        ASSERT_NE(info, nullptr) << Utf16ToUtf8(name);
        std::unique_ptr<TComponent> made(info->Factory()(nullptr));
        EXPECT_EQ(made->ClassName(), name);
    }
}

} // namespace
