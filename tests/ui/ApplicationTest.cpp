#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <stdexcept>

#include "UiTestSupport.h"
#include "base/MessagePump.h"
#include "base/Text.h"
#include "ui/Application.h"
#include "ui/Forms.h"
#include "ui/StdCtrls.h"
#include "ui/TCursorHourGlass.h"

namespace {

TEST(Application, AnsiCodePageIsJapanese) {
    EXPECT_EQ(GetACP(), 932u);
}

// A shown form with one button.
struct ButtonForm {
    ButtonForm() : form(kv::Application), button(kv::Create<kv::TButton>(&form)) {
        button->SetParent(&form);
        button->SetCaption(u"Go");
        form.Show();
    }
    ~ButtonForm() { form.Hide(); }
    kv::TForm form;
    kv::TButton* button;
};

TEST(Application, AThrowInAnEventHandlerReachesTheExceptionHandling) {
    ButtonForm f;
    f.button->OnClick = [](kv::TObject*) { throw kv::Exception(u"boom"); };
    kv::TObject* sender = nullptr;
    std::u16string message;
    kv::Application->OnException = [&](kv::TObject* s, const kv::Exception& e) {
        sender = s;
        message = e.Message();
    };
    SendMessageW(f.button->Handle(), BM_CLICK, 0, 0);
    kv::Application->OnException = nullptr;
    EXPECT_EQ(message, u"boom");
    EXPECT_EQ(sender, &f.form); // caught where the click was dispatched: the parent's window
    // The program goes on: the next click works.
    bool clicked = false;
    f.button->OnClick = [&](kv::TObject*) { clicked = true; };
    SendMessageW(f.button->Handle(), BM_CLICK, 0, 0);
    EXPECT_TRUE(clicked);
}

TEST(Application, ExceptionsWithoutAHandlerAreShownThroughTheMessageService) {
    kvtest::TestServices services;
    ButtonForm f;
    f.button->OnClick = [](kv::TObject*) { throw std::runtime_error("plain failure"); };
    SendMessageW(f.button->Handle(), BM_CLICK, 0, 0);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].text, u"plain failure");
    EXPECT_EQ(services.boxes[0].caption, u"KolvaneTest");
    EXPECT_EQ(services.boxes[0].flags & MB_ICONMASK, static_cast<UINT>(MB_ICONSTOP));
}

TEST(Application, AbortsAreSilentAndHandlersSeeTheObjectThrown) {
    kvtest::TestServices services;
    ButtonForm f;
    f.button->OnClick = [](kv::TObject*) { throw kv::EAbort(); };
    SendMessageW(f.button->Handle(), BM_CLICK, 0, 0);
    EXPECT_TRUE(services.boxes.empty());

    f.button->OnClick = [](kv::TObject*) { throw kv::EConvertError(u"not a value"); };
    bool derived = false;
    kv::Application->OnException = [&](kv::TObject*, const kv::Exception& e) {
        derived = dynamic_cast<const kv::EConvertError*>(&e) != nullptr;
    };
    SendMessageW(f.button->Handle(), BM_CLICK, 0, 0);
    kv::Application->OnException = nullptr;
    EXPECT_TRUE(derived);
}

TEST(Application, TheHookSlotDecidesWhetherTheOwnHandlingRuns) {
    kvtest::TestServices services;
    ButtonForm f;
    f.button->OnClick = [](kv::TObject*) { throw kv::Exception(u"hooked"); };
    int hookCalls = 0;
    bool answer = false;
    kv::TApplication::SetHandleExceptionHook([&](kv::TObject*) {
        ++hookCalls;
        // The exception is still the current one inside the hook.
        try {
            throw;
        } catch (const kv::Exception& e) {
            EXPECT_EQ(e.Message(), u"hooked");
        }
        return answer;
    });
    SendMessageW(f.button->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(hookCalls, 1);
    EXPECT_TRUE(services.boxes.empty());
    answer = true;
    SendMessageW(f.button->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(hookCalls, 2);
    EXPECT_EQ(services.boxes.size(), 1u);
    kv::TApplication::SetHandleExceptionHook(nullptr);
}

TEST(Application, TheIdleHandlerThatClearsItselfRunsOnce) {
    int runs = 0;
    kv::Application->OnIdle = [&](kv::TObject* sender, bool& done) {
        EXPECT_EQ(sender, kv::Application);
        ++runs;
        kv::Application->OnIdle = nullptr; // the slot may be cleared while its handler runs
        done = true;
    };
    EXPECT_TRUE(kvtest::PumpUntil([&] { return runs > 0; }));
    for (int i = 0; i < 5; ++i) {
        PostMessageW(kv::Application->Handle(), WM_NULL, 0, 0);
        kv::Application->HandleMessage(); // the message
        PostMessageW(kv::Application->Handle(), WM_NULL, 0, 0);
        kv::Application->ProcessMessages();
    }
    kvtest::PumpUntil([] { return false; }, 100); // more idle moments
    EXPECT_EQ(runs, 1);
}

TEST(Application, ProcessMessagesDeliversAClickThatALongLoopThenSees) {
    ButtonForm f;
    bool clicked = false;
    f.button->OnClick = [&](kv::TObject*) { clicked = true; };
    const DWORD sliceStart = GetTickCount();
    kv::Application->ProcessMessages(); // a time slice starts now
    PostMessageW(f.button->Handle(), BM_CLICK, 0, 0);
    kv::PumpMessages();
    // Too early, when the slice has not passed yet (a slow machine may already be past it).
    if (GetTickCount() - sliceStart < kv::TApplication::kPumpSliceMs) {
        EXPECT_FALSE(clicked);
    }
    // Long work calls the base layer's pump all the time; the application handles messages
    // once a time slice has passed.
    int pumps = 0;
    for (const DWORD start = GetTickCount(); !clicked && GetTickCount() - start < 30000; ++pumps)
        kv::PumpMessages();
    EXPECT_TRUE(clicked);
    EXPECT_GT(pumps, 1);
}

TEST(Application, HelpCallsGoThroughTheHelpService) {
    kvtest::TestServices services;
    kv::Application->SetHelpFile(u"C:\\prog\\KOLVANE.CHM");
    kv::Application->HelpShowTableOfContents();
    kv::Application->HelpContext(15);
    ASSERT_EQ(services.helpCalls.size(), 2u);
    EXPECT_EQ(services.helpCalls[0].command, kv::THelpCommand::Contents);
    EXPECT_EQ(services.helpCalls[1].command, kv::THelpCommand::Context);
    EXPECT_EQ(services.helpCalls[1].context, 15);
    EXPECT_EQ(services.helpCalls[1].file, u"C:\\prog\\KOLVANE.CHM");
}

TEST(Application, MinimisingTheMainFormReachesTheApplicationEvents) {
    kv::TForm form(kv::Application);
    auto* events = kv::Create<kv::TApplicationEvents>(&form);
    int minimised = 0, restored = 0;
    events->OnMinimize = [&](kv::TObject*) { ++minimised; };
    events->OnRestore = [&](kv::TObject*) { ++restored; };
    kv::TCustomForm* previous = kv::Application->MainForm();
    kv::Application->SetMainForm(&form);
    form.Show();
    kv::Application->Minimize();
    kvtest::PumpPending();
    EXPECT_EQ(minimised, 1);
    EXPECT_EQ(form.WindowState(), kv::wsMinimized);
    kv::Application->Restore();
    kvtest::PumpPending();
    EXPECT_EQ(restored, 1);
    EXPECT_EQ(form.WindowState(), kv::wsNormal);
    form.Hide();
    kv::Application->SetMainForm(previous);
}

namespace {
DWORD g_seenCode = 0;
LONG SystemHook(EXCEPTION_POINTERS* info) {
    g_seenCode = info->ExceptionRecord->ExceptionCode;
    return info->ExceptionRecord->ExceptionCode == 0xE0004B56 ? EXCEPTION_CONTINUE_EXECUTION
                                                              : EXCEPTION_CONTINUE_SEARCH;
}
} // namespace

TEST(Application, SystemExceptionsInsideAWindowProcedureReachTheTrampolineHook) {
    ButtonForm f;
    bool resumed = false;
    f.button->OnClick = [&](kv::TObject*) {
        RaiseException(0xE0004B56, 0, 0, nullptr); // continuable
        resumed = true;
    };
    kv::SetSystemExceptionHook(&SystemHook);
    SendMessageW(f.button->Handle(), BM_CLICK, 0, 0);
    kv::SetSystemExceptionHook(nullptr);
    EXPECT_EQ(g_seenCode, 0xE0004B56u);
    EXPECT_TRUE(resumed);
}

TEST(Application, TheExecutableUsesVersion6OfTheCommonControls) {
    // The manifest resource selects the common controls version 6: our imports of comctl32
    // are bound to the side-by-side assembly. (Wine's copy reports 5 from DllGetVersion, so
    // the module's place tells.)
    EXPECT_NE(FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)), nullptr);
    HMODULE comctl = nullptr;
    ASSERT_TRUE(GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&InitCommonControlsEx)), &comctl));
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(comctl, path, MAX_PATH);
    CharLowerW(path);
    const std::u16string file = kv::FromW(path);
    EXPECT_NE(file.find(u"microsoft.windows.common-controls"), std::u16string::npos)
        << kv::Utf16ToUtf8(file);
    EXPECT_NE(file.find(u"_6.0."), std::u16string::npos) << kv::Utf16ToUtf8(file);
}

TEST(CursorHourGlass, NestedObjectsRestoreTheCursorFromBeforeTheOuterOne) {
    kv::Screen->SetCursor(kv::crDefault);
    {
        kv::TCursorHourGlass outer(kv::crHourGlass);
        EXPECT_EQ(kv::Screen->Cursor(), kv::crHourGlass);
        {
            kv::TCursorHourGlass inner(kv::crHourGlass);
            EXPECT_EQ(kv::Screen->Cursor(), kv::crHourGlass);
        }
        EXPECT_EQ(kv::Screen->Cursor(), kv::crHourGlass);
    }
    EXPECT_EQ(kv::Screen->Cursor(), kv::crDefault);
}

TEST(CursorHourGlass, TheCursorComesBackWhenAnExceptionLeaves) {
    kv::Screen->SetCursor(kv::crDefault);
    try {
        kv::TCursorHourGlass busy;
        throw kv::Exception(u"x");
    } catch (const kv::Exception&) {}
    EXPECT_EQ(kv::Screen->Cursor(), kv::crDefault);
}

} // namespace
