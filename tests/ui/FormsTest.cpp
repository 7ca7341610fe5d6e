#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "UiTestSupport.h"
#include "base/Text.h"
#include "ui/Application.h"
#include "ui/ExtCtrls.h"
#include "ui/Forms.h"
#include "ui/StdCtrls.h"

namespace {

class TLayoutForm : public kv::TForm {
    KV_CLASS(TLayoutForm)
public:
    TLayoutForm() : TForm(kv::Application) { ReadForm(u"LAYOUTFORM"); }
};

class TModalForm : public kv::TForm {
    KV_CLASS(TModalForm)
public:
    TModalForm() : TForm(kv::Application) {
        BindField(u"Edit1", Edit1);
        BindField(u"ButtonOk", ButtonOk);
        BindField(u"ButtonCancel", ButtonCancel);
        ReadForm(u"MODALFORM");
    }
    kv::TEdit* Edit1 = nullptr;
    kv::TButton* ButtonOk = nullptr;
    kv::TButton* ButtonCancel = nullptr;
};

struct Bounds {
    const char16_t* name;
    RECT small, large; // left, top, right, bottom at 400 x 300 and 600 x 500
};

constexpr RECT B(int l, int t, int w, int h) {
    return {l, t, l + w, t + h};
}

const Bounds kLayout[] = {
    {u"PanelTop", B(0, 0, 400, 40), B(0, 0, 600, 40)},
    {u"PanelBottom", B(0, 270, 400, 30), B(0, 470, 600, 30)},
    {u"PanelLeft", B(0, 40, 100, 230), B(0, 40, 100, 430)},
    {u"PanelClient", B(100, 40, 300, 230), B(100, 40, 500, 430)},
    // Right and bottom anchors keep their distances to the parent's edges.
    {u"ButtonRight", B(310, 3, 80, 24), B(510, 3, 80, 24)},
    // Aligned inside the panel's border (2) and bevel (1).
    {u"InnerTop", B(3, 3, 294, 20), B(3, 3, 494, 20)},
    // Left and right anchors stretch.
    {u"Stretch", B(10, 30, 200, 21), B(10, 30, 400, 21)},
    // Bottom only: the distance to the bottom stays, the centre moves in proportion.
    {u"BottomOnly", B(20, 150, 75, 25), B(58, 350, 75, 25)},
    {u"BottomRight", B(200, 180, 90, 40), B(400, 380, 90, 40)},
};

void ExpectBounds(kv::TForm& form, bool large) {
    for (const auto& b : kLayout) {
        auto* c = dynamic_cast<kv::TWinControl*>(form.FindComponent(b.name));
        ASSERT_NE(c, nullptr);
        const RECT want = large ? b.large : b.small;
        const RECT got = c->BoundsRect();
        EXPECT_TRUE(EqualRect(&got, &want))
            << kv::Utf16ToUtf8(b.name) << (large ? " large: " : " small: ") << got.left << ","
            << got.top << "," << got.right << "," << got.bottom;
        if (c->HandleAllocated()) {
            // The window is where the model says.
            RECT win;
            GetWindowRect(c->Handle(), &win);
            MapWindowPoints(nullptr, c->Parent()->Handle(), reinterpret_cast<POINT*>(&win), 2);
            EXPECT_TRUE(EqualRect(&win, &want)) << kv::Utf16ToUtf8(b.name) << " window";
        }
    }
}

TEST(Layout, NestedAlignedAndAnchoredPanelsAtTwoSizes) {
    TLayoutForm form;
    EXPECT_EQ(form.ClientWidth(), 400);
    EXPECT_EQ(form.ClientHeight(), 300);
    ExpectBounds(form, false);
    form.Show();
    EXPECT_EQ(form.ClientWidth(), 400);
    EXPECT_EQ(form.ClientHeight(), 300);
    ExpectBounds(form, false);
    form.SetClientSize(600, 500);
    kvtest::PumpPending();
    EXPECT_EQ(form.ClientWidth(), 600);
    EXPECT_EQ(form.ClientHeight(), 500);
    ExpectBounds(form, true);
    form.SetClientSize(400, 300); // and back
    ExpectBounds(form, false);
    form.Hide();
}

TEST(Layout, SetBoundsWithTheSameValuesDoesNothing) {
    TLayoutForm form;
    auto* panel = dynamic_cast<kv::TPanel*>(form.FindComponent(u"PanelClient"));
    int resized = 0;
    panel->OnResize = [&](kv::TObject*) { ++resized; };
    const RECT r = panel->BoundsRect();
    panel->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
    EXPECT_EQ(resized, 0);
    form.SetClientSize(500, 300);
    EXPECT_EQ(resized, 1);
}

TEST(Layout, ChildOrderMovesAreMirroredToTheWindowOrder) {
    kv::TForm form(kv::Application);
    kv::TButton* buttons[3];
    for (auto*& b : buttons) {
        b = kv::Create<kv::TButton>(&form);
        b->SetParent(&form);
    }
    form.HandleNeeded();
    form.SetChildOrder(buttons[2], 0);
    EXPECT_EQ(form.IndexOfControl(buttons[2]), 0);
    EXPECT_EQ(form.IndexOfControl(buttons[0]), 1);
    form.SetChildOrder(buttons[0], 99); // clamped to the end
    EXPECT_EQ(form.IndexOfControl(buttons[0]), 2);
    // Later children lie above earlier ones: the top window is the last child.
    HWND top = GetWindow(form.Handle(), GW_CHILD);
    EXPECT_EQ(top, buttons[0]->Handle());
    EXPECT_EQ(GetWindow(top, GW_HWNDNEXT), buttons[1]->Handle());
    EXPECT_EQ(GetWindow(GetWindow(top, GW_HWNDNEXT), GW_HWNDNEXT), buttons[2]->Handle());
}

// Enter presses the default button, or the focused button; Esc the cancel button.
TEST(ModalForm, KeysPressTheirButtons) {
    static const struct {
        const char* name;
        bool toCancelButton; // else to the edit box
        WPARAM key;
        int result;
    } kCases[] = {
        {"Enter in the edit box: the default button", false, VK_RETURN, kv::mrOk},
        {"Esc in the edit box: the cancel button", false, VK_ESCAPE, kv::mrCancel},
        {"Enter on a focused button: that button", true, VK_RETURN, kv::mrCancel},
    };
    for (const auto& c : kCases) {
        kvtest::ModalWatchdog watchdog;
        TModalForm form;
        form.HandleNeeded();
        kv::TWinControl* target =
            c.toCancelButton ? static_cast<kv::TWinControl*>(form.ButtonCancel) : form.Edit1;
        PostMessageW(target->Handle(), WM_KEYDOWN, c.key, 0);
        EXPECT_EQ(form.ShowModal(), c.result) << c.name;
        EXPECT_FALSE(watchdog.Fired()) << c.name;
        EXPECT_FALSE(form.Visible()) << c.name;
    }
}

TEST(ModalForm, CloseQueryCanKeepTheFormOpen) {
    kvtest::ModalWatchdog watchdog;
    TModalForm form;
    int asked = 0;
    form.OnCloseQuery = [&](kv::TObject*, bool& canClose) { canClose = ++asked > 1; };
    kv::TCloseAction seen = kv::caNone;
    form.OnClose = [&](kv::TObject*, kv::TCloseAction& a) { seen = a; };
    form.HandleNeeded();
    PostMessageW(form.Edit1->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageW(form.Edit1->Handle(), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(form.ShowModal(), kv::mrOk); // the first answer was refused
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(seen, kv::caHide);
}

TEST(ModalForm, AnIdleHandlerCanCloseIt) {
    // The join window's automatic run closes the window from its idle handler.
    kvtest::ModalWatchdog watchdog;
    TModalForm form;
    kv::Application->OnIdle = [&](kv::TObject*, bool&) {
        kv::Application->OnIdle = nullptr;
        form.Close();
    };
    EXPECT_EQ(form.ShowModal(), kv::mrCancel);
    EXPECT_FALSE(watchdog.Fired());
}

TEST(ModalForm, DisablesTheOtherWindowsWhileItRuns) {
    kvtest::ModalWatchdog watchdog;
    kv::TForm other(kv::Application);
    other.Show();
    TModalForm form;
    bool otherEnabled = true;
    kv::Application->OnIdle = [&](kv::TObject*, bool&) {
        kv::Application->OnIdle = nullptr;
        otherEnabled = IsWindowEnabled(other.Handle()) != FALSE;
        form.SetModalResult(kv::mrOk);
    };
    EXPECT_EQ(form.ShowModal(), kv::mrOk);
    EXPECT_FALSE(otherEnabled);
    EXPECT_TRUE(IsWindowEnabled(other.Handle()));
    other.Hide();
}

TEST(Forms, MessageHooksSeeEveryMessageAfterTheFormsOwnHandling) {
    kv::TForm form(kv::Application);
    std::vector<UINT> seen;
    const int id = form.AddMessageHook([&](UINT msg, WPARAM, LPARAM, LRESULT& result) {
        if (msg == WM_APP + 5) {
            seen.push_back(msg);
            result = 42;
        }
    });
    EXPECT_EQ(SendMessageW(form.Handle(), WM_APP + 5, 0, 0), 42);
    form.RemoveMessageHook(id);
    EXPECT_EQ(SendMessageW(form.Handle(), WM_APP + 5, 0, 0), 0);
    EXPECT_EQ(seen.size(), 1u);
}

TEST(Forms, WindowClassesAreNamedAfterTheirClasses) {
    TModalForm form;
    form.HandleNeeded();
    wchar_t name[64];
    GetClassNameW(form.Handle(), name, 64);
    EXPECT_STREQ(name, L"TModalForm");
    GetClassNameW(form.ButtonOk->Handle(), name, 64);
    EXPECT_STREQ(name, L"TButton");
    GetClassNameW(kv::Application->Handle(), name, 64);
    EXPECT_STREQ(name, L"TApplication");
}

TEST(Forms, CentredFormsAreCentredOnTheScreenOrTheirOwner) {
    kv::TForm owner(kv::Application);
    owner.SetPosition(kv::poScreenCenter);
    owner.SetBounds(0, 0, 600, 400);
    owner.Show();
    const RECT work = kv::Screen->WorkAreaRect();
    EXPECT_EQ(owner.Left(), work.left + (work.right - work.left - 600) / 2);
    EXPECT_EQ(owner.Top(), work.top + (work.bottom - work.top - 400) / 2);
    kv::TForm dialog(&owner);
    dialog.SetPosition(kv::poOwnerFormCenter);
    dialog.SetBounds(0, 0, 200, 100);
    dialog.Show();
    EXPECT_EQ(dialog.Left(), owner.Left() + 200);
    EXPECT_EQ(dialog.Top(), owner.Top() + 150);
    EXPECT_EQ(GetWindow(dialog.Handle(), GW_OWNER), owner.Handle());
    dialog.Hide();
    owner.Hide();
}

TEST(Forms, NormalBoundsComeFromThePlacement) {
    kv::TForm form(kv::Application);
    form.SetBounds(50, 60, 300, 200);
    form.Show();
    form.SetWindowState(kv::wsMaximized);
    kvtest::PumpPending();
    EXPECT_EQ(form.WindowState(), kv::wsMaximized);
    const RECT normal = form.NormalBounds();
    EXPECT_EQ(normal.right - normal.left, 300);
    EXPECT_EQ(normal.bottom - normal.top, 200);
    form.SetWindowState(kv::wsNormal);
    EXPECT_EQ(form.WindowState(), kv::wsNormal);
    form.Hide();
}

} // namespace
