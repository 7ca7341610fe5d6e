#include "app/UnitFormKolvane.h"

#include <algorithm>

#include "base/MessagePump.h"
#include "join/ResultSave.h"
#include "ui/Application.h"
#include "ui/TCursorHourGlass.h"

namespace {

// The join window's idle handler, a type of its own so that a window that goes before its
// first idle moment can take exactly its own handler out of the slot.
struct JoinIdleHandler {
    TFormKolvane* form; // not owned
    void operator()(kv::TObject* sender, bool& done) const { form->RunJoin(sender, done); }
};

void ClearOwnIdleHandler(const TFormKolvane* form) {
    if (!kv::Application) return;
    const auto* handler = kv::Application->OnIdle.target<JoinIdleHandler>();
    if (handler && handler->form == form) kv::Application->OnIdle = nullptr;
}

} // namespace

TFormKolvane::TFormKolvane(kv::TComponent* owner, bool autoSave, TProject* project,
                           const TCsv* left, int leftKey, bool leftTitle, const TCsv* right,
                           int rightKey, bool rightTitle)
    : TForm(owner), Engine(left, leftKey, leftTitle, right, rightKey, rightTitle), Project(project),
      AutoSave(autoSave) {
    BindField(u"PanelToolBar", PanelToolBar);
    BindField(u"ComboBoxType", ComboBoxType);
    BindField(u"ComboBoxSortColumn", ComboBoxSortColumn);
    BindField(u"SpeedButton1", SpeedButton1);
    BindField(u"CheckBoxOverWrite", CheckBoxOverWrite);
    BindField(u"PanelTop", PanelTop);
    BindField(u"ProgressBar1", ProgressBar1);
    BindField(u"BtnCancel", BtnCancel);
    BindField(u"StatusBar1", StatusBar1);
    BindField(u"ActionList1", ActionList1);
    BindField(u"ActionSave", ActionSave);
    BindField(u"ImageList16", ImageList16);
    BindField(u"SaveDialogCsv", SaveDialogCsv);
    using Notify = void(kv::TObject*);
    RegisterHandler<Notify>(u"BtnCancelClick", [this](kv::TObject* s) { BtnCancelClick(s); });
    RegisterHandler<Notify>(u"ComboBoxTypeClick", [this](kv::TObject* s) { ComboBoxTypeClick(s); });
    RegisterHandler<Notify>(u"ComboBoxSortColumnChange",
                            [this](kv::TObject* s) { ComboBoxSortColumnChange(s); });
    RegisterHandler<Notify>(u"ActionSaveExecute", [this](kv::TObject* s) { ActionSaveExecute(s); });
    ReadForm(u"TFORMKOLVANE");

    // A titled side without rows gives no title row, so the model is told what the engine
    // will really produce.
    Grid = kv::Create<TKolvaneGrid>(this, Engine.HasTitleRow());
    Grid->SetParent(this);
    Grid->SetAlign(kv::alClient);

    // The view is set before any row arrives.
    ComboBoxType->SetItemIndex(Project->ShowType);
    ComboBoxTypeClick(this);
    SaveDialogCsv->FileName = Project->SaveFileName;
    SaveDialogCsv->EncodingIndex = Project->EncodingIndex;
    CheckBoxOverWrite->SetChecked(!Project->SaveIsNew);
    ComboBoxSortColumn->SetItemIndex(Project->SaveSortCol);
    // With sort conditions the order comes from them, not from a side.
    ComboBoxSortColumn->SetVisible(Project->SortInfos.empty());

    if (kv::Application) kv::Application->OnIdle = JoinIdleHandler{this};
}

TFormKolvane::~TFormKolvane() {
    ClearOwnIdleHandler(this);
}

void TFormKolvane::RunJoin(kv::TObject* sender, bool& done) {
    ClearOwnIdleHandler(this);
    const kv::TCursorHourGlass hourGlass;
    // Also when the engine or the grid raises: the window is left in its finished state.
    struct Finish {
        TFormKolvane& form;
        ~Finish() {
            form.PanelTop->Hide();
            form.ActionSave->SetEnabled(true);
        }
    } finish{*this};

    ProgressBar1->SetRange(0, Engine.GetMax());
    ProgressBar1->SetPosition(0);
    // The bar's control repaints at once on every new position, which costs more than a join
    // step; it is told only when the filled part grows by a pixel.
    const long long max = Engine.GetMax();
    const long long width = std::max(1, ProgressBar1->ClientWidth());
    int position = 0;
    long long shownPixels = 0;
    const auto showProgress = [&] {
        const long long pixels = position * width / std::max(1LL, max);
        if (pixels == shownPixels) return;
        shownPixels = pixels;
        ProgressBar1->SetPosition(position);
    };
    while (Engine.Next()) {
        // This is where a click on Cancel is seen; the pump answers once per time slice.
        kv::PumpMessages();
        if (Cancelled) break;
        position = Engine.GetPosition();
        showProgress();
        Grid->AddRows(Engine.CurrentRows());
        ++position;
        showProgress();
    }
    ProgressBar1->SetPosition(position);
    Sort();
    if (AutoSave) {
        Succeeded = SaveCsv(Project->SaveFileName, Project->SaveIsNew, Project->EncodingIndex);
        if (Succeeded) Close();
    }
}

void TFormKolvane::BtnCancelClick(kv::TObject* sender) {
    Cancelled = true;
}

void TFormKolvane::ComboBoxTypeClick(kv::TObject* sender) {
    const kv::TCursorHourGlass hourGlass;
    Grid->SetShowType(ComboBoxType->ItemIndex());
}

void TFormKolvane::ComboBoxSortColumnChange(kv::TObject* sender) {
    Sort();
}

void TFormKolvane::Sort() {
    const kv::TCursorHourGlass hourGlass;
    if (!Project->SortInfos.empty())
        Grid->SortByInfos(Project->SortInfos);
    else
        Grid->SortBySide(ComboBoxSortColumn->ItemIndex() == 0 ? 0 : 1);
}

void TFormKolvane::ActionSaveExecute(kv::TObject* sender) {
    // Appending overwrites nothing, so only a new file asks first.
    const bool append = CheckBoxOverWrite->Checked();
    if (append)
        SaveDialogCsv->Options &= ~kv::ofOverwritePrompt;
    else
        SaveDialogCsv->Options |= kv::ofOverwritePrompt;
    if (!SaveDialogCsv->Execute()) return;
    SaveCsv(SaveDialogCsv->FileName, !append, SaveDialogCsv->EncodingIndex);
}

bool TFormKolvane::SaveCsv(const std::u16string& path, bool isNew, int encodingIndex) {
    const TResultSaveStatus status =
        SaveResultRows(Grid->Model, path, isNew, SaveCodePage(encodingIndex));
    if (status != TResultSaveStatus::Saved) {
        kv::ShowWarning(u"CSVファイルの保存に失敗しました。");
        return false;
    }
    Project->SaveFileName = path;
    Project->EncodingIndex = encodingIndex;
    Project->ShowType = ComboBoxType->ItemIndex();
    Project->SaveIsNew = isNew;
    Project->SetSaveSortCol(ComboBoxSortColumn->ItemIndex());
    return true;
}
