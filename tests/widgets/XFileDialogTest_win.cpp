#include <gtest/gtest.h>

#include <windows.h>

#include <process.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "FileDialogTestSupport.h"
#include "TestFiles.h"
#include "base/FileSystem.h"
#include "base/Text.h"
#include "ui/Application.h"
#include "ui/ExtCtrls.h"
#include "ui/Forms.h"
#include "ui/Menus.h"
#include "ui/MessageForms.h"
#include "ui/Screenshot.h"
#include "ui/Services.h"
#include "ui/StdCtrls.h"
#include "widgets/XFileDialog.h"
#include "widgets/XFileDialogBrowseFolder.h"

namespace {

using kv::RectHeight;
using kv::RectWidth;
using kv::Utf16ToUtf8;
using kvtest::PostClick;
using kvtest::PostKey;
using Steps = std::vector<std::function<bool()>>;
using Names = std::vector<std::u16string>;

std::string Joined(Names names) {
    std::sort(names.begin(), names.end());
    std::string s;
    for (const auto& n : names) s += Utf16ToUtf8(n) + "|";
    return s;
}

// A folder left by a stopped run of an earlier process with the same id may hold read-only
// files; they are made deletable before the folder is made afresh.
struct LeftoverMadeDeletable {
    explicit LeftoverMadeDeletable(const std::string& name) {
        const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                          ("kolvane_" + std::to_string(_getpid()) + "_" + name);
        std::error_code ec;
        for (auto it = std::filesystem::recursive_directory_iterator(dir, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
};

// A folder of files with Japanese names, a few of which the list never shows.
class FileDialogFolder : public ::testing::Test {
protected:
    FileDialogFolder() : leftover_("filedlg"), folder_("filedlg") {
        for (const char16_t* name :
             {u"売上データ.csv", u"売上データ2.CSV", u"顧客一覧.csv", u"在庫.Csv", u"Box集計.csv",
              u"apple.csv", u"顧客メモ.txt", u"TAX.txt", u"README", u"余分.csvx",
              u"ショートカット.lnk", u"隠しデータ.csv", u"システム.csv"})
            kvtest::TempFolder::Write(Path(name), "a,b\r\n");
        SetFileAttributesW(W(Path(u"隠しデータ.csv")), FILE_ATTRIBUTE_HIDDEN);
        SetFileAttributesW(W(Path(u"システム.csv")), FILE_ATTRIBUTE_SYSTEM);
        std::filesystem::create_directory(std::filesystem::path(Path(u"フォルダ.csv")));
    }
    ~FileDialogFolder() override {
        for (const char16_t* name : {u"隠しデータ.csv", u"システム.csv", u"読取専用.csv"})
            SetFileAttributesW(W(Path(name)), FILE_ATTRIBUTE_NORMAL);
    }
    std::u16string Dir() const { return folder_.Path(); }
    std::u16string Path(std::u16string_view name) const { return folder_.Path(name); }
    bool Exists(std::u16string_view name) const {
        return GetFileAttributesW(W(Path(name))) != INVALID_FILE_ATTRIBUTES;
    }
    static const wchar_t* W(const std::u16string& s) {
        return reinterpret_cast<const wchar_t*>(s.c_str());
    }

    LeftoverMadeDeletable leftover_;
    kvtest::TempFolder folder_;
};

Names Rows(kv::TplCustomFileDialog& d) {
    Names names;
    for (int i = 0; i < d.ListView()->ItemCount(); ++i)
        names.push_back(d.ListView()->GetItem(i).caption);
    return names;
}

int RowOf(kv::TplCustomFileDialog& d, std::u16string_view name) {
    const Names rows = Rows(d);
    const auto it = std::find(rows.begin(), rows.end(), name);
    return it == rows.end() ? -1 : static_cast<int>(it - rows.begin());
}

bool Shown(kv::TplCustomFileDialog& d) {
    return d.Handle() && IsWindowVisible(d.Handle()) && IsWindowEnabled(d.Handle());
}

HWND Wnd(kv::TControl* c) {
    return static_cast<kv::TWinControl*>(c)->Handle();
}

struct Outcome {
    bool result;
    bool finished;
    bool timedOut;
};

Outcome ExecuteDriven(kv::TplCustomFileDialog& d, Steps steps) {
    kvtest::StepDriver driver(std::move(steps));
    const bool result = d.Execute();
    return {result, driver.Finished(), driver.TimedOut()};
}

// A step that cancels the dialog once it is up and answers.
std::function<bool()> CancelWhenShown(kv::TplCustomFileDialog& d) {
    return [&d] {
        if (!Shown(d)) return false;
        PostClick(Wnd(d.CancelBtn()));
        return true;
    };
}

// Steps that answer the message form with OK, keeping its text and whether it came up
// centred over the dialog. The dialog places the form once it has taken the activation, so the
// check waits (half a minute at most) for the centred place before it gives up.
struct SeenMessage {
    std::u16string text;
    bool centred = false;
    DWORD seenAt = 0;
};
void AnswerMessage(Steps& steps, kv::TplCustomFileDialog& d, SeenMessage& seen) {
    steps.push_back([&seen] {
        if (!kvtest::FindThreadWindow(L"TMessageForm")) return false;
        seen.seenAt = GetTickCount();
        return true;
    });
    steps.push_back([&d, &seen] {
        HWND box = kvtest::FindThreadWindow(L"TMessageForm");
        auto* form = dynamic_cast<kv::TMessageForm*>(kv::TWinControl::FindControl(box));
        if (!form) return true;
        RECT b{}, f{};
        GetWindowRect(box, &b);
        GetWindowRect(d.Handle(), &f);
        seen.centred = b.left == f.left + (RectWidth(f) - RectWidth(b)) / 2 &&
                       b.top == f.top + (RectHeight(f) - RectHeight(b)) / 2;
        if (!seen.centred && GetTickCount() - seen.seenAt < 30000) return false;
        seen.text = form->Message()->Caption();
        PostClick(kvtest::FindChild(box, L"TButton", L"OK"));
        return true;
    });
}

// ---- listing ----------------------------------------------------------------------------------

TEST_F(FileDialogFolder, ListsThePlainFilesTheFiltersAsk) {
    static const struct {
        const char* name;
        const char16_t* fileExt;
        const char16_t* findText;
        Names rows;
    } kCases[] = {
        {"extension in any letter case",
         u".csv",
         u"",
         {u"apple", u"Box集計", u"在庫", u"売上データ", u"売上データ2", u"顧客一覧"}},
        {"empty extension lists every plain file",
         u"",
         u"",
         {u"apple", u"Box集計", u"在庫", u"売上データ", u"売上データ2", u"顧客一覧", u"顧客メモ",
          u"TAX", u"README", u"余分"}},
        {"extension with a star lists every plain file",
         u"*.*",
         u"",
         {u"apple", u"Box集計", u"在庫", u"売上データ", u"売上データ2", u"顧客一覧", u"顧客メモ",
          u"TAX", u"README", u"余分"}},
        {"three-letter find text with the extension",
         u".csv",
         u"データ",
         {u"売上データ", u"売上データ2"}},
        {"find text with a star as given", u"", u"顧客*", {u"顧客一覧", u"顧客メモ"}},
        {"other extension", u".txt", u"", {u"顧客メモ", u"TAX"}},
        {"nothing found", u".xls", u"", {}},
    };
    for (const auto& c : kCases) {
        kv::TplOpenDialog d(nullptr);
        d.SetDirectory(Dir());
        d.SetFileExt(c.fileExt);
        d.SetFindText(c.findText);
        Names rows;
        bool okEnabled = false;
        const Outcome o = ExecuteDriven(d, {[&] {
                                            if (!Shown(d)) return false;
                                            rows = Rows(d);
                                            okEnabled = d.OKBtn()->Enabled();
                                            PostClick(Wnd(d.CancelBtn()));
                                            return true;
                                        }});
        EXPECT_TRUE(o.finished && !o.timedOut) << c.name;
        EXPECT_FALSE(o.result) << c.name;
        EXPECT_EQ(Joined(rows), Joined(c.rows)) << c.name;
        // The open dialog selects the last row, which OK then answers with.
        EXPECT_EQ(okEnabled, !c.rows.empty()) << c.name;
    }
}

TEST_F(FileDialogFolder, RowsComeInNameOrderIgnoringCase) {
    kv::TplOpenDialog d(nullptr);
    d.SetDirectory(Dir());
    d.SetFileExt(u".csv");
    Names rows;
    int selected = -2;
    ExecuteDriven(d, {[&] {
                      if (!Shown(d)) return false;
                      rows = Rows(d);
                      selected = d.ListView()->ItemIndex();
                      PostClick(Wnd(d.CancelBtn()));
                      return true;
                  }});
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(Utf16ToUtf8(rows[0]), "apple");
    EXPECT_EQ(Utf16ToUtf8(rows[1]), "Box集計");
    EXPECT_LT(std::find(rows.begin(), rows.end(), u"売上データ"),
              std::find(rows.begin(), rows.end(), u"売上データ2"));
    EXPECT_EQ(selected, 5);
}

TEST_F(FileDialogFolder, OneLetterFindPromptKeepsNamesWithThatLetterInEitherCase) {
    kv::TplOpenDialog d(nullptr);
    d.SetDirectory(Dir());
    d.SetOptions(kv::DialogOption(kv::doFindBtn));
    Names rows;
    std::u16string promptCaption, caption;
    bool promptCentred = false;
    const Outcome o =
        ExecuteDriven(d, {[&] {
                              if (!Shown(d)) return false;
                              PostKey(d.ListView()->Handle(), VK_F3);
                              return true;
                          },
                          [&] {
                              HWND prompt = kvtest::FindThreadWindow(L"TForm", d.Handle());
                              if (!prompt) return false;
                              promptCaption = kvtest::WindowText(prompt);
                              RECT p{}, f{};
                              GetWindowRect(prompt, &p);
                              GetWindowRect(d.Handle(), &f);
                              promptCentred =
                                  p.left == f.left + (RectWidth(f) - RectWidth(p)) / 2 &&
                                  p.top == f.top + (RectHeight(f) - RectHeight(p)) / 2;
                              SetWindowTextW(kvtest::FindChild(prompt, L"TEdit"), L"x");
                              PostClick(kvtest::FindChild(prompt, L"TButton", L"OK"));
                              return true;
                          },
                          [&] {
                              if (kvtest::FindThreadWindow(L"TForm", d.Handle()) || !Shown(d))
                                  return false;
                              rows = Rows(d);
                              caption = kvtest::WindowText(d.Handle());
                              PostClick(Wnd(d.CancelBtn()));
                              return true;
                          }});
    EXPECT_TRUE(o.finished && !o.timedOut);
    EXPECT_EQ(Utf16ToUtf8(promptCaption), "ファイル名部分一致検索");
    EXPECT_TRUE(promptCentred);
    EXPECT_EQ(Joined(rows), Joined({u"Box集計", u"TAX"}));
    EXPECT_EQ(Utf16ToUtf8(caption), "ファイルを開く   [x] を含むファイルリスト");
    EXPECT_EQ(Utf16ToUtf8(d.AndFindText()), "x");
}

TEST_F(FileDialogFolder, ListedEventReplacesTheDirectoryLine) {
    kv::TplOpenDialog d(nullptr);
    d.SetDirectory(Dir());
    d.SetFileExt(u".csv");
    d.SetDisplayDirectory(true);
    d.SetOptions(kv::DialogOption(kv::doFindBtn) | kv::DialogOption(kv::doFolderBtn));
    int listedCount = -1;
    std::u16string line, shortened;
    d.OnFileListed = [&](kv::TObject*, const std::u16string& dir, int count,
                         kv::TXFileDialogDataList* items, std::u16string& text) {
        listedCount = count;
        if (items && items->Count() == count && dir == Dir()) text = u"6 件のファイル";
    };
    ExecuteDriven(d, {[&] {
                      if (!Shown(d)) return false;
                      line = d.DirectoryLabel()->Caption();
                      // Without the event the line shows the directory, shortened to fit.
                      d.OnFileListed = nullptr;
                      d.GetFilesList();
                      shortened = d.DirectoryLabel()->Caption();
                      PostClick(Wnd(d.CancelBtn()));
                      return true;
                  }});
    EXPECT_EQ(listedCount, 6);
    EXPECT_EQ(Utf16ToUtf8(line), "6 件のファイル");
    ASSERT_FALSE(shortened.empty());
    EXPECT_TRUE(shortened == Dir() || shortened.find(u"...") != std::u16string::npos)
        << Utf16ToUtf8(shortened);
    EXPECT_TRUE(Dir().ends_with(shortened.substr(shortened.find_last_of(u"\\") + 1)));
}

TEST_F(FileDialogFolder, CustomDrawingSeesEveryRow) {
    kv::TplOpenDialog d(nullptr);
    d.SetDirectory(Dir());
    d.SetFileExt(u".csv");
    std::set<int> prePainted, postPainted;
    bool argumentsRight = true;
    d.OnAdvancedCustomDrawItem = [&](kv::TObject* sender, int item, kv::TCustomDrawState,
                                     kv::TCustomDrawStage stage, bool& defaultDraw, HIMAGELIST,
                                     kv::TXFileDialogDataList* items) {
        argumentsRight = argumentsRight && sender == d.ListView() &&
                         items == kv::TplCustomFileDialog::DataList() &&
                         d.ListView()->Canvas().Handle() != nullptr;
        if (stage == kv::cdPrePaint) {
            prePainted.insert(item);
            // The first row draws itself: no default drawing, so no after-paint call.
            defaultDraw = item != 0;
        } else if (stage == kv::cdPostPaint) {
            postPainted.insert(item);
        }
    };
    const Outcome o = ExecuteDriven(d, {[&] {
                                            if (!Shown(d)) return false;
                                            RedrawWindow(d.ListView()->Handle(), nullptr, nullptr,
                                                         RDW_INVALIDATE | RDW_UPDATENOW);
                                            return prePainted.size() == 6;
                                        },
                                        CancelWhenShown(d)});
    EXPECT_TRUE(o.finished && !o.timedOut);
    EXPECT_TRUE(argumentsRight);
    EXPECT_EQ(prePainted, (std::set<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(postPainted.count(0), 0u);
    EXPECT_EQ(postPainted.count(5), 1u);
}

// ---- execute ----------------------------------------------------------------------------------

TEST_F(FileDialogFolder, OpenDialogAnswersWithTheSelectedRow) {
    static const struct {
        const char* name;
        WORD key; // 0: the OK button
    } kCases[] = {{"OK button", 0}, {"Enter on the list", VK_RETURN}};
    for (const auto& c : kCases) {
        kv::TplOpenDialog d(nullptr);
        d.SetDirectory(Dir() + u"\\");
        d.SetFileExt(u".csv");
        std::u16string okCaption;
        const Outcome o = ExecuteDriven(d, {[&] {
                                            if (!Shown(d)) return false;
                                            okCaption = d.OKBtn()->Caption();
                                            d.ListView()->FocusRow(RowOf(d, u"顧客一覧"), true);
                                            if (c.key)
                                                PostKey(d.ListView()->Handle(), c.key);
                                            else
                                                PostClick(Wnd(d.OKBtn()));
                                            return true;
                                        }});
        EXPECT_TRUE(o.finished && !o.timedOut) << c.name;
        EXPECT_TRUE(o.result) << c.name;
        EXPECT_EQ(d.ModalResult(), kv::mrOk) << c.name;
        EXPECT_EQ(Utf16ToUtf8(okCaption), "開く") << c.name;
        EXPECT_EQ(Utf16ToUtf8(d.FilePath()), Utf16ToUtf8(Path(u"顧客一覧.csv"))) << c.name;
        EXPECT_EQ(Utf16ToUtf8(d.FileName()), "顧客一覧") << c.name;
        EXPECT_EQ(kv::TplCustomFileDialog::DataList(), nullptr) << c.name;
    }
}

TEST_F(FileDialogFolder, CancelAndEscapeAnswerFalse) {
    static const struct {
        const char* name;
        bool escape;
    } kCases[] = {{"Cancel button", false}, {"Esc on the list", true}};
    for (const auto& c : kCases) {
        kv::TplOpenDialog d(nullptr);
        d.SetDirectory(Dir());
        const Outcome o = ExecuteDriven(d, {[&] {
                                            if (!Shown(d)) return false;
                                            if (c.escape)
                                                PostKey(d.ListView()->Handle(), VK_ESCAPE);
                                            else
                                                PostClick(Wnd(d.CancelBtn()));
                                            return true;
                                        }});
        EXPECT_TRUE(o.finished && !o.timedOut) << c.name;
        EXPECT_FALSE(o.result) << c.name;
        EXPECT_EQ(d.ModalResult(), kv::mrCancel) << c.name;
    }
}

TEST_F(FileDialogFolder, FormPlaceIsRememberedAndCloseCanBeRefused) {
    kv::TplOpenDialog d(nullptr);
    d.SetDirectory(Dir());
    d.SetFormLeft(0);
    d.SetFormTop(0);
    d.SetFormWidth(500);
    d.SetFormHeight(400);
    int refusals = 0;
    d.OnBeforeClose = [&](kv::TObject*, const std::u16string&, bool& action) {
        if (refusals++ == 0) action = false;
    };
    RECT first{};
    const Outcome o =
        ExecuteDriven(d, {[&] {
                              if (!Shown(d)) return false;
                              GetWindowRect(d.Handle(), &first);
                              PostClick(Wnd(d.CancelBtn()));
                              return true;
                          },
                          [&] {
                              // Refused once: still up.
                              if (refusals < 1 || !Shown(d)) return false;
                              SetWindowPos(d.Handle(), nullptr, 30, 40, 520, 410, SWP_NOZORDER);
                              PostClick(Wnd(d.CancelBtn()));
                              return true;
                          }});
    EXPECT_TRUE(o.finished && !o.timedOut);
    EXPECT_EQ(refusals, 2);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(first.left, (work.left + work.right - 500) / 2);
    EXPECT_EQ(first.top, (work.top + work.bottom - 400) / 2);
    EXPECT_EQ(d.FormLeft(), 30);
    EXPECT_EQ(d.FormTop(), 40);
    EXPECT_EQ(d.FormWidth(), 520);
    EXPECT_EQ(d.FormHeight(), 410);
}

TEST_F(FileDialogFolder, SaveDialogPathFromTheTypedName) {
    kv::TplSaveDialog d(nullptr);
    d.SetDirectory(Dir());
    d.SetFileExt(u".csv");
    d.SetFileName(u"前回.csv");
    std::u16string boxAtStart;
    bool okAtStart = false, okEmpty = true, okTyped = false;
    const Outcome o = ExecuteDriven(d, {[&] {
                                        if (!Shown(d)) return false;
                                        boxAtStart = d.FileEdit()->Text();
                                        okAtStart = d.OKBtn()->Enabled();
                                        SetWindowTextW(d.FileEdit()->Handle(), L"");
                                        okEmpty = d.OKBtn()->Enabled();
                                        SetWindowTextW(d.FileEdit()->Handle(), L"  新しい名前  ");
                                        okTyped = d.OKBtn()->Enabled();
                                        PostClick(Wnd(d.OKBtn()));
                                        return true;
                                    }});
    EXPECT_TRUE(o.finished && !o.timedOut);
    EXPECT_TRUE(o.result);
    EXPECT_EQ(Utf16ToUtf8(d.OKBtn()->Caption()), "保存");
    EXPECT_EQ(Utf16ToUtf8(boxAtStart), "前回");
    EXPECT_TRUE(okAtStart);
    EXPECT_FALSE(okEmpty);
    EXPECT_TRUE(okTyped);
    EXPECT_EQ(Utf16ToUtf8(d.FilePath()), Utf16ToUtf8(Dir() + u"\\新しい名前.csv"));
    EXPECT_EQ(Utf16ToUtf8(d.FileName()), "新しい名前");
}

TEST_F(FileDialogFolder, SaveDialogTakesTheSelectedRowsName) {
    kv::TplSaveDialog d(nullptr);
    d.SetDirectory(Dir());
    d.SetFileExt(u".csv");
    const Outcome o = ExecuteDriven(d, {[&] {
                                        if (!Shown(d)) return false;
                                        d.ListView()->FocusRow(RowOf(d, u"在庫"), true);
                                        PostClick(Wnd(d.OKBtn()));
                                        return true;
                                    }});
    EXPECT_TRUE(o.result);
    EXPECT_EQ(Utf16ToUtf8(d.FilePath()), Utf16ToUtf8(Dir() + u"\\在庫.csv"));
}

// ---- rename -----------------------------------------------------------------------------------

TEST_F(FileDialogFolder, RenameInPlaceAndItsFailures) {
    kvtest::TempFolder::Write(Path(u"外へ出す.csv"), "x");
    static const struct {
        const char* name;
        const char16_t* typed;
        const char* message; // empty: renamed without a message
    } kCases[] = {
        {"new name", u"売上2024", ""},
        {"name of an existing file", u"顧客一覧", "同名のファイルが既に存在します．"},
        {"path separator would move it", u"..\\売上データ",
         "名前の変更に失敗しました．不正な文字があるか.変更の権限がない可能性があります．"},
        {"forward slash would move it", u"sub/x",
         "名前の変更に失敗しました．不正な文字があるか.変更の権限がない可能性があります．"},
        {"dot dot", u"..",
         "名前の変更に失敗しました．不正な文字があるか.変更の権限がない可能性があります．"},
        {"invalid character", u"a*b",
         "名前の変更に失敗しました．不正な文字があるか.変更の権限がない可能性があります．"},
    };
    for (const auto& c : kCases) {
        const std::u16string oldName = u"外へ出す.csv";
        const std::u16string newName = std::u16string(c.typed) + u".csv";
        kv::TplOpenDialog d(nullptr);
        d.SetDirectory(Dir());
        d.SetFileExt(u".csv");
        SeenMessage seen;
        int row = -1;
        std::u16string rowCaption;
        Steps steps = {[&] {
                           if (!Shown(d)) return false;
                           row = RowOf(d, u"外へ出す");
                           d.ListView()->FocusRow(row, true);
                           PostKey(d.ListView()->Handle(), VK_F2);
                           return true;
                       },
                       [&] {
                           HWND editor = d.ListView()->EditControl();
                           if (!editor) return false;
                           SetWindowTextW(editor, reinterpret_cast<const wchar_t*>(c.typed));
                           PostKey(editor, VK_RETURN);
                           return true;
                       }};
        if (*c.message)
            AnswerMessage(steps, d, seen);
        else
            steps.push_back([&] { return Exists(newName); });
        steps.push_back([&] {
            if (!Shown(d) || d.ListView()->IsEditing()) return false;
            rowCaption = d.ListView()->GetItem(row).caption;
            PostClick(Wnd(d.CancelBtn()));
            return true;
        });
        const Outcome o = ExecuteDriven(d, steps);
        EXPECT_TRUE(o.finished && !o.timedOut) << c.name;
        EXPECT_EQ(seen.text.empty() ? std::string() : Utf16ToUtf8(seen.text), c.message) << c.name;
        if (*c.message) {
            EXPECT_TRUE(seen.centred) << c.name;
            EXPECT_TRUE(Exists(oldName)) << c.name;
            EXPECT_EQ(Utf16ToUtf8(rowCaption), "外へ出す") << c.name;
        } else {
            EXPECT_FALSE(Exists(oldName)) << c.name;
            EXPECT_EQ(Utf16ToUtf8(rowCaption), Utf16ToUtf8(c.typed)) << c.name;
            std::filesystem::rename(std::filesystem::path(Path(newName)),
                                    std::filesystem::path(Path(oldName)));
        }
        EXPECT_TRUE(Exists(u"顧客一覧.csv")) << c.name;
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(Dir()).parent_path() /
                                             std::filesystem::path(u"売上データ.csv")))
            << c.name;
    }
}

TEST_F(FileDialogFolder, RenameEventsDecide) {
    kv::TplOpenDialog d(nullptr);
    d.SetDirectory(Dir());
    d.SetFileExt(u".csv");
    std::vector<std::string> calls;
    d.OnReNameMenuClick = [&](kv::TObject*, const std::u16string& path, bool&) {
        calls.push_back("menu " + Utf16ToUtf8(kv::ExtractFileName(path)));
    };
    d.OnBeforeRename = [&](kv::TObject*, const std::u16string&, const std::u16string& to,
                           bool& action) {
        calls.push_back("before " + Utf16ToUtf8(kv::ExtractFileName(to)));
        action = to.find(u"拒否") == std::u16string::npos;
    };
    d.OnAfterRename = [&](kv::TObject*, const std::u16string&, const std::u16string& to,
                          bool flag) {
        calls.push_back("after " + Utf16ToUtf8(kv::ExtractFileName(to)) +
                        (flag ? " ok" : " failed"));
    };
    const auto renameTo = [&](const wchar_t* typed) -> Steps {
        return {[&d] {
                    d.ListView()->FocusRow(RowOf(d, u"在庫"), true);
                    PostKey(d.ListView()->Handle(), VK_F2);
                    return true;
                },
                [&d, typed] {
                    HWND editor = d.ListView()->EditControl();
                    if (!editor) return false;
                    SetWindowTextW(editor, typed);
                    PostKey(editor, VK_RETURN);
                    return true;
                },
                [&d] { return !d.ListView()->IsEditing(); }};
    };
    Steps steps = {[&] { return Shown(d); }};
    for (const wchar_t* typed : {L"拒否する名前", L"..\\上へ"})
        for (auto& s : renameTo(typed)) steps.push_back(s);
    steps.push_back([&] {
        if (calls.size() < 4) return false;
        PostClick(Wnd(d.CancelBtn()));
        return true;
    });
    const Outcome o = ExecuteDriven(d, steps);
    EXPECT_TRUE(o.finished && !o.timedOut);
    // The refused name is never tried; the separator is refused before anyone is asked, and
    // the failure goes to the event instead of a message.
    const std::vector<std::string> expected = {"menu 在庫.Csv", "before 拒否する名前.Csv",
                                               "menu 在庫.Csv", "after 上へ.Csv failed"};
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 4), expected);
    EXPECT_TRUE(Exists(u"在庫.Csv"));
    EXPECT_EQ(kvtest::FindThreadWindow(L"TMessageForm"), nullptr);
}

// ---- delete and the pop-up menu ---------------------------------------------------------------

TEST_F(FileDialogFolder, DeleteRemovesTheRowAndSelectsTheNext) {
    kv::TplOpenDialog d(nullptr);
    d.SetDirectory(Dir());
    d.SetFileExt(u".csv");
    Names after;
    int selected = -1;
    bool popupBefore = false, popupWithout = true;
    const Outcome o = ExecuteDriven(d, {[&] {
                                            if (!Shown(d)) return false;
                                            d.ListView()->FocusRow(RowOf(d, u"売上データ"), true);
                                            d.PopupMenu()->OnPopup(d.PopupMenu());
                                            popupBefore = d.PopFileDelete()->Visible() &&
                                                          d.PopFileDelete()->Enabled() &&
                                                          d.PopFileRename()->Visible();
                                            PostKey(d.ListView()->Handle(), VK_DELETE);
                                            return true;
                                        },
                                        [&] {
                                            if (Exists(u"売上データ.csv")) return false;
                                            after = Rows(d);
                                            selected = d.ListView()->ItemIndex();
                                            d.ListView()->FocusRow(-1, false);
                                            d.PopupMenu()->OnPopup(d.PopupMenu());
                                            popupWithout = d.PopFileDelete()->Visible() ||
                                                           d.PopFileRename()->Visible();
                                            PostClick(Wnd(d.CancelBtn()));
                                            return true;
                                        }});
    EXPECT_TRUE(o.finished && !o.timedOut);
    EXPECT_TRUE(popupBefore);
    EXPECT_FALSE(popupWithout);
    EXPECT_EQ(Joined(after), Joined({u"apple", u"Box集計", u"在庫", u"売上データ2", u"顧客一覧"}));
    ASSERT_GE(selected, 0);
    EXPECT_EQ(Utf16ToUtf8(after[static_cast<size_t>(selected)]), "売上データ2");
}

TEST_F(FileDialogFolder, DeletingTheOnlyRowDisablesOK) {
    kv::TplOpenDialog d(nullptr);
    d.SetDirectory(Dir());
    d.SetFileExt(u".txt");
    d.SetFindText(u"顧客");
    bool okBefore = false, okAfter = true;
    int rowsAfter = -1;
    const Outcome o = ExecuteDriven(d, {[&] {
                                            if (!Shown(d)) return false;
                                            okBefore = d.OKBtn()->Enabled();
                                            PostKey(d.ListView()->Handle(), VK_DELETE);
                                            return true;
                                        },
                                        [&] {
                                            if (Exists(u"顧客メモ.txt")) return false;
                                            okAfter = d.OKBtn()->Enabled();
                                            rowsAfter = d.ListView()->ItemCount();
                                            PostClick(Wnd(d.CancelBtn()));
                                            return true;
                                        }});
    EXPECT_TRUE(o.finished && !o.timedOut);
    EXPECT_TRUE(okBefore);
    EXPECT_FALSE(okAfter);
    EXPECT_EQ(rowsAfter, 0);
}

TEST_F(FileDialogFolder, DeleteFailuresAndEvents) {
    kvtest::TempFolder::Write(Path(u"読取専用.csv"), "x");
    SetFileAttributesW(W(Path(u"読取専用.csv")), FILE_ATTRIBUTE_READONLY);
    static const struct {
        const char* name;
        const char16_t* row;
        bool refuseBefore;
        bool afterHandler;
        const char* message;
        bool gone;
    } kCases[] = {
        {"read-only file", u"読取専用", false, false,
         "削除できません．ファイルは読出し専用か削除の権限がありません．", false},
        {"refused before", u"apple", true, false, "", false},
        {"failure to the event", u"読取専用", false, true, "", false},
        {"success to the event", u"apple", false, true, "", true},
    };
    for (const auto& c : kCases) {
        kv::TplOpenDialog d(nullptr);
        d.SetDirectory(Dir());
        d.SetFileExt(u".csv");
        std::vector<std::string> events;
        DWORD lastError = 0;
        d.OnBeforeDelete = [&](kv::TObject*, const std::u16string&, bool& action) {
            events.push_back("before");
            action = !c.refuseBefore;
        };
        if (c.afterHandler)
            d.OnAfterDelete = [&](kv::TObject*, const std::u16string&, bool flag) {
                lastError = GetLastError();
                events.push_back(flag ? "after ok" : "after failed");
            };
        SeenMessage seen;
        Steps steps = {[&] {
            if (!Shown(d)) return false;
            d.ListView()->FocusRow(RowOf(d, c.row), true);
            PostKey(d.ListView()->Handle(), VK_DELETE);
            return true;
        }};
        if (*c.message)
            AnswerMessage(steps, d, seen);
        else
            steps.push_back(
                [&] { return !events.empty() && (events.size() > 1 || c.refuseBefore); });
        steps.push_back(CancelWhenShown(d));
        const Outcome o = ExecuteDriven(d, steps);
        EXPECT_TRUE(o.finished && !o.timedOut) << c.name;
        EXPECT_EQ(seen.text.empty() ? std::string() : Utf16ToUtf8(seen.text), c.message) << c.name;
        EXPECT_EQ(Exists(std::u16string(c.row) + u".csv"), !c.gone) << c.name;
        if (c.afterHandler && !c.gone) {
            EXPECT_NE(lastError, 0u) << c.name;
        }
        if (*c.message) {
            EXPECT_TRUE(seen.centred) << c.name;
        }
    }
}

// ---- folder button ----------------------------------------------------------------------------

// Plays the shell's folder browser: announces the start and a selection of `select`, then
// answers with `answer` (or cancels when it is empty).
class BrowseServices : public kv::TServices {
public:
    BrowseServices() : previous_(kv::SetServices(this)) {}
    ~BrowseServices() override { kv::SetServices(previous_); }
    PIDLIST_ABSOLUTE BrowseForFolder(BROWSEINFOW& info) override {
        ++calls;
        title = reinterpret_cast<const char16_t*>(info.lpszTitle ? info.lpszTitle : L"");
        HWND fake = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, info.hwndOwner,
                                    nullptr, GetModuleHandleW(nullptr), nullptr);
        info.lpfn(fake, BFFM_INITIALIZED, 0, info.lParam);
        PIDLIST_ABSOLUTE selected =
            ILCreateFromPathW(reinterpret_cast<const wchar_t*>(select.c_str()));
        info.lpfn(fake, BFFM_SELCHANGED, reinterpret_cast<LPARAM>(selected), info.lParam);
        ILFree(selected);
        if (onSelected) onSelected();
        DestroyWindow(fake);
        if (answer.empty()) return nullptr;
        return ILCreateFromPathW(reinterpret_cast<const wchar_t*>(answer.c_str()));
    }
    int calls = 0;
    std::u16string title, select, answer;
    std::function<void()> onSelected;

private:
    kv::TServices* previous_;
};

TEST_F(FileDialogFolder, FolderButtonListsTheChosenFolderOrRestores) {
    const std::u16string sub = Path(u"サブフォルダ");
    std::filesystem::create_directory(std::filesystem::path(sub));
    kvtest::TempFolder::Write(sub + u"\\中身.csv", "x");
    static const struct {
        const char* name;
        bool choose;
    } kCases[] = {{"folder chosen", true}, {"cancelled", false}};
    for (const auto& c : kCases) {
        BrowseServices services;
        services.select = sub;
        services.answer = c.choose ? sub : u"";
        kv::TplOpenDialog d(nullptr);
        d.SetDirectory(Dir());
        d.SetFileExt(u".csv");
        d.SetOptions(kv::DialogOption(kv::doFolderBtn));
        d.SetBrowseTitle(u"フォルダを選んでください");
        Names whileOpen, after;
        int selectedAfter = -2;
        services.onSelected = [&] { whileOpen = Rows(d); };
        const Outcome o = ExecuteDriven(d, {[&] {
                                                if (!Shown(d)) return false;
                                                d.ListView()->FocusRow(RowOf(d, u"在庫"), true);
                                                kvtest::PostMouseClick(Wnd(d.FolderBtn()));
                                                return true;
                                            },
                                            [&] {
                                                if (services.calls == 0 || !Shown(d)) return false;
                                                after = Rows(d);
                                                selectedAfter = d.ListView()->ItemIndex();
                                                PostClick(Wnd(d.CancelBtn()));
                                                return true;
                                            }});
        EXPECT_TRUE(o.finished && !o.timedOut) << c.name;
        EXPECT_EQ(services.calls, 1) << c.name;
        EXPECT_EQ(Utf16ToUtf8(services.title), "フォルダを選んでください") << c.name;
        EXPECT_EQ(Joined(whileOpen), Joined({u"中身"})) << c.name;
        if (c.choose) {
            EXPECT_EQ(Utf16ToUtf8(d.Directory()), Utf16ToUtf8(sub)) << c.name;
            EXPECT_EQ(Joined(after), Joined({u"中身"})) << c.name;
        } else {
            EXPECT_EQ(Utf16ToUtf8(d.Directory()), Utf16ToUtf8(Dir())) << c.name;
            EXPECT_EQ(after.size(), 6u) << c.name;
            ASSERT_GE(selectedAfter, 0) << c.name;
            EXPECT_EQ(Utf16ToUtf8(after[static_cast<size_t>(selectedAfter)]), "在庫") << c.name;
        }
        // A browser without a place of its own opens by the dialog's top right corner.
        EXPECT_EQ(d.BrowseFolder()->FormLeft(), d.FormLeft() + d.FormWidth() - 371) << c.name;
        EXPECT_EQ(d.BrowseFolder()->FormTop(), d.FormTop() + 40) << c.name;
    }
}

// ---- form description and the picture for the documentation ---------------------------------

class TDialogHostForm : public kv::TForm {
    KV_CLASS(TDialogHostForm)
public:
    TDialogHostForm() : TForm(kv::Application) {
        RegisterHandler<void(kv::TObject*)>(u"SaveDialogShow", [this](kv::TObject*) { ++shows; });
        BindField(u"SaveDialog1", SaveDialog1);
        BindField(u"BrowseFolder1", BrowseFolder1);
        ReadForm(u"FILEDIALOGHOSTFORM");
    }
    kv::TplSaveDialog* SaveDialog1 = nullptr;
    kv::TplBrowseFolder* BrowseFolder1 = nullptr;
    int shows = 0;
};

TEST(XFileDialogForm, ReadFromAFormDescription) {
    TDialogHostForm host;
    ASSERT_NE(host.SaveDialog1, nullptr);
    kv::TplSaveDialog& d = *host.SaveDialog1;
    EXPECT_EQ(Utf16ToUtf8(d.AboutVCL()), "Version 9.02");
    EXPECT_EQ(Utf16ToUtf8(d.FileExt()), ".csv");
    EXPECT_EQ(Utf16ToUtf8(d.Title()), "結果を保存");
    EXPECT_EQ(d.Options(), kv::DialogOption(kv::doFindBtn) | kv::DialogOption(kv::doFolderBtn));
    EXPECT_EQ(d.ImeMode(), kv::imHira);
    EXPECT_TRUE(d.DisplayDirectory());
    EXPECT_FALSE(d.DisplayGridLines());
    EXPECT_EQ(d.FormWidth(), 480);
    // Built at the end of loading, with the layout of the options.
    ASSERT_NE(d.DialogForm(), nullptr);
    EXPECT_TRUE(d.TopPanel()->Visible());
    EXPECT_TRUE(d.FindBtn()->Visible());
    EXPECT_EQ(d.FindBtn()->Left(), d.FolderBtn()->Left() - 24 - 4);
    EXPECT_EQ(d.OKBtn()->Left(), d.CancelBtn()->Left() - 75 - 2);
    EXPECT_EQ(Utf16ToUtf8(d.BrowseFolder()->Title()), "フォルダ");
    ASSERT_NE(host.BrowseFolder1, nullptr);
    EXPECT_EQ(host.BrowseFolder1->RootSpecialDir(), kv::sfPersonal);
    EXPECT_EQ(host.BrowseFolder1->Options(),
              kv::BrowseOption(kv::bifNewDialogStyle) | kv::BrowseOption(kv::bifReturnOnlyFSDirs));
    EXPECT_EQ(host.BrowseFolder1->FormHeight(), 311);
    d.OnShow(&d);
    EXPECT_EQ(host.shows, 1);
}

TEST_F(FileDialogFolder, PictureForTheDocumentation) {
    kv::TplOpenDialog d(nullptr);
    d.SetDirectory(Dir());
    d.SetFileExt(u"");
    d.SetDisplayDirectory(true);
    d.SetOptions(kv::DialogOption(kv::doFindBtn) | kv::DialogOption(kv::doFolderBtn));
    d.SetFormLeft(40);
    d.SetFormTop(40);
    d.SetFormWidth(460);
    d.SetFormHeight(380);
    const char* target = std::getenv("KOLVANE_FILEDLG_SCREENSHOT");
    const std::filesystem::path path =
        target ? std::filesystem::path(target)
               : std::filesystem::temp_directory_path() / "kolvane_file_dialog.png";
    bool saved = false;
    DWORD shownAt = 0;
    const Outcome o =
        ExecuteDriven(d, {[&] {
                              if (!Shown(d)) return false;
                              d.ListView()->FocusRow(RowOf(d, u"売上データ"), true);
                              shownAt = GetTickCount();
                              return true;
                          },
                          [&] {
                              if (GetTickCount() - shownAt < 400) return false;
                              RECT area{};
                              GetWindowRect(d.Handle(), &area);
                              saved = kv::SaveScreenshotPng(kv::Utf8ToUtf16(path.string()), &area);
                              PostClick(Wnd(d.CancelBtn()));
                              return true;
                          }});
    EXPECT_TRUE(o.finished && !o.timedOut);
    EXPECT_TRUE(saved);
    std::string head(8, '\0');
    std::ifstream(path, std::ios::binary).read(head.data(), 8);
    EXPECT_EQ(head, "\x89PNG\r\n\x1a\n");
}

} // namespace
