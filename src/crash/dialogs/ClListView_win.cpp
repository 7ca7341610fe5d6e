#include "crash/dialogs/ClListView.h"

#include <algorithm>
#include <climits>

namespace kv::crash {

namespace {

// A memory DC compatible with another: CreateCompatibleDC / DeleteDC.
class MemoryDC {
public:
    explicit MemoryDC(HDC compatibleWith) noexcept : dc_(CreateCompatibleDC(compatibleWith)) {}
    ~MemoryDC() {
        if (dc_) DeleteDC(dc_);
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    HDC get() const noexcept { return dc_; }

private:
    HDC dc_;
};

// Switches the control's drawing off for the scope and back on, whatever happens between.
class RedrawOff {
public:
    explicit RedrawOff(TListViewItems& list) : list_(list) { list_.SetRedrawState(false); }
    ~RedrawOff() { list_.SetRedrawState(true); }
    RedrawOff(const RedrawOff&) = delete;
    RedrawOff& operator=(const RedrawOff&) = delete;

private:
    TListViewItems& list_;
};

// The module that carries this code and therefore the dialogs' resources.
HINSTANCE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ThisModule), &module);
    return module ? module : GetModuleHandleA(nullptr);
}

COLORREF TopLeftColour(HBITMAP bitmap) {
    MemoryDC dc(nullptr);
    SelectedObject selected(dc.get(), bitmap);
    return GetPixel(dc.get(), 0, 0);
}

UINT AlignmentOf(int format) {
    switch (format & LVCFMT_JUSTIFYMASK) {
    case LVCFMT_RIGHT:
        return DT_RIGHT;
    case LVCFMT_CENTER:
        return DT_CENTER;
    default:
        return DT_LEFT;
    }
}

constexpr UINT kCellTextFormat = DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX | DT_VCENTER;

} // namespace

void DrawBmp(HDC DC, HBITMAP Bitmap, int X, int Height, int Width, int Y) {
    if (!DC || !Bitmap || Width <= 0 || Height <= 0) return;
    GdiObject<HBITMAP> maskBitmap(CreateBitmap(Width, Height, 1, 1, nullptr));
    GdiObject<HBITMAP> workBitmap(CreateCompatibleBitmap(DC, Width, Height));
    GdiObject<HBITMAP> imageBitmap(CreateCompatibleBitmap(DC, Width, Height));
    if (!maskBitmap.get() || !workBitmap.get() || !imageBitmap.get()) return;
    MemoryDC source(DC), mask(DC), work(DC), image(DC);
    if (!source.get() || !mask.get() || !work.get() || !image.get()) return;
    SelectedObject sourceSel(source.get(), Bitmap);
    SelectedObject maskSel(mask.get(), maskBitmap.get());
    SelectedObject workSel(work.get(), workBitmap.get());
    SelectedObject imageSel(image.get(), imageBitmap.get());

    // Colour to monochrome: pixels of the source's background colour become 1, all others 0.
    SetBkColor(source.get(), GetPixel(source.get(), 0, 0));
    BitBlt(mask.get(), 0, 0, Width, Height, source.get(), 0, 0, SRCCOPY);

    // Monochrome to colour maps 1 to the target's background colour and 0 to its text colour.
    // The background with the bitmap's opaque pixels cleared:
    BitBlt(work.get(), 0, 0, Width, Height, DC, X, Y, SRCCOPY);
    SetBkColor(work.get(), RGB(255, 255, 255));
    SetTextColor(work.get(), RGB(0, 0, 0));
    BitBlt(work.get(), 0, 0, Width, Height, mask.get(), 0, 0, SRCAND);
    // The bitmap with its transparent pixels cleared:
    BitBlt(image.get(), 0, 0, Width, Height, source.get(), 0, 0, SRCCOPY);
    SetBkColor(image.get(), RGB(0, 0, 0));
    SetTextColor(image.get(), RGB(255, 255, 255));
    BitBlt(image.get(), 0, 0, Width, Height, mask.get(), 0, 0, SRCAND);

    BitBlt(work.get(), 0, 0, Width, Height, image.get(), 0, 0, SRCPAINT);
    BitBlt(DC, X, Y, Width, Height, work.get(), 0, 0, SRCCOPY);
}

// ---- TListViewItems ----

TListViewItems::TListViewItems(HWND AhList)
    : FhList(AhList), FListDC(AhList),
      fImageList(ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 4, 0)) {
    const HINSTANCE module = ThisModule();
    static constexpr const char* kIconNames[4] = {"CL_DLL", "CL_BPL", "CL_VCL", "CL_PAS"};
    for (int i = 0; i < 4; ++i) fBmp[i].Reset(LoadBitmapA(module, kIconNames[i]));
    fPlus.Reset(LoadBitmapA(module, "CL_PLUS"));
    fMinus.Reset(LoadBitmapA(module, "CL_MINUS"));

    for (const auto& icon : fBmp) {
        if (!icon.get()) continue;
        // ImageList_AddMasked blackens the masked pixels of the bitmap it is given; DrawBmp needs
        // the icons as they are, so the list gets a copy.
        GdiObject<HBITMAP> copy(static_cast<HBITMAP>(CopyImage(icon.get(), IMAGE_BITMAP, 0, 0, 0)));
        if (copy.get())
            ImageList_AddMasked(fImageList.get(), copy.get(), TopLeftColour(icon.get()));
    }
    // The control would destroy its image lists with itself; this object frees its own.
    const LONG_PTR style = GetWindowLongPtrA(FhList, GWL_STYLE);
    if (!(style & LVS_SHAREIMAGELISTS))
        SetWindowLongPtrA(FhList, GWL_STYLE, style | LVS_SHAREIMAGELISTS);
    SendMessageA(FhList, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(fImageList.get()));

    BackgroundBrushSelected.Reset(CreateSolidBrush(RGB(204, 218, 241)));
    BackgroundBrushUnselected.Reset(CreateSolidBrush(RGB(255, 255, 255)));
    FrameBrushSelected.Reset(CreateSolidBrush(RGB(49, 106, 197)));
    FrameBrushUnselected.Reset(CreateSolidBrush(RGB(152, 181, 226)));
    BottomBrush.Reset(CreateSolidBrush(RGB(123, 164, 224)));
    LineBrush.Reset(CreateSolidBrush(RGB(206, 203, 194)));
}

TListViewItems::~TListViewItems() {
    Clear();
    RestoreListDC();
    if (IsWindow(FhList)) SendMessageA(FhList, LVM_SETIMAGELIST, LVSIL_SMALL, 0);
}

void TListViewItems::InitializeData() {
    const auto header = reinterpret_cast<HWND>(SendMessageA(FhList, LVM_GETHEADER, 0, 0));
    const int columns = header ? static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    FColCount = std::clamp(columns, 0, 16);
    for (int i = 0; i < FColCount; ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_FMT;
        FColAlign[i] = SendMessageA(FhList, LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&column))
                           ? AlignmentOf(column.fmt)
                           : DT_LEFT;
    }

    auto listFont = reinterpret_cast<HFONT>(SendMessageA(FhList, WM_GETFONT, 0, 0));
    if (!listFont) listFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTA bold{};
    if (GetObjectA(listFont, sizeof bold, &bold) == sizeof bold) {
        bold.lfWeight = FW_BOLD;
        FFont.Reset(CreateFontIndirectA(&bold));
    }

    SelectedObject font(FListDC.get(), listFont);
    SetIndent(MeasureIndent([this](std::string_view text) {
        SIZE size{};
        GetTextExtentPoint32A(FListDC.get(), text.data(), static_cast<int>(text.size()), &size);
        return static_cast<int>(size.cx);
    }));
}

PListViewItemRec TListViewItems::AddRow(const TStrings& Values, int32_t Bmp, intptr_t Param,
                                        bool IsParent, const std::string& Header) {
    if (Count() == 0) InitializeData();
    const PListViewItemRec row = AppendRow(Values, Bmp, Param, IsParent, Header);
    row->hList = reinterpret_cast<uintptr_t>(FhList);
    InsertItem(row, -1);
    return row;
}

void TListViewItems::InsertItem(PListViewItemRec Item, int Index) {
    if (!Item) return;
    auto text = [Item](size_t column) {
        return const_cast<char*>(column < Item->Cols.size() ? Item->Cols[column].c_str() : "");
    };
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = Index < 0 ? INT_MAX : Index;
    item.pszText = text(0);
    item.lParam = reinterpret_cast<LPARAM>(Item);
    const auto at =
        static_cast<int>(SendMessageA(FhList, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (at < 0) return;
    for (size_t column = 1; column < Item->Cols.size(); ++column) {
        LVITEMA sub{};
        sub.iSubItem = static_cast<int>(column);
        sub.pszText = text(column);
        SendMessageA(FhList, LVM_SETITEMTEXTA, at, reinterpret_cast<LPARAM>(&sub));
    }
}

void TListViewItems::DeleteItem(int Index) {
    SendMessageA(FhList, LVM_DELETEITEM, Index, 0);
}

void TListViewItems::RedrawItems(int First, int Last) {
    SendMessageA(FhList, LVM_REDRAWITEMS, First, Last);
}

void TListViewItems::SetRedrawState(bool On) {
    SendMessageA(FhList, WM_SETREDRAW, On ? TRUE : FALSE, 0);
}

void TListViewItems::ClickOnItem(int Index, POINT Point, bool OnSign) {
    const PListViewItemRec row = GetItemParam(Index);
    if (!row || !row->IsParent) return;
    if (OnSign) {
        RECT bounds{};
        bounds.left = LVIR_BOUNDS;
        if (!SendMessageA(FhList, LVM_GETITEMRECT, Index, reinterpret_cast<LPARAM>(&bounds)))
            return;
        if (!IsOnFoldSign(*row, Point.x - bounds.left, Point.y - bounds.top, FStep)) return;
    }
    {
        RedrawOff off(*this);
        for (const TListViewFoldStep& step : ToggleFold(row, Index)) {
            if (step.Insert)
                InsertItem(step.Row, step.At);
            else
                DeleteItem(step.At);
        }
    }
    RedrawItems(Index, Index);
}

void TListViewItems::Delete(int Index) {
    const PListViewItemRec row = GetItem(Index);
    if (!row) return;
    // The control's item would keep pointing at the freed record.
    if (row->Visible && IsWindow(FhList)) {
        LVFINDINFOA find{};
        find.flags = LVFI_PARAM;
        find.lParam = reinterpret_cast<LPARAM>(row);
        const auto at = static_cast<int>(SendMessageA(
            FhList, LVM_FINDITEMA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
        if (at >= 0) DeleteItem(at);
    }
    TListViewRows::Delete(Index);
}

void TListViewItems::Clear() {
    if (IsWindow(FhList)) SendMessageA(FhList, LVM_DELETEALLITEMS, 0, 0);
    TListViewRows::Clear();
    FFont.Reset();
}

PListViewItemRec TListViewItems::GetItemParam(int Index) const {
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = Index;
    if (!SendMessageA(FhList, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
    const auto row = reinterpret_cast<PListViewItemRec>(item.lParam);
    return IndexOf(row) >= 0 ? row : nullptr;
}

void TListViewItems::TakeListDCObjects(HDC From) {
    const HDC dc = FListDC.get();
    oldFont_ = SelectObject(dc, GetCurrentObject(From, OBJ_FONT));
    oldPen_ = SelectObject(dc, GetCurrentObject(From, OBJ_PEN));
    oldBrush_ = SelectObject(dc, GetCurrentObject(From, OBJ_BRUSH));
    oldPalette_ = SelectPalette(dc, static_cast<HPALETTE>(GetCurrentObject(From, OBJ_PAL)), FALSE);
    // A window DC takes no bitmap; the call then fails and changes nothing.
    oldBitmap_ = SelectObject(dc, GetCurrentObject(From, OBJ_BITMAP));
    SetBkMode(dc, TRANSPARENT);
}

void TListViewItems::RestoreListDC() {
    if (!FInitDC) return;
    const HDC dc = FListDC.get();
    for (HGDIOBJ old : {oldFont_, oldPen_, oldBrush_, oldBitmap_})
        if (old) SelectObject(dc, old);
    if (oldPalette_) SelectPalette(dc, oldPalette_, FALSE);
    FInitDC = false;
}

bool TListViewItems::DrawList(const DRAWITEMSTRUCT& DrawItemStruct) {
    const auto row = reinterpret_cast<PListViewItemRec>(DrawItemStruct.itemData);
    if (IndexOf(row) < 0 || !FListDC.get()) return true;
    if (!FInitDC) {
        TakeListDCObjects(DrawItemStruct.hDC);
        FInitDC = true;
    }
    const HDC dc = FListDC.get();
    // The row as the control places it (LVIR_BOUNDS), which the sign's hit test in ClickOnItem
    // and the column edges go by. Windows passes the same rectangle in rcItem; Wine passes one
    // shifted 2 pixels right, which would put the icons, signs and frame beside their places.
    RECT rc = DrawItemStruct.rcItem;
    RECT bounds{};
    bounds.left = LVIR_BOUNDS;
    if (SendMessageA(FhList, LVM_GETITEMRECT, DrawItemStruct.itemID,
                     reinterpret_cast<LPARAM>(&bounds)))
        rc = bounds;
    int x = rc.left;
    const int s = FStep * row->WidthStep;
    const bool selected = (DrawItemStruct.itemState & ODS_SELECTED) != 0;

    const RECT area{x + s + 2, rc.top, rc.right, rc.bottom};
    FillRect(dc, &area, selected ? BackgroundBrushSelected.get() : BackgroundBrushUnselected.get());

    if (row->IsParent) {
        if (row->Param == 0) x += FStep;
        const RECT stripe{x, rc.bottom - 2, rc.right, rc.bottom};
        FillRect(dc, &stripe, BottomBrush.get());
        {
            const HGDIOBJ current = GetCurrentObject(dc, OBJ_FONT);
            SelectedObject font(dc, FFont.get() ? static_cast<HGDIOBJ>(FFont.get()) : current);
            SetTextColor(dc, ParentCaptionColour(row->Param));
            RECT text{x + 15, rc.top - 1, rc.right, rc.bottom - 1};
            DrawTextA(dc, row->Header.c_str(), static_cast<int>(row->Header.size()), &text,
                      DT_LEFT | kCellTextFormat);
        }
        DrawBmp(dc, row->Expanded ? fMinus.get() : fPlus.get(), x + 1, 13, 13, rc.top + 1);
    } else {
        if (row->Bmp >= 0 && row->Bmp < 4)
            DrawBmp(dc, fBmp[row->Bmp].get(), x + s + 2, 16, 16, rc.top);
        if (!row->Empty) {
            const RECT line{x + s + 2, rc.bottom - 1, rc.right, rc.bottom};
            FillRect(dc, &line, LineBrush.get());
        }
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        int columnLeft = x;
        for (int i = 0; i < FColCount; ++i) {
            const int width = static_cast<int>(SendMessageA(FhList, LVM_GETCOLUMNWIDTH, i, 0));
            const TCellTextSpan span = CellTextSpan(columnLeft, columnLeft + width, i);
            columnLeft += width;
            if (static_cast<size_t>(i) >= row->Cols.size()) continue;
            const std::string& cell = row->Cols[static_cast<size_t>(i)];
            RECT text{span.Left, rc.top, span.Right, rc.bottom};
            DrawTextA(dc, cell.c_str(), static_cast<int>(cell.size()), &text,
                      FColAlign[i] | kCellTextFormat);
        }
    }

    if (DrawItemStruct.itemState & ODS_FOCUS) {
        const bool focused = selected && GetFocus() == FhList;
        FrameRect(dc, &area, focused ? FrameBrushSelected.get() : FrameBrushUnselected.get());
    }
    return true;
}

} // namespace kv::crash
