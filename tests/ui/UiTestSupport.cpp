#include "UiTestSupport.h"

#include <gtest/gtest.h>

#include "ui/Application.h"
#include "ui/Forms.h"

namespace kvtest {

namespace {

// One application object for the whole test run, as a program has.
class UiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        app_ = new kv::TApplication(nullptr);
        app_->SetTitle(u"KolvaneTest");
    }
    void TearDown() override {
        delete app_;
        app_ = nullptr;
    }

private:
    kv::TApplication* app_ = nullptr;
};
const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new UiEnvironment);

bool g_watchdogFired = false;

void CALLBACK WatchdogTimer(HWND, UINT, UINT_PTR, DWORD) {
    try {
        g_watchdogFired = true;
        for (int i = 0; kv::Screen && i < kv::Screen->FormCount(); ++i)
            if (kv::Screen->Forms(i)->Modal()) kv::Screen->Forms(i)->SetModalResult(kv::mrAbort);
    } catch (...) {}
}

} // namespace

bool PumpUntil(const std::function<bool()>& done, unsigned timeoutMs) {
    const DWORD start = GetTickCount();
    const UINT_PTR tick = SetTimer(nullptr, 0, 20, nullptr);
    while (!done() && GetTickCount() - start < timeoutMs) kv::Application->HandleMessage();
    KillTimer(nullptr, tick);
    return done();
}

void PumpPending() {
    for (int i = 0; i < 5; ++i) kv::Application->ProcessMessages();
}

ModalWatchdog::ModalWatchdog(unsigned timeoutMs)
    : timer_(SetTimer(nullptr, 0, timeoutMs, &WatchdogTimer)) {
    g_watchdogFired = false;
}
ModalWatchdog::~ModalWatchdog() {
    KillTimer(nullptr, timer_);
}
bool ModalWatchdog::Fired() const {
    return g_watchdogFired;
}

TestServices::TestServices() : previous_(kv::SetServices(this)) {}
TestServices::~TestServices() {
    kv::SetServices(previous_);
}

int TestServices::MessageBox(HWND, const std::u16string& text, const std::u16string& caption,
                             UINT flags) {
    boxes.push_back({text, caption, flags});
    return boxAnswer;
}

bool TestServices::FileDialog(kv::TFileDialogRequest& request) {
    fileRequests.push_back(request);
    if (!fileAnswer) return false;
    request.fileName = fileChosen;
    if (encodingChosen >= 0) request.encodingIndex = encodingChosen;
    return true;
}

bool TestServices::Help(const std::u16string& file, kv::THelpCommand command, int context) {
    helpCalls.push_back({file, command, context});
    return true;
}

INT_PTR TestServices::ShellExecute(const kv::TShellExecuteRequest& request) {
    shellCalls.push_back(request);
    return 33;
}

std::vector<std::u16string> TestServices::DroppedFiles(HDROP) {
    return dropped;
}

UINT TestServices::TrackPopupMenu(HMENU menu, UINT, int x, int y, HWND) {
    popups.push_back({menu, x, y});
    std::vector<std::pair<UINT, std::u16string>> items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[256] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
        items.emplace_back(GetMenuItemID(menu, i), kv::FromW(text));
    }
    return popupAnswer ? popupAnswer(items) : 0;
}

ShownForm::ShownForm() : form(kv::Application) {
    form.Show();
}
ShownForm::~ShownForm() {
    form.Hide();
}

} // namespace kvtest
