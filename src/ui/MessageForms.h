#pragma once
// The message form: a message box made of the framework's own controls, in place of the
// system's message box where a form must recognise, place and answer the box it opened (its
// window class is "TMessageForm"; the input prompt of Dialogs.h is a plain "TForm"). It runs
// modally over the active form. Interface thread only.
#include <string>

#include "ui/Forms.h"

namespace kv {

class TLabel;

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
using TMsgDlgButtons = unsigned;
constexpr TMsgDlgButtons mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8;

// The form of a message: an icon of its type, the text and a row of buttons.
class TMessageForm : public TForm {
    KV_CLASS(TMessageForm)
public:
    // Lays the form out for the text, type and buttons (mbOK when none is given). The form's
    // caption is the type's ("警告", "エラー", "情報", "確認"; the application title for
    // mtCustom).
    TMessageForm(TComponent* owner, const std::u16string& text, TMsgDlgType type,
                 TMsgDlgButtons buttons);
    // The label that shows the text.
    TLabel* Message() const { return message_; }

private:
    TLabel* message_ = nullptr; // owned as a component
};

// Shows a message form with its top left corner at (x, y) (screen coordinates; x or y below 0
// centres it on the screen) and returns the modal result of the button pressed (mrCancel when
// the form was closed otherwise).
int MessageDlgPos(const std::u16string& text, TMsgDlgType type, TMsgDlgButtons buttons, int x,
                  int y);

} // namespace kv
