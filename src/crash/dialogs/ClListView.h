#pragma once
// The report list views of the exception dialog (call stack, modules, processes): owner-drawn
// report-style list view controls whose rows fold one level under parent rows, and DrawBmp, the
// dialogs' transparent bitmap drawing. The row model and the fold walk are portable; the control
// side (TListViewItems, DrawBmp) is Win32. Interface thread only.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "crash/core/ClCore.h"

#ifdef _WIN32
#include <windows.h>

#include <commctrl.h>

#include "ui/Graphics.h"
#endif

namespace kv::crash {

// One row of a list view.
struct TListViewItemRec {
    uintptr_t hList = 0; // the list view (an HWND)
    TStrings Cols;       // the cell texts, column 0 first
    int32_t Bmp = -1;    // icon index 0-3, -1 for none
    int32_t WidthStep = 0;
    intptr_t Param = 0; // the caller's value
    bool IsParent = false;
    bool Expanded = false;
    bool Empty = false;   // not a parent and every cell blank
    bool Visible = false; // the row is in the control
    std::string Header;   // caption of a parent row
    // The last non-empty row added before this one; nullptr after an empty row. Not owned.
    TListViewItemRec* Parent = nullptr;
};
using PListViewItemRec = TListViewItemRec*;

// One change of the control that a fold or unfold asks for, in order: Row inserted at control
// index At, or the control's item at At removed (Row is the row it showed).
struct TListViewFoldStep {
    bool Insert = false;
    PListViewItemRec Row = nullptr;
    int At = 0;
    bool operator==(const TListViewFoldStep&) const = default;
};

// Whether every text is blank (nothing but characters up to the blank); true for no texts.
bool IsBlankRow(const TStrings& Values);

// Whether a point, relative to a parent row's rectangle, lies on its fold sign: x from s + 2 to
// s + 12 and y from 2 to 12, s being 0 for a row without Parent, else Step.
bool IsOnFoldSign(const TListViewItemRec& Row, int X, int Y, int32_t Step);

// The indent of a nested row: the shortest run of spaces that Width (pixels of a text in the
// list's font) finds at least 14 pixels wide, and that width. A font whose spaces never get
// there (width 0) stops at 64 spaces.
struct TListViewIndent {
    std::string Spaces;
    int32_t Width = 0;
};
TListViewIndent MeasureIndent(const std::function<int(std::string_view)>& Width);

// The caption colour of a parent row (0x00BBGGRR): navy for Param 1, maroon for 3, grey else.
uint32_t ParentCaptionColour(intptr_t Param);

// The horizontal extent of a cell's text inside its column (ColumnLeft to ColumnRight): 20 in
// from the left for column 0 (room for the icon), 6 for the others; 6 in from the right, 2 past
// it for column 0.
struct TCellTextSpan {
    int Left = 0, Right = 0;
    bool operator==(const TCellTextSpan&) const = default;
};
TCellTextSpan CellTextSpan(int ColumnLeft, int ColumnRight, int Column);

// The rows of a list view in the order they were added, owning their records, with the rules of
// adding rows and of folding them that need no control.
class TListViewRows {
public:
    TListViewRows() = default;
    virtual ~TListViewRows() = default;
    TListViewRows(const TListViewRows&) = delete;
    TListViewRows& operator=(const TListViewRows&) = delete;

    int Count() const { return static_cast<int>(items_.size()); }
    // The row at Index, still owned by the list; nullptr out of range.
    PListViewItemRec GetItem(int Index) const;
    // The index of a row of this list; -1 for any other pointer.
    int IndexOf(const TListViewItemRec* Item) const;
    // Frees one row (out of range: nothing). Rows whose Parent it was lose it.
    virtual void Delete(int Index);
    // Frees every row and starts the next row at level 0 without a Parent.
    virtual void Clear();

    // Appends a row by the adding rules: Empty for a non-parent row of blank texts; a parent
    // raises the level by 1, an empty row puts it back to 0; a non-empty row at level 2 or more
    // gets WidthStep 1 and the indent spaces in front of its first cell; Parent is the last
    // non-empty row added since the last empty one. Expanded and Visible start true.
    PListViewItemRec AppendRow(const TStrings& Values, int32_t Bmp, intptr_t Param, bool IsParent,
                               const std::string& Header);
    // Folds or unfolds a parent row shown at control index ParentAt: flips Expanded and sets
    // Visible of the rows after it up to the next empty row (a nested parent that stays folded
    // ends an unfold after itself). Returns the control changes, to be made in order. Nothing
    // for a row that is no parent of this list.
    std::vector<TListViewFoldStep> ToggleFold(PListViewItemRec Row, int ParentAt);

    int32_t Level() const { return FLevel; }
    int32_t Step() const { return FStep; }
    const std::string& Spaces() const { return FSpaces; }
    // The indent of nested rows; measured when the first row comes.
    void SetIndent(const TListViewIndent& Indent);

protected:
    PListViewItemRec FLastParent = nullptr; // not owned
    std::string FSpaces;
    int32_t FLevel = 0;
    int32_t FStep = 0;

private:
    std::vector<std::unique_ptr<TListViewItemRec>> items_;
};

#ifdef _WIN32

// Draws Width x Height of Bitmap at (X, Y) of DC with the colour of the bitmap's top-left pixel
// transparent. Nothing for a null DC or bitmap.
void DrawBmp(HDC DC, HBITMAP Bitmap, int X, int Height, int Width, int Y);

// The rows of one owner-drawn report list view (LVS_REPORT | LVS_OWNERDRAWFIXED): puts them
// into the control, draws them for WM_DRAWITEM and folds them. Rows are drawn on the control's
// own device context, not the message's, so the control must not buffer its painting
// (LVS_EX_DOUBLEBUFFER). The object makes the control share its image list
// (LVS_SHAREIMAGELISTS) so that only the object frees it; the control may be destroyed first.
class TListViewItems : public TListViewRows {
public:
    // Takes the control's device context, loads the bitmaps "CL_DLL", "CL_BPL", "CL_VCL",
    // "CL_PAS" (icons 0-3, also the control's small image list), "CL_PLUS" and "CL_MINUS" from
    // this module's resources and makes the brushes.
    explicit TListViewItems(HWND AhList);
    ~TListViewItems() override;

    // Appends a row (see AppendRow) and inserts it at the end of the control. The first row
    // after creation or Clear reads the columns and makes the fonts (InitializeData).
    PListViewItemRec AddRow(const TStrings& Values, int32_t Bmp, intptr_t Param, bool IsParent,
                            const std::string& Header);
    // Puts a row into the control at Index (-1: at the end): column 0 as the item text, the
    // others as subitem texts, the row as the item's parameter.
    void InsertItem(PListViewItemRec Item, int Index);
    void DeleteItem(int Index);
    void RedrawItems(int First, int Last);
    void SetRedrawState(bool On);
    // Folds or unfolds the parent row at control index Index. Point is in the control's client
    // coordinates; with OnSign only a point on the row's sign counts. Other rows: nothing.
    void ClickOnItem(int Index, POINT Point, bool OnSign);
    // A row out of the list also leaves the control.
    void Delete(int Index) override;
    // Empties the control and the list and frees the bold font (made again by the next row).
    void Clear() override;
    // The row stored as the parameter of control item Index; nullptr when there is none.
    PListViewItemRec GetItemParam(int Index) const;
    // Draws one row for WM_DRAWITEM; always true (handled).
    bool DrawList(const DRAWITEMSTRUCT& DrawItemStruct);
    // Reads column count and alignments from the control and makes the bold font and the indent.
    void InitializeData();

    HWND Handle() const { return FhList; }
    int32_t ColCount() const { return FColCount; }

private:
    // Owns an image list: ImageList_Destroy.
    class OwnedImageList {
    public:
        explicit OwnedImageList(HIMAGELIST h = nullptr) noexcept : h_(h) {}
        ~OwnedImageList() {
            if (h_) ImageList_Destroy(h_);
        }
        OwnedImageList(const OwnedImageList&) = delete;
        OwnedImageList& operator=(const OwnedImageList&) = delete;
        HIMAGELIST get() const noexcept { return h_; }

    private:
        HIMAGELIST h_;
    };

    void TakeListDCObjects(HDC From);
    void RestoreListDC();

    HWND FhList;
    kv::WindowDC FListDC;
    kv::GdiObject<HBRUSH> BackgroundBrushSelected, BackgroundBrushUnselected;
    kv::GdiObject<HBRUSH> FrameBrushSelected, FrameBrushUnselected;
    kv::GdiObject<HBRUSH> BottomBrush, LineBrush;
    kv::GdiObject<HFONT> FFont;
    bool FInitDC = false;
    kv::GdiObject<HBITMAP> fBmp[4];
    kv::GdiObject<HBITMAP> fPlus, fMinus;
    OwnedImageList fImageList;
    UINT FColAlign[16] = {}; // DT_LEFT, DT_RIGHT or DT_CENTER
    int32_t FColCount = 0;
    // What FListDC held before the first row was drawn, put back before it is released.
    HGDIOBJ oldFont_ = nullptr, oldPen_ = nullptr, oldBrush_ = nullptr, oldBitmap_ = nullptr;
    HPALETTE oldPalette_ = nullptr;
};

#endif

} // namespace kv::crash
