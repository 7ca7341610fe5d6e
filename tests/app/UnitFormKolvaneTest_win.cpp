#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DialogTestSupport.h"
#include "TestFiles.h"
#include "app/TKolvaneGrid.h"
#include "app/UnitFormKolvane.h"
#include "base/MessagePump.h"
#include "base/Text.h"
#include "ui/ActnList.h"
#include "ui/Application.h"
#include "ui/StdCtrls.h"
#include "ui/Types.h"

namespace {

// Both sides titled: key 2 matches, 1 and 3 are left only, 4 is right only.
constexpr char16_t kLeft[] = u"id,name\n1,a\n2,b\n3,c";
constexpr char16_t kRight[] = u"id,v\n2,x\n4,y";

// A join window over two tables and a project, shown without a modal loop: the test pumps
// until the join has finished.
class JoinWindow {
public:
    explicit JoinWindow(TProject project = {}, std::u16string_view left = kLeft,
                        std::u16string_view right = kRight, bool leftTitle = true,
                        bool rightTitle = true, bool autoSave = false)
        : project_(std::move(project)) {
        left_.SetText(left);
        right_.SetText(right);
        form_ = std::make_unique<TFormKolvane>(kv::Application, autoSave, &project_, &left_, 0,
                                               leftTitle, &right_, 0, rightTitle);
    }
    ~JoinWindow() {
        if (form_->Visible()) form_->Hide();
    }

    // Shows the window and handles messages until the join has finished.
    void Run() {
        form_->Show();
        ASSERT_TRUE(kvtest::PumpUntil([this] { return form_->ActionSave->Enabled(); }, 10000));
    }
    TFormKolvane& Form() { return *form_; }
    TProject& Project() { return project_; }
    // The grid's rows from row 1 on as comma-joined text of the data columns.
    std::vector<std::string> Rows() {
        std::vector<std::string> rows;
        TKolvaneGrid& g = *form_->Grid;
        for (int r = 1; r < g.RowCount(); ++r) {
            std::u16string line;
            for (int c = 2; c < g.ColCount(); ++c)
                line += (c > 2 ? u"," : u"") + g.GetCellText(r, c);
            rows.push_back(kv::Utf16ToUtf8(line));
        }
        return rows;
    }

private:
    TCsv left_, right_;
    TProject project_;
    std::unique_ptr<TFormKolvane> form_;
};

TProject ProjectWith(int showType, int saveSortCol) {
    TProject p;
    p.ShowType = showType;
    p.SaveSortCol = saveSortCol;
    return p;
}

TEST(TFormKolvane, JoinFillsTheGridInLeftOrderAndFinishes) {
    JoinWindow w;
    TFormKolvane& f = w.Form();
    EXPECT_EQ(f.Caption(), u"CSV結合");
    EXPECT_EQ(f.HelpContext(), 4);
    EXPECT_EQ(f.ClientWidth(), 524);
    EXPECT_FALSE(f.ActionSave->Enabled());
    EXPECT_TRUE(f.PanelTop->Visible());
    w.Run();
    EXPECT_FALSE(f.PanelTop->Visible());
    EXPECT_TRUE(f.ComboBoxSortColumn->Visible());
    EXPECT_EQ(f.ProgressBar1->Max(), 5); // left rows + 1
    TKolvaneGrid& g = *f.Grid;
    EXPECT_EQ(g.FixedRows(), 2);
    EXPECT_EQ(g.FixedCols(), 2);
    EXPECT_EQ(g.ColCount(), 6);
    EXPECT_EQ(g.ColWidths(0), 20);
    EXPECT_EQ(g.GetCellText(0, 0), u"左");
    EXPECT_EQ(g.GetCellText(0, 2), u"A");
    EXPECT_EQ(g.GetCellText(3, 0), u"3"); // left row numbers are 1-based file lines
    EXPECT_EQ(g.GetCellText(3, 1), u"2");
    EXPECT_EQ(w.Rows(),
              (std::vector<std::string>{"id,name,id,v", "1,a,,", "2,b,2,x", "3,c,,", ",,4,y"}));
}

TEST(TFormKolvane, TextsHintsListsAndShortCut) {
    JoinWindow w;
    TFormKolvane& f = w.Form();
    using Strings = std::vector<std::u16string>;
    EXPECT_EQ(f.ComboBoxType->Items().Strings(),
              (Strings{u"すべて表示", u"キーが一致する行のみ", u"左CSVファイルはすべて表示",
                       u"右CSVファイルはすべて表示"}));
    EXPECT_EQ(f.ComboBoxSortColumn->Items().Strings(), (Strings{u"左CSV", u"右CSV"}));
    static const struct {
        const char* name;
        std::u16string_view actual;
        std::u16string_view expected;
    } kTexts[] = {
        {"view list hint", f.ComboBoxType->Hint(), u"表示する行を選択します。"},
        {"order list hint", f.ComboBoxSortColumn->Hint(),
         u"CSVデータをソートするキー列を選択します。"},
        {"append caption", f.CheckBoxOverWrite->Caption(),
         u"同名のファイルが既に存在するときは追記する"},
        {"append hint", f.CheckBoxOverWrite->Hint(),
         u"チェックすると、ファイルを保存する時に同名のファイルが既に存在するときは追記します。"},
        {"cancel caption", f.BtnCancel->Caption(), u"キャンセル"},
        {"save hint", f.ActionSave->Hint(), u"CSVファイルを保存します。"},
    };
    for (const auto& t : kTexts) EXPECT_EQ(t.actual, t.expected) << t.name;
    EXPECT_EQ(f.ActionSave->ShortCut(), kv::scCtrl | 'S');
    EXPECT_EQ(kv::ShortCutToText(f.ActionSave->ShortCut()), u"Ctrl+S");
}

TEST(TFormKolvane, GridColoursAndAlignmentByCell) {
    JoinWindow w;
    w.Run();
    const TKolvaneGrid& g = *w.Form().Grid;
    constexpr unsigned kOneLine = DT_NOPREFIX | DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    constexpr unsigned kData = DT_NOPREFIX | DT_LEFT | DT_TOP;
    static const struct {
        const char* name;
        int col, row;
        kv::TGridDrawState state;
        kv::TColor brush, font;
        unsigned format;
    } kCells[] = {
        {"header over the left numbers", 0, 0, kv::gdFixed, kv::clBtnFace, kv::clWindowText,
         kOneLine},
        {"column letter", 3, 0, kv::gdFixed, kv::clBtnFace, kv::clWindowText, kOneLine},
        {"left row number", 0, 2, kv::gdFixed, kv::clBtnFace, kv::clWindowText, kOneLine},
        {"right row number", 1, 3, kv::gdFixed, kv::clBtnFace, kv::clWindowText, kOneLine},
        {"title row", 2, 1, kv::gdFixed, kv::clBtnFace, kv::clWindowText, kData},
        {"data cell", 2, 2, 0, kv::clWindow, kv::clWindowText, kData},
        {"selected data cell", 4, 3, kv::gdSelected | kv::gdFocused, kv::clHighlight,
         kv::clHighlightText, kData},
    };
    for (const auto& c : kCells) {
        const TKolvaneGrid::TCellLook look = g.CellLook(c.col, c.row, c.state);
        EXPECT_EQ(look.brush, c.brush) << c.name;
        EXPECT_EQ(look.font, c.font) << c.name;
        EXPECT_EQ(look.format, c.format) << c.name;
    }
}

TEST(TFormKolvane, SideListOrdersByTheRightFile) {
    JoinWindow w(ProjectWith(0, 1));
    w.Run();
    EXPECT_EQ(w.Rows(),
              (std::vector<std::string>{"id,name,id,v", "2,b,2,x", ",,4,y", "1,a,,", "3,c,,"}));
    w.Form().ComboBoxSortColumn->SetItemIndex(0);
    w.Form().ComboBoxSortColumnChange(w.Form().ComboBoxSortColumn);
    EXPECT_EQ(w.Rows()[1], "1,a,,");
}

TEST(TFormKolvane, ViewsNarrowTheRows) {
    static const struct {
        const char* name;
        int view;
        std::vector<std::string> rows;
    } kCases[] = {
        {"all", 0, {"id,name,id,v", "1,a,,", "2,b,2,x", "3,c,,", ",,4,y"}},
        {"matched", 1, {"id,name,id,v", "2,b,2,x"}},
        {"left", 2, {"id,name,id,v", "1,a,,", "2,b,2,x", "3,c,,"}},
        {"right", 3, {"id,name,id,v", "2,b,2,x", ",,4,y"}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        JoinWindow w(ProjectWith(c.view, 0));
        w.Run();
        EXPECT_EQ(w.Form().ComboBoxType->ItemIndex(), c.view);
        EXPECT_EQ(w.Rows(), c.rows);
    }
    // A view outside 0-3 leaves the list without selection and shows every row.
    JoinWindow w(ProjectWith(7, 0));
    w.Run();
    EXPECT_EQ(w.Form().ComboBoxType->ItemIndex(), -1);
    EXPECT_EQ(w.Rows().size(), 5u);
}

TEST(TFormKolvane, SortConditionsHideTheSideListAndOrderTheRows) {
    TProject p;
    p.SortInfos = {{1, 1}}; // the left file's second column, descending
    p.SaveSortCol = 1;
    JoinWindow w(p);
    EXPECT_FALSE(w.Form().ComboBoxSortColumn->Visible());
    w.Run();
    EXPECT_EQ(w.Rows(),
              (std::vector<std::string>{"id,name,id,v", "3,c,,", "2,b,2,x", "1,a,,", ",,4,y"}));
}

TEST(TFormKolvane, TitledSideWithoutRowsTakesNoDataRowAsTitle) {
    JoinWindow w({}, u"", u"a\nb", true, false);
    w.Run();
    EXPECT_EQ(w.Form().Grid->FixedRows(), 1);
    EXPECT_EQ(w.Rows(), (std::vector<std::string>{"a", "b"}));
}

TEST(TFormKolvane, SaveDialogAsksForANewFileInTheChosenEncoding) {
    static const struct {
        const char* name;
        int encoding;
        std::string start;
    } kCases[] = {
        {"ANSI has no byte-order mark", 0, "id,name"},
        {"UTF-8 starts with its byte-order mark", 1, "\xEF\xBB\xBFid,name"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        kvtest::TempFile out("join_new.csv");
        TProject p;
        p.SaveFileName = u"C:\\preset.csv";
        p.EncodingIndex = 1 - c.encoding;
        JoinWindow w(p);
        w.Run();
        kvtest::TestServices services;
        services.fileChosen = out.Path();
        services.encodingChosen = c.encoding;
        EXPECT_TRUE(w.Form().ActionSave->Execute());
        ASSERT_EQ(services.fileRequests.size(), 1u);
        const kv::TFileDialogRequest& r = services.fileRequests[0];
        EXPECT_TRUE(r.save);
        EXPECT_TRUE(r.overwritePrompt); // a new file may replace one
        EXPECT_EQ(r.fileName, u"C:\\preset.csv");
        EXPECT_EQ(r.encodingIndex, 1 - c.encoding);
        EXPECT_EQ(r.encodings, (std::vector<std::u16string>{u"ANSI", u"UTF-8"}));
        EXPECT_EQ(r.defaultExt, u"CSV");
        EXPECT_EQ(r.filter, u"CSVファイル(*.CSV)|*.CSV|すべてのファイル(*.*)|*.*");
        EXPECT_TRUE(services.boxes.empty()); // success says nothing
        EXPECT_EQ(out.Read(), c.start + ",id,v\r\n1,a,,\r\n2,b,2,x\r\n3,c,,\r\n,,4,y\r\n");
    }
}

TEST(TFormKolvane, AppendWritesTheTitleOnlyIntoAMissingFile) {
    static const struct {
        const char* name;
        bool exists;
        std::string before, after;
    } kCases[] = {
        {"existing file", true, "old\r\n", "old\r\n2,b,2,x\r\n"},
        {"missing file", false, "", "\xEF\xBB\xBFid,name,id,v\r\n2,b,2,x\r\n"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        kvtest::TempFile out("join_append.csv");
        if (c.exists) out.Write(c.before);
        TProject p = ProjectWith(1, 0);
        p.SaveIsNew = false;
        JoinWindow w(p);
        EXPECT_TRUE(w.Form().CheckBoxOverWrite->Checked());
        w.Run();
        kvtest::TestServices services;
        services.fileChosen = out.Path();
        services.encodingChosen = 1;
        w.Form().ActionSave->Execute();
        ASSERT_EQ(services.fileRequests.size(), 1u);
        EXPECT_FALSE(services.fileRequests[0].overwritePrompt); // appending replaces nothing
        EXPECT_EQ(out.Read(), c.after);
    }
}

TEST(TFormKolvane, SuccessfulSaveWritesTheOptionsBackIntoTheProject) {
    kvtest::TempFile out("join_options.csv");
    JoinWindow w(ProjectWith(0, 0));
    w.Run();
    TFormKolvane& f = w.Form();
    f.ComboBoxType->SetItemIndex(2);
    f.ComboBoxTypeClick(f.ComboBoxType);
    f.ComboBoxSortColumn->SetItemIndex(1);
    f.ComboBoxSortColumnChange(f.ComboBoxSortColumn);
    ASSERT_TRUE(f.SaveCsv(out.Path(), false, 1));
    const TProject& p = w.Project();
    EXPECT_EQ(p.SaveFileName, out.Path());
    EXPECT_EQ(p.EncodingIndex, 1);
    EXPECT_EQ(p.ShowType, 2);
    EXPECT_FALSE(p.SaveIsNew);
    EXPECT_EQ(p.SaveSortCol, 1);
    // View 2 in the right file's order: matched rows first, then the left-only rows.
    EXPECT_EQ(out.Read(), "\xEF\xBB\xBFid,name,id,v\r\n2,b,2,x\r\n1,a,,\r\n3,c,,\r\n");
}

TEST(TFormKolvane, FailedSaveWarnsAndKeepsTheProject) {
    const kvtest::TempFolder folder("join_fail");
    TProject p = ProjectWith(0, 1);
    p.SaveFileName = u"before.csv";
    JoinWindow w(p);
    w.Run();
    kvtest::TestServices services;
    EXPECT_FALSE(w.Form().SaveCsv(folder.Path(u"missing\\out.csv"), true, 1));
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].text, u"CSVファイルの保存に失敗しました。");
    EXPECT_EQ(services.boxes[0].flags, UINT(MB_OK | MB_ICONWARNING));
    EXPECT_EQ(w.Project().SaveFileName, u"before.csv");
    EXPECT_EQ(w.Project().EncodingIndex, 0);
    EXPECT_TRUE(w.Project().SaveIsNew);
}

TEST(TFormKolvane, AutomaticModeSavesAndClosesTheModalWindow) {
    kvtest::TempFile out("join_auto.csv");
    TProject p = ProjectWith(1, 0);
    p.SaveFileName = out.Path();
    TCsv left, right;
    left.SetText(kLeft);
    right.SetText(kRight);
    TFormKolvane f(kv::Application, true, &p, &left, 0, true, &right, 0, true);
    const kvtest::ModalWatchdog watchdog;
    f.ShowModal();
    EXPECT_FALSE(watchdog.Fired());
    EXPECT_TRUE(f.Succeeded);
    EXPECT_EQ(out.Read(), "id,name,id,v\r\n2,b,2,x\r\n");
}

TEST(TFormKolvane, AutomaticSaveFailureLeavesTheWindowOpen) {
    const kvtest::TempFolder folder("join_auto_fail");
    TProject p;
    p.SaveFileName = folder.Path(u"missing\\out.csv");
    kvtest::TestServices services;
    JoinWindow w(p, kLeft, kRight, true, true, true);
    w.Run();
    EXPECT_FALSE(w.Form().Succeeded);
    EXPECT_TRUE(w.Form().Visible());
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].text, u"CSVファイルの保存に失敗しました。");
}

// Calls f from inside the join loop's n-th message pump instead of handling messages.
class AtPump {
public:
    AtPump(int n, std::function<void()> f)
        : n_(n), f_(std::move(f)), fn_(kv::detail::g_pumpFn), context_(kv::detail::g_pumpContext) {
        kv::SetMessagePump(&Hook, this);
    }
    ~AtPump() { kv::SetMessagePump(fn_, context_); }

private:
    static void Hook(void* context) {
        auto* self = static_cast<AtPump*>(context);
        if (++self->calls_ == self->n_) self->f_();
    }
    int n_, calls_ = 0;
    std::function<void()> f_;
    kv::MessagePumpFn fn_;
    void* context_;
};

TEST(TFormKolvane, RowsAppearWhileTheJoinRuns) {
    JoinWindow w;
    int rowsAtThirdStep = 0, position = 0;
    const AtPump probe(3, [&] {
        rowsAtThirdStep = w.Form().Grid->RowCount();
        position = w.Form().ProgressBar1->Position();
    });
    w.Run();
    EXPECT_EQ(rowsAtThirdStep, 3); // header, title row, left row 1
    EXPECT_GT(position, 0);
    EXPECT_EQ(w.Form().ProgressBar1->Position(), 5);
}

TEST(TFormKolvane, CancelInAutomaticModeSavesTheRowsSoFarAndCloses) {
    kvtest::TempFile out("join_cancel.csv");
    TProject p;
    p.SaveFileName = out.Path();
    TCsv left, right;
    left.SetText(kLeft);
    right.SetText(kRight);
    TFormKolvane f(kv::Application, true, &p, &left, 0, true, &right, 0, true);
    EXPECT_TRUE(f.BtnCancel->Cancel()); // Esc presses it
    const kvtest::ModalWatchdog watchdog;
    {
        // Steps: the title row, left rows 1 and 2; the batch of left row 3 is dropped.
        const AtPump cancel(4, [&f] { f.BtnCancel->Click(); });
        f.ShowModal();
    }
    EXPECT_FALSE(watchdog.Fired());
    EXPECT_TRUE(f.Cancelled);
    EXPECT_TRUE(f.Succeeded);
    EXPECT_EQ(out.Read(), "id,name,id,v\r\n1,a,,\r\n2,b,2,x\r\n");
}

TEST(TFormKolvane, WindowGoneBeforeItsIdleMomentLeavesNoHandler) {
    {
        JoinWindow w;
        EXPECT_TRUE(static_cast<bool>(kv::Application->OnIdle));
    }
    EXPECT_FALSE(static_cast<bool>(kv::Application->OnIdle));
}

// The documentation's picture of the join window after a join.
TEST(TFormKolvane, ScreenshotAfterAJoin) {
    std::u16string left = u"顧客番号,氏名,住所\n", right = u"顧客番号,電話,備考\n";
    static const char16_t* const kNames[] = {u"山田 太郎", u"佐藤 花子", u"鈴木 一郎", u"田中 美咲",
                                             u"高橋 健"};
    for (int i = 1; i <= 40; ++i) {
        left += kv::IntToStr(1000 + i) + u"," + kNames[i % 5] + u",東京都千代田区" +
                kv::IntToStr(i) + u"\n";
        if (i % 3 != 0)
            right += kv::IntToStr(1000 + i) + u",03-1234-" + kv::IntToStr(5000 + i) + u"," +
                     (i % 4 == 0 ? u"要確認" : u"") + u"\n";
    }
    right += u"2001,03-9999-0000,新規\n";
    JoinWindow w(ProjectWith(0, 0), left, right);
    w.Run();
    // Rows below the view were gathered while the join ran; ordering applied them.
    EXPECT_FALSE(w.Form().Grid->UpdatePending());
    EXPECT_EQ(w.Form().Grid->RowCount(), 43); // header, title, 40 left rows, 1 right-only row
    EXPECT_TRUE(kvtest::SaveFormPicture(w.Form(), "join-window.png"));
}

} // namespace
