#pragma once
// Dialog components that forms place (open and save dialogs, a save dialog with an encoding
// list) and the message boxes of the program; all go through the replaceable services.
// Interface thread only.
#include <string>
#include <vector>

#include "ui/Component.h"

namespace kv {

using TOpenOptions = unsigned;
constexpr TOpenOptions ofReadOnly = 1, ofOverwritePrompt = 2, ofHideReadOnly = 4, ofNoChangeDir = 8,
                       ofPathMustExist = 16, ofFileMustExist = 32, ofEnableSizing = 64;

class TOpenDialog : public TComponent {
    KV_CLASS(TOpenDialog)
public:
    explicit TOpenDialog(TComponent* owner);

    // Shows the dialog over the active form; true when a file was chosen (FileName holds it).
    virtual bool Execute();

    std::u16string Filter, DefaultExt, FileName, InitialDir, Title;
    int FilterIndex = 1;
    TOpenOptions Options = ofHideReadOnly | ofEnableSizing;

protected:
    bool Run(bool save, std::vector<std::u16string>* encodings, int* encodingIndex);
};

class TSaveDialog : public TOpenDialog {
    KV_CLASS(TSaveDialog)
public:
    explicit TSaveDialog(TComponent* owner) : TOpenDialog(owner) {}
    bool Execute() override;
};

// A save dialog with a list of encodings ("ANSI", "UTF-8", ...) below the file name.
class TSaveTextFileDialog : public TSaveDialog {
    KV_CLASS(TSaveTextFileDialog)
public:
    explicit TSaveTextFileDialog(TComponent* owner) : TSaveDialog(owner) {}
    bool Execute() override;
    std::vector<std::u16string> Encodings;
    int EncodingIndex = 0;
};

// A message box over the active form with the application title as caption; returns the
// button pressed. flags: MB_ICONWARNING, MB_OK, ... as MessageBoxW takes them.
int MessageDlg(const std::u16string& text, unsigned flags);
// The program's warning box: warning icon, one OK button.
void ShowWarning(const std::u16string& text);
// An information box with one OK button.
void ShowMessage(const std::u16string& text);

// The input prompt: a modal form of class "TForm" with the prompt ("Prompt"), an edit box
// ("Edit") holding value, OK ("ButtonOk", default) and Cancel ("ButtonCancel"). On OK value
// takes the text and the result is true.
bool InputQuery(const std::u16string& caption, const std::u16string& prompt, std::u16string& value);

} // namespace kv
