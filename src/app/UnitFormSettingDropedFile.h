#pragma once
// Asks to which side a CSV file dropped on the main window goes. Windows only; interface
// thread.
#include <string>

#include "ui/Forms.h"
#include "ui/StdCtrls.h"

class TFormSettingDropedFile : public kv::TForm {
    KV_CLASS(TFormSettingDropedFile)
public:
    TFormSettingDropedFile(kv::TComponent* owner, const std::u16string& fileName);

    // 0 left, 1 right, -1 when neither is selected.
    int GetSide() const;

    kv::TStaticText* StaticTextFileName = nullptr;
    kv::TRadioButton* RadioButtonLeft = nullptr;
    kv::TRadioButton* RadioButtonRight = nullptr;
    kv::TButton* BtnOk = nullptr;
    kv::TButton* BtnCancel = nullptr;
};
