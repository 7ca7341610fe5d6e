#include "app/UnitFormSettingDropedFile.h"

TFormSettingDropedFile::TFormSettingDropedFile(kv::TComponent* owner,
                                               const std::u16string& fileName)
    : TForm(owner) {
    BindField(u"StaticTextFileName", StaticTextFileName);
    BindField(u"RadioButtonLeft", RadioButtonLeft);
    BindField(u"RadioButtonRight", RadioButtonRight);
    BindField(u"BtnOk", BtnOk);
    BindField(u"BtnCancel", BtnCancel);
    ReadForm(u"TFORMSETTINGDROPEDFILE");
    StaticTextFileName->SetCaption(fileName);
}

int TFormSettingDropedFile::GetSide() const {
    if (RadioButtonLeft->Checked()) return 0;
    if (RadioButtonRight->Checked()) return 1;
    return -1;
}
