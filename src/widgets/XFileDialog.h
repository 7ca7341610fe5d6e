#pragma once
// File open and save dialogs that build their own window instead of the system's common
// dialog: a modal form with an optional directory line and find / folder buttons at the top, a
// one-column list of the plain files of one directory (rename in place, delete) and, at the
// bottom, an optional file-name box with OK and Cancel. One dialog executes at a time.
// Windows only; interface thread only.
#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ui/ComCtrls.h"
#include "ui/Component.h"
#include "ui/Graphics.h"
#include "widgets/XFileDialogDataList.h"
#include "widgets/XFileDialogRules.h"

namespace kv {

class TForm;
class TPanel;
class TLabel;
class TEdit;
class TButton;
class TPopupMenu;
class TMenuItem;
class TImageList;
class TplBrowseFolder;
class TplCustomFileDialog;
class TXFileDialogToolButton;

enum TImeMode {
    imDisable,
    imClose,
    imOpen,
    imDontCare,
    imSAlpha,
    imAlpha,
    imHira,
    imSKata,
    imKata,
    imChinese,
    imSHanguel,
    imHanguel
};
// Applies an input-method mode to a window's input context (imDontCare leaves it alone;
// imDisable takes the window's context away).
void ApplyImeMode(HWND wnd, TImeMode mode);

enum TplDialogOption { doFindBtn, doFolderBtn };
// A set of dialog options: bit i is the option of ordinal i.
using TplDialogOptions = unsigned;
constexpr TplDialogOptions DialogOption(TplDialogOption o) {
    return 1u << o;
}

enum TCustomDrawStage { cdPrePaint, cdPostPaint, cdPreErase, cdPostErase };
// The row's drawing state as the list view reports it (CDIS_SELECTED, CDIS_FOCUS, ...).
using TCustomDrawState = unsigned;

using TFilePathActionEvent =
    std::function<void(TObject* sender, const std::u16string& filePath, bool& action)>;
using TFileRenameEvent = std::function<void(TObject* sender, const std::u16string& oldFilePath,
                                            const std::u16string& newFilePath, bool& action)>;
using TFileDeletedEvent =
    std::function<void(TObject* sender, const std::u16string& filePath, bool flag)>;
using TFileRenamedEvent = std::function<void(TObject* sender, const std::u16string& oldFilePath,
                                             const std::u16string& newFilePath, bool flag)>;
using TFindBtnClickEvent = std::function<void(TObject* sender, const std::u16string& directory,
                                              bool& defautEvent, std::u16string& andFindText)>;
using TFolderBtnClickEvent =
    std::function<void(TObject* sender, const std::u16string& directory, bool& defautEvent)>;
using TFileListedEvent =
    std::function<void(TObject* sender, const std::u16string& directory, int count,
                       TXFileDialogDataList* itemList, std::u16string& text)>;
// Sender is the list view; its Canvas() draws on the row while the handler runs.
using TAdvancedCustomDrawItemEvent = std::function<void(
    TObject* sender, int item, TCustomDrawState state, TCustomDrawStage stage, bool& defaultDraw,
    HIMAGELIST imgListHandle, TXFileDialogDataList* itemList)>;

// The dialog's list of files: report style, one column, rows asked for on demand, caption
// editing started only by the dialog's rename command.
class TXFileDialogListView : public TListView {
    KV_CLASS(TXFileDialogListView)
public:
    explicit TXFileDialogListView(TComponent* owner);

    TplCustomFileDialog* Dialog = nullptr; // not owned

    // The row being custom drawn (inside OnAdvancedCustomDrawItem only).
    TCanvas& Canvas() { return canvas_; }
    // The in-place editor of a row's caption, or null when no row is being edited.
    HWND EditControl() const;
    bool IsEditing() const { return EditControl() != nullptr; }
    // The number of selected rows.
    int SelCount() const;
    // Focuses (and, with select, selects) one row; -1 clears selection and focus.
    void FocusRow(int index, bool select);
    // The row with the focus rectangle, -1 when none.
    int FocusedRow() const;
    void SetSystemSmallImages(HIMAGELIST images);
    void SetStateImages(HIMAGELIST images);

protected:
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;

private:
    friend class TplCustomFileDialog;
    bool editAllowed_ = false; // set while the rename command starts an edit
    int renamedRow_ = -1;      // the edit that ended, handled once the editor is gone
    std::u16string renamedText_;
    TCanvas canvas_;
};

class TplCustomFileDialog : public TComponent {
    KV_CLASS(TplCustomFileDialog)
public:
    explicit TplCustomFileDialog(TComponent* owner);
    ~TplCustomFileDialog() override;

    // Builds the dialog's form after the inherited step (once).
    void Loaded() override;
    // Lists Directory in a modal form; true when the dialog was closed by OK (Enter or a
    // double click on a row). FilePath and FileName then hold the choice.
    virtual bool Execute();
    // Lists Directory again with FindText, FileExt and the find prompt's text, selecting
    // nothing (while the dialog executes).
    void GetFilesList();

    const std::u16string& AboutVCL() const { return FAboutVCL; }
    int FormTop() const { return FFormTop; }
    void SetFormTop(int v) { FFormTop = v; }
    int FormLeft() const { return FFormLeft; }
    void SetFormLeft(int v) { FFormLeft = v; }
    int FormHeight() const { return FFormHeight; }
    void SetFormHeight(int v) { FFormHeight = v; }
    int FormWidth() const { return FFormWidth; }
    void SetFormWidth(int v) { FFormWidth = v; }
    TFont& Font() { return *FFont; }
    // Copies the font.
    void SetFont(const TFont& font);
    // The wanted extension with its dot; empty or holding "*" for all files.
    const std::u16string& FileExt() const { return FFileExt; }
    void SetFileExt(const std::u16string& v) { FFileExt = v; }
    const std::u16string& Directory() const { return FDirectory; }
    void SetDirectory(const std::u16string& v) { FDirectory = v; }
    const std::u16string& Title() const { return FTitle; }
    void SetTitle(const std::u16string& v) { FTitle = v; }
    const std::u16string& FindText() const { return FFindText; }
    void SetFindText(const std::u16string& v) { FFindText = v; }
    TImeMode ImeMode() const { return FImeMode; }
    // Also applied to the file-name box once the form exists.
    void SetImeMode(TImeMode v);
    bool DisplayDirectory() const { return FDisplayDirectory; }
    void SetDisplayDirectory(bool v) { FDisplayDirectory = v; }
    bool DisplayIcon() const { return FDisplayIcon; }
    void SetDisplayIcon(bool v) { FDisplayIcon = v; }
    bool DisplayGridLines() const { return FDisplayGridLines; }
    void SetDisplayGridLines(bool v) { FDisplayGridLines = v; }
    TplDialogOptions Options() const { return FOptions; }
    void SetOptions(TplDialogOptions v) { FOptions = v; }
    const std::u16string& RootDir() const { return FRootDir; }
    void SetRootDir(const std::u16string& v) { FRootDir = v; }
    const std::u16string& BrowseTitle() const { return FBrowseTitle; }
    void SetBrowseTitle(const std::u16string& v) { FBrowseTitle = v; }
    const std::u16string& BrowseCaption() const { return FBrowseCaption; }
    void SetBrowseCaption(const std::u16string& v) { FBrowseCaption = v; }

    // The outcome of the last close.
    const std::u16string& FilePath() const { return FFilePath; }
    const std::u16string& FileName() const { return FFileName; }
    TModalResult ModalResult() const { return FModalResult; }
    // The text the find prompt last accepted.
    const std::u16string& AndFindText() const { return FAndFindText; }
    // The form's window (null before the form is built).
    HWND Handle() const { return FHandle; }

    // The parts of the built form (null before it is built).
    TForm* DialogForm() const { return FDialogForm; }
    TPanel* TopPanel() const { return FTopPanel; }
    TPanel* ListPanel() const { return FListPanel; }
    TPanel* BottomPanel() const { return FBottomPanel; }
    TLabel* DirectoryLabel() const { return FDirectoryLabel; }
    TXFileDialogListView* ListView() const { return FListView; }
    TEdit* FileEdit() const { return FFileEdit; }
    TButton* OKBtn() const { return FOKBtn; }
    TButton* CancelBtn() const { return FCancelBtn; }
    TControl* FindBtn() const;
    TControl* FolderBtn() const;
    TplBrowseFolder* BrowseFolder() const { return FBrowseFolder; }
    TPopupMenu* PopupMenu() const { return FPopupMenu; }
    TMenuItem* PopFileRename() const { return FPopFileRename; }
    TMenuItem* PopFileDelete() const { return FPopFileDelete; }
    // The rows of the executing dialog (null when none executes).
    static TXFileDialogDataList* DataList();

    TNotifyEvent OnShow;
    TFilePathActionEvent OnBeforeDelete, OnBeforeClose, OnReNameMenuClick;
    TFileRenameEvent OnBeforeRename;
    TFileDeletedEvent OnAfterDelete;
    TFileRenamedEvent OnAfterRename;
    TFindBtnClickEvent OnFindBtnClick;
    TFolderBtnClickEvent OnFolderBtnClick;
    TFileListedEvent OnFileListed;
    TAdvancedCustomDrawItemEvent OnAdvancedCustomDrawItem;

    // The commands of the form's buttons, keys and menu, as the user gives them.
    void FindBtnClick();
    void FolderBtnClick();
    void RenameSelected();
    void DeleteSelected();

protected:
    virtual bool IsSaveDialog() const { return false; }
    // Runs the shared part of Execute (the open and save dialogs prepare the form first).
    bool ExecuteShared();
    void BuildForm();

    // Stored results.
    std::u16string FFilePath, FFileName;

private:
    friend class TXFileDialogListView;
    static LRESULT CALLBACK FormWndProc(HWND wnd, UINT msg, WPARAM w, LPARAM l);
    static LRESULT CALLBACK EditorWndProc(HWND wnd, UINT msg, WPARAM w, LPARAM l);
    void WrapFormProc();
    void FormMessage(UINT msg, WPARAM w, LPARAM l);
    void ApplyLayout();
    void PlaceDirectoryLabel();
    int DirectoryLabelWidth() const;
    void SetFilesListToItems(const std::u16string& directory, const std::u16string& findText,
                             bool selectLast, const std::u16string& ext,
                             const std::u16string& andFindText);
    void ShowDirectoryLine(const std::u16string& text);
    void FormShowing();
    void FormSized();
    void OtherWindowActivated(HWND other);
    void FormCloseQuery(bool& canClose);
    void FormKeyDown(WORD& key);
    void ListData(TListItem& item);
    void ListCacheHint(int from, int to);
    void ListSelectionChanged();
    void ListDblClick();
    void ListEditStarted(HWND editor);
    void ListEditEnded(int index, const std::u16string& typed);
    LRESULT ListCustomDraw(NMLVCUSTOMDRAW& cd);
    void PopupMenuPopup();
    void FileEditChange();
    void BrowseSelectionChanged(const std::u16string& directory);
    void SetColumnToClientWidth(int rightMargin);
    void Inform(const std::u16string& text);
    int SystemIconIndex(const std::u16string& path) const;
    TXFileDialogDataListItem* SelectedItem() const;

    // Fields in the order the component keeps them.
    uint32_t FOSVersionValueMajor = 0, FOSVersionValueMinor = 0;
    bool FIsOSBeforeVista = false;
    std::u16string FAboutVCL;
    TForm* FDialogForm = nullptr; // owned as a component
    int FFormLeft = 0, FFormTop = 0, FFormHeight = 0, FFormWidth = 0;
    HIMAGELIST FImgListHandle = nullptr; // the system's, not owned
    TPanel* FTopPanel = nullptr;         // the controls belong to the form
    TPanel* FListPanel = nullptr;
    TPanel* FBottomPanel = nullptr;
    TLabel* FDirectoryLabel = nullptr;
    TXFileDialogListView* FListView = nullptr;
    int FListViewItemHeight = 19;
    TImageList* FStateImgList = nullptr;
    TEdit* FFileEdit = nullptr;
    TButton* FOKBtn = nullptr;
    TButton* FCancelBtn = nullptr;
    TXFileDialogToolButton* FFindBtn = nullptr;
    TXFileDialogToolButton* FFolderBtn = nullptr;
    TplBrowseFolder* FBrowseFolder = nullptr;
    int FMargin = 4;
    TPopupMenu* FPopupMenu = nullptr;
    TMenuItem* FPopFileRename = nullptr;
    TMenuItem* FPopFileDelete = nullptr;
    std::u16string FAndFindText;
    int FItemRightMargin = 0;
    int FFontSize = 9;
    std::unique_ptr<TFont> FFont;
    HWND FHandle = nullptr;
    std::u16string FFileExt, FDirectory, FTitle, FFindText;
    TImeMode FImeMode = imDontCare;
    TModalResult FModalResult = mrNone;
    bool FDisplayDirectory = false, FDisplayIcon = true, FDisplayGridLines = true;
    TplDialogOptions FOptions = 0;
    std::u16string FRootDir, FBrowseTitle, FBrowseCaption, FDirectoryLabelText;
    WNDPROC FPrevFormProc = nullptr;
    WNDPROC FPrevEditorProc = nullptr;
    bool FBuilt = false;
    bool FPlacingOther = false;
};

class TplOpenDialog : public TplCustomFileDialog {
    KV_CLASS(TplOpenDialog)
public:
    explicit TplOpenDialog(TComponent* owner);
    // OK reads "開く" and starts disabled; no file-name box.
    bool Execute() override;
};

class TplSaveDialog : public TplCustomFileDialog {
    KV_CLASS(TplSaveDialog)
public:
    explicit TplSaveDialog(TComponent* owner);
    // OK reads "保存" and starts disabled; the file-name box shows FileName without its
    // extension.
    bool Execute() override;
    void SetFileName(const std::u16string& v) { FFileName = v; }

protected:
    bool IsSaveDialog() const override { return true; }
};

// Registers the dialogs and the folder browser with the form reader's class registry, so
// that form descriptions may place them (idempotent).
void RegisterXFileDialogClasses();

} // namespace kv
