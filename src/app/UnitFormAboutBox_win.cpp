#include "app/UnitFormAboutBox.h"

#include "app/TkAppInfo.h"
#include "ui/Application.h"
#include "ui/Services.h"
#include "widgets/WlClasses.h"

TFormAboutBox::TFormAboutBox(kv::TComponent* owner) : TForm(owner) {
    kv::RegisterWlClasses();
    BindField(u"Panel1", Panel1);
    BindField(u"ProgramIcon", ProgramIcon);
    BindField(u"ProductName", ProductName);
    BindField(u"Version", Version);
    BindField(u"Copyright", Copyright);
    BindField(u"Comments", Comments);
    BindField(u"LabelUrl", LabelUrl);
    RegisterHandler<void(kv::TObject*)>(u"LabelUrlClick",
                                        [this](kv::TObject* s) { LabelUrlClick(s); });
    ReadForm(u"TFORMABOUTBOX");
    const TkAppInfo info;
    ProductName->SetCaption(kv::Application ? kv::Application->Title() : std::u16string());
    Version->SetCaption(u"バージョン " + info.GetValue(3));
    Copyright->SetCaption(u"(C) " + info.GetValue(5));
    Comments->SetCaption(info.GetValue(0));
    LabelUrl->SetCaption(kProductUrl);
}

void TFormAboutBox::LabelUrlClick(kv::TObject* sender) {
    kv::TShellExecuteRequest request;
    request.file = LabelUrl->Caption();
    request.show = SW_SHOWNORMAL;
    kv::Services().ShellExecute(request);
}
