#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>

#include "UiTestSupport.h"
#include "base/Text.h"
#include "ui/Forms.h"
#include "ui/MessageForms.h"
#include "ui/StdCtrls.h"

namespace {

using kv::Utf16ToUtf8;

// Runs `answer` once a visible top-level window of this thread with that class is up (from
// a timer, while the modal loop runs).
class Answerer {
public:
    Answerer(const wchar_t* className, std::function<void(HWND)> answer)
        : className_(className), answer_(std::move(answer)) {
        current_ = this;
        timer_ = SetTimer(nullptr, 0, 30, &Tick);
    }
    ~Answerer() {
        KillTimer(nullptr, timer_);
        current_ = nullptr;
    }
    bool Answered() const { return answered_; }

private:
    static BOOL CALLBACK Find(HWND wnd, LPARAM self) {
        auto* me = reinterpret_cast<Answerer*>(self);
        wchar_t name[64] = {};
        if (IsWindowVisible(wnd) && GetClassNameW(wnd, name, 64) &&
            lstrcmpW(name, me->className_) == 0) {
            me->found_ = wnd;
            return FALSE;
        }
        return TRUE;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        try {
            Answerer* me = current_;
            if (!me || me->answered_) return;
            me->found_ = nullptr;
            EnumThreadWindows(GetCurrentThreadId(), &Find, reinterpret_cast<LPARAM>(me));
            if (!me->found_) return;
            me->answered_ = true;
            me->answer_(me->found_);
        } catch (...) {}
    }
    static inline Answerer* current_ = nullptr;
    const wchar_t* className_;
    std::function<void(HWND)> answer_;
    HWND found_ = nullptr;
    bool answered_ = false;
    UINT_PTR timer_;
};

std::u16string TextOf(HWND wnd) {
    wchar_t buf[512] = {};
    GetWindowTextW(wnd, buf, 512);
    return reinterpret_cast<const char16_t*>(buf);
}

TEST(MessageForms, MessageFormAtItsPlaceAnswersWithThePressedButton) {
    static const struct {
        const char* name;
        kv::TMsgDlgType type;
        kv::TMsgDlgButtons buttons;
        const wchar_t* press; // a button caption, or null for the Esc key
        const char* caption;
        int result;
    } kCases[] = {
        {"information OK", kv::mtInformation, kv::mbOK, L"OK", "情報", kv::mrOk},
        {"Esc on the only button", kv::mtWarning, kv::mbOK, nullptr, "警告", kv::mrOk},
        {"no", kv::mtConfirmation, kv::mbYes | kv::mbNo, L"いいえ(&N)", "確認", kv::mrNo},
        {"Esc cancels", kv::mtError, kv::mbOK | kv::mbCancel, nullptr, "エラー", kv::mrCancel},
    };
    for (const auto& c : kCases) {
        kvtest::ModalWatchdog watchdog;
        std::u16string caption, text;
        RECT placed{};
        Answerer answerer(L"TMessageForm", [&](HWND box) {
            caption = TextOf(box);
            GetWindowRect(box, &placed);
            if (auto* form = dynamic_cast<kv::TMessageForm*>(kv::TWinControl::FindControl(box)))
                text = form->Message()->Caption();
            if (c.press) {
                PostMessageW(FindWindowExW(box, nullptr, L"TButton", c.press), BM_CLICK, 0, 0);
            } else {
                HWND focus = GetFocus();
                PostMessageW(focus ? focus : box, WM_KEYDOWN, VK_ESCAPE, 0);
            }
        });
        const int result = kv::MessageDlgPos(u"ファイルがありません。\n確かめてください。", c.type,
                                             c.buttons, 120, 90);
        EXPECT_TRUE(answerer.Answered()) << c.name;
        EXPECT_FALSE(watchdog.Fired()) << c.name;
        EXPECT_EQ(result, c.result) << c.name;
        EXPECT_EQ(Utf16ToUtf8(caption), c.caption) << c.name;
        EXPECT_EQ(Utf16ToUtf8(text), "ファイルがありません。\n確かめてください。") << c.name;
        EXPECT_EQ(placed.left, 120) << c.name;
        EXPECT_EQ(placed.top, 90) << c.name;
    }
}

} // namespace
