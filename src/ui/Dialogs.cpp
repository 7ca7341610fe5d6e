#include "ui/Dialogs.h"

#include <windows.h>

#include "ui/Application.h"
#include "ui/ClassRegistry.h"
#include "ui/Forms.h"
#include "ui/Services.h"
#include "ui/StdCtrls.h"

namespace kv {

namespace {
HWND ActiveOwner() {
    if (TCustomForm* f = Screen ? Screen->ActiveForm() : nullptr) return f->Handle();
    if (Application && Application->MainForm() && Application->MainForm()->HandleAllocated())
        return Application->MainForm()->Handle();
    return nullptr;
}
} // namespace

TOpenDialog::TOpenDialog(TComponent* owner) : TComponent(owner) {}

bool TOpenDialog::Execute() {
    return Run(false, nullptr, nullptr);
}

bool TOpenDialog::Run(bool save, std::vector<std::u16string>* encodings, int* encodingIndex) {
    TFileDialogRequest r;
    r.owner = ActiveOwner();
    r.save = save;
    r.title = Title;
    r.filter = Filter;
    r.filterIndex = FilterIndex;
    r.defaultExt = DefaultExt;
    r.initialDir = InitialDir;
    r.fileName = FileName;
    r.overwritePrompt = (Options & ofOverwritePrompt) != 0;
    r.hideReadOnly = (Options & ofHideReadOnly) != 0;
    r.fileMustExist = (Options & ofFileMustExist) != 0;
    r.pathMustExist = (Options & ofPathMustExist) != 0;
    r.noChangeDir = true;
    if (encodings) {
        r.encodings = *encodings;
        r.encodingIndex = *encodingIndex;
    }
    if (!Services().FileDialog(r)) return false;
    FileName = r.fileName;
    FilterIndex = r.filterIndex;
    if (encodingIndex) *encodingIndex = r.encodingIndex;
    return true;
}

bool TSaveDialog::Execute() {
    return Run(true, nullptr, nullptr);
}

bool TSaveTextFileDialog::Execute() {
    return Run(true, &Encodings, &EncodingIndex);
}

bool InputQuery(const std::u16string& caption, const std::u16string& prompt,
                std::u16string& value) {
    TForm form(Application);
    form.SetBorderStyle(bsDialog);
    form.SetPosition(poScreenCenter);
    form.SetCaption(caption);
    form.SetClientSize(320, 104);
    auto* label = Create<TLabel>(&form);
    label->SetName(u"Prompt");
    label->SetParent(&form);
    label->SetBounds(8, 8, 304, 16);
    label->SetCaption(prompt);
    auto* edit = Create<TEdit>(&form);
    edit->SetName(u"Edit");
    edit->SetParent(&form);
    edit->SetBounds(8, 30, 304, 21);
    edit->SetText(value);
    label->SetFocusControl(edit);
    auto* ok = Create<TButton>(&form);
    ok->SetName(u"ButtonOk");
    ok->SetParent(&form);
    ok->SetBounds(156, 68, 75, 25);
    ok->SetCaption(u"OK");
    ok->SetDefault(true);
    ok->SetModalResult(mrOk);
    auto* cancel = Create<TButton>(&form);
    cancel->SetName(u"ButtonCancel");
    cancel->SetParent(&form);
    cancel->SetBounds(237, 68, 75, 25);
    cancel->SetCaption(u"キャンセル");
    cancel->SetCancel(true);
    cancel->SetModalResult(mrCancel);
    form.SetActiveControl(edit);
    if (form.ShowModal() != mrOk) return false;
    value = edit->Text();
    return true;
}

int MessageDlg(const std::u16string& text, unsigned flags) {
    const std::u16string caption = Application ? Application->Title() : std::u16string();
    return Services().MessageBox(ActiveOwner(), text, caption, flags);
}

void ShowWarning(const std::u16string& text) {
    MessageDlg(text, MB_OK | MB_ICONWARNING);
}

void ShowMessage(const std::u16string& text) {
    MessageDlg(text, MB_OK);
}

namespace detail {
void RegisterDialogClasses() {
    static const TNameTable kOptions = {
        {u"ofReadOnly", ofReadOnly},           {u"ofOverwritePrompt", ofOverwritePrompt},
        {u"ofHideReadOnly", ofHideReadOnly},   {u"ofNoChangeDir", ofNoChangeDir},
        {u"ofPathMustExist", ofPathMustExist}, {u"ofFileMustExist", ofFileMustExist},
        {u"ofEnableSizing", ofEnableSizing}};
    RegisterComponentClass<TOpenDialog>(u"TComponent")
        .Str(u"Filter", [](TOpenDialog& d, const std::u16string& v) { d.Filter = v; })
        .Str(u"DefaultExt", [](TOpenDialog& d, const std::u16string& v) { d.DefaultExt = v; })
        .Str(u"FileName", [](TOpenDialog& d, const std::u16string& v) { d.FileName = v; })
        .Str(u"InitialDir", [](TOpenDialog& d, const std::u16string& v) { d.InitialDir = v; })
        .Str(u"Title", [](TOpenDialog& d, const std::u16string& v) { d.Title = v; })
        .Int(u"FilterIndex", [](TOpenDialog& d, int v) { d.FilterIndex = v; })
        .Set(u"Options", kOptions, [](TOpenDialog& d, unsigned v) { d.Options = v; });
    RegisterComponentClass<TSaveDialog>(u"TOpenDialog");
    RegisterComponentClass<TSaveTextFileDialog>(u"TSaveDialog")
        .Strings(
            u"Encodings.Strings",
            [](TSaveTextFileDialog& d, const std::vector<std::u16string>& v) { d.Encodings = v; })
        .Int(u"EncodingIndex", [](TSaveTextFileDialog& d, int v) { d.EncodingIndex = v; });
}
} // namespace detail

} // namespace kv
