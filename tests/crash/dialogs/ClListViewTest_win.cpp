#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "crash/dialogs/ClListView.h"

namespace {

using namespace kv::crash;

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kGridLine = RGB(206, 203, 194);
constexpr COLORREF kParentStripe = RGB(123, 164, 224);
constexpr COLORREF kSelectedBackground = RGB(204, 218, 241);
constexpr COLORREF kFocusedFrame = RGB(49, 106, 197);
constexpr COLORREF kOtherFrame = RGB(152, 181, 226);

TListViewItems* g_drawing = nullptr; // the rows the host window draws; not owned

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DRAWITEM && g_drawing)
        return g_drawing->DrawList(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    return DefWindowProcA(window, message, wParam, lParam);
}

// A visible top-most window holding an owner-drawn report list view with three columns (left,
// right and centre aligned) and the rows of a call stack page:
//   0  parent "A" (Main thread)   1  a1        2  parent "B" (Nested)   3  b1
//   4  (blank cells)              5  parent "C" (Other)                 6  c1
class ClListViewWin : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        WNDCLASSA cls{};
        cls.lpfnWndProc = HostProc;
        cls.hInstance = GetModuleHandleA(nullptr);
        cls.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        cls.lpszClassName = "KvListViewTestHost";
        RegisterClassA(&cls); // a second registration fails harmlessly
        host_ = CreateWindowExA(WS_EX_TOPMOST, cls.lpszClassName, "", WS_POPUP | WS_VISIBLE, 0, 0,
                                420, 300, nullptr, nullptr, cls.hInstance, nullptr);
        ASSERT_TRUE(host_);
        list_ = CreateWindowExA(
            0, WC_LISTVIEWA, "",
            WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDRAWFIXED | LVS_SHOWSELALWAYS, 0, 0, 420,
            300, host_, reinterpret_cast<HMENU>(1), nullptr, nullptr);
        ASSERT_TRUE(list_);
        AddColumn(0, 120, LVCFMT_LEFT, "Address");
        AddColumn(1, 80, LVCFMT_RIGHT, "Line");
        AddColumn(2, 80, LVCFMT_CENTER, "Unit");

        items_ = std::make_unique<TListViewItems>(list_);
        g_drawing = items_.get();
        items_->AddRow({"A"}, -1, 1, true, "Main thread");
        items_->AddRow({"a1", "10", "x"}, 0, 0, false, "");
        items_->AddRow({"B"}, -1, 0, true, "Nested");
        items_->AddRow({"b1", "20", "y"}, 3, 0, false, "");
        items_->AddRow({"", " ", ""}, -1, 0, false, "");
        items_->AddRow({"C"}, -1, 3, true, "Other");
        items_->AddRow({"c1", "30", "z"}, -1, 0, false, "");
    }

    void TearDown() override {
        g_drawing = nullptr;
        items_.reset();
        if (host_) DestroyWindow(host_);
    }

    void AddColumn(int index, int width, int format, const char* caption) {
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
        column.fmt = format;
        column.cx = width;
        column.pszText = const_cast<char*>(caption);
        SendMessageA(list_, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
    }

    std::string CellText(int item, int column) const {
        char text[256] = {};
        LVITEMA cell{};
        cell.iSubItem = column;
        cell.pszText = text;
        cell.cchTextMax = sizeof text;
        SendMessageA(list_, LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(&cell));
        return text;
    }

    // Column 0 of every item of the control, the indent spaces shown as "~".
    std::vector<std::string> Shown() const {
        std::vector<std::string> texts;
        const int count = static_cast<int>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            std::string text = CellText(i, 0);
            const std::string& spaces = items_->Spaces();
            if (!spaces.empty() && text.rfind(spaces, 0) == 0) text.replace(0, spaces.size(), "~");
            texts.push_back(text);
        }
        return texts;
    }

    RECT ItemRect(int item) const {
        RECT rect{};
        rect.left = LVIR_BOUNDS;
        SendMessageA(list_, LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&rect));
        return rect;
    }

    // Paints the list now and reads one pixel of it, relative to an item's rectangle (a negative
    // y counts from its bottom).
    COLORREF PixelOf(int item, int x, int y) const {
        RedrawWindow(list_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        const RECT rect = ItemRect(item);
        HDC dc = GetDC(list_);
        const COLORREF colour = GetPixel(dc, rect.left + x, y < 0 ? rect.bottom + y : rect.top + y);
        ReleaseDC(list_, dc);
        return colour;
    }

    // Waits (half a minute at most) until the window is on the screen with its rows drawn.
    bool WaitUntilShown() const {
        MSG msg;
        for (const DWORD start = GetTickCount(); GetTickCount() - start < 30000;) {
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            if (PixelOf(0, 150, -1) == kParentStripe) return true;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
        return false;
    }

    HWND host_ = nullptr;
    HWND list_ = nullptr;
    std::unique_ptr<TListViewItems> items_;
};

TEST_F(ClListViewWin, RowsGoIntoTheControl) {
    static constexpr struct {
        const char* label;
        int item, column;
        const char* text;
    } kCells[] = {
        {"parent row", 0, 0, "A"},
        {"first column", 1, 0, "a1"},
        {"second column", 1, 1, "10"},
        {"third column", 1, 2, "x"},
        {"blank row keeps its cells", 4, 1, " "},
        {"row after the empty one is not indented", 6, 0, "c1"},
    };
    for (const auto& c : kCells) EXPECT_EQ(CellText(c.item, c.column), c.text) << c.label;
    EXPECT_EQ(Shown(), (std::vector<std::string>{"A", "a1", "~B", "~b1", "", "C", "c1"}));

    ASSERT_EQ(items_->Count(), 7);
    for (int i = 0; i < items_->Count(); ++i) {
        EXPECT_EQ(items_->GetItemParam(i), items_->GetItem(i)) << i;
        EXPECT_EQ(items_->GetItem(i)->hList, reinterpret_cast<uintptr_t>(list_)) << i;
    }
    EXPECT_EQ(items_->GetItemParam(7), nullptr);
    EXPECT_EQ(items_->ColCount(), 3);
    EXPECT_TRUE(items_->GetItem(4)->Empty);
}

TEST_F(ClListViewWin, IndentIsTheShortestRunOfSpacesAtLeast14PixelsWide) {
    const std::string& spaces = items_->Spaces();
    ASSERT_FALSE(spaces.empty());
    EXPECT_EQ(spaces.find_first_not_of(' '), std::string::npos);
    HDC dc = GetDC(list_);
    const HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(list_, WM_GETFONT, 0, 0)));
    auto width = [&](size_t n) {
        SIZE size{};
        GetTextExtentPoint32A(dc, spaces.c_str(), static_cast<int>(n), &size);
        return static_cast<int>(size.cx);
    };
    EXPECT_GE(width(spaces.size()), 14);
    EXPECT_LT(width(spaces.size() - 1), 14);
    EXPECT_EQ(items_->Step(), width(spaces.size()));
    SelectObject(dc, old);
    ReleaseDC(list_, dc);

    const PListViewItemRec nested = items_->GetItem(3);
    EXPECT_EQ(nested->WidthStep, 1);
    EXPECT_EQ(nested->Cols[0], spaces + "b1");
    EXPECT_EQ(items_->GetItem(1)->WidthStep, 0);
}

TEST_F(ClListViewWin, ClickingFoldsAndUnfolds) {
    using Texts = std::vector<std::string>;
    const Texts all{"A", "a1", "~B", "~b1", "", "C", "c1"};
    // Each click in turn; x and y are relative to the row, plus the indent step where asked.
    const struct {
        const char* label;
        int item, x, y;
        bool plusStep, onSign;
        Texts shown;
    } kClicks[] = {
        {"outer: beside the sign does nothing", 0, 13, 7, false, true, all},
        {"outer: below the sign does nothing", 0, 7, 13, false, true, all},
        {"nested: where a top sign would be does nothing", 2, 7, 7, false, true, all},
        {"nested: its own sign folds it", 2, 2, 2, true, true, {"A", "a1", "~B", "", "C", "c1"}},
        {"outer: anywhere without OnSign folds it", 0, 200, 9, false, false, {"A", "", "C", "c1"}},
        {"outer: its sign unfolds, the nested parent stays folded",
         0,
         12,
         12,
         false,
         true,
         {"A", "a1", "~B", "", "C", "c1"}},
        {"nested: unfolds without OnSign", 2, 0, 0, false, false, all},
        {"last block: folds up to the list's end",
         5,
         7,
         7,
         false,
         true,
         {"A", "a1", "~B", "~b1", "", "C"}},
        {"a row that is no parent does nothing",
         1,
         7,
         7,
         false,
         false,
         {"A", "a1", "~B", "~b1", "", "C"}},
        {"the empty row does nothing", 4, 7, 7, false, false, {"A", "a1", "~B", "~b1", "", "C"}},
        {"last block: unfolds again", 5, 2, 12, false, true, all},
    };
    for (const auto& c : kClicks) {
        const RECT bounds = ItemRect(c.item);
        const int x = c.x + (c.plusStep ? items_->Step() : 0);
        items_->ClickOnItem(c.item, POINT{bounds.left + x, bounds.top + c.y}, c.onSign);
        EXPECT_EQ(Shown(), c.shown) << c.label;
        // Every item still shows the row it was made for.
        for (int i = 0; i < static_cast<int>(c.shown.size()); ++i) {
            const PListViewItemRec row = items_->GetItemParam(i);
            ASSERT_TRUE(row) << c.label << " item " << i;
            EXPECT_EQ(row->Cols[0], CellText(i, 0)) << c.label << " item " << i;
        }
    }
}

TEST_F(ClListViewWin, DrawsRows) {
    ASSERT_TRUE(WaitUntilShown());
    const int step = items_->Step();
    // x and y relative to the item's rectangle; a negative y counts from its bottom.
    const struct {
        const char* label;
        int item, x, y;
        COLORREF colour;
    } kPixels[] = {
        {"grid line under a row", 1, 150, -1, kGridLine},
        {"row background above it", 1, 150, -2, kWhite},
        {"no grid line under the empty row", 4, 150, -1, kWhite},
        {"parent stripe, lower line", 0, 150, -1, kParentStripe},
        {"parent stripe, upper line", 0, 150, -2, kParentStripe},
        {"above the parent stripe", 0, 150, -3, kWhite},
        {"icon outline", 1, 2 + 2, 1, kBlack},
        {"icon background is transparent", 1, 2, 0, kWhite},
        {"nested icon moved by the step", 3, step + 2 + 2, 1, kBlack},
        {"minus sign of an unfolded parent", 0, 1 + 6, 1 + 6, kBlack},
        {"sign box", 0, 1 + 1, 1 + 1, RGB(128, 128, 128)},
        {"no plus bar above the minus", 0, 1 + 6, 1 + 3, kWhite},
        {"nested parent's sign moved by the step", 2, step + 1 + 6, 1 + 6, kBlack},
    };
    for (const auto& c : kPixels) EXPECT_EQ(PixelOf(c.item, c.x, c.y), c.colour) << c.label;

    items_->ClickOnItem(2, POINT{}, false);
    EXPECT_EQ(PixelOf(2, step + 1 + 6, 1 + 3), kBlack) << "plus sign of a folded parent";
}

TEST_F(ClListViewWin, DrawsTheFocusedRowWithItsFrame) {
    ASSERT_TRUE(WaitUntilShown());
    SetFocus(list_);
    ASSERT_EQ(GetFocus(), list_);
    const struct {
        const char* label;
        UINT state;
        COLORREF background, frame;
    } kStates[] = {
        {"selected in the focused list", LVIS_SELECTED | LVIS_FOCUSED, kSelectedBackground,
         kFocusedFrame},
        {"focused but not selected", LVIS_FOCUSED, kWhite, kOtherFrame},
    };
    for (const auto& c : kStates) {
        LVITEMA state{};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = c.state;
        SendMessageA(list_, LVM_SETITEMSTATE, 6, reinterpret_cast<LPARAM>(&state));
        EXPECT_EQ(PixelOf(6, 150, 3), c.background) << c.label;
        EXPECT_EQ(PixelOf(6, 150, 0), c.frame) << c.label << ": top edge";
        EXPECT_EQ(PixelOf(6, 2, 5), c.frame) << c.label << ": left edge";
    }
}

TEST_F(ClListViewWin, DeleteAndClearLeaveTheControlToo) {
    items_->Delete(3); // b1, shown
    EXPECT_EQ(Shown(), (std::vector<std::string>{"A", "a1", "~B", "", "C", "c1"}));
    items_->ClickOnItem(2, POINT{}, false); // B folds; nothing of it is left to hide
    items_->Delete(2);                      // B itself
    EXPECT_EQ(Shown(), (std::vector<std::string>{"A", "a1", "", "C", "c1"}));
    EXPECT_EQ(items_->Count(), 5);

    items_->Clear();
    EXPECT_EQ(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0), 0);
    EXPECT_EQ(items_->Count(), 0);
    items_->AddRow({"P"}, -1, 0, true, "");
    const PListViewItemRec row = items_->AddRow({"p1"}, -1, 0, false, "");
    EXPECT_EQ(row->WidthStep, 0) << "a cleared list starts at level 0";
    EXPECT_EQ(Shown(), (std::vector<std::string>{"P", "p1"}));
}

TEST_F(ClListViewWin, ImageListStaysWithTheObject) {
    const auto images =
        reinterpret_cast<HIMAGELIST>(SendMessageA(list_, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    ASSERT_TRUE(images);
    EXPECT_EQ(ImageList_GetImageCount(images), 4);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    EXPECT_EQ(cx, 16);
    EXPECT_EQ(cy, 16);
    EXPECT_TRUE(GetWindowLongPtrA(list_, GWL_STYLE) & LVS_SHAREIMAGELISTS);
    // The control may go first; the object then frees what it owns alone.
    DestroyWindow(host_);
    host_ = nullptr;
    g_drawing = nullptr;
    items_.reset();
}

// ---- DrawBmp and the bitmaps ----

// A 24-bit memory canvas filled with one colour.
class Canvas {
public:
    Canvas(int width, int height, COLORREF fill) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        dc_ = CreateCompatibleDC(nullptr);
        old_ = SelectObject(dc_, bitmap_);
        const RECT all{0, 0, width, height};
        HBRUSH brush = CreateSolidBrush(fill);
        FillRect(dc_, &all, brush);
        DeleteObject(brush);
    }
    ~Canvas() {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
        DeleteObject(bitmap_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    HDC dc() const { return dc_; }

private:
    HBITMAP bitmap_;
    HDC dc_;
    HGDIOBJ old_;
};

struct LoadedBitmap {
    explicit LoadedBitmap(const char* name)
        : handle(LoadBitmapA(GetModuleHandleA(nullptr), name)) {}
    ~LoadedBitmap() {
        if (handle) DeleteObject(handle);
    }
    LoadedBitmap(const LoadedBitmap&) = delete;
    LoadedBitmap& operator=(const LoadedBitmap&) = delete;
    HBITMAP handle;
};

TEST(ClDialogBitmaps, LoadWithTheirSizes) {
    static constexpr struct {
        const char* name;
        int size;
    } kBitmaps[] = {
        {"CL_Error", 32}, {"CL_Send", 32}, {"CL_DLL", 16},  {"CL_BPL", 16},
        {"CL_VCL", 16},   {"CL_PAS", 16},  {"CL_PLUS", 13}, {"CL_MINUS", 13},
    };
    for (const auto& b : kBitmaps) {
        const LoadedBitmap bitmap(b.name);
        ASSERT_TRUE(bitmap.handle) << b.name;
        BITMAP info{};
        GetObjectA(bitmap.handle, sizeof info, &info);
        EXPECT_EQ(info.bmWidth, b.size) << b.name;
        EXPECT_EQ(info.bmHeight, b.size) << b.name;
    }
}

TEST(ClListViewDrawBmp, TopLeftColourIsTransparent) {
    constexpr COLORREF kFill = RGB(10, 200, 30);
    const LoadedBitmap plus("CL_PLUS");
    ASSERT_TRUE(plus.handle);
    Canvas canvas(40, 40, kFill);
    DrawBmp(canvas.dc(), plus.handle, 5, 13, 13, 7);
    // The plus sign's drawing: a grey box from (1,1) to (11,11), white inside, black bars
    // through (6,6); the outer ring is the transparent colour.
    static constexpr struct {
        const char* label;
        int x, y;
        COLORREF colour;
    } kPixels[] = {
        {"top-left pixel shows the background", 5 + 0, 7 + 0, kFill},
        {"outer ring, bottom-right", 5 + 12, 7 + 12, kFill},
        {"outer ring, right edge", 5 + 12, 7 + 6, kFill},
        {"box", 5 + 1, 7 + 1, RGB(128, 128, 128)},
        {"inside the box", 5 + 2, 7 + 2, kWhite},
        {"centre of the plus", 5 + 6, 7 + 6, kBlack},
        {"vertical bar", 5 + 6, 7 + 3, kBlack},
        {"left of the bitmap untouched", 4, 7 + 6, kFill},
        {"below the bitmap untouched", 5 + 6, 7 + 13, kFill},
    };
    for (const auto& p : kPixels) EXPECT_EQ(GetPixel(canvas.dc(), p.x, p.y), p.colour) << p.label;
}

TEST(ClListViewDrawBmp, NothingWithoutBitmap) {
    constexpr COLORREF kFill = RGB(1, 2, 3);
    Canvas canvas(8, 8, kFill);
    DrawBmp(canvas.dc(), nullptr, 0, 8, 8, 0);
    EXPECT_EQ(GetPixel(canvas.dc(), 3, 3), kFill);
}

} // namespace
