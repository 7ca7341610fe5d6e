#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "DialogTestSupport.h"
#include "SettingsFileGuard.h"
#include "TestFiles.h"
#include "app/TAutoFile.h"
#include "app/UnitFormCreateAutoFile.h"
#include "app/UnitFormCsvSortFieldEdit.h"
#include "app/UnitFormCsvSortFieldSelect.h"
#include "base/CodePageConv.h"
#include "base/FileSystem.h"
#include "base/Text.h"
#include "ui/Application.h"

namespace {

using Infos = std::vector<TCsvSorter::TSortInfo>;

TProject SampleProject() {
    TProject p;
    p.FileNameLeft = u"C:\\in\\left.csv";
    p.KeyLeft = 2;
    p.FirstLineIsTitleLeft = true;
    p.FileNameRight = u"C:\\in\\right.csv";
    p.KeyRight = 0;
    p.FirstLineIsTitleRight = false;
    p.SaveFileName = u"C:\\out\\joined.csv";
    p.EncodingIndex = 1;
    p.ShowType = 3;
    p.SaveIsNew = false;
    p.SaveSortCol = 1;
    return p;
}

// The batch file the dialog should write for these values, as bytes.
std::string ExpectedBatch(const std::u16string& left, int keyLeft, bool titleLeft,
                          const std::u16string& right, int keyRight, bool titleRight,
                          const std::u16string& out, int encoding, bool isNew, int view,
                          int sortCol, const Infos& infos) {
    std::string bytes;
    EXPECT_TRUE(kv::TryWideToAnsi(TAutoFile::BatchLine(kv::GetProgramFileName(), left, keyLeft,
                                                       titleLeft, right, keyRight, titleRight, out,
                                                       encoding, isNew, view, sortCol, infos) +
                                      u"\r\n",
                                  bytes));
    return bytes;
}

TEST(TFormCreateAutoFile, FormAndFooter) {
    TFormCreateAutoFile f(kv::Application, TProject{});
    EXPECT_EQ(f.Caption(), u"自動実行バッチファイル作成");
    EXPECT_EQ(f.HelpContext(), 5);
    EXPECT_EQ(f.Position(), kv::poMainFormCenter);
    EXPECT_EQ(f.BtnHelp->HelpContext(), 5);
    EXPECT_TRUE(f.BtnSaveToFile->Default());
    EXPECT_EQ(f.BtnSaveToFile->Width(), 180);
    EXPECT_EQ(f.BtnSaveToFile->Caption(), u"自動実行バッチファイルの作成");
    EXPECT_EQ(f.ComboBoxEncoding->Items().Strings(),
              (std::vector<std::u16string>{u"ANSI", u"UTF-8"}));
    EXPECT_EQ(f.ComboBoxSaveSortCol->Items().Strings(),
              (std::vector<std::u16string>{u"左CSV", u"右CSV", u"条件指定"}));
    EXPECT_EQ(f.ComboBoxShowType->Items().Count(), 4);
    EXPECT_EQ(f.SaveDialogBatch->DefaultExt, u"BAT");
    EXPECT_TRUE(f.SaveDialogBatch->Options & kv::ofOverwritePrompt);
}

TEST(TFormCreateAutoFile, StartsFromTheProject) {
    TProject p = SampleProject();
    {
        TFormCreateAutoFile f(kv::Application, p);
        EXPECT_EQ(f.EditLeftFileName->Text(), u"C:\\in\\left.csv");
        EXPECT_TRUE(f.CheckBoxLeftRowName->Checked());
        EXPECT_EQ(f.KeyLeft, 2);
        EXPECT_EQ(f.StaticTextLeftKey->Caption(), u"C列");
        EXPECT_EQ(f.EditRightFileName->Text(), u"C:\\in\\right.csv");
        EXPECT_FALSE(f.CheckBoxRightRowName->Checked());
        EXPECT_EQ(f.StaticTextRightKey->Caption(), u"A列");
        EXPECT_EQ(f.EditSaveFileName->Text(), u"C:\\out\\joined.csv");
        EXPECT_EQ(f.ComboBoxEncoding->ItemIndex(), 1);
        EXPECT_TRUE(f.CheckBoxOverWrite->Checked());
        EXPECT_EQ(f.ComboBoxShowType->ItemIndex(), 3);
        EXPECT_EQ(f.ComboBoxSaveSortCol->ItemIndex(), 1);
    }
    p.SortInfos = {{4, 1}};
    p.KeyLeft = -1;
    TFormCreateAutoFile f(kv::Application, p);
    EXPECT_EQ(f.ComboBoxSaveSortCol->ItemIndex(), 2); // conditions win over the side
    EXPECT_EQ(f.SortInfos, (Infos{{4, 1}}));
    EXPECT_EQ(f.StaticTextLeftKey->Caption(), u"列"); // no key
}

TEST(TFormCreateAutoFile, ValidateNamesTheFirstEmptyPath) {
    static const struct {
        const char* name;
        bool left, right, out;
        const char16_t* message;
    } kCases[] = {
        {"all empty", false, false, false, u"左CSVファイルが選択されていません。"},
        {"right missing", true, false, false, u"右CSVファイルが選択されていません。"},
        {"output missing", true, true, false, u"作成するCSVファイルが選択されていません。"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        TProject p;
        if (c.left) p.FileNameLeft = u"l.csv";
        if (c.right) p.FileNameRight = u"r.csv";
        if (c.out) p.SaveFileName = u"o.csv";
        TFormCreateAutoFile f(kv::Application, p);
        f.Show();
        kvtest::TestServices services;
        f.ActionSaveToFile->Execute();
        EXPECT_TRUE(services.fileRequests.empty()); // no batch file is asked for
        ASSERT_EQ(services.boxes.size(), 1u);
        EXPECT_EQ(services.boxes[0].text, c.message);
        EXPECT_EQ(services.boxes[0].flags, UINT(MB_OK | MB_ICONWARNING));
        kv::TButtonedEdit* empty = !c.left    ? f.EditLeftFileName
                                   : !c.right ? f.EditRightFileName
                                              : f.EditSaveFileName;
        EXPECT_EQ(f.ActiveControl(), empty);
        f.Hide();
    }
}

TEST(TFormCreateAutoFile, WritesTheBatchFileWithTheDialogsValues) {
    const kvtest::TempFolder folder("autofile_write");
    TProject p = SampleProject();
    p.SortInfos = {{3, 1}, {0, 0}};
    TFormCreateAutoFile f(kv::Application, p);
    f.CheckBoxOverWrite->SetChecked(false);
    f.ComboBoxShowType->SetItemIndex(1);
    f.ComboBoxEncoding->SetItemIndex(0);
    kvtest::TestServices services;
    services.fileChosen = folder.Path(u"run.bat");
    f.ActionSaveToFile->Execute();
    ASSERT_EQ(services.fileRequests.size(), 1u);
    const kv::TFileDialogRequest& r = services.fileRequests[0];
    EXPECT_TRUE(r.save);
    EXPECT_TRUE(r.overwritePrompt);
    EXPECT_EQ(r.defaultExt, u"BAT");
    EXPECT_EQ(r.filter, u"バッチファイル(*.BAT)|*.BAT|すべてのファイル|*.*");
    EXPECT_TRUE(services.boxes.empty());
    EXPECT_EQ(kvtest::TempFolder::Read(folder.Path(u"run.bat")),
              ExpectedBatch(u"C:\\in\\left.csv", 2, true, u"C:\\in\\right.csv", 0, false,
                            u"C:\\out\\joined.csv", 0, true, 1, 2, {{3, 1}, {0, 0}}));
    EXPECT_EQ(f.StatusBar1->SimpleText(), u"自動実行バッチファイルを作成しました。");
}

TEST(TFormCreateAutoFile, CancelledOrFailedWritesAreQuietOrWarned) {
    const kvtest::TempFolder folder("autofile_fail");
    TFormCreateAutoFile f(kv::Application, SampleProject());
    {
        kvtest::TestServices services;
        services.fileAnswer = false;
        f.ActionSaveToFile->Execute();
        EXPECT_TRUE(services.boxes.empty());
        EXPECT_TRUE(f.StatusBar1->SimpleText().empty());
    }
    kvtest::TestServices services;
    services.fileChosen = folder.Path(u"missing\\run.bat");
    f.ActionSaveToFile->Execute();
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].text, u"Cannot create file \"" + services.fileChosen + u"\"");
    EXPECT_TRUE(f.StatusBar1->SimpleText().empty());
}

TEST(TFormCreateAutoFile, FileBoxButtonsAskForPaths) {
    TFormCreateAutoFile f(kv::Application, SampleProject());
    kvtest::TestServices services;
    services.fileChosen = u"C:\\new\\left.csv";
    f.EditLeftFileName->RightButtonClick();
    services.fileChosen = u"C:\\new\\out.csv";
    services.encodingChosen = 0;
    f.EditSaveFileName->RightButtonClick();
    services.fileAnswer = false;
    f.EditRightFileName->RightButtonClick();
    ASSERT_EQ(services.fileRequests.size(), 3u);
    EXPECT_FALSE(services.fileRequests[0].save);
    EXPECT_EQ(services.fileRequests[0].fileName, u"C:\\in\\left.csv");
    EXPECT_EQ(services.fileRequests[0].defaultExt, u"CSV");
    EXPECT_TRUE(services.fileRequests[1].save);
    EXPECT_EQ(services.fileRequests[1].fileName, u"C:\\out\\joined.csv");
    EXPECT_EQ(services.fileRequests[1].encodingIndex, 1);
    EXPECT_EQ(services.fileRequests[1].encodings, (std::vector<std::u16string>{u"ANSI", u"UTF-8"}));
    EXPECT_EQ(f.EditLeftFileName->Text(), u"C:\\new\\left.csv");
    EXPECT_EQ(f.EditSaveFileName->Text(), u"C:\\new\\out.csv");
    EXPECT_EQ(f.ComboBoxEncoding->ItemIndex(), 0);
    EXPECT_EQ(f.EditRightFileName->Text(), u"C:\\in\\right.csv"); // cancelled
}

TEST(TFormCreateAutoFile, KeyButtonsPickFromEveryLetteredColumn) {
    TFormCreateAutoFile f(kv::Application, SampleProject());
    const kvtest::ModalWatchdog watchdog;
    int preselected = -2, items = 0;
    {
        const kvtest::AnswerModal<TFormCsvSortFieldSelect> answer([&](auto& select) {
            preselected = select.GetSelectedColumn();
            items = select.ListViewKey->ItemCount();
            select.ListViewKey->SetItemIndex(28); // column AB
            select.SetModalResult(kv::mrOk);
        });
        f.BtnLeftKey->Click();
    }
    EXPECT_EQ(preselected, 2);
    EXPECT_EQ(items, 16385); // no column captions
    EXPECT_EQ(f.KeyLeft, 27);
    EXPECT_EQ(f.StaticTextLeftKey->Caption(), u"AB列");
    {
        const kvtest::AnswerModal<TFormCsvSortFieldSelect> answer([](auto& select) {
            select.ListViewKey->SetItemIndex(0);
            select.SetModalResult(kv::mrCancel);
        });
        EXPECT_FALSE(f.SelectKeyColumn(1));
    }
    EXPECT_EQ(f.KeyRight, 0);
    {
        const kvtest::AnswerModal<TFormCsvSortFieldSelect> answer([](auto& select) {
            select.ListViewKey->SetItemIndex(0); // "(なし)"
            select.SetModalResult(kv::mrOk);
        });
        EXPECT_TRUE(f.SelectKeyColumn(1));
    }
    EXPECT_EQ(f.KeyRight, -1);
    EXPECT_EQ(f.StaticTextRightKey->Caption(), u"列");
    EXPECT_FALSE(watchdog.Fired());
}

TEST(TFormCreateAutoFile, ConditionItemOpensTheSortConditionDialog) {
    TProject p = SampleProject();
    p.SortInfos = {{4, 1}};
    TFormCreateAutoFile f(kv::Application, p);
    const kvtest::ModalWatchdog watchdog;
    Infos shown;
    {
        const kvtest::AnswerModal<TFormCsvSortFieldEdit> answer([&](auto& edit) {
            shown = edit.GetSortInfos();
            edit.OrderBoxes[0]->SetItemIndex(0);
            edit.SetModalResult(kv::mrOk);
        });
        f.ComboBoxSaveSortCol->SetItemIndex(2);
        f.ComboBoxSaveSortColClick(f.ComboBoxSaveSortCol);
    }
    EXPECT_EQ(shown, (Infos{{4, 1}}));
    EXPECT_EQ(f.SortInfos, (Infos{{4, 0}}));
    {
        const kvtest::AnswerModal<TFormCsvSortFieldEdit> answer([](auto& edit) {
            edit.CheckBoxSort->SetChecked(false);
            edit.SetModalResult(kv::mrCancel);
        });
        f.ComboBoxSaveSortColClick(f.ComboBoxSaveSortCol);
    }
    EXPECT_EQ(f.SortInfos, (Infos{{4, 0}})); // cancelled: unchanged
    EXPECT_EQ(f.ComboBoxSaveSortCol->ItemIndex(), 2);
    f.ComboBoxSaveSortCol->SetItemIndex(0);
    f.ComboBoxSaveSortColClick(f.ComboBoxSaveSortCol); // other items open nothing
    EXPECT_FALSE(watchdog.Fired());
}

TEST(TFormCreateAutoFile, Picture) {
    TFormCreateAutoFile f(kv::Application, SampleProject());
    EXPECT_TRUE(kvtest::SaveFormPicture(f, "batch-file-dialog.png"));
    f.Hide();
}

// ---- Batch files run out of process --------------------------------------------------------
//
// The dialog writes the batch file inside this test program, so its line starts this program;
// for the run that program path is swapped for the product's, and every option after it stays
// as the dialog wrote it. cmd runs the file, the product joins and saves unattended.

class JobHandle { // CloseHandle; null = empty. Closing the job ends what is still in it.
public:
    JobHandle() : h_(CreateJobObjectW(nullptr, nullptr)) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION info{};
        info.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (h_) SetInformationJobObject(h_, JobObjectExtendedLimitInformation, &info, sizeof info);
    }
    ~JobHandle() {
        if (h_) CloseHandle(h_);
    }
    JobHandle(const JobHandle&) = delete;
    JobHandle& operator=(const JobHandle&) = delete;
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

// Runs the batch file through cmd; cmd's exit code, or -1 when it did not end in time.
int RunBatch(const std::u16string& batchPath, DWORD timeoutMs) {
    std::u16string line = u"cmd.exe /c \"\"" + batchPath + u"\"\"";
    const JobHandle job;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, reinterpret_cast<wchar_t*>(line.data()), nullptr, nullptr, FALSE,
                        CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return -2;
    if (job.get()) AssignProcessToJobObject(job.get(), pi.hProcess);
    ResumeThread(pi.hThread);
    int code = -1;
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        DWORD exit = 0;
        GetExitCodeProcess(pi.hProcess, &exit);
        code = static_cast<int>(exit);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

std::string Ansi(const std::string& utf8) {
    std::string bytes;
    EXPECT_TRUE(kv::TryWideToAnsi(kv::Utf8ToUtf16(utf8), bytes));
    return bytes;
}

TEST(TFormCreateAutoFileRun, BatchFilesJoinLikeTheDialogSaid) {
    // The fixtures: left in Shift_JIS, right in UTF-8, both with a title line, key column A.
    const std::string T = "番号,名前,番号,価格\r\n", A = "1,りんご,1,50\r\n",
                      B = "2,みかん,2,100\r\n", C = "3,ぶどう,,\r\n", D = ",,4,300\r\n";
    const std::string bom = "\xEF\xBB\xBF";
    static const char* const kMissing = nullptr;
    const struct {
        const char* name;
        bool titles;
        int encoding;
        bool append;
        const char* before; // the output file's content before the run; null: no file
        int view, sortCol;
        Infos infos;
        std::string after; // UTF-8 text; written in ANSI for encoding 0
    } kCases[] = {
        {"ANSI new file with titles in left order",
         true,
         0,
         false,
         "old\r\n",
         0,
         0,
         {},
         T + A + B + C + D},
        {"UTF-8 new file, matched rows in right order",
         true,
         1,
         false,
         kMissing,
         1,
         1,
         {},
         bom + T + B + A},
        {"appended with titles to an existing file",
         true,
         0,
         true,
         "old\r\n",
         0,
         0,
         {},
         "old\r\n" + A + B + C + D},
        {"appended with titles to a missing file",
         true,
         1,
         true,
         kMissing,
         0,
         0,
         {},
         bom + T + A + B + C + D},
        {"appended without titles", false, 0, true, "old\r\n", 1, 0, {}, "old\r\n" + T + A + B},
        {"sort conditions", true, 1, false, kMissing, 0, 2, {{3, 1}}, bom + T + A + D + B + C},
        {"condition item without conditions orders by the left file",
         true,
         1,
         false,
         kMissing,
         0,
         2,
         {},
         bom + T + A + B + C + D},
    };
    const kvtest::SettingsFileGuard settings;
    const kvtest::TempFolder folder("autofile_run");
    // Paths with spaces, a percent sign and Japanese text, quoted and escaped by the batch line.
    const std::filesystem::path data = std::filesystem::path(folder.Path(u"in 100% 結合"));
    std::filesystem::create_directories(data);
    const std::u16string left = (data / u"left.csv").u16string();
    const std::u16string right = (data / u"right.csv").u16string();
    const std::u16string out = (data / u"結果 100%.csv").u16string();
    kvtest::TempFolder::Write(
        left, kvtest::TempFolder::Read(kv::Utf8ToUtf16(KOLVANE_TEST_DATA "/app/batch/left.csv")));
    kvtest::TempFolder::Write(
        right, kvtest::TempFolder::Read(kv::Utf8ToUtf16(KOLVANE_TEST_DATA "/app/batch/right.csv")));
    std::string thisProgram, product;
    ASSERT_TRUE(kv::TryWideToAnsi(u"\"" + kv::GetProgramFileName() + u"\"", thisProgram));
    ASSERT_TRUE(kv::TryWideToAnsi(u"\"" + kv::Utf8ToUtf16(KOLVANE_PROGRAM) + u"\"", product));

    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(std::filesystem::path(out));
        if (c.before) kvtest::TempFolder::Write(out, c.before);
        TProject p;
        p.FileNameLeft = left;
        p.FirstLineIsTitleLeft = c.titles;
        p.FileNameRight = right;
        p.FirstLineIsTitleRight = c.titles;
        p.SaveFileName = out;
        p.EncodingIndex = c.encoding;
        p.SaveIsNew = !c.append;
        p.ShowType = c.view;
        p.SaveSortCol = c.sortCol == 2 ? 0 : c.sortCol;
        p.SortInfos = c.infos;
        std::string written;
        {
            TFormCreateAutoFile f(kv::Application, p);
            f.ComboBoxSaveSortCol->SetItemIndex(c.sortCol);
            kvtest::TestServices services;
            services.fileChosen = folder.Path(u"written.bat");
            f.ActionSaveToFile->Execute();
            ASSERT_TRUE(services.boxes.empty());
            written = kvtest::TempFolder::Read(services.fileChosen);
        }
        ASSERT_EQ(written.compare(0, thisProgram.size(), thisProgram), 0);
        EXPECT_EQ(written.find(" -co=") != std::string::npos, c.sortCol == 2);
        const std::u16string batch = folder.Path(u"run.bat");
        kvtest::TempFolder::Write(batch, product + written.substr(thisProgram.size()));
        ASSERT_EQ(RunBatch(batch, 60000), 0);
        EXPECT_EQ(kvtest::TempFolder::Read(out), c.encoding == 0 ? Ansi(c.after) : c.after);
    }
}

} // namespace
