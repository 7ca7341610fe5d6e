#pragma once
// Helpers of the dialogs' tests: answering a modal dialog that the code under test opens, and
// the documentation's pictures of windows.
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "UiTestSupport.h"
#include "ui/Application.h"
#include "ui/Forms.h"
#include "ui/Screenshot.h"

namespace kvtest {

// At the first idle moment while a modal form of class T is on screen, calls answer with it
// (which sets its modal result, or clicks a button that does). Holds the application's idle
// slot until then; Answered() tells whether it ran.
template <class T> class AnswerModal {
public:
    explicit AnswerModal(std::function<void(T&)> answer) : answer_(std::move(answer)) {
        kv::Application->OnIdle = [this](kv::TObject*, bool& done) {
            for (int i = 0; i < kv::Screen->FormCount(); ++i) {
                auto* form = dynamic_cast<T*>(kv::Screen->Forms(i));
                if (!form || !form->Modal() || !form->Visible()) continue;
                kv::Application->OnIdle = nullptr;
                answered_ = true;
                answer_(*form);
                return;
            }
            done = true;
        };
    }
    ~AnswerModal() {
        if (!answered_) kv::Application->OnIdle = nullptr;
    }
    AnswerModal(const AnswerModal&) = delete;
    AnswerModal& operator=(const AnswerModal&) = delete;
    bool Answered() const { return answered_; }

private:
    std::function<void(T&)> answer_;
    bool answered_ = false;
};

// Saves a picture of the form as docs/<name> when KOLVANE_DOCS names the docs folder, else in
// the temporary folder. The form is shown and painted first.
inline bool SaveFormPicture(kv::TCustomForm& form, const std::string& name) {
    if (!form.Visible()) form.Show();
    PumpUntil([] { return false; }, 300);
    RECT area;
    GetWindowRect(form.Handle(), &area);
    const char* docs = std::getenv("KOLVANE_DOCS");
    const std::filesystem::path path =
        (docs ? std::filesystem::path(docs) : std::filesystem::temp_directory_path()) / name;
    return kv::SaveScreenshotPng(path.u16string(), &area);
}

} // namespace kvtest
