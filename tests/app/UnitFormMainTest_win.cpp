#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DialogTestSupport.h"
#include "SettingsFileGuard.h"
#include "TestFiles.h"
#include "UiTestSupport.h"
#include "app/TCsvGrid.h"
#include "app/UnitFormConfigGeneral.h"
#include "app/UnitFormMain.h"
#include "base/FileSystem.h"
#include "base/Text.h"
#include "ui/ActnList.h"
#include "ui/Application.h"
#include "ui/ComCtrls.h"
#include "ui/Dialogs.h"
#include "ui/Menus.h"
#include "ui/StdCtrls.h"
#include "ui/TrayIcon.h"

namespace {

using kvtest::TempFolder;

std::u16string Data(const char* name) {
    return kv::Utf8ToUtf16(std::string(KOLVANE_TEST_DATA "/app/") + name);
}

std::u16string Title() {
    return kv::Application->Title();
}

// Runs action on the modal window of class T once it is on screen.
template <class T> void WhenModal(std::function<void(T&)> action) {
    kv::Application->OnIdle = [action](kv::TObject*, bool& done) {
        for (int i = 0; i < kv::Screen->FormCount(); ++i) {
            auto* form = dynamic_cast<T*>(kv::Screen->Forms(i));
            if (form && form->Modal() && form->Visible()) {
                kv::Application->OnIdle = nullptr;
                action(*form);
                return;
            }
        }
        done = false;
    };
}

// The main window with the command line, the join window and the dropped-file dialog answered
// by the test, and the settings file of the prefix put aside.
class MainWindowTest : public ::testing::Test {
protected:
    struct JoinCall {
        bool autoSave;
        TProject* project;
        bool leftIsTheLeftTable;
        int leftKey;
        bool leftTitle;
        bool rightIsTheRightTable;
        int rightKey;
        bool rightTitle;
    };

    ~MainWindowTest() override {
        if (form) form->Hide();
        form.reset();
        kv::Application->OnIdle = nullptr;
    }

    TFormMain& Make() {
        form = std::make_unique<TFormMain>(kv::Application);
        form->Arguments = [this] { return args; };
        form->Dialogs.Join = [this](kv::TComponent*, bool autoSave, TProject* project, TCsv* left,
                                    int32_t leftKey, bool leftTitle, TCsv* right, int32_t rightKey,
                                    bool rightTitle) {
            joins.push_back({autoSave, project, left && left == form->LeftCsv.get(), leftKey,
                             leftTitle, right && right == form->RightCsv.get(), rightKey,
                             rightTitle});
            return joinResult;
        };
        form->Dialogs.AskDroppedFileSide = [this](kv::TComponent*, const std::u16string& path) {
            asked.push_back(path);
            const int side = answers.empty() ? -1 : answers.front();
            if (!answers.empty()) answers.erase(answers.begin());
            return side;
        };
        return *form;
    }

    // Shows the window and lets its start-up run at the first idle moment.
    void Start() {
        form->Show();
        ASSERT_TRUE(kvtest::PumpUntil([] { return !kv::Application->OnIdle; }));
    }

    std::vector<std::u16string> Texts() const {
        std::vector<std::u16string> texts;
        for (const auto& box : services.boxes) texts.push_back(box.text);
        return texts;
    }

    void Drop(std::vector<std::u16string> names) {
        services.dropped = std::move(names);
        SendMessageW(form->Handle(), WM_DROPFILES, 0, 0);
    }

    kvtest::TestServices services;
    kvtest::SettingsFileGuard settings;
    TempFolder folder{"mainwin"};
    std::vector<std::u16string> args;
    std::vector<JoinCall> joins;
    bool joinResult = false;
    std::vector<std::u16string> asked;
    std::vector<int> answers;
    std::unique_ptr<TFormMain> form;
};

// ---- form description -------------------------------------------------------------------------

struct ActionCase {
    const char16_t* name;
    const char16_t* caption;
    const char16_t* hint;
    const char16_t* shortCut;
};
const ActionCase kActions[] = {
    {u"ActionFileNew", u"新規作成", u"新規に作成します。", u"Ctrl+N"},
    {u"ActionFileOpen", u"開く", u"設定を開きます。", u"Ctrl+O"},
    {u"ActionFileSave", u"上書き保存", u"設定を上書き保存します。", u"Ctrl+S"},
    {u"ActionFileSaveAs", u"名前をつけて保存", u"設定を名前をつけて保存します。", u""},
    {u"ActionFileMakeAuto", u"自動実行バッチファイルの作成",
     u"自動実行バッチファイルを作成します。", u""},
    {u"ActionFileClose", u"閉じる(&X)", u"", u""},
    {u"ActionCsvSelectParent", u"左CSVファイルの参照(&P)", u"CSVファイルを選択します。", u""},
    {u"ActionCsvSelectChild", u"右CSVファイルの参照(&C)", u"CSVファイルを選択します。", u""},
    {u"ActionCsvSort", u"並び替え設定(&S)", u"並び替えの条件を設定します。", u""},
    {u"ActionKolvane", u"CSVファイルを結合する", u"CSVファイルを結合します。", u""},
    {u"ActionGridSetKeyCol", u"選択されている列をキー列にする", u"", u""},
    {u"ActionConfigGeneral", u"全般設定", u"全般的な設定を行います。", u""},
    {u"ActionHelpHelp", u"ヘルプ(&H)", u"ヘルプを表示します。", u""},
    {u"ActionHelpAbout", u"バージョン情報(&A)", u"バージョン情報を表示します。", u""},
};

std::vector<std::u16string> Captions(const kv::TMenuItem& item) {
    std::vector<std::u16string> captions;
    for (int i = 0; i < item.Count(); ++i) captions.push_back(item.Items(i)->Caption());
    return captions;
}

TEST_F(MainWindowTest, ActionsMenusAndToolBarAreAsDescribed) {
    Make();
    for (const auto& a : kActions) {
        auto* action = dynamic_cast<kv::TAction*>(form->FindComponent(a.name));
        ASSERT_NE(action, nullptr) << kv::Utf16ToUtf8(a.name);
        EXPECT_EQ(action->Caption(), a.caption) << kv::Utf16ToUtf8(a.name);
        EXPECT_EQ(action->Hint(), a.hint) << kv::Utf16ToUtf8(a.name);
        EXPECT_EQ(kv::ShortCutToText(action->ShortCut()), a.shortCut) << kv::Utf16ToUtf8(a.name);
    }
    kv::TMenuItem& bar = form->MainMenu1->Items();
    EXPECT_EQ(Captions(bar), (std::vector<std::u16string>{u"ファイル(&F)", u"CSVファイル(&C)",
                                                          u"設定(&S)", u"ヘルプ(&H)"}));
    EXPECT_EQ(
        Captions(*bar.Items(0)),
        (std::vector<std::u16string>{u"新規作成", u"開く", u"上書き保存", u"名前をつけて保存", u"-",
                                     u"自動実行バッチファイルの作成", u"-", u"閉じる(&X)"}));
    EXPECT_EQ(
        Captions(*bar.Items(1)),
        (std::vector<std::u16string>{u"左CSVファイルの参照(&P)", u"右CSVファイルの参照(&C)", u"-",
                                     u"並び替え設定(&S)", u"-", u"CSVファイルを結合する"}));
    EXPECT_EQ(Captions(*bar.Items(2)), (std::vector<std::u16string>{u"全般設定"}));
    EXPECT_EQ(Captions(*bar.Items(3)),
              (std::vector<std::u16string>{u"ヘルプ(&H)", u"バージョン情報(&A)"}));
    const kv::TBasicAction* toolOrder[] = {form->ActionFileNew,  form->ActionFileOpen,
                                           form->ActionFileSave, nullptr,
                                           form->ActionCsvSort,  nullptr,
                                           form->ActionKolvane};
    ASSERT_EQ(form->ToolBar1->ButtonCount(), 7);
    for (int i = 0; i < 7; ++i) {
        const kv::TToolButton* b = form->ToolBar1->Buttons(i);
        EXPECT_EQ(b->Action(), toolOrder[i]) << i;
        EXPECT_EQ(b->Style() == kv::tbsSeparator, toolOrder[i] == nullptr) << i;
    }
    EXPECT_EQ(form->GroupBoxLeft->Caption(), u"左CSVファイル");
    EXPECT_EQ(form->GroupBoxRight->Caption(), u"右CSVファイル");
    EXPECT_EQ(form->CheckBoxLeftRowName->Caption(), u"一行目は列名(&G)");
    form->HandleNeeded();
    EXPECT_TRUE(GetWindowLongW(form->Handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    EXPECT_EQ(form->ClientWidth(), 572);
    EXPECT_EQ(form->ClientHeight(), 508);
    EXPECT_EQ(form->GroupBoxLeft->Height(), 196);
    EXPECT_EQ(form->Caption(), Title());
    EXPECT_EQ(form->StatusBar1->SimpleText(), u"プロジェクトを新規に作成しました。");
}

// ---- CSV sides ----------------------------------------------------------------------------------

struct OpenCase {
    const char* name;
    const char* file;
    int side;
    const char16_t* cell; // row 1, column 1
    std::vector<std::u16string> keys;
};

TEST_F(MainWindowTest, OpeningACsvFileFillsGridKeyListAndKeyColour) {
    const OpenCase cases[] = {
        {"Shift_JIS, left", "sjis_titles.csv", 0, u"山田太郎", {u"A列", u"B列", u"C列"}},
        {"UTF-8, right", "utf8_titles.csv", 1, u"りんご", {u"A列", u"B列", u"C列"}},
    };
    Make();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        services.fileChosen = Data(c.file);
        (c.side == 0 ? form->ActionCsvSelectParent : form->ActionCsvSelectChild)->Execute();
        ASSERT_FALSE(services.fileRequests.empty());
        const kv::TFileDialogRequest& request = services.fileRequests.back();
        EXPECT_EQ(request.filter, u"CSVファイル(*.CSV)|*.CSV|すべてのファイル(*.*)|*.*");
        EXPECT_EQ(request.defaultExt, u".CSV");
        const TCsv* table = (c.side == 0 ? form->LeftCsv : form->RightCsv).get();
        const TCsvGrid* grid = c.side == 0 ? form->LeftGrid : form->RightGrid;
        const kv::TComboBox* keys = c.side == 0 ? form->ComboBoxLeftKey : form->ComboBoxRightKey;
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(table->GetCell(1, 1), c.cell);
        EXPECT_EQ(grid->GetCsv(), table);
        EXPECT_EQ(grid->CellLook(2, 2, 0).text, c.cell);
        EXPECT_EQ(keys->Items().Strings(), c.keys);
        EXPECT_EQ(keys->ItemIndex(), 0);
        EXPECT_EQ(grid->GetKeyCol(), 0);
        EXPECT_EQ(grid->CellLook(1, 2, 0).brush, TCsvGrid::kKeyColor);
        EXPECT_EQ((c.side == 0 ? form->EditLeftFileName : form->EditRightFileName)->Text(),
                  Data(c.file));
        EXPECT_EQ(form->StatusBar1->SimpleText(), u"CSVファイルを開きました。");
    }
    EXPECT_TRUE(services.boxes.empty());
    // The buttons of the file boxes run the same commands.
    services.fileAnswer = false;
    form->EditLeftFileName->RightButtonClick();
    form->EditRightFileName->RightButtonClick();
    EXPECT_EQ(services.fileRequests.size(), 4u);
    EXPECT_EQ(form->EditLeftFileName->RightButtonHint(), u"CSVファイルを選択します。");
    ASSERT_NE(form->LeftCsv, nullptr); // a cancelled dialog changes nothing
}

TEST_F(MainWindowTest, TitleBoxMakesTheFirstLineAFixedRow) {
    Make();
    form->LoadCsv(Data("sjis_titles.csv"), 0);
    EXPECT_EQ(form->LeftGrid->FixedRows(), 1);
    form->CheckBoxLeftRowName->SetChecked(true);
    EXPECT_EQ(form->LeftGrid->FixedRows(), 2);
    EXPECT_EQ(form->LeftGrid->CellLook(0, 2, 0).text, u"1");
    EXPECT_EQ(form->RightGrid->FixedRows(), 1); // the other side keeps its own
    form->CheckBoxLeftRowName->SetChecked(false);
    EXPECT_EQ(form->LeftGrid->FixedRows(), 1);
    // A new table keeps the title flag of its side.
    form->CheckBoxLeftRowName->SetChecked(true);
    form->LoadCsv(Data("utf8_titles.csv"), 0);
    EXPECT_EQ(form->LeftGrid->FixedRows(), 2);
}

TEST_F(MainWindowTest, ChoosingAKeyInTheListPaintsThatColumn) {
    Make();
    form->Show();
    form->LoadCsv(Data("sjis_titles.csv"), 0);
    kv::TComboBox* keys = form->ComboBoxLeftKey;
    SendMessageW(keys->Handle(), CB_SETCURSEL, 2, 0);
    SendMessageW(GetParent(keys->Handle()), WM_COMMAND,
                 MAKEWPARAM(GetDlgCtrlID(keys->Handle()), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(keys->Handle()));
    EXPECT_EQ(keys->ItemIndex(), 2);
    EXPECT_EQ(form->LeftGrid->GetKeyCol(), 2);
}

TEST_F(MainWindowTest, DoubleClickAndPopupItemsSetTheKeyFromTheCurrentColumn) {
    Make();
    form->Show();
    form->LoadCsv(Data("sjis_titles.csv"), 0);
    form->LoadCsv(Data("utf8_titles.csv"), 1);
    TCsvGrid* grid = form->LeftGrid;
    const RECT cell = grid->CellRect(3, 2);
    const LPARAM at = MAKELPARAM((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
    SendMessageW(grid->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(grid->Handle(), WM_LBUTTONUP, 0, at);
    SendMessageW(grid->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageW(grid->Handle(), WM_LBUTTONUP, 0, at);
    EXPECT_EQ(grid->Col(), 3);
    EXPECT_EQ(form->ComboBoxLeftKey->ItemIndex(), 2); // grid column 3 is the table's C
    EXPECT_EQ(grid->GetKeyCol(), 2);
    EXPECT_EQ(form->StatusBar1->SimpleText(), u"キー列を設定しました。");

    // The right pop-up item (Tag 1) takes the right grid's current column.
    form->RightGrid->SetCol(2);
    form->SetCaption(u"");
    kv::TMenuItem* item = form->PopupMenuCsvGridRight->Items().Items(0);
    EXPECT_EQ(item->Caption(), u"選択されている列をキー列にする");
    item->Click();
    EXPECT_EQ(form->ComboBoxRightKey->ItemIndex(), 1);
    EXPECT_EQ(form->RightGrid->GetKeyCol(), 1);
    EXPECT_EQ(form->ComboBoxLeftKey->ItemIndex(), 2);

    // Senders without a side's Tag, or no component at all, do nothing.
    form->StatusBar1->SetSimpleText(u"");
    item->SetTag(7);
    item->Click();
    form->ActionGridSetKeyColExecute(nullptr);
    EXPECT_EQ(form->StatusBar1->SimpleText(), u"");
}

TEST_F(MainWindowTest, AnUnreadableOrMissingFileLeavesTheSideWithoutTable) {
    Make();
    form->LoadCsv(Data("sjis_titles.csv"), 0);
    form->StatusBar1->SetSimpleText(u"");
    form->LoadCsv(folder.Path(u"gone.csv"), 0);
    EXPECT_EQ(form->LeftCsv, nullptr);
    EXPECT_EQ(form->LeftGrid->GetCsv(), nullptr);
    EXPECT_EQ(form->ComboBoxLeftKey->Items().Count(), 0);
    EXPECT_EQ(form->LeftGrid->GetKeyCol(), -1);
    EXPECT_EQ(form->EditLeftFileName->Text(), folder.Path(u"gone.csv"));
    EXPECT_EQ(form->StatusBar1->SimpleText(), u"");
    EXPECT_TRUE(services.boxes.empty());
}

// ---- projects -----------------------------------------------------------------------------------

TEST_F(MainWindowTest, SaveAsSaveOpenAndNewProjects) {
    Make();
    form->LoadCsv(Data("sjis_titles.csv"), 0);
    form->LoadCsv(Data("utf8_titles.csv"), 1);
    form->ComboBoxLeftKey->SetItemIndex(2);
    form->CheckBoxRightRowName->SetChecked(true);
    form->Project.SortInfos = {{3, 1}};

    const std::u16string path = folder.Path(u"x.kvj");
    services.fileChosen = path;
    form->ActionFileSave->Execute(); // a new project: Save asks for a name
    ASSERT_EQ(services.fileRequests.size(), 1u);
    const kv::TFileDialogRequest& request = services.fileRequests[0];
    EXPECT_TRUE(request.save);
    EXPECT_TRUE(request.overwritePrompt);
    EXPECT_TRUE(request.hideReadOnly);
    EXPECT_EQ(request.defaultExt, u".KVJ");
    EXPECT_EQ(request.filter,
              u"Kolvaneプロジェクトファイル(*.KVJ)|*.KVJ|すべてのファイル(*.*)|*.*");
    EXPECT_TRUE(kv::FileExists(path));
    EXPECT_EQ(form->Caption(), Title() + u" - x.kvj");
    EXPECT_EQ(form->ProjectFileName, path);
    EXPECT_EQ(form->Config.History[0], path);
    EXPECT_EQ(form->StatusBar1->SimpleText(), u"プロジェクトを保存しました。");

    form->ActionFileSave->Execute(); // now it has a name
    EXPECT_EQ(services.fileRequests.size(), 1u);

    form->ActionFileNew->Execute();
    EXPECT_EQ(form->Caption(), Title());
    EXPECT_EQ(form->ProjectFileName, u"");
    EXPECT_EQ(form->LeftCsv, nullptr);
    EXPECT_TRUE(form->Project.SortInfos.empty());
    EXPECT_EQ(form->StatusBar1->SimpleText(), u"プロジェクトを新規に作成しました。");

    form->ActionFileOpen->Execute();
    ASSERT_EQ(services.fileRequests.size(), 2u);
    EXPECT_FALSE(services.fileRequests[1].save);
    EXPECT_EQ(form->Caption(), Title() + u" - x.kvj");
    EXPECT_EQ(form->StatusBar1->SimpleText(), u"プロジェクトファイルを開きました。");
    ASSERT_NE(form->LeftCsv, nullptr);
    ASSERT_NE(form->RightCsv, nullptr);
    EXPECT_EQ(form->ComboBoxLeftKey->ItemIndex(), 2);
    EXPECT_EQ(form->LeftGrid->GetKeyCol(), 2);
    EXPECT_FALSE(form->CheckBoxLeftRowName->Checked());
    EXPECT_TRUE(form->CheckBoxRightRowName->Checked());
    EXPECT_EQ(form->RightGrid->FixedRows(), 2);
    ASSERT_EQ(form->Project.SortInfos.size(), 1u);
    EXPECT_EQ(form->Project.SortInfos[0].Column, 3);

    // Save As offers the project's own path.
    services.fileAnswer = false;
    form->ActionFileSaveAs->Execute();
    EXPECT_EQ(services.fileRequests.back().fileName, path);
}

TEST_F(MainWindowTest, AProjectWhoseCsvFilesAreGoneOpensWithEmptySides) {
    const std::u16string path = folder.Path(u"gone.kvj");
    TProject project;
    project.FileNameLeft = folder.Path(u"left_gone.csv");
    project.FileNameRight = folder.Path(u"right_gone.csv");
    project.KeyLeft = 1;
    project.Save(path);
    Make();
    form->LoadCsv(Data("sjis_titles.csv"), 0);
    form->OpenProject(path);
    EXPECT_EQ(form->LeftCsv, nullptr);
    EXPECT_EQ(form->RightCsv, nullptr);
    EXPECT_EQ(form->LeftGrid->GetCsv(), nullptr);
    EXPECT_EQ(form->ComboBoxLeftKey->Items().Count(), 0);
    EXPECT_EQ(form->ComboBoxRightKey->Items().Count(), 0);
    EXPECT_EQ(form->EditLeftFileName->Text(), project.FileNameLeft);
    EXPECT_EQ(form->Caption(), Title() + u" - gone.kvj");
    EXPECT_TRUE(services.boxes.empty());
}

TEST_F(MainWindowTest, AProjectThatCannotBeSavedIsReportedAndKeepsItsName) {
    Make();
    form->StatusBar1->SetSimpleText(u"");
    EXPECT_FALSE(form->SaveProject(folder.Path(u"missing/x.kvj")));
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].flags, UINT(MB_OK | MB_ICONWARNING));
    EXPECT_FALSE(services.boxes[0].text.empty());
    EXPECT_EQ(form->Caption(), Title());
    EXPECT_EQ(form->StatusBar1->SimpleText(), u"");
}

// ---- dropped files ------------------------------------------------------------------------------

TEST_F(MainWindowTest, DroppedProjectsOpenAndCsvFilesAskForTheirSideInOrder) {
    const std::u16string project = folder.Path(u"dropped.kvj");
    TProject p;
    p.FileNameLeft = Data("utf8_titles.csv");
    p.Save(project);
    const std::u16string upper = folder.Path(u"UPPER.KVJ");
    TempFolder::Write(upper, TempFolder::Read(project));
    Make();

    Drop({folder.Path(u"notes.txt"), project});
    EXPECT_EQ(form->Caption(), Title() + u" - dropped.kvj");
    ASSERT_NE(form->LeftCsv, nullptr);
    Drop({upper});
    EXPECT_EQ(form->Caption(), Title() + u" - UPPER.KVJ");

    answers = {1, 0};
    Drop({Data("sjis_titles.csv"), folder.Path(u"readme.txt"), Data("utf8_titles.csv")});
    EXPECT_EQ(asked,
              (std::vector<std::u16string>{Data("sjis_titles.csv"), Data("utf8_titles.csv")}));
    ASSERT_NE(form->RightCsv, nullptr);
    EXPECT_EQ(form->RightCsv->GetCell(1, 1), u"山田太郎");
    EXPECT_EQ(form->LeftCsv->GetCell(1, 1), u"りんご");

    asked.clear();
    Drop({Data("sjis_titles.csv")}); // the dialog cancelled: no side
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_EQ(form->LeftCsv->GetCell(1, 1), u"りんご");
    EXPECT_TRUE(services.boxes.empty());
}

// ---- command line -------------------------------------------------------------------------------

TEST_F(MainWindowTest, TheLeftmostOfARepeatedOptionWins) {
    args = {u"-lf=" + Data("sjis_titles.csv"), u"-lk=1", u"-lk=2", u"-lt=1", u"-lt=0"};
    Make();
    Start();
    EXPECT_EQ(form->ComboBoxLeftKey->ItemIndex(), 1);
    EXPECT_EQ(form->LeftGrid->GetKeyCol(), 1);
    EXPECT_TRUE(form->CheckBoxLeftRowName->Checked());
    EXPECT_TRUE(joins.empty());
}

TEST_F(MainWindowTest, AProjectArgumentIgnoresEveryOtherOptionAndNoJoinRuns) {
    const std::u16string project = folder.Path(u"cmd.kvj");
    TProject p;
    p.FileNameLeft = Data("utf8_titles.csv");
    p.Save(project);
    args = {u"-a", project, u"-lf=" + Data("sjis_titles.csv"), u"-rf=" + Data("sjis_titles.csv")};
    joinResult = true;
    Make();
    Start();
    EXPECT_EQ(form->Caption(), Title() + u" - cmd.kvj");
    ASSERT_NE(form->LeftCsv, nullptr);
    EXPECT_EQ(form->LeftCsv->GetCell(1, 1), u"りんご");
    EXPECT_EQ(form->RightCsv, nullptr);
    EXPECT_TRUE(joins.empty());
    EXPECT_TRUE(form->Visible());
}

TEST_F(MainWindowTest, AutomaticRunWithAMissingLeftFileWarnsAndStaysOpen) {
    args = {u"-a", u"-lf=" + folder.Path(u"missing.csv"), u"-rf=" + Data("utf8_titles.csv")};
    Make();
    Start();
    EXPECT_EQ(Texts(), (std::vector<std::u16string>{u"左CSVファイルが選択されていません。"}));
    EXPECT_EQ(services.boxes[0].flags, UINT(MB_OK | MB_ICONWARNING));
    EXPECT_TRUE(joins.empty());
    EXPECT_TRUE(form->Visible());
    EXPECT_FALSE(kv::FileExists(settings.Path())); // not closed, so nothing written
}

TEST_F(MainWindowTest, AutomaticRunJoinsWithTheOptionsAndClosesWhenTheSaveSucceeded) {
    const std::u16string out = folder.Path(u"out.csv");
    args = {u"-a",
            u"-lf=" + Data("sjis_titles.csv"),
            u"-lk=2",
            u"-lt=1",
            u"-rf=" + Data("utf8_titles.csv"),
            u"-rk=0",
            u"-rt=true",
            u"-cf=" + out,
            u"-ci=1",
            u"-cs=0",
            u"-ct=2",
            u"-cc=1",
            u"-co=1,1"};
    joinResult = true;
    Make();
    Start();
    ASSERT_EQ(joins.size(), 1u);
    const JoinCall& j = joins[0];
    EXPECT_TRUE(j.autoSave);
    EXPECT_EQ(j.project, &form->Project);
    EXPECT_TRUE(j.leftIsTheLeftTable);
    EXPECT_TRUE(j.rightIsTheRightTable);
    EXPECT_EQ(j.leftKey, 2);
    EXPECT_TRUE(j.leftTitle);
    EXPECT_EQ(j.rightKey, 0);
    EXPECT_TRUE(j.rightTitle);
    EXPECT_EQ(form->Project.SaveFileName, out);
    EXPECT_EQ(form->Project.EncodingIndex, 1);
    EXPECT_FALSE(form->Project.SaveIsNew);
    EXPECT_EQ(form->Project.ShowType, 2);
    EXPECT_EQ(form->Project.SaveSortCol, 1);
    ASSERT_EQ(form->Project.SortInfos.size(), 1u);
    EXPECT_EQ(form->Project.FileNameLeft, u""); // the join reads the controls, not the project
    // Closed: the settings file is written, with no project to reopen.
    EXPECT_FALSE(form->Visible());
    ASSERT_TRUE(kv::FileExists(settings.Path()));
    TConfig written;
    written.LastProjectFile = u"unchanged";
    written.Load(settings.Path());
    EXPECT_EQ(written.LastProjectFile, u"");
}

TEST_F(MainWindowTest, AnUnreadableBooleanStopsTheStartUpWithTheConversionError) {
    args = {u"-lf=" + Data("sjis_titles.csv"), u"-lt=maybe"};
    // The failure reaches the crash-report component first; its handler here leaves the
    // display to the application's own exception handling.
    static std::u16string notified;
    notified.clear();
    kv::crash::ExceptionNotify = [](kv::crash::TCrashExceptionRecord* record, bool& handled) {
        if (const kv::Exception* e = kv::crash::AsException(record->ExceptionObject))
            notified = e->Message();
        handled = false;
    };
    Make();
    EXPECT_NE(form->CrashLog1, nullptr); // the component, read from the form description
    Start();
    kv::crash::ExceptionNotify = nullptr;
    EXPECT_EQ(notified, u"'maybe' is not a valid boolean value");
    ASSERT_EQ(services.boxes.size(), 1u); // shown by the application's exception handling
    EXPECT_EQ(form->LeftCsv, nullptr);    // nothing was applied
}

TEST_F(MainWindowTest, WithoutArgumentsTheLastProjectIsReopenedWhenAsked) {
    const std::u16string project = folder.Path(u"last.kvj");
    TProject p;
    p.FileNameLeft = Data("sjis_titles.csv");
    p.Save(project);
    for (const bool restore : {false, true}) {
        SCOPED_TRACE(restore);
        TConfig config;
        config.ProjectFileRestore = restore;
        config.LastProjectFile = project;
        config.Save(settings.Path());
        Make();
        Start();
        EXPECT_EQ(form->LeftCsv != nullptr, restore);
        EXPECT_EQ(form->ProjectFileName, restore ? project : u"");
        form->Hide();
        form.reset();
    }
}

TEST_F(MainWindowTest, TheJoinNeedsATableOnBothSidesAndPassesTheControlsValues) {
    Make();
    form->ActionKolvane->Execute();
    form->LoadCsv(Data("sjis_titles.csv"), 0);
    form->ActionKolvane->Execute();
    EXPECT_EQ(Texts(), (std::vector<std::u16string>{u"左CSVファイルが選択されていません。",
                                                    u"右CSVファイルが選択されていません。"}));
    EXPECT_TRUE(joins.empty());
    // An empty file loads as a table without columns: its key list stays empty, key -1.
    const std::u16string empty = folder.Path(u"empty.csv");
    TempFolder::Write(empty, "");
    form->LoadCsv(empty, 1);
    ASSERT_NE(form->RightCsv, nullptr);
    form->Project.KeyLeft = 9; // the project's keys are not what the join gets
    form->ActionKolvane->Execute();
    ASSERT_EQ(joins.size(), 1u);
    EXPECT_FALSE(joins[0].autoSave);
    EXPECT_EQ(joins[0].leftKey, 0);
    EXPECT_EQ(joins[0].rightKey, -1);
}

// ---- other commands -----------------------------------------------------------------------------

TEST_F(MainWindowTest, SortConditionsGetTheJoinedTitleRowAndHelpContext15) {
    Make();
    form->LoadCsv(Data("sjis_titles.csv"), 0);
    form->LoadCsv(Data("utf8_titles.csv"), 1);
    std::vector<std::u16string> captions;
    int helpContext = 0;
    form->Dialogs.EditSortInfos = [&](kv::TComponent*, std::vector<TCsvSorter::TSortInfo>& infos,
                                      const std::vector<std::u16string>& c, int context) {
        captions = c;
        helpContext = context;
        infos = {{4, 1}};
        return true;
    };
    form->ActionCsvSort->Execute();
    EXPECT_EQ(captions, (std::vector<std::u16string>{u"社員番号", u"氏名", u"部署コード", u"コード",
                                                     u"品名", u"産地"}));
    EXPECT_EQ(helpContext, 15);
    ASSERT_EQ(form->Project.SortInfos.size(), 1u);
    EXPECT_EQ(form->Project.SortInfos[0].Column, 4);
    EXPECT_THROW(form->GetTitleRow(2), EArgumentException);
}

TEST_F(MainWindowTest, BatchFileDialogStartsFromTheControls) {
    Make();
    form->LoadCsv(Data("sjis_titles.csv"), 0);
    form->CheckBoxLeftRowName->SetChecked(true);
    form->ComboBoxLeftKey->SetItemIndex(1);
    TProject seen;
    form->Dialogs.CreateAutoFile = [&](kv::TComponent*, const TProject& p) { seen = p; };
    form->ActionFileMakeAuto->Execute();
    EXPECT_EQ(seen.FileNameLeft, Data("sjis_titles.csv"));
    EXPECT_EQ(seen.KeyLeft, 1);
    EXPECT_TRUE(seen.FirstLineIsTitleLeft);
    EXPECT_EQ(seen.KeyRight, -1);
}

TEST_F(MainWindowTest, HelpShowsTheTableOfContentsOfTheHelpFileBesideTheProgram) {
    Make();
    form->ActionHelpHelp->Execute();
    ASSERT_EQ(services.helpCalls.size(), 1u);
    EXPECT_EQ(services.helpCalls[0].command, kv::THelpCommand::Contents);
    EXPECT_EQ(services.helpCalls[0].file, kv::ChangeFileExt(kv::GetProgramFileName(), u".CHM"));
}

TEST_F(MainWindowTest, GeneralSettingsAreWrittenAtOnceOnOk) {
    Make();
    Start();
    WhenModal<TFormConfigGeneral>([](TFormConfigGeneral& dialog) {
        EXPECT_FALSE(dialog.CheckBoxProjectFileRestore->Checked());
        dialog.CheckBoxProjectFileRestore->SetChecked(true);
        dialog.CheckBoxInTaskTray->SetChecked(true);
        dialog.ButtonOk->Click();
    });
    kvtest::ModalWatchdog watchdog;
    form->ActionConfigGeneral->Execute();
    EXPECT_FALSE(watchdog.Fired());
    EXPECT_TRUE(form->Config.ProjectFileRestore);
    EXPECT_TRUE(form->Config.InTaskTray);
    TConfig written;
    written.Load(settings.Path());
    EXPECT_TRUE(written.ProjectFileRestore);
    EXPECT_TRUE(written.InTaskTray);
    EXPECT_FALSE(written.WindowPositionRestore);

    // Cancel: the dialog is answered and nothing changes, in the settings or in their file.
    {
        const kvtest::AnswerModal<TFormConfigGeneral> answer([](TFormConfigGeneral& dialog) {
            EXPECT_TRUE(dialog.CheckBoxInTaskTray->Checked());
            dialog.CheckBoxInTaskTray->SetChecked(false);
            dialog.ButtonCancel->Click();
        });
        const kvtest::ModalWatchdog cancelWatchdog;
        form->ActionConfigGeneral->Execute();
        EXPECT_TRUE(answer.Answered());
        EXPECT_FALSE(cancelWatchdog.Fired());
    }
    EXPECT_TRUE(form->Config.InTaskTray);
    TConfig kept;
    kept.Load(settings.Path());
    EXPECT_TRUE(kept.InTaskTray);
}

TEST_F(MainWindowTest, MinimisedToTheNotificationAreaAndBack) {
    Make();
    Start();
    form->ApplicationEvents1Minimize(nullptr); // off: nothing happens
    EXPECT_TRUE(form->Visible());
    EXPECT_FALSE(form->TrayIcon1->Visible());
    form->Config.InTaskTray = true;
    form->ApplicationEvents1Minimize(nullptr);
    EXPECT_FALSE(form->Visible());
    EXPECT_TRUE(form->TrayIcon1->Visible());
    form->TrayIcon1->OnClick(form->TrayIcon1);
    EXPECT_TRUE(form->Visible());
    EXPECT_FALSE(form->TrayIcon1->Visible());
    EXPECT_FALSE(IsIconic(form->Handle()));
}

// ---- closing ------------------------------------------------------------------------------------

TEST_F(MainWindowTest, ClosingWhileMaximisedStoresStateTwoAndTheNormalBounds) {
    Make();
    Start();
    form->SetBounds(60, 50, 640, 480);
    kvtest::PumpPending();
    const RECT normal = form->BoundsRect();
    form->SetWindowState(kv::wsMaximized);
    kvtest::PumpPending();
    ASSERT_TRUE(IsZoomed(form->Handle()));
    form->ActionFileClose->Execute();
    EXPECT_FALSE(form->Visible());
    EXPECT_EQ(form->LeftCsv, nullptr);
    TConfig written;
    written.Load(settings.Path());
    EXPECT_EQ(written.WindowState, 2);
    EXPECT_EQ(written.Left, normal.left);
    EXPECT_EQ(written.Top, normal.top);
    EXPECT_EQ(written.Width, normal.right - normal.left);
    EXPECT_EQ(written.Height, normal.bottom - normal.top);
    form.reset();

    // The next start restores the placement when the settings ask for it.
    written.WindowPositionRestore = true;
    written.Save(settings.Path());
    Make();
    Start();
    kvtest::PumpPending();
    EXPECT_TRUE(IsZoomed(form->Handle()));
    const RECT restored = form->NormalBounds();
    EXPECT_EQ(restored.right - restored.left, normal.right - normal.left);
    EXPECT_EQ(restored.bottom - restored.top, normal.bottom - normal.top);
    form->SetWindowState(kv::wsNormal);
    kvtest::PumpPending();
    EXPECT_EQ(form->Left(), normal.left);
    EXPECT_EQ(form->Top(), normal.top);
}

// Closing while a load pumps messages: the load's table goes to the side only once it is read,
// and closing clears the sides first, so no table is freed twice or used after it is gone.
TEST_F(MainWindowTest, ClosingAndDroppingWhileALoadPumpsMessagesIsSafe) {
    const std::u16string big = folder.Path(u"big.csv");
    std::string text;
    for (int i = 0; i < 400000; ++i)
        text += "\"quoted field number " + std::to_string(i) + "\",x\r\n";
    TempFolder::Write(big, text);
    Make();
    form->Show();
    form->LoadCsv(Data("sjis_titles.csv"), 0);
    const TCsv* before = form->LeftCsv.get();
    ASSERT_NE(before, nullptr);

    // Waiting for the load's message pump: a close, then a drop onto the same side.
    answers = {0};
    services.dropped = {Data("utf8_titles.csv")};
    PostMessageW(form->Handle(), WM_CLOSE, 0, 0);
    PostMessageW(form->Handle(), WM_DROPFILES, 0, 0);
    form->LoadCsv(big, 0);

    EXPECT_FALSE(form->Visible()); // the close ran while the file was read
    EXPECT_EQ(asked.size(), 1u);   // and so did the drop
    EXPECT_TRUE(kv::FileExists(settings.Path()));
    ASSERT_NE(form->LeftCsv, nullptr);
    EXPECT_EQ(form->LeftCsv->GetRowCount(), 400000); // the outer load finished last
    EXPECT_EQ(form->LeftGrid->GetCsv(), form->LeftCsv.get());
    EXPECT_EQ(form->LeftGrid->GetCsvRowCount(), 400000);
    EXPECT_EQ(form->ComboBoxLeftKey->Items().Count(), 2);
}

TEST_F(MainWindowTest, ADropWhileAModalWindowIsOpenIsIgnored) {
    Make();
    form->Show();
    answers = {0};
    services.dropped = {Data("sjis_titles.csv")};
    EnableWindow(form->Handle(), FALSE);
    SendMessageW(form->Handle(), WM_DROPFILES, 0, 0);
    EnableWindow(form->Handle(), TRUE);
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(form->LeftCsv, nullptr);
}

} // namespace
