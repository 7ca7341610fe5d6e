#pragma once
// The main window: the two CSV sides (file box, key list, title box, grid), projects, the
// commands of its menus and tool bar, start-up from the command line or the last project,
// dropped files, the notification-area icon, and the settings written on closing. It owns
// both tables, the project and the settings. Windows only; interface thread.
#include <windows.h>

#include <shellapi.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/MainFormDialogs.h"
#include "app/TConfig.h"
#include "app/TProject.h"
#include "base/Exception.h"
#include "crash/capture/TCrashLog.h"
#include "csv/TCsv.h"
#include "ui/Forms.h"

namespace kv {
class TActionManager;
class TAction;
class TApplicationEvents;
class TButtonedEdit;
class TCheckBox;
class TComboBox;
class TGroupBox;
class TMainMenu;
class TMenuItem;
class TOpenDialog;
class TPopupMenu;
class TSaveDialog;
class TSplitter;
class TStatusBar;
class TToolBar;
class TTrayIcon;
} // namespace kv
class TCsvGrid;
class TAutoFile;

// A side other than 0 or 1 was asked for.
class EArgumentException : public kv::Exception {
public:
    using Exception::Exception;
};

class TFormMain : public kv::TForm {
    KV_CLASS(TFormMain)
public:
    // Builds the window from its form description, starts a new project, reads the settings
    // file and leaves the start-up to the application's first idle moment.
    explicit TFormMain(kv::TComponent* owner);
    ~TFormMain() override;

    // Components of the form description.
    kv::TToolBar* ToolBar1 = nullptr;
    kv::TGroupBox* GroupBoxLeft = nullptr;
    kv::TButtonedEdit* EditLeftFileName = nullptr;
    kv::TComboBox* ComboBoxLeftKey = nullptr;
    kv::TCheckBox* CheckBoxLeftRowName = nullptr;
    kv::TSplitter* Splitter1 = nullptr;
    kv::TGroupBox* GroupBoxRight = nullptr;
    kv::TButtonedEdit* EditRightFileName = nullptr;
    kv::TComboBox* ComboBoxRightKey = nullptr;
    kv::TCheckBox* CheckBoxRightRowName = nullptr;
    kv::TStatusBar* StatusBar1 = nullptr;
    kv::TActionManager* ActionManager1 = nullptr;
    kv::TAction* ActionFileNew = nullptr;
    kv::TAction* ActionFileOpen = nullptr;
    kv::TAction* ActionFileSave = nullptr;
    kv::TAction* ActionFileSaveAs = nullptr;
    kv::TAction* ActionFileMakeAuto = nullptr;
    kv::TAction* ActionFileClose = nullptr;
    kv::TAction* ActionCsvSelectParent = nullptr;
    kv::TAction* ActionCsvSelectChild = nullptr;
    kv::TAction* ActionCsvSort = nullptr;
    kv::TAction* ActionKolvane = nullptr;
    kv::TAction* ActionGridSetKeyCol = nullptr;
    kv::TAction* ActionConfigGeneral = nullptr;
    kv::TAction* ActionHelpHelp = nullptr;
    kv::TAction* ActionHelpAbout = nullptr;
    kv::TMainMenu* MainMenu1 = nullptr;
    kv::TPopupMenu* PopupMenuCsvGridLeft = nullptr;
    kv::TPopupMenu* PopupMenuCsvGridRight = nullptr;
    kv::TOpenDialog* OpenDialogProject = nullptr;
    kv::TSaveDialog* SaveDialogProject = nullptr;
    kv::TOpenDialog* OpenDialogCsv = nullptr;
    kv::TApplicationEvents* ApplicationEvents1 = nullptr;
    kv::TTrayIcon* TrayIcon1 = nullptr;
    kv::crash::TCrashLog* CrashLog1 = nullptr;

    // Own fields.
    TCsvGrid* LeftGrid = nullptr;  // owned by the form as a component
    TCsvGrid* RightGrid = nullptr; // owned by the form as a component
    TConfig Config;
    TProject Project;
    std::u16string ProjectFileName;
    std::unique_ptr<TCsv> LeftCsv;
    std::unique_ptr<TCsv> RightCsv;

    // The windows of other units this window opens (the program's own unless replaced).
    TMainFormDialogs Dialogs = DefaultMainFormDialogs();
    // Where the start-up reads the command line's arguments (the process's own).
    std::function<std::vector<std::u16string>()> Arguments;

    // Event handlers (bound by name in the form description).
    void ActionFileNewExecute(kv::TObject* sender);
    void ActionFileOpenExecute(kv::TObject* sender);
    void ActionFileSaveExecute(kv::TObject* sender);
    void ActionFileSaveAsExecute(kv::TObject* sender);
    void ActionFileMakeAutoExecute(kv::TObject* sender);
    void ActionFileCloseExecute(kv::TObject* sender);
    void ActionCsvSelectParentExecute(kv::TObject* sender);
    void ActionCsvSelectChildExecute(kv::TObject* sender);
    void ActionCsvSortExecute(kv::TObject* sender);
    void ActionKolvaneExecute(kv::TObject* sender);
    void ActionGridSetKeyColExecute(kv::TObject* sender);
    void ActionConfigGeneralExecute(kv::TObject* sender);
    void ActionHelpHelpExecute(kv::TObject* sender);
    void ActionHelpAboutExecute(kv::TObject* sender);
    void CheckBoxLeftRowNameClick(kv::TObject* sender);
    void CheckBoxRightRowNameClick(kv::TObject* sender);
    void ComboBoxLeftKeyClick(kv::TObject* sender);
    void ComboBoxRightKeyClick(kv::TObject* sender);
    void FormShow(kv::TObject* sender);
    void FormClose(kv::TObject* sender, kv::TCloseAction& action);
    void ApplicationEvents1Minimize(kv::TObject* sender);
    void TrayIcon1Click(kv::TObject* sender);

    // The one-shot start-up at the first idle moment: placement, command line, last project.
    void StartUp(kv::TObject* sender, bool& done);
    // WM_DROPFILES: projects are opened, CSV files go to the side the user picks.
    void WMDropFiles(HDROP drop);

    void SetProjectFileName(const std::u16string& path);
    void OpenProject(const std::u16string& path);
    // False (after a warning box with the message) when the project could not be saved.
    bool SaveProject(const std::u16string& path);
    void ProjectToUI(const TProject& project);
    void UIToProject();
    void SelectCsvFile(int side);
    void LoadCsv(const std::u16string& path, int side);
    // Raises kv::Exception naming the first side without a table.
    void CheckCsvLoaded();
    // The join window over both sides; false when a side has no table (after a warning box).
    bool Join(bool autoSave);
    void ApplyAutoFile(const TAutoFile& autoFile);
    // Row 0 of the side's table (empty without one); sides other than 0 and 1 raise
    // EArgumentException.
    std::vector<std::u16string> GetTitleRow(int side) const;
    std::vector<std::u16string> GetJoinedTitleRow() const;

protected:
    void CreateWindowHandleDone() override;
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;

private:
    void SetStatus(const std::u16string& text);
    bool startUpPending_ = false;
};
