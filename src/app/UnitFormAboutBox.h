#pragma once
// The about box: the program's name, version, copyright and comments from its version
// information, and a link to the product's web page. Windows only; interface thread.
#include <string>

#include "ui/ExtCtrls.h"
#include "ui/Forms.h"
#include "ui/StdCtrls.h"

class TFormAboutBox : public kv::TForm {
    KV_CLASS(TFormAboutBox)
public:
    // Raises kv::Exception "バージョン情報を取得できません" when the program file has no
    // readable version information (the box is then not shown).
    explicit TFormAboutBox(kv::TComponent* owner);

    // Opens the label's address with the shell's default verb (the default browser).
    void LabelUrlClick(kv::TObject* sender);

    static constexpr char16_t kProductUrl[] = u"https://www.ostrevin.example/kolvane/";

    kv::TPanel* Panel1 = nullptr;
    kv::TImage* ProgramIcon = nullptr;
    kv::TLabel* ProductName = nullptr;
    kv::TLabel* Version = nullptr;
    kv::TLabel* Copyright = nullptr;
    kv::TLabel* Comments = nullptr;
    kv::TLinkLabel* LabelUrl = nullptr;
};
