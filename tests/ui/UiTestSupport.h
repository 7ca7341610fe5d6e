#pragma once
// Helpers of the window framework's tests: the application object for the whole run, bounded
// message pumping, a watchdog for modal loops and services that answer instead of a person.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/Forms.h"
#include "ui/Services.h"

namespace kvtest {

// Handles messages (and idle steps) until done() is true or timeoutMs passed; returns done().
// A thread timer keeps the idle wait from blocking past the limit.
bool PumpUntil(const std::function<bool()>& done, unsigned timeoutMs = 30000);
// Handles the messages waiting now, a few rounds (lets posted work arrive).
void PumpPending();

// Ends any modal loop after timeoutMs (ModalResult mrAbort on every modal form) so that a test
// that waits for a dialog can never hang; cancelled when it goes out of scope.
class ModalWatchdog {
public:
    explicit ModalWatchdog(unsigned timeoutMs = 60000);
    ~ModalWatchdog();
    ModalWatchdog(const ModalWatchdog&) = delete;
    ModalWatchdog& operator=(const ModalWatchdog&) = delete;
    bool Fired() const;

private:
    UINT_PTR timer_;
};

// A shown form that controls are added to; hidden again at the end.
struct ShownForm {
    ShownForm();
    ~ShownForm();
    ShownForm(const ShownForm&) = delete;
    ShownForm& operator=(const ShownForm&) = delete;
    template <class T> T* Add() {
        T* c = kv::Create<T>(&form);
        c->SetParent(&form);
        return c;
    }
    kv::TForm form;
};

// Services that record what the program asked for and answer with preset values.
class TestServices : public kv::TServices {
public:
    TestServices();
    ~TestServices() override;

    struct Box {
        std::u16string text, caption;
        UINT flags;
    };
    std::vector<Box> boxes;
    int boxAnswer = IDOK;

    std::vector<kv::TFileDialogRequest> fileRequests;
    bool fileAnswer = true;
    std::u16string fileChosen;
    int encodingChosen = -1; // -1: keep the request's

    struct HelpCall {
        std::u16string file;
        kv::THelpCommand command;
        int context;
    };
    std::vector<HelpCall> helpCalls;
    std::vector<kv::TShellExecuteRequest> shellCalls;
    std::vector<std::u16string> dropped;
    struct PopupCall {
        HMENU menu;
        int x, y;
    };
    std::vector<PopupCall> popups;
    // Given the items of the menu (command and text), the command to choose (0: none).
    std::function<UINT(const std::vector<std::pair<UINT, std::u16string>>&)> popupAnswer;

    int MessageBox(HWND owner, const std::u16string& text, const std::u16string& caption,
                   UINT flags) override;
    bool FileDialog(kv::TFileDialogRequest& request) override;
    bool Help(const std::u16string& file, kv::THelpCommand command, int context) override;
    INT_PTR ShellExecute(const kv::TShellExecuteRequest& request) override;
    std::vector<std::u16string> DroppedFiles(HDROP drop) override;
    UINT TrackPopupMenu(HMENU menu, UINT flags, int x, int y, HWND owner) override;

private:
    kv::TServices* previous_;
};

} // namespace kvtest
