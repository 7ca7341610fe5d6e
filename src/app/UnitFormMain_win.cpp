#include "app/UnitFormMain.h"

#include <shellapi.h>

#include <utility>

#include "app/CommandLine.h"
#include "app/TAutoFile.h"
#include "app/TCsvGrid.h"
#include "app/UnitFormConfigGeneral.h"
#include "base/FileSystem.h"
#include "base/Stream.h"
#include "base/Text.h"
#include "csv/TCsvUtility.h"
#include "ui/ActnList.h"
#include "ui/Application.h"
#include "ui/ComCtrls.h"
#include "ui/Dialogs.h"
#include "ui/ExtCtrls.h"
#include "ui/Menus.h"
#include "ui/Services.h"
#include "ui/StdCtrls.h"
#include "ui/TCursorHourGlass.h"
#include "ui/TrayIcon.h"

using namespace kv;

namespace {

// The extension of a path's file name from its last ".", or "".
std::u16string FileExtension(const std::u16string& path) {
    const std::u16string name = ExtractFileName(path);
    const size_t dot = name.rfind(u'.');
    return dot == std::u16string::npos ? std::u16string() : name.substr(dot);
}

// The message of the exception being handled; "" for one that carries none we can read.
std::u16string CurrentMessage() {
    try {
        throw;
    } catch (const kv::Exception& e) {
        return e.Message();
    } catch (const std::exception& e) {
        return Utf8ToUtf16(e.what());
    } catch (...) {
        return {};
    }
}

} // namespace

#define KV_BIND(name) BindField(u"" #name, name)
#define KV_HANDLER(name) RegisterHandler<void(TObject*)>(u"" #name, [this](TObject* s) { name(s); })

TFormMain::TFormMain(TComponent* owner) : TForm(owner) {
    kv::crash::RegisterCrashLogClass();
    KV_BIND(ToolBar1);
    KV_BIND(GroupBoxLeft);
    KV_BIND(EditLeftFileName);
    KV_BIND(ComboBoxLeftKey);
    KV_BIND(CheckBoxLeftRowName);
    KV_BIND(Splitter1);
    KV_BIND(GroupBoxRight);
    KV_BIND(EditRightFileName);
    KV_BIND(ComboBoxRightKey);
    KV_BIND(CheckBoxRightRowName);
    KV_BIND(StatusBar1);
    KV_BIND(ActionManager1);
    KV_BIND(ActionFileNew);
    KV_BIND(ActionFileOpen);
    KV_BIND(ActionFileSave);
    KV_BIND(ActionFileSaveAs);
    KV_BIND(ActionFileMakeAuto);
    KV_BIND(ActionFileClose);
    KV_BIND(ActionCsvSelectParent);
    KV_BIND(ActionCsvSelectChild);
    KV_BIND(ActionCsvSort);
    KV_BIND(ActionKolvane);
    KV_BIND(ActionGridSetKeyCol);
    KV_BIND(ActionConfigGeneral);
    KV_BIND(ActionHelpHelp);
    KV_BIND(ActionHelpAbout);
    KV_BIND(MainMenu1);
    KV_BIND(PopupMenuCsvGridLeft);
    KV_BIND(PopupMenuCsvGridRight);
    KV_BIND(OpenDialogProject);
    KV_BIND(SaveDialogProject);
    KV_BIND(OpenDialogCsv);
    KV_BIND(ApplicationEvents1);
    KV_BIND(TrayIcon1);
    KV_BIND(CrashLog1);

    KV_HANDLER(ActionFileNewExecute);
    KV_HANDLER(ActionFileOpenExecute);
    KV_HANDLER(ActionFileSaveExecute);
    KV_HANDLER(ActionFileSaveAsExecute);
    KV_HANDLER(ActionFileMakeAutoExecute);
    KV_HANDLER(ActionFileCloseExecute);
    KV_HANDLER(ActionCsvSelectParentExecute);
    KV_HANDLER(ActionCsvSelectChildExecute);
    KV_HANDLER(ActionCsvSortExecute);
    KV_HANDLER(ActionKolvaneExecute);
    KV_HANDLER(ActionGridSetKeyColExecute);
    KV_HANDLER(ActionConfigGeneralExecute);
    KV_HANDLER(ActionHelpHelpExecute);
    KV_HANDLER(ActionHelpAboutExecute);
    KV_HANDLER(CheckBoxLeftRowNameClick);
    KV_HANDLER(CheckBoxRightRowNameClick);
    KV_HANDLER(ComboBoxLeftKeyClick);
    KV_HANDLER(ComboBoxRightKeyClick);
    KV_HANDLER(FormShow);
    KV_HANDLER(ApplicationEvents1Minimize);
    KV_HANDLER(TrayIcon1Click);
    RegisterHandler<void(TObject*, TCloseAction&)>(
        u"FormClose", [this](TObject* s, TCloseAction& a) { FormClose(s, a); });

    ReadForm(u"TFORMMAIN");

    Arguments = [] { return app::ProgramArguments(); };
    if (Application) Application->SetHelpFile(ChangeFileExt(GetProgramFileName(), u".CHM"));

    const auto makeGrid = [this](TGroupBox* parent, TPopupMenu* menu, int tag) {
        TCsvGrid* grid = Create<TCsvGrid>(this);
        grid->SetParent(parent);
        grid->SetAlign(alClient);
        grid->SetPopupMenu(menu);
        grid->SetTag(tag);
        grid->OnDblClick = [this](TObject* s) { ActionGridSetKeyColExecute(s); };
        return grid;
    };
    LeftGrid = makeGrid(GroupBoxLeft, PopupMenuCsvGridLeft, 0);
    RightGrid = makeGrid(GroupBoxRight, PopupMenuCsvGridRight, 1);
    // The window accepts dropped files from whenever it is made (CreateWindowHandleDone).

    ActionFileNewExecute(nullptr);
    Config.Load(TConfig::GetFileName());
    if (Application) {
        Application->OnIdle = [this](TObject* s, bool& done) { StartUp(s, done); };
        startUpPending_ = true;
    }
}

#undef KV_BIND
#undef KV_HANDLER

TFormMain::~TFormMain() {
    if (startUpPending_ && Application) Application->OnIdle = nullptr;
    // The grids outlive the tables by a moment (they go with the components).
    if (LeftGrid) LeftGrid->SetCsv(nullptr);
    if (RightGrid) RightGrid->SetCsv(nullptr);
}

void TFormMain::CreateWindowHandleDone() {
    TForm::CreateWindowHandleDone();
    // A drop target for shell files; made again with the window.
    DragAcceptFiles(Handle(), TRUE);
}

LRESULT TFormMain::WndProc(UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_DROPFILES) {
        WMDropFiles(reinterpret_cast<HDROP>(w));
        return 0;
    }
    return TForm::WndProc(msg, w, l);
}

void TFormMain::SetStatus(const std::u16string& text) {
    StatusBar1->SetSimpleText(text);
}

// ---- start-up ---------------------------------------------------------------------------------

void TFormMain::StartUp(TObject*, bool&) {
    if (Application) Application->OnIdle = nullptr;
    startUpPending_ = false;
    const TCursorHourGlass hourGlass;
    if (Config.WindowPositionRestore) {
        SetBounds(Config.Left, Config.Top, Config.Width, Config.Height);
        if (Config.WindowState != 0) SetWindowState(static_cast<TWindowState>(Config.WindowState));
    }
    const std::vector<std::u16string> args =
        Arguments ? Arguments() : std::vector<std::u16string>();
    if (!args.empty()) {
        TAutoFile autoFile;
        for (auto it = args.rbegin(); it != args.rend(); ++it) autoFile.ParseParam(*it);
        if (!autoFile.ProjectFileName.empty()) {
            OpenProject(autoFile.ProjectFileName);
        } else {
            ApplyAutoFile(autoFile);
            if (autoFile.Auto && Join(true)) Close();
        }
    } else if (Config.ProjectFileRestore && FileExists(Config.LastProjectFile)) {
        OpenProject(Config.LastProjectFile);
    }
}

// ---- projects ---------------------------------------------------------------------------------

void TFormMain::SetProjectFileName(const std::u16string& path) {
    ProjectFileName = path;
    const std::u16string title = Application ? Application->Title() : std::u16string();
    if (path.empty()) {
        SetCaption(title);
        return;
    }
    SetCaption(title + u" - " + ExtractFileName(path));
    Config.AddHistory(path);
}

void TFormMain::OpenProject(const std::u16string& path) {
    const TCursorHourGlass hourGlass;
    Project.Load(path);
    ProjectToUI(Project);
    SetProjectFileName(Project.FileName);
}

bool TFormMain::SaveProject(const std::u16string& path) {
    try {
        UIToProject();
        Project.Save(path);
        SetProjectFileName(Project.FileName);
        SetStatus(u"プロジェクトを保存しました。");
        return true;
    } catch (...) {
        ShowWarning(CurrentMessage());
        return false;
    }
}

void TFormMain::ProjectToUI(const TProject& project) {
    // A copy: loading pumps messages, and a command run meanwhile may replace the project.
    const TProject p = project;
    EditLeftFileName->SetText(p.FileNameLeft);
    EditRightFileName->SetText(p.FileNameRight);
    LoadCsv(p.FileNameLeft, 0);
    LoadCsv(p.FileNameRight, 1);
    ComboBoxLeftKey->SetItemIndex(p.KeyLeft);
    ComboBoxRightKey->SetItemIndex(p.KeyRight);
    ComboBoxLeftKeyClick(nullptr);
    ComboBoxRightKeyClick(nullptr);
    CheckBoxLeftRowName->SetChecked(p.FirstLineIsTitleLeft);
    CheckBoxRightRowName->SetChecked(p.FirstLineIsTitleRight);
}

void TFormMain::UIToProject() {
    Project.FileNameLeft = EditLeftFileName->Text();
    Project.KeyLeft = ComboBoxLeftKey->ItemIndex();
    Project.FirstLineIsTitleLeft = CheckBoxLeftRowName->Checked();
    Project.FileNameRight = EditRightFileName->Text();
    Project.KeyRight = ComboBoxRightKey->ItemIndex();
    Project.FirstLineIsTitleRight = CheckBoxRightRowName->Checked();
}

// ---- CSV sides --------------------------------------------------------------------------------

void TFormMain::SelectCsvFile(int side) {
    if (OpenDialogCsv->Execute()) LoadCsv(OpenDialogCsv->FileName, side);
}

void TFormMain::LoadCsv(const std::u16string& path, int side) {
    TButtonedEdit* edit = side == 0 ? EditLeftFileName : EditRightFileName;
    edit->SetText(path);
    // The table is built apart and handed over only once reading has finished: reading pumps
    // messages, and a command run meanwhile (another load, closing) may change the side.
    std::unique_ptr<TCsv> csv;
    if (FileExists(path)) {
        csv = std::make_unique<TCsv>();
        try {
            if (!csv->LoadFromFile(path)) csv.reset();
        } catch (...) {
            csv.reset();
            ShowWarning(CurrentMessage());
        }
    }
    TCsvGrid* grid = side == 0 ? LeftGrid : RightGrid;
    std::unique_ptr<TCsv>& table = side == 0 ? LeftCsv : RightCsv;
    TComboBox* keys = side == 0 ? ComboBoxLeftKey : ComboBoxRightKey;
    grid->SetCsv(csv.get());
    table = std::move(csv); // the previous table goes only now that the grid has the new one
    keys->Items().Clear();
    if (table) {
        keys->Items().Assign(TCsvUtility::MakeColumnNames(table->GetColCount(), u"", u"列"));
        keys->SetItemIndex(0);
    }
    if (side == 0)
        ComboBoxLeftKeyClick(nullptr);
    else
        ComboBoxRightKeyClick(nullptr);
    if (table) SetStatus(u"CSVファイルを開きました。");
}

void TFormMain::CheckCsvLoaded() {
    if (!LeftCsv) throw Exception(u"左CSVファイルが選択されていません。");
    if (!RightCsv) throw Exception(u"右CSVファイルが選択されていません。");
}

bool TFormMain::Join(bool autoSave) {
    try {
        CheckCsvLoaded();
    } catch (const Exception& e) {
        ShowWarning(e.Message());
        return false;
    }
    if (!Dialogs.Join) return false;
    return Dialogs.Join(this, autoSave, &Project, LeftCsv.get(), ComboBoxLeftKey->ItemIndex(),
                        CheckBoxLeftRowName->Checked(), RightCsv.get(),
                        ComboBoxRightKey->ItemIndex(), CheckBoxRightRowName->Checked());
}

void TFormMain::ApplyAutoFile(const TAutoFile& autoFile) {
    if (!autoFile.FileNameLeft.empty()) LoadCsv(autoFile.FileNameLeft, 0);
    ComboBoxLeftKey->SetItemIndex(autoFile.KeyLeft);
    ComboBoxLeftKeyClick(nullptr);
    CheckBoxLeftRowName->SetChecked(autoFile.FirstLineIsTitleLeft);
    if (!autoFile.FileNameRight.empty()) LoadCsv(autoFile.FileNameRight, 1);
    ComboBoxRightKey->SetItemIndex(autoFile.KeyRight);
    ComboBoxRightKeyClick(nullptr);
    CheckBoxRightRowName->SetChecked(autoFile.FirstLineIsTitleRight);
    Project.SaveFileName = autoFile.SaveFileName;
    Project.EncodingIndex = autoFile.EncodingIndex;
    Project.ShowType = autoFile.ShowType;
    Project.SaveIsNew = autoFile.SaveIsNew;
    Project.SetSaveSortCol(autoFile.SaveSortCol);
    Project.SortInfos = autoFile.SortInfos;
}

std::vector<std::u16string> TFormMain::GetTitleRow(int side) const {
    if (side == 0) return LeftGrid->GetTitleRow();
    if (side == 1) return RightGrid->GetTitleRow();
    throw EArgumentException(u"");
}

std::vector<std::u16string> TFormMain::GetJoinedTitleRow() const {
    std::vector<std::u16string> row = GetTitleRow(0);
    std::vector<std::u16string> right = GetTitleRow(1);
    row.insert(row.end(), std::make_move_iterator(right.begin()),
               std::make_move_iterator(right.end()));
    return row;
}

// ---- commands ---------------------------------------------------------------------------------

void TFormMain::ActionFileNewExecute(TObject*) {
    const TCursorHourGlass hourGlass;
    Project = TProject();
    ProjectToUI(Project);
    SetProjectFileName(Project.FileName);
    SetStatus(u"プロジェクトを新規に作成しました。");
}

void TFormMain::ActionFileOpenExecute(TObject*) {
    if (!OpenDialogProject->Execute()) return;
    OpenProject(OpenDialogProject->FileName);
    SetStatus(u"プロジェクトファイルを開きました。");
}

void TFormMain::ActionFileSaveExecute(TObject* sender) {
    if (!Project.FileName.empty())
        SaveProject(Project.FileName);
    else
        ActionFileSaveAsExecute(sender);
}

void TFormMain::ActionFileSaveAsExecute(TObject*) {
    SaveDialogProject->FileName = Project.FileName;
    if (SaveDialogProject->Execute()) SaveProject(SaveDialogProject->FileName);
}

void TFormMain::ActionFileMakeAutoExecute(TObject*) {
    UIToProject();
    if (Dialogs.CreateAutoFile) Dialogs.CreateAutoFile(this, Project);
}

void TFormMain::ActionFileCloseExecute(TObject*) {
    Close();
}

void TFormMain::ActionCsvSelectParentExecute(TObject*) {
    SelectCsvFile(0);
}

void TFormMain::ActionCsvSelectChildExecute(TObject*) {
    SelectCsvFile(1);
}

void TFormMain::ActionCsvSortExecute(TObject*) {
    const std::vector<std::u16string> captions = GetJoinedTitleRow();
    std::vector<TCsvSorter::TSortInfo> infos = Project.SortInfos;
    constexpr int kSortHelpContext = 15;
    if (Dialogs.EditSortInfos && Dialogs.EditSortInfos(this, infos, captions, kSortHelpContext))
        Project.SortInfos = std::move(infos);
}

void TFormMain::ActionKolvaneExecute(TObject*) {
    Join(false);
}

void TFormMain::ActionGridSetKeyColExecute(TObject* sender) {
    const auto* component = dynamic_cast<TComponent*>(sender);
    if (!component) return;
    TCsvGrid* grid = nullptr;
    TComboBox* keys = nullptr;
    if (component->Tag() == 0) {
        grid = LeftGrid;
        keys = ComboBoxLeftKey;
    } else if (component->Tag() == 1) {
        grid = RightGrid;
        keys = ComboBoxRightKey;
    } else {
        return;
    }
    // Grid column 0 holds the row numbers.
    keys->SetItemIndex(grid->Col() - 1);
    if (keys == ComboBoxLeftKey)
        ComboBoxLeftKeyClick(nullptr);
    else
        ComboBoxRightKeyClick(nullptr);
    SetStatus(u"キー列を設定しました。");
}

void TFormMain::ActionConfigGeneralExecute(TObject*) {
    TFormConfigGeneral dialog(this);
    dialog.LoadFromConfig(Config);
    if (dialog.ShowModal() != mrOk) return;
    dialog.StoreToConfig(Config);
    Config.Save(TConfig::GetFileName());
}

void TFormMain::ActionHelpHelpExecute(TObject*) {
    if (Application) Application->HelpShowTableOfContents();
}

void TFormMain::ActionHelpAboutExecute(TObject*) {
    if (Dialogs.About) Dialogs.About(this);
}

// ---- control events ---------------------------------------------------------------------------

void TFormMain::CheckBoxLeftRowNameClick(TObject*) {
    if (LeftGrid) LeftGrid->SetFirstLineIsTitle(CheckBoxLeftRowName->Checked());
}

void TFormMain::CheckBoxRightRowNameClick(TObject*) {
    if (RightGrid) RightGrid->SetFirstLineIsTitle(CheckBoxRightRowName->Checked());
}

void TFormMain::ComboBoxLeftKeyClick(TObject*) {
    if (LeftGrid) LeftGrid->SetKeyCol(ComboBoxLeftKey->ItemIndex());
}

void TFormMain::ComboBoxRightKeyClick(TObject*) {
    if (RightGrid) RightGrid->SetKeyCol(ComboBoxRightKey->ItemIndex());
}

// ---- dropped files ----------------------------------------------------------------------------

void TFormMain::WMDropFiles(HDROP drop) {
    const std::vector<std::u16string> names = Services().DroppedFiles(drop);
    // While a modal window (the join window) is open it borrows the tables; a drop then must
    // not replace them.
    if (HandleAllocated() && !IsWindowEnabled(Handle())) return;
    for (const std::u16string& name : names) {
        const std::u16string ext = FileExtension(name);
        if (SameText(ext, u".KVJ")) {
            OpenProject(name);
        } else if (SameText(ext, u".CSV")) {
            const int side =
                Dialogs.AskDroppedFileSide ? Dialogs.AskDroppedFileSide(this, name) : -1;
            if (side == 0 || side == 1) LoadCsv(name, side);
        }
    }
}

// ---- notification area and closing ------------------------------------------------------------

void TFormMain::ApplicationEvents1Minimize(TObject*) {
    if (!Config.InTaskTray) return;
    TrayIcon1->SetVisible(true);
    Hide();
}

void TFormMain::TrayIcon1Click(TObject*) {
    Show();
}

void TFormMain::FormShow(TObject*) {
    if (!Config.InTaskTray) return;
    // Coming back from the notification area: shown restored, not minimised again.
    if (WindowState() == wsMinimized) SetWindowState(wsNormal);
    if (Application) {
        Application->Restore();
        Application->BringToFront();
    }
    TrayIcon1->SetVisible(false);
}

void TFormMain::FormClose(TObject*, TCloseAction&) {
    const TWindowState state = WindowState();
    SetWindowState(wsNormal);
    Hide();
    Config.SetWindowState(static_cast<int32_t>(state));
    Config.Left = Left();
    Config.Top = Top();
    Config.Width = Width();
    Config.Height = Height();
    Config.LastProjectFile = ProjectFileName;
    // A settings file that cannot be written is reported, and the window closes all the same.
    try {
        Config.Save(TConfig::GetFileName());
    } catch (...) {
        ShowWarning(CurrentMessage());
    }
    // The grids first, so that nothing shows a table that is gone; a load still reading hands
    // its own table over when it has finished.
    LeftGrid->SetCsv(nullptr);
    RightGrid->SetCsv(nullptr);
    LeftCsv.reset();
    RightCsv.reset();
}
